// Reader of the provisioning document ("_setup.xml") that newer cabinets carry
// instead of a ".000" setup file.
//
// The document becomes a tree of nodes with their attributes, and the values
// the install, file operation and registry sections give: parameters as
// written, folders and files with the numbers of their folders, registry
// values with the numbers and bytes they stand for. Fields are taken from
// each node's own attributes. The captions of the tree, the rows of the
// tables, the registry listing and the INF are made from these records in
// src/presentation.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/result.h"
#include "setup/setup_info.h"

namespace vornix {

/// An attribute: its name and value, Windows-1252.
using XmlAttribute = std::pair<std::string, std::string>;

/// One node of the document. Texts are Windows-1252.
struct XmlTreeNode {
  std::string Name;                      // node name ("characteristic", "#comment", ...)
  std::vector<XmlAttribute> Attributes;  // document order
  bool IsElement = false;
  std::vector<XmlTreeNode> Children;

  /// The value of the first attribute of that name (letter case ignored), or null.
  const std::string* attribute(std::string_view name) const;
};

/// A parameter of the install section, as written.
struct XmlInstallParm {
  std::string Name;
  std::string Value;
};

/// A folder of the file operation sections.
struct XmlDir {
  int Number = 0;    // from 1, over all file operation sections
  std::string Path;  // as written in the document
};

/// A parameter after an entry's source ("SelfRegister", "NoOverwrite"...): its
/// attributes from its name on, the name's value first.
using XmlExtraParm = std::vector<XmlAttribute>;

/// A file the document installs, or the setup DLL.
struct XmlFile {
  int DirNumber = 0;                // its folder's number; 999 for the setup DLL
  std::string CabName;              // the entry's name in the cabinet
  std::string DestName;             // its name on the device
  std::vector<XmlExtraParm> Extra;  // the parameters after the source
  uint32_t CopyFlags = 0;           // what the parameters ask of the copy, as INF flags
  bool SelfRegister = false;
  std::string Directory;  // its folder on the device, macros applied
  /// The cabinet entry of that name, when the cabinet lists one.
  std::optional<CabinetEntryRef> Entry;
  bool IsSetupDll = false;
};

struct XmlShortcut {
  int DirNumber = 0;
  std::string Target;  // as written
  std::string Name;    // the shortcut's name on the device
  std::vector<XmlExtraParm> Extra;
};

/// A registry value with the number or bytes its text stands for.
struct XmlRegistryValue {
  std::string Name;
  std::string Datatype;  // as written: "string", "integer", "binary", "multiplestring"...
  std::string Text;      // the value as written
  /// An integer's number, when its text is one.
  std::optional<uint32_t> Integer;
  /// Binary data's bytes, when its text is Base64.
  std::optional<std::string> Bytes;
};

struct XmlRegistryKey {
  std::string Path;  // as written: "HKLM\Software\App"
  std::vector<XmlRegistryValue> Values;
};

struct XmlSetupAnalysis {
  std::vector<XmlTreeNode> Roots;  // display order: the document's last top-level node first
  // Node numbers (display order, depth first, from 0) of the sections.
  std::vector<int> RegistrySections;
  std::vector<int> InstallSections;
  std::vector<int> FileOperationSections;

  /// Each install section's parameters, in document order.
  std::vector<std::vector<XmlInstallParm>> Install;
  std::vector<XmlDir> Dirs;
  std::vector<XmlFile> Files;  // the setup DLL last, when there is one
  std::vector<XmlShortcut> Shortcuts;
  /// The keys of every registry section, in document order.
  std::vector<XmlRegistryKey> RegistryKeys;

  // Values the install sections and the listing give.
  std::string AppName;
  std::optional<std::string> InstallDir;  // as written, without quotes
  std::string SetupDll;                   // the INF's setup DLL name
  std::string SetupDllName;               // stored name of the ".999" entry, empty when none
  std::vector<int> FileDirs;              // folder numbers holding files, first use order
  std::vector<int> ShortcutDirs;          // folder numbers holding shortcuts

  /// Values that could not be read as written; the analysis went on.
  std::vector<std::string> Warnings;

  /// The INF file name the extraction writes: application name + ".inf".
  std::string infFileName() const { return AppName + ".inf"; }
  /// The folder of a number (its first path); empty when none has it.
  const std::string& dirPath(int number) const;
};

/// Reads an extracted XML setup file. `listing` is the cabinet's listing
/// (null or empty when it could not be listed: no sizes, no setup DLL).
/// A document that does not parse fails with the parser's message, line and
/// column, and the offset pugixml gives.
Result<XmlSetupAnalysis> ReadXmlSetup(const std::filesystem::path& xmlFile, const CabListing* listing);

/// The same reader over bytes in memory.
Result<XmlSetupAnalysis> ReadXmlSetupText(std::string_view bytes, const CabListing* listing);

/// ReadXmlSetupText for a document known by `shownName`, which its refusals
/// start with ("_setup.xml : Error parsing ...").
Result<XmlSetupAnalysis> ReadNamedXmlSetup(std::string_view bytes, const std::string& shownName,
                                           const CabListing* listing);

/// Display order of a tree: every node, depth first, first root first.
std::vector<const XmlTreeNode*> FlattenTree(const std::vector<XmlTreeNode>& roots);

/// An attribute value as the parser gives it (UTF-8) in the ANSI code page:
/// characters it lacks become '?', and each U+F000 (the multi-string
/// separator) becomes quote, comma, quote with the whole value then quoted.
std::string XmlAttributeToAnsi(std::string_view utf8);

/// The strings of a "multiplestring" value from its text as the reader keeps
/// it (see XmlAttributeToAnsi): a quoted text holding quote, comma, quote is
/// cut there, any other text is one string. Empty strings are left out: a
/// multi-string cannot hold one before its end. A single string that is
/// itself written as quoted strings separated by commas reads as several.
std::vector<std::string> XmlMultiStringItems(std::string_view text);

/// Provisioning documents are a few kilobytes (some hundred for the largest
/// packages): the reader refuses larger ones, and ones with more tags and
/// attributes (counted as '<' and '=' characters) than any package needs,
/// before they are parsed, so a small package cannot make a job use gigabytes.
inline constexpr size_t kMaxXmlFileSize = 4u << 20;
inline constexpr size_t kMaxXmlMarkup = 200000;
/// What the rows may cost (an estimate in bytes, as for ".000" files).
inline constexpr size_t kMaxXmlRecordCost = 48u << 20;

/// The refusal of a document larger than kMaxXmlFileSize.
std::string XmlTooLargeMessage(uint64_t size);

/// The maximal nesting depth the reader accepts (provisioning documents use
/// fewer than ten levels; deeper input is refused rather than risking the stack).
inline constexpr int kMaxXmlDepth = 256;

}  // namespace vornix
