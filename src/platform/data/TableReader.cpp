#include "platform/data/TableReader.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/SystemError.h"

namespace rowcaster::data {
namespace {

// A sanitizer build reserves terabytes of address space for its shadow memory: there the helper's
// memory is left to the sanitizer.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kCapAddressSpace = false;
#else
constexpr bool kCapAddressSpace = true;
#endif

// Stream format: frames of a type byte and a body.
//   'T' two strings          a catalogue row (type, name)
//   'N' i64 count, u32 n, n strings   field names and the record count (-1: unknown)
//   'R' u32 n, n strings     one record
//   'E' string               the read failed, with this description
//   'Z'                      the end
// A string is a u32 byte length and the bytes.

class InProcess : public TableReader {
 public:
  std::vector<CatalogRow> ReadCatalogue(const std::string& connectionString) override {
    return OpenConnection(connectionString)->Tables();
  }
  void ReadTable(const std::string& connectionString, const std::string& queryText, TableSink& sink) override {
    auto connection = OpenConnection(connectionString);
    auto rows = connection->Query(queryText);
    sink.Begin(rows->FieldNames(), rows->RecordCount());
    std::vector<std::string> values;
    std::vector<std::string_view> views;
    while (rows->Next(values)) {
      views.assign(values.begin(), values.end());
      sink.Row(views);
    }
  }
};

class Writer {
 public:
  explicit Writer(int fd) : fd_(fd) { buf_.reserve(1 << 16); }
  ~Writer() { Flush(); }
  void Byte(char c) { buf_ += c; }
  void U32(std::uint32_t v) { buf_.append(reinterpret_cast<const char*>(&v), 4); }
  void I64(std::int64_t v) { buf_.append(reinterpret_cast<const char*>(&v), 8); }
  void Str(const std::string& s) {
    U32(static_cast<std::uint32_t>(s.size()));
    buf_ += s;
    if (buf_.size() >= (1 << 16)) Flush();
  }
  bool Flush() {
    std::size_t done = 0;
    while (done < buf_.size()) {
      const ssize_t n = ::write(fd_, buf_.data() + done, buf_.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        buf_.clear();
        return false;
      }
      done += static_cast<std::size_t>(n);
    }
    buf_.clear();
    return true;
  }

 private:
  int fd_;
  std::string buf_;
};

class ChildProcess : public TableReader {
 public:
  ChildProcess(std::string helper, ChildLimits limits) : helper_(std::move(helper)), limits_(limits) {}

  std::vector<CatalogRow> ReadCatalogue(const std::string& connectionString) override {
    std::vector<CatalogRow> rows;
    Run({connectionString}, [&](char type, Frame& f) {
      if (type != 'T') Broken();
      CatalogRow row;
      row.tableType = f.Str();
      row.tableName = f.Str();
      rows.push_back(std::move(row));
    });
    return rows;
  }

  void ReadTable(const std::string& connectionString, const std::string& queryText, TableSink& sink) override {
    std::vector<std::string_view> values;
    bool begun = false;
    Run({connectionString, queryText}, [&](char type, Frame& f) {
      if (type == 'N' && !begun) {
        const std::int64_t count = f.I64();
        std::vector<std::string> names(f.U32());
        for (auto& n : names) n = f.Str();
        sink.Begin(names, count < 0 ? std::nullopt : std::optional<std::int64_t>(count));
        begun = true;
      } else if (type == 'R' && begun) {
        values.resize(f.U32());
        for (auto& v : values) v = f.View();
        sink.Row(values);
      } else {
        Broken();
      }
    });
  }

 private:
  [[noreturn]] static void Broken() { throw DataError("读取数据文件的辅助程序送回了无法识别的数据"); }

  // The length of the frame at `pos` (its type byte included) once the buffer holds all of it;
  // nothing while it does not. A frame of a type not known here is one byte: its handler refuses it.
  static std::optional<std::size_t> CompleteFrame(std::string_view b, std::size_t pos) {
    std::size_t at = pos + 1;
    const auto skip = [&](std::size_t n) {
      if (b.size() - at < n) return false;
      at += n;
      return true;
    };
    const auto count = [&](std::uint32_t& n) {
      if (b.size() - at < 4) return false;
      std::memcpy(&n, b.data() + at, 4);
      at += 4;
      return true;
    };
    const auto string = [&] {
      std::uint32_t n;
      return count(n) && skip(n);
    };
    const auto strings = [&] {
      std::uint32_t n;
      if (!count(n)) return false;
      for (std::uint32_t k = 0; k < n; ++k)
        if (!string()) return false;
      return true;
    };
    bool complete = true;
    switch (b[pos]) {
      case 'Z': break;
      case 'E': complete = string(); break;
      case 'T': complete = string() && string(); break;
      case 'N': complete = skip(8) && strings(); break;
      case 'R': complete = strings(); break;
      default: break;
    }
    if (!complete) return std::nullopt;
    return at - pos;
  }

  // The body of a complete frame; reading past its end means the helper sent something malformed.
  class Frame {
   public:
    Frame(std::string_view b, std::size_t pos) : b_(b), pos_(pos) {}
    std::uint32_t U32() {
      Need(4);
      std::uint32_t v;
      std::memcpy(&v, b_.data() + pos_, 4);
      pos_ += 4;
      return v;
    }
    std::int64_t I64() {
      Need(8);
      std::int64_t v;
      std::memcpy(&v, b_.data() + pos_, 8);
      pos_ += 8;
      return v;
    }
    std::string Str() { return std::string(View()); }
    // The bytes of a string in the buffer, without copying them.
    std::string_view View() {
      const std::uint32_t n = U32();
      Need(n);
      const std::string_view s(b_.data() + pos_, n);
      pos_ += n;
      return s;
    }
    std::size_t pos() const { return pos_; }

   private:
    void Need(std::size_t n) const {
      if (b_.size() - pos_ < n) Broken();
    }
    std::string_view b_;
    std::size_t pos_;
  };


  // Runs the helper with `args` and hands each complete frame to `onFrame`.
  void Run(const std::vector<std::string>& args, const std::function<void(char, Frame&)>& onFrame) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw DataError(std::string("无法启动读取程序：") + ErrorText(errno));
    // Room for a megabyte in the pipe: the helper reads on while the rows before are taken in,
    // instead of waiting for them every 64 KB (a hint: where refused, the pipe stays as it is).
    fcntl(fds[0], F_SETPIPE_SZ, 1 << 20);
    std::vector<std::string> argvStore = {helper_, "read"};
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvStore) argv.push_back(a.data());
    argv.push_back(nullptr);
    const rlim_t cap = static_cast<rlim_t>(limits_.memoryBytes);
    const pid_t pid = fork();
    if (pid < 0) {
      close(fds[0]);
      close(fds[1]);
      throw DataError(std::string("无法启动读取程序：") + ErrorText(errno));
    }
    if (pid == 0) {
      // Only async-signal-safe calls until exec.
      dup2(fds[1], 1);
      const int null = open("/dev/null", O_WRONLY);
      if (null >= 0) dup2(null, 2);
      struct rlimit rl = {cap, cap};
      if (kCapAddressSpace) setrlimit(RLIMIT_AS, &rl);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(fds[1]);
    const int in = fds[0];
    // The pipe is read straight into the room behind what the buffer holds; what the frames have
    // used is dropped from its front now and then (a frame cut by the pipe moves to the front).
    std::vector<char> buf(std::size_t{1} << 18);
    std::size_t pos = 0, filled = 0;
    bool ended = false;
    std::string failure;
    auto kill = [&] {
      ::kill(pid, SIGKILL);
      int status;
      waitpid(pid, &status, 0);
      close(in);
    };
    auto lastProgress = std::chrono::steady_clock::now();
    try {
      for (;;) {
        pollfd p{in, POLLIN, 0};
        const int ready = poll(&p, 1, 500);
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) {
          if (std::chrono::steady_clock::now() - lastProgress > std::chrono::seconds(limits_.stallSeconds))
            throw DataError("读取数据文件超时（" + std::to_string(limits_.stallSeconds) +
                            " 秒没有进展），文件可能已损坏");
          continue;
        }
        if (buf.size() - filled < (std::size_t{1} << 16)) {
          if (pos > 0) {
            std::memmove(buf.data(), buf.data() + pos, filled - pos);
            filled -= pos;
            pos = 0;
          }
          if (buf.size() - filled < (std::size_t{1} << 16)) buf.resize(buf.size() * 2);  // a frame longer than the room
        }
        const ssize_t n = read(in, buf.data() + filled, buf.size() - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        lastProgress = std::chrono::steady_clock::now();
        filled += static_cast<std::size_t>(n);
        const std::string_view held(buf.data(), filled);
        // Every complete frame in the buffer; a frame cut by the pipe waits for the rest.
        while (pos < held.size() && !ended) {
          const std::optional<std::size_t> length = CompleteFrame(held, pos);
          if (!length) break;
          const char type = held[pos];
          const std::string_view frame(held.data(), pos + *length);  // a frame ends where its length says
          Frame f(frame, pos + 1);
          if (type == 'Z') {
            ended = true;
          } else if (type == 'E') {
            failure = f.Str();
            ended = true;
          } else {
            onFrame(type, f);
          }
          pos += *length;
        }
        if (ended) break;
      }
    } catch (...) {
      kill();
      throw;
    }
    close(in);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!failure.empty()) throw DataError(failure);
    if (!ended) {
      if (WIFSIGNALED(status))
        throw DataError("读取数据文件时出错：读取程序异常终止（信号 " + std::to_string(WTERMSIG(status)) +
                        "），文件可能已损坏或过大");
      if (WIFEXITED(status) && WEXITSTATUS(status) == 127) throw DataError("找不到读取数据文件的程序 " + helper_);
      throw DataError("读取数据文件时出错：读取程序意外退出，文件可能已损坏");
    }
  }

  std::string helper_;
  ChildLimits limits_;
};

}  // namespace

std::unique_ptr<TableReader> InProcessReader() { return std::make_unique<InProcess>(); }

std::unique_ptr<TableReader> ChildProcessReader(std::string helper, ChildLimits limits) {
  return std::make_unique<ChildProcess>(std::move(helper), limits);
}

int ServeRead(const std::string& connectionString, const std::optional<std::string>& queryText, int fd) {
  signal(SIGPIPE, SIG_IGN);
  Writer w(fd);
  try {
    auto connection = OpenConnection(connectionString);
    if (!queryText) {
      for (const CatalogRow& row : connection->Tables()) {
        w.Byte('T');
        w.Str(row.tableType);
        w.Str(row.tableName);
      }
    } else {
      auto rows = connection->Query(*queryText);
      w.Byte('N');
      w.I64(rows->RecordCount().value_or(-1));
      w.U32(static_cast<std::uint32_t>(rows->FieldNames().size()));
      for (const auto& n : rows->FieldNames()) w.Str(n);
      std::vector<std::string> values;
      // A damaged file can make a reader run in circles; more records than the file says it holds
      // (with a wide margin) is taken for that.
      const std::optional<std::int64_t> count = rows->RecordCount();
      const std::int64_t most = count ? *count + std::max<std::int64_t>(*count, 10000) : -1;
      std::int64_t read = 0;
      while (rows->Next(values)) {
        if (most >= 0 && ++read > most)
          throw DataError("文件已损坏：读出的记录比文件记载的 " + std::to_string(*count) + " 条多得多");
        w.Byte('R');
        w.U32(static_cast<std::uint32_t>(values.size()));
        for (const auto& v : values) w.Str(v);
      }
    }
    w.Byte('Z');
    return w.Flush() ? 0 : 1;
  } catch (const std::bad_alloc&) {
    w.Byte('E');
    w.Str("读取数据文件时内存不足，文件可能已损坏或过大");
  } catch (const std::exception& e) {
    w.Byte('E');
    w.Str(e.what());
  }
  w.Flush();
  return 1;
}

}  // namespace rowcaster::data
