#include "ui/save_dialog.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include "ui/window_texts.h"

namespace vornix {

QString WithExtension(const QString& path, const QString& extension) {
  QFileInfo info(path);
  QString name = info.fileName();
  const int dot = name.lastIndexOf('.');
  if (dot >= 0) name.truncate(dot);
  return info.dir().filePath(name + extension);
}

SaveDialog::SaveDialog(QWidget* parent, const QString& title, const QString& folder, const QStringList& filters,
                       const QStringList& extensions)
    : QFileDialog(parent, title, folder), m_extensions(extensions) {
  setAcceptMode(QFileDialog::AcceptSave);
  // Qt's own dialog on every desktop: the overwrite question must see the
  // name that accept() puts in place, which a native dialog would not.
  setOption(QFileDialog::DontUseNativeDialog, true);
  setOption(QFileDialog::DontConfirmOverwrite, false);
  setOption(QFileDialog::ReadOnly, false);
  setNameFilters(filters);
  setSizeGripEnabled(true);
}

int SaveDialog::filterIndex() const { return qMax(0, nameFilters().indexOf(selectedNameFilter())); }

QString SaveDialog::fileToWrite() const {
  const QStringList files = selectedFiles();
  if (files.isEmpty()) return {};
  return WithExtension(files.first(), m_extensions.value(filterIndex()));
}

void SaveDialog::accept() {
  const QStringList files = selectedFiles();
  if (!files.isEmpty() && !QFileInfo(files.first()).isDir()) {
    const QString target = fileToWrite();
    if (target != files.first()) selectFile(target);
  }
  QFileDialog::accept();
}

bool WriteFileWhole(const QString& path, const std::string& bytes, QString& error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
      !file.commit()) {
    error = file.errorString();
    return false;
  }
  return true;
}

bool FolderAcceptsFiles(const QString& folder, QString& error) {
  QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".vornix-XXXXXX")));
  if (probe.open()) return true;
  error = probe.errorString();
  return false;
}

std::optional<RegFileChoice> AskRegFile(QWidget* parent, const QString& folder, const QString& name) {
  // Both forms keep the extension; the filter chosen says which one is written.
  SaveDialog dialog(
      parent, Text(WinStr::SaveRegTitle), folder,
      {QStringLiteral("Windows Registry Editor Version 5.00 (*.reg)"), QStringLiteral("REGEDIT4 (*.reg)")},
      {".reg", ".reg"});
  dialog.selectFile(name);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return RegFileChoice{dialog.fileToWrite(), dialog.filterIndex() == 1};
}

}  // namespace vornix
