#include "output/OutputFile.h"

#include <algorithm>
#include <filesystem>

#include "platform/SystemError.h"

namespace rowcaster::output {

OutputFile::OutputFile(const OutputTarget& target) : nowhere_(target.nowhere) {
  if (nowhere_) return;
  const iso2709::RecordWriter writer(target.format, target.encoding);
  prologue_ = writer.Prologue();
  epilogue_ = writer.Epilogue();
  std::error_code ec;
  // A dangling link is not made by the run: only the file it names would be.
  created_ = std::filesystem::symlink_status(target.path, ec).type() == std::filesystem::file_type::not_found;
  path_ = target.path;
  if (!file_.OpenForWriting(target.path, target.replace)) {
    error_ = WriteErrorText(file_.error());
    return;
  }
  Prepare(target);
  begin_ = end_;
}

void OutputFile::TakeBack() {
  if (nowhere_ || !file_.IsOpen()) return;
  if (created_) {
    file_.Truncate(0);
    std::error_code ec;
    std::filesystem::remove(path_, ec);
    end_ = 0;
    return;
  }
  if (!file_.Truncate(begin_)) {
    error_ = WriteErrorText(file_.error());
    return;
  }
  end_ = begin_;
  WriteAt(end_, epilogue_);
}

// Never appends after a partial record (a run killed mid-write left one: everything appended
// after it would be unreadable), and never cuts a whole one: a file whose records do not chain
// is refused untouched.
void OutputFile::Prepare(const OutputTarget& target) {
  existing_ = InspectOpenOutput(file_.fd(), target.format, target.encoding);
  if (existing_.refusal != Refusal::None) return;
  const std::int64_t size = existing_.bytes;
  if (size == 0 && !prologue_.empty()) {
    const std::string both = prologue_ + epilogue_;
    if (WriteAt(0, both) < both.size()) return;
    end_ = static_cast<std::int64_t>(prologue_.size());
    return;
  }
  end_ = existing_.appendAt;
  if (existing_.appendAt >= size) return;
  // An epilogue cut to be written again is not lost data; anything else is said.
  const bool onlyEpilogue = !epilogue_.empty() && IsEpilogue(existing_.appendAt, size);
  if (!file_.Truncate(existing_.appendAt)) {
    error_ = WriteErrorText(file_.error());
    return;
  }
  if (!onlyEpilogue) cutBytes_ = size - existing_.appendAt;
  WriteAt(end_, epilogue_);
}

std::size_t OutputFile::Write(std::string& bytes, const std::vector<std::size_t>& ends) {
  if (nowhere_) return ends.size();
  const std::size_t size = bytes.size();
  bytes += epilogue_;
  const std::size_t done = WriteAt(end_, bytes);
  bytes.resize(size);
  if (done < size + epilogue_.size()) {
    const std::size_t whole = std::upper_bound(ends.begin(), ends.end(), std::min(done, size)) - ends.begin();
    const std::size_t keep = whole ? ends[whole - 1] : 0;
    if (!file_.Truncate(end_ + static_cast<std::int64_t>(keep))) error_ += "（无法撤回未写完的记录）";
    end_ += static_cast<std::int64_t>(keep);
    if (!epilogue_.empty()) {
      const std::string message = error_;
      WriteAt(end_, epilogue_);  // best effort: the disk may still be full
      error_ = message;
    }
    return whole;
  }
  end_ += static_cast<std::int64_t>(size);
  return ends.size();
}

bool OutputFile::Close() {
  if (nowhere_) return true;
  if (!file_.IsOpen()) return false;
  if (!file_.SyncAndClose() && error_.empty()) error_ = WriteErrorText(file_.error());
  return error_.empty();
}

// Writes `bytes` at `at`; returns how many were written, all of them unless error() says why.
std::size_t OutputFile::WriteAt(std::int64_t at, std::string_view bytes) {
  const std::size_t done = file_.WriteAt(at, bytes);
  if (done < bytes.size()) error_ = WriteErrorText(file_.error());
  return done;
}

// Whether [from, to) of the file holds the epilogue and white space only.
bool OutputFile::IsEpilogue(std::int64_t from, std::int64_t to) const {
  if (to - from > 4096) return false;
  std::string bytes = file_.ReadAt(from, static_cast<std::size_t>(to - from));
  if (bytes.size() != static_cast<std::size_t>(to - from)) return false;
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!bytes.empty() && blank(bytes.back())) bytes.pop_back();
  std::string_view want(epilogue_);
  while (!want.empty() && blank(want.back())) want.remove_suffix(1);
  return bytes == want;
}

}  // namespace rowcaster::output
