// The selective extraction dialog: the rows of a files list with check
// boxes, beside them the sorted list of the stored names chosen, and a bin.
// A row dragged onto the chosen names is chosen; a name dragged from there
// onto the bin is dropped from the choice. "Extract" hands the choice back
// to the window that opened the dialog, which runs the selection variant of
// the one extraction.
//
// Any window with a files list can use it:
//
//     dialog->setSourceList(&source, [&](bool writeInf) {
//       const std::vector<bool> chosen = dialog->checkedRows();  // one flag per row
//       ... SelectionRequest(requestForAllRows, chosen, writeInf) ...
//     });
//     dialog->exec();
//
// The dialog is refilled at every showing, so no choice carries over.
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "ui/file_list_source.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QStatusBar;

namespace vornix {

class TChoixFicExtract : public QDialog {
  Q_OBJECT
 public:
  explicit TChoixFicExtract(QWidget* parent = nullptr);

  /// Set by the opener just before showing: the rows offered (in display
  /// order) and its selection extraction, which Extract calls with the state
  /// of "Save INF file" while the check states are still there to read.
  void setSourceList(const FileListSource* source, std::function<void(bool writeInf)> extractSelection);
  const FileListSource* SourceList() const { return m_source; }

  /// Fills the lists (every row chosen) and runs the dialog modally.
  int exec() override;
  /// The filling alone.
  void Show();

  /// One flag per row of the source: its item is checked.
  std::vector<bool> checkedRows() const;
  int checkedCount() const;
  /// The status bar's text ("%d file(s)").
  QString statusText() const;

  // --- the commands and gestures ---------------------------------------
  /// Select All (true) or DeSelect All (false).
  void SelTousBtnClick(bool all);
  /// A drag from the check list ended on the chosen names: the item pressed
  /// last is chosen (the header never is).
  void SelLBDragDrop();
  /// A drag from the chosen names ended on the bin: the name pressed last
  /// leaves the choice and its row is unchecked.
  void CorbeillePBDragDrop();
  void ExtraireBtnClick();

  /// The check-list item under the mouse at the last press (-1: header or
  /// none) and the chosen name's (-1: none).
  int checkListPressed() const { return m_checkPressed; }
  int selectionPressed() const { return m_selPressed; }
  /// Width of a check box cell: it offsets the header's captions.
  int checkCellWidth() const { return m_checkCell; }

  QListWidget* CheckListBox1 = nullptr;
  QListWidget* SelLB = nullptr;
  QWidget* CorbeillePB = nullptr;
  QCheckBox* SaveInfCB = nullptr;
  QPushButton* SelTousBtn = nullptr;
  QPushButton* DeselTousBtn = nullptr;
  QPushButton* ExtraireBtn = nullptr;
  QPushButton* AnnulerBtn = nullptr;
  QStatusBar* StatusBarSF = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void itemChanged(QListWidgetItem* item);
  void recount();
  void showCount(int count);
  /// Adds a stored name to the chosen names in sorted place.
  void addChosen(const QString& name);
  bool isChosen(const QString& name) const;
  void removeChosen(const QString& name);
  QString storedName(int row) const;
  void startDrag(QWidget* source);

  QLabel* m_count = nullptr;
  QWidget* m_checkViewport = nullptr;
  QWidget* m_chosenViewport = nullptr;
  const FileListSource* m_source = nullptr;
  std::function<void(bool)> m_extract;
  int m_checkPressed = -1;
  int m_selPressed = -1;
  int m_checkCell = 0;
  bool m_filling = false;
  bool m_hover = true;
  QPoint m_pressPos;
};

}  // namespace vornix
