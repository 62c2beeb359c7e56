// rowcaster: the window.

#include <QApplication>
#include <cstdio>
#include <string_view>

#include "app/MainWindow.h"
#include "platform/Memory.h"
#include "platform/Paths.h"
#include "platform/ui/QtUi.h"
#include "words/Words.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--version") {
      std::printf("rowcaster %s\n", ROWCASTER_VERSION);
      return 0;
    }
    if (a == "--help" || a == "-h") {
      std::printf("Usage: rowcaster [--version]\n"
                  "Opens the Rowcaster window: a table of book data (.xls, .mdb, .dbf) to CNMARC records.\n"
                  "Qt's own options (-platform, -style …) are accepted too.\n");
      return 0;
    }
  }
  rowcaster::AdaptToMemoryLimit();
  QApplication app(argc, argv);
  rowcaster::ui::InstallChineseQtTexts();
  QApplication::setOrganizationName("Rowcaster");
  QApplication::setApplicationName("Rowcaster");
  rowcaster::words::InstallTranslations(rowcaster::DataDirFor(rowcaster::ExecutableDir()),
                                       rowcaster::words::Audience::Window);
  rowcaster::ui::QtUi ui;
  rowcaster::app::MainWindow window(ui, rowcaster::ExecutableDir());
  ui.SetParent(&window);
  window.show();
  return app.exec();
}
