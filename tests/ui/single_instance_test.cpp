#include "ui/single_instance.h"

#include <sys/inotify.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <QTimer>

#include <cstdlib>
#include <filesystem>

#include "presentation/catalogue.h"
#include "window_fixture.h"
#include "x_server.h"

namespace vornix {
namespace {

namespace fs = std::filesystem;

QByteArray Bytes(const char* data, int size) { return QByteArray(data, size); }

TEST(HandOver, MessageLayout) {
  EXPECT_EQ(EncodeHandOver({"a.cab"}), Bytes("\x01\0\0\0\0\0\0\0"
                                             "\x06\0\0\0"
                                             "a.cab\0",
                                             18));
  EXPECT_EQ(EncodeHandOver({"a.cab", "inf"}), Bytes("\x02\0\0\0\0\0\0\0"
                                                    "\x0d\0\0\0"
                                                    "a.cab\r\ninf\r\n\0",
                                                    25));
}

TEST(HandOver, SplitAndDecode) {
  EXPECT_EQ(SplitHandOverText(1, "one\r\nname"), QStringList{"one\r\nname"});
  EXPECT_EQ(SplitHandOverText(3, "a\r\nb\rc\n"), (QStringList{"a", "b", "c"}));
  EXPECT_EQ(SplitHandOverText(2, "a\r\nb"), (QStringList{"a", "b"}));
  EXPECT_EQ(SplitHandOverText(2, "a\n\nb\r\n"), (QStringList{"a", "", "b"}));

  const QByteArray message = EncodeHandOver({"x.cab", "extract"}) + EncodeHandOver({"y.cab"});
  QStringList args;
  qsizetype consumed = 0;
  for (qsizetype cut = 0; cut < 12 + 17; ++cut)
    EXPECT_EQ(DecodeHandOver(message.left(cut), args, consumed), DecodeState::Incomplete) << cut;
  ASSERT_EQ(DecodeHandOver(message, args, consumed), DecodeState::Complete);
  EXPECT_EQ(args, (QStringList{"x.cab", "extract"}));
  ASSERT_EQ(DecodeHandOver(message.mid(consumed), args, consumed), DecodeState::Complete);
  EXPECT_EQ(args, QStringList{"y.cab"});
  // A zero length or an absurd one is no hand-over.
  EXPECT_EQ(DecodeHandOver(Bytes("\x01\0\0\0\0\0\0\0"
                                 "\0\0\0\0",
                                 12),
                           args, consumed),
            DecodeState::Invalid);
  EXPECT_EQ(DecodeHandOver(Bytes("\x01\0\0\0\0\0\0\0"
                                 "\xff\xff\xff\x7f",
                                 12),
                           args, consumed),
            DecodeState::Invalid);
  // The text ends at its zero byte even when the length says more.
  ASSERT_EQ(DecodeHandOver(Bytes("\x01\0\0\0\0\0\0\0"
                                 "\x04\0\0\0"
                                 "ab\0c",
                                 16),
                           args, consumed),
            DecodeState::Complete);
  EXPECT_EQ(args, QStringList{"ab"});
}

// Starts the program with an instance tag of its own and a private temp folder.
class HandOverProcess : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    tag = QString("handover-%1-%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    tmp = QString::fromStdString((dir / "tmp").string());
    QDir().mkpath(tmp);
  }
  QProcessEnvironment environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VORNIX_INSTANCE_TAG", tag);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TMPDIR", tmp);
    return env;
  }
  void start(QProcess& p, const QStringList& args) {
    p.setProcessEnvironment(environment());
    p.start(VORNIX_BINARY, args);
    ASSERT_TRUE(p.waitForStarted(10000));
  }
  // Runs the event loop (the first copy may be this process) until `p` ends.
  bool finish(QProcess& p, int ms) {
    QElapsedTimer t;
    t.start();
    while (p.state() != QProcess::NotRunning && t.elapsed() < ms) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      p.waitForFinished(20);
    }
    return p.state() == QProcess::NotRunning;
  }
  QString socketPath() const {
    qputenv("VORNIX_INSTANCE_TAG", tag.toLocal8Bit());
    const QString name = InstanceName();
    qputenv("VORNIX_INSTANCE_TAG", "ui-tests");
    return QDir(tmp).filePath(name);
  }
  bool serverUp(int ms) const {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
      QLocalSocket probe;
      probe.connectToServer(socketPath());
      if (probe.waitForConnected(200)) return true;
      QThread::msleep(100);
    }
    return false;
  }

  static inline int counter = 0;
  QString tag;
  QString tmp;
};

TEST_F(HandOverProcess, SecondStartHandsItsFileToTheFirstAndEnds) {
  // This process is the first copy: it holds the name like the program does.
  qputenv("TMPDIR", tmp.toLocal8Bit());
  qputenv("VORNIX_INSTANCE_TAG", tag.toLocal8Bit());
  SingleInstance first;
  const bool running = first.AlreadyRunning({});
  qputenv("VORNIX_INSTANCE_TAG", "ui-tests");
  qunsetenv("TMPDIR");
  ASSERT_FALSE(running);
  QStringList received;
  first.setHandler([&](const QString& arg) {
    received << arg;
    window->HandleParameter(arg);
  });

  const QString cab = demo();
  QProcess second;
  start(second, {cab});
  ASSERT_TRUE(finish(second, 30000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(received, QStringList{cab});
  EXPECT_EQ(window->currentFile(), cab);
  EXPECT_EQ(window->statusPanel(1).toStdString(), "TIDEPO~1.000");
  EXPECT_FALSE(window->SignMSCETBtn->isChecked());
}

// The handler may run a modal window; a sender that gives up meanwhile has
// its connection closed and deleted under the handler's feet.
TEST_F(HandOverProcess, SenderGoneWhileTheArgumentIsHandled) {
  qputenv("TMPDIR", tmp.toLocal8Bit());
  qputenv("VORNIX_INSTANCE_TAG", tag.toLocal8Bit());
  SingleInstance first;
  const bool running = first.AlreadyRunning({});
  qputenv("VORNIX_INSTANCE_TAG", "ui-tests");
  qunsetenv("TMPDIR");
  ASSERT_FALSE(running);
  QLocalSocket sender;
  int handled = 0;
  first.setHandler([&](const QString&) {
    ++handled;
    sender.abort();
    QEventLoop modal;
    QTimer::singleShot(300, &modal, &QEventLoop::quit);
    modal.exec();
  });
  sender.connectToServer(socketPath());
  ASSERT_TRUE(sender.waitForConnected(5000));
  sender.write(EncodeHandOver({"a.cab"}));
  sender.flush();
  QElapsedTimer t;
  t.start();
  while (handled == 0 && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  QCoreApplication::processEvents();
  EXPECT_EQ(handled, 1);
}

TEST_F(HandOverProcess, BetweenTwoCopiesOfTheProgram) {
  QProcess first;
  start(first, {});
  ASSERT_TRUE(serverUp(20000)) << first.readAllStandardError().toStdString();

  // A second start with a file: the first copy opens it (reads the package,
  // which the second only names) before the second ends, with 0.
  const QString cab = demo();
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, cab.toLocal8Bit().constData(), IN_ACCESS), 0);
  QProcess second;
  start(second, {cab});
  ASSERT_TRUE(finish(second, 30000));
  EXPECT_EQ(second.exitCode(), 0);
  alignas(inotify_event) char events[4096];
  EXPECT_GT(read(watch, events, sizeof events), 0) << "the package was never read";
  close(watch);

  // A start without arguments just ends.
  QProcess third;
  start(third, {});
  ASSERT_TRUE(finish(third, 15000));
  EXPECT_EQ(third.exitCode(), 0);
  EXPECT_EQ(first.state(), QProcess::Running);

  // Ended by the session (SIGTERM): its private folders go with it, and it
  // ends by that signal.
  EXPECT_FALSE(QDir(tmp).entryList({"vornix-*"}, QDir::Dirs | QDir::Hidden).isEmpty());
  first.terminate();
  if (!first.waitForFinished(10000)) first.kill();
  first.waitForFinished(5000);
  EXPECT_EQ(first.exitStatus(), QProcess::CrashExit);
  EXPECT_EQ(QDir(tmp).entryList({"vornix-*"}, QDir::Dirs | QDir::Hidden), QStringList{});
}

// The display goes away under the window (the X server ends): the program
// ends with it, and its private folders go too.
TEST_F(HandOverProcess, ADisplayThatGoesAwayLeavesNoFolder) {
  QProcess server;
  QString why;
  const QString display = testing::StartXServer(server, &why);
  if (display.isEmpty() && why == "no Xvfb") GTEST_SKIP() << "no Xvfb";
  ASSERT_FALSE(display.isEmpty()) << why.toStdString();
  QProcess window;
  window.setProcessEnvironment(testing::OnXServer(environment(), display));
  window.start(VORNIX_BINARY, {demo()});
  ASSERT_TRUE(window.waitForStarted(10000));
  ASSERT_TRUE(serverUp(20000)) << window.readAllStandardError().toStdString();
  EXPECT_FALSE(QDir(tmp).entryList({"vornix-*"}, QDir::Dirs | QDir::Hidden).isEmpty());

  server.kill();
  server.waitForFinished(5000);
  ASSERT_TRUE(window.waitForFinished(15000));
  EXPECT_EQ(QDir(tmp).entryList({"vornix-*"}, QDir::Dirs | QDir::Hidden).join(' ').toStdString(), "")
      << window.readAllStandardError().toStdString();
}

}  // namespace
}  // namespace vornix
