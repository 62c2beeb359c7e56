#include "mapping/widgets/MappingGrid.h"

#include <QBrush>
#include <QColor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListWidget>
#include <QScrollBar>
#include <QTableWidget>

#include "mapping/MarcFields.h"
#include "mapping/PickList.h"
#include "platform/ui/QtUi.h"
#include "platform/ui/Twips.h"

namespace rowcaster::mapping {
namespace {
using ui::Px;
using ui::Twips;

constexpr int kNamedRole = Qt::UserRole + 1;  // the cell's code came from its column's name
constexpr int kMarkRole = Qt::UserRole + 2;   // why the cell is marked

// The pick list's entry of a code ("200a—题名"), or the code itself.
QString EntryOf(const QString& code) {
  if (code.isEmpty()) return {};
  for (const std::string& e : MarcFieldEntries())
    if (CodeOfEntry(e) == ui::S(code)) return ui::Q(e);
  return code;
}

// A cell as it is without a mark: its tip names the subfield its code stands for.
void Unmark(QTableWidgetItem* item) {
  item->setBackground(QBrush());
  item->setToolTip(EntryOf(item->text()));
  item->setData(kNamedRole, QVariant());
  item->setData(kMarkRole, QVariant());
}

void Mark(QTableWidgetItem* item, const QColor& color, const std::string& why) {
  item->setBackground(color);
  item->setToolTip(ui::Q(why));
  item->setData(kMarkRole, ui::Q(why));
}

}  // namespace

MappingGrid::MappingGrid(QTableWidget* grid, QListWidget* list, QWidget* start, ui::Ui& ui, QObject* parent)
    : QObject(parent), grid_(grid), list_(list), start_(start), ui_(ui) {
  for (const std::string& e : MarcFieldEntries()) list_->addItem(QString::fromStdString(e));
  list_->hide();
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 8);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  connect(grid_, &QTableWidget::cellClicked, this, [this] { Grid1_Click(); });
  connect(grid_->verticalScrollBar(), &QScrollBar::valueChanged, list_, &QWidget::hide);
  connect(grid_->horizontalScrollBar(), &QScrollBar::valueChanged, list_, &QWidget::hide);
  connect(list_, &QListWidget::itemClicked, this, [this] {
    if (list_->isVisible()) Pick();
  });
  connect(list_, &QListWidget::currentRowChanged, this, [this] {
    if (!preselecting_ && list_->isVisible()) Pick();
  });
  grid_->installEventFilter(this);
  list_->installEventFilter(this);
  Init();
}

void MappingGrid::Init() {
  list_->hide();
  grid_->clear();
  grid_->setColumnCount(2);
  grid_->setHorizontalHeaderLabels({"Excel字段", "Marc字段"});
  grid_->setRowCount(1);
  grid_->setColumnWidth(0, Px(2050));
  grid_->setColumnWidth(1, Px(2050));
}

void MappingGrid::SetFields(const std::vector<std::string>& names, const std::vector<std::string>& codes) {
  Init();
  grid_->setRowCount(static_cast<int>(names.size()));
  for (std::size_t r = 0; r < names.size(); ++r) {
    grid_->setItem(static_cast<int>(r), 0, new QTableWidgetItem(ui::Q(names[r])));
    auto* code = new QTableWidgetItem(r < codes.size() ? ui::Q(codes[r]) : QString());
    Unmark(code);
    grid_->setItem(static_cast<int>(r), 1, code);
  }
}

void MappingGrid::Clear(int row) {
  QTableWidgetItem* cell = grid_->item(row, 1);
  if (!cell) return;
  cell->setText(QString());
  Unmark(cell);
}

void MappingGrid::MarkCell(int row, const std::string& why) {
  QTableWidgetItem* item = grid_->item(row, 1);
  if (!item) return;
  Mark(item, QColor(255, 236, 179), why);
}

std::string MappingGrid::MarkOf(int row) const {
  const QTableWidgetItem* item = grid_->item(row, 1);
  return item ? ui::S(item->data(kMarkRole).toString()) : std::string();
}

void MappingGrid::MarkNamed(int row, const std::string& why) {
  QTableWidgetItem* item = grid_->item(row, 1);
  if (!item) return;
  Mark(item, QColor(255, 250, 205), why);  // lighter than MarkCell's: a guess to look at, not a fault
  item->setData(kNamedRole, true);
}

bool MappingGrid::IsNamed(int row) const {
  const QTableWidgetItem* item = grid_->item(row, 1);
  return item && item->data(kNamedRole).toBool();
}

bool MappingGrid::HasNamed() const {
  for (int r = 0; r < grid_->rowCount(); ++r)
    if (IsNamed(r)) return true;
  return false;
}

void MappingGrid::ConfirmNamed() {
  for (int r = 0; r < grid_->rowCount(); ++r)
    if (IsNamed(r)) Unmark(grid_->item(r, 1));
}

std::vector<std::string> MappingGrid::Mapping() const {
  std::vector<std::string> cells;
  for (int r = 0; r < grid_->rowCount(); ++r) {
    const QTableWidgetItem* item = grid_->item(r, 1);
    cells.push_back(item ? ui::S(item->text()) : std::string());
  }
  return cells;
}

void MappingGrid::MarkUsedEntries(int row) {
  // Entries another column already has are grey, their tip naming that column; the entries
  // themselves stay as they are.
  for (int i = 0; i < list_->count(); ++i) {
    QListWidgetItem* entry = list_->item(i);
    const QString code = ui::Q(CodeOfEntry(ui::S(entry->text())));
    QString user;
    for (int r = 0; r < grid_->rowCount() && user.isEmpty(); ++r) {
      const QTableWidgetItem* cell = grid_->item(r, 1);
      const QTableWidgetItem* name = grid_->item(r, 0);
      if (r != row && cell && cell->text() == code) user = name ? name->text() : QString();
    }
    entry->setForeground(user.isEmpty() ? QBrush() : QBrush(Qt::gray));
    entry->setToolTip(user.isEmpty() ? QString() : "已对应“" + user + "”");
  }
}

void MappingGrid::ShowMarcList() {
  const int row = grid_->currentRow(), col = grid_->currentColumn();
  if (row < 0 || col < 0) return;
  MarkUsedEntries(row);
  QTableWidgetItem* item = grid_->item(row, col);
  preselecting_ = true;
  const auto entry = PreselectedEntry(item ? ui::S(item->text()) : std::string());
  if (entry) {
    list_->setCurrentRow(static_cast<int>(*entry));
  } else {
    list_->setCurrentRow(-1);
    list_->clearSelection();
  }
  preselecting_ = false;
  // The cell's place in the grid, the grid's place in the window, in twips as the rules count.
  const QRect cell = grid_->visualRect(grid_->model()->index(row, col));
  const QPoint inGrid = grid_->viewport()->mapTo(grid_, cell.topLeft());
  const Placement p = ShowMarcListPlacement(Twips(grid_->x()), Twips(grid_->y()), Twips(inGrid.x()), Twips(inGrid.y()),
                                            Twips(cell.width()));
  list_->setGeometry(Px(p.left), Px(p.top), Px(p.width), Px(3810));
  // Showing and focusing the list may make an entry current (a list gives its first entry the
  // focus); that is not a pick.
  preselecting_ = true;
  list_->show();
  list_->raise();
  list_->setFocus();
  preselecting_ = false;
}

void MappingGrid::Grid1_Click() {
  list_->hide();
  const int row = grid_->currentRow();
  const QTableWidgetItem* name = row >= 0 ? grid_->item(row, 0) : nullptr;
  // Opened once the click is over, so that the grid's own handling of it does not take the focus back.
  if (grid_->currentColumn() == 1 && name && !name->text().isEmpty())
    QMetaObject::invokeMethod(this, [this] { ShowMarcList(); }, Qt::QueuedConnection);
}

void MappingGrid::Pick() {
  QListWidgetItem* chosen = list_->currentItem();
  const int row = grid_->currentRow();
  if (!chosen || row < 0) return;
  const std::string code = CodeOfEntry(ui::S(chosen->text()));
  QTableWidgetItem* cell = grid_->item(row, 1);
  if (!cell) {
    cell = new QTableWidgetItem;
    grid_->setItem(row, 1, cell);
  }
  cell->setText(ui::Q(code));
  Unmark(cell);  // the user chose: nothing left to look at
  list_->hide();
  if (HasDuplicate(Mapping())) {
    cell->setText(QString());
    Unmark(cell);
    ui_.Message(kDuplicateMessage, "操作提示", ui::Icon::Information, ui::Buttons::Ok);
  }
}

bool MappingGrid::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (watched == grid_ && enter) {
      // Enter moves one row down, in the same column; the list is not opened.
      if (grid_->currentRow() != grid_->rowCount() - 1)
        grid_->setCurrentCell(grid_->currentRow() + 1, std::max(0, grid_->currentColumn()));
      return true;
    }
    if (watched == list_ && enter) {
      if (grid_->currentRow() < grid_->rowCount() - 1) {
        grid_->setCurrentCell(grid_->currentRow() + 1, std::max(0, grid_->currentColumn()));
        ShowMarcList();
      } else if (start_ && start_->isEnabled()) {
        start_->setFocus();  // the list loses the focus and closes
      }
      return true;
    }
    const bool clear = key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace;
    if (clear && (watched == list_ || (watched == grid_ && grid_->currentColumn() == 1))) {
      // Delete or Backspace empties the mapping cell; the list's entries stay as they are.
      list_->hide();
      Clear(grid_->currentRow());
      grid_->setFocus();
      return true;
    }
    if (watched == list_ && key->key() == Qt::Key_Escape) {
      list_->hide();
      grid_->setFocus();
      return true;
    }
  } else if (event->type() == QEvent::FocusOut && watched == list_) {
    list_->hide();
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace rowcaster::mapping
