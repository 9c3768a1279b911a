#include "ui/pictures.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace vornix {
namespace {

struct Look {
  QColor fill;
  QString glyph;
};

Look LookOf(Picture p) {
  switch (p) {
    case Picture::Open: return {QColor(230, 180, 60), ""};
    case Picture::Previous: return {QColor(70, 130, 200), ""};
    case Picture::Next: return {QColor(70, 130, 200), ""};
    case Picture::SaveRtf: return {QColor(40, 90, 170), "RTF"};
    case Picture::SaveInf: return {QColor(40, 130, 90), "INF"};
    case Picture::SaveReg: return {QColor(150, 60, 150), "REG"};
    case Picture::CopyInf: return {QColor(120, 100, 60), "INF"};
    case Picture::Extract: return {QColor(170, 90, 40), ""};
    case Picture::ExtractSelection: return {QColor(170, 90, 40), "Sel"};
    case Picture::FolderNames: return {QColor(60, 140, 60), ""};
    case Picture::Signature: return {QColor(0, 0, 128), "CE"};
    case Picture::Xml: return {QColor(150, 60, 150), "XML"};
    case Picture::Links: return {QColor(40, 120, 180), "www"};
    case Picture::About: return {QColor(60, 150, 60), "?"};
    case Picture::History: return {QColor(110, 110, 110), "H"};
    case Picture::Quit: return {QColor(190, 40, 40), ""};
    case Picture::SetupDll: return {QColor(200, 30, 30), "DLL"};
    case Picture::FileGeneric: return {QColor(255, 255, 255), ""};
    case Picture::TabGeneral: return {QColor(70, 130, 200), "i"};
    case Picture::TabStrings: return {QColor(120, 100, 60), "S"};
    case Picture::TabDirs: return {QColor(230, 180, 60), "D"};
    case Picture::TabFiles: return {QColor(40, 130, 90), "F"};
    case Picture::TabHives: return {QColor(150, 60, 150), "H"};
    case Picture::TabKeys: return {QColor(170, 90, 40), "K"};
    case Picture::TabShortcuts: return {QColor(40, 120, 180), "L"};
    case Picture::TabReport: return {QColor(0, 0, 128), "R"};
    case Picture::Notepad: return {QColor(255, 255, 255), ""};
    case Picture::Explore: return {QColor(230, 180, 60), ""};
    case Picture::Cancel: return {QColor(200, 40, 40), ""};
    case Picture::Forbidden: return {QColor(220, 20, 20), ""};
    case Picture::Infos: return {QColor(40, 100, 200), "i"};
    case Picture::InfosGrey: return {QColor(150, 150, 150), "i"};
    case Picture::Bin: return {QColor(120, 130, 140), ""};
  }
  return {Qt::gray, ""};
}

void DrawArrow(QPainter& g, const QRectF& r, bool left) {
  QPainterPath path;
  const qreal cx = r.center().x(), cy = r.center().y(), w = r.width() * 0.32, h = r.height() * 0.3;
  if (left) {
    path.moveTo(cx - w, cy);
    path.lineTo(cx, cy - h);
    path.lineTo(cx, cy + h);
  } else {
    path.moveTo(cx + w, cy);
    path.lineTo(cx, cy - h);
    path.lineTo(cx, cy + h);
  }
  path.closeSubpath();
  g.fillPath(path, Qt::white);
  g.fillRect(QRectF(left ? cx : cx - w * 0.9, cy - h * 0.35, w * 0.9, h * 0.7), Qt::white);
}

void DrawFolder(QPainter& g, const QRectF& r, const QColor& c) {
  QRectF body(r.left() + r.width() * 0.12, r.top() + r.height() * 0.3, r.width() * 0.76, r.height() * 0.5);
  g.setBrush(c.lighter(130));
  g.setPen(QPen(c.darker(160), 1));
  g.drawRect(QRectF(body.left(), body.top() - r.height() * 0.1, body.width() * 0.4, r.height() * 0.12));
  g.drawRect(body);
}

// The words on a disk's label or a clipboard's sheet, dark on white.
void DrawSmallGlyph(QPainter& g, const QRectF& area, const QString& glyph) {
  QFont font = g.font();
  font.setBold(true);
  font.setPixelSize(qMax(5, static_cast<int>(area.height() * 0.8)));
  font.setStretch(QFont::Condensed);
  g.setFont(font);
  g.setPen(QColor(30, 30, 30));
  g.drawText(area, Qt::AlignCenter, glyph);
}

// Saving: a diskette with the format on its label.
void DrawDisk(QPainter& g, const QRectF& r, const QColor& c, const QString& glyph) {
  g.setPen(QPen(c.darker(160), 1));
  g.setBrush(c);
  g.drawRoundedRect(r, r.width() * 0.1, r.width() * 0.1);
  const qreal w = r.width(), h = r.height();
  g.setBrush(QColor(225, 225, 225));
  g.setPen(Qt::NoPen);
  g.drawRect(QRectF(r.left() + w * 0.25, r.top() + 1, w * 0.45, h * 0.3));
  g.setBrush(c.darker(140));
  g.drawRect(QRectF(r.left() + w * 0.52, r.top() + h * 0.05, w * 0.1, h * 0.2));
  const QRectF label(r.left() + w * 0.12, r.top() + h * 0.45, w * 0.76, h * 0.48);
  g.setBrush(Qt::white);
  g.drawRect(label);
  DrawSmallGlyph(g, label, glyph);
}

// Copying: a clipboard holding a sheet with the format on it.
void DrawClipboard(QPainter& g, const QRectF& r, const QColor& c, const QString& glyph) {
  const qreal w = r.width(), h = r.height();
  g.setPen(QPen(c.darker(160), 1));
  g.setBrush(c);
  g.drawRoundedRect(QRectF(r.left() + w * 0.08, r.top() + h * 0.08, w * 0.84, h * 0.92), w * 0.1, w * 0.1);
  const QRectF sheet(r.left() + w * 0.18, r.top() + h * 0.24, w * 0.64, h * 0.68);
  g.setPen(Qt::NoPen);
  g.setBrush(Qt::white);
  g.drawRect(sheet);
  g.setBrush(QColor(90, 90, 90));
  g.drawRoundedRect(QRectF(r.left() + w * 0.32, r.top(), w * 0.36, h * 0.18), 1.5, 1.5);
  DrawSmallGlyph(g, sheet.adjusted(0, sheet.height() * 0.3, 0, 0), glyph);
}

}  // namespace

QPixmap DrawPicture(Picture picture, int size, bool on) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter g(&pm);
  g.setRenderHint(QPainter::Antialiasing);
  const Look look = LookOf(picture);
  const QRectF r(1, 1, size - 2, size - 2);
  // A toggle's off picture keeps its colour, paler, so it never reads as disabled.
  const QColor fill = on ? look.fill : look.fill.lighter(150);

  switch (picture) {
    case Picture::Open:
    case Picture::TabDirs: DrawFolder(g, r, fill); break;
    case Picture::SaveRtf:
    case Picture::SaveInf:
    case Picture::SaveReg: DrawDisk(g, r, fill, look.glyph); return pm;
    case Picture::CopyInf: DrawClipboard(g, r, fill, look.glyph); return pm;
    case Picture::Notepad: {
      // A sheet of ruled paper under its binding.
      const QRectF sheet(r.left() + size * 0.16, r.top() + size * 0.1, size * 0.66, size * 0.82);
      g.setPen(QPen(QColor(90, 90, 90), 1));
      g.setBrush(Qt::white);
      g.drawRect(sheet);
      g.setPen(QPen(QColor(70, 110, 200), qMax(1.0, size / 24.0)));
      for (int k = 1; k <= 4; ++k) {
        const qreal y = sheet.top() + sheet.height() * (0.2 + 0.17 * k);
        g.drawLine(QPointF(sheet.left() + size * 0.08, y), QPointF(sheet.right() - size * 0.08, y));
      }
      g.setPen(Qt::NoPen);
      g.setBrush(QColor(60, 60, 60));
      g.drawRect(QRectF(sheet.left(), sheet.top(), sheet.width(), size * 0.12));
      return pm;
    }
    case Picture::Explore: {
      // A folder under a magnifying glass: pick a program to look with.
      DrawFolder(g, QRectF(r.left(), r.top() + size * 0.08, size * 0.8, size * 0.8), fill);
      const QPointF centre(r.left() + size * 0.6, r.top() + size * 0.55);
      g.setPen(QPen(QColor(40, 40, 40), qMax(1.5, size / 10.0), Qt::SolidLine, Qt::RoundCap));
      g.drawLine(centre + QPointF(size * 0.14, size * 0.14), centre + QPointF(size * 0.34, size * 0.34));
      g.setPen(QPen(QColor(40, 40, 40), qMax(1.0, size / 16.0)));
      g.setBrush(QColor(200, 230, 255, 200));
      g.drawEllipse(centre, size * 0.2, size * 0.2);
      return pm;
    }
    case Picture::Cancel:
    case Picture::Forbidden:
    case Picture::Infos:
    case Picture::InfosGrey: {
      g.setPen(QPen(fill.darker(150), 1));
      g.setBrush(fill);
      g.drawEllipse(r);
      g.setPen(QPen(Qt::white, qMax(1.5, size / 8.0), Qt::SolidLine, Qt::RoundCap));
      const qreal m = size * 0.3;
      if (picture == Picture::Cancel) {
        g.drawLine(QPointF(r.left() + m, r.top() + m), QPointF(r.right() - m, r.bottom() - m));
        g.drawLine(QPointF(r.right() - m, r.top() + m), QPointF(r.left() + m, r.bottom() - m));
      } else if (picture == Picture::Forbidden) {
        g.setPen(Qt::NoPen);
        g.setBrush(Qt::white);
        g.drawRect(QRectF(r.left() + size * 0.2, r.center().y() - size * 0.1, r.width() - size * 0.4, size * 0.2));
      }
      break;
    }
    case Picture::Bin: {
      // A waste bin with its lid.
      const qreal w = r.width(), h = r.height();
      QPainterPath body;
      body.moveTo(r.left() + w * 0.2, r.top() + h * 0.28);
      body.lineTo(r.right() - w * 0.2, r.top() + h * 0.28);
      body.lineTo(r.right() - w * 0.27, r.bottom());
      body.lineTo(r.left() + w * 0.27, r.bottom());
      body.closeSubpath();
      g.setPen(QPen(fill.darker(170), 1));
      g.setBrush(fill.lighter(140));
      g.drawPath(body);
      g.setPen(QPen(fill.darker(170), qMax(1.0, size / 20.0)));
      for (qreal x : {0.38, 0.5, 0.62})
        g.drawLine(QPointF(r.left() + w * x, r.top() + h * 0.38), QPointF(r.left() + w * x, r.bottom() - h * 0.08));
      g.setBrush(fill);
      g.drawRoundedRect(QRectF(r.left() + w * 0.12, r.top() + h * 0.14, w * 0.76, h * 0.12), 1.5, 1.5);
      g.drawRect(QRectF(r.left() + w * 0.4, r.top() + h * 0.05, w * 0.2, h * 0.09));
      return pm;
    }
    case Picture::FileGeneric: {
      QPainterPath page;
      page.moveTo(r.left() + size * 0.2, r.top());
      page.lineTo(r.right() - size * 0.3, r.top());
      page.lineTo(r.right() - size * 0.1, r.top() + size * 0.2);
      page.lineTo(r.right() - size * 0.1, r.bottom());
      page.lineTo(r.left() + size * 0.2, r.bottom());
      page.closeSubpath();
      g.setPen(QPen(QColor(90, 90, 90), 1));
      g.setBrush(Qt::white);
      g.drawPath(page);
      return pm;
    }
    default:
      g.setPen(QPen(fill.darker(150), 1));
      g.setBrush(fill);
      g.drawRoundedRect(r, size * 0.18, size * 0.18);
      break;
  }

  switch (picture) {
    case Picture::Previous: DrawArrow(g, r, true); break;
    case Picture::Next: DrawArrow(g, r, false); break;
    case Picture::Extract:
    case Picture::ExtractSelection: {
      // An arrow coming out of a box.
      QPainterPath arrow;
      const qreal cx = r.center().x();
      arrow.moveTo(cx, r.top() + size * 0.12);
      arrow.lineTo(cx + size * 0.2, r.top() + size * 0.38);
      arrow.lineTo(cx - size * 0.2, r.top() + size * 0.38);
      arrow.closeSubpath();
      g.fillPath(arrow, Qt::white);
      g.fillRect(QRectF(cx - size * 0.07, r.top() + size * 0.36, size * 0.14, size * 0.25), Qt::white);
      break;
    }
    case Picture::FolderNames: {
      // Down (on) puts every file in one folder: a flat line. Up (off) keeps
      // the device folders: a small tree.
      g.setPen(QPen(Qt::white, qMax(1.0, size / 12.0)));
      const qreal x = r.left() + size * 0.28;
      if (!on) {
        g.drawLine(QPointF(x, r.top() + size * 0.2), QPointF(x, r.bottom() - size * 0.2));
        g.drawLine(QPointF(x, r.top() + size * 0.45), QPointF(r.right() - size * 0.2, r.top() + size * 0.45));
        g.drawLine(QPointF(x, r.bottom() - size * 0.2), QPointF(r.right() - size * 0.2, r.bottom() - size * 0.2));
      } else {
        g.drawLine(QPointF(x, r.center().y()), QPointF(r.right() - size * 0.2, r.center().y()));
      }
      break;
    }
    case Picture::Quit: {
      g.setPen(QPen(Qt::white, qMax(1.5, size / 9.0)));
      const qreal m = size * 0.3;
      g.drawLine(QPointF(r.left() + m, r.top() + m), QPointF(r.right() - m, r.bottom() - m));
      g.drawLine(QPointF(r.right() - m, r.top() + m), QPointF(r.left() + m, r.bottom() - m));
      break;
    }
    default: break;
  }

  QString glyph = look.glyph;
  if (picture == Picture::Signature && !on) glyph = "--";
  if (!glyph.isEmpty()) {
    QFont font = g.font();
    font.setBold(true);
    font.setPixelSize(qMax(6, static_cast<int>(size * (glyph.size() > 2 ? 0.36 : 0.55))));
    g.setFont(font);
    g.setPen(picture == Picture::FileGeneric ? Qt::black : Qt::white);
    g.drawText(r, Qt::AlignCenter, glyph);
  }
  return pm;
}

// The disabled look: grey and pale, whatever the colour.
QPixmap Greyed(const QPixmap& pm) {
  QImage image = pm.toImage().convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const int grey = 128 + qGray(line[x]) / 2;
      line[x] = qRgba(grey, grey, grey, qAlpha(line[x]));
    }
  }
  return QPixmap::fromImage(image);
}

QIcon PictureIcon(Picture picture, bool toggle) {
  QIcon icon;
  for (int size : {16, 24, 32}) {
    if (toggle) {
      icon.addPixmap(DrawPicture(picture, size, true), QIcon::Normal, QIcon::On);
      icon.addPixmap(DrawPicture(picture, size, false), QIcon::Normal, QIcon::Off);
      icon.addPixmap(Greyed(DrawPicture(picture, size, true)), QIcon::Disabled, QIcon::On);
      icon.addPixmap(Greyed(DrawPicture(picture, size, false)), QIcon::Disabled, QIcon::Off);
    } else {
      icon.addPixmap(DrawPicture(picture, size, true), QIcon::Normal);
      icon.addPixmap(Greyed(DrawPicture(picture, size, true)), QIcon::Disabled);
    }
  }
  return icon;
}

void StyleToolbar(QToolBar* toolbar) {
  toolbar->setIconSize(QSize(24, 24));
  toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  toolbar->setStyleSheet("QToolBar { spacing: 0px; } QToolButton { min-width: 27px; min-height: 26px; }");
}

QAction* AddToolButton(QToolBar* toolbar, const char* name, Picture picture, bool toggle) {
  QAction* a = toolbar->addAction(PictureIcon(picture, toggle), QString());
  a->setObjectName(name);
  a->setCheckable(toggle);
  return a;
}

}  // namespace vornix
