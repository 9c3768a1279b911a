#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QShortcut>
#include <QTabWidget>
#include <QTableView>
#include <QTextBlock>
#include <filesystem>

#include "common/text.h"
#include "presentation/catalogue.h"
#include "presentation/inf_writer.h"
#include "presentation/rtf_writer.h"
#include "ui/list_model.h"
#include "ui/qt_text.h"
#include "ui/report_view.h"
#include "window_fixture.h"

namespace vornix {
namespace {

namespace fs = std::filesystem;

std::string FileBytes(const QString& path) { return testing::ReadAll(path.toStdString()); }

TEST_F(WindowTest, StartState) {
  EXPECT_EQ(window->statusPanel(0).toStdString(), "Choose an installation file (CAB, TSK ou .000)");
  for (QAction* a : {window->RTFTBtn, window->InfTBtn, window->PressePTBtn, window->ExtraitTBtn, window->SelExtractTBtn,
                     window->ArbreTBtn, window->XMLTBtn})
    EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
  EXPECT_TRUE(window->SignMSCETBtn->isChecked());
  EXPECT_FALSE(window->ArbreTBtn->isChecked());
  EXPECT_EQ(window->SelExtractTBtn->toolTip().toStdString(),
            "Extract CAB Files with original names in a folder (Selection)");
  EXPECT_EQ(window->pages()->tabText(0).toUtf8().toStdString(), "Gen\xC3\xA9ralities");
  EXPECT_EQ(window->pages()->count(), 8);
  EXPECT_EQ(window->model(TForm1::kFilesList)->headerData(6, Qt::Horizontal, Qt::DisplayRole).toString().toStdString(),
            "Size (bytes)");
  for (int i = ReportView::kInf; i < ReportView::kItemCount; ++i)
    EXPECT_FALSE(window->report()->action(i)->isEnabled());
  EXPECT_FALSE(window->cabInfoPanel()->isVisibleTo(window.get()));
}

TEST_F(WindowTest, OpeningFillsListsStatusBarAndCommands) {
  const QString cab = demo();
  window->openPackage(cab);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(window->pages()->currentIndex(), 0);

  EXPECT_EQ(cell(0, 0, 0), "Selected Filename");
  EXPECT_EQ(column(1, 0).size(), 9u);
  EXPECT_EQ(column(TForm1::kFilesList, 0), (std::vector<std::string>{"001", "002", "003", "004", "999"}));
  EXPECT_EQ(cell(TForm1::kFilesList, 2, 2), "\"Read me.txt\"");
  EXPECT_EQ(cell(TForm1::kFilesList, 4, 1), "TIDEPO~1.999");
  EXPECT_EQ(cell(TForm1::kFilesList, 4, 2), "TIDEPO~1.dll");
  EXPECT_EQ(cell(TForm1::kFilesList, 4, 3), "!!! **** SETUP DLL **** !!!");
  EXPECT_EQ(column(4, 0).size(), 1u);
  EXPECT_EQ(column(5, 0).size(), 3u);
  EXPECT_EQ(column(6, 0), std::vector<std::string>{"1"});

  EXPECT_EQ(window->statusPanel(1).toStdString(), "TIDEPO~1.000");
  EXPECT_EQ(window->statusPanel(2).toStdString(), "5 file(s)");  // six entries less the setup file
  EXPECT_EQ(window->statusPanel(4).toStdString(), "");
  EXPECT_EQ(window->SetupDllName(), "TIDEPO~1.999");
  EXPECT_EQ(window->statusToolTip(), "!!! CESetupDLL !!! --- " + cab);
  EXPECT_TRUE(window->cabInfoPanel()->isVisibleTo(window.get()));
  EXPECT_NE(window->cabInfoText().toStdString().find("\"Cabinet.dll -> Infos\" Compressed CAB Size (bytes) : "),
            std::string::npos);

  for (QAction* a : {window->RTFTBtn, window->InfTBtn, window->PressePTBtn, window->ExtraitTBtn, window->SelExtractTBtn,
                     window->ArbreTBtn})
    EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
  EXPECT_FALSE(window->XMLTBtn->isEnabled());
  for (int i = ReportView::kInf; i < ReportView::kItemCount; ++i) EXPECT_TRUE(window->report()->action(i)->isEnabled());
}

TEST_F(WindowTest, FilesListColours) {
  window->openPackage(demo());
  ListModel* files = window->model(TForm1::kFilesList);
  auto colour = [&](int row, int col) {
    return files->data(files->index(row, col), Qt::ForegroundRole).value<QBrush>().color();
  };
  EXPECT_EQ(colour(0, 1), QColor(0, 128, 128));
  EXPECT_EQ(colour(0, 2), QColor(0, 0, 255));
  EXPECT_EQ(colour(0, 8), QColor(128, 0, 128));
  EXPECT_FALSE(files->data(files->index(0, 3), Qt::ForegroundRole).isValid());
  EXPECT_EQ(colour(4, 0), QColor(Qt::red));
  EXPECT_EQ(colour(4, 3), QColor(Qt::red));
  EXPECT_TRUE(files->data(files->index(4, 3), Qt::FontRole).value<QFont>().bold());
  EXPECT_FALSE(files->data(files->index(0, 0), Qt::DecorationRole).value<QIcon>().isNull());
  EXPECT_EQ(files->data(files->index(0, 6), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
            Qt::AlignRight);
}

TEST_F(WindowTest, SortingDirectionsAndKeys) {
  ListModel* files = window->model(TForm1::kFilesList);
  files->setRows({{{"001", "A.001", "\"b file\"", "", "", "", "10"}},
                  {{"002", "B.002", "a", "", "", "", "9"}},
                  {{"003", "C.003", "C", "", "", "", " "}},
                  {{"004", "D.004", "\"A2\"", "", "", "", ""}}});
  const int size = 6, name = 2;
  window->ListViewColumnClick(TForm1::kFilesList, size);
  EXPECT_EQ(column(TForm1::kFilesList, 0), (std::vector<std::string>{"003", "004", "002", "001"}));
  window->ListViewColumnClick(TForm1::kFilesList, size);
  EXPECT_EQ(column(TForm1::kFilesList, 0), (std::vector<std::string>{"001", "002", "003", "004"}));
  window->ListViewColumnClick(TForm1::kFilesList, name);  // another column: ascending again
  EXPECT_EQ(column(TForm1::kFilesList, 2), (std::vector<std::string>{"a", "\"A2\"", "\"b file\"", "C"}));
  window->ListViewColumnClick(TForm1::kFilesList, size);  // click A, B, A: ascending on A
  // Both blank cells count as -1 and keep the order the name sort gave them.
  EXPECT_EQ(column(TForm1::kFilesList, 6), (std::vector<std::string>{"", " ", "9", "10"}));
  EXPECT_EQ(window->sortState().LastSortedList(), "ListViewFiles");
  EXPECT_EQ(window->sortState().LastSortedColumn(), size);

  // "Size (bytes)" sorts as text in any other list.
  ListModel* strings = window->model(1);
  strings->setRows({{{"10"}}, {{"9"}}});
  ListModel* dirs = window->model(2);
  dirs->setRows({{{"2"}}, {{"1"}}});
  window->ListViewColumnClick(1, 0);
  EXPECT_EQ(column(1, 0), (std::vector<std::string>{"10", "9"}));
  window->ListViewColumnClick(2, 0);  // list 3 on the same key
  window->ListViewColumnClick(1, 0);  // list 2 again: ascending afresh
  EXPECT_EQ(column(1, 0), (std::vector<std::string>{"10", "9"}));
  window->ListViewColumnClick(1, 0);
  EXPECT_EQ(column(1, 0), (std::vector<std::string>{"9", "10"}));
}

TEST_F(WindowTest, NewReadResetsSortStateAndColumnOrder) {
  const QString cab = demo();
  window->openPackage(cab);
  window->ListViewColumnClick(TForm1::kFilesList, 0);  // ascending
  QHeaderView* header = window->view(TForm1::kFilesList)->horizontalHeader();
  header->moveSection(6, 0);
  header->moveSection(3, 8);
  ASSERT_NE(header->logicalIndex(0), 0);
  window->openPackage(put("again.cab", testing::DemoPackage().bytes()));
  for (int k = 0; k < header->count(); ++k) EXPECT_EQ(header->logicalIndex(k), k);
  EXPECT_EQ(window->sortState().LastSortedColumn(), -1);
  window->ListViewColumnClick(TForm1::kFilesList, 0);  // ascending again, not descending
  EXPECT_EQ(cell(TForm1::kFilesList, 0, 0), "001");
}

TEST_F(WindowTest, SavedInfAndClipboardAgree) {
  window->openPackage(demo());
  const std::vector<std::string>& lines = window->session().analysis()->InfLines;
  const QString txt = QString::fromStdString((dir / "pkg.txt").string());
  ASSERT_TRUE(window->SaveInfText(txt));
  const std::string saved = FileBytes(txt);
  EXPECT_EQ(saved, InfFileText(lines));
  window->copyInf();
  const QMimeData* clip = QApplication::clipboard()->mimeData();
  ASSERT_NE(clip, nullptr);
  EXPECT_EQ(FromQt(clip->text()) + "\r\n", saved);
  EXPECT_TRUE(clip->hasHtml());
  EXPECT_NE(clip->html().indexOf("[Version]"), -1);
  EXPECT_FALSE(window->report()->textCursor().hasSelection());
  EXPECT_EQ(window->report()->textCursor().position(), 0);
}

TEST_F(WindowTest, SavedRtfIsTheReport) {
  window->openPackage(demo());
  const SetupAnalysis& a = *window->session().analysis();
  const QString doc = QString::fromStdString((dir / "report.doc").string());
  ASSERT_TRUE(window->saveReportRtf(doc));
  const std::string rtf = FileBytes(doc);
  Report expected = BuildReport(a.Info, a.Lists, a.InfLines, window->signatureItems());
  expected.BodyFont = window->report()->bodyFont();  // the face and size on screen
  EXPECT_TRUE(rtf == WriteRtf(expected));
  EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1252", 0), 0u);
  // The document shows the same text the anchors were computed on.
  EXPECT_EQ(FromQt(window->report()->toPlainText()),
            BuildReport(a.Info, a.Lists, a.InfLines, window->signatureItems()).plainText());
}

TEST_F(WindowTest, SaveIntoMissingFolderReportsAndKeepsReport) {
  window->openPackage(demo());
  const int lines = window->report()->lineCount();
  EXPECT_FALSE(window->SaveInfText(QString::fromStdString((dir / "no" / "such" / "x.inf").string())));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, "Vornix");
  EXPECT_EQ(window->report()->lineCount(), lines);
}

TEST_F(WindowTest, ReportAnchorsScrollTheirLineToTheTop) {
  window->resize(944, 498);
  window->show();
  window->openPackage(demo());
  window->pages()->setCurrentIndex(7);
  QApplication::processEvents();
  ReportView* report = window->report();
  const TReportAnchors& anchors = report->anchors();
  for (int n = 1; n <= TReportAnchors::kSections; ++n) {
    SCOPED_TRACE(n);
    report->gotoAnchor(n);
    EXPECT_EQ(report->textCursor().position(), anchors.SectionStart[n - 1]);
    EXPECT_EQ(report->firstVisibleLine(), anchors.SectionLine[n - 1]);
    EXPECT_TRUE(report->textCursor().block().text().startsWith(n == 5 ? "R.K. ID" : n == 6 ? "ID S." : QString()));
  }
  report->gotoAnchor(0);
  EXPECT_EQ(report->textCursor().position(), anchors.InfStart);
  EXPECT_EQ(report->textCursor().block().text().toStdString(), "[Version]");
  report->gotoBeginning();
  EXPECT_EQ(report->firstVisibleLine(), 0);
  window->hide();
}

TEST_F(WindowTest, ReportMenuEnabledStates) {
  window->resize(944, 498);
  window->show();
  window->openPackage(demo());
  window->pages()->setCurrentIndex(7);
  QApplication::processEvents();
  ReportView* report = window->report();
  ASSERT_EQ(report->menu()->actions().size(), 13 + 5);  // thirteen items, five separators
  QTextCursor c(report->document());
  auto pointAt = [&](int position) {
    QTextCursor at(report->document());
    at.setPosition(position);
    return report->cursorRect(at).center() + QPoint(1, 0);
  };
  report->prepareMenu(pointAt(2));
  EXPECT_FALSE(report->action(ReportView::kCopy)->isEnabled());
  EXPECT_FALSE(report->action(ReportView::kDeselectAll)->isEnabled());
  c.setPosition(0);
  c.setPosition(8, QTextCursor::KeepAnchor);
  report->setTextCursor(c);
  report->prepareMenu(pointAt(3));
  EXPECT_TRUE(report->action(ReportView::kCopy)->isEnabled());
  EXPECT_TRUE(report->action(ReportView::kDeselectAll)->isEnabled());
  report->prepareMenu(pointAt(report->anchors().SectionStart[0] + 2));  // outside the selection
  EXPECT_FALSE(report->action(ReportView::kCopy)->isEnabled());
  EXPECT_TRUE(report->action(ReportView::kDeselectAll)->isEnabled());
  report->action(ReportView::kDeselectAll)->trigger();
  EXPECT_FALSE(report->textCursor().hasSelection());
  EXPECT_EQ(report->textCursor().position(), 0);
  window->hide();
}

TEST_F(WindowTest, SetupWithoutStringsKeepsItsSectionItemOff) {
  testing::SetupRecipe desc = testing::DemoApplication();
  desc.Strings.clear();
  desc.Dirs.clear();
  desc.Hives.clear();
  desc.RegKeys.clear();
  desc.Shortcuts.clear();
  for (auto& f : desc.Files) f.DirId = 0;
  window->openPackage(put("nostr.cab", testing::PackageFor(desc, "NOSTR~1.000", false).bytes()));
  ASSERT_TRUE(window->session().analysis().has_value()) << (messages.empty() ? "" : messages[0].second);
  ReportView* report = window->report();
  EXPECT_FALSE(report->action(ReportView::kFirstSection + kSectionStrings)->isEnabled());
  EXPECT_TRUE(report->action(ReportView::kFirstSection + kSectionFiles)->isEnabled());
  EXPECT_FALSE(report->toPlainText().contains("Strings\tValue"));
  EXPECT_TRUE(window->SetupDllName().empty());
  EXPECT_FALSE(window->statusToolTip().startsWith("!!!"));
}

// The report's document waits for its tab: built then, it is the report of
// the package the lists show, and the items keep what the openings decided.
TEST_F(WindowTest, ReportBuiltOnItsFirstShowingIsTheAnalysedPackages) {
  window->resize(944, 498);
  window->show();
  window->openPackage(demo());
  const SetupAnalysis& a = *window->session().analysis();
  const std::string expected = BuildReport(a.Info, a.Lists, a.InfLines, window->signatureItems()).plainText();
  const int lines = window->report()->lineCount();
  testing::SetupRecipe desc = testing::DemoApplication();
  desc.Signature = "XXXX";
  window->openPackage(put("bad.000", testing::BuildSetupFile(desc)));
  window->pages()->setCurrentIndex(7);
  QApplication::processEvents();
  const QTextEdit* shown = window->report();  // the widget's own document, as painted
  EXPECT_EQ(FromQt(shown->toPlainText()), expected);
  EXPECT_EQ(shown->document()->blockCount(), lines);
  EXPECT_FALSE(window->report()->action(ReportView::kInf)->isEnabled());
  window->hide();
}

// The lists show their analysis' own rows, which stay whole while the
// session goes on to another package the window has not shown yet.
TEST_F(WindowTest, ListsKeepTheirRowsWhileTheSessionMovesOn) {
  window->openPackage(demo());
  const auto stored = column(TForm1::kFilesList, 1);
  const QString bare = put("app.000", testing::BuildSetupFile(testing::DemoApplication()));
  window->session().OpenPackage(bare.toStdString());
  ASSERT_FALSE(window->session().analysis()->Info.Files[0].Entry);  // a bare .000 has no cabinet entries
  EXPECT_EQ(column(TForm1::kFilesList, 1), stored);
  window->ListViewColumnClick(TForm1::kFilesList, 0);
  window->ListViewColumnClick(TForm1::kFilesList, 0);  // descending
  EXPECT_EQ(column(TForm1::kFilesList, 1), std::vector<std::string>(stored.rbegin(), stored.rend()));
}

TEST_F(WindowTest, RejectedFileKeepsThePreviousAnalysis) {
  window->openPackage(demo());
  const auto filesBefore = column(TForm1::kFilesList, 1);
  const QString reportBefore = window->report()->toPlainText();
  testing::SetupRecipe desc = testing::DemoApplication();
  desc.Signature = "XXXX";
  window->openPackage(put("bad.000", testing::BuildSetupFile(desc)));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, "Vornix");
  EXPECT_EQ(messages[0].second, "WinCE file not valid : Signature = XXXX");
  EXPECT_EQ(column(TForm1::kFilesList, 1), filesBefore);
  EXPECT_EQ(window->report()->toPlainText(), reportBefore);
  EXPECT_TRUE(window->RTFTBtn->isEnabled());
  EXPECT_TRUE(window->InfTBtn->isEnabled());
  // The rejected file is a bare setup file: nothing to extract from it.
  EXPECT_FALSE(window->ExtraitTBtn->isEnabled());
  EXPECT_FALSE(window->ArbreTBtn->isEnabled());
  EXPECT_FALSE(window->report()->action(ReportView::kInf)->isEnabled());

  // A file that is no package at all changes nothing.
  messages.clear();
  window->openPackage(put("text.cab", "just some text"));
  EXPECT_EQ(column(TForm1::kFilesList, 1), filesBefore);
  EXPECT_FALSE(window->cabInfoPanel()->isVisibleTo(window.get()));
}

TEST_F(WindowTest, BareSetupFile) {
  window->openPackage(put("app.000", testing::BuildSetupFile(testing::DemoApplication())));
  ASSERT_TRUE(messages.empty()) << messages[0].second;
  EXPECT_EQ(window->statusPanel(1).toStdString(), "app.000");
  EXPECT_EQ(window->statusPanel(2).toStdString(), "");
  EXPECT_EQ(cell(TForm1::kFilesList, 0, 1), "~~~~~~~~~~~~");
  EXPECT_EQ(column(TForm1::kFilesList, 0).size(), 4u);  // no setup DLL row
  EXPECT_TRUE(window->RTFTBtn->isEnabled());
  EXPECT_FALSE(window->ExtraitTBtn->isEnabled());
  EXPECT_FALSE(window->XMLTBtn->isEnabled());
  EXPECT_FALSE(window->cabInfoPanel()->isVisibleTo(window.get()));
}

TEST_F(WindowTest, XmlOnlyPackageEmptiesTheListsAndTheirCommands) {
  window->openPackage(demo());
  testing::CabBuilder cab;
  cab.add("_setup.xml", "<wap-provisioningdoc></wap-provisioningdoc>");
  cab.add("FILE~1.001", "one");
  window->openPackage(put("xml.cab", cab.bytes()));
  EXPECT_EQ(window->statusPanel(1).toStdString(), "_setup.xml");
  EXPECT_EQ(window->statusPanel(2).toStdString(), "2 file(s)");
  EXPECT_TRUE(window->XMLTBtn->isEnabled());
  for (int i = 0; i < TForm1::kListCount; ++i) EXPECT_EQ(window->model(i)->rowCount(), 0);
  EXPECT_EQ(window->report()->lineCount(), 0);
  EXPECT_FALSE(window->RTFTBtn->isEnabled());
  EXPECT_FALSE(window->PressePTBtn->isEnabled());
  EXPECT_FALSE(window->ExtraitTBtn->isEnabled());
}

TEST(OpenDialog, FilterFromTheCatalogue) {
  EXPECT_EQ(QtFileFilter(ToQt(Str(MainStr::OpenFilter))).toStdString(),
            "All (*.cab, *.tsk, *.000) (*.cab *.CAB *.tsk *.TSK *.000);;*.cab (*.cab *.CAB);;"
            "*.tsk (*.tsk *.TSK);;*.000 (*.000)");
}

TEST_F(WindowTest, ShortenPathKeepsTheFileName) {
  const QString shortPath = "/tmp/a.cab";
  EXPECT_EQ(window->ShortenPath(shortPath, 400), shortPath);
  const QString longPath = "/home/someone/" + QString("very long folder name/").repeated(12) + "package.cab";
  const QString shortened = window->ShortenPath(longPath, 400);
  EXPECT_TRUE(shortened.contains(QChar(0x2026)));
  EXPECT_TRUE(shortened.endsWith("package.cab"));
  EXPECT_TRUE(shortened.startsWith("/home/"));
  EXPECT_LE(window->fontMetrics().horizontalAdvance(shortened), 390);
}

TEST_F(WindowTest, PageNavigationWraps) {
  window->pages()->setCurrentIndex(0);
  window->previousPage();
  EXPECT_EQ(window->pages()->currentIndex(), 7);
  window->nextPage();
  EXPECT_EQ(window->pages()->currentIndex(), 0);
  window->nextPage();
  EXPECT_EQ(window->pages()->currentIndex(), 1);
}

TEST_F(WindowTest, DropsAndArguments) {
  const QString cab = demo();
  window->dropFiles({cab, cab});
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], (std::pair<std::string, std::string>{"Vornix", "Only one file !"}));
  EXPECT_EQ(window->model(0)->rowCount(), 0);
  window->dropFiles({put("notes.zip", "PK")});
  EXPECT_EQ(window->model(0)->rowCount(), 0);
  EXPECT_TRUE(window->SignMSCETBtn->isChecked());
  window->dropFiles({cab});
  EXPECT_GT(window->model(0)->rowCount(), 0);
  EXPECT_FALSE(window->SignMSCETBtn->isChecked());  // files from outside release the check

  // The dialog's choice leaves the toggle as it is.
  window->SignMSCETBtn->setChecked(true);
  window->openPackage(put("second.CAB", testing::DemoPackage().bytes()), false);
  EXPECT_TRUE(window->SignMSCETBtn->isChecked());
}

TEST_F(WindowTest, HandleParameterOpensOnceAndManyArgumentsCloseTheWindow) {
  const QString cab = put("UPPER.CAB", testing::DemoPackage().bytes());
  window->setCommandLine({cab});
  window->show();
  window->ProcessCommandLine();
  EXPECT_EQ(window->currentFile(), cab);
  EXPECT_FALSE(window->SignMSCETBtn->isChecked());
  window->model(0)->clear();
  window->HandleParameter(cab);  // already open: only brought to the front
  EXPECT_EQ(window->model(0)->rowCount(), 0);
  EXPECT_TRUE(window->isVisible());

  TForm1 other;
  other.messageHook = window->messageHook;
  other.setCommandLine({cab, "other"});
  other.ProcessCommandLine();
  EXPECT_EQ(other.model(0)->rowCount(), 0);  // an unknown word opens nothing
  other.HandleParameter(cab);                // the window has been closed
  EXPECT_EQ(other.model(0)->rowCount(), 0);
  window->hide();
}

TEST_F(WindowTest, FocusFollowsTheMouseUnlessTrackingIsOff) {
  window->show();
  auto move = [&](QWidget* control, Qt::MouseButtons buttons) {
    QWidget* viewport = static_cast<QAbstractScrollArea*>(control)->viewport();
    QMouseEvent event(QEvent::MouseMove, QPointF(5, 5), viewport->mapToGlobal(QPointF(5, 5)), Qt::NoButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
  };
  // Switching tabs moves the focus by itself; each case starts unfocused.
  window->pages()->setCurrentIndex(1);
  window->view(1)->clearFocus();
  move(window->view(1), Qt::NoButton);
  EXPECT_EQ(window->focusWidget(), window->view(1));

  QTableView* files = window->view(TForm1::kFilesList);
  window->pages()->setCurrentIndex(TForm1::kFilesList);
  files->clearFocus();
  move(files, Qt::LeftButton);  // a button held in the files list: its own drag handling decides
  EXPECT_NE(window->focusWidget(), files);
  move(files, Qt::NoButton);
  EXPECT_EQ(window->focusWidget(), files);

  window->pages()->setCurrentIndex(7);
  window->report()->clearFocus();
  window->SetListMouseTracking(false);
  move(window->report(), Qt::NoButton);
  EXPECT_NE(window->focusWidget(), window->report());
  window->SetListMouseTracking(true);
  move(window->report(), Qt::NoButton);
  EXPECT_EQ(window->focusWidget(), window->report());
  window->hide();
}

TEST_F(WindowTest, F11SwitchesMenuRowHeight) {
  EXPECT_EQ(window->menuMetrics().MenuItemHeight, 36);
  EXPECT_EQ(window->menuMetrics().MenuTextTop, 12);
  QMenu* menu = window->report()->menu();
  menu->ensurePolished();
  const int tall = menu->actionGeometry(window->report()->action(ReportView::kSelectAll)).height();
  window->show();
  QShortcut* f11 = nullptr;
  for (QShortcut* s : window->findChildren<QShortcut*>())
    if (s->key() == QKeySequence(Qt::Key_F11)) f11 = s;
  ASSERT_NE(f11, nullptr);
  emit f11->activated();
  EXPECT_EQ(window->menuMetrics().MenuItemHeight, 20);
  EXPECT_EQ(window->menuMetrics().MenuTextTop, 4);
  menu->ensurePolished();
  const int small = menu->actionGeometry(window->report()->action(ReportView::kSelectAll)).height();
  EXPECT_EQ(tall, 36);
  EXPECT_EQ(small, 20);
  window->hide();
}

TEST_F(WindowTest, ExtractionFollowsTheFolderNamesToggle) {
  window->openPackage(demo());
  const fs::path out = dir / "out";
  fs::create_directories(out);
  chosenFolder = QString::fromStdString(out.string());
  window->extractAll();
  ASSERT_EQ(folderTitles.size(), 1u);
  EXPECT_EQ(folderTitles[0].rfind("Choose a folder or create it :\rActual : ", 0), 0u);
  const auto tree = testing::ListTree(out);
  EXPECT_NE(std::find(tree.begin(), tree.end(), "Program Files/Vornix Samples Tidepool/Tidepool.exe"), tree.end());
  EXPECT_NE(std::find(tree.begin(), tree.end(), "TIDEPO~1.dll"), tree.end());
  EXPECT_NE(std::find(tree.begin(), tree.end(), "Tidepool.inf"), tree.end());
  EXPECT_TRUE(window->listMouseTracking());

  window->ArbreTBtn->setChecked(true);  // down: everything in the one folder
  const fs::path flat = dir / "flat";
  fs::create_directories(flat);
  window->extractAll(QString::fromStdString(flat.string()));
  const auto flatTree = testing::ListTree(flat);
  EXPECT_NE(std::find(flatTree.begin(), flatTree.end(), "Tidepool.exe"), flatTree.end());
  EXPECT_NE(std::find(flatTree.begin(), flatTree.end(), "Read me.txt"), flatTree.end());

  // After a rejected cabinet the rows on screen still come from the demo:
  // extraction reads the demo, not the rejected file.
  testing::SetupRecipe bad = testing::DemoApplication();
  bad.Signature = "XXXX";
  window->openPackage(put("bad.cab", testing::PackageFor(bad, "BAD~1.000", false).bytes()));
  ASSERT_EQ(messages.size(), 1u);
  ASSERT_TRUE(window->ExtraitTBtn->isEnabled());
  messages.clear();
  window->ArbreTBtn->setChecked(false);
  const fs::path again = dir / "again";
  fs::create_directories(again);
  window->extractAll(QString::fromStdString(again.string()));
  EXPECT_TRUE(messages.empty()) << messages[0].second;
  const auto againTree = testing::ListTree(again);
  EXPECT_NE(std::find(againTree.begin(), againTree.end(), "TIDEPO~1.dll"), againTree.end());

  // A cancelled folder dialog does nothing.
  chosenFolder.clear();
  messages.clear();
  window->extractAll();
  EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace vornix
