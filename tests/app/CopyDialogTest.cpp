// 联机套录 in the window, against a Zebra catalogue on loopback: targets added and tested (one
// down: said, never waited on), the holdings check against an export, the choices kept in the
// profile, a row's preview with the merged record, and a run that copies and checks.
#include "app/CopyDialog.h"
#include "app/MainWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ScriptedUi.h"
#include "TestCatalogue.h"
#include "TestPaths.h"
#include "import/widgets/ContentModel.h"
#include "iso2709/Listing.h"

namespace rowcaster::app {
namespace {

// Free now, so nobody answers there.
int FreePort() {
  FILE* p = popen("python3 -c 'import socket; s = socket.socket(); s.bind((\"127.0.0.1\", 0)); print(s.getsockname()[1])'", "r");
  int port = 0;
  if (p && std::fscanf(p, "%d", &port) != 1) port = 0;
  if (p) pclose(p);
  return port;
}

// Rows 1 and 3 are in the catalogue (3 by its ISBN-10); row 2 is not.
std::string WriteTable(const test::TestCatalogue& catalogue, const std::string& path) {
  std::ifstream books(catalogue.Books());
  std::vector<std::vector<std::string>> book;
  for (std::string line; std::getline(books, line);) {
    std::vector<std::string> cells;
    std::stringstream in(line);
    for (std::string cell; std::getline(in, cell, '\t');) cells.push_back(cell);
    book.push_back(cells);
  }
  std::ofstream out(path);
  out << "ISBN,题名,责任者,出版社,出版年,定价\n";
  out << book[0][0] << "," << book[0][1] << "," << book[0][2] << "著," << book[0][3] << "," << book[0][4] << ",45.00\n";
  out << "978-7-5327-0999-1,不在目录里的书,王五著,上海译文出版社,2020,35.00\n";
  out << "7532700054," << book[4][1] << "," << book[4][2] << "著," << book[4][3] << "," << book[4][4] << ",30.00\n";
  return path;
}

class Copying : public ::testing::Test {
 protected:
  void SetUp() override {
    QSettings().clear();
    setenv("XDG_CACHE_HOME", test::TempPath("cache").c_str(), 1);
    setenv("XDG_CONFIG_HOME", test::TempPath("config").c_str(), 1);
    window_ = std::make_unique<MainWindow>(ui_, ROWCASTER_BUILD_DIR);
    window_->show();
    QApplication::setActiveWindow(window_.get());
  }
  void TearDown() override {
    ui_.messageAnswers.push_back(ui::Answer::Yes);
    window_->close();
    window_.reset();
    std::filesystem::remove_all(test::TempPath("cache"));
  }
  ui::ScriptedUi ui_;
  std::unique_ptr<MainWindow> window_;
};

// Opens 联机套录 from the content grid's menu.
CopyDialog* OpenCopying(MainWindow& window) {
  QTimer::singleShot(0, [] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (auto* a = menu ? menu->findChild<QAction*>("copy-cataloguing") : nullptr) a->trigger();
    if (menu) menu->close();
  });
  emit window.Grid2->customContextMenuRequested(QPoint(5, 5));
  return window.Copying();
}

TEST_F(Copying, FromTheWindowTestedCheckedPreviewedAndRun) {
  const test::TestCatalogue catalogue(test::TempPath("zebra"), 60);
  ASSERT_TRUE(catalogue.ok()) << "zebra did not start";
  window_->SetRules(convert::Rules::Recommended);
  window_->OpenTableFile(WriteTable(catalogue, test::TempPath("books.csv")));
  ASSERT_NE(window_->Content().Table(), nullptr);

  CopyDialog* dialog = OpenCopying(*window_);
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(dialog->AddTarget("http://example.cn/"));
  EXPECT_TRUE(dialog->Status->text().contains("z3950://")) << dialog->Status->text().toStdString();
  dialog->NewTarget->setText(QString::fromStdString(catalogue.Url("CNGBK", "charset=gbk&name=联合目录")));
  dialog->Add->click();
  ASSERT_TRUE(dialog->AddTarget("z3950://127.0.0.1:" + std::to_string(FreePort()) + "/X?name=停用"));
  ASSERT_EQ(dialog->Targets->count(), 2);

  // Both are tested at once; the window goes on meanwhile.
  QSignalSpy tested(dialog, &CopyDialog::tested);
  const auto start = std::chrono::steady_clock::now();
  dialog->Test->click();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500)) << "the click does not wait";
  ASSERT_TRUE(tested.wait(15000));
  EXPECT_TRUE(dialog->Targets->item(0)->text().contains("可以使用")) << dialog->Targets->item(0)->text().toStdString();
  EXPECT_TRUE(dialog->Targets->item(1)->text().contains("不可用")) << dialog->Targets->item(1)->text().toStdString();
  dialog->Targets->item(1)->setCheckState(Qt::Unchecked);

  // The holdings check against the library's export; held rows converted anyway.
  ui_.openAnswers.push_back(catalogue.Export());
  dialog->ChooseHeldFile->click();
  EXPECT_EQ(dialog->HeldIn->currentText().toStdString(), "导出文件：" + catalogue.Export());
  dialog->HeldAction->setCurrentIndex(1);
  dialog->accept();
  QApplication::processEvents();
  const convert::Profile& profile = window_->ProfileInUse();
  ASSERT_EQ(profile.targets.size(), 1u);
  EXPECT_EQ(profile.targets[0].name, "联合目录");
  EXPECT_EQ(profile.checkHoldings, catalogue.Export());
  EXPECT_EQ(profile.held, catalogue::HeldAction::Convert);

  // The preview asks on a thread and shows the merged record.
  window_->PreviewRow(0);
  QTRY_COMPARE_WITH_TIMEOUT(ui_.texts.size(), std::size_t{1}, 15000);
  EXPECT_EQ(ui_.texts[0].first, "第 1 行的记录（推荐规则，套录自 联合目录，未写入文件）");
  EXPECT_NE(ui_.texts[0].second.find("035    $a (联合目录)CAT000001"), std::string::npos) << ui_.texts[0].second;
  EXPECT_NE(ui_.texts[0].second.find("本馆已有（utf8.iso 记录号 CAT000001，按 ISBN），照样转换"), std::string::npos)
      << ui_.texts[0].second;

  // The run: rows 1 and 3 copied and reported as held, row 2 its own record.
  const std::string out = test::TempPath("copied.iso");
  std::filesystem::remove(out);
  ui_.saveAnswers.push_back(out);
  window_->OutMarc_Click();
  bool ended = false;
  convert::RunResult result;
  window_->onConversionEnd = [&](const convert::RunResult& r) {
    ended = true;
    result = r;
  };
  window_->StratConvert_Click();
  QTRY_VERIFY_WITH_TIMEOUT(ended, 20000);
  EXPECT_EQ(result.written, 3);
  EXPECT_EQ(result.held, 2);
  EXPECT_EQ(result.counts[convert::Kind::CopiedFrom], 2);
  EXPECT_EQ(result.counts[convert::Kind::NotCopied], 1);
  std::ifstream in(out, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  iso2709::Record third;
  const std::size_t second = bytes.find('\x1D') + 1, end3 = bytes.size();
  ASSERT_TRUE(iso2709::ReadRecord(std::string_view(bytes).substr(bytes.find('\x1D', second) + 1, end3), third));
  EXPECT_NE(iso2709::Listing(third).find("035    $a (联合目录)CAT000005"), std::string::npos) << iso2709::Listing(third);
  std::filesystem::remove(out);
}

TEST_F(Copying, ADownCatalogueNeverHoldsUpThePreview) {
  window_->SetRules(convert::Rules::Recommended);
  std::ofstream(test::TempPath("one.csv")) << "ISBN,题名,定价\n9787532700011,星空笔记,45.00\n";
  window_->OpenTableFile(test::TempPath("one.csv"));
  CopySettings settings;
  settings.copyFrom.push_back(*catalogue::ParseTargetUrl("z3950://127.0.0.1:" + std::to_string(FreePort()) + "/X?name=停用").target);
  ASSERT_TRUE(window_->UseCopying(settings));

  // Targets chosen in an order come back in that order when the dialog opens again.
  CopySettings two = settings;
  two.copyFrom.push_back(*catalogue::ParseTargetUrl("z3950://127.0.0.1:1/Y?name=第二").target);
  ASSERT_TRUE(window_->UseCopying(two));
  CopyDialog* dialog = OpenCopying(*window_);
  ASSERT_NE(dialog, nullptr);
  ASSERT_GE(dialog->Targets->count(), 2);
  EXPECT_TRUE(dialog->Targets->item(0)->text().startsWith("停用")) << dialog->Targets->item(0)->text().toStdString();
  EXPECT_TRUE(dialog->Targets->item(1)->text().startsWith("第二")) << dialog->Targets->item(1)->text().toStdString();
  EXPECT_EQ(dialog->Settings().copyFrom, two.copyFrom);
  dialog->reject();
  QApplication::processEvents();
  ASSERT_TRUE(window_->UseCopying(settings));
  window_->PreviewRow(0);
  EXPECT_TRUE(ui_.texts.empty()) << "the preview waits for the catalogue on its own thread";
  QTRY_COMPARE_WITH_TIMEOUT(ui_.texts.size(), std::size_t{1}, 15000);
  EXPECT_NE(ui_.texts[0].second.find("200 1  $a 星空笔记"), std::string::npos) << "the row's own record";
  EXPECT_NE(ui_.texts[0].second.find("停用"), std::string::npos) << "and why: " << ui_.texts[0].second;

  // An export that holds no record is refused; the other choices are taken.
  std::ofstream(test::TempPath("not-marc.iso")) << "ISBN,题名\n";
  CopySettings bad = settings;
  bad.heldFile = test::TempPath("not-marc.iso");
  bad.byTitle = true;
  EXPECT_FALSE(window_->UseCopying(bad));
  EXPECT_TRUE(window_->ProfileInUse().checkHoldings.empty());
  EXPECT_TRUE(window_->ProfileInUse().copyByTitle) << "the other choices stand";
  EXPECT_EQ(window_->ProfileInUse().targets.size(), 1u);
  ASSERT_FALSE(ui_.messages.empty());
  EXPECT_NE(ui_.messages.back().text.find("读不出记录"), std::string::npos);
}

}  // namespace
}  // namespace rowcaster::app
