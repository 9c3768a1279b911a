#include "ui/list_view.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <algorithm>

namespace vornix {
namespace {

// Lays a cell out as the view paints it, to tell whether its text is cut.
class CellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  bool isCut(QStyleOptionViewItem option, const QModelIndex& index, const QWidget* view) const {
    initStyleOption(&option, index);
    if (option.text.isEmpty()) return false;
    QStyle* style = view ? view->style() : QApplication::style();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &option, view);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    return QFontMetrics(option.font).horizontalAdvance(option.text) > textRect.width() - 2 * margin;
  }
};

}  // namespace

ListView::ListView(QWidget* parent) : QTableView(parent) { setItemDelegate(new CellDelegate(this)); }

bool ListView::isCut(const QModelIndex& index) const {
  if (!index.isValid()) return false;
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(index);
  return static_cast<CellDelegate*>(itemDelegate())->isCut(option, index, this);
}

void ListView::setupList(const std::vector<ListColumn>& columns, bool filesList) {
  setShowGrid(true);
  setWordWrap(false);
  setAlternatingRowColors(false);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(filesList ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionsClickable(true);
  horizontalHeader()->setSectionsMovable(filesList);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // The arrow tells which column the rows are sorted on; set by the sort itself.
  horizontalHeader()->setSortIndicatorShown(true);
  horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  setIconSize(QSize(16, 16));
  for (size_t c = 0; c < columns.size(); ++c) setColumnWidth(static_cast<int>(c), columns[c].Width);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
}

QString ListView::selectedRowsText() const {
  if (!model() || !selectionModel()) return {};
  QModelIndexList rows = selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  const QHeaderView* header = horizontalHeader();
  QStringList lines;
  for (const QModelIndex& row : rows) {
    QStringList cells;
    for (int visual = 0; visual < header->count(); ++visual) {
      const int column = header->logicalIndex(visual);
      if (header->isSectionHidden(column)) continue;
      cells << model()->index(row.row(), column).data().toString();
    }
    lines << cells.join('\t');
  }
  return lines.join('\n');
}

void ListView::keyPressEvent(QKeyEvent* event) {
  if (event == QKeySequence::Copy) {
    const QString text = selectedRowsText();
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

bool ListView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    if (isCut(index)) {
      const QRect cell = visualRect(index);
      QToolTip::showText(help->globalPos(), index.data().toString(), viewport(), cell);
      return true;
    }
  }
  return QTableView::viewportEvent(event);
}

void ListView::sortOnColumn(ListSortState& sort, int key, bool numeric) {
  auto* list = qobject_cast<ListModel*>(model());
  if (!list) return;
  const bool descending = sort.columnClick(list->name().toStdString(), key);
  setUpdatesEnabled(false);
  list->sortRows(key, numeric, descending);
  horizontalHeader()->setSortIndicator(key, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
  if (list->rowCount() > 0) scrollToTop();
  setUpdatesEnabled(true);
}

void ListView::clearSortIndicator() { horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder); }

}  // namespace vornix
