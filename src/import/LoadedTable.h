#pragma once
// One table as it was read from the user's file: the field names and every record's cell texts.
// Compact, since tables run to a million rows: each row is one run of bytes, a cell being its
// length (a varint) followed by its text, in large shared chunks.
// A table may be read on one thread while others read the rows counted so far (see BeginLoading).

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace rowcaster::import {

class LoadedTable {
 public:
  LoadedTable();
  explicit LoadedTable(std::vector<std::string> fieldNames);
  LoadedTable(const LoadedTable&) = delete;
  LoadedTable& operator=(const LoadedTable&) = delete;

  const std::vector<std::string>& FieldNames() const { return names_; }
  void SetFieldNames(std::vector<std::string> names) { names_ = std::move(names); }
  std::size_t ColumnCount() const { return names_.size(); }
  std::size_t RowCount() const { return rowCount_.load(std::memory_order_acquire); }

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

  // Reading the table on one thread while others use it. The reading thread calls BeginLoading
  // before the field names and the first row, and EndLoading after the last row, with the reason
  // when the read failed. Meanwhile other threads read the rows RowCount() counts, and the field
  // names once WaitForRows has returned.
  void BeginLoading();
  void EndLoading(std::string error = {});
  // Waits until the table has `rows` rows or is read to its end; returns RowCount() then.
  std::size_t WaitForRows(std::size_t rows) const;
  bool Loading() const { return loading_.load(std::memory_order_acquire); }
  // Why the read failed before its end; empty when it did not.
  std::string LoadError() const;

 private:
  template <typename Values>
  void Append(const Values& values);
  struct RowRef {
    std::uint32_t chunk, offset;
  };
  const RowRef* Ref(std::size_t row) const { return &rowBlocks_[row >> kRowBlockBits][row & (kRowBlock - 1)]; }

  static constexpr std::size_t kChunk = 8u << 20;
  static constexpr std::size_t kRowBlockBits = 16, kRowBlock = std::size_t{1} << kRowBlockBits;
  // Both pointer arrays are reserved whole, so that appending never moves what readers on other
  // threads look at: 2^32 rows, and 512 GiB of cells in chunks of kChunk.
  static constexpr std::size_t kMaxRowBlocks = std::size_t{1} << 16, kMaxChunks = std::size_t{1} << 16;
  std::vector<std::string> names_;
  int firstDataLine_ = 0;
  std::vector<std::unique_ptr<char[]>> chunks_;
  std::vector<std::size_t> chunkSizes_;
  std::size_t used_ = 0;  // bytes used in the last chunk
  std::vector<std::unique_ptr<RowRef[]>> rowBlocks_;
  std::atomic<std::size_t> rowCount_{0};

  std::atomic<bool> loading_{false};
  mutable std::mutex loadMutex_;
  mutable std::condition_variable moreRows_;
  std::string loadError_;
};

}  // namespace rowcaster::import
