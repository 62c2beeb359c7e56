// The real message boxes and file dialogs of the window speak Chinese, the save dialog adds the
// chosen type's extension, and both start in the folder used last.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QSettings>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "TestPaths.h"
#include "platform/ui/QtUi.h"

namespace rowcaster::ui {
namespace {

// Runs `act` on the modal dialog of class T once it is open.
template <typename T>
void WhenOpen(std::function<void(T*)> act, const QString& title = {}) {
  // With a title it acts on that dialog only: a timer left over from an earlier dialog that never
  // came can then not answer the next test's dialog.
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, act, title] {
    auto* d = qobject_cast<T*>(QApplication::activeModalWidget());
    if (d && (title.isEmpty() || d->windowTitle() == title)) {
      timer->stop();
      timer->deleteLater();
      act(d);
      // A dialog the act did not close is closed after a while: the test fails instead of hanging.
      QPointer<T> open(d);
      QTimer::singleShot(5000, [open] {
        if (open && open->isVisible()) open->reject();
      });
    }
  });
  timer->start(10);
}

TEST(Dialogs, TheQuitQuestionHasChineseButtons) {
  ASSERT_TRUE(InstallChineseQtTexts()) << "qt6-translations-l10n is part of the set-up";
  QtUi ui;
  QStringList buttons;
  WhenOpen<QMessageBox>([&](QMessageBox* box) {
    for (QAbstractButton* b : box->buttons()) buttons << b->text();
    box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(ui.Message("确定退出Rowcaster吗？（Y/N）", "操作提示", Icon::Information, Buttons::YesNo), Answer::No);
  buttons.sort();
  EXPECT_EQ(buttons, (QStringList{"否(&N)", "是(&Y)"}));
}

// Enter gives each question's default: Yes to append, No where Yes would destroy a file, Cancel
// where the file already holds this run's records; Escape cancels the three-way questions.
TEST(Dialogs, QuestionsDefaultToTheSafeAnswer) {
  ASSERT_TRUE(InstallChineseQtTexts());
  QtUi ui;
  struct Case {
    Buttons buttons;
    Qt::Key key;
    Answer answer;
  };
  const Case cases[] = {{Buttons::YesNoCancel, Qt::Key_Return, Answer::Yes},
                        {Buttons::YesNoCancel, Qt::Key_Escape, Answer::Cancel},
                        {Buttons::NoYes, Qt::Key_Return, Answer::No},
                        {Buttons::NoYes, Qt::Key_Escape, Answer::No},
                        {Buttons::CancelYesNo, Qt::Key_Return, Answer::Cancel},
                        {Buttons::CancelYesNo, Qt::Key_Escape, Answer::Cancel}};
  for (const Case& c : cases) {
    WhenOpen<QMessageBox>([key = c.key](QMessageBox* box) {
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
      QApplication::sendEvent(box, &press);
    });
    EXPECT_EQ(ui.Message("问题", "温馨提示", Icon::Question, c.buttons), c.answer) << static_cast<int>(c.key);
  }
}

TEST(Dialogs, SaveAddsTheExtensionAndBothStartWhereTheLastEnded) {
  ASSERT_TRUE(InstallChineseQtTexts());
  const std::string folder = test::TempPath("dialogs");
  std::filesystem::create_directories(folder);
  QtUi ui;
  QString startedIn, acceptText;
  WhenOpen<QFileDialog>([&](QFileDialog* d) {
    startedIn = d->directory().absolutePath();
    acceptText = d->labelText(QFileDialog::Accept);
    d->setDirectory(QString::fromStdString(folder));
    d->selectFile("新书目录");
    QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
  }, "保存Marc数据到文件");
  const std::string saved = ui.SaveFile("保存Marc数据到文件", "ISO(2709)|*.iso|txt|*.txt", "");
  EXPECT_EQ(saved, folder + "/新书目录.iso");
  EXPECT_EQ(acceptText, "保存(&S)");
  WhenOpen<QFileDialog>([&](QFileDialog* d) {
    startedIn = d->directory().absolutePath();
    d->reject();
  }, "选择数据文件");
  EXPECT_EQ(ui.OpenFile("选择数据文件", "Excel|*.xls", ""), "");
  EXPECT_EQ(startedIn.toStdString(), folder) << "the open dialog starts where the save dialog ended";
}

// The file type chosen in the save dialog is told back. The dialog starts in the folder a file was
// saved in last, though a table was opened elsewhere since.
TEST(Dialogs, SaveTellsTheChosenTypeAndStartsInTheOutputFolder) {
  ASSERT_TRUE(InstallChineseQtTexts());
  const std::string folder = test::TempPath("dialog-types");
  const std::string tables = test::TempPath("dialog-tables");
  std::filesystem::create_directories(folder);
  std::filesystem::create_directories(tables);
  QSettings().setValue("lastSaveFolder", QString::fromStdString(folder));
  QSettings().setValue("lastFolder", QString::fromStdString(tables));
  QtUi ui;
  QString startedIn;
  WhenOpen<QFileDialog>([&](QFileDialog* d) {
    startedIn = d->directory().absolutePath();
    d->setDirectory(QString::fromStdString(folder));
    d->selectNameFilter("MARCXML（UTF-8） (*.xml)");
    d->selectFile("collection.xml");
    QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
  }, "保存Marc数据到文件");
  int type = -1;
  EXPECT_EQ(ui.SaveFile("保存Marc数据到文件", "ISO(2709)|*.iso|txt|*.txt|MARCXML（UTF-8）|*.xml", "", &type),
            folder + "/collection.xml");
  EXPECT_EQ(type, 2);
  EXPECT_EQ(startedIn.toStdString(), folder);
}

}  // namespace
}  // namespace rowcaster::ui
