// A private X server (Xvfb) for the tests that need a real display.
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
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

/// `env` for a program on `display`: Qt's X platform, no session bus, and
/// no leak report of what the X libraries keep until the process ends.
inline QProcessEnvironment OnXServer(QProcessEnvironment env, const QString& display) {
  env.insert("DISPLAY", display);
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.remove("DBUS_SESSION_BUS_ADDRESS");
  env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
  return env;
}

}  // namespace vornix::testing
