#pragma once
// The table picker "选择数据表": a modal list of the tables a workbook or database offers.

#include <QDialog>
#include <string>
#include <vector>

#include "platform/ui/Ui.h"

class QListWidget;
class QPushButton;

namespace rowcaster::import {

class SelectXlS : public QDialog {
  Q_OBJECT
 public:
  SelectXlS(ui::Ui& ui, QWidget* owner);

  // The chosen table, or the empty text for no choice.
  std::string tableName;

  void SetNames(const std::vector<std::string>& names);
  void CmdOk_Click();
  void Command2_Click();

  QListWidget* List1;
  QPushButton* CmdOk;
  QPushButton* Command2;

 private:
  ui::Ui& ui_;
};

// Shows the picker modally over `owner` and returns the chosen name, or the empty text.
std::string PickTable(ui::Ui& ui, QWidget* owner, const std::vector<std::string>& names);

}  // namespace rowcaster::import
