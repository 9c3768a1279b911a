// What every part of the JSON output shares: the document type (its keys
// keep the order they are written in, so "format" and "version" come first),
// text conversion and dates.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace vornix {

using Json = nlohmann::ordered_json;

/// Windows-1252 model text as a JSON string (UTF-8).
Json JsonText(const std::string& cp1252);

/// A list of Windows-1252 texts as a JSON array of strings.
Json JsonTexts(const std::vector<std::string>& texts);

/// Stored DOS date and time words as ISO 8601 local time without a zone
/// ("2009-06-15T12:30:04"), as the cabinet keeps no zone; null for words that
/// name no real date or time (a zero date word, month 13, hour 25...).
Json JsonDosDate(uint16_t date, uint16_t time);

}  // namespace vornix
