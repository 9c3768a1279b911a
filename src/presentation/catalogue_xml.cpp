#include "presentation/catalogue_xml.h"

#include <array>
#include <utility>

namespace vornix {
namespace {

// "\xE9" is the Windows-1252 e acute of "Genéralities".
const std::array<std::pair<XmlStr, const char*>, kXmlCatalogueSize> kXml = {{
    {XmlStr::TabGeneral, "Gen\xE9ralities"},
    {XmlStr::ColItems, "Items"},
    {XmlStr::ColValues, "Values"},
    {XmlStr::ColValue, "Value"},
    {XmlStr::TabDirectories, "Directories"},
    {XmlStr::ColIdDir, "ID Dir"},
    {XmlStr::TabFiles, "Files"},
    {XmlStr::ColFileNameInCab, "FileName in CAB"},
    {XmlStr::ColFileName, "FileName"},
    {XmlStr::ColFlags, "Flags"},
    {XmlStr::Hives, "Hives"},
    {XmlStr::TabRegistryKeys, "Registry Keys"},
    {XmlStr::TabShortcuts, "Shortcuts"},
    {XmlStr::ColInstalledAt, "Installed at"},
    {XmlStr::ColFileNameOrDirectories, "FileName or Directories"},
    {XmlStr::ColShortcutName, "Shortcut Name"},
    {XmlStr::LblProcessor, "Processor"},
    {XmlStr::LblMinimalWinCE, "Minimal WinCE"},
    {XmlStr::LblMaximalWinCE, "Maximal WinCE"},
    {XmlStr::LblMinimalBuild, "Minimal WinCE Build"},
    {XmlStr::LblMaximalBuild, "Maximal WinCE Build"},
    {XmlStr::LblApplicationName, "Application Name"},
    {XmlStr::BtnCollapseAll, "Collapse All"},
    {XmlStr::BtnExpandAll, "Expand All"},
    {XmlStr::BtnCollapseSel, "Collapse Sel."},
    {XmlStr::BtnExpandSel, "Expand Sel."},
    {XmlStr::TabXmlTree, "XML Tree"},
    {XmlStr::TipExtract, "Extract CAB Files with original names in a folder"},
    {XmlStr::TipSelectionSuffix, " (Selection)"},
    {XmlStr::TipSaveInf, "Save INF file rebuilt"},
    {XmlStr::TipCopyInf, "Copy INF file rebuilt in clipboard"},
    {XmlStr::SaveInfTitle, "Save INF file"},
    {XmlStr::ChooseFolderTitle, "Choose a folder or create it :\rActual : "},
    {XmlStr::MsgNotRenamed, "%d duplicates have not been renamed !"},
    {XmlStr::PopupOpen, "Open"},
    {XmlStr::PopupOpenWithNotepad, "Open with NotePad"},
    {XmlStr::PopupOpenWith, "Open with..."},
    {XmlStr::PopupProperties, "Properties"},
    {XmlStr::PopupCancel, "Cancel"},
    {XmlStr::TipFilesList, "Right Click : Menu\r\nLeft Click : Drag and Drop\r\nF11 : Change Menu Items height"},
    {XmlStr::TipUseFolderNames, "Use Folder Names"},
    {XmlStr::ColSizeBytes, "Size (bytes)"},
    {XmlStr::MsgError, "Error"},
    {XmlStr::Quit, "Quit"},
}};

struct XmlTable {
  std::array<std::string, kXmlCatalogueSize> texts;
  XmlTable() {
    for (const auto& [id, text] : kXml) texts[static_cast<size_t>(id)] = text;
  }
};

}  // namespace

const std::string& Str(XmlStr id) {
  static const XmlTable table;
  return table.texts.at(static_cast<size_t>(id));
}

}  // namespace vornix
