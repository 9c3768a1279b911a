// The choice of a cabinet inside another file (a desktop installer holding
// several): one row for each complete cabinet the scan found, the first one
// chosen; the window opens the row taken.
#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "scan/cabinet_scan.h"

class QListWidget;

namespace vornix {

/// One row of the list: "#2 at 0x1000, 12,345 bytes, 1 folder, 6 files, signed: Tidepool".
/// `application` is the cabinet's application name (UTF-8), or why it has none.
std::string CabinetChoiceRow(size_t index, const EmbeddedCabinet& cabinet, const std::string& application);

/// The application name of the cabinet at `cabinet` in `file`, read through
/// a private copy in `scratch` (UTF-8); a short reason when it has none.
std::string EmbeddedApplicationName(const std::filesystem::path& file, const EmbeddedCabinet& cabinet,
                                    const std::filesystem::path& scratch);

class CabinetChoiceDialog : public QDialog {
  Q_OBJECT
 public:
  CabinetChoiceDialog(QWidget* parent, const QString& file, const std::vector<std::string>& rows);
  /// The row chosen (0-based).
  int chosen() const;

 private:
  QListWidget* m_list = nullptr;
};

}  // namespace vornix
