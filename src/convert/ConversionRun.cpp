#include "convert/ConversionRun.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "convert/Values.h"
#include "iso2709/Listing.h"
#include "output/OutputFile.h"

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

std::string OutputKindText(iso2709::Format format, iso2709::Encoding encoding) {
  const std::string name(iso2709::NameOf(encoding));
  switch (format) {
    case iso2709::Format::Iso2709: return "ISO 2709，" + name + " 编码";
    case iso2709::Format::MarcXml: return "MARCXML（" + name + "）";
    case iso2709::Format::Text: return "记录列表（" + name + "）";
  }
  return {};
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
      // The long-standing GBK records need no word; any other output is named.
      if (input.format != iso2709::Format::Iso2709 || input.encoding != iso2709::Encoding::Gbk)
        m.text += "\r\n记录写成了 " + OutputKindText(input.format, input.encoding) + "。";
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

namespace {

// A record's fields as compared between runs.
std::optional<std::vector<iso2709::Field>> ComparableFields(std::string_view bytes, iso2709::Encoding encoding) {
  iso2709::Record record;
  if (!iso2709::ReadRecord(bytes, record, encoding)) return std::nullopt;
  std::vector<iso2709::Field> fields;
  for (iso2709::Field& f : record.fields) {
    if (f.tag == "001" || f.tag == "005") continue;
    if (f.tag == "100")
      for (iso2709::Subfield& sub : f.subfields)
        if (sub.code == "a") sub.data.replace(0, std::min<std::size_t>(8, sub.data.size()), 8, ' ');
    f.line = 0;
    fields.push_back(std::move(f));
  }
  return fields;
}

bool SameFields(const std::vector<iso2709::Field>& a, const std::vector<iso2709::Field>& b) {
  const auto same = [](const iso2709::Field& x, const iso2709::Field& y) {
    if (x.tag != y.tag || x.indicators != y.indicators || x.data != y.data || x.subfields.size() != y.subfields.size())
      return false;
    for (std::size_t k = 0; k < x.subfields.size(); ++k)
      if (x.subfields[k].code != y.subfields[k].code || x.subfields[k].data != y.subfields[k].data) return false;
    return true;
  };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), same);
}

}  // namespace

bool RepeatsExistingRecords(const RunInput& input, const output::ExistingOutput& existing) {
  if (input.format != iso2709::Format::Iso2709 || !input.table) return false;
  const std::size_t n = std::min(existing.firstRecords.size(), input.table->RowCount());
  if (n == 0) return false;
  for (std::size_t row = 0; row < n; ++row) {
    const RowPreview preview = PreviewRow(input, static_cast<std::int64_t>(row));
    const auto mine = ComparableFields(preview.record, input.encoding);
    const auto theirs = ComparableFields(existing.firstRecords[row], input.encoding);
    if (!mine || !theirs || !SameFields(*mine, *theirs)) return false;
  }
  return true;
}

RunResult RunConversion(const RunInput& input, const RunCallbacks& callbacks) {
  RunResult result;
  result.outcome = CheckRun(input);
  if (result.outcome != RunOutcome::Finished) return result;
  // The output file, appended to; a file that cannot be opened stops the run before any row.
  output::OutputFile out({input.outputPath, input.format, input.encoding, input.replace, input.dryRun});
  result.cutBytes = out.cutBytes();
  result.existing = out.existing().records;
  result.refused = out.existing().refusal != output::Refusal::None;
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
