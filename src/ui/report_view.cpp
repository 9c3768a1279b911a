#include "ui/report_view.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>

#include "common/catalogue.h"
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
  QFont font(QString::fromStdString(f.Face), f.Points);
  if (fixedPitch) {
    font.setStyleHint(QFont::TypeWriter);
    font.setFamilies({QString::fromStdString(f.Face), "Liberation Mono", "DejaVu Sans Mono", "monospace"});
  } else {
    font.setStyleHint(QFont::SansSerif);
    font.setFamilies({QString::fromStdString(f.Face), "Liberation Sans", "Arial", "DejaVu Sans Condensed", "DejaVu Sans"});
  }
  return font;
}

}  // namespace

ReportView::ReportView(QWidget* parent) : QTextEdit(parent) {
  setReadOnly(true);
  setLineWrapMode(QTextEdit::NoWrap);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setUndoRedoEnabled(false);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setContextMenuPolicy(Qt::CustomContextMenu);

  m_menu = new QMenu(this);
  const MainStr captions[kItemCount] = {
      MainStr::MenuCancel,      MainStr::MenuCopySelection, MainStr::MenuSelectAll, MainStr::MenuDeselectAll,
      MainStr::MenuGotoBeginning, MainStr::MenuGotoEnd,     MainStr::MenuGotoInf,   MainStr::MenuGotoStrings,
      MainStr::MenuGotoDirs,    MainStr::MenuGotoFiles,     MainStr::MenuGotoHives, MainStr::MenuGotoKeys,
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
  document()->clear();
  m_anchors = TReportAnchors{};
}

void ReportView::showReport(const Report& report) {
  setUpdatesEnabled(false);
  m_anchors = report.Anchors;
  // Filled away from the view, so the view lays it out once, not per line.
  auto* doc = new QTextDocument(this);
  doc->setUndoRedoEnabled(false);
  doc->setDefaultFont(document()->defaultFont());
  const int dpi = logicalDpiX();

  QTextCharFormat body;
  body.setFont(FontOf(report.BodyFont, false));
  body.setForeground(Qt::black);
  QTextCharFormat label = body;
  label.setFontWeight(QFont::Bold);
  label.setForeground(QColor(report.LabelRed, report.LabelGreen, report.LabelBlue));
  QTextCharFormat inf;
  inf.setFont(FontOf(report.InfFont, true));
  inf.setForeground(Qt::black);

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
      case ReportParagraphKind::Inf:
        c.insertText(ToQt(p.Value), inf);
        break;
      case ReportParagraphKind::Blank:
        break;
    }
  }
  c.endEditBlock();
  // The view deletes the document it made itself; the ones made here are ours.
  QTextDocument* old = document();
  const bool ours = old->parent() == this;
  setDocument(doc);
  if (ours) delete old;

  action(kInf)->setEnabled(!report.empty());
  for (int s = 0; s < TReportAnchors::kSections; ++s) action(kFirstSection + s)->setEnabled(m_anchors.hasSection(s));
  setCaret(0);
  setUpdatesEnabled(true);
}

int ReportView::lineCount() const { return document()->isEmpty() ? 0 : document()->blockCount(); }

void ReportView::setCaret(int position) {
  QTextCursor c(document());
  c.setPosition(qBound(0, position, qMax(0, document()->characterCount() - 1)));
  setTextCursor(c);
  ensureCursorVisible();
}

void ReportView::prepareMenu(const QPoint& pos) {
  const int index = cursorForPosition(pos).position();
  const QTextCursor c = textCursor();
  const int start = c.selectionStart(), length = c.selectionEnd() - c.selectionStart();
  action(kCopy)->setEnabled(length > 0 && index >= start && index < start + length);
  action(kDeselectAll)->setEnabled(length > 0);
}

void ReportView::gotoAnchor(int number) {
  int start = 0, line = 0;
  if (number == 0) {
    start = m_anchors.InfStart;
    line = m_anchors.InfLine;
  } else if (number >= 1 && number <= TReportAnchors::kSections) {
    start = m_anchors.SectionStart[static_cast<size_t>(number - 1)];
    line = m_anchors.SectionLine[static_cast<size_t>(number - 1)];
  }
  if (line < 0 || start < 0) return;
  setCaret(start);
  if (line == firstVisibleLine()) return;
  const QTextBlock block = document()->findBlockByNumber(line);
  if (!block.isValid()) return;
  const qreal top = document()->documentLayout()->blockBoundingRect(block).top();
  verticalScrollBar()->setValue(static_cast<int>(top));
}

void ReportView::gotoBeginning() {
  setCaret(0);
  verticalScrollBar()->setValue(0);
}

void ReportView::gotoEnd() { setCaret(document()->lastBlock().position()); }

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
