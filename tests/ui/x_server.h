// A private X server (Xvfb) for the tests that need a real display.
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

namespace vornix::testing {

/// Starts Xvfb in `server` and returns its display (":N"), or an empty text
/// when there is no Xvfb or it gave no display; `why` then says which.
inline QString StartXServer(QProcess& server, QString* why) {
  const QString xvfb = QStandardPaths::findExecutable("Xvfb");
  if (xvfb.isEmpty()) {
    *why = "no Xvfb";
    return {};
  }
  server.start(xvfb, {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
  QByteArray display;
  QElapsedTimer clock;
  clock.start();
  if (server.waitForStarted(10000)) {
    while (!display.endsWith('\n') && clock.elapsed() < 15000 && server.state() == QProcess::Running) {
      server.waitForReadyRead(500);
      display += server.readAllStandardOutput();
    }
  }
  if (!display.endsWith('\n')) {
    *why = "Xvfb gave no display: " + QString::fromLocal8Bit(server.readAllStandardError());
    return {};
  }
  return ":" + QString::fromLatin1(display.trimmed());
}

}  // namespace vornix::testing
