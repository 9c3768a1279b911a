// The report tab: the formatted report shown read-only, its context menu and
// the jumps to the INF and to the six sections. The document of a large
// package takes longer to build than the rest of the window together, so it
// is built when the tab is first shown or its text is first asked for.
#pragma once

#include <QTextEdit>
#include <array>
#include <memory>
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
  /// the body font below and the palette's text colour. The document itself
  /// is built now when the view is visible, otherwise on its first use.
  void showReport(std::shared_ptr<const Report> report);
  void showReport(const Report& report) { showReport(std::make_shared<const Report>(report)); }
  /// Builds the document of the report last given, if it waits for its first use.
  void ensureDocument();
  /// The document and its text as QTextEdit's, once built: every caller that
  /// reads the report through this view sees the report it was given.
  QTextDocument* document() const;
  QString toPlainText() const;
  /// The body face and size: the largest at which every section heading's
  /// cells fit between their tab stops, so no heading moves a column.
  const ReportFont& bodyFont() const { return m_bodyFontChoice; }
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
  static constexpr int kCancel = 0, kCopy = 1, kSelectAll = 2, kDeselectAll = 3, kBegin = 4, kEnd = 5, kInf = 6,
                       kFirstSection = 7;
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
  void showEvent(QShowEvent* event) override;

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
  void updateLabelColour();

  std::shared_ptr<const Report> m_shown = std::make_shared<const Report>();
  bool m_documentPending = false;  // m_shown is not in the document yet
  ReportFont m_bodyFontChoice;
  QFont m_bodyFont;
  QColor m_labelColour;
  std::vector<Place> m_back, m_forward;
  TReportAnchors m_anchors;
  QMenu* m_menu = nullptr;
  std::array<QAction*, kItemCount> m_items{};
};

}  // namespace vornix
