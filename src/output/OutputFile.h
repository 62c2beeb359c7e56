#pragma once
// Writes a run's records to its output file whole: a write that cannot complete is cut back to
// the last whole record, so the file never ends inside a record, and the data reach the disk
// before the run reports success. A format with an epilogue (MARCXML's end tag) has it written
// after every batch, so the file is whole between batches too.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "iso2709/Writers.h"
#include "output/ExistingOutput.h"
#include "platform/File.h"

namespace rowcaster::output {

struct OutputTarget {
  std::string path;
  iso2709::Format format = iso2709::Format::Iso2709;
  iso2709::Encoding encoding = iso2709::Encoding::Gbk;
  bool replace = false;  // empty an existing file first instead of appending to it
  bool nowhere = false;  // open and write nothing; every record counts as written (a dry run)
};

class OutputFile {
 public:
  // Opens the file and makes it ready for appending; ok() says whether it is.
  explicit OutputFile(const OutputTarget& target);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool ok() const { return nowhere_ || (file_.IsOpen() && error_.empty() && existing_.refusal == Refusal::None); }
  const std::string& error() const { return error_; }
  // What the file held before; its refusal, when there is one, is why ok() is false (and error()
  // is empty: the refusal is the reason).
  const ExistingOutput& existing() const { return existing_; }
  // Bytes of a partial record cut from the end of the existing file.
  std::int64_t cutBytes() const { return cutBytes_; }

  // Writes the records `bytes`, which end at the offsets `ends`; returns how many are whole in the
  // file. On a failure the file keeps the whole ones and error() says why.
  std::size_t Write(std::string& bytes, const std::vector<std::size_t>& ends);
  // Takes every record this run wrote back out: the file holds what it held after opening, and a
  // file this run created is removed. For a run whose source failed part way.
  void TakeBack();
  // Flushes to the disk and closes; false when that failed (error() says why).
  bool Close();

 private:
  void Prepare(const OutputTarget& target);
  std::size_t WriteAt(std::int64_t at, std::string_view bytes);
  bool IsEpilogue(std::int64_t from, std::int64_t to) const;

  bool nowhere_ = false;
  File file_;
  std::string path_;
  bool created_ = false;  // the file did not exist before
  std::int64_t begin_ = 0, end_ = 0;  // where this run's records begin and end
  std::int64_t cutBytes_ = 0;
  ExistingOutput existing_;
  std::string prologue_, epilogue_;
  std::string error_;
};

}  // namespace rowcaster::output
