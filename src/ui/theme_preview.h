// The slow half of the open dialog's preview: the theme analysis, the
// extraction of the pictures and their decoding. It runs on a pool thread and
// hands back small, ready-drawn images, so a huge or broken picture never
// holds up the dialog; the dialog's thread only paints what comes back.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <array>
#include <filesystem>
#include <functional>
#include <string>

#include "theme/picture_info.h"
#include "theme/theme.h"

class QByteArray;

namespace vornix {

/// Where an image of w x h lies in a box of bw x bh: its own size when it
/// fits, else scaled down keeping its ratio (sizes truncated), centred.
QRect FitIntoBox(int w, int h, int bw, int bh);

/// `image` drawn at `size`: the background, the picture smoothly scaled into
/// the inner rectangle and a 1-pixel blue frame round the whole.
QImage DrawFramed(const QImage& image, QSize size, QColor background);

/// Decodes picture bytes; a null image when the file is cut short, announces
/// more than it holds, or cannot be decoded.
QImage DecodePicture(const QByteArray& bytes);

enum ThemeSlot { kTodayPortrait, kStartPortrait, kTodayLandscape, kStartLandscape, kSlotCount };

struct PreviewPicture {
  std::string CabName;        // empty when the theme has no such image
  PictureInfo Header;         // format and depth as the file announces them
  bool Loaded = false;        // extracted and decoded whole
  int Width = 0, Height = 0;  // decoded size; 0 when not loaded
  QImage Drawn;               // fitted into the picture box and framed
  QPoint Offset;              // where Drawn sits in the box
};

struct ThemePreview {
  bool Analysed = false;   // its description was found and read
  ThemeAnalysis Analysis;  // when not, only which descriptions it holds
  std::array<PreviewPicture, kSlotCount> Pictures;
};

/// True once the caller no longer wants the result (a newer selection).
using Cancelled = std::function<bool()>;

/// Analyses a theme package and decodes its four pictures into boxes of
/// `box`. Everything extracted goes below `work`, a folder of this run's own
/// that the caller removes.
ThemePreview BuildThemePreview(const std::filesystem::path& package, const std::filesystem::path& work, QSize box,
                               QColor background, const Cancelled& cancelled);

/// One picture for the larger preview window: extracted again, decoded, and
/// scaled to fit a window no larger than `maxClient`.
struct WindowPicture {
  QSize Client;   // the window's client size
  QImage Fitted;  // the picture at its fitted size
  QRect Place;    // where it lies in the picture box
};
WindowPicture LoadWindowPicture(const std::filesystem::path& package, const std::string& cabName,
                                const std::filesystem::path& work, QSize maxClient, int chrome);

}  // namespace vornix
