// Rows composed by the recommended rules, written and read back: each case gives a row's values by
// subfield code and the field lines (as the listing prints them) and warnings its record must have.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "TestPaths.h"
#include "convert/Composition.h"
#include "convert/Placeholders.h"
#include "convert/Recommended.h"
#include "convert/TestCbk.h"
#include "convert/WrittenRecord.h"
#include "iso2709/Listing.h"
#include "words/Words.h"

namespace rowcaster::convert {
namespace {

using iso2709::Encoding;
using Row = std::vector<std::pair<std::string_view, std::string>>;  // subfield code → cell

struct Written {
  std::vector<std::string> lines;  // "tag ind $a value …", the leader left out
  std::vector<std::string> warnings;
};

class RecommendedComposition : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Prefix, name and place each lead to another region, so a line tells which one was used.
    cbk_ = new std::string(test::MakeCbk(
        "recommended-cbk.db", {{"7-302", "清华大学出版社", "北京", "110000"},
                               {"7-5327", "上海译文出版社", "上海", "310000"},
                               {"7-5086", "中信出版社(CITIC Press)", "北京", "110101"},
                               {"7-5443", "漓江出版社", "桂林", "450300"},
                               {"7-80", "待定出版社", "某地", ""},  // a row without a region code
                               {"7-03", "科学出版社", "北京", "110102"},
                               {"7-5084", "中国水利水电出版社", "北京", "110108"},
                               {"7-81082", "北京交通大学出版社", "北京", "110109"},
                               {"7-100", "商务印书馆", "北京", "110105"},
                               {"7-108", "生活·读书·新知三联书店", "北京", "110106"}}));
  }
  static void TearDownTestSuite() {
    std::remove(cbk_->c_str());
    delete cbk_;
  }

  RecommendedComposition()
      : lookup_(test::JetConnStr(*cbk_)), pinyin_(PinyinSource::FromFile(test::BuildFile("pinyin.dat"))) {
    context_.rules = Rules::Recommended;
    context_.templateText = std::string(kRecommendedTemplate);
    context_.now = {2026, 12, 5, 23, 36, 7};
    context_.lookup = &lookup_;
    context_.pinyin = &pinyin_;
    context_.agencyCode = "110001";
  }

  Written Compose(const Row& row, Encoding encoding = Encoding::Gbk) {
    // A title, a year and a place (one the publisher table does not have) unless the case gives its
    // own imprint: their lines and warnings are not the point.
    SubfieldValues v;
    v[d200a] = "书名";
    v[d210d] = "2008";
    if (std::none_of(row.begin(), row.end(), [](const auto& cell) { return cell.first == "210a" || cell.first == "210c"; }))
      v[d210a] = "深圳";
    for (const auto& [code, value] : row) {
      const auto param = ParamOfCode(code);
      EXPECT_TRUE(param) << code;
      if (param) v[*param] = value;
    }
    CompositionContext c = context_;
    c.encoding = encoding;
    Written out;
    iso2709::Record record;
    std::vector<Finding> findings;
    const iso2709::Built built = ComposeRecord(v, c, record, findings);
    // The language notes go with nearly every foreign name; the cases about languages look at them.
    for (const Finding& f : findings)
      if (languageFindings_ || !f.field.starts_with("101")) out.warnings.push_back(words::Describe(f));
    EXPECT_EQ(built.status, iso2709::BuildStatus::Built) << built.description;
    out.lines = test::WrittenFieldLines(record, encoding);
    return out;
  }

  static std::string* cbk_;
  bool languageFindings_ = false;
  RegionLookup lookup_;
  PinyinSource pinyin_;
  CompositionContext context_;
};
std::string* RecommendedComposition::cbk_ = nullptr;

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

// The record's lines of every tag the expected lines name must be exactly those lines; a bare tag
// ("010") expects no such field.
void ExpectFields(const Written& got, const std::vector<std::string>& expected) {
  std::map<std::string, std::vector<std::string>> want, have;
  for (const std::string& line : expected) {
    auto& lines = want[line.substr(0, 3)];
    if (line.size() > 3) lines.push_back(line);
  }
  for (const std::string& line : got.lines)
    if (want.count(line.substr(0, 3))) have[line.substr(0, 3)].push_back(line);
  for (const auto& [tag, lines] : want)
    EXPECT_TRUE(have[tag] == lines) << "field " << tag << ", got:\n" << Joined(have[tag]) << "expected:\n" << Joined(lines);
}

// The note of names that got 著 for want of a role word.
// The note of a cell that stands for "none", left out of its field.
std::string None(const std::string& cell, const std::string& field) {
  return "“" + cell + "”表示没有值，没有写入 " + field;
}

std::string Assumed(const std::string& names) { return "“" + names + "”没有写责任方式，推定为“著”（200 $f、7XX $4）"; }

struct Case {
  Row row;
  std::vector<std::string> fields;
  std::vector<std::string> warnings;
};

void CheckCases(const std::vector<Case>& cases, const std::function<Written(const Row&)>& compose) {
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.row));
    const Written got = compose(c.row);
    ExpectFields(got, c.fields);
    EXPECT_TRUE(got.warnings == c.warnings) << "warnings:\n" << Joined(got.warnings) << "expected:\n" << Joined(c.warnings);
  }
}

#define CHECK_CASES(cases) CheckCases(cases, [this](const Row& row) { return Compose(row); })

TEST_F(RecommendedComposition, WholeRecord) {
  const Written got = Compose({{"010a", "9787302123453"}, {"010d", "25.00"}, {"200a", "数据库系统概念"},
                               {"200f", "Abraham Silberschatz 著"}, {"210c", "清华大学出版社"}, {"210d", "2008"},
                               {"215a", "775页"}, {"606a", "数据库系统"}, {"690a", "TP311.13"}});
  EXPECT_EQ(got.lines, (std::vector<std::string>{
                           "001 20261205233607000001",
                           "010    $a 978-7-302-12345-3 $d CNY25.00",
                           "100    $a 20261205d2008    em y0chiy0110    ea",
                           "101 0  $a chi",
                           "102    $a CN $b 110000",
                           "105    $a y   z   000yy",
                           "106    $a r",
                           "200 1  $a 数据库系统概念 $A shu ju ku xi tong gai nian $f Abraham Silberschatz著",
                           "210    $a 北京 $c 清华大学出版社 $d 2008",
                           "215    $a 775页",
                           "606 0  $a 数据库系统",
                           "690    $a TP311.13 $v 5",
                           "701  1 $a Silberschatz $b Abraham $4 著",
                           "801  0 $a CN $b 110001 $c 20261205",
                           "905    $a 110001",
                       }));
  EXPECT_TRUE(got.warnings.empty()) << ::testing::PrintToString(got.warnings);
}

// 001 is the cataloguing time and the record's number in its run, six digits; 801 $b only with
// an agency code.
TEST_F(RecommendedComposition, RecordNumberAndAgency) {
  const std::pair<std::int64_t, const char*> numbers[] = {
      {1, "001 20261205233607000001"}, {2, "001 20261205233607000002"}, {999999, "001 20261205233607999999"}};
  for (const auto& [number, line] : numbers) {
    context_.recordNumber = number;
    ExpectFields(Compose({}), {line});
  }
  context_.agencyCode.clear();
  ExpectFields(Compose({}), {"801  0 $a CN $c 20261205", "905"});
}

TEST_F(RecommendedComposition, IsbnForms) {
  const std::string notIsbn = "”不是 ISBN，没有写入 010";
  CHECK_CASES((std::vector<Case>{
      {{{"010a", "9787302123453"}}, {"010    $a 978-7-302-12345-3", "102    $a CN $b 110000"}, {}},
      {{{"010a", "978-7-302-12345-3"}}, {"010    $a 978-7-302-12345-3", "102    $a CN $b 110000"}, {}},
      {{{"010a", "ISBN 978-7-5327-1234-2"}}, {"010    $a 978-7-5327-1234-2", "102    $a CN $b 310000"}, {}},
      {{{"010a", "isbn：9787532712342"}}, {"010    $a 978-7-5327-1234-2", "102    $a CN $b 310000"}, {}},
      {{{"010a", "9787302123453 9787020002207"}}, {"010    $a 978-7-302-12345-3", "102    $a CN $b 110000"}, {}},
      {{{"010a", "ISBN 978-7-302-12345-3/TP·312"}}, {"010    $a 978-7-302-12345-3"}, {}},
      {{{"010a", "9787302123453.0"}}, {"010    $a 978-7-302-12345-3", "102    $a CN $b 110000"}, {}},
      {{{"010a", "7302123454"}}, {"010    $a 7-302-12345-4", "102    $a CN $b 110000"}, {}},
      {{{"010a", "7-5327-1234-6"}}, {"010    $a 7-5327-1234-6", "102    $a CN $b 310000"}, {}},
      {{{"010a", "754431234-8"}}, {"010    $a 7-5443-1234-8", "102    $a CN $b 450300"}, {}},
      // Registrants of two to six digits, other groups and 979.
      {{{"010a", "9787020002207"}}, {"010    $a 978-7-02-000220-7"}, {}},
      {{{"010a", "9787800123450"}}, {"010    $a 978-7-80012-345-0"}, {}},
      {{{"010a", "9787900012340"}}, {"010    $a 978-7-900012-34-0"}, {}},
      {{{"010a", "9789571234564"}}, {"010    $a 978-957-12-3456-4", "102    $a CN"}, {}},
      {{{"010a", "9791020000019"}}, {"010    $a 979-10-200-0001-9", "102    $a CN"}, {}},
      {{{"010a", "020161622x"}}, {"010    $a 0-201-61622-X", "102    $a CN"}, {}},
      // A wrong check digit: kept in $z, and no region from it.
      {{{"010a", "9787302123455"}},
       {"010    $z 9787302123455", "102    $a CN"},
       {"ISBN 9787302123455 的校验位不对，写入 010 $z"}},
      // 978 before an ISBN-10 that kept its own check digit: the ISBN-10 is named.
      {{{"010a", "978-7-302-12345-4"}},
       {"010    $z 9787302123454", "102    $a CN"},
       {"ISBN 9787302123454 的校验位不对，写入 010 $z；它可能是 ISBN-10 7-302-12345-4 前加了 978 而没有重算校验位"}},
      {{{"010a", "978710811111x"}},
       {"010    $z 978710811111X"},
       {"ISBN 978710811111X 的校验位不对，写入 010 $z；它可能是 ISBN-10 7-108-11111-X 前加了 978 而没有重算校验位"}},
      // Thirteen digits without 978/979 are no ISBN-13 but are kept.
      {{{"010a", "1234567890123"}}, {"010    $z 1234567890123"}, {"ISBN 1234567890123 的校验位不对，写入 010 $z"}},
      {{{"010a", "7302123458"}, {"010d", "20"}},
       {"010    $z 7302123458 $d CNY20.00"},
       {"ISBN 7302123458 的校验位不对，写入 010 $z"}},
      // Not an ISBN: no 010 unless there is a price; a number cell that lost its digits is one.
      {{{"010a", "9.78730E+12"}}, {"010", "102    $a CN"}, {"“9.78730E+12" + notIsbn}},
      {{{"010a", " 111 "}, {"010d", "20"}}, {"010    $d CNY20.00"}, {"“111" + notIsbn}},
      {{{"010a", "978730212345"}}, {"010"}, {"“978730212345" + notIsbn}},
      {{{"010a", "97873021234531"}}, {"010"}, {"“97873021234531" + notIsbn}},
      // Placeholders say there is none.
      {{{"010a", "暂无"}}, {"010"}, {None("暂无", "010 $a")}},
      {{{"010a", "0"}}, {"010"}, {None("0", "010 $a")}},
      {{{"010a", "0000000000"}}, {"010"}, {None("0000000000", "010 $a")}},
      {{{"010a", "-"}}, {"010"}, {None("-", "010 $a")}},
      {{{"010a", "无"}}, {"010"}, {None("无", "010 $a")}},
      {{{"010a", "0-0"}}, {"010"}, {None("0-0", "010 $a")}},
      {{{"010a", "00"}, {"010d", "20"}}, {"010    $d CNY20.00"}, {None("00", "010 $a")}},
  }));
}

// 102 $b by the ISBN's prefix, then the publisher's name, then the place; 210 $a is the row's own
// place, the publisher table's only when the row has none.
TEST_F(RecommendedComposition, RegionAndPlace) {
  CHECK_CASES((std::vector<Case>{
      {{{"010a", "9787302123453"}, {"210a", ""}}, {"102    $a CN $b 110000", "210    $a 北京 $d 2008"}, {}},
      {{{"010a", "9787302123453"}, {"210c", "上海译文出版社"}},
       {"102    $a CN $b 110000", "210    $a 北京 $c 上海译文出版社 $d 2008"}, {}},
      {{{"010a", "9787302123453"}, {"210a", "深圳"}, {"210c", "清华大学出版社"}},
       {"102    $a CN $b 110000", "210    $a 深圳 $c 清华大学出版社 $d 2008"}, {}},
      {{{"210c", "清华大学出版社"}}, {"102    $a CN $b 110000", "210    $a 北京 $c 清华大学出版社 $d 2008"}, {}},
      {{{"210a", "深圳"}, {"210c", "清华大学出版社"}}, {"102    $a CN $b 110000", "210    $a 深圳 $c 清华大学出版社 $d 2008"}, {}},
      {{{"210c", "上海 译文出版社"}}, {"102    $a CN $b 310000", "210    $a 上海 $c 上海 译文出版社 $d 2008"}, {}},
      {{{"210c", "中信出版社（ＣＩＴＩＣ　press）"}},
       {"102    $a CN $b 110101", "210    $a 北京 $c 中信出版社（ＣＩＴＩＣ　press） $d 2008"}, {}},
      {{{"210a", "桂林"}, {"210c", "某某出版社"}}, {"102    $a CN $b 450300", "210    $a 桂林 $c 某某出版社 $d 2008"}, {}},
      {{{"210a", "上海"}, {"210c", "漓江出版社"}}, {"102    $a CN $b 450300", "210    $a 上海 $c 漓江出版社 $d 2008"}, {}},
      // A prefix whose table row has no region code gives way to the name.
      {{{"010a", "9787800123450"}, {"210c", "漓江出版社"}}, {"102    $a CN $b 450300"}, {}},
      {{{"210a", "深圳"}, {"210c", "某某出版社"}}, {"102    $a CN", "210    $a 深圳 $c 某某出版社 $d 2008"}, {}},
      {{{"210a", ""}}, {"102    $a CN", "210    $a [出版地不详] $d 2008"}, {"没有找到出版地，210 $a 记为“[出版地不详]”"}},
  }));
}

// Each publisher of a cell has its own 210 $a/$c pair, its place from the table when the cell has
// none; without any place 210 $a says so.
TEST_F(RecommendedComposition, ImprintSeveralPublishers) {
  const std::string noPlace = "没有找到出版地，210 $a 记为“[出版地不详]”";
  CHECK_CASES((std::vector<Case>{
      {{{"210c", "清华大学出版社；北京交通大学出版社"}},
       {"102    $a CN $b 110000", "210    $a 北京 $c 清华大学出版社 $a 北京 $c 北京交通大学出版社 $d 2008"}, {}},
      {{{"210c", "清华大学出版社/上海译文出版社"}},
       {"102    $a CN $b 110000", "210    $a 北京 $c 清华大学出版社 $a 上海 $c 上海译文出版社 $d 2008"}, {}},
      {{{"210c", "上海译文出版社 ; 清华大学出版社"}},
       {"102    $a CN $b 310000", "210    $a 上海 $c 上海译文出版社 $a 北京 $c 清华大学出版社 $d 2008"}, {}},
      {{{"210c", "北京：清华大学出版社；南京：某某出版社"}},
       {"210    $a 北京 $c 清华大学出版社 $a 南京 $c 某某出版社 $d 2008"}, {}},
      {{{"210a", "南京"}, {"210c", "某某出版社／清华大学出版社"}},
       {"102    $a CN", "210    $a 南京 $c 某某出版社 $a 北京 $c 清华大学出版社 $d 2008"}, {}},
      // A publisher the table does not know follows the place before it.
      {{{"210c", "清华大学出版社；某某出版社"}}, {"210    $a 北京 $c 清华大学出版社 $c 某某出版社 $d 2008"}, {}},
      {{{"210c", "某某出版社/另一出版社"}}, {"210    $a [出版地不详] $c 某某出版社 $c 另一出版社 $d 2008"}, {noPlace}},
      {{{"210c", "清华大学出版社；"}}, {"210    $a 北京 $c 清华大学出版社 $d 2008"}, {}},
      {{{"210c", "；"}}, {"210    $a [出版地不详] $d 2008"}, {noPlace}},
      {{{"210c", "某某出版社"}}, {"102    $a CN", "210    $a [出版地不详] $c 某某出版社 $d 2008"}, {noPlace}},
      {{{"010a", "9787302123453"}, {"210c", "某某出版社"}}, {"210    $a 北京 $c 某某出版社 $d 2008"}, {}},
  }));
}

// A publisher cell holding an edition or a date: the edition goes to 205 $a, the date to the year,
// the ISBN's publisher prefix names the publisher.
TEST_F(RecommendedComposition, ImprintEditionInPublisherCell) {
  const std::string noPlace = "没有找到出版地，210 $a 记为“[出版地不详]”";
  const auto moved = [](const std::string& cell) { return "出版者一栏的“" + cell + "”是版次或日期，不是出版者"; };
  const std::string science = "按 ISBN 的出版者号，210 $c 记为“科学出版社”";
  CHECK_CASES((std::vector<Case>{
      {{{"010a", "9787030123459"}, {"210c", "第1版 (2005年7月1日)"}, {"210d", ""}},
       {"205    $a 第1版", "210    $a 北京 $c 科学出版社 $d 2005", "100    $a 20261205d2005    em y0chiy0110    ea"},
       {moved("第1版 (2005年7月1日)"), science}},
      {{{"010a", "9787030123459"}, {"210c", "（2005年7月）"}, {"205a", "第2版"}},
       {"205    $a 第2版", "210    $a 北京 $c 科学出版社 $d 2008"}, {moved("（2005年7月）"), science}},
      {{{"010a", "9787030123459"}, {"210c", "第一版"}, {"210d", ""}},
       {"205    $a 第一版", "210    $a 北京 $c 科学出版社"}, {moved("第一版"), science, "没有出版年，100 $a 的出版日期记为不详"}},
      {{{"210c", "第1版 (2005年7月1日)"}, {"210d", ""}},
       {"205    $a 第1版", "210    $a [出版地不详] $d 2005"}, {moved("第1版 (2005年7月1日)"), noPlace}},
      {{{"210c", "2005-07-01"}}, {"205", "210    $a [出版地不详] $d 2008"}, {moved("2005-07-01"), noPlace}},
      // Not only an edition or a date: a name, kept.
      {{{"210c", "第1版出版社"}}, {"205", "210    $a [出版地不详] $c 第1版出版社 $d 2008"}, {noPlace}},
      {{{"210c", "21"}}, {"205", "210    $a [出版地不详] $c 21 $d 2008"}, {noPlace}},
  }));
}

// A shortened publisher is completed only when the ISBN's prefix row holds it; names are compared
// without "·•." separators and with traditional characters as simplified ones.
TEST_F(RecommendedComposition, ImprintPublisherNames) {
  const auto completed = [](const std::string& cell, const std::string& name) {
    return "出版者“" + cell + "”按 ISBN 的出版者号补全为“" + name + "”";
  };
  const auto unconfirmed = [](const std::string& cell, const std::string& name) {
    return "出版者“" + cell + "”可能是“" + name + "”的简称，ISBN 不能证实，照原样写入 210 $c";
  };
  const std::string noPlace = "没有找到出版地，210 $a 记为“[出版地不详]”";
  CHECK_CASES((std::vector<Case>{
      {{{"010a", "9787030123459"}, {"210c", "科学"}},
       {"102    $a CN $b 110102", "210    $a 北京 $c 科学出版社 $d 2008"}, {completed("科学", "科学出版社")}},
      {{{"010a", "9787508412344"}, {"210c", "水利水电出版社"}},
       {"102    $a CN $b 110108", "210    $a 北京 $c 中国水利水电出版社 $d 2008"},
       {completed("水利水电出版社", "中国水利水电出版社")}},
      {{{"010a", "9787030123459"}, {"210c", "科学出版社"}}, {"210    $a 北京 $c 科学出版社 $d 2008"}, {}},
      {{{"010a", "9787030123459"}, {"210c", "科"}}, {"210    $a 北京 $c 科 $d 2008"}, {}},  // one character: no
      {{{"210c", "水利水电出版社"}}, {"102    $a CN", "210    $a [出版地不详] $c 水利水电出版社 $d 2008"},
       {unconfirmed("水利水电出版社", "中国水利水电出版社"), noPlace}},
      {{{"010a", "9787302123453"}, {"210c", "科学"}}, {"102    $a CN $b 110000", "210    $a 北京 $c 科学 $d 2008"},
       {unconfirmed("科学", "科学出版社")}},
      {{{"210c", "商務印書館"}}, {"102    $a CN $b 110105", "210    $a 北京 $c 商務印書館 $d 2008"}, {}},
      {{{"210c", "生活读书新知三联书店"}}, {"102    $a CN $b 110106", "210    $a 北京 $c 生活读书新知三联书店 $d 2008"}, {}},
      {{{"210c", "生活•读书•新知三联书店"}}, {"102    $a CN $b 110106"},
       {"“生活•读书•新知三联书店”中 GBK 没有的字符换成了形近字：“生活·读书·新知三联书店”"}},
      {{{"210c", "生活.讀書.新知三聯書店"}}, {"102    $a CN $b 110106"}, {}},
  }));
}

TEST_F(RecommendedComposition, ImprintAndYear) {
  const std::string noYear = "没有出版年，100 $a 的出版日期记为不详";
  const std::string known = "100    $a 20261205d2008    em y0chiy0110    ea";
  const std::string unknown = "100    $a 20261205u        em y0chiy0110    ea";
  CHECK_CASES((std::vector<Case>{
      {{{"210c", "北京：清华大学出版社，2008.10"}, {"210d", ""}}, {"210    $a 北京 $c 清华大学出版社 $d 2008", known}, {}},
      {{{"210a", "北京 : 清华大学出版社, 2008"}, {"210d", ""}}, {"210    $a 北京 $c 清华大学出版社 $d 2008", known}, {}},
      {{{"210c", "清华大学出版社，2008"}, {"210d", ""}}, {"210    $a 北京 $c 清华大学出版社 $d 2008", known}, {}},
      {{{"210a", "深圳"}, {"210c", "北京：清华大学出版社"}, {"210d", "2008"}},
       {"210    $a 深圳 $c 清华大学出版社 $d 2008", known}, {}},
      {{{"210d", "2008年5月"}}, {"210    $a 深圳 $d 2008", known}, {}},
      {{{"210d", "二零零八年"}}, {"210    $a 深圳 $d 2008", known}, {}},
      {{{"210d", "二〇〇八年"}}, {"210    $a 深圳 $d 2008", known}, {}},
      {{{"210d", "２００８．５"}}, {"210    $a 深圳 $d 2008", known}, {}},
      {{{"210d", "1000"}}, {"210    $a 深圳 $d 1000", "100    $a 20261205d1000    em y0chiy0110    ea"}, {}},
      {{{"210d", "2999"}}, {"210    $a 深圳 $d 2999", "100    $a 20261205d2999    em y0chiy0110    ea"}, {}},
      {{{"210d", "999"}}, {"210    $a 深圳", unknown}, {"出版日期“999”中没有年份，100 $a 的出版日期记为不详"}},
      {{{"210d", "3000"}}, {"210    $a 深圳", unknown}, {"出版日期“3000”中没有年份，100 $a 的出版日期记为不详"}},
      {{{"210d", "不详"}}, {"210    $a 深圳", unknown}, {None("不详", "210 $d"), noYear}},
      {{{"210d", ""}}, {"210    $a 深圳", unknown}, {noYear}},
  }));
}

// A year typed into a date cell comes back as the day its serial falls on; dates written as text
// or as a serial number keep their year; a date without one is "u" in 100 $a/8.
TEST_F(RecommendedComposition, YearsFromDateCells) {
  const auto year = [](const std::string& y) {
    return std::vector<std::string>{"210    $a 深圳 $d " + y, "100    $a 20261205d" + y + "    em y0chiy0110    ea"};
  };
  const auto typed = [](const std::string& date, const std::string& y) {
    return "出版日期“" + date + "”是年份 " + y + " 被当作日期读出，取 " + y + " 年";
  };
  const auto serial = [](const std::string& date, const std::string& y) {
    return "出版日期“" + date + "”是日期的序号，取其年份 " + y;
  };
  const std::string unknown = "100    $a 20261205u        em y0chiy0110    ea";
  CHECK_CASES((std::vector<Case>{
      {{{"210d", "1905-06-30"}}, year("2008"), {typed("1905-06-30", "2008")}},
      {{{"210d", "1905-06-30 12:00:00"}}, year("2008"), {typed("1905-06-30 12:00:00", "2008")}},
      // Serials 1000 (1902-09-26) to 2100 (1905-09-30) are years; the days next to them are not.
      {{{"210d", "1902-09-26"}}, year("1000"), {typed("1902-09-26", "1000")}},
      {{{"210d", "1902-09-25"}}, year("1902"), {}},
      {{{"210d", "1905-09-30"}}, year("2100"), {typed("1905-09-30", "2100")}},
      {{{"210d", "1905-10-01"}}, year("1905"), {}},
      {{{"210d", "1910-01-01"}}, year("1910"), {}},
      {{{"210d", "1905年6月30日"}}, year("1905"), {}},
      // Text dates.
      {{{"210d", "20101015"}}, year("2010"), {}},
      {{{"210d", "2010年10月15日"}}, year("2010"), {}},
      {{{"210d", "2010.10"}}, year("2010"), {}},
      {{{"210d", "201010"}}, year("2010"), {}},
      {{{"210d", "201010151230"}}, year("2010"), {}},
      {{{"210d", "2010-10-15"}}, year("2010"), {}},
      {{{"210d", "20101315"}}, {"210    $a 深圳", unknown}, {"出版日期“20101315”中没有年份，100 $a 的出版日期记为不详"}},
      // A date cell written as its serial number: 10000 (1927-05-19) to 73050 (2099-12-31).
      {{{"210d", "40466"}}, year("2010"), {serial("40466", "2010")}},
      {{{"210d", "10000"}}, year("1927"), {serial("10000", "1927")}},
      {{{"210d", "73050"}}, year("2099"), {serial("73050", "2099")}},
      {{{"210d", "73051"}}, {"210    $a 深圳", unknown}, {"出版日期“73051”中没有年份，100 $a 的出版日期记为不详"}},
      {{{"210d", "9999"}}, {"210    $a 深圳", unknown}, {"出版日期“9999”中没有年份，100 $a 的出版日期记为不详"}},
  }));
}

TEST_F(RecommendedComposition, PersonsAndBodies) {
  CHECK_CASES((std::vector<Case>{
      {{{"200f", "张三著"}}, {"701  0 $a 张三 $A zhang san $4 著", "702", "711", "712"}, {}},
      {{{"200f", "张三主编,李四"}}, {"701  0 $a 张三 $A zhang san $4 主编", "701  0 $a 李四 $A li si $4 著"}, {Assumed("李四")}},
      {{{"200f", "[美] Abraham Silberschatz 等著"}, {"200g", "张三译"}},
       {"701  1 $a Silberschatz $b Abraham $c (美) $4 著", "702  0 $a 张三 $A zhang san $4 译"}, {}},
      {{{"200f", "〔清〕曹雪芹著"}, {"200g", "（清）脂砚斋评"}},
       {"701  0 $a 曹雪芹 $A cao xue qin $c (清) $4 著", "702  0 $a 脂砚斋 $A zhi yan zhai $c (清) $4 评"}, {}},
      {{{"200g", "（清）王希廉点评"}}, {"701", "702  0 $a 王希廉 $A wang xi lian $c (清) $4 点评"}, {}},
      {{{"200f", "李仲轩 口述 / 徐皓峰 整理"}},
       {"701  0 $a 李仲轩 $A li zhong xuan $4 口述", "702  0 $a 徐皓峰 $A xu hao feng $4 整理"}, {}},
      {{{"200f", "中国科学院心理研究所编"}, {"200g", "某某研究会译"}},
       {"701", "702", "711 02 $a 中国科学院心理研究所 $A zhong guo ke xue yuan xin li yan jiu suo $4 编",
        "712 02 $a 某某研究会 $A mou mou yan jiu hui $4 译"}, {}},
      {{}, {"701", "702", "711", "712"}, {}},
  }));
}

// Cells as vendor lists write them: every 7XX heading is a whole person or body with its role, and
// what the rules inferred or left out is said.
TEST_F(RecommendedComposition, NamesTranslatorsAfterForeignAuthors) {
  const std::string fuke = "701  0 $a 米歇尔·福柯 $A mi xie er fu ke $c (法) $4 著";
  const std::string zhangTranslates = "702  0 $a 张三 $A zhang san $4 译";
  const std::string inferred = "推定“张三”为译者（702 $4 译）";
  CHECK_CASES((std::vector<Case>{
      {{{"200f", "（法）米歇尔·福柯  张三"}}, {fuke, zhangTranslates}, {inferred, Assumed("米歇尔·福柯")}},
      {{{"200f", "[英] 毛姆　张三"}}, {"701  0 $a 毛姆 $A mao mu $c (英) $4 著", zhangTranslates}, {inferred, Assumed("毛姆")}},
      {{{"200f", "米歇尔·福柯 张三"}}, {"701  0 $a 米歇尔·福柯 $A mi xie er fu ke $4 著", zhangTranslates}, {inferred, Assumed("米歇尔·福柯")}},
      {{{"200f", "（法）米歇尔·福柯 编著　张三"}},
       {"701  0 $a 米歇尔·福柯 $A mi xie er fu ke $c (法) $4 编著", zhangTranslates}, {inferred}},
      // The translator's own role word, or one given after him, is no inference.
      {{{"200f", "（法）米歇尔·福柯  张三 译"}}, {fuke, zhangTranslates}, {Assumed("米歇尔·福柯")}},
      {{{"200f", "（日）村上春树  张三 审校"}},
       {"701  0 $a 村上春树 $A cun shang chun shu $c (日) $4 著", "702  0 $a 张三 $A zhang san $4 审校"}, {Assumed("村上春树")}},
      {{{"200f", "（法）米歇尔·福柯"}, {"200g", "张三 译"}}, {fuke, zhangTranslates}, {Assumed("米歇尔·福柯")}},
      // No foreign author before, or no mere blank between: co-authors as written.
      {{{"200f", "〔清〕曹雪芹  脂砚斋"}},
       {"701  0 $a 曹雪芹 $A cao xue qin $c (清) $4 著", "701  0 $a 脂砚斋 $A zhi yan zhai $4 著", "702"}, {Assumed("曹雪芹、脂砚斋")}},
      {{{"200f", "王伟  张三"}}, {"701  0 $a 王伟 $A wang wei $4 著", "701  0 $a 张三 $A zhang san $4 著", "702"}, {Assumed("王伟、张三")}},
      {{{"200f", "（法）米歇尔·福柯、张三"}}, {fuke, "701  0 $a 张三 $A zhang san $4 著", "702"}, {Assumed("米歇尔·福柯、张三")}},
      {{{"200f", "（法）米歇尔·福柯  （英）毛姆"}},
       {fuke, "701  0 $a 毛姆 $A mao mu $c (英) $4 著", "702"}, {Assumed("米歇尔·福柯、毛姆")}},
      {{{"200f", "（法）米歇尔·福柯  Ron Chernow"}},
       {fuke, "701  1 $a Chernow $b Ron $4 著", "702"}, {Assumed("米歇尔·福柯、Ron Chernow")}},
  }));
}

TEST_F(RecommendedComposition, NamesRoleWords) {
  CHECK_CASES((std::vector<Case>{
      {{{"200f", "熊伟 辑校"}}, {"701", "702  0 $a 熊伟 $A xiong wei $4 辑校"}, {}},
      {{{"200f", "熊伟辑校"}}, {"701", "702  0 $a 熊伟 $A xiong wei $4 辑校"}, {}},
      {{{"200f", "熊伟 辑"}}, {"701  0 $a 熊伟 $A xiong wei $4 辑", "702"}, {}},
      {{{"200f", "张三 书"}}, {"701  0 $a 张三 $A zhang san $4 书", "702"}, {}},
      {{{"200f", "王玉书"}}, {"701  0 $a 王玉书 $A wang yu shu $4 著"}, {Assumed("王玉书")}},  // 书 is cut off no name
      {{{"200f", "张三 绘"}}, {"701", "702  0 $a 张三 $A zhang san $4 绘"}, {}},
      {{{"200f", "张三 主编 李四 副 主编"}},
       {"701  0 $a 张三 $A zhang san $4 主编", "701  0 $a 李四 $A li si $4 副主编"}, {}},
      {{{"200f", "绘"}}, {"701", "702"}, {}},
      {{{"200f", "副"}}, {"701", "702"}, {}},
      // A secondary role word reaches back to the last blank only; a main one is shared.
      {{{"200f", "王伟 张三 译"}}, {"701  0 $a 王伟 $A wang wei $4 著", "702  0 $a 张三 $A zhang san $4 译"}, {Assumed("王伟")}},
      {{{"200f", "王伟 张三 编著"}},
       {"701  0 $a 王伟 $A wang wei $4 编著", "701  0 $a 张三 $A zhang san $4 编著", "702"}, {}},
      {{{"200f", "王伟 张三 李四 审校"}},
       {"701  0 $a 王伟 $A wang wei $4 著", "701  0 $a 张三 $A zhang san $4 著", "702  0 $a 李四 $A li si $4 审校"}, {Assumed("王伟、张三")}},
      // Names parted by a list separator share the role word after them.
      {{{"200f", "王伟、张三 译"}}, {"701", "702  0 $a 王伟 $A wang wei $4 译", "702  0 $a 张三 $A zhang san $4 译"}, {}},
  }));
}

TEST_F(RecommendedComposition, NamesBracketsAndBlanks) {
  CHECK_CASES((std::vector<Case>{
      {{{"200f", "罗恩·彻诺(Ron Chernow)"}},
       {"701  0 $a 罗恩·彻诺 $A luo en che nuo $g Ron Chernow $4 著"}, {Assumed("罗恩·彻诺")}},
      {{{"200f", "（美）罗恩·彻诺（Ron Chernow）著，张三译"}},
       {"701  0 $a 罗恩·彻诺 $A luo en che nuo $c (美) $g Ron Chernow $4 著", "702  0 $a 张三 $A zhang san $4 译"}, {}},
      {{{"200f", "Galen Grimes（美国）"}}, {"701  1 $a Grimes $b Galen $c (美国) $4 著"}, {Assumed("Galen Grimes")}},
      {{{"200f", "[美] Galen Grimes 著"}}, {"701  1 $a Grimes $b Galen $c (美) $4 著"}, {}},
      {{{"200f", "杨 婷"}}, {"701  0 $a 杨婷 $A yang ting $4 著"}, {Assumed("杨婷")}},
      {{{"200f", "杨　婷 著"}}, {"701  0 $a 杨婷 $A yang ting $4 著"}, {}},
      {{{"200f", "杨婷 王伟"}}, {"701  0 $a 杨婷 $A yang ting $4 著", "701  0 $a 王伟 $A wang wei $4 著"}, {Assumed("杨婷、王伟")}},
      {{{"200f", "杨 王伟"}}, {"701  0 $a 杨 $A yang $4 著", "701  0 $a 王伟 $A wang wei $4 著"}, {Assumed("杨、王伟")}},
  }));
}

TEST_F(RecommendedComposition, NamesNoPersonsAndBodies) {
  CHECK_CASES((std::vector<Case>{
      {{{"200f", "佚名"}}, {"701", "702", "711"}, {"“佚名”不是责任者，没有写入 7XX"}},
      {{{"200f", "暂无图片"}}, {"701", "702", "711"}, {"“暂无图片”不是责任者，没有写入 7XX"}},
      {{{"200f", "img1010.JPG"}}, {"701", "702", "711"}, {None("img1010.JPG", "200 $f")}},
      {{{"200f", "本书编写组"}}, {"701", "711 02 $a 本书编写组 $A ben shu bian xie zu $4 著"}, {Assumed("本书编写组")}},
      {{{"200f", "星空工作室 编"}}, {"701", "711 02 $a 星空工作室 $A xing kong gong zuo shi $4 编"}, {}},
      {{{"200f", "《读者》杂志社编"}}, {"701", "711 02 $a 《读者》杂志社 $A du zhe za zhi she $4 编"}, {}},
      {{{"200f", "《数据结构》编委会"}}, {"701", "711 02 $a 《数据结构》编委会 $A shu ju jie gou bian wei hui $4 著"}, {Assumed("《数据结构》编委会")}},
      {{{"200f", "数学教研室"}}, {"701", "711 02 $a 数学教研室 $A shu xue jiao yan shi $4 著"}, {Assumed("数学教研室")}},
      {{{"200f", "｜译者:张三｜校注:李四"}},
       {"701", "702  0 $a 张三 $A zhang san $4 译", "702  0 $a 李四 $A li si $4 校注"}, {}},
      {{{"200f", "王伟 著|译者：张三|校注：李四"}},
       {"701  0 $a 王伟 $A wang wei $4 著", "702  0 $a 张三 $A zhang san $4 译", "702  0 $a 李四 $A li si $4 校注"}, {}},
      {{{"200f", "作者:王伟"}}, {"701  0 $a 王伟 $A wang wei $4 著"}, {}},
  }));
}

TEST_F(RecommendedComposition, NamesLatinInitialsAndSuffixes) {
  CHECK_CASES((std::vector<Case>{
      {{{"200f", "S. Sudarshan"}}, {"701  1 $a Sudarshan $b S. $4 著"}, {Assumed("S. Sudarshan")}},
      {{{"200f", "Sudarshan, S."}}, {"701  1 $a Sudarshan $b S. $4 著"}, {Assumed("Sudarshan, S.")}},
      {{{"200f", "William E. Shotts Jr."}}, {"701  1 $a Shotts $b William E. $c Jr. $4 著"}, {Assumed("William E. Shotts")}},
      {{{"200f", "[美] William E. Shotts, Jr. 著；张三译"}},
       {"701  1 $a Shotts $b William E. $c Jr. $c (美) $4 著", "702  0 $a 张三 $A zhang san $4 译"}, {}},
      {{{"200f", "Abraham Silberschatz, Henry F. Korth, S. Sudarshan 著"}},
       {"701  1 $a Silberschatz $b Abraham $4 著", "701  1 $a Korth $b Henry F. $4 著",
        "701  1 $a Sudarshan $b S. $4 著"}, {}},
      {{{"200f", "Jr."}}, {"701"}, {"“Jr.”不是完整的名称，没有写入 7XX，请核对责任者"}},
      {{{"200f", "张三；S."}}, {"701  0 $a 张三 $A zhang san $4 著"}, {"“S.”不是完整的名称，没有写入 7XX，请核对责任者", Assumed("张三")}},
  }));
}

// 200 $f and $g as a cataloguer writes them: marks as "(美)", the role word right after the names,
// the first group in $f and each group with another role in $g; 著 where no role word is given.
TEST_F(RecommendedComposition, StatementsInCataloguingForm) {
  const std::string t = "200 1  $a 书名 $A shu ming";
  CHECK_CASES((std::vector<Case>{
      {{{"200f", "毛某　主编"}}, {t + " $f 毛某主编"}, {}},
      {{{"200f", "张三 等 主编"}}, {t + " $f 张三等主编"}, {}},
      {{{"200f", "[美] Abraham Silberschatz 等著"}}, {t + " $f (美)Abraham Silberschatz等著"}, {}},
      {{{"200f", "【日】村上春树 著"}}, {t + " $f (日)村上春树著"}, {}},
      {{{"200f", "〔清〕曹雪芹著"}, {"200g", "［清］脂砚斋 评"}}, {t + " $f (清)曹雪芹著 $g (清)脂砚斋评"}, {}},
      {{{"200f", "（美）罗恩·彻诺（Ron Chernow）著，张三译"}}, {t + " $f (美)罗恩·彻诺(Ron Chernow)著 $g 张三译"}, {}},
      {{{"200f", "Galen Grimes（美国） 著"}}, {t + " $f (美国)Galen Grimes著"}, {}},
      {{{"200f", "某某著；张三译"}}, {t + " $f 某某著 $g 张三译"}, {}},
      {{{"200f", "李仲轩 口述 / 徐皓峰 整理"}}, {t + " $f 李仲轩口述 $g 徐皓峰整理"}, {}},
      {{{"200f", "王伟 著|译者：张三|校注：李四"}}, {t + " $f 王伟著 $g 张三译 $g 李四校注"}, {}},
      {{{"200f", "王伟、张三 译"}}, {t + " $f 王伟，张三译"}, {}},
      {{{"200f", "张三著；李四著"}}, {t + " $f 张三，李四著"}, {}},  // one role: one group
      {{{"200f", "张三著；李四译；王五著"}}, {t + " $f 张三著 $g 李四译 $g 王五著"}, {}},
      {{{"200f", "[美] William E. Shotts, Jr. 著"}}, {t + " $f (美)William E. Shotts Jr.著"}, {}},
      // No role word: 著 in $f as in 701 $4, and a note.
      {{{"200f", "张三"}}, {t + " $f 张三著", "701  0 $a 张三 $A zhang san $4 著"}, {Assumed("张三")}},
      {{{"200f", "王伟  张三"}}, {t + " $f 王伟，张三著"}, {Assumed("王伟、张三")}},
      {{{"200f", "张三主编,李四"}}, {t + " $f 张三主编 $g 李四著"}, {Assumed("李四")}},
      {{{"200f", "（法）米歇尔·福柯  张三"}}, {t + " $f (法)米歇尔·福柯著 $g 张三译"},
       {"推定“张三”为译者（702 $4 译）", Assumed("米歇尔·福柯")}},
      {{{"200g", "张三"}}, {t + " $g 张三著"}, {Assumed("张三")}},
      // Nobody named: the statement as given, or none.
      {{{"200f", "佚名"}}, {t + " $f 佚名"}, {"“佚名”不是责任者，没有写入 7XX"}},
      {{}, {t}, {}},
  }));
}

// 101 tells a translation and the original language from the author's mark; a title without Han
// characters claims Chinese neither in 101 nor in 100 $a/34-35 or 102 unless the ISBN or the
// publisher table places the book in China.
TEST_F(RecommendedComposition, LanguageOfTheText) {
  const std::string chinese = "101 0  $a chi", cn = "102    $a CN";
  const auto from = [](const std::string& mark, const std::string& code) {
    return "按国别“" + mark + "”推定原作语种为 " + code + "（101 $c）";
  };
  const std::string unknownMark = "这是译著，但看不出国别“瑞士”的原作语种，101 没有 $c";
  const std::string unknown = "这是译著，但看不出原作语种，101 没有 $c";
  const auto und = [](const std::string& title) { return "题名“" + title + "”不是中文，又没有作品语种，101 $a 记为 und"; };
  const std::string script = "100    $a 20261205d2008    em y0chiy0110    ";
  languageFindings_ = true;
  CHECK_CASES((std::vector<Case>{
      {{{"200f", "张三著"}}, {chinese, cn, script + "ea"}, {}},
      {{{"200f", "（美）某某著"}}, {"101 1  $a chi $c eng", cn}, {from("美", "eng")}},
      {{{"200f", "[美国] 某某 著"}}, {"101 1  $a chi $c eng"}, {from("美国", "eng")}},
      {{{"200f", "（法）某某著；张三译"}}, {"101 1  $a chi $c fre"}, {from("法", "fre")}},
      {{{"200f", "（德）某某著"}}, {"101 1  $a chi $c ger"}, {from("德", "ger")}},
      {{{"200f", "（奥）某某著"}}, {"101 1  $a chi $c ger"}, {from("奥", "ger")}},
      {{{"200f", "（澳）某某著"}}, {"101 1  $a chi $c eng"}, {from("澳", "eng")}},
      {{{"200f", "（日）某某著"}}, {"101 1  $a chi $c jpn"}, {from("日", "jpn")}},
      {{{"200f", "（苏）某某著"}}, {"101 1  $a chi $c rus"}, {from("苏", "rus")}},
      {{{"200f", "（韩）某某著"}}, {"101 1  $a chi $c kor"}, {from("韩", "kor")}},
      {{{"200f", "（新西兰）某某著"}}, {"101 1  $a chi $c eng"}, {from("新西兰", "eng")}},
      // The author's mark, not the translator's, tells the original.
      {{{"200f", "（意）某某著"}, {"200g", "（英）张三译"}}, {"101 1  $a chi $c ita"}, {from("意", "ita")}},
      // A translator without a marked author, or a mark of many languages: no $c, a warning.
      {{{"200f", "某某著；张三译"}}, {"101 1  $a chi"}, {unknown}},
      {{{"200f", "（瑞士）某某著"}}, {"101 1  $a chi"}, {unknownMark}},
      // Marks of Chinese dynasties and places are no translation.
      {{{"200f", "〔清〕曹雪芹著"}}, {chinese}, {}},
      {{{"200f", "（台）某某著"}}, {chinese}, {}},
      {{{"200f", "（澳门）某某著"}}, {chinese}, {}},
      // A language column wins for $a.
      {{{"101a", "eng"}, {"200f", "张三著"}}, {"101 0  $a eng"}, {}},
      // No Han character in the title.
      {{{"200a", "Database System Concepts"}, {"200f", "Abraham Silberschatz著"}},
       {"101 0  $a und", "102", script + "ba"}, {und("Database System Concepts")}},
      {{{"200a", "Database System Concepts"}, {"101a", "eng"}}, {"101 0  $a eng", "102", script + "ba"}, {}},
      {{{"200a", "Database System Concepts"}, {"101a", "eng"}, {"010a", "9787302123453"}},
       {"101 0  $a eng", "102    $a CN $b 110000", script + "ba"}, {}},
      {{{"200a", "Database System Concepts"}, {"101a", "eng"}, {"210c", "上海译文出版社"}},
       {"102    $a CN $b 310000"}, {}},
      {{{"200a", "Война и мир"}, {"101a", "rus"}}, {"101 0  $a rus", "102", script + "ca"}, {}},
      {{{"200a", "1984"}, {"101a", "eng"}}, {"102", script + "zz"}, {}},
  }));
}

// The names no role word reaches get the profile's default role: 著, another, or none.
TEST_F(RecommendedComposition, DefaultRole) {
  const std::string t = "200 1  $a 书名 $A shu ming";
  const std::pair<std::string, Case> cases[] = {
      {"著", {{{"200f", "张三"}}, {t + " $f 张三著", "701  0 $a 张三 $A zhang san $4 著"}, {Assumed("张三")}}},
      {"编", {{{"200f", "张三"}}, {t + " $f 张三编", "701  0 $a 张三 $A zhang san $4 编"},
              {"“张三”没有写责任方式，推定为“编”（200 $f、7XX $4）"}}},
      {"", {{{"200f", "张三"}}, {t + " $f 张三", "701  0 $a 张三 $A zhang san"}, {}}},
      {"", {{{"200f", "张三  李四 译"}}, {t + " $f 张三 $g 李四译", "701  0 $a 张三 $A zhang san", "702  0 $a 李四 $A li si $4 译"}, {}}},
      // A role word given is kept whatever the default.
      {"", {{{"200f", "张三 主编"}}, {t + " $f 张三主编", "701  0 $a 张三 $A zhang san $4 主编"}, {}}},
  };
  for (const auto& [role, c] : cases) {
    context_.defaultRole = role;
    CHECK_CASES(std::vector<Case>{c});
  }
}

// 200 $g fed by a translator column (译者): its names without a role word are translators, with no
// note; a role word given, and the names of 200 $f, are as ever.
TEST_F(RecommendedComposition, TranslatorColumnRole) {
  const std::string t = "200 1  $a 书名 $A shu ming";
  const std::pair<std::string, Case> cases[] = {
      {"译", {{{"200f", "（美）约翰·史密斯"}, {"200g", "李四"}},
              {t + " $f (美)约翰·史密斯著 $g 李四译", "701  0 $a 约翰·史密斯 $A yue han shi mi si $c (美) $4 著",
               "702  0 $a 李四 $A li si $4 译"},
              {Assumed("约翰·史密斯")}}},
      {"译", {{{"200f", "张三著"}, {"200g", "李四、王五"}},
              {t + " $f 张三著 $g 李四，王五译", "702  0 $a 李四 $A li si $4 译", "702  0 $a 王五 $A wang wu $4 译"}, {}}},
      {"译", {{{"200f", "张三"}, {"200g", "李四 校注"}}, {t + " $f 张三著 $g 李四校注", "702  0 $a 李四 $A li si $4 校注"},
              {Assumed("张三")}}},
      // Another column feeding 200 $g: the default role, with its note.
      {"", {{{"200g", "李四"}}, {t + " $g 李四著", "701  0 $a 李四 $A li si $4 著", "702"}, {Assumed("李四")}}},
  };
  for (const auto& [role, c] : cases) {
    context_.otherRole = role;
    CHECK_CASES(std::vector<Case>{c});
  }
}

// A transliterated foreign name is read without Chinese surname readings; 伯 in a name is bo.
TEST_F(RecommendedComposition, NamesPinyin) {
  for (const Encoding encoding : {Encoding::Gbk, Encoding::Utf8}) {
    SCOPED_TRACE(iso2709::NameOf(encoding));
    CheckCases(std::vector<Case>{
        {{{"200f", "马伯庸 著"}}, {"701  0 $a 马伯庸 $A ma bo yong $4 著"}, {}},
        {{{"200f", "（法）加缪 著"}}, {"701  0 $a 加缪 $A jia miu $c (法) $4 著"}, {}},
        {{{"200f", "（英）查理 著"}}, {"701  0 $a 查理 $A cha li $c (英) $4 著"}, {}},
        {{{"200f", "查理·卓别林 著"}}, {"701  0 $a 查理·卓别林 $A cha li zhuo bie lin $4 著"}, {}},
        {{{"200f", "（美）盖伊·塔雷斯 著"}}, {"701  0 $a 盖伊·塔雷斯 $A gai yi ta lei si $c (美) $4 著"}, {}},
        // A Chinese name keeps its surname reading.
        {{{"200f", "查良镛 著"}}, {"701  0 $a 查良镛 $A zha liang yong $4 著"}, {}},
        {{{"200f", "（清）曾国藩 著"}}, {"701  0 $a 曾国藩 $A zeng guo fan $c (清) $4 著"}, {}},
    }, [&](const Row& row) { return Compose(row, encoding); });
  }
}

TEST_F(RecommendedComposition, NamesOneHeadingPerPerson) {
  CHECK_CASES((std::vector<Case>{
      {{{"200f", "张三著"}, {"200g", "张三译"}}, {"701  0 $a 张三 $A zhang san $4 著", "702"},
       {"“张三”重复出现，只写一个检索点（略去责任方式“译”）"}},
      {{{"200f", "张三译"}, {"200g", "张三著"}}, {"701  0 $a 张三 $A zhang san $4 著", "702"},
       {"“张三”重复出现，只写一个检索点（略去责任方式“译”）"}},
      {{{"200f", "罗伟 主编；罗伟 编写"}}, {"701  0 $a 罗伟 $A luo wei $4 主编"},
       {"“罗伟”重复出现，只写一个检索点（略去责任方式“编写”）"}},
      {{{"200f", "罗伟 主编；王伟 编写"}},
       {"701  0 $a 罗伟 $A luo wei $4 主编", "701  0 $a 王伟 $A wang wei $4 编写"}, {}},
      // The persons after a repeated one keep their order.
      {{{"200f", "张三 著；李四 著；张三 著；王五 编；李四 编"}},
       {"701  0 $a 张三 $A zhang san $4 著", "701  0 $a 李四 $A li si $4 著", "701  0 $a 王五 $A wang wu $4 编", "702"},
       {"“张三”重复出现，只写一个检索点（略去责任方式“著”）", "“李四”重复出现，只写一个检索点（略去责任方式“编”）"}},
  }));
}

TEST_F(RecommendedComposition, Prices) {
  CHECK_CASES((std::vector<Case>{
      {{{"010d", "25"}}, {"010    $d CNY25.00"}, {}},
      {{{"010d", "usd 20"}}, {"010    $d USD20.00"}, {}},
      {{{"010d", "Usd20"}}, {"010    $d USD20.00"}, {}},
      {{{"010d", "US$20"}}, {"010    $d USD20.00"}, {}},
      {{{"010d", "hk$100"}}, {"010    $d HKD100.00"}, {}},
      {{{"010d", "gbp 9.9"}}, {"010    $d GBP9.90"}, {}},
      {{{"010d", "20元"}}, {"010    $d CNY20.00"}, {}},
      {{{"010d", "20美元"}}, {"010    $d USD20.00"}, {}},
      {{{"010d", "100港元"}}, {"010    $d HKD100.00"}, {}},
      {{{"010d", "15欧元"}}, {"010    $d EUR15.00"}, {}},
      {{{"010d", "9.9英镑"}}, {"010    $d GBP9.90"}, {}},
      {{{"010d", "1800日元"}}, {"010    $d JPY1800.00"}, {}},
      {{{"010d", "￥25.50"}}, {"010    $d CNY25.50"}, {}},
      {{{"010d", "定价：1,234.5元"}}, {"010    $d CNY1234.50"}, {}},
      {{{"010d", "0.01"}}, {"010    $d CNY0.01"}, {}},
      {{{"010d", "0"}}, {"010"}, {None("0", "010 $d")}},
      {{{"010d", "0.00"}}, {"010"}, {None("0.00", "010 $d")}},
      {{{"010d", "0.50"}}, {"010    $d CNY0.50"}, {}},
      {{{"010d", "免费"}}, {"010"}, {"价格“免费”读不出，没有写入 010 $d"}},
      {{{"010a", "9787302123453"}, {"010d", "$12.5"}, {"010b", "平装"}},
       {"010    $a 978-7-302-12345-3 $b 平装 $d USD12.50"}, {}},
  }));
}

// A bare page count gets its unit; a size in the trade's forms becomes the height in whole
// centimetres (a fraction counts as one), with a note; an unknown form is kept and warned.
TEST_F(RecommendedComposition, PagesAndSize) {
  const auto converted = [](const std::string& cell, const std::string& cm) {
    return "尺寸“" + cell + "”换算为 " + cm;
  };
  const auto unreadable = [](const std::string& cell) { return "尺寸“" + cell + "”读不出，照原样写入 215 $d"; };
  CHECK_CASES((std::vector<Case>{
      {{{"215a", "353"}}, {"215    $a 353页"}, {}},
      {{{"215a", "353页"}}, {"215    $a 353页"}, {}},
      {{{"215a", "1"}}, {"215    $a 1页"}, {}},
      {{{"215a", "012"}}, {"215    $a 012"}, {}},
      {{{"215a", "353页 图"}}, {"215    $a 353页 图"}, {}},
      // A sheet and its fraction: the trade's trimmed sizes for the common sheets.
      {{{"215d", "787*1092 1/16"}}, {"215    $d 26cm"}, {converted("787*1092 1/16", "26cm")}},
      {{{"215d", "787×1092 1/32"}}, {"215    $d 19cm"}, {converted("787×1092 1/32", "19cm")}},
      {{{"215d", "850×1168 1/32"}}, {"215    $d 21cm"}, {converted("850×1168 1/32", "21cm")}},
      {{{"215d", "850x1168 1/16"}}, {"215    $d 29cm"}, {converted("850x1168 1/16", "29cm")}},
      {{{"215d", "787mm×1092mm 1/16"}}, {"215    $d 26cm"}, {converted("787mm×1092mm 1/16", "26cm")}},
      // Other sheets: the longer side halved to the page, 13 mm trimmed (1194 / 4 - 13 = 285.5).
      {{{"215d", "889×1194 1/16"}}, {"215    $d 29cm"}, {converted("889×1194 1/16", "29cm")}},
      {{{"215d", "787*1092 1/24"}}, {"215    $d 787*1092 1/24"}, {unreadable("787*1092 1/24")}},
      // A trimmed page in millimetres, centimetres as they are or rounded up.
      {{{"215d", "185*260"}}, {"215    $d 26cm"}, {converted("185*260", "26cm")}},
      {{{"215d", "140×203"}}, {"215    $d 21cm"}, {converted("140×203", "21cm")}},
      {{{"215d", "140×200mm"}}, {"215    $d 20cm"}, {converted("140×200mm", "20cm")}},
      {{{"215d", "18.5*26cm"}}, {"215    $d 26cm"}, {converted("18.5*26cm", "26cm")}},
      {{{"215d", "26cm"}}, {"215    $d 26cm"}, {}},
      {{{"215d", "18.4 cm"}}, {"215    $d 19cm"}, {converted("18.4 cm", "19cm")}},
      // Formats: of 787 × 1092 mm, "大" of 850 × 1168 mm.
      {{{"215d", "16开"}}, {"215    $d 26cm"}, {converted("16开", "26cm")}},
      {{{"215d", "32开"}}, {"215    $d 19cm"}, {converted("32开", "19cm")}},
      {{{"215d", "大32开"}}, {"215    $d 21cm"}, {converted("大32开", "21cm")}},
      {{{"215d", "异形"}}, {"215    $d 异形"}, {unreadable("异形")}},
      {{{"215d", "A4"}}, {"215    $d A4"}, {unreadable("A4")}},
  }));
}

// One 606 per subject; $x $j $y $z go with the first only. 690 only with a class number.
TEST_F(RecommendedComposition, SubjectsAndClass) {
  CHECK_CASES((std::vector<Case>{
      {{{"606a", "计算机；程序设计、C语言"}, {"606x", "教材"}, {"606j", "高等学校"}, {"606y", "中国"}, {"606z", "现代"}},
       {"606 0  $a 计算机 $x 教材 $j 高等学校 $y 中国 $z 现代", "606 0  $a 程序设计", "606 0  $a C语言"}, {}},
      {{{"606a", "经济史, 中国"}}, {"606 0  $a 经济史", "606 0  $a 中国"}, {}},
      {{{"606x", "教材"}}, {"606 0  $x 教材"}, {}},
      {{{"606a", " ；；"}}, {"606"}, {}},
      {{{"606a", "计算机 程序设计"}}, {"606 0  $a 计算机", "606 0  $a 程序设计"}, {}},
      {{{"606a", "计算机　程序设计，C语言"}}, {"606 0  $a 计算机", "606 0  $a 程序设计", "606 0  $a C语言"}, {}},
      {{{"606a", "Computer science"}}, {"606 0  $a Computer science"}, {}},
      {{{"606a", "其他"}}, {"606"}, {}},
      {{{"606a", "计算机；无、其它"}}, {"606 0  $a 计算机"}, {}},
      {{{"690a", "TP312"}}, {"690    $a TP312 $v 5"}, {}},
      {{{"690a", "I247.5"}}, {"690    $a I247.5 $v 5"}, {}},
      {{{"690a", "K825.6=76"}}, {"690    $a K825.6=76 $v 5"}, {}},
      {{{"690a", "O4-43"}}, {"690    $a O4-43 $v 5"}, {}},
      {{{"690a", "计算机"}}, {"690"}, {"“计算机”不是中图法分类号，没有写入 690"}},
      {{{"690a", "TP"}}, {"690"}, {"“TP”不是中图法分类号，没有写入 690"}},
      {{{"690a", "L123"}}, {"690"}, {"“L123”不是中图法分类号，没有写入 690"}},
      {{{"690a", "tp312"}}, {"690"}, {"“tp312”不是中图法分类号，没有写入 690"}},
      {{{"690a", "9787302123453"}}, {"690"}, {"“9787302123453”不是中图法分类号，没有写入 690"}},
      {{{"690a", "TP312"}, {"690v", "4"}}, {"690    $a TP312 $v 4"}, {}},
      {{{"690v", "5"}}, {"690"}, {}},
  }));
}

// What a title cell holds besides the title goes to its own field, each move told as a note.
TEST_F(RecommendedComposition, TitleSubtitleAndPieces) {
  const std::string a = "200 1  $a 数据库 $A shu ju ku";
  const auto moved = [](const std::string& piece, const std::string& field) {
    return "题名中的“" + piece + "”写入 " + field;
  };
  const std::string split = "题名分为正题名“数据库”和副题名“原理与应用”（200 $e）";
  CHECK_CASES((std::vector<Case>{
      {{{"200a", "数据库：原理与应用"}}, {a + " $e 原理与应用"}, {split}},
      {{{"200a", "数据库 —— 原理与应用"}}, {a + " $e 原理与应用"}, {split}},
      {{{"200a", "数据库（第3版）"}}, {a, "205    $a 第3版"}, {moved("（第3版）", "205 $a")}},
      {{{"200a", "数据库修订版"}}, {a, "205    $a 修订版"}, {moved("修订版", "205 $a")}},
      {{{"200a", "数据库 增订本"}}, {a, "205    $a 增订本"}, {moved("增订本", "205 $a")}},
      {{{"200a", "数据库第12版"}}, {a, "205    $a 第12版"}, {moved("第12版", "205 $a")}},
      {{{"200a", "数据库（上）"}}, {a + " $h 上"}, {moved("（上）", "200 $h")}},
      {{{"200a", "数据库(下卷)"}}, {a + " $h 下卷"}, {moved("(下卷)", "200 $h")}},
      {{{"200a", "数据库（第2卷）"}}, {a + " $h 第2卷"}, {moved("（第2卷）", "200 $h")}},
      {{{"200a", "数据库第一册"}}, {a + " $h 第一册"}, {moved("第一册", "200 $h")}},
      {{{"200a", "数据库（第2卷 原理）"}}, {a + " $h 第2卷 $i 原理"},
       {moved("（第2卷 原理）", "200 $h"), moved("（第2卷 原理）", "200 $i")}},
      {{{"200a", "数据库（第2卷）：原理"}}, {a + " $h 第2卷 $i 原理"}, {moved("（第2卷）", "200 $h"), moved("原理", "200 $i")}},
      {{{"200a", "数据库第一册：原理（修订版）"}}, {a + " $h 第一册 $i 原理", "205    $a 修订版"},
       {moved("第一册", "200 $h"), moved("原理", "200 $i"), moved("（修订版）", "205 $a")}},
      {{{"200a", "数据库（平装）"}}, {a, "010    $b 平装"}, {moved("（平装）", "010 $b")}},
      {{{"200a", "数据库 精装"}}, {a, "010    $b 精装"}, {moved("精装", "010 $b")}},
      {{{"200a", "数据库（全3册）"}}, {a, "215    $a 3册"}, {moved("（全3册）", "215 $a")}},
      {{{"200a", "数据库（全十二册）"}, {"215a", "353页"}}, {a, "215    $a 12册（353页）"}, {moved("（全十二册）", "215 $a")}},
      {{{"200a", "数据库：原理与应用（第3版）（精装）"}},
       {a + " $e 原理与应用", "205    $a 第3版", "010    $b 精装"},
       {split, moved("（第3版）", "205 $a"), moved("（精装）", "010 $b")}},
      // The row's own column wins over a piece that says otherwise; the same value is no conflict.
      {{{"200a", "数据库（第3版）"}, {"205a", "第2版"}}, {"200 1  $a 数据库（第3版） $A shu ju ku di 3 ban", "205    $a 第2版"}, {}},
      {{{"200a", "数据库（第3版）"}, {"205a", "第3版"}}, {a, "205    $a 第3版"}, {moved("（第3版）", "205 $a")}},
      {{{"200a", "数据库：原理与应用"}, {"200e", "导论"}},
       {"200 1  $a 数据库：原理与应用 $A shu ju ku yuan li yu ying yong $e 导论"}, {}},
  }));
}

// Titles the rules leave as they are: a part before the mark, pieces that would leave no title,
// brackets holding something else.
TEST_F(RecommendedComposition, TitleLeftAsGiven) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"第一部：风起", "200 1  $a 第一部：风起"},      {"三体 第一部：地球往事", "200 1  $a 三体 第一部：地球往事"},
      {"数据库：", "200 1  $a 数据库："},              {"书：原理", "200 1  $a 书：原理"},
      {"修订版", "200 1  $a 修订版"},                  {"天下卷", "200 1  $a 天下卷"},
      {"数据库（英文版）", "200 1  $a 数据库（英文版）"}, {"数据库（全1册）", "200 1  $a 数据库（全1册）"},
      {"（上）", "200 1  $a （上）"},                  {"数据库上", "200 1  $a 数据库上"},
  };
  for (const auto& [title, line] : cases) {
    SCOPED_TRACE(title);
    const Written got = Compose({{"200a", title}});
    const auto it = std::find_if(got.lines.begin(), got.lines.end(), [](const std::string& l) { return l.starts_with("200"); });
    ASSERT_NE(it, got.lines.end());
    EXPECT_EQ(it->substr(0, std::min(it->size(), line.size())), line);
    EXPECT_EQ(it->find("$e"), std::string::npos);
    EXPECT_TRUE(got.warnings.empty()) << ::testing::PrintToString(got.warnings);
    ExpectFields(got, {"205", "215", "010"});
  }
}

// A shop listing's title is written as given and warned; 40 characters with a second title are
// still a title, 41 are not.
TEST_F(RecommendedComposition, TitleShopListing) {
  const std::string warned = "题名像商品标题，请核对";
  const auto longTitle = [](int n) {
    std::string t;
    for (int k = 0; k < n; ++k) t += k == n / 2 ? "+" : "书";
    return t;
  };
  const std::pair<std::string, bool> cases[] = {
      {"【正版包邮】数据库：原理与应用（第3版）", true}, {"数据库 畅销书", true}, {"数据库 附赠光盘", true},
      {"数据库！好书！", true},  {"数据库！", false},     {"赠汪伦", false},       {longTitle(41), true},
      {longTitle(40), false},    {std::string(41 * 3, 'x').replace(0, 3, "书书书"), false},
  };
  for (const auto& [title, shop] : cases) {
    SCOPED_TRACE(title);
    const Written got = Compose({{"200a", title}});
    EXPECT_EQ(got.warnings, shop ? std::vector<std::string>{warned} : std::vector<std::string>{});
    if (shop) ExpectFields(got, {"205", "010"});
  }
  const Written whole = Compose({{"200a", "【正版包邮】数据库：原理与应用（第3版）"}});
  EXPECT_NE(Joined(whole.lines).find("$a 【正版包邮】数据库：原理与应用（第3版）"), std::string::npos) << Joined(whole.lines);
}

// A total or end row gives no record and says why; a title that only begins like one is a book.
TEST_F(RecommendedComposition, TotalRowsGiveNoRecord) {
  const std::pair<std::string, bool> cases[] = {
      {"合计", true}, {"总计 256册", true}, {"小计：", true}, {"结束", true}, {"合计：1,234.00元", true},
      {"合计学原理", false}, {"总计划", false}, {"结束语", false},
  };
  for (const auto& [title, total] : cases) {
    SCOPED_TRACE(title);
    SubfieldValues v;
    v[d200a] = title;
    v[d210a] = "深圳";
    iso2709::Record record;
    std::vector<Finding> findings;
    const iso2709::Built built = ComposeRecord(v, context_, record, findings);
    EXPECT_EQ(built.status == iso2709::BuildStatus::Built, !total);
    std::vector<std::string> words;
    for (const Finding& f : findings) words.push_back(words::Describe(f));
    const std::string why = "“" + title + "”是合计或结束行，没有生成记录";
    EXPECT_TRUE(total ? std::find(words.begin(), words.end(), why) != words.end() : words.size() <= 1)
        << ::testing::PrintToString(words);
  }
}

// Look-alikes GBK lacks are folded for GBK output only; GB18030 and UTF-8 keep every character.
TEST_F(RecommendedComposition, LookAlikesFoldedForGbkOnly) {
  const Row row = {{"200a", "罗恩•彻诺传"}, {"300a", "A\xC2\xA0" "B\u2011C"}, {"200f", "（美）罗恩・彻诺著"}};
  const std::pair<Encoding, std::vector<std::string>> cases[] = {
      {Encoding::Gbk, {"200 1  $a 罗恩·彻诺传 $A luo en che nuo zhuan $f (美)罗恩·彻诺著", "300    $a A B-C", "701  0 $a 罗恩·彻诺 $A luo en che nuo $c (美) $4 著"}},
      {Encoding::Gb18030, {"200 1  $a 罗恩•彻诺传 $A luo en che nuo zhuan $f (美)罗恩・彻诺著", "300    $a A\xC2\xA0" "B\u2011C", "701  0 $a 罗恩・彻诺 $A luo en che nuo $c (美) $4 著"}},
      {Encoding::Utf8, {"200 1  $a 罗恩•彻诺传 $A luo en che nuo zhuan $f (美)罗恩・彻诺著", "300    $a A\xC2\xA0" "B\u2011C", "701  0 $a 罗恩・彻诺 $A luo en che nuo $c (美) $4 著"}},
  };
  for (const auto& [encoding, fields] : cases) {
    SCOPED_TRACE(iso2709::NameOf(encoding));
    const Written got = Compose(row, encoding);
    ExpectFields(got, fields);
    // Folding is a change to the data: told where it happens.
    EXPECT_EQ(got.warnings.size(), encoding == Encoding::Gbk ? 3u : 0u) << ::testing::PrintToString(got.warnings);
  }
}

// Cleaning the values is looked at apart for GBK (one pass with the characters GBK lacks): both
// encodings give the same lines and notes.
TEST_F(RecommendedComposition, SeriesAndValues) {
  for (const Encoding encoding : {Encoding::Gbk, Encoding::Utf8}) {
    SCOPED_TRACE(iso2709::NameOf(encoding));
    CheckCases(std::vector<Case>{
        {{{"225a", "现代文库"}, {"225v", "3"}}, {"225 2  $a 现代文库 $v 3", "410  0 $1 2001  $a 现代文库"}, {}},
        {{{"225a", "无"}}, {"225", "410"}, {None("无", "225 $a")}},
        {{{"300a", "附注|b不是子字段"}}, {"300    $a 附注｜b不是子字段"}, {"“附注|b不是子字段”中的“|”是子字段标识符，写成了“｜”"}},
        {{{"300a", "附注|"}}, {"300    $a 附注｜"}, {"“附注|”中的“|”是子字段标识符，写成了“｜”"}},
        {{{"330a", "暂无简介"}, {"101a", "eng"}}, {"330", "101 0  $a eng"}, {None("暂无简介", "330 $a")}},
        {{{"330a", " 暂无简介\t"}}, {"330"}, {None(" 暂无简介 ", "330 $a")}},
        // Line breaks and tabs, at either end or inside, give one trimmed line.
        {{{"300a", "附注\r\n第二行"}}, {"300    $a 附注 第二行"}, {}},
        {{{"300a", "\t附注\t二"}}, {"300    $a 附注 二"}, {}},
        {{{"300a", "附注\n"}}, {"300    $a 附注"}, {}},
        {{{"300a", "附注 "}, {"330a", "\xE3\x80\x80提要"}}, {"300    $a 附注", "330    $a 提要"}, {}},
        // A bar parting statements of responsibility is no subfield mark to tell of.
        {{{"200f", "王伟 著|译者：张三"}}, {"200 1  $a 书名 $A shu ming $f 王伟著 $g 张三译"}, {}},
    }, [&](const Row& row) { return Compose(row, encoding); });
  }
}

// Where both rule sets fill a field, the classic one keeps the value as the table gives it.
TEST_F(RecommendedComposition, ClassicAndRecommendedSideBySide) {
  struct Case {
    Row row;
    std::vector<std::string> classic, recommended;
  };
  const Case cases[] = {
      {{{"010a", "9787302123453"}, {"010d", "usd 20"}},
       {"010    $a 9787302123453 $d usd 20", "102    $a CN"},
       {"010    $a 978-7-302-12345-3 $d USD20.00", "102    $a CN $b 110000"}},
      {{{"010a", "978-7-302-12345-3"}, {"010d", "25"}, {"210a", "深圳"}, {"210c", "清华大学出版社"}},
       {"010    $a 978-7-302-12345-3 $d CNY25", "102    $a CN $b 110000", "210    $a 深圳 $c 清华大学出版社 $d 2008"},
       {"010    $a 978-7-302-12345-3 $d CNY25.00", "102    $a CN $b 110000",
        "210    $a 深圳 $c 清华大学出版社 $d 2008"}},
      {{{"210d", "二零零八年"}},
       {"210    $a 深圳 $d 二零零八", "100    $a 20261205d2009    em y0chiy0110    ea"},
       {"210    $a 深圳 $d 2008", "100    $a 20261205d2008    em y0chiy0110    ea"}},
      {{{"606a", "计算机；程序设计"}, {"606x", "教材"}, {"690a", "TP312"}},
       {"606 0  $a 计算机；程序设计 $x 教材", "690    $a TP312 $v 4"},
       {"606 0  $a 计算机 $x 教材", "606 0  $a 程序设计", "690    $a TP312 $v 5"}},
      {{{"300a", "A\xC2\xA0" "B\u2011C"}, {"200f", "张三著"}},
       {"300    $a A?B?C", "701    $a 张三 $A zhang san $4 著"},
       {"300    $a A B-C", "701  0 $a 张三 $A zhang san $4 著"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.row));
    for (const Rules rules : {Rules::Classic, Rules::Recommended}) {
      SCOPED_TRACE(RulesName(rules));
      context_.rules = rules;
      context_.templateText = std::string(DefaultTemplate(rules));
      ExpectFields(Compose(c.row), rules == Rules::Classic ? c.classic : c.recommended);
    }
  }
}

// The publisher table the build ships.
TEST(RecommendedShippedTable, RegionCodes) {
  RegionLookup lookup(CbkConnStrForFile(test::BuildFile("cbk.db")));
  const PinyinSource pinyin = PinyinSource::FromFile(test::BuildFile("pinyin.dat"));
  CompositionContext c;
  c.rules = Rules::Recommended;
  c.templateText = std::string(kRecommendedTemplate);
  c.lookup = &lookup;
  c.pinyin = &pinyin;
  const std::pair<const char*, const char*> cases[] = {
      {"9787020002207", "102    |aCN|b 110000"}, {"9787532712342", "102    |aCN|b 310000"},
  };
  for (const auto& [isbn, line] : cases) {
    SubfieldValues v;
    v[d200a] = "书";
    v[d010a] = isbn;
    std::vector<Finding> findings;
    const std::string work = ComposeRecommendedWorkForm(v, c, findings);
    EXPECT_NE(work.find(std::string(line) + "\r\n"), std::string::npos) << isbn << "\n" << work;
  }
}

// One table of placeholders serves both rule sets: each fills every name it knows and leaves the
// others as text (the classic set does not know the recommended fields, the recommended set leaves
// the classic year {cbsj}).
TEST_F(RecommendedComposition, EachRuleSetFillsThePlaceholdersOfTheOneTable) {
  std::string templateText;
  for (const std::string_view name : kPlaceholderNames) templateText += "300    |aX" + std::string(name) + "\r\n";
  for (const Rules rules : {Rules::Classic, Rules::Recommended}) {
    SCOPED_TRACE(std::string(RulesName(rules)));
    CompositionContext c = context_;
    c.rules = rules;
    c.templateText = templateText;
    SubfieldValues v;
    v[d200a] = "书名";
    std::vector<Finding> findings;
    const std::string work = rules == Rules::Classic ? ComposeWorkForm(v, c) : ComposeRecommendedWorkForm(v, c, findings);
    for (int k = 0; k < kPlaceholderCount; ++k) {
      const bool known = rules == Rules::Classic ? k < kClassicPlaceholderCount : k != pCbsj;
      EXPECT_EQ(work.find(std::string(kPlaceholderNames[k])) == std::string::npos, known) << kPlaceholderNames[k];
    }
  }
}

}  // namespace
}  // namespace rowcaster::convert
