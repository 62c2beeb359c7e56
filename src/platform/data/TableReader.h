#pragma once
// Reading the catalogue and one whole table of a user's file. The readers of damaged files can
// hang or eat memory (mdbtools on a mutated .mdb), so the program reads through a child process
// that streams the table back and is killed when it stalls or dies; the child itself reads in
// process.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/Connection.h"

namespace rowcaster::data {

// Where the rows of a table go as they are read.
class TableSink {
 public:
  virtual ~TableSink() = default;
  virtual void Begin(const std::vector<std::string>& fieldNames, std::optional<std::int64_t> recordCount) = 0;
  // One record; the texts are valid only during the call.
  virtual void Row(const std::vector<std::string_view>& values) = 0;
};

class TableReader {
 public:
  virtual ~TableReader() = default;
  // The tables catalogue of the connection. Throws DataError.
  virtual std::vector<CatalogRow> ReadCatalogue(const std::string& connectionString) = 0;
  // Every record of the query, in order. Throws DataError.
  virtual void ReadTable(const std::string& connectionString, const std::string& queryText, TableSink& sink) = 0;
};

std::unique_ptr<TableReader> InProcessReader();

struct ChildLimits {
  int stallSeconds = 8;                        // no byte for this long: the child is killed
  std::uint64_t memoryBytes = 4ull << 30;      // address-space cap of the child
};

// Reads through `helper` (rowcaster-cli), run as `helper read CONNECTION [QUERY]`.
std::unique_ptr<TableReader> ChildProcessReader(std::string helper, ChildLimits limits = {});

// The child's side: writes the catalogue (no query) or the table to file descriptor `fd` in the
// stream format the parent reads. Returns the exit status.
int ServeRead(const std::string& connectionString, const std::optional<std::string>& queryText, int fd);

}  // namespace rowcaster::data
