#pragma once
// The conversion's findings and results as people read them, through Qt's translation system:
// Chinese, the program's own language, or English where the locale asks for another language.
// The window, the command line, the report file and the preview all word them here.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/Target.h"
#include "convert/ConversionRun.h"
#include "convert/Finding.h"
#include "convert/Profile.h"
#include "output/ExistingOutput.h"
#include "platform/ui/Ui.h"

namespace rowcaster::words {

// Loads the English texts from `dataDir`/translations unless the locale's message language is
// Chinese (or, for the window, unset or C/POSIX: a Chinese program's own texts); needs a
// QCoreApplication. False when they were wanted but missing.
enum class Audience { Window, CommandLine };
bool InstallTranslations(const std::string& dataDir, Audience audience);

// 错误, 警告, 说明.
std::string LevelName(convert::Level level);
// One finding as a sentence.
std::string Describe(const convert::Finding& finding);
// Findings joined by "；".
std::string Describe(const std::vector<convert::Finding>& findings);

// The window's texts for the run's checks.
std::string PathMissingText();
std::string FriendlyTitle();
std::string SystemTitle();
std::string DoneText();
// "对不起，必备字段：“题名”“ISBN”“价格”不能为忽略！请重新选择！" for the missing fields.
std::string RequiredFieldsMessage(bool titleMissing, bool isbnMissing, bool priceMissing);

// What a run writes: "ISO 2709，UTF-8 编码", "MARCXML（UTF-8）" …
std::string OutputKindText(iso2709::Format format, iso2709::Encoding encoding);
// Why records of a run in `encoding` cannot be appended to an existing file; empty when they can.
std::string RefusalText(const output::ExistingOutput& existing, iso2709::Encoding encoding);
// "方案“书商目录”有 3 列在这张表里找不到：出版地、丛书、页数"; empty when every column was found.
std::string UnmatchedText(const convert::Profile& profile, const convert::ProfileMatch& match);

// Why a column's values do not fit a code: "这一列的值是价格（如“35.00”）".
std::string MisfitText(mapping::Misfit why, const std::string& example);
// "“页码”没有对应 215a：这一列的值是价格（如“35.00”）".
std::string RejectedText(const std::string& column, const mapping::RejectedColumn& rejected);
// "“类别”是图书的类别，没有对应；可以对应 690a 或 606a".
std::string OfferedText(const std::string& column, const mapping::OfferedColumn& offered);
// The tip of a code cell filled by the column's name, until the user confirms or changes it.
std::string NamedCellTip(const std::string& column, const std::string& code);
// The mapping menu's action that confirms every code filled by a column name.
std::string ConfirmNamedText();

// The note about a partial record cut from the output file (with its leading line break), or empty.
std::string CutNote(const convert::RunResult& result);
// The characters the output could not hold, over the run; empty when there were none.
std::string UnencodableSummary(const convert::RunResult& result, const convert::RunInput& input);
// The counts by kind, a line a level ("警告：12 行 ISBN 校验位不对；…"), after the run's own findings.
std::string SummaryText(const convert::RunResult& result);
// The report as a table: a header, then a line a finding (the run's first): the data row from 1,
// the row in the sheet or file (the data row's line under a header; empty when the table has no
// lines, or with `firstDataLine` 0), title, ISBN, level, kind code, field, message.
std::vector<std::vector<std::string>> ReportTable(const convert::RunResult& result, int firstDataLine);
// The same lines one at a time, the header first: a long report is written as it is made.
void ForEachReportLine(const convert::RunResult& result, int firstDataLine,
                       const std::function<void(const std::vector<std::string>&)>& use);
// The report table tab-separated, a line each.
std::string ReportText(const convert::RunResult& result, int firstDataLine);
// The private-use characters written as they are, over all rows, or empty when there were none.
std::string PrivateUseSummary(const convert::RunResult& result);
// How many rows were merged into an earlier row's record, or empty when none were.
std::string MergedSummary(const convert::RunResult& result);
// A row's listing (or why it has no record) followed by its findings.
std::string PreviewText(const convert::RowPreview& preview);

// A run the user stopped: how many whole records were written, of how many rows.
std::string StoppedText(const convert::RunResult& result);

// Why a catalogue target's URL or file entry could not be read.
std::string TargetProblemText(const catalogue::TargetRead& read);

// The message (text, title, icon, details) that ends a run, or nothing for an outcome without one.
struct EndMessage {
  std::string text, title;
  ui::Icon icon = ui::Icon::Information;
  std::string details;  // the report, when there is something to list
};
std::optional<EndMessage> MessageFor(const convert::RunResult& result, const convert::RunInput& input);

}  // namespace rowcaster::words
