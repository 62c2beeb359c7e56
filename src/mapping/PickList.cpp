#include "mapping/PickList.h"

#include "mapping/MarcFields.h"
#include "platform/text/Utf8.h"

namespace rowcaster::mapping {

Placement ShowMarcListPlacement(int gridLeft, int gridTop, int cellLeft, int cellTop, int cellWidth) {
  return {gridLeft + cellLeft - 20, gridTop + cellTop + 220, cellWidth + 10};
}

std::optional<std::size_t> PreselectedEntry(std::string_view cellText) {
  if (cellText.empty()) return std::nullopt;
  const auto& entries = MarcFieldEntries();
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (entries[i].substr(0, cellText.size()) == cellText && cellText.size() == 4) return i;
  return std::nullopt;
}

std::string CodeOfEntry(std::string_view entry) { return std::string(text::Utf8Substr(entry, 0, 4)); }

bool HasDuplicate(const std::vector<std::string>& cells) {
  for (std::size_t i = 0; i < cells.size(); ++i)
    for (std::size_t j = 0; j < cells.size(); ++j)
      if (i != j && !cells[i].empty() && cells[j] == cells[i]) return true;
  return false;
}

}  // namespace rowcaster::mapping
