#include "convert/RegionLookup.h"

#include <gtest/gtest.h>
#include <unicode/translit.h>
#include <unicode/uniset.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

#include "TestPaths.h"
#include "convert/HantHansChanging.h"
#include "convert/Pinyin.h"
#include "convert/TestCbk.h"
#include "platform/data/Connection.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {
namespace {

// A name's loose key: full-width forms made half-width, Latin capitals small, blanks, brackets,
// dots and middle dots left out; Han characters, at the ends of the range kept as they stand and
// beyond it, as they are; a broken character as U+FFFD.
TEST(LooseKey, FoldsAndLeavesOutAsNamesDiffer) {
  const std::pair<std::string, std::string> cases[] = {
      {"ＡＢ 书（名）", "ab书名"},
      {"中华书局·北京", "中华书局北京"},
      {"【上海】译文", "上海译文"},
      {"〔清〕曹雪芹", "清曹雪芹"},
      {"\u3FFF\u4000\u9FFF\uA000", "\u3FFF\u4000\u9FFF\uA000"},
      {"人民　出版社", "人民出版社"},  // U+3000
      {"Foo. <Bar>", "foobar"},
      {"\xE4\xB8", "\uFFFD\uFFFD"},
      {"\xE4\x41\x42书", "\uFFFDab书"},
      {"书\xE4\xB8", "书\uFFFD\uFFFD"},
  };
  for (const auto& [name, key] : cases) EXPECT_EQ(LooseKey(name), key) << name;
}

// What sends a key to ICU's Hant-Hans, derived from its rules ("key > text;", no contexts): the
// characters one-character rules change; the phrases that change a text holding none of those,
// each with the first character it changes. A text without such a character or phrase matches
// no rule that changes anything. When ICU's rules give others (another ICU), the data for
// HantHansChanging.h are printed.
TEST(PublisherKey, TransliteratesTextsIcuMayChange) {
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<icu::Transliterator> icu(icu::Transliterator::createInstance("Hant-Hans", UTRANS_FORWARD, status));
  ASSERT_TRUE(U_SUCCESS(status));
  ASSERT_EQ(icu->countElements(), 0) << "one rule set, not several";
  icu::UnicodeString rulesText;
  icu->toRules(rulesText, false);
  std::string rules;
  rulesText.toUTF8String(rules);
  std::vector<std::pair<std::u32string, std::u32string>> changing;
  for (std::size_t at = 0; at < rules.size();) {
    const std::size_t end = std::min(rules.find('\n', at), rules.size());
    const std::string line = rules.substr(at, end - at);
    at = end + 1;
    const std::size_t arrow = line.find(" > ");
    ASSERT_TRUE(arrow != std::string::npos && line.ends_with(';') && line.find_first_of("{}[]$\\'|:") == std::string::npos)
        << "a rule of another form: " << line;
    const std::u32string key = text::U32(line.substr(0, arrow)), out = text::U32(line.substr(arrow + 3, line.size() - arrow - 4));
    if (key != out) changing.emplace_back(key, out);
  }
  std::set<char32_t> alone, phraseCharacters;
  for (const auto& [key, out] : changing)
    if (key.size() == 1) alone.insert(key[0]);
  std::vector<std::string> phrases;
  for (const auto& [key, out] : changing) {
    if (key.size() == 1 || std::any_of(key.begin(), key.end(), [&](char32_t c) { return alone.count(c) > 0; })) continue;
    ASSERT_EQ(key.size(), out.size()) << text::U8(key);
    phraseCharacters.insert(*std::mismatch(key.begin(), key.end(), out.begin()).first);
    phrases.push_back(text::U8(key));
  }
  std::sort(phrases.begin(), phrases.end());
  std::uint64_t words[std::size(kHantHansChanging)] = {};
  bool outside = false;
  std::set<char32_t> both = alone;
  both.insert(phraseCharacters.begin(), phraseCharacters.end());
  for (const char32_t c : both) {
    const char32_t bit = c - kHantHansFirst;
    if (c < kHantHansFirst || bit / 64 >= std::size(words)) outside = true;
    else words[bit / 64] |= std::uint64_t{1} << (bit % 64);
  }
  std::string printed;
  for (std::size_t k = 0; k < std::size(words); ++k) {
    char word[24];
    std::snprintf(word, sizeof word, "0x%016llx,%s", static_cast<unsigned long long>(words[k]), k % 4 == 3 ? "\n" : " ");
    printed += word;
  }
  for (const char32_t c : phraseCharacters) printed += "0x" + (std::ostringstream() << std::uppercase << std::hex << static_cast<std::uint32_t>(c)).str() + ", ";
  for (const std::string& phrase : phrases) printed += "\n\"" + phrase + "\",";
  EXPECT_FALSE(outside) << "ICU's rules reach past U+3000 to U+9FFF";
  EXPECT_TRUE(std::equal(std::begin(words), std::end(words), std::begin(kHantHansChanging))) << printed;
  EXPECT_TRUE(std::equal(phraseCharacters.begin(), phraseCharacters.end(), std::begin(kHantHansPhraseCharacters),
                         std::end(kHantHansPhraseCharacters))) << printed;
  EXPECT_TRUE(std::equal(phrases.begin(), phrases.end(), std::begin(kHantHansPhrases), std::end(kHantHansPhrases))) << printed;
  // Every character of the range outside the set is left as it is by ICU.
  for (char32_t c = 0x3000; c < 0xA000; ++c) {
    if (HantHansMayChange(c)) continue;
    icu::UnicodeString one(static_cast<UChar32>(c));
    icu->transliterate(one);
    ASSERT_EQ(one, icu::UnicodeString(static_cast<UChar32>(c))) << std::hex << static_cast<std::uint32_t>(c);
  }
  // Keys of every kind: with a character changed alone, with a phrase, with a phrase's character
  // outside its phrases, with neither.
  const std::pair<const char*, const char*> keys[] = {
      {"商務印書館", "商务印书馆"}, {"人民出版社", "人民出版社"}, {"三聯書店（香港）", "三联书店香港"},
      {"「出版」", "“出版”"},       {"中华书局", "中华书局"},     {"臺灣商務", "台湾商务"},
      {"沈阳出版社", "沈阳出版社"}, {"石沈大海出版社", "石沉大海出版社"}, {"沈默沈阳", "沉默沈阳"},
      {"中国检察出版社", "中国检察出版社"}, {"稽察出版社", "稽查出版社"}};
  for (const auto& [name, key] : keys) EXPECT_EQ(PublisherKey(name), key) << name;
}

TEST(IsbnPrefix, TakesGroupAndPublisher) {
  const std::pair<const char*, const char*> cases[] = {
      {"978-7-5012-3456-7", "7-5012"}, {"7-5012-3456-7", "7-5012"}, {"7-301-12345-6", "7-301"},
      {"9787501234567", "9787501234567"}, {"978-7501234567", "7501234567"}, {"979-10-1234-5678-9", "979-10"},
      {"7-5", "7-5"}, {"", ""}, {"7-80", "7-80"}, {"7-5012-", "7-5012"},
  };
  for (const auto& [isbn, prefix] : cases) EXPECT_EQ(IsbnPrefix(isbn), prefix) << isbn;
}

TEST(CbkConnStr, NamesTheDatabaseBesideTheProgram) {
  EXPECT_EQ(CbkConnStr("/opt/rowcaster"),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/rowcaster/cbk.db;Persist Security Info=False");
  EXPECT_EQ(CbkConnStr("/"), "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/cbk.db;Persist Security Info=False");
}

class Lookup : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    path_ = new std::string(test::MakeCbk("lookup-cbk.db", {
                                                            {"7-5012", "世界知识出版社", "北京", "110000"},
                                                            {"7-5327", "上海译文出版社", "上海", "310000"},
                                                            {"7-5071", "中国文学出版社", "北京", ""},
                                                            {"7-9999", "O'Reilly Media", "塞瓦斯托波尔", "990000"},
                                                            {"7-5355", "湖南人民出版社", "长沙", "430000"},
                                                            {"7-5356", "湖南人民出版社", "长沙", "439999"},
                                                        }));
  }
  static std::string* path_;
};
std::string* Lookup::path_ = nullptr;

TEST_F(Lookup, AsksByIsbnThenPublisherThenPlace) {
  RegionLookup lookup(test::JetConnStr(*path_));
  struct Case {
    const char *isbn, *publisher, *place, *code;
  };
  const Case cases[] = {
      {"978-7-5012-3456-7", "", "", "|b 110000"},
      {"7-5012-3456-7", "上海译文出版社", "长沙", "|b 110000"},  // the ISBN wins
      {"7-0000-1111-2", "上海译文出版社", "北京", "|b 310000"},   // then the publisher
      {"7-0000-1111-2", "无名出版社", "长沙", "|b 430000"},      // then the place, first row
      {"9787501234567", "", "上海", "|b 310000"},                 // no hyphen: no ISBN match
      {"", "湖南人民出版社", "", "|b 430000"},                    // first row of two
      {"7-5071-1234-5", "中国文学出版社", "", ""},                // empty code is never found
      {"", "", "", ""},
      {"", "O'Reilly Media", "", "|b 990000"},                   // a quote in the value
      {"", "o'reilly media", "", "|b 990000"},                   // Latin case does not matter
      {"' or '1'='1", "x' or 'x'='x", "'; drop table cbk; --", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(lookup.LookupRegionCode(c.isbn, c.publisher, c.place), c.code) << c.isbn << " " << c.publisher;
  // The table survived the hostile values.
  EXPECT_EQ(lookup.LookupRegionCode("7-5327-1", "", ""), "|b 310000");
}

TEST_F(Lookup, ValuesAreNotTrimmed) {
  RegionLookup lookup(test::JetConnStr(*path_));
  EXPECT_EQ(lookup.LookupRegionCode("", " 上海译文出版社", ""), "");
  EXPECT_EQ(lookup.LookupRegionCode("", "", "上海 "), "");
}

TEST(RegionLookupFailure, FailsEveryRecordWhenTheDatabaseIsMissingOrWrong) {
  RegionLookup missing(test::JetConnStr("/nonexistent/cbk.db"));
  for (int i = 0; i < 3; ++i) {
    try {
      missing.LookupRegionCode("", "", "");
      ADD_FAILURE() << "no failure";
    } catch (const ComposeError& e) {
      EXPECT_EQ(e.finding().kind, Kind::PublisherTableUnusable);
      EXPECT_NE(e.finding().values.at(0).find("/nonexistent/cbk.db"), std::string::npos) << e.finding().values.at(0);
    }
  }
  const std::string empty = test::MakeCbk("empty.db", {});
  // A SQLite file without the cbk table.
  const std::string other = test::TempPath("no-table.db");
  std::remove(other.c_str());
  sqlite3* db = nullptr;
  sqlite3_open(other.c_str(), &db);
  sqlite3_exec(db, "create table other (x text)", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  RegionLookup noTable(test::JetConnStr(other));
  EXPECT_THROW(noTable.LookupRegionCode("", "", ""), ComposeError);
  RegionLookup emptyTable(test::JetConnStr(empty));
  EXPECT_EQ(emptyTable.LookupRegionCode("7-5012-1", "x", "y"), "");
}

TEST(RegionLookupShipped, FindsRealPublishers) {
  RegionLookup lookup(CbkConnStr(ROWCASTER_BUILD_DIR));
  EXPECT_EQ(lookup.LookupRegionCode("978-7-5327-1234-5", "", ""), "|b 310000");
  EXPECT_EQ(lookup.LookupRegionCode("7-301-12345-6", "", ""), "|b 110000");
  EXPECT_EQ(lookup.LookupRegionCode("", "", "长沙"), "|b 430000");
  EXPECT_EQ(lookup.LookupRegionCode("978-7-5071-0000-0", "中国文学出版社", ""), "|b 110000");  // a place added later
  EXPECT_EQ(lookup.LookupRegionCode("978-7-80540-000-0", "群益堂", ""), "");  // the one row without a place
}

// A shortened name is looked for in the names of the whole shipped table: the name found is the
// first one, in the table's order, that holds it and is longer. Parts of names from many rows
// (two to five characters, from their starts, middles and ends), traditional forms, and parts no
// name holds, against every row looked at one by one.
TEST(RegionLookupShipped, FindsTheFirstNameHoldingAPart) {
  RegionLookup lookup(CbkConnStr(ROWCASTER_BUILD_DIR));
  const auto connection = data::OpenConnection(CbkConnStr(ROWCASTER_BUILD_DIR));
  auto rows = connection->Query("select c_cbs, c_cbno from cbk");
  std::vector<std::string> names, keys;
  for (std::vector<std::string> v; rows->Next(v);)
    if (!v[1].empty()) names.push_back(v[0]), keys.push_back(PublisherKey(v[0]));
  ASSERT_GT(names.size(), 500u);
  const auto firstHolding = [&](std::string_view part) -> std::optional<std::string> {
    const std::string key = PublisherKey(part);
    if (text::Utf8Length(key) < 2) return std::nullopt;
    for (std::size_t i = 0; i < keys.size(); ++i)
      if (keys[i].size() > key.size() && keys[i].find(key) != std::string::npos) return names[i];
    return std::nullopt;
  };
  std::vector<std::string> parts = {"商務印書", "人民", "出版社", "社", "", "不存在的名字", "Press", "o'reilly", "大学出版"};
  for (std::size_t i = 0; i < keys.size(); i += 7) {
    const std::u32string key = text::U32(keys[i]);
    for (std::size_t length = 2; length <= 5 && length <= key.size(); ++length)
      for (const std::size_t from : {std::size_t{0}, (key.size() - length) / 2, key.size() - length})
        parts.push_back(text::U8(std::u32string_view(key).substr(from, length)));
  }
  std::size_t found = 0;
  for (const std::string& part : parts) {
    const auto expected = firstHolding(part);
    EXPECT_EQ(lookup.NameHolding(PublisherKey(part)), expected) << part;
    found += expected ? 1 : 0;
  }
  EXPECT_GT(found, parts.size() / 2);
  EXPECT_LT(found, parts.size());
}

}  // namespace
}  // namespace rowcaster::convert
