#include "mapping/MarcFields.h"

#include <vector>

#include "convert/Subfields.h"
#include "platform/text/Utf8.h"

namespace rowcaster::mapping {

std::string BuildMarcCodeList(const std::vector<std::string>& entries) {
  std::string list;
  for (const std::string& e : entries)
    if (e.find("—") != std::string::npos) {
      list += text::Utf8Substr(e, 0, 4);
      list += '|';
    }
  return list;
}

const std::vector<std::string>& MarcFieldEntries() {
  static const std::vector<std::string> entries = [] {
    std::vector<std::string> e;
    for (const convert::Subfield& s : convert::kSubfields) e.push_back(std::string(s.code) + "—" + std::string(s.label));
    return e;
  }();
  return entries;
}

std::string DefaultMarcCodeList() { return BuildMarcCodeList(MarcFieldEntries()); }

bool IsMarcCode(std::string_view name, std::string_view marcCodeList) {
  if (name.empty() || name.find('|') != std::string_view::npos) return false;
  for (std::size_t start = 0; start < marcCodeList.size();) {
    const std::size_t bar = marcCodeList.find('|', start);
    const std::size_t end = bar == std::string_view::npos ? marcCodeList.size() : bar;
    if (marcCodeList.substr(start, end - start) == name) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace rowcaster::mapping
