// rowcaster: the window.

#include <QApplication>

#include "app/MainWindow.h"
#include "platform/Memory.h"
#include "platform/Paths.h"
#include "platform/ui/QtUi.h"

int main(int argc, char** argv) {
  rowcaster::AdaptToMemoryLimit();
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Rowcaster");
  QApplication::setApplicationName("Rowcaster");
  rowcaster::ui::QtUi ui;
  rowcaster::app::MainWindow window(ui, rowcaster::ExecutableDir());
  ui.SetParent(&window);
  window.show();
  return app.exec();
}
