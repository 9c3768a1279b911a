// The larger preview of one theme picture: a tool window sized to the
// picture (within three quarters of the screen), closed by Escape or a click.
#pragma once

#include <QDialog>
#include <QImage>
#include <QRect>

class QFrame;

namespace vornix {

class PreviewPictureBox;

class TPreviewForm : public QDialog {
  Q_OBJECT
 public:
  /// The window's client area less the panel's client area: the single
  /// border and the border width 5 on each side.
  static constexpr int kChrome = 2 * (1 + 5);

  /// `fitted` lies at `place` in the picture box; `client` is the window's client size.
  TPreviewForm(QWidget* parent, const QImage& fitted, QRect place, QSize client);

  QFrame* panel() const { return m_panel; }
  QRect picturePlace() const { return m_place; }

 private:
  QFrame* m_panel = nullptr;
  QRect m_place;
};

}  // namespace vornix
