#include "ui/theme_preview.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <system_error>

#include "cabfiles/cab_file.h"
#include "common/text.h"

namespace vornix {

namespace fs = std::filesystem;

namespace {

// Theme pictures are a few hundred kilobytes; anything far beyond is not
// read into memory at all.
constexpr qint64 kLargestPicture = 256 << 20;

const char* const kSlotFiles[kSlotCount] = {"today-p", "start-p", "today-l", "start-l"};

QByteArray ReadPictureFile(const fs::path& file) {
  QFile f(QString::fromStdString(file.string()));
  if (!f.open(QIODevice::ReadOnly) || f.size() > kLargestPicture) return {};
  return f.readAll();
}

// Extracts the named entries (letter case ignored, as the device does) in one
// pass, each under a fixed name in `work`, so a stored name never decides
// where anything is written.
void ExtractEntries(const fs::path& package, const fs::path& work, const std::array<std::string, kSlotCount>& names,
                    std::array<fs::path, kSlotCount>& files) {
  TCABFile cab;
  cab.CABFile = package;
  cab.TargetPath = work;
  // An entry that could not be extracted has no file: its picture is absent.
  (void)cab.Extract([&](const TCABFileEntry& e) -> std::optional<ExtractTarget> {
    const std::string lower = LowerCp1252(e.Name);
    for (int i = 0; i < kSlotCount; ++i) {
      if (names[i].empty() || !files[i].empty() || LowerCp1252(names[i]) != lower) continue;
      files[i] = work / kSlotFiles[i];
      // The same entry may fill two slots: the later ones copy the first.
      for (int j = i + 1; j < kSlotCount; ++j)
        if (!names[j].empty() && LowerCp1252(names[j]) == lower) files[j] = files[i];
      return ExtractTarget{files[i]};
    }
    return std::nullopt;
  });
}

}  // namespace

QRect FitIntoBox(int w, int h, int bw, int bh) {
  int fw = w, fh = h;
  if (w > bw || h > bh) {
    if (w <= 0 || h <= 0) {
      fw = bw;
      fh = bh;
    } else {
      const double r = static_cast<double>(w) / h;
      if (w > h) {
        fw = bw;
        fh = static_cast<int>(std::trunc(bw / r));
        if (fh > bh) {
          fh = bh;
          fw = static_cast<int>(std::trunc(r * bh));
        }
      } else {
        fh = bh;
        fw = static_cast<int>(std::trunc(r * bh));
        if (fw > bw) {
          fw = bw;
          fh = static_cast<int>(std::trunc(bw / r));
        }
      }
    }
  }
  return QRect((bw - fw) / 2, (bh - fh) / 2, fw, fh);
}

QImage DrawFramed(const QImage& image, QSize size, QColor background) {
  if (size.width() <= 0 || size.height() <= 0) return {};
  QImage out(size, QImage::Format_RGB32);
  out.fill(background);
  QPainter p(&out);
  const QRect inner(1, 1, size.width() - 2, size.height() - 2);
  if (!image.isNull() && !inner.isEmpty())
    p.drawImage(inner.topLeft(), image.scaled(inner.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  p.setPen(QColor(0, 0, 255));
  p.drawRect(0, 0, size.width() - 1, size.height() - 1);
  return out;
}

QImage DecodePicture(const QByteArray& bytes) {
  const std::string_view view(bytes.constData(), static_cast<size_t>(bytes.size()));
  // Decoders pad a cut file with grey rows; such a picture is not shown.
  if (bytes.isEmpty() || !PictureDataComplete(view)) return {};
  QByteArray copy = bytes;  // QBuffer wants a non-const array; shared, not copied
  QBuffer buffer(&copy);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  QImage image;
  if (!reader.read(&image)) return {};
  return image;
}

ThemePreview BuildThemePreview(const fs::path& package, const fs::path& work, QSize box, QColor background,
                               const Cancelled& cancelled) {
  ThemePreview out;
  Result<ThemeAnalysis> read = AnalyseTheme(package, work);
  out.Analysed = read.ok();
  out.Analysis = read ? std::move(read).value() : UnreadTheme(package);
  if (!out.Analysed || cancelled()) return out;
  const TTSKRec& rec = out.Analysis.Rec;
  const std::array<std::string, kSlotCount> names = {rec.TodayImgP, rec.StartImgP, rec.TodayImgL, rec.StartImgL};
  for (int i = 0; i < kSlotCount; ++i) out.Pictures[i].CabName = names[i];
  std::array<fs::path, kSlotCount> files;
  ExtractEntries(package, work, names, files);
  for (int i = 0; i < kSlotCount; ++i) {
    if (files[i].empty() || cancelled()) continue;
    PreviewPicture& pic = out.Pictures[i];
    const QByteArray bytes = ReadPictureFile(files[i]);
    pic.Header = ReadPictureInfo(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    const QImage image = DecodePicture(bytes);
    if (image.isNull()) continue;
    pic.Loaded = true;
    pic.Width = image.width();
    pic.Height = image.height();
    const QRect fit = FitIntoBox(pic.Width, pic.Height, box.width(), box.height());
    pic.Drawn = DrawFramed(image, fit.size(), background);
    pic.Offset = fit.topLeft();
  }
  std::error_code ec;
  for (const fs::path& f : files)
    if (!f.empty()) fs::remove(f, ec);
  return out;
}

WindowPicture LoadWindowPicture(const fs::path& package, const std::string& cabName, const fs::path& work,
                                QSize maxClient, int chrome) {
  WindowPicture out;
  std::array<std::string, kSlotCount> names;
  names[0] = cabName;
  std::array<fs::path, kSlotCount> files;
  ExtractEntries(package, work, names, files);
  if (files[0].empty()) return out;
  const QImage image = DecodePicture(ReadPictureFile(files[0]));
  std::error_code ec;
  fs::remove(files[0], ec);
  if (image.isNull() || image.width() == 0) return out;
  // The window grows to show the picture whole, within three quarters of the
  // screen; the picture box is what the panel's borders leave.
  out.Client = QSize(std::min(image.width() + chrome + 10, maxClient.width()),
                     std::min(image.height() + chrome + 10, maxClient.height()));
  const QSize boxSize = out.Client - QSize(chrome, chrome);
  out.Place = FitIntoBox(image.width(), image.height(), boxSize.width(), boxSize.height());
  if (!out.Place.isEmpty())
    out.Fitted = image.scaled(out.Place.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return out;
}

}  // namespace vornix
