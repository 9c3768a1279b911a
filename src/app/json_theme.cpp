#include "app/json_theme.h"

#include "common/text.h"

using nlohmann::json;

namespace vornix {
namespace {

json Text(const std::string& cp1252) { return Cp1252ToUtf8(cp1252); }

json Colour(const TCoulTdRGB& c) {
  if (!c.Present) return nullptr;
  return {{"Binary", c.Binary}, {"R", c.R}, {"G", c.G}, {"B", c.B}, {"Value", c.value()}};
}

json Optional(bool set, int32_t value) { return set ? json(value) : json(nullptr); }

}  // namespace

json ThemeJson(const ThemeAnalysis& a) {
  const TTSKRec& r = a.Rec;
  json j;
  j["Found"] = a.Found;
  if (!a.Error.empty()) j["Error"] = Text(a.Error);
  j["AppName"] = Text(r.AppName);
  j["ThemeName"] = Text(r.ThemeName);
  j["Provider"] = Text(r.Provider);
  j["UnsupportedPlatforms"] = Text(r.UnsupportedPlatforms);
  j["ProcessorType"] = Text(r.ProcessorType);
  j["VersionMin"] = Text(r.VersionMin);
  j["VersionMax"] = Text(r.VersionMax);
  j["BuildMin"] = Text(r.BuildMin);
  j["BuildMax"] = Text(r.BuildMax);
  j["TSKIdx"] = r.TSKIdx;
  j["Resolution"] = ResolutionLabel(r.TSKIdx);
  j["HasColors"] = r.HasColors;
  json colours = json::object();
  for (size_t i = 0; i < r.Colors.size(); ++i)
    if (r.Colors[i].Present) colours[std::to_string(i + kFirstColour)] = Colour(r.Colors[i]);
  j["Colors"] = std::move(colours);
  j["HasTodaySub"] = r.HasTodaySub;
  json special = json::object();
  for (size_t i = 0; i < r.SpecColors.size(); ++i)
    if (r.SpecColors[i].Present) special[kSpecialColourNames[i]] = Colour(r.SpecColors[i]);
  j["SpecColors"] = std::move(special);
  j["DefTitleColor"] = Optional(r.DefTitleColorSet, r.DefTitleColor);
  j["BaseHue"] = Optional(r.BaseHueSet, r.BaseHue);
  j["DPI"] = Optional(r.DPISet, r.DPI);
  j["UseStartImageSet"] = r.UseStartImageSet;
  j["UseStartImage"] = r.UseStartImage;
  j["Images"] = {
      {"TodayPortrait", {{"CabName", Text(r.TodayImgP)}, {"File", Text(r.TodayFileP)}}},
      {"StartPortrait", {{"CabName", Text(r.StartImgP)}, {"File", Text(r.StartFileP)}}},
      {"TodayLandscape", {{"CabName", Text(r.TodayImgL)}, {"File", Text(r.TodayFileL)}}},
      {"StartLandscape", {{"CabName", Text(r.StartImgL)}, {"File", Text(r.StartFileL)}}},
  };
  j["Has000"] = r.Has000;
  j["HasXML"] = r.HasXML;
  json warnings = json::array();
  for (const std::string& w : a.Warnings) warnings.push_back(Text(w));
  j["Warnings"] = std::move(warnings);
  return j;
}

}  // namespace vornix
