#include "ui/gui_main.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include "common/catalogue.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/single_instance.h"

namespace vornix {

int RunGui(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments().mid(1);

  SingleInstance guard;
  if (guard.AlreadyRunning(args)) return 0;

  TForm1 window;
  if (!window.ready()) {
    QMessageBox::warning(nullptr, QString::fromUtf8(kCaption),
                         ToQt(Str(MainStr::MsgCloseTempFolders)) + "\n" + QString::fromStdString(window.startupError()));
    return 0;
  }
  window.setCommandLine(args);
  guard.setHandler([&window](const QString& arg) { window.HandleParameter(arg); });

  // With several arguments the window is never shown: the first argument
  // ends the program once it has been handled.
  if (args.size() <= 1) {
    if (QScreen* screen = window.screen()) {
      const QRect area = screen->availableGeometry();
      window.move(area.center() - window.rect().center());
    }
    window.show();
  }
  QTimer::singleShot(0, &window, [&] {
    window.ProcessCommandLine();
    if (args.size() > 1) QApplication::quit();
  });
  return QApplication::exec();
}

}  // namespace vornix
