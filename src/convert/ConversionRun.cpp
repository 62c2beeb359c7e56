#include "convert/ConversionRun.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/SystemError.h"

namespace rowcaster::convert {
namespace {

constexpr std::int64_t kBatch = 256;  // rows composed together and written with one call

struct RowResult {
  std::string record;       // empty when the row failed
  std::string failure;
};

// Writes records whole: a write that cannot complete is undone, so the file never ends inside a
// record.
class Output {
 public:
  explicit Output(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) error_ = ErrorText(errno);
  }
  ~Output() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return fd_ >= 0 && error_.empty(); }
  const std::string& error() const { return error_; }

  bool Write(const std::string& bytes) {
    const off_t before = ::lseek(fd_, 0, SEEK_END);
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error_ = ErrorText(n < 0 ? errno : ENOSPC);
        if (before >= 0 && ::ftruncate(fd_, before) != 0) error_ += "（无法撤回未写完的记录）";
        return false;
      }
      done += static_cast<std::size_t>(n);
    }
    return true;
  }
  bool Close() {
    if (fd_ < 0) return false;
    const int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0 && error_.empty()) error_ = ErrorText(errno);
    return rc == 0;
  }

 private:
  std::string path_;
  int fd_ = -1;
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

// Composes rows in parallel and hands them back in order.
class Composer {
 public:
  Composer(const RunInput& input, int threads) : input_(input), columns_(SubfieldColumns(input.mapping)) {
    rows_ = input.table ? static_cast<std::int64_t>(input.table->RowCount()) : 0;
    batches_ = (rows_ + kBatch - 1) / kBatch;
    for (int t = 0; t < threads; ++t) workers_.emplace_back([this] { Work(); });
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
    RegionLookup lookup(input_.cbkConnStr);
    CompositionContext context;
    context.templateText = input_.templateText;
    context.lookup = &lookup;
    context.pinyin = input_.pinyin.get();
    SubfieldValues values;
    std::vector<std::string_view> cells;
    for (;;) {
      std::int64_t b;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        // Keep only a few batches ahead of the writer: memory stays flat.
        wake_.wait(lock, [&] { return quit_ || (next_ < batches_ && next_ < taken_ + 4 * static_cast<std::int64_t>(workers_.size())); });
        if (quit_) return;
        b = next_++;
      }
      std::vector<RowResult> results;
      const std::int64_t end = std::min(rows_, (b + 1) * kBatch);
      for (std::int64_t row = b * kBatch; row < end; ++row) {
        input_.table->Row(static_cast<std::size_t>(row), cells);
        for (std::size_t p = 0; p < kParamCount; ++p) {
          const int c = columns_[p];
          if (c >= 0 && static_cast<std::size_t>(c) < cells.size()) {
            values[p].assign(cells[c]);
          } else {
            values[p].clear();
          }
        }
        context.now = input_.clock();
        iso2709::BuildResult r = ConverttoMarc(values, context);
        if (r.status == iso2709::BuildStatus::Built) {
          results.push_back({std::move(r.record), {}});
        } else {
          results.push_back({{}, r.description.empty() ? std::string("记录为空") : r.description});
        }
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        done_[b] = std::move(results);
      }
      ready_.notify_all();
    }
  }

  const RunInput& input_;
  const std::array<int, kParamCount> columns_;
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

Required RequiredMapped(const std::vector<std::string>& mapping) {
  Required r;
  for (const auto& code : mapping) {
    r.title = r.title || code == "200a";
    r.isbn = r.isbn || code == "010a";
    r.price = r.price || code == "010d";
  }
  return r;
}

}  // namespace

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
      return EndMessage{kPathMissingText, kFriendlyTitle, ui::Icon::Information};
    case RunOutcome::RequiredMissing: {
      const Required mapped = RequiredMapped(input.mapping);
      return EndMessage{RequiredFieldsMessage(!mapped.title, !mapped.isbn, !mapped.price), kSystemTitle,
                        ui::Icon::Information};
    }
    case RunOutcome::OutputFailed:
      return EndMessage{"无法写入输出文件 " + input.outputPath + "：" + r.outputError +
                            (r.written > 0 ? "\r\n已写入 " + std::to_string(r.written) + " 条完整的记录。" : std::string()),
                        "操作提示", ui::Icon::Error};
    case RunOutcome::Stopped:
      return std::nullopt;
    case RunOutcome::Finished:
      if (r.failed == 0) return EndMessage{kDoneText, kFriendlyTitle, ui::Icon::Information};
      return EndMessage{"转换结束：写入 " + std::to_string(r.written) + " 条记录，" + std::to_string(r.failed) +
                            " 行没有生成记录。\r\n第一个未生成记录的是第 " + std::to_string(r.firstFailedRow) +
                            " 行：" + r.firstFailure,
                        kFriendlyTitle, ui::Icon::Warning};
  }
  return std::nullopt;
}

RunOutcome CheckRun(const RunInput& input) {
  // The output path: only the empty text fails.
  if (input.outputPath.empty()) return RunOutcome::PathMissing;
  // Title, ISBN and price must be mapped.
  const Required mapped = RequiredMapped(input.mapping);
  return mapped.title && mapped.isbn && mapped.price ? RunOutcome::Finished : RunOutcome::RequiredMissing;
}

RunResult RunConversion(const RunInput& input, const RunCallbacks& callbacks) {
  RunResult result;
  result.outcome = CheckRun(input);
  if (result.outcome != RunOutcome::Finished) return result;
  // The output file, appended to; a file that cannot be opened stops the run before any row.
  Output out(input.outputPath);
  if (!out.ok()) {
    result.outcome = RunOutcome::OutputFailed;
    result.outputError = out.error();
    return result;
  }
  const int threads = input.threads > 0 ? input.threads : std::max(1u, std::thread::hardware_concurrency());
  Composer composer(input, threads);
  result.rows = composer.rows();
  std::string batch;
  for (std::int64_t b = 0; b < composer.batches(); ++b) {
    std::vector<RowResult> rows = composer.Take(b);
    batch.clear();
    std::int64_t row = b * kBatch;
    std::int64_t inBatch = 0;
    bool stopped = false;
    for (RowResult& r : rows) {
      ++row;
      if (r.record.empty()) {
        if (result.failed++ == 0) {
          result.firstFailedRow = row;
          result.firstFailure = r.failure;
        }
      } else {
        batch += r.record;
        ++inBatch;
      }
      if (callbacks.stop && callbacks.stop->load()) {
        stopped = true;
        break;
      }
    }
    if (!batch.empty() && !out.Write(batch)) {
      result.outcome = RunOutcome::OutputFailed;
      result.outputError = out.error();
      return result;
    }
    result.written += inBatch;
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
