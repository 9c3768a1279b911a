#include "presentation/xml_texts.h"

#include <cstring>
#include <optional>
#include <unordered_map>

#include "common/inf_head.h"
#include "common/text.h"
#include "presentation/catalogue_xml.h"
#include "presentation/display.h"
#include "presentation/inf_writer.h"
#include "setup/setup_format.h"

namespace vornix {

namespace {

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// The target and the name of a shortcut as the list and the INF show them:
// quoted, with a blank after.
std::string QuotedWithBlank(std::string_view text) { return Quoted(text) + " "; }

// A parameter's text: its name's value, then every later attribute as
// " -> name -> value".
std::string ExtraParmText(const XmlExtraParm& parm) {
  std::string text;
  for (size_t i = 0; i < parm.size(); ++i) {
    if (i > 0) text += " -> " + parm[i].first + " -> ";
    text += parm[i].second;
  }
  return text;
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

std::string JoinWithPrefix(const std::vector<int>& numbers, const char* prefix) {
  std::string out;
  for (int n : numbers) {
    if (!out.empty()) out += ',';
    out += prefix + XmlDirNumberText(n);
  }
  return out;
}

// The install sections' part of the INF. Each section writes the values
// given so far, by it or by the sections before it.
class InstallInf {
 public:
  explicit InstallInf(std::vector<std::string>& inf) : m_inf(inf) {}

  void section(const std::vector<XmlInstallParm>& parms) {
    for (const XmlInstallParm& parm : parms) take(parm);
    m_inf.push_back("[CEStrings]");
    m_inf.push_back(Format("Appname = \"%s\"", m_appName.c_str()));
    if (m_installDir) m_inf.push_back("InstallDir = " + ReplaceAll(Quoted(*m_installDir), m_appName, "%AppName%"));
    m_inf.push_back("");
    if (m_processor || m_versionMin || m_versionMax || m_buildMin || m_buildMax) {
      m_inf.push_back("[CEDevice]");
      if (m_processor) m_inf.push_back("ProcessorType = " + *m_processor);
      if (m_versionMin) m_inf.push_back("VersionMin = " + *m_versionMin);
      if (m_versionMax) m_inf.push_back("VersionMax = " + *m_versionMax);
      if (m_buildMin) m_inf.push_back("BuildMin = " + *m_buildMin);
      if (m_buildMax) {
        uint32_t build = 0;
        const std::string comment = ParseInt32Text(*m_buildMax, build) ? BuildMaxComment(build) : std::string();
        m_inf.push_back("BuildMax = " + *m_buildMax + "; " + comment);
      }
      m_inf.push_back("");
    }
    m_inf.push_back("[SourceDisksNames]");
    m_inf.push_back("1 = ,\"Autre\",,\\");
    m_inf.push_back("");
  }

 private:
  void take(const XmlInstallParm& parm) {
    const std::string lower = LowerCp1252(parm.Name);
    if (lower == "appname")
      m_appName = parm.Value;
    else if (lower == "installdir")
      m_installDir = parm.Value;
    else if (lower == "processortype")
      m_processor = parm.Value;
    else if (lower == "osversionmin")
      m_versionMin = parm.Value;
    else if (lower == "osversionmax")
      m_versionMax = parm.Value;
    else if (lower == "buildnumbermin")
      m_buildMin = parm.Value;
    else if (lower == "buildnumbermax")
      m_buildMax = parm.Value;
  }

  std::vector<std::string>& m_inf;
  std::string m_appName;
  std::optional<std::string> m_installDir;  // unquoted
  std::optional<std::string> m_processor, m_versionMin, m_versionMax, m_buildMin, m_buildMax;
};

// The files and shortcuts of each folder, in document order.
std::unordered_map<int, std::vector<size_t>> FilesByFolder(const XmlSetupAnalysis& a) {
  std::unordered_map<int, std::vector<size_t>> in;
  for (size_t k = 0; k < a.Files.size(); ++k)
    if (!a.Files[k].IsSetupDll) in[a.Files[k].DirNumber].push_back(k);
  return in;
}

std::unordered_map<int, std::vector<size_t>> ShortcutsByFolder(const XmlSetupAnalysis& a) {
  std::unordered_map<int, std::vector<size_t>> in;
  for (size_t k = 0; k < a.Shortcuts.size(); ++k) in[a.Shortcuts[k].DirNumber].push_back(k);
  return in;
}

void DefaultInstall(const XmlSetupAnalysis& a, std::vector<std::string>& inf) {
  inf.push_back("[DefaultInstall]");
  if (!a.SetupDll.empty()) inf.push_back("CESetupDLL = \"" + a.SetupDll + "\"");
  std::string selfRegister;
  for (const XmlFile& f : a.Files) {
    if (!f.SelfRegister) continue;
    selfRegister += (selfRegister.empty() ? "CESelfRegister = " : ",") + Quoted(f.DestName);
  }
  if (!selfRegister.empty()) inf.push_back(selfRegister);
  if (!a.RegistryKeys.empty()) inf.push_back("AddReg = ClesRegistre");
  if (a.Dirs.empty()) {
    inf.push_back("");
    return;
  }
  if (!a.FileDirs.empty()) inf.push_back("CopyFiles = " + JoinWithPrefix(a.FileDirs, "CopierVersDir"));
  if (!a.ShortcutDirs.empty()) inf.push_back("CEShortcuts = " + JoinWithPrefix(a.ShortcutDirs, "Raccourci"));
  inf.push_back("");
  inf.push_back("[DestinationDirs]");
  const std::string bare = a.InstallDir.value_or("");
  for (int n : a.FileDirs)
    inf.push_back("CopierVersDir" + XmlDirNumberText(n) + " = 0, " + ReplaceAll(a.dirPath(n), bare, "%InstallDir%"));
  for (int n : a.ShortcutDirs)
    inf.push_back("Raccourci" + XmlDirNumberText(n) + " = 0, " + ReplaceAll(a.dirPath(n), bare, "%InstallDir%"));
  inf.push_back("");
  const auto filesIn = FilesByFolder(a);
  for (int n : a.FileDirs) {
    inf.push_back("[CopierVersDir" + XmlDirNumberText(n) + "]");
    for (size_t k : filesIn.at(n)) {
      const XmlFile& f = a.Files[k];
      inf.push_back(f.CopyFlags ? Quoted(f.DestName) + Format(",,,0x%08X", f.CopyFlags) : Quoted(f.DestName));
    }
    inf.push_back("");
  }
  const auto shortcutsIn = ShortcutsByFolder(a);
  for (int n : a.ShortcutDirs) {
    inf.push_back("[Raccourci" + XmlDirNumberText(n) + "]");
    for (size_t k : shortcutsIn.at(n))
      inf.push_back(QuotedWithBlank(a.Shortcuts[k].Name) + ", 0, " + QuotedWithBlank(a.Shortcuts[k].Target));
    inf.push_back("");
  }
}

// The INF line of a registry value after its key's prefix and name.
std::string RegistryInfLine(const XmlRegistryValue& v) {
  const std::string type = LowerCp1252(v.Datatype);
  if (type == "string") return "0x00000000,\"" + v.Text + "\"";
  if (type == "integer") return "0x00010001," + v.Text;
  if (type == "multiplestring") return "0x00010000," + v.Text;
  if (type != "binary") return std::string();
  std::string hex = "0x00000001,";
  if (!v.Bytes) return hex;
  for (size_t k = 0; k < v.Bytes->size(); ++k)
    hex += Format(k ? ",%02X" : "%02X", static_cast<unsigned char>((*v.Bytes)[k]));
  return hex;
}

void RegistryInf(const XmlSetupAnalysis& a, std::vector<std::string>& inf) {
  if (a.RegistrySections.empty()) return;
  // A registry section without keys still ends the (empty) block of
  // strings with its empty line.
  if (a.RegistryKeys.empty()) {
    inf.push_back("");
    return;
  }
  inf.push_back("[Strings]");
  for (size_t i = 0; i < a.RegistryKeys.size(); ++i) {
    const std::string& key = a.RegistryKeys[i].Path;
    const size_t slash = key.find('\\');
    inf.push_back(Format("reg_path%.2d = ", static_cast<int>(i)) +
                  (slash == std::string::npos ? key : key.substr(slash + 1)));
  }
  inf.push_back("");
  inf.push_back("[ClesRegistre]");
  for (size_t i = 0; i < a.RegistryKeys.size(); ++i) {
    const XmlRegistryKey& key = a.RegistryKeys[i];
    const std::string prefix =
        key.Path.substr(0, key.Path.find('\\')) + Format(",%%reg_path%.2d%%,", static_cast<int>(i));
    for (const XmlRegistryValue& v : key.Values) inf.push_back(prefix + v.Name + "," + RegistryInfLine(v));
  }
}

// A registry value's lines in the listing.
void ListValue(const XmlRegistryValue& v, std::vector<std::string>& listing) {
  // An empty name is the key's default value, written "@" as REGEDIT4 does.
  const std::string name = v.Name.empty() ? std::string("@ = ") : Quoted(v.Name) + " = ";
  const std::string type = LowerCp1252(v.Datatype);
  if (type == "string") {
    listing.push_back(name + Quoted(v.Text));
  } else if (type == "integer") {
    listing.push_back(name + (v.Integer ? Format("dword : %08X", *v.Integer) : "dword : " + v.Text));
  } else if (type == "binary") {
    listing.push_back(name + "hex : \\");
    if (!v.Bytes) {
      listing.push_back("      *** Error Encoding*** : " + v.Text);
      return;
    }
    // Twenty-five bytes a line, every line but the last continued.
    const std::string& bytes = *v.Bytes;
    std::string line;
    for (size_t k = 0; k < bytes.size(); ++k) {
      if (k % 25 == 0) line = "      ";
      line += Format(" %02X,", static_cast<unsigned char>(bytes[k]));
      if (k + 1 == bytes.size()) {
        line.pop_back();
        listing.push_back(line);
      } else if (k % 25 == 24) {
        listing.push_back(line + "\\");
      }
    }
  } else if (type == "multiplestring") {
    listing.push_back(name + "multi_sz : " + v.Text);
  } else {
    listing.push_back(name + v.Text);
  }
}

}  // namespace

std::string XmlNodeCaption(const XmlTreeNode& node) {
  std::string caption = node.Name;
  for (const XmlAttribute& a : node.Attributes) caption += " -> " + a.first + " -> " + a.second;
  return caption;
}

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

std::vector<XmlGeneralRow> XmlGeneralRows(const XmlSetupAnalysis& analysis) {
  std::vector<XmlGeneralRow> rows;
  for (const std::vector<XmlInstallParm>& section : analysis.Install) {
    for (const XmlInstallParm& parm : section) {
      const bool installDir = LowerCp1252(parm.Name) == "installdir";
      rows.push_back({GeneralLabel(parm.Name), installDir ? Quoted(parm.Value) : parm.Value});
    }
  }
  return rows;
}

std::string XmlInstallDirText(const XmlSetupAnalysis& analysis) {
  return analysis.InstallDir ? Quoted(*analysis.InstallDir) : std::string();
}

std::string XmlDirNumberText(int number) { return Format("%.2d", number); }

std::string XmlExtraText(const std::vector<XmlExtraParm>& extra) {
  std::string text;
  for (size_t k = 0; k < extra.size(); ++k) {
    if (k > 0) text += ", ";
    text += ExtraParmText(extra[k]);
  }
  return text;
}

XmlFileTexts XmlFileRowTexts(const XmlFile& file) {
  XmlFileTexts t;
  t.Number = file.IsSetupDll ? IdText3(static_cast<uint32_t>(file.DirNumber)) : XmlDirNumberText(file.DirNumber);
  t.CabName = file.CabName;
  t.FileName = Quoted(file.DestName);
  t.Extra = file.IsSetupDll ? kSetupDllMarker : XmlExtraText(file.Extra);
  t.Directory = file.IsSetupDll ? kSetupDllMarker : file.Directory;
  t.Size = file.Entry ? SizeText(file.Entry->Size) : " ";
  t.Date = file.Entry ? DosDateText(file.Entry->DosDate, file.Entry->DosTime) : " ";
  if (file.IsSetupDll) {
    t.Type = "dll";
  } else {
    const std::string_view ext = ExtensionOf(file.DestName);
    t.Type = LowerCp1252(ext.empty() ? ext : ext.substr(1));
  }
  return t;
}

XmlShortcutTexts XmlShortcutRowTexts(const XmlShortcut& shortcut) {
  XmlShortcutTexts t;
  t.Number = XmlDirNumberText(shortcut.DirNumber);
  t.Target = QuotedWithBlank(shortcut.Target);
  t.Name = QuotedWithBlank(shortcut.Name);
  t.ExpandedTarget = Expand(t.Target);
  t.Extra = XmlExtraText(shortcut.Extra);
  return t;
}

ListRow XmlFileListRow(const XmlFile& file, size_t index) {
  XmlFileTexts t = XmlFileRowTexts(file);
  ListRow row{{std::move(t.Number), std::move(t.CabName), std::move(t.FileName), std::move(t.Extra),
               std::move(t.Directory), std::move(t.Size), std::move(t.Date), std::move(t.Type)}};
  row.Record = index;
  return row;
}

XmlLists BuildXmlLists(const XmlSetupAnalysis& analysis) {
  XmlLists lists;
  for (XmlGeneralRow& r : XmlGeneralRows(analysis)) lists.General.push_back({{std::move(r.Label), std::move(r.Value)}});
  for (const XmlDir& d : analysis.Dirs) lists.Dirs.push_back({{XmlDirNumberText(d.Number), d.Path}});
  for (size_t k = 0; k < analysis.Files.size(); ++k) lists.Files.push_back(XmlFileListRow(analysis.Files[k], k));
  for (const XmlShortcut& s : analysis.Shortcuts) {
    XmlShortcutTexts t = XmlShortcutRowTexts(s);
    lists.Shortcuts.push_back({{std::move(t.Number), std::move(t.Target), std::move(t.Name),
                                std::move(t.ExpandedTarget), std::move(t.Extra)}});
  }
  return lists;
}

std::vector<std::string> XmlRegistryListing(const XmlSetupAnalysis& analysis) {
  std::vector<std::string> listing;
  if (analysis.RegistryKeys.empty()) return listing;
  listing.push_back("REGEDIT4");
  for (const XmlRegistryKey& key : analysis.RegistryKeys) {
    listing.push_back("[" + SpellOutRoot(key.Path) + "]");
    for (const XmlRegistryValue& v : key.Values) ListValue(v, listing);
    listing.push_back("");
  }
  return listing;
}

std::vector<std::string> XmlInfLines(const XmlSetupAnalysis& analysis) {
  std::vector<std::string> inf = InfVersionSection(kInfFixedProvider);
  InstallInf install(inf);
  for (const std::vector<XmlInstallParm>& section : analysis.Install) install.section(section);
  bool sourceDisksFiles = false;
  for (const XmlFile& f : analysis.Files) {
    if (f.IsSetupDll) continue;
    if (!std::exchange(sourceDisksFiles, true)) inf.push_back("[SourceDisksFiles]");
    const std::string_view cabExt = ExtensionOf(f.CabName);
    inf.push_back(Quoted(f.DestName) + " = 1 ; " + std::string(cabExt.empty() ? cabExt : cabExt.substr(1, 3)));
  }
  if (sourceDisksFiles) inf.push_back("");
  DefaultInstall(analysis, inf);
  RegistryInf(analysis, inf);
  return inf;
}

}  // namespace vornix
