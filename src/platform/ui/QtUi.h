#pragma once
// The Ui of the real window: Qt message boxes, file dialogs and the override cursor.

#include <QString>

#include "platform/ui/Ui.h"

class QWidget;

namespace rowcaster::ui {

class QtUi : public Ui {
 public:
  explicit QtUi(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  Answer Message(const std::string& text, const std::string& title, Icon icon, Buttons buttons,
                 const std::string& details = {}) override;
  std::string OpenFile(const std::string& title, const std::string& filter, const std::string& fileName) override;
  std::string SaveFile(const std::string& title, const std::string& filter, const std::string& fileName,
                       int* chosenType = nullptr) override;
  void SetWaitPointer(bool on) override;
  void ShowText(const std::string& title, const std::string& text) override;

  // "description|pattern|description|pattern" as a Qt filter list.
  static QString QtFilter(const std::string& filter);

 private:
  QWidget* parent_;
};

// Qt's own texts (file dialogs, standard buttons) in Chinese, like the rest of the program, from
// Qt's translations when they are installed; false when they are not.
bool InstallChineseQtTexts();

inline QString Q(const std::string& s) { return QString::fromStdString(s); }
inline std::string S(const QString& s) { return s.toStdString(); }

}  // namespace rowcaster::ui
