#include "ui/list_model.h"

#include <QBrush>
#include <QFont>
#include <QMimeDatabase>

#include "common/text.h"
#include "ui/list_sort.h"
#include "ui/pictures.h"
#include "ui/qt_text.h"

namespace vornix {
namespace {

// Columns of the files list that have their own colour.
constexpr int kFileNameInCab = 1, kFileName = 2, kIdDir = 3, kType = 8;

}  // namespace

ListModel::ListModel(QString name, std::vector<ListColumn> columns, bool filesList, QObject* parent)
    : QAbstractTableModel(parent), m_name(std::move(name)), m_columns(std::move(columns)), m_files(filesList) {}

void ListModel::setRows(std::vector<ListRow> rows) {
  beginResetModel();
  m_rows = std::move(rows);
  endResetModel();
}

void ListModel::sortRows(int key, bool numeric, bool descending) {
  emit layoutAboutToBeChanged();
  SortRows(m_rows, key, numeric, descending);
  emit layoutChanged();
}

int ListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
  const ListRow& row = m_rows[static_cast<size_t>(index.row())];
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
      return ToQt(row.cell(static_cast<size_t>(column)));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(m_columns[static_cast<size_t>(column)].Align | Qt::AlignVCenter);
    case Qt::DecorationRole:
      if (m_files && column == 0) return iconFor(row.cell(2));
      return {};
    case Qt::ForegroundRole:
      if (!m_files) return {};
      if (row.cell(0) == "999") return column == 0 || column == kIdDir ? QBrush(Qt::red) : QVariant();
      if (column == kFileNameInCab) return QBrush(QColor(0, 128, 128));
      if (column == kFileName) return QBrush(QColor(0, 0, 255));
      if (column == kType) return QBrush(QColor(128, 0, 128));
      return {};
    case Qt::FontRole:
      if (m_files && row.cell(0) == "999" && (column == 0 || column == kIdDir)) {
        QFont bold;
        bold.setBold(true);
        return bold;
      }
      return {};
    default:
      return {};
  }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  const ListColumn& c = m_columns[static_cast<size_t>(section)];
  if (role == Qt::DisplayRole) return ToQt(Str(c.Caption));
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(c.Align | Qt::AlignVCenter);
  return {};
}

QIcon ListModel::iconFor(const std::string& fileName) const {
  // Looked up by name only: the file is not on disk.
  std::string name = ReplaceAll(fileName, "\"", "");
  const QString ext = ToQt(LowerCp1252(ExtensionOf(name)));
  auto it = m_icons.constFind(ext);
  if (it != m_icons.constEnd()) return *it;
  static const QMimeDatabase db;
  const QMimeType mime = db.mimeTypeForFile(QStringLiteral("x") + ext, QMimeDatabase::MatchExtension);
  QIcon icon = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
  if (icon.isNull()) icon = QIcon(DrawPicture(Picture::FileGeneric, 16));
  m_icons.insert(ext, icon);
  return icon;
}

}  // namespace vornix
