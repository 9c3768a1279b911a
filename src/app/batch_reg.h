// The registry export of the batch mode.
#pragma once

#include <string>

namespace vornix {

/// Writes the bytes of a ".reg" file beside PACKAGE, named after the
/// application (or the package when it has no name); 0, or 1 with the reason
/// on stderr.
int WriteRegBeside(const std::string& package, const std::string& appName, const std::string& bytes);

}  // namespace vornix
