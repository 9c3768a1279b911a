#include "app/json_theme.h"

#include "app/json_text.h"
#include "common/text.h"

using nlohmann::json;

namespace vornix {
namespace {

json Colour(const TCoulTdRGB& c) {
  if (!c.Present) return nullptr;
  // Each part as two upper-case hexadecimal digits.
  return {{"Binary", c.Binary}, {"R", Format("%02X", c.R)}, {"G", Format("%02X", c.G)}, {"B", Format("%02X", c.B)},
          {"Value", c.value()}};
}

json Optional(bool set, int32_t value) { return set ? json(value) : json(nullptr); }

}  // namespace

json ThemeJson(const ThemeAnalysis& a, const Error* error) {
  const TTSKRec& r = a.Rec;
  json j;
  j["Found"] = error == nullptr;
  if (error && !error->Message.empty()) j["Error"] = JsonText(error->Message);
  j["AppName"] = JsonText(r.AppName);
  j["ThemeName"] = JsonText(r.ThemeName);
  j["Provider"] = JsonText(r.Provider);
  j["UnsupportedPlatforms"] = JsonText(r.UnsupportedPlatforms);
  j["ProcessorType"] = JsonText(r.ProcessorType);
  j["VersionMin"] = JsonText(r.VersionMin);
  j["VersionMax"] = JsonText(r.VersionMax);
  j["BuildMin"] = JsonText(r.BuildMin);
  j["BuildMax"] = JsonText(r.BuildMax);
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
      {"TodayPortrait", {{"CabName", JsonText(r.TodayImgP)}, {"File", JsonText(r.TodayFileP)}}},
      {"StartPortrait", {{"CabName", JsonText(r.StartImgP)}, {"File", JsonText(r.StartFileP)}}},
      {"TodayLandscape", {{"CabName", JsonText(r.TodayImgL)}, {"File", JsonText(r.TodayFileL)}}},
      {"StartLandscape", {{"CabName", JsonText(r.StartImgL)}, {"File", JsonText(r.StartFileL)}}},
  };
  j["Has000"] = r.Has000;
  j["HasXML"] = r.HasXML;
  json warnings = json::array();
  for (const std::string& w : a.Warnings) warnings.push_back(JsonText(w));
  j["Warnings"] = std::move(warnings);
  return j;
}

}  // namespace vornix
