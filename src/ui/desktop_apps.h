// The desktop's programs for a file: the applications whose desktop entries
// declare its MIME type (or a type it derives from), as the freedesktop.org
// rules give them (desktop entries under $XDG_DATA_HOME and $XDG_DATA_DIRS,
// mimeapps.list defaults, added and removed associations), how one is run on
// a file, and the small chooser that offers them. Where the desktop portal
// runs, its own chooser is asked instead.
#pragma once

#include <QDialog>
#include <QHash>
#include <QList>
#include <QMimeType>
#include <QSet>
#include <QString>
#include <QStringList>

class QListWidget;

namespace vornix {

struct DesktopApp {
  QString Id;    // desktop file id ("org.example.Editor.desktop")
  QString Name;  // in the user's language where the entry has it
  QString Icon;
  QString Exec;  // unescaped Exec value
  QString Path;  // the .desktop file
  QString WorkingDir;
  bool Terminal = false;
};

class DesktopApps {
 public:
  /// Reads the desktop entries and the mimeapps.list files the XDG folders hold now.
  static DesktopApps Load();

  /// The applications for files of `type` (its own associations first, then
  /// those of the types it derives from), the default one first, each once.
  QList<DesktopApp> appsFor(const QMimeType& type) const;
  /// Every application that can be given a file, by name.
  QList<DesktopApp> allApps() const;

 private:
  struct List {
    QHash<QString, QStringList> defaults, added, removed;  // MIME type -> desktop ids
  };
  QList<DesktopApp> m_apps;                // in the order the folders were read
  QHash<QString, int> m_byId;              // desktop id -> index in m_apps
  QHash<QString, QStringList> m_declared;  // MIME type -> ids whose entry names it
  QList<List> m_lists;                     // mimeapps.list files, most important first
  QSet<QString> m_hidden;                  // entries kept out of menus (NoDisplay)
};

/// The command line that runs `app` on `file`: the Exec value split as the
/// desktop entry rules say, its field codes filled (%f %F the path, %u %U its
/// URL, %i the icon, %c the name, %k the entry), the file added at the end
/// when no code asks for it, and a terminal in front for a terminal program.
/// Empty when nothing can be run.
QStringList ExecArguments(const DesktopApp& app, const QString& file);

/// Runs `app` on `file` in the background; false when it could not start.
bool LaunchApp(const DesktopApp& app, const QString& file);

/// Hands `file` to the desktop portal's "open with" chooser; false when no
/// portal runs or it refused, so the caller offers its own chooser.
bool OpenWithPortal(const QString& file, QWidget* parent);

/// The chooser: the applications for the file's type, the default one
/// selected; every application when none declares the type.
class AppChooser : public QDialog {
  Q_OBJECT
 public:
  AppChooser(const QString& file, const DesktopApps& apps, const QString& caption, QWidget* parent = nullptr);
  const QList<DesktopApp>& offered() const { return m_offered; }
  /// The chosen application, once accepted.
  const DesktopApp* chosen() const;
  QListWidget* list() const { return m_list; }

 private:
  QList<DesktopApp> m_offered;
  QListWidget* m_list = nullptr;
};

}  // namespace vornix
