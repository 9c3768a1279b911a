// The texts of an XML setup analysis: the tree's captions, the rows of the
// viewer's four tables, the registry listing in REGEDIT4 notation and the
// rebuilt INF, all made from the reader's records.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "presentation/rows.h"
#include "xml/xml_setup.h"

namespace vornix {

/// A node as the tree shows it: "parm -> name -> AppName -> value -> Solitaire".
std::string XmlNodeCaption(const XmlTreeNode& node);

/// The label of a general row for a parm name ("appname" -> "Application Name").
std::string GeneralLabel(std::string_view parmName);

/// A general item: label and value.
struct XmlGeneralRow {
  std::string Label;
  std::string Value;  // the install folder in double quotes
};
std::vector<XmlGeneralRow> XmlGeneralRows(const XmlSetupAnalysis& analysis);

/// The install folder as the general list writes it: quoted; empty when the
/// document gives none.
std::string XmlInstallDirText(const XmlSetupAnalysis& analysis);

/// A folder's number as the tables show it: "%.2d".
std::string XmlDirNumberText(int number);

/// A file row's texts.
struct XmlFileTexts {
  std::string Number;     // caption: the folder's number, "999" for the setup DLL
  std::string CabName;    // name in the cabinet
  std::string FileName;   // destination name in double quotes
  std::string Extra;      // the parameters after the source ("flags")
  std::string Directory;  // expanded folder
  std::string Size;       // " " when not in the cabinet listing
  std::string Date;
  std::string Type;  // extension without the dot, lower case
};
XmlFileTexts XmlFileRowTexts(const XmlFile& file);

/// A shortcut row's texts.
struct XmlShortcutTexts {
  std::string Number;          // the folder's number
  std::string Target;          // "\"target\" "
  std::string Name;            // "\"name\" "
  std::string ExpandedTarget;  // the target with the directory macros applied
  std::string Extra;
};
XmlShortcutTexts XmlShortcutRowTexts(const XmlShortcut& shortcut);

/// The parameters after a source: "SelfRegister, Name -> value -> 1".
std::string XmlExtraText(const std::vector<XmlExtraParm>& extra);

/// A files row: its texts as cells, `index` (in Files) as its Record.
ListRow XmlFileListRow(const XmlFile& file, size_t index);

/// The four tables as list rows; a files row's Record is its index in Files.
struct XmlLists {
  std::vector<ListRow> General;
  std::vector<ListRow> Dirs;
  std::vector<ListRow> Files;
  std::vector<ListRow> Shortcuts;
};
XmlLists BuildXmlLists(const XmlSetupAnalysis& analysis);

/// The registry listing in REGEDIT4 notation.
std::vector<std::string> XmlRegistryListing(const XmlSetupAnalysis& analysis);

/// The rebuilt INF (Windows-1252 lines, no line ends).
std::vector<std::string> XmlInfLines(const XmlSetupAnalysis& analysis);

}  // namespace vornix
