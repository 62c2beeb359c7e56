// Dialogs opened from the window are skinned whatever order of activation events the platform or
// its window manager produces. Runs offscreen with the other GUI tests, and under Xvfb with a real
// window manager (window_manager_test.sh).
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "ScriptedUi.h"
#include "app/MainWindow.h"
#include "import/widgets/TablePicker.h"
#include "platform/ui/QtUi.h"

namespace rowcaster::app {
namespace {

bool Hooked(const QWidget* w) { return w && w->property("PROCADDR").isValid(); }

// Waits until `done` holds, letting events run, at most `ms` milliseconds.
bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  for (int waited = 0; waited < ms; waited += 10) {
    if (done()) return true;
    QTest::qWait(10);
  }
  return done();
}

TEST(ActivationOrder, TheFileDialogThePickerAndItsMessageAreSkinned) {
  ui::ScriptedUi scripted;
  MainWindow window(scripted, ROWCASTER_BUILD_DIR);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(WaitFor([&] { return Hooked(&window); }));

  // The file dialog the import opens first.
  QFileDialog files(&window, "选择数据文件");
  files.setOption(QFileDialog::DontUseNativeDialog);
  files.open();
  EXPECT_TRUE(WaitFor([&] { return Hooked(&files); })) << "file dialog";
  files.reject();
  QTest::qWait(50);

  // Then the picker, whose OK without a choice opens "请选择表！" owned by the window.
  ui::QtUi real(&window);
  bool pickerSkinned = false, buttonsSkinned = false, boxSkinned = false, boxButtonSkinned = false;
  int step = 0;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (step == 0 && modal && modal->objectName() == "SelectXlS" && Hooked(modal)) {
      auto* picker = static_cast<import::SelectXlS*>(modal);
      pickerSkinned = true;
      buttonsSkinned = Hooked(picker->CmdOk) && Hooked(picker->Command2);
      step = 1;
      QMetaObject::invokeMethod(picker->CmdOk, "click", Qt::QueuedConnection);
    } else if (step == 1 && modal && qobject_cast<QMessageBox*>(modal) && Hooked(modal)) {
      auto* box = static_cast<QMessageBox*>(modal);
      boxSkinned = true;
      boxButtonSkinned = Hooked(box->button(QMessageBox::Ok));
      step = 2;
      box->done(QMessageBox::Ok);
    } else if (step == 2 && modal && modal->objectName() == "SelectXlS") {
      step = 3;
      static_cast<import::SelectXlS*>(modal)->Command2->click();
    }
  });
  driver.start(20);
  QTimer::singleShot(15000, [&] {  // never hang the suite: close whatever is still open
    while (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  });
  EXPECT_EQ(import::PickTable(real, &window, {"Sheet1$", "Sheet2$"}), "");
  driver.stop();
  EXPECT_TRUE(pickerSkinned);
  EXPECT_TRUE(buttonsSkinned);
  EXPECT_TRUE(boxSkinned);
  EXPECT_TRUE(boxButtonSkinned);
  EXPECT_EQ(step, 3);
  scripted.messageAnswers.push_back(ui::Answer::Yes);
  window.close();
}

}  // namespace
}  // namespace rowcaster::app
