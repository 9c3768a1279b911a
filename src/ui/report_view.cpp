#include "ui/report_view.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>

#include "presentation/catalogue.h"
#include "ui/colours.h"
#include "ui/menu_metrics.h"
#include "ui/qt_text.h"

namespace vornix {
namespace {

QList<QTextOption::Tab> TabsInPixels(const std::vector<int>& points, int dpi) {
  QList<QTextOption::Tab> tabs;
  for (int pt : points) tabs.append(QTextOption::Tab(pt * dpi / 72.0, QTextOption::LeftTab));
  return tabs;
}

QFont FontOf(const ReportFont& f, bool fixedPitch) {
  QFont font(QString::fromStdString(f.Face));
  font.setPointSizeF(f.Points);
  if (fixedPitch) {
    font.setStyleHint(QFont::TypeWriter);
    font.setFamilies({QString::fromStdString(f.Face), "Liberation Mono", "DejaVu Sans Mono", "monospace"});
  } else {
    font.setStyleHint(QFont::SansSerif);
    font.setFamilies({QString::fromStdString(f.Face), "DejaVu Sans"});
  }
  return font;
}

// Faces for the report's body, best first: the design's face where the
// system has it, narrow faces next (the design's face is narrow), then the
// common sans faces.
constexpr const char* kBodyFaces[] = {"MS Sans Serif", "Microsoft Sans Serif",  "Liberation Sans Narrow",
                                      "Arial Narrow",  "DejaVu Sans Condensed", "Liberation Sans",
                                      "Arial",         "Nimbus Sans",           "DejaVu Sans"};
// Sizes tried, in the half points RTF can state; the design's 8 points first.
constexpr double kBodySizes[] = {8, 7.5, 7, 6.5, 6};

// Whether every cell of every heading ends before the next tab stop: a cell
// that runs past its stop sends the following tab to the stop after, and
// every later heading one column to the right.
bool HeadingsFit(const std::vector<ReportParagraph>& headings, const QFont& body, const QPaintDevice* device) {
  QFont bold = body;
  bold.setBold(true);
  const QFontMetricsF plain(body, device), strong(bold, device);
  const double dpi = device ? device->logicalDpiX() : 96;
  for (const ReportParagraph& h : headings) {
    QStringList cells = ToQt(h.Value).split('\t');
    cells.prepend(ToQt(h.Label));
    for (int i = 0; i < cells.size() && i < static_cast<int>(h.TabStops.size()); ++i) {
      const double start = i == 0 ? 0 : h.TabStops[static_cast<size_t>(i - 1)] * dpi / 72.0;
      const double stop = h.TabStops[static_cast<size_t>(i)] * dpi / 72.0;
      const double width = (i == 0 ? strong : plain).horizontalAdvance(cells[i]);
      if (start + width > stop - 1) return false;
    }
  }
  return true;
}

}  // namespace

ReportFont ReportView::FitBodyFont(const std::vector<ReportParagraph>& headings, const QPaintDevice* device) {
  ReportFont best{"", 0};
  for (const char* face : kBodyFaces) {
    if (!QFontDatabase::hasFamily(QString::fromLatin1(face))) continue;
    for (double size : kBodySizes) {
      if (size <= best.Points) break;  // an earlier face fits at this size already
      QFont font(QString::fromLatin1(face));
      font.setPointSizeF(size);
      if (HeadingsFit(headings, font, device)) {
        best = {face, size};
        break;
      }
    }
  }
  if (best.Face.empty()) {
    // Not one of the faces known here: the system's sans face, as small as the list goes.
    const QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    best = {QFontInfo(font).family().toStdString(), kBodySizes[std::size(kBodySizes) - 1]};
    for (double size : kBodySizes) {
      QFont sized = font;
      sized.setPointSizeF(size);
      if (HeadingsFit(headings, sized, device)) {
        best.Points = size;
        break;
      }
    }
  }
  return best;
}

ReportView::ReportView(QWidget* parent) : QTextEdit(parent) {
  m_bodyFontChoice = FitBodyFont(ReportHeadings(), this);
  m_bodyFont = FontOf(m_bodyFontChoice, false);
  m_labelColour = QColor(0, 0, 128);
  setReadOnly(true);
  setLineWrapMode(QTextEdit::NoWrap);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setUndoRedoEnabled(false);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setContextMenuPolicy(Qt::CustomContextMenu);

  m_menu = new QMenu(this);
  const MainStr captions[kItemCount] = {MainStr::MenuCancel,       MainStr::MenuCopySelection, MainStr::MenuSelectAll,
                                        MainStr::MenuDeselectAll,  MainStr::MenuGotoBeginning, MainStr::MenuGotoEnd,
                                        MainStr::MenuGotoInf,      MainStr::MenuGotoStrings,   MainStr::MenuGotoDirs,
                                        MainStr::MenuGotoFiles,    MainStr::MenuGotoHives,     MainStr::MenuGotoKeys,
                                        MainStr::MenuGotoShortcuts};
  for (int i = 0; i < kItemCount; ++i) {
    // Separators after Cancel, Copy, DeSelect All, end and the INF item.
    if (i == kCopy || i == kSelectAll || i == kBegin || i == kInf || i == kFirstSection) m_menu->addSeparator();
    m_items[static_cast<size_t>(i)] = m_menu->addAction(ToQt(Str(captions[i])));
  }
  for (int i = kInf; i < kItemCount; ++i) {
    action(i)->setEnabled(false);
    connect(action(i), &QAction::triggered, this, [this, i] { gotoAnchor(i - kInf); });
  }
  connect(action(kCopy), &QAction::triggered, this, &QTextEdit::copy);
  connect(action(kSelectAll), &QAction::triggered, this, &QTextEdit::selectAll);
  connect(action(kDeselectAll), &QAction::triggered, this, [this] {
    QTextCursor c = textCursor();
    c.setPosition(c.selectionStart());
    setTextCursor(c);
  });
  connect(action(kBegin), &QAction::triggered, this, &ReportView::gotoBeginning);
  connect(action(kEnd), &QAction::triggered, this, &ReportView::gotoEnd);
  connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    prepareMenu(pos);
    m_menu->exec(viewport()->mapToGlobal(pos) + QPoint(20, 0));
  });
}

void ReportView::clearReport() {
  QTextEdit::document()->clear();
  m_documentPending = false;
  m_anchors = TReportAnchors{};
  m_shown = std::make_shared<const Report>();
  m_back.clear();
  m_forward.clear();
}

void ReportView::showReport(std::shared_ptr<const Report> shown) {
  m_shown = shown ? std::move(shown) : std::make_shared<const Report>();
  const Report& report = *m_shown;
  m_anchors = report.Anchors;
  m_back.clear();
  m_forward.clear();
  updateLabelColour();
  // The items follow the report given, not the building of its document: a
  // file refused after it turns the INF item off, and the document built
  // later must leave it so.
  action(kInf)->setEnabled(!report.empty());
  for (int s = 0; s < TReportAnchors::kSections; ++s) action(kFirstSection + s)->setEnabled(m_anchors.hasSection(s));
  if (isVisible()) {
    render(false);
    return;
  }
  // The previous package's text goes now; nothing may read it as this one's.
  QTextEdit::document()->clear();
  m_documentPending = true;
}

void ReportView::ensureDocument() {
  if (m_documentPending) render(false);
}

QTextDocument* ReportView::document() const {
  // Building is no change of what the view shows: the report was given already.
  const_cast<ReportView*>(this)->ensureDocument();
  return QTextEdit::document();
}

QString ReportView::toPlainText() const {
  const_cast<ReportView*>(this)->ensureDocument();
  return QTextEdit::toPlainText();
}

void ReportView::updateLabelColour() {
  const Report& r = *m_shown;
  m_labelColour = Readable(QColor(r.LabelRed, r.LabelGreen, r.LabelBlue), palette().color(QPalette::Base));
}

void ReportView::showEvent(QShowEvent* event) {
  ensureDocument();
  QTextEdit::showEvent(event);
}

void ReportView::render(bool keepPlace) {
  m_documentPending = false;
  const Place place = here();
  const Report& report = *m_shown;
  setUpdatesEnabled(false);
  // Filled away from the view, so the view lays it out once, not per line.
  auto* doc = new QTextDocument(this);
  doc->setUndoRedoEnabled(false);
  doc->setDefaultFont(QTextEdit::document()->defaultFont());
  const int dpi = logicalDpiX();

  // Body and INF text take the palette's colour, so they read on a dark
  // desktop too; the saved RTF keeps the design's black.
  updateLabelColour();
  QTextCharFormat body;
  body.setFont(m_bodyFont);
  QTextCharFormat label = body;
  label.setFontWeight(QFont::Bold);
  label.setForeground(m_labelColour);
  QTextCharFormat inf;
  inf.setFont(FontOf(report.InfFont, true));

  QTextCursor c(doc);
  c.beginEditBlock();
  for (size_t i = 0; i < report.Paragraphs.size(); ++i) {
    const ReportParagraph& p = report.Paragraphs[i];
    QTextBlockFormat block;
    if (!p.TabStops.empty()) block.setTabPositions(TabsInPixels(p.TabStops, dpi));
    const QTextCharFormat& first = p.Kind == ReportParagraphKind::Inf ? inf : body;
    if (i == 0) {
      c.setBlockFormat(block);
      c.setBlockCharFormat(first);
    } else {
      c.insertBlock(block, first);
    }
    switch (p.Kind) {
      case ReportParagraphKind::Labelled:
        c.insertText(ToQt(p.Label), label);
        c.insertText(QStringLiteral("\t") + ToQt(p.Value), body);
        break;
      case ReportParagraphKind::Inf: c.insertText(ToQt(p.Value), inf); break;
      case ReportParagraphKind::Blank: break;
    }
  }
  c.endEditBlock();
  // The view deletes the document it made itself; the ones made here are ours.
  QTextDocument* old = QTextEdit::document();
  const bool ours = old->parent() == this;
  setDocument(doc);
  if (ours) delete old;

  if (keepPlace) {
    restore(place);
  } else {
    setCaret(0);
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
  }
  setUpdatesEnabled(true);
}

void ReportView::changeEvent(QEvent* event) {
  QTextEdit::changeEvent(event);
  if (event->type() != QEvent::PaletteChange) return;
  updateLabelColour();
  if (!m_shown->empty() && !m_documentPending) render(true);
}

ReportView::Place ReportView::here() const { return {textCursor().position(), verticalScrollBar()->value()}; }

void ReportView::restore(const Place& place) {
  setCaret(place.caret);
  verticalScrollBar()->setValue(place.scroll);
}

void ReportView::rememberJump() {
  m_back.push_back(here());
  m_forward.clear();
}

bool ReportView::goBack() {
  ensureDocument();
  if (m_back.empty()) return false;
  m_forward.push_back(here());
  restore(m_back.back());
  m_back.pop_back();
  return true;
}

bool ReportView::goForward() {
  ensureDocument();
  if (m_forward.empty()) return false;
  m_back.push_back(here());
  restore(m_forward.back());
  m_forward.pop_back();
  return true;
}

int ReportView::lineCount() const {
  if (m_documentPending) {
    // What the document will hold, counted without building it: one block
    // a paragraph, and a single empty paragraph is an empty document.
    const std::vector<ReportParagraph>& p = m_shown->Paragraphs;
    return p.empty() || (p.size() == 1 && p[0].text().empty()) ? 0 : static_cast<int>(p.size());
  }
  const QTextDocument* doc = QTextEdit::document();
  return doc->isEmpty() ? 0 : doc->blockCount();
}

void ReportView::setCaret(int position) {
  QTextCursor c(document());
  c.setPosition(qBound(0, position, qMax(0, document()->characterCount() - 1)));
  setTextCursor(c);
  ensureCursorVisible();
}

void ReportView::prepareMenu(const QPoint& pos) {
  ensureDocument();
  const int index = cursorForPosition(pos).position();
  const QTextCursor c = textCursor();
  const int start = c.selectionStart(), length = c.selectionEnd() - c.selectionStart();
  action(kCopy)->setEnabled(length > 0 && index >= start && index < start + length);
  action(kDeselectAll)->setEnabled(length > 0);
}

void ReportView::gotoAnchor(int number) {
  ensureDocument();
  int start = 0, line = 0;
  if (number == 0) {
    start = m_anchors.InfStart;
    line = m_anchors.InfLine;
  } else if (number >= 1 && number <= TReportAnchors::kSections) {
    start = m_anchors.SectionStart[static_cast<size_t>(number - 1)];
    line = m_anchors.SectionLine[static_cast<size_t>(number - 1)];
  }
  if (line < 0 || start < 0) return;
  rememberJump();
  setCaret(start);
  if (line == firstVisibleLine()) return;
  const QTextBlock block = document()->findBlockByNumber(line);
  if (!block.isValid()) return;
  const qreal top = document()->documentLayout()->blockBoundingRect(block).top();
  verticalScrollBar()->setValue(static_cast<int>(top));
}

void ReportView::gotoBeginning() {
  ensureDocument();
  rememberJump();
  setCaret(0);
  verticalScrollBar()->setValue(0);
}

void ReportView::gotoEnd() {
  ensureDocument();
  rememberJump();
  setCaret(document()->lastBlock().position());
}

int ReportView::firstVisibleLine() const {
  const qreal y = verticalScrollBar()->value() + document()->documentMargin();
  const int pos = document()->documentLayout()->hitTest(QPointF(document()->documentMargin() + 1, y + 1), Qt::FuzzyHit);
  return document()->findBlock(qMax(0, pos)).blockNumber();
}

QString ReportView::infSelectionText() {
  QTextCursor c(document());
  c.setPosition(m_anchors.InfStart);
  c.setPosition(m_anchors.InfStart + m_anchors.InfLength, QTextCursor::KeepAnchor);
  QString text = c.selection().toPlainText();
  text.replace(QChar('\n'), QStringLiteral("\r\n"));
  setCaret(0);
  return text;
}

void ReportView::copyInf(const QString& plainText) {
  QTextCursor c(document());
  c.setPosition(m_anchors.InfStart);
  c.setPosition(m_anchors.InfStart + m_anchors.InfLength, QTextCursor::KeepAnchor);
  auto* mime = new QMimeData;
  mime->setHtml(c.selection().toHtml());
  mime->setText(plainText);
  QApplication::clipboard()->setMimeData(mime);
  setCaret(0);
}

void ReportView::applyMenuMetrics(const MenuMetrics& metrics) {
  m_menu->setStyleSheet(QStringLiteral("QMenu::item { min-height: %1px; max-height: %1px; padding-top: 0px; "
                                       "padding-bottom: 0px; padding-left: %2px; padding-right: 12px; }")
                            .arg(metrics.MenuItemHeight)
                            .arg(metrics.MenuIconSize + 8));
}

}  // namespace vornix
