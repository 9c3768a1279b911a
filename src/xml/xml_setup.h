// Reader of the provisioning document ("_setup.xml") that newer cabinets carry
// instead of a ".000" setup file.
//
// The document becomes a tree of one-line node captions, four tables of rows,
// a registry listing in REGEDIT4 notation and a rebuilt INF. Every later step
// works on the tree; fields are taken from each node's own attributes, so a
// value that happens to contain " -> value" or " -> translation" cannot shift
// what is read, while the captions stay exactly as the window shows them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "setup/setup_info.h"

namespace vornix {

/// One node of the document as the tree shows it. Texts are Windows-1252.
struct XmlTreeNode {
  std::string Caption;  // "parm -> name -> AppName -> value -> Solitaire"
  std::string Name;     // node name ("characteristic", "#comment", ...)
  std::vector<std::pair<std::string, std::string>> Attributes;  // document order
  bool IsElement = false;
  std::vector<XmlTreeNode> Children;

  /// The value of the first attribute of that name (letter case ignored), or null.
  const std::string* attribute(std::string_view name) const;
};

/// A general item: label and value.
struct XmlGeneralRow {
  std::string Label;
  std::string Value;
};

struct XmlDirRow {
  std::string Number;  // "%.2d", from 01 over all file-operation sections
  std::string Path;    // as written in the document
};

/// A files-list row. The setup DLL row has Number "999".
struct XmlFileRow {
  std::string Number;      // caption: directory number, "%.2d"
  std::string CabName;     // sub-item 0: name in the cabinet
  std::string FileName;    // 1: destination name in double quotes
  std::string Extra;       // 2: extra parameters (flags)
  std::string Directory;   // 3: expanded directory
  std::string Size;        // 4: " " when not in the cabinet listing
  std::string Date;        // 5
  std::string Type;        // 6: extension without the dot, lower case
  bool IsSetupDll = false;
};

struct XmlShortcutRow {
  std::string Number;          // directory number, "%.2d"
  std::string Target;          // "\"target\" "
  std::string Name;            // "\"name\" "
  std::string ExpandedTarget;  // target with the directory macros applied
  std::string Extra;
};

struct XmlSetupAnalysis {
  std::vector<XmlTreeNode> Roots;  // display order: the document's last top-level node first
  // Node numbers (display order, depth first, from 0) of the sections.
  std::vector<int> RegistrySections;
  std::vector<int> InstallSections;
  std::vector<int> FileOperationSections;

  std::vector<XmlGeneralRow> General;
  std::vector<XmlDirRow> Dirs;
  std::vector<XmlFileRow> Files;  // the setup DLL row last, when there is one
  std::vector<XmlShortcutRow> Shortcuts;
  std::vector<std::string> RegistryListing;
  std::vector<std::string> InfLines;

  // Values kept for the INF.
  std::string AppName;
  std::string InstallDir;  // in double quotes, empty when none
  std::string ProcessorType, VersionMin, VersionMax, BuildMin, BuildMax;
  std::string SetupDll;      // the INF's setup DLL name
  std::string SetupDllName;  // stored name of the ".999" entry, empty when none
  std::vector<std::string> FileDirs;      // "%.2d" numbers holding files, first use order
  std::vector<std::string> ShortcutDirs;  // "%.2d" numbers holding shortcuts
  std::vector<std::string> SelfRegister;  // quoted destination names

  /// Values that could not be read as written; the analysis went on.
  std::vector<std::string> Warnings;

  /// The INF file name the extraction writes: application name + ".inf".
  std::string infFileName() const { return AppName + ".inf"; }
};

struct XmlReadResult {
  std::optional<XmlSetupAnalysis> Analysis;
  /// The parser's message with line and column, when the document was rejected.
  std::string Message;
  bool ok() const { return Analysis.has_value(); }
};

/// Reads an extracted XML setup file. `listing` is the cabinet's listing
/// (null or empty when it could not be listed: no sizes, no setup DLL).
XmlReadResult ReadXmlSetup(const std::filesystem::path& xmlFile, const CabListing* listing);

/// The same reader over bytes in memory.
XmlReadResult ReadXmlSetupText(std::string_view bytes, const CabListing* listing);

/// Display order of a tree: every node, depth first, first root first.
std::vector<const XmlTreeNode*> FlattenTree(const std::vector<XmlTreeNode>& roots);

/// The label of a general row for a parm name ("appname" -> "Application Name").
std::string GeneralLabel(std::string_view parmName);

/// An attribute value as the parser gives it (UTF-8) in the ANSI code page:
/// characters it lacks become '?', and each U+F000 (the multi-string
/// separator) becomes quote, comma, quote with the whole value then quoted.
std::string XmlAttributeToAnsi(std::string_view utf8);

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
