#include "output/ReportFile.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/text/Utf8.h"

namespace rowcaster::output {
namespace {

std::string WriteTsv(const std::string& path, const std::vector<std::vector<std::string>>& table) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  for (const auto& cells : table) {
    for (std::size_t k = 0; k < cells.size(); ++k) {
      if (k > 0) file << '\t';
      std::string cell = cells[k];
      std::replace(cell.begin(), cell.end(), '\t', ' ');  // a tab inside a cell would shift the columns
      file << cell;
    }
    file << '\n';
  }
  file.flush();
  return file ? std::string() : std::strerror(errno ? errno : EIO);
}

std::string WriteXlsx(const std::string& path, const std::vector<std::vector<std::string>>& table) {
  lxw_workbook* workbook = workbook_new(path.c_str());
  if (!workbook) return std::strerror(errno ? errno : EACCES);
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
  lxw_format* bold = workbook_add_format(workbook);
  format_set_bold(bold);
  std::vector<double> widths;
  for (std::size_t r = 0; r < table.size(); ++r) {
    for (std::size_t c = 0; c < table[r].size(); ++c) {
      const std::string& cell = table[r][c];
      // Row numbers as numbers, so the sheet sorts them as numbers; "010" stays a text.
      const bool number = r > 0 && !cell.empty() && cell.size() < 10 && cell[0] != '0' &&
                          cell.find_first_not_of("0123456789") == std::string::npos;
      if (number) worksheet_write_number(sheet, r, c, std::stod(cell), nullptr);
      else worksheet_write_string(sheet, r, c, cell.c_str(), r == 0 ? bold : nullptr);
      if (widths.size() <= c) widths.resize(c + 1, 6);
      widths[c] = std::min(60.0, std::max(widths[c], 2.0 + 1.8 * static_cast<double>(text::Utf8Length(cell))));
    }
  }
  for (std::size_t c = 0; c < widths.size(); ++c) worksheet_set_column(sheet, c, c, widths[c], nullptr);
  if (!table.empty()) {
    worksheet_freeze_panes(sheet, 1, 0);
    worksheet_autofilter(sheet, 0, 0, table.size() - 1, table[0].empty() ? 0 : table[0].size() - 1);
  }
  const lxw_error error = workbook_close(workbook);
  return error == LXW_NO_ERROR ? std::string() : lxw_strerror(error);
}

}  // namespace

bool IsWorkbookReportPath(const std::string& path) {
  return path.size() > 5 && text::AsciiLower(path.substr(path.size() - 5)) == ".xlsx";
}

std::string WriteReport(const std::string& path, const std::vector<std::vector<std::string>>& table) {
  errno = 0;
  return IsWorkbookReportPath(path) ? WriteXlsx(path, table) : WriteTsv(path, table);
}

}  // namespace rowcaster::output
