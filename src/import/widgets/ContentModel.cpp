#include "import/widgets/ContentModel.h"

namespace rowcaster::import {

ContentModel::ContentModel(QObject* parent) : QAbstractTableModel(parent) {}

void ContentModel::Clear() {
  beginResetModel();
  table_.reset();
  endResetModel();
}

void ContentModel::SetTable(std::shared_ptr<const LoadedTable> table) {
  beginResetModel();
  table_ = std::move(table);
  endResetModel();
}

int ContentModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return table_ ? static_cast<int>(table_->RowCount()) : 1;
}

int ContentModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return table_ ? static_cast<int>(table_->ColumnCount()) : 7;
}

QVariant ContentModel::data(const QModelIndex& index, int role) const {
  if (!table_ || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
  const std::string_view cell = table_->Cell(static_cast<std::size_t>(index.row()), static_cast<std::size_t>(index.column()));
  if (role == Qt::ToolTipRole && cell.size() < 40) return {};
  return QString::fromUtf8(cell.data(), static_cast<qsizetype>(cell.size()));
}

QVariant ContentModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  if (!table_) return QStringLiteral("字段%1").arg(section + 1);
  return QString::fromStdString(table_->FieldNames().at(static_cast<std::size_t>(section)));
}

}  // namespace rowcaster::import
