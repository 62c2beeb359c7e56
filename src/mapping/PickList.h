#pragma once
// The pick list's rules that need no widget: where it opens, which entry it pre-selects, and the
// rule that no two mapping cells hold the same code.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rowcaster::mapping {

inline constexpr const char* kDuplicateMessage = "对不起,请不要重复选择MARC字段，请重新选择！";

// Where the list opens, in twips, over the current cell of the mapping grid.
struct Placement {
  int left, top, width;
};
Placement ShowMarcListPlacement(int gridLeft, int gridTop, int cellLeft, int cellTop, int cellWidth);

// The entry that begins with the cell's code, if any.
std::optional<std::size_t> PreselectedEntry(std::string_view cellText);

// The code a picked entry writes: its first four characters.
std::string CodeOfEntry(std::string_view entry);

// True when two non-empty mapping cells (other than one with itself) hold the same text.
bool HasDuplicate(const std::vector<std::string>& mappingCells);

}  // namespace rowcaster::mapping
