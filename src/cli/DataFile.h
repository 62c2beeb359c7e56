#pragma once
// Opening a user's data file from the command line the way the window does.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "import/LoadedTable.h"

namespace rowcaster::cli {

// A refusal with the text the window would show.
struct SourceError {
  std::string text;
};

struct SourceTable {
  std::string kind;
  std::vector<std::string> offered;  // the tables the picker would offer
  std::string tableName;
  std::shared_ptr<import::LoadedTable> table;  // when rows were asked for
};

// Opens FILE, chooses `table` (default: the first offered) and, with `loadRows`, reads it whole
// through the guarded reader. Throws SourceError.
SourceTable OpenSource(const std::string& file, const std::optional<std::string>& table, bool loadRows);

// OpenSource, printing the refusal on standard error instead of throwing it.
std::optional<SourceTable> OpenSourceOrSay(const std::string& file, const std::optional<std::string>& table,
                                           bool loadRows);

std::string Join(const std::vector<std::string>& names);

}  // namespace rowcaster::cli
