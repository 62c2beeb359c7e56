// The window's speed on a 65,536-row workbook: loading it until the grid shows it, and converting
// it, beside `rowcaster-cli convert` on the same file in the same run.
//   QT_QPA_PLATFORM=offscreen bench_gui FILE.xls
// Targets: loading under 2 s; the window's conversion at most 1.5x the command line's.

#include <QApplication>
#include <QTableView>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "ScriptedUi.h"
#include "app/MainWindow.h"
#include "platform/Paths.h"

namespace {
double Since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) return 2;
  const std::string file = argv[1];
  const std::string out = (std::filesystem::temp_directory_path() / "bench-gui.iso").string();
  const std::string cliOut = (std::filesystem::temp_directory_path() / "bench-cli.iso").string();
  std::filesystem::remove(out);
  std::filesystem::remove(cliOut);

  rowcaster::ui::ScriptedUi ui;
  rowcaster::app::MainWindow window(ui, rowcaster::ExecutableDir());
  window.tablePicker = [](const std::vector<std::string>& names) { return names.at(0); };
  window.show();
  QApplication::processEvents();

  auto t0 = std::chrono::steady_clock::now();
  ui.openAnswers.push_back(file);
  window.SelectExcel_Click();
  window.Grid2->viewport()->repaint();
  QApplication::processEvents();
  const double load = Since(t0);
  const int rows = window.Grid2->model()->rowCount();

  // A row's preview, from the click to the text shown (the first also loads the pinyin dictionary).
  double firstPreview = 0, preview = 0;
  for (int k = 0; k < 6; ++k) {
    t0 = std::chrono::steady_clock::now();
    window.PreviewRow(rows - 1 - k * 997);
    (k == 0 ? firstPreview : preview) += Since(t0);
  }
  std::printf("preview of a row of %d: first %.0f ms, then %.1f ms each (target < 100 ms)\n", rows, firstPreview * 1000,
              preview * 1000 / 5);

  ui.saveAnswers.push_back(out);
  window.OutMarc_Click();
  bool ended = false;
  window.onConversionEnd = [&](const rowcaster::convert::RunResult&) { ended = true; };
  t0 = std::chrono::steady_clock::now();
  window.StratConvert_Click();
  while (!ended) QTest::qWait(5);
  const double gui = Since(t0);

  t0 = std::chrono::steady_clock::now();
  const std::string command = rowcaster::BesideExecutable("rowcaster-cli") + " convert '" + file +
                              "' --map-by-name -o " + cliOut + " >/dev/null";
  const int rc = std::system(command.c_str());
  const double cli = Since(t0);
  std::printf("loading %d rows into the window: %.2f s (target < 2 s)\n", rows, load);
  std::printf("converting in the window: %.2f s; rowcaster-cli convert (reading included): %.2f s (exit %d)\n", gui, cli, rc);
  std::printf("window (loading + converting) / command line: %.2fx; converting alone: %.2fx (target <= 1.5x)\n",
              (load + gui) / cli, gui / cli);
  ui.messageAnswers.push_back(rowcaster::ui::Answer::Yes);
  window.close();
  return 0;
}
