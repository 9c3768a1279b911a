#include "presentation/catalogue.h"

#include <array>
#include <utility>

namespace vornix {
namespace {

// "\xE9" is the Windows-1252 e acute of "Genéralities".
const std::array<std::pair<MainStr, const char*>, kMainCatalogueSize> kMain = {{
    {MainStr::Title, "Vornix - Windows CE and Pocket PC package viewer"},
    {MainStr::AboutVornix, "About Vornix ..."},
    {MainStr::EnglishVersion, "English Version"},
    {MainStr::QuitMenu, "&Quit Vornix\tAlt+F4"},
    {MainStr::TabGeneral, "Gen\xE9ralities"},
    {MainStr::TabStrings, "Strings"},
    {MainStr::TabDirectories, "Directories"},
    {MainStr::TabFiles, "Files"},
    {MainStr::TabHives, "Hives"},
    {MainStr::TabRegistryKeys, "Registry Keys"},
    {MainStr::TabShortcuts, "Shortcuts"},
    {MainStr::TabRtfDocument, "RTF Document"},
    {MainStr::ColItems, "Items"},
    {MainStr::ColValues, "Values"},
    {MainStr::ColStringId, "String ID"},
    {MainStr::ColValue, "Value"},
    {MainStr::ColEquivalent, "Equivalent"},
    {MainStr::ColIdDir, "ID Dir"},
    {MainStr::ColFileId, "File ID"},
    {MainStr::ColFileNameInCab, "FileName in CAB"},
    {MainStr::ColFileName, "FileName"},
    {MainStr::ColOrderNumber, "Order Number"},
    {MainStr::ColFlags, "Flags"},
    {MainStr::ColSizeBytes, "Size (bytes)"},
    {MainStr::ColDate, "Date"},
    {MainStr::ColHiveId, "Hive ID"},
    {MainStr::ColRoot, "Root"},
    {MainStr::ColRegKeyId, "RegKey ID"},
    {MainStr::ColType, "Type"},
    {MainStr::ColKey, "Key"},
    {MainStr::ColNB, "N.B. !"},
    {MainStr::ColIdS, "ID S."},
    {MainStr::ColInstalledAt, "Installed at"},
    {MainStr::ColPointsTo, "Points to"},
    {MainStr::ColFileNameOrDirectories, "FileName or Directories"},
    {MainStr::ColShortcutName, "Shortcut Name"},
    {MainStr::TipOpen, "Choose a CE installation file (*.CAB, *.TSK, *.000)"},
    {MainStr::TipPreviousPage, "Previous Page"},
    {MainStr::TipNextPage, "Next Page"},
    {MainStr::TipSaveRtf, "Save complete analyze in a RTF file"},
    {MainStr::TipSaveInf, "Save INF file rebuilt"},
    {MainStr::TipCopyInf, "Copy INF file rebuilt in clipboard"},
    {MainStr::TipExtract, "Extract CAB Files with original names in a folder"},
    {MainStr::TipSelectionSuffix, " (Selection)"},
    {MainStr::TipUseFolderNames, "Use Folder Names"},
    {MainStr::TipVerifySignature, "Verify Signature \"MSCE\""},
    {MainStr::TipQuit, "Quit"},
    {MainStr::MenuCancel, "Cancel"},
    {MainStr::MenuCopySelection, "Copy selection"},
    {MainStr::MenuSelectAll, "Select All"},
    {MainStr::MenuDeselectAll, "DeSelect All"},
    {MainStr::MenuGotoBeginning, "Goto beginning of the document"},
    {MainStr::MenuGotoEnd, "Goto end of the document"},
    {MainStr::MenuGotoInf, "Goto beginning of the INF file"},
    {MainStr::MenuGotoStrings, "Goto String Section"},
    {MainStr::MenuGotoDirs, "Goto Dir Section"},
    {MainStr::MenuGotoFiles, "Goto File Section"},
    {MainStr::MenuGotoHives, "Goto Hive Section"},
    {MainStr::MenuGotoKeys, "Goto Key Section"},
    {MainStr::MenuGotoShortcuts, "Goto Shortcut Section"},
    {MainStr::TipReportMenu, "Contextual Menu : Right Button"},
    {MainStr::PopupOpen, "Open"},
    {MainStr::PopupOpenWithNotepad, "Open with NotePad"},
    {MainStr::PopupOpenWith, "Open with..."},
    {MainStr::PopupProperties, "Properties"},
    {MainStr::TipFilesList, "Right Click : Menu\r\nLeft Click : Drag and Drop\r\nF11 : Change Menu Items height"},
    {MainStr::StatusPrompt, "Choose an installation file (CAB, TSK ou .000)"},
    {MainStr::OpenFilter, "All (*.cab, *.tsk, *.000)|*.cab;*.tsk;*.000|*.cab|*.cab|*.tsk|*.tsk|*.000|*.000"},
    {MainStr::SaveRtfTitle, "Save analyze in RTF file"},
    {MainStr::SaveInfTitle, "Save INF file"},
    {MainStr::FileCount, "%d file(s)"},
    {MainStr::IncludingXml, " including %d XML"},
    {MainStr::ExtractDialogCaption, "Dir for extraction (CAB ou TSK)"},
    {MainStr::ChooseFolderTitle, "Choose a folder or create it :\rActual : "},
    {MainStr::MsgCloseTempFolders, "Close temporary folders opened in Explorer !!! "},
    {MainStr::MsgIncomplete, "Incomplete"},
    {MainStr::MsgFolderDestroyed, "Folder destroyed ?"},
    {MainStr::MsgNotRenamed, "%d duplicates have not been renamed !"},
    {MainStr::MsgError, "Error"},
    {MainStr::MsgOnlyOneFile, "Only one file !"},
    {MainStr::MsgExtractFilesError, "Extract Files error"},
    {MainStr::LblUnsupportedPlatforms, "Unsupported Platforms"},
    {MainStr::LblFileSignature, "File Signature"},
    {MainStr::LblMinimalWinCE, "Minimal WinCE"},
    {MainStr::LblMaximalWinCE, "Maximal WinCE"},
    {MainStr::LblMinimalBuild, "Minimal WinCE Build"},
    {MainStr::LblMaximalBuild, "Maximal WinCE Build"},
    {MainStr::LblApplicationName, "Application Name"},
    {MainStr::LblProvider, "Provider"},
    {MainStr::LblSetupFile, "SETUP File"},
    {MainStr::LblInfRebuilt, "INF file rebuilt : \"%s.INF\""},
    {MainStr::LblSquareScreen, "Support square screen"},
    {MainStr::LblScreenRotation, "Support screen rotation"},
    {MainStr::LblSquareAndRotation, "Support square screen and screen rotation"},
    {MainStr::LblUnknown, "Unknown"},
    {MainStr::LblSelectedFilename, "Selected Filename"},
    {MainStr::LblInstallationFilename, "Installation filename (.000)"},
    {MainStr::LblFileSize, "File size"},
    {MainStr::LblBytes, "%d bytes"},
    {MainStr::LblProcessor, "Processor"},
    {MainStr::LblString, "String"},
    {MainStr::LblFile, "File"},
}};

struct MainTable {
  std::array<std::string, kMainCatalogueSize> texts;
  MainTable() {
    for (const auto& [id, text] : kMain) texts[static_cast<size_t>(id)] = text;
  }
};

}  // namespace

const std::string& Str(MainStr id) {
  static const MainTable table;
  return table.texts.at(static_cast<size_t>(id));
}

}  // namespace vornix
