// The theme record as JSON (`vornix --theme-json`).
#pragma once

#include <nlohmann/json.hpp>

#include "theme/theme.h"

namespace vornix {

/// Every field of TTSKRec (colours as their R, G, B digits), the resolution
/// class with its label, which description was read, and the warnings;
/// "Found" false and the "Error" when `error` says why it was not read.
nlohmann::json ThemeJson(const ThemeAnalysis& analysis, const Error* error = nullptr);

}  // namespace vornix
