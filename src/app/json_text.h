// Model text in JSON: the one conversion every part of the JSON output uses.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace vornix {

/// Windows-1252 model text as a JSON string (UTF-8).
nlohmann::json JsonText(const std::string& cp1252);

/// A list of Windows-1252 texts as a JSON array of strings.
nlohmann::json JsonTexts(const std::vector<std::string>& texts);

}  // namespace vornix
