#pragma once
// The results of the last run: its findings in a table that sorts by any column and filters by
// level, kind and field, the counts by kind on top, and a button that saves the report. A double
// click on a finding asks for its row (activated), which the main window selects and previews.

#include <QDialog>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

namespace rowcaster::app {

class ResultsWindow : public QDialog {
  Q_OBJECT
 public:
  explicit ResultsWindow(QWidget* owner);

  // Shows the report table (its first line the header, as words::ReportTable gives it) and the
  // summary above it.
  void Show(const std::vector<std::vector<std::string>>& table, const std::string& summary);
  // The table shown, for saving.
  const std::vector<std::vector<std::string>>& Table() const { return table_; }

  // Filters: the empty text shows all.
  void FilterBy(const QString& level, const QString& kind, const QString& field);

  QLabel* Counts;
  QComboBox* LevelFilter;
  QComboBox* KindFilter;
  QComboBox* FieldFilter;
  QTableView* Findings;
  QPushButton* SaveReport;

 signals:
  // A finding of data row `row` (from 1) was double-clicked.
  void activated(int row);
  void saveRequested();

 private:
  void FillFilter(QComboBox* box, int column);
  void ApplyFilters();
  void Activate(const QModelIndex& index);

  std::vector<std::vector<std::string>> table_;
  QStandardItemModel* model_;
  QSortFilterProxyModel* filter_;
};

}  // namespace rowcaster::app
