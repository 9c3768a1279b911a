// The save dialog of the report and of the INF. The file written takes the
// extension of the chosen filter, whatever was typed; the dialog's own
// question about replacing a file is asked about that name, not the typed one.
#pragma once

#include <QFileDialog>
#include <QStringList>
#include <optional>
#include <string>

namespace vornix {

/// The path with its extension (from the last dot of the file name) replaced.
QString WithExtension(const QString& path, const QString& extension);

/// Writes beside the target and puts the file in its place only when whole,
/// so a failure half-way leaves the previous file as it was.
bool WriteFileWhole(const QString& path, const std::string& bytes, QString& error);

/// Whether a file can be created in the folder: asked before an extraction,
/// so a folder that refuses files is named as such, not counted as names
/// that could not be given.
bool FolderAcceptsFiles(const QString& folder, QString& error);

/// Where the registry export goes, and in which form.
struct RegFileChoice {
  QString Path;
  bool Regedit4 = false;  // the old 8-bit form; else "Windows Registry Editor Version 5.00"
};

/// The registry export's save dialog, opened at `folder` with `name`
/// proposed; nullopt when cancelled.
std::optional<RegFileChoice> AskRegFile(QWidget* parent, const QString& folder, const QString& name);

class SaveDialog : public QFileDialog {
  Q_OBJECT
 public:
  /// `extensions[i]` goes with `filters[i]`.
  SaveDialog(QWidget* parent, const QString& title, const QString& folder, const QStringList& filters,
             const QStringList& extensions);

  int filterIndex() const;
  /// The file that will be written: the chosen name with its filter's extension.
  QString fileToWrite() const;

 public slots:
  void accept() override;

 private:
  QStringList m_extensions;
};

}  // namespace vornix
