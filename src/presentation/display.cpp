#include "presentation/display.h"

#include <algorithm>
#include <iterator>

#include "common/text.h"
#include "presentation/catalogue.h"

namespace vornix {

std::string IdText3(uint32_t id) { return Format("%.3u", id); }

std::string FlagsText(uint32_t flags) { return Format("0x%08X", flags); }

std::string SizeText(int32_t bytes) { return Format("%d", bytes); }

std::string DosDateText(uint16_t date, uint16_t time) {
  return Format("%.4d-%.2d-%.2d  %.2d:%.2d", (date >> 9) + 1980, (date >> 5) & 0x0F, date & 0x1F, time >> 11,
                (time >> 5) & 0x3F);
}

std::string ProcessorText(const TSetupHeader& header) {
  const char* name = ProcessorName(header.ProcessorCode);
  return Format("%d (%s)", header.ProcessorCode, name ? name : Str(MainStr::LblUnknown).c_str());
}

std::string ProcessorTypeText(const TSetupHeader& header) { return Format("%d", header.ProcessorCode); }

std::string MinVersionText(const TSetupHeader& header) {
  return Format("%d.%d", header.MinVersionMajor, header.MinVersionMinor);
}

std::string MaxVersionText(const TSetupHeader& header) {
  return Format("%d.%d", header.MaxVersionMajor, header.MaxVersionMinor);
}

std::string MinBuildText(const TSetupHeader& header) { return Format("%d", header.MinBuild); }

std::string MaxBuildText(const TSetupHeader& header) { return Format("%d", header.MaxBuild); }

std::string UnsupportedPlatformsText(const std::vector<std::string>& platforms) {
  std::string joined;
  for (const std::string& p : platforms) {
    if (!joined.empty()) joined += ',';
    joined += '"' + p + '"';
  }
  return joined;
}

std::string DirIdPathText(const AListDir& dir) {
  std::string text;
  for (uint16_t id : dir.StringIds) text += (text.empty() ? "" : "\\") + Format("%u", id);
  return text;
}

std::string InfFileName(std::string_view name) {
  return IsShortName(name) ? std::string(name) : "\"" + std::string(name) + "\"";
}

std::string FileCabName(const TSetupInfo& info, const AListFiles& file) {
  if (!info.CabinetMode) return "~~~~~~~~~~~~";
  return file.Entry ? file.Entry->Name : std::string();
}

std::string FileCabSize(const AListFiles& file) { return file.Entry ? SizeText(file.Entry->Size) : " "; }

std::string FileCabDate(const AListFiles& file) {
  return file.Entry ? DosDateText(file.Entry->DosDate, file.Entry->DosTime) : " ";
}

std::string FileDirText(const TSetupInfo& info, const AListFiles& file) {
  const AListDir* dir = info.findDir(file.DirId);
  return dir ? "(" + IdText3(file.DirId) + ") " + dir->Path : std::string();
}

std::string FileTypeText(const AListFiles& file) {
  std::string_view ext = ExtensionOf(file.Name);
  if (!ext.empty()) ext.remove_prefix(1);
  return LowerCp1252(ext);
}

std::string FileCopyLine(const AListFiles& file) {
  return InfFileName(file.Name) + ",,," + FlagsText(file.Flags & ~kFileSelfRegister);
}

std::vector<std::string> SelfRegisterNames(const TSetupInfo& info) {
  std::vector<std::string> names;
  for (const AListFiles& f : info.Files)
    if (f.Flags & kFileSelfRegister) names.push_back(InfFileName(f.Name));
  return names;
}

std::string SetupDllFileName(const SetupDllEntry& dll) { return ChangeExtension(dll.Name, ".dll"); }

std::string HiveRootText(const AListHive& hive) { return std::string(HiveRootName(hive.Root)); }

std::string HiveText(const TSetupInfo& info, const AListReg& key) {
  const AListHive* hive = info.findHive(key.HiveId);
  return hive ? "(" + IdText3(key.HiveId) + ") - " + HiveRootText(*hive) + "\\" + hive->Path : std::string();
}

std::string RegTypeText(const AListReg& key) { return std::string(RegTypeName(key.Flags)); }

std::string RegRawValueText(const AListReg& key) {
  const std::string_view type = RegTypeName(key.Flags);
  if (type == "REG_SZ") return std::string(RegSzText(key.Data));
  if (type == "REG_BINARY") {
    std::string hex;
    for (char b : key.Data) hex += Format("%02X", static_cast<unsigned char>(b));
    return hex;
  }
  if (type == "REG_MULTI_SZ") {
    std::string joined;
    for (std::string_view item : RegMultiSzTexts(key.Data)) {
      if (!joined.empty()) joined += ',';
      joined += '"';
      joined += item;
      joined += '"';
    }
    return joined;
  }
  uint32_t dword = 0;
  if (type == "REG_DWORD" && RegDwordValue(key.Data, dword)) return Format("%08X", dword);
  return {};
}

std::string RegValueText(const TSetupInfo& info, const AListReg& key) {
  return ReplaceAll(Expand(RegRawValueText(key)), "%InstallDir%", info.InstallDirExpanded);
}

std::string RegNoteText(const TSetupInfo& info, const AListReg& key) {
  static const char* const kThemeNames[] = {"tdywaterPct",      "stwaterPct", "tdywaterLightDark",
                                            "stwaterLightDark", "tdywater",   "stwater"};
  if (key.Name == "42" && RegValueText(info, key) == "6D736674") return "\"msft\"";
  if (std::find(std::begin(kThemeNames), std::end(kThemeNames), key.Name) != std::end(kThemeNames))
    return "Theme Generator Microsoft";
  return {};
}

std::string ShortcutKindText(const AListRac& shortcut) {
  switch (shortcut.Kind) {
    case 0: return Str(MainStr::TabDirectories);
    case 1: return Str(MainStr::LblFile);
    default: return "?";
  }
}

std::optional<std::string> ShortcutTargetName(const TSetupInfo& info, const AListRac& shortcut) {
  if (shortcut.Kind == 0) {
    if (const AListDir* dir = info.findDir(shortcut.TargetId)) return dir->Path;
  } else if (shortcut.Kind == 1) {
    if (const AListFiles* file = info.findFile(shortcut.TargetId)) return InfFileName(file->Name);
    // The setup DLL stands for file 999 when the description has files.
    if (shortcut.TargetId == 999 && info.SetupDll.present() && !info.Files.empty())
      return SetupDllFileName(info.SetupDll);
  }
  return std::nullopt;
}

std::string ShortcutTargetText(const TSetupInfo& info, const AListRac& shortcut) {
  if (const auto name = ShortcutTargetName(info, shortcut)) return "(" + IdText3(shortcut.TargetId) + ") " + *name;
  return shortcut.Kind == 0 ? std::string() : "?";
}

}  // namespace vornix
