#include "platform/File.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace rowcaster {

File::~File() {
  if (fd_ >= 0) ::close(fd_);
}

bool File::OpenForWriting(const std::string& path, bool truncate) {
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : 0), 0644);
  if (fd_ < 0) error_ = errno;
  return fd_ >= 0;
}

std::size_t File::WriteAt(std::int64_t at, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(at + static_cast<std::int64_t>(done)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? errno : ENOSPC;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::string File::ReadAt(std::int64_t at, std::size_t n) const {
  std::string bytes(n, '\0');
  std::size_t done = 0;
  while (done < n) {
    const ssize_t got = ::pread(fd_, bytes.data() + done, n - done, static_cast<off_t>(at + static_cast<std::int64_t>(done)));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  bytes.resize(done);
  return bytes;
}

bool File::Truncate(std::int64_t size) {
  if (::ftruncate(fd_, static_cast<off_t>(size)) == 0) return true;
  error_ = errno;
  return false;
}

bool File::SyncAndClose() {
  if (fd_ < 0) return false;
  bool ok = true;
  if (::fsync(fd_) != 0 && errno != EINVAL) {
    error_ = errno;
    ok = false;
  }
  const int rc = ::close(fd_);
  fd_ = -1;
  if (rc != 0 && ok) {
    error_ = errno;
    ok = false;
  }
  return ok;
}

}  // namespace rowcaster
