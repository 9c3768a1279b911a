// The window's executable. `vornix` starts it when the command line holds no
// batch word; the single-instance hand-over happens here.
#include <QGuiApplication>

#include "ui/gui_main.h"

int main(int argc, char** argv) {
  // The desktop entry finds the window by this name (StartupWMClass), whatever
  // the executable's file is called.
  QCoreApplication::setApplicationName(QStringLiteral("vornix"));
  QGuiApplication::setDesktopFileName(QStringLiteral(VORNIX_APP_ID));
  return vornix::RunGui(argc, argv);
}
