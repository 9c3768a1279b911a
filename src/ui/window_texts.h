// The main window's own texts beyond the analysis catalogue: what it says
// about files it could not analyse, saves that failed, and the course of an
// extraction. Looked up by identifier like every catalogued text.
#pragma once

#include <QString>

namespace vornix {

enum class WinStr {
  NothingAnalysed,       // status panel after an opening that analysed nothing
  NothingAnalysedTitle,  // first line of the box about such a file
  NotAPackageName,       // %1: file; a name the window does not open
  NoDescription,         // %1: file; a cabinet without a setup description
  CannotRead,            // %1: file; a failure the core gave no words for
  SaveFailed,            // first line of the box about a failed save
  FolderNotWritable,     // first line of the box about a folder that refuses files
  CancelExtraction,      // the cancel button's text
  CancelExtractionTip,   // its tooltip
  ExtractionDone,        // %1: count, %2: folder
  ExtractionCancelled,   // %1: count, %2: folder
  TipSaveReg,            // the registry export's button
  SaveRegTitle,          // its save dialog
  Count_
};

QString Text(WinStr id);

}  // namespace vornix
