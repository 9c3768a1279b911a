#include "xml/xml_setup.h"

#include <algorithm>
#include <fstream>
#include <unordered_map>
#include <unordered_set>

#include <pugixml.hpp>

#include "common/base64.h"
#include "common/host_fs.h"
#include "common/text.h"
#include "setup/setup_format.h"

namespace vornix {

const std::string* XmlTreeNode::attribute(std::string_view name) const {
  for (const auto& [key, value] : Attributes)
    if (EqualsNoCase(key, name)) return &value;
  return nullptr;
}

const std::string& XmlSetupAnalysis::dirPath(int number) const {
  static const std::string kNone;
  // Folders are numbered from 1 in the order they come.
  return number >= 1 && static_cast<size_t>(number) <= Dirs.size() ? Dirs[static_cast<size_t>(number) - 1].Path : kNone;
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
    for (const pugi::xml_attribute& a : node.attributes())
      t.Attributes.emplace_back(AnsiValue(a.name()), AnsiValue(a.value()));
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

std::string AttributeOnly(const XmlTreeNode& node, std::string_view name) {
  const std::string* v = node.attribute(name);
  return v ? *v : std::string();
}

// A "characteristic" element whose only attribute is type="<type>", letter
// case aside: how the sections and the steps inside them are marked.
bool IsCharacteristic(const XmlTreeNode& node, std::string_view type) {
  return EqualsNoCase(node.Name, "characteristic") && node.Attributes.size() == 1 &&
         EqualsNoCase(node.Attributes[0].first, "type") && EqualsNoCase(node.Attributes[0].second, type);
}

// True when the node's name or one of its attributes' names or values says
// "translation": a folder of a file operation section.
bool MentionsTranslation(const XmlTreeNode& node) {
  if (ContainsNoCase(node.Name, "translation")) return true;
  return std::any_of(node.Attributes.begin(), node.Attributes.end(), [](const XmlAttribute& a) {
    return ContainsNoCase(a.first, "translation") || ContainsNoCase(a.second, "translation");
  });
}

// A parameter from its name attribute on; empty when it has none.
XmlExtraParm FromName(const XmlTreeNode& node) {
  auto it = std::find_if(node.Attributes.begin(), node.Attributes.end(),
                         [](const XmlAttribute& a) { return EqualsNoCase(a.first, "name"); });
  return XmlExtraParm(it, node.Attributes.end());
}

// The texts an extra parameter is shown with: the name's value, then every
// later attribute's name and value.
template <typename Visit>
bool AnyExtraText(const std::vector<XmlExtraParm>& extra, Visit&& visit) {
  for (const XmlExtraParm& parm : extra) {
    for (size_t i = 0; i < parm.size(); ++i) {
      if (i > 0 && visit(parm[i].first)) return true;
      if (visit(parm[i].second)) return true;
    }
  }
  return false;
}

// Their length once shown: "SelfRegister, Name -> value -> 1".
uint64_t ExtraTextLength(const std::vector<XmlExtraParm>& extra) {
  uint64_t n = extra.empty() ? 0 : 2 * (extra.size() - 1);
  for (const XmlExtraParm& parm : extra) {
    for (size_t i = 0; i < parm.size(); ++i) n += (i ? 8 + parm[i].first.size() : 0) + parm[i].second.size();
  }
  return n;
}

// The INF copy flags the parameters ask for, wherever they name them.
uint32_t CopyFlags(const std::vector<XmlExtraParm>& extra) {
  auto says = [&](const char* word) {
    return AnyExtraText(extra, [&](const std::string& text) { return ContainsNoCase(text, word); });
  };
  uint32_t flags = 0;
  if (says("noskip")) flags |= 0x00000002;
  if (says("nodatecheck")) flags |= 0x40000000;
  if (says("nooverwrite")) flags |= 0x00000010;
  if (says("overwriteifexists")) flags |= 0x00000400;
  if (says("nooverwriteifnewer")) flags |= 0x20000000;
  return flags;
}

std::string NotANumberWarning(std::string_view what, std::string_view value) {
  return Format("%.*s: \"%.*s\" is not a number; kept as written", static_cast<int>(what.size()), what.data(),
                static_cast<int>(value.size()), value.data());
}

class Analyser {
 public:
  Analyser(XmlSetupAnalysis& analysis, const CabListing* listing) : m_analysis(analysis), m_listing(listing) {}

  /// True when the rows would cost more than kMaxXmlRecordCost.
  bool tooLarge() const { return m_cost > kMaxXmlRecordCost; }

  void run() {
    m_nodes = FlattenTree(m_analysis.Roots);
    if (m_listing) {
      for (size_t i = m_listing->size(); i-- > 0;) m_listed[(*m_listing)[i].Name] = i;
    }
    categories();
    for (int n : m_analysis.InstallSections) installSection(node(n));
    for (int n : m_analysis.FileOperationSections) {
      if (tooLarge()) return;
      fileOperationSection(node(n));
    }
    if (tooLarge()) return;
    setupDll();
    registry();
  }

 private:
  const XmlTreeNode& node(int number) const { return *m_nodes[static_cast<size_t>(number)]; }

  void categories() {
    for (size_t i = 0; i < m_nodes.size(); ++i) {
      const XmlTreeNode& n = *m_nodes[i];
      if (IsCharacteristic(n, "registry"))
        m_analysis.RegistrySections.push_back(static_cast<int>(i));
      else if (IsCharacteristic(n, "install"))
        m_analysis.InstallSections.push_back(static_cast<int>(i));
      else if (IsCharacteristic(n, "fileoperation"))
        m_analysis.FileOperationSections.push_back(static_cast<int>(i));
    }
  }

  void installSection(const XmlTreeNode& section) {
    std::vector<XmlInstallParm>& parms = m_analysis.Install.emplace_back();
    for (const XmlTreeNode* child : ElementChildren(section)) {
      XmlInstallParm parm{AttributeOnly(*child, "name"), AttributeOnly(*child, "value")};
      const std::string lower = LowerCp1252(parm.Name);
      if (lower == "appname")
        m_analysis.AppName = parm.Value;
      else if (lower == "installdir")
        m_analysis.InstallDir = parm.Value;
      else if (lower == "setupdll")
        m_analysis.SetupDll = parm.Value;
      else if (lower == "buildnumbermax")
        m_buildMax = parm.Value;
      parms.push_back(std::move(parm));
    }
    // The INF gives the maximal build once per install section, with its
    // comment when it is a number.
    uint32_t build = 0;
    if (m_buildMax && !ParseInt32Text(*m_buildMax, build))
      m_analysis.Warnings.push_back(NotANumberWarning("BuildNumberMax", *m_buildMax));
  }

  std::string installDirBare() const { return m_analysis.InstallDir.value_or(""); }

  // The cost of a row for kMaxXmlRecordCost: a fixed part and its texts,
  // which are copied about that many times on their way to the lists and the JSON.
  void spend(uint64_t textBytes) { m_cost += 1024 + textBytes * 4; }

  void fileOperationSection(const XmlTreeNode& section) {
    for (const XmlTreeNode* dir : ElementChildren(section)) {
      if (tooLarge()) return;
      if (!MentionsTranslation(*dir)) continue;
      const int number = ++m_dirCount;
      const std::string path = AttributeOnly(*dir, "type");
      m_analysis.Dirs.push_back({number, path});
      // Every "%InstallDir%" of the path takes the whole install folder: a
      // short document could ask for gigabytes here.
      const std::string bare = installDirBare();
      size_t uses = 0;
      for (size_t at = path.find("%InstallDir%"); at != std::string::npos; at = path.find("%InstallDir%", at + 1))
        ++uses;
      spend(path.size() + uses * bare.size());
      if (tooLarge()) return;
      const std::string expanded = Expand(ReplaceAll(path, "%InstallDir%", bare));
      const std::vector<const XmlTreeNode*> children = ElementChildren(*dir);
      if (children.size() < 2 || !IsCharacteristic(*children[0], "makedir")) continue;
      for (size_t k = 1; k < children.size(); ++k) {
        const XmlTreeNode& item = *children[k];
        const std::vector<const XmlTreeNode*> inner = ElementChildren(item);
        if (inner.empty()) continue;
        const std::vector<const XmlTreeNode*> parms = ElementChildren(*inner[0]);
        if (IsCharacteristic(*inner[0], "extract"))
          addFile(number, item, parms, expanded);
        else if (IsCharacteristic(*inner[0], "shortcut"))
          addShortcut(number, item, parms);
      }
    }
  }

  static std::vector<XmlExtraParm> ExtraParameters(const std::vector<const XmlTreeNode*>& children) {
    std::vector<XmlExtraParm> extra;
    for (size_t k = 1; k < children.size(); ++k) extra.push_back(FromName(*children[k]));
    return extra;
  }

  void addFile(int number, const XmlTreeNode& item, const std::vector<const XmlTreeNode*>& parms,
               const std::string& expanded) {
    if (m_fileDirs.insert(number).second) m_analysis.FileDirs.push_back(number);
    XmlFile f;
    f.DirNumber = number;
    f.Extra = ExtraParameters(parms);
    f.CopyFlags = CopyFlags(f.Extra);
    f.SelfRegister =
        AnyExtraText(f.Extra, [](const std::string& text) { return text.find("SelfRegister") != std::string::npos; });
    f.CabName = parms.empty() ? std::string() : AttributeOnly(*parms[0], "value");
    if (const auto hit = m_listed.find(f.CabName); hit != m_listed.end()) f.Entry = entryAt(hit->second);
    f.DestName = AttributeOnly(item, "type");
    f.Directory = expanded;
    // Shown as the name in the cabinet, the quoted name, the parameters and the folder.
    spend(f.CabName.size() + f.DestName.size() + 2 + ExtraTextLength(f.Extra) + f.Directory.size());
    m_analysis.Files.push_back(std::move(f));
  }

  void addShortcut(int number, const XmlTreeNode& item, const std::vector<const XmlTreeNode*>& parms) {
    if (m_shortcutDirs.insert(number).second) m_analysis.ShortcutDirs.push_back(number);
    XmlShortcut s;
    s.DirNumber = number;
    s.Extra = ExtraParameters(parms);
    s.Target = parms.empty() ? std::string() : AttributeOnly(*parms[0], "value");
    s.Name = AttributeOnly(item, "type");
    // Shown quoted, with a blank after them, and the target with its macros applied.
    const std::string quotedTarget = "\"" + s.Target + "\" ";
    spend(quotedTarget.size() + s.Name.size() + 3 + Expand(quotedTarget).size() + ExtraTextLength(s.Extra));
    m_analysis.Shortcuts.push_back(std::move(s));
  }

  CabinetEntryRef entryAt(size_t index) const {
    const TCABFileEntry& e = (*m_listing)[index];
    return CabinetEntryRef{e.Name, e.Size, e.DosDate, e.DosTime};
  }

  void setupDll() {
    const TCABFileEntry* dll = m_listing ? FindSetupDll(*m_listing) : nullptr;
    if (!dll) return;
    m_analysis.SetupDllName = dll->Name;
    m_analysis.SetupDll = ChangeExtension(dll->Name, ".dll");
    XmlFile f;
    f.DirNumber = 999;
    f.CabName = dll->Name;
    f.DestName = m_analysis.SetupDll;
    f.Entry = entryAt(static_cast<size_t>(dll - m_listing->data()));
    f.IsSetupDll = true;
    m_analysis.Files.push_back(std::move(f));
  }

  void registry() {
    // Keys are gathered over the whole document, so two sections never
    // share a reg_path string and each value stays under its own key.
    for (int n : m_analysis.RegistrySections) {
      for (const XmlTreeNode* key : ElementChildren(node(n))) {
        XmlRegistryKey& k = m_analysis.RegistryKeys.emplace_back();
        k.Path = AttributeOnly(*key, "type");
        for (const XmlTreeNode* v : ElementChildren(*key)) k.Values.push_back(value(*v));
      }
    }
  }

  XmlRegistryValue value(const XmlTreeNode& v) {
    XmlRegistryValue value;
    value.Name = AttributeOnly(v, "name");
    value.Datatype = AttributeOnly(v, "datatype");
    value.Text = AttributeOnly(v, "value");
    const std::string type = LowerCp1252(value.Datatype);
    if (type == "integer") {
      uint32_t n = 0;
      if (ParseInt32Text(value.Text, n)) value.Integer = n;
      // An empty name is the key's default value, written "@" as REGEDIT4 does.
      else
        m_analysis.Warnings.push_back(NotANumberWarning(value.Name.empty() ? "@" : value.Name, value.Text));
    } else if (type == "binary") {
      Result<std::string> bytes = TBase64::Decode(value.Text);
      if (bytes) value.Bytes = std::move(*bytes);
    }
    return value;
  }

  XmlSetupAnalysis& m_analysis;
  const CabListing* m_listing;
  std::vector<const XmlTreeNode*> m_nodes;
  int m_dirCount = 0;
  std::optional<std::string> m_buildMax;  // the latest install section's, once one gave it
  // Lookups kept as the rows are made: scanning the lists for every row is
  // quadratic in large documents.
  std::unordered_map<std::string, size_t> m_listed;  // stored name -> first index
  std::unordered_set<int> m_fileDirs, m_shortcutDirs;
  uint64_t m_cost = 0;
};

Error XmlError(ErrorCode code, std::string message, std::optional<uint64_t> offset = std::nullopt) {
  return MakeError(code, std::move(message), offset);
}

}  // namespace

std::string XmlAttributeToAnsi(std::string_view utf8) { return AnsiValue(utf8); }

std::vector<std::string> XmlMultiStringItems(std::string_view text) {
  static constexpr std::string_view kCut = "\",\"";
  std::vector<std::string> items;
  const bool cut = text.size() >= 2 && text.front() == '"' && text.back() == '"' &&
                   text.substr(1, text.size() - 2).find(kCut) != std::string_view::npos;
  if (!cut) {
    if (!text.empty()) items.emplace_back(text);
    return items;
  }
  std::string_view rest = text.substr(1, text.size() - 2);
  for (;;) {
    const size_t at = rest.find(kCut);
    if (!rest.substr(0, at).empty()) items.emplace_back(rest.substr(0, at));
    if (at == std::string_view::npos) return items;
    rest.remove_prefix(at + kCut.size());
  }
}

std::vector<const XmlTreeNode*> FlattenTree(const std::vector<XmlTreeNode>& roots) {
  std::vector<const XmlTreeNode*> out;
  for (const XmlTreeNode& r : roots) Flatten(r, out);
  return out;
}

std::string XmlTooLargeMessage(uint64_t size) {
  return Format("The document has %llu bytes, more than the %llu a setup description may hold",
                static_cast<unsigned long long>(size), static_cast<unsigned long long>(kMaxXmlFileSize));
}

Result<XmlSetupAnalysis> ReadXmlSetupText(std::string_view bytes, const CabListing* listing) {
  pugi::xml_document doc;
  const unsigned flags =
      pugi::parse_default | pugi::parse_declaration | pugi::parse_comments | pugi::parse_pi | pugi::parse_doctype;
  const pugi::xml_parse_result parsed = doc.load_buffer(bytes.data(), bytes.size(), flags);
  if (!parsed) {
    const auto [line, column] = LineAndColumn(bytes, parsed.offset);
    return XmlError(ErrorCode::Syntax, Format("%s (line %d, column %d)", parsed.description(), line, column),
                    static_cast<uint64_t>(std::max<ptrdiff_t>(parsed.offset, 0)));
  }
  if (bytes.size() > kMaxXmlFileSize) return XmlError(ErrorCode::TooLarge, XmlTooLargeMessage(bytes.size()));
  // Every node and attribute costs a few hundred bytes once shown: their
  // number is bounded before the parser builds them.
  size_t markup = 0;
  for (char c : bytes) markup += c == '<' || c == '=';
  if (markup > kMaxXmlMarkup) {
    return XmlError(ErrorCode::TooLarge,
                    Format("The document holds more than %zu tags and attributes", static_cast<size_t>(kMaxXmlMarkup)));
  }
  XmlSetupAnalysis a;
  TreeBuilder builder;
  // Each top-level node goes before the roots already there, so the
  // document's last top-level node (normally the root element) comes first.
  for (const pugi::xml_node& top : doc.children()) a.Roots.insert(a.Roots.begin(), builder.build(top, 1));
  if (builder.tooDeep)
    return XmlError(ErrorCode::TooDeep, Format("The document nests more than %d levels", kMaxXmlDepth));
  Analyser analyser(a, listing);
  analyser.run();
  if (analyser.tooLarge()) {
    return XmlError(ErrorCode::TooLarge, Format("The document's rows would take more than %zu MB to show",
                                                static_cast<size_t>(kMaxXmlRecordCost >> 20)));
  }
  return a;
}

Result<XmlSetupAnalysis> ReadXmlSetup(const std::filesystem::path& xmlFile, const CabListing* listing) {
  std::ifstream in(xmlFile, std::ios::binary | std::ios::ate);
  if (!in) return XmlError(ErrorCode::CannotOpen, "Cannot read " + PathText(xmlFile));
  // Not read at all when it is larger than the reader accepts.
  const std::streamoff size = in.tellg();
  if (size > static_cast<std::streamoff>(kMaxXmlFileSize)) {
    return XmlError(ErrorCode::TooLarge,
                    PathText(xmlFile.filename()) + " : " + XmlTooLargeMessage(static_cast<uint64_t>(size)));
  }
  std::string bytes(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return ReadNamedXmlSetup(bytes, PathText(xmlFile.filename()), listing);
}

Result<XmlSetupAnalysis> ReadNamedXmlSetup(std::string_view bytes, const std::string& shownName,
                                           const CabListing* listing) {
  Result<XmlSetupAnalysis> read = ReadXmlSetupText(bytes, listing);
  if (read) return read;
  Error error = read.error();
  error.Message = shownName + " : " + error.Message;
  return error;
}

}  // namespace vornix
