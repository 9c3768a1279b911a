// What a files list does with its rows beyond showing them: the popup menu
// (Open with the type's program, Open with..., Open with NotePad, Properties,
// Cancel), the double click that opens, and the drag of selected rows out
// to the desktop. Each row's file is first extracted from the cabinet into
// the private open folder under its original name, so what the user gets
// carries the name it has on the device.
//
// One component for every window that lists a package's files. A window
// attaches it once, after building its files list:
//
//     m_files = std::make_unique<ListModelFileSource>(model, columns, packageFn, openDir);
//     FileListActions::Attach(view, *m_files, m_metrics, FileListActions::XmlViewerTexts());
//
// The component then belongs to the view. The source (the rows' cabinet
// entries, see file_list_source.h) and the menu metrics (switched by F11)
// must live as long as the view. Nothing else is needed: the component
// watches the view's mouse and context-menu events itself.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>
#include <optional>

#include "cabfiles/cab_file.h"
#include "package/open_files.h"
#include "ui/file_list_source.h"

class QAction;
class QMenu;
class QMimeData;
class QTableView;

namespace vornix {

struct MenuMetrics;
class PropertiesDialog;

class FileListActions : public QObject {
  Q_OBJECT
 public:
  /// The captions, from the attaching window's catalogue.
  struct Texts {
    QString Open, OpenWithNotepad, OpenWith, Properties, Cancel, Error;
  };
  static Texts MainWindowTexts();
  static Texts XmlViewerTexts();

  /// Gives `view` its actions; the returned component is a child of the view.
  static FileListActions* Attach(QTableView* view, FileListSource& source, const MenuMetrics& metrics,
                                 Texts texts = MainWindowTexts());

  // --- the popup menu, in its order ------------------------------------
  QMenu* PopupMenu1 = nullptr;
  QAction* Ouvrir1 = nullptr;   // 1: Open "<type>" [(v. version)], the default item
  QAction* OpenWith = nullptr;  // 3: Open with...
  QAction* Ouvrir2 = nullptr;   // 2: Open with NotePad
  QAction* Prop1 = nullptr;     // Properties
  QAction* Annuler1 = nullptr;  // Cancel

  // --- commands (what the mouse does, callable directly) --------------
  /// Prepares the popup for a right click on `row`: the captions, the enabled
  /// states and pictures, and for a program file its extraction and version.
  /// False when no menu is to appear (no such row, or a version resource
  /// that cannot be read, which is reported).
  bool preparePopup(int row);
  /// Right click at `pos` (viewport coordinates): prepares and shows the popup.
  void showPopup(const QPoint& pos, const QPoint& globalPos);
  /// Command `number` on `row`: 1 open (the double click too), 2 open a .txt
  /// copy in the text editor, 3 choose the program. From the popup, the file
  /// the popup prepared is used when there is one.
  void OpenRow(int number, int row, bool fromPopup = false);
  /// Properties of the file the last popup prepared; the dialog shown, or
  /// nullptr when there is no file to show.
  PropertiesDialog* Prop1Click();
  /// Extracts the rows in one pass and returns what a drag hands over: their
  /// files as a URI list, or nullptr when no file could be produced.
  QMimeData* dragData(const QList<int>& rows);
  /// The state a confirmed open dialog leaves: no drag starts until the next
  /// button release in the list.
  void blockDragUntilRelease() { RightButtonDown = true; }

  // --- click state and the prepared file -------------------------------
  bool RightButtonDown = false;
  bool LeftButtonDown = false;
  QPoint ClickRow;         // x is always 10: a press anywhere along a row finds it
  QString PopupExt;        // "." + the Type cell of the row last right-clicked
  QString PreparedFile;    // the program file the popup extracted, or empty
  QString PropertiesFile;  // what Properties shows
  int popupRow() const { return m_popupRow; }

  /// The cabinet component every extraction of this list goes through.
  TCABFile& cabinet() { return CABFile1; }
  QTableView* view() const { return m_view; }

  // --- replacements for scripted runs and tests -------------------------
  std::function<void(const QString& caption, const QString& text)> messageHook;
  /// The desktop's opener (QDesktopServices otherwise); false when it could not start.
  std::function<bool(const QString& file)> openHook;
  /// The program chooser ("Open with...").
  std::function<void(const QString& file)> chooserHook;
  /// Shows the prepared popup instead of running it.
  std::function<void(QMenu* menu, const QPoint& globalPos)> popupHook;
  /// Takes the drag data instead of the desktop's drag loop.
  std::function<void(const QMimeData* data, Qt::DropActions actions)> dragHook;
  std::function<void()> beepHook;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  FileListActions(QTableView* view, FileListSource& source, const MenuMetrics& metrics, Texts texts);
  void buildMenu();
  /// The rows' files in the open folder, in one pass over the cabinet.
  OpenFilesResult extract(const QList<int>& rows, bool bitmapRule);
  void openFile(const QString& file);
  void chooseProgram(const QString& file);
  void startDrag();
  void message(const QString& text);
  QString typeOf(const FileRow& row) const;

  QTableView* m_view;
  QWidget* m_viewport = nullptr;
  FileListSource& m_source;
  const MenuMetrics& m_metrics;
  Texts m_texts;
  TCABFile CABFile1;
  int m_popupRow = -1;
  QPoint m_pressPos;
};

}  // namespace vornix
