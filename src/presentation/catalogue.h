// String catalogues of the user interface, looked up by identifier.
//
// One catalogue per window family; one language per build (English here, the
// theme open dialog French). Texts are Windows-1252 and may hold printf
// placeholders and CR/LF.
#pragma once

#include <string>

namespace vornix {

/// The main window's catalogue: window, analysis, extraction and messages.
enum class MainStr {
  // Window and system menu
  Title,
  AboutVornix,
  EnglishVersion,
  QuitMenu,
  // Tab captions
  TabGeneral,
  TabStrings,
  TabDirectories,
  TabFiles,
  TabHives,
  TabRegistryKeys,
  TabShortcuts,
  TabRtfDocument,
  // Column headings
  ColItems,
  ColValues,
  ColStringId,
  ColValue,
  ColEquivalent,
  ColIdDir,
  ColFileId,
  ColFileNameInCab,
  ColFileName,
  ColOrderNumber,
  ColFlags,
  ColSizeBytes,
  ColDate,
  ColHiveId,
  ColRoot,
  ColRegKeyId,
  ColType,
  ColKey,
  ColNB,
  ColIdS,
  ColInstalledAt,
  ColPointsTo,
  ColFileNameOrDirectories,
  ColShortcutName,
  // Toolbar tooltips
  TipOpen,
  TipPreviousPage,
  TipNextPage,
  TipSaveRtf,
  TipSaveInf,
  TipCopyInf,
  TipExtract,
  TipSelectionSuffix,
  TipUseFolderNames,
  TipVerifySignature,
  TipQuit,
  // Report context menu and tooltip
  MenuCancel,
  MenuCopySelection,
  MenuSelectAll,
  MenuDeselectAll,
  MenuGotoBeginning,
  MenuGotoEnd,
  MenuGotoInf,
  MenuGotoStrings,
  MenuGotoDirs,
  MenuGotoFiles,
  MenuGotoHives,
  MenuGotoKeys,
  MenuGotoShortcuts,
  TipReportMenu,
  // File popup menu and files list tooltip
  PopupOpen,
  PopupOpenWithNotepad,
  PopupOpenWith,
  PopupProperties,
  TipFilesList,
  // Status bar, dialogs and folder choice
  StatusPrompt,
  OpenFilter,
  SaveRtfTitle,
  SaveInfTitle,
  FileCount,
  IncludingXml,
  ExtractDialogCaption,
  ChooseFolderTitle,
  // Messages
  // (The reader's own rejections of a file that is no setup description are
  // in setup/setup_format.h.)
  MsgCloseTempFolders,
  MsgIncomplete,
  MsgFolderDestroyed,
  MsgNotRenamed,
  MsgError,
  MsgOnlyOneFile,
  MsgExtractFilesError,
  // Row labels and headings of the analysis
  LblUnsupportedPlatforms,
  LblFileSignature,
  LblMinimalWinCE,
  LblMaximalWinCE,
  LblMinimalBuild,
  LblMaximalBuild,
  LblApplicationName,
  LblProvider,
  LblSetupFile,
  LblInfRebuilt,
  LblSquareScreen,
  LblScreenRotation,
  LblSquareAndRotation,
  LblUnknown,
  LblSelectedFilename,
  LblInstallationFilename,
  LblFileSize,
  LblBytes,
  LblProcessor,
  LblString,
  LblFile,
  Count_
};

/// The text of a main-catalogue entry (Windows-1252).
const std::string& Str(MainStr id);

/// Number of entries, for the completeness test.
constexpr int kMainCatalogueSize = static_cast<int>(MainStr::Count_);

/// Texts fixed in the code rather than catalogued.
inline constexpr const char* kCaption = "Vornix";

}  // namespace vornix
