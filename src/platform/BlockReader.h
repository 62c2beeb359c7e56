#pragma once
// The bytes of an open file, read a block at a time as they are asked for: a file of a million
// records is looked through without holding it in memory.

#include <cstddef>
#include <string>

namespace rowcaster {

class BlockReader {
 public:
  explicit BlockReader(int fd);
  std::size_t size() const { return size_; }
  // The byte at `at` (< size()); 0 when it cannot be read.
  char operator[](std::size_t at);
  // Up to `n` bytes from `at`.
  std::string Read(std::size_t at, std::size_t n);
  // Where `c` next stands at or after `from`; size() when nowhere.
  std::size_t Find(char c, std::size_t from);

 private:
  static constexpr std::size_t kBlock = 1 << 16;
  void Load(std::size_t start);
  int fd_;
  std::size_t size_ = 0, start_ = 0;
  std::string block_;
};

}  // namespace rowcaster
