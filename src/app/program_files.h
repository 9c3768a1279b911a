// Files installed with the batch executable that it loads or starts: the
// window's executable and the signature module.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vornix {

/// Where this executable really lies (symbolic links resolved); argv[0] when
/// the system cannot tell; empty when neither can.
std::filesystem::path ExecutablePath(const char* argv0 = nullptr);

/// Where the installed file `name` may be, first to last, for the executable
/// at `self`: beside it (a build tree), then in `installedFromBin`, its
/// install folder relative to the bin folder (so a moved prefix still works).
std::vector<std::filesystem::path> ProgramFilePlaces(const std::filesystem::path& self, const std::string& name,
                                                     const std::string& installedFromBin);

/// "DIR1 or DIR2": the folders of `places`, for messages.
std::string FoldersOf(const std::vector<std::filesystem::path>& places);

}  // namespace vornix
