#pragma once
// One table as it was read from the user's file: the field names and every record's cell texts.
// Compact, since tables run to a million rows: each row is one run of bytes, a cell being its
// length (a varint) followed by its text, in large shared chunks.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace rowcaster::import {

class LoadedTable {
 public:
  LoadedTable() = default;
  explicit LoadedTable(std::vector<std::string> fieldNames) : names_(std::move(fieldNames)) {}

  const std::vector<std::string>& FieldNames() const { return names_; }
  void SetFieldNames(std::vector<std::string> names) { names_ = std::move(names); }
  std::size_t ColumnCount() const { return names_.size(); }
  std::size_t RowCount() const { return rows_.size(); }

  // Appends one record; missing values are empty, values past the last field are dropped.
  void AppendRow(const std::vector<std::string>& values);
  void AppendRow(const std::vector<std::string_view>& values);

  // The text of data row `row` (from 0), column `col`; empty outside the table.
  std::string_view Cell(std::size_t row, std::size_t col) const;
  // All cells of one row.
  void Row(std::size_t row, std::vector<std::string_view>& out) const;

  // The line of the file or the sheet's row number the first data row stands on (2 under a header
  // row); 0 for tables whose records have no line (a database's).
  int FirstDataLine() const { return firstDataLine_; }
  void SetFirstDataLine(int line) { firstDataLine_ = line; }

  // Bytes held for the cells (not counting the field names).
  std::size_t MemoryBytes() const;

 private:
  template <typename Values>
  void Append(const Values& values);
  static constexpr std::size_t kChunk = 8u << 20;
  struct RowRef {
    std::uint32_t chunk, offset;
  };
  std::vector<std::string> names_;
  int firstDataLine_ = 0;
  std::vector<std::unique_ptr<char[]>> chunks_;
  std::vector<std::size_t> chunkSizes_;
  std::size_t used_ = 0;  // bytes used in the last chunk
  std::vector<RowRef> rows_;
};

}  // namespace rowcaster::import
