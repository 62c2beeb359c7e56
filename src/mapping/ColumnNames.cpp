#include "mapping/ColumnNames.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <sstream>
#include <unordered_map>

#include "platform/text/Utf8.h"

namespace rowcaster::mapping {

extern const char kColumnNames[];  // data/mapping/column-names.tsv, compiled in

namespace {

const std::unordered_map<std::string, std::string>& Names() {
  static const std::unordered_map<std::string, std::string> names = [] {
    std::unordered_map<std::string, std::string> byKey;
    std::istringstream in(kColumnNames);
    for (std::string line; std::getline(in, line);) {
      if (line.empty() || line[0] == '#') continue;
      const std::size_t tab = line.find('\t');
      if (tab == std::string::npos) continue;
      const std::string code = line.substr(0, tab);
      std::istringstream list(line.substr(tab + 1));
      for (std::string name; std::getline(list, name, '|');)
        if (!name.empty()) byKey.emplace(ColumnKey(name), code);
    }
    return byKey;
  }();
  return names;
}

}  // namespace

std::string ColumnKey(std::string_view name) {
  UErrorCode err = U_ZERO_ERROR;
  const icu::Normalizer2* nfkc = icu::Normalizer2::getNFKCCasefoldInstance(err);
  std::string folded;
  if (U_SUCCESS(err)) {
    const icu::UnicodeString in = icu::UnicodeString::fromUTF8(icu::StringPiece(name.data(), static_cast<int32_t>(name.size())));
    const icu::UnicodeString out = nfkc->normalize(in, err);
    if (U_SUCCESS(err)) out.toUTF8String(folded);
  }
  if (folded.empty()) folded = text::AsciiLower(name);
  std::string key;
  for (std::size_t i = 0; i < folded.size();) {
    const std::size_t at = i;
    const char32_t c = text::NextCodePoint(folded, i);
    const bool skip = c == U' ' || c == U'\t' || c == 0x3000 || c == 0xA0 || c == U'-' || c == U'_' || c == U'.' ||
                      c == U'(' || c == U')' || c == U':' || c == U'/' || c == U'*' || c == 0x3010 || c == 0x3011 ||
                      c == 0x3001;
    if (!skip) key.append(folded, at, i - at);
  }
  return key;
}

std::vector<std::string> ColumnNamesFor(std::string_view code) {
  std::vector<std::string> names;
  std::istringstream in(kColumnNames);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#' || line.compare(0, code.size(), code) != 0 || line.size() <= code.size() ||
        line[code.size()] != '\t')
      continue;
    std::istringstream list(line.substr(code.size() + 1));
    for (std::string name; std::getline(list, name, '|');)
      if (!name.empty()) names.push_back(name);
  }
  return names;
}

std::optional<std::string> CodeForColumnName(std::string_view name) {
  const auto it = Names().find(ColumnKey(name));
  if (it == Names().end()) return std::nullopt;
  return it->second;
}

void MapByColumnNames(const std::vector<std::string>& fieldNames, std::vector<std::string>& mapping) {
  mapping.resize(std::max(mapping.size(), fieldNames.size()));
  for (std::size_t c = 0; c < fieldNames.size(); ++c) {
    if (!mapping[c].empty()) continue;
    const auto code = CodeForColumnName(fieldNames[c]);
    if (!code || std::find(mapping.begin(), mapping.end(), *code) != mapping.end()) continue;
    mapping[c] = *code;
  }
}

}  // namespace rowcaster::mapping
