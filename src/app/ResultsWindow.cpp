#include "app/ResultsWindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace rowcaster::app {
namespace {

// Columns of the report table.
enum Column { kRow, kSheetRow, kTitle, kIsbn, kLevel, kKind, kField, kMessage };

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Keeps the rows whose level, kind and field match the chosen ones (an empty choice matches all).
class FindingFilter : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;
  void Set(const QString& level, const QString& kind, const QString& field) {
    want_[0] = level;
    want_[1] = kind;
    want_[2] = field;
    invalidateFilter();
  }

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    const int columns[] = {kLevel, kKind, kField};
    for (int k = 0; k < 3; ++k)
      if (!want_[k].isEmpty() && sourceModel()->index(row, columns[k], parent).data().toString() != want_[k]) return false;
    return true;
  }

 private:
  QString want_[3];
};

}  // namespace

ResultsWindow::ResultsWindow(QWidget* owner) : QDialog(owner) {
  setWindowTitle("转换报告");
  resize(900, 520);
  auto* layout = new QVBoxLayout(this);
  Counts = new QLabel(this);
  Counts->setWordWrap(true);
  Counts->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(Counts);
  auto* filters = new QHBoxLayout;
  LevelFilter = new QComboBox(this);
  KindFilter = new QComboBox(this);
  FieldFilter = new QComboBox(this);
  for (auto [label, box] : {std::pair{"级别", LevelFilter}, {"类别", KindFilter}, {"字段", FieldFilter}}) {
    filters->addWidget(new QLabel(label, this));
    filters->addWidget(box);
    connect(box, &QComboBox::currentIndexChanged, this, [this] { ApplyFilters(); });
  }
  filters->addStretch();
  SaveReport = new QPushButton("保存报告", this);
  filters->addWidget(SaveReport);
  layout->addLayout(filters);
  model_ = new QStandardItemModel(this);
  filter_ = new FindingFilter(this);
  filter_->setSourceModel(model_);
  filter_->setSortRole(Qt::UserRole);
  Findings = new QTableView(this);
  Findings->setModel(filter_);
  Findings->setSortingEnabled(true);
  Findings->setSelectionBehavior(QAbstractItemView::SelectRows);
  Findings->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Findings->horizontalHeader()->setStretchLastSection(true);
  Findings->verticalHeader()->hide();
  layout->addWidget(Findings);
  connect(Findings, &QTableView::doubleClicked, this, &ResultsWindow::Activate);
  connect(SaveReport, &QPushButton::clicked, this, &ResultsWindow::saveRequested);
}

void ResultsWindow::Show(const std::vector<std::vector<std::string>>& table, const std::string& summary) {
  table_ = table;
  Counts->setText(Q(summary).trimmed());
  model_->clear();
  if (!table.empty()) {
    QStringList header;
    for (const std::string& h : table[0]) header << Q(h);
    model_->setHorizontalHeaderLabels(header);
  }
  for (std::size_t r = 1; r < table.size(); ++r) {
    QList<QStandardItem*> items;
    for (std::size_t c = 0; c < table[r].size(); ++c) {
      auto* item = new QStandardItem(Q(table[r][c]));
      // Row numbers sort as numbers, the run's own findings (no row) first.
      const bool number = c == kRow || c == kSheetRow;
      item->setData(number ? QVariant(table[r][c].empty() ? 0 : std::stoll(table[r][c])) : QVariant(item->text()),
                    Qt::UserRole);
      items << item;
    }
    model_->appendRow(items);
  }
  FillFilter(LevelFilter, kLevel);
  FillFilter(KindFilter, kKind);
  FillFilter(FieldFilter, kField);
  Findings->sortByColumn(-1, Qt::AscendingOrder);  // in the report's order until a header is clicked
  Findings->resizeColumnsToContents();
  show();
  raise();
}

void ResultsWindow::FillFilter(QComboBox* box, int column) {
  QSignalBlocker quiet(box);
  box->clear();
  box->addItem("全部", QString());
  QStringList values;
  for (int r = 0; r < model_->rowCount(); ++r) {
    const QString v = model_->item(r, column)->text();
    if (!v.isEmpty() && !values.contains(v)) values << v;
  }
  for (const QString& v : values) box->addItem(v, v);
}

void ResultsWindow::FilterBy(const QString& level, const QString& kind, const QString& field) {
  const std::pair<QComboBox*, QString> choices[] = {{LevelFilter, level}, {KindFilter, kind}, {FieldFilter, field}};
  for (const auto& [box, value] : choices) {
    QSignalBlocker quiet(box);
    box->setCurrentIndex(std::max(0, box->findData(value)));
  }
  ApplyFilters();
}

void ResultsWindow::ApplyFilters() {
  static_cast<FindingFilter*>(filter_)->Set(LevelFilter->currentData().toString(), KindFilter->currentData().toString(),
                                            FieldFilter->currentData().toString());
}

void ResultsWindow::Activate(const QModelIndex& index) {
  const QModelIndex source = filter_->mapToSource(index);
  const QString row = model_->item(source.row(), kRow)->text();
  if (!row.isEmpty()) emit activated(row.toInt());
}

}  // namespace rowcaster::app
