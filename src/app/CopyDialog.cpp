#include "app/CopyDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <thread>

#include "catalogue/Lookup.h"
#include "platform/ui/QtUi.h"
#include "words/Words.h"

namespace rowcaster::app {
namespace {

constexpr int kTestSeconds = 5;

}  // namespace

CopyDialog::CopyDialog(QWidget* owner, ui::Ui& ui, const std::vector<catalogue::Target>& known, const CopySettings& current)
    : QDialog(owner), ui_(ui) {
  setObjectName("CopyDialog");
  setWindowTitle("联机套录");
  BuildTargets();
  BuildHeldCheck();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText("确定");
  buttons->button(QDialogButtonBox::Cancel)->setText("取消");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout()->addWidget(buttons);
  // The targets chosen before come first, in their order, then the others known.
  std::vector<catalogue::Target> unique = current.copyFrom;
  for (const catalogue::Target& t : known)
    if (std::find(unique.begin(), unique.end(), t) == unique.end()) unique.push_back(t);
  for (const catalogue::Target& t : unique) {
    targets_.push_back(t);
    auto* item = new QListWidgetItem(TargetLine(t), Targets);
    item->setToolTip(ui::Q(catalogue::TargetUrl(t)));
    const bool chosen = std::find(current.copyFrom.begin(), current.copyFrom.end(), t) != current.copyFrom.end();
    item->setCheckState(chosen ? Qt::Checked : Qt::Unchecked);
    HeldIn->addItem("本馆目录：" + ui::Q(t.name));
    if (current.heldIn && *current.heldIn == t) HeldIn->setCurrentIndex(HeldIn->count() - 1);
  }
  if (!current.heldFile.empty()) {
    heldFile_ = current.heldFile;
    HeldIn->addItem("导出文件：" + ui::Q(heldFile_));
    HeldIn->setCurrentIndex(HeldIn->count() - 1);
  }
  ByTitle->setChecked(current.byTitle);
  PriceAlways->setChecked(current.priceAlways);
  HeldAction->setCurrentIndex(static_cast<int>(current.held));
  resize(560, 460);
}

CopyDialog::~CopyDialog() = default;

void CopyDialog::BuildTargets() {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("套录目标（勾选的按顺序查询；书号找到且题名相符的记录作为底本）：", this));
  Targets = new QListWidget(this);
  Targets->setObjectName("CopyTargets");
  layout->addWidget(Targets);
  auto* add = new QHBoxLayout;
  NewTarget = new QLineEdit(this);
  NewTarget->setObjectName("NewTarget");
  NewTarget->setPlaceholderText("z3950://主机:端口/数据库?charset=gbk&name=名称");
  Add = new QPushButton("添加", this);
  Add->setObjectName("AddTarget");
  Test = new QPushButton("测试连接", this);
  Test->setObjectName("TestTargets");
  add->addWidget(NewTarget, 1);
  add->addWidget(Add);
  add->addWidget(Test);
  layout->addLayout(add);
  Status = new QLabel(this);
  Status->setObjectName("CopyStatus");
  layout->addWidget(Status);
  ByTitle = new QCheckBox("没有有效 ISBN 的行按题名和第一责任者查询", this);
  ByTitle->setObjectName("CopyByTitle");
  PriceAlways = new QCheckBox("总用表格中的定价（否则只在记录没有定价时补上）", this);
  PriceAlways->setObjectName("CopyPriceAlways");
  layout->addWidget(ByTitle);
  layout->addWidget(PriceAlways);
  connect(Add, &QPushButton::clicked, this, [this] {
    if (AddTarget(ui::S(NewTarget->text().trimmed()))) NewTarget->clear();
  });
  connect(Test, &QPushButton::clicked, this, &CopyDialog::TestTargets);
}

void CopyDialog::BuildHeldCheck() {
  auto* group = new QGroupBox("查重（本馆已有的书）", this);
  auto* row = new QHBoxLayout(group);
  HeldIn = new QComboBox(group);
  HeldIn->setObjectName("HeldIn");
  HeldIn->addItem("不查重");
  ChooseHeldFile = new QPushButton("导出文件…", group);
  ChooseHeldFile->setObjectName("ChooseHeldFile");
  ChooseHeldFile->setToolTip("本馆系统导出的记录（ISO 2709 或 MARCXML），按 ISBN 和题名、责任者、出版者、出版年查重");
  HeldAction = new QComboBox(group);
  HeldAction->setObjectName("HeldAction");
  HeldAction->addItems({"跳过已有的", "已有的照样转换", "已有的只写馆藏"});
  row->addWidget(HeldIn, 1);
  row->addWidget(ChooseHeldFile);
  row->addWidget(HeldAction);
  layout()->addWidget(group);
  connect(ChooseHeldFile, &QPushButton::clicked, this, [this] {
    const std::string path = ui_.OpenFile("选择本馆导出的记录文件", "MARC 记录|*.iso;*.mrc;*.marc;*.xml|所有文件|*.*", "");
    if (path.empty()) return;
    heldFile_ = path;
    const QString text = "导出文件：" + ui::Q(path);
    if (HeldIn->itemText(HeldIn->count() - 1).startsWith("导出文件：")) HeldIn->setItemText(HeldIn->count() - 1, text);
    else HeldIn->addItem(text);
    HeldIn->setCurrentIndex(HeldIn->count() - 1);
  });
}

// The name, where it is and in which character set; the whole URL is the line's tooltip.
QString CopyDialog::TargetLine(const catalogue::Target& t) const {
  const QString where = ui::Q(t.host + ":" + std::to_string(t.port) + "/" + t.database);
  const QString kind = t.protocol == catalogue::Protocol::Sru ? "SRU" : "Z39.50";
  return ui::Q(t.name) + "　" + kind + " " + where + "（" + ui::Q(std::string(iso2709::NameOf(t.charset))) + "）" +
         (t.own ? "　本馆目录" : "");
}

bool CopyDialog::AddTarget(const std::string& url) {
  const catalogue::TargetRead read = catalogue::ParseTargetUrl(url);
  if (!read.target) {
    Status->setText(ui::Q(words::TargetProblemText(read)));
    return false;
  }
  targets_.push_back(*read.target);
  auto* item = new QListWidgetItem(TargetLine(*read.target), Targets);
  item->setToolTip(ui::Q(catalogue::TargetUrl(*read.target)));
  item->setCheckState(Qt::Checked);
  HeldIn->insertItem(static_cast<int>(targets_.size()), "本馆目录：" + ui::Q(read.target->name));
  Status->setText("已添加 " + ui::Q(read.target->name));
  return true;
}

void CopyDialog::TestTargets() {
  for (int row = 0; row < Targets->count(); ++row) {
    if (Targets->item(row)->checkState() != Qt::Checked) continue;
    ++testing_;
    Targets->item(row)->setText(TargetLine(targets_[static_cast<std::size_t>(row)]) + "　测试中…");
    // The answer comes back to the window's thread; a dialog closed meanwhile is left alone.
    std::thread([target = targets_[static_cast<std::size_t>(row)], row, self = QPointer<CopyDialog>(this)] {
      const auto start = std::chrono::steady_clock::now();
      catalogue::TargetFailure failure;
      const bool ok = catalogue::TestTarget(target, kTestSeconds, failure);
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const QString text = ok ? QString("可以使用（%1 秒）").arg(seconds, 0, 'f', 2)
                              : QString("不可用（错误 %1：%2）").arg(failure.code).arg(ui::Q(failure.message));
      QMetaObject::invokeMethod(qApp, [self, row, ok, text] {
        if (self) self->ShowTested(row, ok, text);
      }, Qt::QueuedConnection);
    }).detach();
  }
  if (testing_ == 0) Status->setText("请先勾选要测试的目标");
}

void CopyDialog::ShowTested(int row, bool ok, const QString& text) {
  if (row < Targets->count()) {
    Targets->item(row)->setText(TargetLine(targets_[static_cast<std::size_t>(row)]) + "　" + text);
    Targets->item(row)->setForeground(ok ? palette().text() : QBrush(Qt::red));
  }
  if (ok) ++answered_;
  if (--testing_ > 0) return;
  Status->setText(QString("测试完毕：%1 个目标可以使用").arg(answered_));
  answered_ = 0;
  emit tested();
}

CopySettings CopyDialog::Settings() const {
  CopySettings s;
  for (int row = 0; row < Targets->count(); ++row)
    if (Targets->item(row)->checkState() == Qt::Checked) s.copyFrom.push_back(targets_[static_cast<std::size_t>(row)]);
  s.byTitle = ByTitle->isChecked();
  s.priceAlways = PriceAlways->isChecked();
  const int held = HeldIn->currentIndex();
  if (held >= 1 && static_cast<std::size_t>(held) <= targets_.size()) s.heldIn = targets_[static_cast<std::size_t>(held - 1)];
  else if (held > 0 && !heldFile_.empty()) s.heldFile = heldFile_;
  s.held = static_cast<catalogue::HeldAction>(HeldAction->currentIndex());
  return s;
}

}  // namespace rowcaster::app
