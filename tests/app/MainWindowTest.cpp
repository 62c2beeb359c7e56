#include "app/MainWindow.h"
#include "app/ProgressWindow.h"
#include "app/ResultsWindow.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTextBrowser>
#include <QMimeData>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QUrl>
#include <QSettings>
#include <QTimer>
#include <QAbstractTextDocumentLayout>
#include <QLabel>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>

#include "ScriptedUi.h"
#include "TestPaths.h"
#include "convert/Profile.h"
#include "import/DataFile.h"
#include "import/widgets/ContentModel.h"
#include "import/widgets/TablePicker.h"
#include "mapping/PickList.h"
#include "mapping/widgets/MappingGrid.h"
#include "output/ExistingOutput.h"

namespace rowcaster::app {
namespace {

using ui::Icon;

std::string Fixture(const std::string& name) { return test::SourceFile("fixtures/" + name); }

// Opens `widget`'s context menu at `at` and triggers its action named `action`.
void ChooseFromContextMenu(QWidget* widget, QPoint at, const char* action) {
  QTimer::singleShot(0, [action] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    auto* a = menu->findChild<QAction*>(action);
    ASSERT_NE(a, nullptr) << action;
    a->trigger();
    menu->close();
  });
  emit widget->customContextMenuRequested(at);
}

class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    QSettings().clear();  // every test starts as a first start
    window_ = std::make_unique<MainWindow>(ui_, ROWCASTER_BUILD_DIR);
    window_->show();
    QApplication::setActiveWindow(window_.get());
    QApplication::processEvents();
  }
  void TearDown() override {
    ui_.messageAnswers.push_back(ui::Answer::Yes);
    window_->close();
    window_.reset();
  }
  // Loads the first sheet of the SheetJS workbook through the window.
  void LoadBooks() {
    window_->tablePicker = [](const std::vector<std::string>& names) { return names.at(0); };
    ui_.openAnswers.push_back(Fixture("sheetjs_biff8.xls"));
    const std::size_t before = ui_.messages.size();
    window_->SelectExcel_Click();
    ASSERT_EQ(ui_.messages.size(), before) << ui_.messages.back().text;
  }
  void ClickCell(int row, int col) {
    QTableWidget* g = window_->Grid1;
    const QRect r = g->visualRect(g->model()->index(row, col));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, r.center());
    QApplication::processEvents();
  }
  std::string Cell(int row, int col) {
    const QTableWidgetItem* item = window_->Grid1->item(row, col);
    return item ? item->text().toStdString() : std::string();
  }
  void PickEntry(const std::string& code) {
    for (int i = 0; i < window_->List1->count(); ++i)
      if (window_->List1->item(i)->text().startsWith(QString::fromStdString(code))) {
        const QRect r = window_->List1->visualItemRect(window_->List1->item(i));
        QTest::mouseClick(window_->List1->viewport(), Qt::LeftButton, {}, r.center());
        QApplication::processEvents();
        return;
      }
    FAIL() << code;
  }

  // Starts a conversion and waits for its end (at most 5 s); false when it did not end.
  bool ConvertAndWait() {
    bool ended = false;
    window_->onConversionEnd = [&](const convert::RunResult&) { ended = true; };
    window_->StratConvert_Click();
    for (int i = 0; i < 500 && !ended; ++i) QTest::qWait(10);
    window_->onConversionEnd = nullptr;
    return ended;
  }

  // The books converted by the recommended rules into a fresh temporary `file`; false when the
  // run did not end.
  bool ConvertBooksByTheRecommendedRules(const std::string& file) {
    LoadBooks();
    window_->SetRules(convert::Rules::Recommended);
    const std::string out = test::TempPath(file);
    std::filesystem::remove(out);
    ui_.saveAnswers.push_back(out);
    window_->OutMarc_Click();
    return ConvertAndWait();
  }

  ui::ScriptedUi ui_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(Window, StartsEmptyWithTheStartButtonOff) {
  MainWindow& w = *window_;
  EXPECT_EQ(w.windowTitle(), "Rowcaster");
  EXPECT_FALSE(w.StratConvert->isEnabled());
  EXPECT_TRUE(w.ExcelPath->text().isEmpty());
  EXPECT_TRUE(w.MarcPath->text().isEmpty());
  EXPECT_EQ(w.size(), QSize(775, 596));
  EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "fixed size";
  EXPECT_FALSE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
  // Positions are twips / 15.
  EXPECT_EQ(w.StratConvert->geometry(), QRect(664, 8, 97, 29));
  EXPECT_EQ(w.ExitSoft->geometry(), QRect(664, 44, 97, 29));
  EXPECT_EQ(w.Grid1->geometry(), QRect(0, 84, 305, 257));
  EXPECT_EQ(w.Frame2->geometry(), QRect(308, 80, 465, 513));
  EXPECT_EQ(w.Frame1->geometry(), QRect(0, -4, 649, 81)) << "-60 twips is -4 pixels";
  EXPECT_FALSE(w.Grid2->verticalHeader()->isVisible()) << "no fixed column";
  EXPECT_EQ(w.Grid2->viewport()->geometry().left(), w.Grid1->viewport()->geometry().left());
  EXPECT_EQ(w.SelectExcel->text(), "选择路径(&F)");
  EXPECT_EQ(w.OutMarc->text(), "保存路径(&S)");
  EXPECT_EQ(w.StratConvert->text(), "开始转换(&C)");
  EXPECT_EQ(w.ExitSoft->text(), "退出软件(&E)");
  EXPECT_EQ(w.Frame3->title(), "转换模板");
  EXPECT_EQ(w.Frame2->title(), "表格内容显示区");
  // The empty grids.
  EXPECT_EQ(w.Grid2->model()->columnCount(), 7);
  EXPECT_EQ(w.Grid2->model()->rowCount(), 1);
  EXPECT_EQ(w.Grid2->model()->headerData(6, Qt::Horizontal).toString(), "字段7");
  EXPECT_EQ(w.Grid2->columnWidth(0), 100);
  EXPECT_EQ(w.Grid1->columnCount(), 2);
  EXPECT_EQ(w.Grid1->rowCount(), 1);
  EXPECT_EQ(w.Grid1->horizontalHeaderItem(0)->text(), "Excel字段");
  EXPECT_EQ(w.Grid1->horizontalHeaderItem(1)->text(), "Marc字段");
  EXPECT_EQ(w.Grid1->columnWidth(0), 137);
  EXPECT_TRUE(w.Grid1->font().families().contains("SimSun"));
  // Start-up texts and the template.
  EXPECT_EQ(w.cbkConnStr, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + std::string(ROWCASTER_BUILD_DIR) +
                              "/cbk.db;Persist Security Info=False");
  EXPECT_EQ(w.MarcCodeList.size(), 190u);
  EXPECT_EQ(w.Text2->toPlainText().toStdString() + "\n",
            QString::fromStdString(std::string(convert::kDefaultTemplate)).replace("\r\n", "\n").toStdString() + "\n");
  EXPECT_FALSE(w.List1->isVisible());
  EXPECT_EQ(w.List1->count(), 38);
}

TEST_F(Window, TheStartButtonFollowsBothPaths) {
  ui_.saveAnswers.push_back("/tmp/out.iso");
  window_->OutMarc_Click();
  ASSERT_EQ(ui_.dialogs.size(), 1u);
  EXPECT_EQ(ui_.dialogs[0].title, "保存Marc数据到文件");
  EXPECT_EQ(ui_.dialogs[0].filter.rfind("ISO(2709)|*.iso|txt|*.txt|", 0), 0u) << "the long-standing types come first";
  EXPECT_EQ(window_->MarcPath->text(), "/tmp/out.iso");
  EXPECT_FALSE(window_->StratConvert->isEnabled()) << "no data path yet";

  LoadBooks();
  EXPECT_TRUE(window_->StratConvert->isEnabled());
  window_->OutMarc_Click();  // cancelled: the path stays, the rule is applied again
  EXPECT_EQ(window_->MarcPath->text(), "/tmp/out.iso");
  EXPECT_TRUE(window_->StratConvert->isEnabled());

  ui_.openAnswers.push_back("/nonexistent/x.txt");
  window_->SelectExcel_Click();
  EXPECT_EQ(ui_.messages.back().text, "选择的数据文件不存在！");
  EXPECT_TRUE(window_->StratConvert->isEnabled()) << "a missing file leaves the button as it was";
  ui_.openAnswers.push_back(Fixture("make_fixtures.js"));
  window_->SelectExcel_Click();
  EXPECT_TRUE(window_->StratConvert->isEnabled()) << "the table shown before stays, and its path";
}

// Without a table shown, a failed open leaves the grids empty and the path box too.
TEST_F(Window, ImportFillsBothGridsAndAFailedFirstOpenLeavesThemEmpty) {
  const std::string bad = test::TempPath("broken.xls");
  std::ofstream(bad) << "broken";
  ui_.openAnswers.push_back(bad);
  window_->SelectExcel_Click();
  ASSERT_FALSE(ui_.messages.empty());
  EXPECT_EQ(ui_.messages.back().text.rfind("读取数据文件出错！\r\n", 0), 0u);
  EXPECT_EQ(ui_.messages.back().icon, Icon::Error);
  EXPECT_TRUE(window_->ExcelPath->text().isEmpty());
  EXPECT_EQ(window_->Grid2->model()->columnCount(), 7);
  EXPECT_EQ(window_->Grid1->rowCount(), 1);
  EXPECT_EQ(ui_.waitDepth, 0);

  ui_.messages.clear();
  LoadBooks();
  EXPECT_EQ(window_->Grid2->model()->rowCount(), 5);
  EXPECT_EQ(window_->Grid2->model()->headerData(0, Qt::Horizontal).toString(), "200a");
  EXPECT_EQ(window_->Grid2->model()->index(0, 0).data().toString(), "银行会计学");
  EXPECT_EQ(window_->Grid1->rowCount(), 7);
  EXPECT_EQ(Cell(0, 0), "200a");
  EXPECT_EQ(Cell(0, 1), "200a");
  EXPECT_EQ(Cell(6, 0), "note");
  EXPECT_EQ(Cell(6, 1), "");
}

// A second open that gives no table leaves the table, its mapping and its path as they were, and
// 开始转换 converts that table.
TEST_F(Window, AFailedOpenKeepsTheLoadedTable) {
  const std::string damaged = test::TempPath("damaged-second.xls");
  std::ofstream(damaged) << "broken";
  struct Case {
    const char* what;
    std::string path;
    bool cancelPicker;
    std::string message;  // the start of the one message shown; empty: none
  };
  const Case cases[] = {
      {"picker cancelled", Fixture("sheetjs_biff8.xls"), true, ""},
      {"missing file", "/nonexistent/books.xls", false, "选择的数据文件不存在！"},
      {"damaged file", damaged, false, "读取数据文件出错！\r\n"},
      {"no table", Fixture("shared/mdb/jackcess_emptyJet4_no-user-tables.mdb"), false, "选择的mdb数据文件中，没有发现表"},
      {"unknown kind", Fixture("make_fixtures.js"), false, "选择的数据文件无效！\r\n"},
  };
  const std::string out = test::TempPath("window-kept.iso");
  ui_.saveAnswers.push_back(out);
  window_->OutMarc_Click();
  LoadBooks();
  ClickCell(6, 1);
  PickEntry("330a");
  const std::vector<std::string> mapping = window_->Mapping().Mapping();
  ASSERT_EQ(mapping.at(6), "330a");
  const QString path = window_->ExcelPath->text();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    window_->tablePicker = [&c](const std::vector<std::string>& names) { return c.cancelPicker ? std::string() : names.at(0); };
    ui_.openAnswers.push_back(c.path);
    const std::size_t before = ui_.messages.size();
    window_->SelectExcel_Click();
    if (c.message.empty()) {
      EXPECT_EQ(ui_.messages.size(), before);
    } else {
      ASSERT_EQ(ui_.messages.size(), before + 1);
      EXPECT_EQ(ui_.messages.back().text.rfind(c.message, 0), 0u) << ui_.messages.back().text;
    }
    EXPECT_EQ(window_->Grid2->model()->rowCount(), 5);
    EXPECT_EQ(window_->Grid2->model()->index(0, 0).data().toString(), "银行会计学");
    EXPECT_EQ(window_->Mapping().Mapping(), mapping);
    EXPECT_EQ(window_->ExcelPath->text(), path);
    EXPECT_TRUE(window_->StratConvert->isEnabled());
    std::filesystem::remove(out);
    ASSERT_TRUE(ConvertAndWait());
    EXPECT_EQ(ui_.messages.back().text, " 恭喜，数据已转换完毕！");
  }
}

TEST_F(Window, ThePickerDialog) {
  import::SelectXlS picker(ui_, window_.get());
  EXPECT_EQ(picker.windowTitle(), "选择数据表");
  EXPECT_EQ(picker.size(), QSize(189, 159));
  picker.SetNames({"Sheet1$"});
  picker.CmdOk_Click();  // nothing selected
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "请选择表！");
  EXPECT_EQ(ui_.messages[0].icon, Icon::Information);
  EXPECT_EQ(picker.tableName, "");
  picker.List1->setCurrentRow(0);
  picker.CmdOk_Click();
  EXPECT_EQ(picker.tableName, "Sheet1$");
  picker.SetNames({"A", "B"});
  picker.List1->setCurrentRow(1);
  picker.Command2_Click();
  EXPECT_EQ(picker.tableName, "");
  picker.SetNames({"A"});
  picker.show();
  picker.List1->setCurrentRow(0);
  picker.close();  // the frame's close box
  EXPECT_EQ(picker.tableName, "");
  EXPECT_EQ(picker.result(), QDialog::Rejected);
}

TEST_F(Window, PicksDuplicatesAndTheKeyboardWalk) {
  LoadBooks();
  QListWidget* list = window_->List1;
  ClickCell(6, 0);
  EXPECT_FALSE(list->isVisible()) << "column 0 opens nothing";
  ClickCell(6, 1);
  ASSERT_TRUE(list->isVisible());
  EXPECT_EQ(list->height(), 254);
  PickEntry("606a");
  EXPECT_EQ(Cell(6, 1), "606a");
  EXPECT_FALSE(list->isVisible());
  EXPECT_TRUE(ui_.messages.empty());

  ClickCell(6, 1);
  EXPECT_EQ(list->currentItem()->text().left(4), "606a") << "pre-selected by the code";
  PickEntry("200d");  // an entry with a trailing blank still writes four characters
  EXPECT_EQ(Cell(6, 1), "200d");

  ClickCell(6, 1);
  PickEntry("200a");  // row 0 holds 200a
  EXPECT_EQ(Cell(6, 1), "");
  EXPECT_EQ(Cell(0, 1), "200a");
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "对不起,请不要重复选择MARC字段，请重新选择！");
  EXPECT_EQ(ui_.messages[0].title, "操作提示");
  EXPECT_EQ(ui_.messages[0].icon, Icon::Information);

  ClickCell(0, 1);
  PickEntry("200a");  // the code the cell already holds
  EXPECT_EQ(Cell(0, 1), "200a");
  EXPECT_EQ(ui_.messages.size(), 1u);

  // Enter in the grid moves down without opening the list; on the last row it does nothing.
  window_->Grid1->setCurrentCell(5, 1);
  QTest::keyClick(window_->Grid1, Qt::Key_Return);
  EXPECT_EQ(window_->Grid1->currentRow(), 6);
  EXPECT_FALSE(list->isVisible());
  QTest::keyClick(window_->Grid1, Qt::Key_Return);
  EXPECT_EQ(window_->Grid1->currentRow(), 6);

  // Enter in the list reopens it one row lower; Escape closes it and writes nothing.
  ClickCell(4, 1);
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(window_->Grid1->currentRow(), 5);
  EXPECT_TRUE(list->isVisible());
  const QRect cell = window_->Grid1->visualRect(window_->Grid1->model()->index(5, 1));
  const QPoint inGrid = window_->Grid1->viewport()->mapTo(window_->Grid1, cell.topLeft());
  const auto p = mapping::ShowMarcListPlacement(0, 1260, inGrid.x() * 15, inGrid.y() * 15, cell.width() * 15);
  EXPECT_EQ(list->geometry(), QRect((p.left + 7) / 15, (p.top + 7) / 15, (p.width + 7) / 15, 254));
  QTest::keyClick(list, Qt::Key_Escape);
  EXPECT_FALSE(list->isVisible());
  EXPECT_EQ(Cell(5, 1), "210c");

  // On the last row, Enter hands the focus to the start button only when it is enabled.
  ClickCell(6, 1);
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_TRUE(list->isVisible()) << "the start button is disabled: the list stays";
  window_->SetStartEnabled(true);
  QTest::keyClick(list, Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_TRUE(window_->StratConvert->hasFocus() || !list->isVisible());

  // Scrolling the grid closes the list.
  ClickCell(2, 1);
  ASSERT_TRUE(list->isVisible());
  emit window_->Grid1->verticalScrollBar()->valueChanged(1);
  EXPECT_FALSE(list->isVisible());
}

TEST(PickList, PlacesTheListOverTheCell) {
  const auto p = mapping::ShowMarcListPlacement(0, 1260, 2070, 240, 2050);
  EXPECT_EQ(p.left, 2050);
  EXPECT_EQ(p.top, 1720);
  EXPECT_EQ(p.width, 2060);
  EXPECT_EQ(mapping::CodeOfEntry("200d—并列正题名 "), "200d");
  EXPECT_FALSE(mapping::HasDuplicate({"", "", "200a"}));
  EXPECT_TRUE(mapping::HasDuplicate({"010a", "", "010a"}));
}

TEST_F(Window, RunChecksThenConvertsOnAWorkerThread) {
  window_->StratConvert_Click();
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "请选择导出MARC文件的路径");
  EXPECT_EQ(ui_.messages[0].title, "温馨提示");
  EXPECT_TRUE(window_->OutMarc->hasFocus());

  const std::string out = test::TempPath("window-run.iso");
  std::filesystem::remove(out);
  ui_.saveAnswers.push_back(out);
  window_->OutMarc_Click();
  window_->StratConvert_Click();
  EXPECT_EQ(ui_.messages.back().text, "对不起，必备字段：“题名”“ISBN”“价格”不能为忽略！请重新选择！");
  EXPECT_EQ(ui_.messages.back().title, "系统提示");

  LoadBooks();
  std::vector<std::string> captions;
  bool ended = false;
  window_->onConversionEnd = [&](const convert::RunResult&) { ended = true; };
  QObject::connect(window_.get(), &QWidget::windowTitleChanged, [&](const QString& t) { captions.push_back(t.toStdString()); });
  window_->StratConvert_Click();
  EXPECT_FALSE(window_->StratConvert->isEnabled());
  EXPECT_FALSE(window_->SelectExcel->isEnabled());
  for (int i = 0; i < 500 && !ended; ++i) QTest::qWait(10);
  ASSERT_TRUE(ended);
  EXPECT_EQ(window_->windowTitle(), "Rowcaster---转换完成");
  ASSERT_GE(captions.size(), 2u);
  EXPECT_EQ(captions[captions.size() - 2], "Rowcaster---转换中:5/5");
  EXPECT_EQ(ui_.messages.back().text, " 恭喜，数据已转换完毕！");
  EXPECT_EQ(ui_.messages.back().title, "温馨提示");
  EXPECT_TRUE(window_->StratConvert->isEnabled());
  EXPECT_TRUE(window_->SelectExcel->isEnabled());
  // yaz-marcdump reads what the window wrote.
  const std::string check = "yaz-marcdump -f GBK -t UTF-8 -p " + out + " 2>&1 >/dev/null | wc -c";
  std::FILE* p = popen(check.c_str(), "r");
  char buf[32] = {};
  std::fgets(buf, sizeof buf, p);
  pclose(p);
  EXPECT_EQ(std::atoi(buf), 0) << "no warning";
  EXPECT_GT(std::filesystem::file_size(out), 1000u);
}

// The type chosen in the save dialog is what the run writes; a file that already holds records
// brings a question: append (yes), replace (no) or nothing (cancel).
TEST_F(Window, WritesTheChosenTypeAndAsksBeforeTouchingRecords) {
  LoadBooks();
  const std::string out = test::TempPath("window-types.xml");
  std::filesystem::remove(out);
  ui_.saveAnswers.push_back(out);
  ui_.saveTypes.push_back(4);  // MARCXML
  window_->OutMarc_Click();
  ASSERT_TRUE(ConvertAndWait());
  const auto records = [&] {
    std::ifstream in(out, std::ios::binary);
    const std::string xml(std::istreambuf_iterator<char>(in), {});
    std::size_t n = 0;
    for (std::size_t p = xml.find("<record>"); p != std::string::npos; p = xml.find("<record>", p + 1)) ++n;
    return n;
  };
  EXPECT_EQ(records(), 5u);
  const std::size_t shown = ui_.messages.size();

  struct Case {
    ui::Answer answer;
    std::size_t after;
  };
  const Case cases[] = {{ui::Answer::Cancel, 5}, {ui::Answer::Yes, 10}, {ui::Answer::No, 5}};
  for (const Case& c : cases) {
    ui_.messageAnswers.push_back(c.answer);
    const std::size_t before = ui_.messages.size();
    if (c.answer == ui::Answer::Cancel) {
      window_->StratConvert_Click();
      EXPECT_TRUE(window_->StratConvert->isEnabled()) << "nothing started";
    } else {
      ASSERT_TRUE(ConvertAndWait());
    }
    ASSERT_GT(ui_.messages.size(), before);
    EXPECT_NE(ui_.messages[before].text.find("里已有"), std::string::npos) << ui_.messages[before].text;
    EXPECT_EQ(ui_.messages[before].buttons, ui::Buttons::YesNoCancel);
    EXPECT_EQ(records(), c.after);
  }
  EXPECT_GT(ui_.messages.size(), shown);

  // GBK records then UTF-8 ones: not appended, only replaced when the user says so.
  const std::string iso = test::TempPath("window-types.iso");
  std::filesystem::remove(iso);
  ui_.saveAnswers.push_back(iso);
  ui_.saveTypes.push_back(0);
  window_->OutMarc_Click();
  ASSERT_TRUE(ConvertAndWait());
  ui_.saveAnswers.push_back(iso);
  ui_.saveTypes.push_back(3);  // UTF-8
  window_->OutMarc_Click();
  ui_.messageAnswers.push_back(ui::Answer::No);
  const std::size_t before = ui_.messages.size();
  window_->StratConvert_Click();
  ASSERT_EQ(ui_.messages.size(), before + 1);
  EXPECT_NE(ui_.messages.back().text.find("只能有一种编码"), std::string::npos) << ui_.messages.back().text;
  EXPECT_TRUE(window_->StratConvert->isEnabled());
}

TEST_F(Window, TheTemplateBoxWrapsLongLines) {
  window_->Text2->setPlainText(QString("330    |a ") + QString(400, QChar(0x5B57)));
  QApplication::processEvents();
  EXPECT_FALSE(window_->Text2->horizontalScrollBar()->isVisible());
  EXPECT_TRUE(window_->Text2->verticalScrollBar()->isVisible());
  EXPECT_GT(window_->Text2->document()->documentLayout()->documentSize().height(), 3) << "one line shown on several";
}

TEST_F(Window, ARunThatCannotWriteLeavesNoProgressCaption) {
  LoadBooks();
  ui_.saveAnswers.push_back("/nonexistent/dir/out.iso");
  window_->OutMarc_Click();
  ASSERT_TRUE(ConvertAndWait());
  EXPECT_EQ(window_->windowTitle(), "Rowcaster");
  EXPECT_EQ(ui_.messages.back().text, "无法写入输出文件 /nonexistent/dir/out.iso：文件或文件夹不存在，请换一个文件夹或文件名");
  EXPECT_TRUE(window_->StratConvert->isEnabled());
}

// The rule set is chosen from the template box's context menu, named in the frame's caption,
// brings its template, and is there again at the next start.
TEST_F(Window, TheRuleSetFromTheTemplateMenuIsRemembered) {
  EXPECT_EQ(window_->Frame3->title(), "转换模板");
  QStringList offered;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    auto* rules = menu->findChild<QMenu*>("RulesMenu");
    ASSERT_NE(rules, nullptr);
    for (QAction* a : rules->actions()) offered << a->objectName();
    rules->findChild<QAction*>("rules-recommended")->trigger();
    menu->close();
  });
  emit window_->Text2->customContextMenuRequested(QPoint(10, 10));
  EXPECT_EQ(offered, (QStringList{"rules-classic", "rules-recommended"}));
  // The same menu tells the version.
  ChooseFromContextMenu(window_->Text2, QPoint(10, 10), "about");
  ASSERT_FALSE(ui_.messages.empty());
  EXPECT_EQ(ui_.messages.back().title, "关于 Rowcaster");
  EXPECT_EQ(ui_.messages.back().text.find(std::string("Rowcaster ") + ROWCASTER_VERSION), 0u);
  EXPECT_EQ(window_->Rules(), convert::Rules::Recommended);
  EXPECT_EQ(window_->Frame3->title(), "转换模板（推荐规则）");
  EXPECT_TRUE(window_->Text2->toPlainText().contains("801  0 |aCN{801b}"));
  EXPECT_EQ(window_->Frame3->geometry(), QRect(0, 344, 305, 249)) << "nothing moved";

  // A new window, as at the next start, comes back with the recommended rules.
  ui::ScriptedUi ui;
  auto again = std::make_unique<MainWindow>(ui, ROWCASTER_BUILD_DIR);
  EXPECT_EQ(again->Rules(), convert::Rules::Recommended);
  EXPECT_EQ(again->Frame3->title(), "转换模板（推荐规则）");
  again->SetRules(convert::Rules::Classic);
  EXPECT_EQ(again->Frame3->title(), "转换模板");
  EXPECT_EQ(again->Text2->toPlainText().toStdString() + "\n",
            QString::fromStdString(std::string(convert::kDefaultTemplate)).replace("\r\n", "\n").toStdString() + "\n");
  ui.messageAnswers.push_back(ui::Answer::Yes);
  again->close();
}

// A run by the recommended rules needs the title only and lists every row that needs a look.
TEST_F(Window, TheEndMessageListsTheRowsOfTheReport) {
  ASSERT_TRUE(ConvertBooksByTheRecommendedRules("window-recommended.iso"));
  const auto& shown = ui_.messages.back();
  EXPECT_NE(shown.text.find("条有警告"), std::string::npos) << shown.text;
  EXPECT_NE(shown.details.find("行\t表格行\t题名\tISBN\t级别\t类别\t字段\t说明"), std::string::npos) << shown.details;
  EXPECT_NE(shown.details.find("错误\tno-title\t200 $a\t没有题名"), std::string::npos) << "the empty row" << shown.details;
  window_->SetRules(convert::Rules::Classic);
}

// After a run by the recommended rules the results window lists every finding of the report: it
// sorts by row, filters by level, selects and previews a finding's row on a double click, and saves
// the report as a workbook that reads back; the content grid's menu opens it again.
TEST_F(Window, TheResultsWindowSortsFiltersPreviewsAndSaves) {
  ASSERT_TRUE(ConvertBooksByTheRecommendedRules("window-results.iso"));
  ResultsWindow* results = window_->Results();
  ASSERT_NE(results, nullptr);
  EXPECT_TRUE(results->isVisible());
  const auto table = results->Table();
  QAbstractItemModel* shown = results->Findings->model();
  ASSERT_EQ(static_cast<std::size_t>(shown->rowCount()), table.size() - 1);
  EXPECT_FALSE(results->Counts->text().isEmpty());

  int last = 0;
  for (std::size_t k = 1; k < table.size(); ++k) last = std::max(last, table[k][0].empty() ? 0 : std::stoi(table[k][0]));
  results->Findings->sortByColumn(0, Qt::DescendingOrder);
  EXPECT_EQ(shown->index(0, 0).data().toInt(), last) << "rows sort as numbers, the last first";

  results->FilterBy("错误", "", "");
  ASSERT_GT(shown->rowCount(), 0);
  for (int r = 0; r < shown->rowCount(); ++r) EXPECT_EQ(shown->index(r, 4).data().toString(), "错误");
  const int row = shown->index(0, 0).data().toInt();
  const QRect cell = results->Findings->visualRect(shown->index(0, 7));
  QTest::mouseClick(results->Findings->viewport(), Qt::LeftButton, {}, cell.center());  // a double click's first press
  QTest::mouseDClick(results->Findings->viewport(), Qt::LeftButton, {}, cell.center());
  QApplication::processEvents();
  const QModelIndexList selected = window_->Grid2->selectionModel()->selectedRows();
  ASSERT_EQ(selected.size(), 1);
  EXPECT_EQ(selected[0].row(), row - 1);
  ASSERT_FALSE(ui_.texts.empty());
  EXPECT_EQ(ui_.texts.back().first.rfind("第 " + std::to_string(row) + " 行的记录", 0), 0u) << ui_.texts.back().first;
  results->FilterBy("", "", "");
  EXPECT_EQ(static_cast<std::size_t>(shown->rowCount()), table.size() - 1);

  const std::string saved = test::TempPath("window-report.xlsx");
  std::filesystem::remove(saved);
  ui_.saveAnswers.push_back(saved);
  results->SaveReport->click();
  const auto parts = import::SplitPath(saved);
  auto reader = data::InProcessReader();
  const auto back = import::LoadTable(*reader, "xlsx", import::ConnectionStringFor("xlsx", saved, parts->folder),
                                      import::QueryTextFor("xlsx", "Sheet1$", parts->fileName));
  EXPECT_EQ(back->RowCount(), table.size() - 1);
  std::filesystem::remove(saved);

  results->close();
  window_->ShowResults();
  EXPECT_TRUE(results->isVisible()) << "the menu's 查看转换报告 opens it again";
  window_->SetRules(convert::Rules::Classic);
}

// Columns named 书名, 作者, ISBN … are mapped by their names: on import with the recommended rules,
// and from the mapping grid's context menu with either.
TEST_F(Window, MapsColumnsByTheirNames) {
  const std::vector<std::string> expected = {"", "200a", "200f", "010a", "010d", "210c", "210d", "330a", "215a", "215d", ""};
  window_->tablePicker = [](const std::vector<std::string>& names) { return names.at(0); };
  ui_.openAnswers.push_back(Fixture("messy_vendor.xls"));
  window_->SelectExcel_Click();
  EXPECT_EQ(window_->Mapping().Mapping(), std::vector<std::string>(11)) << "the classic rules map exact codes only";
  ChooseFromContextMenu(window_->Grid1, QPoint(5, 5), "map-by-name");
  EXPECT_EQ(window_->Mapping().Mapping(), expected);
  EXPECT_EQ(Cell(1, 1), "200a");

  window_->SetRules(convert::Rules::Recommended);
  ui_.openAnswers.push_back(Fixture("messy_vendor.xls"));
  window_->SelectExcel_Click();
  EXPECT_EQ(window_->Mapping().Mapping(), expected);
  EXPECT_TRUE(window_->StratConvert->isEnabled() || window_->MarcPath->text().isEmpty());
  window_->SetRules(convert::Rules::Classic);
}

// Codes filled by column names are tinted, with a tip, until the user picks a code for the cell or
// confirms them all; a column whose values do not fit its name, and a category column, are marked
// with why they were left.
TEST_F(Window, MarksTheCodesMappedByNamesUntilTheUserConfirmsThem) {
  window_->SetRules(convert::Rules::Recommended);
  ui_.openAnswers.push_back(Fixture("headers/distributor_prices_in_pages.csv"));
  window_->SelectExcel_Click();
  mapping::MappingGrid& grid = window_->Mapping();
  const auto tinted = [&](int row) {
    const QBrush brush = window_->Grid1->item(row, 1)->background();
    return brush.style() != Qt::NoBrush && brush.color() == QColor(255, 250, 205);
  };
  const auto plain = [&](int row) {
    return window_->Grid1->item(row, 1)->background().style() == Qt::NoBrush && grid.MarkOf(row).empty() && !grid.IsNamed(row);
  };
  ASSERT_EQ(grid.Mapping(), (std::vector<std::string>{"200a", "200f", "210c", "210d", "010a", "", "", ""}));
  for (int row = 0; row < 5; ++row) {
    EXPECT_TRUE(grid.IsNamed(row)) << row;
    EXPECT_TRUE(tinted(row)) << row;
  }
  EXPECT_EQ(grid.MarkOf(0), "按列名“name”对应 200a，请核对：选一个字段即修改，右键菜单可全部确认");
  EXPECT_EQ(grid.MarkOf(5), "“page”没有对应 215a：这一列的值是价格（如“67.80”）");
  EXPECT_FALSE(grid.IsNamed(5));
  EXPECT_FALSE(tinted(5)) << "a fault to look at, not a guess";
  EXPECT_TRUE(plain(6)) << "discount: no name for it";
  EXPECT_EQ(grid.MarkOf(7), "“category”是图书的类别，没有对应；可以对应 690a 或 606a");
  EXPECT_TRUE(ui_.messages.empty()) << "marks, no message";

  // The user changes one: its tint goes, the others stay.
  ClickCell(1, 1);
  PickEntry("200g");
  EXPECT_EQ(Cell(1, 1), "200g");
  EXPECT_TRUE(plain(1));
  EXPECT_TRUE(tinted(0));
  // Picking the code a cell holds confirms it.
  ClickCell(0, 1);
  PickEntry("200a");
  EXPECT_EQ(Cell(0, 1), "200a");
  EXPECT_TRUE(plain(0));
  EXPECT_TRUE(tinted(2));
  // The mapping menu confirms the rest; the marks of the columns left stay.
  ChooseFromContextMenu(window_->Grid1, QPoint(5, 5), "confirm-named");
  for (int row = 0; row < 5; ++row) EXPECT_TRUE(plain(row)) << row;
  EXPECT_FALSE(grid.MarkOf(5).empty());
  EXPECT_FALSE(grid.HasNamed());
  EXPECT_EQ(grid.Mapping(), (std::vector<std::string>{"200a", "200g", "210c", "210d", "010a", "", "", ""}));

  // Under the classic rules an import maps no names and tints nothing; the menu's mapping by names
  // tints what it maps, and keeps the tint of what an earlier one mapped.
  window_->SetRules(convert::Rules::Classic);
  ui_.openAnswers.push_back(Fixture("headers/distributor_prices_in_pages.csv"));
  window_->SelectExcel_Click();
  ASSERT_EQ(grid.Mapping(), std::vector<std::string>(8));
  for (int row = 0; row < 8; ++row) EXPECT_TRUE(plain(row)) << row;
  ClickCell(2, 1);
  PickEntry("210c");
  ChooseFromContextMenu(window_->Grid1, QPoint(5, 5), "map-by-name");
  EXPECT_EQ(grid.Mapping(), (std::vector<std::string>{"200a", "200f", "210c", "210d", "010a", "", "", ""}));
  EXPECT_TRUE(tinted(0));
  EXPECT_TRUE(plain(2)) << "the user's own pick";
  ChooseFromContextMenu(window_->Grid1, QPoint(5, 5), "map-by-name");
  EXPECT_TRUE(tinted(0)) << "still not confirmed";
  EXPECT_TRUE(plain(2));
}

// A double click on a content row shows that row's record, listed field by field, writing nothing.
TEST_F(Window, PreviewsTheRecordOfARow) {
  LoadBooks();
  const QRect cell = window_->Grid2->visualRect(window_->Content().index(1, 0));
  QTest::mouseClick(window_->Grid2->viewport(), Qt::LeftButton, {}, cell.center());
  QTest::mouseDClick(window_->Grid2->viewport(), Qt::LeftButton, {}, cell.center());
  ASSERT_EQ(ui_.texts.size(), 1u);
  EXPECT_EQ(ui_.texts[0].first, "第 2 行的记录（标准规则，未写入文件）");
  const std::string& text = ui_.texts[0].second;
  EXPECT_NE(text.find("200 1  $a 长江三峡 $A chang jiang san xia $f 李四著,王五"), std::string::npos) << text;
  EXPECT_NE(text.find("102    $a CN $b 310000"), std::string::npos) << text;
  EXPECT_TRUE(window_->MarcPath->text().isEmpty()) << "no output was chosen, none is needed";

  // The recommended rules with their warnings, from the context menu.
  window_->SetRules(convert::Rules::Recommended);
  const QRect last = window_->Grid2->visualRect(window_->Content().index(4, 0));
  ChooseFromContextMenu(window_->Grid2, last.center(), "preview-row");
  ASSERT_EQ(ui_.texts.size(), 2u);
  EXPECT_NE(ui_.texts[1].second.find("警告："), std::string::npos) << ui_.texts[1].second;
  window_->SetRules(convert::Rules::Classic);
}

// A profile saved from the window converts a later table the same way; the window started again
// comes back with its profile and an unsaved template edit.
TEST_F(Window, ProfilesAndTheNextStart) {
  LoadBooks();
  window_->Text2->setPlainText(window_->Text2->toPlainText().replace("ZELKOV", "110001"));
  const std::string path = test::TempPath("window-profile.json");
  ui_.saveAnswers.push_back(path);
  ChooseFromContextMenu(window_->Grid1, QPoint(5, 5), "profile-save-as");
  std::string error;
  const auto saved = convert::LoadProfile(path, error);
  ASSERT_TRUE(saved) << error;
  EXPECT_EQ(saved->name, "rowcaster-" + std::to_string(getpid()) + "-window-profile");
  EXPECT_NE(saved->templateText.find("|b110001"), std::string::npos);
  ASSERT_EQ(saved->mapping.size(), 6u);
  EXPECT_EQ(saved->mapping[0].column, "200a");
  EXPECT_EQ(window_->Frame3->title().toStdString(), "转换模板（方案：" + saved->name + "）");

  // Back to 标准: the specified caption and template.
  ChooseFromContextMenu(window_->Grid1, QPoint(5, 5), "profile-standard");
  EXPECT_EQ(window_->Frame3->title(), "转换模板");
  EXPECT_FALSE(window_->Text2->toPlainText().contains("110001"));

  // Load it again, edit the template without saving, and start a second window.
  ui_.openAnswers.push_back(path);
  ChooseFromContextMenu(window_->Text2, QPoint(5, 5), "profile-load");
  EXPECT_TRUE(window_->Text2->toPlainText().contains("110001"));
  window_->Text2->setPlainText(window_->Text2->toPlainText() + "\n300    |a本馆编目");
  window_->Mapping().SetFields(window_->Content().Table()->FieldNames(), {"200a", "010a", "010d", "210d", "200f", "210c", "330a"});
  ui_.messageAnswers.push_back(ui::Answer::Yes);
  window_->close();
  ui::ScriptedUi ui;
  MainWindow again(ui, ROWCASTER_BUILD_DIR);
  EXPECT_EQ(again.ProfileInUse().name, saved->name);
  EXPECT_TRUE(again.Text2->toPlainText().endsWith("300    |a本馆编目")) << "the unsaved edit came back";
  EXPECT_TRUE(ui.messages.empty());
  // The unsaved mapping too, when the same kind of table comes again.
  again.tablePicker = [](const std::vector<std::string>& names) { return names.at(0); };
  ui.openAnswers.push_back(Fixture("sheetjs_biff8.xls"));
  again.SelectExcel_Click();
  // (columns named like a code are mapped to it first, always; "note" keeps the 330a given it)
  EXPECT_EQ(again.Mapping().Mapping(), (std::vector<std::string>{"200a", "010a", "010d", "210d", "200f", "210c", "330a"}));

  // A damaged profile file at the next start: a clear message and the 标准 profile.
  std::ofstream(path) << "{ not json";
  ui::ScriptedUi third;
  MainWindow damaged(third, ROWCASTER_BUILD_DIR);
  ASSERT_EQ(third.messages.size(), 1u);
  EXPECT_NE(third.messages[0].text.find("改用标准方案"), std::string::npos) << third.messages[0].text;
  EXPECT_EQ(damaged.ProfileInUse().name, "标准");
  third.messageAnswers.push_back(ui::Answer::Yes);
  ui.messageAnswers.push_back(ui::Answer::Yes);
}

// A table of `csv` text written to a file of its own, loaded through the window.
std::string TableFile(const std::string& name, const std::string& csv) {
  const std::string path = test::TempPath(name + ".csv");
  std::ofstream(path, std::ios::binary | std::ios::trunc) << csv;
  return path;
}

// A saved mapping finds its columns by name on a table of another shape; what it cannot find is
// left empty, marked where the column stood, and named once.
TEST_F(Window, AProfileMapsOnlyTheColumnsItFinds) {
  const std::string shelf = TableFile("shelf", "书名,ISBN,定价,作者,备注\n书一,9787302123453,25,张三,x\n");
  ui_.openAnswers.push_back(shelf);
  window_->SelectExcel_Click();
  window_->Mapping().SetFields(window_->Content().Table()->FieldNames(), {"200a", "010a", "010d", "200f", "300a"});
  const std::string path = test::TempPath("书商目录.json");
  ui_.saveAnswers.push_back(path);
  ChooseFromContextMenu(window_->Grid1, QPoint(5, 5), "profile-save-as");
  const std::string name = window_->ProfileInUse().name;
  struct Case {
    const char* what;
    std::string csv;
    std::vector<std::string> codes;
    std::string says;             // the message, or empty for none
    std::vector<int> marked;      // rows whose code cell is marked
  };
  const Case cases[] = {
      {"the same shape", "书名,ISBN,定价,作者,备注\n书二,9787302123453,30,李四,y\n", {"200a", "010a", "010d", "200f", "300a"}, "", {}},
      {"another shape", "是否新书,序号,书名,定价\nTrue,1,书二,30\n", {"", "", "200a", "010d"},
       "方案“" + name + "”有 3 列在这张表里找不到：ISBN、作者、备注", {1}},
      {"one column renamed", "书名,ISBN,定价,责任者,备注\n书二,9787302123453,30,李四,y\n", {"200a", "010a", "010d", "", "300a"},
       "方案“" + name + "”有 1 列在这张表里找不到：作者", {3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::size_t before = ui_.messages.size();
    ui_.openAnswers.push_back(TableFile("shape", c.csv));
    window_->SelectExcel_Click();
    EXPECT_EQ(window_->Mapping().Mapping(), c.codes);
    if (c.says.empty()) {
      EXPECT_EQ(ui_.messages.size(), before);
    } else {
      ASSERT_EQ(ui_.messages.size(), before + 1);
      EXPECT_EQ(ui_.messages.back().text, c.says);
    }
    for (int row = 0; row < static_cast<int>(c.codes.size()); ++row)
      EXPECT_EQ(!window_->Mapping().MarkOf(row).empty(),
                std::find(c.marked.begin(), c.marked.end(), row) != c.marked.end()) << row;
  }
}

// The mapping of the last start comes back by exact column names only, and never under 标准.
TEST_F(Window, TheLastMappingComesBackByNameOutsideTheStandardProfile) {
  const std::string first = TableFile("last", "书名,自定义,备注\n书一,x,y\n");
  const std::string exact = TableFile("exact", "序号,自定义,书名\n1,x,书二\n");
  const std::string near = TableFile("near", "自定 义,序号,书名\nx,1,书三\n");
  struct Case {
    const char* profile;  // the menu action before the first start's table, or nullptr for 标准
    std::vector<std::string> exactCodes, nearCodes;
  };
  const Case cases[] = {
      {nullptr, {"", "", ""}, {"", "", ""}},
      {"profile-recommended", {"", "606a", "200a"}, {"", "", "200a"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile ? c.profile : "标准");
    QSettings().clear();
    {
      ui::ScriptedUi ui;
      MainWindow w(ui, ROWCASTER_BUILD_DIR);
      if (c.profile) ChooseFromContextMenu(w.Grid1, QPoint(5, 5), c.profile);
      ui.openAnswers.push_back(first);
      w.SelectExcel_Click();
      w.Mapping().SetFields(w.Content().Table()->FieldNames(), {"200a", "606a", "300a"});
      ui.messageAnswers.push_back(ui::Answer::Yes);
      w.close();
    }
    ui::ScriptedUi ui;
    MainWindow again(ui, ROWCASTER_BUILD_DIR);
    ui.openAnswers.push_back(exact);
    again.SelectExcel_Click();
    EXPECT_EQ(again.Mapping().Mapping(), c.exactCodes);
    ui.openAnswers.push_back(near);
    again.SelectExcel_Click();
    EXPECT_EQ(again.Mapping().Mapping(), c.nearCodes);
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front().text;
    ui.messageAnswers.push_back(ui::Answer::Yes);
  }
}

// The save dialog offers the type the profile writes, and the records are written so.
TEST_F(Window, TheProfilesOutputTypeIsOfferedAndWritten) {
  convert::Profile p = *convert::BuiltInProfile("推荐");
  p.name = "UTF-8 目录";
  p.encoding = iso2709::Encoding::Utf8;
  const std::string path = test::TempPath("utf8-profile.json");
  std::string error;
  ASSERT_TRUE(convert::SaveProfile(p, path, error)) << error;
  ui_.openAnswers.push_back(path);
  ChooseFromContextMenu(window_->Text2, QPoint(5, 5), "profile-load");
  ui_.openAnswers.push_back(TableFile("utf8", "书名,ISBN,定价\n银行会计学,9787302123453,25\n"));
  window_->SelectExcel_Click();
  const std::string out = test::TempPath("utf8-profile.iso");
  std::filesystem::remove(out);
  ui_.saveAnswers.push_back(out);
  window_->OutMarc_Click();
  EXPECT_EQ(ui_.dialogs.back().offeredType, 3);
  EXPECT_EQ(window_->MarcPath->toolTip().toStdString(), "ISO 2709，UTF-8 编码");
  ASSERT_TRUE(ConvertAndWait());
  std::ifstream in(out, std::ios::binary);
  const std::string bytes(std::istreambuf_iterator<char>(in), {});
  EXPECT_NE(bytes.find("银行会计学"), std::string::npos) << "UTF-8 records";
  EXPECT_NE(ui_.messages.back().text.find("记录写成了 ISO 2709，UTF-8 编码"), std::string::npos) << ui_.messages.back().text;
  // Under 标准 the long-standing first type is offered.
  ChooseFromContextMenu(window_->Grid1, QPoint(5, 5), "profile-standard");
  ui_.saveAnswers.push_back(out);
  window_->OutMarc_Click();
  EXPECT_EQ(ui_.dialogs.back().offeredType, 0);
  EXPECT_EQ(window_->MarcPath->toolTip().toStdString(), "ISO 2709，GBK 编码");
}

// A table's repeated row is merged into the earlier row's record, unless the profile keeps
// duplicates; the end message says how many rows were merged.
TEST_F(Window, TheProfileSaysWhetherRepeatedRowsAreMerged) {
  for (const bool keep : {false, true}) {
    SCOPED_TRACE(keep ? "kept" : "merged");
    convert::Profile p = *convert::BuiltInProfile("推荐");
    p.name = keep ? "保留重复" : "合并重复";
    p.keepDuplicates = keep;
    const std::string path = test::TempPath(keep ? "keep-profile.json" : "merge-profile.json");
    std::string error;
    ASSERT_TRUE(convert::SaveProfile(p, path, error)) << error;
    ui_.openAnswers.push_back(path);
    ChooseFromContextMenu(window_->Text2, QPoint(5, 5), "profile-load");
    ui_.openAnswers.push_back(
        TableFile("repeats", "书名,ISBN,复本\n银行会计学,9787302123453,2\n银行会计学,9787302123453,1\n长江三峡,,1\n"));
    window_->SelectExcel_Click();
    const std::string out = test::TempPath(keep ? "keep-profile.iso" : "merge-profile.iso");
    std::filesystem::remove(out);
    ui_.saveAnswers.push_back(out);
    window_->OutMarc_Click();
    ASSERT_TRUE(ConvertAndWait());
    std::ifstream in(out, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\x1D'), keep ? 3 : 2);
    const std::string& said = ui_.messages.back().text;
    EXPECT_EQ(said.find("1 行与前面的行重复，并入了那一行的记录") != std::string::npos, !keep) << said;
  }
}

// Switching the rule set from the 转换规则 menu keeps an edited template unless the user says
// otherwise; Enter keeps everything as it was.
TEST_F(Window, SwitchingRulesAsksBeforeReplacingAnEditedTemplate) {
  const QString classic = QString::fromStdString(std::string(convert::DefaultTemplate(convert::Rules::Classic))).replace("\r\n", "\n");
  const QString recommended =
      QString::fromStdString(std::string(convert::DefaultTemplate(convert::Rules::Recommended))).replace("\r\n", "\n");
  const QString edited = classic + "\n300    |a本馆编目";
  struct Case {
    const char* what;
    std::optional<ui::Answer> answer;  // none: the default button
    convert::Rules rules;
    QString templateText;
  };
  const Case cases[] = {
      {"yes", ui::Answer::Yes, convert::Rules::Recommended, recommended},
      {"no", ui::Answer::No, convert::Rules::Recommended, edited},
      {"cancel", ui::Answer::Cancel, convert::Rules::Classic, edited},
      {"enter", std::nullopt, convert::Rules::Classic, edited},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    window_->SetRules(convert::Rules::Classic);
    window_->Text2->setPlainText(edited);
    if (c.answer) ui_.messageAnswers.push_back(*c.answer);
    const std::size_t before = ui_.messages.size();
    ChooseFromContextMenu(window_->Text2, QPoint(10, 10), "rules-recommended");
    ASSERT_EQ(ui_.messages.size(), before + 1);
    const auto& asked = ui_.messages.back();
    EXPECT_EQ(asked.text,
              "模板已经改过。换成“推荐规则”的模板吗？\r\n\r\n是：换成新规则的模板，改过的模板不保留\r\n"
              "否：保留改过的模板，只换规则\r\n取消：不换规则");
    EXPECT_EQ(asked.title, "温馨提示");
    EXPECT_EQ(asked.icon, Icon::Question);
    EXPECT_EQ(asked.buttons, ui::Buttons::CancelYesNo);
    EXPECT_EQ(window_->Rules(), c.rules);
    EXPECT_EQ(window_->Text2->toPlainText(), c.templateText);
    EXPECT_EQ(window_->Frame3->title(), c.rules == convert::Rules::Recommended ? "转换模板（推荐规则）" : "转换模板");
  }

  // The rule set's own template, unedited, is replaced without a word.
  window_->SetRules(convert::Rules::Recommended);
  const std::size_t before = ui_.messages.size();
  ChooseFromContextMenu(window_->Text2, QPoint(10, 10), "rules-classic");
  EXPECT_EQ(window_->Rules(), convert::Rules::Classic);
  EXPECT_EQ(window_->Text2->toPlainText(), classic);
  // A profile brings its own template: no question either.
  window_->Text2->setPlainText(edited);
  ChooseFromContextMenu(window_->Text2, QPoint(10, 10), "profile-recommended");
  EXPECT_EQ(window_->Rules(), convert::Rules::Recommended);
  EXPECT_EQ(ui_.messages.size(), before);
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// An output file whose second record's length is one too small: nothing is appended to it; it is
// replaced only on Yes, and No is the default.
TEST_F(Window, ADamagedOutputFileIsReplacedOnlyOnYes) {
  LoadBooks();
  const std::string out = test::TempPath("window-damaged.iso");
  std::filesystem::remove(out);
  ui_.saveAnswers.push_back(out);
  window_->OutMarc_Click();
  ASSERT_TRUE(ConvertAndWait());
  std::string bytes = FileBytes(out);
  ASSERT_EQ(std::count(bytes.begin(), bytes.end(), '\x1D'), 5);
  const std::size_t second = static_cast<std::size_t>(std::stoi(bytes.substr(0, 5)));
  char length[6];
  std::snprintf(length, sizeof length, "%05d", std::stoi(bytes.substr(second, 5)) - 1);
  bytes.replace(second, 5, length);
  struct Case {
    const char* what;
    std::optional<ui::Answer> answer;  // none: the default button
    bool replaced;
  };
  const Case cases[] = {{"enter", std::nullopt, false}, {"no", ui::Answer::No, false}, {"yes", ui::Answer::Yes, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::ofstream(out, std::ios::binary | std::ios::trunc) << bytes;
    if (c.answer) ui_.messageAnswers.push_back(*c.answer);
    const std::size_t before = ui_.messages.size();
    if (c.replaced) {
      ASSERT_TRUE(ConvertAndWait());
    } else {
      window_->StratConvert_Click();
      EXPECT_FALSE(window_->Converting());
    }
    ASSERT_GT(ui_.messages.size(), before);
    const auto& asked = ui_.messages[before];
    EXPECT_NE(asked.text.find("第 2 条记录的长度不对"), std::string::npos) << asked.text;
    EXPECT_NE(asked.text.find("它原有的 5 条记录将被删除"), std::string::npos) << asked.text;
    EXPECT_EQ(asked.buttons, ui::Buttons::NoYes);
    EXPECT_EQ(asked.icon, Icon::Question);
    const std::string after = FileBytes(out);
    if (!c.replaced) {
      EXPECT_EQ(ui_.messages.size(), before + 1) << "nothing ran";
      EXPECT_EQ(after, bytes);
      continue;
    }
    EXPECT_EQ(ui_.messages.back().text, " 恭喜，数据已转换完毕！");
    const output::ExistingOutput now = output::InspectOutput(out, iso2709::Format::Iso2709, iso2709::Encoding::Gbk);
    EXPECT_EQ(now.refusal, output::Refusal::None);
    EXPECT_EQ(now.records, 5) << "the new records only";
  }
}

// The same table converted again into the same file: the question says so and cancelling is its
// default. Another mapping writes other records: the usual question, appending the default.
TEST_F(Window, ConvertingTheSameTableAgainDefaultsToCancel) {
  LoadBooks();
  const std::string out = test::TempPath("window-again.iso");
  std::filesystem::remove(out);
  ui_.saveAnswers.push_back(out);
  window_->OutMarc_Click();
  ASSERT_TRUE(ConvertAndWait());
  const std::string bytes = FileBytes(out);
  const std::string again = "这张表可能已经转换过";
  struct Case {
    const char* what;
    std::vector<std::string> mapping;  // empty: the mapping of the first run
    bool sameRecords;
    ui::Buttons buttons;
  };
  const Case cases[] = {
      {"same table and mapping", {}, true, ui::Buttons::CancelYesNo},
      {"another mapping", {"200a", "010a", "010d", "210d", "", "210c", ""}, false, ui::Buttons::YesNoCancel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.mapping.empty()) window_->Mapping().SetFields(window_->Content().Table()->FieldNames(), c.mapping);
    if (!c.sameRecords) ui_.messageAnswers.push_back(ui::Answer::Cancel);  // its default would append
    const std::size_t before = ui_.messages.size();
    window_->StratConvert_Click();
    ASSERT_EQ(ui_.messages.size(), before + 1);
    const auto& asked = ui_.messages.back();
    EXPECT_NE(asked.text.find("里已有 5 条记录"), std::string::npos) << asked.text;
    EXPECT_EQ(asked.text.find(again) != std::string::npos, c.sameRecords) << asked.text;
    EXPECT_EQ(asked.buttons, c.buttons);
    EXPECT_FALSE(window_->Converting());
    EXPECT_EQ(FileBytes(out), bytes);
  }
}

// A long run shows its progress in a window of its own; 停止 ends it after a whole record, the file
// holding only whole records, and the message says how many; a quit during a run says what it does.
TEST_F(Window, AStoppedRunKeepsWholeRecordsAndSaysHowMany) {
  auto big = std::make_shared<import::LoadedTable>(std::vector<std::string>{"200a", "010a", "010d"});
  for (int k = 0; k < 400000; ++k)
    big->AppendRow(std::vector<std::string>{"长江三峡" + std::to_string(k), "9787302123453", "25.00"});
  window_->ShowTable(big, {"200a", "010a", "010d"});
  const std::string out = test::TempPath("window-stopped.iso");
  std::filesystem::remove(out);
  ui_.saveAnswers.push_back(out);
  window_->OutMarc_Click();
  bool ended = false;
  window_->onConversionEnd = [&](const convert::RunResult&) { ended = true; };
  window_->StratConvert_Click();
  ASSERT_TRUE(window_->Converting());
  ProgressWindow* progress = window_->Progress();
  ASSERT_NE(progress, nullptr);
  EXPECT_TRUE(progress->isVisible());
  for (int i = 0; i < 100 && progress->Status->text().contains("写入 0 条"); ++i) QTest::qWait(10);

  ui_.messageAnswers.push_back(ui::Answer::No);  // not quitting after all
  window_->ExitSoft_Click();
  EXPECT_EQ(ui_.messages.back().text.rfind("转换进行中，已写入 ", 0), 0u) << ui_.messages.back().text;
  EXPECT_NE(ui_.messages.back().text.find("退出将停止转换。\r\n确定退出Rowcaster吗？（Y/N）"), std::string::npos);

  QTest::keyClick(progress, Qt::Key_Escape);
  for (int i = 0; i < 500 && !ended; ++i) QTest::qWait(10);
  window_->onConversionEnd = nullptr;
  ASSERT_TRUE(ended);
  EXPECT_FALSE(progress->isVisible());
  std::ifstream in(out, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  const auto records = std::count(bytes.begin(), bytes.end(), '\x1D');
  EXPECT_GT(records, 0);
  EXPECT_LT(records, 400000) << "stopped before the end";
  EXPECT_EQ(bytes.back(), '\x1D') << "whole records only";
  EXPECT_EQ(ui_.messages.back().text,
            "转换已停止：写入了 " + std::to_string(records) + " 条完整的记录，表格共 400000 行。");
  std::filesystem::remove(out);
}

// The tables (with their sheet) and output files used last come back on the path buttons' menus
// after a restart, with the rule set chosen last; a recent table opens its sheet without asking; a
// table dropped on the window opens.
TEST_F(Window, RecentFilesRulesAndADroppedTable) {
  LoadBooks();
  const std::string out = test::TempPath("window-recent.iso");
  ui_.saveAnswers.push_back(out);
  window_->OutMarc_Click();
  window_->SetRules(convert::Rules::Recommended);
  ui_.messageAnswers.push_back(ui::Answer::Yes);
  window_->close();
  window_ = std::make_unique<MainWindow>(ui_, ROWCASTER_BUILD_DIR);
  window_->show();
  EXPECT_EQ(window_->Rules(), convert::Rules::Recommended) << "the rule set chosen last";
  EXPECT_EQ(window_->ExcelPathText(), "");
  bool asked = false;
  window_->tablePicker = [&](const std::vector<std::string>& names) {
    asked = true;
    return names.at(0);
  };
  ChooseFromContextMenu(window_->SelectExcel, {5, 5}, "recent-table-0");
  EXPECT_FALSE(asked) << "the sheet of the recent entry is taken";
  EXPECT_EQ(window_->ExcelPathText(), Fixture("sheetjs_biff8.xls"));
  EXPECT_EQ(window_->Content().Table()->RowCount(), 5u);
  ChooseFromContextMenu(window_->OutMarc, {5, 5}, "recent-output-0");
  EXPECT_EQ(window_->MarcPathText(), out);
  EXPECT_TRUE(window_->StratConvert->isEnabled());

  // A dropped CSV opens; a dropped file of another kind is not taken.
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(Fixture("messy_names.csv")))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(window_.get(), &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(window_.get(), &drop);
  EXPECT_EQ(window_->ExcelPathText(), Fixture("messy_names.csv"));
  EXPECT_EQ(window_->Content().Table()->RowCount(), 280u);
  QMimeData other;
  other.setUrls({QUrl::fromLocalFile("/tmp/notes.docx")});
  QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &other, Qt::LeftButton, {});
  QApplication::sendEvent(window_.get(), &refused);
  EXPECT_FALSE(refused.isAccepted());
}

// F1 opens the Chinese guide shipped with the program, as 帮助 in the context menus does.
TEST_F(Window, F1OpensTheGuide) {
  QTest::keyClick(window_.get(), Qt::Key_F1);
  QDialog* help = window_->Help();
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  const QString text = help->findChild<QTextBrowser*>("HelpText")->toPlainText();
  for (const char* part : {"四步完成转换", "两种转换规则", "转换方案", "转换报告", "列名文件", "输出类型"})
    EXPECT_TRUE(text.contains(part)) << part;
  help->close();
  ChooseFromContextMenu(window_->Text2, {5, 5}, "help");
  EXPECT_TRUE(help->isVisible());
}

// The mapping forgives: Delete or Backspace empties a cell, the pick list greys the codes other
// columns have (naming the column), a mapped cell's tip names its subfield, and a disabled 开始转换
// says what it waits for.
TEST_F(Window, TheMappingForgives) {
  EXPECT_FALSE(window_->StratConvert->isEnabled());
  EXPECT_TRUE(window_->StratConvert->toolTip().contains("还没有选择表格"));
  LoadBooks();
  QTableWidget* g = window_->Grid1;
  ASSERT_EQ(Cell(0, 1), "200a");
  EXPECT_EQ(g->item(0, 1)->toolTip().toStdString().rfind("200a", 0), 0u) << g->item(0, 1)->toolTip().toStdString();
  EXPECT_TRUE(g->item(0, 1)->toolTip().contains("题名"));
  EXPECT_TRUE(window_->StratConvert->toolTip().contains("保存路径"));

  ClickCell(1, 1);
  QTest::qWait(20);
  ASSERT_TRUE(window_->List1->isVisible());
  const auto entry = [&](const char* code) {
    for (int i = 0; i < window_->List1->count(); ++i)
      if (window_->List1->item(i)->text().startsWith(code)) return window_->List1->item(i);
    return static_cast<QListWidgetItem*>(nullptr);
  };
  EXPECT_EQ(entry("200a")->foreground().color(), QColor(Qt::gray));
  EXPECT_EQ(entry("200a")->toolTip(), "已对应“" + g->item(0, 0)->text() + "”");
  EXPECT_EQ(entry("215d")->toolTip(), "") << "a free code is not marked";
  EXPECT_EQ(window_->List1->count(), 38) << "the entries stay";

  QTest::keyClick(window_->List1, Qt::Key_Delete);
  EXPECT_FALSE(window_->List1->isVisible());
  EXPECT_EQ(Cell(1, 1), "");
  g->setCurrentCell(0, 1);
  QTest::keyClick(g, Qt::Key_Backspace);
  EXPECT_EQ(Cell(0, 1), "");
  EXPECT_EQ(g->item(0, 1)->toolTip(), "");
  g->setCurrentCell(2, 0);
  const std::string name = Cell(2, 0);
  QTest::keyClick(g, Qt::Key_Delete);
  EXPECT_EQ(Cell(2, 0), name) << "the field names are not cleared";
}

TEST_F(Window, TheQuitQuestion) {
  LoadBooks();
  ui_.messageAnswers.push_back(ui::Answer::No);
  window_->ExitSoft_Click();
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "确定退出Rowcaster吗？（Y/N）");
  EXPECT_EQ(ui_.messages[0].title, "操作提示");
  EXPECT_EQ(ui_.messages[0].buttons, ui::Buttons::YesNo);
  EXPECT_EQ(ui_.messages[0].icon, Icon::Information);
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(window_->Grid1->rowCount(), 7) << "No keeps everything";
  ui_.messageAnswers.push_back(ui::Answer::Yes);
  window_->close();  // the close box asks the same
  EXPECT_EQ(ui_.messages.size(), 2u);
  EXPECT_FALSE(window_->isVisible());
}

}  // namespace
}  // namespace rowcaster::app

namespace rowcaster::app {
namespace {

TEST(WindowStartUp, AMissingPublisherDatabaseDoesNotStopIt) {
  ui::ScriptedUi ui;
  MainWindow w(ui, "/nonexistent/folder");
  EXPECT_EQ(w.cbkConnStr,
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/nonexistent/folder/cbk.db;Persist Security Info=False");
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(ProgressCaption(7, 120), "Rowcaster---转换中:7/120");
  // The time left: none too early or at the end, seconds, then minutes and seconds.
  const std::tuple<std::int64_t, std::int64_t, double, std::string> left[] = {
      {0, 100, 5.0, ""}, {50, 100, 0.2, ""}, {50, 100, 10.0, "约 10 秒"}, {1, 100, 2.0, "约 3 分 18 秒"},
      {99, 100, 99.0, "约 1 秒"}, {100, 100, 5.0, ""}, {59, 118, 59.0, "约 59 秒"}, {60, 120, 60.0, "约 1 分 0 秒"}};
  for (const auto& [done, rows, elapsed, text] : left) EXPECT_EQ(TimeLeftText(done, rows, elapsed), text) << done;
}

}  // namespace
}  // namespace rowcaster::app
