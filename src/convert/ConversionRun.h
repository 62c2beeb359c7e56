#pragma once
// One whole conversion: the two checks, then one record per data row of the loaded table, appended
// to the output file in row order. Shared by the window (on a worker thread) and the command line.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "convert/Composition.h"
#include "iso2709/Writers.h"
#include "import/LoadedTable.h"
#include "output/ExistingOutput.h"
#include "platform/Clock.h"
#include "platform/ui/Ui.h"

namespace rowcaster::convert {

// The run's own messages.
inline constexpr const char* kPathMissingText = "请选择导出MARC文件的路径";
inline constexpr const char* kFriendlyTitle = "温馨提示";
inline constexpr const char* kSystemTitle = "系统提示";
inline constexpr const char* kDoneText = " 恭喜，数据已转换完毕！";
// "对不起，必备字段：“题名”“ISBN”“价格”不能为忽略！请重新选择！" for the missing codes.
std::string RequiredFieldsMessage(bool titleMissing, bool isbnMissing, bool priceMissing);

struct RunInput {
  Rules rules = Rules::Classic;
  std::string agencyCode;                           // 801 $b under the recommended rules
  std::string outputPath;                           // taken as it is, untrimmed
  std::vector<std::string> mapping;                 // per source column: empty or a code
  std::shared_ptr<const import::LoadedTable> table; // the content grid's rows
  std::string templateText{kDefaultTemplate};
  Clock clock = SystemLocalTime;
  std::string cbkConnStr;
  std::shared_ptr<const PinyinSource> pinyin;
  int threads = 0;  // composing threads; 0: one per core
  bool dryRun = false;  // compose every row, write nothing
  iso2709::Format format = iso2709::Format::Iso2709;
  iso2709::Encoding encoding = iso2709::Encoding::Gbk;  // MARCXML is always UTF-8
  bool replace = false;  // empty an existing output file first instead of appending to it
};

enum class RunOutcome {
  PathMissing,     // the output path is empty; the window puts the focus on its path button
  RequiredMissing, // title, ISBN or price is not mapped (the recommended rules need the title only)
  OutputFailed,    // the output file cannot be opened, written or closed
  Stopped,         // stopped between records
  Finished,        // every row was gone through (some may have failed)
};

// A row that failed or got a warning, for the run's report.
struct RowReport {
  std::int64_t row = 0;  // from 1
  std::string title, isbn;
  bool failed = false;
  std::vector<std::string> notes;  // why it failed, or its warnings
};

struct RunResult {
  RunOutcome outcome = RunOutcome::Finished;
  std::int64_t rows = 0;     // m, the data rows of the run
  std::int64_t written = 0;  // records appended
  std::int64_t failed = 0;   // rows that gave no record
  std::int64_t firstFailedRow = 0;
  std::string firstFailure;  // why the first failed row gave no record
  std::string outputError;   // with OutputFailed
  std::int64_t cutBytes = 0; // a partial record cut from the end of the existing output file
  std::int64_t warned = 0;   // records written with warnings
  std::int64_t existing = 0; // records the output file held before, appended to
  bool refused = false;      // with OutputFailed: the file's records cannot be appended to (untouched)
  std::int64_t unencodable = 0;     // characters the encoding could not hold, over all rows
  std::int64_t unencodableRows = 0; // rows with such characters
  std::vector<RowReport> report;  // every failed or warned row, in row order
};

// The report as tab-separated lines: a header, then one line a row (row, title, ISBN, 未生成记录 or
// 有警告, the notes joined by "；").
std::string ReportText(const RunResult& result);

// What a run writes, as the window names it: "ISO 2709，UTF-8 编码", "MARCXML（UTF-8）" …
std::string OutputKindText(iso2709::Format format, iso2709::Encoding encoding);

// The note about a partial record cut from the output file, or the empty text.
std::string CutNote(const RunResult& result);

struct RunCallbacks {
  // Row k of m has been written (or has failed); may be called from any thread, often.
  std::function<void(std::int64_t k, std::int64_t m)> progress;
  // Set to stop the run after the record being written.
  const std::atomic<bool>* stop = nullptr;
};

// The message (text, title, icon) that ends a run, or nothing for an outcome without one.
struct EndMessage {
  std::string text, title;
  ui::Icon icon = ui::Icon::Information;
  std::string details;  // the report, when there is something to list
};
std::optional<EndMessage> MessageFor(const RunResult& result, const RunInput& input);

// The two checks a run makes before it touches anything: Finished when both pass.
RunOutcome CheckRun(const RunInput& input);

// One row's record as it would be written, without writing anything: the record (empty when the
// row gives none), its readable listing, why it failed, its warnings.
struct RowPreview {
  std::string record, listing, failure;
  std::vector<std::string> warnings;
};
RowPreview PreviewRow(const RunInput& input, std::int64_t row);  // row from 0
// The listing (or the failure) followed by the warnings, as a person reads them.
std::string PreviewText(const RowPreview& preview);

// Whether the first records `existing` holds are the ones this run would write first (the same
// table converted again). Compared field by field without what differs from run to run: the
// record's id (001), its time (005) and the date it was entered (100 $a/0-7).
bool RepeatsExistingRecords(const RunInput& input, const output::ExistingOutput& existing);

// Runs the conversion. The checks' messages are the caller's to show (MessageFor); nothing here
// shows a window.
RunResult RunConversion(const RunInput& input, const RunCallbacks& callbacks = {});

}  // namespace rowcaster::convert
