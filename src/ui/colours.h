// The design's text colours (navy labels, teal, blue and purple cells, red
// for the setup DLL) were chosen for a white background. On a dark desktop
// palette they are lightened just enough to stay readable.
#pragma once

#include <QColor>

namespace vornix {

/// Contrast ratio of two colours as the accessibility guidelines define it (1 to 21).
double ContrastRatio(const QColor& a, const QColor& b);

/// True when text on this background is light.
bool IsDark(const QColor& background);

/// The ratio the lightened colours reach: the guidelines' level for body text.
inline constexpr double kReadableContrast = 4.5;

/// `design` itself on a light background; on a dark one the same hue mixed
/// with white until it reads at kReadableContrast.
QColor Readable(const QColor& design, const QColor& background);

}  // namespace vornix
