#include "platform/BlockReader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace rowcaster {

BlockReader::BlockReader(int fd) : fd_(fd) {
  const off_t end = ::lseek(fd, 0, SEEK_END);
  size_ = end > 0 ? static_cast<std::size_t>(end) : 0;
}

char BlockReader::operator[](std::size_t at) {
  if (at < start_ || at >= start_ + block_.size()) Load(at - at % kBlock);
  return at - start_ < block_.size() ? block_[at - start_] : '\0';
}

std::string BlockReader::Read(std::size_t at, std::size_t n) {
  std::string out;
  for (std::size_t i = at; i < size_ && i < at + n;) {
    (*this)[i];  // loads the block holding i
    if (i < start_ || i >= start_ + block_.size()) break;  // a read error
    const std::size_t take = std::min(start_ + block_.size(), at + n) - i;
    out.append(block_, i - start_, take);
    i += take;
  }
  return out;
}

std::size_t BlockReader::Find(char c, std::size_t from) {
  for (std::size_t i = from; i < size_;) {
    (*this)[i];
    if (i < start_ || i >= start_ + block_.size()) break;
    const std::size_t k = block_.find(c, i - start_);
    if (k != std::string::npos) return start_ + k;
    i = start_ + block_.size();
  }
  return size_;
}

void BlockReader::Load(std::size_t start) {
  start_ = start;
  block_.resize(std::min(kBlock, size_ - start));
  std::size_t done = 0;
  while (done < block_.size()) {
    const ssize_t n = ::pread(fd_, block_.data() + done, block_.size() - done, static_cast<off_t>(start + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  block_.resize(done);
}

}  // namespace rowcaster
