#include "presentation/inf_writer.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "common/inf_head.h"
#include "common/text.h"
#include "presentation/catalogue.h"
#include "presentation/display.h"

namespace vornix {
namespace {

// "Répertoire" in Windows-1252.
constexpr const char* kRepertoire = "R\xE9pertoire";

std::string DropLast(std::string text) {
  if (!text.empty()) text.pop_back();
  return text;
}

// Replaces AppName, then Provider, in the gaps the AppName matches left, both
// found in the original text only: a macro just inserted is never rewritten.
std::string SubstituteNames(std::string_view text, std::string_view appName, std::string_view provider,
                            bool withProvider) {
  std::vector<bool> taken(text.size(), false);
  struct Hit {
    size_t pos, len;
    const char* macro;
  };
  std::vector<Hit> hits;
  auto scan = [&](std::string_view name, const char* macro) {
    if (name.empty()) return;
    for (size_t pos = text.find(name); pos != std::string_view::npos;) {
      const bool free = std::none_of(taken.begin() + static_cast<long>(pos),
                                     taken.begin() + static_cast<long>(pos + name.size()), [](bool b) { return b; });
      if (free) {
        std::fill(taken.begin() + static_cast<long>(pos), taken.begin() + static_cast<long>(pos + name.size()), true);
        hits.push_back({pos, name.size(), macro});
        pos = text.find(name, pos + name.size());
      } else {
        pos = text.find(name, pos + 1);
      }
    }
  };
  scan(appName, "%AppName%");
  if (withProvider) scan(provider, "%Provider%");
  std::sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.pos < b.pos; });
  std::string out;
  size_t at = 0;
  for (const Hit& h : hits) {
    out.append(text.substr(at, h.pos - at));
    out += h.macro;
    at = h.pos + h.len;
  }
  out.append(text.substr(at));
  return out;
}

std::string InfValueText(const AListReg& k) {
  const std::string_view type = RegTypeName(k.Flags);
  if (type == "REG_BINARY") {
    std::string out;
    for (char b : k.Data) out += Format(out.empty() ? "%02X" : ",%02X", static_cast<unsigned char>(b));
    return out;
  }
  if (type == "REG_DWORD") {
    uint32_t number = 0;
    if (!RegDwordValue(k.Data, number)) return {};
    return Format("%d", static_cast<int32_t>(number));
  }
  if (type == "REG_SZ") {
    const std::string_view text = RegSzText(k.Data);
    return text.empty() ? std::string() : InfEscapeString(text);
  }
  if (type == "REG_MULTI_SZ") return InfEscapeMultiString(RegMultiSzTexts(k.Data));
  return {};
}

class InfBuilder {
 public:
  explicit InfBuilder(const TSetupInfo& info) : m_info(info) {
    // Files grouped by folder and hives by ID once: asking the lists for
    // every folder and key is quadratic in large descriptions.
    for (const AListFiles& f : m_info.Files) m_filesIn[f.DirId].push_back(&f);
    for (size_t i = 0; i < m_info.Dirs.size(); ++i)
      if (m_filesIn.count(m_info.Dirs[i].Id)) m_dirsWithFiles.push_back(i);
    for (size_t i = 0; i < m_info.Hives.size(); ++i) m_hivePosition.emplace(m_info.Hives[i].Id, static_cast<int>(i));
  }

  std::vector<std::string> build() {
    version();
    ceStrings();
    ceDevice();
    sourceDisksNames();
    sourceDisksFiles();
    defaultInstall();
    destinationDirs();
    strings();
    registry();
    shortcuts();
    return std::move(m_lines);
  }

 private:
  void line(std::string text) { m_lines.push_back(std::move(text)); }

  void version() {
    for (std::string& head : InfVersionSection(m_info.ProviderInInstallDir ? "%Provider%" : m_info.Provider))
      line(std::move(head));
  }

  void ceStrings() {
    line("[CEStrings]");
    line("Appname = \"" + m_info.AppName + "\"");
    line("InstallDir = \"" +
         SubstituteNames(m_info.InstallDir, m_info.AppName, m_info.Provider, m_info.ProviderInInstallDir) + "\" ; (" +
         m_info.InstallDir + ")");
    line("");
  }

  void ceDevice() {
    std::vector<std::string> device;
    const TSetupHeader& h = m_info.Header;
    if (h.ProcessorCode != 0) device.push_back("ProcessorType = " + ProcessorTypeText(h));
    if (!m_info.UnsupportedPlatforms.empty())
      device.push_back("UnsupportedPlatforms = " + UnsupportedPlatformsText(m_info.UnsupportedPlatforms));
    if (h.MinVersionMajor != 0 || h.MinVersionMinor != 0) device.push_back("VersionMin = " + MinVersionText(h));
    if (h.MaxVersionMajor != 0 || h.MaxVersionMinor != 0) device.push_back("VersionMax = " + MaxVersionText(h));
    if (h.MinBuild != 0) device.push_back("BuildMin = " + MinBuildText(h));
    if (m_info.Header.MaxBuild != 0)
      device.push_back(Format("BuildMax = %d; ", m_info.Header.MaxBuild) +
                       BuildMaxComment(static_cast<uint32_t>(m_info.Header.MaxBuild)));
    if (device.empty()) return;
    line("[CEDevice]");
    for (auto& d : device) line(std::move(d));
    line("");
  }

  void sourceDisksNames() {
    line("[SourceDisksNames]");
    if (m_info.Dirs.empty()) {
      line("1 = ,\"Autre\",,\\");
    } else {
      // Ordered by directory number, the order the file rows' folder texts sort in.
      std::vector<size_t> order = m_dirsWithFiles;
      std::stable_sort(order.begin(), order.end(),
                       [&](size_t a, size_t b) { return m_info.Dirs[a].Id < m_info.Dirs[b].Id; });
      for (size_t i : order) {
        const AListDir& d = m_info.Dirs[i];
        line(Format("%u = ,\"Dir%u\",,.", d.Id, d.Id) + d.Path);
      }
      if (m_info.SetupDll.present()) line("999 = \"Dir999\",,.");
    }
    line("");
  }

  bool isDuplicate(const AListFiles& f) {
    if (!m_info.HasDuplicates) return false;
    if (m_duplicates.empty())
      for (const std::string& d : m_info.Duplicates) m_duplicates.insert(LowerCp1252(d));
    return m_duplicates.count(LowerCp1252(f.Name)) != 0;
  }

  void sourceDisksFiles() {
    line("[SourceDisksFiles]");
    for (const AListFiles& f : m_info.Files) {
      std::string text = InfFileName(f.Name) + " = " + Format("%u", f.DirId);
      if (isDuplicate(f)) text += kDuplicateMarker;
      text += " ; ";
      const std::string cabName = FileCabName(m_info, f);
      const std::string_view ext = ExtensionOf(cabName);
      if (!ext.empty()) text += ext.substr(1);
      line(std::move(text));
    }
    if (m_info.SetupDll.present()) line(SetupDllFileName(m_info.SetupDll) + " = 999 ; 999");
    line("");
  }

  void defaultInstall() {
    line("[DefaultInstall]");
    if (!m_info.RegKeys.empty()) line("AddReg = ClesRegistre");
    if (m_info.SetupDll.present())
      line("CESetupDLL = " + SetupDllFileName(m_info.SetupDll) + " ; (" + m_info.SetupDll.Name + ")");
    if (const std::vector<std::string> selfRegister = SelfRegisterNames(m_info); !selfRegister.empty()) {
      std::string joined;
      for (const auto& name : selfRegister) joined += (joined.empty() ? "" : ",") + name;
      line("CESelfRegister = " + joined);
    }
    if (!m_info.Shortcuts.empty()) {
      std::string list = m_info.HasShortList ? "RaccourcisCourts," : "";
      for (size_t i = 0; i < m_info.Shortcuts.size(); ++i)
        if (m_info.Shortcuts[i].OwnSection) list += Format("Raccourci%.2zu,", i);
      list = DropLast(list);
      if (!list.empty()) line("CEShortcuts = " + list);
    }
    if (m_info.Dirs.empty()) return;
    std::string copy;
    for (size_t i : m_dirsWithFiles) copy += Format("CopierVersDir%.2zu,", i);
    line("CopyFiles = " + DropLast(copy));
    line("");
    for (size_t i : m_dirsWithFiles) {
      const AListDir& d = m_info.Dirs[i];
      line(Format("[CopierVersDir%.2zu]  ; (", i) + d.RawPath + " : " + d.Path + ")");
      for (const AListFiles* f : m_filesIn[d.Id]) line(f->Flags != 0 ? FileCopyLine(*f) : InfFileName(f->Name));
      line("");
    }
  }

  void destinationDirs() {
    line("[DestinationDirs]");
    for (size_t i : m_dirsWithFiles)
      line(Format("CopierVersDir%.2zu = 0, ", i) +
           ReplaceAll(m_info.Dirs[i].RawPath, m_info.InstallDir, "%InstallDir%"));
    if (m_info.Shortcuts.empty()) return;
    if (m_info.HasShortList) line("RaccourcisCourts = 0, %InstallDir%");
    for (size_t i = 0; i < m_info.Shortcuts.size(); ++i) {
      const AListRac& r = m_info.Shortcuts[i];
      if (!r.OwnSection) continue;
      line(Format("Raccourci%.2zu = 0, ", i) + r.InstalledAtRaw + " ; " + kRepertoire + " (ID Dir " +
           IdText3(r.BaseDirId) + ") = " + r.InstalledAt);
    }
  }

  void strings() {
    if (m_info.Hives.empty() && !m_info.ProviderInInstallDir) return;
    line("");
    line("[Strings]");
    for (size_t i = 0; i < m_info.Hives.size(); ++i) line(Format("reg_path%.2zu = ", i) + m_info.Hives[i].Path);
    if (m_info.ProviderInInstallDir) line("Provider = " + m_info.Provider);
  }

  void registry() {
    if (m_info.RegKeys.empty()) return;
    line("");
    line("[ClesRegistre]");
    for (const AListReg& k : m_info.RegKeys) {
      const auto found = m_hivePosition.find(k.HiveId);
      if (found == m_hivePosition.end()) continue;
      const int position = found->second;
      line(HiveRootText(m_info.Hives[static_cast<size_t>(position)]) + Format(",%%reg_path%.2d%%,", position) + k.Name +
           "," + FlagsText(k.Flags) + "," + InfValueText(k));
    }
  }

  void shortcuts() {
    if (m_info.Shortcuts.empty()) return;
    const std::string linkName = LowerCp1252(m_info.AppName + ".lnk");
    auto texts = [&](const AListRac& r, std::string& name, std::string& flag, std::string& target) {
      flag = r.Kind == 1 ? "0" : "1";
      name =
          LowerCp1252(r.Name) == linkName ? std::string("%Appname%") : ReplaceAll(r.Name, m_info.AppName, "%AppName%");
      target = ReplaceAll(ShortcutTargetName(m_info, r).value_or(""), m_info.AppName, "%AppName%");
    };
    std::string name, flag, target;
    if (m_info.HasShortList) {
      line("");
      line("[RaccourcisCourts]");
      for (const AListRac& r : m_info.Shortcuts) {
        if (r.OwnSection) continue;
        texts(r, name, flag, target);
        if (r.StandardFolder == 0) {
          line(name + ", " + flag + ", " + target + " ; (%InstallDir%)");
        } else {
          line(name + ", " + flag + ", " + target + ", " + r.InstalledAtRaw + " ; (" + r.InstalledAt + ")");
        }
      }
    }
    if (!m_info.HasOwnSections) return;
    for (size_t i = 0; i < m_info.Shortcuts.size(); ++i) {
      const AListRac& r = m_info.Shortcuts[i];
      if (!r.OwnSection) continue;
      texts(r, name, flag, target);
      line("");
      line(Format("[Raccourci%.2zu],", i));
      line(name + ", " + flag + ", " + target + " ; " + kRepertoire + " (ID Dir " + IdText3(r.BaseDirId) +
           ") : " + r.InstalledAtRaw + " (" + r.InstalledAt + ")");
    }
  }

  const TSetupInfo& m_info;
  std::unordered_map<uint16_t, std::vector<const AListFiles*>> m_filesIn;
  std::unordered_map<uint16_t, int> m_hivePosition;
  std::unordered_set<std::string> m_duplicates;  // folded
  std::vector<size_t> m_dirsWithFiles;
  std::vector<std::string> m_lines;
};

}  // namespace

std::string InfEscapeString(std::string_view value) {
  const bool quote = (!value.empty() && value.back() == '\\') || value.find(',') != std::string_view::npos;
  std::string text(value);
  if (text.find('%') != std::string::npos) {
    std::string work(text);
    auto blank = [&](std::string_view macro) {
      for (size_t pos = work.find(macro); pos != std::string::npos; pos = work.find(macro, pos + macro.size()))
        work.replace(pos, macro.size(), std::string(macro.size(), '*'));
    };
    for (const auto& m : kDirectoryMacros) blank(m.Macro);
    blank("%InstallDir%");
    std::string doubled;
    for (size_t i = 0; i < text.size(); ++i) {
      doubled += text[i];
      if (text[i] == '%' && work[i] == '%') doubled += '%';
    }
    text = std::move(doubled);
  }
  text = ReplaceAll(text, "\"", "\"\"\"");
  return quote ? "\"" + text + "\"" : text;
}

std::string InfEscapeMultiString(const std::vector<std::string_view>& texts) {
  std::string out;
  for (size_t i = 0; i < texts.size(); ++i) {
    if (i) out += ',';
    out += InfEscapeString(texts[i]);
  }
  return out;
}

std::string BuildMaxComment(uint32_t build) {
  switch (build) {
    case kBuildSquareScreen: return Str(MainStr::LblSquareScreen);
    case kBuildScreenRotation: return Str(MainStr::LblScreenRotation);
    case kBuildSquareAndRotation: return Str(MainStr::LblSquareAndRotation);
    default: return {};
  }
}

std::vector<std::string> WriteInf(const TSetupInfo& info) { return InfBuilder(info).build(); }

std::string InfFileText(const std::vector<std::string>& lines) { return JoinCrLf(lines); }

}  // namespace vornix
