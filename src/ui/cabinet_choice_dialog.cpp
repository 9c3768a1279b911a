#include "ui/cabinet_choice_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "common/text.h"
#include "package/package_session.h"

namespace fs = std::filesystem;

namespace vornix {

std::string CabinetChoiceRow(size_t index, const EmbeddedCabinet& c, const std::string& application) {
  return Format("#%zu at 0x%llX, %llu bytes, %u folder%s, %u file%s%s: ", index + 1,
                static_cast<unsigned long long>(c.Offset), static_cast<unsigned long long>(c.Size), c.FolderCount,
                c.FolderCount == 1 ? "" : "s", c.FileCount, c.FileCount == 1 ? "" : "s", c.Signed ? ", signed" : "") +
         application;
}

std::string EmbeddedApplicationName(const fs::path& file, const EmbeddedCabinet& cabinet, const fs::path& scratch) {
  std::string error;
  const fs::path copy = scratch / "choice.cab";
  if (!CopyFileSpan(file, cabinet.Offset, cabinet.Size, copy, &error)) return "not read";
  std::string name = ApplicationNameOf(copy);
  std::error_code ec;
  fs::remove(copy, ec);
  return name;
}

CabinetChoiceDialog::CabinetChoiceDialog(QWidget* parent, const QString& file, const std::vector<std::string>& rows)
    : QDialog(parent) {
  setObjectName("CabinetChoiceDialog");
  setWindowTitle(QStringLiteral("Choose a cabinet"));
  auto* layout = new QVBoxLayout(this);
  auto* prompt = new QLabel(
      QStringLiteral("%1 holds %2 cabinets. Open which one?").arg(QDir::toNativeSeparators(file)).arg(rows.size()),
      this);
  prompt->setWordWrap(true);
  layout->addWidget(prompt);
  m_list = new QListWidget(this);
  m_list->setObjectName("CabinetList");
  for (const std::string& row : rows) m_list->addItem(QString::fromStdString(row));
  m_list->setCurrentRow(0);
  m_list->setMinimumWidth(m_list->sizeHintForColumn(0) + 40);
  layout->addWidget(m_list);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

int CabinetChoiceDialog::chosen() const { return m_list->currentRow(); }

}  // namespace vornix
