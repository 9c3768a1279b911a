#include "presentation/rows.h"

#include "common/text.h"
#include "presentation/catalogue.h"
#include "presentation/display.h"

namespace vornix {

const std::string& ListRow::cell(size_t k) const {
  static const std::string kEmpty;
  return k < cells.size() ? cells[k] : kEmpty;
}

AnalysisLists BuildAnalysisLists(const TSetupInfo& s, const AnalysisContext& context) {
  AnalysisLists lists;
  auto general = [&](const std::string& label, const std::string& value) { lists.General.push_back({label, value}); };
  general(Str(MainStr::LblSelectedFilename), context.PackagePath);
  general(Str(MainStr::LblInstallationFilename), context.SetupFileName);
  general(Str(MainStr::LblFileSize) + " (.000)",
          Format(Str(MainStr::LblBytes).c_str(), static_cast<int>(context.SetupFileSize)));
  general(Str(MainStr::LblProcessor), ProcessorText(s.Header));
  general(Str(MainStr::LblFileSignature), s.Signature);
  general(Str(MainStr::LblMinimalWinCE), MinVersionText(s.Header));
  general(Str(MainStr::LblMaximalWinCE), MaxVersionText(s.Header));
  general(Str(MainStr::LblMinimalBuild), MinBuildText(s.Header));
  general(Str(MainStr::LblMaximalBuild), MaxBuildText(s.Header));
  general(Str(MainStr::TabStrings), Format("%zu", s.Strings.size()));
  general(Str(MainStr::TabDirectories), Format("%zu", s.Dirs.size()));
  general(Str(MainStr::TabFiles), Format("%zu", s.Files.size()));
  general(Str(MainStr::TabHives), Format("%zu", s.Hives.size()));
  general(Str(MainStr::TabRegistryKeys), Format("%zu", s.RegKeys.size()));
  general(Str(MainStr::TabShortcuts), Format("%zu", s.Shortcuts.size()));
  if (!s.AppName.empty()) general(Str(MainStr::LblApplicationName), s.AppName);
  if (!s.Provider.empty()) general(Str(MainStr::LblProvider), s.Provider);
  if (!s.UnsupportedPlatforms.empty())
    general(Str(MainStr::LblUnsupportedPlatforms), UnsupportedPlatformsText(s.UnsupportedPlatforms));
  if (s.SetupDll.present()) general(Str(MainStr::LblSetupFile), s.SetupDll.Name);

  for (const auto& c : s.Strings) lists.Strings.push_back({{IdText3(c.Id), c.Value, c.Equivalent}});
  for (const auto& d : s.Dirs) lists.Dirs.push_back({{IdText3(d.Id), DirIdPathText(d), d.Path, d.RawPath}});
  for (size_t k = 0; k < s.Files.size(); ++k) {
    const AListFiles& f = s.Files[k];
    lists.Files.push_back(
        {{IdText3(f.Id), FileCabName(s, f), InfFileName(f.Name), FileDirText(s, f), IdText3(f.OrderNumber),
          FlagsText(f.Flags), FileCabSize(f), FileCabDate(f), FileTypeText(f)},
         k});
  }
  if (s.SetupDll.present() && !s.Files.empty())
    lists.Files.push_back({{"999", s.SetupDll.Name, SetupDllFileName(s.SetupDll), kSetupDllMarker, "999", "0x00000000",
                            SizeText(s.SetupDll.Size), DosDateText(s.SetupDll.DosDate, s.SetupDll.DosTime), "dll"}});
  for (const auto& h : s.Hives) lists.Hives.push_back({{IdText3(h.Id), HiveRootText(h), h.Path}});
  for (const auto& k : s.RegKeys) {
    const std::string value = RegValueText(s, k);
    lists.RegKeys.push_back({{IdText3(k.Id), HiveText(s, k), RegTypeText(k), FlagsText(k.Flags), k.Name, value,
                              RegNoteText(s, k), RegRawValueText(k)}});
  }
  for (const auto& r : s.Shortcuts)
    lists.Links.push_back(
        {{Format("%u", r.Id), r.InstalledAt, ShortcutKindText(r), ShortcutTargetText(s, r), r.Name, r.InstalledAtRaw,
          Format("%u", r.Kind), Format("%u", r.BaseDirId), r.OwnSection ? "1" : "0", Format("%u", r.StandardFolder)}});
  return lists;
}

}  // namespace vornix
