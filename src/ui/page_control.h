// The page control of the main window and of the XML viewer: its headings
// share its width equally.
#pragma once

#include <QTabWidget>

namespace vornix {

class PageControl : public QTabWidget {
 public:
  explicit PageControl(QWidget* parent = nullptr);

 protected:
  void resizeEvent(QResizeEvent* event) override;
};

}  // namespace vornix
