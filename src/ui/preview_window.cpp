#include "ui/preview_window.h"

#include <QFrame>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include "presentation/catalogue_open.h"
#include "ui/qt_text.h"

namespace vornix {

// The picture, centred; a click anywhere on it closes the window.
class PreviewPictureBox : public QWidget {
 public:
  PreviewPictureBox(QWidget* parent, const QImage& image, QRect place)
      : QWidget(parent), m_image(image), m_place(place) {
    setCursor(Qt::PointingHandCursor);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    // Centred in whatever the user resizes the window to.
    const QPoint at((width() - m_place.width()) / 2, (height() - m_place.height()) / 2);
    p.drawImage(at, m_image);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) window()->close();
  }

 private:
  QImage m_image;
  QRect m_place;
};

TPreviewForm::TPreviewForm(QWidget* parent, const QImage& fitted, QRect place, QSize client)
    : QDialog(parent, Qt::Tool | Qt::WindowCloseButtonHint | Qt::WindowTitleHint), m_place(place) {
  setObjectName("PreviewForm");
  setWindowTitle(ToQt(Str(OpenStr::Preview)));
  setSizeGripEnabled(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  m_panel = new QFrame(this);
  m_panel->setObjectName("PreviewPanel");
  m_panel->setFrameStyle(QFrame::Box | QFrame::Plain);
  m_panel->setLineWidth(1);
  m_panel->setAutoFillBackground(true);
  m_panel->setBackgroundRole(QPalette::Base);
  auto* inner = new QVBoxLayout(m_panel);
  inner->setContentsMargins(5, 5, 5, 5);
  inner->addWidget(new PreviewPictureBox(m_panel, fitted, place));
  layout->addWidget(m_panel);
  resize(client);
  // Centred on the screen the dialog's parent is on.
  if (QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(client.width() / 2, client.height() / 2));
  }
}

}  // namespace vornix
