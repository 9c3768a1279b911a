// The program's own pictures: toolbar buttons (normal and, for toggles, on
// and off), tab icons and the setup-DLL icon. Drawn with QPainter so the
// program carries no image files; the desktop theme is asked first where it
// has a fitting icon.
#pragma once

#include <QAction>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QToolBar>

namespace vornix {

enum class Picture {
  Open,
  Previous,
  Next,
  SaveRtf,
  SaveInf,
  SaveReg,
  CopyInf,
  Extract,
  ExtractSelection,
  FolderNames,
  Signature,
  Xml,
  Links,
  About,
  History,
  Quit,
  SetupDll,
  FileGeneric,
  TabGeneral,
  TabStrings,
  TabDirs,
  TabFiles,
  TabHives,
  TabKeys,
  TabShortcuts,
  TabReport,
  // The file popup's and the selection dialog's pictures.
  Notepad,
  Explore,
  Cancel,
  Forbidden,
  Infos,
  InfosGrey,
  Bin,
};

/// The picture at `size` pixels; `on` selects the pressed look of a toggle.
QPixmap DrawPicture(Picture picture, int size, bool on = true);
/// An icon with normal and disabled looks; toggles get their on and off pictures.
QIcon PictureIcon(Picture picture, bool toggle = false);

/// The look both windows' toolbars share: pictures only, 24 pixels, on
/// buttons of 27 × 26 with no space between them.
void StyleToolbar(QToolBar* toolbar);
/// A button of such a toolbar, named after its design name.
QAction* AddToolButton(QToolBar* toolbar, const char* name, Picture picture, bool toggle = false);

}  // namespace vornix
