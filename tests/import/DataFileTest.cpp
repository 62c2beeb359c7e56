#include "import/DataFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <thread>

#include "ScriptedUi.h"
#include "TestPaths.h"
#include "mapping/MarcFields.h"

namespace rowcaster::import {
namespace {

using ui::Icon;

std::string Fixture(const std::string& name) { return test::SourceFile("fixtures/" + name); }

class FakeWindow : public ImportWindow {
 public:
  std::string excelPath, marcPath;
  bool startEnabled = false;
  int initGrids = 0, startSets = 0;
  std::shared_ptr<const LoadedTable> table;
  std::vector<std::string> mapping;
  std::vector<std::vector<std::string>> pickerShown;
  std::deque<std::string> picks;  // empty: cancel

  std::string ExcelPathText() const override { return excelPath; }
  void SetExcelPathText(const std::string& p) override { excelPath = p; }
  std::string MarcPathText() const override { return marcPath; }
  void InitGrids() override {
    ++initGrids;
    table.reset();
    mapping.clear();
  }
  bool HasTable() const override { return table != nullptr; }
  void ShowTable(std::shared_ptr<const LoadedTable> t, std::vector<std::string> m) override {
    table = std::move(t);
    mapping = std::move(m);
  }
  void SetStartEnabled(bool on) override {
    startEnabled = on;
    ++startSets;
  }
  std::string PickTable(const std::vector<std::string>& names) override {
    pickerShown.push_back(names);
    if (picks.empty()) return {};
    std::string p = picks.front();
    picks.pop_front();
    return p;
  }
};

class Import : public ::testing::Test {
 protected:
  void Choose(const std::string& path) {
    ui_.openAnswers.push_back(path);
    SelectExcel_Click(window_, ui_, *reader_, mapping::DefaultMarcCodeList());
  }
  void ExpectMessage(const std::string& text, Icon icon = Icon::Error) {
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, text);
    EXPECT_EQ(ui_.messages[0].title, "操作提示");
    EXPECT_EQ(ui_.messages[0].icon, icon);
    EXPECT_EQ(ui_.messages[0].buttons, ui::Buttons::Ok);
  }
  void TearDown() override { EXPECT_EQ(ui_.waitDepth, 0) << "the wait pointer is restored"; }

  FakeWindow window_;
  ui::ScriptedUi ui_;
  std::unique_ptr<data::TableReader> reader_ = data::InProcessReader();
};

TEST_F(Import, LoadsATableAndPrefillsTheMapping) {
  window_.marcPath = "/tmp/out.iso";
  window_.picks.push_back("图书$");
  Choose(Fixture("sheetjs_biff8.xls"));
  EXPECT_TRUE(ui_.messages.empty());
  ASSERT_EQ(ui_.dialogs.size(), 1u);
  EXPECT_EQ(ui_.dialogs[0].title, "选择待转换的Excel文件");
  // One filter with every kind first; the long-standing three next.
  EXPECT_EQ(ui_.dialogs[0].filter.rfind("所有支持的数据文件|*.xls *.xlsx *.mdb *.accdb *.dbf *.csv *.tsv *.txt|Excel(2003)|*.xls|"
                                        "Access数据库|*.mdb|FoxPro数据|*.dbf|", 0),
            0u);
  EXPECT_EQ(window_.pickerShown.at(0), (std::vector<std::string>{"图书$", "Sheet 2$", "空表$", "it's $$"}));
  ASSERT_TRUE(window_.table);
  EXPECT_EQ(window_.table->RowCount(), 5u);
  EXPECT_EQ(window_.table->Cell(0, 0), "银行会计学");
  EXPECT_EQ(window_.mapping, (std::vector<std::string>{"200a", "010a", "010d", "210d", "200f", "210c", ""}));
  EXPECT_EQ(window_.excelPath, Fixture("sheetjs_biff8.xls"));
  EXPECT_TRUE(window_.startEnabled);
  EXPECT_GT(ui_.waitChanges, 0);
}

TEST_F(Import, AnXlsxWorkbookOffersItsWorksheetsHiddenOnesToo) {
  window_.picks.push_back("隐藏的表$");
  Choose(Fixture("openpyxl_types.xlsx"));
  EXPECT_TRUE(ui_.messages.empty()) << ui_.messages.at(0).text;
  EXPECT_EQ(window_.pickerShown.at(0), (std::vector<std::string>{"图书$", "隐藏的表$"}));
  ASSERT_TRUE(window_.table);
  EXPECT_EQ(window_.table->Cell(0, 0), "隐藏的书");
  EXPECT_EQ(window_.mapping, (std::vector<std::string>{"", ""}));
}

TEST_F(Import, ADbfTableNeedsNoPicker) {
  Choose(Fixture("dbffile_dbase3.dbf"));
  EXPECT_TRUE(window_.pickerShown.empty());
  ASSERT_TRUE(window_.table);
  EXPECT_EQ(window_.table->FieldNames().at(0), "TITLE");
  EXPECT_FALSE(window_.startEnabled) << "no output path yet";
}

// A text table is its own table, like a .dbf: no picker, whatever its extension's case.
TEST_F(Import, TextTablesNeedNoPicker) {
  for (const char* file : {"excel_gbk.csv", "excel_unicode.txt", "library_export.tsv"}) {
    window_.table.reset();
    Choose(Fixture(file));
    EXPECT_TRUE(window_.pickerShown.empty()) << file;
    ASSERT_TRUE(window_.table) << file;
    EXPECT_TRUE(ui_.messages.empty()) << file;
  }
  EXPECT_EQ(window_.table->FieldNames(), (std::vector<std::string>{"题名", "F2", "条码"}));
  const std::string upper = test::TempPath("BOOKS.CSV");
  std::filesystem::copy_file(Fixture("excel_gbk.csv"), upper, std::filesystem::copy_options::overwrite_existing);
  Choose(upper);
  ASSERT_TRUE(window_.table);
  EXPECT_EQ(window_.table->RowCount(), 4u);
}

TEST_F(Import, ADatabaseWithOneTableStillShowsThePicker) {
  window_.picks.push_back("Table1");
  Choose(Fixture("shared/mdb/jackcess_delColTestV2000_jet4_deleted-columns.mdb"));
  EXPECT_EQ(window_.pickerShown, (std::vector<std::vector<std::string>>{{"Table1"}}));
  ASSERT_TRUE(window_.table);
  EXPECT_EQ(window_.table->RowCount(), 2u);
}

TEST_F(Import, CancelledDialogChangesNothing) {
  window_.excelPath = "before";
  SelectExcel_Click(window_, ui_, *reader_, mapping::DefaultMarcCodeList());
  EXPECT_EQ(window_.excelPath, "before");
  EXPECT_EQ(window_.initGrids, 0);
  EXPECT_EQ(window_.startSets, 0);
}

TEST_F(Import, BlanksOnlyAreShownAndNothingElse) {
  Choose("   ");
  EXPECT_EQ(window_.excelPath, "   ");
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(window_.initGrids, 0);
}

TEST_F(Import, ShortPathsAndOtherKindsAreInvalid) {
  for (const std::string& path : std::vector<std::string>{"a.x", Fixture("make_fixtures.js")}) {
    ui_.messages.clear();
    window_.marcPath = "/tmp/out.iso";
    window_.startEnabled = true;
    Choose(path);
    ExpectMessage("选择的数据文件无效！\r\n目前数据文件类型只支持 .xls、.xlsx、.mdb、.accdb、.dbf 和文本表格 .csv、.tsv、.txt");
    EXPECT_EQ(window_.excelPath, "");
    EXPECT_FALSE(window_.startEnabled);
    EXPECT_GT(window_.initGrids, 0);
  }
}

TEST_F(Import, MissingFile) {
  window_.startEnabled = true;
  Choose("/nonexistent/books.xls");
  ExpectMessage("选择的数据文件不存在！");
  EXPECT_EQ(window_.excelPath, "");
  EXPECT_EQ(window_.initGrids, 1);
  EXPECT_EQ(window_.startSets, 0) << "the start button is left as it was";
}

TEST_F(Import, UpperCaseExtensionCountsAndHiddenFilesExist) {
  const std::string hidden = test::TempPath(".HIDDEN.DBF");
  std::filesystem::copy_file(Fixture("dbffile_dbase3.dbf"), hidden, std::filesystem::copy_options::overwrite_existing);
  Choose(hidden);
  EXPECT_TRUE(ui_.messages.empty());
  ASSERT_TRUE(window_.table);
}

TEST_F(Import, PathWithoutSeparatorIsInvalid) {
  window_.excelPath = "books.xls";
  ReadDataFile("books.xls", "xls", window_, ui_, *reader_, mapping::DefaultMarcCodeList());
  ExpectMessage("选择的数据文件无效！");
  EXPECT_EQ(window_.excelPath, "books.xls");
  EXPECT_EQ(window_.initGrids, 1);
}

TEST_F(Import, NoOfferedTableEmptiesThePath) {
  Choose(Fixture("shared/mdb/jackcess_emptyJet4_no-user-tables.mdb"));
  ExpectMessage("选择的mdb数据文件中，没有发现表，无法读取！");
  EXPECT_EQ(window_.excelPath, "");
  EXPECT_TRUE(window_.pickerShown.empty());
}

class EmptyCatalogue : public data::TableReader {
 public:
  std::vector<data::CatalogRow> ReadCatalogue(const std::string&) override { return {}; }
  void ReadTable(const std::string&, const std::string&, data::TableSink&) override { FAIL(); }
};

TEST_F(Import, EmptyCatalogueKeepsThePath) {
  reader_ = std::make_unique<EmptyCatalogue>();
  Choose(Fixture("sheetjs_biff8.xls"));
  ExpectMessage("选择的xls数据文件中，没有发现表，无法读取！");
  EXPECT_EQ(window_.excelPath, Fixture("sheetjs_biff8.xls"));
}

TEST_F(Import, CancelledPickerAndEmptyTableLeaveEmptyGridsQuietly) {
  window_.marcPath = "/tmp/out.iso";
  Choose(Fixture("sheetjs_biff8.xls"));  // picker cancelled
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_FALSE(window_.table);
  EXPECT_EQ(window_.excelPath, Fixture("sheetjs_biff8.xls"));
  EXPECT_TRUE(window_.startEnabled) << "the rule looks at the paths only";

  window_.picks.push_back("空表$");
  Choose(Fixture("sheetjs_biff8.xls"));
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_FALSE(window_.table);
  EXPECT_EQ(window_.excelPath, Fixture("sheetjs_biff8.xls"));
}

TEST_F(Import, ReadErrorsNameTheCause) {
  const std::string bad = test::TempPath("bad.xls");
  std::ofstream(bad) << "not a workbook";
  Choose(bad);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text.rfind("读取数据文件出错！\r\n", 0), 0u) << ui_.messages[0].text;
  EXPECT_GT(ui_.messages[0].text.size(), std::string("读取数据文件出错！\r\n").size());
  EXPECT_EQ(window_.excelPath, "");
  EXPECT_FALSE(window_.table);
}

class ThrowingReader : public data::TableReader {
 public:
  explicit ThrowingReader(bool outOfMemory) : outOfMemory_(outOfMemory) {}
  std::vector<data::CatalogRow> ReadCatalogue(const std::string&) override { return {{"TABLE", "图书$"}}; }
  void ReadTable(const std::string&, const std::string&, data::TableSink& sink) override {
    sink.Begin({"200a"}, std::nullopt);
    if (outOfMemory_) throw std::bad_alloc();
    throw std::runtime_error("磁盘读错误");
  }

 private:
  bool outOfMemory_;
};

// Whatever makes a second open fail, the table read before stays with its mapping and its path,
// and the start button keeps following the paths.
TEST_F(Import, AFailedOpenKeepsTheTableReadBefore) {
  const std::string damaged = test::TempPath("damaged.xls");
  std::ofstream(damaged) << "not a workbook";
  struct Case {
    const char* what;
    std::string path;
    std::function<std::unique_ptr<data::TableReader>()> reader;  // none: the file's own reader
    std::string message;  // the start of the one message shown; empty: none
  };
  const std::string invalid = "选择的数据文件无效！\r\n目前数据文件类型只支持";
  const Case cases[] = {
      {"picker cancelled", Fixture("sheetjs_biff8.xls"), nullptr, ""},
      {"missing file", "/nonexistent/books.xls", nullptr, "选择的数据文件不存在！"},
      {"damaged file", damaged, nullptr, "读取数据文件出错！\r\n"},
      {"no offered table", Fixture("shared/mdb/jackcess_emptyJet4_no-user-tables.mdb"), nullptr,
       "选择的mdb数据文件中，没有发现表"},
      {"empty catalogue", Fixture("sheetjs_biff8.xls"), [] { return std::make_unique<EmptyCatalogue>(); },
       "选择的xls数据文件中，没有发现表"},
      {"unknown kind", Fixture("make_fixtures.js"), nullptr, invalid},
      {"short path", "a.x", nullptr, invalid},
      {"blanks only", "   ", nullptr, ""},
      {"read error", Fixture("sheetjs_biff8.xls"), [] { return std::make_unique<ThrowingReader>(false); },
       "读取数据文件出错！\r\n磁盘读错误"},
      {"out of memory", Fixture("sheetjs_biff8.xls"), [] { return std::make_unique<ThrowingReader>(true); },
       "读取数据文件出错！\r\n内存不足"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    window_ = FakeWindow();
    window_.marcPath = "/tmp/out.iso";
    reader_ = data::InProcessReader();
    window_.picks.push_back("图书$");
    Choose(Fixture("sheetjs_biff8.xls"));
    ASSERT_TRUE(window_.table);
    const auto table = window_.table;
    window_.mapping[6] = "330a";
    const std::vector<std::string> mapping = window_.mapping;
    ui_.messages.clear();
    if (c.reader) reader_ = c.reader();
    if (c.reader) window_.picks.push_back("图书$");  // otherwise a picker shown is cancelled
    Choose(c.path);
    if (c.message.empty()) {
      EXPECT_TRUE(ui_.messages.empty()) << ui_.messages.at(0).text;
    } else {
      ASSERT_EQ(ui_.messages.size(), 1u);
      EXPECT_EQ(ui_.messages[0].text.rfind(c.message, 0), 0u) << ui_.messages[0].text;
    }
    EXPECT_EQ(window_.table, table);
    EXPECT_EQ(window_.mapping, mapping);
    EXPECT_EQ(window_.excelPath, Fixture("sheetjs_biff8.xls"));
    EXPECT_EQ(window_.initGrids, 1) << "only the first open empties the grids";
    EXPECT_TRUE(window_.startEnabled);
    EXPECT_EQ(ui_.waitDepth, 0);
  }
}

TEST(ImportRules, ConnectionStringsQueriesAndKinds) {
  EXPECT_EQ(ConnectionStringFor("xls", "/d/b.xls", "/d/"),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/b.xls;Extended properties=Excel 5.0;User ID=Admin;"
            "Password=;Persist Security Info=False");
  EXPECT_EQ(ConnectionStringFor("mdb", "/d/b.mdb", "/d/"),
            "driver={microsoft access driver (*.mdb)};dbq=/d/b.mdb;DriverId=25;FIL=MS Access;MaxBufferSize=2048;"
            "PageTimeout=5;");
  EXPECT_EQ(ConnectionStringFor("dbf", "/d/books.dbf", "/d/"),
            "Driver={Microsoft Visual FoxPro Driver};SourceType=DBF;SourceDB=/d/;UID=;PWD=;Exclusive=No;"
            "BackgroundFetch=Yes;Collate=;Null=Yes;Deleted=Yes;");
  EXPECT_EQ(QueryTextFor("xls", "Sheet1$", ""), "select * from [Sheet1$]");
  EXPECT_EQ(QueryTextFor("mdb", "My Books", ""), "select * from My Books");
  EXPECT_EQ(QueryTextFor("dbf", "", "books.dbf"), "select * from books.dbf");
  EXPECT_EQ(KindOfPath("/d/BOOKS.XLS"), "xls");
  EXPECT_EQ(KindOfPath("/d/书.mdb"), "mdb");
  EXPECT_EQ(SplitPath("/data/books.dbf")->folder, "/data/");
  EXPECT_EQ(SplitPath("/data/books.dbf")->fileName, "books.dbf");
  EXPECT_FALSE(SplitPath("/data/"));
  EXPECT_FALSE(SplitPath("books.dbf"));
}

TEST(ImportRules, CatalogueOffering) {
  const std::vector<data::CatalogRow> catalogue = {
      {"TABLE", "Sheet1$"}, {"Table", "Sheet2$"}, {"table", "'My Sheet$'"}, {"TABLE", "Range1"},
      {"SYSTEM TABLE", "MSysObjects"}, {"VIEW", "Query1"}, {"TABLE", "Books"},
  };
  EXPECT_EQ(OfferedTables("xls", catalogue), (std::vector<std::string>{"Sheet1$", "Sheet2$"}));
  EXPECT_EQ(OfferedTables("mdb", catalogue),
            (std::vector<std::string>{"Sheet1$", "Sheet2$", "'My Sheet$'", "Range1", "Books"}));
}

TEST(ImportRules, PrefillsOnlyExactCodes) {
  EXPECT_EQ(PrefilledMapping({"200a", "ISBN", "200A", "200a ", "0a", "905f", "200g"}, mapping::DefaultMarcCodeList()),
            (std::vector<std::string>{"200a", "", "", "", "", "905f", "200g"}));
  EXPECT_EQ(mapping::DefaultMarcCodeList().size(), 190u);
  EXPECT_EQ(mapping::DefaultMarcCodeList().substr(0, 10), "010a|010b|");
}

TEST(LoadedTable, KeepsCellsCompactAndExact) {
  LoadedTable t({"a", "b", "c"});
  t.AppendRow(std::vector<std::string>{"1", "", std::string(300, 'x')});
  t.AppendRow(std::vector<std::string>{"only one"});
  t.AppendRow(std::vector<std::string>{"x", "y", "z", "dropped"});
  EXPECT_EQ(t.RowCount(), 3u);
  EXPECT_EQ(t.Cell(0, 2), std::string(300, 'x'));
  EXPECT_EQ(t.Cell(1, 0), "only one");
  EXPECT_EQ(t.Cell(1, 2), "");
  EXPECT_EQ(t.Cell(2, 2), "z");
  EXPECT_EQ(t.Cell(9, 0), "");
  std::vector<std::string_view> row;
  t.Row(2, row);
  EXPECT_EQ(row, (std::vector<std::string_view>{"x", "y", "z"}));
  // A row larger than a chunk still fits.
  t.AppendRow(std::vector<std::string>{std::string(9u << 20, 'q'), "after"});
  EXPECT_EQ(t.Cell(3, 1), "after");
}

// Rows read on one thread while another appends them: across row blocks (2^16 rows) and chunks
// (a row larger than one), each row as appended, and the end with its error.
TEST(LoadedTable, IsReadWhileLoaded) {
  constexpr std::size_t kRows = 150000;
  const auto cell = [](std::size_t i) { return i == 70000 ? std::string(9u << 20, 'q') : "r" + std::to_string(i); };
  for (const std::string error : {"", "读取程序异常终止"}) {
    LoadedTable t;
    t.BeginLoading();
    EXPECT_TRUE(t.Loading());
    std::thread loader([&] {
      t.SetFieldNames({"a", "b"});
      for (std::size_t i = 0; i < kRows; ++i) t.AppendRow(std::vector<std::string>{cell(i), std::to_string(i % 7)});
      t.EndLoading(error);
    });
    std::size_t seen = 0;
    std::vector<std::string_view> row;
    for (std::size_t want = 1;; want += 997) {
      const std::size_t n = t.WaitForRows(want);
      ASSERT_TRUE(n >= want || !t.Loading()) << n;
      for (; seen < n; ++seen) {
        t.Row(seen, row);
        ASSERT_EQ(row.size(), 2u);
        ASSERT_EQ(row[0], cell(seen)) << seen;
        ASSERT_EQ(row[1], std::to_string(seen % 7)) << seen;
      }
      if (n < want) break;
    }
    loader.join();
    EXPECT_EQ(seen, kRows);
    EXPECT_FALSE(t.Loading());
    EXPECT_EQ(t.LoadError(), error);
    EXPECT_EQ(t.WaitForRows(kRows + 1), kRows);
    EXPECT_EQ(t.FieldNames(), (std::vector<std::string>{"a", "b"}));
  }
}

TEST(LoadTableWhileUsed, EndsTheLoadingWithTheReadersReason) {
  auto reader = data::InProcessReader();
  const std::string folder = test::SourceFile("fixtures");
  for (const bool there : {true, false}) {
    const std::string name = there ? "excel_gbk.csv" : "no_such_table.csv", path = folder + "/" + name;
    LoadedTable table;
    table.BeginLoading();
    std::thread loader([&] {
      LoadTableWhileUsed(*reader, "csv", ConnectionStringFor("csv", path, folder), QueryTextFor("csv", name, name), table);
    });
    const std::size_t rows = table.WaitForRows(1000000);
    loader.join();
    EXPECT_FALSE(table.Loading());
    EXPECT_EQ(table.FirstDataLine(), 2) << "set before the rows";
    if (there) {
      EXPECT_GT(rows, 0u);
      EXPECT_EQ(table.LoadError(), "");
      EXPECT_EQ(rows, LoadTable(*reader, "csv", ConnectionStringFor("csv", path, folder), QueryTextFor("csv", name, name))->RowCount());
    } else {
      EXPECT_EQ(rows, 0u);
      EXPECT_NE(table.LoadError(), "");
    }
  }
}

}  // namespace
}  // namespace rowcaster::import
