// One table model per analysis list, over the core's rows. The model shares
// the rows it is given rather than copying them, and formats a cell only when
// a view asks for it. The user's sorting reorders a copy of its own, made at
// the first sort; the extraction reads the rows in that display order.
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "presentation/catalogue.h"
#include "presentation/catalogue_xml.h"
#include "presentation/rows.h"

namespace vornix {

/// A column's heading, looked up in the window's catalogue when the window
/// is made, its design width and its alignment.
struct ListColumn {
  ListColumn(MainStr caption, int width = 100, Qt::Alignment align = Qt::AlignLeft)
      : Caption(Str(caption)), Width(width), Align(align) {}
  ListColumn(XmlStr caption, int width = 100, Qt::Alignment align = Qt::AlignLeft)
      : Caption(Str(caption)), Width(width), Align(align) {}
  ListColumn(std::string caption, int width = 100, Qt::Alignment align = Qt::AlignLeft)
      : Caption(std::move(caption)), Width(width), Align(align) {}
  std::string Caption;  // Windows-1252
  int Width = 100;
  Qt::Alignment Align = Qt::AlignLeft;
};

/// Where a files list keeps the cells its colours and icon go with: the
/// main window's list and the XML viewer's differ in their columns.
struct FileListColumns {
  int CabName = 1;                          // teal
  int FileName = 2;                         // blue; its extension gives the row's icon
  int Type = 8;                             // purple
  std::vector<int> SetupDllCells = {0, 3};  // bold red on the setup DLL row
};

class ListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  /// `name` identifies the list in the sort state (the control's name).
  ListModel(QString name, std::vector<ListColumn> columns, bool filesList, QObject* parent = nullptr);

  const QString& name() const { return m_name; }
  const std::vector<ListColumn>& columns() const { return m_columns; }
  bool isFilesList() const { return m_files; }

  using SharedRows = std::shared_ptr<const std::vector<ListRow>>;
  /// Replaces every row by rows shared with their owner (kept alive for as
  /// long as the model shows them). Columns stay as they are, with the
  /// widths and the order the user gave them.
  void setRows(SharedRows rows);
  void setRows(std::vector<ListRow> rows);
  void clear() { setRows(SharedRows()); }
  /// The rows in display order.
  const std::vector<ListRow>& rows() const { return *m_rows; }
  /// Sorts on the cell under `key` (see CompareCells).
  void sortRows(int key, bool numeric, bool descending);
  /// The files list's coloured cells (the main window's by default).
  void setFileColumns(FileListColumns columns) { m_fileColumns = std::move(columns); }
  /// Double quotes take part in the comparison (the XML viewer's lists).
  void setSortKeepsQuotes(bool keep) { m_keepQuotes = keep; }
  /// The background the files list's colours are drawn on (the view's base).
  void setBackground(const QColor& base);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  QIcon iconFor(const std::string& fileName) const;
  bool setupDllCell(int column) const;

  QString m_name;
  std::vector<ListColumn> m_columns;
  bool m_files = false;
  FileListColumns m_fileColumns;
  bool m_keepQuotes = false;
  SharedRows m_shared;                             // the rows as given
  std::vector<ListRow> m_sorted;                   // the user's order, once sorted
  const std::vector<ListRow>* m_rows = &m_sorted;  // one of the two
  mutable QHash<QString, QIcon> m_icons;           // by lower-case extension
  // The design colours as they read on the current background.
  QColor m_teal, m_blue, m_purple, m_red;
};

}  // namespace vornix
