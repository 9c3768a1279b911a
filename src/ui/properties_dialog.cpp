#include "ui/properties_dialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QVBoxLayout>

#include "common/mapped_file.h"
#include "common/text.h"
#include "pe/pe_reader.h"
#include "ui/action_texts.h"

namespace vornix {
namespace {

QString Hex16(unsigned value) {
  return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

}  // namespace

PropertiesDialog::PropertiesDialog(const QString& file, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PropertiesDialog"));
  const QFileInfo info(file);
  setWindowTitle(Text(ActStr::PropertiesTitle).arg(info.fileName()));

  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  form->setLabelAlignment(Qt::AlignLeft);
  layout->addLayout(form);
  const QLocale locale;
  addRow(form, "FileName", Text(ActStr::FileName), info.fileName());
  addRow(form, "Size", Text(ActStr::Size), Text(ActStr::SizeValue).arg(locale.toString(info.size())));
  addRow(form, "Type", Text(ActStr::Type), QMimeDatabase().mimeTypeForFile(info).comment());
  addRow(form, "Modified", Text(ActStr::Modified), locale.toString(info.lastModified(), QLocale::ShortFormat));

  const std::string path = QFile::encodeName(file).toStdString();
  if (IsProgramFileExtension(ExtensionOf(path))) {
    const MappedFile bytes(path);
    const ProgramFileReadResult read = ReadProgramFile(bytes.bytes());
    if (!read.ok()) {
      addRow(form, "Kind", Text(ActStr::Kind), Text(ActStr::NotProgram).arg(QString::fromStdString(read.Message)));
    } else {
      m_program = true;
      const ProgramFileInfo& pe = read.Info;
      QString version = QString::fromStdString(VersionText(pe));
      if (pe.Version == VersionResourceState::Unreadable) version = QString::fromLatin1(kVersionInfoError);
      if (version.isEmpty()) version = Text(ActStr::VersionNone);
      addRow(form, "Version", Text(ActStr::Version), version);
      addRow(form, "Kind", Text(ActStr::Kind), Text(pe.isDll() ? ActStr::KindDll : ActStr::KindExe));
      const QString machine =
          QString::fromLatin1(pe.machineName().data(), static_cast<qsizetype>(pe.machineName().size()));
      addRow(form, "Machine", Text(ActStr::Machine),
             machine.isEmpty() ? Hex16(pe.Machine) : machine + QStringLiteral(" (") + Hex16(pe.Machine) + ')');
      if (pe.HasOptionalHeader) {
        QString subsystem =
            QString::fromLatin1(pe.subsystemName().data(), static_cast<qsizetype>(pe.subsystemName().size()));
        if (subsystem.isEmpty()) subsystem = Hex16(pe.Subsystem);
        addRow(form, "Subsystem", Text(ActStr::Subsystem),
               subsystem + ' ' + QString::fromStdString(pe.subsystemVersionText()));
      }
      addRow(form, "DotNet", Text(ActStr::DotNet), Text(pe.IsDotNet ? ActStr::Yes : ActStr::No));
      if (!pe.Strings.empty()) {
        auto* box = new QGroupBox(Text(ActStr::VersionStrings));
        auto* strings = new QFormLayout(box);
        for (const VersionString& s : pe.Strings) {
          const QString key = QString::fromStdString(s.Key);
          if (!m_values.contains(key)) addRow(strings, key, key, QString::fromStdString(s.Value));
        }
        layout->addWidget(box);
      }
      if (!read.Warnings.empty()) {
        QStringList lines;
        for (const std::string& w : read.Warnings) lines << QString::fromStdString(w);
        auto* box = new QGroupBox(Text(ActStr::NotReadable));
        auto* inside = new QVBoxLayout(box);
        m_warnings = new QLabel(lines.join('\n'));
        m_warnings->setWordWrap(true);
        m_warnings->setTextInteractionFlags(Qt::TextSelectableByMouse);
        inside->addWidget(m_warnings);
        layout->addWidget(box);
      }
    }
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  layout->addStretch(1);
  layout->addWidget(buttons);
  setMinimumWidth(380);
  adjustSize();
}

void PropertiesDialog::addRow(QFormLayout* form, const QString& field, const QString& label, const QString& value) {
  auto* shown = new QLabel(value);
  shown->setObjectName(field);
  shown->setTextFormat(Qt::PlainText);
  shown->setTextInteractionFlags(Qt::TextSelectableByMouse);
  form->addRow(label + QStringLiteral(" :"), shown);
  m_values.insert(field, shown);
}

QString PropertiesDialog::value(const QString& field) const {
  const QLabel* label = m_values.value(field);
  return label ? label->text() : QString();
}

QString PropertiesDialog::warnings() const { return m_warnings ? m_warnings->text() : QString(); }

}  // namespace vornix
