// The table view every analysis list uses: Ctrl+C copies the selected rows
// as tab-separated text, and a cell too narrow for its text shows the whole
// text as its tooltip.
#pragma once

#include <QTableView>

namespace vornix {

class ListView : public QTableView {
  Q_OBJECT
 public:
  explicit ListView(QWidget* parent = nullptr);

  /// The selected rows in display order, cells in the columns' display order,
  /// separated by tabs, one row a line.
  QString selectedRowsText() const;
  /// Whether the cell's text is cut at the column's current width.
  bool isCut(const QModelIndex& index) const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool viewportEvent(QEvent* event) override;
};

}  // namespace vornix
