#pragma once
// What an output file holds before a run appends to it: how many records, where appending starts,
// whether a partial record at its end is cut first, or why nothing may be appended at all. Whole
// records are never cut: a record that does not chain stops the run before the file is touched.

#include <cstdint>
#include <string>
#include <vector>

#include "iso2709/Writers.h"

namespace rowcaster::output {

enum class Refusal {
  None,            // records can be appended
  NotIso2709,      // the file does not begin with a record
  NotMarcXml,      // no MARCXML collection
  UnendedMarcXml,  // a collection without a whole record or its end tag
  OtherEncoding,   // its records are in another encoding family than the run's
  Damaged,         // a record does not chain to the next; see `damage`
};

enum class Damage {
  None,
  Length,        // the declared length does not end at a record terminator
  Directory,     // the leader's base address or the directory does not describe the fields
  StrayBytes,    // bytes that begin no record stand between records
  NoTerminator,  // the last record's length ends without a record terminator
};

struct ExistingOutput {
  bool exists = false;
  std::int64_t bytes = 0;
  // Records the file holds; past a damaged record they are counted by their terminators.
  std::int64_t records = 0;
  Refusal refusal = Refusal::None;
  Damage damage = Damage::None;
  std::int64_t damagedRecord = 0;  // from 1
  bool utf8Records = false;        // with OtherEncoding: the records found are UTF-8
  std::int64_t appendAt = 0;       // appending starts here; anything after it is cut first
  std::int64_t partialBytes = 0;   // a record cut short at the end (what a killed run leaves)
  std::vector<std::string> firstRecords;  // the first whole ISO 2709 records, a few at most
};

inline constexpr std::size_t kFirstRecordsKept = 3;

// Looks at the file at `path` (nothing there: exists is false).
ExistingOutput InspectOutput(const std::string& path, iso2709::Format format, iso2709::Encoding encoding);
// The same for a file already open for reading.
ExistingOutput InspectOpenOutput(int fd, iso2709::Format format, iso2709::Encoding encoding);

}  // namespace rowcaster::output
