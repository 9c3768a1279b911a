// The open dialog's preview pane on themes built here, with real pictures
// written by Qt's image writers (GIF by giflib, which Qt cannot write).
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QThread>
#include <QToolButton>

#include <memory>

#include "common/text.h"
#include "helpers/demo_theme.h"
#include "helpers/run_process.h"
#include "helpers/setup_builder.h"
#include "presentation/catalogue_open.h"
#include "ui/open_dialog.h"
#include "ui/preview_window.h"
#include "ui/qt_text.h"
#include "ui/theme_preview.h"

namespace vornix {
namespace {

namespace fs = std::filesystem;
using testing::ThemePictureFile;

// --- pictures ---------------------------------------------------------------

QImage Gradient(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  QPainter p(&image);
  QLinearGradient g(0, 0, 0, h);
  g.setColorAt(0, QColor(255, 179, 71));
  g.setColorAt(1, QColor(106, 13, 173));
  p.fillRect(image.rect(), g);
  return image;
}

std::string Encode(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, format)) << format;
  return bytes.toStdString();
}

std::string Png(int w, int h, QImage::Format format = QImage::Format_RGB32) {
  QImage image = Gradient(w, h).convertToFormat(format);
  if (format == QImage::Format_ARGB32) image.setPixelColor(0, 0, QColor(0, 0, 0, 0));  // a real alpha channel
  return Encode(image, "PNG");
}
std::string Jpeg(int w, int h, QImage::Format format = QImage::Format_RGB32) {
  return Encode(Gradient(w, h).convertToFormat(format), "JPEG");
}
std::string Bmp(int w, int h, QImage::Format format = QImage::Format_RGB32) {
  QImage image = Gradient(w, h);
  if (format == QImage::Format_Indexed8)  // 16 colours: written with 4 bits a pixel
    image = image.convertToFormat(format, {qRgb(0, 0, 0), qRgb(255, 179, 71), qRgb(106, 13, 173), qRgb(255, 255, 255)});
  else
    image = image.convertToFormat(format);
  return Encode(image, "BMP");
}

int AppendGif(GifFileType* gif, const GifByteType* data, int length) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
  return length;
}

std::string Gif(int w, int h) {
  const QImage image = Gradient(w, h).convertToFormat(QImage::Format_Indexed8);
  std::string out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, AppendGif, &error);
  ColorMapObject* map = GifMakeMapObject(256, nullptr);
  const QList<QRgb> table = image.colorTable();
  for (int i = 0; i < 256; ++i) {
    const QRgb c = i < table.size() ? table[i] : 0;
    map->Colors[i] = {static_cast<GifByteType>(qRed(c)), static_cast<GifByteType>(qGreen(c)),
                      static_cast<GifByteType>(qBlue(c))};
  }
  EGifPutScreenDesc(gif, w, h, 8, 0, map);
  EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr);
  for (int y = 0; y < h; ++y) EGifPutLine(gif, const_cast<GifByteType*>(image.constScanLine(y)), w);
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

// --- the dialog -------------------------------------------------------------

class OpenDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog = std::make_unique<TOpenPictureDialogGDITSK>();
    dialog->setDirExtract(QString::fromStdString((dir / "view").string()));
    dialog->messageHook = [this](const QString& text) { messages.push_back(FromQt(text)); };
  }

  QString theme(const char* name, const testing::CabBuilder& cab) {
    EXPECT_TRUE(cab.writeTo(dir / name));
    return QString::fromStdString((dir / name).string());
  }
  QString file(const char* name, const std::string& bytes) {
    testing::WriteAll(dir / name, bytes);
    return QString::fromStdString((dir / name).string());
  }

  /// Waits until the pane shows the last selection.
  void settle() {
    QElapsedTimer clock;
    clock.start();
    while (dialog->previewPending() && clock.elapsed() < 20000) {
      QCoreApplication::processEvents();
      QThread::msleep(2);
    }
    ASSERT_FALSE(dialog->previewPending());
  }
  void select(const QString& path) {
    dialog->SelectionChange(path);
    settle();
  }

  static std::string text(const QLabel* label) { return FromQt(label->text()); }
  static std::string caption(const TSilentPaintPanel* panel) { return FromQt(panel->caption()); }

  testing::TempDir dir;
  std::unique_ptr<TOpenPictureDialogGDITSK> dialog;
  std::vector<std::string> messages;
};

TEST_F(OpenDialogTest, QvgaXmlThemeFillsThePaneAndItsProperties) {
  const QString path =
      theme("sunrise.tsk",
            testing::XmlPictureTheme("Sunrise", {{"tdywater_240_320.png", Png(240, 320)},
                                                 {"stwater_240_320.jpg", Jpeg(240, 320)},
                                                 {"tdywater_320_240.bmp", Bmp(320, 240, QImage::Format_Indexed8)},
                                                 {"stwater_320_240.gif", Gif(320, 240)}}));
  dialog->SelectionChange(path);
  // The analysis runs off the dialog's thread: nothing is shown yet.
  EXPECT_TRUE(dialog->previewPending());
  EXPECT_TRUE(dialog->PaintPanel->picture().isNull());
  settle();

  EXPECT_EQ(text(dialog->AppNameLabel), "Sunrise");
  EXPECT_EQ(text(dialog->NbImgLabel), "QVGA : 4 img(s) - P+L -");
  EXPECT_EQ(text(dialog->PictureLabel), "P (TD 240-320)-(ST 240-320)");
  EXPECT_EQ(text(dialog->PictureLabelL), "L (TD 320-240)-(ST 320-240)");
  EXPECT_EQ(text(dialog->TypeImgLabel), "PNG (24 bpp) - JPEG (24 bpp)");
  EXPECT_EQ(text(dialog->TypeImgLandLabel), "Bitmap (4 bpp) - GIF (8 bpp)");
  EXPECT_TRUE(dialog->PreviewButton->isEnabled());
  EXPECT_TRUE(messages.empty());

  // Portrait pictures stand in their box at full height, landscape ones at full width.
  const QSize box = dialog->PaintPanel->boxSize();
  ASSERT_EQ(box, QSize(152, 152));
  for (TSilentPaintPanel* p : {dialog->PaintPanel, dialog->PaintPanelST}) {
    EXPECT_EQ(p->picture().size(), QSize(114, 152));
    EXPECT_EQ(caption(p), "");
  }
  for (TSilentPaintPanel* p : {dialog->PaintPanelL, dialog->PaintPanelSTL})
    EXPECT_EQ(p->picture().size(), QSize(152, 114));
  EXPECT_EQ(dialog->PaintPanel->picture().pixelColor(0, 0), QColor(0, 0, 255));  // the blue frame

  EXPECT_EQ(dialog->TSKIdx, 2);
  EXPECT_EQ(dialog->TodayImgP, "PIC01~1.001");
  EXPECT_EQ(dialog->StartImgL, "PIC04~1.004");
  EXPECT_EQ(dialog->TDP + dialog->STP + dialog->TDL + dialog->STL, "PNGJPEGBitmapGIF");
  EXPECT_EQ(dialog->TDPW * 1000 + dialog->TDPH, 240320);
  EXPECT_EQ(dialog->STLW * 1000 + dialog->STLH, 320240);
  EXPECT_EQ(dialog->AppName, "Sunrise");
  EXPECT_EQ(dialog->TSKRecOD.AppName, "Sunrise");
  // The INF is generated for an XML theme, and it is what SortieInfOD holds.
  ASSERT_FALSE(dialog->SortieInfOD.empty());
  EXPECT_EQ(dialog->SortieInfOD.front(), "[Version]");
  ASSERT_FALSE(dialog->SortieXMLOD.empty());
  EXPECT_EQ(dialog->SortieXMLOD.front().rfind("<wap-provisioningdoc>", 0), 0u);

  // The preview button shows the today portrait picture at its own size.
  QSize client, picture;
  dialog->previewHook = [&](QDialog* window) {
    client = window->size();
    picture = static_cast<TPreviewForm*>(window)->picturePlace().size();
    EXPECT_EQ(FromQt(window->windowTitle()), "Pr\xE9visualiser");
  };
  dialog->PreviewButton->click();
  QElapsedTimer clock;
  clock.start();
  while (client.isEmpty() && clock.elapsed() < 20000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(picture, QSize(240, 320));
  EXPECT_EQ(client, QSize(240 + TPreviewForm::kChrome + 10, 320 + TPreviewForm::kChrome + 10));
  EXPECT_TRUE(fs::is_empty(dir / "view"));  // every extracted file is gone again
}

TEST_F(OpenDialogTest, StdSetupFileThemeWithPortraitJpegsOnly) {
  const QString path =
      theme("dusk.tsk",
            testing::SetupPictureTheme("Dusk", {{"tdywater.jpg", Jpeg(240, 320)}, {"stwater.jpg", Jpeg(240, 320)}}));
  select(path);
  EXPECT_EQ(text(dialog->NbImgLabel), "Std : 2 img(s)");
  EXPECT_EQ(text(dialog->PictureLabel), "P (TD 240-320)-(ST 240-320)");
  EXPECT_EQ(text(dialog->PictureLabelL), "L (TD 0-0)-(ST 0-0)");
  EXPECT_EQ(text(dialog->TypeImgLandLabel), "absent");
  EXPECT_EQ(caption(dialog->PaintPanelL), "\"TODAY\" absent (L)");
  EXPECT_EQ(caption(dialog->PaintPanelSTL), "\"START\" absent (L)");
  EXPECT_FALSE(dialog->PaintPanelST->picture().isNull());
  // A ".000" theme: the INF comes from the setup file, the XML is generated.
  ASSERT_FALSE(dialog->SortieInfOD.empty());
  EXPECT_EQ(dialog->SortieInfOD.front(), "[Version]");
  ASSERT_FALSE(dialog->SortieXMLOD.empty());
  EXPECT_EQ(dialog->SortieXMLOD.front(), "<wap-provisioningdoc>");
  EXPECT_TRUE(dialog->TSKRecOD.Has000);
}

TEST_F(OpenDialogTest, FormatNamesAndColourDepths) {
  const struct {
    const char* ext;
    std::string bytes;
    const char* type;
  } cases[] = {
      {"bmp", Bmp(240, 320, QImage::Format_Mono), "Bitmap (1 bpp)"},
      {"bmp", Bmp(240, 320, QImage::Format_Indexed8), "Bitmap (4 bpp)"},
      {"gif", Gif(240, 320), "GIF (8 bpp)"},
      {"jpg", Jpeg(240, 320, QImage::Format_Grayscale8), "JPEG (8 bpp)"},
      {"png", Png(240, 320, QImage::Format_Grayscale16), "PNG (16 bpp)"},
      {"bmp", Bmp(240, 320), "Bitmap (24 bpp)"},
      {"png", Png(240, 320, QImage::Format_ARGB32), "PNG (32 bpp)"},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string name = "depth" + std::to_string(++n) + ".tsk";
    select(theme(name.c_str(), testing::XmlPictureTheme("D", {{std::string("stwater.") + c.ext, c.bytes}})));
    EXPECT_EQ(text(dialog->TypeImgLabel), std::string("absent - ") + c.type) << name;
    EXPECT_EQ(text(dialog->NbImgLabel), "Std + USI : 1 img(s)") << name;
  }
}

TEST_F(OpenDialogTest, SameFileTwiceIsNotAnalysedAgainAndTypingSelectsLikeAClick) {
  const QString path = theme("sunrise.tsk", testing::XmlPictureTheme("Sunrise", {{"stwater.png", Png(240, 320)}}));
  dialog->setDirectory(QString::fromStdString(dir.path().string()));
  auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
  ASSERT_NE(edit, nullptr);
  edit->setText("sunrise.tsk");  // typed, relative to the folder shown
  settle();
  EXPECT_EQ(dialog->analysisCount(), 1);
  EXPECT_EQ(text(dialog->AppNameLabel), "Sunrise");
  select(path);  // the list points at the same file
  edit->setText(path);
  settle();
  EXPECT_EQ(dialog->analysisCount(), 1);
  select(file("notes.txt", "text"));
  select(path);
  EXPECT_EQ(dialog->analysisCount(), 2);
}

TEST_F(OpenDialogTest, FilesThatAreNoThemeClearThePaneWithoutAMessage) {
  const QString sunrise = theme(
      "sunrise.tsk",
      testing::XmlPictureTheme("Sunrise", {{"tdywater_320_240.png", Png(320, 240)}, {"stwater.png", Png(240, 320)}}));
  auto expectNoTheme = [&](const QString& path, const char* portrait) {
    select(sunrise);
    ASSERT_EQ(text(dialog->AppNameLabel), "Sunrise");
    select(path);
    for (TSilentPaintPanel* p : {dialog->PaintPanel, dialog->PaintPanelL, dialog->PaintPanelST, dialog->PaintPanelSTL})
      EXPECT_TRUE(p->picture().isNull()) << path.toStdString();
    EXPECT_EQ(caption(dialog->PaintPanel), portrait) << path.toStdString();
    EXPECT_EQ(caption(dialog->PaintPanelL), "(vide)") << path.toStdString();
    EXPECT_EQ(text(dialog->NbImgLabel), "");
    EXPECT_EQ(text(dialog->TypeImgLandLabel), "");
    EXPECT_EQ(dialog->TSKIdx, 10);
    EXPECT_TRUE(dialog->SortieInfOD.empty());
    EXPECT_EQ(dialog->AppName, "");
  };
  // Valid files that are no theme: both portrait pictures absent.
  expectNoTheme(file("junk.tsk", "MSCF but not a cabinet"), "\"TODAY\" absent (P)");
  EXPECT_EQ(text(dialog->TypeImgLabel), "absent - absent");
  EXPECT_EQ(text(dialog->PictureLabel), "P (TD 0-0)-(ST 0-0)");
  EXPECT_EQ(text(dialog->AppNameLabel), "");
  expectNoTheme(file("tidepool.cab", testing::DemoTheme().bytes()), "\"TODAY\" absent (P)");
  // Invalid ones: nothing at all.
  expectNoTheme(file("link.lnk", "x"), "(vide)");
  EXPECT_EQ(text(dialog->AppNameLabel), "S\xE9lectionner un Th\xE8me");
  EXPECT_FALSE(dialog->PreviewButton->isEnabled());
  expectNoTheme(QString::fromStdString((dir / "missing.tsk").string()), "(vide)");
  expectNoTheme(QString::fromStdString(dir.path().string()), "(vide)");
  EXPECT_TRUE(messages.empty());
}

TEST_F(OpenDialogTest, BrokenPicturesShowALoadErrorInTheirOwnBox) {
  const std::string png = Png(240, 320);
  std::string bmp = Bmp(240, 320);
  testing::PutU32(bmp, 18, 480);  // the header claims more rows and columns than it holds
  testing::PutU32(bmp, 22, 640);
  const std::string jpeg = Jpeg(320, 240);
  select(
      theme("broken.tsk", testing::XmlPictureTheme("Broken", {{"tdywater_240_320.png", png.substr(0, png.size() / 2)},
                                                              {"stwater_240_320.bmp", bmp},
                                                              {"tdywater_320_240.jpg", jpeg.substr(0, jpeg.size() / 2)},
                                                              {"stwater_320_240.gif", Gif(320, 240)}})));
  for (TSilentPaintPanel* p : {dialog->PaintPanel, dialog->PaintPanelST, dialog->PaintPanelL}) {
    EXPECT_EQ(caption(p), "Erreur chargement");
    EXPECT_TRUE(p->picture().isNull());
  }
  EXPECT_FALSE(dialog->PaintPanelSTL->picture().isNull());
  EXPECT_EQ(text(dialog->NbImgLabel), "QVGA : 4 img(s) - P+L -");
  EXPECT_EQ(text(dialog->TypeImgLabel), "PNG (24 bpp) - Bitmap (24 bpp)");
  EXPECT_EQ(text(dialog->PictureLabel), "P (TD 0-0)-(ST 0-0)");
  EXPECT_EQ(text(dialog->PictureLabelL), "L (TD 0-0)-(ST 320-240)");
  EXPECT_TRUE(messages.empty());
}

TEST_F(OpenDialogTest, ThemeWithoutPortraitPicturesIsALoadError) {
  select(theme("wide.tsk", testing::XmlPictureTheme("Wide", {{"tdywater_320_240.png", Png(320, 240)}})));
  EXPECT_EQ(messages, std::vector<std::string>{"Erreur chargement"});
  EXPECT_EQ(caption(dialog->PaintPanel), "GDI Erreur");
  EXPECT_EQ(caption(dialog->PaintPanelST), "GDI Erreur");
  EXPECT_TRUE(dialog->PaintPanelL->picture().isNull());
  EXPECT_FALSE(dialog->PreviewButton->isEnabled());
}

TEST(OpenCatalogue, EveryFrenchEntryFilledAndThePictureFormatsNamed) {
  for (int i = 0; i < kOpenCatalogueSize; ++i) EXPECT_FALSE(Str(static_cast<OpenStr>(i)).empty()) << i;
  EXPECT_EQ(PictureFormatName(PictureFormat::Undefined),
            "Ind\xE9"
            "fini");
  EXPECT_EQ(PictureFormatName(PictureFormat::MemoryBitmap), "Bitmap cr\xE9\xE9 en m\xE9moire");
  EXPECT_EQ(Str(OpenStr::Start), "D\xE9marrer");
}

TEST(PictureData, CutFilesAreIncompleteWholeOnesComplete) {
  for (const std::string& whole : {Png(240, 320), Jpeg(240, 320), Bmp(240, 320), Gif(240, 320)}) {
    EXPECT_TRUE(PictureDataComplete(whole)) << whole.substr(0, 3);
    EXPECT_FALSE(PictureDataComplete(whole.substr(0, whole.size() * 3 / 5))) << whole.substr(0, 3);
    EXPECT_TRUE(DecodePicture(QByteArray::fromStdString(whole.substr(0, whole.size() / 2))).isNull());
  }
}

TEST(PictureFitting, OwnSizeWhenItFitsElseScaledDownTruncatedAndCentred) {
  const struct {
    int w, h, bw, bh;
    QRect fit;
  } cases[] = {
      {100, 50, 152, 152, QRect(26, 51, 100, 50)},   // fits: own size, centred
      {320, 240, 152, 152, QRect(0, 19, 152, 114)},  // wider
      {240, 320, 152, 152, QRect(19, 0, 114, 152)},  // taller
      {800, 480, 152, 152, QRect(0, 30, 152, 91)},   // 91.2 truncated
      {300, 250, 200, 100, QRect(40, 0, 120, 100)},  // wider, but then too high
      {250, 300, 100, 200, QRect(0, 40, 100, 120)},  // taller, but then too wide
      {1000, 3, 152, 152, QRect(0, 76, 152, 0)},
      {0, 500, 152, 152, QRect(0, 0, 152, 152)},  // no width: the whole box
  };
  for (const auto& c : cases)
    EXPECT_EQ(FitIntoBox(c.w, c.h, c.bw, c.bh), c.fit) << c.w << "x" << c.h << " in " << c.bw << "x" << c.bh;
}

}  // namespace
}  // namespace vornix
