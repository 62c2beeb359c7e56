#pragma once
// The mapping grid Grid1 and its pick list List1: clicks, picks, the duplicate rule and the
// keyboard walk down the rows.

#include <QObject>
#include <string>
#include <vector>

#include "platform/ui/Ui.h"

class QTableWidget;
class QListWidget;
class QWidget;

namespace rowcaster::mapping {

class MappingGrid : public QObject {
  Q_OBJECT
 public:
  // `grid` and `list` are children of the same window; `start` takes the focus after the last row.
  MappingGrid(QTableWidget* grid, QListWidget* list, QWidget* start, ui::Ui& ui, QObject* parent = nullptr);

  // The empty state: header "Excel字段|Marc字段", one empty row, columns 2050 twips wide.
  void Init();
  // One row per field: its name, and the pre-filled code or nothing.
  void SetFields(const std::vector<std::string>& names, const std::vector<std::string>& codes);
  // Column 1 of every data row.
  std::vector<std::string> Mapping() const;
  // Marks row `row`'s code cell as one to look at, `why` as its tip; the next SetFields clears it.
  void MarkCell(int row, const std::string& why);
  // The tip of a marked code cell; empty when the cell is not marked.
  std::string MarkOf(int row) const;
  // Marks row `row`'s code cell as filled by the column's name, `why` as its tip, until the user
  // picks a code for it or confirms them all; the next SetFields clears it too.
  void MarkNamed(int row, const std::string& why);
  bool IsNamed(int row) const;
  // True when some code cell is still marked as filled by its column's name.
  bool HasNamed() const;
  // The codes filled by column names are taken as they are: their marks go.
  void ConfirmNamed();

  // Empties row `row`'s code cell and its mark (Delete or Backspace on it).
  void Clear(int row);

  void ShowMarcList();
  void Grid1_Click();
  void Pick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QTableWidget* grid_;
  QListWidget* list_;
  QWidget* start_;
  ui::Ui& ui_;
  void MarkUsedEntries(int row);
  bool preselecting_ = false;
};

}  // namespace rowcaster::mapping
