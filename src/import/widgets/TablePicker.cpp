#include "import/widgets/TablePicker.h"

#include <QListWidget>
#include <QPushButton>

#include "platform/ui/QtUi.h"
#include "platform/ui/Twips.h"

namespace rowcaster::import {
namespace {
using ui::Px;
}  // namespace

SelectXlS::SelectXlS(ui::Ui& ui, QWidget* owner) : QDialog(owner), ui_(ui) {
  setObjectName("SelectXlS");
  setWindowTitle("选择数据表");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  setFixedSize(Px(2835), Px(2385));
  List1 = new QListWidget(this);
  List1->setObjectName("List1");
  List1->setGeometry(Px(120), Px(60), Px(2595), Px(1860));
  List1->setSelectionMode(QAbstractItemView::SingleSelection);
  CmdOk = new QPushButton("确定", this);
  CmdOk->setObjectName("CmdOk");
  CmdOk->setGeometry(Px(360), Px(1980), Px(795), Px(315));
  Command2 = new QPushButton("取消", this);
  Command2->setObjectName("Command2");
  Command2->setGeometry(Px(1680), Px(1980), Px(795), Px(315));
  connect(CmdOk, &QPushButton::clicked, this, &SelectXlS::CmdOk_Click);
  connect(Command2, &QPushButton::clicked, this, &SelectXlS::Command2_Click);
  connect(List1, &QListWidget::itemDoubleClicked, this, &SelectXlS::CmdOk_Click);
}

void SelectXlS::SetNames(const std::vector<std::string>& names) {
  tableName.clear();
  List1->clear();
  for (const auto& n : names) List1->addItem(ui::Q(n));
  List1->setCurrentRow(-1);
  List1->clearSelection();
}

void SelectXlS::CmdOk_Click() {
  const auto selected = List1->selectedItems();
  if (selected.isEmpty()) {
    ui_.Message("请选择表！", "操作提示", ui::Icon::Information, ui::Buttons::Ok);
    return;
  }
  tableName = ui::S(selected.first()->text());
  accept();
}

void SelectXlS::Command2_Click() {
  tableName.clear();
  reject();
}

std::string PickTable(ui::Ui& ui, QWidget* owner, const std::vector<std::string>& names) {
  SelectXlS picker(ui, owner);
  picker.SetNames(names);
  picker.exec();  // closing by the frame leaves tableName empty, like "取消"
  return picker.tableName;
}

}  // namespace rowcaster::import
