#include "app/json_theme.h"

#include <charconv>

#include "common/text.h"

namespace vornix {
namespace {

Json Colour(const TCoulTdRGB& c) {
  const uint32_t value = c.value();
  return {{"r", value & 0xFF},
          {"g", (value >> 8) & 0xFF},
          {"b", (value >> 16) & 0xFF},
          {"value", value},
          {"binary", c.Binary}};
}

Json Optional(bool set, int32_t value) { return set ? Json(value) : Json(nullptr); }

// The record keeps the header's values as the description writes them; a
// text that is no number (only an XML description can hold one) is null.
Json Number(const std::string& text) {
  int32_t n = 0;
  const char* end = text.data() + text.size();
  const auto [at, ec] = std::from_chars(text.data(), end, n);
  return ec == std::errc() && at == end && !text.empty() ? Json(n) : Json(nullptr);
}

Json Version(const std::string& text) {
  const size_t dot = text.find('.');
  if (dot == std::string::npos) return nullptr;
  const Json major = Number(text.substr(0, dot)), minor = Number(text.substr(dot + 1));
  return major.is_null() || minor.is_null() ? Json(nullptr) : Json::array({major, minor});
}

// "\"HPC\",\"JUPITER\"" as its names.
Json Platforms(const std::string& joined) {
  Json names = Json::array();
  size_t at = 0;
  while (at < joined.size()) {
    size_t comma = joined.find(',', at);
    if (comma == std::string::npos) comma = joined.size();
    std::string name = joined.substr(at, comma - at);
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
    if (!name.empty()) names.push_back(JsonText(name));
    at = comma + 1;
  }
  return names;
}

Json Image(const std::string& storedName, const std::string& installedName) {
  if (storedName.empty() && installedName.empty()) return nullptr;
  return {{"stored_name", JsonText(storedName)}, {"installed_name", JsonText(installedName)}};
}

}  // namespace

Json ThemeJson(const std::string& package, const ThemeAnalysis& a, const Error* error) {
  const TTSKRec& r = a.Rec;
  Json j = {{"format", kThemeFormat}, {"version", kThemeVersion}, {"package", package}};
  j["found"] = error == nullptr;
  j["has_setup"] = r.Has000;
  j["has_xml"] = r.HasXML;
  j["app_name"] = JsonText(r.AppName);
  j["theme_name"] = JsonText(r.ThemeName);
  j["provider"] = JsonText(r.Provider);
  j["unsupported_platforms"] = Platforms(r.UnsupportedPlatforms);
  j["processor"] = Number(r.ProcessorType);
  j["os_version_min"] = Version(r.VersionMin);
  j["os_version_max"] = Version(r.VersionMax);
  j["build_min"] = Number(r.BuildMin);
  j["build_max"] = Number(r.BuildMax);
  j["resolution"] = {{"class", r.TSKIdx}, {"label", ResolutionLabel(r.TSKIdx)}};
  Json& colours = j["colors"] = Json::array();
  for (size_t i = 0; i < r.Colors.size(); ++i)
    if (r.Colors[i].Present) {
      Json c = {{"number", static_cast<int>(i) + kFirstColour}};
      c.update(Colour(r.Colors[i]));
      colours.push_back(std::move(c));
    }
  Json& special = j["special_colors"] = Json::object();
  for (size_t i = 0; i < r.SpecColors.size(); ++i)
    if (r.SpecColors[i].Present) special[kSpecialColourNames[i]] = Colour(r.SpecColors[i]);
  j["default_title_color"] = Optional(r.DefTitleColorSet, r.DefTitleColor);
  j["base_hue"] = Optional(r.BaseHueSet, r.BaseHue);
  j["dpi"] = Optional(r.DPISet, r.DPI);
  j["use_start_image"] = r.UseStartImageSet;
  j["images"] = {{"today_portrait", Image(r.TodayImgP, r.TodayFileP)},
                 {"start_portrait", Image(r.StartImgP, r.StartFileP)},
                 {"today_landscape", Image(r.TodayImgL, r.TodayFileL)},
                 {"start_landscape", Image(r.StartImgL, r.StartFileL)}};
  j["warnings"] = JsonTexts(a.Warnings);
  if (error) j["error"] = package + " : " + Cp1252ToUtf8(error->Message.empty() ? "not a theme" : error->Message);
  return j;
}

}  // namespace vornix
