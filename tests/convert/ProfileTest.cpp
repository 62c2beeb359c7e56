// Conversion profiles: what is saved comes back, older and damaged files are handled.
#include "convert/Profile.h"

#include <gtest/gtest.h>

#include "convert/Recommended.h"
#include "words/Words.h"

namespace rowcaster::convert {
namespace {

TEST(Profile, WhatIsSavedComesBack) {
  Profile p;
  p.name = "书商目录";
  p.rules = Rules::Recommended;
  p.agencyCode = "110001";
  p.mapByName = true;
  p.keepDuplicates = true;
  p.templateText = "200 1  {200a}\r\n801  0 |aCN{801b}\r\n";
  p.mapping = {{"书名", 2, "200a"}, {"", 5, "010d"}, {"作者", 0, "200f"}};
  p.format = iso2709::Format::Text;
  p.encoding = iso2709::Encoding::Gb18030;
  std::string error;
  const auto back = ParseProfile(ProfileJson(p), error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->format, iso2709::Format::Text);
  EXPECT_EQ(back->encoding, iso2709::Encoding::Gb18030);
  EXPECT_EQ(back->name, p.name);
  EXPECT_EQ(back->rules, p.rules);
  EXPECT_EQ(back->agencyCode, p.agencyCode);
  EXPECT_EQ(back->mapByName, p.mapByName);
  EXPECT_TRUE(back->keepDuplicates);
  std::string noKey;
  EXPECT_FALSE(ParseProfile(R"({"format": "rowcaster-profile"})", noKey)->keepDuplicates) << "duplicates merged by default";
  EXPECT_EQ(back->templateText, p.templateText);
  ASSERT_EQ(back->mapping.size(), 3u);
  EXPECT_EQ(back->mapping[1].position, 5);
  EXPECT_EQ(back->mapping[2].column, "作者");
  EXPECT_NE(ProfileJson(p).find("\"801  0 |aCN{801b}\""), std::string::npos) << "the template as readable lines";
}

TEST(Profile, OlderFilesLoadWithDefaultsAndDamagedOnesSayWhy) {
  std::string error;
  const auto old = ParseProfile(R"({"format": "rowcaster-profile", "name": "旧方案"})", error);
  ASSERT_TRUE(old) << error;
  EXPECT_EQ(old->rules, Rules::Classic);
  EXPECT_EQ(old->format, iso2709::Format::Iso2709);
  EXPECT_FALSE(old->encoding) << "the format's own: GBK for ISO 2709";
  EXPECT_TRUE(old->mapping.empty());
  EXPECT_EQ(ProfileTemplate(*old), std::string(kDefaultTemplate));
  const std::pair<const char*, const char*> damaged[] = {
      {"{\"format\": \"rowcaster-profile\", \"name\": ", "不是有效的 JSON"},
      {"[1, 2]", "不是有效的 JSON"},
      {"{\"name\": \"x\"}", "不是 Rowcaster 转换方案"},
      {R"({"format": "rowcaster-profile", "rules": "fancy"})", "不是 classic 或 recommended"},
      {R"({"format": "rowcaster-profile", "mapping": [{"column": "a", "code": "999z"}]})", "不是字段代码"},
      {R"({"format": "rowcaster-profile", "mapping": [{"column": "a"}]})", "内容不完整"},
      {R"({"format": "rowcaster-profile", "agency": 5})", "内容不完整"},
      {R"({"format": "rowcaster-profile", "encoding": "latin1"})", "不是 gbk、gb18030 或 utf-8"},
      {R"({"format": "rowcaster-profile", "recordFormat": "json"})", "不是 iso2709、marcxml 或 text"},
      {R"({"format": "rowcaster-profile", "recordFormat": "marcxml", "encoding": "gbk"})", "MARCXML 只用 UTF-8"},
  };
  for (const auto& [text, why] : damaged) {
    error.clear();
    EXPECT_FALSE(ParseProfile(text, error)) << text;
    EXPECT_NE(error.find(why), std::string::npos) << text << " → " << error;
  }
  EXPECT_FALSE(LoadProfile("/nonexistent/p.json", error));
  EXPECT_NE(error.find("找不到转换方案"), std::string::npos);
}

// A profile's entries find their columns by name on any table; a position counts only on a table
// whose columns are named as when the mapping was saved. What is not found is left empty and named.
TEST(Profile, MapsByNamePositionOnlyOnTheSameColumns) {
  const std::vector<std::string> saved = {"ISBN", "书名", "作者", "定价", "出版地", "丛书", "页数", ""};
  Profile p;
  p.name = "书商目录";
  p.columns = saved;
  p.mapping = {{"ISBN", 1, "010a"}, {"书名", 2, "200a"}, {"作者", 3, "200f"}, {"定价", 4, "010d"},
               {"出版地", 5, "210a"}, {"丛书", 6, "225a"}, {"页数", 7, "215a"}, {"", 8, "606a"}};
  struct Case {
    const char* what;
    std::vector<std::string> columns;
    std::vector<std::string> codes;
    const char* unmatched;  // the text naming what was not found
  };
  const Case cases[] = {
      {"the same table", saved, {"010a", "200a", "200f", "010d", "210a", "225a", "215a", "606a"}, ""},
      {"another shape: names, never positions",
       {"序号", "是否新书", "ISBN", "书名", "定价"},
       {"", "", "010a", "200a", "010d"},
       "方案“书商目录”有 5 列在这张表里找不到：作者、出版地、丛书、页数、第 8 列"},
      {"a renamed column, the rest in place",
       {"ISBN", "题名", "作者", "定价", "出版地", "丛书", "页数", ""},
       {"010a", "", "200f", "010d", "210a", "225a", "215a", ""},
       "方案“书商目录”有 2 列在这张表里找不到：书名、第 8 列"},
      {"names found after normalising, in any order",
       {"定 价", "ｉｓｂｎ", "书名（正题名）", "作者"},
       {"010d", "010a", "", "200f"},
       "方案“书商目录”有 5 列在这张表里找不到：书名、出版地、丛书、页数、第 8 列"},
      {"an exact name before a name found after normalising", {"定 价", "定价", "ISBN"}, {"", "010d", "010a"},
       "方案“书商目录”有 6 列在这张表里找不到：书名、作者、出版地、丛书、页数、第 8 列"},
      {"a column named like a code keeps it", {"200a", "书名", "ISBN"}, {"200a", "", "010a"},
       "方案“书商目录”有 6 列在这张表里找不到：作者、定价、出版地、丛书、页数、第 8 列"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ProfileMatch m = MatchProfile(p, c.columns);
    EXPECT_EQ(m.codes, c.codes);
    EXPECT_EQ(words::UnmatchedText(p, m), c.unmatched);
  }
  // An older profile, saved without its columns, never maps by position.
  Profile old = p;
  old.columns.clear();
  EXPECT_EQ(ProfileMapping(old, saved), (std::vector<std::string>{"010a", "200a", "200f", "010d", "210a", "225a", "215a", ""}));
  // A mapping kept from another table comes back by exact names only, before the profile's.
  const std::vector<ProfileColumn> remembered = {{"书名", 3, "200e"}, {"ｉｓｂｎ", 1, "010a"}, {"题名", 1, "200a"}};
  EXPECT_EQ(MatchProfile(Profile{}, {"isbn", "题名", "书名"}, remembered).codes, (std::vector<std::string>{"", "200a", "200e"}));
  EXPECT_EQ(MatchProfile(Profile{}, {"isbn", "题名", "书名"}, remembered).unmatched.size(), 0u);
  // The built-in 推荐 maps by names.
  EXPECT_EQ(ProfileMapping(*BuiltInProfile("推荐"), {"书名", "作者", "定价"}),
            (std::vector<std::string>{"200a", "200f", "010d"}));
  EXPECT_EQ(ProfileTemplate(*BuiltInProfile("推荐")), std::string(kRecommendedTemplate));
  EXPECT_FALSE(BuiltInProfile("别的"));
}

// A profile file without "mapByName" (older versions) maps only its own entries; the columns it
// does not name stay unmapped, as they did when it was saved.
TEST(Profile, MapsByNameOnlyWhenTheFileSaysSo) {
  const std::vector<std::string> columns = {"书名", "作者", "定价"};
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {R"({"format": "rowcaster-profile", "mapping": [{"column": "书名", "code": "200a"}]})", {"200a", "", ""}},
      {R"({"format": "rowcaster-profile", "mapByName": false, "mapping": [{"column": "书名", "code": "200a"}]})",
       {"200a", "", ""}},
      {R"({"format": "rowcaster-profile", "mapByName": true, "mapping": [{"column": "书名", "code": "200a"}]})",
       {"200a", "200f", "010d"}},
  };
  for (const auto& [text, codes] : cases) {
    std::string error;
    const auto p = ParseProfile(text, error);
    ASSERT_TRUE(p) << error;
    EXPECT_EQ(ProfileMapping(*p, columns), codes) << text;
  }
}

// A profile's own entries are the user's word and are not checked; the columns it maps by their
// names are, and those whose values do not fit are named in the match.
TEST(Profile, OnlyTheColumnsMappedByNamesAreCheckedAgainstTheirValues) {
  Profile p = *BuiltInProfile("推荐");
  const std::vector<std::string> columns = {"书名", "页码", "序号", "类别"};
  const mapping::ColumnSamples samples = {{"银行会计"}, {"35.00", "42.00"}, {"1", "2"}, {"文学"}};
  ProfileMatch m = MatchProfile(p, columns, {}, samples);
  EXPECT_EQ(m.codes, (std::vector<std::string>{"200a", "", "", ""}));
  EXPECT_EQ(m.byName.named, (std::vector<std::size_t>{0}));
  ASSERT_EQ(m.byName.rejected.size(), 1u);
  EXPECT_EQ(m.byName.rejected[0].column, 1u);
  EXPECT_EQ(m.byName.rejected[0].why, mapping::Misfit::Prices);
  ASSERT_EQ(m.byName.offered.size(), 1u);
  EXPECT_EQ(m.byName.offered[0].column, 3u);
  p.mapping = {{"页码", 2, "215a"}, {"序号", 3, "200a"}};
  m = MatchProfile(p, columns, {}, samples);
  EXPECT_EQ(m.codes, (std::vector<std::string>{"", "215a", "200a", ""}));
  EXPECT_TRUE(m.byName.named.empty());
  EXPECT_TRUE(m.byName.rejected.empty());
  // Without mapByName nothing is mapped by names, values or not.
  p.mapByName = false;
  p.mapping.clear();
  EXPECT_EQ(ProfileMapping(p, columns, samples), std::vector<std::string>(4));
}

// The holdings settings travel in the file; an unknown preset is refused.
TEST(Profile, Holdings) {
  Profile p;
  p.holdings = {"koha-unimarc", "LIB1", "书库", "BK"};
  std::string error;
  const auto back = ParseProfile(ProfileJson(p), error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->holdings.preset, "koha-unimarc");
  EXPECT_EQ(back->holdings.library, "LIB1");
  EXPECT_EQ(back->holdings.location, "书库");
  EXPECT_EQ(back->holdings.itemType, "BK");
  EXPECT_FALSE(ParseProfile(R"({"format": "rowcaster-profile", "holdings": "koha"})", error));
  EXPECT_TRUE(ParseProfile(R"({"format": "rowcaster-profile", "holdings": "985  |a{barcode}"})", error)) << error;
}

// The default role: 著 when the file does not say (older files), the file's own, or none.
TEST(Profile, DefaultRole) {
  const std::pair<const char*, std::string> cases[] = {
      {R"({"format": "rowcaster-profile"})", "著"},
      {R"({"format": "rowcaster-profile", "defaultRole": "编"})", "编"},
      {R"({"format": "rowcaster-profile", "defaultRole": ""})", ""},
  };
  for (const auto& [text, role] : cases) {
    std::string error;
    const auto p = ParseProfile(text, error);
    ASSERT_TRUE(p) << error;
    EXPECT_EQ(p->defaultRole, role) << text;
    const auto back = ParseProfile(ProfileJson(*p), error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->defaultRole, role) << text;
  }
}

// The columns a mapping was saved with travel in the file.
TEST(Profile, KeepsTheSavedColumnNames) {
  Profile p;
  p.columns = {"书名", "", "定价"};
  p.mapping = {{"书名", 1, "200a"}};
  std::string error;
  const auto back = ParseProfile(ProfileJson(p), error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->columns, p.columns);
  EXPECT_TRUE(ParseProfile(R"({"format": "rowcaster-profile"})", error)->columns.empty());
}

}  // namespace
}  // namespace rowcaster::convert
