// The readers on real files written by other programs: SheetJS, LibreOffice, DBFFile, Excel,
// Access and FoxPro files from other projects' test data.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <chrono>
#include <cstring>
#include <map>
#include <random>
#include <set>

#include "TestPaths.h"
#include "import/DataFile.h"
#include "platform/data/CsvSource.h"
#include "platform/data/TableReader.h"
#include "platform/data/SheetRows.h"
#include "platform/data/XlsSource.h"
#include "platform/data/XlsxSource.h"

#include <gsf/gsf.h>
#include <unicode/ucnv.h>

namespace rowcaster::data {
namespace {

std::string Fixture(const std::string& name) { return test::SourceFile("fixtures/" + name); }

std::string ConnectionFor(const std::string& path) {
  const std::string kind = import::KindOfPath(path);
  return import::ConnectionStringFor(kind, path, import::SplitPath(path)->folder);
}

struct Read {
  std::vector<std::string> names;
  std::vector<std::vector<std::string>> rows;
  std::optional<std::int64_t> count;
};

class Collect : public TableSink {
 public:
  explicit Collect(Read& r) : r_(r) {}
  void Begin(const std::vector<std::string>& names, std::optional<std::int64_t> count) override {
    r_.names = names;
    r_.count = count;
  }
  void Row(const std::vector<std::string_view>& values) override {
    r_.rows.emplace_back(values.begin(), values.end());
  }

 private:
  Read& r_;
};

Read ReadTable(const std::string& file, const std::string& table = "") {
  const std::string path = Fixture(file);
  const std::string kind = import::KindOfPath(path);
  const auto parts = import::SplitPath(path);
  Read r;
  Collect sink(r);
  InProcessReader()->ReadTable(ConnectionFor(path), import::QueryTextFor(kind, table, parts->fileName), sink);
  return r;
}

std::vector<std::string> Offered(const std::string& file) {
  const std::string path = Fixture(file);
  return import::OfferedTables(import::KindOfPath(path), InProcessReader()->ReadCatalogue(ConnectionFor(path)));
}

using Rows = std::vector<std::vector<std::string>>;

const Rows kBooks = {
    {"银行会计学", "9787501234567", "25.5", "2005-03-01", "张三主编", "世界知识出版社", ""},
    {"长江三峡", "978-7-5327-1234-5", "30", "1999-12-31 12:30:00", "李四著,王五", "上海译文出版社", "含“引号”与\t制表符"},
    {"C++程序设计", "7530112345", "0.1", "", "", "", "第二行\n换行"},
    {"", "", "", "", "", "", ""},
    {"最后一行", "1000000000000000000000", "-3.25", "not a date", "x", "y", "z"},
};

TEST(Xls, WorkbooksFromSheetJsAndLibreOffice) {
  for (const char* file : {"sheetjs_biff8.xls", "libreoffice_biff8.xls"}) {
    SCOPED_TRACE(file);
    EXPECT_EQ(Offered(file), (std::vector<std::string>{"图书$", "Sheet 2$", "空表$", "it's $$"}));
    const Read books = ReadTable(file, "图书$");
    EXPECT_EQ(books.names, (std::vector<std::string>{"200a", "010a", "010d", "210d", "200f", "210c", "note"}));
    EXPECT_EQ(books.rows, kBooks);
    EXPECT_EQ(books.count, 5);
    const Read blank = ReadTable(file, "Sheet 2$");
    EXPECT_EQ(blank.names, (std::vector<std::string>{"Title", "F2", "Price"}));
    EXPECT_EQ(blank.rows, (Rows{{"A", "b", "1"}, {"C", "d", "2"}}));
    const Read empty = ReadTable(file, "空表$");
    EXPECT_EQ(empty.names, (std::vector<std::string>{"200a", "010a"}));
    EXPECT_TRUE(empty.rows.empty());
    EXPECT_EQ(ReadTable(file, "it's $$").rows, (Rows{{"1"}}));
  }
}

TEST(Xls, Biff5FromSheetJs) {
  // SheetJS writes BIFF5 text in Latin-1 and puts "_" for what it cannot.
  const Read r = ReadTable("sheetjs_biff5.xls", "Sheet 2$");
  EXPECT_EQ(r.rows, (Rows{{"A", "b", "1"}, {"C", "d", "2"}}));
  const Read books = ReadTable("sheetjs_biff5.xls", "__$");
  ASSERT_EQ(books.rows.size(), 5u);
  EXPECT_EQ(books.rows[0][1], "9787501234567");
  EXPECT_EQ(books.rows[1][3], "1999-12-31 12:30:00");
}

TEST(Xls, RealWorkbooks) {
  struct Case {
    const char* file;
    const char* table;
    std::vector<std::string> names;
    std::size_t rows;
    std::vector<std::string> firstRow;
  };
  const Case cases[] = {
      {"shared/xls/poi_chinese-provinces_zh-CN_tiny.xls", "provinces$", {"Provinces in China", "Chinese Name"}, 3,
       {"Anhui", "安徽省"}},
      {"shared/xls/calamine_issue219_cn-sheetname.xls", "工作表1$", {"a"}, 0, {}},
      {"shared/xls/calamine_date_1900-system.xls", "Sheet1$", {"2021-01-01", "15"}, 2, {"2021-01-02", "16"}},
      {"shared/xls/calamine_date_1904-system.xls", "Sheet1$", {"2021-01-01", "15"}, 2, {"2021-01-02", "16"}},
      {"shared/xls/calamine_issues_datatypes-multisheet.xls", "datatypes$", {"1"}, 5, {"1.5"}},
      {"shared/xls/xlrd_ragged_rows-of-unequal-length.xls", "Sheet1$", {"a", "b", "c", "F4"}, 4, {"d", "e", "", ""}},
      {"shared/xls/calamine_empty-string.xls", "Sheet1$", {"F1", "False"}, 0, {}},
      {"shared/xls/poi_59074_biff5_no-codepage-record.xls", "MISSINGDATA$", {}, 18, {}},
      {"shared/xls/calamine_biff5_write_biff5_macroman-codepage_date.xls", "SheetJS$", {"1", "2", "3", "F4"}, 3,
       {"True", "False", "", "sheetjs"}},
      {"shared/xls/poi_12843-2_zh-TW_4sheets.xls", "categories$", {}, 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const Read r = ReadTable(c.file, c.table);
    if (!c.names.empty()) {
      EXPECT_EQ(r.names, c.names);
    }
    if (c.file != std::string("shared/xls/poi_12843-2_zh-TW_4sheets.xls")) {
      EXPECT_EQ(r.rows.size(), c.rows);
    }
    if (!c.firstRow.empty()) {
      ASSERT_FALSE(r.rows.empty());
      EXPECT_EQ(r.rows[0], c.firstRow);
    }
  }
  // A shared-string table split across CONTINUE records.
  const Read sst = ReadTable("shared/xls/calamine_sst_continue_sst-split-by-continue.xls", "Sheet1$");
  ASSERT_EQ(sst.rows.size(), 135u);
  // The file's 135th string really is cut short; the next one starts in the CONTINUE record.
  EXPECT_EQ(sst.rows[133][0], "This is a long string with a serial num");
  EXPECT_EQ(sst.rows[134][0], "New CONTINUE block");
  for (std::size_t i = 0; i < 133; ++i) {
    char want[80];
    std::snprintf(want, sizeof want, "This is a long string with a serial number at the end %04zu", i + 2);
    ASSERT_EQ(sst.rows[i][0], want);
  }
  const Read tw = ReadTable("shared/xls/poi_12843-2_zh-TW_4sheets.xls", "questions$");
  EXPECT_EQ(tw.rows[0][1], "以下哪一項說法是對的？");
  EXPECT_EQ(ReadTable("shared/xls/calamine_issues_datatypes-multisheet.xls", "datatypes$").rows,
            (Rows{{"1.5"}, {"ab"}, {"False"}, {"test"}, {"2016-10-20"}}));
}

TEST(Xls, CatalogueOffersEveryWorksheetButNoChart) {
  EXPECT_EQ(Offered("shared/xls/calamine_any_sheets_hidden-veryhidden-chart.xls"),
            (std::vector<std::string>{"Visible$", "Hidden$", "VeryHidden$"}));
  EXPECT_EQ(Offered("shared/xls/poi_19599-2_zh-CN_2sheets-cn-names_merged_627rows.xls"),
            (std::vector<std::string>{"汇总$", "订阅上行列表$"}));
  EXPECT_EQ(Offered("shared/xls/xlrd_Formate_date-formats_umlaut-sheetnames.xls"),
            (std::vector<std::string>{"Blätt1$", "ÖÄÜ$", "Blätt3$", "Formate$"}));
}

// The catalogue is read from the workbook globals alone: it is the whole stream's, for every .xls
// the tests have, damaged ones included (the same tables, or a read error from both).
TEST(Xls, TheCatalogueOfTheGlobalsIsTheWholeWorkbooks) {
  std::vector<std::filesystem::path> files;
  for (const char* folder : {"fixtures", "fixtures/shared/xls"})
    for (const auto& e : std::filesystem::directory_iterator(test::SourceFile(folder)))
      if (e.path().extension() == ".xls") files.push_back(e.path());
  ASSERT_GT(files.size(), 20u);
  const auto tables = [](const std::string& stream) {
    std::vector<std::string> names;
    try {
      for (const auto& row : WorkbookConnection<XlsWorkbook>(stream).Tables()) names.push_back(row.tableName);
    } catch (const DataError& e) {
      names.push_back(std::string("error: ") + e.what());
    }
    return names;
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file.string());
    std::string whole;
    try {
      whole = ReadWorkbookStream(file.string());
    } catch (const DataError&) {
      EXPECT_THROW(OpenXls(file.string())->Tables(), DataError);
      EXPECT_THROW(MapWorkbookStream(file.string()), DataError);
      continue;
    }
    // The stream seen where the file is mapped holds the same bytes as the one read.
    EXPECT_EQ(MapWorkbookStream(file.string()).bytes(), whole);
    const std::string globals = ReadWorkbookStream(file.string(), true);
    EXPECT_LE(globals.size(), whole.size());
    EXPECT_EQ(whole.compare(0, globals.size(), globals), 0) << "a prefix of the stream";
    EXPECT_EQ(tables(globals), tables(whole));
  }
}

// A worksheet as a table: its names, its count, its rows; or the read error.
struct SheetTable {
  std::vector<std::string> names;
  std::int64_t count = -1;
  std::vector<std::vector<std::string>> rows;
  std::string error;
  bool operator==(const SheetTable&) const = default;
};
SheetTable TableOf(const std::function<std::unique_ptr<RowSet>()>& open) {
  SheetTable t;
  try {
    auto rows = open();
    t.names = rows->FieldNames();
    t.count = rows->RecordCount().value_or(-2);
    for (std::vector<std::string> values; rows->Next(values);) t.rows.push_back(values);
  } catch (const DataError& e) {
    t.error = e.what();
  }
  return t;
}

// Sheets whose rows come in order are handed out while they are read; every sheet of every .xls
// the tests have reads so exactly as when it is read whole first.
TEST(Xls, SheetsReadWhileTakenReadAsReadWhole) {
  std::size_t sheets = 0;
  for (const char* folder : {"fixtures", "fixtures/shared/xls"})
    for (const auto& e : std::filesystem::directory_iterator(test::SourceFile(folder))) {
      if (e.path().extension() != ".xls") continue;
      SCOPED_TRACE(e.path().string());
      std::unique_ptr<XlsWorkbook> book;
      try {
        book = std::make_unique<XlsWorkbook>(ReadWorkbookStream(e.path().string()));
      } catch (const DataError&) {
        continue;  // damaged before any sheet
      }
      for (const XlsSheet& sheet : book->Sheets()) {
        if (!sheet.worksheet) continue;
        SCOPED_TRACE(sheet.name);
        const SheetTable streamed = TableOf([&] { return book->SheetRows(sheet); });
        EXPECT_TRUE(streamed == TableOf([&] { return book->WholeSheetRows(sheet); }));
        ++sheets;
      }
    }
  EXPECT_GT(sheets, 30u);
}

// A BIFF8 workbook stream of one sheet holding `cells` (records of the sheet's substream).
std::string Biff8(const std::vector<std::pair<std::uint16_t, std::string>>& cells, const std::string& sst = {}) {
  const auto u16 = [](std::uint32_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)}; };
  const auto rec = [&](std::uint16_t type, const std::string& data) { return u16(type) + u16(static_cast<std::uint32_t>(data.size())) + data; };
  const std::string bof = rec(0x0809, u16(0x0600) + u16(0x0005) + std::string(12, '\0'));
  std::string globals = bof + rec(0x0042, u16(1200));
  if (!sst.empty()) globals += rec(0x00FC, sst);
  const std::string name("\x01\x00S", 3);  // cch 1, not wide, "S"
  const std::size_t sheetAt = globals.size() + 4 + 6 + name.size() + 4;
  globals += rec(0x0085, u16(sheetAt & 0xFFFF) + u16(sheetAt >> 16) + std::string("\x00\x00", 2) + name) + rec(0x000A, "");
  std::string sheet = rec(0x0809, u16(0x0600) + u16(0x0010) + std::string(12, '\0'));
  for (const auto& [type, data] : cells) sheet += rec(type, data);
  return globals + sheet + rec(0x000A, "");
}

// Generated sheets of every shape read while taken as they read whole: rows with gaps, out of
// order (read whole then), a first column past A, a place written twice, every kind of cell record,
// a chart's substream inside the sheet, and damage part way.
TEST(Xls, GeneratedSheetsReadWhileTakenReadAsReadWhole) {
  const auto u16 = [](std::uint32_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)}; };
  const auto u32 = [&](std::uint32_t v) { return u16(v & 0xFFFF) + u16(v >> 16); };
  const auto place = [&](int row, int col) { return u16(row) + u16(col) + u16(0); };
  const auto label = [&](const std::string& latin1) { return u16(static_cast<std::uint32_t>(latin1.size())) + std::string(1, '\0') + latin1; };
  // Three shared strings: 书, "题名", "".
  const std::string sst = u32(3) + u32(3) + u16(1) + "\x01" + u16(0x4E66) + u16(2) + "\x01" + u16(0x9898) + u16(0x540D) + u16(0) + std::string(1, '\0');
  std::mt19937 rng(20261207);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::size_t streamedSheets = 0;
  for (int n = 0; n < 60; ++n) {
    SCOPED_TRACE(n);
    std::vector<std::pair<std::uint16_t, std::string>> cells;
    const int rows = pick(0, 40), firstCol = pick(0, 3), lastCol = firstCol + pick(0, 6);
    for (int r = pick(0, 2); r < rows; r += pick(1, 3)) {
      for (int c = firstCol; c <= lastCol; ++c) {
        if (pick(0, 3) == 0) continue;
        const std::string at = u16(r) + u16(c);
        switch (pick(0, 8)) {
          case 0: cells.emplace_back(0x00FD, at + u16(0) + u32(pick(0, 3))); break;  // index 3: none
          case 1: cells.emplace_back(0x0204, at + u16(0) + label("r" + std::to_string(r) + "c" + std::to_string(c))); break;
          case 2: {
            double v = pick(-500, 500) / 4.0;
            std::string bits(8, '\0');
            std::memcpy(bits.data(), &v, 8);
            cells.emplace_back(0x0203, at + u16(0) + bits);
            break;
          }
          case 3: cells.emplace_back(0x027E, at + u16(0) + u32(static_cast<std::uint32_t>(pick(0, 9999)) << 2 | 2)); break;
          case 4: cells.emplace_back(0x0205, at + u16(0) + std::string(1, static_cast<char>(pick(0, 1))) + std::string(1, static_cast<char>(pick(0, 1)))); break;
          case 5: {  // a formula with a text result, then its STRING
            cells.emplace_back(0x0006, at + u16(0) + std::string(1, '\0') + std::string(5, '\0') + u16(0xFFFF) + std::string(8, '\0'));
            cells.emplace_back(0x0207, label("f" + std::to_string(r)));
            break;
          }
          case 6: cells.emplace_back(0x00BD, at + u16(0) + u32(8 << 2 | 2) + u16(0) + u32(9 << 2 | 2) + u16(c + 1)); break;
          case 7: cells.emplace_back(0x0204, at + u16(0) + label("")); break;
          default: cells.emplace_back(0x0204, at + u16(0) + label("again")); cells.emplace_back(0x0204, at + u16(0) + label("later")); break;
        }
      }
      if (n % 7 == 3 && r == 5) {  // a chart inside the sheet, whose records are not the sheet's
        cells.emplace_back(0x0809, u16(0x0600) + u16(0x0020) + std::string(12, '\0'));
        cells.emplace_back(0x0204, place(r, 0).substr(0, 4) + u16(0) + label("chart"));
        cells.emplace_back(0x000A, "");
      }
    }
    if (n % 5 == 1 && cells.size() > 3) std::swap(cells[1], cells[cells.size() - 2]);  // rows out of order
    if (n % 11 == 4 && !cells.empty()) cells.emplace_back(0x0204, u16(rows + 1) + u16(0) + u16(0) + u16(9) + std::string("\0ab", 3));  // damaged
    const XlsWorkbook book(Biff8(cells, sst));
    const XlsSheet& sheet = book.Sheets().at(0);
    const SheetTable streamed = TableOf([&] { return book.SheetRows(sheet); });
    const SheetTable whole = TableOf([&] { return book.WholeSheetRows(sheet); });
    if (whole.error.empty()) {
      EXPECT_TRUE(streamed == whole) << streamed.rows.size() << " rows against " << whole.rows.size() << "; " << streamed.error;
    } else {
      // Damage is found where it lies: the rows before it may have been handed out already (a run
      // takes back what it made of part of a table), the error is the same.
      EXPECT_EQ(streamed.error, whole.error);
    }
    streamedSheets += whole.error.empty() && !whole.rows.empty();
  }
  EXPECT_GT(streamedSheets, 30u);
}

// The same workbook as .xls and as .xlsx, from the same writer or converted by another, reads the
// same, every sheet and every row.
TEST(Xlsx, ReadsAsTheSameWorkbookAsXls) {
  struct Case {
    const char* xlsx;
    const char* xls;
  };
  const Case cases[] = {
      {"sheetjs.xlsx", "sheetjs_biff8.xls"},             // shared strings
      {"sheetjs_inline.xlsx", "sheetjs_biff8.xls"},      // inline strings
      {"messy_vendor.xlsx", "messy_vendor.xls"},         // 420 rows
      {"messy_library.xlsx", "messy_library.xls"},       // 300 rows
      {"libreoffice_messy_library.xlsx", "messy_library.xls"},  // saved by LibreOffice
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.xlsx);
    const std::vector<std::string> tables = Offered(c.xlsx);
    ASSERT_EQ(tables, Offered(c.xls));
    for (const std::string& t : tables) {
      const Read a = ReadTable(c.xlsx, t), b = ReadTable(c.xls, t);
      EXPECT_EQ(a.names, b.names) << t;
      ASSERT_EQ(a.rows.size(), b.rows.size()) << t;
      for (std::size_t r = 0; r < a.rows.size(); ++r) EXPECT_EQ(a.rows[r], b.rows[r]) << t << " row " << r + 1;
      EXPECT_EQ(a.count, b.count);
    }
  }
  EXPECT_EQ(ReadTable("sheetjs.xlsx", "图书$").rows, kBooks);
  const Read vendor = ReadTable("messy_vendor.xlsx", "Sheet1$");
  ASSERT_EQ(vendor.rows.size(), 420u);
}

TEST(Xlsx, TypesDatesAndSheetsAsTheirWritersHoldThem) {
  // openpyxl: built-in and custom date formats, times, booleans, far cells; the hidden sheet is
  // offered, the chart sheet is not.
  EXPECT_EQ(Offered("openpyxl_types.xlsx"), (std::vector<std::string>{"图书$", "隐藏的表$"}));
  const Read types = ReadTable("openpyxl_types.xlsx", "图书$");
  EXPECT_EQ(types.names, (std::vector<std::string>{"题名", "ISBN", "定价", "出版日期", "入藏时间", "数量", "在库", "开本", "F9", "F10", "F11"}));
  const std::vector<std::string> empty(11);
  auto row = [](std::vector<std::string> v) { v.resize(11); return v; };
  EXPECT_EQ(types.rows, (Rows{
                            row({"银行会计学", "9787302601050", "45.5", "2019-05-01", "2020-01-02 13:04:05", "3", "True", "16开"}),
                            row({"中国图书馆", "9787501234567", "20", "1900-03-01", "1999-12-31 23:59:59", "0", "False", ""}),
                            row({"长江三峡", "7-5327-1234-5", "0.1", "2005-03-01", "1899-12-31 08:30:00", "-3.25", "", "32开"}),
                            empty,
                            empty,
                            row({"空行之后", "", "", "", "", "", "", "", "", "", "远处"}),
                        }));
  EXPECT_EQ(ReadTable("openpyxl_types.xlsx", "隐藏的表$").rows, (Rows{{"隐藏的书", "7-302-12345-6"}}));
  EXPECT_EQ(ReadTable("openpyxl_1904.xlsx", "Sheet1$").rows, (Rows{{"书一", "2019-05-01"}, {"书二", "1904-01-02 06:00:00"}}));
  // LibreOffice's cached formula results: numbers, text, booleans; an error reads as empty.
  EXPECT_EQ(ReadTable("libreoffice_formulas.xlsx", "公式$").rows,
            (Rows{{"银行会计学", "25.5", "2", "51", "银行会计学（2册）", "True"},
                  {"长江三峡", "30", "3", "90", "长江三峡（3册）", "True"},
                  {"C++程序设计", "0.1", "10", "1", "C++程序设计（10册）", "False"},
                  {"错误", "1", "0", "", "错误", ""}}));
  // Written by hand: inline and rich strings, a phonetic run left out, _xHHHH_ escapes (a
  // surrogate pair among them), cells and rows without references, prefixed elements.
  EXPECT_EQ(Offered("handmade_edge.xlsx"), (std::vector<std::string>{"数据 & 备注$"}));
  const Read edge = ReadTable("handmade_edge.xlsx", "数据 & 备注$");
  EXPECT_EQ(edge.names, (std::vector<std::string>{"题名", "作者", "出版日期", "比例", "公式"}));
  EXPECT_EQ(edge.rows, (Rows{{"a\rb_x0041_c𠀀", "单田芳 评书", "2019-05-01", "0.25", "文字结果"},
                             {"", "", "", "", ""},
                             {"", "", "2019-05-01", "True", ""},
                             {"", "末行", "2020-01-02 13:04:05", "0.0015", ""}}));
}

// A package written with libgsf's ZIP writer (or, with `ole`, a compound file): name, content.
std::string Package(const std::vector<std::pair<std::string, std::string>>& parts, bool ole = false) {
  GsfOutput* memory = gsf_output_memory_new();
  GsfOutfile* out = ole ? gsf_outfile_msole_new(memory) : gsf_outfile_zip_new(memory, nullptr);
  for (const auto& [name, content] : parts) {
    std::vector<GsfOutput*> folders;
    GsfOutfile* at = out;
    std::size_t start = 0;
    for (std::size_t slash; (slash = name.find('/', start)) != std::string::npos; start = slash + 1) {
      GsfOutput* folder = gsf_outfile_new_child(at, name.substr(start, slash - start).c_str(), TRUE);
      folders.push_back(folder);
      at = GSF_OUTFILE(folder);
    }
    GsfOutput* child = gsf_outfile_new_child(at, name.substr(start).c_str(), FALSE);
    gsf_output_write(child, content.size(), reinterpret_cast<const guint8*>(content.data()));
    gsf_output_close(child);
    g_object_unref(child);
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
      gsf_output_close(*it);
      g_object_unref(*it);
    }
  }
  gsf_output_close(GSF_OUTPUT(out));
  g_object_unref(out);
  const std::string bytes(reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory))),
                          static_cast<std::size_t>(gsf_output_size(memory)));
  g_object_unref(memory);
  return bytes;
}

TEST(Xlsx, DamagedForeignAndLockedWorkbooksGiveReadErrors) {
  gsf_init();
  auto slurp = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string good = slurp(Fixture("sheetjs.xlsx"));
  const std::string workbook =
      "<workbook xmlns:r=\"r\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"a\"/></sheets></workbook>";
  const std::string rels =
      "<Relationships><Relationship Id=\"a\" Type=\"x/worksheet\" Target=\"s.xml\"/></Relationships>";
  const auto book = [&](const std::string& sheet) {
    return Package({{"xl/workbook.xml", workbook}, {"xl/_rels/workbook.xml.rels", rels}, {"xl/s.xml", sheet}});
  };
  struct Case {
    std::string name, bytes, mentions;
  };
  const Case cases[] = {
      {"text", "this is not a workbook", "不是 Excel 工作簿"},
      {"half", good.substr(0, good.size() / 2), "xlsx"},
      {"head", good.substr(0, 30), "xlsx"},
      {"no workbook", Package({{"word/document.xml", "<document/>"}}), "没有工作簿"},
      {"a document type", book("<!DOCTYPE w [<!ENTITY a \"aaaa\">]><worksheet/>"), "文档类型"},
      {"bad XML", book("<worksheet><sheetData><row></sheetData>"), "不是有效的 XML"},
      {"last row", book("<worksheet><sheetData><row r=\"1048576\"><c><v>1</v></c></row></sheetData></worksheet>"), ""},
      {"past the last row", book("<worksheet><sheetData><row r=\"1048577\"><c><v>1</v></c></row></sheetData></worksheet>"), "超出范围"},
      {"last column", book("<worksheet><sheetData><row><c r=\"XFD1\"><v>1</v></c></row></sheetData></worksheet>"), ""},
      {"past the last column", book("<worksheet><sheetData><row><c r=\"XFE1\"><v>1</v></c></row></sheetData></worksheet>"), "超出范围"},
      {"locked", Package({{"EncryptionInfo", "x"}, {"EncryptedPackage", "y"}}, true), "加密"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = test::TempPath("bad.xlsx");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << c.bytes;
    try {
      const auto tables = import::OfferedTables("xlsx", InProcessReader()->ReadCatalogue(ConnectionFor(path)));
      Read r;
      Collect sink(r);
      for (const auto& t : tables) InProcessReader()->ReadTable(ConnectionFor(path), import::QueryTextFor("xlsx", t, "bad.xlsx"), sink);
      EXPECT_EQ(c.mentions, "") << "was read";
      if (c.mentions.empty()) {
        EXPECT_GT(r.rows.size() + r.names.size(), 0u);
      }
    } catch (const DataError& e) {
      EXPECT_NE(c.mentions, "") << e.what();
      EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos) << e.what();
    }
  }
}

// A workbook of one sheet: `cells` is the sheetData's content; styles and workbook properties as
// given.
std::string OneSheetPackage(const std::string& cells, const std::string& styles, const std::string& workbookPr = "") {
  return Package({{"xl/workbook.xml", "<workbook xmlns:r=\"r\">" + workbookPr +
                                          "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"a\"/></sheets></workbook>"},
                  {"xl/_rels/workbook.xml.rels",
                   "<Relationships><Relationship Id=\"a\" Type=\"x/worksheet\" Target=\"s.xml\"/>"
                   "<Relationship Id=\"c\" Type=\"x/styles\" Target=\"styles.xml\"/></Relationships>"},
                  {"xl/styles.xml", styles},
                  {"xl/s.xml", "<worksheet><sheetData>" + cells + "</sheetData></worksheet>"}});
}

// `text` as an XML attribute value.
std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) out += c == '"' ? std::string("&quot;") : std::string(1, c);
  return out;
}

// The same serial under each number format: a date format (built-in, Chinese Excel's own ids
// among them, or a custom code) shows the day, any other the number; in either date system.
TEST(Xlsx, DateFormatsShowTheDay) {
  gsf_init();
  struct Format {
    int id;
    const char* code;  // a custom format's code, or nothing for a built-in id
    bool date;
  };
  const Format formats[] = {
      {0, nullptr, false},  {14, nullptr, true},  {22, nullptr, true},  {27, nullptr, true},  {31, nullptr, true},
      {36, nullptr, true},  {37, nullptr, false}, {45, nullptr, true},  {57, nullptr, true},  {58, nullptr, true},
      {2, nullptr, false},  {176, "yyyy\"年\"m\"月\"d\"日\"", true}, {177, "0.00\"元\"", false},
      {178, "[$-804]e\"年\"m\"月\"d\"日\"", true},
  };
  std::string numFmts, xfs;
  for (const Format& f : formats) {
    if (f.code) numFmts += "<numFmt numFmtId=\"" + std::to_string(f.id) + "\" formatCode=\"" + Escaped(f.code) + "\"/>";
    xfs += "<xf numFmtId=\"" + std::to_string(f.id) + "\"/>";
  }
  const std::string styles = "<styleSheet><numFmts>" + numFmts + "</numFmts><cellXfs>" + xfs + "</cellXfs></styleSheet>";
  for (const bool is1904 : {false, true}) {
    SCOPED_TRACE(is1904 ? "1904" : "1900");
    const std::string serial = is1904 ? "38107" : "39569";
    std::string cells = "<row r=\"1\">";
    for (std::size_t k = 0; k < std::size(formats); ++k)
      cells += "<c r=\"" + std::string(1, static_cast<char>('A' + k)) + "1\" s=\"" + std::to_string(k) + "\"><v>" + serial + "</v></c>";
    cells += "</row>";
    XlsxWorkbook book(XlsxWorkbook::InMemory{OneSheetPackage(cells, styles, is1904 ? "<workbookPr date1904=\"1\"/>" : "")}, {1});
    const std::vector<SheetCell> read = book.ReadSheet(book.Sheets().at(0));
    ASSERT_EQ(read.size(), std::size(formats));
    for (std::size_t k = 0; k < read.size(); ++k)
      EXPECT_EQ(read[k].text, formats[k].date ? "2008-05-01" : serial) << "format " << formats[k].id;
  }
}

// Worksheets are parsed in pieces on several threads while they are inflated; generated sheets of
// every shape (pieces cut inside long rows, prefixed names, inline and shared strings, rows
// without numbers, a comment) must read exactly as the plain reader reads them.
TEST(Xlsx, TheParallelReaderAgreesWithThePlainOne) {
  gsf_init();
  std::mt19937 rng(20261207);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const std::string strings = "<sst><si><t>题名</t></si><si><t>银行会计学</t></si><si><r><t>a</t></r><r><t>b</t></r></si></sst>";
  const std::string styles = "<styleSheet><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs></styleSheet>";
  for (int n = 0; n < 8; ++n) {
    SCOPED_TRACE(n);
    const std::string p = n % 3 == 0 ? "x:" : "";
    std::string sheet = "<?xml version=\"1.0\"?><" + p + "worksheet xmlns" + (p.empty() ? "" : ":x") + "=\"m\"><" + p +
                        "dimension ref=\"A1:J40000\"/><" + p + "sheetData>";
    const int rows = pick(3000, 15000);
    for (int r = 1; r <= rows; ++r) {
      const bool numbered = !(n == 5 && r == rows / 2);  // one workbook has a row without its number
      sheet += "<" + p + "row" + (numbered ? " r=\"" + std::to_string(r) + "\"" : "") + ">";
      for (int c = 0; c < 10; ++c) {
        if (pick(0, 3) == 0) continue;
        const std::string ref = std::string(1, static_cast<char>('A' + c)) + std::to_string(r);
        switch (pick(0, 5)) {
          case 0: sheet += "<" + p + "c r=\"" + ref + "\" t=\"s\"><" + p + "v>" + std::to_string(pick(0, 3)) + "</" + p + "v></" + p + "c>"; break;
          case 1: sheet += "<" + p + "c r=\"" + ref + "\" s=\"1\"><" + p + "v>" + std::to_string(pick(1, 60000)) + "</" + p + "v></" + p + "c>"; break;
          case 2: sheet += "<" + p + "c r=\"" + ref + "\" t=\"inlineStr\"><" + p + "is><" + p + "t>行" + std::to_string(r) + " &amp; _x0041_</" + p + "t></" + p + "is></" + p + "c>"; break;
          case 3: sheet += "<" + p + "c r=\"" + ref + "\" t=\"b\"><" + p + "v>" + std::to_string(pick(0, 1)) + "</" + p + "v></" + p + "c>"; break;
          case 4: sheet += "<" + p + "c t=\"str\"><" + p + "f>A1</" + p + "f><" + p + "v>" + std::string(pick(0, 300), 'z') + "</" + p + "v></" + p + "c>"; break;
          default: sheet += "<" + p + "c r=\"" + ref + "\"><" + p + "v>" + std::to_string(pick(-999, 999)) + ".25</" + p + "v></" + p + "c>"; break;
        }
      }
      sheet += "</" + p + "row>";
      if (n == 6 && r == rows / 3) sheet += "<!-- </" + p + "row> -->";
    }
    sheet += "</" + p + "sheetData></" + p + "worksheet>";
    const std::string package = Package({{"xl/workbook.xml", "<workbook xmlns:r=\"r\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"a\"/></sheets></workbook>"},
                                         {"xl/_rels/workbook.xml.rels",
                                          "<Relationships><Relationship Id=\"a\" Type=\"x/worksheet\" Target=\"s.xml\"/>"
                                          "<Relationship Id=\"b\" Type=\"x/sharedStrings\" Target=\"strings.xml\"/>"
                                          "<Relationship Id=\"c\" Type=\"x/styles\" Target=\"styles.xml\"/></Relationships>"},
                                         {"xl/strings.xml", strings},
                                         {"xl/styles.xml", styles},
                                         {"xl/s.xml", sheet}});
    XlsxWorkbook parallel(XlsxWorkbook::InMemory{package}, {2}), plain(XlsxWorkbook::InMemory{package}, {1});
    const std::vector<SheetCell> a = parallel.ReadSheet(parallel.Sheets().at(0)), b = plain.ReadSheet(plain.Sheets().at(0));
    ASSERT_EQ(a.size(), b.size());
    ASSERT_GT(a.size(), 1000u);
    for (std::size_t k = 0; k < a.size(); ++k) {
      ASSERT_EQ(a[k].row, b[k].row) << k;
      ASSERT_EQ(a[k].col, b[k].col) << k;
      ASSERT_EQ(a[k].text, b[k].text) << k;
    }
  }
}

// Rows without numbers count on from the row before, which a piece read on its own cannot know:
// a long sheet of such rows must come back whole, row for row as the plain reader reads it.
TEST(Xlsx, RowsWithoutNumbersReadWholeInParallel) {
  gsf_init();
  constexpr int kRows = 20000;
  std::string cells;
  for (int r = 1; r <= kRows; ++r)
    cells += "<row><c t=\"inlineStr\"><is><t>第" + std::to_string(r) + "行</t></is></c><c><v>" + std::to_string(r) + "</v></c></row>";
  const std::string package = OneSheetPackage(cells, "<styleSheet/>");
  XlsxWorkbook parallel(XlsxWorkbook::InMemory{package}, {2}), plain(XlsxWorkbook::InMemory{package}, {1});
  const std::vector<SheetCell> a = parallel.ReadSheet(parallel.Sheets().at(0)), b = plain.ReadSheet(plain.Sheets().at(0));
  ASSERT_EQ(a.size(), 2u * kRows);
  ASSERT_EQ(b.size(), 2u * kRows);
  for (std::size_t k = 0; k < a.size(); ++k) {
    ASSERT_EQ(a[k].row, k / 2) << k;
    ASSERT_EQ(a[k].col, k % 2) << k;
    ASSERT_EQ(a[k].text, b[k].text) << k;
    ASSERT_EQ(a[k].row, b[k].row) << k;
  }
  EXPECT_EQ(a.back().text, std::to_string(kRows));
}

TEST(Accdb, AccessFilesOfTheAceFormatGoThroughTheSamePath) {
  // A Jet 4 file whose header says ACE 12 (Access 2007) is read as .accdb; one whose pages are
  // scrambled, as "encrypt with password" leaves them, is refused by name and with the reason.
  auto slurp = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  std::string ace = slurp(Fixture("shared/mdb/jackcess_testUnicodeCompV2003_jet4_cjk-compressed-unicode.mdb"));
  ace.replace(4, 15, "Standard ACE DB");
  ace[20] = 2;
  const std::string path = test::TempPath("ace12.accdb");
  std::ofstream(path, std::ios::binary) << ace;
  EXPECT_EQ(import::KindOfPath(path), "accdb");
  const std::vector<std::string> tables = import::OfferedTables("accdb", InProcessReader()->ReadCatalogue(ConnectionFor(path)));
  ASSERT_EQ(tables, (std::vector<std::string>{"Table"}));
  Read r;
  Collect sink(r);
  InProcessReader()->ReadTable(ConnectionFor(path), import::QueryTextFor("accdb", "Table", "ace12.accdb"), sink);
  ASSERT_EQ(r.rows.size(), 8u);
  EXPECT_EQ(r.rows[1][1], "ääkkösiä");

  std::string scrambled = ace;
  std::uint32_t seed = 7;
  for (std::size_t i = 4096; i < scrambled.size(); ++i) {
    seed = seed * 1103515245 + 12345;
    scrambled[i] = static_cast<char>(scrambled[i] ^ (1 + (seed >> 16) % 255));
  }
  const std::string locked = test::TempPath("locked.accdb");
  std::ofstream(locked, std::ios::binary) << scrambled;
  try {
    InProcessReader()->ReadCatalogue(ConnectionFor(locked));
    ADD_FAILURE() << "a scrambled database was read";
  } catch (const DataError& e) {
    const std::string why = e.what();
    EXPECT_NE(why.find(locked), std::string::npos) << why;
    EXPECT_NE(why.find("Access 2007"), std::string::npos) << why;
    EXPECT_NE(why.find("加密"), std::string::npos) << why;
  }
}

TEST(Mdb, CatalogueMarksSystemTablesAndOffersUserTables) {
  const std::string path = Fixture("shared/mdb/jackcess_testV1997_jet3_alltypes.mdb");
  const auto catalogue = InProcessReader()->ReadCatalogue(ConnectionFor(path));
  EXPECT_TRUE(std::any_of(catalogue.begin(), catalogue.end(),
                          [](auto& r) { return r.tableType == "SYSTEM TABLE" && r.tableName == "MSysObjects"; }));
  EXPECT_EQ(import::OfferedTables("mdb", catalogue), (std::vector<std::string>{"Table1", "Table2", "Table3", "Table4"}));
  EXPECT_TRUE(Offered("shared/mdb/jackcess_emptyJet4_no-user-tables.mdb").empty());
}

TEST(Mdb, ReadsJet3AndJet4) {
  Read r = ReadTable("shared/mdb/jackcess_testV1997_jet3_alltypes.mdb", "Table1");
  EXPECT_EQ(r.names, (std::vector<std::string>{"A", "B", "C", "D", "E", "F", "G", "H", "I"}));
  EXPECT_EQ(r.rows, (Rows{{"a", "b", "0", "0", "0", "0", "1981-12-12", "0", "False"},
                          {"abcdefg", "hijklmnop", "2", "222", "333333333", "444.555", "1974-09-21", "3.5", "True"}}));
  EXPECT_EQ(ReadTable("shared/mdb/jackcess_testV1997_jet3_alltypes.mdb", "Table2").names.size(), 89u);
  r = ReadTable("shared/mdb/jackcess_testUnicodeCompV2003_jet4_cjk-compressed-unicode.mdb", "Table");
  ASSERT_EQ(r.rows.size(), 8u);
  EXPECT_EQ(r.rows[4][1], "漢字仮名交じり文");
  EXPECT_EQ(r.rows[2][1], "Мир");
  r = ReadTable("shared/mdb/jackcess_delColTestV2000_jet4_deleted-columns.mdb", "Table1");
  EXPECT_EQ(r.names, (std::vector<std::string>{"id", "id2", "data", "data2"}));
  EXPECT_EQ(r.rows, (Rows{{"0", "2", "foo", "foo2"}, {"3", "5", "bar", "bar2"}}));
  EXPECT_EQ(ReadTable("shared/mdb/jackcess_compIndexTestV1997_jet3_512rows.mdb", "Table1").rows.size(), 512u);
  EXPECT_EQ(ReadTable("shared/mdb/mdb-reader_V2000_jet4_with-db-password.mdb", "Table1").rows,
            (Rows{{"1", "One"}, {"2", "Two"}, {"3", "Three"}}));
  r = ReadTable("shared/mdb/jackcess_test2V1997_jet3_memo-wide.mdb", "MSP_PROJECTS");
  EXPECT_EQ(r.names.size(), 74u);
  EXPECT_EQ(r.rows.at(0).at(2).size(), 348u) << "the long memo comes whole";
  EXPECT_EQ(r.rows.at(0).at(2).substr(0, 20), "Jon Iles this is a a");
  r = ReadTable("shared/mdb/jackcess_overflowTestV2000_jet4_overflow-rows.mdb", "Table1");
  ASSERT_EQ(r.rows.size(), 7u);
  std::set<std::string> seen;
  for (const auto& row : r.rows)
    for (const auto& v : row)
      if (!v.empty()) seen.insert(v);
  EXPECT_EQ(seen, (std::set<std::string>{"row1col1", "row2col1", "row2col3", "row3col3", "row3col9", "row4col1",
                                          "row4col2", "row5col2", "row6col2", "row6col3", "row7col1", "row7col7"}));
  EXPECT_EQ(ReadTable("shared/mdb/mdb-reader_V2003_jet4_numeric.mdb", "test").rows,
            (Rows{{"some data", "1", "0", "0", "4", "-1", "1"}}));
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Replaces every occurrence of `from` (at least one) and writes the copy under a scratch name.
std::string Patched(std::string data, const std::string& from, const std::string& to, const std::string& name) {
  std::size_t hits = 0;
  for (std::size_t at = data.find(from); at != std::string::npos; at = data.find(from, at + to.size()), ++hits)
    data.replace(at, from.size(), to);
  EXPECT_GT(hits, 0u) << "pattern not in the fixture";
  const std::string path = test::TempPath(name);
  std::ofstream(path, std::ios::binary) << data;
  return path;
}

// Jet 3 keeps its code page in the header, RC4-encrypted with a fixed key.
void SetJet3CodePage(std::string& data, std::uint16_t codePage) {
  const auto rc4 = [](std::string& bytes, std::size_t at, std::size_t n) {
    const unsigned char key[] = {0xC7, 0xDA, 0x39, 0x6B};
    unsigned char S[256];
    for (int i = 0; i < 256; ++i) S[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
      j = (j + S[i] + key[i % 4]) & 0xFF;
      std::swap(S[i], S[j]);
    }
    for (std::size_t k = 0, i = 0, j = 0; k < n; ++k) {
      i = (i + 1) & 0xFF;
      j = (j + S[i]) & 0xFF;
      std::swap(S[i], S[j]);
      bytes[at + k] = static_cast<char>(static_cast<unsigned char>(bytes[at + k]) ^ S[(S[i] + S[j]) & 0xFF]);
    }
  };
  rc4(data, 0x18, 126);
  data[0x3C] = static_cast<char>(codePage & 0xFF);
  data[0x3D] = static_cast<char>(codePage >> 8);
  rc4(data, 0x18, 126);
}

std::map<std::string, std::string> Jet3Rows(const std::string& path) {
  Read r;
  Collect sink(r);
  InProcessReader()->ReadTable(ConnectionFor(path), import::QueryTextFor("mdb", "Table1", "x.mdb"), sink);
  std::map<std::string, std::string> rows;
  for (const auto& row : r.rows) rows[row.at(0)] = row.at(1);
  return rows;
}

// The rows of Table1 hold "AA" + one byte + "AA" for every byte value, written as code page 1252.
TEST(Mdb, Jet3TextIsDecodedByTheCodePageInItsHeader) {
  const std::string original = Fixture("shared/mdb/jackcess_testIndexCodesV1997_jet3_29tables.mdb");
  auto rows = Jet3Rows(original);
  ASSERT_GE(rows.size(), 256u);
  EXPECT_EQ(rows["row65"], "AAAAA");
  EXPECT_EQ(rows["row160"], "AA\u00A0AA");
  EXPECT_EQ(rows["row161"], "AA¡AA");
  EXPECT_EQ(rows["row214"], "AAÖAA");
  EXPECT_EQ(rows["row252"], "AAüAA");
  EXPECT_EQ(rows["row255"], "AAÿAA");

  // The same file declaring code page 936, with a GBK character in one row.
  for (const std::uint16_t codePage : {936, 0}) {  // 0: none declared, the system code page
    std::string data = Bytes(original);
    SetJet3CodePage(data, codePage);
    const std::string chinese = Patched(data, "AA\xD6" "AA", "AA\xD6\xD0" "A", "jet3-cp936.mdb");
    rows = Jet3Rows(chinese);
    EXPECT_EQ(rows["row214"], "AA中A") << codePage;
    EXPECT_EQ(rows["row65"], "AAAAA") << codePage;
    EXPECT_EQ(import::OfferedTables("mdb", InProcessReader()->ReadCatalogue(ConnectionFor(chinese))).front(), "Table1");
  }
}

// Stored dates across Jet's whole range, against the calendar of the standard library.
TEST(Mdb, Jet3DatesOverTheirWholeRange) {
  using namespace std::chrono;
  const std::string data = Bytes(Fixture("shared/mdb/jackcess_testV1997_jet3_alltypes.mdb"));
  const auto stored = [](double v) { return std::string(reinterpret_cast<const char*>(&v), 8); };
  const sys_days epoch = year{1899} / December / 30;
  const auto expected = [&](year_month_day ymd, int seconds = 0) {
    char buf[40];
    if (seconds == 0) {
      std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", int(ymd.year()), unsigned(ymd.month()), unsigned(ymd.day()));
    } else {
      std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02d:%02d:%02d", int(ymd.year()), unsigned(ymd.month()),
                    unsigned(ymd.day()), seconds / 3600, seconds / 60 % 60, seconds % 60);
    }
    return std::string(buf);
  };
  const year_month_day dates[] = {year{9999} / December / 31, year{1850} / March / 1, year{999} / July / 14,
                                  year{100} / January / 1, year{1900} / January / 1, year{2026} / December / 6};
  for (const auto& ymd : dates) {
    const double serial = (sys_days(ymd) - epoch).count();
    for (const int seconds : {0, 6 * 3600 + 30 * 60 + 15}) {
      // Before 1899-12-30 the fraction still counts forward from the day's midnight.
      const double value = serial < 0 ? serial - seconds / 86400.0 : serial + seconds / 86400.0;
      const std::string path = Patched(data, stored(27293.0), stored(value), "jet3-date.mdb");  // 1974-09-21
      Read patched;
      Collect sink(patched);
      InProcessReader()->ReadTable(ConnectionFor(path), import::QueryTextFor("mdb", "Table1", "x.mdb"), sink);
      EXPECT_EQ(patched.rows.at(1).at(6), expected(ymd, seconds)) << value;
    }
  }
}

// Text tables written by Python's csv module in the forms vendors and Excel save them: read cell for
// cell as written, whatever the encoding and delimiter.
TEST(Text, TablesAsTheirWritersHoldThem) {
  const std::vector<std::string> names = {"书名", "ISBN", "定价", "作者", "出版社", "出版日期", "简介"};
  const Rows rows = {
      {"银行会计学", "9787302123453", "25.50", "张三主编", "清华大学出版社", "2005-03", ""},
      {"长江三峡", "978-7-5327-1234-2", "￥30", "李四著,王五", "上海译文出版社", "1999", "含\"引号\"与,逗号"},
      {"C++程序设计", "7302123454", "0.1", "", "", "", "第二行\n换行"},
      {"最后一行 䶮", "", "", "罗恩·彻诺", "", "二〇一五年", "Umsätze"},
  };
  Rows gbkRows = rows;
  gbkRows[3][0] = "最后一行";
  gbkRows[3][6] = "Umsatze";
  const struct {
    const char* file;
    const Rows& expected;
  } cases[] = {
      {"python_utf8_bom.csv", rows}, {"excel_gbk.csv", gbkRows}, {"python_semicolon.csv", rows},
      {"excel_unicode.txt", rows},
  };
  for (const auto& c : cases) {
    const Read r = ReadTable(c.file);
    EXPECT_EQ(r.names, names) << c.file;
    EXPECT_EQ(r.rows, c.expected) << c.file;
    const auto offered = Offered(c.file);
    EXPECT_NE(std::find(offered.begin(), offered.end(), c.file), offered.end()) << "the folder's text files are its tables";
  }
  const Read library = ReadTable("library_export.tsv");
  EXPECT_EQ(library.names, (std::vector<std::string>{"题名", "F2", "条码"})) << "a blank name as the workbook reader gives it";
  EXPECT_EQ(library.rows, (Rows{{"书一", "x", "1001"}, {"书二", "", ""}}));
  // Through the guarded child process too.
  const std::string path = Fixture("excel_gbk.csv");
  Read guarded;
  Collect sink(guarded);
  ChildProcessReader(ROWCASTER_CLI)->ReadTable(ConnectionFor(path), import::QueryTextFor("csv", "", "excel_gbk.csv"), sink);
  EXPECT_EQ(guarded.rows, gbkRows);
}

// A character-at-a-time reader of delimited text; nothing when the text ends inside quotes.
std::optional<Rows> PlainCsv(const std::string& text, char delimiter) {
  Rows records;
  std::vector<std::string> record;
  std::string field;
  bool quoted = false, started = false;
  const auto endField = [&] {
    record.push_back(field);
    field.clear();
    started = false;
  };
  const auto endRecord = [&] {
    endField();
    if (!(record.size() == 1 && record[0].empty())) records.push_back(record);
    record.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"' && !started) {
      quoted = started = true;
    } else if (c == delimiter) {
      endField();
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      endRecord();
    } else {
      field += c;
      started = true;
    }
  }
  if (quoted) return std::optional<Rows>();
  if (started || !field.empty() || !record.empty()) endRecord();
  return std::optional<Rows>(records);
}

// Its rows as ParseTextTable gives them: the names' record left out, every row as wide as the widest.
Rows PlainRows(const Rows& records) {
  std::size_t width = 0;
  for (const auto& r : records) width = std::max(width, r.size());
  Rows rows(records.begin() + 1, records.end());
  for (auto& r : rows) r.resize(width);
  return rows;
}

// The reader copies runs of plain and quoted characters at once; a character-at-a-time parser
// written out here must read every generated text the same (quotes, doubled quotes, delimiters
// and line ends of every kind, inside and outside quotes, blank lines, ragged rows).
TEST(Text, TheFastReaderAgreesWithAPlainOne) {
  std::mt19937 rng(20261207);
  const char* const pieces[] = {"a", "书", "\"", "\"\"", ",", ",", "\r\n", "\n", "\r", " ", "x y", "é"};
  int compared = 0;
  for (int n = 0; n < 4000; ++n) {
    std::string text = "h1,h2,h3\n";
    const int len = std::uniform_int_distribution<int>(0, 40)(rng);
    for (int k = 0; k < len; ++k) text += pieces[std::uniform_int_distribution<int>(0, std::size(pieces) - 1)(rng)];
    const std::optional<Rows> want = PlainCsv(text, ',');
    if (!want) {
      EXPECT_THROW(ParseTextTable(text, ".csv"), DataError) << text;
      continue;
    }
    EXPECT_EQ(ParseTextTable(text, ".csv").rows, PlainRows(*want)) << text;
    ++compared;
  }
  EXPECT_GT(compared, 2000);
}

// Large tables are read a megabyte at a time: a quote, a doubled quote, a CR LF, a character of
// two to four bytes, a line break inside quotes cut by a block's end must read as in one piece,
// in UTF-8, GB18030 and UTF-16.
TEST(Text, RecordsCutByABlockEndReadWhole) {
  const char* const constructs[] = {"\"a\"\"b\"", "\r\n", "书𠀀", "\"x\r\ny\"", ",,", "\"\""};
  const auto encode = [](const std::string& utf8, const char* to) {
    UErrorCode err = U_ZERO_ERROR;
    std::string out(utf8.size() * 4 + 16, '\0');
    const int32_t n = ucnv_convert(to, "UTF-8", out.data(), static_cast<int32_t>(out.size()), utf8.data(),
                                   static_cast<int32_t>(utf8.size()), &err);
    EXPECT_TRUE(U_SUCCESS(err));
    out.resize(static_cast<std::size_t>(n));
    return out;
  };
  int checked = 0;
  for (const char* construct : constructs) {
    for (std::size_t shift = 0; shift < 5; ++shift) {
      std::string text = "h1,h2\n";
      while (text.size() < (1u << 20) - 40) text += "abcdefghij,书名\n";
      text += std::string((1u << 20) - shift - text.size(), 'p');  // the construct begins `shift` bytes before 1 MiB
      text += construct;
      text += ",z\n";
      for (int k = 0; k < 100; ++k) text += "tail" + std::to_string(k) + ",x\n";
      const std::optional<Rows> want = PlainCsv(text, ',');
      ASSERT_TRUE(want);
      const Rows rows = PlainRows(*want);
      SCOPED_TRACE(std::string(construct) + " at " + std::to_string(shift));
      EXPECT_EQ(ParseTextTable(text, ".csv").rows, rows);
      const std::string gb = encode(text, "gb18030");
      EXPECT_EQ(ParseTextTable(gb, ".csv").rows, rows);
      // UTF-16 with its byte-order mark, cut at odd and even places alike.
      EXPECT_EQ(ParseTextTable("\xFF\xFE" + encode(text, "UTF-16LE"), ".csv").rows, rows);
      ++checked;
    }
  }
  EXPECT_EQ(checked, 30);
}

TEST(Text, DelimitersEncodingsAndBrokenFiles) {
  struct Case {
    std::string bytes;
    char delimiter;
    const char* encoding;
    Rows rows;
  };
  const Case cases[] = {
      {"a,b\r\n1,2", ',', "UTF-8", {{"1", "2"}}},
      {"a;b;c\n1;\"x;y\";3\n", ';', "UTF-8", {{"1", "x;y", "3"}}},
      {"a|b\r1|2\r\r3|4\r", '|', "UTF-8", {{"1", "2"}, {"3", "4"}}},
      {"a\tb, c\n1\t2, 3\n", '\t', "UTF-8", {{"1", "2, 3"}}},
      {"\xCA\xE9,b\n\x81\x30\x81\x30,2\n", ',', "GB18030", {{"\xC2\x80", "2"}}},  // a four-byte GB18030 character
      {"a,b\n\"\"\"q\"\"\",\"\"\n", ',', "UTF-8", {{"\"q\"", ""}}},
      {"", ',', "UTF-8", {}},
  };
  for (const Case& c : cases) {
    const TextTable t = ParseTextTable(c.bytes, ".csv");
    EXPECT_EQ(t.delimiter, c.delimiter) << c.bytes;
    EXPECT_EQ(t.encoding, c.encoding) << c.bytes;
    EXPECT_EQ(t.rows, c.rows) << c.bytes;
  }
  EXPECT_EQ(ParseTextTable("a b\n1 2\n", ".tsv").rows, (Rows{{"1 2"}})) << ".tsv is tab-separated";
  EXPECT_THROW(ParseTextTable("a,b\n\"open,2\n", ".csv"), DataError);
  EXPECT_THROW(ParseTextTable("\xEF\xBB\xBF\xFF\xFE", ".csv"), DataError);
}

TEST(Dbf, CodePageByte) {
  const std::pair<const char*, const char*> cases[] = {
      {"dbase3_cp_4d.dbf", "银行会计学"}, {"dbase3_cp_7a.dbf", "银行会计学"}, {"dbase3_cp_00.dbf", "银行会计学"},
      {"dbase3_cp_1252.dbf", "ÒøÐÐ»á¼ÆÑ§"},
  };
  for (const auto& [file, title] : cases) EXPECT_EQ(ReadTable(file).rows.at(0).at(0), title) << file;
  EXPECT_EQ(ReadTable("shared/dbf/infused_cp1251_vfp-ldid-0xC9.dbf").rows.at(0).at(1), "амбулаторно-поликлиническое");
}

TEST(Dbf, TablesFromDbfFile) {
  const Rows dbase3 = {{"银行会计学", "9787501234567", "25.5", "2005-03-01", "True"},
                       {"长江三峡", "9787532712345", "30", "", "False"},
                       {"已删除的书", "1", "1", "", ""},
                       {"  前后有空格", "", "-0.5", "1999-12-31", ""}};
  const Read r = ReadTable("dbffile_dbase3.dbf");
  EXPECT_EQ(r.names, (std::vector<std::string>{"TITLE", "ISBN", "PRICE", "PUBDATE", "ONLOAN"}));
  EXPECT_EQ(r.rows, dbase3);
  // Deleted=Yes in the connection string hides deleted records.
  EXPECT_EQ(ReadTable("dbase3_deleted.dbf").rows, (Rows{dbase3[0], dbase3[1], dbase3[3]}));
  const Read vfp = ReadTable("dbffile_vfp.dbf");
  EXPECT_EQ(vfp.names.back(), "WEIGHT");
  EXPECT_EQ(vfp.rows[1], (std::vector<std::string>{"长江三峡", "9787532712345", "30", "", "False", "999", "13.3456",
                                                   "2026-12-05 23:36:01", "0.25"}));
}

// A copy of a fixture with the bytes of one field of one record replaced.
std::string PatchedDbf(const std::string& fixture, const std::string& field, int record, const std::string& bytes) {
  std::ifstream in(Fixture(fixture), std::ios::binary);
  std::string data((std::istreambuf_iterator<char>(in)), {});
  const auto le16 = [&](std::size_t at) { return static_cast<unsigned char>(data[at]) | static_cast<unsigned char>(data[at + 1]) << 8; };
  const std::size_t headerLength = le16(8), recordLength = le16(10);
  std::size_t offset = 1;  // the deletion flag
  for (std::size_t d = 32; d + 32 <= headerLength && data[d] != '\x0D'; d += 32) {
    if (std::string(data.c_str() + d) == field) {
      const std::string path = test::TempPath("patched-" + fixture);
      data.replace(headerLength + record * recordLength + offset, bytes.size(), bytes);
      std::ofstream(path, std::ios::binary) << data;
      return path;
    }
    offset += static_cast<unsigned char>(data[d + 16]);
  }
  ADD_FAILURE() << "no field " << field;
  return {};
}

TEST(Dbf, VisualFoxProTimesRoundToTheSecondAndCarry) {
  const auto le32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  const std::uint32_t jdn = 2461380;  // 2026-12-05
  const struct {
    std::uint32_t ms;
    const char* text;
  } cases[] = {
      {86399400, "2026-12-05 23:59:59"},  // rounds down
      {86399500, "2026-12-06"},           // half a second before midnight: the next day
      {86399600, "2026-12-06"},
      {499, "2026-12-05"},
      {500, "2026-12-05 00:00:01"},
  };
  const Read original = ReadTable("dbffile_vfp.dbf");
  const auto column = std::find(original.names.begin(), original.names.end(), "ADDED") - original.names.begin();
  ASSERT_LT(static_cast<std::size_t>(column), original.names.size());
  for (const auto& c : cases) {
    const std::string path = PatchedDbf("dbffile_vfp.dbf", "ADDED", 1, le32(jdn) + le32(c.ms));
    Read r;
    Collect sink(r);
    InProcessReader()->ReadTable(ConnectionFor(path), import::QueryTextFor("dbf", "", import::SplitPath(path)->fileName), sink);
    EXPECT_EQ(r.rows.at(1).at(column), c.text) << c.ms;
  }
}

TEST(Dbf, MemoFilesAndVisualFoxProTypes) {
  Read r = ReadTable("shared/dbf/dbfread_memotest_vfp-memo.dbf");
  EXPECT_EQ(r.rows, (Rows{{"Alice", "1987-03-01", "Alice memo"}, {"Bob", "1980-11-12", "Bob memo"}}));
  r = ReadTable("shared/dbf/infused_dbase_8b_dbase4-memo.dbf");
  EXPECT_EQ(r.rows.at(0).at(5), "First memo\r\n");
  r = ReadTable("shared/dbf/infused_dbase_83_dbase3-memo.dbf");
  EXPECT_EQ(r.rows.size(), 67u);
  EXPECT_EQ(r.rows.at(0).at(11).substr(0, 28), "Our Original assortment...a ");
  r = ReadTable("shared/dbf/infused_dbase_f5_foxpro2-memo.dbf");
  EXPECT_EQ(r.rows.size(), 975u);
  r = ReadTable("shared/dbf/infused_dbase_31_vfp-autoinc-currency-nullflags.dbf");
  EXPECT_EQ(r.rows.at(0), (std::vector<std::string>{"1", "Chai", "1", "1", "10 boxes x 20 bags", "18", "39", "0", "10",
                                                    "False"}));
  EXPECT_EQ(std::count(r.names.begin(), r.names.end(), "_NullFlags"), 0);
  EXPECT_EQ(ReadTable("shared/dbf/infused_dbase_32_vfp-varchar.dbf").rows, (Rows{{"Bad Meets Evil"}}));
  r = ReadTable("shared/dbf/php-xbase_vfp_vfp-0x32-alltypes.dbf");
  const auto col = [&](const char* name) { return std::find(r.names.begin(), r.names.end(), name) - r.names.begin(); };
  EXPECT_EQ(r.rows.at(2).at(col("DATETIME")), "2020-02-20 20:20:20");
  EXPECT_EQ(r.rows.at(2).at(col("CURRENCY")), "15.16");
  EXPECT_EQ(r.rows.at(2).at(col("DOUBLE")), "987.654");
  EXPECT_EQ(r.rows.at(0).at(col("GENERAL")), "");
  EXPECT_EQ(r.rows.at(0).at(col("BLOB")), "");
  EXPECT_EQ(r.rows.at(0).at(col("VARCHAR")), "qwe");
}

TEST(Dbf, MissingMemoFileIsAReadError) {
  try {
    ReadTable("shared/dbf/dbffile_vfp_gb2312_memo_vfp-0x7A_4247rows_fpt-absent.dbf");
    FAIL();
  } catch (const DataError& e) {
    EXPECT_NE(std::string(e.what()).find(".fpt"), std::string::npos) << e.what();
  }
}

// Damaged and foreign files end in a DataError with a description, never a crash.
TEST(BadInput, DamagedFilesGiveReadErrors) {
  const std::string dir = test::TempPath("");
  auto write = [&](const std::string& name, const std::string& bytes) {
    std::ofstream(dir + name, std::ios::binary) << bytes;
    return dir + name;
  };
  auto slurp = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string xls = slurp(Fixture("sheetjs_biff8.xls"));
  const std::string dbf = slurp(Fixture("dbffile_dbase3.dbf"));
  const std::string mdb = slurp(Fixture("shared/mdb/jackcess_testV1997_jet3_alltypes.mdb"));
  const std::vector<std::pair<std::string, std::string>> files = {
      {"text.xls", "this is not a workbook"},
      {"zip.xls", "PK\x03\x04 pretend xlsx"},
      {"half.xls", xls.substr(0, xls.size() / 2)},
      {"text.mdb", "Standard text file"},
      {"head.mdb", mdb.substr(0, 4096)},
      {"short.dbf", dbf.substr(0, 20)},
      {"cut.dbf", dbf.substr(0, dbf.size() - 40)},
      {"empty.dbf", ""},
      {"version.dbf", std::string("\x99") + dbf.substr(1)},
  };
  for (const auto& [name, bytes] : files) {
    const std::string path = write(name, bytes);
    const std::string kind = import::KindOfPath(path);
    try {
      if (kind == "dbf") {
        Read r;
        Collect sink(r);
        InProcessReader()->ReadTable(ConnectionFor(path), "select * from " + import::SplitPath(path)->fileName, sink);
      } else {
        const auto tables = import::OfferedTables(kind, InProcessReader()->ReadCatalogue(ConnectionFor(path)));
        Read r;
        Collect sink(r);
        for (const auto& t : tables)
          InProcessReader()->ReadTable(ConnectionFor(path), import::QueryTextFor(kind, t, name), sink);
      }
      ADD_FAILURE() << name << " was read";
    } catch (const DataError& e) {
      EXPECT_FALSE(std::string(e.what()).empty()) << name;
    }
  }
}

// Rows come from the helper in frames the pipe cuts anywhere; cells longer than the reader's room
// (a quarter of a megabyte) and thousands of short rows come through whole, in order.
TEST(ChildReader, FramesOfEveryLengthComeThroughWhole) {
  const std::string path = test::TempPath("frames.csv");
  Rows expected;
  {
    std::ofstream out(path, std::ios::binary);
    out << "题名,备注\n";
    for (int r = 0; r < 20000; ++r) {
      std::string note = r % 5000 == 7 ? std::string(static_cast<std::size_t>(300000 * (r / 5000 + 1)), 'x') + "尾"
                                       : "第" + std::to_string(r) + "行";
      out << "书" << r << "," << note << "\n";
      expected.push_back({"书" + std::to_string(r), note});
    }
  }
  Read r;
  Collect sink(r);
  ChildProcessReader(ROWCASTER_CLI)->ReadTable(ConnectionFor(path), import::QueryTextFor("csv", "", import::SplitPath(path)->fileName), sink);
  std::filesystem::remove(path);
  ASSERT_EQ(r.rows.size(), expected.size());
  EXPECT_TRUE(r.rows == expected);
  EXPECT_EQ(r.rows[15007][1].size(), 1200000u + 3);
}

TEST(ChildReader, ReadsThroughTheHelperAndSurvivesItsDeath) {
  auto reader = ChildProcessReader(ROWCASTER_CLI);
  const std::string path = Fixture("sheetjs_biff8.xls");
  Read r;
  Collect sink(r);
  reader->ReadTable(ConnectionFor(path), "select * from [图书$]", sink);
  EXPECT_EQ(r.rows, kBooks);
  EXPECT_EQ(reader->ReadCatalogue(ConnectionFor(path)).size(), 4u);
  EXPECT_THROW(reader->ReadTable(ConnectionFor(path), "select * from [没有$]", sink), DataError);

  const std::string dir = test::TempPath("");
  auto script = [&](const std::string& name, const std::string& body) {
    const std::string p = dir + name;
    std::ofstream(p) << "#!/bin/sh\n" << body << "\n";
    std::filesystem::permissions(p, std::filesystem::perms::owner_all);
    return p;
  };
  struct Case {
    std::string helper, mentions;
  };
  const Case cases[] = {
      {script("hang.sh", "sleep 30"), "超时"},
      {script("crash.sh", "kill -SEGV $$"), "信号 11"},
      {script("garbage.sh", "printf 'Qxyz'"), "无法识别"},
      {script("quiet.sh", "exit 0"), "意外退出"},
      {dir + "no-such-helper", "找不到"},
  };
  for (const auto& c : cases) {
    auto guarded = ChildProcessReader(c.helper, ChildLimits{1, 1ull << 30});
    try {
      guarded->ReadCatalogue(ConnectionFor(path));
      ADD_FAILURE() << c.helper;
    } catch (const DataError& e) {
      EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace rowcaster::data
