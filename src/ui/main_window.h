// The main window: the analysis in eight tabs, the toolbar from which every
// command starts, the status bar and the arrival of files (command line,
// hand-over from a second start, drops). It only assembles: the opening,
// the report and the extraction are the core's; the lists are models.
#pragma once

#include <QMainWindow>
#include <QMargins>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "package/package_session.h"
#include "package/temp_folders.h"
#include "presentation/report.h"
#include "ui/file_list_source.h"
#include "ui/list_sort.h"
#include "ui/list_view.h"
#include "ui/menu_metrics.h"

class QAction;
class QAbstractButton;
class QLabel;
class QProgressBar;
class QTabWidget;
class QTableView;
class QToolBar;
class QWidget;

namespace vornix {

class FileListActions;
class ListModel;
class ReportView;
class TChoixFicExtract;
class TLitXMLForm;
class TOpenPictureDialogGDITSK;
class WindowUserInterface;

/// The open dialog's catalogue filter in Qt's form.
QString QtFileFilter(const QString& catalogueFilter);

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  /// The window's client area at start, toolbar and status bar included.
  static constexpr QSize kDesignSize{944, 498};
  /// Where a window of client size `size` goes on a screen whose free area
  /// is `available`, its frame being `frame`: as large as the design asks
  /// but no larger than the area, and centred in it (client geometry).
  static QRect FittedGeometry(const QSize& size, const QRect& available, const QMargins& frame);
  /// Places the window so that it and its frame fit the screen it is on.
  void placeOnScreen();

  /// False when the temporary folders could not be prepared (the program ends).
  bool ready() const { return m_folders.has_value(); }
  /// The window's private temporary folders; only when ready().
  TempFolders& tempFolders() { return *m_folders; }
  const std::string& startupError() const { return m_startupError; }

  // --- arrival of files ------------------------------------------------
  /// The process's own arguments (without the program), read by HandleParameter.
  void setCommandLine(const QStringList& args) { m_args = args; }
  /// Hands every own argument to HandleParameter (run once the loop is idle).
  void ProcessCommandLine();
  /// The one handler of file names from the command line and from a second start.
  void HandleParameter(const QString& fileName);
  /// Files dropped on the window (local paths).
  void dropFiles(const QStringList& files);
  /// Runs the opening pipeline on a file; `fromOutside` releases the signature toggle.
  OpenResult openPackage(const QString& path, bool fromOutside = false);

  // --- commands ---------------------------------------------------------
  bool saveReportRtf(const QString& path);
  bool SaveInfText(const QString& path);
  /// The registry values of the analysis shown, as a .reg file (REGEDIT4 with `regedit4`).
  bool SaveRegFile(const QString& path, bool regedit4);
  QString GetInfText();
  void copyInf();
  /// Extraction into `folder` (empty: ask with the folder dialog).
  void extractAll(const QString& folder = {});
  /// The selection extraction the selective dialog asks for: the rows
  /// checked there, into a folder always asked for.
  void ExtractSelection(bool writeInf);
  /// Hands the files list to the selective extraction dialog and shows it.
  void SelExtractTBtnClick();
  /// The column click of list `list` (0..6) on the column with design index `key`.
  void ListViewColumnClick(int list, int key);
  void ResetSortState();
  void ResetColumnOrder(int list);
  void SetListMouseTracking(bool on);
  void previousPage();
  void nextPage();
  /// The path shortened to `width` pixels: the middle of its folder part
  /// gives way to an ellipsis, its file name stays whole.
  QString ShortenPath(const QString& path, int width) const;
  /// The XML setup viewer (made on first use).
  TLitXMLForm* xmlViewer();
  /// Shows the viewer for the current package (the "XML" button, and the
  /// opening of a package described by "_setup.xml"); `firstPage` makes its
  /// tree active.
  void showXmlViewer(bool firstPage);
  /// Stops a running extraction at the next block (the cancel button, Esc).
  void requestCancel();
  /// No menu to hide the toolbar: it carries every command.
  QMenu* createPopupMenu() override { return nullptr; }

  // --- state for the rest of the program and for tests ----------------------
  ListModel* model(int list) const { return m_models.at(static_cast<size_t>(list)); }
  ListView* view(int list) const { return m_views.at(static_cast<size_t>(list)); }
  ReportView* report() const { return m_report; }
  QTabWidget* pages() const { return m_pages; }
  QString statusPanel(int panel) const;
  QString statusToolTip() const;
  QWidget* cabInfoPanel() const { return m_cabPanel; }
  QString cabInfoText() const;
  const std::string& SetupDllName() const { return m_setupDllName; }
  const ListSortState& sortState() const { return m_sort; }
  const MenuMetrics& menuMetrics() const { return m_metrics; }
  /// F11: the owner-drawn menus' rows switch between 36 and 20 pixels (the
  /// XML viewer switches the same setting).
  void toggleMenuSize();
  const QString& currentFile() const { return m_currentFile; }
  PackageSession& session() { return *m_session; }
  bool listMouseTracking() const { return m_mouseTracking; }
  /// The files list's popup, double click and drag-out.
  FileListActions* fileActions() const { return m_fileActions; }
  const FileListSource* filesSource() const { return m_filesSource.get(); }
  /// The selective extraction dialog, made once for the run.
  TChoixFicExtract* ChoixFicExtract() const { return m_choix; }
  QToolBar* toolBar() const { return m_toolbar; }
  QProgressBar* progressBar() const { return m_progress; }
  QAbstractButton* cancelButton() const { return m_cancelButton; }
  bool extracting() const { return m_extracting; }
  /// The status bar's passing message (the end of an extraction), or empty.
  QString statusMessage() const;

  QAction* ChoixFichierTBtn = nullptr;
  QAction* PrecTBtn = nullptr;
  QAction* SuivTBtn = nullptr;
  QAction* RTFTBtn = nullptr;
  QAction* InfTBtn = nullptr;
  QAction* RegTBtn = nullptr;
  QAction* PressePTBtn = nullptr;
  QAction* ExtraitTBtn = nullptr;
  QAction* SelExtractTBtn = nullptr;
  QAction* ArbreTBtn = nullptr;
  QAction* SignMSCETBtn = nullptr;
  QAction* XMLTBtn = nullptr;
  QAction* LinksTBtn = nullptr;
  QAction* AbouTbtn = nullptr;
  QAction* VersionTBtn = nullptr;
  QAction* QuitterTBtn = nullptr;
  /// The open dialog with the theme preview; made on first use.
  TOpenPictureDialogGDITSK* OpenPictureDialogGDITSK1 = nullptr;
  TLitXMLForm* LitXMLForm = nullptr;
  /// False: the XML viewer shows without a nested event loop (tests).
  bool ShowXmlViewerModally = true;

  /// Replaces message boxes and the folder dialog (tests, scripted runs).
  std::function<void(const QString& caption, const QString& text)> messageHook;
  std::function<QString(const QString& title, const QString& initial)> folderHook;
  /// Answers the choice of a cabinet inside another file instead of the
  /// dialog: the row chosen (0-based), or -1 for Cancel.
  std::function<int(const std::vector<std::string>& rows)> cabinetChoiceHook;
  /// A file that is no package but holds complete cabinets: the one it holds,
  /// or the one chosen from the list, is opened. False when it holds none.
  bool openEmbedded(const QString& path);
  /// The signature rows of the cabinet shown (first tab and report); none for a bare description.
  const std::vector<GeneralItem>& signatureItems() const { return m_signatureItems; }

  static constexpr int kListCount = 7;
  static constexpr int kFilesList = 3;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class WindowUserInterface;
  friend class TLitXMLForm;  // its boxes, folder dialog and menu size are this window's
  void buildToolbar();
  void buildPages();
  void buildStatusBar();
  void ApplyStrings();
  void chooseAndOpen();
  void saveReportCommand();
  void saveInfCommand();
  void saveRegCommand();
  QString askSaveName(const QString& title, const QStringList& filters, const QStringList& extensions);
  void showAnalysis(const std::shared_ptr<const SetupAnalysis>& analysis);
  void clearAnalysis();
  void updateCommandStates(bool cabinetMode);
  void updateStatusBar(OpenOutcome outcome);
  void resetListPlaces();
  void applyPaletteColours();
  QString notAnalysedReason() const;
  void reportNotAnalysed(const QString& reason);
  void runExtraction(const QString& folderGiven, const std::vector<bool>* chosen, bool writeInf);
  void beginExtraction();
  void endExtraction();
  void showMessage(const QString& caption, const QString& text);
  QString chooseFolder(const QString& title, const QString& initial);
  void releaseSignatureToggle();
  void showAbout();
  void showHistory();
  void showLinks();

  std::string m_startupError;
  std::optional<TempFolders> m_folders;
  std::unique_ptr<WindowUserInterface> m_ui;
  std::unique_ptr<PackageSession> m_session;
  std::shared_ptr<const Report> m_reportData = std::make_shared<const Report>();  // shared with the report tab
  std::string m_setupDllName;
  std::string m_appName;
  std::vector<GeneralItem> m_signatureItems;
  int m_embeddedCopies = 0;
  std::string m_openShownAs;  // the name of the next package opened, when it is a private copy  // numbers the private
                              // copies of cabinets inside other files
  QString m_currentFile;
  QString m_analysedPackage;  // the package the lists and the report show
  QString m_initialFolder;
  QStringList m_args;
  bool m_manyArgs = false;
  bool m_batchMode = false;
  bool m_closedByArguments = false;
  bool m_mouseTracking = true;
  bool m_extracting = false;
  bool m_cancelRequested = false;
  bool m_closeAfterExtraction = false;
  QStringList m_arrivedWhileBusy;                         // files handed over during an extraction
  std::vector<std::pair<QAction*, bool>> m_actionStates;  // enabled states kept during an extraction
  int m_saveFilterIndex = 0;
  ListSortState m_sort;
  MenuMetrics m_metrics;

  QToolBar* m_toolbar = nullptr;
  QTabWidget* m_pages = nullptr;
  std::array<ListModel*, kListCount> m_models{};
  std::array<ListView*, kListCount> m_views{};
  ReportView* m_report = nullptr;
  std::unique_ptr<ListModelFileSource> m_filesSource;
  FileListActions* m_fileActions = nullptr;
  TChoixFicExtract* m_choix = nullptr;
  std::array<QLabel*, 5> m_panels{};
  QProgressBar* m_progress = nullptr;
  QAbstractButton* m_cancelButton = nullptr;
  QWidget* m_cabPanel = nullptr;
  QLabel* m_cabTitle = nullptr;
  QLabel* m_compLbl = nullptr;
  QLabel* m_infosCabLbl = nullptr;
};

}  // namespace vornix
