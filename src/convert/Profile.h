#pragma once
// Conversion profiles (转换方案): what a kind of table needs to be converted again in seconds: the
// column→subfield mapping by column name (position as fallback), the template, the rule set, the
// 801 agency code, the output's format and encoding. Kept as a small JSON file; two are built in, 标准 (the classic defaults) and 推荐
// (the recommended rules and template, columns mapped by their names).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/Target.h"
#include "convert/Holdings.h"
#include "convert/Rules.h"
#include "catalogue/Held.h"
#include "iso2709/Writers.h"
#include "mapping/ColumnNames.h"

namespace rowcaster::convert {

struct ProfileColumn {
  std::string column;  // the column's name in the table
  int position = 0;    // its number from 1, used when no column has the name; 0: none
  std::string code;    // the subfield it feeds
};

struct Profile {
  std::string name = "标准";
  Rules rules = Rules::Classic;
  std::string templateText;  // CR LF lines; empty: the rule set's own template
  std::string agencyCode;
  bool mapByName = false;    // columns left unmapped are mapped by their names
  std::string defaultRole = "著";  // recommended rules: the role of names no role word reaches; empty: none
  HoldingsSettings holdings;       // recommended rules: "holdings" (a preset or a line template), "library", "location", "itemType"
  bool keepDuplicates = false;  // recommended rules: a row repeating an earlier one is written too
  iso2709::Format format = iso2709::Format::Iso2709;
  std::optional<iso2709::Encoding> encoding;  // none: the format's own (DefaultEncoding)
  std::vector<ProfileColumn> mapping;
  // The names of the table's columns when the mapping was saved: positions are trusted only on a
  // table whose columns are named the same.
  std::vector<std::string> columns;
  // Catalogues rows are completed from (套录), in the order they are asked.
  std::vector<catalogue::Target> targets;
  bool copyPriceAlways = false;  // the row's price replaces a copied record's 010 $d
  bool copyByTitle = false;      // rows without a valid ISBN are looked up by title and first author
  // The holdings check (查重): a target's name or URL, or an export file of the library's records;
  // empty: the target marked "own" among `targets`, if any. What a held row gets: "held".
  std::string checkHoldings;
  catalogue::HeldAction held = catalogue::HeldAction::Skip;
};

inline constexpr std::string_view kStandardProfile = "标准";
inline constexpr std::string_view kRecommendedProfile = "推荐";

// 标准 or 推荐; nothing for another name.
std::optional<Profile> BuiltInProfile(std::string_view name);

// The profile's JSON text (UTF-8, indented, template as a list of lines).
std::string ProfileJson(const Profile& profile);

// Reads a profile's JSON text. A key a file lacks (an older version's) keeps its default; a text
// that is not a profile gives nothing and `error` says why.
std::optional<Profile> ParseProfile(std::string_view json, std::string& error);

// A built-in profile by its name, else the profile file at `nameOrPath`; nothing with `error`.
std::optional<Profile> LoadProfile(const std::string& nameOrPath, std::string& error);
bool SaveProfile(const Profile& profile, const std::string& path, std::string& error);

// A profile's mapping laid on a table's columns.
struct ProfileMatch {
  std::vector<std::string> codes;  // per column: the code it feeds, or empty
  // The profile's columns the table lacks: their names (or "第 N 列"), codes and saved positions.
  std::vector<ProfileColumn> unmatched;
  // With mapByName: the columns mapped by their names, those whose values did not fit, and those
  // only offered codes.
  mapping::NameMapping byName;
};

// The codes of a table's columns under the profile. Columns named like a code take it; then the
// `remembered` entries (a mapping kept from another table) by exact column name only; then every
// profile entry by its exact column name, then every one left by its normalised name; a position
// counts only when the table's columns are named as when the mapping was saved. Never one code
// twice. With mapByName, the columns left are mapped by the column-name file where their values
// (`samples`, per column) fit.
ProfileMatch MatchProfile(const Profile& profile, const std::vector<std::string>& fieldNames,
                          const std::vector<ProfileColumn>& remembered = {}, const mapping::ColumnSamples& samples = {});
std::vector<std::string> ProfileMapping(const Profile& profile, const std::vector<std::string>& fieldNames,
                                        const mapping::ColumnSamples& samples = {});


// The template a run uses under the profile.
std::string ProfileTemplate(const Profile& profile);

// The encoding the profile's records are written in: its own, else its format's.
iso2709::Encoding ProfileEncoding(const Profile& profile);

}  // namespace rowcaster::convert
