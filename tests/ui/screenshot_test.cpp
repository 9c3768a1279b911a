// Pictures of every tab for a real package, for a person to look at:
// at the window's design size and at a large "maximised" size.
#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <cstdlib>
#include <filesystem>

#include "window_fixture.h"

namespace vornix {
namespace {

namespace fs = std::filesystem;

QString ShotDir() {
  const char* env = std::getenv("VORNIX_SCREENSHOT_DIR");
  return env && *env ? QString::fromLocal8Bit(env) : QDir::current().filePath("screenshots");
}

TEST_F(WindowTest, ScreenshotsOfEveryTab) {
  const fs::path sample = fs::path(VORNIX_SAMPLES_DIR) / "019_smelter.rmips.CAB";
  if (!fs::exists(sample)) GTEST_SKIP() << "no samples folder";
  const QString out = ShotDir();
  ASSERT_TRUE(QDir().mkpath(out));
  window->show();
  window->openPackage(QString::fromStdString(sample.string()));
  ASSERT_TRUE(messages.empty()) << messages[0].second;
  const struct {
    const char* name;
    QSize size;
  } sizes[] = {{"design", QSize(944, 498 + 80)}, {"maximised", QSize(1600, 1000)}};
  for (const auto& s : sizes) {
    window->resize(s.size);
    for (int tab = 0; tab < window->pages()->count(); ++tab) {
      window->pages()->setCurrentIndex(tab);
      QCoreApplication::processEvents();
      const QString file = QDir(out).filePath(QString("%1-tab%2.png").arg(s.name).arg(tab + 1));
      EXPECT_TRUE(window->grab().save(file)) << file.toStdString();
    }
  }
  window->hide();
}

}  // namespace
}  // namespace vornix
