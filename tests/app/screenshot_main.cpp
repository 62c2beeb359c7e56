// Takes the screenshots of the window for docs/: run by docs/screenshot.sh under Xvfb.
//   rowcaster_screenshot OUTDIR
// Writes main-window.png: the window with a Chinese table loaded, a mapping made and the pick
// list open over a mapping cell; buttons.png: the buttons in their four looks (hover, pressed,
// normal, disabled), enlarged; message-box.png: a skinned message box; copy-cataloguing.png: the
// 联机套录 dialog against a Zebra catalogue on loopback.

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QSettings>
#include <QTextCursor>
#include <QTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QListWidget>
#include <QPixmap>
#include <QTableWidget>
#include <QCheckBox>
#include <QSignalSpy>
#include <QTest>

#include "ScriptedUi.h"
#include "TestCatalogue.h"
#include "app/CopyDialog.h"
#include "app/MainWindow.h"
#include "app/ProgressWindow.h"
#include "app/ResultsWindow.h"
#include "mapping/widgets/MappingGrid.h"
#include "platform/Paths.h"
#include "platform/ui/QtUi.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) return 2;
  const QString out = QString::fromLocal8Bit(argv[1]);
  // Settings of this run only; Qt's texts in Chinese as in the program.
  QSettings::setDefaultFormat(QSettings::IniFormat);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QDir::tempPath() + "/rowcaster-screenshot-settings");
  QSettings().clear();
  rowcaster::ui::InstallChineseQtTexts();
  rowcaster::ui::ScriptedUi ui;
  rowcaster::app::MainWindow window(ui, rowcaster::ExecutableDir());
  window.tablePicker = [](const std::vector<std::string>& names) { return names.at(0); };
  window.show();
  QApplication::setActiveWindow(&window);
  ui.openAnswers.push_back(std::string(ROWCASTER_TEST_DIR) + "/fixtures/sheetjs_biff8.xls");
  window.SelectExcel_Click();
  ui.saveAnswers.push_back("/home/cataloguer/新书目录.iso");
  window.OutMarc_Click();
  window.Grid1->setCurrentCell(6, 1);
  window.Mapping().ShowMarcList();
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QTest::qWait(20);
  }
  bool ok = window.grab().save(QDir(out).filePath("main-window.png"));

  // The four looks: hover, pressed, normal, disabled, after their fades.
  window.List1->hide();
  auto send = [](QWidget* w, QEvent::Type type, Qt::MouseButton b) {
    QMouseEvent e(type, QPointF(10, 10), w->mapToGlobal(QPointF(10, 10)), b, b, {});
    QApplication::sendEvent(w, &e);
  };
  send(window.SelectExcel, QEvent::MouseMove, Qt::NoButton);
  send(window.OutMarc, QEvent::MouseButtonPress, Qt::LeftButton);
  window.StratConvert->setEnabled(false);
  QTest::qWait(1600);
  const QImage top = window.grab(QRect(0, 0, 775, 80)).toImage();
  QImage big(top.width() * 2, top.height() * 2, QImage::Format_RGB32);
  {
    QPainter p(&big);
    p.drawImage(big.rect(), top);
  }
  ok = big.save(QDir(out).filePath("buttons.png")) && ok;
  send(window.OutMarc, QEvent::MouseButtonRelease, Qt::LeftButton);

  // A message box that becomes active from the skinned window is skinned too.
  auto* box = new QMessageBox(QMessageBox::Information, "操作提示", "确定退出Rowcaster吗？（Y/N）",
                              QMessageBox::Yes | QMessageBox::No, &window);
  box->setDefaultButton(QMessageBox::Yes);
  box->open();
  QApplication::setActiveWindow(box);
  QTest::qWait(1600);
  ok = box->grab().save(QDir(out).filePath("message-box.png")) && ok;
  box->close();

  // A row's record before converting, as the window shows it.
  window.PreviewRow(1);
  rowcaster::ui::QtUi real(&window);
  QTimer::singleShot(600, [&] {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
      ok = dialog->grab().save(QDir(out).filePath("preview.png")) && ok;
      dialog->close();
    }
  });
  real.ShowText(ui.texts.back().first, ui.texts.back().second);

  // The findings of a run by the recommended rules, in the results window.
  window.SetRules(rowcaster::convert::Rules::Recommended);
  const std::string records = (QDir::tempPath() + "/rowcaster-screenshot.iso").toStdString();
  std::remove(records.c_str());
  ui.saveAnswers.push_back(records);
  window.OutMarc_Click();
  bool ended = false;
  window.onConversionEnd = [&](const rowcaster::convert::RunResult&) { ended = true; };
  window.StratConvert_Click();
  for (int i = 0; i < 500 && !ended; ++i) QTest::qWait(10);
  window.onConversionEnd = nullptr;
  if (rowcaster::app::ResultsWindow* results = window.Results()) {
    results->resize(1000, 360);
    QTest::qWait(600);
    ok = results->grab().save(QDir(out).filePath("results.png")) && ok;
    results->close();
  } else {
    ok = false;
  }
  std::remove(records.c_str());
  window.SetRules(rowcaster::convert::Rules::Classic);

  // The guide (F1).
  window.ShowHelp();
  QTest::qWait(400);
  ok = window.Help()->grab().save(QDir(out).filePath("guide.png")) && ok;
  window.Help()->close();

  // A long run's progress window, then 停止.
  {
    auto big = std::make_shared<rowcaster::import::LoadedTable>(std::vector<std::string>{"书名", "ISBN", "定价"});
    for (int k = 0; k < 3000000; ++k)
      big->AppendRow(std::vector<std::string>{"长江三峡" + std::to_string(k), "9787302123453", "25.00"});
    window.ShowTable(big, {"200a", "010a", "010d"});
    window.Mapping().SetFields({"书名", "ISBN", "定价"}, {"200a", "010a", "010d"});
    std::remove(records.c_str());
    ui.saveAnswers.push_back(records);
    window.OutMarc_Click();
    bool stopped = false;
    window.onConversionEnd = [&](const rowcaster::convert::RunResult&) { stopped = true; };
    window.StratConvert_Click();
    QTest::qWait(1500);
    if (window.Progress()) ok = window.Progress()->grab().save(QDir(out).filePath("progress.png")) && ok;
    if (window.Progress()) window.Progress()->Stop->click();
    for (int i = 0; i < 500 && !stopped; ++i) QTest::qWait(10);
    window.onConversionEnd = nullptr;
    std::remove(records.c_str());
  }

  // 联机套录: two catalogues tested, the holdings check against the library's export.
  {
    const rowcaster::test::TestCatalogue catalogue((QDir::tempPath() + "/rowcaster-screenshot-zebra").toStdString(), 60);
    rowcaster::app::CopyDialog* dialog = window.Copying();
    if (!dialog) window.ChooseCopying();
    dialog = window.Copying();
    if (dialog && catalogue.ok()) {
      dialog->AddTarget(catalogue.Url("CNGBK", "charset=gbk&name=联合目录"));
      dialog->AddTarget(catalogue.Url("CNUTF8", "name=省馆中心"));
      QSignalSpy tested(dialog, &rowcaster::app::CopyDialog::tested);
      dialog->TestTargets();
      tested.wait(10000);
      ui.openAnswers.push_back("/home/cataloguer/本馆导出2026.iso");
      dialog->ChooseHeldFile->click();
      dialog->ByTitle->setChecked(true);
      QTest::qWait(600);
      ok = dialog->grab().save(QDir(out).filePath("copy-cataloguing.png")) && ok;
      dialog->reject();
    } else {
      ok = false;
    }
  }

  // An edit of the template, still there when the program starts again.
  window.Text2->setPlainText(window.Text2->toPlainText().replace("ZELKOV", "110001"));
  ui.messageAnswers.push_back(rowcaster::ui::Answer::Yes);
  window.close();
  rowcaster::ui::ScriptedUi ui2;
  rowcaster::app::MainWindow again(ui2, rowcaster::ExecutableDir());
  again.show();
  QApplication::setActiveWindow(&again);
  QTextCursor end = again.Text2->textCursor();
  end.movePosition(QTextCursor::End);
  again.Text2->setTextCursor(end);
  again.Text2->ensureCursorVisible();
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QTest::qWait(20);
  }
  ok = again.grab().save(QDir(out).filePath("second-start.png")) && ok;
  ui2.messageAnswers.push_back(rowcaster::ui::Answer::Yes);
  again.close();
  return ok ? 0 : 1;
}
