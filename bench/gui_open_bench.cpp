// Times the main window opening a package of many files: from the open
// command to every list filled and the files tab painted. The report's
// document is built when its tab is first shown, so it is timed apart: built
// alone, and as the first showing of the report tab after an opening.
//
//   gui_open_bench [file-count] [total-megabytes] [runs]
//
// Runs without a display (QT_QPA_PLATFORM=offscreen unless set).
#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/text.h"
#include "helpers/cab_builder.h"
#include "helpers/run_process.h"
#include "helpers/setup_builder.h"
#include "ui/list_model.h"
#include "ui/main_window.h"
#include "ui/report_view.h"

using namespace vornix;

namespace {

// A setup description installing `count` files into two folders, with a few
// registry values and a shortcut, named like BigPackage names its members.
testing::SetupRecipe ManyFiles(int count) {
  testing::SetupRecipe s;
  s.AppName = "BigPackage";
  s.Provider = "Vornix Bench";
  s.Strings = {{1, "%CE1%\\Big Package"}, {2, "Data"}, {3, "Software"}, {4, "Big"}};
  s.Dirs = {{1, {1}}, {2, {1, 2}}};
  for (int i = 1; i <= count; ++i)
    s.Files.push_back({static_cast<uint16_t>(i), static_cast<uint16_t>(i % 2 + 1), static_cast<uint16_t>(i), 0,
                       Format("file %04d.dat", i)});
  s.Hives = {{1, 3, {3, 4}}};
  s.RegKeys = {{1, 1, 0, "Files", testing::RegDwordBytes(static_cast<uint32_t>(count))}};
  s.Shortcuts = {{1, 0, 11, 1, 1, {4}}};
  return s;
}

// A figure of /proc/self/status in kB ("VmHWM:", the peak resident size so
// far), or -1 where there is none.
long StatusKb(const std::string& field) {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + field.size());
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("VORNIX_INSTANCE_TAG", "bench", 0);
  const int files = argc > 1 ? std::atoi(argv[1]) : 5000;
  const int megabytes = argc > 2 ? std::atoi(argv[2]) : 20;
  const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
  QApplication app(argc, argv);

  testing::TempDir dir;
  testing::BigPackageOptions options;
  options.fileCount = files;
  options.totalBytes = static_cast<size_t>(megabytes) << 20;
  options.setupBytes = testing::BuildSetupFile(ManyFiles(files));
  const std::filesystem::path package = dir / "big.cab";
  if (!testing::BigPackage(options).writeTo(package)) {
    std::fprintf(stderr, "cannot write %s\n", package.c_str());
    return 1;
  }

  // The package is built in memory first: the peak so far is the builder's.
  const long builderPeak = StatusKb("VmHWM:");
  const long beforeWindow = StatusKb("VmRSS:");

  TForm1 window;
  window.messageHook = [](const QString& caption, const QString& text) {
    std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
  };
  window.resize(944, 498 + 80);
  window.show();
  QApplication::processEvents();

  // The core alone (listing, extracting the setup file, reading, rows, INF),
  // to tell its share from the window's.
  std::vector<double> core;
  for (int run = 0; run < runs; ++run) {
    QElapsedTimer t;
    t.start();
    window.session().OpenPackage(package);
    core.push_back(t.nsecsElapsed() / 1e6);
  }
  std::sort(core.begin(), core.end());
  // The report document alone (not part of the opening).
  std::vector<double> document;
  {
    const SetupAnalysis& a = *window.session().analysis();
    const Report built = BuildReport(a.Info, a.Lists, a.InfLines);
    for (int run = 0; run < runs; ++run) {
      QElapsedTimer t;
      t.start();
      window.report()->showReport(built);
      window.report()->ensureDocument();
      document.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(document.begin(), document.end());
  }

  std::vector<double> open, report;
  long afterOpening = -1;  // resident once opened, before the report tab is first shown
  for (int run = 0; run < runs; ++run) {
    window.pages()->setCurrentIndex(0);
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    window.openPackage(QString::fromStdString(package.string()));
    window.pages()->setCurrentIndex(TForm1::kFilesList);
    window.repaint();
    QApplication::processEvents();
    open.push_back(t.nsecsElapsed() / 1e6);
    if (run == 0) afterOpening = StatusKb("VmRSS:");
    t.restart();
    window.pages()->setCurrentIndex(7);
    window.repaint();
    QApplication::processEvents();
    report.push_back(t.nsecsElapsed() / 1e6);
    if (window.model(TForm1::kFilesList)->rowCount() != files + 0 &&
        window.model(TForm1::kFilesList)->rowCount() != files + 1) {
      std::fprintf(stderr, "files list has %d rows, expected %d\n", window.model(TForm1::kFilesList)->rowCount(),
                   files);
      return 1;
    }
  }
  std::sort(open.begin(), open.end());
  std::sort(report.begin(), report.end());
  std::printf("package: %d files, %d MB in one MSZIP folder, %d report lines\n", files, megabytes,
              window.report()->lineCount());
  std::printf("open command to filled window (median of %d): %.1f ms (min %.1f, max %.1f)\n", runs,
              open[open.size() / 2], open.front(), open.back());
  std::printf("of which the core's opening pipeline (median): %.1f ms\n", core[core.size() / 2]);
  std::printf("building the report document alone (median): %.1f ms\n", document[document.size() / 2]);
  std::printf("first showing of the report tab, its document built (median): %.1f ms\n", report[report.size() / 2]);
  std::printf(
      "resident: %ld kB before the window, %ld kB after the first opening, %ld kB at the end; peak %ld kB "
      "(%ld kB while the package was built)\n",
      beforeWindow, afterOpening, StatusKb("VmRSS:"), StatusKb("VmHWM:"), builderPeak);
  return 0;
}
