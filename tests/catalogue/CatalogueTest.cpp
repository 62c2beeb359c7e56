// Copy cataloguing without a server: titles that fit, MARCXML and ISO 2709 from outside, the merge
// of a catalogue's record with the row's, the cache.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestPaths.h"
#include "catalogue/Cache.h"
#include "catalogue/Lookup.h"
#include "catalogue/Merge.h"
#include "catalogue/TitleMatch.h"
#include "convert/Isbn.h"
#include "iso2709/Listing.h"
#include "iso2709/MarcXmlReader.h"
#include "platform/text/Gbk.h"

namespace rowcaster::catalogue {
namespace {

using iso2709::Field;
using iso2709::Record;

Record Book(const std::string& title, std::vector<Field> more = {}) {
  Record r;
  r.leader = "00000nam0 22000001  450 ";
  r.fields.push_back({"001", "", "CAT000042", {}, 0});
  r.fields.push_back({"200", "1 ", "", {{"a", title}, {"e", "副题"}, {"h", "第2卷"}}, 0});
  for (Field& f : more) r.fields.push_back(std::move(f));
  return r;
}

TEST(TitleMatch, TheRowsTitleFitsInItsCommonShapes) {
  const std::tuple<const char*, const char*, int> cases[] = {
      {"长河笔记", "长河笔记", 3},
      {"长河笔记", " 长河 笔记 ", 3},           // blanks
      {"长河笔记", "《长河笔记》", 3},          // punctuation
      {"漢語語法", "汉语语法", 3},              // traditional in the catalogue
      {"Big Data", "ＢＩＧ　ｄａｔａ", 3},     // full-width, case
      {"长河笔记", "长河笔记：副题第2卷", 2},   // with subtitle and part
      {"长河笔记", "长河笔记（修订本）", 1},    // more than the record's title
      {"长河笔记", "长河", 1},                  // the first words
      {"长河笔记", "长", 0},                    // one character says nothing
      {"长河笔记", "星空往事", 0},
      {"长河笔记", "", 1},                      // no title to compare
  };
  for (const auto& [record, row, fit] : cases) EXPECT_EQ(TitleFit(Book(record), row), fit) << record << " / " << row;
  EXPECT_EQ(TitleFit(Record{}, "长河"), 0) << "a record without 200 $a fits nothing";
  const std::vector<Record> hits = {Book("星空往事"), Book("长河笔记续编"), Book("长河笔记")};
  EXPECT_EQ(BestFit(hits, "长河笔记"), 2);
  EXPECT_EQ(BestFit(hits, "江南纪事"), -1);
}

TEST(IsbnForms, BothLengthsWithAndWithoutHyphens) {
  const auto forms = convert::IsbnForms(convert::ParseIsbn("7-5327-0001-5"));
  EXPECT_TRUE(forms.empty()) << "a wrong check digit is not looked up";
  const std::vector<std::string> want = {"9787532700011", "978-7-5327-0001-1", "7532700011", "7-5327-0001-1"};
  EXPECT_EQ(convert::IsbnForms(convert::ParseIsbn("7532700011")), want);
  EXPECT_EQ(convert::IsbnForms(convert::ParseIsbn("ISBN 978-7-5327-0001-1")), want);
  EXPECT_EQ(convert::Isbn13(convert::ParseIsbn("7532700011")), "9787532700011");
  for (const std::string& form : convert::IsbnForms(convert::ParseIsbn("9791034567898")))
    EXPECT_TRUE(form.starts_with("979")) << "979 has no ISBN-10: " << form;
}

TEST(MarcXml, ReadsRecordsAndRefusesWhatIsNotOne) {
  const std::string good = R"(<?xml version="1.0"?>
<collection xmlns="http://www.loc.gov/MARC21/slim"><record>
  <leader>00000nam0 22000001  450 </leader>
  <controlfield tag="001">X1</controlfield>
  <datafield tag="200" ind1="1" ind2=" "><subfield code="a">长河&amp;笔记</subfield><subfield code="f">李明著</subfield></datafield>
</record><record><datafield tag="010" ind1=" " ind2=" "><subfield code="a">978-7-5327-0001-1</subfield></datafield></record></collection>)";
  std::vector<Record> records;
  ASSERT_TRUE(iso2709::ReadMarcXml(good, records));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(iso2709::Listing(records[0]),
            "00000nam0 22000001  450 \n001 X1\n200 1  $a 长河&笔记 $f 李明著\n");
  EXPECT_EQ(records[1].leader.size(), 24u) << "a record without a leader gets a blank one";
  const char* bad[] = {
      "<record><datafield tag=\"200\"",                                                         // cut short
      "<record><datafield tag=\"20\" ind1=\" \" ind2=\" \"/></record>",                        // tag of two
      "<record><datafield tag=\"200\"><subfield code=\"ab\">x</subfield></datafield></record>",  // code of two
      "<record><controlfield tag=\"001\"><subfield code=\"a\">x</subfield></controlfield></record>",
      "<record><leader>short</leader></record>",
      "not xml at all",
  };
  for (const char* text : bad) {
    EXPECT_FALSE(iso2709::ReadMarcXml(text, records)) << text;
    EXPECT_TRUE(records.empty()) << text;
  }
  std::string huge = "<collection>";
  while (huge.size() < 2'000'000) huge += "<record><leader>00000nam0 22000001  450 </leader></record>";
  EXPECT_FALSE(iso2709::ReadMarcXml(huge + "</collection>", records)) << "larger than records can be";
}

TEST(Decode, RecordsInTheTargetsCharsetAndGarbageLeftOut) {
  iso2709::RecordWriter gbk(iso2709::Format::Iso2709, iso2709::Encoding::Gbk);
  std::string bytes;
  ASSERT_TRUE(gbk.Append(Book("长河笔记"), bytes).ok);
  Target t;
  t.charset = iso2709::Encoding::Gbk;
  std::size_t unreadable = 0;
  std::vector<Record> read = DecodeRecords(t, {bytes, "00042garbage\x1D", bytes.substr(0, 40)}, unreadable);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(RecordTitle(read[0]), "长河笔记");
  EXPECT_EQ(unreadable, 2u);
  t.charset = iso2709::Encoding::Utf8;
  read = DecodeRecords(t, {bytes}, unreadable);
  EXPECT_TRUE(read.empty()) << "GBK bytes are not UTF-8: refused, not garbled";
  EXPECT_EQ(unreadable, 1u);
}

Record Own() {
  Record r;
  r.leader = "00000nam0 22000001  450 ";
  r.fields = {{"001", "", "20261205233600000001", {}, 0},
              {"010", "  ", "", {{"a", "978-7-5327-0042-7"}, {"d", "CNY45.00"}}, 0},
              {"100", "  ", "", {{"a", "20261205d2019    em y0chiy0110    ea"}}, 0},
              {"200", "1 ", "", {{"a", "长河笔记"}}, 0},
              {"210", "  ", "", {{"a", "上海"}, {"c", "上海译文出版社"}, {"d", "2019"}}, 0},
              {"300", "  ", "", {{"a", "馆藏签名本"}}, 0},
              {"801", " 0", "", {{"a", "CN"}, {"b", "110001"}, {"c", "20261205"}}, 0},
              {"905", "  ", "", {{"a", "110001"}, {"d", "I247.5"}}, 0}};
  return r;
}

Record Copied(bool withPrice, const std::string& publisher, const std::string& year) {
  Record r = Book("长河笔记", {{"005", "", "20240101120000.0", {}, 0},
                             {"100", "  ", "", {{"a", "20240101d2019    em y0chiy50      ea"}}, 0},
                             {"210", "  ", "", {{"a", "上海"}, {"c", publisher}, {"d", year}}, 0},
                             {"606", "0 ", "", {{"a", "小说"}}, 0},
                             {"801", " 0", "", {{"a", "CN"}, {"b", "CATLIB"}, {"c", "20240101"}}, 0},
                             {"905", "  ", "", {{"a", "CATLIB"}, {"d", "TheirShelf"}}, 0}});
  std::vector<iso2709::Subfield> isbn = {{"a", "978-7-5327-0042-7"}};
  if (withPrice) isbn.push_back({"d", "CNY39.00"});
  r.fields.push_back({"010", "  ", "", isbn, 0});
  return r;
}

TEST(Merge, TheCataloguesRecordWithWhatIsLocal) {
  struct Case {
    bool recordHasPrice, always;
    const char* price;
  };
  const Case cases[] = {{false, false, "CNY45.00"}, {true, false, "CNY39.00"}, {true, true, "CNY45.00"}};
  for (const Case& c : cases) {
    Record out;
    std::vector<convert::Finding> findings;
    MergeRecords(Copied(c.recordHasPrice, "上海译文出版社", "2019"), Own(), {"NLC", c.always}, out, findings);
    EXPECT_EQ(iso2709::Listing(out),
              std::string("00000nam0 22000001  450 \n"
                          "001 20261205233600000001\n"
                          "010    $a 978-7-5327-0042-7 $d ") + c.price + "\n"
                          "035    $a (NLC)CAT000042\n"
                          "100    $a 20240101d2019    em y0chiy0110    ea\n"
                          "200 1  $a 长河笔记 $e 副题 $h 第2卷\n"
                          "210    $a 上海 $c 上海译文出版社 $d 2019\n"
                          "300    $a 馆藏签名本\n"
                          "606 0  $a 小说\n"
                          "801  0 $a CN $b CATLIB $c 20240101\n"
                          "801  2 $a CN $b 110001 $c 20261205\n"
                          "905    $a 110001 $d I247.5\n")
        << c.price;
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].kind, convert::Kind::CopiedFrom);
    EXPECT_EQ(findings[0].values, (std::vector<std::string>{"NLC", "CAT000042"}));
  }
}

TEST(Merge, PublisherAndYearThatDifferAreNotes) {
  Record out;
  std::vector<convert::Finding> findings;
  MergeRecords(Copied(true, "人民文学出版社", "c2018"), Own(), {"NLC", false}, out, findings);
  ASSERT_EQ(findings.size(), 3u);
  EXPECT_EQ(findings[0].kind, convert::Kind::CopyConflict);
  EXPECT_EQ(findings[0].field, "210 $c");
  EXPECT_EQ(findings[1].field, "210 $d");
  EXPECT_EQ(findings[1].values, (std::vector<std::string>{"2019", "2018"}));
  EXPECT_EQ(findings[0].level, convert::Level::Note);
  findings.clear();
  MergeRecords(Copied(true, "上海 译文出版社", "2019.5"), Own(), {"NLC", false}, out, findings);
  EXPECT_EQ(findings.size(), 1u) << "blanks and the month do not make a conflict";
}

TEST(Cache, KeepsAnswersUntilTheyAreTooOld) {
  const std::string path = test::TempPath("cache/catalogue.db");
  std::filesystem::remove_all(std::filesystem::path(path).parent_path());
  const std::int64_t day = 86400, now = 1'800'000'000;
  {
    Cache cache(path, 30, now);
    ASSERT_TRUE(cache.open());
    cache.Put("z3950://h:210/db", "9787532700011", {"rec\x1D" "one", std::string("two\0", 4)});
    cache.Put("z3950://h:210/db", "9787532700028", {});
  }
  Cache later(path, 30, now + 29 * day);
  EXPECT_EQ(later.Get("z3950://h:210/db", "9787532700011"),
            (std::vector<std::string>{"rec\x1D" "one", std::string("two\0", 4)}));
  EXPECT_EQ(later.Get("z3950://h:210/db", "9787532700028"), std::vector<std::string>{}) << "not found is kept too";
  EXPECT_FALSE(later.Get("z3950://other:210/db", "9787532700011"));
  Cache tooLate(path, 30, now + 31 * day);
  EXPECT_FALSE(tooLate.Get("z3950://h:210/db", "9787532700011"));
  Cache none("", 30, now);
  EXPECT_FALSE(none.open());
  EXPECT_FALSE(none.Get("z3950://h:210/db", "9787532700011"));
  Cache unusable("/proc/rowcaster/catalogue.db", 30, now);
  EXPECT_FALSE(unusable.open()) << "no cache, no error";
  std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}

}  // namespace
}  // namespace rowcaster::catalogue
