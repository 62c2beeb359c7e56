#pragma once
// Database access by connection string: the stand-in for the data access layer the program was
// written against. A connection is opened from the connection-string text itself; the provider or
// driver and the data source in it choose the reader (.xls workbooks, Access/Jet databases, FoxPro
// tables, SQLite files). Everything comes back as text.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace rowcaster::data {

// A failure of the data layer; what() is one line a cataloguer can act on.
class DataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One row of the tables catalogue.
struct CatalogRow {
  std::string tableType;  // "TABLE", "SYSTEM TABLE", "VIEW"
  std::string tableName;
};

// The rows of one query, read front to back.
class RowSet {
 public:
  virtual ~RowSet() = default;
  // The number of records, or nothing when the source cannot tell before reading.
  virtual std::optional<std::int64_t> RecordCount() const = 0;
  virtual const std::vector<std::string>& FieldNames() const = 0;
  // The next record's values as text (null is the empty text), one per field; false at the end.
  virtual bool Next(std::vector<std::string>& values) = 0;
};

class Connection {
 public:
  virtual ~Connection() = default;
  // The tables catalogue, in the source's order.
  virtual std::vector<CatalogRow> Tables() = 0;
  // Opens a query text ("select * from NAME", as the source's kind writes it).
  virtual std::unique_ptr<RowSet> Query(const std::string& queryText) = 0;
  // Runs a query whose "?" marks take `params` as bound values and gives the named column of its
  // first row, or nothing when there is no row. Sources without parameter support throw.
  virtual std::optional<std::string> FirstValue(const std::string& queryText, const std::vector<std::string>& params,
                                                const std::string& column);
};

// The parts of a connection string that choose and place the reader. Keys are case-insensitive.
struct ConnectionString {
  enum class Kind { Jet, Excel, Access, FoxPro, Text, Unknown };
  Kind kind = Kind::Unknown;
  std::string dataSource;  // Data Source, dbq or SourceDB
  bool hideDeleted = true;  // FoxPro "Deleted=Yes"
  static ConnectionString Parse(const std::string& text);
};

// The table a query text "select * from NAME" (or "[NAME]") reads; throws DataError for another.
std::string TableOfQuery(const std::string& queryText);

// A folder whose files are tables (dBASE, text tables): throws DataError when `folder` is not one
// (the empty text is the working folder); its files with one of `extensions` (".dbf"; compared
// without case) as catalogue rows, sorted by name.
void RequireFolder(const std::string& folder);
std::vector<CatalogRow> FilesAsTables(const std::string& folder, std::initializer_list<std::string_view> extensions);

// Opens a connection; throws DataError.
std::unique_ptr<Connection> OpenConnection(const std::string& connectionString);

// What a file is, by its first bytes.
enum class FileFormat { Missing, Unreadable, Sqlite, CompoundFile, Jet, Zip, Other };
FileFormat SniffFile(const std::string& path);

}  // namespace rowcaster::data
