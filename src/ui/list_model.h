// One table model per analysis list, over the core's rows. The model holds
// its rows because the user's sorting reorders them; the extraction reads
// them in that display order.
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <vector>

#include "common/catalogue.h"
#include "setup/presentation.h"

namespace vornix {

struct ListColumn {
  MainStr Caption;
  int Width = 100;
  Qt::Alignment Align = Qt::AlignLeft;
};

class ListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  /// `name` identifies the list in the sort state (the control's name).
  ListModel(QString name, std::vector<ListColumn> columns, bool filesList, QObject* parent = nullptr);

  const QString& name() const { return m_name; }
  const std::vector<ListColumn>& columns() const { return m_columns; }
  bool isFilesList() const { return m_files; }

  /// Replaces every row. Columns stay as they are, with the widths and the
  /// order the user gave them.
  void setRows(std::vector<ListRow> rows);
  void clear() { setRows({}); }
  const std::vector<ListRow>& rows() const { return m_rows; }
  /// Sorts on the cell under `key` (see CompareCells).
  void sortRows(int key, bool numeric, bool descending);
  /// The background the files list's colours are drawn on (the view's base).
  void setBackground(const QColor& base);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  QIcon iconFor(const std::string& fileName) const;

  QString m_name;
  std::vector<ListColumn> m_columns;
  bool m_files = false;
  std::vector<ListRow> m_rows;
  mutable QHash<QString, QIcon> m_icons;  // by lower-case extension
  // The design colours as they read on the current background.
  QColor m_teal, m_blue, m_purple, m_red;
};

}  // namespace vornix
