#pragma once
// The main window "Rowcaster": the two paths, the mapping grid with its pick list, the template,
// the content grid, and the buttons that import, choose the output, convert and quit.

#include <QMainWindow>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "convert/ConversionRun.h"
#include "convert/Profile.h"
#include "import/DataFile.h"
#include "platform/data/TableReader.h"
#include "platform/ui/Ui.h"

class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTableWidget;
class QTimer;

namespace rowcaster::import {
class ContentModel;
}
namespace rowcaster::mapping {
class MappingGrid;
}

namespace rowcaster::app {

class CopyDialog;
struct CopySettings;
class ProgressWindow;
class ResultsWindow;

class MainWindow : public QMainWindow, public import::ImportWindow {
  Q_OBJECT
 public:
  // `ui` shows the messages and dialogs; `exeDir` is where cbk.db, pinyin.dat and rowcaster-cli lie.
  MainWindow(ui::Ui& ui, std::string exeDir, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The shared texts built at start-up.
  std::string cbkConnStr;
  std::string MarcCodeList;

  // Controls, by the names the program uses for them.
  QGroupBox* Frame1;
  QLabel* Label1;
  QLineEdit* ExcelPath;
  QPushButton* SelectExcel;
  QLabel* Label2;
  QLineEdit* MarcPath;
  QPushButton* OutMarc;
  QPushButton* StratConvert;
  QPushButton* ExitSoft;
  QTableWidget* Grid1;
  QListWidget* List1;
  QGroupBox* Frame3;
  QPlainTextEdit* Text2;
  QGroupBox* Frame2;
  QTableView* Grid2;

  // The rule set records are composed by; remembered across starts. Setting one loads its
  // template into the template box and names it in the template frame's caption (the 转换规则 menu
  // asks first when the template box holds an edited template).
  convert::Rules Rules() const { return rules_; }
  void SetRules(convert::Rules rules);
  // The record of content row `row` (from 0) as it would be written, with its warnings, shown
  // without writing anything.
  void PreviewRow(int row);
  // Uses a profile: its rules, template and mapping (of the loaded table and the next ones);
  // `source` is its file or built-in name, remembered for the next start.
  void UseProfile(convert::Profile profile, const std::string& source);
  const convert::Profile& ProfileInUse() const { return profile_; }
  // Maps the columns left unmapped by their names (书名 → 200a …); a code is never given twice.
  void MapByColumnNames();

  void SelectExcel_Click();
  void OutMarc_Click();
  void StratConvert_Click();
  void ExitSoft_Click();

  // The picker, replaceable by tests; by default the modal SelectXlS.
  std::function<std::string(const std::vector<std::string>&)> tablePicker;
  // Called when a conversion has ended and its message has been shown.
  std::function<void(const convert::RunResult&)> onConversionEnd;

  bool Converting() const { return worker_.joinable(); }
  // The findings of the last run in the results window (opened after a run by the recommended
  // rules that has some, or from the content grid's menu); null before it is first shown.
  void ShowResults();
  // The guide (F1, and 帮助 in the context menus), shipped beside the program's data.
  void ShowHelp();
  QDialog* Help() { return help_; }
  ResultsWindow* Results() { return results_; }
  // Selects data row `row` (from 1) in the content grid and previews its record.
  void ShowReportRow(int row);
  // Opens a table file as 选择路径 does, the table `table` taken without asking when it has it.
  void OpenTableFile(const std::string& path, const std::string& table = {});
  mapping::MappingGrid& Mapping() { return *mapping_; }
  // 联机套录…: the catalogues the next runs and previews copy from, and the holdings check; the
  // dialog opens without waiting (Copying() while it is open) and its choices go into the profile.
  void ChooseCopying();
  CopyDialog* Copying() { return copyDialog_; }
  CopySettings CopyingNow() const;
  // Takes the dialog's choices; false (said) when the chosen export file gives no records, whose
  // check is then dropped while the other choices stand.
  bool UseCopying(const CopySettings& settings);
  import::ContentModel& Content() { return *content_; }

  // import::ImportWindow
  std::string ExcelPathText() const override;
  void SetExcelPathText(const std::string& path) override;
  std::string MarcPathText() const override;
  void InitGrids() override;
  bool HasTable() const override;
  void ShowTable(std::shared_ptr<const import::LoadedTable> table, std::vector<std::string> mapping) override;
  void SetStartEnabled(bool enabled) override;
  std::string PickTable(const std::vector<std::string>& names) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The controls, built in tab order.
  void BuildPathsFrame(QWidget* client);
  void BuildButtons(QWidget* client);
  void BuildMappingGrid(QWidget* client);
  void BuildTemplateFrame(QWidget* client);
  void BuildContentGrid(QWidget* client);
  void BuildPickList(QWidget* client);
  void ConnectControls();
  void SetStartButtonByPaths();
  void ShowTemplateMenu(const QPoint& at);
  void ShowMappingMenu(const QPoint& at);
  void ShowContentMenu(const QPoint& at);
  void ShowRecentTablesMenu(const QPoint& at);
  void ShowRecentOutputsMenu(const QPoint& at);
  void UseOutputPath(const std::string& path);
  void ShowAbout();
  void AddProfileActions(QMenu& menu);
  void AddHelpAction(QMenu& menu);
  void AddHoldingsMenu(QMenu& menu);
  void RestoreSession();
  void RememberEdits();
  void LoadProfileFile();
  void SaveProfileFile(bool choosePath);
  convert::Profile CurrentProfile() const;
  // What a run of the window's current state reads: table, mapping, template, rules.
  convert::RunInput CurrentRunInput();
  void ShowRulesInCaption();
  // Lays the profile's mapping on the table's columns (and, outside the standard profile, the one
  // remembered from the last start, by exact column name); marks and names the profile's columns
  // the table lacks; marks the codes given by column names, and the columns whose names say a code
  // their values do not fit.
  void MapTable(const import::LoadedTable& table);
  void MarkNameMapping(const std::vector<std::string>& names, const std::vector<std::string>& codes,
                       const mapping::NameMapping& byName);
  // The output's format and encoding in the MARC path's tip.
  void ShowOutputKind();
  // The rule set without touching the template box.
  void SwitchRulesOnly(convert::Rules rules);
  // The user's choice in the 转换规则 menu: an edited template brings a question first.
  void ChooseRules(convert::Rules rules);
  void FinishConversion();
  void ShowProgress();
  void SaveReport();

  ui::Ui& ui_;
  std::string exeDir_;
  std::unique_ptr<data::TableReader> reader_;
  std::shared_ptr<const convert::PinyinSource> pinyin_;  // loaded on the first conversion
  import::ContentModel* content_;
  mapping::MappingGrid* mapping_;
  bool shownOnce_ = false;
  // The running conversion.
  std::thread worker_;
  std::atomic<bool> stop_{false};
  std::atomic<std::int64_t> doneRows_{0}, totalRows_{0};
  std::atomic<bool> finished_{false};
  convert::RunResult result_;
  convert::RunInput runInput_;
  QTimer* progressTimer_;
  QString captionBeforeRun_;
  // Whether and how to write to an output file that already holds something: append, replace or
  // not at all (false), as the user answers.
  bool AskHowToWrite(convert::RunInput& in);
  convert::Rules rules_ = convert::Rules::Classic;
  convert::Profile profile_;
  std::string profileSource_;
  std::vector<convert::ProfileColumn> remembered_;  // the mapping the last start left
  // The last run's report and summary, and the window that shows them.
  std::vector<std::vector<std::string>> reportTable_;
  std::string reportSummary_;
  ResultsWindow* results_ = nullptr;
  QDialog* help_ = nullptr;
  // The running conversion's progress window; whether its 停止 (not a quit) ended the run.
  ProgressWindow* progress_ = nullptr;
  std::atomic<std::int64_t> writtenRows_{0};
  bool stoppedByUser_ = false;
  // Copy cataloguing: the dialog while open; the export indexed for the holdings check, by path;
  // the rows looked up so far in a running conversion.
  CopyDialog* copyDialog_ = nullptr;
  std::shared_ptr<const catalogue::HeldIndex> heldIndex_;
  std::string heldIndexPath_;
  std::atomic<std::int64_t> lookedUp_{0}, lookupRows_{0};
  void ShowPreview(int row, const convert::RowPreview& preview);
  void AddCopyingAction(QMenu& menu);
  // The table a recent entry names, taken by PickTable; the one picked last, for the recent list.
  std::string pendingTable_, pickedTable_;
 public:
  ProgressWindow* Progress() { return progress_; }
};

// The caption while a conversion runs.
std::string ProgressCaption(std::int64_t k, std::int64_t m);

}  // namespace rowcaster::app
