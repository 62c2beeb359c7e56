#include "import/LoadedTable.h"

#include <cstring>
#include <new>

namespace rowcaster::import {
namespace {

inline std::size_t VarintSize(std::size_t n) {
  std::size_t k = 1;
  while (n >= 0x80) n >>= 7, ++k;
  return k;
}

inline char* PutVarint(char* p, std::size_t n) {
  while (n >= 0x80) {
    *p++ = static_cast<char>(n | 0x80);
    n >>= 7;
  }
  *p++ = static_cast<char>(n);
  return p;
}

inline const char* GetVarint(const char* p, std::size_t& n) {
  n = 0;
  for (int shift = 0;; shift += 7) {
    const auto b = static_cast<unsigned char>(*p++);
    n |= static_cast<std::size_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) return p;
  }
}

// Waiting readers are woken every so many rows, not for each.
constexpr std::size_t kWakeEvery = 1024;

}  // namespace

LoadedTable::LoadedTable() {
  chunks_.reserve(kMaxChunks);
  rowBlocks_.reserve(kMaxRowBlocks);
}

LoadedTable::LoadedTable(std::vector<std::string> fieldNames) : LoadedTable() { names_ = std::move(fieldNames); }

template <typename Values>
void LoadedTable::Append(const Values& values) {
  const std::size_t cols = names_.size();
  std::size_t need = 0;
  for (std::size_t c = 0; c < cols; ++c) {
    const std::size_t len = c < values.size() ? values[c].size() : 0;
    need += VarintSize(len) + len;
  }
  const std::size_t row = rowCount_.load(std::memory_order_relaxed);
  if ((chunks_.empty() || used_ + need > chunkSizes_.back()) && chunks_.size() == kMaxChunks) throw std::bad_alloc();
  if ((row & (kRowBlock - 1)) == 0) {
    if (rowBlocks_.size() == kMaxRowBlocks) throw std::bad_alloc();
    rowBlocks_.emplace_back(new RowRef[kRowBlock]);
  }
  if (chunks_.empty() || used_ + need > chunkSizes_.back()) {
    const std::size_t size = need > kChunk ? need : kChunk;
    chunks_.emplace_back(new char[size]);
    chunkSizes_.push_back(size);
    used_ = 0;
  }
  char* p = chunks_.back().get() + used_;
  rowBlocks_.back()[row & (kRowBlock - 1)] = {static_cast<std::uint32_t>(chunks_.size() - 1),
                                              static_cast<std::uint32_t>(used_)};
  for (std::size_t c = 0; c < cols; ++c) {
    const std::size_t len = c < values.size() ? values[c].size() : 0;
    p = PutVarint(p, len);
    if (len) std::memcpy(p, values[c].data(), len);
    p += len;
  }
  used_ += need;
  rowCount_.store(row + 1, std::memory_order_release);
  if ((row + 1) % kWakeEvery == 0 && loading_.load(std::memory_order_relaxed)) {
    std::lock_guard<std::mutex> lock(loadMutex_);
    moreRows_.notify_all();
  }
}

void LoadedTable::AppendRow(const std::vector<std::string>& values) { Append(values); }
void LoadedTable::AppendRow(const std::vector<std::string_view>& values) { Append(values); }

std::string_view LoadedTable::Cell(std::size_t row, std::size_t col) const {
  if (row >= RowCount() || col >= names_.size()) return {};
  const RowRef* ref = Ref(row);
  const char* p = chunks_[ref->chunk].get() + ref->offset;
  std::size_t len = 0;
  for (std::size_t c = 0;; ++c) {
    p = GetVarint(p, len);
    if (c == col) return {p, len};
    p += len;
  }
}

void LoadedTable::Row(std::size_t row, std::vector<std::string_view>& out) const {
  out.clear();
  if (row >= RowCount()) return;
  const RowRef* ref = Ref(row);
  const char* p = chunks_[ref->chunk].get() + ref->offset;
  for (std::size_t c = 0; c < names_.size(); ++c) {
    std::size_t len = 0;
    p = GetVarint(p, len);
    out.emplace_back(p, len);
    p += len;
  }
}

std::size_t LoadedTable::MemoryBytes() const {
  std::size_t total = rowBlocks_.size() * kRowBlock * sizeof(RowRef);
  for (std::size_t s : chunkSizes_) total += s;
  return total;
}

void LoadedTable::BeginLoading() { loading_.store(true, std::memory_order_release); }

void LoadedTable::EndLoading(std::string error) {
  {
    std::lock_guard<std::mutex> lock(loadMutex_);
    loadError_ = std::move(error);
    loading_.store(false, std::memory_order_release);
  }
  moreRows_.notify_all();
}

std::size_t LoadedTable::WaitForRows(std::size_t rows) const {
  if (!Loading()) return RowCount();
  std::unique_lock<std::mutex> lock(loadMutex_);
  moreRows_.wait(lock, [&] { return !loading_.load(std::memory_order_acquire) || RowCount() >= rows; });
  return RowCount();
}

std::string LoadedTable::LoadError() const {
  std::lock_guard<std::mutex> lock(loadMutex_);
  return loadError_;
}

}  // namespace rowcaster::import
