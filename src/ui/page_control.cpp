#include "ui/page_control.h"

#include <QTabBar>

namespace vornix {
namespace {

// Each heading is the width divided by the number of tabs, less one. They
// may still shrink below that to their elided text, so they never hold the
// window wider than the screen.
class EqualTabBar : public QTabBar {
 public:
  using QTabBar::QTabBar;

 protected:
  QSize tabSizeHint(int index) const override {
    QSize size = QTabBar::tabSizeHint(index);
    if (m_measuringMinimum) return size;
    if (const QWidget* pages = parentWidget(); pages && count() > 0)
      size.setWidth(qMax(minimumTabSizeHint(index).width(), pages->width() / count() - 1));
    return size;
  }
  // Qt measures the minimum through tabSizeHint with the text elided: that
  // measure is the plain one.
  QSize minimumTabSizeHint(int index) const override {
    m_measuringMinimum = true;
    const QSize size = QTabBar::minimumTabSizeHint(index);
    m_measuringMinimum = false;
    return size;
  }

 private:
  mutable bool m_measuringMinimum = false;
};

}  // namespace

PageControl::PageControl(QWidget* parent) : QTabWidget(parent) {
  setTabBar(new EqualTabBar(this));
  setUsesScrollButtons(false);
  tabBar()->setExpanding(true);
  tabBar()->setElideMode(Qt::ElideRight);
  setIconSize(QSize(16, 16));
}

void PageControl::resizeEvent(QResizeEvent* event) {
  QTabWidget::resizeEvent(event);
  // The headings take their widths from the new width; setting the elide
  // mode is what makes a tab bar lay its tabs out again.
  tabBar()->setElideMode(Qt::ElideRight);
}

}  // namespace vornix
