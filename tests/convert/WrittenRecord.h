#pragma once
// A composed record as a library system reads it: written in an encoding, read back, its field lines
// as the listing gives them ("300    $a text"), the leader left out.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "iso2709/Listing.h"
#include "iso2709/Writers.h"

namespace rowcaster::test {

inline std::vector<std::string> WrittenFieldLines(const iso2709::Record& record, iso2709::Encoding encoding) {
  iso2709::RecordWriter writer(iso2709::Format::Iso2709, encoding);
  std::string bytes;
  EXPECT_TRUE(writer.Append(record, bytes).ok);
  iso2709::Record back;
  EXPECT_TRUE(iso2709::ReadRecord(bytes, back, encoding));
  const std::string listing = iso2709::Listing(back);
  std::vector<std::string> lines;
  for (std::size_t start = listing.find('\n') + 1; start < listing.size();) {
    const std::size_t end = listing.find('\n', start);
    lines.push_back(listing.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace rowcaster::test
