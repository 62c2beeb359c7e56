#pragma once
// A file opened for reading and writing at offsets: what the output needs of the system, with
// every failure kept as the system's error number (ErrorText words it).

#include <cstdint>
#include <string>
#include <string_view>

namespace rowcaster {

class File {
 public:
  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens `path` for reading and writing, made when missing, emptied with `truncate`; false with
  // error() set when it cannot be.
  bool OpenForWriting(const std::string& path, bool truncate);
  bool IsOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // The errno of the last failure; 0 when none.
  int error() const { return error_; }

  // Writes all of `bytes` at `at`, retrying short writes; returns how many were written (all of
  // them unless error() says why; a full disk that writes nothing is ENOSPC).
  std::size_t WriteAt(std::int64_t at, std::string_view bytes);
  // Up to `n` bytes from `at`.
  std::string ReadAt(std::int64_t at, std::size_t n) const;
  bool Truncate(std::int64_t size);
  // Flushes to the disk (a file system that cannot is not an error), then closes.
  bool SyncAndClose();

 private:
  int fd_ = -1;
  int error_ = 0;
};

}  // namespace rowcaster
