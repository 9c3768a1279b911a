// The report tab: the formatted report shown read-only, its context menu and
// the jumps to the INF and to the six sections.
#pragma once

#include <QTextEdit>
#include <array>
#include <vector>

#include "presentation/report.h"

class QMenu;
class QAction;

namespace vornix {

struct MenuMetrics;

class ReportView : public QTextEdit {
  Q_OBJECT
 public:
  explicit ReportView(QWidget* parent = nullptr);

  /// Replaces the document by the report (an empty report empties it), in
  /// the body font below and the palette's text colour.
  void showReport(const Report& report);
  /// The body face and size: the largest at which every section heading's
  /// cells fit between their tab stops, so no heading moves a column.
  const ReportFont& bodyFont() const { return m_bodySpec; }
  QFont bodyQFont() const { return m_bodyFont; }
  /// The labels' navy, lightened on a dark palette.
  QColor labelColour() const { return m_labelColour; }
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
  /// Back to where the caret was before the last jump (Alt+Left), and forward
  /// again (Alt+Right); false when there is nowhere to go.
  bool goBack();
  bool goForward();
  /// Index of the first line whose top is visible.
  int firstVisibleLine() const;
  /// The INF text with CR LF line ends, selection cleared and caret at the start.
  QString infSelectionText();
  /// Copies the INF range to the clipboard as rich and plain text.
  void copyInf(const QString& plainText);
  void applyMenuMetrics(const MenuMetrics& metrics);

  /// Measures the faces the system has against the section headings.
  static ReportFont FitBodyFont(const std::vector<ReportParagraph>& headings, const QPaintDevice* device);

 protected:
  void changeEvent(QEvent* event) override;

 private:
  struct Place {
    int caret = 0;
    int scroll = 0;
  };
  void setCaret(int position);
  Place here() const;
  void restore(const Place& place);
  void rememberJump();
  void render(bool keepPlace);

  Report m_shown;
  ReportFont m_bodySpec;
  QFont m_bodyFont;
  QColor m_labelColour;
  std::vector<Place> m_back, m_forward;
  TReportAnchors m_anchors;
  QMenu* m_menu = nullptr;
  std::array<QAction*, kItemCount> m_items{};
};

}  // namespace vornix
