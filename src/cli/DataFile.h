#pragma once
// Opening a user's data file from the command line the way the window does.

#include <memory>
#include <optional>
#include <string>
#include <thread>
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
  // With Rows::WhileUsed: the thread reading `table`, joined when the last holder lets go.
  std::shared_ptr<std::jthread> reading;
};

enum class Rows {
  None,      // the tables offered only
  Whole,     // the table read to its end before OpenSource returns
  WhileUsed  // the table read on a thread of its own while the caller uses the rows read so far
};

// Opens FILE, chooses `table` (default: the first offered) and reads its rows as `rows` says
// through the guarded reader. Throws SourceError.
SourceTable OpenSource(const std::string& file, const std::optional<std::string>& table, Rows rows);

// OpenSource, printing the refusal on standard error instead of throwing it.
std::optional<SourceTable> OpenSourceOrSay(const std::string& file, const std::optional<std::string>& table, Rows rows);

std::string Join(const std::vector<std::string>& names);

// What the command line says when a table cannot be read: the window's words and the reason.
std::string ReadErrorText(const std::string& why);

}  // namespace rowcaster::cli
