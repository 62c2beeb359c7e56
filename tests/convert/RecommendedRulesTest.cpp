// The recommended rules, each on the forms cataloguers' tables really hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <map>
#include <regex>
#include <set>
#include <tuple>

#include "TestPaths.h"
#include "convert/Extent.h"
#include "convert/Imprint.h"
#include "convert/Isbn.h"
#include "convert/Persons.h"
#include "convert/Price.h"
#include "convert/Recommended.h"
#include "convert/Subjects.h"
#include "convert/TestCbk.h"
#include "convert/Title.h"
#include "convert/Values.h"
#include "platform/text/Gbk.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {
namespace {

TEST(RecommendedValues, CleanedTrimmedAndNoneMadeEmpty) {
  const std::pair<const char*, const char*> cases[] = {
      {"  银行会计学 ", "银行会计学"},
      {"\xE3\x80\x80书名\xC2\xA0", "书名"},  // U+3000 and NBSP
      {"无", ""},
      {"暂无", ""},
      {"暂无简介", ""},
      {"空", ""},
      {"N/A", ""},
      {"-", ""},
      {"cover_123.JPG", ""},
      {"无线电技术", "无线电技术"},  // only a whole "none" is none
      {"a|b", "a｜b"},
      {"图片 说明.jpg", "图片 说明.jpg"},
      {"NONE", ""},
      {"Null", ""},
      {"——", ""},
      {"#N/A", ""},
      {"无无", "无无"},
      {"nulls", "nulls"},
      {"a_very_long_cover_name_2019.JPEG", ""},  // past 12 bytes, a file name still
      {".jpg", ".jpg"},                            // an extension alone names no file
      {"x.webp", ""},
      {"25.00", "25.00"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(CleanValue(in), out) << in;
  // On one line first: the same as OneLine then CleanValue, with and without line breaks.
  for (const auto& [in, out] : cases) EXPECT_EQ(CleanLine(in), out) << in;
  for (const char* in : {"a\r\nb", " 无\n", "\t书名 ", "\n", "书\r名|", "N/A\t"})
    EXPECT_EQ(CleanLine(in), CleanValue(OneLine(in))) << in;
  EXPECT_EQ(OneLine("a\r\nb\nc\rd\te"), "a b c d e");
  EXPECT_EQ(FoldForGbk("A\xC2\xA0" "B•C・D—E‑F"), "A B·C·D—E-F");
  EXPECT_EQ(text::NotInGbk("Müller 䶮𠀀 ö 书 ü"), (std::vector<std::string>{"䶮", "𠀀", "ö"}));  // GBK has ü
  EXPECT_TRUE(text::NotInGbk("银行·会计").empty());
}

// A line break (and, when asked, a tab) found at every place of texts from 0 to 20 bytes, against
// the plain byte test: among Han characters and the other low bytes (NUL, VT, FF, SO), which are none.
TEST(RecommendedValues, HasLineBreakFindsEveryBreakWhereverItStands) {
  const auto plain = [](std::string_view s, bool orTab) {
    return s.find_first_of(orTab ? std::string_view("\r\n\t") : std::string_view("\r\n")) != std::string_view::npos;
  };
  const std::string fillers[] = {"a", "书", std::string(1, '\0'), "\x0B", "\x0C", "\x0E", "\x7F"};
  for (const std::string& filler : fillers)
    for (std::size_t size = 0; size <= 20; ++size) {
      std::string base;
      while (base.size() < size) base += filler;
      base.resize(size);
      for (const bool orTab : {false, true}) {
        ASSERT_EQ(HasLineBreak(base, orTab), plain(base, orTab)) << size;
        for (std::size_t at = 0; at < size; ++at)
          for (const char brk : {'\r', '\n', '\t'}) {
            std::string s = base;
            s[at] = brk;
            ASSERT_EQ(HasLineBreak(s, orTab), plain(s, orTab)) << size << " " << at << " " << int(brk);
          }
      }
    }
}

// Blanks (" ", tab, U+00A0, U+3000) trimmed from both ends, against trimming the decoded code
// points: at the limits of each blank's bytes, with bytes that only look like part of one.
TEST(RecommendedValues, TrimWideTrimsTheBlanksOfEitherEnd) {
  const auto plain = [](std::string_view s) {
    std::vector<std::pair<std::size_t, char32_t>> at;  // each code point's offset
    for (std::size_t i = 0; i < s.size();) {
      const std::size_t start = i;
      at.emplace_back(start, text::NextCodePoint(s, i));
    }
    const auto blank = [](char32_t c) { return c == U' ' || c == U'\t' || c == 0xA0 || c == 0x3000; };
    std::size_t first = 0, last = at.size();
    while (first < last && blank(at[first].second)) ++first;
    while (last > first && blank(at[last - 1].second)) --last;
    const std::size_t from = first < at.size() ? at[first].first : s.size();
    const std::size_t to = last < at.size() ? at[last].first : s.size();
    return s.substr(from, to - from);
  };
  const std::string cases[] = {"", " ", "\t", "书", " 书 ", "\xE3\x80\x80书\xE3\x80\x80", "\xC2\xA0书\xC2\xA0",
                               "书\xE3\x80", "\x80书", "书\xA0", "\xA0书", "\xE3书", "\xC2", "\xE3\x80\x80",
                               "a \t\xE3\x80\x80", "\xC2\xA0\xC2\xA0", "书\xE3\x80\x81", "\xE3\x80\x81书", "x\x80",
                               "\xE3\x81\x80", " \xE3\x80\x80 a b \xC2\xA0\t"};
  for (const std::string& c : cases) EXPECT_EQ(TrimWide(c), plain(c)) << c;
}

// A shop's listing and a total row, on either side of 40 bytes and 40 characters (a short title
// is looked at as UTF-8, a long one as characters): the signs, two exclamation marks of either
// width, a second title only past 40 characters; the total words with what may follow them.
TEST(RecommendedTitle, ShopListingsAndTotalRows) {
  std::string forty, fortyOne;           // 40 and 41 Han characters (120 and 123 bytes)
  for (int k = 0; k < 40; ++k) forty += "书";
  fortyOne = forty + "书";
  const std::string a40(40, 'a');
  const std::pair<std::string, bool> shop[] = {
      {"中国通史", false},        {"【正版】中国通史", true},  {"中国通史 包邮", true},
      {"好书!好书!", true},       {"好书！好书!", true},       {"好书！好书！", true},
      {"好书！", false},          {"书+书", false},            {forty + "+书", true},
      {forty.substr(3) + "+", false},  // 40 characters: no second title looked for
      {fortyOne + "+", true},     {fortyOne, false},          {a40, false},
      {a40.substr(1) + "!", false},    {a40.substr(2) + "!!", true},  // 40 bytes, two marks
      {a40 + "!!", true},         {"全套" + forty, true},      {"全套书", false},
      {"现货", true},             {"畅", false},               {std::string("\xE3") + "【", true},
  };
  for (const auto& [title, yes] : shop) EXPECT_EQ(LooksLikeShopListing(title), yes) << title;
  // Short titles made of the signs' characters, others and broken bytes: a sign or two marks, as a
  // search of the bytes finds them.
  const std::string pieces[] = {"正", "版", "包", "邮", "畅", "销", "赠", "送", "品", "附", "现", "货", "【",
                                "】", "！", "!", "书", "a", " ", "\xE6", "\xAD", "\xE3\x80", "\xF0\x9F"};
  std::mt19937 random(7);
  for (int k = 0; k < 20000; ++k) {
    std::string title;
    for (int n = static_cast<int>(random() % 8); n > 0; --n) title += pieces[random() % std::size(pieces)];
    bool sign = false;
    for (const std::string_view s : {"【", "】", "正版", "包邮", "畅销", "赠送", "附赠", "赠品", "现货"})
      sign = sign || title.find(s) != std::string::npos;
    std::size_t marks = static_cast<std::size_t>(std::count(title.begin(), title.end(), '!'));
    for (std::size_t at = title.find("！"); at != std::string::npos; at = title.find("！", at + 3)) ++marks;
    ASSERT_EQ(LooksLikeShopListing(title), sign || marks >= 2) << title;
  }
  const std::pair<const char*, bool> total[] = {
      {"合计", true},      {"  合计：256册", true}, {"总计 1234.00元", true}, {"小计:12", true},
      {"共计12本", true},  {"结束", true},          {"合计书目", false},      {"会计学", false},
      {"结束语", false},   {"计算机", false},       {"中国通史", false},      {"\xE3\x80\x80小计", true},
  };
  for (const auto& [title, yes] : total) EXPECT_EQ(IsTotalRow(title), yes) << title;
}

// A title split into its title proper, subtitle and trailing pieces. Titles with no piece and no
// subtitle mark are taken as they stand; a binding put after any title is read by the decoding
// reading, which must then give the same title, subtitle and pieces before it.
TEST(RecommendedTitle, SplitTitleTakesTrailingPiecesAndSubtitles) {
  struct Case {
    std::string cell, title, subtitle;
    std::vector<std::string> pieces;  // their values
  };
  const Case cases[] = {
      {"中国通史", "中国通史", "", {}},
      {"\xE3\x80\x80 中国通史\xC2\xA0\t", "中国通史", "", {}},
      {"", "", "", {}},
      {"中国通史（第3版）", "中国通史", "", {"第3版"}},
      {"中国通史修订版", "中国通史", "", {"修订版"}},
      {"中国通史：远古时代", "中国通史", "远古时代", {}},
      {"中国通史——远古时代", "中国通史", "远古时代", {}},
      {"中国通史—远古", "中国通史—远古", "", {}},
      {"中国通史 上册", "中国通史", "", {"上册"}},
      {"中国通史(平装)", "中国通史", "", {"平装"}},
      {"中国通史]", "中国通史]", "", {}},
      {"读本", "读本", "", {}},
      {"中国\xFF通史", "中国\xEF\xBF\xBD通史", "", {}},  // a broken byte is read as U+FFFD
  };
  for (const Case& c : cases) {
    const SplitOfTitle split = SplitTitle(c.cell);
    EXPECT_EQ(split.title, c.title) << c.cell;
    EXPECT_EQ(split.subtitle, c.subtitle) << c.cell;
    std::vector<std::string> values;
    for (const TitlePiece& p : split.pieces) values.push_back(p.value);
    EXPECT_EQ(values, c.pieces) << c.cell;
  }
  const std::string parts[] = {"书", "名", "版", "本", "装", "卷", "册", "辑", "编", "分", "部", "第", "2",  "：",
                               ":",  "—",  "——", "（", "）", "(",  ")",  "[",  "]",  "〕", " ", "\xE3\x80\x80", "\xFF",
                               "a",  "上", "全3册"};
  std::mt19937 random(12);
  for (int k = 0; k < 30000; ++k) {
    std::string cell = "书";
    for (int n = static_cast<int>(random() % 7); n > 0; --n) cell += parts[random() % std::size(parts)];
    if (random() % 2) cell = parts[random() % std::size(parts)] + cell;
    const SplitOfTitle plain = SplitTitle(cell), bound = SplitTitle(cell + "（平装）");
    ASSERT_FALSE(bound.pieces.empty()) << cell;
    ASSERT_EQ(bound.pieces.back().value, "平装") << cell;
    ASSERT_EQ(plain.title, bound.title) << cell;
    ASSERT_EQ(plain.subtitle, bound.subtitle) << cell;
    ASSERT_EQ(plain.pieces.size() + 1, bound.pieces.size()) << cell;
    for (std::size_t i = 0; i < plain.pieces.size(); ++i) {
      ASSERT_EQ(plain.pieces[i].value, bound.pieces[i].value) << cell;
      ASSERT_EQ(plain.pieces[i].written, bound.pieces[i].written) << cell;
      ASSERT_EQ(plain.pieces[i].into, bound.pieces[i].into) << cell;
    }
  }
}

TEST(RecommendedIsbn, AcceptsTheFormsTablesHold) {
  struct Case {
    const char* value;
    Isbn::Kind kind;
    const char* text;
  };
  const Case cases[] = {
      {"9787302123453", Isbn::Kind::Valid, "978-7-302-12345-3"},
      {"978-7-302-12345-3", Isbn::Kind::Valid, "978-7-302-12345-3"},
      {"ISBN 978 7 302 12345 3", Isbn::Kind::Valid, "978-7-302-12345-3"},
      {"ISBN：9787020002207", Isbn::Kind::Valid, "978-7-02-000220-7"},
      {"ISBN-13: 978-7-5327-1234-2", Isbn::Kind::Valid, "978-7-5327-1234-2"},
      {"9787302123453.0", Isbn::Kind::Valid, "978-7-302-12345-3"},  // a number cell
      {"９７８７３０２１２３４５３", Isbn::Kind::Valid, "978-7-302-12345-3"},
      {"7302123454", Isbn::Kind::Valid, "7-302-12345-4"},  // ISBN-10 stays ISBN-10
      {"020161622x", Isbn::Kind::Valid, "0-201-61622-X"},
      {"7-108-11111-X", Isbn::Kind::Valid, "7-108-11111-X"},
      {"9780306406157", Isbn::Kind::Valid, "978-0-306-40615-7"},
      {"9787302123453 (平装)", Isbn::Kind::Valid, "978-7-302-12345-3"},
      {"9787302123454", Isbn::Kind::Invalid, "9787302123454"},
      {"7302123458", Isbn::Kind::Invalid, "7302123458"},
      {"0", Isbn::Kind::None, ""},
      {"111", Isbn::Kind::None, ""},
      {"http://book.example.com/9787302123453", Isbn::Kind::None, ""},
      {"暂无", Isbn::Kind::None, ""},
      {"12345678901234", Isbn::Kind::None, ""},
      {"1234567890123", Isbn::Kind::Invalid, "1234567890123"},  // 13 digits but no 978/979: kept for $z
      {"", Isbn::Kind::None, ""},
  };
  for (const Case& c : cases) {
    const Isbn isbn = ParseIsbn(c.value);
    EXPECT_EQ(isbn.kind, c.kind) << c.value;
    EXPECT_EQ(isbn.text, c.text) << c.value;
  }
}

TEST(RecommendedImprint, SplitsCombinedValuesAndFindsTheYear) {
  struct Case {
    const char *place, *publisher, *date;
    Imprint expected;
  };
  const Case cases[] = {
      {"", "北京：清华大学出版社，2008.10", "", {"北京", "清华大学出版社", "2008.10"}},
      {"", "上海 : 译文出版社, 2015", "", {"上海", "译文出版社", "2015"}},
      {"上海 : 译文出版社, 2015", "", "", {"上海", "译文出版社", "2015"}},
      {"", "北京：中华书局", "1999", {"北京", "中华书局", "1999"}},
      {"", "清华大学出版社，2008", "", {"", "清华大学出版社", "2008"}},
      {"北京", "清华大学出版社", "2008-10", {"北京", "清华大学出版社", "2008-10"}},
      {"", "商务印书馆, 香港分馆", "", {"", "商务印书馆, 香港分馆", ""}},  // no year after the comma
      {"南京", "北京：清华大学出版社", "", {"南京", "清华大学出版社", ""}},  // the row's own place wins
  };
  for (const Case& c : cases) {
    const Imprint i = SplitImprint(c.place, c.publisher, c.date);
    EXPECT_EQ(i.place, c.expected.place) << c.publisher << c.place;
    EXPECT_EQ(i.publisher, c.expected.publisher) << c.publisher << c.place;
    EXPECT_EQ(i.date, c.expected.date) << c.publisher << c.place;
  }
  const std::pair<const char*, int> years[] = {
      {"2015", 2015}, {"2015-4", 2015}, {"2015.10", 2015}, {"2015年4月", 2015}, {"2015/04/03", 2015},
      {" 2015-4 ", 2015}, {"2015-04-03 00:00:00", 2015}, {"April 2010", 2010}, {"二〇一五年", 2015},
      {"c2015", 2015}, {"[2015]", 2015}, {"２０１５", 2015}, {"04/03/2015", 2015}, {"1000", 1000}, {"2999", 2999},
      {"201510", 2015}, {"20151003", 2015}, {"201510031200", 2015}, {"20151003120000", 2015},
  };
  for (const auto& [text, year] : years) EXPECT_EQ(ParseYear(text), std::optional<int>(year)) << text;
  for (const char* none : {"", "x", "05", "42005", "999", "3000", "第2版", "12345", "201513", "20151032",
                           "2015100312", "201510031", "201510031200000"})
    EXPECT_EQ(ParseYear(none), std::nullopt) << none;
  EXPECT_EQ(PublicationDates100(2015), "d2015    ");
  EXPECT_EQ(PublicationDates100(std::nullopt), "u        ");
  EXPECT_EQ(PublicationDates100(std::nullopt).size(), 9u);
}

TEST(RecommendedPersons, SplitsStatementsIntoPersonsWithRoles) {
  struct P {
    P(std::string n, std::string r, bool s = false, bool c = false, bool l = false, std::string m = {})
        : name(std::move(n)), role(std::move(r)), secondary(s), corporate(c), latin(l), mark(std::move(m)) {}
    std::string name, role;
    bool secondary, corporate, latin;
    std::string mark;
  };
  struct Case {
    const char* statement;
    std::vector<P> persons;
  };
  const Case cases[] = {
      {"张三著", {{"张三", "著"}}},
      {"张三主编,李四", {{"张三", "主编"}, {"李四", "著"}}},
      {"李四，张三著", {{"李四", "著"}, {"张三", "著"}}},
      {"李仲轩 口述 / 徐皓峰 整理", {{"李仲轩", "口述"}, {"徐皓峰", "整理", true}}},
      {"张三著 李四译", {{"张三", "著"}, {"李四", "译", true}}},
      {"王小明 李华", {{"王小明", "著"}, {"李华", "著"}}},
      {"王小明、李华编", {{"王小明", "编"}, {"李华", "编"}}},
      {"张三等著", {{"张三", "著"}}},
      {"张三 等著", {{"张三", "著"}}},
      {"张三等", {{"张三", "著"}}},
      {"Abraham Silberschatz", {{"Abraham Silberschatz", "著", false, false, true}}},
      {"Silberschatz, Abraham", {{"Silberschatz, Abraham", "著", false, false, true}}},
      {"[美] Abraham Silberschatz 等著", {{"Abraham Silberschatz", "著", false, false, true, "美"}}},
      {"(美)罗恩·彻诺著", {{"罗恩·彻诺", "著", false, false, false, "美"}}},
      {"〔清〕曹雪芹著", {{"曹雪芹", "著", false, false, false, "清"}}},
      {"张三编著；李四校注", {{"张三", "编著"}, {"李四", "校注", true}}},
      {"中国科学院心理研究所编", {{"中国科学院心理研究所", "编", false, true}}},
      {"本书编写组编", {{"本书编写组", "编", false, true}}},
      {"张三绘", {{"张三", "绘", true}}},
      {"", {}},
      // Statements apart at bars, also at a bar written in an overlong form (read as one).
      {"张三著|译者:李四", {{"张三", "著"}, {"李四", "译", true}}},
      {"张三著｜李四译", {{"张三", "著"}, {"李四", "译", true}}},
      {"张三著\xE0\x81\xBC李四译", {{"张三", "著"}, {"李四", "译", true}}},
      {"\xF0\xA0\x80\x80三著", {{"\xF0\xA0\x80\x80三", "著"}}},
  };
  for (const Case& c : cases) {
    const auto got = SplitResponsibility(c.statement);
    ASSERT_EQ(got.size(), c.persons.size()) << c.statement;
    for (std::size_t k = 0; k < got.size(); ++k) {
      SCOPED_TRACE(std::string(c.statement) + " #" + std::to_string(k));
      EXPECT_EQ(got[k].name, c.persons[k].name);
      EXPECT_EQ(got[k].role, c.persons[k].role);
      EXPECT_EQ(got[k].secondary, c.persons[k].secondary);
      EXPECT_EQ(got[k].corporate, c.persons[k].corporate);
      EXPECT_EQ(got[k].latin, c.persons[k].latin);
      EXPECT_EQ(got[k].mark, c.persons[k].mark);
    }
  }
}

// The first name read alone is the first of all the names read, in statements made of names, role
// words, brackets, marks, separators and bars.
TEST(RecommendedPersons, FirstNameReadAloneIsTheFirstOfAll) {
  const std::string pieces[] = {"张三", "李四", "王", "五", "著", "主编", "译", "等", "[美]", "（日）", "(Ron Chernow)",
                                "Abraham", "Silberschatz", "Jr.", ",", "，", "、", "；", "/", " ", "　", "|", "｜",
                                "译者:", "佚名", "编写组", "副", "A.", "img1.jpg", "《某》编委会"};
  std::mt19937 random(41);
  int named = 0;
  for (int k = 0; k < 20000; ++k) {
    std::string statement;
    for (int n = static_cast<int>(random() % 9); n > 0; --n) statement += pieces[random() % std::size(pieces)];
    const std::vector<Responsible> all = SplitResponsibility(statement);
    named += all.empty() ? 0 : 1;
    ASSERT_EQ(FirstResponsibleName(statement), all.empty() ? std::string() : all.front().name) << statement;
  }
  EXPECT_GT(named, 10000);
}

TEST(RecommendedPersons, LinesGroupedByTagWithIndicators) {
  const PinyinSource pinyin = PinyinSource::FromFile(test::BuildFile("pinyin.dat"));
  const auto lines = [&](std::string_view statement) {
    std::string out = "(before)";  // appended to what is there
    AppendResponsibleLines(out, SplitResponsibility(statement), pinyin);
    return out;
  };
  EXPECT_EQ(lines("[美] Abraham Silberschatz 著；张三译；单位研究会编"),
            "(before)701  1 |a Silberschatz |b Abraham |c (美) |4 著\r\n"
            "702  0 |a 张三 |A zhang san |4 译\r\n"
            "711 02 |a 单位研究会 |A dan wei yan jiu hui |4 编\r\n");
  // By tag whatever the order of the statement, in the statement's order within a tag.
  EXPECT_EQ(lines("张三译；单位研究会编；李四著；王五校；Silberschatz, Abraham"),
            "(before)701  0 |a 李四 |A li si |4 著\r\n"
            "701  1 |a Silberschatz |b Abraham |4 著\r\n"
            "702  0 |a 张三 |A zhang san |4 译\r\n"
            "702  0 |a 王五 |A wang wu |4 校\r\n"
            "711 02 |a 单位研究会 |A dan wei yan jiu hui |4 编\r\n");
  // The surname reading in a person's name.
  EXPECT_EQ(lines("单田芳著"), "(before)701  0 |a 单田芳 |A shan tian fang |4 著\r\n");
  EXPECT_EQ(lines(""), "(before)");
}

TEST(RecommendedPrice, CurrencyCodeAndTwoDecimals) {
  const std::pair<const char*, const char*> cases[] = {
      {"25", "CNY25.00"},        {"25.5", "CNY25.50"},     {"￥30", "CNY30.00"},     {"¥30.00", "CNY30.00"},
      {"30元", "CNY30.00"},      {"30圆", "CNY30.00"},     {"RMB 45", "CNY45.00"},   {"定价：25.00元", "CNY25.00"},
      {"$12.5", "USD12.50"},     {"US$12.5", "USD12.50"},  {"HK$100", "HKD100.00"}, {"NT$350", "TWD350.00"},
      {"£9.99", "GBP9.99"},      {"€20", "EUR20.00"},      {"1,234.5", "CNY1234.50"}, {"２５元", "CNY25.00"},
      {"25.00元/册", "CNY25.00"}, {"0.01", "CNY0.01"},      {"00.10", "CNY0.10"},     {"007", "CNY7.00"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(CurrencyPrice(in), std::optional<std::string>(out)) << in;
  for (const char* none : {"", "0", "0.00", "000", "0.0", "0.000", "-3", "-0.5", "免费", "abc"})
    EXPECT_EQ(CurrencyPrice(none), std::nullopt) << none;
  // Amounts of every length, rounded to cents as printf rounds them (halves of a cent included).
  std::mt19937 random(10);
  for (int k = 0; k < 20000; ++k) {
    std::string amount(1 + random() % 16, '0');
    for (char& c : amount) c = static_cast<char>('0' + random() % 10);
    if (k % 3) amount.append(".").append(std::to_string(random() % 1000000).substr(0, random() % 7));
    char expected[400];
    std::snprintf(expected, sizeof expected, "CNY%.2f", std::strtod(amount.c_str(), nullptr));
    if (std::strtod(amount.c_str(), nullptr) > 0) ASSERT_EQ(CurrencyPrice(amount), std::string(expected)) << amount;
    else ASSERT_EQ(CurrencyPrice(amount), std::nullopt) << amount;
  }
}

// The size and class-number readers against the patterns they implement, written as regular
// expressions, on cells made of the pieces sizes are written with.
std::optional<std::string> SizeByPattern(std::string_view cell) {
  std::string s;
  for (std::size_t i = 0; i < cell.size();) {
    const char32_t c = text::HalfWidth(text::NextCodePoint(cell, i));
    text::AppendUtf8(s, c == 0xD7 || c == U'x' || c == U'X' ? U'*' : c);
  }
  const auto cm = [](double mm) { return std::to_string(static_cast<int>(std::ceil(mm / 10.0 - 1e-9))) + "cm"; };
  static const std::regex kCm(R"(^\s*(\d+(?:\.\d+)?)\s*(?:cm|CM|厘米)\s*$)");
  static const std::regex kSheet(R"(^\s*(\d{3,4})\s*(?:mm|毫米)?\s*\*\s*(\d{3,4})\s*(?:mm|毫米)?\s*(?:1/(\d+)|(\d+)开)\s*$)");
  static const std::regex kPage(R"(^\s*(\d{2,3}(?:\.\d)?)\s*(?:mm)?\s*\*\s*(\d{2,3}(?:\.\d)?)\s*(mm|cm|毫米|厘米)?\s*$)");
  static const std::regex kFormat(R"(^\s*(大)?\s*(8|16|32|64)\s*(?:开|K|k)\s*(?:本)?\s*$)");
  std::smatch m;
  if (std::regex_match(s, m, kCm)) {
    const double mm = std::stod(m[1]) * 10;
    return mm < 1e9 ? std::optional(cm(mm)) : std::nullopt;  // no height: past what an int holds
  }
  if (std::regex_match(s, m, kSheet)) {
    const double x = std::stod(m[1]), y = std::stod(m[2]);
    const std::string pieces = m[3].matched ? m[3].str() : m[4].str();
    // The sheets the trade trims to a known size; other sheets' pages halved from the longer side.
    const std::map<std::tuple<int, int, int>, int> known = {
        {{787, 1092, 8}, 370}, {{787, 1092, 16}, 260}, {{787, 1092, 32}, 184}, {{787, 1092, 64}, 126},
        {{850, 1168, 8}, 420}, {{850, 1168, 16}, 285}, {{850, 1168, 32}, 203}, {{850, 1168, 64}, 137},
        {{880, 1230, 16}, 297}, {{880, 1230, 32}, 210}};
    const double a = std::min(x, y), b = std::max(x, y);
    const long long n = pieces.size() > 9 ? 0 : std::stoll(pieces);  // a count past int is no fraction
    if (a < 500) return std::nullopt;
    if (const auto it = known.find({static_cast<int>(a), static_cast<int>(b), static_cast<int>(n)}); it != known.end())
      return cm(it->second);
    if (n < 2 || (n & (n - 1)) != 0 || n > 128) return std::nullopt;
    double shorter = a, longer = b;
    for (long long k = n; k > 1; k /= 2) {
      longer /= 2;
      if (shorter > longer) std::swap(shorter, longer);
    }
    return cm(longer - 13);
  }
  if (std::regex_match(s, m, kPage)) {
    const bool inCm = m[3].matched && (m[3] == "cm" || m[3] == "厘米");
    const double longer = std::max(std::stod(m[1]), std::stod(m[2])) * (inCm ? 10 : 1);
    if (longer < 50 || longer > 600) return std::nullopt;
    return cm(longer);
  }
  if (std::regex_match(s, m, kFormat)) {
    const std::map<std::pair<bool, int>, int> heights = {{{false, 8}, 370}, {{false, 16}, 260}, {{false, 32}, 184},
                                                         {{false, 64}, 126}, {{true, 8}, 420},   {{true, 16}, 285},
                                                         {{true, 32}, 203},  {{true, 64}, 137}};
    return cm(heights.at({m[1].matched, std::stoi(m[2])}));
  }
  return std::nullopt;
}

TEST(RecommendedExtent, SizesReadAsTheirPatternsSay) {
  // The slots sizes are written in, each with the pieces it may hold, near misses among them.
  const std::vector<std::vector<std::string>> slot = {
      {"", "", " ", "\t", "\xE3\x80\x80", "  "},                                       // 0 blanks
      {"7", "78", "787", "1092", "850", "1168", "880", "1230", "889", "500", "18.5", "18.55", "18.", "26", "185",
       "260", "0", "16", "32", "64", "8", "24", "128", "99999999999", "１６", "７８７", "18.4", ".5"},  // 1 numbers
      {"*", "×", "x", "X", "＊", "/", ""},                                               // 2 times
      {"", "", "mm", "毫米", "cm", "CM", "厘米", "Cm", "m"},                            // 3 units
      {"1/16", "1/32", "1/24", "1/128", "1/99999999999", "16开", "32开", "开", "1/", "24开", "1/1", ""},  // 4 fractions
      {"", "大"},                                                                       // 5
      {"开", "K", "k", "本", ""},                                                       // 6 formats
      {"", "本"},                                                                       // 7
  };
  const std::vector<std::vector<int>> shapes = {
      {0, 1, 0, 3, 0, 2, 0, 1, 0, 3, 0, 4, 0}, {0, 1, 0, 3, 0, 2, 0, 1, 0, 3, 0}, {0, 1, 0, 3, 0},
      {0, 5, 0, 1, 0, 6, 0, 7, 0}};
  std::vector<std::string> all;
  for (const auto& pieces : slot) all.insert(all.end(), pieces.begin(), pieces.end());
  std::mt19937 random(25);
  std::set<std::string> cells = {"A4", "异形", ""};
  while (cells.size() < 30000) {
    std::string cell;
    for (const int s : shapes[random() % shapes.size()])
      cell += random() % 12 == 0 ? all[random() % all.size()] : slot[s][random() % slot[s].size()];
    cells.insert(cell);
  }
  int read = 0;
  for (const std::string& cell : cells) {
    const std::optional<std::string> expected = SizeByPattern(cell);
    read += expected ? 1 : 0;
    ASSERT_EQ(SizeInCentimetres(cell), expected) << cell;
  }
  EXPECT_GT(read, 1000);  // enough of them are sizes
}

TEST(RecommendedSubjects, ClassNumbersReadAsTheirPatternSays) {
  static const std::regex kClass(R"re(^[A-KN-VXZ][A-Z]?[0-9][0-9A-Za-z.\-=:/()"+<>]*$)re");
  const std::string alphabet = "ABCIKLMNOPTVWXYZaz0159.-=:/()\"+<>_ #\xE4\xB8\x80";
  std::mt19937 random(690);
  int classes = 0;
  for (int k = 0; k < 100000; ++k) {
    std::string cell;
    for (int n = static_cast<int>(random() % 7); n > 0; --n) cell += alphabet[random() % alphabet.size()];
    const bool expected = std::regex_match(cell, kClass);
    classes += expected ? 1 : 0;
    ASSERT_EQ(IsClassNumber(cell), expected) << cell;
  }
  EXPECT_GT(classes, 1000);
}

}  // namespace
}  // namespace rowcaster::convert
