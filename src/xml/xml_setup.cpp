#include "xml/xml_setup.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include <pugixml.hpp>

#include "common/base64.h"
#include "presentation/catalogue_xml.h"
#include "common/host_fs.h"
#include "common/inf_head.h"
#include "common/text.h"
#include "presentation/display.h"
#include "presentation/inf_writer.h"
#include "presentation/rows.h"
#include "setup/setup_format.h"

namespace vornix {

const std::string* XmlTreeNode::attribute(std::string_view name) const {
  for (const auto& [key, value] : Attributes)
    if (EqualsNoCase(key, name)) return &value;
  return nullptr;
}

// ---------------------------------------------------------------------------
// Labels

std::string GeneralLabel(std::string_view parmName) {
  const std::string n = LowerCp1252(parmName);
  if (n == "appname") return Str(XmlStr::LblApplicationName);
  if (n == "osversionmin") return Str(XmlStr::LblMinimalWinCE);
  if (n == "osversionmax") return Str(XmlStr::LblMaximalWinCE);
  if (n == "numdirs") return Str(XmlStr::TabDirectories);
  if (n == "numfiles") return Str(XmlStr::TabFiles);
  if (n == "numregkeys") return Str(XmlStr::Hives);
  if (n == "numregvals") return Str(XmlStr::TabRegistryKeys);
  if (n == "numshortcuts") return Str(XmlStr::TabShortcuts);
  if (n == "buildnumbermin") return Str(XmlStr::LblMinimalBuild);
  if (n == "buildnumbermax") return Str(XmlStr::LblMaximalBuild);
  if (n == "processortype") return Str(XmlStr::LblProcessor);
  if (n == "installdir") return Str(XmlStr::ColInstalledAt);
  if (n == "setupdll") return "SetupDLL";
  return std::string(parmName);
}

// ---------------------------------------------------------------------------
// The tree

namespace {

constexpr char32_t kMultiStringSeparator = 0xF000;

/// An attribute value from the parser (UTF-8) in the ANSI code page, with
/// the multi-string separator U+F000 turned into quote, comma, quote.
std::string AnsiValue(std::string_view utf8) {
  std::string out;
  bool separated = false;
  for (size_t i = 0; i < utf8.size();) {
    // A byte that starts no complete sequence is taken as the Windows-1252
    // byte it is, so no input is ever dropped.
    const Utf8Sequence seq = DecodeUtf8(utf8, i);
    if (seq.Length == 0) {
      out += utf8[i++];
      continue;
    }
    i += seq.Length;
    const char32_t cp = seq.CodePoint;
    if (cp == kMultiStringSeparator) {
      out += "\",\"";
      separated = true;
      continue;
    }
    char c;
    out += CodePointToCp1252(cp, c) ? c : '?';
  }
  if (separated) out = "\"" + out + "\"";
  return out;
}

std::string NodeName(const pugi::xml_node& node) {
  switch (node.type()) {
    case pugi::node_comment: return "#comment";
    case pugi::node_pcdata: return "#text";
    case pugi::node_cdata: return "#cdata-section";
    case pugi::node_doctype: {
      const std::string_view v = node.value();
      return AnsiValue(v.substr(0, v.find_first_of(" \t\r\n[")));
    }
    default: return AnsiValue(node.name());
  }
}

struct TreeBuilder {
  bool tooDeep = false;

  XmlTreeNode build(const pugi::xml_node& node, int depth) {
    XmlTreeNode t;
    t.Name = NodeName(node);
    t.IsElement = node.type() == pugi::node_element;
    t.Caption = t.Name;
    for (const pugi::xml_attribute& a : node.attributes()) {
      std::string name = AnsiValue(a.name());
      std::string value = AnsiValue(a.value());
      t.Caption += " -> " + name + " -> " + value;
      t.Attributes.emplace_back(std::move(name), std::move(value));
    }
    if (depth >= kMaxXmlDepth) {
      if (node.first_child()) tooDeep = true;
      return t;
    }
    for (const pugi::xml_node& child : node.children()) t.Children.push_back(build(child, depth + 1));
    return t;
  }
};

std::pair<int, int> LineAndColumn(std::string_view bytes, ptrdiff_t offset) {
  int line = 1, column = 1;
  const size_t end = std::min(bytes.size(), static_cast<size_t>(std::max<ptrdiff_t>(offset, 0)));
  for (size_t i = 0; i < end; ++i) {
    if (bytes[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return {line, column};
}

void Flatten(const XmlTreeNode& node, std::vector<const XmlTreeNode*>& out) {
  out.push_back(&node);
  for (const XmlTreeNode& c : node.Children) Flatten(c, out);
}

std::vector<const XmlTreeNode*> ElementChildren(const XmlTreeNode& node) {
  std::vector<const XmlTreeNode*> out;
  for (const XmlTreeNode& c : node.Children)
    if (c.IsElement) out.push_back(&c);
  return out;
}

/// A parm's caption from its name on ("SelfRegister", "Name -> value -> 1"):
/// the name attribute and every attribute after it.
std::string FromName(const XmlTreeNode& node) {
  auto it = std::find_if(node.Attributes.begin(), node.Attributes.end(),
                         [](const auto& a) { return EqualsNoCase(a.first, "name"); });
  if (it == node.Attributes.end()) return {};
  std::string text = it->second;
  for (++it; it != node.Attributes.end(); ++it) text += " -> " + it->first + " -> " + it->second;
  return text;
}

std::string AttributeOnly(const XmlTreeNode& node, std::string_view name) {
  const std::string* v = node.attribute(name);
  return v ? *v : std::string();
}

std::string NotANumberWarning(std::string_view what, std::string_view value) {
  return Format("%.*s: \"%.*s\" is not a number; kept as written", static_cast<int>(what.size()), what.data(),
                static_cast<int>(value.size()), value.data());
}

/// The root names spelt out in the registry listing.
std::string SpellOutRoot(const std::string& key) {
  static const std::pair<const char*, const char*> kRoots[] = {
      {"HKCR\\", "HKEY_CLASSES_ROOT\\"},
      {"HKCU\\", "HKEY_CURRENT_USER\\"},
      {"HKLM\\", "HKEY_LOCAL_MACHINE\\"},
      {"HKU\\", "HKEY_USERS\\"},
  };
  const std::string lower = LowerCp1252(key);
  for (const auto& [abbr, full] : kRoots) {
    const size_t at = lower.find(LowerCp1252(abbr));
    if (at != std::string::npos) return key.substr(0, at) + full + key.substr(at + std::strlen(abbr));
  }
  return key;
}

class Analyser {
 public:
  Analyser(XmlSetupAnalysis& a, const CabListing* listing) : a(a), listing(listing) {}

  /// True when the rows would cost more than kMaxXmlRecordCost.
  bool tooLarge() const { return m_cost > kMaxXmlRecordCost; }

  void run() {
    nodes = FlattenTree(a.Roots);
    if (listing) {
      for (size_t i = listing->size(); i-- > 0;) m_listed[(*listing)[i].Name] = i;
    }
    categories();
    inf = InfVersionSection(kInfFixedProvider);
    for (int n : a.InstallSections) installSection(*nodes[static_cast<size_t>(n)]);
    for (int n : a.FileOperationSections) {
      if (tooLarge()) return;
      fileOperationSection(*nodes[static_cast<size_t>(n)]);
    }
    if (tooLarge()) return;
    setupDll();
    infBody();
    registry();
    a.InfLines = std::move(inf);
  }

 private:
  void categories() {
    for (size_t i = 0; i < nodes.size(); ++i) {
      const std::string lower = LowerCp1252(nodes[i]->Caption);
      if (lower == "characteristic -> type -> registry") a.RegistrySections.push_back(static_cast<int>(i));
      else if (lower == "characteristic -> type -> install") a.InstallSections.push_back(static_cast<int>(i));
      else if (lower == "characteristic -> type -> fileoperation") a.FileOperationSections.push_back(static_cast<int>(i));
    }
  }

  void installSection(const XmlTreeNode& section) {
    for (const XmlTreeNode* child : ElementChildren(section)) {
      const std::string name = AttributeOnly(*child, "name");
      const std::string lower = LowerCp1252(name);
      std::string value;
      if (lower == "installdir") {
        value = "\"" + AttributeOnly(*child, "value") + "\"";
      } else {
        value = AttributeOnly(*child, "value");
      }
      a.General.push_back({GeneralLabel(name), value});
      if (lower == "appname") a.AppName = value;
      else if (lower == "installdir") { a.InstallDir = value; seenInstallDir = true; }
      else if (lower == "processortype") { a.ProcessorType = value; seenProcessor = true; }
      else if (lower == "osversionmin") { a.VersionMin = value; seenVersionMin = true; }
      else if (lower == "osversionmax") { a.VersionMax = value; seenVersionMax = true; }
      else if (lower == "buildnumbermin") { a.BuildMin = value; seenBuildMin = true; }
      else if (lower == "buildnumbermax") { a.BuildMax = value; seenBuildMax = true; }
      else if (lower == "setupdll") a.SetupDll = value;
    }
    inf.push_back("[CEStrings]");
    inf.push_back(Format("Appname = \"%s\"", a.AppName.c_str()));
    if (seenInstallDir) inf.push_back("InstallDir = " + ReplaceAll(a.InstallDir, a.AppName, "%AppName%"));
    inf.push_back("");
    if (seenProcessor || seenVersionMin || seenVersionMax || seenBuildMin || seenBuildMax) {
      inf.push_back("[CEDevice]");
      if (seenProcessor) inf.push_back("ProcessorType = " + a.ProcessorType);
      if (seenVersionMin) inf.push_back("VersionMin = " + a.VersionMin);
      if (seenVersionMax) inf.push_back("VersionMax = " + a.VersionMax);
      if (seenBuildMin) inf.push_back("BuildMin = " + a.BuildMin);
      if (seenBuildMax) {
        uint32_t build = 0;
        std::string comment;
        if (ParseInt32Text(a.BuildMax, build)) comment = BuildMaxComment(build);
        else a.Warnings.push_back(NotANumberWarning("BuildNumberMax", a.BuildMax));
        inf.push_back("BuildMax = " + a.BuildMax + "; " + comment);
      }
      inf.push_back("");
    }
    inf.push_back("[SourceDisksNames]");
    inf.push_back("1 = ,\"Autre\",,\\");
    inf.push_back("");
  }

  std::string installDirBare() const {
    if (a.InstallDir.size() >= 2 && a.InstallDir.front() == '"' && a.InstallDir.back() == '"')
      return a.InstallDir.substr(1, a.InstallDir.size() - 2);
    return a.InstallDir;
  }

  static std::string ExtraParameters(const std::vector<const XmlTreeNode*>& children) {
    std::string extra;
    for (size_t k = 1; k < children.size(); ++k) {
      if (k > 1) extra += ", ";
      extra += FromName(*children[k]);
    }
    return extra;
  }

  // The cost of a row for kMaxXmlRecordCost: a fixed part and its texts,
  // which are copied about that many times on their way to the lists and the JSON.
  void spend(uint64_t textBytes) { m_cost += 1024 + textBytes * 4; }

  void fileOperationSection(const XmlTreeNode& section) {
    for (const XmlTreeNode* dir : ElementChildren(section)) {
      if (tooLarge()) return;
      if (LowerCp1252(dir->Caption).find("translation") == std::string::npos) continue;
      const std::string number = Format("%.2d", ++dirCount);
      const std::string path = AttributeOnly(*dir, "type");
      a.Dirs.push_back({number, path});
      m_dirPath.emplace(number, path);
      // Every "%InstallDir%" of the path takes the whole install folder: a
      // short document could ask for gigabytes here.
      const std::string bare = installDirBare();
      size_t uses = 0;
      for (size_t at = path.find("%InstallDir%"); at != std::string::npos; at = path.find("%InstallDir%", at + 1)) ++uses;
      spend(path.size() + uses * bare.size());
      if (tooLarge()) return;
      const std::string expanded = Expand(ReplaceAll(path, "%InstallDir%", bare));
      const std::vector<const XmlTreeNode*> children = ElementChildren(*dir);
      if (children.size() < 2 || LowerCp1252(children[0]->Caption) != "characteristic -> type -> makedir") continue;
      for (size_t k = 1; k < children.size(); ++k) {
        const XmlTreeNode& item = *children[k];
        const std::vector<const XmlTreeNode*> inner = ElementChildren(item);
        if (inner.empty()) continue;
        const std::string kind = LowerCp1252(inner[0]->Caption);
        const std::vector<const XmlTreeNode*> parms = ElementChildren(*inner[0]);
        if (kind == "characteristic -> type -> extract") {
          addFile(number, item, parms, expanded);
        } else if (kind == "characteristic -> type -> shortcut") {
          addShortcut(number, item, parms);
        }
      }
    }
  }

  void addFile(const std::string& number, const XmlTreeNode& item, const std::vector<const XmlTreeNode*>& parms,
               const std::string& expanded) {
    if (m_fileDirs.insert(number).second) a.FileDirs.push_back(number);
    XmlFileRow row;
    row.Number = number;
    row.Extra = ExtraParameters(parms);
    row.CabName = parms.empty() ? std::string() : AttributeOnly(*parms[0], "value");
    row.Size = " ";
    row.Date = " ";
    if (const auto hit = m_listed.find(row.CabName); hit != m_listed.end()) {
      const size_t i = hit->second;
      row.Size = SizeText((*listing)[i].Size);
      row.Date = DosDateText((*listing)[i].DosDate, (*listing)[i].DosTime);
    }
    const std::string dest = AttributeOnly(item, "type");
    row.FileName = "\"" + dest + "\"";
    row.Directory = expanded;
    const std::string_view ext = ExtensionOf(dest);
    row.Type = LowerCp1252(ext.empty() ? ext : ext.substr(1));
    if (!sourceDisksFiles) {
      inf.push_back("[SourceDisksFiles]");
      sourceDisksFiles = true;
    }
    const std::string_view cabExt = ExtensionOf(row.CabName);
    const std::string_view cabExt3 = cabExt.empty() ? cabExt : cabExt.substr(1, 3);
    inf.push_back(row.FileName + " = 1 ; " + std::string(cabExt3));
    if (row.Extra.find("SelfRegister") != std::string::npos) a.SelfRegister.push_back(row.FileName);
    spend(row.CabName.size() + row.FileName.size() + row.Extra.size() + row.Directory.size());
    m_filesIn[number].push_back(a.Files.size());
    a.Files.push_back(std::move(row));
  }

  void addShortcut(const std::string& number, const XmlTreeNode& item, const std::vector<const XmlTreeNode*>& parms) {
    if (m_shortcutDirs.insert(number).second) a.ShortcutDirs.push_back(number);
    XmlShortcutRow row;
    row.Number = number;
    row.Extra = ExtraParameters(parms);
    row.Target = "\"" + (parms.empty() ? std::string() : AttributeOnly(*parms[0], "value")) + "\" ";
    row.Name = "\"" + AttributeOnly(item, "type") + "\" ";
    row.ExpandedTarget = Expand(row.Target);
    spend(row.Target.size() + row.Name.size() + row.ExpandedTarget.size() + row.Extra.size());
    m_shortcutsIn[number].push_back(a.Shortcuts.size());
    a.Shortcuts.push_back(std::move(row));
  }

  void setupDll() {
    if (!listing) return;
    for (size_t i = 0; i < listing->size(); ++i) {
      const std::string& name = (*listing)[i].Name;
      if (ExtensionOf(name) != ".999") continue;
      a.SetupDllName = name;
      a.SetupDll = ChangeExtension(name, ".dll");
      XmlFileRow row;
      row.Number = IdText3(999);
      row.CabName = name;
      row.FileName = "\"" + a.SetupDll + "\"";
      row.Extra = kSetupDllMarker;
      row.Directory = kSetupDllMarker;
      row.Size = SizeText((*listing)[i].Size);
      row.Date = DosDateText((*listing)[i].DosDate, (*listing)[i].DosTime);
      row.Type = "dll";
      row.IsSetupDll = true;
      a.Files.push_back(std::move(row));
      return;
    }
  }

  static uint32_t CopyFlags(const std::string& extra) {
    const std::string lower = LowerCp1252(extra);
    uint32_t flags = 0;
    if (lower.find("noskip") != std::string::npos) flags |= 0x00000002;
    if (lower.find("nodatecheck") != std::string::npos) flags |= 0x40000000;
    if (lower.find("nooverwrite") != std::string::npos) flags |= 0x00000010;
    if (lower.find("overwriteifexists") != std::string::npos) flags |= 0x00000400;
    if (lower.find("nooverwriteifnewer") != std::string::npos) flags |= 0x20000000;
    return flags;
  }

  const std::string& dirPath(const std::string& number) const {
    static const std::string kNone;
    const auto it = m_dirPath.find(number);
    return it == m_dirPath.end() ? kNone : it->second;
  }

  bool hasRegistryChildren() const {
    for (int n : a.RegistrySections)
      if (!ElementChildren(*nodes[static_cast<size_t>(n)]).empty()) return true;
    return false;
  }

  static std::string JoinWithPrefix(const std::vector<std::string>& numbers, const char* prefix) {
    std::string out;
    for (const std::string& n : numbers) {
      if (!out.empty()) out += ',';
      out += prefix + n;
    }
    return out;
  }

  void infBody() {
    if (sourceDisksFiles) inf.push_back("");
    inf.push_back("[DefaultInstall]");
    if (!a.SetupDll.empty()) inf.push_back("CESetupDLL = \"" + a.SetupDll + "\"");
    if (!a.SelfRegister.empty()) {
      std::string line = "CESelfRegister = ";
      for (size_t i = 0; i < a.SelfRegister.size(); ++i) line += (i ? "," : "") + a.SelfRegister[i];
      inf.push_back(line);
    }
    if (hasRegistryChildren()) inf.push_back("AddReg = ClesRegistre");
    if (a.Dirs.empty()) {
      inf.push_back("");
      return;
    }
    if (!a.FileDirs.empty()) inf.push_back("CopyFiles = " + JoinWithPrefix(a.FileDirs, "CopierVersDir"));
    if (!a.ShortcutDirs.empty()) inf.push_back("CEShortcuts = " + JoinWithPrefix(a.ShortcutDirs, "Raccourci"));
    inf.push_back("");
    inf.push_back("[DestinationDirs]");
    const std::string bare = installDirBare();
    for (const std::string& n : a.FileDirs)
      inf.push_back("CopierVersDir" + n + " = 0, " + ReplaceAll(dirPath(n), bare, "%InstallDir%"));
    for (const std::string& n : a.ShortcutDirs)
      inf.push_back("Raccourci" + n + " = 0, " + ReplaceAll(dirPath(n), bare, "%InstallDir%"));
    inf.push_back("");
    for (const std::string& n : a.FileDirs) {
      inf.push_back("[CopierVersDir" + n + "]");
      for (size_t k : m_filesIn[n]) {
        const XmlFileRow& f = a.Files[k];
        if (f.IsSetupDll) continue;
        const uint32_t flags = CopyFlags(f.Extra);
        inf.push_back(flags ? f.FileName + Format(",,,0x%08X", flags) : f.FileName);
      }
      inf.push_back("");
    }
    for (const std::string& n : a.ShortcutDirs) {
      inf.push_back("[Raccourci" + n + "]");
      for (size_t k : m_shortcutsIn[n]) inf.push_back(a.Shortcuts[k].Name + ", 0, " + a.Shortcuts[k].Target);
      inf.push_back("");
    }
  }

  void registry() {
    if (a.RegistrySections.empty()) return;
    // Keys are numbered over the whole document, so two sections never
    // share a reg_path string and each value stays under its own key.
    std::vector<const XmlTreeNode*> keys;
    for (int n : a.RegistrySections)
      for (const XmlTreeNode* key : ElementChildren(*nodes[static_cast<size_t>(n)])) keys.push_back(key);
    // A registry section without keys still ends the (empty) block of
    // strings with its empty line.
    if (keys.empty()) {
      inf.push_back("");
      return;
    }
    inf.push_back("[Strings]");
    for (size_t i = 0; i < keys.size(); ++i) {
      const std::string key = AttributeOnly(*keys[i], "type");
      const size_t slash = key.find('\\');
      inf.push_back(Format("reg_path%.2d = ", static_cast<int>(i)) +
                    (slash == std::string::npos ? key : key.substr(slash + 1)));
    }
    inf.push_back("");
    a.RegistryListing.push_back("REGEDIT4");
    inf.push_back("[ClesRegistre]");
    for (size_t i = 0; i < keys.size(); ++i) {
      const std::string key = AttributeOnly(*keys[i], "type");
      const std::string root = key.substr(0, key.find('\\'));
      const std::string prefix = root + Format(",%%reg_path%.2d%%,", static_cast<int>(i));
      a.RegistryListing.push_back("[" + SpellOutRoot(key) + "]");
      for (const XmlTreeNode* v : ElementChildren(*keys[i])) value(*v, prefix);
      a.RegistryListing.push_back("");
    }
  }

  void value(const XmlTreeNode& v, const std::string& prefix) {
    const std::string name = AttributeOnly(v, "name");
    const std::string datatype = AttributeOnly(v, "datatype");
    const std::string text = AttributeOnly(v, "value");
    const std::string type = LowerCp1252(datatype);
    // An empty name is the key's default value, written "@" as REGEDIT4 does.
    const std::string listName = name.empty() ? std::string("@ = ") : "\"" + name + "\" = ";
    std::string line = prefix + name + ",";
    if (type == "string") {
      inf.push_back(line + "0x00000000,\"" + text + "\"");
      a.RegistryListing.push_back(listName + "\"" + text + "\"");
    } else if (type == "integer") {
      inf.push_back(line + "0x00010001," + text);
      uint32_t n = 0;
      if (ParseInt32Text(text, n)) {
        a.RegistryListing.push_back(listName + Format("dword : %08X", n));
      } else {
        a.Warnings.push_back(NotANumberWarning(name.empty() ? std::string_view("@") : std::string_view(name), text));
        a.RegistryListing.push_back(listName + "dword : " + text);
      }
    } else if (type == "binary") {
      line += "0x00000001,";
      a.RegistryListing.push_back(listName + "hex : \\");
      const Result<std::string> decoded = TBase64::Decode(text);
      if (!decoded) {
        a.RegistryListing.push_back("      *** Error Encoding*** : " + text);
        inf.push_back(line);
        return;
      }
      const std::string& bytes = *decoded;
      std::string hex;
      std::string listLine;
      for (size_t k = 0; k < bytes.size(); ++k) {
        const std::string pair = Format("%02X", static_cast<unsigned char>(bytes[k]));
        hex += pair + ",";
        if (k % 25 == 0) listLine = "      ";
        listLine += " " + pair + ",";
        const bool lastByte = k + 1 == bytes.size();
        if (lastByte) {
          listLine.pop_back();
          a.RegistryListing.push_back(listLine);
        } else if (k % 25 == 24) {
          a.RegistryListing.push_back(listLine + "\\");
        }
      }
      if (!hex.empty()) hex.pop_back();
      inf.push_back(line + hex);
    } else if (type == "multiplestring") {
      inf.push_back(line + "0x00010000," + text);
      a.RegistryListing.push_back(listName + "multi_sz : " + text);
    } else {
      inf.push_back(line);
      a.RegistryListing.push_back(listName + text);
    }
  }

  XmlSetupAnalysis& a;
  const CabListing* listing;
  std::vector<const XmlTreeNode*> nodes;
  std::vector<std::string> inf;
  int dirCount = 0;
  bool sourceDisksFiles = false;
  bool seenInstallDir = false, seenProcessor = false, seenVersionMin = false, seenVersionMax = false;
  bool seenBuildMin = false, seenBuildMax = false;
  // Lookups kept as the rows are made: scanning the lists for every row is
  // quadratic in large documents. Directory numbers repeat their first path.
  std::unordered_map<std::string, size_t> m_listed;  // stored name -> first index
  std::unordered_map<std::string, std::string> m_dirPath;
  std::unordered_map<std::string, std::vector<size_t>> m_filesIn, m_shortcutsIn;
  std::unordered_set<std::string> m_fileDirs, m_shortcutDirs;
  uint64_t m_cost = 0;
};

}  // namespace

std::string XmlAttributeToAnsi(std::string_view utf8) { return AnsiValue(utf8); }

std::vector<const XmlTreeNode*> FlattenTree(const std::vector<XmlTreeNode>& roots) {
  std::vector<const XmlTreeNode*> out;
  for (const XmlTreeNode& r : roots) Flatten(r, out);
  return out;
}

std::string XmlTooLargeMessage(uint64_t size) {
  return Format("The document has %llu bytes, more than the %llu a setup description may hold",
                static_cast<unsigned long long>(size), static_cast<unsigned long long>(kMaxXmlFileSize));
}

XmlReadResult ReadXmlSetupText(std::string_view bytes, const CabListing* listing) {
  XmlReadResult result;
  pugi::xml_document doc;
  const unsigned flags = pugi::parse_default | pugi::parse_declaration | pugi::parse_comments | pugi::parse_pi |
                         pugi::parse_doctype;
  const pugi::xml_parse_result parsed = doc.load_buffer(bytes.data(), bytes.size(), flags);
  if (!parsed) {
    const auto [line, column] = LineAndColumn(bytes, parsed.offset);
    result.Message = Format("%s (line %d, column %d)", parsed.description(), line, column);
    return result;
  }
  if (bytes.size() > kMaxXmlFileSize) {
    result.Message = XmlTooLargeMessage(bytes.size());
    return result;
  }
  // Every node and attribute costs a few hundred bytes once shown: their
  // number is bounded before the parser builds them.
  size_t markup = 0;
  for (char c : bytes) markup += c == '<' || c == '=';
  if (markup > kMaxXmlMarkup) {
    result.Message = Format("The document holds more than %zu tags and attributes", static_cast<size_t>(kMaxXmlMarkup));
    return result;
  }
  XmlSetupAnalysis a;
  TreeBuilder builder;
  // Each top-level node goes before the roots already there, so the
  // document's last top-level node (normally the root element) comes first.
  for (const pugi::xml_node& top : doc.children()) a.Roots.insert(a.Roots.begin(), builder.build(top, 1));
  if (builder.tooDeep) {
    result.Message = Format("The document nests more than %d levels", kMaxXmlDepth);
    return result;
  }
  Analyser analyser(a, listing);
  analyser.run();
  if (analyser.tooLarge()) {
    result.Message = Format("The document's rows would take more than %zu MB to show",
                            static_cast<size_t>(kMaxXmlRecordCost >> 20));
    return result;
  }
  result.Analysis = std::move(a);
  return result;
}

XmlReadResult ReadXmlSetup(const std::filesystem::path& xmlFile, const CabListing* listing) {
  std::ifstream in(xmlFile, std::ios::binary | std::ios::ate);
  if (!in) {
    XmlReadResult r;
    r.Message = "Cannot read " + PathText(xmlFile);
    return r;
  }
  // Not read at all when it is larger than the reader accepts.
  const std::streamoff size = in.tellg();
  if (size > static_cast<std::streamoff>(kMaxXmlFileSize)) {
    XmlReadResult r;
    r.Message = PathText(xmlFile.filename()) + " : " + XmlTooLargeMessage(static_cast<uint64_t>(size));
    return r;
  }
  std::string bytes(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  XmlReadResult r = ReadXmlSetupText(bytes, listing);
  if (!r.ok()) r.Message = PathText(xmlFile.filename()) + " : " + r.Message;
  return r;
}

}  // namespace vornix
