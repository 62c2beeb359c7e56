#pragma once
// What every spreadsheet reader shares: cells put in order, and a sheet's used range as a table.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/data/Connection.h"

namespace rowcaster::data {

// Puts cells (with `row` and `col`) in row and column order; of a cell written twice the later
// one stays.
template <typename Cell>
void OrderCells(std::vector<Cell>& cells) {
  // Writers store the cells row by row; sort only when one did not.
  const auto before = [](const Cell& a, const Cell& b) { return a.row != b.row ? a.row < b.row : a.col < b.col; };
  if (!std::is_sorted(cells.begin(), cells.end(), before)) std::stable_sort(cells.begin(), cells.end(), before);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (kept > 0 && cells[kept - 1].row == cells[i].row && cells[kept - 1].col == cells[i].col) {
      cells[kept - 1] = std::move(cells[i]);
    } else {
      if (kept != i) cells[kept] = std::move(cells[i]);
      ++kept;
    }
  }
  cells.resize(kept);
}

// A sheet's used range as a table: its first row gives the field names (a blank one is "F" + its
// column number), every later row is a record, empty rows inside the range included. The cells
// must be in order (OrderCells); `text(cell, out)` puts a cell's text into `out`, once per cell.
template <typename Cell, typename Text>
class UsedRangeRows : public RowSet {
 public:
  UsedRangeRows(std::vector<Cell> cells, Text text) : cells_(std::move(cells)), text_(std::move(text)) {
    if (cells_.empty()) return;
    firstRow_ = cells_.front().row;
    lastRow_ = cells_.back().row;
    std::uint16_t firstCol = 0xFFFF, lastCol = 0;
    for (const auto& c : cells_) {
      firstCol = std::min<std::uint16_t>(firstCol, c.col);
      lastCol = std::max<std::uint16_t>(lastCol, c.col);
    }
    firstCol_ = firstCol;
    names_.resize(lastCol - firstCol + 1);
    for (; next_ < cells_.size() && cells_[next_].row == firstRow_; ++next_)
      text_(cells_[next_], names_[cells_[next_].col - firstCol_]);
    for (std::size_t c = 0; c < names_.size(); ++c)
      if (names_[c].empty()) names_[c].append("F").append(std::to_string(c + 1));
    row_ = firstRow_ + 1;
  }
  std::optional<std::int64_t> RecordCount() const override {
    return cells_.empty() ? 0 : static_cast<std::int64_t>(lastRow_ - firstRow_);
  }
  const std::vector<std::string>& FieldNames() const override { return names_; }
  bool Next(std::vector<std::string>& values) override {
    if (cells_.empty() || row_ > lastRow_) return false;
    values.resize(names_.size());
    for (auto& v : values) v.clear();
    for (; next_ < cells_.size() && cells_[next_].row == row_; ++next_)
      text_(cells_[next_], values[cells_[next_].col - firstCol_]);
    ++row_;
    return true;
  }

 private:
  std::vector<Cell> cells_;
  Text text_;
  std::vector<std::string> names_;
  std::uint32_t firstRow_ = 0, lastRow_ = 0, row_ = 0;
  std::uint16_t firstCol_ = 0;
  std::size_t next_ = 0;
};

// A workbook as a connection: each worksheet is a table "name$". `Book` has Sheets() (each with
// `name` and `worksheet`) and SheetRows(sheet).
template <typename Book>
class WorkbookConnection : public Connection {
 public:
  template <typename... Args>
  explicit WorkbookConnection(Args&&... args) : book_(std::forward<Args>(args)...) {}

  std::vector<CatalogRow> Tables() override {
    std::vector<CatalogRow> rows;
    for (const auto& s : book_.Sheets())
      if (s.worksheet) rows.push_back({"TABLE", s.name + "$"});
    return rows;
  }

  std::unique_ptr<RowSet> Query(const std::string& queryText) override {
    std::string name = TableOfQuery(queryText);
    if (!name.empty() && name.back() == '$') name.pop_back();
    for (const auto& s : book_.Sheets())
      if (s.worksheet && s.name == name) return book_.SheetRows(s);
    throw DataError("工作簿中没有工作表“" + name + "”");
  }

 private:
  Book book_;
};

}  // namespace rowcaster::data
