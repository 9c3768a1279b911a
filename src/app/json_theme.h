// The theme record as a JSON document for scripts (`vornix --theme-json`):
// format "vornix-theme", version 1, described by
// docs/vornix-theme.schema.json, with the conventions of the analysis.
#pragma once

#include <string>

#include "app/json_text.h"
#include "theme/theme.h"

namespace vornix {

inline constexpr const char* kThemeFormat = "vornix-theme";
inline constexpr int kThemeVersion = 1;

/// The record's fields (colours as numbers), the resolution class with its
/// label, which descriptions the package holds, and the warnings.
/// With `error`, the document of a theme that could not be read: "found"
/// false and the "error" naming the package and why.
Json ThemeJson(const std::string& package, const ThemeAnalysis& analysis, const Error* error = nullptr);

}  // namespace vornix
