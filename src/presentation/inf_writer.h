// Rebuilds the INF file a cabinet could have been made from.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "setup/setup_info.h"

namespace vornix {

/// The INF lines (Windows-1252, no line ends) for a read setup description.
std::vector<std::string> WriteInf(const TSetupInfo& info);

/// A REG_SZ value as the INF writes it: unknown '%' doubled, '"' tripled,
/// quoted when it ends in '\' or holds ','.
std::string InfEscapeString(std::string_view value);

/// A REG_MULTI_SZ value: its texts, each escaped as a REG_SZ, joined by ",".
std::string InfEscapeMultiString(const std::vector<std::string_view>& texts);

/// The comment after "BuildMax" for a maximal build that stands for screen
/// support: one of the three screen texts, or empty.
std::string BuildMaxComment(uint32_t build);

/// The INF text as saved to a file: every line followed by CR LF.
std::string InfFileText(const std::vector<std::string>& lines);

/// The marker written after the source-file line of a duplicate name.
inline constexpr const char* kDuplicateMarker = "    ; !!!!!! - /!\\ Duplicate /!\\ - !!!!!!";

}  // namespace vornix
