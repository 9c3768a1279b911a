// The main window: the analysis in eight tabs, the toolbar from which every
// command starts, the status bar and the arrival of files (command line,
// hand-over from a second start, drops). It only assembles: the opening,
// the report and the extraction are the core's; the lists are models.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "package/package_session.h"
#include "package/temp_folders.h"
#include "setup/report.h"
#include "ui/list_sort.h"
#include "ui/menu_metrics.h"

class QAction;
class QLabel;
class QProgressBar;
class QTabWidget;
class QTableView;
class QToolBar;
class QWidget;

namespace vornix {

class ListModel;
class ReportView;
class TOpenPictureDialogGDITSK;
class WindowUserInterface;

/// The open dialog's catalogue filter in Qt's form.
QString QtFileFilter(const QString& catalogueFilter);

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  /// False when the temporary folders could not be prepared (the program ends).
  bool ready() const { return m_folders.has_value(); }
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
  QString GetInfText();
  void copyInf();
  /// Extraction into `folder` (empty: ask with the folder dialog).
  void extractAll(const QString& folder = {});
  /// The column click of list `list` (0..6) on the column with design index `key`.
  void ListViewColumnClick(int list, int key);
  void ResetSortState();
  void ResetColumnOrder(int list);
  void SetListMouseTracking(bool on);
  void previousPage();
  void nextPage();
  QString ShortenPath(const QString& path, int width) const;

  // --- state for the rest of the program and for tests ----------------------
  ListModel* model(int list) const { return m_models.at(static_cast<size_t>(list)); }
  QTableView* view(int list) const { return m_views.at(static_cast<size_t>(list)); }
  ReportView* report() const { return m_report; }
  QTabWidget* pages() const { return m_pages; }
  QString statusPanel(int panel) const;
  QString statusToolTip() const;
  QWidget* cabInfoPanel() const { return m_cabPanel; }
  QString cabInfoText() const;
  const std::string& SetupDllName() const { return m_setupDllName; }
  const ListSortState& sortState() const { return m_sort; }
  const MenuMetrics& menuMetrics() const { return m_metrics; }
  const QString& currentFile() const { return m_currentFile; }
  PackageSession& session() { return *m_session; }
  bool listMouseTracking() const { return m_mouseTracking; }

  QAction* ChoixFichierTBtn = nullptr;
  QAction* PrecTBtn = nullptr;
  QAction* SuivTBtn = nullptr;
  QAction* RTFTBtn = nullptr;
  QAction* InfTBtn = nullptr;
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

  /// Replaces message boxes and the folder dialog (tests, scripted runs).
  std::function<void(const QString& caption, const QString& text)> messageHook;
  std::function<QString(const QString& title, const QString& initial)> folderHook;

  static constexpr int kListCount = 7;
  static constexpr int kFilesList = 3;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class WindowUserInterface;
  void buildToolbar();
  void buildPages();
  void buildStatusBar();
  void ApplyStrings();
  void chooseAndOpen();
  void saveReportCommand();
  void saveInfCommand();
  QString askSaveName(const QString& title, const QStringList& filters, const QStringList& extensions);
  void showAnalysis(const SetupAnalysis& analysis);
  void clearAnalysis();
  void updateCommandStates(bool cabinetMode);
  void updateStatusBar();
  void showMessage(const QString& caption, const QString& text);
  QString chooseFolder(const QString& title, const QString& initial);
  void releaseSignatureToggle();
  void toggleMenuSize();
  void showAbout();
  void showHistory();
  void showLinks();

  std::string m_startupError;
  std::optional<TempFolders> m_folders;
  std::unique_ptr<WindowUserInterface> m_ui;
  std::unique_ptr<PackageSession> m_session;
  Report m_reportData;
  std::string m_setupDllName;
  std::string m_appName;
  QString m_currentFile;
  QString m_analysedPackage;  // the package the lists and the report show
  QString m_initialFolder;
  QStringList m_args;
  bool m_manyArgs = false;
  bool m_batchMode = false;
  bool m_closedByArguments = false;
  bool m_mouseTracking = true;
  int m_saveFilterIndex = 0;
  ListSortState m_sort;
  MenuMetrics m_metrics;

  QToolBar* m_toolbar = nullptr;
  QTabWidget* m_pages = nullptr;
  std::array<ListModel*, kListCount> m_models{};
  std::array<QTableView*, kListCount> m_views{};
  ReportView* m_report = nullptr;
  std::array<QLabel*, 5> m_panels{};
  QProgressBar* m_progress = nullptr;
  QWidget* m_cabPanel = nullptr;
  QLabel* m_cabTitle = nullptr;
  QLabel* m_compLbl = nullptr;
  QLabel* m_infosCabLbl = nullptr;
};

}  // namespace vornix
