#include "iso2709/Decoder.h"

namespace rowcaster::iso2709 {
namespace {

bool Digits(std::string_view s, std::size_t& value) {
  value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::size_t>(c - '0');
  }
  return !s.empty();
}

// The part of a leader that is there: the length and base address are digits, the indicator and
// subfield code counts 2 (the leader of a record whose writing was cut short).
bool LeaderSoFar(std::string_view bytes) {
  for (std::size_t i = 0; i < 17 && i < bytes.size(); ++i) {
    const char c = bytes[i];
    if ((i < 5 || i >= 12) && (c < '0' || c > '9')) return false;
    if ((i == 10 || i == 11) && c != '2') return false;
  }
  return true;
}

// Reads the directory between the leader and `base`; false when an entry is not digits or a field
// lies outside the record or does not end with a field terminator.
bool ReadDirectory(std::string_view record, std::size_t base, std::vector<DirectoryEntry>* entries) {
  if (base < 25 || base >= record.size() || (base - 25) % 12 != 0 || record[base - 1] != kFieldTerminator) return false;
  const std::size_t dataEnd = record.size() - 1;  // the record terminator
  for (std::size_t d = 24; d + 12 < base; d += 12) {
    DirectoryEntry e;
    e.tag = record.substr(d, 3);
    if (!Digits(record.substr(d + 3, 4), e.length) || !Digits(record.substr(d + 7, 5), e.start)) return false;
    if (e.length == 0 || base + e.start + e.length > dataEnd || record[base + e.start + e.length - 1] != kFieldTerminator)
      return false;
    if (entries) entries->push_back(e);
  }
  return true;
}

}  // namespace

Frame FrameRecord(std::string_view bytes) {
  Frame f;
  const std::string_view head = bytes.substr(0, 5);
  for (char c : head)
    if (c < '0' || c > '9') return f;
  if (head.empty()) return f;
  const bool terminated = bytes.find(kRecordTerminator) != std::string_view::npos;
  if (head.size() < 5) {
    f.framing = terminated ? Framing::BadLength : Framing::Partial;
    return f;
  }
  Digits(head, f.length);
  if (f.length < 25) {
    f.framing = Framing::BadLength;
    return f;
  }
  if (bytes.size() < f.length) {
    f.framing = terminated ? Framing::BadLength : LeaderSoFar(bytes) ? Framing::Partial : Framing::NotARecord;
    return f;
  }
  const std::string_view record = bytes.substr(0, f.length);
  if (record.back() != kRecordTerminator) {
    f.framing = Framing::BadLength;
    return f;
  }
  f.framing = Digits(record.substr(12, 5), f.base) && ReadDirectory(record, f.base, nullptr) ? Framing::Whole
                                                                                              : Framing::BadDirectory;
  return f;
}

std::vector<DirectoryEntry> Directory(std::string_view record, std::size_t base) {
  std::vector<DirectoryEntry> entries;
  if (!ReadDirectory(record, base, &entries)) entries.clear();
  return entries;
}

}  // namespace rowcaster::iso2709
