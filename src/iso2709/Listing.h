#pragma once
// An ISO 2709 record read back into its fields, and the readable listing people look at (one field
// a line, as yaz-marcdump prints them).

#include <string>
#include <string_view>
#include <vector>

namespace rowcaster::iso2709 {

struct Field {
  std::string tag;
  std::string indicators;                                      // two characters; empty for 001-009
  std::string data;                                            // a control field's data
  std::vector<std::pair<std::string, std::string>> subfields;  // code, value
};

struct Record {
  std::string leader;
  std::vector<Field> fields;
};

// Reads one record (GBK bytes) into UTF-8 fields; false when it is not a whole ISO 2709 record.
bool ReadRecord(std::string_view bytes, Record& record);

// "tag ind $a value $b value" a line, the leader first.
std::string Listing(const Record& record);

}  // namespace rowcaster::iso2709
