#include "ui/list_model.h"

#include <QBrush>
#include <QFont>
#include <QMimeDatabase>
#include <algorithm>

#include "common/text.h"
#include "ui/colours.h"
#include "ui/list_sort.h"
#include "ui/pictures.h"
#include "ui/qt_text.h"

namespace vornix {

ListModel::ListModel(QString name, std::vector<ListColumn> columns, bool filesList, QObject* parent)
    : QAbstractTableModel(parent), m_name(std::move(name)), m_columns(std::move(columns)), m_files(filesList) {
  setBackground(Qt::white);
}

void ListModel::setRows(SharedRows rows) {
  // Rows out and rows in rather than a reset: a reset gives the header's
  // sections their default widths back and loses what the user widened.
  if (!m_rows->empty()) {
    beginRemoveRows({}, 0, static_cast<int>(m_rows->size()) - 1);
    m_rows = &m_sorted;
    m_sorted = {};
    m_shared.reset();
    endRemoveRows();
  }
  if (rows && !rows->empty()) {
    beginInsertRows({}, 0, static_cast<int>(rows->size()) - 1);
    m_shared = std::move(rows);
    m_rows = m_shared.get();
    endInsertRows();
  }
}

void ListModel::setRows(std::vector<ListRow> rows) {
  setRows(std::make_shared<const std::vector<ListRow>>(std::move(rows)));
}

void ListModel::setBackground(const QColor& base) {
  m_teal = Readable(QColor(0, 128, 128), base);
  m_blue = Readable(QColor(0, 0, 255), base);
  m_purple = Readable(QColor(128, 0, 128), base);
  m_red = Readable(QColor(255, 0, 0), base);
  if (m_files && !m_rows->empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void ListModel::sortRows(int key, bool numeric, bool descending) {
  emit layoutAboutToBeChanged();
  if (m_rows != &m_sorted) {
    // The shared rows stay as their owner has them: the order is the view's.
    m_sorted = *m_shared;
    m_shared.reset();
    m_rows = &m_sorted;
  }
  SortRows(m_sorted, key, numeric, descending, m_keepQuotes);
  emit layoutChanged();
}

int ListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_rows->size());
}

int ListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
  const ListRow& row = (*m_rows)[static_cast<size_t>(index.row())];
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole: return ToQt(row.cell(static_cast<size_t>(column)));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(m_columns[static_cast<size_t>(column)].Align | Qt::AlignVCenter);
    case Qt::DecorationRole:
      if (m_files && column == 0) return iconFor(row.cell(static_cast<size_t>(m_fileColumns.FileName)));
      return {};
    case Qt::ForegroundRole:
      if (!m_files) return {};
      if (row.cell(0) == "999") return setupDllCell(column) ? QBrush(m_red) : QVariant();
      if (column == m_fileColumns.CabName) return QBrush(m_teal);
      if (column == m_fileColumns.FileName) return QBrush(m_blue);
      if (column == m_fileColumns.Type) return QBrush(m_purple);
      return {};
    case Qt::FontRole:
      if (m_files && row.cell(0) == "999" && setupDllCell(column)) {
        QFont bold;
        bold.setBold(true);
        return bold;
      }
      return {};
    default: return {};
  }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  const ListColumn& c = m_columns[static_cast<size_t>(section)];
  if (role == Qt::DisplayRole) return ToQt(c.Caption);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(c.Align | Qt::AlignVCenter);
  return {};
}

bool ListModel::setupDllCell(int column) const {
  const std::vector<int>& cells = m_fileColumns.SetupDllCells;
  return std::find(cells.begin(), cells.end(), column) != cells.end();
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
