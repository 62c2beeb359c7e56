#pragma once
// The one reading of ISO 2709 framing: where a record begun at some byte ends, whether its leader
// and directory describe its fields, and the directory's entries. The append check of an output
// file, the record reader and the tests all go through it.

#include <cstddef>
#include <string_view>
#include <vector>

namespace rowcaster::iso2709 {

inline constexpr char kRecordTerminator = '\x1D';
inline constexpr char kFieldTerminator = '\x1E';
inline constexpr char kSubfieldDelimiter = '\x1F';

enum class Framing {
  Whole,         // leader, directory and fields up to the record terminator the length points at
  Partial,       // the bytes end before the declared length (or inside the length), with no record
                 // terminator among them: what a write cut short leaves
  NotARecord,    // the bytes do not begin with a leader
  BadLength,     // the declared length does not end at a record terminator
  BadDirectory,  // the length ends right, but the leader or directory does not describe the fields
};

struct DirectoryEntry {
  std::string_view tag;
  std::size_t length = 0;  // with the field terminator
  std::size_t start = 0;   // from the base address
};

struct Frame {
  Framing framing = Framing::NotARecord;
  std::size_t length = 0;  // the declared record length (0 when not declared)
  std::size_t base = 0;    // the base address of data (Whole)
};

// The longest record a 5-digit length can declare.
inline constexpr std::size_t kLongestRecord = 99999;

// Frames the record that begins `bytes`. `bytes` holds at least the declared length where the
// data have it; when it is shorter, it must be all there is (the rest of a file).
Frame FrameRecord(std::string_view bytes);

// The directory entries of a record FrameRecord found Whole.
std::vector<DirectoryEntry> Directory(std::string_view record, std::size_t base);

}  // namespace rowcaster::iso2709
