// The window's parts for cabinets as files: the registry export beside
// "Save INF", the signature in the first tab and the report, and the choice
// of a cabinet inside another file.
#include <QAction>

#include "ui/qt_text.h"
#include "window_fixture.h"

namespace vornix {
namespace {

TEST_F(WindowTest, RegistryExportIsOfferedOnceAPackageIsShown) {
  EXPECT_FALSE(window->RegTBtn->isEnabled());
  window->openPackage(demo());
  EXPECT_TRUE(window->RegTBtn->isEnabled());
  const QString reg = QString::fromStdString((dir / "out.reg").string());
  ASSERT_TRUE(window->SaveRegFile(reg, true));
  const std::string text = testing::ReadAll(dir / "out.reg");
  EXPECT_EQ(text.substr(0, 67), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Vornix Samples\\Tidepool]\r\n");
  ASSERT_TRUE(window->SaveRegFile(reg, false));
  EXPECT_EQ(testing::ReadAll(dir / "out.reg").substr(0, 4), std::string("\xFF\xFEW\0", 4));
  EXPECT_FALSE(window->SaveRegFile(QString::fromStdString((dir / "no" / "x.reg").string()), false));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].second.substr(0, 27), "The file cannot be saved :\n");
}

}  // namespace
}  // namespace vornix
