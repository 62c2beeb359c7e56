#include "convert/Composition.h"

#include <gtest/gtest.h>

#include <random>

#include "TestPaths.h"
#include "convert/Recommended.h"
#include "convert/TestCbk.h"
#include "convert/WrittenRecord.h"
#include "iso2709/IsoRecord.h"
#include "iso2709/Listing.h"
#include "platform/text/Gbk.h"
#include "platform/text/Utf8.h"

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

// A cell's line breaks become blanks: nothing after a break is lost, no record fails, and a line
// that starts with three digits cannot become a field of its own.
TEST_F(Compose, LineBreaksInsideAValueStayInsideItsField) {
  struct Case {
    Param param;
    std::string value, line;
  };
  const Case cases[] = {
      {d300a, "第一行\r\n第二行", "300    |a 第一行 第二行"},
      {d300a, "第一行\n\n第三行", "300    |a 第一行  第三行"},
      {d330a, "简介\t另一列\r", "330    |a 简介\t另一列"},
      {d300a, "附注\r\n701    |a 假人|4著", "300    |a 附注 701    |a 假人|4著"},
      {d300a, "附注\n200 1  |a 假书名", "300    |a 附注 200 1  |a 假书名"},
  };
  for (const auto& c : cases) {
    const auto lines = WorkForm({{d200a, "书"}, {c.param, c.value}});
    EXPECT_NE(std::find(lines.begin(), lines.end(), c.line), lines.end()) << c.value;
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("701"); }), 0);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("200"); }), 1);
  }
  SubfieldValues v;
  v[d200a] = "书";
  v[d300a] = "附注\r\n701    |a 假人";
  const auto r = ConverttoMarc(v, context_);
  ASSERT_EQ(r.status, iso2709::BuildStatus::Built) << r.description;
  const std::string directory = r.record.substr(24, r.record.find('\x1E') - 24);
  for (std::size_t i = 0; i + 12 <= directory.size(); i += 12) EXPECT_NE(directory.substr(i, 3), "701");
}

// The row's record under `rules`, written in `encoding` and read back: its field lines as the
// listing gives them ("300    $a text"), the leader left out.
std::vector<std::string> WrittenFieldLines(SubfieldValues v, CompositionContext c, Rules rules,
                                           iso2709::Encoding encoding) {
  c.rules = rules;
  c.templateText = std::string(DefaultTemplate(rules));
  c.encoding = encoding;
  iso2709::Record record;
  std::vector<Finding> findings;
  const iso2709::Built built = ComposeRecord(v, c, record, findings);
  EXPECT_EQ(built.status, iso2709::BuildStatus::Built) << built.description;
  return test::WrittenFieldLines(record, encoding);
}

// Under the classic rules a line break (LF, CR LF) in a cell is one blank, a tab stays a tab and a
// lone CR is dropped; the recommended rules make each of the three a blank. Both hold for the
// record as written in GBK and in UTF-8.
TEST_F(Compose, TabsAndCarriageReturnsInValuesByRules) {
  struct Case {
    Param param;
    std::string value, classic, recommended;
  };
  const Case cases[] = {
      {d200a, "书\t名", "200 1  $a 书\t名 $A shu ming", "200 1  $a 书 名 $A shu ming"},
      {d300a, "附注\t", "300    $a 附注\t", "300    $a 附注"},
      {d300a, "附注\r另一", "300    $a 附注另一", "300    $a 附注 另一"},
      {d300a, "附注\r", "300    $a 附注", "300    $a 附注"},
      {d300a, "\r附注", "300    $a 附注", "300    $a 附注"},
      {d300a, "附注\r\n另一", "300    $a 附注 另一", "300    $a 附注 另一"},
      {d300a, "附注\n另一", "300    $a 附注 另一", "300    $a 附注 另一"},
      {d300a, "附注\r\r\n另一", "300    $a 附注 另一", "300    $a 附注  另一"},
      {d300a, "附注\n\r另一", "300    $a 附注 另一", "300    $a 附注  另一"},
      {d330a, "简介\t另一列\r", "330    $a 简介\t另一列", "330    $a 简介 另一列"},
  };
  for (const Case& c : cases) {
    for (const Rules rules : {Rules::Classic, Rules::Recommended}) {
      for (const auto encoding : {iso2709::Encoding::Gbk, iso2709::Encoding::Utf8}) {
        SCOPED_TRACE(::testing::Message() << c.value << " " << RulesName(rules) << " " << iso2709::NameOf(encoding));
        SubfieldValues v;
        v[d200a] = "书";
        v[c.param] = c.value;
        const auto lines = WrittenFieldLines(v, context_, rules, encoding);
        const std::string& want = rules == Rules::Classic ? c.classic : c.recommended;
        EXPECT_NE(std::find(lines.begin(), lines.end(), want), lines.end()) << ::testing::PrintToString(lines);
        const std::string tag = want.substr(0, 3);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(tag); }),
                  1);
      }
    }
  }
  // A value that is only a lone CR is empty under both rules: its line is left out.
  for (const Rules rules : {Rules::Classic, Rules::Recommended}) {
    SubfieldValues v;
    v[d200a] = "书";
    v[d300a] = "\r";
    const auto lines = WrittenFieldLines(v, context_, rules, iso2709::Encoding::Gbk);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("300"); }), 0)
        << RulesName(rules);
  }
}

TEST(RightMarc, KeepsOnlyWellFormedLines) {
  EXPECT_EQ(RightMarc("010    \r\n200 1  \r\n300    |a   \r\n300    |ab\r\n{410}\r\n\r\n1ab    |a x\r\nabc    |a x\r\n"),
            "300    |ab\r\n1ab    |a x\r\n");
  EXPECT_EQ(RightMarc(""), "");
  EXPECT_EQ(RightMarc("200 1  |a书"), "200 1  |a书\r\n");  // a last line without a line end is kept
  EXPECT_EQ(RightMarc("200 1  |a书名\n801 |a\n"), "200 1  |a书名\r\n");
}

// The composition builds a record from the filled template's kept lines where they stand: the
// lines, and the record or failure built from them, are those of the RightMarc text built whole.
TEST(RightMarc, TheKeptLinesAreTheLinesOfTheKeptText) {
  const std::string cases[] = {
      "",
      "200 1  |a书",
      "200 1  |a书名\n801 |a\n",
      "100    |a20261207d2009\r\n200 1  |a书\r\r\n\r300    |ab\r\n",
      "200 1  |a\r书\r名\r\n801    |aCN\r\n",             // CRs inside a kept line are dropped
      "200 1  |a\xE4\r\xB8\xAD\r\n801    |aCN\r\n",         // ... which can make its text whole
      "200 1  |a\xE4\xB8\r\n801    |aCN\r\n",              // a character cut short
      "abc \xFF\r\n200 1  |a书\r\n801    |aCN\r\n",         // in a dropped line: no matter
      "200 1  |a书\r\n801 |\xFF\r\n",                       // five characters besides blanks: dropped
      "200 1  |a书\r\n801 |\xE4\xB8\xADx\r\n",               // six, one of them Han: kept
      "010    |a1\r\n010    |a2\n{410}\n200 1  |a书",
      "200 1  ||a书\r\n801    |aCN\r\n",
  };
  std::vector<std::string_view> lines;
  std::string scratch;
  iso2709::Record whole, fromLines;
  const LocalTime now{2026, 12, 7, 10, 0, 0};
  for (const std::string& text : cases) {
    SCOPED_TRACE(text);
    const std::string kept = RightMarc(text);
    RightMarcLines(text, lines, scratch);
    std::string joined;
    for (std::string_view line : lines) joined.append(line).append("\r\n");
    EXPECT_EQ(joined, kept);
    const iso2709::Built a = iso2709::BuildRecord(kept, now, {}, whole);
    const iso2709::Built b = iso2709::BuildRecordFromLines(lines, now, {}, fromLines);
    EXPECT_EQ(a.status, b.status);
    EXPECT_EQ(a.description, b.description);
    EXPECT_EQ(iso2709::Listing(whole), iso2709::Listing(fromLines));
  }
}

// A work form that is not valid UTF-8 in a line it keeps gives no record, whether the bytes come
// from a value (cut short, a stray continuation byte) or from the template; in a line RightMarc
// drops they do no harm. Both the one-pass filling and the step-by-step one (a value with a brace).
TEST_F(Compose, InvalidUtf8InAKeptLineFailsTheRecord) {
  const std::string defaults(kDefaultTemplate);
  struct Case {
    const char* name;
    Param param;
    std::string value, templateText;
    bool built;
  };
  const Case cases[] = {
      {"valid", d200a, "书名", defaults, true},
      {"a title cut short", d200a, "书\xE4\xB8", defaults, false},
      {"a stray continuation byte", d200a, "\x80书", defaults, false},
      {"a value with a brace, cut short", d200a, "{x}书\xE4", defaults, false},
      {"in a line dropped for its few characters", d333a, "\x80", defaults, true},
      {"a template line that is kept", d200a, "书名", defaults + "801    |aCN|b\xFF\r\n", false},
      {"a template line that is dropped", d200a, "书名", "abc\xFF\r\n" + defaults, true},
      {"a template cut short before a placeholder", d200a, "书名", "200 1  \xE4{200a}\r\n801    |aCN\r\n", false},
  };
  for (const auto encoding : {iso2709::Encoding::Gbk, iso2709::Encoding::Utf8}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (encoding == iso2709::Encoding::Gbk ? " GBK" : " UTF-8"));
      context_.templateText = c.templateText;
      context_.encoding = encoding;
      SubfieldValues v;
      v[d200a] = "书名";
      v[d010a] = "7-5012-3456-7";
      v[d010d] = "25";
      v[c.param] = c.value;
      iso2709::Record record;
      std::vector<Finding> findings;
      const iso2709::Built built = ComposeRecord(v, context_, record, findings);
      EXPECT_EQ(built.status == iso2709::BuildStatus::Built, c.built) << built.description;
      if (!c.built) {
        EXPECT_EQ(built.description, "工作单不是有效的 UTF-8 文本，未生成记录");
      }
    }
  }
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
  std::vector<Finding> findings;
  auto r = ConverttoMarc(v, context_, &findings);
  EXPECT_EQ(r.status, iso2709::BuildStatus::Failed);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].kind, Kind::PublisherTableUnusable);
  EXPECT_NE(findings[0].values.at(0).find("/nonexistent/cbk.db"), std::string::npos);

  context_.lookup = &lookup_;
  const PinyinSource none = PinyinSource::FromFile("/nonexistent/pinyin.dat");
  context_.pinyin = &none;
  findings.clear();
  r = ConverttoMarc(v, context_, &findings);
  EXPECT_EQ(r.status, iso2709::BuildStatus::Failed);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].kind, Kind::PinyinUnavailable);
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

// The placeholders replaced one after another over the whole text, written out plainly as the
// reference for the composition's one-pass filling.
std::string StepByStep(SubfieldValues v, const CompositionContext& c) {
  const auto replaceAll = [](std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size())
      text.replace(pos, from.size(), to);
  };
  const auto sub = [&](const char* prefix, Param p) { return v[p].empty() ? std::string() : prefix + v[p]; };
  v[d010d] = NormalisePrice(v[d010d]);
  std::string text = c.templateText;
  replaceAll(text, "{bmrq}", Yyyymmdd(c.now));
  replaceAll(text, "{cbsj}", PublicationYear(v[d210d]));
  const std::string pinyin = PinyinOf(*c.pinyin, v[d200a]);
  const std::string title = v[d200a].empty() ? "" : "|a " + v[d200a] + (pinyin.empty() ? "" : " |A " + pinyin);
  const std::string trimmed(text::TrimBlanks(v[d210d]));
  const std::pair<const char*, std::string> order[] = {
      {"{010a}", sub("|a ", d010a)}, {"{010b}", sub("|b ", d010b)}, {"{010d}", sub("|d ", d010d)},
      {"{101a}", v[d101a].empty() ? "|a chi" : "|a " + v[d101a]}, {"{200a}", title}, {"{200e}", sub("|e ", d200e)},
      {"{200d}", sub("|d ", d020d)}, {"{200h}", sub("|h ", d200h)}, {"{200i}", sub("|i ", d200i)},
      {"{200f}", sub("|f ", d200f)}, {"{200g}", sub("|g ", d200g)}, {"{205a}", sub("|a ", d205a)},
      {"{210a}", sub("|a ", d210a)}, {"{210c}", sub("|c ", d210c)},
      {"{210d}", v[d210d].empty() ? "" : "|d " + std::string(text::Utf8Substr(trimmed, 0, 4))},
      {"{215a}", sub("|a ", d215a)}, {"{215c}", sub("|c ", d215c)}, {"{215d}", sub("|d ", d215d)},
      {"{215e}", sub("|e ", d215e)}, {"{225a}", sub("|a ", d225a)}, {"{225e}", sub("|e ", d225e)},
      {"{225v}", sub("|v ", d225v)}, {"{300a}", sub("|a ", d300a)}, {"{320a}", sub("|a ", d320a)},
      {"{330a}", sub("|a ", d330a)}, {"{333a}", sub("|a ", d333a)}, {"{606a}", sub("|a ", d606a)},
      {"{690a}", sub("|a ", d690a)}, {"{690v}", v[d690v].empty() ? "|v 4" : "|v " + v[d690v]},
      {"{701}", AuthorLines(v[d200f], *c.pinyin)},
      {"{dqdm}", c.lookup->LookupRegionCode(v[d010a], v[d210c], v[d210a])}, {"{905b}", sub("|b ", d905b)},
      {"{905e}", sub("|e ", d905e)}, {"{905f}", sub("|f ", d905f)}, {"{606x}", sub("|x ", d606x)},
      {"{606y}", sub("|y ", d606y)}, {"{606z}", sub("|z ", d606z)}, {"{606j}", sub("|j ", d606j)},
      {"{905d}", sub("|d ", d905d)}, {"{905v}", sub("|j ", d905v)},
  };
  for (const auto& [from, to] : order) replaceAll(text, from, to);
  if (!v[d225a].empty()) {
    if (text.find("{461}") != std::string::npos) {
      replaceAll(text, "{461}", "461  0 |12001 |a" + v[d225a]);
    } else {
      replaceAll(text, "{410}", "410  0 |12001 |a" + v[d225a]);
    }
  } else {
    replaceAll(text, "{410}", "");
    replaceAll(text, "{461}", "");
  }
  return RightMarc(text);
}

TEST_F(Compose, AnEmptyPlaceholderCanFormALaterOne) {
  context_.templateText = "200 1  {20{010b}0a}\r\n801    |aCN\r\n";
  EXPECT_EQ(WorkForm({{d200a, "书名"}, {d010a, "x"}, {d010d, "1"}})[0], "200 1  |a 书名 |A shu ming");
  EXPECT_EQ(WorkForm({{d200a, "书名"}, {d010a, "x"}, {d010d, "1"}, {d300a, "{"}})[0], "200 1  |a 书名 |A shu ming");
  // "{461}" is looked for after the placeholders are filled.
  context_.templateText = "200 1  {200a}\r\n{46{010b}1}\r\n{410}\r\n801    |aCN\r\n";
  EXPECT_EQ(WorkForm({{d200a, "书"}, {d225a, "丛书"}}),
            (std::vector<std::string>{"200 1  |a 书 |A shu", "461  0 |12001 |a丛书", "801    |aCN"}));
}

// Random templates, many with braces that replacements can join into placeholders, against the
// plain step-by-step replacement.
TEST_F(Compose, OnePassAndStepByStepAgree) {
  static const char* const kPieces[] = {"{010a}", "{200a}", "{200f}", "{701}", "{410}", "{461}", "{dqdm}", "{bmrq}",
                                        "{cbsj}", "{905v}", "{200g}", "{x}", "{", "}", "{{200e}}", "|a", " ",
                                        "\r\n200 1  ", "\r\n801    ", "\r\n", "文", "{200", "a}", "{010b}", "{20",
                                        "0a}", "{46", "1}", "{4", "10}", "{300a}", "{606a}", "{9", "05v}"};
  std::mt19937 rng(5);
  int withBraces = 0;
  for (int round = 0; round < 2000; ++round) {
    std::string tmpl = "200 1  ";
    const int count = 1 + static_cast<int>(rng() % 30);
    for (int k = 0; k < count; ++k) tmpl += kPieces[rng() % std::size(kPieces)];
    tmpl += "\r\n801    |aCN\r\n";
    context_.templateText = tmpl;
    SubfieldValues v;
    v[d200a] = "书名";
    v[d010a] = "7-5327-1";
    v[d200f] = round % 2 ? "张三著,李四" : "";
    v[d225a] = round % 3 ? "丛书" : "";
    v[d200e] = round % 5 ? "副" : "";
    v[d905v] = "3";
    v[d300a] = round % 7 == 0 ? "{606a}" : round % 7 == 1 ? "{" : round % 7 == 2 ? "0a}" : "";
    v[d606a] = round % 4 ? "主题" : "";
    const std::string expected = StepByStep(v, context_);
    withBraces += expected.find('{') != std::string::npos;
    EXPECT_EQ(ComposeWorkForm(v, context_), expected) << tmpl;
  }
  EXPECT_GT(withBraces, 100) << "the generator makes templates that keep braces";
}

// Rows composed one after another into one record and written by one writer, as a conversion's
// thread does (buffers and the record's fields kept from row to row), against each row composed
// into a fresh record and written by a fresh writer: the same bytes and findings, by both rule
// sets, in GBK and UTF-8, over varied rows (failing ones among them).
TEST_F(Compose, RowsInOneRecordGiveWhatFreshRecordsGive) {
  static const char* const kPieces[] = {"书名", "中国图书馆学", "Book", " ", "  ", "|", "|9", "{", "}", "{200a}", "\r\n",
                                        "\n", "\r", "\t", "䶮", "𠀀", "\uE000", "（上）", "２", "12", "$", "￥", "著",
                                        "主编", ",", ",,", "张三", "欧阳修", "ü", "•", "2020", "7-5327-1"};
  static const Param kParams[] = {d010a, d010b, d010d, d101a, d200a, d200e, d200f, d200g, d200h, d205a, d210a,
                                  d210c, d210d, d215a, d215d, d225a, d300a, d330a, d606a, d690a, d905b, d905f};
  std::mt19937 rng(25);
  std::vector<SubfieldValues> rows(300);
  for (SubfieldValues& v : rows) {
    for (const Param p : kParams) {
      if (rng() % 3 == 0) continue;
      for (int n = 1 + static_cast<int>(rng() % 6); n > 0; --n) v[p] += kPieces[rng() % std::size(kPieces)];
    }
    if (rng() % 20 == 0) v[d330a] = std::string(12000, 'x');  // a field over 9,999 bytes
  }
  int built = 0;
  for (const Rules rules : {Rules::Classic, Rules::Recommended}) {
    for (const iso2709::Encoding encoding : {iso2709::Encoding::Gbk, iso2709::Encoding::Utf8}) {
      context_.rules = rules;
      context_.templateText = std::string(DefaultTemplate(rules));
      context_.encoding = encoding;
      iso2709::RecordWriter kept(iso2709::Format::Iso2709, encoding, PrivateUseBy(rules));
      iso2709::Record record;
      for (std::size_t r = 0; r < rows.size(); ++r) {
        context_.recordNumber = static_cast<std::int64_t>(r) + 1;
        SubfieldValues once = rows[r], again = rows[r];
        std::vector<Finding> onceFindings, againFindings;
        iso2709::Record fresh;
        const iso2709::Built a = ComposeRecord(once, context_, fresh, onceFindings);
        const iso2709::Built b = ComposeRecord(again, context_, record, againFindings);
        ASSERT_EQ(a.status, b.status) << r;
        ASSERT_EQ(onceFindings.size(), againFindings.size()) << r;
        for (std::size_t k = 0; k < onceFindings.size(); ++k) EXPECT_EQ(onceFindings[k].kind, againFindings[k].kind) << r;
        if (a.status != iso2709::BuildStatus::Built) continue;
        iso2709::RecordWriter plain(iso2709::Format::Iso2709, encoding, PrivateUseBy(rules));
        std::string x, y;
        if (rules == Rules::Recommended) {
          // The record made from the work form as text (what `compose` shows) is the same too.
          SubfieldValues asText = rows[r];
          std::vector<Finding> textFindings;
          iso2709::BuildOptions options;
          options.recordId = fresh.fields.front().data;  // the 001
          options.embeddedIndicators = true;
          iso2709::Record fromText;
          const std::string work = ComposeRecommendedWorkForm(asText, context_, textFindings);
          ASSERT_EQ(iso2709::BuildRecord(work, context_.now, options, fromText).status, a.status) << r;
          iso2709::RecordWriter one(iso2709::Format::Iso2709, encoding, PrivateUseBy(rules));
          iso2709::RecordWriter two(iso2709::Format::Iso2709, encoding, PrivateUseBy(rules));
          std::string z, w;
          one.Append(fromText, z);
          two.Append(fresh, w);
          ASSERT_EQ(z, w) << "row " << r << " " << iso2709::NameOf(encoding);
        }
        const iso2709::WriteResult wx = plain.Append(fresh, x), wy = kept.Append(record, y);
        EXPECT_EQ(wx.ok, wy.ok) << r;
        EXPECT_EQ(wx.unencodable, wy.unencodable) << r;
        EXPECT_EQ(wx.privateUse, wy.privateUse) << r;
        ASSERT_EQ(x, y) << "row " << r << " " << RulesName(rules) << " " << iso2709::NameOf(encoding);
        built += wx.ok;
      }
    }
  }
  EXPECT_GT(built, 500) << "the generator makes rows that give records";
}

}  // namespace
}  // namespace rowcaster::convert
