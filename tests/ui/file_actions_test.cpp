// The files list's actions on a package whose files are program files,
// texts and pictures: the popup per row type, what Open, Open with
// NotePad, Open with... and Properties are given, the drag data, and a
// package without cabinet.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QShortcut>
#include <QTabWidget>
#include <QTableView>
#include <QUrl>

#include "common/text.h"
#include "helpers/pe_builder.h"
#include "ui/file_list_actions.h"
#include "ui/properties_dialog.h"
#include "window_fixture.h"

namespace vornix {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;

enum Row { kReadme, kTool, kPlain, kRun, kPicture, kEvil, kLongName, kBroken, kLiar, kRowCount };

struct Tools {
  std::vector<std::string> data;  // bytes of each row's entry
  std::string cab;
};

// A package with a file of every kind the popup tells apart.
Tools ToolsPackage() {
  testing::PeRecipe versioned;
  versioned.FileFlags = 0x3;  // VS_FF_DEBUG | VS_FF_PRERELEASE
  testing::PeRecipe noVersion;
  noVersion.WithVersion = false;
  testing::PeRecipe program;
  program.Dll = false;
  const testing::PeImage base = testing::BuildPe(testing::PeRecipe());
  std::string broken = base.bytes;  // the version resource maps nowhere
  testing::PutU32(broken, base.dataEntry, 0x7FFF0000);
  std::string liar = base.bytes;  // 65535 sections and a resource loop
  testing::PutU16(liar, base.peHeader + 6, 0xFFFF);
  testing::PutU32(liar, base.typeEntry + 4, 0x80000000);

  Tools t;
  t.data = {"read me",
            testing::BuildPe(versioned).bytes,
            testing::BuildPe(noVersion).bytes,
            testing::BuildPe(program).bytes,
            "BM picture",
            "not so evil",
            "long",
            broken,
            liar};
  const char* names[kRowCount] = {"readme.txt",   "tool.dll",      "plain.dll",  "run.exe", "pic.2bp",
                                  "..\\evil.txt", "Long name.txt", "broken.dll", "liar.dll"};
  testing::SetupRecipe s;
  s.AppName = "Tools";
  s.Strings = {{1, "%CE1%"}};
  s.Dirs = {{1, {1}}};
  testing::CabBuilder cab;
  cab.folder(testing::CabCompression::MSZIP);
  for (uint16_t i = 1; i <= kRowCount; ++i) {
    s.Files.push_back({i, 1, i, 0, names[i - 1]});
    cab.add(Format("TOOLS~1.%03u", i), t.data[i - 1u]);
  }
  cab.add("TOOLS~1.000", testing::BuildSetupFile(s));
  t.cab = cab.bytes();
  return t;
}

class FileActionsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    tools = ToolsPackage();
    window->openPackage(put("tools.cab", tools.cab));
    ASSERT_TRUE(messages.empty()) << messages[0].second;
    ASSERT_EQ(window->model(TForm1::kFilesList)->rowCount(), kRowCount);
    actions = window->fileActions();
    open = window->filesSource()->openFolder();
    actions->openHook = [this](const QString& file) {
      opened.push_back(file.toStdString());
      return true;
    };
    actions->chooserHook = [this](const QString& file) { chosen.push_back(file.toStdString()); };
    actions->beepHook = [this] { ++beeps; };
    actions->dragHook = [this](const QMimeData* data, Qt::DropActions allowed) {
      dragged = data->urls();
      dragFormats = data->formats();
      dragActions = allowed;
      ++drags;
    };
    window->pages()->setCurrentIndex(TForm1::kFilesList);
    window->show();
    view = window->view(TForm1::kFilesList);
  }
  void TearDown() override { window->hide(); }

  QPoint rowPoint(int row) const { return view->visualRect(view->model()->index(row, 2)).center(); }
  void mouse(QEvent::Type type, int row, Qt::MouseButton button, Qt::MouseButtons held, QPoint shift = {}) {
    const QPoint at = rowPoint(row) + shift;
    QMouseEvent event(type, at, view->viewport()->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &event);
  }
  // The popup as the user sees it: a pixel of `action`'s row.
  QColor menuPixel(QAction* action, int x) {
    QMenu* menu = actions->PopupMenu1;
    menu->adjustSize();
    const QImage image = menu->grab().toImage();
    const QRect r = menu->actionGeometry(action);
    return image.pixelColor(x < 0 ? r.right() + x : r.left() + x, r.top() + 2 + 16);
  }

  Tools tools;
  FileListActions* actions = nullptr;
  QTableView* view = nullptr;
  fs::path open;
  std::vector<std::string> opened, chosen;
  int beeps = 0, drags = 0;
  QList<QUrl> dragged;
  QStringList dragFormats;
  Qt::DropActions dragActions;
};

TEST_F(FileActionsTest, PopupCaptionsPicturesAndStatesPerRowType) {
  ASSERT_TRUE(actions->preparePopup(kReadme));
  const QString text = QMimeDatabase().mimeTypeForFile("x.txt", QMimeDatabase::MatchExtension).comment();
  QStringList captions;
  for (QAction* a : actions->PopupMenu1->actions()) captions << a->text();
  EXPECT_EQ(captions,
            (QStringList{"Open \"" + text + "\"", "Open with...", "Open with NotePad", "Properties", "", "Cancel"}));
  EXPECT_TRUE(actions->Ouvrir1->isEnabled());
  EXPECT_FALSE(actions->Prop1->isEnabled());
  EXPECT_TRUE(testing::ListTree(open).empty()) << "nothing is extracted before a command";
  EXPECT_NE(menuPixel(actions->Ouvrir1, -4), QColor(192, 192, 192));
  const QColor grey = menuPixel(actions->Prop1, 7);  // inside the INFOSGRIS disc
  EXPECT_TRUE(grey.red() == grey.green() && grey.green() == grey.blue()) << grey.name().toStdString();

  ASSERT_TRUE(actions->preparePopup(kTool));
  EXPECT_TRUE(actions->Ouvrir1->text().endsWith(" (v. 1.2.3.4 Beta Debug)")) << actions->Ouvrir1->text().toStdString();
  EXPECT_TRUE(actions->Prop1->isEnabled());
  // The program file is there under its original name when the menu appears.
  EXPECT_EQ(ReadAll(open / "tool.dll"), tools.data[kTool]);
  const QColor blue = menuPixel(actions->Prop1, 7);  // inside the INFOS disc
  EXPECT_GT(blue.blue(), blue.red() + 80) << blue.name().toStdString();

  ASSERT_TRUE(actions->preparePopup(kPlain));
  EXPECT_TRUE(actions->Ouvrir1->text().endsWith("\" (v. ?)"));
  ASSERT_TRUE(actions->preparePopup(kRun));
  EXPECT_FALSE(actions->Ouvrir1->isEnabled());
  EXPECT_EQ(menuPixel(actions->Ouvrir1, -4), QColor(192, 192, 192));
  ASSERT_TRUE(actions->preparePopup(kPicture));
  EXPECT_EQ(actions->Ouvrir1->text().toStdString(), "Open \"2BP File\"");

  // F11 switches the rows between 36 and 20 pixels the next time the menu is shown.
  EXPECT_EQ(actions->PopupMenu1->actionGeometry(actions->Prop1).height(), 36);
  for (QShortcut* s : window->findChildren<QShortcut*>())
    if (s->key() == QKeySequence(Qt::Key_F11)) emit s->activated();
  ASSERT_TRUE(actions->preparePopup(kPicture));
  EXPECT_EQ(actions->PopupMenu1->actionGeometry(actions->Prop1).height(), 20);
}

TEST_F(FileActionsTest, RightClickShowsThePopupBesideThePointerOnlyOverARow) {
  std::vector<QPoint> shownAt;
  actions->popupHook = [&](QMenu*, const QPoint& at) { shownAt.push_back(at); };
  const QPoint row = rowPoint(kReadme);
  QContextMenuEvent onRow(QContextMenuEvent::Mouse, row, view->viewport()->mapToGlobal(row));
  QApplication::sendEvent(view->viewport(), &onRow);
  ASSERT_EQ(shownAt.size(), 1u);
  EXPECT_EQ(shownAt[0], view->viewport()->mapToGlobal(row) + QPoint(-16, 10));
  const QPoint empty(10, view->viewport()->height() - 2);
  ASSERT_LT(view->rowAt(empty.y()), 0);
  QContextMenuEvent below(QContextMenuEvent::Mouse, empty, view->viewport()->mapToGlobal(empty));
  QApplication::sendEvent(view->viewport(), &below);
  EXPECT_EQ(shownAt.size(), 1u);

  // A version resource that cannot be read: the error, and no menu.
  EXPECT_FALSE(actions->preparePopup(kBroken));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], (std::pair<std::string, std::string>{"Vornix", "Can''t get version info"}));
}

TEST_F(FileActionsTest, PropertiesOfProgramFilesEvenWithLyingHeaders) {
  ASSERT_TRUE(actions->preparePopup(kTool));
  PropertiesDialog* dialog = actions->Prop1Click();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isProgram());
  EXPECT_EQ(dialog->value("FileName").toStdString(), "tool.dll");
  EXPECT_EQ(dialog->value("Version").toStdString(), "1.2.3.4 Beta Debug");
  EXPECT_EQ(dialog->value("Kind").toStdString(), "Library (DLL)");
  EXPECT_EQ(dialog->value("Machine").toStdString(), "ARM (0x01C0)");
  EXPECT_EQ(dialog->value("Subsystem").toStdString(), "Windows CE GUI 4.20");
  EXPECT_EQ(dialog->value("DotNet").toStdString(), "No");
  EXPECT_EQ(dialog->value("CompanyName").toStdString(), "Vornix Samples");
  EXPECT_EQ(dialog->value("LegalCopyright").toStdString(), "Copyright (C) 2009");
  dialog->close();

  ASSERT_TRUE(actions->preparePopup(kLiar));
  EXPECT_TRUE(actions->Ouvrir1->text().endsWith(" (v. ?)"));  // the loop hides the version
  dialog = actions->Prop1Click();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->value("Machine").toStdString(), "ARM (0x01C0)");
  EXPECT_TRUE(dialog->warnings().contains("65535")) << dialog->warnings().toStdString();
  EXPECT_TRUE(dialog->warnings().contains("loop")) << dialog->warnings().toStdString();
  dialog->close();
  EXPECT_TRUE(messages.empty());
}

TEST_F(FileActionsTest, DragHandsOverTheSelectedFilesFromOnePass) {
  for (int row : {kReadme, kEvil, kLongName})
    view->selectionModel()->select(view->model()->index(row, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
  const int passes = actions->cabinet().ExtractionPasses();
  mouse(QEvent::MouseButtonPress, kEvil, Qt::LeftButton, Qt::LeftButton);
  mouse(QEvent::MouseMove, kEvil, Qt::NoButton, Qt::LeftButton, QPoint(2, 0));
  EXPECT_EQ(drags, 0) << "a twitch is not a drag";
  mouse(QEvent::MouseMove, kEvil, Qt::NoButton, Qt::LeftButton, QPoint(30, 4));
  ASSERT_EQ(drags, 1);
  EXPECT_EQ(actions->cabinet().ExtractionPasses(), passes + 1);
  EXPECT_TRUE(dragFormats.contains("text/uri-list"));
  EXPECT_EQ(dragActions, Qt::CopyAction);
  std::vector<std::string> paths;
  for (const QUrl& url : dragged) paths.push_back(url.toLocalFile().toStdString());
  EXPECT_EQ(paths, (std::vector<std::string>{(open / "readme.txt").string(), (open / "evil.txt").string(),
                                             (open / "Long name.txt").string()}));
  EXPECT_EQ(ReadAll(open / "evil.txt"), tools.data[kEvil]);
  EXPECT_EQ(ReadAll(open / "Long name.txt"), tools.data[kLongName]);
  EXPECT_EQ(view->selectionModel()->selectedRows().size(), 3);

  // After a confirmed open dialog no drag starts until a release in the list.
  actions->blockDragUntilRelease();
  mouse(QEvent::MouseMove, kEvil, Qt::NoButton, Qt::LeftButton, QPoint(30, 4));
  EXPECT_EQ(drags, 1);
}

TEST_F(FileActionsTest, OpenCommandsHandTheDesktopTheRowsFile) {
  mouse(QEvent::MouseButtonDblClick, kReadme, Qt::LeftButton, Qt::LeftButton);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], (open / "readme.txt").string());
  EXPECT_EQ(ReadAll(opened[0]), "read me");

  mouse(QEvent::MouseButtonDblClick, kRun, Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(beeps, 1);
  EXPECT_EQ(opened.size(), 1u);

  actions->OpenRow(1, kPicture);
  EXPECT_EQ(opened.back(), (open / "pic.bmp").string());
  actions->OpenRow(2, kPicture);  // Open with NotePad: a .txt copy
  EXPECT_EQ(opened.back(), (open / "pic.txt").string());
  EXPECT_EQ(ReadAll(opened.back()), "BM picture");
  ASSERT_TRUE(actions->preparePopup(kTool));
  actions->Ouvrir1->trigger();  // the file the popup prepared
  EXPECT_EQ(opened.back(), (open / "tool.dll").string());
  actions->OpenWith->trigger();
  EXPECT_EQ(chosen, (std::vector<std::string>{(open / "tool.dll").string()}));
  EXPECT_TRUE(messages.empty());
}

TEST_F(WindowTest, ASetupFileWithoutCabinetOpensNothingAndDragsNothing) {
  testing::SetupRecipe s;
  s.AppName = "Bare";
  s.Files = {{1, 0, 1, 0, "readme.txt"}};
  window->openPackage(put("bare.000", testing::BuildSetupFile(s)));
  ASSERT_EQ(window->model(TForm1::kFilesList)->rowCount(), 1);
  FileListActions* actions = window->fileActions();
  int opened = 0;
  actions->openHook = [&](const QString&) { return ++opened > 0; };
  actions->OpenRow(1, 0);
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(messages, (std::vector<std::pair<std::string, std::string>>{{"Vornix", "Error"}}));
  EXPECT_EQ(actions->dragData({0}), nullptr);
}

}  // namespace
}  // namespace vornix
