#pragma once
// A run's report written as a file: tab-separated text (UTF-8), or an Excel workbook when the
// name ends in .xlsx, the form a cataloguer opens in Excel or WPS.

#include <string>
#include <vector>

namespace rowcaster::output {

// Writes `table` (the first line the header) to `path`; the system's or the library's reason
// when it cannot, else the empty text.
std::string WriteReport(const std::string& path, const std::vector<std::vector<std::string>>& table);

// Whether WriteReport writes a workbook to `path`.
bool IsWorkbookReportPath(const std::string& path);

}  // namespace rowcaster::output
