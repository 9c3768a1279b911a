// The selective extraction dialog on the demo package: its counts, its two
// drag gestures, and the files the selection button ends up extracting.
#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include "ui/selection_dialog.h"
#include "window_fixture.h"

namespace vornix {
namespace {

namespace fs = std::filesystem;

QStringList Texts(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
  return texts;
}

void Press(QListWidget* list, int item) {
  const QPoint at = list->visualItemRect(list->item(item)).center();
  QMouseEvent press(QEvent::MouseButtonPress, at, list->viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(list->viewport(), &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, list->viewport()->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(list->viewport(), &release);
}

TEST_F(WindowTest, SelectionDialogCountsAndGestures) {
  window->openPackage(demo());
  TChoixFicExtract* dialog = window->ChoixFicExtract();
  dialog->setSourceList(window->filesSource(), {});
  dialog->show();
  dialog->Show();
  QListWidget* checks = dialog->CheckListBox1;
  ASSERT_EQ(checks->count(), 6);  // the header and five rows
  EXPECT_EQ(checks->item(0)->text().toStdString(), "Index");
  EXPECT_EQ(checks->item(1)->text().toStdString(),
            cell(TForm1::kFilesList, 0, 1) + " (" + cell(TForm1::kFilesList, 0, 2) + ")");
  EXPECT_EQ(dialog->checkedCount(), 5);
  QStringList stored;  // by row
  for (const std::string& name : column(TForm1::kFilesList, 1)) stored << QString::fromStdString(name);
  QStringList sorted = stored;
  sorted.sort(Qt::CaseInsensitive);
  EXPECT_EQ(Texts(dialog->SelLB), sorted);
  EXPECT_EQ(dialog->statusText().toStdString(), "5 file(s)");
  EXPECT_TRUE(dialog->SaveInfCB->isChecked());

  dialog->DeselTousBtn->click();
  EXPECT_FALSE(dialog->ExtraireBtn->isVisible());
  EXPECT_EQ(dialog->statusText().toStdString(), "0 file(s)");
  EXPECT_EQ(dialog->SelLB->count(), 0);
  checks->item(3)->setCheckState(Qt::Checked);  // a click on its check box
  EXPECT_TRUE(dialog->ExtraireBtn->isVisible());
  EXPECT_EQ(dialog->statusText().toStdString(), "1 file(s)");
  EXPECT_EQ(Texts(dialog->SelLB), (QStringList{stored[2]}));

  // The header dragged onto the chosen names adds nothing; a row does.
  Press(checks, 0);
  dialog->SelLBDragDrop();
  EXPECT_EQ(dialog->SelLB->count(), 1);
  Press(checks, 1);
  dialog->SelLBDragDrop();
  QStringList two{stored[0], stored[2]};
  two.sort(Qt::CaseInsensitive);
  EXPECT_EQ(Texts(dialog->SelLB), two);
  EXPECT_EQ(checks->item(1)->checkState(), Qt::Checked);
  EXPECT_EQ(dialog->statusText().toStdString(), "2 file(s)");

  // A name dragged to the bin unchecks its row; the row dragged back checks it again.
  Press(dialog->SelLB, two.indexOf(stored[2]));
  dialog->CorbeillePBDragDrop();
  EXPECT_EQ(Texts(dialog->SelLB), (QStringList{stored[0]}));
  EXPECT_EQ(checks->item(3)->checkState(), Qt::Unchecked);
  EXPECT_EQ(dialog->statusText().toStdString(), "1 file(s)");
  Press(checks, 3);
  dialog->SelLBDragDrop();
  EXPECT_EQ(checks->item(3)->checkState(), Qt::Checked);
  EXPECT_EQ((dialog->checkedRows()), (std::vector<bool>{true, false, true, false, false}));

  dialog->SelTousBtn->click();
  EXPECT_EQ(dialog->statusText().toStdString(), "5 file(s)");
  EXPECT_EQ(dialog->SelLB->count(), 5);
  dialog->hide();
}

TEST_F(WindowTest, SelectionButtonExtractsTheCheckedRows) {
  window->openPackage(demo());
  ASSERT_TRUE(window->SelExtractTBtn->isEnabled());
  TChoixFicExtract* dialog = window->ChoixFicExtract();
  chosenFolder = QString::fromStdString((dir / "out").string());
  fs::create_directories(dir / "out");
  // Read me.txt and the setup DLL, without the INF.
  QTimer::singleShot(0, [&] {
    dialog->DeselTousBtn->click();
    dialog->CheckListBox1->item(3)->setCheckState(Qt::Checked);
    dialog->CheckListBox1->item(5)->setCheckState(Qt::Checked);
    dialog->SaveInfCB->setChecked(false);
    dialog->ExtraireBtn->click();
  });
  window->SelExtractTBtn->trigger();
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(folderTitles.size(), 1u);
  EXPECT_EQ(testing::ListTree(dir / "out"),
            (std::vector<std::string>{"Program Files/Vornix Samples Tidepool/Help/Read me.txt", "TIDEPO~1.dll"}));

  // Flat, only the setup DLL, with the INF; no duplicates box.
  chosenFolder = QString::fromStdString((dir / "flat").string());
  fs::create_directories(dir / "flat");
  window->ArbreTBtn->setChecked(true);
  QTimer::singleShot(0, [&] {
    dialog->DeselTousBtn->click();
    dialog->CheckListBox1->item(5)->setCheckState(Qt::Checked);
    dialog->SaveInfCB->setChecked(true);  // the box keeps its state from one showing to the next
    dialog->ExtraireBtn->click();
  });
  window->SelExtractTBtn->trigger();
  EXPECT_EQ(testing::ListTree(dir / "flat"), (std::vector<std::string>{"TIDEPO~1.dll", "Tidepool.inf"}));
  EXPECT_TRUE(messages.empty()) << messages[0].second;
}

TEST_F(WindowTest, APackageHandedOverDuringTheChoiceWaitsForIt) {
  window->openPackage(demo());
  testing::SetupRecipe other;
  other.AppName = "Other";
  other.Files = {{1, 0, 1, 0, "other.txt"}};
  testing::CabBuilder cab;
  cab.add("OTHER~1.001", "other").add("OTHER~1.000", testing::BuildSetupFile(other));
  const QString second = put("other.cab", cab.bytes());
  TChoixFicExtract* dialog = window->ChoixFicExtract();
  std::vector<std::string> rowsWhileChoosing;
  QTimer::singleShot(0, [&] {
    window->HandleParameter(second);  // a second start hands this file over
    rowsWhileChoosing = column(TForm1::kFilesList, 2);
    dialog->AnnulerBtn->click();
  });
  const std::vector<std::string> before = column(TForm1::kFilesList, 2);
  window->SelExtractTBtn->trigger();
  EXPECT_EQ(rowsWhileChoosing, before);
  EXPECT_EQ(column(TForm1::kFilesList, 2), (std::vector<std::string>{"other.txt"}));
}

}  // namespace
}  // namespace vornix
