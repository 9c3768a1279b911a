// The XML setup viewer on packages described by "_setup.xml": a real one
// from the shared samples and one built here with every kind of row.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "common/text.h"
#include "package/xml_extraction.h"
#include "presentation/xml_texts.h"
#include "ui/file_list_actions.h"
#include "ui/list_view.h"
#include "ui/qt_text.h"
#include "ui/selection_dialog.h"
#include "ui/xml_viewer.h"
#include "window_fixture.h"

namespace vornix {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// Two folders of files (sizes 10, 9, 100 and 1 bytes: text and number order
// differ; two are named "notes"), a shortcut, a registry key and a setup DLL
// of 7 bytes.
std::string Document(const std::string& appName) {
  return R"(<?xml version="1.0"?>
<wap-provisioningdoc>
  <characteristic type="Install">
    <parm name="InstallPhase" value="install"/>
    <parm name="AppName" value=")" +
         appName + R"("/>
    <parm name="InstallDir" value="%CE1%\)" +
         appName + R"(" translation="install"/>
    <parm name="NumFiles" value="3"/>
  </characteristic>
  <characteristic type="FileOperation">
    <characteristic type="%InstallDir%" translation="install">
      <characteristic type="MakeDir"/>
      <characteristic type="notes 2" translation="install">
        <characteristic type="Extract"><parm name="Source" value="A~1.001"/><parm name="NoOverwrite"/></characteristic>
      </characteristic>
      <characteristic type="notes" translation="install">
        <characteristic type="Extract"><parm name="Source" value="B~1.002"/></characteristic>
      </characteristic>
    </characteristic>
    <characteristic type="\Windows" translation="install">
      <characteristic type="MakeDir"/>
      <characteristic type="c.txt" translation="install">
        <characteristic type="Extract"><parm name="Source" value="C~1.003"/></characteristic>
      </characteristic>
      <characteristic type="notes" translation="install">
        <characteristic type="Extract"><parm name="Source" value="D~1.004"/></characteristic>
      </characteristic>
    </characteristic>
    <characteristic type="%CE11%" translation="install">
      <characteristic type="MakeDir"/>
      <characteristic type="A.lnk" translation="install">
        <characteristic type="Shortcut"><parm name="Source" value="%CE1%\)" +
         appName + R"(\notes" translation="install"/></characteristic>
      </characteristic>
    </characteristic>
  </characteristic>
  <characteristic type="Registry">
    <characteristic type="HKLM\Software\)" +
         appName + R"(">
      <parm name="Count" value="3" datatype="integer"/>
    </characteristic>
  </characteristic>
</wap-provisioningdoc>
)";
}

testing::CabBuilder XmlPackage(const std::string& xml) {
  testing::CabBuilder cab;
  cab.folder(testing::CabCompression::MSZIP)
      .add("A~1.001", "0123456789")
      .add("B~1.002", "012345678")
      .add("C~1.003", std::string(100, 'c'))
      .add("D~1.004", "d")
      .add("SETUP~1.999", "setupdl")
      .add("_setup.xml", xml);
  return cab;
}

// Every caption of the tree, depth first, first root first.
std::vector<std::string> TreeCaptions(QTreeWidget* tree) {
  std::vector<std::string> out;
  std::vector<QTreeWidgetItem*> pending;
  for (int i = tree->topLevelItemCount() - 1; i >= 0; --i) pending.push_back(tree->topLevelItem(i));
  while (!pending.empty()) {
    QTreeWidgetItem* item = pending.back();
    pending.pop_back();
    out.push_back(FromQt(item->text(0)));
    for (int k = item->childCount() - 1; k >= 0; --k) pending.push_back(item->child(k));
  }
  return out;
}

// The captions of the nodes that are expanded.
std::vector<std::string> Expanded(QTreeWidget* tree) {
  std::vector<std::string> out;
  for (QTreeWidgetItemIterator it(tree); *it; ++it)
    if ((*it)->isExpanded()) out.push_back(FromQt((*it)->text(0)));
  return out;
}

class XmlViewerTest : public WindowTest {
 protected:
  TLitXMLForm* viewer() { return window->xmlViewer(); }
  QString package(const std::string& name = "viewer.cab", const std::string& appName = "Viewer") {
    return put(name, XmlPackage(Document(appName)).bytes());
  }
  std::vector<std::string> column(int list, int col) {
    std::vector<std::string> out;
    for (const ListRow& r : viewer()->model(list)->rows()) out.push_back(r.cell(static_cast<size_t>(col)));
    return out;
  }
  std::string batchInf(const QString& pkg) {
    const fs::path copy = dir / "batch" / fs::path(pkg.toStdString()).filename();
    fs::create_directories(copy.parent_path());
    fs::copy_file(pkg.toStdString(), copy, fs::copy_options::overwrite_existing);
    const testing::ProcessResult r = testing::RunProcess(VORNIX_BINARY, {copy.string(), "inf"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return testing::ReadAll(fs::path(copy).replace_extension(".inf"));
  }
};

TEST_F(XmlViewerTest, TreeOfARealDocument) {
  const fs::path sample = fs::path(VORNIX_SAMPLES_DIR) / "022_SdkCerts.cab";
  if (!fs::exists(sample)) GTEST_SKIP() << "no samples folder";
  window->openPackage(QString::fromStdString(sample.string()));
  ASSERT_TRUE(messages.empty()) << messages[0].second;
  ASSERT_TRUE(viewer()->isVisible());
  EXPECT_EQ(viewer()->windowTitle().toStdString(), "XML Setup");
  EXPECT_EQ(viewer()->size(), TLitXMLForm::kClientSize);
  EXPECT_EQ(viewer()->pages()->currentIndex(), TLitXMLForm::kTreePage);

  QTreeWidget* tree = viewer()->tree();
  ASSERT_EQ(tree->topLevelItemCount(), 2);
  EXPECT_EQ(tree->topLevelItem(0)->text(0).toStdString(), "wap-provisioningdoc");
  EXPECT_EQ(tree->topLevelItem(1)->text(0).toStdString(), "xml -> version -> 1.0 -> encoding -> utf-8");
  QTreeWidgetItem* root = tree->topLevelItem(0);
  ASSERT_EQ(root->childCount(), 10);
  for (int i = 0; i < 10; i += 2) {
    EXPECT_EQ(root->child(i)->text(0).toStdString(), "#comment");
    EXPECT_EQ(root->child(i + 1)->text(0).toStdString(), "characteristic -> type -> CertificateStore");
  }
  // Every node in the reader's display order.
  const Result<XmlSetupAnalysis> read = ReadPackageXml(window->session());
  ASSERT_TRUE(read.ok());
  std::vector<std::string> expected;
  for (const XmlTreeNode* n : FlattenTree(read->Roots)) expected.push_back(XmlNodeCaption(*n));
  EXPECT_EQ(TreeCaptions(tree), expected);
  // Read: the first root open one level, nothing else.
  EXPECT_EQ(Expanded(tree), Names{"wap-provisioningdoc"});
  EXPECT_EQ(viewer()->statusPanel(0), window->statusPanel(0));
  EXPECT_EQ(viewer()->statusToolTip(), window->currentFile());
}

TEST_F(XmlViewerTest, TreeButtons) {
  window->openPackage(package());
  QTreeWidget* tree = viewer()->tree();
  const Names collapsed{"wap-provisioningdoc"};
  ASSERT_EQ(Expanded(tree), collapsed);
  viewer()->ColSelBtn->click();  // nothing selected: nothing changes
  viewer()->ExpandSelBtn->click();
  EXPECT_EQ(Expanded(tree), collapsed);

  viewer()->ExpandBtn->click();
  int withChildren = 0;
  for (QTreeWidgetItemIterator it(tree); *it; ++it) withChildren += (*it)->childCount() > 0;
  EXPECT_EQ(Expanded(tree).size(), static_cast<size_t>(withChildren));
  viewer()->CollapseBtn->click();
  EXPECT_EQ(Expanded(tree), collapsed);

  QTreeWidgetItem* registry = tree->topLevelItem(0)->child(2);
  ASSERT_EQ(registry->text(0).toStdString(), "characteristic -> type -> Registry");
  registry->setSelected(true);
  viewer()->ExpandSelBtn->click();
  EXPECT_EQ(Expanded(tree), (Names{"wap-provisioningdoc", "characteristic -> type -> Registry",
                                   "characteristic -> type -> HKLM\\Software\\Viewer"}));
  viewer()->ColSelBtn->click();
  EXPECT_EQ(Expanded(tree), collapsed);
}

TEST_F(XmlViewerTest, TablesPanesColoursAndStatusBar) {
  const QString pkg = package();
  window->openPackage(pkg);
  const Result<XmlSetupAnalysis> read = ReadPackageXml(window->session());
  ASSERT_TRUE(read.ok());
  const XmlSetupAnalysis& a = *read;
  std::vector<ListRow> general, dirs, files, links;
  for (const XmlGeneralRow& r : XmlGeneralRows(a)) general.push_back({{r.Label, r.Value}});
  for (const XmlDir& r : a.Dirs) dirs.push_back({{XmlDirNumberText(r.Number), r.Path}});
  for (const XmlFile& file : a.Files) {
    const XmlFileTexts f = XmlFileRowTexts(file);
    files.push_back({{f.Number, f.CabName, f.FileName, f.Extra, f.Directory, f.Size, f.Date, f.Type}});
  }
  for (const XmlShortcut& shortcut : a.Shortcuts) {
    const XmlShortcutTexts s = XmlShortcutRowTexts(shortcut);
    links.push_back({{s.Number, s.Target, s.Name, s.ExpandedTarget, s.Extra}});
  }
  auto cells = [](const std::vector<ListRow>& rows) {
    std::vector<std::vector<std::string>> out;
    for (const ListRow& r : rows) out.push_back(r.cells);
    return out;
  };
  EXPECT_EQ(cells(viewer()->model(TLitXMLForm::kGeneralList)->rows()), cells(general));
  EXPECT_EQ(cells(viewer()->model(TLitXMLForm::kDirList)->rows()), cells(dirs));
  EXPECT_EQ(cells(viewer()->model(TLitXMLForm::kFilesList)->rows()), cells(files));
  EXPECT_EQ(cells(viewer()->model(TLitXMLForm::kLinkList)->rows()), cells(links));
  EXPECT_EQ(column(TLitXMLForm::kFilesList, 5), (Names{"10", "9", "100", "1", "7"}));
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(viewer()->model(TLitXMLForm::kLinkList)->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
            "Installed at ID Dir");

  EXPECT_EQ(FromQt(viewer()->registryPane()->toPlainText()),
            "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Viewer]\n\"Count\" = dword : 00000003\n");

  ListModel* model = viewer()->model(TLitXMLForm::kFilesList);
  auto colour = [&](int row, int col) {
    return model->data(model->index(row, col), Qt::ForegroundRole).value<QBrush>().color();
  };
  auto bold = [&](int row, int col) { return model->data(model->index(row, col), Qt::FontRole).value<QFont>().bold(); };
  EXPECT_EQ(colour(0, 1), QColor(0, 128, 128));
  EXPECT_EQ(colour(0, 2), QColor(0, 0, 255));
  EXPECT_EQ(colour(0, 7), QColor(128, 0, 128));
  EXPECT_FALSE(model->data(model->index(0, 3), Qt::ForegroundRole).isValid());
  for (int col : {0, 3, 4}) {
    EXPECT_EQ(colour(4, col), QColor(Qt::red)) << col;
    EXPECT_TRUE(bold(4, col)) << col;
  }
  EXPECT_FALSE(model->data(model->index(4, 1), Qt::ForegroundRole).isValid());

  EXPECT_EQ(viewer()->SetupDllName(), "SETUP~1.999");
  EXPECT_EQ(viewer()->statusToolTip(), "!!! CESetupDLL !!! --- " + pkg);
  // The main window's status bar shows the same setup DLL.
  EXPECT_EQ(window->SetupDllName(), "SETUP~1.999");
  EXPECT_EQ(window->statusToolTip(), "!!! CESetupDLL !!! --- " + pkg);
  const QLabel* dllPanel = viewer()->findChild<QLabel*>("StatusPanel1");
  ASSERT_NE(dllPanel, nullptr);
  EXPECT_FALSE(dllPanel->pixmap().isNull());
  // The popup, open and drag component reads the "Type" cell one column left of the main window's.
  ASSERT_NE(viewer()->fileActions(), nullptr);
  const FileRow c = viewer()->filesSource()->row(2);
  EXPECT_EQ(c.Number + "|" + c.StoredName + "|" + c.OriginalName + "|" + c.Type, "02|C~1.003|\"c.txt\"|txt");
  EXPECT_EQ(viewer()->filesSource()->package().string(), pkg.toStdString());
}

TEST_F(XmlViewerTest, SortingIsTheViewersOwnAndNumericOnlyForSizes) {
  window->openPackage(package());
  const int size = 5, fileName = 2, date = 6;
  viewer()->ListViewColumnClick(TLitXMLForm::kFilesList, size);
  EXPECT_EQ(column(TLitXMLForm::kFilesList, size), (Names{"1", "7", "9", "10", "100"}));
  viewer()->ListViewColumnClick(TLitXMLForm::kFilesList, size);
  EXPECT_EQ(column(TLitXMLForm::kFilesList, size), (Names{"100", "10", "9", "7", "1"}));
  // Quotes take part: "notes 2" comes before "notes" (a blank sorts before the quote).
  viewer()->ListViewColumnClick(TLitXMLForm::kFilesList, fileName);
  EXPECT_EQ(column(TLitXMLForm::kFilesList, fileName),
            (Names{"\"c.txt\"", "\"notes 2\"", "\"notes\"", "\"notes\"", "\"SETUP~1.dll\""}));
  // Sizes anywhere else sort as text.
  ListModel* general = viewer()->model(TLitXMLForm::kGeneralList);
  general->setRows({{{"x", "10"}}, {{"y", "9"}}});
  viewer()->ListViewColumnClick(TLitXMLForm::kGeneralList, 1);
  EXPECT_EQ(column(TLitXMLForm::kGeneralList, 1), (Names{"10", "9"}));
  viewer()->ListViewColumnClick(TLitXMLForm::kFilesList, date);
  EXPECT_EQ(viewer()->sortState().LastSortedList(), "ListViewFiles");
  EXPECT_EQ(viewer()->sortState().LastSortedColumn(), date);
  // The main window's sort state is its own.
  EXPECT_EQ(window->sortState().LastSortedColumn(), -1);
}

TEST_F(XmlViewerTest, InfIsWhatTheBatchWrites) {
  messages.clear();
  std::vector<std::string> asked;
  viewer()->saveNameHook = [&](const QString& title, const QString& folder, const QString& name) {
    asked.push_back(title.toStdString() + "|" + folder.toStdString() + "|" + name.toStdString());
    return QString::fromStdString((dir / "saved.inf").string());
  };
  viewer()->saveInfCommand();  // nothing read yet: no INF, no dialog
  EXPECT_TRUE(asked.empty());

  const QString pkg = package();
  window->openPackage(pkg);
  const std::string batch = batchInf(pkg);
  ASSERT_FALSE(batch.empty());
  EXPECT_EQ(ReplaceAll(FromQt(viewer()->GetInfText()), "\n", "\r\n") + "\r\n", batch);
  viewer()->InfTBtn->trigger();
  EXPECT_EQ(asked, Names{"Save INF file|" + dir.path().string() + "|Viewer"});
  EXPECT_EQ(testing::ReadAll(dir / "saved.inf"), batch);
  viewer()->PressePTBtn->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), viewer()->GetInfText());
  EXPECT_FALSE(viewer()->infPane()->textCursor().hasSelection());
  EXPECT_TRUE(messages.empty());
}

// Beside "Save INF", as in the main window: the file `vornix P reg` writes.
TEST_F(XmlViewerTest, RegistryExportIsWhatTheBatchWrites) {
  EXPECT_FALSE(viewer()->RegTBtn->isEnabled());
  const QString pkg = package();
  window->openPackage(pkg);
  EXPECT_TRUE(viewer()->RegTBtn->isEnabled());
  const fs::path copy = dir / "batch" / "viewer.cab";
  fs::create_directories(copy.parent_path());
  fs::copy_file(pkg.toStdString(), copy, fs::copy_options::overwrite_existing);
  for (const bool regedit4 : {false, true}) {
    std::vector<std::string> args{copy.string(), "reg"};
    if (regedit4) args.push_back("--regedit4");
    const testing::ProcessResult r = testing::RunProcess(VORNIX_BINARY, args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const QString saved = QString::fromStdString((dir / "saved.reg").string());
    ASSERT_TRUE(viewer()->SaveRegFile(saved, regedit4));
    EXPECT_EQ(testing::ReadAll(dir / "saved.reg"), testing::ReadAll(copy.parent_path() / "Viewer.reg")) << regedit4;
  }
  EXPECT_TRUE(messages.empty());
}

TEST_F(XmlViewerTest, ExtractionOfAllFilesAfterSortingInBothModes) {
  const QString pkg = package();
  window->openPackage(pkg);
  const std::string inf = batchInf(pkg);
  // Descending on the stored names: the setup DLL row comes first.
  viewer()->ListViewColumnClick(TLitXMLForm::kFilesList, 1);
  viewer()->ListViewColumnClick(TLitXMLForm::kFilesList, 1);
  ASSERT_EQ(column(TLitXMLForm::kFilesList, 0).front(), "999");
  viewer()->pages()->setCurrentIndex(TLitXMLForm::kInfPage);

  chosenFolder = QString::fromStdString((dir / "tree").string());
  fs::create_directories(dir / "tree");
  viewer()->ExtraitTBtn->trigger();
  ASSERT_EQ(folderTitles.size(), 1u);
  EXPECT_EQ(folderTitles[0].rfind("Choose a folder or create it :\rActual : ", 0), 0u);
  EXPECT_EQ(testing::ListTree(dir / "tree"),
            (Names{"Program Files/Viewer/notes", "Program Files/Viewer/notes 2", "SETUP~1.dll", "Viewer.inf",
                   "Windows/c.txt", "Windows/notes", "_setup.xml"}));
  EXPECT_EQ(testing::ReadAll(dir / "tree" / "Program Files" / "Viewer" / "notes 2"), "0123456789");
  EXPECT_EQ(testing::ReadAll(dir / "tree" / "SETUP~1.dll"), "setupdl");
  EXPECT_EQ(testing::ReadAll(dir / "tree" / "Viewer.inf"), inf);
  EXPECT_EQ(testing::ReadAll(dir / "tree" / "_setup.xml"), Document("Viewer"));
  EXPECT_EQ(viewer()->pages()->currentIndex(), TLitXMLForm::kInfPage);
  EXPECT_TRUE(viewer()->mouseTracking());

  EXPECT_TRUE(messages.empty()) << messages[0].second;

  // The selection dialog offers the rows as the list shows them: the DLL and C~1.003.
  chosenFolder = QString::fromStdString((dir / "some").string());
  fs::create_directories(dir / "some");
  TChoixFicExtract* dialog = window->ChoixFicExtract();
  QTimer::singleShot(0, [&] {
    EXPECT_EQ(viewer()->pages()->currentIndex(), TLitXMLForm::kFilesPage);
    dialog->DeselTousBtn->click();
    dialog->CheckListBox1->item(1)->setCheckState(Qt::Checked);
    dialog->CheckListBox1->item(3)->setCheckState(Qt::Checked);
    dialog->SaveInfCB->setChecked(false);
    dialog->ExtraireBtn->click();
  });
  viewer()->SelExtractTBtn->trigger();
  EXPECT_EQ(testing::ListTree(dir / "some"), (Names{"SETUP~1.dll", "Windows/c.txt"}));
  EXPECT_EQ(viewer()->pages()->currentIndex(), TLitXMLForm::kInfPage);

  // Down: everything in the folder itself, where the two "notes" meet. The
  // row the list shows first (D~1.004) takes the name.
  viewer()->ArbreTBtn->setChecked(true);
  fs::create_directories(dir / "flat");
  viewer()->ExtraitTBtnClick(QString::fromStdString((dir / "flat").string()));
  EXPECT_EQ(testing::ListTree(dir / "flat"),
            (Names{"B~1.002", "SETUP~1.dll", "Viewer.inf", "_setup.xml", "c.txt", "notes", "notes 2"}));
  EXPECT_EQ(testing::ReadAll(dir / "flat" / "notes"), "d");
  EXPECT_EQ(messages,
            (std::vector<std::pair<std::string, std::string>>{{"Vornix", "1 duplicates have not been renamed !"}}));
  EXPECT_EQ(viewer()->statusMessage().toStdString(), "6 file(s) written to " + (dir / "flat").string());
  window->openPackage(package("next.cab", "Next"));  // said of the package before: gone
  EXPECT_TRUE(viewer()->statusMessage().isEmpty());
}

TEST_F(XmlViewerTest, ShownAgainWithoutReadingAnotherPackageResetsADotZeroZeroZeroCloses) {
  const QString first = package();
  window->openPackage(first);
  ASSERT_EQ(viewer()->readCount(), 1);
  viewer()->ListViewColumnClick(TLitXMLForm::kFilesList, 5);
  QHeaderView* header = viewer()->view(TLitXMLForm::kFilesList)->horizontalHeader();
  header->moveSection(5, 0);
  viewer()->close();
  window->XMLTBtn->trigger();  // the same package: shown as it was left
  EXPECT_TRUE(viewer()->isVisible());
  EXPECT_EQ(viewer()->readCount(), 1);
  EXPECT_EQ(viewer()->sortState().LastSortedColumn(), 5);
  EXPECT_EQ(header->logicalIndex(0), 5);
  window->openPackage(first);  // opened again, unchanged
  EXPECT_EQ(viewer()->readCount(), 1);
  // The same name over other bytes is another package.
  testing::WriteAll(first.toStdString(), XmlPackage(Document("Changed")).bytes());
  window->openPackage(first);
  EXPECT_EQ(viewer()->readCount(), 2);
  EXPECT_EQ(viewer()->model(TLitXMLForm::kGeneralList)->rows().at(1).cell(1), "Changed");

  window->openPackage(package("other.cab", "Other"));
  EXPECT_EQ(viewer()->readCount(), 3);
  EXPECT_EQ(viewer()->sortState().LastSortedColumn(), -1);
  EXPECT_EQ(header->logicalIndex(0), 0);
  EXPECT_EQ(viewer()->model(TLitXMLForm::kGeneralList)->rows().at(1).cell(1), "Other");

  window->openPackage(demo());  // a ".000" package closes the viewer
  EXPECT_FALSE(viewer()->isVisible());

  // A cabinet with both descriptions shows the ".000" one; the button shows the XML one.
  testing::CabBuilder both = testing::DemoPackage();
  both.add("_setup.xml", Document("Both"));
  window->openPackage(put("both.cab", both.bytes()));
  EXPECT_FALSE(viewer()->isVisible());
  ASSERT_TRUE(window->XMLTBtn->isEnabled());
  window->XMLTBtn->trigger();
  EXPECT_TRUE(viewer()->isVisible());
  EXPECT_EQ(viewer()->readCount(), 4);
  EXPECT_EQ(viewer()->model(TLitXMLForm::kGeneralList)->rows().at(1).cell(1), "Both");
  EXPECT_TRUE(messages.empty()) << messages[0].second;
}

TEST_F(XmlViewerTest, BadDocumentsKeepThePreviousAnalysis) {
  window->openPackage(package());
  const std::vector<std::string> before = TreeCaptions(viewer()->tree());
  viewer()->close();

  window->openPackage(put("broken.cab", XmlPackage("<wap-provisioningdoc>\n  <parm name=\"a\"\n</x>").bytes()));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].second, "_setup.xml : Error parsing start element tag (line 3, column 1)");
  EXPECT_FALSE(viewer()->isVisible());
  EXPECT_EQ(TreeCaptions(viewer()->tree()), before);

  // Ten thousand levels are refused by the reader; the window never builds them.
  std::string deep;
  for (int i = 0; i < 10000; ++i) deep += "<a>";
  for (int i = 0; i < 10000; ++i) deep += "</a>";
  window->openPackage(put("deep.cab", XmlPackage(deep).bytes()));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].second, "_setup.xml : The document nests more than 256 levels");
  EXPECT_EQ(TreeCaptions(viewer()->tree()), before);
  EXPECT_EQ(viewer()->readCount(), 1);

  // As deep as the reader goes: every level is in the tree, and opens.
  deep.clear();
  for (int i = 0; i < kMaxXmlDepth; ++i) deep += "<a>";
  for (int i = 0; i < kMaxXmlDepth; ++i) deep += "</a>";
  window->openPackage(put("deepest.cab", XmlPackage(deep).bytes()));
  ASSERT_EQ(messages.size(), 2u) << messages.back().second;
  EXPECT_EQ(TreeCaptions(viewer()->tree()), Names(kMaxXmlDepth, "a"));
  viewer()->ExpandBtn->click();
  EXPECT_EQ(Expanded(viewer()->tree()).size(), static_cast<size_t>(kMaxXmlDepth - 1));
  EXPECT_TRUE(viewer()->InfTBtn->isEnabled());
}

TEST_F(XmlViewerTest, FocusFollowsTheMouseAndF11SwitchesTheMenuSize) {
  window->openPackage(package());
  auto move = [&](QAbstractScrollArea* control, Qt::MouseButtons buttons) {
    QWidget* viewport = control->viewport();
    QMouseEvent event(QEvent::MouseMove, QPointF(5, 5), viewport->mapToGlobal(QPointF(5, 5)), Qt::NoButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
  };
  viewer()->pages()->setCurrentIndex(TLitXMLForm::kFilesPage);
  ListView* files = viewer()->view(TLitXMLForm::kFilesList);
  files->clearFocus();
  move(files, Qt::LeftButton);
  EXPECT_NE(viewer()->focusWidget(), files);
  move(files, Qt::NoButton);
  EXPECT_EQ(viewer()->focusWidget(), files);
  viewer()->pages()->setCurrentIndex(TLitXMLForm::kInfPage);
  viewer()->infPane()->clearFocus();
  move(viewer()->infPane(), Qt::NoButton);
  EXPECT_EQ(viewer()->focusWidget(), viewer()->infPane());

  QShortcut* f11 = nullptr;
  for (QShortcut* s : viewer()->findChildren<QShortcut*>())
    if (s->key() == QKeySequence(Qt::Key_F11)) f11 = s;
  ASSERT_NE(f11, nullptr);
  emit f11->activated();
  EXPECT_TRUE(window->menuMetrics().SmallMenuIcons);
  EXPECT_EQ(window->menuMetrics().MenuItemHeight, 20);
}

}  // namespace
}  // namespace vornix
