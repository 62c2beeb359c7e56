#include "app/ProgressWindow.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace rowcaster::app {

std::string TimeLeftText(std::int64_t done, std::int64_t rows, double elapsed) {
  // Too early, a run of nothing, or done: nothing to estimate.
  if (done <= 0 || rows <= done || elapsed < 0.5) return {};
  const auto left = static_cast<std::int64_t>(std::ceil(elapsed * static_cast<double>(rows - done) / done));
  if (left < 60) return "约 " + std::to_string(left) + " 秒";
  return "约 " + std::to_string(left / 60) + " 分 " + std::to_string(left % 60) + " 秒";
}

ProgressWindow::ProgressWindow(QWidget* owner) : QDialog(owner) {
  setWindowTitle("正在转换");
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  Status = new QLabel(this);
  Bar = new QProgressBar(this);
  Stop = new QPushButton("停止", this);
  Stop->setToolTip("写完当前这条记录后停止（Esc）");
  layout->addWidget(Status);
  layout->addWidget(Bar);
  layout->addWidget(Stop, 0, Qt::AlignRight);
  resize(420, 120);
  connect(Stop, &QPushButton::clicked, this, &ProgressWindow::stopRequested);
}

void ProgressWindow::Start(std::int64_t rows) {
  start_ = std::chrono::steady_clock::now();
  Stop->setEnabled(true);
  Update(0, rows, 0);
  show();
}

void ProgressWindow::Update(std::int64_t done, std::int64_t rows, std::int64_t written) {
  Bar->setRange(0, 1000);
  Bar->setValue(rows > 0 ? static_cast<int>(1000 * done / rows) : 0);
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::string text = "已处理 " + std::to_string(done) + " / " + std::to_string(rows) + " 行，写入 " +
                     std::to_string(written) + " 条记录";
  if (const std::string left = TimeLeftText(done, rows, elapsed); !left.empty()) text += "，还要" + left;
  Status->setText(QString::fromStdString(text));
}

void ProgressWindow::UpdateLookups(std::int64_t done, std::int64_t rows) {
  Bar->setRange(0, 1000);
  Bar->setValue(rows > 0 ? static_cast<int>(1000 * done / rows) : 0);
  Status->setText(QString::fromStdString("联机套录：已查询 " + std::to_string(done) + " / " + std::to_string(rows) + " 行"));
}

void ProgressWindow::reject() {
  Stop->setEnabled(false);
  emit stopRequested();
}

}  // namespace rowcaster::app
