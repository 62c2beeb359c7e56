#include "app/MainWindow.h"
#include "app/CopyDialog.h"

#include "app/ProgressWindow.h"
#include "app/RecentFiles.h"
#include "app/ResultsWindow.h"
#include "catalogue/Cache.h"
#include "output/ReportFile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMetaObject>
#include <QPointer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <filesystem>

#include "app/ResultsWindow.h"
#include "convert/Profile.h"
#include "convert/RegionLookup.h"
#include "import/widgets/ContentModel.h"
#include "import/widgets/TablePicker.h"
#include "mapping/ColumnNames.h"
#include "mapping/MarcFields.h"
#include "catalogue/Cache.h"
#include "output/ReportFile.h"
#include "mapping/widgets/MappingGrid.h"
#include "platform/Paths.h"
#include "platform/ui/QtUi.h"
#include "platform/ui/Twips.h"
#include "skin/Skin.h"
#include "words/Words.h"

namespace rowcaster::app {
namespace {

using ui::Px;
QRect Rect(int left, int top, int width, int height) { return QRect(Px(left), Px(top), Px(width), Px(height)); }

QFont GridFont() {
  QFont font;
  font.setFamilies({"SimSun", "宋体", "NSimSun", "Noto Serif CJK SC", "Noto Sans CJK SC", "WenQuanYi Zen Hei"});
  font.setPointSize(9);
  return font;
}

}  // namespace

std::string ProgressCaption(std::int64_t k, std::int64_t m) {
  return "Rowcaster---转换中:" + std::to_string(k) + "/" + std::to_string(m);
}

MainWindow::MainWindow(ui::Ui& ui, std::string exeDir, QWidget* parent)
    : QMainWindow(parent), ui_(ui), exeDir_(std::move(exeDir)) {
  setObjectName("MainWindow");
  setWindowTitle("Rowcaster");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  auto* client = new QWidget(this);
  client->setFixedSize(Px(11625), Px(8940));
  setCentralWidget(client);
  setFixedSize(client->size());

  // In this order: the controls' order is their tab order and their stacking.
  BuildPathsFrame(client);
  BuildButtons(client);
  BuildMappingGrid(client);
  BuildTemplateFrame(client);
  BuildContentGrid(client);
  BuildPickList(client);
  ConnectControls();

  // Start-up: the publisher database's connection string, the code list, the empty grids.
  cbkConnStr = convert::CbkConnStr(DataDirFor(exeDir_));
  std::vector<std::string> entries;
  for (int i = 0; i < List1->count(); ++i) entries.push_back(ui::S(List1->item(i)->text()));
  MarcCodeList = mapping::BuildMarcCodeList(entries);
  InitGrids();
  reader_ = data::ChildProcessReader(exeDir_ + "/rowcaster-cli");
  RestoreSession();
  SetStartButtonByPaths();  // disabled, with a tip that says why
}

void MainWindow::BuildPathsFrame(QWidget* client) {
  Frame1 = new QGroupBox(client);
  Frame1->setObjectName("Frame1");
  Frame1->setGeometry(Rect(0, -60, 9735, 1215));
  Label1 = new QLabel("表格路径：", Frame1);
  Label1->setGeometry(Rect(180, 300, 1035, 375));
  ExcelPath = new QLineEdit(Frame1);
  ExcelPath->setObjectName("ExcelPath");
  ExcelPath->setGeometry(Rect(1260, 240, 6855, 315));
  ExcelPath->setReadOnly(true);
  SelectExcel = new QPushButton("选择路径(&F)", Frame1);
  SelectExcel->setObjectName("SelectExcel");
  SelectExcel->setGeometry(Rect(8220, 240, 1395, 315));
  Label2 = new QLabel("MARC路径：", Frame1);
  Label2->setGeometry(Rect(180, 780, 975, 315));
  MarcPath = new QLineEdit(Frame1);
  MarcPath->setObjectName("MarcPath");
  MarcPath->setGeometry(Rect(1260, 720, 6855, 315));
  MarcPath->setReadOnly(true);
  OutMarc = new QPushButton("保存路径(&S)", Frame1);
  OutMarc->setObjectName("OutMarc");
  OutMarc->setGeometry(Rect(8220, 720, 1395, 315));
}

void MainWindow::BuildButtons(QWidget* client) {
  StratConvert = new QPushButton("开始转换(&C)", client);
  StratConvert->setObjectName("StratConvert");
  StratConvert->setGeometry(Rect(9960, 120, 1455, 435));
  StratConvert->setEnabled(false);
  ExitSoft = new QPushButton("退出软件(&E)", client);
  ExitSoft->setObjectName("ExitSoft");
  ExitSoft->setGeometry(Rect(9960, 660, 1455, 435));
}

void MainWindow::BuildMappingGrid(QWidget* client) {
  Grid1 = new QTableWidget(client);
  Grid1->setObjectName("Grid1");
  Grid1->setGeometry(Rect(0, 1260, 4575, 3855));
  Grid1->setFont(GridFont());
  Grid1->verticalHeader()->hide();
  Grid1->verticalHeader()->setDefaultSectionSize(QFontMetrics(GridFont()).height() + 8);
}

void MainWindow::BuildTemplateFrame(QWidget* client) {
  Frame3 = new QGroupBox("转换模板", client);
  Frame3->setObjectName("Frame3");
  Frame3->setGeometry(Rect(0, 5160, 4575, 3735));
  Text2 = new QPlainTextEdit(Frame3);
  Text2->setObjectName("Text2");
  Text2->setGeometry(Rect(180, 240, 4335, 3375));
  Text2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Text2->setLineWrapMode(QPlainTextEdit::WidgetWidth);  // a multi-line box with a vertical bar wraps
  Text2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Text2->setPlainText(ui::Q(std::string(convert::kDefaultTemplate)).replace("\r\n", "\n"));
  Text2->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Text2, &QWidget::customContextMenuRequested, this, &MainWindow::ShowTemplateMenu);
}

void MainWindow::BuildContentGrid(QWidget* client) {
  Frame2 = new QGroupBox("表格内容显示区", client);
  Frame2->setObjectName("Frame2");
  Frame2->setGeometry(Rect(4620, 1200, 6975, 7695));
  Grid2 = new QTableView(Frame2);
  Grid2->setObjectName("Grid2");
  Grid2->setGeometry(Rect(120, 240, 6735, 7335));
  Grid2->setFont(GridFont());
  Grid2->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Grid2->setWordWrap(false);
  // A million rows scroll smoothly when no row asks for its own height.
  Grid2->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  Grid2->verticalHeader()->hide();  // the grid has no fixed column
  Grid2->verticalHeader()->setDefaultSectionSize(QFontMetrics(GridFont()).height() + 6);
  Grid2->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  content_ = new import::ContentModel(this);
  Grid2->setModel(content_);
  // A row's record before converting: a double click or the context menu.
  Grid2->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Grid2, &QWidget::customContextMenuRequested, this, &MainWindow::ShowContentMenu);
  connect(Grid2, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
    if (content_->Table()) PreviewRow(index.row());
  });
}

// The pick list is a child of the window itself, above the grids; the mapping grid drives it.
void MainWindow::BuildPickList(QWidget* client) {
  List1 = new QListWidget(client);
  List1->setObjectName("List1");
  List1->setGeometry(Rect(1860, 3000, 2295, 3810));
  List1->setFont(GridFont());
  mapping_ = new mapping::MappingGrid(Grid1, List1, StratConvert, ui_, this);
  Grid1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Grid1, &QWidget::customContextMenuRequested, this, &MainWindow::ShowMappingMenu);
}

// The buttons, and the timer that shows a running conversion's progress.
void MainWindow::ConnectControls() {
  connect(SelectExcel, &QPushButton::clicked, this, &MainWindow::SelectExcel_Click);
  connect(OutMarc, &QPushButton::clicked, this, &MainWindow::OutMarc_Click);
  connect(StratConvert, &QPushButton::clicked, this, &MainWindow::StratConvert_Click);
  connect(ExitSoft, &QPushButton::clicked, this, &MainWindow::ExitSoft_Click);
  // The tables and output files used last, on the path buttons' menus; a table dropped opens.
  SelectExcel->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(SelectExcel, &QWidget::customContextMenuRequested, this, &MainWindow::ShowRecentTablesMenu);
  OutMarc->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(OutMarc, &QWidget::customContextMenuRequested, this, &MainWindow::ShowRecentOutputsMenu);
  setAcceptDrops(true);
  auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
  connect(f1, &QShortcut::activated, this, &MainWindow::ShowHelp);
  progressTimer_ = new QTimer(this);
  progressTimer_->setInterval(50);
  connect(progressTimer_, &QTimer::timeout, this, &MainWindow::ShowProgress);
}

void MainWindow::RestoreSession() {
  QSettings settings;
  // The profile of the last session, then its edits that were not saved into it.
  const std::string profile = ui::S(settings.value("profile").toString());
  std::string error;
  if (!profile.empty()) {
    if (auto p = convert::LoadProfile(profile, error)) {
      UseProfile(std::move(*p), profile);
    } else {
      ui_.Message(error + "\r\n改用标准方案。", "操作提示", ui::Icon::Warning, ui::Buttons::Ok);
    }
  }
  // The rule set chosen last stays chosen: a profile's own applies when it is loaded, not over a
  // later choice.
  if (const auto rules = convert::RulesNamed(ui::S(settings.value("rules").toString())); rules && *rules != rules_)
    SetRules(*rules);
  if (settings.contains("template")) Text2->setPlainText(settings.value("template").toString());
  if (settings.contains("mapping")) {
    if (auto edits = convert::ParseProfile(ui::S(settings.value("mapping").toString()), error))
      remembered_ = std::move(edits->mapping);
  }
  ShowOutputKind();
}

void MainWindow::UseProfile(convert::Profile profile, const std::string& source) {
  SetRules(profile.rules);
  Text2->setPlainText(ui::Q(convert::ProfileTemplate(profile)).replace("\r\n", "\n"));
  profile_ = std::move(profile);
  profileSource_ = source;
  QSettings().setValue("profile", ui::Q(source));
  remembered_.clear();  // a profile chosen now says how columns are mapped
  if (const auto table = content_->Table()) MapTable(*table);
  ShowRulesInCaption();
  ShowOutputKind();
}

void MainWindow::MapTable(const import::LoadedTable& table) {
  const std::vector<std::string>& names = table.FieldNames();
  const bool standard = rules_ == convert::Rules::Classic && (profileSource_.empty() || profileSource_ == convert::kStandardProfile);
  // The recommended rules also map the columns whose names say what they hold.
  const bool byName = profile_.mapByName || rules_ == convert::Rules::Recommended;
  convert::Profile profile = profile_;
  profile.mapByName = byName;
  const convert::ProfileMatch match = convert::MatchProfile(
      profile, names, standard ? std::vector<convert::ProfileColumn>{} : remembered_,
      byName ? mapping::SampleColumns(table) : mapping::ColumnSamples());
  mapping_->SetFields(names, match.codes);
  MarkNameMapping(names, match.codes, match.byName);
  if (match.unmatched.empty()) return;
  for (const convert::ProfileColumn& m : match.unmatched) {
    const int row = m.position - 1;
    if (row >= 0 && static_cast<std::size_t>(row) < names.size() && match.codes[row].empty())
      mapping_->MarkCell(row, "方案“" + profile_.name + "”在第 " + std::to_string(m.position) + " 列的“" + m.column +
                                  "”给 " + m.code + "，这张表里没有这一列");
  }
  ui_.Message(words::UnmatchedText(profile_, match), "操作提示", ui::Icon::Warning, ui::Buttons::Ok);
}

void MainWindow::MarkNameMapping(const std::vector<std::string>& names, const std::vector<std::string>& codes,
                                 const mapping::NameMapping& byName) {
  for (const std::size_t c : byName.named) mapping_->MarkNamed(static_cast<int>(c), words::NamedCellTip(names[c], codes[c]));
  for (const mapping::RejectedColumn& r : byName.rejected)
    if (codes[r.column].empty()) mapping_->MarkCell(static_cast<int>(r.column), words::RejectedText(names[r.column], r));
  for (const mapping::OfferedColumn& o : byName.offered)
    mapping_->MarkCell(static_cast<int>(o.column), words::OfferedText(names[o.column], o));
}

void MainWindow::ShowOutputKind() {
  MarcPath->setToolTip(ui::Q(words::OutputKindText(profile_.format, convert::ProfileEncoding(profile_))));
}

void MainWindow::LoadProfileFile() {
  const std::string path = ui_.OpenFile("载入转换方案", "转换方案|*.json", "");
  if (path.empty()) return;
  std::string error;
  if (auto p = convert::LoadProfile(path, error)) {
    UseProfile(std::move(*p), path);
  } else {
    ui_.Message(error, "操作提示", ui::Icon::Error, ui::Buttons::Ok);
  }
}

convert::Profile MainWindow::CurrentProfile() const {
  convert::Profile p = profile_;
  p.rules = rules_;
  p.templateText = ui::S(Text2->toPlainText().replace("\n", "\r\n"));
  if (!p.templateText.empty()) p.templateText += "\r\n";
  if (const auto table = content_->Table()) {
    // The mapping by the table's column names, their positions as the fallback.
    p.mapping.clear();
    const auto codes = mapping_->Mapping();
    const auto& names = table->FieldNames();
    p.columns = names;
    for (std::size_t c = 0; c < names.size() && c < codes.size(); ++c)
      if (!codes[c].empty()) p.mapping.push_back({names[c], static_cast<int>(c + 1), codes[c]});
  }
  return p;
}

void MainWindow::SaveProfileFile(bool choosePath) {
  std::string path = profileSource_;
  if (choosePath || convert::BuiltInProfile(path) || path.empty()) {
    path = ui_.SaveFile("保存转换方案", "转换方案|*.json", "");
    if (path.empty()) return;
  }
  convert::Profile p = CurrentProfile();
  if (convert::BuiltInProfile(p.name) || choosePath)
    p.name = std::filesystem::path(path).stem().string();
  std::string error;
  if (!convert::SaveProfile(p, path, error)) {
    ui_.Message(error, "操作提示", ui::Icon::Error, ui::Buttons::Ok);
    return;
  }
  profile_ = p;
  profileSource_ = path;
  QSettings().setValue("profile", ui::Q(path));
  ShowRulesInCaption();
}

void MainWindow::RememberEdits() {
  QSettings settings;
  settings.setValue("template", Text2->toPlainText());
  // The mapping by column name, for the same kind of table imported at the next start.
  if (content_->Table()) settings.setValue("mapping", ui::Q(convert::ProfileJson(CurrentProfile())));
}

namespace {

// A rule set's default template as the template box holds it.
QString TemplateBoxText(convert::Rules rules) {
  return ui::Q(std::string(convert::DefaultTemplate(rules))).replace("\r\n", "\n");
}

}  // namespace

void MainWindow::SetRules(convert::Rules rules) {
  SwitchRulesOnly(rules);
  Text2->setPlainText(TemplateBoxText(rules));
}

void MainWindow::SwitchRulesOnly(convert::Rules rules) {
  rules_ = rules;
  profile_.rules = rules;
  QSettings().setValue("rules", ui::Q(std::string(convert::RulesName(rules))));
  ShowRulesInCaption();
}

void MainWindow::ChooseRules(convert::Rules rules) {
  if (Text2->toPlainText() == TemplateBoxText(rules_)) {
    SetRules(rules);
    return;
  }
  // An edited template is replaced only when the user says so; Enter keeps everything.
  const ui::Answer a = ui_.Message("模板已经改过。换成“" + std::string(convert::RulesCaption(rules)) +
                                       "”的模板吗？\r\n\r\n是：换成新规则的模板，改过的模板不保留\r\n"
                                       "否：保留改过的模板，只换规则\r\n取消：不换规则",
                                   words::FriendlyTitle(), ui::Icon::Question, ui::Buttons::CancelYesNo);
  if (a == ui::Answer::Yes) SetRules(rules);
  if (a == ui::Answer::No) SwitchRulesOnly(rules);
}

void MainWindow::ShowRulesInCaption() {
  // The specified caption for the standard profile; another profile or rule set is named beside it.
  QStringList beside;
  if (profile_.name != convert::kStandardProfile) beside << "方案：" + ui::Q(profile_.name);
  if (rules_ != convert::Rules::Classic) beside << ui::Q(std::string(convert::RulesCaption(rules_)));
  Frame3->setTitle(beside.isEmpty() ? QString("转换模板") : QString("转换模板（%1）").arg(beside.join("，")));
}

void MainWindow::MapByColumnNames() {
  const auto table = content_->Table();
  if (!table) return;
  const std::vector<std::string>& names = table->FieldNames();
  std::vector<std::string> codes = mapping_->Mapping();
  std::vector<std::size_t> stillNamed;  // marks of an earlier mapping by names that nobody confirmed
  for (std::size_t r = 0; r < codes.size(); ++r)
    if (mapping_->IsNamed(static_cast<int>(r))) stillNamed.push_back(r);
  mapping::NameMapping byName = mapping::MapByColumnNames(names, mapping::SampleColumns(*table), codes);
  byName.named.insert(byName.named.end(), stillNamed.begin(), stillNamed.end());
  mapping_->SetFields(names, codes);
  MarkNameMapping(names, codes, byName);
}

void MainWindow::AddProfileActions(QMenu& menu) {
  QMenu* profiles = menu.addMenu("转换方案（" + ui::Q(profile_.name) + "）");
  profiles->setObjectName("ProfileMenu");
  const auto add = [&](const char* name, const QString& text, auto slot) {
    QAction* a = profiles->addAction(text);
    a->setObjectName(name);
    a->setEnabled(!Converting());
    connect(a, &QAction::triggered, this, slot);
  };
  add("profile-load", "载入方案…", [this] { LoadProfileFile(); });
  add("profile-save", "保存方案", [this] { SaveProfileFile(false); });
  add("profile-save-as", "方案另存为…", [this] { SaveProfileFile(true); });
  add("profile-recommended", "推荐方案（推荐规则，按列名匹配）",
      [this] { UseProfile(*convert::BuiltInProfile(convert::kRecommendedProfile), std::string(convert::kRecommendedProfile)); });
  add("profile-standard", "回到标准方案",
      [this] { UseProfile(*convert::BuiltInProfile(convert::kStandardProfile), std::string(convert::kStandardProfile)); });
}

void MainWindow::ShowAbout() {
  ui_.Message(std::string("Rowcaster ") + ROWCASTER_VERSION +
                  "\r\n把中文图书数据表格（.xls、.mdb、.dbf）转换为 CNMARC 记录（ISO 2709）。\r\n"
                  "出版社库：" + DataDirFor(exeDir_) + "\r\n命令行：rowcaster-cli --help",
              "关于 Rowcaster", ui::Icon::Information, ui::Buttons::Ok);
}

void MainWindow::ShowMappingMenu(const QPoint& at) {
  QMenu menu;
  QAction* byName = menu.addAction("按列名匹配字段（书名、作者、ISBN、定价……）");
  byName->setObjectName("map-by-name");
  byName->setEnabled(content_->Table() != nullptr && !Converting());
  connect(byName, &QAction::triggered, this, &MainWindow::MapByColumnNames);
  QAction* confirm = menu.addAction(ui::Q(words::ConfirmNamedText()));
  confirm->setObjectName("confirm-named");
  confirm->setEnabled(mapping_->HasNamed() && !Converting());
  connect(confirm, &QAction::triggered, this, [this] { mapping_->ConfirmNamed(); });
  AddProfileActions(menu);
  AddHelpAction(menu);
  menu.exec(Grid1->viewport()->mapToGlobal(at));
}

void MainWindow::ShowTemplateMenu(const QPoint& at) {
  std::unique_ptr<QMenu> menu(Text2->createStandardContextMenu());
  menu->addSeparator();
  QMenu* rulesMenu = menu->addMenu("转换规则");
  rulesMenu->setObjectName("RulesMenu");
  for (const convert::Rules r : {convert::Rules::Classic, convert::Rules::Recommended}) {
    QAction* action = rulesMenu->addAction(ui::Q(std::string(convert::RulesCaption(r))) +
                                           (r == convert::Rules::Classic ? "（按规范原样填写模板）" : "（检查并整理数据，载入推荐模板）"));
    action->setObjectName(ui::Q("rules-" + std::string(convert::RulesName(r))));
    action->setCheckable(true);
    action->setChecked(r == rules_);
    connect(action, &QAction::triggered, this, [this, r] { ChooseRules(r); });
  }
  AddProfileActions(*menu);
  AddHoldingsMenu(*menu);
  AddCopyingAction(*menu);
  menu->addSeparator();
  AddHelpAction(*menu);
  QAction* about = menu->addAction("关于 Rowcaster");
  about->setObjectName("about");
  connect(about, &QAction::triggered, this, &MainWindow::ShowAbout);
  menu->exec(Text2->mapToGlobal(at));
}

MainWindow::~MainWindow() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
}

std::string MainWindow::ExcelPathText() const { return ui::S(ExcelPath->text()); }
void MainWindow::SetExcelPathText(const std::string& path) { ExcelPath->setText(ui::Q(path)); }
std::string MainWindow::MarcPathText() const { return ui::S(MarcPath->text()); }

void MainWindow::InitGrids() {
  content_->Clear();
  for (int c = 0; c < 7; ++c) Grid2->setColumnWidth(c, Px(1500));
  Grid2->setCurrentIndex(content_->index(0, 0));
  Grid2->selectionModel()->select(QItemSelection(content_->index(0, 0), content_->index(0, 6)),
                                  QItemSelectionModel::ClearAndSelect);
  mapping_->Init();
}

bool MainWindow::HasTable() const { return content_->Table() != nullptr; }

void MainWindow::ShowTable(std::shared_ptr<const import::LoadedTable> table, std::vector<std::string> codes) {
  // The importer's codes are those of columns named like a code, which the profile's mapping
  // gives too.
  (void)codes;
  if (!ExcelPathText().empty()) RememberEntry(kRecentTables, ExcelPathText() + "\t" + pickedTable_);
  content_->SetTable(table);
  MapTable(*table);
}

void MainWindow::SetStartEnabled(bool enabled) {
  StratConvert->setEnabled(enabled && !Converting());
  // A disabled button says what it waits for.
  QStringList missing;
  if (Converting()) missing << "正在转换";
  if (ExcelPath->text().isEmpty()) missing << "还没有选择表格（选择路径）";
  if (MarcPath->text().isEmpty()) missing << "还没有选择 MARC 文件的保存路径（保存路径）";
  const std::vector<std::string> codes = mapping_->Mapping();
  if (HasTable() && std::find(codes.begin(), codes.end(), "200a") == codes.end()) missing << "题名还没有对应字段（200a）";
  StratConvert->setToolTip(StratConvert->isEnabled() ? QString() : missing.join("\n"));
}

void MainWindow::SetStartButtonByPaths() {
  SetStartEnabled(!ExcelPath->text().isEmpty() && !MarcPath->text().isEmpty());
}

std::string MainWindow::PickTable(const std::vector<std::string>& names) {
  const std::string wanted = std::exchange(pendingTable_, std::string());
  if (!wanted.empty() && std::find(names.begin(), names.end(), wanted) != names.end()) return pickedTable_ = wanted;
  return pickedTable_ = tablePicker ? tablePicker(names) : import::PickTable(ui_, this, names);
}

void MainWindow::OpenTableFile(const std::string& path, const std::string& table) {
  if (Converting()) return;
  const std::string before = ExcelPathText();
  pendingTable_ = table;
  pickedTable_.clear();
  SetExcelPathText(path);
  // A file that cannot be read leaves the table read before, and its path, as they were.
  if (!import::ReadDataFile(path, import::KindOfPath(path), *this, ui_, *reader_, MarcCodeList) && HasTable())
    SetExcelPathText(before);
  pendingTable_.clear();
  SetStartButtonByPaths();
}

void MainWindow::ShowRecentTablesMenu(const QPoint& at) {
  QMenu menu;
  const std::vector<std::string> recent = RecentEntries(kRecentTables);
  for (const std::string& entry : recent) {
    const std::size_t tab = entry.find('\t');
    const std::string path = entry.substr(0, tab), table = tab == std::string::npos ? "" : entry.substr(tab + 1);
    QAction* a = menu.addAction(ui::Q(table.empty() ? path : path + " — " + table));
    a->setObjectName("recent-table-" + QString::number(menu.actions().size() - 1));
    connect(a, &QAction::triggered, this, [this, path, table] { OpenTableFile(path, table); });
  }
  if (recent.empty()) menu.addAction("（没有最近用过的表格）")->setEnabled(false);
  menu.exec(SelectExcel->mapToGlobal(at));
}

void MainWindow::ShowRecentOutputsMenu(const QPoint& at) {
  QMenu menu;
  const std::vector<std::string> recent = RecentEntries(kRecentOutputs);
  for (const std::string& path : recent) {
    QAction* a = menu.addAction(ui::Q(path));
    a->setObjectName("recent-output-" + QString::number(menu.actions().size() - 1));
    connect(a, &QAction::triggered, this, [this, path] { UseOutputPath(path); });
  }
  if (recent.empty()) menu.addAction("（没有最近用过的输出文件）")->setEnabled(false);
  menu.exec(OutMarc->mapToGlobal(at));
}

void MainWindow::UseOutputPath(const std::string& path) {
  MarcPath->setText(ui::Q(path));
  RememberEntry(kRecentOutputs, path);
  SetStartButtonByPaths();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!Converting() && urls.size() == 1 && urls[0].isLocalFile() &&
      import::IsReadableKind(import::KindOfPath(ui::S(urls[0].toLocalFile()))))
    event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() != 1 || !urls[0].isLocalFile()) return;
  event->acceptProposedAction();
  OpenTableFile(ui::S(urls[0].toLocalFile()));
}

void MainWindow::SelectExcel_Click() {
  if (Converting()) return;
  pickedTable_.clear();
  import::SelectExcel_Click(*this, ui_, *reader_, MarcCodeList);
}

namespace {

// The save dialog's file types and what each writes. The first two are the long-standing ones
// (GBK records, whatever the extension).
struct OutputType {
  const char* name;
  const char* pattern;
  iso2709::Format format;
  iso2709::Encoding encoding;
};
constexpr OutputType kOutputTypes[] = {
    {"ISO(2709)", "*.iso", iso2709::Format::Iso2709, iso2709::Encoding::Gbk},
    {"txt", "*.txt", iso2709::Format::Iso2709, iso2709::Encoding::Gbk},
    {"ISO 2709，GB18030 编码", "*.iso", iso2709::Format::Iso2709, iso2709::Encoding::Gb18030},
    {"ISO 2709，UTF-8 编码（Koha 等）", "*.iso", iso2709::Format::Iso2709, iso2709::Encoding::Utf8},
    {"MARCXML（UTF-8）", "*.xml", iso2709::Format::MarcXml, iso2709::Encoding::Utf8},
    {"记录列表，一行一个字段（UTF-8）", "*.txt", iso2709::Format::Text, iso2709::Encoding::Utf8},
};

std::string OutputFilter() {
  std::string filter;
  for (const OutputType& t : kOutputTypes) filter += std::string(filter.empty() ? "" : "|") + t.name + "|" + t.pattern;
  return filter;
}

}  // namespace

void MainWindow::OutMarc_Click() {
  // The dialog offers the type the profile writes; the long-standing first type otherwise.
  int type = 0;
  const iso2709::Encoding encoding = convert::ProfileEncoding(profile_);
  for (std::size_t t = 0; t < std::size(kOutputTypes); ++t)
    if (kOutputTypes[t].format == profile_.format && kOutputTypes[t].encoding == encoding) {
      type = static_cast<int>(t);
      break;
    }
  const std::string path = ui_.SaveFile("保存Marc数据到文件", OutputFilter(), "", &type);
  if (!path.empty()) {
    MarcPath->setText(ui::Q(path));
    RememberEntry(kRecentOutputs, path);
    const OutputType& chosen = kOutputTypes[type >= 0 && type < static_cast<int>(std::size(kOutputTypes)) ? type : 0];
    profile_.format = chosen.format;
    profile_.encoding = chosen.encoding;
    ShowOutputKind();
  }
  SetStartButtonByPaths();
}

void MainWindow::ExitSoft_Click() { close(); }

convert::RunInput MainWindow::CurrentRunInput() {
  convert::RunInput in;
  in.outputPath = MarcPathText();
  in.mapping = mapping_->Mapping();
  in.table = content_->Table();
  if (!in.table) {
    // The empty grid: seven columns and one empty row.
    auto empty = std::make_shared<import::LoadedTable>(std::vector<std::string>(7));
    empty->AppendRow(std::vector<std::string>{});
    in.table = empty;
  }
  in.templateText = ui::S(Text2->toPlainText().replace("\n", "\r\n"));
  if (!in.templateText.empty()) in.templateText += "\r\n";
  in.cbkConnStr = cbkConnStr;
  in.rules = rules_;
  in.agencyCode = profile_.agencyCode;
  in.defaultRole = profile_.defaultRole;
  in.holdings = profile_.holdings;
  in.keepDuplicates = profile_.keepDuplicates;
  in.format = profile_.format;
  in.encoding = convert::ProfileEncoding(profile_);
  const CopySettings copying = CopyingNow();
  in.copyFrom = copying.copyFrom;
  in.lookup.byTitle = copying.byTitle;
  in.lookup.cachePath = catalogue::DefaultCachePath();
  in.copyPriceAlways = copying.priceAlways;
  in.heldIn = copying.heldIn;
  in.held = copying.held;
  if (!copying.heldFile.empty() && copying.heldFile == heldIndexPath_) {
    in.heldFile = heldIndex_;
    in.heldFileName = QFileInfo(ui::Q(copying.heldFile)).fileName().toStdString();
  }
  if (!pinyin_) pinyin_ = std::make_shared<convert::PinyinSource>(convert::PinyinSource::FromFile(DataDirFor(exeDir_) + "/pinyin.dat"));
  in.pinyin = pinyin_;
  return in;
}

void MainWindow::PreviewRow(int row) {
  const convert::RunInput in = CurrentRunInput();
  if (in.copyFrom.empty() && !in.heldIn) {
    ShowPreview(row, convert::PreviewRow(in, row));
    return;
  }
  // Catalogues answer on a thread of their own: the window never waits on a server.
  setWindowTitle(ui::Q("正在查询第 " + std::to_string(row + 1) + " 行……"));
  std::thread([in, row, self = QPointer<MainWindow>(this)] {
    convert::RowPreview preview = convert::PreviewRow(in, row);
    QMetaObject::invokeMethod(qApp, [self, row, preview = std::move(preview)] {
      if (self) self->ShowPreview(row, preview);
    }, Qt::QueuedConnection);
  }).detach();
}

void MainWindow::ShowPreview(int row, const convert::RowPreview& preview) {
  if (!Converting()) ShowRulesInCaption();
  const std::string from = preview.copiedFrom.empty() ? std::string() : "，套录自 " + preview.copiedFrom;
  ui_.ShowText("第 " + std::to_string(row + 1) + " 行的记录（" + std::string(convert::RulesCaption(rules_)) + from + "，未写入文件）",
               words::PreviewText(preview));
}

CopySettings MainWindow::CopyingNow() const {
  CopySettings s;
  for (const catalogue::Target& t : profile_.targets)
    if (!t.own) s.copyFrom.push_back(t);
  s.byTitle = profile_.copyByTitle;
  s.priceAlways = profile_.copyPriceAlways;
  s.held = profile_.held;
  const auto own = std::find_if(profile_.targets.begin(), profile_.targets.end(), [](const auto& t) { return t.own; });
  if (own != profile_.targets.end()) s.heldIn = *own;
  else s.heldFile = profile_.checkHoldings;
  return s;
}

bool MainWindow::UseCopying(const CopySettings& chosen) {
  CopySettings s = chosen;
  bool usable = true;
  if (!s.heldFile.empty() && s.heldFile != heldIndexPath_) {
    auto index = std::make_shared<catalogue::HeldIndex>();
    if (index->Load(s.heldFile) == catalogue::HeldFileProblem::None) {
      heldIndex_ = std::move(index);
      heldIndexPath_ = s.heldFile;
    } else {
      // The other choices stand; only the check against this file is dropped.
      ui_.Message(s.heldFile + "：\r\n读不出记录，这次不查重。请选择本馆系统导出的 ISO 2709 或 MARCXML 文件。", "操作提示",
                  ui::Icon::Warning, ui::Buttons::Ok);
      s.heldFile.clear();
      usable = false;
    }
  }
  profile_.targets = s.copyFrom;
  for (catalogue::Target& t : profile_.targets) t.own = false;
  if (s.heldIn) {
    profile_.targets.push_back(*s.heldIn);
    profile_.targets.back().own = true;
  }
  profile_.copyByTitle = s.byTitle;
  profile_.copyPriceAlways = s.priceAlways;
  profile_.checkHoldings = s.heldIn ? std::string() : s.heldFile;
  profile_.held = s.held;
  return usable;
}

void MainWindow::ChooseCopying() {
  if (copyDialog_) {
    copyDialog_->raise();
    return;
  }
  std::vector<catalogue::Target> known = profile_.targets;
  const catalogue::TargetsRead user = catalogue::LoadUserTargets();
  known.insert(known.end(), user.targets.begin(), user.targets.end());
  copyDialog_ = new CopyDialog(this, ui_, known, CopyingNow());
  copyDialog_->setAttribute(Qt::WA_DeleteOnClose);
  connect(copyDialog_, &QDialog::accepted, this, [this] { UseCopying(copyDialog_->Settings()); });
  connect(copyDialog_, &QObject::destroyed, this, [this] { copyDialog_ = nullptr; });
  copyDialog_->open();
}

void MainWindow::AddCopyingAction(QMenu& menu) {
  const CopySettings now = CopyingNow();
  std::string text = "联机套录…";
  if (now.Active())
    text += "（" + std::to_string(now.copyFrom.size()) + " 个目标" + (now.heldIn || !now.heldFile.empty() ? "，查重" : "") + "）";
  QAction* copying = menu.addAction(ui::Q(text));
  copying->setObjectName("copy-cataloguing");
  copying->setEnabled(!Converting());
  connect(copying, &QAction::triggered, this, &MainWindow::ChooseCopying);
}

void MainWindow::ShowContentMenu(const QPoint& at) {
  const QModelIndex index = Grid2->indexAt(at);
  QMenu menu;
  QAction* preview = menu.addAction("预览这一行的记录");
  preview->setObjectName("preview-row");
  preview->setEnabled(index.isValid() && content_->Table() != nullptr);
  connect(preview, &QAction::triggered, this, [this, row = index.row()] { PreviewRow(row); });
  QAction* report = menu.addAction("查看转换报告");
  report->setObjectName("show-report");
  report->setEnabled(!reportTable_.empty());
  connect(report, &QAction::triggered, this, &MainWindow::ShowResults);
  AddCopyingAction(menu);
  AddHelpAction(menu);
  menu.exec(Grid2->viewport()->mapToGlobal(at));
}

void MainWindow::AddHoldingsMenu(QMenu& menu) {
  // The item fields the recommended rules write for the library system.
  QMenu* holdings = menu.addMenu("馆藏字段（推荐规则）");
  holdings->setObjectName("HoldingsMenu");
  const std::pair<std::string, const char*> choices[] = {
      {"", "模板中的 905"},
      {"905", "905：每条记录一个，条形码范围"},
      {"905-per-copy", "905：每个复本一个"},
      {"koha-unimarc", "995：每个复本一个（Koha，UTF-8）"}};
  for (const auto& [preset, text] : choices) {
    QAction* a = holdings->addAction(text);
    a->setObjectName(ui::Q("holdings-" + (preset.empty() ? std::string("template") : preset)));
    a->setCheckable(true);
    a->setChecked(profile_.holdings.preset == preset);
    connect(a, &QAction::triggered, this, [this, preset] {
      profile_.holdings.preset = preset;
      // Koha imports Unicode records: its preset writes UTF-8 unless a type was chosen since.
      if (preset == "koha-unimarc") profile_.encoding = iso2709::Encoding::Utf8;
      ShowOutputKind();
    });
  }
}

void MainWindow::AddHelpAction(QMenu& menu) {
  QAction* help = menu.addAction("帮助");
  help->setObjectName("help");
  help->setShortcut(QKeySequence::HelpContents);
  connect(help, &QAction::triggered, this, &MainWindow::ShowHelp);
}

void MainWindow::ShowHelp() {
  if (!help_) {
    help_ = new QDialog(this);
    help_->setObjectName("HelpWindow");
    help_->setWindowTitle("Rowcaster 使用指南");
    help_->resize(760, 620);
    auto* browser = new QTextBrowser(help_);
    browser->setObjectName("HelpText");
    browser->setOpenExternalLinks(true);
    (new QVBoxLayout(help_))->addWidget(browser);
  }
  const QString guide = ui::Q(DataDirFor(exeDir_) + "/help/guide.html");
  auto* browser = help_->findChild<QTextBrowser*>("HelpText");
  if (QFileInfo::exists(guide)) browser->setSource(QUrl::fromLocalFile(guide));
  else browser->setPlainText("找不到使用指南：" + guide + "\n请重新安装 Rowcaster。");
  help_->show();
  help_->raise();
}

void MainWindow::ShowResults() {
  if (!results_) {
    results_ = new ResultsWindow(this);
    connect(results_, &ResultsWindow::activated, this, &MainWindow::ShowReportRow);
    connect(results_, &ResultsWindow::saveRequested, this, &MainWindow::SaveReport);
  }
  results_->Show(reportTable_, reportSummary_);
}

void MainWindow::ShowReportRow(int row) {
  if (!content_->Table() || row < 1 || static_cast<std::size_t>(row) > content_->Table()->RowCount()) return;
  Grid2->selectRow(row - 1);
  Grid2->scrollTo(Grid2->model()->index(row - 1, 0));
  PreviewRow(row - 1);
}

void MainWindow::SaveReport() {
  int type = 0;
  const std::string path = ui_.SaveFile("保存转换报告", "制表符分隔文本|*.tsv|Excel 工作簿|*.xlsx", "转换报告", &type);
  if (path.empty()) return;
  if (const std::string why = output::WriteReport(path, reportTable_); !why.empty())
    ui_.Message("无法写入报告 " + path + "：" + why, "操作提示", ui::Icon::Error, ui::Buttons::Ok);
}

void MainWindow::StratConvert_Click() {
  if (Converting()) return;
  convert::RunInput in = CurrentRunInput();
  const convert::RunOutcome check = convert::CheckRun(in);
  if (check != convert::RunOutcome::Finished) {
    convert::RunResult refused;
    refused.outcome = check;
    const auto message = words::MessageFor(refused, in);
    ui_.Message(message->text, message->title, message->icon, ui::Buttons::Ok);
    if (check == convert::RunOutcome::PathMissing) OutMarc->setFocus();
    return;
  }
  if (!AskHowToWrite(in)) return;
  runInput_ = in;
  stop_ = false;
  finished_ = false;
  doneRows_ = 0;
  totalRows_ = static_cast<std::int64_t>(in.table->RowCount());
  StratConvert->setEnabled(false);
  SelectExcel->setEnabled(false);
  captionBeforeRun_ = windowTitle();
  setWindowTitle(ui::Q(ProgressCaption(0, totalRows_)));
  writtenRows_ = 0;
  lookedUp_ = 0;
  lookupRows_ = 0;
  stoppedByUser_ = false;
  if (!progress_) {
    progress_ = new ProgressWindow(this);
    connect(progress_, &ProgressWindow::stopRequested, this, [this] {
      stoppedByUser_ = true;
      stop_ = true;
    });
  }
  progress_->Start(totalRows_);
  progressTimer_->start();
  worker_ = std::thread([this] {
    convert::RunCallbacks callbacks;
    callbacks.stop = &stop_;
    callbacks.written = &writtenRows_;
    callbacks.progress = [this](std::int64_t k, std::int64_t m) {
      doneRows_ = k;
      totalRows_ = m;
    };
    callbacks.lookingUp = [this](std::int64_t k, std::int64_t m) {
      lookedUp_ = k;
      lookupRows_ = m;
    };
    result_ = convert::RunConversion(runInput_, callbacks);
    finished_ = true;
    QMetaObject::invokeMethod(this, [this] { FinishConversion(); }, Qt::QueuedConnection);
  });
}

bool MainWindow::AskHowToWrite(convert::RunInput& in) {
  const output::ExistingOutput existing = output::InspectOutput(in.outputPath, in.format, in.encoding);
  const std::string held = existing.records > 0 ? "它原有的 " + std::to_string(existing.records) + " 条记录将被删除。" : "它原有的内容将被删除。";
  if (existing.refusal != output::Refusal::None) {
    const ui::Answer a = ui_.Message(in.outputPath + "：\r\n" + words::RefusalText(existing, in.encoding) +
                                         "。\r\n\r\n要替换这个文件吗？" + held,
                                     words::FriendlyTitle(), ui::Icon::Question, ui::Buttons::NoYes);
    if (a != ui::Answer::Yes) return false;
    in.replace = true;
  } else if (existing.records > 0) {
    // A second run of the same table would only double the records: cancelling is the default.
    const bool again = convert::RepeatsExistingRecords(in, existing);
    const ui::Answer a = ui_.Message(
        "输出文件 " + in.outputPath + " 里已有 " + std::to_string(existing.records) + " 条记录。" +
            (again ? "\r\n它开头的记录和这次要写的记录相同：这张表可能已经转换过，追加会使记录重复。" : "") +
            "\r\n\r\n是：把新记录追加在后面\r\n否：替换这个文件，原有记录删除\r\n取消：不转换",
        words::FriendlyTitle(), ui::Icon::Question, again ? ui::Buttons::CancelYesNo : ui::Buttons::YesNoCancel);
    if (a == ui::Answer::Cancel) return false;
    in.replace = a == ui::Answer::No;
  }
  return true;
}

void MainWindow::ShowProgress() {
  if (!Converting()) return;
  setWindowTitle(ui::Q(ProgressCaption(doneRows_, totalRows_)));
  if (!progress_) return;
  if (doneRows_ == 0 && lookupRows_ > 0 && lookedUp_ < lookupRows_) progress_->UpdateLookups(lookedUp_, lookupRows_);
  else progress_->Update(doneRows_, totalRows_, writtenRows_);
}

void MainWindow::FinishConversion() {
  if (!worker_.joinable() || !finished_) return;
  worker_.join();
  progressTimer_->stop();
  SelectExcel->setEnabled(true);
  SetStartButtonByPaths();
  if (progress_) progress_->hide();
  if (result_.outcome == convert::RunOutcome::Stopped) {
    setWindowTitle(captionBeforeRun_);
    if (stoppedByUser_) ui_.Message(words::StoppedText(result_), words::FriendlyTitle(), ui::Icon::Information, ui::Buttons::Ok);
    if (onConversionEnd) onConversionEnd(result_);
    return;
  }
  // A run that could not open or write its file is not running, nor finished.
  if (result_.outcome == convert::RunOutcome::OutputFailed) setWindowTitle(captionBeforeRun_);
  if (result_.outcome == convert::RunOutcome::Finished) {
    setWindowTitle(ui::Q(ProgressCaption(result_.rows, result_.rows)));
    setWindowTitle("Rowcaster---转换完成");
  }
  if (const auto message = words::MessageFor(result_, runInput_))
    ui_.Message(message->text, message->title, message->icon, ui::Buttons::Ok, message->details);
  if (result_.outcome == convert::RunOutcome::Finished) {
    reportTable_ = words::ReportTable(result_, runInput_.table->FirstDataLine());
    reportSummary_ = words::SummaryText(result_);
    if (results_) results_->Show(reportTable_, reportSummary_);
    if (rules_ == convert::Rules::Recommended && reportTable_.size() > 1) ShowResults();
  }
  if (onConversionEnd) onConversionEnd(result_);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // During a run the question says what quitting does to it.
  const std::string running = Converting() ? "转换进行中，已写入 " + std::to_string(writtenRows_.load()) +
                                                 " 条记录，退出将停止转换。\r\n"
                                           : "";
  if (ui_.Message(running + "确定退出Rowcaster吗？（Y/N）", "操作提示", ui::Icon::Information, ui::Buttons::YesNo) !=
      ui::Answer::Yes) {
    event->ignore();
    return;
  }
  RememberEdits();
  // Yes: a running conversion stops after the record being written and closes its file.
  stop_ = true;
  if (worker_.joinable()) worker_.join();
  progressTimer_->stop();
  skin::SkinDetach(this);
  event->accept();
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  // Activation skins the window; a desktop that shows it without activating it gets the skin too.
  skin::SkinAttach(this);
  if (const QScreen* screen = this->screen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

bool MainWindow::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) skin::SkinAttach(this);
  return QMainWindow::event(event);
}

}  // namespace rowcaster::app
