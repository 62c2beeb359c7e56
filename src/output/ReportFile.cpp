#include "output/ReportFile.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/text/Utf8.h"

namespace rowcaster::output {
namespace {

std::string WriteTsv(const std::string& path, const ReportLines& lines) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  std::string line;
  lines([&](const std::vector<std::string>& cells) {
    line.clear();
    for (std::size_t k = 0; k < cells.size(); ++k) {
      if (k > 0) line += '\t';
      for (const char c : cells[k]) line += c == '\t' ? ' ' : c;  // a tab inside a cell would shift the columns
    }
    line += '\n';
    file << line;
  });
  file.flush();
  return file ? std::string() : std::strerror(errno ? errno : EIO);
}

// A workbook written a line at a time, a sheet after another.
class XlsxReport {
 public:
  static constexpr lxw_row_t kSheetRows = 1048576;

  explicit XlsxReport(lxw_workbook* workbook)
      : workbook_(workbook), bold_(workbook_add_format(workbook)), sheets_{{workbook_add_worksheet(workbook, nullptr), 0}} {
    format_set_bold(bold_);
  }

  void Line(const std::vector<std::string>& cells) {
    if (sheets_.front().rows == 0) header_ = cells;
    if (sheets_.back().rows == kSheetRows) {
      sheets_.push_back({workbook_add_worksheet(workbook_, nullptr), 0});
      Write(header_);
    }
    Write(cells);
  }

  // Widths, the header frozen and filtered, on every sheet.
  void Finish() {
    for (const Sheet& s : sheets_) {
      for (std::size_t c = 0; c < widths_.size(); ++c) worksheet_set_column(s.sheet, c, c, widths_[c], nullptr);
      if (s.rows == 0) continue;  // an empty report: nothing to freeze or filter
      worksheet_freeze_panes(s.sheet, 1, 0);
      worksheet_autofilter(s.sheet, 0, 0, s.rows - 1, header_.empty() ? 0 : header_.size() - 1);
    }
  }

 private:
  struct Sheet {
    lxw_worksheet* sheet;
    lxw_row_t rows;
  };

  void Write(const std::vector<std::string>& cells) {
    Sheet& s = sheets_.back();
    const bool header = s.rows == 0;
    for (std::size_t c = 0; c < cells.size(); ++c) {
      const std::string& cell = cells[c];
      // Row numbers as numbers, so the sheet sorts them as numbers; "010" stays a text.
      const bool number = !header && !cell.empty() && cell.size() < 10 && cell[0] != '0' &&
                          cell.find_first_not_of("0123456789") == std::string::npos;
      const auto col = static_cast<lxw_col_t>(c);
      if (number) worksheet_write_number(s.sheet, s.rows, col, std::stod(cell), nullptr);
      else worksheet_write_string(s.sheet, s.rows, col, cell.c_str(), header ? bold_ : nullptr);
      if (widths_.size() <= c) widths_.resize(c + 1, 6);
      widths_[c] = std::min(60.0, std::max(widths_[c], 2.0 + 1.8 * static_cast<double>(text::Utf8Length(cell))));
    }
    ++s.rows;
  }

  lxw_workbook* workbook_;
  lxw_format* bold_;
  std::vector<std::string> header_;
  std::vector<Sheet> sheets_;
  std::vector<double> widths_;
};

std::string WriteXlsx(const std::string& path, const ReportLines& lines) {
  lxw_workbook* workbook = workbook_new(path.c_str());
  if (!workbook) return std::strerror(errno ? errno : EACCES);
  XlsxReport report(workbook);
  lines([&](const std::vector<std::string>& cells) { report.Line(cells); });
  report.Finish();
  const lxw_error error = workbook_close(workbook);
  return error == LXW_NO_ERROR ? std::string() : lxw_strerror(error);
}

}  // namespace

bool IsWorkbookReportPath(const std::string& path) {
  return path.size() > 5 && text::AsciiLower(path.substr(path.size() - 5)) == ".xlsx";
}

std::string WriteReport(const std::string& path, const ReportLines& lines) {
  errno = 0;
  return IsWorkbookReportPath(path) ? WriteXlsx(path, lines) : WriteTsv(path, lines);
}

std::string WriteReport(const std::string& path, const std::vector<std::vector<std::string>>& table) {
  return WriteReport(path, [&](const std::function<void(const std::vector<std::string>&)>& line) {
    for (const auto& cells : table) line(cells);
  });
}

}  // namespace rowcaster::output
