#pragma once
// An ISO 2709 record read back into its fields, and the readable listing people look at (one field
// a line, as yaz-marcdump prints them).

#include <string>
#include <string_view>
#include <vector>

#include "iso2709/Record.h"
#include "iso2709/Writers.h"

namespace rowcaster::iso2709 {

// Reads one record (bytes in `encoding`) into UTF-8 fields; false when it is not a whole ISO 2709
// record.
bool ReadRecord(std::string_view bytes, Record& record, Encoding encoding = Encoding::Gbk);

// "tag ind $a value $b value" a line, the leader first.
std::string Listing(const Record& record);

}  // namespace rowcaster::iso2709
