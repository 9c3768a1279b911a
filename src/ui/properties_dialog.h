// The properties of a file handed out by the files list: what is known of
// any file (name, size, type, date) and, for a program file, what its PE
// header and version resource tell, as the core reader reads them. Shown
// without blocking, as a desktop shows a property sheet.
#pragma once

#include <QDialog>
#include <QHash>
#include <QString>

class QFormLayout;
class QLabel;

namespace vornix {

class PropertiesDialog : public QDialog {
  Q_OBJECT
 public:
  PropertiesDialog(const QString& file, QWidget* parent = nullptr);

  /// The value shown for a field: "FileName", "Size", "Type", "Modified",
  /// "Version", "Kind", "Machine", "Subsystem", "DotNet", or a string of the
  /// version resource by its key ("CompanyName", ...). Empty when not shown.
  QString value(const QString& field) const;
  /// Whether the file was read as a program file.
  bool isProgram() const { return m_program; }
  /// What could not be read as the headers claim, one warning a line.
  QString warnings() const;

 private:
  void addRow(QFormLayout* form, const QString& field, const QString& label, const QString& value);

  QHash<QString, QLabel*> m_values;
  QLabel* m_warnings = nullptr;
  bool m_program = false;
};

}  // namespace vornix
