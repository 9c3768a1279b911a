// Writes the formatted report as an RTF document (the form the report is
// saved in, also under a ".doc" name).
#pragma once

#include <string>
#include <string_view>

#include "presentation/report.h"

namespace vornix {

/// The report as RTF: Windows-1252 text, labels bold in the report's label
/// colour, values black, tab stops in twips, the INF in the INF font.
std::string WriteRtf(const Report& report);

/// Windows-1252 text escaped for an RTF body: backslash and braces escaped,
/// tabs as \tab, other control bytes and bytes above 0x7F as \'hh.
std::string RtfEscape(std::string_view text);

}  // namespace vornix
