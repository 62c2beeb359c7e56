// Takes the screenshots of the window for docs/: run by docs/screenshot.sh under Xvfb.
//   rowcaster_screenshot OUTDIR
// Writes main-window.png: the window with a Chinese table loaded, a mapping made and the pick
// list open over a mapping cell.

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPixmap>
#include <QTableWidget>
#include <QTest>

#include "app/MainWindow.h"
#include "mapping/MappingGrid.h"
#include "platform/Paths.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) return 2;
  const QString out = QString::fromLocal8Bit(argv[1]);
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
  const bool ok = window.grab().save(QDir(out).filePath("main-window.png"));
  ui.messageAnswers.push_back(rowcaster::ui::Answer::Yes);
  window.close();
  return ok ? 0 : 1;
}
