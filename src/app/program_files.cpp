#include "app/program_files.h"

#include <cstring>
#include <system_error>

namespace fs = std::filesystem;

namespace vornix {

fs::path ExecutablePath(const char* argv0) {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec && self.is_absolute()) return self;
  if (argv0 && std::strchr(argv0, '/')) {
    self = fs::weakly_canonical(fs::absolute(argv0, ec), ec);
    if (!ec) return self;
  }
  return {};
}

std::vector<fs::path> ProgramFilePlaces(const fs::path& self, const std::string& name,
                                        const std::string& installedFromBin) {
  if (self.empty()) return {};
  const fs::path bin = self.parent_path();
  return {bin / name, (bin / installedFromBin / name).lexically_normal()};
}

std::string FoldersOf(const std::vector<fs::path>& places) {
  std::string folders;
  for (const fs::path& place : places) folders += (folders.empty() ? "" : " or ") + place.parent_path().string();
  return folders.empty() ? "a known folder" : folders;
}

}  // namespace vornix
