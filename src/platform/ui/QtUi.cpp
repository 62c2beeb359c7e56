#include "platform/ui/QtUi.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace rowcaster::ui {

Answer QtUi::Message(const std::string& text, const std::string& title, Icon icon, Buttons buttons,
                     const std::string& details) {
  QMessageBox box(parent_);
  box.setWindowTitle(Q(title));
  box.setText(Q(text));
  if (!details.empty()) box.setDetailedText(Q(details));
  switch (icon) {
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Error: box.setIcon(QMessageBox::Critical); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
  }
  if (buttons == Buttons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  const int result = box.exec();
  if (buttons == Buttons::Ok) return Answer::Ok;
  return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

QString QtUi::QtFilter(const std::string& filter) {
  const QStringList parts = Q(filter).split('|');
  QStringList entries;
  for (int i = 0; i + 1 < parts.size(); i += 2) entries << parts[i] + " (" + parts[i + 1] + ")";
  return entries.join(";;");
}

std::string QtUi::OpenFile(const std::string& title, const std::string& filter, const std::string& fileName) {
  return S(QFileDialog::getOpenFileName(parent_, Q(title), Q(fileName), QtFilter(filter)));
}

std::string QtUi::SaveFile(const std::string& title, const std::string& filter, const std::string& fileName) {
  // No question when the file exists and no extension added: the records are appended to it.
  return S(QFileDialog::getSaveFileName(parent_, Q(title), Q(fileName), QtFilter(filter), nullptr,
                                        QFileDialog::DontConfirmOverwrite));
}

void QtUi::SetWaitPointer(bool on) {
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

}  // namespace rowcaster::ui
