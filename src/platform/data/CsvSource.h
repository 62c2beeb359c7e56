#pragma once
// Delimited text tables (.csv, .tsv, .txt) as vendors and library systems export them: RFC 4180
// quoting with line breaks inside quotes, the delimiter found (, ; tab |), the encoding found
// (byte-order mark; valid UTF-8; else GB18030, as Excel on Chinese Windows saves a CSV), the
// first row the column names.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/Connection.h"

namespace rowcaster::data {

// A folder of text tables, each file one table (the ODBC text driver's view).
std::unique_ptr<Connection> OpenTextFolder(const std::string& folder);

// One text table.
std::unique_ptr<RowSet> OpenTextTable(const std::string& path);

// The table in `bytes` (a whole file): its field names and rows. Throws DataError.
struct TextTable {
  std::vector<std::string> names;
  std::vector<std::vector<std::string>> rows;
  char delimiter = ',';
  std::string encoding;  // "UTF-8", "UTF-16LE", "UTF-16BE" or "GB18030"
};
TextTable ParseTextTable(std::string_view bytes, std::string_view extension);

}  // namespace rowcaster::data
