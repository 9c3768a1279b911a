#include "ui/gui_main.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "presentation/catalogue.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/single_instance.h"

namespace vornix {
namespace {

// SIGTERM (the session ending), SIGINT and SIGHUP end the window the way
// closing it does, so its private temporary folders go with it: the handler
// only writes into a pipe, and the event loop, reading it, leaves every
// event loop running (a message box's too) without asking any window.
int g_stopPipe[2] = {-1, -1};
volatile sig_atomic_t g_stopSignal = 0;

void OnStopSignal(int number) {
  g_stopSignal = number;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(g_stopPipe[1], &byte, 1);
}

class StopOnSignals {
 public:
  StopOnSignals() {
    if (::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    m_notifier = std::make_unique<QSocketNotifier>(g_stopPipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [] { QCoreApplication::exit(0); });
    struct sigaction action {};
    action.sa_handler = &OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int s : kSignals) sigaction(s, &action, nullptr);
  }
  ~StopOnSignals() {
    for (int s : kSignals) signal(s, SIG_DFL);
    m_notifier.reset();
    for (int& fd : g_stopPipe) {
      if (fd >= 0) ::close(fd);
      fd = -1;
    }
  }
  StopOnSignals(const StopOnSignals&) = delete;
  StopOnSignals& operator=(const StopOnSignals&) = delete;

 private:
  static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
  std::unique_ptr<QSocketNotifier> m_notifier;
};

// A display that goes away (the X server ends, the compositor dies) ends the
// program from inside the display library, through exit(), past the window's
// destructor: the window's private folders are removed then, at the exit.
std::string g_leftAtExit;  // the folders' root while the window holds them
pid_t g_leftBy = 0;        // a child forked meanwhile must not remove them

void RemoveLeftAtExit() {
  if (g_leftAtExit.empty() || ::getpid() != g_leftBy) return;
  std::error_code ec;
  std::filesystem::remove_all(g_leftAtExit, ec);
}

class RemovedAtExit {
 public:
  explicit RemovedAtExit(const std::filesystem::path& root) {
    static const bool registered = std::atexit(&RemoveLeftAtExit) == 0;
    if (!registered) return;
    g_leftAtExit = root.string();
    g_leftBy = ::getpid();
  }
  // The window removed them itself.
  ~RemovedAtExit() { g_leftAtExit.clear(); }
  RemovedAtExit(const RemovedAtExit&) = delete;
  RemovedAtExit& operator=(const RemovedAtExit&) = delete;
};

// The window and what it holds are gone: whoever waits sees how it ended.
int EndedBy(int code) {
  if (g_stopSignal != 0) raise(g_stopSignal);
  return code;
}

// The window's run, the signals aside.
int RunWindow(int argc, char** argv) {
  QApplication app(argc, argv);
  // The installed icon theme's picture, else the drawing built into the window's
  // program (a build tree).
  QApplication::setWindowIcon(
      QIcon::fromTheme(QGuiApplication::desktopFileName(), QIcon(QStringLiteral(":/icons/vornix.svg"))));
  const QStringList args = QApplication::arguments().mid(1);

  SingleInstance guard;
  if (guard.AlreadyRunning(args)) return 0;

  const StopOnSignals stops;
  TForm1 window;
  if (!window.ready()) {
    QMessageBox::warning(
        nullptr, QString::fromUtf8(kCaption),
        ToQt(Str(MainStr::MsgCloseTempFolders)) + "\n" + QString::fromStdString(window.startupError()));
    return 0;
  }
  const RemovedAtExit atExit(window.tempFolders().root());
  window.setCommandLine(args);
  guard.setHandler([&window](const QString& arg) { window.HandleParameter(arg); });

  // With several arguments the window is never shown: the first argument
  // ends the program once it has been handled.
  if (args.size() <= 1) {
    window.placeOnScreen();
    window.show();
    // The window manager frames the window after it is shown; with its real
    // frame known, the window is fitted and centred again (a small screen,
    // or a large scale factor, must not leave it partly off the screen).
    QTimer::singleShot(250, &window, [&window] { window.placeOnScreen(); });
  }
  QTimer::singleShot(0, &window, [&] {
    window.ProcessCommandLine();
    if (args.size() > 1) QApplication::quit();
  });
  return QApplication::exec();
}

}  // namespace

int RunGui(int argc, char** argv) {
  const int code = RunWindow(argc, argv);
  return EndedBy(code);
}

}  // namespace vornix
