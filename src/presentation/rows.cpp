#include "presentation/rows.h"

#include "presentation/catalogue.h"
#include "common/text.h"

namespace vornix {

const std::string& ListRow::cell(size_t k) const {
  static const std::string kEmpty;
  return k < cells.size() ? cells[k] : kEmpty;
}

AnalysisLists BuildAnalysisLists(const TSetupInfo& s, const AnalysisContext& context) {
  AnalysisLists lists;
  auto general = [&](const std::string& label, const std::string& value) {
    lists.General.push_back({label, value});
  };
  general(Str(MainStr::LblSelectedFilename), context.PackagePath);
  general(Str(MainStr::LblInstallationFilename), context.SetupFileName);
  general(Str(MainStr::LblFileSize) + " (.000)",
          Format(Str(MainStr::LblBytes).c_str(), static_cast<int>(context.SetupFileSize)));
  general(Str(MainStr::LblProcessor), s.ProcessorText);
  general(Str(MainStr::LblFileSignature), s.Signature);
  general(Str(MainStr::LblMinimalWinCE), s.MinVersion);
  general(Str(MainStr::LblMaximalWinCE), s.MaxVersion);
  general(Str(MainStr::LblMinimalBuild), s.MinBuild);
  general(Str(MainStr::LblMaximalBuild), s.MaxBuild);
  general(Str(MainStr::TabStrings), Format("%zu", s.Strings.size()));
  general(Str(MainStr::TabDirectories), Format("%zu", s.Dirs.size()));
  general(Str(MainStr::TabFiles), Format("%zu", s.Files.size()));
  general(Str(MainStr::TabHives), Format("%zu", s.Hives.size()));
  general(Str(MainStr::TabRegistryKeys), Format("%zu", s.RegKeys.size()));
  general(Str(MainStr::TabShortcuts), Format("%zu", s.Shortcuts.size()));
  if (!s.AppName.empty()) general(Str(MainStr::LblApplicationName), s.AppName);
  if (!s.Provider.empty()) general(Str(MainStr::LblProvider), s.Provider);
  if (!s.UnsupportedPlatforms.empty()) general(Str(MainStr::LblUnsupportedPlatforms), s.UnsupportedPlatforms);
  if (s.SetupDll.present()) general(Str(MainStr::LblSetupFile), s.SetupDll.Name);

  for (const auto& c : s.Strings) lists.Strings.push_back({{c.IdText, c.Value, c.Equivalent}});
  for (const auto& d : s.Dirs) lists.Dirs.push_back({{d.IdText, d.IdPath, d.Path, d.RawPath}});
  for (const auto& f : s.Files)
    lists.Files.push_back(
        {{f.IdText, f.CabName, f.InfName, f.DirText, f.OrderText, f.FlagsText, f.CabSize, f.CabDate, f.TypeText}});
  if (s.SetupDll.present() && !s.Files.empty())
    lists.Files.push_back({{"999", s.SetupDll.Name, ChangeExtension(s.SetupDll.Name, ".dll"), kSetupDllMarker, "999",
                            "0x00000000", s.SetupDll.Size, s.SetupDll.Date, "dll"}});
  for (const auto& h : s.Hives) lists.Hives.push_back({{h.IdText, h.RootName, h.Path}});
  for (const auto& k : s.RegKeys)
    lists.RegKeys.push_back({{k.IdText, k.HiveText, k.TypeName, k.FlagsText, k.Name, k.Value, k.Note, k.RawValue}});
  for (const auto& r : s.Shortcuts)
    lists.Links.push_back({{Format("%u", r.Id), r.InstalledAt, r.KindText, r.TargetText, r.Name, r.InstalledAtRaw,
                            Format("%u", r.Kind), Format("%u", r.BaseDirId), r.OwnSection ? "1" : "0",
                            r.StandardFolder}});
  return lists;
}

}  // namespace vornix
