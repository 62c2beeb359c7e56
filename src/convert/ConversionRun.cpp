#include "convert/ConversionRun.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "convert/Values.h"
#include "iso2709/Listing.h"
#include "platform/text/Gbk.h"
#include "platform/text/Utf8.h"
#include "platform/SystemError.h"

namespace rowcaster::convert {
namespace {

constexpr std::int64_t kBatch = 256;  // rows composed together and written with one call

struct RowResult {
  std::string record;                 // the record's bytes; empty when the row failed
  std::string failure;
  std::vector<std::string> warnings;  // with a record
  std::string title, isbn;            // only when there is something to report
  std::size_t unencodable = 0;        // characters the output's encoding could not hold
};

// Where the records of an existing output file end: the record lengths must chain from the start
// to a record terminator each. Line ends between records are tolerated.
struct ExistingRecords {
  bool iso2709 = true;     // false: the file does not begin with a record
  off_t wholeEnd = 0;      // the end of the last whole record (or tolerated line end)
  std::int64_t count = 0;  // whole records
  std::string first;       // the first whole record
};

// The bytes of a file, read a block at a time as they are asked for: an output file of a million
// records is checked without holding it in memory.
class BlockReader {
 public:
  explicit BlockReader(int fd) : fd_(fd) {
    const off_t end = ::lseek(fd, 0, SEEK_END);
    size_ = end > 0 ? static_cast<std::size_t>(end) : 0;
  }
  std::size_t size() const { return size_; }
  // The byte at `at` (< size()); 0 when it cannot be read.
  char operator[](std::size_t at) {
    if (at < start_ || at >= start_ + block_.size()) Load(at - at % kBlock);
    return at - start_ < block_.size() ? block_[at - start_] : '\0';
  }
  // Up to `n` bytes from `at`.
  std::string Read(std::size_t at, std::size_t n) {
    std::string out;
    for (std::size_t i = at; i < size_ && i < at + n;) {
      (*this)[i];  // loads the block holding i
      const std::size_t take = std::min(start_ + block_.size(), at + n) - i;
      if (take == 0 || i < start_) break;
      out.append(block_, i - start_, take);
      i += take;
    }
    return out;
  }

 private:
  static constexpr std::size_t kBlock = 1 << 16;
  void Load(std::size_t start) {
    start_ = start;
    block_.resize(std::min(kBlock, size_ - start));
    std::size_t done = 0;
    while (done < block_.size()) {
      const ssize_t n = ::pread(fd_, block_.data() + done, block_.size() - done, static_cast<off_t>(start + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    block_.resize(done);
  }
  int fd_;
  std::size_t size_ = 0, start_ = 0;
  std::string block_;
};

// The leader of a record begun at `at`, as far as the data go: the record length, indicator and
// subfield code counts 2 and 2, the base address of data.
bool LeaderSoFar(BlockReader& data, std::size_t at) {
  for (std::size_t i = 0; i < 17 && at + i < data.size(); ++i) {
    const char c = data[at + i];
    if ((i < 5 || i >= 12) && (c < '0' || c > '9')) return false;
    if ((i == 10 || i == 11) && c != '2') return false;
  }
  return true;
}

ExistingRecords ScanRecords(BlockReader& data) {
  ExistingRecords found;
  std::size_t at = 0;
  while (at < data.size()) {
    const char c = data[at];
    if (c == '\r' || c == '\n') {
      found.wholeEnd = static_cast<off_t>(++at);
      continue;
    }
    std::size_t length = 0;
    bool digits = at + 5 <= data.size();
    for (std::size_t i = 0; digits && i < 5; ++i) {
      const char d = data[at + i];
      digits = d >= '0' && d <= '9';
      length = length * 10 + static_cast<std::size_t>(d - '0');
    }
    const bool whole = digits && length >= 25 && at + length <= data.size() && data[at + length - 1] == '\x1D';
    if (!whole) {
      // Before the first whole record only the start of a record that was being written may
      // stand: a leader as far as it goes.
      if (found.count == 0 && !(digits && length >= 25 && at + length > data.size() && LeaderSoFar(data, at)))
        found.iso2709 = false;
      break;
    }
    if (found.count == 0) found.first = data.Read(at, length);
    at += length;
    found.wholeEnd = static_cast<off_t>(at);
    ++found.count;
  }
  return found;
}

// The encoding records already written are in, as far as their bytes tell: text that is not
// ASCII is UTF-8 when it decodes as UTF-8 (Chinese text in GBK practically never does), else GBK
// or GB18030. (100 $a cannot tell: templates say "50" there for GBK too.)
enum class Family { Unknown, Gb, Utf8 };

Family FamilyOfText(std::string_view bytes) {
  bool ascii = true;
  for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return Family::Unknown;
  // A block may end inside a character.
  return text::IsValidUtf8(bytes.substr(0, bytes.size() - text::IncompleteUtf8Tail(bytes))) ? Family::Utf8 : Family::Gb;
}

std::string MixRefusal(Family found, iso2709::Encoding encoding) {
  const bool utf8 = encoding == iso2709::Encoding::Utf8;
  if (found == Family::Unknown || (found == Family::Utf8) == utf8) return {};
  return std::string("输出文件里已有的记录是 ") + (utf8 ? "GBK/GB18030" : "UTF-8") + " 编码，不能在其后追加 " +
         std::string(iso2709::NameOf(encoding)) + " 编码的记录：一个文件里的记录只能有一种编码，否则读的程序会把一部分读错。请换一个输出文件，或者选择替换";
}

// Where appending to an existing file starts, and what is there.
struct Analysis {
  std::int64_t records = 0;
  off_t appendAt = 0;  // everything from here on is cut before appending
  std::string refusal;
};

constexpr std::string_view kCollectionEnd = "</collection>";
constexpr std::string_view kRecordEnd = "</record>";

Analysis Analyse(int fd, iso2709::Format format, iso2709::Encoding encoding) {
  Analysis a;
  BlockReader data(fd);
  a.appendAt = static_cast<off_t>(data.size());
  if (data.size() == 0) return a;
  switch (format) {
    case iso2709::Format::Iso2709: {
      const ExistingRecords existing = ScanRecords(data);
      if (!existing.iso2709) {
        a.refusal = "这个文件不是 ISO 2709 记录文件，不能在其后追加记录";
        return a;
      }
      a.records = existing.count;
      a.appendAt = existing.wholeEnd;
      a.refusal = MixRefusal(existing.count ? FamilyOfText(existing.first) : Family::Unknown, encoding);
      return a;
    }
    case iso2709::Format::MarcXml: {
      // Records are counted by their end tags; appending goes in before the collection's end tag
      // (or, when a run was killed before writing it, after the last whole record).
      std::size_t collectionEnd = std::string::npos, recordEnd = std::string::npos;
      std::string window;
      constexpr std::size_t kChunk = 1 << 16;
      for (std::size_t at = 0; at < data.size(); at += kChunk) {
        const std::size_t keep = std::min(window.size(), kCollectionEnd.size());
        window.erase(0, window.size() - keep);
        const std::size_t base = at - keep;
        window += data.Read(at, kChunk);
        for (std::size_t k = window.find(kRecordEnd); k != std::string::npos; k = window.find(kRecordEnd, k + 1))
          if (base + k + kRecordEnd.size() > (recordEnd == std::string::npos ? 0 : recordEnd)) {
            ++a.records;
            recordEnd = base + k + kRecordEnd.size();
          }
        if (const std::size_t k = window.rfind(kCollectionEnd); k != std::string::npos) collectionEnd = base + k;
      }
      const std::string head = data.Read(0, 256);
      if (head.find("<collection") == std::string::npos && head.find(":collection") == std::string::npos) {
        a.refusal = "这个文件不是 MARCXML 记录集合，不能在其后追加记录";
      } else if (collectionEnd != std::string::npos && (recordEnd == std::string::npos || collectionEnd > recordEnd)) {
        a.appendAt = static_cast<off_t>(collectionEnd);
      } else if (recordEnd != std::string::npos) {
        a.appendAt = static_cast<off_t>(recordEnd + (data[recordEnd] == '\n' ? 1 : 0));
      } else {
        a.refusal = "这个 MARCXML 文件没有结尾，不能在其后追加记录";
      }
      return a;
    }
    case iso2709::Format::Text: {
      // A listing's records end with an empty line.
      char before = '\0';
      constexpr std::size_t kChunk = 1 << 16;
      for (std::size_t at = 0; at < data.size(); at += kChunk) {
        const std::string chunk = data.Read(at, kChunk);
        if (!chunk.empty() && before == '\n' && chunk[0] == '\n') ++a.records;
        for (std::size_t k = chunk.find("\n\n"); k != std::string::npos; k = chunk.find("\n\n", k + 1)) ++a.records;
        before = chunk.empty() ? before : chunk.back();
      }
      a.refusal = MixRefusal(FamilyOfText(data.Read(0, 1 << 16)), encoding);
      return a;
    }
  }
  return a;
}

// Writes records whole: a write that cannot complete is cut back to the last whole record, so the
// file never ends inside a record; the data reach the disk before the run reports success. A
// format with an epilogue (MARCXML's end tag) has it written after every batch, so the file is
// whole between batches too.
class Output {
 public:
  // With `nowhere` nothing is opened or written, and every record counts as written (a dry run).
  explicit Output(const RunInput& input) : nowhere_(input.dryRun) {
    if (nowhere_) return;
    const iso2709::RecordWriter writer(input.format, input.encoding);
    epilogue_ = writer.Epilogue();
    fd_ = ::open(input.outputPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | (input.replace ? O_TRUNC : 0), 0644);
    if (fd_ < 0) {
      error_ = ErrorText(errno);
      return;
    }
    // Never append after a partial record: a run killed mid-write left one, and everything
    // appended after it would be unreadable.
    const off_t size = ::lseek(fd_, 0, SEEK_END);
    const Analysis existing = Analyse(fd_, input.format, input.encoding);
    existing_ = existing.records;
    if (!existing.refusal.empty()) {
      error_ = existing.refusal;
      return;
    }
    if (size == 0 && !writer.Prologue().empty()) {
      const std::string both = std::string(writer.Prologue()) + epilogue_;
      if (WriteAt(0, both) < both.size()) return;
      end_ = static_cast<off_t>(writer.Prologue().size());
      return;
    }
    end_ = existing.appendAt;
    if (existing.appendAt < size) {
      // An epilogue cut to be written again is not lost data; anything else is said.
      const bool onlyEpilogue = !epilogue_.empty() && IsEpilogue(existing.appendAt, size);
      if (::ftruncate(fd_, existing.appendAt) != 0) {
        error_ = ErrorText(errno);
        return;
      }
      if (!onlyEpilogue) cutBytes_ = size - existing.appendAt;
      if (WriteAt(end_, epilogue_) < epilogue_.size()) return;
    }
  }
  ~Output() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return nowhere_ || (fd_ >= 0 && error_.empty()); }
  const std::string& error() const { return error_; }
  // Bytes of a partial record cut from the end of the existing file.
  std::int64_t cutBytes() const { return cutBytes_; }
  // Whole records the file held before.
  std::int64_t existing() const { return existing_; }

  // Writes the records `bytes`, which end at the offsets `ends`; returns how many are whole in the
  // file. On a failure the file keeps the whole ones and error() says why.
  std::size_t Write(std::string& bytes, const std::vector<std::size_t>& ends) {
    if (nowhere_) return ends.size();
    const std::size_t size = bytes.size();
    bytes += epilogue_;
    const std::size_t done = WriteAt(end_, bytes);
    bytes.resize(size);
    if (done < size + epilogue_.size()) {
      const std::size_t whole = std::upper_bound(ends.begin(), ends.end(), std::min(done, size)) - ends.begin();
      const std::size_t keep = whole ? ends[whole - 1] : 0;
      if (::ftruncate(fd_, end_ + static_cast<off_t>(keep)) != 0) error_ += "（无法撤回未写完的记录）";
      end_ += static_cast<off_t>(keep);
      if (!epilogue_.empty()) {
        const std::string message = error_;
        WriteAt(end_, epilogue_);  // best effort: the disk may still be full
        error_ = message;
      }
      return whole;
    }
    end_ += static_cast<off_t>(size);
    return ends.size();
  }
  bool Close() {
    if (nowhere_) return true;
    if (fd_ < 0) return false;
    if (::fsync(fd_) != 0 && errno != EINVAL && error_.empty()) error_ = ErrorText(errno);
    const int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0 && error_.empty()) error_ = ErrorText(errno);
    return error_.empty();
  }

 private:
  // Writes `bytes` at `at`; returns how many were written, all of them unless error() says why.
  std::size_t WriteAt(off_t at, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, at + static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error_ = ErrorText(n < 0 ? errno : ENOSPC);
        break;
      }
      done += static_cast<std::size_t>(n);
    }
    return done;
  }
  // Whether [from, to) of the file holds the epilogue and white space only.
  bool IsEpilogue(off_t from, off_t to) const {
    if (to - from > 4096) return false;
    std::string bytes(static_cast<std::size_t>(to - from), '\0');
    if (::pread(fd_, bytes.data(), bytes.size(), from) != static_cast<ssize_t>(bytes.size())) return false;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!bytes.empty() && blank(bytes.back())) bytes.pop_back();
    std::string_view want(epilogue_);
    while (!want.empty() && blank(want.back())) want.remove_suffix(1);
    return bytes == want;
  }

  bool nowhere_ = false;
  int fd_ = -1;
  off_t end_ = 0;
  std::int64_t cutBytes_ = 0, existing_ = 0;
  std::string epilogue_;
  std::string error_;
};

// The columns that feed each parameter: the last mapping row holding a code wins.
std::array<int, kParamCount> SubfieldColumns(const std::vector<std::string>& mapping) {
  std::array<int, kParamCount> columns;
  columns.fill(-1);
  for (std::size_t r = 0; r < mapping.size(); ++r)
    if (const auto p = ParamOfCode(mapping[r])) columns[*p] = static_cast<int>(r);
  return columns;
}

// What one composing thread keeps for itself: its own publisher lookup and composition context.
struct Worker {
  explicit Worker(const RunInput& input) : lookup(input.cbkConnStr), writer(input.format, input.encoding) {
    context.rules = input.rules;
    context.encoding = writer.encoding();
    context.agencyCode = input.agencyCode;
    context.templateText = input.templateText;
    context.lookup = &lookup;
    context.pinyin = input.pinyin.get();
  }
  RegionLookup lookup;
  CompositionContext context;
  SubfieldValues values;
  std::vector<std::string_view> cells;
  iso2709::RecordWriter writer;
  iso2709::Record record;  // the last row's
};

// One row's record, or why it has none. Nothing a row does ends the run.
RowResult ComposeRow(const RunInput& input, Worker& w) {
  try {
    w.context.now = input.clock();
    RowResult r;
    const iso2709::Built built = ComposeRecord(w.values, w.context, w.record, r.warnings);
    if (built.status != iso2709::BuildStatus::Built) {
      r.failure = built.description.empty() ? std::string("记录为空") : built.description;
      r.warnings.clear();
      return r;
    }
    const iso2709::WriteResult written = w.writer.Append(w.record, r.record);
    if (!written.ok) {
      r.failure = written.description;
      r.warnings.clear();
      return r;
    }
    r.unencodable = written.unencodable;
    if (written.unencodable) r.warnings.push_back(UnencodableWarning(written, w.writer.encoding()));
    return r;
  } catch (const std::bad_alloc&) {
    return {{}, "内存不足", {}, {}, {}, 0};
  } catch (const std::exception& e) {
    return {{}, std::string("处理这一行时出错：") + e.what(), {}, {}, {}, 0};
  } catch (...) {
    return {{}, "处理这一行时出错", {}, {}, {}, 0};
  }
}

// Row `row` (from 0) of the input's table composed with `w`.
RowResult ComposeOne(const RunInput& input, const std::array<int, kParamCount>& columns, std::int64_t row, Worker& w) {
  input.table->Row(static_cast<std::size_t>(row), w.cells);
  const auto cell = [&](Param p) -> std::string_view {
    const int c = columns[p];
    return c >= 0 && static_cast<std::size_t>(c) < w.cells.size() ? w.cells[c] : std::string_view();
  };
  for (std::size_t p = 0; p < kParamCount; ++p) w.values[p].assign(cell(static_cast<Param>(p)));
  w.context.recordNumber = row + 1;
  RowResult r = ComposeRow(input, w);
  if (r.record.empty() || !r.warnings.empty()) {
    r.title = OneLine(cell(d200a));
    r.isbn = OneLine(cell(d010a));
  }
  return r;
}

// Composes rows in parallel and hands them back in order.
class Composer {
 public:
  Composer(const RunInput& input, int threads)
      : input_(input), columns_(SubfieldColumns(input.mapping)), threads_(threads) {
    rows_ = input.table ? static_cast<std::int64_t>(input.table->RowCount()) : 0;
    batches_ = (rows_ + kBatch - 1) / kBatch;
    workers_.reserve(static_cast<std::size_t>(threads));
    try {
      for (int t = 0; t < threads; ++t) workers_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      // No more threads (a memory or process limit): the ones started do the work, or, with
      // none, the caller composes each batch itself.
    }
    std::lock_guard<std::mutex> lock(mutex_);
    threads_ = std::max<std::int64_t>(1, static_cast<std::int64_t>(workers_.size()));
  }
  ~Composer() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    for (auto& w : workers_) w.join();
  }
  std::int64_t rows() const { return rows_; }
  std::int64_t batches() const { return batches_; }

  // The rows of batch `b`, waiting until they are composed.
  std::vector<RowResult> Take(std::int64_t b) {
    if (workers_.empty()) {
      if (!own_) own_ = std::make_unique<Worker>(input_);
      taken_ = b + 1;
      return ComposeBatch(b, *own_);
    }
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [&] { return done_.count(b) > 0; });
    std::vector<RowResult> out = std::move(done_[b]);
    done_.erase(b);
    taken_ = b + 1;
    wake_.notify_all();
    return out;
  }

 private:
  void Work() {
    Worker worker(input_);
    for (;;) {
      std::int64_t b;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        // Keep only a few batches ahead of the writer: memory stays flat.
        wake_.wait(lock, [&] { return quit_ || (next_ < batches_ && next_ < taken_ + 4 * threads_); });
        if (quit_) return;
        b = next_++;
      }
      std::vector<RowResult> results = ComposeBatch(b, worker);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        done_[b] = std::move(results);
      }
      ready_.notify_all();
    }
  }

  std::vector<RowResult> ComposeBatch(std::int64_t b, Worker& w) {
    std::vector<RowResult> results;
    const std::int64_t end = std::min(rows_, (b + 1) * kBatch);
    for (std::int64_t row = b * kBatch; row < end; ++row) results.push_back(ComposeOne(input_, columns_, row, w));
    return results;
  }

  const RunInput& input_;
  const std::array<int, kParamCount> columns_;
  std::int64_t threads_;  // composing threads running (at least 1 for the look-ahead)
  std::unique_ptr<Worker> own_;  // the caller's, when no thread could be started
  std::int64_t rows_ = 0, batches_ = 0, next_ = 0, taken_ = 0;
  bool quit_ = false;
  std::mutex mutex_;
  std::condition_variable wake_, ready_;
  std::map<std::int64_t, std::vector<RowResult>> done_;
  std::vector<std::thread> workers_;
};

}  // namespace

namespace {

struct Required {
  bool title = false, isbn = false, price = false;  // mapped
};

Required RequiredMapped(const std::vector<std::string>& mapping, Rules rules) {
  Required r;
  if (rules == Rules::Recommended) r.isbn = r.price = true;  // only the title is required
  for (const auto& code : mapping) {
    r.title = r.title || code == "200a";
    r.isbn = r.isbn || code == "010a";
    r.price = r.price || code == "010d";
  }
  return r;
}

}  // namespace

std::string ReportText(const RunResult& result) {
  std::string out = "行\t题名\tISBN\t结果\t说明\n";
  for (const RowReport& r : result.report) {
    out += std::to_string(r.row) + "\t" + r.title + "\t" + r.isbn + "\t" + (r.failed ? "未生成记录" : "有警告") + "\t";
    for (std::size_t k = 0; k < r.notes.size(); ++k) out += (k ? "；" : "") + OneLine(r.notes[k]);
    out += "\n";
  }
  return out;
}

std::string CutNote(const RunResult& r) {
  if (r.cutBytes == 0) return {};
  return "\r\n输出文件末尾原有一条不完整的记录（" + std::to_string(r.cutBytes) + " 字节），已删除，新记录接在最后一条完整记录之后。";
}

std::string RequiredFieldsMessage(bool titleMissing, bool isbnMissing, bool priceMissing) {
  std::string list;
  if (titleMissing) list += "“题名”";
  if (isbnMissing) list += "“ISBN”";
  if (priceMissing) list += "“价格”";
  return "对不起，必备字段：" + list + "不能为忽略！请重新选择！";
}

std::optional<EndMessage> MessageFor(const RunResult& r, const RunInput& input) {
  switch (r.outcome) {
    case RunOutcome::PathMissing:
      return EndMessage{kPathMissingText, kFriendlyTitle, ui::Icon::Information, {}};
    case RunOutcome::RequiredMissing: {
      const Required mapped = RequiredMapped(input.mapping, input.rules);
      return EndMessage{RequiredFieldsMessage(!mapped.title, !mapped.isbn, !mapped.price), kSystemTitle,
                        ui::Icon::Information, {}};
    }
    case RunOutcome::OutputFailed:
      return EndMessage{"无法写入输出文件 " + input.outputPath + "：" + r.outputError +
                            (r.written > 0 ? "\r\n已写入 " + std::to_string(r.written) + " 条完整的记录。" : std::string()) +
                            CutNote(r),
                        "操作提示", ui::Icon::Error, {}};
    case RunOutcome::Stopped:
      return std::nullopt;
    case RunOutcome::Finished: {
      EndMessage m;
      m.title = kFriendlyTitle;
      if (r.failed == 0) {
        m.text = kDoneText;
      } else {
        m.text = "转换结束：写入 " + std::to_string(r.written) + " 条记录，" + std::to_string(r.failed) +
                 " 行没有生成记录。\r\n第一个未生成记录的是第 " + std::to_string(r.firstFailedRow) + " 行：" + r.firstFailure;
      }
      if (input.rules == Rules::Recommended && r.failed == 0)
        m.text += "\r\n写入 " + std::to_string(r.written) + " 条记录，其中 " + std::to_string(r.warned) + " 条有警告。";
      else if (input.rules == Rules::Recommended)
        m.text += "\r\n写入的记录中 " + std::to_string(r.warned) + " 条有警告。";
      if (r.unencodable > 0 && input.format == iso2709::Format::MarcXml)
        m.text += "\r\n" + std::to_string(r.unencodableRows) + " 条记录里共有 " + std::to_string(r.unencodable) +
                  " 个 XML 不允许的控制字符，没有写出（每行的字符见详细信息）。";
      else if (r.unencodable > 0)
        m.text += "\r\n" + std::to_string(r.unencodableRows) + " 条记录里共有 " + std::to_string(r.unencodable) + " 个字符 " +
                  std::string(iso2709::NameOf(input.encoding)) +
                  " 中没有，写成了“?”（每行的字符见详细信息）。要保留这些字符，请改用 GB18030 或 UTF-8 编码输出。";
      m.text += CutNote(r);
      m.icon = r.failed > 0 || r.cutBytes > 0 || r.warned > 0 ? ui::Icon::Warning : ui::Icon::Information;
      if (input.rules == Rules::Classic && r.failed == 0 && r.cutBytes == 0 && r.unencodable == 0) m.icon = ui::Icon::Information;
      if (!r.report.empty()) m.details = ReportText(r);
      return m;
    }
  }
  return std::nullopt;
}

RunOutcome CheckRun(const RunInput& input) {
  // The output path: only the empty text fails.
  if (input.outputPath.empty() && !input.dryRun) return RunOutcome::PathMissing;
  // Title, ISBN and price must be mapped.
  const Required mapped = RequiredMapped(input.mapping, input.rules);
  return mapped.title && mapped.isbn && mapped.price ? RunOutcome::Finished : RunOutcome::RequiredMissing;
}

RowPreview PreviewRow(const RunInput& input, std::int64_t row) {
  RowPreview preview;
  if (!input.table || row < 0 || row >= static_cast<std::int64_t>(input.table->RowCount())) {
    preview.failure = "没有第 " + std::to_string(row + 1) + " 行";
    return preview;
  }
  Worker worker(input);
  RowResult r = ComposeOne(input, SubfieldColumns(input.mapping), row, worker);
  preview.warnings = std::move(r.warnings);
  preview.failure = std::move(r.failure);
  if (!r.record.empty()) {
    // The listing shows the record as the chosen encoding writes it, leader lengths included.
    preview.listing = worker.writer.ListingOf(worker.record);
  }
  preview.record = std::move(r.record);
  return preview;
}

std::string PreviewText(const RowPreview& preview) {
  std::string out = preview.record.empty() ? "没有生成记录：" + preview.failure + "\n" : preview.listing;
  for (const auto& w : preview.warnings) out += "警告：" + w + "\n";
  return out;
}

ExistingOutput InspectOutput(const std::string& path, iso2709::Format format, iso2709::Encoding encoding) {
  ExistingOutput found;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return found;
  found.exists = true;
  const off_t size = ::lseek(fd, 0, SEEK_END);
  found.bytes = size > 0 ? size : 0;
  const Analysis a = Analyse(fd, format, encoding);
  ::close(fd);
  found.records = a.records;
  found.refusal = a.refusal;
  return found;
}

RunResult RunConversion(const RunInput& input, const RunCallbacks& callbacks) {
  RunResult result;
  result.outcome = CheckRun(input);
  if (result.outcome != RunOutcome::Finished) return result;
  // The output file, appended to; a file that cannot be opened stops the run before any row.
  Output out(input);
  result.cutBytes = out.cutBytes();
  result.existing = out.existing();
  if (!out.ok()) {
    result.outcome = RunOutcome::OutputFailed;
    result.outputError = out.error();
    return result;
  }
  const int threads = input.threads > 0 ? input.threads : std::max(1u, std::thread::hardware_concurrency());
  Composer composer(input, threads);
  result.rows = composer.rows();
  std::string batch;
  std::vector<std::size_t> ends;
  for (std::int64_t b = 0; b < composer.batches(); ++b) {
    std::vector<RowResult> rows = composer.Take(b);
    batch.clear();
    ends.clear();
    std::int64_t row = b * kBatch;
    bool stopped = false;
    for (RowResult& r : rows) {
      ++row;
      if (r.record.empty()) {
        if (result.failed++ == 0) {
          result.firstFailedRow = row;
          result.firstFailure = r.failure;
        }
        result.report.push_back({row, std::move(r.title), std::move(r.isbn), true, {std::move(r.failure)}});
      } else {
        batch += r.record;
        ends.push_back(batch.size());
        if (r.unencodable) {
          result.unencodable += static_cast<std::int64_t>(r.unencodable);
          ++result.unencodableRows;
        }
        if (!r.warnings.empty()) {
          ++result.warned;
          result.report.push_back({row, std::move(r.title), std::move(r.isbn), false, std::move(r.warnings)});
        }
      }
      if (callbacks.stop && callbacks.stop->load()) {
        stopped = true;
        break;
      }
    }
    const std::size_t whole = batch.empty() ? 0 : out.Write(batch, ends);
    result.written += static_cast<std::int64_t>(whole);
    if (whole < ends.size()) {
      out.Close();
      result.outcome = RunOutcome::OutputFailed;
      result.outputError = out.error();
      return result;
    }
    if (callbacks.progress) callbacks.progress(row, result.rows);
    if (stopped) {
      out.Close();
      result.outcome = RunOutcome::Stopped;
      return result;
    }
  }
  if (!out.Close()) {
    result.outcome = RunOutcome::OutputFailed;
    result.outputError = out.error();
    return result;
  }
  if (callbacks.progress && result.rows == 0) callbacks.progress(0, 0);
  result.outcome = RunOutcome::Finished;
  return result;
}

}  // namespace rowcaster::convert
