#pragma once
// The tables and output files used last, newest first, ten of each, kept in the settings.

#include <string>
#include <vector>

namespace rowcaster::app {

inline constexpr const char* kRecentTables = "recentTables";    // "path\ttable" (no table: the file is it)
inline constexpr const char* kRecentOutputs = "recentOutputs";  // paths
inline constexpr int kRecentCount = 10;

std::vector<std::string> RecentEntries(const char* key);
// Puts `entry` first, once; the oldest past ten go.
void RememberEntry(const char* key, const std::string& entry);

}  // namespace rowcaster::app
