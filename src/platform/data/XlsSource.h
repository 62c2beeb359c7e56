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

// A cell as read with its text kept apart: the shared string `text`, or, past the shared strings,
// the sheet's own[text - their count]. A sheet's cells are mostly shared strings, so cells stay
// small and each text is copied once, when its row is read.
struct CompactCell {
  std::uint32_t row;
  std::uint16_t col;
  std::uint32_t text;
};
// Texts kept end to end in one buffer: a sheet of a million short texts makes no allocation for
// each.
class TextList {
 public:
  std::size_t size() const { return ends_.size(); }
  std::string_view operator[](std::size_t i) const {
    const std::size_t begin = i ? ends_[i - 1] : 0;
    return std::string_view(text_).substr(begin, ends_[i] - begin);
  }
  void push_back(std::string_view text) {
    text_.append(text);
    ends_.push_back(text_.size());
  }
  void Reserve(std::size_t bytes, std::size_t texts) {
    text_.reserve(bytes);
    ends_.reserve(texts);
  }
  // The next text is what is appended to Open() until Close().
  std::string& Open() { return text_; }
  void Close() { ends_.push_back(text_.size()); }
  void Append(const TextList& more) {
    const std::size_t shift = text_.size();
    text_.append(more.text_);
    for (std::size_t end : more.ends_) ends_.push_back(end + shift);
  }

 private:
  std::string text_;
  std::vector<std::size_t> ends_;
};

struct CompactSheet {
  std::vector<CompactCell> cells;
  TextList own;
};

// The sheet (its cells in order) as a table; `shared` must outlive it.
std::unique_ptr<RowSet> CompactRowSet(CompactSheet sheet, const std::vector<std::string>& shared);
// The sheet's cells with their texts.
std::vector<SheetCell> ExpandCells(const CompactSheet& sheet, const std::vector<std::string>& shared);

std::unique_ptr<Connection> OpenXls(const std::string& path);

// The workbook stream ("Workbook" or "Book") of a compound file, read whole, or with
// `globalsOnly` its globals substream alone (the whole stream when that cannot be told).
std::string ReadWorkbookStream(const std::string& path, bool globalsOnly = false);

// A workbook stream's bytes: held in memory, or seen where they lie in the file mapped into memory
// (kept mapped while the object lives).
class WorkbookStream {
 public:
  WorkbookStream(std::string bytes = {}) : owned_(std::move(bytes)) {}  // implicit: a stream in memory is one
  WorkbookStream(std::shared_ptr<const void> keep, std::string_view bytes) : keep_(std::move(keep)), mapped_(bytes) {}
  std::string_view bytes() const { return keep_ ? mapped_ : std::string_view(owned_); }

 private:
  std::string owned_;
  std::shared_ptr<const void> keep_;  // what keeps mapped_ readable
  std::string_view mapped_;
};

// ReadWorkbookStream's whole stream, without copying it where the file keeps it in one run of
// blocks (most files): a large workbook is then neither copied nor given fresh memory.
WorkbookStream MapWorkbookStream(const std::string& path);

// One worksheet read from a workbook stream: the cells with values, as text, row by row.
struct XlsSheet {
  std::string name;
  bool worksheet = true;  // false for chart, macro and module sheets
  std::uint32_t offset = 0;
};

class XlsWorkbook {
 public:
  // Parses the workbook globals of a BIFF5/BIFF8 stream. Throws DataError for what it cannot read.
  explicit XlsWorkbook(WorkbookStream stream);
  const std::vector<XlsSheet>& Sheets() const { return sheets_; }
  // The cells of a sheet that hold values, in row and column order.
  using Cell = SheetCell;
  std::vector<Cell> ReadSheet(const XlsSheet& sheet) const;
  // The sheet as a table; the workbook must outlive it. A sheet whose rows come in order is read
  // while its rows are taken; any other is read whole first (WholeSheetRows).
  std::unique_ptr<RowSet> SheetRows(const XlsSheet& sheet) const;
  // The sheet as a table (CompactRowSet), read whole before its first row is given.
  std::unique_ptr<RowSet> WholeSheetRows(const XlsSheet& sheet) const;

 private:
  struct Format;
  template <typename Sink>
  class SheetReader;
  class StreamedRows;
  CompactSheet ReadCompactSheet(const XlsSheet& sheet) const;
  std::string TextOfNumber(double value, std::uint16_t xf) const;
  WorkbookStream stream_;
  bool biff8_ = true, date1904_ = false;
  int codePage_ = 936;
  std::vector<XlsSheet> sheets_;
  std::vector<std::string> sst_;
  std::vector<std::uint16_t> xfFormat_;
  std::vector<std::pair<std::uint16_t, bool>> formatIsDate_;
};

}  // namespace rowcaster::data
