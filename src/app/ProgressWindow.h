#pragma once
// A running conversion beside the caption's counter: rows done of all, records written, the time
// left, and 停止 (or Esc), which ends the run after the record being written. Modeless: the main
// window stays readable while records are written.

#include <QDialog>
#include <chrono>
#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;

namespace rowcaster::app {

class ProgressWindow : public QDialog {
  Q_OBJECT
 public:
  explicit ProgressWindow(QWidget* owner);

  // A new run of `rows` rows starts now.
  void Start(std::int64_t rows);
  void Update(std::int64_t done, std::int64_t rows, std::int64_t written);
  // Before the first row: the rows looked up in the catalogues so far.
  void UpdateLookups(std::int64_t done, std::int64_t rows);

  QLabel* Status;
  QProgressBar* Bar;
  QPushButton* Stop;

 signals:
  void stopRequested();

 protected:
  void reject() override;  // Esc, or the window's close button: stop the run

 private:
  std::chrono::steady_clock::time_point start_;
};

// "约 1 分 20 秒" for the time left after `done` of `rows` rows in `elapsed` seconds; empty until
// enough rows are done to tell.
std::string TimeLeftText(std::int64_t done, std::int64_t rows, double elapsed);

}  // namespace rowcaster::app
