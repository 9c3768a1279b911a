// The head every rebuilt INF begins with, whatever it is rebuilt from (a
// ".000" setup file, a "_setup.xml" document, a theme).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vornix {

/// The provider the INFs of XML descriptions and themes name.
inline constexpr const char* kInfFixedProvider = "Tavrin";

/// The [Version] section naming `provider`, and the empty line after it.
std::vector<std::string> InfVersionSection(std::string_view provider);

}  // namespace vornix
