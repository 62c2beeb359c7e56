// Conversion profiles: what is saved comes back, older and damaged files are handled.
#include "convert/Profile.h"

#include <gtest/gtest.h>

#include "convert/Recommended.h"

namespace rowcaster::convert {
namespace {

TEST(Profile, WhatIsSavedComesBack) {
  Profile p;
  p.name = "书商目录";
  p.rules = Rules::Recommended;
  p.agencyCode = "110001";
  p.mapByName = true;
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

TEST(Profile, MapsByNameThenPositionNeverACodeTwice) {
  Profile p;
  p.mapping = {{"书名", 0, "200a"}, {"", 3, "010d"}, {"价格", 4, "010d"}, {"ＩＳＢＮ", 0, "010a"}, {"", 9, "200f"}};
  EXPECT_EQ(ProfileMapping(p, {"书名", "isbn", "定价", "备注"}), (std::vector<std::string>{"200a", "010a", "010d", ""}));
  // An exact code name wins over the profile, and the built-in 推荐 maps by names.
  EXPECT_EQ(ProfileMapping(p, {"200a", "书名"}), (std::vector<std::string>{"200a", ""}));
  EXPECT_EQ(ProfileMapping(*BuiltInProfile("推荐"), {"书名", "作者", "定价"}),
            (std::vector<std::string>{"200a", "200f", "010d"}));
  EXPECT_EQ(ProfileTemplate(*BuiltInProfile("推荐")), std::string(kRecommendedTemplate));
  EXPECT_FALSE(BuiltInProfile("别的"));
}

}  // namespace
}  // namespace rowcaster::convert
