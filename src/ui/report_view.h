// The report tab: the formatted report shown read-only, its context menu and
// the jumps to the INF and to the six sections.
#pragma once

#include <QTextEdit>
#include <array>

#include "setup/report.h"

class QMenu;
class QAction;

namespace vornix {

struct MenuMetrics;

class ReportView : public QTextEdit {
  Q_OBJECT
 public:
  explicit ReportView(QWidget* parent = nullptr);

  /// Replaces the document by the report (an empty report empties it).
  void showReport(const Report& report);
  void clearReport();
  const TReportAnchors& anchors() const { return m_anchors; }
  int lineCount() const;

  /// The report's menu items, in menu order: Cancel, Copy selection, Select
  /// All, DeSelect All, beginning, end, INF, then the six sections.
  QMenu* menu() const { return m_menu; }
  QAction* action(int index) const { return m_items.at(static_cast<size_t>(index)); }
  static constexpr int kCancel = 0, kCopy = 1, kSelectAll = 2, kDeselectAll = 3, kBegin = 4, kEnd = 5,
                       kInf = 6, kFirstSection = 7;
  static constexpr int kItemCount = 13;

  /// Enables "Copy selection" and "DeSelect All" for a click at `pos` (viewport coordinates).
  void prepareMenu(const QPoint& pos);
  /// Jumps to anchor `number`: 0 the INF, 1..6 the sections.
  void gotoAnchor(int number);
  void gotoBeginning();
  void gotoEnd();
  /// Index of the first line whose top is visible.
  int firstVisibleLine() const;
  /// The INF text with CR LF line ends, selection cleared and caret at the start.
  QString infSelectionText();
  /// Copies the INF range to the clipboard as rich and plain text.
  void copyInf(const QString& plainText);
  void applyMenuMetrics(const MenuMetrics& metrics);

 private:
  void setCaret(int position);

  TReportAnchors m_anchors;
  QMenu* m_menu = nullptr;
  std::array<QAction*, kItemCount> m_items{};
};

}  // namespace vornix
