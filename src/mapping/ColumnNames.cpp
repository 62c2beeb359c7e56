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

// What the names file says of one name.
struct NameEntry {
  std::string code;                 // empty for a name that only offers codes
  std::string role;                 // the role of its column's names that no role word reaches
  std::vector<std::string> offers;  // the codes offered instead of mapping
};

// One line of the names file: "CODE<TAB>names", "CODE ROLE<TAB>names" or "?CODE CODE<TAB>names".
struct NamesLine {
  NameEntry entry;
  std::vector<std::string> names;
};

std::optional<NamesLine> ParseLine(const std::string& line) {
  const std::size_t tab = line.find('\t');
  if (line.empty() || line[0] == '#' || tab == std::string::npos) return std::nullopt;
  NamesLine parsed;
  std::istringstream head(line.substr(0, tab));
  std::vector<std::string> words;
  for (std::string w; head >> w;) words.push_back(w);
  if (words.empty()) return std::nullopt;
  if (words[0][0] == '?') {
    words[0].erase(0, 1);
    parsed.entry.offers = words;
  } else {
    parsed.entry.code = words[0];
    if (words.size() > 1) parsed.entry.role = words[1];
  }
  std::istringstream list(line.substr(tab + 1));
  for (std::string name; std::getline(list, name, '|');)
    if (!name.empty()) parsed.names.push_back(name);
  return parsed;
}

std::vector<NamesLine> Lines() {
  std::vector<NamesLine> lines;
  std::istringstream in(kColumnNames);
  for (std::string line; std::getline(in, line);)
    if (auto parsed = ParseLine(line)) lines.push_back(std::move(*parsed));
  return lines;
}

const std::unordered_map<std::string, NameEntry>& Names() {
  static const std::unordered_map<std::string, NameEntry> names = [] {
    std::unordered_map<std::string, NameEntry> byKey;
    for (const NamesLine& line : Lines())
      for (const std::string& name : line.names) byKey.emplace(ColumnKey(name), line.entry);
    return byKey;
  }();
  return names;
}

const NameEntry* EntryOf(std::string_view name) {
  const auto it = Names().find(ColumnKey(name));
  return it == Names().end() ? nullptr : &it->second;
}

// Characters names are written with that say nothing of the column: blanks, brackets, separators.
bool Ignored(char32_t c) {
  return std::u32string_view(U" \t\u3000\u00A0-_.():/*#[]'\"\u3010\u3011\u3001\u300A\u300B\u201C\u201D").find(c) !=
         std::u32string_view::npos;
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
    if (!Ignored(text::NextCodePoint(folded, i))) key.append(folded, at, i - at);
  }
  return key;
}

std::vector<std::string> ColumnNamesFor(std::string_view code) {
  std::vector<std::string> names;
  for (const NamesLine& line : Lines())
    if (line.entry.code == code) names.insert(names.end(), line.names.begin(), line.names.end());
  return names;
}

std::optional<std::string> CodeForColumnName(std::string_view name) {
  const NameEntry* entry = EntryOf(name);
  if (!entry || entry->code.empty()) return std::nullopt;
  return entry->code;
}

std::string RoleOfColumnName(std::string_view name) {
  const NameEntry* entry = EntryOf(name);
  return entry ? entry->role : std::string();
}

std::vector<std::string> OfferedCodesFor(std::string_view name) {
  const NameEntry* entry = EntryOf(name);
  return entry ? entry->offers : std::vector<std::string>();
}

NameMapping MapByColumnNames(const std::vector<std::string>& fieldNames, const ColumnSamples& samples,
                             std::vector<std::string>& mapping) {
  NameMapping result;
  mapping.resize(std::max(mapping.size(), fieldNames.size()));
  for (std::size_t c = 0; c < fieldNames.size(); ++c) {
    if (!mapping[c].empty()) continue;
    if (auto offers = OfferedCodesFor(fieldNames[c]); !offers.empty()) {
      result.offered.push_back({c, std::move(offers)});
      continue;
    }
    const auto code = CodeForColumnName(fieldNames[c]);
    if (!code || std::find(mapping.begin(), mapping.end(), *code) != mapping.end()) continue;
    if (c < samples.size()) {
      ValueCheck check = CheckValues(*code, samples[c]);
      if (check.misfit != Misfit::None) {
        result.rejected.push_back({c, *code, check.misfit, std::move(check.example)});
        continue;
      }
    }
    mapping[c] = *code;
    result.named.push_back(c);
  }
  return result;
}

}  // namespace rowcaster::mapping
