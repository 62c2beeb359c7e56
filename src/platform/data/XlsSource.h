#pragma once
// Excel 97-2003 workbooks (.xls, BIFF8 and BIFF5): every worksheet is a table "name$".

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/Connection.h"

namespace rowcaster::data {

// A cell of a worksheet that holds a value, as text; rows and columns from 0.
struct SheetCell {
  std::uint32_t row;
  std::uint16_t col;
  std::string text;
};

// A sheet's used range as a table (UsedRangeRows); the cells must be in order (OrderCells).
std::unique_ptr<RowSet> SheetRowSet(std::vector<SheetCell> cells);

std::unique_ptr<Connection> OpenXls(const std::string& path);

// The workbook stream ("Workbook" or "Book") of a compound file, read whole.
std::string ReadWorkbookStream(const std::string& path);

// One worksheet read from a workbook stream: the cells with values, as text, row by row.
struct XlsSheet {
  std::string name;
  bool worksheet = true;  // false for chart, macro and module sheets
  std::uint32_t offset = 0;
};

class XlsWorkbook {
 public:
  // Parses the workbook globals of a BIFF5/BIFF8 stream. Throws DataError for what it cannot read.
  explicit XlsWorkbook(std::string stream);
  const std::vector<XlsSheet>& Sheets() const { return sheets_; }
  // The cells of a sheet that hold values, in row and column order.
  using Cell = SheetCell;
  std::vector<Cell> ReadSheet(const XlsSheet& sheet) const;
  // The sheet as a table (SheetRowSet).
  std::unique_ptr<RowSet> SheetRows(const XlsSheet& sheet) const;

 private:
  struct Format;
  class SheetReader;
  std::string TextOfNumber(double value, std::uint16_t xf) const;
  std::string stream_;
  bool biff8_ = true, date1904_ = false;
  int codePage_ = 936;
  std::vector<XlsSheet> sheets_;
  std::vector<std::string> sst_;
  std::vector<std::uint16_t> xfFormat_;
  std::vector<std::pair<std::uint16_t, bool>> formatIsDate_;
};

}  // namespace rowcaster::data
