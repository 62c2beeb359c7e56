// Column names to subfield codes, on the headers cataloguers' tables really have.
#include "mapping/ColumnNames.h"

#include <gtest/gtest.h>

#include "TestPaths.h"
#include "import/DataFile.h"
#include "mapping/MarcFields.h"
#include "platform/data/TableReader.h"

namespace rowcaster::mapping {
namespace {

TEST(ColumnNames, NamesInChineseAndEnglishWhateverTheirWidthAndCase) {
  const std::pair<const char*, const char*> cases[] = {
      {"书名", "200a"},    {"题名", "200a"},      {"正题名", "200a"},    {"ISBN", "010a"},      {"ＩＳＢＮ", "010a"},
      {"isbn ", "010a"},   {"ISBN-13", "010a"},   {"书号", "010a"},      {"国际标准书号", "010a"}, {"定价", "010d"},
      {"价 格", "010d"},   {"单价", "010d"},      {"作者", "200f"},      {"著者", "200f"},      {"责任者", "200f"},
      {"编者", "200f"},    {"译者", "200g"},      {"出版社", "210c"},    {"出版者", "210c"},    {"出版单位", "210c"},
      {"出版地", "210a"},  {"出版日期", "210d"},  {"出版时间", "210d"},  {"出版年", "210d"},    {"页数", "215a"},
      {"开本", "215d"},    {"尺寸", "215d"},      {"装帧", "010b"},      {"丛书", "225a"},      {"丛书名", "225a"},
      {"分类号", "690a"},  {"中图分类号", "690a"}, {"主题词", "606a"},   {"内容简介", "330a"},  {"摘要", "330a"},
      {"简介", "330a"},    {"附注", "300a"},      {"条码", "905b"},      {"条形码", "905b"},    {"索书号", "905d"},
      {"复本", "905f"},    {"册数", "905f"},      {"版次", "205a"},      {"语种", "101a"},      {"Title", "200a"},
      {"AUTHOR", "200f"},  {"Publisher", "210c"}, {"Price", "010d"},     {"Pages", "215a"},     {"Series", "225a"},
      {"Barcode", "905b"}, {"Call Number", "905d"}, {"Subject", "606a"}, {"Summary", "330a"},   {"Edition", "205a"},
      {"Language", "101a"}, {"（丛书名）", "225a"},
  };
  for (const auto& [name, code] : cases) EXPECT_EQ(CodeForColumnName(name), std::optional<std::string>(code)) << name;
  for (const char* none : {"序号", "封面", "图片", "库存", "折扣", "id", "", "F7"})
    EXPECT_EQ(CodeForColumnName(none), std::nullopt) << none;
}

TEST(ColumnNames, NoCodeTwiceAndExactCodesFirst) {
  std::vector<std::string> names = {"书名", "题名", "200a", "作者", "著者", "ISBN"};
  std::vector<std::string> mapping = import::PrefilledMapping(names, DefaultMarcCodeList());
  MapByColumnNames(names, mapping);
  EXPECT_EQ(mapping, (std::vector<std::string>{"", "", "200a", "200f", "", "010a"}));
  // Every code of the names file is one of the 38 the pick list offers.
  for (const auto& entry : MarcFieldEntries()) EXPECT_FALSE(ColumnNamesFor(entry.substr(0, 4)).empty()) << entry;
}

// The headers of the messy test tables (a vendor list, a small library's export): every column
// that has a subfield is mapped, and none wrongly.
TEST(ColumnNames, MapTheRealHeadersOfTheTestTables) {
  struct Case {
    const char* file;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"messy_vendor.xls", {"", "200a", "200f", "010a", "010d", "210c", "210d", "330a", "215a", "215d", ""}},
      {"messy_library.xls",
       {"200a", "200f", "010a", "010d", "210a", "210c", "210d", "225a", "690a", "606a", "300a", "905b"}},
      {"sheetjs_biff8.xls", {"200a", "010a", "010d", "210d", "200f", "210c", "300a"}},
  };
  for (const Case& c : cases) {
    const std::string path = test::SourceFile("fixtures/" + std::string(c.file));
    const auto parts = import::SplitPath(path);
    const std::string kind = import::KindOfPath(path);
    auto reader = data::InProcessReader();
    const auto connection = import::ConnectionStringFor(kind, path, parts->folder);
    const auto tables = import::OfferedTables(kind, reader->ReadCatalogue(connection));
    const auto table = import::LoadTable(*reader, kind, connection, import::QueryTextFor(kind, tables.at(0), parts->fileName));
    std::vector<std::string> mapping = import::PrefilledMapping(table->FieldNames(), DefaultMarcCodeList());
    MapByColumnNames(table->FieldNames(), mapping);
    EXPECT_EQ(mapping, c.expected) << c.file;
  }
}

}  // namespace
}  // namespace rowcaster::mapping
