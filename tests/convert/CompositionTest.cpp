#include "convert/Composition.h"

#include <gtest/gtest.h>

#include <random>

#include "TestPaths.h"
#include "convert/TestCbk.h"
#include "platform/text/Gbk.h"

namespace rowcaster::convert {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

class Compose : public ::testing::Test {
 protected:
  Compose()
      : lookup_(test::JetConnStr(test::MakeCbk("compose-cbk.db", {{"7-5327", "上海译文出版社", "上海", "310000"}}))),
        pinyin_(PinyinSource::FromFile(test::BuildFile("pinyin.dat"))) {
    context_.now = {2026, 12, 5, 23, 36, 0};
    context_.lookup = &lookup_;
    context_.pinyin = &pinyin_;
  }
  std::vector<std::string> WorkForm(std::initializer_list<std::pair<Param, std::string>> set) {
    SubfieldValues v;
    for (const auto& [p, value] : set) v[p] = value;
    return Lines(ComposeWorkForm(v, context_));
  }
  RegionLookup lookup_;
  PinyinSource pinyin_;
  CompositionContext context_;
};

TEST_F(Compose, DefaultTemplateGivesTheExpectedLines) {
  EXPECT_EQ(kDefaultTemplate.size(), 499u);  // 493 bytes and the {200g} placeholder
  EXPECT_EQ(WorkForm({{d200a, "书名"}, {d010a, "7-5012-3456-7"}, {d010d, "25"}}),
            (std::vector<std::string>{
                "010    |a 7-5012-3456-7|d CNY25",
                "100    |a20261205d2009    em y0chiy0110    ea",
                "101 0  |a chi",
                "102    |aCN",
                "105    |ay   z   000yy",
                "106    |ar",
                "200 1  |a 书名 |A shu ming",
                "690    |v 4",
                "801    |aCN|bZELKOV|c20261205",
            }));
}

TEST_F(Compose, NormalisesThePrice) {
  const std::pair<const char*, const char*> cases[] = {
      {"25.00", "CNY25.00"}, {"$12.5", "CNY12.5"}, {"￥30", "CNY30"}, {"30元", "30元"}, {"", ""},
      {"1,234.50", "CNY1,234.50"}, {"-3", "CNY-3"}, {"$1 ￥2", "CNY1 CNY2"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(NormalisePrice(in), out) << in;
  SubfieldValues v;
  v[d010d] = "$12.5";
  ComposeWorkForm(v, context_);
  EXPECT_EQ(v[d010d], "CNY12.5") << "the price is written back";
}

TEST_F(Compose, TakesThePublicationYear) {
  const std::pair<const char*, const char*> years[] = {
      {"2005年3月", "2005"}, {" 2005", " 200"}, {"05", "2009"}, {"", "2009"}, {"二〇〇五", "2009"}, {"1999", "1999"},
  };
  for (const auto& [in, out] : years) EXPECT_EQ(PublicationYear(in), out) << in;
  auto lines = WorkForm({{d200a, "书"}, {d210d, " 2005"}, {d210c, "某社"}});
  EXPECT_NE(std::find(lines.begin(), lines.end(), "100    |a20261205d 200    em y0chiy0110    ea"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "210    |c 某社|d 2005"), lines.end());
  lines = WorkForm({{d210d, "2005年3月"}});
  EXPECT_NE(std::find(lines.begin(), lines.end(), "100    |a20261205d2005    em y0chiy0110    ea"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "210    |d 2005"), lines.end());
}

TEST_F(Compose, LinksTheSeries) {
  auto lines = WorkForm({{d225a, "现代文库"}});
  EXPECT_NE(std::find(lines.begin(), lines.end(), "410  0 |12001 |a现代文库"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "225  2 |a 现代文库"), lines.end());

  context_.templateText = "200 1  {200a}\r\n{410}\r\n{461}\r\n801    |aCN\r\n";
  EXPECT_EQ(WorkForm({{d200a, "书"}, {d225a, "丛书"}}),
            (std::vector<std::string>{"200 1  |a 书 |A shu", "461  0 |12001 |a丛书", "801    |aCN"}));
  EXPECT_EQ(WorkForm({{d200a, "书"}}), (std::vector<std::string>{"200 1  |a 书 |A shu", "801    |aCN"}));
}

TEST_F(Compose, FillsDefaultsAndRoutesSubfields) {
  const auto lines = WorkForm({{d200a, "书"}, {d905v, "3"}, {d101a, "eng"}, {d690v, "5"}, {d020d, "Book"},
                               {d200g, "李四译"}, {d210c, "上海译文出版社"}, {d606j, "教材"}});
  const std::vector<std::string> expected = {
      "100    |a20261205d2009    em y0chiy0110    ea",
      "101 0  |a eng",
      "102    |aCN|b 310000",
      "105    |ay   z   000yy",
      "106    |ar",
      "200 1  |a 书 |A shu|d Book|g 李四译",
      "210    |c 上海译文出版社",
      "606 0  |j 教材",
      "690    |v 5",
      "801    |aCN|bZELKOV|c20261205",
      "905    |j 3",
  };
  EXPECT_EQ(lines, expected);
}

TEST_F(Compose, KeepsUnknownPlaceholdersAndSplitsValuesAtBars) {
  context_.templateText = "200 1  {200a}{200x}\r\n300    {300a}\r\n801    |aCN\r\n";
  EXPECT_EQ(WorkForm({{d200a, "书"}, {d300a, "附注|b另一子字段"}}),
            (std::vector<std::string>{"200 1  |a 书 |A shu{200x}", "300    |a 附注|b另一子字段", "801    |aCN"}));
  SubfieldValues v;
  v[d200a] = "书";
  v[d300a] = "附注|b另一";
  const auto r = ConverttoMarc(v, context_);
  ASSERT_EQ(r.status, iso2709::BuildStatus::Built);
  EXPECT_NE(r.record.find("\x1F" "a" + *text::ToGbk("附注") + "\x1F" "b" + *text::ToGbk("另一")), std::string::npos);
}

TEST_F(Compose, AValueThatLooksLikeALaterPlaceholderIsReplacedToo) {
  context_.templateText = "300    {300a}\r\n606 0  {606a}\r\n801    |aCN\r\n";
  EXPECT_EQ(WorkForm({{d300a, "注{606a}"}, {d606a, "主题"}})[0], "300    |a 注|a 主题");
  // An earlier placeholder in a value stays as it is.
  EXPECT_EQ(WorkForm({{d606a, "主题{300a}"}, {d300a, "注"}})[1], "606 0  |a 主题{300a}");
}

TEST(RightMarc, KeepsOnlyWellFormedLines) {
  EXPECT_EQ(RightMarc("010    \r\n200 1  \r\n300    |a   \r\n300    |ab\r\n{410}\r\n\r\n1ab    |a x\r\nabc    |a x\r\n"),
            "300    |ab\r\n1ab    |a x\r\n");
  EXPECT_EQ(RightMarc(""), "");
  EXPECT_EQ(RightMarc("200 1  |a书"), "200 1  |a书\r\n");  // a last line without a line end is kept
  EXPECT_EQ(RightMarc("200 1  |a书名\n801 |a\n"), "200 1  |a书名\r\n");
}

TEST_F(Compose, ABadTemplateLineRefusesEveryRecord) {
  context_.templateText = "200 1  {200a}\r\n1ab    |a x\r\n801    |aCN\r\n";
  SubfieldValues v;
  v[d200a] = "书";
  EXPECT_EQ(ConverttoMarc(v, context_).status, iso2709::BuildStatus::Refused);
}

TEST_F(Compose, FailsWhenThePublisherDatabaseOrThePinyinIsMissing) {
  RegionLookup missing(test::JetConnStr("/nonexistent/cbk.db"));
  context_.lookup = &missing;
  SubfieldValues v;
  auto r = ConverttoMarc(v, context_);
  EXPECT_EQ(r.status, iso2709::BuildStatus::Failed);
  EXPECT_NE(r.description.find("出版社库"), std::string::npos);

  context_.lookup = &lookup_;
  const PinyinSource none = PinyinSource::FromFile("/nonexistent/pinyin.dat");
  context_.pinyin = &none;
  r = ConverttoMarc(v, context_);
  EXPECT_EQ(r.status, iso2709::BuildStatus::Failed);
  EXPECT_NE(r.description.find("拼音"), std::string::npos);
}

TEST_F(Compose, BuildsAFullRecord) {
  SubfieldValues v;
  v[d010a] = "978-7-5327-1234-5";
  v[d010d] = "35.00";
  v[d200a] = "银行会计学";
  v[d200f] = "曾国藩主编,单田芳";
  v[d210a] = "上海";
  v[d210c] = "上海译文出版社";
  v[d210d] = "2005年";
  const auto r = ConverttoMarc(v, context_);
  ASSERT_EQ(r.status, iso2709::BuildStatus::Built) << r.description;
  const std::string text = text::FromGbk(r.record);
  EXPECT_NE(text.find("\x1F" "a银行会计学\x1F" "Ayin hang kuai ji xue\x1F" "f曾国藩主编,单田芳"), std::string::npos);
  EXPECT_NE(text.find("\x1F" "a曾国藩\x1F" "Azeng guo fan\x1F" "4主编"), std::string::npos);
  EXPECT_NE(text.find("\x1F" "a单田芳\x1F" "Ashan tian fang\x1F" "4主编"), std::string::npos);
  EXPECT_NE(text.find("\x1F" "aCN\x1F" "b310000"), std::string::npos);
  EXPECT_NE(text.find("20261205d2005"), std::string::npos);
}

}  // namespace
}  // namespace rowcaster::convert

namespace rowcaster::convert {
namespace {

// The one-pass substitution must give what replacing placeholder after placeholder gives; a brace
// in a value the template does not use sends the same template down the step-by-step path.
TEST_F(Compose, OnePassAndStepByStepAgree) {
  static const char* const kPieces[] = {"{010a}", "{200a}", "{200f}", "{701}", "{410}", "{461}", "{dqdm}", "{bmrq}",
                                        "{cbsj}", "{905v}", "{200g}", "{x}", "{", "}", "{{200e}}", "|a", " ",
                                        "\r\n200 1  ", "\r\n801    ", "\r\n", "文", "{200", "a}"};
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    std::string tmpl = "200 1  ";
    for (int k = 0; k < 30; ++k) tmpl += kPieces[rng() % std::size(kPieces)];
    tmpl += "\r\n801    |aCN\r\n";
    context_.templateText = tmpl;
    SubfieldValues v;
    v[d200a] = "书名";
    v[d010a] = "7-5327-1";
    v[d200f] = round % 2 ? "张三著,李四" : "";
    v[d225a] = round % 3 ? "丛书" : "";
    v[d200e] = "副";
    v[d905v] = "3";
    SubfieldValues slow = v;
    slow[d333a] = "{";  // {333a} is not among the pieces
    const std::string fast = ComposeWorkForm(v, context_);
    EXPECT_EQ(fast, ComposeWorkForm(slow, context_)) << tmpl;
  }
}

}  // namespace
}  // namespace rowcaster::convert
