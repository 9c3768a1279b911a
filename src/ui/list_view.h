// The table view every analysis list uses: Ctrl+C copies the selected rows
// as tab-separated text, and a cell too narrow for its text shows the whole
// text as its tooltip.
#pragma once

#include <QTableView>
#include <vector>

#include "ui/list_model.h"
#include "ui/list_sort.h"

namespace vornix {

class ListView : public QTableView {
  Q_OBJECT
 public:
  explicit ListView(QWidget* parent = nullptr);

  /// The look every analysis list shares: a report with grid lines, whole
  /// rows selected, read-only, the design widths, headers that sort on a
  /// click, and the mouse tracked so the focus can follow it. A files list
  /// takes several rows and lets its columns be dragged.
  void setupList(const std::vector<ListColumn>& columns, bool filesList);

  /// The selected rows in display order, cells in the columns' display order,
  /// separated by tabs, one row a line.
  QString selectedRowsText() const;
  /// Whether the cell's text is cut at the column's current width.
  bool isCut(const QModelIndex& index) const;

  /// A click on the header of the column with sort key `key`: the rows
  /// sorted on it (the direction flipping at each click, as `sort` keeps
  /// it), the header's arrow, and the list back at its top.
  void sortOnColumn(ListSortState& sort, int key, bool numeric);
  /// No header shows a sort arrow.
  void clearSortIndicator();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool viewportEvent(QEvent* event) override;
};

}  // namespace vornix
