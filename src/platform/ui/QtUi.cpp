#include "platform/ui/QtUi.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QSettings>
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
  } else if (buttons == Buttons::NoYes) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
  } else if (buttons == Buttons::YesNoCancel || buttons == Buttons::CancelYesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box.setDefaultButton(buttons == Buttons::YesNoCancel ? QMessageBox::Yes : QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  const int result = box.exec();
  if (buttons == Buttons::Ok) return Answer::Ok;
  if (result == QMessageBox::Yes) return Answer::Yes;
  return result == QMessageBox::Cancel ? Answer::Cancel : Answer::No;
}

QString QtUi::QtFilter(const std::string& filter) {
  const QStringList parts = Q(filter).split('|');
  QStringList entries;
  for (int i = 0; i + 1 < parts.size(); i += 2) entries << parts[i] + " (" + parts[i + 1] + ")";
  return entries.join(";;");
}

namespace {

// The folder a file dialog opens in: the one used last (remembered across starts), unless a file
// name with its own folder is given.
// The save dialog opens where a file was saved last (the output folder), not where the table was
// opened; the open dialog where either ended.
QString StartFolder(bool saving = false) {
  const QSettings settings;
  return saving && settings.contains("lastSaveFolder") ? settings.value("lastSaveFolder").toString()
                                                      : settings.value("lastFolder").toString();
}
void RememberFolder(const QString& file, bool saving = false) {
  if (file.isEmpty()) return;
  QSettings settings;
  settings.setValue("lastFolder", QFileInfo(file).absolutePath());
  if (saving) settings.setValue("lastSaveFolder", QFileInfo(file).absolutePath());
}

// The extension of a filter such as "ISO(2709) (*.iso)", or the empty text.
QString SuffixOf(const QString& filter) {
  const int star = filter.indexOf("*.");
  if (star < 0) return {};
  QString suffix;
  for (int i = star + 2; i < filter.size() && (filter[i].isLetterOrNumber()); ++i) suffix += filter[i];
  return suffix;
}

}  // namespace

std::string QtUi::OpenFile(const std::string& title, const std::string& filter, const std::string& fileName) {
  QFileDialog dialog(parent_, Q(title), fileName.empty() ? StartFolder() : Q(fileName), QtFilter(filter));
  dialog.setObjectName("OpenFileDialog");
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  const QString chosen = dialog.selectedFiles().first();
  RememberFolder(chosen);
  return S(chosen);
}

std::string QtUi::SaveFile(const std::string& title, const std::string& filter, const std::string& fileName,
                           int* chosenType) {
  // No question when the file exists: whoever writes it asks, knowing what it holds. The chosen
  // type's extension is added to a name typed without one.
  QFileDialog dialog(parent_, Q(title), fileName.empty() ? StartFolder(true) : Q(fileName), QtFilter(filter));
  dialog.setObjectName("SaveFileDialog");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  const QStringList types = QtFilter(filter).split(";;");
  if (chosenType && *chosenType > 0 && *chosenType < types.size()) dialog.selectNameFilter(types[*chosenType]);
  dialog.setDefaultSuffix(SuffixOf(dialog.selectedNameFilter()));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog](const QString& f) { dialog.setDefaultSuffix(SuffixOf(f)); });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  const QString chosen = dialog.selectedFiles().first();
  RememberFolder(chosen, true);
  if (chosenType) *chosenType = static_cast<int>(std::max<qsizetype>(0, types.indexOf(dialog.selectedNameFilter())));
  return S(chosen);
}

void QtUi::ShowText(const std::string& title, const std::string& text) {
  QDialog dialog(parent_);
  dialog.setObjectName("TextDialog");
  dialog.setWindowTitle(Q(title));
  auto* layout = new QVBoxLayout(&dialog);
  auto* box = new QPlainTextEdit(Q(text), &dialog);
  box->setReadOnly(true);
  box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(box);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  dialog.resize(640, 420);
  dialog.exec();
}

bool InstallChineseQtTexts() {
  static QTranslator* texts = nullptr;
  if (texts) return true;
  auto* t = new QTranslator(QCoreApplication::instance());
  if (!t->load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete t;
    return false;
  }
  QCoreApplication::installTranslator(t);
  texts = t;
  return true;
}

void QtUi::SetWaitPointer(bool on) {
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

}  // namespace rowcaster::ui
