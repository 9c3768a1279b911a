#include "ui/xml_viewer.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <utility>

#include "common/text.h"
#include "package/extraction.h"
#include "package/xml_extraction.h"
#include "presentation/catalogue.h"
#include "presentation/catalogue_xml.h"
#include "presentation/inf_writer.h"
#include "presentation/reg_export.h"
#include "presentation/xml_texts.h"
#include "ui/file_list_actions.h"
#include "ui/list_model.h"
#include "ui/list_view.h"
#include "ui/main_window.h"
#include "ui/page_control.h"
#include "ui/pictures.h"
#include "ui/qt_text.h"
#include "ui/save_dialog.h"
#include "ui/selection_dialog.h"
#include "ui/window_texts.h"

namespace vornix {

namespace {

struct ListDef {
  const char* name;
  std::vector<ListColumn> columns;
};

std::vector<ListDef> ListDefs() {
  return {
      {"ListViewGen", {{XmlStr::ColItems, 200}, {XmlStr::ColValues, 474}}},
      {"ListViewDir", {{XmlStr::ColIdDir, 50}, {XmlStr::ColValue, 624}}},
      {"ListViewFiles",
       {{XmlStr::ColIdDir, 50},
        {XmlStr::ColFileNameInCab, 110},
        {XmlStr::ColFileName, 250},
        {XmlStr::ColFlags, 240},
        {XmlStr::TabDirectories, 240},
        {XmlStr::ColSizeBytes, 100, Qt::AlignRight},
        // "Date" and "Type" are not in the viewer's catalogue: their design texts stay.
        {std::string("Date"), 100, Qt::AlignHCenter},
        {std::string("Type"), 50, Qt::AlignRight}}},
      {"ListViewLink",
       {{Str(XmlStr::ColInstalledAt) + " " + Str(XmlStr::ColIdDir), 100},
        {XmlStr::ColFileNameOrDirectories, 280},
        {XmlStr::ColShortcutName, 280},
        {XmlStr::ColValue, 280}}},
  };
}

// The viewer's files list: caption, then the reader's seven sub-items.
constexpr int kCabNameCell = 1, kFileNameCell = 2, kFlagsCell = 3, kDirectoryCell = 4, kTypeCell = 7;

QString JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += '\n';
    text += lines[i];
  }
  return ToQt(text);
}

}  // namespace

// What the core asks of the viewer during an extraction: its boxes are the
// main window's (owned by the application window), its pointer the busy one.
class ViewerUserInterface : public UserInterface {
 public:
  explicit ViewerUserInterface(TLitXMLForm& viewer) : m_viewer(viewer) {}
  void warn(const std::string& caption, const std::string& text) override {
    m_viewer.showMessage(ToQt(caption), ToQt(text));
  }
  void busy(bool on) override {
    if (on)
      QApplication::setOverrideCursor(Qt::WaitCursor);
    else
      QApplication::restoreOverrideCursor();
  }

 private:
  TLitXMLForm& m_viewer;
};

TLitXMLForm::TLitXMLForm(TForm1& main) : QDialog(&main), m_main(main) {
  setObjectName("LitXMLForm");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setSizeGripEnabled(false);  // the status bar has its own
  m_ui = std::make_unique<ViewerUserInterface>(*this);
  // A window does not inherit its owner's font: the design font is set again.
  setFont(main.font());

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  buildToolbar(this);
  layout->addWidget(m_toolbar);
  buildPages();
  layout->addWidget(m_pages, 1);
  buildStatusBar();
  layout->addWidget(m_status);
  ApplyStrings();
  ResetSortState();
  resize(kClientSize);

  // The files list opens, shows and hands out its rows as the main window's
  // does, with the "Type" cell one column further left.
  if (m_main.ready()) {
    m_filesSource = std::make_unique<ListModelFileSource>(
        *m_models[kFilesList], ListModelFileSource::Columns{0, kCabNameCell, kFileNameCell, kTypeCell},
        [this] { return std::filesystem::path(m_readPackage.toStdString()); }, m_main.tempFolders().OpenDir());
    m_fileActions = FileListActions::Attach(m_views[kFilesList], *m_filesSource, m_main.menuMetrics(),
                                            FileListActions::XmlViewerTexts());
    m_fileActions->messageHook = [this](const QString& caption, const QString& text) { showMessage(caption, text); };
  }

  // F11 anywhere in the window switches the popup menus' row height, the
  // same setting as the main window's.
  auto* f11 = new QShortcut(QKeySequence(Qt::Key_F11), this);
  f11->setContext(Qt::WindowShortcut);
  connect(f11, &QShortcut::activated, this, [this] { m_main.toggleMenuSize(); });
}

TLitXMLForm::~TLitXMLForm() {
  // The actions read the rows through the source, which goes before the
  // widgets do: they go first.
  delete m_fileActions;
}

void TLitXMLForm::buildToolbar(QWidget* host) {
  m_toolbar = new QToolBar(QStringLiteral("ToolBar1"), host);
  m_toolbar->setObjectName("ToolBar1");
  StyleToolbar(m_toolbar);
  auto add = [&](const char* name, Picture picture, bool toggle = false) {
    return AddToolButton(m_toolbar, name, picture, toggle);
  };
  InfTBtn = add("InfTBtn", Picture::SaveInf);
  RegTBtn = add("RegTBtn", Picture::SaveReg);
  PressePTBtn = add("PressePTBtn", Picture::CopyInf);
  ExtraitTBtn = add("ExtraitTBtn", Picture::Extract);
  SelExtractTBtn = add("SelExtractTBtn", Picture::ExtractSelection);
  ArbreTBtn = add("ArbreTBtn", Picture::FolderNames, true);
  m_toolbar->addSeparator();
  QuitTBtn = add("QuitTBtn", Picture::Quit);
  for (QAction* a : {InfTBtn, RegTBtn, PressePTBtn, ExtraitTBtn, SelExtractTBtn, ArbreTBtn}) a->setEnabled(false);
  InfTBtn->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  ExtraitTBtn->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  for (QAction* a : m_toolbar->actions()) {
    if (QWidget* button = m_toolbar->widgetForAction(a); button && !a->isSeparator())
      button->setFocusPolicy(Qt::TabFocus);
  }
  connect(InfTBtn, &QAction::triggered, this, &TLitXMLForm::saveInfCommand);
  connect(RegTBtn, &QAction::triggered, this, &TLitXMLForm::saveRegCommand);
  connect(PressePTBtn, &QAction::triggered, this, &TLitXMLForm::copyInf);
  connect(ExtraitTBtn, &QAction::triggered, this, [this] { ExtraitTBtnClick(); });
  connect(SelExtractTBtn, &QAction::triggered, this, &TLitXMLForm::SelExtractTBtnClick);
  connect(QuitTBtn, &QAction::triggered, this, &QDialog::close);
}

void TLitXMLForm::buildPages() {
  m_pages = new PageControl(this);
  m_pages->setObjectName("PageControl1");

  auto* treePage = new QWidget;
  treePage->setObjectName("ArbreTS");
  auto* treeLayout = new QVBoxLayout(treePage);
  treeLayout->setContentsMargins(0, 0, 0, 4);
  treeLayout->setSpacing(4);
  m_tree = new QTreeWidget;
  m_tree->setObjectName("XMLversTreeView");
  m_tree->setHeaderHidden(true);
  m_tree->setColumnCount(1);
  m_tree->setIndentation(19);
  m_tree->setUniformRowHeights(true);
  m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
  m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Captions are one line however long: the tree scrolls sideways instead.
  m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  m_tree->header()->setStretchLastSection(false);
  m_tree->setMouseTracking(true);
  m_tree->viewport()->setMouseTracking(true);
  m_tree->viewport()->installEventFilter(this);
  treeLayout->addWidget(m_tree, 1);
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(4, 0, 4, 0);
  auto button = [&](const char* name, void (TLitXMLForm::*slot)()) {
    auto* b = new QPushButton;
    b->setObjectName(name);
    // Enter in the tree or a list is not a click on the last button used.
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, slot);
    buttons->addWidget(b);
    return b;
  };
  CollapseBtn = button("CollapseBtn", &TLitXMLForm::CollapseAll);
  ExpandBtn = button("ExpandBtn", &TLitXMLForm::ExpandAll);
  ColSelBtn = button("ColSelBtn", &TLitXMLForm::CollapseSelection);
  ExpandSelBtn = button("ExpandSelBtn", &TLitXMLForm::ExpandSelection);
  buttons->addStretch(1);
  treeLayout->addLayout(buttons);
  m_pages->addTab(treePage, QString());

  const std::vector<ListDef> defs = ListDefs();
  for (int i = 0; i < kListCount; ++i) {
    const ListDef& def = defs[static_cast<size_t>(i)];
    const bool files = i == kFilesList;
    auto* model = new ListModel(def.name, def.columns, files, this);
    // Cells are compared as they stand here, double quotes included.
    model->setSortKeepsQuotes(true);
    if (files) model->setFileColumns({kCabNameCell, kFileNameCell, kTypeCell, {0, kFlagsCell, kDirectoryCell}});
    auto* view = new ListView;
    view->setObjectName(def.name);
    view->setModel(model);
    view->setupList(def.columns, files);
    view->viewport()->installEventFilter(this);
    connect(view->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this, i](int logical) { ListViewColumnClick(i, logical); });
    m_models[static_cast<size_t>(i)] = model;
    m_views[static_cast<size_t>(i)] = view;
    m_pages->addTab(view, QString());
  }

  auto pane = [&](const char* name) {
    auto* edit = new QPlainTextEdit;
    edit->setObjectName(name);
    edit->setReadOnly(true);
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edit->setMouseTracking(true);
    edit->viewport()->setMouseTracking(true);
    edit->viewport()->installEventFilter(this);
    m_pages->addTab(edit, QString());
    return edit;
  };
  m_registry = pane("Memo1");
  m_inf = pane("Memo2");

  const Picture icons[] = {Picture::Xml,          Picture::TabGeneral, Picture::TabDirs,  Picture::TabFiles,
                           Picture::TabShortcuts, Picture::TabKeys,    Picture::TabReport};
  for (int i = 0; i < m_pages->count(); ++i) m_pages->setTabIcon(i, PictureIcon(icons[i]));
}

void TLitXMLForm::buildStatusBar() {
  m_status = new QStatusBar(this);
  m_status->setObjectName("StatusBar1");
  m_status->setSizeGripEnabled(true);
  const int widths[2] = {630, 50};
  for (int i = 0; i < 2; ++i) {
    auto* label = new QLabel;
    label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    label->setFixedWidth(widths[i]);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setTextFormat(Qt::PlainText);
    m_status->addWidget(label);
    m_panels[static_cast<size_t>(i)] = label;
  }
  m_panels[1]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TLitXMLForm::ApplyStrings() {
  const XmlStr tabs[] = {XmlStr::TabXmlTree, XmlStr::TabGeneral,   XmlStr::TabDirectories,
                         XmlStr::TabFiles,   XmlStr::TabShortcuts, XmlStr::TabRegistryKeys};
  for (int i = 0; i < 6; ++i) m_pages->setTabText(i, ToQt(Str(tabs[i])));
  m_pages->setTabText(kInfPage, QStringLiteral("INF"));
  InfTBtn->setToolTip(ToQt(Str(XmlStr::TipSaveInf)));
  RegTBtn->setToolTip(Text(WinStr::TipSaveReg));
  PressePTBtn->setToolTip(ToQt(Str(XmlStr::TipCopyInf)));
  ExtraitTBtn->setToolTip(ToQt(Str(XmlStr::TipExtract)));
  SelExtractTBtn->setToolTip(ToQt(Str(XmlStr::TipExtract) + Str(XmlStr::TipSelectionSuffix)));
  ArbreTBtn->setToolTip(ToQt(Str(XmlStr::TipUseFolderNames)));
  QuitTBtn->setText(ToQt(Str(XmlStr::Quit)));
  QuitTBtn->setToolTip(ToQt(Str(XmlStr::Quit)));
  CollapseBtn->setText(ToQt(Str(XmlStr::BtnCollapseAll)));
  ExpandBtn->setText(ToQt(Str(XmlStr::BtnExpandAll)));
  ColSelBtn->setText(ToQt(Str(XmlStr::BtnCollapseSel)));
  ExpandSelBtn->setText(ToQt(Str(XmlStr::BtnExpandSel)));
  m_views[kFilesList]->setToolTip(ToQt(Str(XmlStr::TipFilesList)));
  setWindowTitle(QStringLiteral("XML Setup"));
  for (QAction* a : m_toolbar->actions()) {
    QWidget* button = m_toolbar->widgetForAction(a);
    if (!button || a->isSeparator()) continue;
    button->setAccessibleName(a->toolTip());
    button->setAccessibleDescription(a->shortcut().toString(QKeySequence::NativeText));
  }
}

// --- showing and reading -------------------------------------------------------

void TLitXMLForm::Execute(bool firstPage) {
  if (firstPage) m_pages->setCurrentIndex(kTreePage);
  if (!FormShow()) return;
  if (isVisible()) {
    // Shown already (an opening arrived while it was up): refreshed in place.
    raise();
    activateWindow();
    return;
  }
  placeOverMainWindow();
  if (m_main.ShowXmlViewerModally)
    exec();
  else
    show();
}

bool TLitXMLForm::FormShow() {
  const QString current = m_main.currentFile();
  const QFileInfo info(current);
  // The same package is not read again; a file changed on disk since is
  // another package under the same name.
  const bool same = !m_readPackage.isEmpty() && current == m_readPackage && info.lastModified() == m_readModified &&
                    info.size() == m_readSize;
  if (!same && !readCurrentPackage()) return false;
  updateStatusBar();
  return true;
}

bool TLitXMLForm::readCurrentPackage() {
  PackageSession& session = m_main.session();
  Result<XmlSetupAnalysis> read = ReadPackageXml(session);
  if (!read) {
    // The previous content stays: it still describes the package it was read from.
    m_main.showMessage(QString::fromUtf8(kCaption), ToQt(read.error().Message));
    return false;
  }
  const QString current = m_main.currentFile();
  const QFileInfo info(current);
  m_analysis = std::move(read).value();
  m_infLines = XmlInfLines(*m_analysis);
  m_readPackage = current;
  m_readModified = info.lastModified();
  m_readSize = info.size();
  m_xmlFileName = session.findings().XmlFileName;
  m_xmlText = session.xmlText().value_or(std::string());
  ++m_readCount;
  // What an extraction said was about the package before.
  m_status->clearMessage();
  showAnalysis();
  // Another document starts at its tree, however it came to be shown.
  m_pages->setCurrentIndex(kTreePage);
  return true;
}

void TLitXMLForm::showAnalysis() {
  const XmlSetupAnalysis& a = *m_analysis;
  setUpdatesEnabled(false);
  ResetSortState();
  ResetColumnOrder();
  fillTree(a.Roots);
  CollapseAll();

  XmlLists lists = BuildXmlLists(a);
  m_models[kGeneralList]->setRows(std::move(lists.General));
  m_models[kDirList]->setRows(std::move(lists.Dirs));
  m_models[kFilesList]->setRows(std::move(lists.Files));
  m_models[kLinkList]->setRows(std::move(lists.Shortcuts));
  for (ListView* view : m_views) {
    view->clearSelection();
    view->scrollToTop();
    view->horizontalScrollBar()->setValue(0);
  }
  m_registry->setPlainText(JoinLines(XmlRegistryListing(a)));
  m_inf->setPlainText(JoinLines(m_infLines));
  for (QPlainTextEdit* pane : {m_registry, m_inf}) {
    pane->moveCursor(QTextCursor::Start);
    pane->horizontalScrollBar()->setValue(0);
  }
  m_setupDllName = a.SetupDllName;
  const bool inf = !m_infLines.empty();
  InfTBtn->setEnabled(inf);
  RegTBtn->setEnabled(true);
  PressePTBtn->setEnabled(inf);
  ExtraitTBtn->setEnabled(true);
  ArbreTBtn->setEnabled(true);
  SelExtractTBtn->setEnabled(m_fileActions && !a.Files.empty());
  setUpdatesEnabled(true);
}

// Built without recursion: the tree is as deep as the document.
void TLitXMLForm::fillTree(const std::vector<XmlTreeNode>& roots) {
  m_tree->clear();
  struct Pending {
    const XmlTreeNode* node;
    QTreeWidgetItem* parent;
  };
  std::vector<Pending> pending;
  for (auto it = roots.rbegin(); it != roots.rend(); ++it) pending.push_back({&*it, nullptr});
  QList<QTreeWidgetItem*> tops;
  while (!pending.empty()) {
    const Pending p = pending.back();
    pending.pop_back();
    auto* item = p.parent ? new QTreeWidgetItem(p.parent) : new QTreeWidgetItem;
    item->setText(0, ToQt(XmlNodeCaption(*p.node)));
    if (!p.parent) tops.push_back(item);
    // Children in reverse, so the first comes off the stack first and each
    // is appended after its elder siblings.
    for (auto c = p.node->Children.rbegin(); c != p.node->Children.rend(); ++c) pending.push_back({&*c, item});
  }
  m_tree->addTopLevelItems(tops);
}

void TLitXMLForm::setSubtreeExpanded(QTreeWidgetItem* item, bool expanded) {
  std::vector<QTreeWidgetItem*> pending{item};
  while (!pending.empty()) {
    QTreeWidgetItem* i = pending.back();
    pending.pop_back();
    if (i->childCount() == 0) continue;
    i->setExpanded(expanded);
    for (int k = 0; k < i->childCount(); ++k) pending.push_back(i->child(k));
  }
}

void TLitXMLForm::CollapseAll() {
  QTreeWidgetItem* first = m_tree->topLevelItem(0);
  if (!first) return;
  m_tree->setUpdatesEnabled(false);
  setSubtreeExpanded(first, false);
  first->setExpanded(true);
  m_tree->scrollToItem(first);
  m_tree->setUpdatesEnabled(true);
}

void TLitXMLForm::ExpandAll() {
  QTreeWidgetItem* first = m_tree->topLevelItem(0);
  if (!first) return;
  m_tree->setUpdatesEnabled(false);
  setSubtreeExpanded(first, true);
  m_tree->scrollToItem(first);
  m_tree->setUpdatesEnabled(true);
}

void TLitXMLForm::CollapseSelection() {
  const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
  if (selected.isEmpty()) return;
  m_tree->setUpdatesEnabled(false);
  setSubtreeExpanded(selected.first(), false);
  m_tree->setUpdatesEnabled(true);
}

void TLitXMLForm::ExpandSelection() {
  const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
  if (selected.isEmpty()) return;
  m_tree->setUpdatesEnabled(false);
  setSubtreeExpanded(selected.first(), true);
  m_tree->setUpdatesEnabled(true);
}

void TLitXMLForm::updateStatusBar() {
  m_panels[0]->setText(m_main.statusPanel(0));
  const bool setupDll = !m_setupDllName.empty();
  if (setupDll)
    m_panels[1]->setPixmap(DrawPicture(Picture::SetupDll, 16));
  else
    m_panels[1]->clear();
  QString tip = m_main.currentFile();
  if (setupDll) tip.prepend(QStringLiteral("!!! CESetupDLL !!! --- "));
  m_status->setToolTip(tip);
}

QString TLitXMLForm::statusPanel(int panel) const { return m_panels.at(static_cast<size_t>(panel))->text(); }
QString TLitXMLForm::statusToolTip() const { return m_status->toolTip(); }
QString TLitXMLForm::statusMessage() const { return m_status->currentMessage(); }

// Centred on the main window, and kept on its screen.
void TLitXMLForm::placeOverMainWindow() {
  QRect frame(QPoint(0, 0), frameGeometry().size().expandedTo(size()));
  frame.moveCenter(m_main.isVisible() ? m_main.frameGeometry().center() : QPoint());
  QScreen* screen = m_main.isVisible() ? m_main.screen() : QApplication::primaryScreen();
  if (screen) {
    const QRect area = screen->availableGeometry();
    if (!m_main.isVisible()) frame.moveCenter(area.center());
    frame.moveLeft(qMax(area.left(), qMin(frame.left(), area.right() - frame.width() + 1)));
    frame.moveTop(qMax(area.top(), qMin(frame.top(), area.bottom() - frame.height() + 1)));
  }
  move(frame.topLeft());
}

void TLitXMLForm::showMessage(const QString& caption, const QString& text) { m_main.showMessage(caption, text); }

// --- INF -------------------------------------------------------------------------

QString TLitXMLForm::GetInfText() const { return m_inf->toPlainText(); }

void TLitXMLForm::saveInfCommand() {
  if (!m_analysis || m_infLines.empty()) return;
  const QString title = ToQt(Str(XmlStr::SaveInfTitle));
  const QString folder = QFileInfo(m_readPackage).absolutePath();
  const QString name = ToQt(m_analysis->AppName);
  QString file;
  if (saveNameHook) {
    file = saveNameHook(title, folder, name);
  } else {
    SaveDialog dialog(this, title, folder, {"*.inf", "*.txt"}, {".inf", ".txt"});
    dialog.selectFile(name);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) file = dialog.fileToWrite();
  }
  if (!file.isEmpty()) SaveInfText(file);
}

// The bytes the batch "inf" writes for the same document.
bool TLitXMLForm::SaveInfText(const QString& path) {
  if (!m_analysis) return false;
  QString error;
  if (WriteFileWhole(path, InfFileText(m_infLines), error)) return true;
  m_main.showMessage(QString::fromUtf8(kCaption), Text(WinStr::SaveFailed) + QStringLiteral("\n\n") +
                                                      QDir::toNativeSeparators(path) + QStringLiteral(" : ") + error);
  return false;
}

void TLitXMLForm::saveRegCommand() {
  if (!m_analysis) return;
  if (const auto choice = AskRegFile(this, QFileInfo(m_readPackage).absolutePath(), ToQt(m_analysis->AppName)))
    SaveRegFile(choice->Path, choice->Regedit4);
}

bool TLitXMLForm::SaveRegFile(const QString& path, bool regedit4) {
  if (!m_analysis) return false;
  QString error;
  const std::string bytes = RegFileBytes(*m_analysis, regedit4 ? RegFileFormat::Regedit4 : RegFileFormat::Version5);
  if (WriteFileWhole(path, bytes, error)) return true;
  m_main.showMessage(QString::fromUtf8(kCaption), Text(WinStr::SaveFailed) + QStringLiteral("\n\n") +
                                                      QDir::toNativeSeparators(path) + QStringLiteral(" : ") + error);
  return false;
}

void TLitXMLForm::copyInf() {
  m_inf->selectAll();
  m_inf->copy();
  QTextCursor cursor = m_inf->textCursor();
  cursor.clearSelection();
  m_inf->setTextCursor(cursor);
}

// --- extraction ------------------------------------------------------------------

std::vector<XmlFile> TLitXMLForm::displayedFiles() const {
  std::vector<XmlFile> files;
  for (const ListRow& r : m_models[kFilesList]->rows())
    if (m_analysis && r.Record < m_analysis->Files.size()) files.push_back(m_analysis->Files[r.Record]);
  return files;
}

QString TLitXMLForm::chooseFolder() {
  const QString packageFolder = QFileInfo(m_readPackage).absolutePath();
  return m_main.chooseFolder(ToQt(Str(XmlStr::ChooseFolderTitle)) + m_main.ShortenPath(packageFolder, 200),
                             packageFolder);
}

// The lists stop taking the focus from under the mouse, and the files the
// extraction reads are on screen.
void TLitXMLForm::beginExtraction() {
  m_mouseTracking = false;
  m_pageBeforeExtraction = m_pages->currentIndex();
  m_pages->setCurrentIndex(kFilesPage);
}

void TLitXMLForm::endExtraction() {
  m_pages->setCurrentIndex(m_pageBeforeExtraction);
  m_mouseTracking = true;
}

void TLitXMLForm::ExtraitTBtnClick(const QString& folderGiven) {
  if (!m_analysis) return;
  beginExtraction();
  const QString folder = folderGiven.isEmpty() ? chooseFolder() : folderGiven;
  if (!folder.isEmpty()) {
    ExtractRequest request =
        MakeXmlExtractRequest(*m_analysis, m_readPackage.toStdString(), folder.toStdString(), !ArbreTBtn->isChecked());
    // In the order the list shows them: the first of two files that want
    // one name is the one the user sees first.
    request.Rows = XmlExtractRows(displayedFiles());
    runExtraction(request, folder, true);
  }
  endExtraction();
}

void TLitXMLForm::ExtractSelection(const std::vector<size_t>& displayRows, bool writeInf) {
  if (!m_analysis) return;
  const QString folder = chooseFolder();
  if (folder.isEmpty()) return;
  XmlSetupAnalysis shown = *m_analysis;
  shown.Files = displayedFiles();
  runExtraction(MakeXmlSelectionRequest(shown, m_readPackage.toStdString(), folder.toStdString(),
                                        !ArbreTBtn->isChecked(), displayRows, writeInf),
                folder, writeInf);
}

void TLitXMLForm::SelExtractTBtnClick() {
  TChoixFicExtract* dialog = m_main.ChoixFicExtract();
  if (!dialog || !m_filesSource || !m_analysis) return;
  const int page = m_pages->currentIndex();
  m_pages->setCurrentIndex(kFilesPage);
  dialog->setSourceList(m_filesSource.get(), [this, dialog](bool writeInf) {
    const std::vector<bool> checked = dialog->checkedRows();
    std::vector<size_t> rows;
    for (size_t k = 0; k < checked.size(); ++k)
      if (checked[k]) rows.push_back(k);
    ExtractSelection(rows, writeInf);
  });
  dialog->exec();
  m_pages->setCurrentIndex(page);
  // Files handed over while the rows were being chosen are opened now.
  const QStringList arrived = std::exchange(m_main.m_arrivedWhileBusy, {});
  for (const QString& file : arrived) m_main.HandleParameter(file);
}

void TLitXMLForm::runExtraction(const ExtractRequest& request, const QString& folder, bool copyXml) {
  QString refused;
  if (!FolderAcceptsFiles(folder, refused)) {
    m_main.showMessage(QString::fromUtf8(kCaption), Text(WinStr::FolderNotWritable) + QStringLiteral("\n\n") +
                                                        QDir::toNativeSeparators(folder) + QStringLiteral(" : ") +
                                                        refused);
    return;
  }
  repaint();
  const ExtractReport report = ExtractUnderOriginalNames(request, *m_ui);
  if (!report.CabinetRead) {
    const QString cause = report.Error.empty() ? Text(WinStr::CannotRead).arg(QDir::toNativeSeparators(m_readPackage))
                                               : ToQt(report.Error);
    m_main.showMessage(QString::fromUtf8(kCaption),
                       ToQt(Str(MainStr::MsgExtractFilesError)) + QStringLiteral("\n\n") + cause);
  }
  if (copyXml && !report.Cancelled && !CopyXmlSetupFile(m_xmlText, m_xmlFileName, folder.toStdString())) {
    m_main.showMessage(QString::fromUtf8(kCaption),
                       Text(WinStr::SaveFailed) + QStringLiteral("\n\n") + QDir(folder).filePath(ToQt(m_xmlFileName)));
  }
  m_status->showMessage(Text(WinStr::ExtractionDone).arg(report.Written).arg(QDir::toNativeSeparators(folder)), 30000);
}

// --- sorting ---------------------------------------------------------------------

void TLitXMLForm::ListViewColumnClick(int list, int key) {
  ListModel* model = m_models.at(static_cast<size_t>(list));
  const bool numeric =
      list == kFilesList && model->columns().at(static_cast<size_t>(key)).Caption == Str(XmlStr::ColSizeBytes);
  m_views.at(static_cast<size_t>(list))->sortOnColumn(m_sort, key, numeric);
}

void TLitXMLForm::ResetSortState() {
  m_sort.ResetSortState();
  for (ListView* view : m_views)
    if (view) view->clearSortIndicator();
}

void TLitXMLForm::ResetColumnOrder() {
  QHeaderView* header = m_views[kFilesList]->horizontalHeader();
  for (int k = header->count() - 1; k >= 0; --k) header->moveSection(header->visualIndex(k), k);
}

// --- focus -----------------------------------------------------------------------

// The tree, the lists and the panes take the keyboard focus from the mouse
// passing over them; the files list not while a button is held (a drag).
bool TLitXMLForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove && m_mouseTracking) {
    auto* viewport = qobject_cast<QWidget*>(watched);
    QWidget* control = viewport ? viewport->parentWidget() : nullptr;
    const auto* move = static_cast<QMouseEvent*>(event);
    const bool filesList = control == m_views[kFilesList];
    if (control && !control->hasFocus() && (!filesList || move->buttons() == Qt::NoButton)) control->setFocus();
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace vornix
