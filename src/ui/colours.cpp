#include "ui/colours.h"

#include <algorithm>
#include <cmath>

namespace vornix {
namespace {

double Channel(int value) {
  const double c = value / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c) {
  return 0.2126 * Channel(c.red()) + 0.7152 * Channel(c.green()) + 0.0722 * Channel(c.blue());
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Mid-grey is where black and white text read equally well.
bool IsDark(const QColor& background) { return Luminance(background) < 0.18; }

QColor Readable(const QColor& design, const QColor& background) {
  if (!IsDark(background) || ContrastRatio(design, background) >= kReadableContrast) return design;
  for (int step = 1; step <= 20; ++step) {
    const double t = step / 20.0;
    auto mix = [t](int v) { return static_cast<int>(std::lround(v + t * (255 - v))); };
    const QColor lighter(mix(design.red()), mix(design.green()), mix(design.blue()));
    if (ContrastRatio(lighter, background) >= kReadableContrast) return lighter;
  }
  return QColor(Qt::white);
}

}  // namespace vornix
