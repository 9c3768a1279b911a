// The XML setup viewer's string catalogue (English in this build).
//
// Separate from the main window's catalogue on purpose: a text that both
// windows show is two entries, so a translator can word them differently.
#pragma once

#include <string>

namespace vornix {

enum class XmlStr {
  TabGeneral,
  ColItems,
  ColValues,
  ColValue,
  TabDirectories,
  ColIdDir,
  TabFiles,
  ColFileNameInCab,
  ColFileName,
  ColFlags,
  Hives,
  TabRegistryKeys,
  TabShortcuts,
  ColInstalledAt,
  ColFileNameOrDirectories,
  ColShortcutName,
  LblProcessor,
  LblMinimalWinCE,
  LblMaximalWinCE,
  LblMinimalBuild,
  LblMaximalBuild,
  LblApplicationName,
  BtnCollapseAll,
  BtnExpandAll,
  BtnCollapseSel,
  BtnExpandSel,
  TabXmlTree,
  TipExtract,
  TipSelectionSuffix,
  TipSaveInf,
  TipCopyInf,
  SaveInfTitle,
  ChooseFolderTitle,
  MsgNotRenamed,
  PopupOpen,
  PopupOpenWithNotepad,
  PopupOpenWith,
  PopupProperties,
  PopupCancel,
  TipFilesList,
  TipUseFolderNames,
  ColSizeBytes,
  MsgError,
  Quit,
  Count_
};

/// The text of a viewer-catalogue entry (Windows-1252).
const std::string& Str(XmlStr id);

constexpr int kXmlCatalogueSize = static_cast<int>(XmlStr::Count_);

}  // namespace vornix
