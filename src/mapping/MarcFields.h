#pragma once
// The 38 subfields a source column can feed, as the pick list offers them.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace rowcaster::mapping {

// The pick list's entries: each subfield's code, an em dash and its label.
const std::vector<std::string>& MarcFieldEntries();

// For each entry that contains the em dash, its first four characters followed by "|".
std::string BuildMarcCodeList(const std::vector<std::string>& entries);
std::string DefaultMarcCodeList();

// True when `name` is exactly one of the codes held in `marcCodeList`.
bool IsMarcCode(std::string_view name, std::string_view marcCodeList);

}  // namespace rowcaster::mapping
