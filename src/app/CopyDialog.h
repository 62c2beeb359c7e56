#pragma once
// 联机套录: which catalogues the next runs copy records from (checked, in order), whether rows
// without an ISBN are searched by title, and the holdings check (查重) against the library's own
// catalogue or an export of it. 测试连接 asks each checked catalogue on a thread of its own, so the
// window never waits on a server.

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

#include "catalogue/Held.h"
#include "catalogue/Target.h"
#include "platform/ui/Ui.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace rowcaster::app {

// What the dialog chose; the run and the preview take it.
struct CopySettings {
  std::vector<catalogue::Target> copyFrom;  // in the order asked
  bool byTitle = false;
  bool priceAlways = false;
  std::optional<catalogue::Target> heldIn;  // the holdings check against a catalogue…
  std::string heldFile;                     // …or against an export file
  catalogue::HeldAction held = catalogue::HeldAction::Skip;
  bool Active() const { return !copyFrom.empty() || heldIn || !heldFile.empty(); }
};

class CopyDialog : public QDialog {
  Q_OBJECT
 public:
  // `known`: the profile's targets, then the user's targets file's; `current`: the settings now.
  CopyDialog(QWidget* owner, ui::Ui& ui, const std::vector<catalogue::Target>& known, const CopySettings& current);
  ~CopyDialog() override;

  CopySettings Settings() const;
  // Adds the target at `url` (checked); false, with the reason shown, when it is no target URL.
  bool AddTarget(const std::string& url);
  // Tests the checked targets; each line says the answer when it comes (tested() at the end).
  void TestTargets();

  QListWidget* Targets;
  QLineEdit* NewTarget;
  QPushButton* Add;
  QPushButton* Test;
  QLabel* Status;
  QCheckBox* ByTitle;
  QCheckBox* PriceAlways;
  QComboBox* HeldIn;   // 不查重, each target, then an export file once chosen
  QPushButton* ChooseHeldFile;
  QComboBox* HeldAction;

 signals:
  void tested();

 private:
  void BuildTargets();
  void BuildHeldCheck();
  void ShowTested(int row, bool ok, const QString& text);
  QString TargetLine(const catalogue::Target& t) const;

  ui::Ui& ui_;
  std::vector<catalogue::Target> targets_;  // by list row
  std::string heldFile_;
  int testing_ = 0;   // tests still running
  int answered_ = 0;  // of this round's, the targets that answered
};

}  // namespace rowcaster::app
