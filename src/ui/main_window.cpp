#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "common/host_fs.h"
#include "common/text.h"
#include "package/extraction.h"
#include "package/selection.h"
#include "presentation/catalogue.h"
#include "presentation/reg_export.h"
#include "presentation/rtf_writer.h"
#include "scan/cabinet_scan.h"
#include "signature/cab_signature.h"
#include "ui/cabinet_choice_dialog.h"
#include "ui/colours.h"
#include "ui/file_list_actions.h"
#include "ui/list_model.h"
#include "ui/open_dialog.h"
#include "ui/page_control.h"
#include "ui/pictures.h"
#include "ui/qt_text.h"
#include "ui/report_view.h"
#include "ui/save_dialog.h"
#include "ui/selection_dialog.h"
#include "ui/side_windows.h"
#include "ui/window_texts.h"
#include "ui/xml_viewer.h"

namespace fs = std::filesystem;

namespace vornix {

namespace {

struct ListDef {
  const char* name;
  bool files;
  std::vector<ListColumn> columns;
};

const std::array<ListDef, TForm1::kListCount>& ListDefs() {
  static const std::array<ListDef, TForm1::kListCount> defs = {{
      {"ListViewGeneralites", false, {{MainStr::ColItems, 200}, {MainStr::ColValues, 600}}},
      {"ListViewChaine", false, {{MainStr::ColStringId, 70}, {MainStr::ColValue, 300}, {MainStr::ColEquivalent, 300}}},
      {"ListViewDir", false, {{MainStr::ColIdDir, 50}, {MainStr::ColStringId, 100}, {MainStr::ColValue, 500}}},
      {"ListViewFiles",
       true,
       {{MainStr::ColFileId, 60},
        {MainStr::ColFileNameInCab, 110},
        {MainStr::ColFileName, 198},
        {MainStr::ColIdDir, 400},
        {MainStr::ColOrderNumber, 90, Qt::AlignHCenter},
        {MainStr::ColFlags, 71},
        {MainStr::ColSizeBytes, 100, Qt::AlignRight},
        {MainStr::ColDate, 100, Qt::AlignHCenter},
        {MainStr::ColType, 50, Qt::AlignRight}}},
      {"ListViewHives", false, {{MainStr::ColHiveId, 60}, {MainStr::ColRoot, 60}, {MainStr::ColStringId, 245}}},
      {"ListViewRegKeys",
       false,
       {{MainStr::ColRegKeyId, 70},
        {MainStr::ColHiveId, 300},
        {MainStr::ColType, 100},
        {MainStr::ColFlags, 72},
        {MainStr::ColKey, 150},
        {MainStr::ColValue, 80},
        {MainStr::ColNB, 60}}},
      {"ListViewLink",
       false,
       {{MainStr::ColIdS, 60},
        {MainStr::ColInstalledAt, 100},
        {MainStr::ColPointsTo, 110},
        {MainStr::ColFileNameOrDirectories, 280},
        {MainStr::ColShortcutName, 280}}},
  }};
  return defs;
}

constexpr MainStr kTabCaptions[] = {MainStr::TabGeneral,   MainStr::TabStrings,    MainStr::TabDirectories,
                                    MainStr::TabFiles,     MainStr::TabHives,      MainStr::TabRegistryKeys,
                                    MainStr::TabShortcuts, MainStr::TabRtfDocument};
constexpr Picture kTabPictures[] = {Picture::TabGeneral,   Picture::TabStrings, Picture::TabDirs,
                                    Picture::TabFiles,     Picture::TabHives,   Picture::TabKeys,
                                    Picture::TabShortcuts, Picture::TabReport};

constexpr int kPanelWidths[5] = {440, 100, 180, 20, 50};

bool IsPackageName(const QString& fileName) {
  const QString ext = QFileInfo(fileName).suffix().toLower();
  return ext == "tsk" || ext == "cab" || ext == "000";
}

std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

}  // namespace

// What the core asks of the window: message boxes, the folder dialog, the
// hourglass and progress.
class WindowUserInterface : public UserInterface {
 public:
  explicit WindowUserInterface(TForm1& window) : m_window(window) {}
  void warn(const std::string& caption, const std::string& text) override {
    m_window.showMessage(ToQt(caption), ToQt(text));
  }
  void signatureRejected() override {
    // The pointer goes to the toggle that would let the file through.
    if (QWidget* button = m_window.m_toolbar->widgetForAction(m_window.SignMSCETBtn))
      QCursor::setPos(button->mapToGlobal(button->rect().center()));
  }
  std::string chooseFolder(const std::string& title, const std::string& initialFolder) override {
    return Utf8(m_window.chooseFolder(ToQt(title), PathToQt(initialFolder)));
  }
  void busy(bool on) override {
    // The busy pointer, not the hourglass: the cancel button stays clickable.
    if (on)
      QApplication::setOverrideCursor(Qt::BusyCursor);
    else
      QApplication::restoreOverrideCursor();
  }
  void progress(int64_t done, int64_t total) override {
    QProgressBar* bar = m_window.m_progress;
    if (total <= 0) return;
    const int permille = static_cast<int>(done * 1000 / total);
    if (!bar->isVisible()) bar->show();
    if (permille != bar->value()) bar->setValue(permille);
    // The window's commands are off during an extraction; what comes in is
    // the cancel button, Esc, repaints and files handed over (kept for later).
    if (!m_tick.isValid() || m_tick.elapsed() >= 40) {
      QApplication::processEvents();
      m_tick.restart();
    }
  }
  void progressFile(const std::string& name) override {
    QProgressBar* bar = m_window.m_progress;
    const QString file = ToQt(name);
    // One line in whatever room the bar has: the name gives way, the percentage stays.
    const QFontMetrics metrics = bar->fontMetrics();
    const int room = bar->width() - metrics.horizontalAdvance(QStringLiteral("  100%")) - 8;
    const QString shown = room > metrics.horizontalAdvance(QStringLiteral("a\u2026b"))
                              ? metrics.elidedText(file, Qt::ElideMiddle, room)
                              : QString();
    bar->setFormat(shown.isEmpty() ? QStringLiteral("%p%") : shown + QStringLiteral("  %p%"));
    bar->setToolTip(file);
  }
  bool cancelRequested() override { return m_window.m_cancelRequested; }

 private:
  TForm1& m_window;
  QElapsedTimer m_tick;
};

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  setObjectName("Form1");
  m_ui = std::make_unique<WindowUserInterface>(*this);
  // What a window killed or crashed could not remove goes first.
  TempFolders::RemoveLeftovers();
  if (Result<TempFolders> prepared = TempFolders::Prepare())
    m_folders.emplace(std::move(prepared).value());
  else
    m_startupError = prepared.error().Message;
  if (m_folders) {
    m_session = std::make_unique<PackageSession>(*m_ui);
    // Qt's file dialogs keep their history in a settings file of the user's;
    // nothing of the window outlives the run, so it goes to the private
    // temporary folder and leaves with it.
    const QString scratch = PathToQt(m_folders->root().string());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, scratch);
  }

  // The design font: MS Sans Serif with a height of 11 pixels, or the
  // nearest sans-serif face the system has.
  QFont designFont;
  designFont.setFamilies({"MS Sans Serif", "Liberation Sans", "Arial", "DejaVu Sans Condensed", "DejaVu Sans"});
  designFont.setStyleHint(QFont::SansSerif);
  designFont.setPixelSize(11);
  setFont(designFont);
  resize(kDesignSize);
  buildToolbar();
  buildPages();
  buildStatusBar();
  ApplyStrings();
  ResetSortState();
  applyPaletteColours();
  m_metrics.recompute();
  m_report->applyMenuMetrics(m_metrics);
  if (m_folders) {
    m_filesSource = std::make_unique<ListModelFileSource>(
        *m_models[kFilesList], ListModelFileSource::Columns{},
        [this] { return std::filesystem::path(m_analysedPackage.toStdString()); }, m_folders->OpenDir());
    m_fileActions = FileListActions::Attach(m_views[kFilesList], *m_filesSource, m_metrics);
    m_fileActions->messageHook = [this](const QString& caption, const QString& text) { showMessage(caption, text); };
  }
  m_choix = new TChoixFicExtract(this);
  setAcceptDrops(true);
  m_initialFolder = QCoreApplication::applicationDirPath();

  auto* f11 = new QShortcut(QKeySequence(Qt::Key_F11), this);
  f11->setContext(Qt::WindowShortcut);
  connect(f11, &QShortcut::activated, this, &TForm1::toggleMenuSize);
  // The report's back and forward, between its jumps to sections.
  auto* back = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Left), this);
  connect(back, &QShortcut::activated, this, [this] {
    if (!m_extracting && m_pages->currentWidget() == m_report) m_report->goBack();
  });
  auto* forward = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Right), this);
  connect(forward, &QShortcut::activated, this, [this] {
    if (!m_extracting && m_pages->currentWidget() == m_report) m_report->goForward();
  });
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &TForm1::requestCancel);
}

TForm1::~TForm1() {
  // The session refers to the folders: it goes first.
  m_session.reset();
  if (m_folders) m_folders->RemoveTempFolders();
}

void TForm1::buildToolbar() {
  m_toolbar = addToolBar(QStringLiteral("ToolBar1"));
  m_toolbar->setObjectName("ToolBar1");
  m_toolbar->setMovable(false);
  m_toolbar->setFloatable(false);
  // Qt's menu over the toolbar would offer to hide it, and with it every command.
  m_toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
  m_toolbar->toggleViewAction()->setEnabled(false);
  m_toolbar->toggleViewAction()->setVisible(false);
  StyleToolbar(m_toolbar);
  auto add = [&](const char* name, Picture picture, bool toggle = false) {
    return AddToolButton(m_toolbar, name, picture, toggle);
  };
  ChoixFichierTBtn = add("ChoixFichierTBtn", Picture::Open);
  m_toolbar->addSeparator();
  PrecTBtn = add("PrecTBtn", Picture::Previous);
  SuivTBtn = add("SuivTBtn", Picture::Next);
  m_toolbar->addSeparator();
  RTFTBtn = add("RTFTBtn", Picture::SaveRtf);
  InfTBtn = add("InfTBtn", Picture::SaveInf);
  RegTBtn = add("RegTBtn", Picture::SaveReg);
  PressePTBtn = add("PressePTBtn", Picture::CopyInf);
  m_toolbar->addSeparator();
  ExtraitTBtn = add("ExtraitTBtn", Picture::Extract);
  SelExtractTBtn = add("SelExtractTBtn", Picture::ExtractSelection);
  m_toolbar->addSeparator();
  ArbreTBtn = add("ArbreTBtn", Picture::FolderNames, true);
  m_toolbar->addSeparator();
  SignMSCETBtn = add("SignMSCETBtn", Picture::Signature, true);
  m_toolbar->addSeparator();
  XMLTBtn = add("XMLTBtn", Picture::Xml);
  m_toolbar->addSeparator();
  LinksTBtn = add("LinksTBtn", Picture::Links);
  AbouTbtn = add("AbouTbtn", Picture::About);
  VersionTBtn = add("VersionTBtn", Picture::History);
  m_toolbar->addSeparator();
  QuitterTBtn = add("QuitterTBtn", Picture::Quit);

  for (QAction* a : {RTFTBtn, InfTBtn, RegTBtn, PressePTBtn, ExtraitTBtn, SelExtractTBtn, ArbreTBtn, XMLTBtn})
    a->setEnabled(false);
  SignMSCETBtn->setChecked(true);

  // The keys a desktop user tries first.
  ChoixFichierTBtn->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  InfTBtn->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  RTFTBtn->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  ExtraitTBtn->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  AbouTbtn->setShortcut(QKeySequence(Qt::Key_F1));
  QuitterTBtn->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  // Every button can be reached with Tab (the toolbar's buttons take no focus by default).
  for (QAction* a : m_toolbar->actions()) {
    if (QWidget* button = m_toolbar->widgetForAction(a); button && !a->isSeparator())
      button->setFocusPolicy(Qt::TabFocus);
  }

  connect(ChoixFichierTBtn, &QAction::triggered, this, &TForm1::chooseAndOpen);
  connect(PrecTBtn, &QAction::triggered, this, &TForm1::previousPage);
  connect(SuivTBtn, &QAction::triggered, this, &TForm1::nextPage);
  connect(RTFTBtn, &QAction::triggered, this, &TForm1::saveReportCommand);
  connect(InfTBtn, &QAction::triggered, this, &TForm1::saveInfCommand);
  connect(RegTBtn, &QAction::triggered, this, &TForm1::saveRegCommand);
  connect(PressePTBtn, &QAction::triggered, this, &TForm1::copyInf);
  connect(ExtraitTBtn, &QAction::triggered, this, [this] { extractAll(); });
  connect(SelExtractTBtn, &QAction::triggered, this, &TForm1::SelExtractTBtnClick);
  connect(XMLTBtn, &QAction::triggered, this, [this] { showXmlViewer(false); });
  connect(LinksTBtn, &QAction::triggered, this, &TForm1::showLinks);
  connect(AbouTbtn, &QAction::triggered, this, &TForm1::showAbout);
  connect(VersionTBtn, &QAction::triggered, this, &TForm1::showHistory);
  connect(QuitterTBtn, &QAction::triggered, this, &QWidget::close);
}

void TForm1::buildPages() {
  m_pages = new PageControl(this);
  m_pages->setObjectName("PageControl1");
  for (int i = 0; i < kListCount; ++i) {
    const ListDef& def = ListDefs()[static_cast<size_t>(i)];
    auto* model = new ListModel(def.name, def.columns, def.files, this);
    auto* view = new ListView;
    view->setObjectName(def.name);
    view->setModel(model);
    view->setupList(def.columns, def.files);
    view->viewport()->installEventFilter(this);
    connect(view->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this, i](int logical) { ListViewColumnClick(i, logical); });
    m_models[static_cast<size_t>(i)] = model;
    m_views[static_cast<size_t>(i)] = view;

    if (i == 0) {
      // The first tab also carries the cabinet information line below its list.
      auto* page = new QWidget;
      auto* layout = new QVBoxLayout(page);
      layout->setContentsMargins(0, 0, 0, 0);
      layout->setSpacing(0);
      layout->addWidget(view);
      m_cabPanel = new QWidget;
      m_cabPanel->setObjectName("CabInfosPnl");
      m_cabPanel->setFixedHeight(18);
      auto* row = new QHBoxLayout(m_cabPanel);
      row->setContentsMargins(4, 0, 4, 0);
      row->setSpacing(8);
      m_cabTitle = new QLabel(QStringLiteral("\"Cabinet.dll -> Infos\""));
      m_cabTitle->setStyleSheet("font-weight: bold; color: rgb(0,0,255);");
      m_compLbl = new QLabel;
      m_compLbl->setObjectName("CompLbl");
      m_compLbl->setStyleSheet("font-weight: bold; color: rgb(128,0,0);");
      m_infosCabLbl = new QLabel;
      m_infosCabLbl->setObjectName("InfosCabLbl");
      row->addWidget(m_cabTitle);
      row->addWidget(m_compLbl);
      row->addWidget(m_infosCabLbl, 1);
      m_cabPanel->setToolTip(
          QStringLiteral("Microsoft Cabinet Software Development Kit\n"
                         "A cabinet holds one or more folders. A folder is a unit of decompression:\n"
                         "its files are compressed together, and a folder may span several cabinets.\n"
                         "Compression works on blocks of 32 KB of uncompressed data."));
      m_cabPanel->hide();
      layout->addWidget(m_cabPanel);
      m_pages->addTab(page, QString());
    } else {
      m_pages->addTab(view, QString());
    }
  }
  m_report = new ReportView;
  m_report->setObjectName("RichEdit1");
  m_report->setMouseTracking(true);
  m_report->viewport()->setMouseTracking(true);
  m_report->viewport()->installEventFilter(this);
  m_pages->addTab(m_report, QString());
  for (int i = 0; i < m_pages->count(); ++i) m_pages->setTabIcon(i, PictureIcon(kTabPictures[i]));
  setCentralWidget(m_pages);
}

void TForm1::buildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName("StatusBar1");
  bar->setSizeGripEnabled(true);
  for (int i = 0; i < 5; ++i) {
    auto* label = new QLabel;
    label->setFixedWidth(kPanelWidths[i]);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setTextFormat(Qt::PlainText);
    bar->addWidget(label);
    m_panels[static_cast<size_t>(i)] = label;
  }
  m_panels[3]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // The progress takes the room right of the panels and asks for little of
  // it, so showing it never moves a panel.
  m_progress = new QProgressBar;
  m_progress->setObjectName("ExtractProgress");
  m_progress->setRange(0, 1000);
  m_progress->setTextVisible(true);
  m_progress->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  m_progress->setMinimumWidth(24);
  m_progress->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  m_progress->hide();
  bar->addWidget(m_progress, 1);
  auto* cancel = new QToolButton;
  cancel->setObjectName("CancelExtractBtn");
  cancel->setAutoRaise(true);
  cancel->setIcon(PictureIcon(Picture::Quit));
  cancel->setIconSize(QSize(12, 12));
  cancel->setText(Text(WinStr::CancelExtraction));
  cancel->setToolTip(Text(WinStr::CancelExtractionTip));
  cancel->setAccessibleName(Text(WinStr::CancelExtraction));
  cancel->setFocusPolicy(Qt::TabFocus);
  cancel->hide();
  connect(cancel, &QToolButton::clicked, this, &TForm1::requestCancel);
  bar->addWidget(cancel);
  m_cancelButton = cancel;
}

void TForm1::ApplyStrings() {
  for (int i = 0; i < m_pages->count(); ++i) m_pages->setTabText(i, ToQt(Str(kTabCaptions[i])));
  m_report->setToolTip(ToQt(Str(MainStr::TipReportMenu)));
  ChoixFichierTBtn->setToolTip(ToQt(Str(MainStr::TipOpen)));
  ExtraitTBtn->setToolTip(ToQt(Str(MainStr::TipExtract)));
  SelExtractTBtn->setToolTip(ToQt(Str(MainStr::TipExtract) + Str(MainStr::TipSelectionSuffix)));
  InfTBtn->setToolTip(ToQt(Str(MainStr::TipSaveInf)));
  RegTBtn->setToolTip(Text(WinStr::TipSaveReg));
  PrecTBtn->setToolTip(ToQt(Str(MainStr::TipPreviousPage)));
  PressePTBtn->setToolTip(ToQt(Str(MainStr::TipCopyInf)));
  QuitterTBtn->setToolTip(ToQt(Str(MainStr::TipQuit)));
  RTFTBtn->setToolTip(ToQt(Str(MainStr::TipSaveRtf)));
  SignMSCETBtn->setToolTip(ToQt(Str(MainStr::TipVerifySignature)));
  SuivTBtn->setToolTip(ToQt(Str(MainStr::TipNextPage)));
  m_panels[0]->setText(ToQt(Str(MainStr::StatusPrompt)));
  m_views[kFilesList]->setToolTip(ToQt(Str(MainStr::TipFilesList)));
  ArbreTBtn->setToolTip(ToQt(Str(MainStr::TipUseFolderNames)));
  XMLTBtn->setToolTip(QStringLiteral("XML Setup"));
  LinksTBtn->setToolTip(QStringLiteral("vornix.example.org"));
  AbouTbtn->setToolTip(ToQt(Str(MainStr::AboutVornix)));
  VersionTBtn->setToolTip(QStringLiteral("Help - History"));
  setWindowTitle(ToQt(Str(MainStr::Title)));
  // Screen readers name a button by its tooltip; its key goes in the description.
  for (QAction* a : m_toolbar->actions()) {
    QWidget* button = m_toolbar->widgetForAction(a);
    if (!button || a->isSeparator()) continue;
    button->setAccessibleName(a->toolTip());
    button->setAccessibleDescription(a->shortcut().toString(QKeySequence::NativeText));
  }
}

// --- arrival of files --------------------------------------------------------

void TForm1::ProcessCommandLine() {
  for (const QString& arg : m_args) HandleParameter(arg);
}

void TForm1::HandleParameter(const QString& fileName) {
  if (m_closedByArguments) return;
  if (m_extracting || (m_choix && m_choix->isVisible())) {
    // Opened once the extraction (or the choice of files to extract) has
    // ended: the rows being chosen must stay the rows extracted.
    m_arrivedWhileBusy << fileName;
    return;
  }
  m_batchMode = false;
  m_manyArgs = false;
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
  if (fileName != m_currentFile && IsPackageName(fileName)) {
    m_manyArgs = m_args.size() > 1;
    const QString word = m_args.size() >= 2 ? m_args[1].toLower() : QString();
    m_batchMode = m_args.size() >= 2 && (word == "inf" || word == "extract");
    // The batch words never reach the window (the program runs them without
    // one); a second word the batch mode does not know opens nothing.
    if (!m_manyArgs || m_batchMode) openPackage(fileName, true);
  } else if (fileName != m_currentFile && m_args.size() <= 1 && !openEmbedded(fileName)) {
    m_currentFile = fileName;
    reportNotAnalysed(Text(WinStr::NotAPackageName).arg(QDir::toNativeSeparators(fileName)));
  }
  if (m_args.size() > 1) {
    m_closedByArguments = true;
    close();
  }
}

void TForm1::dropFiles(const QStringList& files) {
  if (files.size() > 1) {
    showMessage(QString::fromUtf8(kCaption), ToQt(Str(MainStr::MsgOnlyOneFile)));
    return;
  }
  if (files.size() != 1) return;
  if (IsPackageName(files[0])) {
    openPackage(files[0], true);
  } else if (!openEmbedded(files[0])) {
    m_currentFile = files[0];
    reportNotAnalysed(Text(WinStr::NotAPackageName).arg(QDir::toNativeSeparators(files[0])));
  }
}

// A drop is always taken as a copy: a file manager that honoured a move
// would delete the user's package once the window had read it.
void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  // Rows dragged out of our own list are not packages to open.
  if (event->source()) return;
  if (m_extracting || !event->mimeData()->hasUrls() || !(event->possibleActions() & Qt::CopyAction)) return;
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void TForm1::dropEvent(QDropEvent* event) {
  if (m_extracting || !(event->possibleActions() & Qt::CopyAction)) {
    event->ignore();
    return;
  }
  QStringList files;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) files << url.toLocalFile();
  event->setDropAction(Qt::CopyAction);
  event->accept();
  dropFiles(files);
}

void TForm1::releaseSignatureToggle() { SignMSCETBtn->setChecked(false); }

// The catalogue's filter ("text|patterns|text|patterns...") as Qt filters.
// Host file systems may tell letter case apart: upper-case patterns are added.
QString QtFileFilter(const QString& catalogueFilter) {
  const QStringList parts = catalogueFilter.split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (const QString& p : parts[i + 1].split(';')) patterns << p << p.toUpper();
    patterns.removeDuplicates();
    filters << parts[i] + " (" + patterns.join(' ') + ")";
  }
  return filters.join(";;");
}

void TForm1::chooseAndOpen() {
  if (!OpenPictureDialogGDITSK1) {
    OpenPictureDialogGDITSK1 = new TOpenPictureDialogGDITSK(this);
    OpenPictureDialogGDITSK1->setFilter(ToQt(Str(MainStr::OpenFilter)));
    if (m_folders) OpenPictureDialogGDITSK1->setDirExtract(PathToQt(m_folders->ViewDir().string()));
  }
  OpenPictureDialogGDITSK1->setInitialDir(m_initialFolder);
  if (OpenPictureDialogGDITSK1->Execute()) {
    // The click that confirmed the dialog may end over the list: no drag until a release there.
    if (m_fileActions) m_fileActions->blockDragUntilRelease();
    openPackage(OpenPictureDialogGDITSK1->FileName(), false);
  }
}

OpenResult TForm1::openPackage(const QString& path, bool fromOutside) {
  if (!m_session) return {};
  if (m_extracting) {
    m_arrivedWhileBusy << path;
    return {};
  }
  if (!IsPackageName(path) && openEmbedded(path)) return {};
  statusBar()->clearMessage();
  m_initialFolder = QFileInfo(path).absolutePath();
  m_currentFile = path;
  if (fromOutside) releaseSignatureToggle();

  OpenOptions options;
  options.CheckSignature = SignMSCETBtn->isChecked();
  options.ManyArgs = m_manyArgs;
  // The duplicates box comes once the analysis it is about is on screen.
  options.DuplicatesBox = false;
  options.ShownName = std::exchange(m_openShownAs, {});
  // What the user opened from the last package, and what the preview took
  // out of it, are not kept past it.
  m_folders->EmptyBoth(*m_ui);
  const OpenResult result = m_session->OpenPackage(path.toStdString(), options);
  const OpenFindings& findings = m_session->findings();

  // A ".000" package, read or refused, ends what the XML viewer showed.
  if ((result.Outcome == OpenOutcome::SetupAnalysed || result.Outcome == OpenOutcome::SetupRejected) && LitXMLForm &&
      LitXMLForm->isVisible())
    LitXMLForm->close();
  switch (result.Outcome) {
    case OpenOutcome::SetupAnalysed:
      m_analysedPackage = path;
      showAnalysis(m_session->analysis().shared());
      break;
    case OpenOutcome::SetupRejected:
      // A listing failure changes nothing at all; any other rejection keeps
      // the lists and the report but re-decides the commands for this file.
      if (!findings.ListingFailed) {
        m_report->action(ReportView::kInf)->setEnabled(false);
        updateCommandStates(findings.CabinetMode);
      }
      break;
    case OpenOutcome::XmlFound:
      // The XML analysis takes over: the lists and the report are emptied,
      // and the commands that read them go with them.
      clearAnalysis();
      updateCommandStates(findings.CabinetMode);
      // The status bar's setup DLL is the cabinet's, whichever description tells the rest.
      if (const TCABFileEntry* dll = FindSetupDll(findings.Listing)) m_setupDllName = dll->Name;
      break;
    case OpenOutcome::NothingFound: break;
  }
  XMLTBtn->setEnabled(findings.CabinetMode && !findings.XmlFileName.empty());
  updateStatusBar(result.Outcome);
  if (result.Outcome == OpenOutcome::NothingFound) {
    // Not a package, or not readable: say so rather than show nothing.
    reportNotAnalysed(notAnalysedReason());
  } else if (result.Outcome == OpenOutcome::SetupAnalysed && !m_session->duplicatesText().empty() && !m_manyArgs) {
    repaint();
    showMessage(QStringLiteral("Duplicates"), ToQt(m_session->duplicatesText()));
  } else if (result.Outcome == OpenOutcome::XmlFound && !m_batchMode) {
    repaint();
    showXmlViewer(true);
  }
  return result;
}

TLitXMLForm* TForm1::xmlViewer() {
  if (!LitXMLForm) LitXMLForm = new TLitXMLForm(*this);
  return LitXMLForm;
}

void TForm1::showXmlViewer(bool firstPage) {
  if (!m_session || m_session->findings().XmlFileName.empty()) return;
  xmlViewer()->Execute(firstPage);
}

QString TForm1::notAnalysedReason() const {
  const std::string& error = m_session->findings().ListingError;
  if (!error.empty()) return ToQt(error);
  return Text(WinStr::NoDescription).arg(QDir::toNativeSeparators(m_currentFile));
}

// The box about a file that gave nothing to analyse; the status bar says the
// same of it, while the lists keep the package they showed.
void TForm1::reportNotAnalysed(const QString& reason) {
  updateStatusBar(OpenOutcome::NothingFound);
  showMessage(QString::fromUtf8(kCaption), Text(WinStr::NothingAnalysedTitle) + QStringLiteral("\n\n") + reason);
}

void TForm1::showAnalysis(const std::shared_ptr<const SetupAnalysis>& shared) {
  const SetupAnalysis& a = *shared;
  setUpdatesEnabled(false);
  m_setupDllName = a.CabinetMode ? a.Info.SetupDll.Name : std::string();
  m_appName = a.Info.AppName;
  m_models[0]->clear();
  ResetColumnOrder(kFilesList);
  ResetSortState();
  std::vector<ListRow> general;
  general.reserve(a.Lists.General.size());
  for (const GeneralItem& item : a.Lists.General) general.push_back({{item.Label, item.Value}});
  // A cabinet's signature: a group of rows after the general items, and a section of the report.
  std::vector<GeneralItem>& signature = m_signatureItems;
  signature.clear();
  if (a.CabinetMode && m_session && m_session->analysis().shared() == shared) {
    for (const auto& [label, value] : SignatureItems(ReadCabinetSignatureFile(m_session->packagePath())))
      signature.push_back({Utf8ToCp1252(label), Utf8ToCp1252(value)});
  }
  for (const GeneralItem& item : signature) general.push_back({{item.Label, item.Value}});
  m_models[0]->setRows(std::move(general));
  // The lists show the analysis' own rows, which live as long as a list
  // shows them.
  auto rows = [&](const std::vector<ListRow>& list) { return ListModel::SharedRows(shared, &list); };
  m_models[1]->setRows(rows(a.Lists.Strings));
  m_models[2]->setRows(rows(a.Lists.Dirs));
  m_models[3]->setRows(rows(a.Lists.Files));
  m_models[4]->setRows(rows(a.Lists.Hives));
  m_models[5]->setRows(rows(a.Lists.RegKeys));
  m_models[6]->setRows(rows(a.Lists.Links));
  resetListPlaces();
  Report report = BuildReport(a.Info, a.Lists, a.InfLines, signature);
  // The face and size the report shows are the ones the saved RTF names.
  report.BodyFont = m_report->bodyFont();
  m_reportData = std::make_shared<const Report>(std::move(report));
  // The first tab comes before the report: a report tab left showing would
  // build the new document at once, to be hidden the next moment.
  m_pages->setCurrentIndex(0);
  m_report->showReport(m_reportData);
  updateCommandStates(a.CabinetMode);
  setUpdatesEnabled(true);
}

// Every package starts at the top left of each list, whatever the previous
// one had scrolled to.
void TForm1::resetListPlaces() {
  for (ListView* view : m_views) {
    view->clearSelection();
    view->scrollToTop();
    view->horizontalScrollBar()->setValue(0);
    view->verticalScrollBar()->setValue(0);
  }
}

void TForm1::clearAnalysis() {
  m_analysedPackage.clear();
  for (ListModel* m : m_models) m->clear();
  resetListPlaces();
  m_reportData = std::make_shared<const Report>();
  m_report->clearReport();
  for (int i = ReportView::kInf; i < ReportView::kItemCount; ++i) m_report->action(i)->setEnabled(false);
  m_setupDllName.clear();
}

void TForm1::updateCommandStates(bool cabinetMode) {
  const bool report = m_report->lineCount() > 0;
  RTFTBtn->setEnabled(report);
  InfTBtn->setEnabled(report);
  RegTBtn->setEnabled(report && m_session && m_session->analysis());
  PressePTBtn->setEnabled(report);
  const bool extract = report && cabinetMode && m_models[kFilesList]->rowCount() > 0;
  ExtraitTBtn->setEnabled(extract);
  ArbreTBtn->setEnabled(extract);
  SelExtractTBtn->setEnabled(extract);
}

// The status bar describes the file opened last, all five panels of it: a
// file that gave nothing to analyse leaves no panel of an earlier package.
void TForm1::updateStatusBar(OpenOutcome outcome) {
  const bool analysed = outcome == OpenOutcome::SetupAnalysed || outcome == OpenOutcome::XmlFound;
  m_panels[0]->setText(ShortenPath(QDir::toNativeSeparators(m_currentFile), 400));
  if (analysed) {
    const std::vector<std::string>& panels = m_session->statusPanels();
    for (int i : {1, 2, 4}) m_panels[static_cast<size_t>(i)]->setText(ToQt(panels.at(static_cast<size_t>(i))));
  } else {
    m_panels[1]->clear();
    m_panels[2]->setText(Text(WinStr::NothingAnalysed));
    m_panels[4]->clear();
  }
  // The last panel grows to its text ("Exit Code : 222" is wider than its
  // design width in most faces); it has no panel after it to push.
  QLabel* exitCode = m_panels[4];
  exitCode->setFixedWidth(qMax(
      kPanelWidths[4], exitCode->fontMetrics().horizontalAdvance(exitCode->text()) + 2 * exitCode->frameWidth() + 6));
  const bool setupDll = analysed && !m_setupDllName.empty();
  if (setupDll) {
    m_panels[3]->setPixmap(DrawPicture(Picture::SetupDll, 16));
  } else {
    m_panels[3]->clear();
  }
  QString tip = m_currentFile;
  if (setupDll) tip.prepend(QStringLiteral("!!! CESetupDLL !!! --- "));
  statusBar()->setToolTip(tip);

  const CabInfoLine& info = m_session->cabInfo();
  m_compLbl->setText(ToQt(info.CompressionLabel));
  m_infosCabLbl->setText(ToQt(info.Details));
  m_cabPanel->setVisible(info.Visible);
}

QString TForm1::statusPanel(int panel) const { return m_panels.at(static_cast<size_t>(panel))->text(); }
QString TForm1::statusToolTip() const { return statusBar()->toolTip(); }
QString TForm1::cabInfoText() const {
  return m_cabTitle->text() + " " + m_compLbl->text() + " " + m_infosCabLbl->text();
}

QString TForm1::statusMessage() const { return statusBar()->currentMessage(); }

QString TForm1::ShortenPath(const QString& path, int width) const {
  const QFontMetrics metrics = fontMetrics();
  const int room = width - 10;
  if (metrics.horizontalAdvance(path) <= room) return path;
  const QString ellipsis(QChar(0x2026));
  const int cut = qMax(path.lastIndexOf('/'), path.lastIndexOf('\\'));
  if (cut <= 0) return metrics.elidedText(path, Qt::ElideMiddle, room);
  // As much of the folder's start as fits, the ellipsis, then the name whole.
  const QString name = path.mid(cut);
  for (int keep = cut - 1; keep > 0; --keep) {
    const QString shortened = path.left(keep) + ellipsis + name;
    if (metrics.horizontalAdvance(shortened) <= room) return shortened;
  }
  // A name wider than the box loses its middle too.
  return metrics.elidedText(ellipsis + name, Qt::ElideMiddle, room);
}

// --- commands --------------------------------------------------------------

void TForm1::previousPage() {
  const int i = m_pages->currentIndex();
  m_pages->setCurrentIndex(i == 0 ? m_pages->count() - 1 : i - 1);
}

void TForm1::nextPage() {
  const int i = m_pages->currentIndex();
  m_pages->setCurrentIndex(i == m_pages->count() - 1 ? 0 : i + 1);
}

QString TForm1::askSaveName(const QString& title, const QStringList& filters, const QStringList& extensions) {
  SaveDialog dialog(this, title, m_initialFolder, filters, extensions);
  dialog.selectNameFilter(filters.value(m_saveFilterIndex, filters.first()));
  dialog.selectFile(ToQt(m_appName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  m_saveFilterIndex = dialog.filterIndex();
  return dialog.fileToWrite();
}

void TForm1::saveReportCommand() {
  const QString file = askSaveName(ToQt(Str(MainStr::SaveRtfTitle)), {"*.doc", "*.rtf"}, {".doc", ".rtf"});
  if (!file.isEmpty()) saveReportRtf(file);
}

void TForm1::saveInfCommand() {
  const QString file = askSaveName(ToQt(Str(MainStr::SaveInfTitle)), {"*.inf", "*.txt"}, {".inf", ".txt"});
  if (!file.isEmpty()) SaveInfText(file);
}

bool TForm1::saveReportRtf(const QString& path) {
  QString error;
  if (WriteFileWhole(path, WriteRtf(*m_reportData), error)) return true;
  showMessage(QString::fromUtf8(kCaption), Text(WinStr::SaveFailed) + QStringLiteral("\n\n") +
                                               QDir::toNativeSeparators(path) + QStringLiteral(" : ") + error);
  return false;
}

QString TForm1::GetInfText() { return m_report->infSelectionText(); }

bool TForm1::SaveInfText(const QString& path) {
  QString error;
  if (WriteFileWhole(path, FromQt(GetInfText()) + "\r\n", error)) return true;
  showMessage(QString::fromUtf8(kCaption), Text(WinStr::SaveFailed) + QStringLiteral("\n\n") +
                                               QDir::toNativeSeparators(path) + QStringLiteral(" : ") + error);
  return false;
}

void TForm1::saveRegCommand() {
  if (!m_session || !m_session->analysis()) return;
  if (const auto choice = AskRegFile(this, m_initialFolder, ToQt(m_appName)))
    SaveRegFile(choice->Path, choice->Regedit4);
}

bool TForm1::SaveRegFile(const QString& path, bool regedit4) {
  if (!m_session || !m_session->analysis()) return false;
  QString error;
  const std::string bytes =
      RegFileBytes(m_session->analysis()->Info, regedit4 ? RegFileFormat::Regedit4 : RegFileFormat::Version5);
  if (WriteFileWhole(path, bytes, error)) return true;
  showMessage(QString::fromUtf8(kCaption), Text(WinStr::SaveFailed) + QStringLiteral("\n\n") +
                                               QDir::toNativeSeparators(path) + QStringLiteral(" : ") + error);
  return false;
}

bool TForm1::openEmbedded(const QString& path) {
  if (!m_folders || m_extracting) return false;
  std::string error;
  const fs::path file = path.toStdString();
  const CabinetScan scan = ScanFileForCabinets(file, &error);
  if (!error.empty() || scan.Cabinets.empty()) return false;
  // The copies live in the window's private folder for as long as it runs:
  // the package shown is read again by the extraction.
  const fs::path folder = m_folders->root() / "Embedded";
  std::error_code ec;
  fs::create_directories(folder, ec);
  int chosen = 0;
  if (scan.Cabinets.size() > 1) {
    std::vector<std::string> rows;
    for (size_t i = 0; i < scan.Cabinets.size(); ++i)
      rows.push_back(CabinetChoiceRow(i, scan.Cabinets[i], EmbeddedApplicationName(file, scan.Cabinets[i], folder)));
    if (cabinetChoiceHook) {
      chosen = cabinetChoiceHook(rows);
    } else {
      CabinetChoiceDialog dialog(this, path, rows);
      chosen = dialog.exec() == QDialog::Accepted ? dialog.chosen() : -1;
    }
    if (chosen < 0 || static_cast<size_t>(chosen) >= rows.size()) return true;
  }
  const std::string shown = path.toStdString() + "#" + std::to_string(chosen + 1);
  const fs::path copy = folder / (std::to_string(++m_embeddedCopies) + "-" + file.filename().string() + "#" +
                                  std::to_string(chosen + 1) + ".cab");
  const EmbeddedCabinet& cabinet = scan.Cabinets[static_cast<size_t>(chosen)];
  if (!CopyFileSpan(file, cabinet.Offset, cabinet.Size, copy, &error)) {
    m_currentFile = path;
    reportNotAnalysed(ToQt(Utf8ToCp1252(error)));
    return true;
  }
  m_openShownAs = PathText(shown);
  const OpenResult result = openPackage(PathToQt(copy.string()), true);
  // The window names the file the cabinet came from, with its number.
  m_currentFile = QString::fromStdString(shown);
  m_initialFolder = QFileInfo(path).absolutePath();
  updateStatusBar(result.Outcome);
  return true;
}

void TForm1::copyInf() { m_report->copyInf(GetInfText()); }

void TForm1::extractAll(const QString& folder) { runExtraction(folder, nullptr, true); }

void TForm1::SelExtractTBtnClick() {
  if (!m_filesSource || m_extracting) return;
  m_choix->setSourceList(m_filesSource.get(), [this](bool writeInf) { ExtractSelection(writeInf); });
  m_choix->exec();
  if (m_extracting) return;
  const QStringList arrived = std::exchange(m_arrivedWhileBusy, {});
  for (const QString& file : arrived) HandleParameter(file);
}

void TForm1::ExtractSelection(bool writeInf) {
  const std::vector<bool> chosen = m_choix->checkedRows();
  runExtraction({}, &chosen, writeInf);
}

// Every row, or with `chosen` the rows checked in the selective dialog.
void TForm1::runExtraction(const QString& folderGiven, const std::vector<bool>* chosen, bool writeInf) {
  if (!m_session || !m_session->analysis() || m_extracting) return;
  SetListMouseTracking(false);
  QString folder = folderGiven;
  if (folder.isEmpty()) {
    const QString packageFolder = QFileInfo(m_currentFile).absolutePath();
    folder = chooseFolder(ToQt(Str(MainStr::ChooseFolderTitle)) + ShortenPath(packageFolder, 200), packageFolder);
  }
  QString refused;
  if (!folder.isEmpty() && !FolderAcceptsFiles(folder, refused)) {
    showMessage(QString::fromUtf8(kCaption), Text(WinStr::FolderNotWritable) + QStringLiteral("\n\n") +
                                                 QDir::toNativeSeparators(folder) + QStringLiteral(" : ") + refused);
  } else if (!folder.isEmpty()) {
    repaint();  // the extraction shows the busy pointer itself
    // The rows on screen belong to the package last analysed, which is not
    // the current file when a later file was rejected. The toggle down puts
    // every file straight into the folder.
    ExtractRequest request =
        MakeExtractRequest(*m_session->analysis(), m_analysedPackage.toStdString(), folder.toStdString(),
                           !ArbreTBtn->isChecked(), m_models[kFilesList]->rows());
    request.WriteInf = writeInf;
    if (chosen) request = SelectionRequest(std::move(request), *chosen, writeInf);
    beginExtraction();
    const ExtractReport report = ExtractUnderOriginalNames(request, *m_ui);
    endExtraction();
    if (!report.CabinetRead) {
      const QString cause = report.Error.empty()
                                ? Text(WinStr::CannotRead).arg(QDir::toNativeSeparators(m_analysedPackage))
                                : ToQt(report.Error);
      showMessage(QString::fromUtf8(kCaption),
                  ToQt(Str(MainStr::MsgExtractFilesError)) + QStringLiteral("\n\n") + cause);
    }
    const QString where = QDir::toNativeSeparators(folder);
    // Over the panels for a while, then the panels come back.
    statusBar()->showMessage(
        Text(report.Cancelled ? WinStr::ExtractionCancelled : WinStr::ExtractionDone).arg(report.Written).arg(where),
        30000);
  }
  SetListMouseTracking(true);
  if (m_closeAfterExtraction) {
    close();
    return;
  }
  // Files handed over meanwhile are opened now, in the order they came.
  const QStringList arrived = std::exchange(m_arrivedWhileBusy, {});
  for (const QString& file : arrived) HandleParameter(file);
}

// While files are written the window takes no command but cancel: every
// action is off (their keys with them) and the pages do not react.
void TForm1::beginExtraction() {
  m_extracting = true;
  m_cancelRequested = false;
  statusBar()->clearMessage();
  m_actionStates.clear();
  for (QAction* a : m_toolbar->actions()) {
    m_actionStates.emplace_back(a, a->isEnabled());
    a->setEnabled(false);
  }
  m_pages->setEnabled(false);
  m_progress->setValue(0);
  m_progress->setFormat(QStringLiteral("%p%"));
  m_progress->show();
  m_cancelButton->show();
}

void TForm1::endExtraction() {
  m_progress->hide();
  m_cancelButton->hide();
  m_pages->setEnabled(true);
  for (const auto& [action, enabled] : m_actionStates) action->setEnabled(enabled);
  m_actionStates.clear();
  m_extracting = false;
}

void TForm1::requestCancel() {
  if (m_extracting) m_cancelRequested = true;
}

QString TForm1::chooseFolder(const QString& title, const QString& initial) {
  if (folderHook) return folderHook(title, initial);
  QFileDialog dialog(this, ToQt(Str(MainStr::ExtractDialogCaption)), initial);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setLabelText(QFileDialog::LookIn, QString(title).replace('\r', '\n'));
  if (QScreen* screen = this->screen()) {
    const QRect area = screen->geometry();
    dialog.move((area.width() - dialog.width()) / 2, (area.height() - dialog.height()) / 2);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

void TForm1::showMessage(const QString& caption, const QString& text) {
  if (messageHook) {
    messageHook(caption, text);
    return;
  }
  QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, this);
  // Wide enough for its caption ("Duplicates" read "Dup...tes" in a narrow box).
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
    grid->addItem(
        new QSpacerItem(fontMetrics().horizontalAdvance(caption) + 160, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
        grid->rowCount(), 0, 1, grid->columnCount());
  box.exec();
}

// --- sorting ---------------------------------------------------------------

void TForm1::ListViewColumnClick(int list, int key) {
  ListModel* model = m_models.at(static_cast<size_t>(list));
  const bool numeric =
      model->isFilesList() && model->columns().at(static_cast<size_t>(key)).Caption == Str(MainStr::ColSizeBytes);
  m_views.at(static_cast<size_t>(list))->sortOnColumn(m_sort, key, numeric);
}

void TForm1::ResetSortState() {
  m_sort.ResetSortState();
  for (ListView* view : m_views)
    if (view) view->clearSortIndicator();
}

void TForm1::ResetColumnOrder(int list) {
  QHeaderView* header = m_views.at(static_cast<size_t>(list))->horizontalHeader();
  for (int k = header->count() - 1; k >= 0; --k) header->moveSection(header->visualIndex(k), k);
}

void TForm1::SetListMouseTracking(bool on) { m_mouseTracking = on; }

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove && m_mouseTracking) {
    auto* viewport = qobject_cast<QWidget*>(watched);
    QWidget* control = viewport ? viewport->parentWidget() : nullptr;
    const auto* move = static_cast<QMouseEvent*>(event);
    const bool filesList = control == m_views[kFilesList];
    if (control && !control->hasFocus() && (!filesList || move->buttons() == Qt::NoButton)) control->setFocus();
  }
  return QMainWindow::eventFilter(watched, event);
}

// --- window ------------------------------------------------------------------

QRect TForm1::FittedGeometry(const QSize& size, const QRect& available, const QMargins& frame) {
  const QSize room(available.width() - frame.left() - frame.right(), available.height() - frame.top() - frame.bottom());
  const QSize client = size.boundedTo(room);
  const int outerWidth = client.width() + frame.left() + frame.right();
  const int outerHeight = client.height() + frame.top() + frame.bottom();
  const QPoint topLeft(available.left() + (available.width() - outerWidth) / 2 + frame.left(),
                       available.top() + (available.height() - outerHeight) / 2 + frame.top());
  return QRect(topLeft, client);
}

void TForm1::placeOnScreen() {
  QScreen* screen = this->screen();
  if (!screen) return;
  // Before the window manager has framed the window its frame is a guess:
  // a title bar and thin borders.
  QMargins frame(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                 frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
  if (frame.isNull()) frame = QMargins(4, 30, 4, 4);
  const QSize wanted = isVisible() ? size() : kDesignSize;
  setGeometry(FittedGeometry(wanted, screen->availableGeometry(), frame));
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (m_extracting) {
    // Stopped at the next block; the window closes once the files are safe.
    m_cancelRequested = true;
    m_closeAfterExtraction = true;
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

void TForm1::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
    applyPaletteColours();
}

// The design's colours were chosen for white; on a dark palette they are
// lightened until they read (the report does the same for its labels).
void TForm1::applyPaletteColours() {
  // The window's own palette: it changes before its children's do, and the
  // lists and the panel inherit it.
  const QColor base = palette().color(QPalette::Base);
  for (ListModel* model : m_models)
    if (model) model->setBackground(base);
  if (!m_cabPanel) return;
  const QColor back = palette().color(QPalette::Window);
  const QColor blue = Readable(QColor(0, 0, 255), back), maroon = Readable(QColor(128, 0, 0), back);
  m_cabTitle->setStyleSheet(QStringLiteral("font-weight: bold; color: %1;").arg(blue.name()));
  m_compLbl->setStyleSheet(QStringLiteral("font-weight: bold; color: %1;").arg(maroon.name()));
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  m_pages->setCurrentIndex(0);
}

void TForm1::toggleMenuSize() {
  m_metrics.SmallMenuIcons = !m_metrics.SmallMenuIcons;
  m_metrics.recompute();
  m_report->applyMenuMetrics(m_metrics);
}

void TForm1::showAbout() { AboutBox(this).exec(); }
void TForm1::showHistory() { HistoryWindow(this).exec(); }
void TForm1::showLinks() { LinksWindow(this).exec(); }

}  // namespace vornix
