#include "ui/open_dialog.h"

#include <qdrawutil.h>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>
#include <system_error>

#include "common/text.h"
#include "presentation/catalogue.h"
#include "presentation/catalogue_open.h"
#include "ui/main_window.h"
#include "ui/preview_window.h"
#include "ui/qt_text.h"

namespace vornix {

namespace fs = std::filesystem;

namespace {

QString T(OpenStr id) { return ToQt(Str(id)); }

QFont PaneFont(int points) {
  QFont font;
  // Narrow faces first where Tahoma is missing, so the size texts fit their boxes.
  font.setFamilies({"Tahoma", "Liberation Sans Narrow", "DejaVu Sans Condensed", "Nimbus Sans Narrow", "DejaVu Sans"});
  font.setPointSize(points);
  return font;
}

QLabel* PaneLabel(QWidget* parent, const char* name, QRect geometry, int points, QColor colour,
                  Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setGeometry(geometry);
  label->setFont(PaneFont(points));
  label->setAlignment(align);
  if (colour.isValid()) {
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
  }
  return label;
}

// The preview button's glyph: a magnifying glass over a small picture.
QIcon PreviewGlyph() {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(QRect(1, 1, 10, 8), QColor(255, 200, 90));
  p.fillRect(QRect(1, 6, 10, 3), QColor(60, 140, 60));
  p.setPen(QPen(QColor(0, 0, 128), 1.6));
  p.setBrush(QColor(200, 225, 255, 140));
  p.drawEllipse(QRectF(4.5, 3.5, 7, 7));
  p.setPen(QPen(QColor(0, 0, 128), 2.4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(10.5, 9.5), QPointF(14, 13.5));
  return QIcon(pm);
}

// The file list's own background when no picture was given: a pale tile
// with the faint outline of a handheld, light enough for any text on it.
QPixmap BuiltInBackground() {
  QPixmap pm(72, 72);
  pm.fill(QColor(248, 250, 253));
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(226, 232, 242), 1.2));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(24.5, 14.5, 23, 38), 4, 4);
  p.drawRect(QRectF(27.5, 19.5, 17, 22));
  p.drawEllipse(QRectF(33.5, 45, 5, 4));
  return pm;
}

QString TypeText(const PreviewPicture& pic) {
  return ToQt(PictureFormatName(pic.Header.Format) + " (" + ColourDepthText(pic.Header.Depth) + " bpp)");
}

}  // namespace

// ---------------------------------------------------------------------------
// TSilentPaintPanel

TSilentPaintPanel::TSilentPaintPanel(QWidget* parent) : QFrame(parent) {
  // One lowered outer and one raised inner bevel, painted below.
  setContentsMargins(2, 2, 2, 2);
  setFont(PaneFont(8));
}

void TSilentPaintPanel::setCaption(const QString& caption) {
  m_caption = caption;
  update();
}

void TSilentPaintPanel::setPicture(const QImage& image, QPoint offset) {
  m_picture = image;
  m_offset = offset;
  setCursor(image.isNull() ? Qt::ArrowCursor : Qt::PointingHandCursor);
  update();
}

void TSilentPaintPanel::clearPicture() { setPicture(QImage(), QPoint()); }

void TSilentPaintPanel::paintEvent(QPaintEvent*) {
  try {
    QPainter p(this);
    qDrawShadePanel(&p, rect(), palette(), true, 1);
    qDrawShadePanel(&p, rect().adjusted(1, 1, -1, -1), palette(), false, 1);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(contentsRect(), Qt::AlignCenter | Qt::TextWordWrap, m_caption);
    if (!m_picture.isNull()) p.drawImage(contentsRect().topLeft() + m_offset, m_picture);
  } catch (...) {
    // A picture that cannot be painted must not take the dialog with it.
    m_picture = QImage();
    m_caption = T(OpenStr::InvalidImage);
    QTimer::singleShot(0, this, qOverload<>(&QWidget::update));
  }
}

void TSilentPaintPanel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && !m_picture.isNull() && rect().contains(event->position().toPoint()))
    emit clicked();
  QFrame::mouseReleaseEvent(event);
}

// ---------------------------------------------------------------------------
// TOpenPictureDialogGDITSK

TOpenPictureDialogGDITSK::TOpenPictureDialogGDITSK(QWidget* parent)
    : QFileDialog(parent), m_generation(std::make_shared<std::atomic<int>>(0)) {
  setObjectName("OpenPictureDialogGDITSK1");
  // Qt's own dialog, so the pane sits beside the same controls everywhere.
  setOption(QFileDialog::DontUseNativeDialog);
  setFileMode(QFileDialog::ExistingFile);
  setAcceptMode(QFileDialog::AcceptOpen);
  setFilter("TSK (*.tsk)|*.tsk");
  // Two pictures may be decoded at once; older selections give way at once.
  m_pool.setMaxThreadCount(2);
  m_busyTimer.setSingleShot(true);
  m_busyTimer.setInterval(150);
  connect(&m_busyTimer, &QTimer::timeout, this, [this] {
    if (m_pending) clearPane(QString());
  });

  buildPane();
  resize(sizeHint().expandedTo(QSize(920, 470)));
  connect(this, &QFileDialog::currentChanged, this, &TOpenPictureDialogGDITSK::SelectionChange);
  // A name typed into the field selects its file just as a click does.
  if (auto* edit = findChild<QLineEdit*>("fileNameEdit"))
    connect(edit, &QLineEdit::textChanged, this, &TOpenPictureDialogGDITSK::fileNameTyped);
  connect(this, &QFileDialog::filterSelected, this, [this] {
    applyViewStyle();
    applyBackground();
  });
}

TOpenPictureDialogGDITSK::~TOpenPictureDialogGDITSK() {
  // Running analyses see they are no longer wanted at their next step.
  ++*m_generation;
  m_pool.waitForDone();
}

void TOpenPictureDialogGDITSK::buildPane() {
  PicturePanel = new QFrame(this);
  PicturePanel->setObjectName("PicturePanel");
  PicturePanel->setFrameStyle(QFrame::NoFrame);
  PicturePanel->setFixedSize(6 + 316 + 6, 368 + 14 + 6);

  const QColor navy(0, 0, 128), red(255, 0, 0);
  AppNameLabel = PaneLabel(PicturePanel, "AppNameLabel", QRect(6, 6, 290, 13), 8, navy);
  PortraitLabel = PaneLabel(PicturePanel, "PortraitLabel", QRect(6, 18, 156, 12), 7, red, Qt::AlignCenter);
  LandscapeLabel = PaneLabel(PicturePanel, "LandscapeLabel", QRect(162, 18, 156, 12), 7, red, Qt::AlignCenter);
  PortraitLabel->setText(T(OpenStr::Portrait));
  LandscapeLabel->setText(T(OpenStr::Landscape));

  auto makePanel = [this](const char* name, QRect geometry, OpenStr tip, const char* orientation, int slot) {
    auto* panel = new TSilentPaintPanel(PicturePanel);
    panel->setObjectName(name);
    panel->setGeometry(geometry);
    panel->setToolTip(T(tip) + orientation);
    connect(panel, &TSilentPaintPanel::clicked, this, [this, slot] { Preview(slot); });
    return panel;
  };
  PaintPanel = makePanel("PaintPanel", QRect(6, 30, 156, 156), OpenStr::Today, " (P)", kTodayPortrait);
  PaintPanelL = makePanel("PaintPanelL", QRect(166, 30, 156, 156), OpenStr::Today, " (L)", kTodayLandscape);
  PaintPanelST = makePanel("PaintPanelST", QRect(6, 188, 156, 156), OpenStr::Start, " (P)", kStartPortrait);
  PaintPanelSTL = makePanel("PaintPanelSTL", QRect(166, 188, 156, 156), OpenStr::Start, " (L)", kStartLandscape);

  PictureLabel = PaneLabel(PicturePanel, "PictureLabel", QRect(6, 344, 156, 13), 8, navy);
  PictureLabelL = PaneLabel(PicturePanel, "PictureLabelL", QRect(166, 344, 156, 13), 8, navy);
  TypeImgLabel = PaneLabel(PicturePanel, "TypeImgLabel", QRect(6, 356, 156, 13), 8, QColor());
  TypeImgLandLabel = PaneLabel(PicturePanel, "TypeImgLandLabel", QRect(166, 356, 156, 13), 8, QColor());
  NbImgLabel = PaneLabel(PicturePanel, "NbImgLabel", QRect(6, 368, 312, 14), 8, navy);

  PreviewButton = new QToolButton(PicturePanel);
  PreviewButton->setObjectName("PreviewButton");
  PreviewButton->setGeometry(PicturePanel->width() - 6 - 23, 2, 23, 22);
  PreviewButton->setIcon(PreviewGlyph());
  PreviewButton->setToolTip(T(OpenStr::Preview));
  PreviewButton->setAutoRaise(true);
  connect(PreviewButton, &QToolButton::clicked, this, [this] { Preview(-1); });

  clearPane(T(OpenStr::Empty));

  // To the right of the standard controls, over all their rows, 2 pixels down.
  auto* holder = new QWidget(this);
  auto* column = new QVBoxLayout(holder);
  column->setContentsMargins(0, 2, 0, 0);
  column->addWidget(PicturePanel);
  column->addStretch();
  if (auto* grid = qobject_cast<QGridLayout*>(layout()))
    grid->addWidget(holder, 0, grid->columnCount(), grid->rowCount(), 1);
}

// ---------------------------------------------------------------------------
// properties

bool TOpenPictureDialogGDITSK::Execute() { return exec() == QDialog::Accepted; }

QString TOpenPictureDialogGDITSK::FileName() const { return selectedFiles().value(0); }

void TOpenPictureDialogGDITSK::setFileName(const QString& file) { selectFile(file); }

void TOpenPictureDialogGDITSK::setInitialDir(const QString& folder) { setDirectory(folder); }

void TOpenPictureDialogGDITSK::setFilter(const QString& filter) {
  m_filter = filter;
  setNameFilters(QtFileFilter(filter).split(";;"));
}

void TOpenPictureDialogGDITSK::setBkgImage(bool on) {
  m_bkgImage = on;
  applyBackground();
}

void TOpenPictureDialogGDITSK::setBmpBkg(const QPixmap& picture) {
  m_bmpBkg = picture.copy();
  applyBackground();
}

void TOpenPictureDialogGDITSK::setDirExtract(const QString& folder) {
  if (folder.isEmpty()) return;
  m_dirExtract = folder.endsWith('/') ? folder : folder + '/';
}

void TOpenPictureDialogGDITSK::setView(TViewStyleGDI view) {
  m_view = view;
  applyViewStyle();
}

// ---------------------------------------------------------------------------
// showing and closing

void TOpenPictureDialogGDITSK::showEvent(QShowEvent* event) {
  QFileDialog::showEvent(event);
  ++*m_generation;  // nothing of an earlier showing comes in late
  m_pending = false;
  m_lastName.clear();
  m_shownPackage.clear();
  clearPane(T(OpenStr::Empty));
  applyViewStyle();
  applyBackground();
  // A file still selected from an earlier showing is previewed again, as
  // it would be on being selected.
  QTimer::singleShot(0, this, [this] {
    if (isVisible() && m_lastName.isEmpty()) SelectionChange(selectedFiles().value(0));
  });
}

void TOpenPictureDialogGDITSK::done(int result) {
  QFileDialog::done(result);
  QToolTip::hideText();
}

void TOpenPictureDialogGDITSK::clearPane(const QString& caption) {
  for (TSilentPaintPanel* panel : {PaintPanel, PaintPanelL, PaintPanelST, PaintPanelSTL}) {
    panel->clearPicture();
    panel->setCaption(caption);
  }
  for (QLabel* label : {PictureLabel, PictureLabelL, TypeImgLabel, TypeImgLandLabel, NbImgLabel}) label->clear();
  AppNameLabel->setText(T(OpenStr::SelectTheme));
  PreviewButton->setEnabled(false);
}

void TOpenPictureDialogGDITSK::applyViewStyle() {
  auto* list = findChild<QListView*>("listView");
  if (!list) return;
  if (m_view == vsReportGDI) {
    setViewMode(QFileDialog::Detail);
    if (auto* tree = findChild<QTreeView*>("treeView")) tree->setFocus();
    return;
  }
  setViewMode(QFileDialog::List);
  struct Look {
    QListView::ViewMode mode;
    int icon;
    QListView::Flow flow;
    QSize grid;
  };
  Look look{QListView::ListMode, 16, QListView::TopToBottom, QSize()};
  switch (m_view) {
    case vsIconGDI: look = {QListView::IconMode, 32, QListView::LeftToRight, QSize(104, 68)}; break;
    case vsSmallIconGDI: look = {QListView::ListMode, 16, QListView::LeftToRight, QSize()}; break;
    case vsThumbGDI: look = {QListView::IconMode, 64, QListView::LeftToRight, QSize(112, 100)}; break;
    case vsMosaicGDI: look = {QListView::ListMode, 48, QListView::LeftToRight, QSize(232, 56)}; break;
    default: break;
  }
  list->setViewMode(look.mode);
  list->setIconSize(QSize(look.icon, look.icon));
  list->setFlow(look.flow);
  list->setGridSize(look.grid);
  list->setWrapping(true);
  list->setWordWrap(look.mode == QListView::IconMode);
  list->setMovement(QListView::Static);
  list->setResizeMode(QListView::Adjust);
  list->setFocus();
}

void TOpenPictureDialogGDITSK::applyBackground() {
  for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(findChild<QListView*>("listView")),
                                  static_cast<QAbstractItemView*>(findChild<QTreeView*>("treeView"))}) {
    if (!view) continue;
    QPalette pal = QApplication::palette(view);
    if (m_bkgImage) pal.setBrush(QPalette::Base, QBrush(m_bmpBkg.isNull() ? BuiltInBackground() : m_bmpBkg));
    view->setPalette(pal);
  }
}

// ---------------------------------------------------------------------------
// selection change

void TOpenPictureDialogGDITSK::fileNameTyped(const QString& text) {
  const QString typed = text.trimmed();
  if (typed.isEmpty()) {
    SelectionChange(QString());
    return;
  }
  SelectionChange(QDir::cleanPath(QDir(directory().absolutePath()).absoluteFilePath(typed)));
}

void TOpenPictureDialogGDITSK::resetProperties() {
  TSKIdx = 10;
  TDLH = TDLW = STLH = STLW = TDPH = TDPW = STPH = STPW = 0;
  TodayImgP.clear();
  StartImgP.clear();
  TodayImgL.clear();
  StartImgL.clear();
  TDP.clear();
  STP.clear();
  TDL.clear();
  STL.clear();
  AppName.clear();
  TSKRecOD = TTSKRec{};
  SortieInfOD.clear();
  SortieXMLOD.clear();
}

void TOpenPictureDialogGDITSK::SelectionChange(const QString& fileName) {
  if (fileName == m_lastName) return;
  m_lastName = fileName;
  ++*m_generation;  // whatever is still on its way is for another file
  m_pending = false;
  m_busyTimer.stop();
  // Properties never describe a file other than the one selected.
  resetProperties();

  const QFileInfo info(fileName);
  const QString extension = info.suffix().toUpper();
  const bool valid = !fileName.isEmpty() && extension != "LNK" && info.isFile();
  if (!valid) {
    NbImgLabel->clear();
    TypeImgLandLabel->clear();
    showNothing(T(OpenStr::Empty));
    // Landscape boxes are not left describing an earlier theme either.
    for (TSilentPaintPanel* panel : {PaintPanelL, PaintPanelSTL}) panel->setCaption(T(OpenStr::Empty));
    emit paneUpdated();
    return;
  }
  if (extension != "TSK") {
    showResult(fileName, nullptr);
    return;
  }
  startAnalysis(fileName);
}

fs::path TOpenPictureDialogGDITSK::workRoot() {
  if (!m_dirExtract.isEmpty()) return fs::path(m_dirExtract.toStdString());
  if (!m_ownWork) m_ownWork = std::make_unique<QTemporaryDir>();
  return fs::path(m_ownWork->path().toStdString());
}

void TOpenPictureDialogGDITSK::startAnalysis(const QString& fileName) {
  m_pending = true;
  ++m_analyses;
  m_busyTimer.start();
  const std::shared_ptr<std::atomic<int>> generation = m_generation;
  const int mine = generation->load();
  const fs::path package = fs::path(fileName.toStdString());
  const fs::path root = workRoot();
  const QSize box = PaintPanel->boxSize();
  const QColor background = PaintPanel->palette().color(QPalette::Window);

  m_pool.start([this, generation, mine, package, root, box, background, fileName] {
    const Cancelled cancelled = [generation, mine] { return generation->load() != mine; };
    if (cancelled()) return;
    auto result = std::make_shared<ThemePreview>();
    {
      std::error_code ec;
      fs::create_directories(root, ec);
      // A folder of this run's own: two runs never meet in one folder.
      QTemporaryDir work(QString::fromStdString((root / "TskPreview-XXXXXX").string()));
      if (work.isValid())
        *result = BuildThemePreview(package, fs::path(work.path().toStdString()), box, background, cancelled);
    }
    if (cancelled()) return;
    QMetaObject::invokeMethod(
        this,
        [this, result, mine, fileName] {
          if (m_generation->load() != mine) return;
          m_pending = false;
          m_busyTimer.stop();
          showResult(fileName, result.get());
        },
        Qt::QueuedConnection);
  });
}

void TOpenPictureDialogGDITSK::showResult(const QString& fileName, const ThemePreview* preview) {
  const bool analysed = preview && preview->Analysed;
  NbImgLabel->clear();
  TypeImgLandLabel->clear();
  if (preview) {
    TSKRecOD = preview->Analysis.Rec;
    SortieInfOD = preview->Analysis.InfLines;
    SortieXMLOD = preview->Analysis.XmlLines;
  }
  std::string appName;

  // A picture that is present but cannot be loaded says so in its own box;
  // the rest of the pane is shown as usual.
  auto show = [](TSilentPaintPanel* panel, const PreviewPicture& pic) {
    if (pic.Loaded) {
      panel->setPicture(pic.Drawn, pic.Offset);
      panel->setCaption(QString());
    } else {
      panel->clearPicture();
      panel->setCaption(T(OpenStr::LoadError));
    }
  };

  if (analysed) {
    const TTSKRec& rec = preview->Analysis.Rec;
    const auto& pics = preview->Pictures;
    TSKIdx = rec.TSKIdx;
    TodayImgP = rec.TodayImgP;
    StartImgP = rec.StartImgP;
    TodayImgL = rec.TodayImgL;
    StartImgL = rec.StartImgL;
    int count = !TodayImgP.empty() + !StartImgP.empty();
    const char* mark = !TodayImgL.empty() || !StartImgL.empty() ? " - P+L -" : "";

    if (!TodayImgL.empty()) {
      const PreviewPicture& pic = pics[kTodayLandscape];
      ++count;
      TDLH = pic.Height;
      TDLW = pic.Width;
      TDL = PictureFormatName(pic.Header.Format);
      TypeImgLandLabel->setText(TypeText(pic));
      show(PaintPanelL, pic);
    } else {
      PaintPanelL->clearPicture();
      PaintPanelL->setCaption(T(OpenStr::TodayAbsent) + " (L)");
      TypeImgLandLabel->setText(T(OpenStr::Absent));
    }
    if (!StartImgL.empty()) {
      const PreviewPicture& pic = pics[kStartLandscape];
      ++count;
      STLH = pic.Height;
      STLW = pic.Width;
      STL = PictureFormatName(pic.Header.Format);
      TypeImgLandLabel->setText(TypeImgLandLabel->text() + " - " + TypeText(pic));
      show(PaintPanelSTL, pic);
    } else {
      PaintPanelSTL->clearPicture();
      PaintPanelSTL->setCaption(T(OpenStr::StartAbsent) + " (L)");
    }
    if (!TodayImgP.empty()) {
      TDPH = pics[kTodayPortrait].Height;
      TDPW = pics[kTodayPortrait].Width;
      TDP = PictureFormatName(pics[kTodayPortrait].Header.Format);
    }
    if (!StartImgP.empty()) {
      STPH = pics[kStartPortrait].Height;
      STPW = pics[kStartPortrait].Width;
      STP = PictureFormatName(pics[kStartPortrait].Header.Format);
    }
    NbImgLabel->setText(ToQt(Format("%s : %d img(s)%s", ResolutionLabel(rec.TSKIdx), count, mark)));
    appName = rec.AppName;

    if (TodayImgP.empty() && StartImgP.empty()) {
      showMessage(T(OpenStr::LoadError));
      showNothing(T(OpenStr::GdiError));
      m_shownPackage.clear();
      emit paneUpdated();
      return;
    }
  }

  if (analysed && !TodayImgP.empty()) {
    show(PaintPanel, preview->Pictures[kTodayPortrait]);
    TypeImgLabel->setText(TypeText(preview->Pictures[kTodayPortrait]));
  } else {
    PaintPanel->clearPicture();
    TypeImgLabel->setText(T(OpenStr::Absent));
    PaintPanel->setCaption(T(OpenStr::TodayAbsent) + " (P)");
  }
  if (analysed && !StartImgP.empty()) {
    show(PaintPanelST, preview->Pictures[kStartPortrait]);
    TypeImgLabel->setText(TypeImgLabel->text() + " - " + TypeText(preview->Pictures[kStartPortrait]));
  } else {
    PaintPanelST->clearPicture();
    TypeImgLabel->setText(TypeImgLabel->text() + T(OpenStr::DashAbsent));
    PaintPanelST->setCaption(T(OpenStr::StartAbsent) + " (P)");
  }
  PictureLabel->setText(ToQt(Format("P (TD %d-%d)-(ST %d-%d)", TDPW, TDPH, STPW, STPH)));
  PictureLabelL->setText(ToQt(Format("L (TD %d-%d)-(ST %d-%d)", TDLW, TDLH, STLW, STLH)));
  if (!analysed) {
    // A file that is no theme leaves nothing of an earlier one in the pane.
    for (TSilentPaintPanel* panel : {PaintPanelL, PaintPanelSTL}) {
      panel->clearPicture();
      panel->setCaption(T(OpenStr::Empty));
    }
  }
  AppNameLabel->setText(ToQt(appName));
  AppName = appName;
  PreviewButton->setEnabled(true);
  m_shownPackage = analysed ? fileName : QString();
  emit paneUpdated();
}

void TOpenPictureDialogGDITSK::showNothing(const QString& caption) {
  PictureLabel->clear();
  PictureLabelL->clear();
  PreviewButton->setEnabled(false);
  for (TSilentPaintPanel* panel : {PaintPanel, PaintPanelL, PaintPanelST, PaintPanelSTL}) panel->clearPicture();
  AppNameLabel->setText(T(OpenStr::SelectTheme));
  AppName.clear();
  TypeImgLabel->clear();
  PaintPanel->setCaption(caption);
  PaintPanelST->setCaption(caption);
  m_shownPackage.clear();
}

void TOpenPictureDialogGDITSK::showMessage(const QString& text) {
  if (messageHook) {
    messageHook(text);
    return;
  }
  if (!isVisible()) return;
  // Window-modal and not waited for: the selection change finishes first.
  auto* box = new QMessageBox(QMessageBox::Warning, kCaption, text, QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

// ---------------------------------------------------------------------------
// the larger preview

void TOpenPictureDialogGDITSK::Preview(int slot) {
  std::string name;
  switch (slot) {
    case kTodayPortrait: name = TodayImgP; break;
    case kStartPortrait: name = StartImgP; break;
    case kTodayLandscape: name = TodayImgL; break;
    case kStartLandscape: name = StartImgL; break;
    default: name = !TodayImgP.empty() ? TodayImgP : StartImgP; break;
  }
  if (name.empty() || m_shownPackage.isEmpty()) return;
  const fs::path package = fs::path(m_shownPackage.toStdString());
  const fs::path root = workRoot();
  QScreen* scr = screen() ? screen() : QGuiApplication::primaryScreen();
  const QSize maxClient = scr ? scr->geometry().size() * 3 / 4 : QSize(800, 600);
  const std::shared_ptr<std::atomic<int>> generation = m_generation;
  const int mine = generation->load();

  m_pool.start([this, generation, mine, package, root, name, maxClient] {
    auto result = std::make_shared<WindowPicture>();
    {
      std::error_code ec;
      fs::create_directories(root, ec);
      QTemporaryDir work(QString::fromStdString((root / "TskPreview-XXXXXX").string()));
      if (work.isValid())
        *result =
            LoadWindowPicture(package, name, fs::path(work.path().toStdString()), maxClient, TPreviewForm::kChrome);
    }
    if (generation->load() != mine) return;
    QMetaObject::invokeMethod(
        this,
        [this, result, mine] {
          if (m_generation->load() != mine || result->Fitted.isNull()) return;  // width 0: no window
          auto* form = new TPreviewForm(this, result->Fitted, result->Place, result->Client);
          if (previewHook) {
            previewHook(form);
          } else {
            form->exec();
          }
          delete form;
        },
        Qt::QueuedConnection);
  });
}

}  // namespace vornix
