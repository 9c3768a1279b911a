// The window of a package described by "_setup.xml" (and of an XML theme):
// the document as a tree, the general, directory, file and shortcut rows,
// the registry listing and the rebuilt INF, with the main window's commands
// on them. The reading and the extraction are the core's; the lists are the
// main window's models and views.
#pragma once

#include <QDateTime>
#include <QDialog>
#include <QSize>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/file_list_source.h"
#include "ui/list_sort.h"
#include "xml/xml_setup.h"

class QAction;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace vornix {

class FileListActions;
class ListModel;
class ListView;
class TForm1;
class ViewerUserInterface;
struct ExtractRequest;

class TLitXMLForm : public QDialog {
  Q_OBJECT
 public:
  explicit TLitXMLForm(TForm1& main);
  ~TLitXMLForm() override;

  /// The client area the window opens with, centred on the main window.
  static constexpr QSize kClientSize{814, 567};

  // Lists, by their place among the pages (page = list + 1).
  static constexpr int kGeneralList = 0, kDirList = 1, kFilesList = 2, kLinkList = 3, kListCount = 4;
  static constexpr int kTreePage = 0, kFilesPage = 3, kRegistryPage = 5, kInfPage = 6;

  /// Shows the window for the current package: `FormShow`, then modally
  /// (or, when it is showing already, refreshed in place). Nothing is shown
  /// when the document cannot be read. `firstPage` makes the tree active.
  void Execute(bool firstPage);
  /// Reads the current package unless it is the one read last, and takes the
  /// main window's status text. False when the document could not be read
  /// (the parser's message was shown and the previous content stays).
  bool FormShow();

  // --- commands ---------------------------------------------------------
  void CollapseAll();
  void ExpandAll();
  void CollapseSelection();
  void ExpandSelection();
  /// Save INF: asks for the name, then writes the INF text.
  void saveInfCommand();
  bool SaveInfText(const QString& path);
  /// The registry export beside "Save INF": the bytes `vornix P reg` writes
  /// for the same document ("Windows Registry Editor Version 5.00", or
  /// REGEDIT4 when `regedit4`).
  void saveRegCommand();
  bool SaveRegFile(const QString& path, bool regedit4);
  void copyInf();
  /// Extraction of every file into `folder` (empty: ask with the folder dialog).
  void ExtraitTBtnClick(const QString& folder = {});
  /// The selection extraction over display rows of the files list (the
  /// selective extraction dialog calls it); asks for the folder.
  void ExtractSelection(const std::vector<size_t>& displayRows, bool writeInf);
  /// Hands the files list to the selective extraction dialog and shows it,
  /// on the "Files" page.
  void SelExtractTBtnClick();
  /// The column click of list `list` on the column with design index `key`.
  void ListViewColumnClick(int list, int key);
  void ResetSortState();
  void ResetColumnOrder();

  // --- state for the rest of the program and for tests ----------------------
  QTreeWidget* tree() const { return m_tree; }
  ListModel* model(int list) const { return m_models.at(static_cast<size_t>(list)); }
  ListView* view(int list) const { return m_views.at(static_cast<size_t>(list)); }
  QPlainTextEdit* registryPane() const { return m_registry; }
  QPlainTextEdit* infPane() const { return m_inf; }
  QTabWidget* pages() const { return m_pages; }
  QToolBar* toolBar() const { return m_toolbar; }
  QString statusPanel(int panel) const;
  QString statusToolTip() const;
  /// The status bar's passing message (the end of an extraction), or empty.
  QString statusMessage() const;
  /// The INF text as the pane holds it, one line per INF line.
  QString GetInfText() const;
  const std::optional<XmlSetupAnalysis>& analysis() const { return m_analysis; }
  const std::string& SetupDllName() const { return m_setupDllName; }
  const ListSortState& sortState() const { return m_sort; }
  /// How many times a document was read (a package shown again is not).
  int readCount() const { return m_readCount; }
  bool mouseTracking() const { return m_mouseTracking; }
  /// The files list's popup, double click and drag-out (the main window's component).
  FileListActions* fileActions() const { return m_fileActions; }
  const FileListSource* filesSource() const { return m_filesSource.get(); }

  QAction* InfTBtn = nullptr;
  QAction* RegTBtn = nullptr;
  QAction* PressePTBtn = nullptr;
  QAction* ExtraitTBtn = nullptr;
  QAction* SelExtractTBtn = nullptr;
  QAction* ArbreTBtn = nullptr;
  QAction* QuitTBtn = nullptr;
  QPushButton* CollapseBtn = nullptr;
  QPushButton* ExpandBtn = nullptr;
  QPushButton* ColSelBtn = nullptr;
  QPushButton* ExpandSelBtn = nullptr;

  /// Replaces the save dialog (tests): title, folder and proposed name in,
  /// the file to write out (empty: cancelled).
  std::function<QString(const QString& title, const QString& folder, const QString& name)> saveNameHook;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class ViewerUserInterface;
  void buildToolbar(QWidget* host);
  void buildPages();
  void buildStatusBar();
  void ApplyStrings();
  bool readCurrentPackage();
  void showAnalysis();
  void fillTree(const std::vector<XmlTreeNode>& roots);
  void setSubtreeExpanded(QTreeWidgetItem* item, bool expanded);
  void updateStatusBar();
  void placeOverMainWindow();
  /// The files list's rows in display order, as the reader made them.
  std::vector<XmlFile> displayedFiles() const;
  QString chooseFolder();
  void showMessage(const QString& caption, const QString& text);
  void runExtraction(const ExtractRequest& request, const QString& folder, bool copyXml);
  void beginExtraction();
  void endExtraction();

  TForm1& m_main;
  std::unique_ptr<ViewerUserInterface> m_ui;
  std::optional<XmlSetupAnalysis> m_analysis;
  std::vector<std::string> m_infLines;  // its INF, as the INF page shows it
  // What was read last: the package, its state on disk, its extracted document.
  QString m_readPackage;
  QDateTime m_readModified;
  qint64 m_readSize = -1;
  std::string m_xmlFileName;
  std::string m_xmlText;  // the document as stored, copied beside extracted files
  std::string m_setupDllName;
  int m_readCount = 0;
  ListSortState m_sort;
  bool m_mouseTracking = true;
  int m_pageBeforeExtraction = 0;

  QToolBar* m_toolbar = nullptr;
  QTabWidget* m_pages = nullptr;
  QTreeWidget* m_tree = nullptr;
  std::array<ListModel*, kListCount> m_models{};
  std::array<ListView*, kListCount> m_views{};
  QPlainTextEdit* m_registry = nullptr;
  QPlainTextEdit* m_inf = nullptr;
  QStatusBar* m_status = nullptr;
  std::array<QLabel*, 2> m_panels{};
  std::unique_ptr<ListModelFileSource> m_filesSource;
  FileListActions* m_fileActions = nullptr;
};

}  // namespace vornix
