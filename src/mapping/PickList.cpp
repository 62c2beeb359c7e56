#include "mapping/PickList.h"

#include "mapping/MarcFields.h"

namespace rowcaster::mapping {

Placement ShowMarcListPlacement(int gridLeft, int gridTop, int cellLeft, int cellTop, int cellWidth) {
  return {gridLeft + cellLeft - 20, gridTop + cellTop + 220, cellWidth + 10};
}

std::optional<std::size_t> PreselectedEntry(std::string_view cellText) {
  if (cellText.empty()) return std::nullopt;
  for (std::size_t i = 0; i < kMarcFieldEntries.size(); ++i)
    if (kMarcFieldEntries[i].substr(0, cellText.size()) == cellText && cellText.size() == 4) return i;
  return std::nullopt;
}

std::string CodeOfEntry(std::string_view entry) {
  std::size_t i = 0;
  for (int n = 0; n < 4 && i < entry.size(); ++n) {
    ++i;
    while (i < entry.size() && (static_cast<unsigned char>(entry[i]) & 0xC0) == 0x80) ++i;
  }
  return std::string(entry.substr(0, i));
}

bool HasDuplicate(const std::vector<std::string>& cells) {
  for (std::size_t i = 0; i < cells.size(); ++i)
    for (std::size_t j = 0; j < cells.size(); ++j)
      if (i != j && !cells[i].empty() && cells[j] == cells[i]) return true;
  return false;
}

}  // namespace rowcaster::mapping
