#pragma once
// A run's report written as a file: tab-separated text (UTF-8), or an Excel workbook when the
// name ends in .xlsx, the form a cataloguer opens in Excel or WPS.

#include <functional>
#include <string>
#include <vector>

namespace rowcaster::output {

// A report's lines, the header first, handed one at a time to the function it is given: a long
// report is written as it is made, never held whole.
using ReportLines = std::function<void(const std::function<void(const std::vector<std::string>&)>&)>;

// Writes the lines to `path`; the system's or the library's reason when it cannot, else the empty
// text. A workbook goes on to a further sheet, the header repeated, where one sheet is full
// (1,048,576 rows, as Excel and WPS open them).
std::string WriteReport(const std::string& path, const ReportLines& lines);
std::string WriteReport(const std::string& path, const std::vector<std::vector<std::string>>& table);

// Whether WriteReport writes a workbook to `path`.
bool IsWorkbookReportPath(const std::string& path);

}  // namespace rowcaster::output
