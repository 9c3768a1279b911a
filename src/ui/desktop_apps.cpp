#include "ui/desktop_apps.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMimeDatabase>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#ifdef VORNIX_HAS_DBUS
#include <fcntl.h>
#include <unistd.h>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#endif

#include "ui/action_texts.h"

namespace vornix {
namespace {

// Key=value lines of the groups of a desktop entry or mimeapps.list file.
using Groups = QHash<QString, QHash<QString, QString>>;

Groups ReadKeyFile(const QString& path) {
  Groups groups;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return groups;
  QString group;
  // Desktop files are small; a huge one is not one.
  const QList<QByteArray> lines = file.read(1 << 20).split('\n');
  for (const QByteArray& raw : lines) {
    const QString line = QString::fromUtf8(raw).trimmed();
    if (line.isEmpty() || line.startsWith('#')) continue;
    if (line.startsWith('[') && line.endsWith(']')) {
      group = line.mid(1, line.size() - 2);
      continue;
    }
    const qsizetype eq = line.indexOf('=');
    if (eq <= 0 || group.isEmpty()) continue;
    QHash<QString, QString>& keys = groups[group];
    const QString key = line.left(eq).trimmed();
    if (!keys.contains(key)) keys.insert(key, line.mid(eq + 1).trimmed());
  }
  return groups;
}

// The string escapes of a desktop entry value.
QString Unescape(const QString& value) {
  QString out;
  for (qsizetype i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    const QChar c = value[++i];
    if (c == 's')
      out += ' ';
    else if (c == 'n')
      out += '\n';
    else if (c == 't')
      out += '\t';
    else if (c == 'r')
      out += '\r';
    else
      out += c;
  }
  return out;
}

QStringList SplitList(const QString& value) { return value.split(';', Qt::SkipEmptyParts); }

bool IsTrue(const QString& value) { return value == QLatin1String("true") || value == QLatin1String("1"); }

QString Localised(const QHash<QString, QString>& keys, const QString& key) {
  const QString locale = QLocale::system().name();  // "de_DE"
  for (const QString& suffix : {locale, locale.section('_', 0, 0)}) {
    const auto it = keys.constFind(key + '[' + suffix + ']');
    if (it != keys.constEnd()) return Unescape(*it);
  }
  return Unescape(keys.value(key));
}

// The words of an Exec value: blanks separate them, double quotes keep
// them together, and inside quotes a backslash protects " ` $ and itself.
QStringList SplitExec(const QString& exec) {
  QStringList words;
  QString word;
  bool quoted = false, any = false;
  for (qsizetype i = 0; i < exec.size(); ++i) {
    const QChar c = exec[i];
    if (quoted) {
      if (c == '\\' && i + 1 < exec.size() && QStringLiteral("\"`$\\").contains(exec[i + 1])) {
        word += exec[++i];
      } else if (c == '"') {
        quoted = false;
      } else {
        word += c;
      }
    } else if (c == '"') {
      quoted = any = true;
    } else if (c.isSpace()) {
      if (any || !word.isEmpty()) words << word;
      word.clear();
      any = false;
    } else {
      word += c;
      any = true;
    }
  }
  if (any || !word.isEmpty()) words << word;
  return words;
}

bool Runnable(const QString& program) {
  if (program.isEmpty()) return false;
  if (QDir::isAbsolutePath(program)) return QFileInfo(program).isExecutable();
  return !QStandardPaths::findExecutable(program).isEmpty();
}

// The terminal a terminal program is run in: the user's, or the system's choice.
QString TerminalProgram() {
  const QString own = qEnvironmentVariable("TERMINAL");
  if (Runnable(own)) return own;
  return QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator"));
}

QStringList ApplicationDirs() { return QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation); }

}  // namespace

DesktopApps DesktopApps::Load() {
  DesktopApps apps;
  // Folders in order of importance: the first entry of an id wins.
  for (const QString& dir : ApplicationDirs()) {
    QDirIterator it(dir, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
    QStringList files;
    while (it.hasNext()) files << it.next();
    files.sort();
    for (const QString& path : files) {
      const QString id = QDir(dir).relativeFilePath(path).replace('/', '-');
      if (apps.m_byId.contains(id)) continue;
      const Groups groups = ReadKeyFile(path);
      const QHash<QString, QString> keys = groups.value(QStringLiteral("Desktop Entry"));
      // A hidden entry deletes the id for the folders below it as well.
      apps.m_byId.insert(id, -1);
      if (IsTrue(keys.value("Hidden")) || keys.value("Type") != QLatin1String("Application")) continue;
      DesktopApp app;
      app.Id = id;
      app.Name = Localised(keys, "Name");
      app.Icon = keys.value("Icon");
      app.Exec = Unescape(keys.value("Exec"));
      app.Path = path;
      app.WorkingDir = keys.value("Path");
      app.Terminal = IsTrue(keys.value("Terminal"));
      const QString tryExec = Unescape(keys.value("TryExec"));
      const QStringList words = SplitExec(app.Exec);
      if (words.isEmpty() || !Runnable(words.first()) || (!tryExec.isEmpty() && !Runnable(tryExec))) continue;
      // A terminal program is offered only where there is a terminal to run it in.
      if (app.Terminal && TerminalProgram().isEmpty()) continue;
      const bool shown = !IsTrue(keys.value("NoDisplay"));
      apps.m_byId[id] = static_cast<int>(apps.m_apps.size());
      apps.m_apps << app;
      for (const QString& type : SplitList(keys.value("MimeType"))) apps.m_declared[type] << id;
      if (!shown) apps.m_hidden.insert(id);
    }
  }

  QStringList desktops;
  for (const QString& d : qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(':', Qt::SkipEmptyParts))
    desktops << d.toLower();
  const QStringList dirs = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation) + ApplicationDirs();
  for (const QString& dir : dirs) {
    QStringList names;
    for (const QString& d : desktops) names << d + QStringLiteral("-mimeapps.list");
    names << QStringLiteral("mimeapps.list");
    for (const QString& name : names) {
      const QString path = QDir(dir).filePath(name);
      if (!QFileInfo::exists(path)) continue;
      const Groups groups = ReadKeyFile(path);
      List list;
      auto fill = [&](const char* group, QHash<QString, QStringList>& into) {
        const QHash<QString, QString> keys = groups.value(QString::fromLatin1(group));
        for (auto it = keys.constBegin(); it != keys.constEnd(); ++it) into.insert(it.key(), SplitList(it.value()));
      };
      fill("Default Applications", list.defaults);
      fill("Added Associations", list.added);
      fill("Removed Associations", list.removed);
      apps.m_lists << list;
    }
  }
  return apps;
}

QList<DesktopApp> DesktopApps::appsFor(const QMimeType& type) const {
  QStringList types{type.name()};
  types += type.aliases();
  types += type.allAncestors();
  QStringList ids;
  auto installed = [&](const QString& id) { return m_byId.value(id, -1) >= 0; };
  for (const QString& t : types) {
    bool found = false;
    for (const List& list : m_lists) {
      for (const QString& id : list.defaults.value(t)) {
        if (installed(id)) {
          if (!ids.contains(id)) ids << id;
          found = true;
          break;
        }
      }
      if (found) break;
    }
    QSet<QString> removed;
    for (const List& list : m_lists) {
      for (const QString& id : list.added.value(t))
        if (!removed.contains(id) && installed(id) && !ids.contains(id)) ids << id;
      for (const QString& id : list.removed.value(t)) removed.insert(id);
    }
    for (const QString& id : m_declared.value(t))
      if (!removed.contains(id) && installed(id) && !ids.contains(id)) ids << id;
  }
  QList<DesktopApp> out;
  for (const QString& id : ids) out << m_apps.at(m_byId.value(id));
  return out;
}

QList<DesktopApp> DesktopApps::allApps() const {
  QList<DesktopApp> out;
  for (const DesktopApp& app : m_apps)
    if (!m_hidden.contains(app.Id)) out << app;
  std::stable_sort(out.begin(), out.end(), [](const DesktopApp& a, const DesktopApp& b) {
    return QString::localeAwareCompare(a.Name, b.Name) < 0;
  });
  return out;
}

QStringList ExecArguments(const DesktopApp& app, const QString& file) {
  const QString url = QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
  QStringList args;
  bool given = false;
  for (const QString& word : SplitExec(app.Exec)) {
    if (word == QLatin1String("%f") || word == QLatin1String("%F")) {
      args << file;
      given = true;
    } else if (word == QLatin1String("%u") || word == QLatin1String("%U")) {
      args << url;
      given = true;
    } else if (word == QLatin1String("%i")) {
      if (!app.Icon.isEmpty()) args << QStringLiteral("--icon") << app.Icon;
    } else if (word == QLatin1String("%c")) {
      args << app.Name;
    } else if (word == QLatin1String("%k")) {
      args << app.Path;
    } else {
      // Codes inside a word ("--open=%f"); the deprecated ones go.
      QString out;
      for (qsizetype i = 0; i < word.size(); ++i) {
        if (word[i] != '%' || i + 1 == word.size()) {
          out += word[i];
          continue;
        }
        const QChar code = word[++i];
        if (code == '%')
          out += '%';
        else if (code == 'f' || code == 'F')
          out += file, given = true;
        else if (code == 'u' || code == 'U')
          out += url, given = true;
        else if (code == 'c')
          out += app.Name;
        else if (code == 'k')
          out += app.Path;
      }
      args << out;
    }
  }
  if (args.isEmpty()) return {};
  // A program that names no file code is given the file after its arguments.
  if (!given) args << file;
  if (app.Terminal) {
    const QString terminal = TerminalProgram();
    if (terminal.isEmpty()) return {};
    args = QStringList{terminal, QStringLiteral("-e")} + args;
  }
  return args;
}

bool LaunchApp(const DesktopApp& app, const QString& file) {
  QStringList args = ExecArguments(app, file);
  if (args.isEmpty()) return false;
  const QString program = args.takeFirst();
  return QProcess::startDetached(program, args, app.WorkingDir);
}

bool OpenWithPortal(const QString& file, QWidget* parent) {
#ifdef VORNIX_HAS_DBUS
  // No bus address: asking for the session bus would start one.
  if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return false;
  QDBusConnection bus = QDBusConnection::sessionBus();
  const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
  if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(service)) return false;
  const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const QDBusUnixFileDescriptor descriptor(fd);  // holds its own copy
  ::close(fd);
  QDBusMessage call =
      QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/portal/desktop"),
                                     QStringLiteral("org.freedesktop.portal.OpenURI"), QStringLiteral("OpenFile"));
  QString window;
  if (parent && QGuiApplication::platformName() == QLatin1String("xcb"))
    window = QStringLiteral("x11:") + QString::number(parent->window()->winId(), 16);
  call << window << QVariant::fromValue(descriptor) << QVariantMap{{QStringLiteral("ask"), true}};
  const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
  return reply.type() == QDBusMessage::ReplyMessage;
#else
  (void)file;
  (void)parent;
  return false;
#endif
}

AppChooser::AppChooser(const QString& file, const DesktopApps& apps, const QString& caption, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("AppChooser"));
  setWindowTitle(caption);
  const QMimeType type = QMimeDatabase().mimeTypeForFile(file);
  m_offered = apps.appsFor(type);
  const bool declared = !m_offered.isEmpty();
  if (!declared) m_offered = apps.allApps();

  auto* layout = new QVBoxLayout(this);
  auto* label = new QLabel(Text(ActStr::ChooserLabel).arg(QFileInfo(file).fileName(), type.comment()));
  label->setWordWrap(true);
  layout->addWidget(label);
  m_list = new QListWidget;
  m_list->setIconSize(QSize(24, 24));
  const QIcon fallback = QIcon::fromTheme(QStringLiteral("application-x-executable"));
  for (const DesktopApp& app : m_offered) {
    QIcon icon = QDir::isAbsolutePath(app.Icon) ? QIcon(app.Icon) : QIcon::fromTheme(app.Icon);
    if (icon.isNull()) icon = fallback;
    m_list->addItem(new QListWidgetItem(icon, app.Name.isEmpty() ? app.Id : app.Name));
  }
  if (m_list->count() > 0) m_list->setCurrentRow(0);
  layout->addWidget(m_list, 1);
  if (!declared) {
    auto* note = new QLabel(Text(ActStr::ChooserNoneDeclared));
    note->setWordWrap(true);
    layout->addWidget(note);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Open)->setEnabled(m_list->count() > 0);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_list, &QListWidget::itemActivated, this, &QDialog::accept);
  resize(380, 360);
}

const DesktopApp* AppChooser::chosen() const {
  const int row = m_list->currentRow();
  return row >= 0 && row < m_offered.size() ? &m_offered.at(row) : nullptr;
}

}  // namespace vornix
