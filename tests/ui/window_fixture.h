// A main window on packages built by the test helpers, with its message
// boxes and folder dialog recorded instead of shown.
#pragma once

#include <gtest/gtest.h>
#include <QString>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "helpers/cab_builder.h"
#include "helpers/demo_package.h"
#include "helpers/run_process.h"
#include "helpers/setup_builder.h"
#include "ui/list_model.h"
#include "ui/main_window.h"

namespace vornix {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<TForm1>();
    ASSERT_TRUE(window->ready());
    // The XML viewer opens without a nested event loop, so tests go on.
    window->ShowXmlViewerModally = false;
    window->messageHook = [this](const QString& caption, const QString& text) {
      messages.emplace_back(caption.toStdString(), text.toStdString());
    };
    window->folderHook = [this](const QString& title, const QString& initial) {
      folderTitles.push_back(title.toStdString());
      (void)initial;
      return chosenFolder;
    };
  }

  /// Writes a built cabinet or setup file into the temporary folder.
  QString put(const std::string& name, const std::string& bytes) {
    testing::WriteAll(dir / name, bytes);
    return QString::fromStdString((dir / name).string());
  }
  QString demo() { return put("demo.cab", testing::DemoPackage().bytes()); }

  std::string cell(int list, int row, int column) const {
    return window->model(list)->rows().at(static_cast<size_t>(row)).cell(static_cast<size_t>(column));
  }
  std::vector<std::string> column(int list, int col) const {
    std::vector<std::string> out;
    for (const ListRow& r : window->model(list)->rows()) out.push_back(r.cell(static_cast<size_t>(col)));
    return out;
  }

  testing::TempDir dir;
  std::unique_ptr<TForm1> window;
  std::vector<std::pair<std::string, std::string>> messages;
  std::vector<std::string> folderTitles;
  QString chosenFolder;
};

}  // namespace vornix
