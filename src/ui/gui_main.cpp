#include "ui/gui_main.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QTimer>

#include "presentation/catalogue.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/single_instance.h"

namespace vornix {

int RunGui(int argc, char** argv) {
  QApplication app(argc, argv);
  // The installed icon theme's picture, else the drawing built into the window's
  // program (a build tree).
  QApplication::setWindowIcon(
      QIcon::fromTheme(QGuiApplication::desktopFileName(), QIcon(QStringLiteral(":/icons/vornix.svg"))));
  const QStringList args = QApplication::arguments().mid(1);

  SingleInstance guard;
  if (guard.AlreadyRunning(args)) return 0;

  TForm1 window;
  if (!window.ready()) {
    QMessageBox::warning(
        nullptr, QString::fromUtf8(kCaption),
        ToQt(Str(MainStr::MsgCloseTempFolders)) + "\n" + QString::fromStdString(window.startupError()));
    return 0;
  }
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

}  // namespace vornix
