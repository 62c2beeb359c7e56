#pragma once
// The content grid's model: the loaded table as the grid shows it, header row of field names, one
// row per record. Holds the table by a shared pointer, so that a conversion can keep the same rows
// while the grid moves on.

#include <QAbstractTableModel>
#include <memory>

#include "import/LoadedTable.h"

namespace rowcaster::import {

class ContentModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit ContentModel(QObject* parent = nullptr);

  // The empty state: seven columns "字段1" … "字段7" and one empty row.
  void Clear();
  void SetTable(std::shared_ptr<const LoadedTable> table);
  std::shared_ptr<const LoadedTable> Table() const { return table_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::shared_ptr<const LoadedTable> table_;
};

}  // namespace rowcaster::import
