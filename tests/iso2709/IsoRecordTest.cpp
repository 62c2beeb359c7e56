#include "iso2709/IsoRecord.h"

#include <gtest/gtest.h>

#include "iso2709/Writers.h"
#include "platform/text/Gbk.h"

namespace rowcaster::iso2709 {
namespace {

const LocalTime kNow{2026, 12, 5, 23, 36, 0};
const std::string US = "\x1F", FT = "\x1E", RT = "\x1D";

std::string Gbk(const std::string& utf8) { return *text::ToGbk(utf8); }

std::string Built(const std::string& form) {
  const BuildResult r = BuildIsoRecord(form, kNow);
  EXPECT_EQ(r.status, BuildStatus::Built) << r.description;
  return r.record;
}

// The data fields of a record as "tag:content" with the content decoded, separators shown as $ and #.
std::vector<std::string> Fields(const std::string& record) {
  const int base = std::stoi(record.substr(12, 5));
  std::vector<std::string> out;
  for (std::size_t d = 24; record[d] != '\x1E'; d += 12) {
    const std::string tag = record.substr(d, 3);
    const int len = std::stoi(record.substr(d + 3, 4));
    const int start = std::stoi(record.substr(d + 7, 5));
    std::string content = text::FromGbk(record.substr(base + start, len));
    for (char& c : content) c = c == '\x1F' ? '$' : c == '\x1E' ? '#' : c;
    out.push_back(tag + ":" + content);
  }
  return out;
}

TEST(PadDigits, PadsOrGivesUp) {
  EXPECT_EQ(PadDigits(3, 10), "010");
  EXPECT_EQ(PadDigits(4, 17), "0017");
  EXPECT_EQ(PadDigits(5, 0), "00000");
  EXPECT_EQ(PadDigits(4, 9999), "9999");
  EXPECT_EQ(PadDigits(4, 10000), "");
  EXPECT_EQ(PadDigits(5, -1), "");
}

TEST(BuildIsoRecord, ReproducesTheTitleExampleByteForByte) {
  const std::string expected = "00095nam0 22000611  450 001001700000200000900017801000700026" + FT +
                               "0020261205233600" + FT + "1 " + US + Gbk("a书名") + FT + "  " + US + "aCN" + FT + RT;
  const std::string record = Built("200 1  |a书名\r\n801    |aCN\r\n");
  EXPECT_EQ(record, expected);
  EXPECT_EQ(record.size(), 95u);
}

TEST(BuildIsoRecord, PutsPinyinBehindTheFirstSubfieldA) {
  const std::string record = Built("200 1  |a书名|e副题名|9shu ming\r\n801    |aCN\r\n");
  EXPECT_EQ(record.size(), 113u);
  EXPECT_EQ(record.substr(0, 5), "00113");
  EXPECT_NE(record.find("2000027"), std::string::npos);
  EXPECT_NE(record.find(FT + "1 " + US + Gbk("a书名") + US + "Ashu ming" + US + Gbk("e副题名") + FT), std::string::npos);
}

TEST(BuildIsoRecord, PlacesPinyinSubfields) {
  struct Case {
    const char* form;
    std::vector<std::string> fields;
  };
  const Case cases[] = {
      {"200 1  |e副题|9fu ti\r\n801    |aCN\r\n", {"001:0020261205233600#", "200:1 $e副题$Afu ti#", "801:  $aCN#"}},
      {"200 1  |a书名|9shu ming\r\n801    |aCN\r\n", {"001:0020261205233600#", "200:1 $a书名$Ashu ming#", "801:  $aCN#"}},
      {"701    |a 张三|4著| 9 zhang san\r\n801    |aCN\r\n",
       {"001:0020261205233600#", "701:  $a张三$ 9 zhang san$4著#", "801:  $aCN#"}},
      {"200 1  |a书|ex|9b|9c\r\n801    |aCN\r\n", {"001:0020261205233600#", "200:1 $a书$Ac$Ab$ex#", "801:  $aCN#"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.form);
    EXPECT_EQ(Fields(Built(c.form)), c.fields);
  }
}

TEST(BuildIsoRecord, OrdersFieldsByTagAndKeepsOnlyTheFirstGroup) {
  const std::string form =
      "690    |a I247\r\n"
      "200 1  |a书名\r\n"
      "701    |a 甲\r\n"
      "701    |a 乙\r\n"
      "701    |a 丙\r\n"
      "801    |aCN\r\n"
      "701    |a 丁\r\n"
      "001    xyz\r\n"
      "005    |a20200101\r\n"
      "010    |a 7-5012\r\n";
  EXPECT_EQ(Fields(Built(form)),
            (std::vector<std::string>{"001:0020261205233600#", "010:  $a7-5012#", "200:1 $a书名#", "690:  $aI247#",
                                      "701:  $a甲#", "701:  $a乙#", "701:  $a丙#", "801:  $aCN#"}));
}

// A record filled again and again keeps the room of its fields: whatever the former record held
// (more fields, more subfields, pinyin moved, a failure), the next is the record a fresh one gives.
TEST(BuildRecord, GivesAReusedRecordWhatAFreshOneGets) {
  const std::string forms[] = {
      "200 1  |a书名|e副题名|f张三|g李四|9shu ming\r\n701    |a 张三|9zhang san|4著\r\n701    |a 李四|4译\r\n801    |aCN\r\n",
      "200 1  |a书\r\n801    |aCN\r\n",
      "200 1  |e副题|9fu ti\r\n801    |aCN\r\n",
      "200 1  ||a书\r\n801    |aCN\r\n",  // fails: two bars
      "010    |a7-5012|dCNY12\r\n200 1  |a书|ex|9b|9c\r\n210    |a北京|c出版社|d2020\r\n215    |a100页\r\n801    |aCN\r\n",
      "only one line\r\n",  // refused
      "001    xyz\r\n200 1  no subfields\r\n300    plain\r\n801    |aCN\r\n",
      "701    |a 甲\r\n701    |a 乙\r\n701    |a 丙\r\n690    |a I247|v4\r\n200 1  |a题|9ti\r\n",
      "200 1  |a" + std::string(100, 'x') + "|b" + std::string(3, 'y') + "\r\n801    |aCN|bZELKOV|c20261205\r\n",
  };
  RecordWriter writer(Format::Iso2709, Encoding::Gbk);
  Record reused;
  // Every order of neighbours: each form after each other form.
  for (const std::string& before : forms) {
    for (const std::string& form : forms) {
      BuildRecord(before, kNow, {}, reused);
      const iso2709::Built again = BuildRecord(form, kNow, {}, reused);
      Record fresh;
      const iso2709::Built once = BuildRecord(form, kNow, {}, fresh);
      ASSERT_EQ(again.status, once.status) << form;
      EXPECT_EQ(again.description, once.description) << form;
      EXPECT_EQ(reused.fields.size(), fresh.fields.size()) << before << " then " << form;
      if (once.status != BuildStatus::Built) continue;
      std::string a, b;
      ASSERT_TRUE(writer.Append(reused, a).ok);
      ASSERT_TRUE(writer.Append(fresh, b).ok);
      EXPECT_EQ(a, b) << before << " then " << form;
      for (std::size_t i = 0; i < fresh.fields.size(); ++i) EXPECT_EQ(reused.fields[i].line, fresh.fields[i].line);
    }
  }
}

TEST(BuildIsoRecord, DropsDataLinesWithoutSubfieldsButTheFirst) {
  EXPECT_EQ(Fields(Built("200 1  no subfields\r\n300    plain\r\n801    |aCN\r\n")),
            (std::vector<std::string>{"001:0020261205233600#", "200:1 #", "801:  $aCN#"}));
}

// Indicators are the fifth and sixth characters, a subfield code the first character behind the
// bar: characters, not bytes, wherever a character of several bytes stands.
TEST(BuildIsoRecord, TakesIndicatorsAndCodesByCharacters) {
  const std::pair<std::string, std::string> cases[] = {
      {"200 1  |a书", "200:1 $a书#"},
      {"200 书1|a书", "200:书1$a书#"},
      {"200  书 |a x", "200: 书$ax#"},
      {"200 1|a x", "200:1$ax#"},
      {"200 |a x", "200:$ax#"},
      {"200 1  |书 名|b x", "200:1 $书名$bx#"},
      {"200 1  |é书|9shu", "200:1 $é书$Ashu#"},
  };
  for (const auto& [line, field] : cases) EXPECT_EQ(Fields(Built(line + "\r\n801    |aCN\r\n"))[1], field) << line;
}

TEST(BuildIsoRecord, TrimsBlanksAroundSubfieldData) {
  const std::string record = Built("200 1  |a  中文 \r\n801    |aCN\r\n");
  EXPECT_EQ(Fields(record)[1], "200:1 $a中文#");
  EXPECT_NE(record.find("2000009"), std::string::npos);  // 4 bytes of data
}

TEST(BuildIsoRecord, CountsUnencodableCharactersAsTheOneByteWritten) {
  const std::string record = Built("200 1  |a😀书\r\n801    |aCN\r\n");
  EXPECT_NE(record.find(US + "a?" + Gbk("书") + FT), std::string::npos);
  EXPECT_EQ(std::stoi(record.substr(0, 5)), static_cast<int>(record.size()));
}

TEST(BuildIsoRecord, RefusesWhatIsNotARecordSilently) {
  for (const char* form : {"", "200 1  |a书名\r\n", "200 1  |a书名\r\n801    |aCN", "200 1  |a书\r\nabc    |a x\r\n",
                           "200 1  |a书\r\n\r\n801    |aCN\r\n"}) {
    const BuildResult r = BuildIsoRecord(form, kNow);
    EXPECT_EQ(r.status, BuildStatus::Refused) << form;
    EXPECT_TRUE(r.record.empty());
    EXPECT_FALSE(r.description.empty());
  }
  // The first line is not tested.
  EXPECT_EQ(BuildIsoRecord("abc\r\n200 1  |a书\r\n801    |aCN\r\n", kNow).status, BuildStatus::Built);
}

TEST(BuildIsoRecord, FailsWithADescription) {
  struct Case {
    std::string form;
    std::string mentions;
  };
  const Case cases[] = {
      {"200 1  |a书名|\r\n801    |aCN\r\n", "第 1 行"},
      {"200 1  |a书名||b\r\n801    |aCN\r\n", "“|”"},
      {"200 1  |a书\r\n9e9    |a x\r\n", "溢出"},
      {"200 1  |a\xFF\r\n801    |aCN\r\n", "UTF-8"},
      {"200 1  |a" + std::string(10000, 'x') + "\r\n801    |aCN\r\n", "9999"},
  };
  for (const auto& c : cases) {
    const BuildResult r = BuildIsoRecord(c.form, kNow);
    EXPECT_EQ(r.status, BuildStatus::Failed) << c.mentions;
    EXPECT_TRUE(r.record.empty());
    EXPECT_NE(r.description.find(c.mentions), std::string::npos) << r.description;
  }
}

TEST(BuildIsoRecord, StaysWithinTheDirectoryWidths) {
  // A field of exactly 9999 bytes is still written.
  const std::string atLimit = "300    |a" + std::string(9999 - 5, 'x') + "\r\n801    |aCN\r\n";
  const BuildResult ok = BuildIsoRecord(atLimit, kNow);
  ASSERT_EQ(ok.status, BuildStatus::Built) << ok.description;
  EXPECT_NE(ok.record.find("30099990"), std::string::npos);
  // The whole directory and the leader's numbers, each digit in its place.
  EXPECT_EQ(ok.record.substr(0, 5), "10085");
  EXPECT_EQ(ok.record.substr(12, 5), "00061");
  EXPECT_EQ(ok.record.substr(24, 36), "001001700000" "300999900017" "801000710016");

  // Twelve fields of 9000 bytes: each fits, the record does not.
  std::string big = "200 1  |a书\r\n";
  for (int i = 0; i < 12; ++i) big += "300    |a" + std::string(8990, 'y') + "\r\n";
  const BuildResult r = BuildIsoRecord(big, kNow);
  EXPECT_EQ(r.status, BuildStatus::Failed);
  EXPECT_NE(r.description.find("99999"), std::string::npos) << r.description;
}

TEST(BuildIsoRecord, StampsTheClockInto001) {
  const std::string a = Built("200 1  |a书\r\n801    |aCN\r\n");
  EXPECT_EQ(a, Built("200 1  |a书\r\n801    |aCN\r\n"));
  const BuildResult b = BuildIsoRecord("200 1  |a书\r\n801    |aCN\r\n", {2027, 1, 2, 3, 4, 5});
  EXPECT_EQ(Fields(b.record)[0], "001:0020270102030405#");
  // The clock's text is made once for a clock, and made again when the clock moves on.
  EXPECT_EQ(Fields(Built("200 1  |a书\r\n801    |aCN\r\n"))[0], "001:0020261205233600#");
  EXPECT_EQ(Fields(BuildIsoRecord("200 1  |a书\r\n801    |aCN\r\n", {2026, 12, 5, 23, 36, 1}).record)[0], "001:0020261205233601#");
  BuildOptions own;
  own.recordId = "CAL-1";
  EXPECT_EQ(Fields(BuildIsoRecord("200 1  |a书\r\n801    |aCN\r\n", kNow, own).record)[0], "001:CAL-1#");
}

TEST(FailureMessage, PrefixesTheFixedText) {
  EXPECT_EQ(FailureMessage("x"), "出现意外错误！详细信息如下：\r\nx");
  EXPECT_STREQ(kFailureTitle, "操作提示");
}

}  // namespace
}  // namespace rowcaster::iso2709
