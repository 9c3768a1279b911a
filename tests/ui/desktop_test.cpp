// The window as a desktop user meets it: what it says when a file gives
// nothing, the order of its boxes, its geometry, keys, drops, colours and
// the course of an extraction.
#include <QAbstractButton>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>
#include <QUrl>
#include <filesystem>

#include "common/text.h"
#include "presentation/rtf_writer.h"
#include "ui/colours.h"
#include "ui/qt_text.h"
#include "ui/report_view.h"
#include "ui/save_dialog.h"
#include "window_fixture.h"

namespace vornix {
namespace {

namespace fs = std::filesystem;

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A setup description with `count` files, for lists that scroll both ways.
testing::SetupRecipe ManyFiles(int count) {
  testing::SetupRecipe desc = testing::DemoApplication();
  desc.Files.clear();
  for (int i = 1; i <= count; ++i)
    desc.Files.push_back({static_cast<uint16_t>(i), 1, static_cast<uint16_t>(i), 0, Format("file%03d.txt", i)});
  return desc;
}

TEST_F(WindowTest, DuplicatesBoxComesOnceTheAnalysisIsOnScreen) {
  testing::SetupRecipe desc;
  desc.AppName = "Dup";
  desc.Files = {{1, 0, 1, 0, "Setup.dll"}, {2, 0, 2, 0, "SETUP.DLL"}, {3, 0, 3, 0, "other.txt"}};
  const QString dup = put("dup.cab", testing::PackageFor(desc, "DUP~1.000", false).bytes());
  window->openPackage(demo());  // the box must not stand over this package's rows
  std::vector<std::string> rowsUnderTheBox;
  window->messageHook = [&](const QString& caption, const QString& text) {
    messages.emplace_back(caption.toStdString(), text.toStdString());
    if (caption == "Duplicates") rowsUnderTheBox = column(TForm1::kFilesList, 2);
  };
  window->openPackage(dup);
  ASSERT_EQ(messages.size(), 1u);  // once: the opening itself no longer shows it
  EXPECT_EQ(messages[0], (std::pair<std::string, std::string>{"Duplicates", "Duplicates (1) :\r\n\r\nSETUP.DLL"}));
  EXPECT_EQ(rowsUnderTheBox, (std::vector<std::string>{"Setup.dll", "SETUP.DLL", "other.txt"}));
  EXPECT_EQ(window->statusPanel(4).toStdString(), "Exit Code : 222");
  EXPECT_EQ(window->statusPanel(1).toStdString(), "DUP~1.000");
  auto* exitCode = window->statusBar()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly).at(4);
  EXPECT_GE(exitCode->contentsRect().width(), exitCode->fontMetrics().horizontalAdvance(exitCode->text()));
}

TEST_F(WindowTest, FilesThatGiveNothingAreNamedWithTheirCause) {
  window->openPackage(demo());
  const auto filesBefore = column(TForm1::kFilesList, 1);
  auto lastMessage = [&] { return messages.empty() ? std::string() : messages.back().second; };
  auto expectNothingAnalysed = [&](const QString& file, const std::string& cause) {
    SCOPED_TRACE(file.toStdString());
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().first, "Vornix");
    EXPECT_EQ(lastMessage().rfind("Nothing analysed :\n\n", 0), 0u) << lastMessage();
    EXPECT_TRUE(Contains(lastMessage(), Native(file).toStdString())) << lastMessage();
    EXPECT_TRUE(Contains(lastMessage(), cause)) << lastMessage();
    EXPECT_EQ(window->statusPanel(2).toStdString(), "Nothing analysed");
    EXPECT_EQ(window->statusPanel(1).toStdString(), "");
    EXPECT_EQ(window->statusToolTip(), file);
    EXPECT_EQ(column(TForm1::kFilesList, 1), filesBefore);  // the lists keep the last analysis
  };

  const QString text = put("text.cab", "just some text");
  window->openPackage(text);
  expectNothingAnalysed(text, "is not a cabinet (it does not begin with \"MSCF\")");
  const QString empty = put("empty.cab", "");
  window->openPackage(empty);
  expectNothingAnalysed(empty, "is empty");
  const QString missing = QString::fromStdString((dir / "missing.cab").string());
  window->HandleParameter(missing);
  expectNothingAnalysed(missing, "No such file or directory");
  testing::CabBuilder plain;
  plain.add("readme.txt", "no setup description here");
  const QString noSetup = put("plain.cab", plain.bytes());
  window->openPackage(noSetup);
  expectNothingAnalysed(noSetup, "the cabinet holds no setup description (.000) and no XML setup file");
  EXPECT_TRUE(window->cabInfoPanel()->isVisibleTo(window.get()));  // it is a cabinet: its figures show
  const QString zip = put("notes.zip", "PK");
  window->dropFiles({zip});
  expectNothingAnalysed(zip, "is not a .cab, .tsk or .000 file");

  // A cabinet cut short: the box names the package and what is wrong with it.
  messages.clear();
  const std::string good = testing::DemoPackage().bytes();
  const QString cut = put("cut.cab", testing::Truncated(good, good.size() - 40));
  window->openPackage(cut);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(lastMessage().rfind("Extract Files error\r\n\r\n" + cut.toStdString() + " : ", 0), 0u) << lastMessage();
  EXPECT_TRUE(Contains(lastMessage(), "TIDEPO~1.000")) << lastMessage();
  EXPECT_EQ(window->statusPanel(2).toStdString(), "Nothing analysed");
}

TEST_F(WindowTest, StatusBarDescribesOnlyTheLastPackage) {
  testing::CabBuilder xml;
  xml.add("_setup.xml", "<wap-provisioningdoc></wap-provisioningdoc>");
  xml.add("FILE~1.001", "one");
  window->openPackage(put("xml.cab", xml.bytes()));
  EXPECT_EQ(window->statusPanel(1).toStdString(), "_setup.xml");
  testing::CabBuilder other;
  other.add("a.txt", "a").add("b.txt", "b");
  const QString second = put("second.cab", other.bytes());
  window->openPackage(second);
  EXPECT_EQ(window->statusPanel(0), Native(second));
  EXPECT_EQ(window->statusPanel(1).toStdString(), "");
  EXPECT_EQ(window->statusPanel(2).toStdString(), "Nothing analysed");
  EXPECT_NE(window->cabInfoText().indexOf("Files : 2 "), -1) << window->cabInfoText().toStdString();
}

TEST_F(WindowTest, ToolbarStaysAndEveryButtonHasAKeyboardWayAndAName) {
  QToolBar* bar = window->toolBar();
  EXPECT_EQ(bar->contextMenuPolicy(), Qt::PreventContextMenu);
  EXPECT_FALSE(bar->isMovable());
  EXPECT_FALSE(bar->isFloatable());
  EXPECT_EQ(static_cast<QMainWindow*>(window.get())->createPopupMenu(), nullptr);
  window->show();
  QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(bar->width() - 2, 5),
                          bar->mapToGlobal(QPoint(bar->width() - 2, 5)));
  QApplication::sendEvent(bar, &click);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  EXPECT_TRUE(bar->isVisible());

  const std::pair<QAction*, QKeySequence> keys[] = {{window->ChoixFichierTBtn, QKeySequence("Ctrl+O")},
                                                    {window->InfTBtn, QKeySequence("Ctrl+S")},
                                                    {window->RTFTBtn, QKeySequence("Ctrl+Shift+S")},
                                                    {window->ExtraitTBtn, QKeySequence("Ctrl+E")},
                                                    {window->AbouTbtn, QKeySequence("F1")},
                                                    {window->QuitterTBtn, QKeySequence("Ctrl+Q")}};
  for (const auto& [action, key] : keys) EXPECT_EQ(action->shortcut(), key) << action->objectName().toStdString();

  QStringList names;
  for (QAction* a : bar->actions()) {
    if (a->isSeparator()) continue;
    QWidget* button = bar->widgetForAction(a);
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus) << a->objectName().toStdString();
    EXPECT_FALSE(button->accessibleName().isEmpty()) << a->objectName().toStdString();
    names << button->accessibleName();
  }
  EXPECT_EQ(names.removeDuplicates(), 0);
  window->hide();
}

TEST_F(WindowTest, FolderNamesToggleShowsTheTreeWhenUp) {
  // White pixels in the trunk's column: a tree has a trunk, the flat picture one line.
  auto trunk = [](const QIcon& icon, QIcon::State state) {
    const QImage image = icon.pixmap(QSize(24, 24), QIcon::Normal, state).toImage();
    const int x = static_cast<int>(1 + 24 * 0.28);
    int white = 0;
    for (int y = 0; y < image.height(); ++y) white += qGray(image.pixel(x, y)) > 220 && qAlpha(image.pixel(x, y)) > 200;
    return white;
  };
  const QIcon icon = window->ArbreTBtn->icon();
  const int up = trunk(icon, QIcon::Off), down = trunk(icon, QIcon::On);
  EXPECT_GE(up, 8) << "up keeps the device folders: the tree";
  EXPECT_LE(down, 3) << "down puts every file in one folder: the flat line";
}

TEST_F(WindowTest, ReportHeadingsStartAtTheirTabStops) {
  window->show();
  window->openPackage(demo());
  window->pages()->setCurrentIndex(7);
  QApplication::processEvents();
  ReportView* report = window->report();
  const ReportFont font = report->bodyFont();
  EXPECT_LE(font.Points, 8.0);
  QTextDocument* doc = report->document();
  doc->documentLayout()->documentSize();  // lays the document out
  for (int s = 0; s < TReportAnchors::kSections; ++s) {
    SCOPED_TRACE(s);
    const QTextBlock block = doc->findBlockByNumber(report->anchors().SectionLine[static_cast<size_t>(s)]);
    ASSERT_TRUE(block.isValid());
    const QList<QTextOption::Tab> stops = block.blockFormat().tabPositions();
    const QString text = block.text();
    QTextLine line = block.layout()->lineAt(0);
    int cell = 0;
    for (int i = 0; i < text.size(); ++i) {
      if (text[i] != '\t' || cell >= stops.size()) continue;
      // Each heading cell starts on its own stop, not on the one after.
      EXPECT_NEAR(line.cursorToX(i + 1), stops[cell].position, 1.0) << text.toStdString() << " cell " << cell + 1;
      ++cell;
    }
    EXPECT_EQ(cell, text.count('\t'));
  }

  // The saved RTF names the same face and size.
  const QString doc2 = QString::fromStdString((dir / "report.rtf").string());
  ASSERT_TRUE(window->saveReportRtf(doc2));
  const std::string rtf = testing::ReadAll(doc2.toStdString());
  EXPECT_TRUE(Contains(rtf, "\\fcharset0 " + font.Face + ";")) << font.Face;
  EXPECT_TRUE(Contains(rtf, Format("\\plain\\f0\\fs%d\\b\\cf1 Files\\plain", static_cast<int>(font.Points * 2))));
  window->hide();
}

TEST_F(WindowTest, GeometryFitsTheDesignOrTheScreen) {
  EXPECT_EQ(window->size(), QSize(944, 498));  // toolbar and status bar inside
  window->show();
  QApplication::processEvents();
  EXPECT_EQ(window->toolBar()->height() + window->pages()->height() + window->statusBar()->height(), 498);

  const QMargins frame(1, 22, 1, 4);
  const QRect large(0, 0, 1920, 1040);
  EXPECT_EQ(TForm1::FittedGeometry(QSize(944, 498), large, frame), QRect(488, 280, 944, 498));
  // 1366 x 768 at 150 %: 910 x 512 logical pixels, smaller than the window with its frame.
  const QRect small(0, 0, 910, 512);
  const QRect fitted = TForm1::FittedGeometry(QSize(944, 498), small, frame);
  const QRect outer = fitted.marginsAdded(frame);
  EXPECT_TRUE(small.contains(outer)) << outer.x() << "," << outer.y() << " " << outer.width() << "x" << outer.height();
  EXPECT_EQ(outer.width(), 910);
  EXPECT_EQ(outer.height(), 512);
  EXPECT_GE(window->minimumSizeHint().width(), 0);
  EXPECT_LE(window->minimumSizeHint().width(), fitted.width());
  window->hide();
}

TEST_F(WindowTest, EveryPackageStartsTopLeftAndWidenedColumnsStay) {
  window->show();
  const QString many = put("many.cab", testing::PackageFor(ManyFiles(80), "MANY~1.000", false).bytes());
  window->openPackage(many);
  window->pages()->setCurrentIndex(TForm1::kFilesList);
  QApplication::processEvents();
  ListView* files = window->view(TForm1::kFilesList);
  EXPECT_EQ(files->columnWidth(3), 400);  // the design widths survive the rows coming in
  files->setColumnWidth(2, 333);
  files->horizontalScrollBar()->setValue(files->horizontalScrollBar()->maximum());
  files->verticalScrollBar()->setValue(files->verticalScrollBar()->maximum());
  ASSERT_GT(files->horizontalScrollBar()->value(), 0);
  ASSERT_GT(files->verticalScrollBar()->value(), 0);
  window->openPackage(put("again.cab", testing::PackageFor(ManyFiles(80), "MANY~1.000", false).bytes()));
  QApplication::processEvents();
  EXPECT_EQ(files->horizontalScrollBar()->value(), 0);
  EXPECT_EQ(files->verticalScrollBar()->value(), 0);
  EXPECT_EQ(files->columnWidth(2), 333);
  window->hide();
}

TEST_F(WindowTest, ListsCopyRowsShowTheSortArrowAndCutCellsInFull) {
  window->show();
  window->openPackage(demo());
  window->pages()->setCurrentIndex(TForm1::kFilesList);
  QApplication::processEvents();
  ListView* files = window->view(TForm1::kFilesList);
  QHeaderView* header = files->horizontalHeader();
  EXPECT_EQ(header->sortIndicatorSection(), -1);
  window->ListViewColumnClick(TForm1::kFilesList, 2);
  EXPECT_EQ(header->sortIndicatorSection(), 2);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
  window->ListViewColumnClick(TForm1::kFilesList, 2);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
  window->openPackage(put("again.cab", testing::DemoPackage().bytes()));
  EXPECT_EQ(header->sortIndicatorSection(), -1);

  // Ctrl+C: the selected rows, cells in the columns' display order.
  header->moveSection(header->visualIndex(2), 0);
  files->selectRow(0);
  files->selectionModel()->select(files->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
  QApplication::sendEvent(files, &copy);
  const QStringList lines = QApplication::clipboard()->text().split('\n');
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines[0].split('\t').mid(0, 3).join('|').toStdString(), "Tidepool.exe|001|TIDEPO~1.001");
  EXPECT_EQ(lines[1].split('\t').at(0).toStdString(), "\"Read me.txt\"");
  EXPECT_EQ(lines[0].count('\t'), 8);

  // A cell narrower than its text shows the whole text as its tooltip.
  const QModelIndex dirCell = files->model()->index(0, 3);
  EXPECT_FALSE(files->isCut(dirCell));
  files->setColumnWidth(3, 40);
  EXPECT_TRUE(files->isCut(dirCell));
  const QPoint at = files->visualRect(dirCell).center();
  QHelpEvent help(QEvent::ToolTip, at, files->viewport()->mapToGlobal(at));
  QApplication::sendEvent(files->viewport(), &help);
  EXPECT_EQ(QToolTip::text(), dirCell.data().toString());
  QToolTip::hideText();
  window->hide();
}

TEST_F(WindowTest, DropsAreTakenAsCopies) {
  const QString cab = demo();
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(cab)});
  // Shift: the source proposes a move, as a file manager does between folders.
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::ShiftModifier);
  ASSERT_EQ(enter.proposedAction(), Qt::MoveAction);
  QApplication::sendEvent(window.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::ShiftModifier);
  QApplication::sendEvent(window.get(), &drop);
  EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
  EXPECT_GT(window->model(0)->rowCount(), 0);
  // A source that can only move is refused: the package stays where it is.
  QDragEnterEvent moveOnly(QPoint(5, 5), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
  moveOnly.ignore();
  QApplication::sendEvent(window.get(), &moveOnly);
  EXPECT_FALSE(moveOnly.isAccepted());
}

TEST_F(WindowTest, SaveAsksAboutTheFileReallyWritten) {
  const std::string bytes = "previous";
  testing::WriteAll(dir / "pkg.txt", bytes);
  SaveDialog dialog(nullptr, "Save INF file", QString::fromStdString(dir.path().string()), {"*.inf", "*.txt"},
                    {".inf", ".txt"});
  dialog.selectNameFilter("*.txt");
  dialog.selectFile("pkg.inf");  // typed with the other extension: pkg.txt is what would be replaced
  QString asked;
  auto answer = [&](QMessageBox::StandardButton button) {
    QTimer::singleShot(0, [&, button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      asked = box->text();
      box->button(button)->click();
    });
  };
  answer(QMessageBox::No);
  dialog.accept();
  EXPECT_EQ(asked.toStdString(), "pkg.txt already exists.\nDo you want to replace it?");
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  asked.clear();
  answer(QMessageBox::Yes);
  dialog.accept();
  EXPECT_FALSE(asked.isEmpty());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.fileToWrite().toStdString(), (dir / "pkg.txt").string());
}

TEST_F(WindowTest, FailedSavesAndUnwritableFoldersAreNamed) {
  window->openPackage(demo());
  const QString inf = QString::fromStdString((dir / "no" / "such" / "x.inf").string());
  EXPECT_FALSE(window->SaveInfText(inf));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].second.rfind("The file cannot be saved :\n\n" + Native(inf).toStdString() + " : ", 0), 0u)
      << messages[0].second;

  // A "folder" that is a file takes no files: said so, with its path, and not
  // counted as names that could not be given.
  messages.clear();
  const QString notAFolder = put("plainfile", "");
  window->extractAll(notAFolder);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(
      messages[0].second.rfind("The folder cannot be written :\n\n" + Native(notAFolder).toStdString() + " : ", 0), 0u)
      << messages[0].second;
}

TEST_F(WindowTest, ExtractionErrorNamesThePackageAndTheCause) {
  const QString cab = demo();
  window->openPackage(cab);
  const std::string good = testing::DemoPackage().bytes();
  testing::WriteAll(cab.toStdString(), testing::Truncated(good, good.size() - 40));  // spoilt after the opening
  const fs::path out = dir / "out";
  fs::create_directories(out);
  window->extractAll(QString::fromStdString(out.string()));
  bool named = false;
  for (const auto& [caption, text] : messages)
    named |= text.rfind("Extract Files error\n\n" + cab.toStdString() + " : the cabinet ends inside ", 0) == 0;
  EXPECT_TRUE(named) << (messages.empty() ? "no message" : messages.back().second);
}

TEST_F(WindowTest, ExtractionShowsItsFileCanBeCancelledAndSaysWhatItWrote) {
  window->resize(1400, 498);  // room for the file's name in the progress bar
  window->show();
  // Three stored entries of 64 KB each: several blocks per file.
  testing::SetupRecipe desc = testing::DemoApplication();
  desc.Files = {{1, 1, 1, 0, "one.bin"}, {2, 1, 2, 0, "two.bin"}, {3, 1, 3, 0, "three.bin"}};
  desc.Shortcuts.clear();
  testing::CabBuilder cab;
  cab.folder(testing::CabCompression::None);
  for (const auto& f : desc.Files)
    cab.add(testing::StoredNameFor(f), std::string(65536, static_cast<char>('a' + f.Id)));
  cab.add("BIG~1.000", testing::BuildSetupFile(desc));
  window->openPackage(put("big.cab", cab.bytes()));
  ASSERT_TRUE(messages.empty()) << messages[0].second;
  QApplication::processEvents();

  std::vector<int> panelsBefore, panelsDuring;
  const auto panels = window->statusBar()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
  ASSERT_EQ(panels.size(), 5);
  for (QLabel* panel : panels) panelsBefore.push_back(panel->x());
  QString format;
  bool busyButtons = true;
  QObject::connect(window->progressBar(), &QProgressBar::valueChanged, window.get(), [&](int value) {
    if (value < 700 || !panelsDuring.empty()) return;  // well inside the third file
    QApplication::processEvents();
    for (QLabel* panel : panels) panelsDuring.push_back(panel->x());
    format = window->progressBar()->format();
    busyButtons = window->ExtraitTBtn->isEnabled() || window->ChoixFichierTBtn->isEnabled();
    window->cancelButton()->click();
  });
  const fs::path out = dir / "out";
  fs::create_directories(out);
  window->extractAll(QString::fromStdString(out.string()));
  EXPECT_EQ(panelsDuring, panelsBefore) << "the progress bar moves no panel";
  EXPECT_EQ(format.toStdString(), "three.bin  %p%");
  EXPECT_FALSE(busyButtons);
  const auto tree = testing::ListTree(out);
  const std::string folder = "Program Files/Vornix Samples Tidepool/";
  EXPECT_EQ(tree, (std::vector<std::string>{folder + "one.bin", folder + "two.bin"})) << "no INF, no half file";
  EXPECT_EQ(window->statusMessage(),
            "Extraction cancelled : 2 file(s) written to " + Native(QString::fromStdString(out.string())));
  EXPECT_TRUE(messages.empty()) << messages[0].second;
  EXPECT_TRUE(window->ExtraitTBtn->isEnabled());
  EXPECT_FALSE(window->progressBar()->isVisible());

  const fs::path all = dir / "all";
  fs::create_directories(all);
  window->extractAll(QString::fromStdString(all.string()));
  EXPECT_EQ(window->statusMessage(), "3 file(s) written to " + Native(QString::fromStdString(all.string())));
  EXPECT_TRUE(fs::exists(all / "Tidepool.inf"));
  window->hide();
}

TEST_F(WindowTest, DarkPaletteKeepsTheColoursReadable) {
  window->openPackage(demo());
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(45, 45, 48));
  dark.setColor(QPalette::Base, QColor(30, 30, 30));
  dark.setColor(QPalette::Text, QColor(220, 220, 220));
  dark.setColor(QPalette::WindowText, QColor(220, 220, 220));
  window->setPalette(dark);
  QApplication::processEvents();

  ListModel* files = window->model(TForm1::kFilesList);
  const QColor base = window->view(TForm1::kFilesList)->palette().color(QPalette::Base);
  for (const auto& [row, col] : std::initializer_list<std::pair<int, int>>{{0, 1}, {0, 2}, {0, 8}, {4, 0}, {4, 3}}) {
    const QColor c = files->data(files->index(row, col), Qt::ForegroundRole).value<QBrush>().color();
    EXPECT_GE(ContrastRatio(c, base), 4.5) << row << "," << col << " " << c.name().toStdString();
  }
  ReportView* report = window->report();
  EXPECT_GE(ContrastRatio(report->labelColour(), report->palette().color(QPalette::Base)), 4.5);
  // The body carries no colour of its own: it is drawn in the palette's text colour.
  QTextCursor body(report->document()->findBlockByNumber(2));
  body.movePosition(QTextCursor::EndOfBlock);
  EXPECT_EQ(body.charFormat().foreground().style(), Qt::NoBrush);
  for (QLabel* label : window->cabInfoPanel()->findChildren<QLabel*>()) {
    if (!label->styleSheet().isEmpty()) {
      EXPECT_GE(ContrastRatio(QColor(label->styleSheet().section("color: ", 1).section(';', 0, 0)),
                              dark.color(QPalette::Window)),
                4.5)
          << label->styleSheet().toStdString();
    }
  }
}

TEST_F(WindowTest, ReportBackAndForwardAndNoSettingsFile) {
  window->resize(944, 498);
  window->show();
  window->openPackage(demo());
  window->pages()->setCurrentIndex(7);
  QApplication::processEvents();
  ReportView* report = window->report();
  EXPECT_FALSE(report->goBack());
  report->gotoAnchor(3);
  const int files = report->anchors().SectionLine[kSectionFiles];
  ASSERT_EQ(report->firstVisibleLine(), files);
  EXPECT_TRUE(report->goBack());
  EXPECT_EQ(report->firstVisibleLine(), 0);
  EXPECT_EQ(report->textCursor().position(), 0);
  EXPECT_TRUE(report->goForward());
  EXPECT_EQ(report->firstVisibleLine(), files);
  window->hide();

  // Qt's file dialogs keep a history file; it goes with the temporary folder.
  const QString settings = QSettings(QSettings::UserScope, "QtProject").fileName();
  EXPECT_TRUE(settings.startsWith(PathToQt(window->tempFolders().root().string()))) << settings.toStdString();
}

TEST_F(WindowTest, ShortenPathKeepsALongFileNameWhole) {
  const QString name = "Application Installer for Pocket PC.cab";
  const QString path = "/home/someone/Downloads/Pocket PC/" + QString("software for testing/").repeated(4) + name;
  const QString shortened = window->ShortenPath(path, 400);
  EXPECT_TRUE(shortened.endsWith(QChar(0x2026) + QString("/") + name)) << shortened.toStdString();
  EXPECT_TRUE(shortened.startsWith("/home/")) << shortened.toStdString();
  EXPECT_EQ(shortened.count(QChar(0x2026)), 1);
  EXPECT_LE(window->fontMetrics().horizontalAdvance(shortened), 390);
}

}  // namespace
}  // namespace vornix
