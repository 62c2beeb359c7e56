// GoogleTest main for the window tests: one QApplication, on the offscreen platform unless
// QT_QPA_PLATFORM names another (xcb under Xvfb with a window manager).
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QDir>

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Settings go to a scratch folder of this process (tests run in parallel processes), never to
  // the user's own.
  QSettings::setDefaultFormat(QSettings::IniFormat);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                     QDir::tempPath() + "/rowcaster-settings-" + QString::number(QCoreApplication::applicationPid()));
  QApplication::setOrganizationName("RowcasterTests");
  QApplication::setApplicationName("RowcasterTests");
  QSettings().clear();
  QApplication::setQuitOnLastWindowClosed(false);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
