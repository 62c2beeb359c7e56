#pragma once
// What several commands share: the template file and the publisher database.

#include <optional>
#include <string>

namespace rowcaster::cli {

// The text of a template file (UTF-8). Throws UsageError when it cannot be read or is not UTF-8.
std::string ReadTemplate(const std::string& path);

// The connection string of the publisher database: FILE from --cbk, else cbk.db beside the
// executable.
std::string CbkConnectionString(const std::optional<std::string>& cbkFile);

// Makes the texts of findings and results readable in the locale's language (once per process),
// for the commands that word them.
void UseWords();

}  // namespace rowcaster::cli
