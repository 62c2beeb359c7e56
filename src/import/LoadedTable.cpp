#include "import/LoadedTable.h"

#include <cstring>

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

}  // namespace

template <typename Values>
void LoadedTable::Append(const Values& values) {
  const std::size_t cols = names_.size();
  std::size_t need = 0;
  for (std::size_t c = 0; c < cols; ++c) {
    const std::size_t len = c < values.size() ? values[c].size() : 0;
    need += VarintSize(len) + len;
  }
  if (chunks_.empty() || used_ + need > chunkSizes_.back()) {
    const std::size_t size = need > kChunk ? need : kChunk;
    chunks_.emplace_back(new char[size]);
    chunkSizes_.push_back(size);
    used_ = 0;
  }
  char* p = chunks_.back().get() + used_;
  rows_.push_back({static_cast<std::uint32_t>(chunks_.size() - 1), static_cast<std::uint32_t>(used_)});
  for (std::size_t c = 0; c < cols; ++c) {
    const std::size_t len = c < values.size() ? values[c].size() : 0;
    p = PutVarint(p, len);
    if (len) std::memcpy(p, values[c].data(), len);
    p += len;
  }
  used_ += need;
}

void LoadedTable::AppendRow(const std::vector<std::string>& values) { Append(values); }
void LoadedTable::AppendRow(const std::vector<std::string_view>& values) { Append(values); }

std::string_view LoadedTable::Cell(std::size_t row, std::size_t col) const {
  if (row >= rows_.size() || col >= names_.size()) return {};
  const char* p = chunks_[rows_[row].chunk].get() + rows_[row].offset;
  std::size_t len = 0;
  for (std::size_t c = 0;; ++c) {
    p = GetVarint(p, len);
    if (c == col) return {p, len};
    p += len;
  }
}

void LoadedTable::Row(std::size_t row, std::vector<std::string_view>& out) const {
  out.clear();
  if (row >= rows_.size()) return;
  const char* p = chunks_[rows_[row].chunk].get() + rows_[row].offset;
  for (std::size_t c = 0; c < names_.size(); ++c) {
    std::size_t len = 0;
    p = GetVarint(p, len);
    out.emplace_back(p, len);
    p += len;
  }
}

std::size_t LoadedTable::MemoryBytes() const {
  std::size_t total = rows_.capacity() * sizeof(RowRef);
  for (std::size_t s : chunkSizes_) total += s;
  return total;
}

}  // namespace rowcaster::import
