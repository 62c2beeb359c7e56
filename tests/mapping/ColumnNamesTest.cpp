// Column names to subfield codes, on the headers cataloguers' tables really have, checked against
// the columns' values.
#include "mapping/ColumnNames.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "TestPaths.h"
#include "import/DataFile.h"
#include "mapping/MarcFields.h"
#include "platform/data/TableReader.h"

namespace rowcaster::mapping {
namespace {

std::shared_ptr<import::LoadedTable> LoadFirstTable(const std::string& path) {
  const auto parts = import::SplitPath(path);
  const std::string kind = import::KindOfPath(path);
  auto reader = data::InProcessReader();
  const auto connection = import::ConnectionStringFor(kind, path, parts->folder);
  const auto tables = import::OfferedTables(kind, reader->ReadCatalogue(connection));
  return import::LoadTable(*reader, kind, connection, import::QueryTextFor(kind, tables.at(0), parts->fileName));
}

// The mapping --map-by-name gives a table: columns named like a code, then by their names.
std::vector<std::string> MappedByNames(const import::LoadedTable& table, NameMapping* byName = nullptr) {
  std::vector<std::string> mapping = import::PrefilledMapping(table.FieldNames(), DefaultMarcCodeList());
  NameMapping result = MapByColumnNames(table.FieldNames(), SampleColumns(table), mapping);
  if (byName) *byName = std::move(result);
  return mapping;
}

TEST(ColumnNames, NamesInChineseAndEnglishWhateverTheirWidthCaseAndSeparators) {
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
      // The names shops, vendors and library systems export.
      {"name", "200a"},    {"bookname", "200a"}, {"BName", "200a"},     {"book_name", "200a"}, {"Book Name", "200a"},
      {"标题", "200a"},    {"图书名称", "200a"}, {"publishing", "210c"}, {"pubcomp", "210c"},  {"Publish", "210c"},
      {"press", "210c"},   {"出版", "210c"},     {"publisheddate", "210d"}, {"Publish_Time", "210d"},
      {"pubdate", "210d"}, {"pub_date", "210d"}, {"page", "215a"},      {"页码", "215a"},      {"introduction", "330a"},
      {"Intro", "330a"},   {"内容提要", "330a"}, {"clnum", "690a"},     {"Class", "690a"},     {"中图号", "690a"},
      {"中图法分类号", "690a"}, {"stock", "905f"}, {"BCount", "905f"},  {"count", "905f"},     {"数量", "905f"},
      {"库存", "905f"},    {"藏书量", "905f"},   {"isbn13", "010a"},    {"ISBN10", "010a"},    {"ISBN号", "010a"},
      {"Translator", "200g"}, {"place", "210a"}, {"size", "215d"},      {"书名*", "200a"},     {"[ISBN]", "010a"},
  };
  for (const auto& [name, code] : cases) EXPECT_EQ(CodeForColumnName(name), std::optional<std::string>(code)) << name;
  for (const char* none : {"序号", "封面", "图片", "折扣", "discount", "id", "", "F7", "类别", "category", "品相", "书名称呼"})
    EXPECT_EQ(CodeForColumnName(none), std::nullopt) << none;
}

// A column that names a kind of book is offered codes, never given one; a translator column's names
// are translators.
TEST(ColumnNames, CategoriesAreOfferedAndTranslatorsHaveTheirRole) {
  for (const char* category : {"类别", "种类", "类型", "分类", "booktype", "Book Type", "Category"})
    EXPECT_EQ(OfferedCodesFor(category), (std::vector<std::string>{"690a", "606a"})) << category;
  for (const char* other : {"书名", "分类号", "中图分类", "class", ""}) EXPECT_TRUE(OfferedCodesFor(other).empty()) << other;
  for (const char* translator : {"译者", "Translator", "translators", "翻译"}) EXPECT_EQ(RoleOfColumnName(translator), "译");
  for (const char* other : {"其他责任者", "作者", "类别", "序号"}) EXPECT_EQ(RoleOfColumnName(other), "") << other;
  // Both lines of 200g are its names.
  const auto names = ColumnNamesFor("200g");
  EXPECT_NE(std::find(names.begin(), names.end(), "译者"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "其他责任者"), names.end());
  EXPECT_TRUE(ColumnNamesFor("?690a").empty());
}

TEST(ColumnNames, NoCodeTwiceAndExactCodesFirst) {
  std::vector<std::string> names = {"书名", "题名", "200a", "作者", "著者", "ISBN"};
  std::vector<std::string> mapping = import::PrefilledMapping(names, DefaultMarcCodeList());
  const NameMapping byName = MapByColumnNames(names, {}, mapping);
  EXPECT_EQ(mapping, (std::vector<std::string>{"", "", "200a", "200f", "", "010a"}));
  EXPECT_EQ(byName.named, (std::vector<std::size_t>{3, 5}));
  // Every code of the names file is one of the 38 the pick list offers.
  for (const auto& entry : MarcFieldEntries()) EXPECT_FALSE(ColumnNamesFor(entry.substr(0, 4)).empty()) << entry;
}

// Values that fit their code and values that do not; a column fits when half of its values do.
TEST(ColumnValues, EachCodesValuesAreChecked) {
  struct Case {
    const char* code;
    std::vector<std::string> values;
    Misfit misfit;
    std::string example;
  };
  const Case cases[] = {
      {"200a", {"银行会计", "1984", "2001太空漫游"}, Misfit::None, ""},
      {"200a", {"1", "2", "3", "书"}, Misfit::OnlyNumbers, "1"},
      {"200a", {"1", "2", "书", "书"}, Misfit::None, ""},  // half is enough
      {"200a", {"35.00", "2019-05-01", "¥12", "１２"}, Misfit::OnlyNumbers, "35.00"},
      {"210c", {"2019-05", "2020年3月", "清华大学出版社"}, Misfit::OnlyNumbers, "2019-05"},
      {"215a", {"35.00", "¥42", "18元", "320"}, Misfit::Prices, "35.00"},
      {"215a", {"42.5", "RMB 30", "320", "200页"}, Misfit::None, ""},
      {"215a", {"320", "xii, 320页", "320p", "99999"}, Misfit::None, ""},
      {"215a", {"精装", "平装", "320"}, Misfit::NoPageCount, "精装"},
      {"215a", {"ISBN9787302123453", "无", "320"}, Misfit::NoPageCount, "ISBN9787302123453"},
      {"010a", {"978-7-302-12345-3", "7302256845", "7-5327-1234-X", "ISBN 978 7 02 103518 1"}, Misfit::None, ""},
      {"010a", {"10019·3456", "123456789", "978730212345", "无"}, Misfit::NoIsbn, "10019·3456"},
      {"010a", {"９７８７３０２１２３４５３", "无"}, Misfit::None, ""},
      {"210d", {"2019", "2019-05-01", "20190501", "201905", "43101", "一九八二年", "二〇一九"}, Misfit::None, ""},
      {"210d", {"第1版第1次印刷", "1版3印", "1399", "2100年", "5月"}, Misfit::NoYear, "第1版第1次印刷"},
      {"010d", {"面议", "议价", "35.00"}, Misfit::NoNumber, "面议"},
      {"010d", {"CNY35.00", "￥１２", "面议"}, Misfit::None, ""},
      {"690a", {"I247.5", "TP312", "K", "tp3"}, Misfit::None, ""},
      {"690a", {"文学", "小说", "Art", "I247"}, Misfit::NoClassNumber, "文学"},
      {"905f", {"3", "12册", "0", "5本"}, Misfit::None, ""},
      {"905f", {"有", "缺", "3.5", "123456"}, Misfit::NoCount, "有"},
      {"215d", {"大", "小", "16开"}, Misfit::NoNumber, "大"},
      // Codes whose values are not checked, and no values at all.
      {"205a", {"1", "2"}, Misfit::None, ""},
      {"300a", {"1", "2"}, Misfit::None, ""},
      {"200a", {}, Misfit::None, ""},
  };
  for (const Case& c : cases) {
    const ValueCheck check = CheckValues(c.code, c.values);
    EXPECT_EQ(check.misfit, c.misfit) << c.code << " " << c.values.front();
    EXPECT_EQ(check.example, c.example) << c.code;
  }
}

// A sample is the first non-empty cells of each column, trimmed, as many as asked, from at most
// as many rows as asked.
TEST(ColumnValues, SamplesTakeTheFirstNonEmptyCells) {
  import::LoadedTable table({"a", "b", "c"});
  for (int r = 0; r < 10; ++r)
    table.AppendRow(std::vector<std::string>{std::to_string(r), r % 3 == 0 ? " x" + std::to_string(r) + " " : "", ""});
  const ColumnSamples three = SampleColumns(table, 3, 100);
  ASSERT_EQ(three.size(), 3u);
  EXPECT_EQ(three[0], (std::vector<std::string>{"0", "1", "2"}));
  EXPECT_EQ(three[1], (std::vector<std::string>{"x0", "x3", "x6"}));
  EXPECT_TRUE(three[2].empty());
  const ColumnSamples fourRows = SampleColumns(table, 300, 4);
  EXPECT_EQ(fourRows[0].size(), 4u);
  EXPECT_EQ(fourRows[1], (std::vector<std::string>{"x0", "x3"}));
  EXPECT_EQ(SampleColumns(table, 300, 100)[1].size(), 4u);
}

// A column whose values do not fit is not mapped and is named with its code and why; the code stays
// free for the next column named for it. Category columns are only offered.
TEST(ColumnNames, ValuesDecideBetweenColumnsNamedForOneCode) {
  const std::vector<std::string> names = {"title", "book_name", "页码", "类别", "定价"};
  const ColumnSamples samples = {{"1", "2", "3"}, {"银行会计", "长江三峡"}, {"35.00", "42.50"}, {"文学"}, {"25.00"}};
  std::vector<std::string> mapping(names.size());
  const NameMapping byName = MapByColumnNames(names, samples, mapping);
  EXPECT_EQ(mapping, (std::vector<std::string>{"", "200a", "", "", "010d"}));
  EXPECT_EQ(byName.named, (std::vector<std::size_t>{1, 4}));
  ASSERT_EQ(byName.rejected.size(), 2u);
  EXPECT_EQ(byName.rejected[0].column, 0u);
  EXPECT_EQ(byName.rejected[0].code, "200a");
  EXPECT_EQ(byName.rejected[0].why, Misfit::OnlyNumbers);
  EXPECT_EQ(byName.rejected[0].example, "1");
  EXPECT_EQ(byName.rejected[1].column, 2u);
  EXPECT_EQ(byName.rejected[1].why, Misfit::Prices);
  ASSERT_EQ(byName.offered.size(), 1u);
  EXPECT_EQ(byName.offered[0].column, 3u);
  EXPECT_EQ(byName.offered[0].codes, (std::vector<std::string>{"690a", "606a"}));
  // A column already mapped is left as it is, values or not.
  std::vector<std::string> given = {"200a", "", "215a", "", ""};
  const NameMapping kept = MapByColumnNames(names, samples, given);
  EXPECT_EQ(given, (std::vector<std::string>{"200a", "", "215a", "", "010d"}));
  EXPECT_TRUE(kept.rejected.empty());
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
  for (const Case& c : cases) EXPECT_EQ(MappedByNames(*LoadFirstTable(test::SourceFile("fixtures/" + std::string(c.file)))), c.expected) << c.file;
}

// The tables of fixtures/headers (shop, vendor, distributor and library system exports written by
// Python's csv module and openpyxl) against their truth files: every column with a subfield is
// mapped, none wrongly; the columns whose values do not fit are named with their code, category
// columns offered.
TEST(ColumnNames, MapEveryHeaderTableAsItsTruthSays) {
  const std::filesystem::path folder = test::SourceFile("fixtures/headers");
  int tables = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string file = entry.path().filename().string();
    const std::size_t dot = file.find('.');
    if (file.substr(dot) != ".csv" && file.substr(dot) != ".xlsx") continue;
    SCOPED_TRACE(file);
    ++tables;
    std::ifstream truthFile(folder / (file.substr(0, dot) + ".truth.tsv"));
    ASSERT_TRUE(truthFile) << "no truth file";
    const auto table = LoadFirstTable(entry.path().string());
    NameMapping byName;
    const std::vector<std::string> mapping = MappedByNames(*table, &byName);
    std::map<std::size_t, std::string> how;  // what the mapping says of the columns it did not map
    for (const auto& r : byName.rejected) how[r.column] = "rejected " + r.code;
    for (const auto& o : byName.offered) how[o.column] = "offered";
    std::string line;
    std::getline(truthFile, line);  // the header
    std::size_t column = 0;
    for (; std::getline(truthFile, line); ++column) {
      const std::size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
      ASSERT_LT(column, mapping.size());
      EXPECT_EQ(table->FieldNames()[column], line.substr(0, tab1));
      EXPECT_EQ(mapping[column], line.substr(tab1 + 1, tab2 - tab1 - 1)) << line;
      EXPECT_EQ(how[column], line.substr(tab2 + 1)) << line;
    }
    EXPECT_EQ(column, table->FieldNames().size());
  }
  EXPECT_GE(tables, 9);
}

}  // namespace
}  // namespace rowcaster::mapping
