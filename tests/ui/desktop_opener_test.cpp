// The desktop's side of opening a row: which programs the chooser offers for
// a type and how one is started, and, under a real X server, what the
// desktop's opener is handed on a double click.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QThread>
#include <QUrl>
#include <cstdlib>

#include "ui/desktop_apps.h"
#include "window_fixture.h"
#include "x_server.h"

namespace vornix {
namespace {

namespace fs = std::filesystem;

// Sets environment variables for one test and puts them back afterwards.
class EnvGuard {
 public:
  void set(const char* name, const std::string& value) {
    const char* old = std::getenv(name);
    m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    setenv(name, value.c_str(), 1);
  }
  ~EnvGuard() {
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
      if (it->second)
        setenv(it->first.c_str(), it->second->c_str(), 1);
      else
        unsetenv(it->first.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

void Write(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  testing::WriteAll(file, bytes);
}

QStringList Ids(const QList<DesktopApp>& apps, int first) {
  QStringList ids;
  for (const DesktopApp& app : apps.mid(0, first)) ids << app.Id;
  return ids;
}

TEST(DesktopApps, ProgramsForATypeByTheDesktopEntryRules) {
  const QMimeDatabase db;
  if (!db.mimeTypeForName("text/x-csrc").isValid()) GTEST_SKIP() << "no shared MIME database";
  testing::TempDir dir;
  const fs::path apps = dir / "data/applications";
  Write(apps / "alpha.desktop",
        "[Desktop Entry]\nType=Application\nName=Alpha\n"
        "Exec=\"/bin/echo\" --name=%c \"quoted \\\\\"arg\\\\\"\" %F\nMimeType=text/plain;\n");
  Write(apps / "beta.desktop",
        "[Desktop Entry]\nType=Application\nName=Beta\nExec=true %U\n"
        "MimeType=text/plain;image/png;\n");
  Write(apps / "gamma.desktop", "[Desktop Entry]\nType=Application\nName=Gamma\nExec=true\nMimeType=text/plain;\n");
  Write(apps / "hidden.desktop",
        "[Desktop Entry]\nType=Application\nName=H\nExec=true\nHidden=true\nMimeType=text/plain;\n");
  Write(apps / "missing.desktop",
        "[Desktop Entry]\nType=Application\nName=M\n"
        "Exec=no-such-program-of-vornix %f\nMimeType=text/plain;\n");
  Write(apps / "sub/delta.desktop",
        "[Desktop Entry]\nType=Application\nName=Delta\nExec=true\nMimeType=text/x-csrc;\n");
  Write(dir / "config/mimeapps.list",
        "[Default Applications]\ntext/plain=nowhere.desktop;beta.desktop;\n"
        "[Removed Associations]\ntext/plain=gamma.desktop;\n");
  // Only these folders: the MIME database was read above and stays.
  EnvGuard env;
  env.set("XDG_DATA_HOME", (dir / "data").string());
  env.set("XDG_DATA_DIRS", (dir / "none").string());
  env.set("XDG_CONFIG_HOME", (dir / "config").string());
  env.set("XDG_CONFIG_DIRS", (dir / "none").string());
  env.set("XDG_CURRENT_DESKTOP", "");

  const DesktopApps found = DesktopApps::Load();
  // The default first; removed, hidden and uninstallable entries never.
  const QList<DesktopApp> text = found.appsFor(db.mimeTypeForName("text/plain"));
  EXPECT_EQ(Ids(text, 9), (QStringList{"beta.desktop", "alpha.desktop"}));
  // C source is text: its own program first, then those of plain text.
  EXPECT_EQ(Ids(found.appsFor(db.mimeTypeForName("text/x-csrc")), 9),
            (QStringList{"sub-delta.desktop", "beta.desktop", "alpha.desktop"}));

  const QString file = "/tmp/a b.txt";
  ASSERT_EQ(text.size(), 2);
  EXPECT_EQ(ExecArguments(text[1], file), (QStringList{"/bin/echo", "--name=Alpha", "quoted \"arg\"", file}));
  EXPECT_EQ(ExecArguments(text[0], file), (QStringList{"true", "file:///tmp/a%20b.txt"}));
  DesktopApp plain;
  plain.Exec = "true --new-window";
  EXPECT_EQ(ExecArguments(plain, file), (QStringList{"true", "--new-window", file}));
}

// Run by the test below in a child process, on the X server it started.
TEST(DesktopOpenerUnderX, DoubleClickedRow) {
  const char* recorded = std::getenv("VORNIX_OPENER_DIR");
  if (!recorded) GTEST_SKIP() << "run under X by DesktopOpener.DoubleClickHandsTheOpenerTheFile";
  TForm1 window;
  ASSERT_TRUE(window.ready());
  window.messageHook = [](const QString& caption, const QString& text) {
    ADD_FAILURE() << caption.toStdString() << ": " << text.toStdString();
  };
  testing::SetupRecipe s;
  s.AppName = "Opened";
  s.Files = {{1, 0, 1, 0, "readme.txt"}};
  testing::CabBuilder cab;
  cab.add("OPENED~1.001", "the entry's bytes").add("OPENED~1.000", testing::BuildSetupFile(s));
  testing::TempDir dir;
  ASSERT_TRUE(cab.writeTo(dir / "opened.cab"));
  window.openPackage(QString::fromStdString((dir / "opened.cab").string()));
  window.pages()->setCurrentIndex(TForm1::kFilesList);
  window.show();
  QCoreApplication::processEvents();
  QTableView* view = window.view(TForm1::kFilesList);
  const QPoint at = view->visualRect(view->model()->index(0, 2)).center();
  QMouseEvent twice(QEvent::MouseButtonDblClick, at, view->viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(view->viewport(), &twice);
  // The opener runs on its own; the open folder must outlive its copy.
  const fs::path argument = fs::path(recorded) / "argument";
  QElapsedTimer clock;
  clock.start();
  while (!fs::exists(argument) && clock.elapsed() < 20000) QThread::msleep(50);
  EXPECT_TRUE(fs::exists(argument));
}

TEST(DesktopOpener, DoubleClickHandsTheOpenerTheFileUnderItsOriginalName) {
  if (std::getenv("VORNIX_OPENER_DIR")) GTEST_SKIP() << "the child's run";
  testing::TempDir dir;
  // The desktop's opener replaced by a recorder of what it is given.
  const fs::path opener = dir / "bin/xdg-open";
  Write(opener,
        "#!/bin/sh\n"
        "file=${1#file://}\n"
        "cp -- \"$file\" \"$VORNIX_OPENER_DIR/received\"\n"
        "printf '%s' \"$1\" > \"$VORNIX_OPENER_DIR/argument.part\"\n"
        "mv \"$VORNIX_OPENER_DIR/argument.part\" \"$VORNIX_OPENER_DIR/argument\"\n");
  fs::permissions(opener, fs::perms::owner_all);

  QProcess server;
  QString why;
  const QString display = testing::StartXServer(server, &why);
  if (display.isEmpty() && why == "no Xvfb") GTEST_SKIP() << "no Xvfb";
  ASSERT_FALSE(display.isEmpty()) << why.toStdString();

  QProcess child;
  QProcessEnvironment env = testing::OnXServer(QProcessEnvironment::systemEnvironment(), display);
  env.insert("PATH", QString::fromStdString((dir / "bin").string()) + ":" + env.value("PATH"));
  env.insert("VORNIX_OPENER_DIR", QString::fromStdString(dir.path().string()));
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=DesktopOpenerUnderX.*"});
  const bool finished = child.waitForFinished(60000);
  const std::string output = child.readAll().toStdString();
  server.terminate();
  server.waitForFinished(5000);
  ASSERT_TRUE(finished) << output;
  ASSERT_TRUE(fs::exists(dir / "argument")) << output;
  const QString given = QString::fromStdString(testing::ReadAll(dir / "argument"));
  const QString path = given.startsWith("file:") ? QUrl(given).toLocalFile() : given;
  EXPECT_TRUE(path.endsWith("/VornixOpen/readme.txt")) << given.toStdString();
  EXPECT_EQ(testing::ReadAll(dir / "received"), "the entry's bytes");
  EXPECT_EQ(child.exitCode(), 0) << output;
}

}  // namespace
}  // namespace vornix
