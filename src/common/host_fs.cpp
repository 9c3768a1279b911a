#include "common/host_fs.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "common/text.h"

namespace fs = std::filesystem;

namespace vornix {

std::optional<fs::path> SafeRelativePath(std::string_view devicePath) {
  if (devicePath.empty()) return std::nullopt;
  if (devicePath.front() == '\\' || devicePath.front() == '/') return std::nullopt;
  fs::path out;
  size_t start = 0;
  while (start <= devicePath.size()) {
    size_t end = devicePath.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = devicePath.size();
    const std::string_view part = devicePath.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") return std::nullopt;
    for (char c : part) {
      if (static_cast<unsigned char>(c) < 0x20 || c == ':') return std::nullopt;
    }
    out /= fs::path(Cp1252ToUtf8(part));
  }
  if (out.empty()) return std::nullopt;
  return out;
}

std::optional<fs::path> FindNoCase(const fs::path& folder, const std::string& name) {
  std::error_code ec;
  const fs::path exact = folder / name;
  if (fs::symlink_status(exact, ec).type() != fs::file_type::not_found && !ec) return exact;
  const std::string wanted = Utf8ToCp1252(name);
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (EqualsNoCase(Utf8ToCp1252(it->path().filename().string()), wanted)) return it->path();
  }
  return std::nullopt;
}

std::optional<fs::path> ResolveFolderNoCase(const fs::path& base, const fs::path& relative, bool create) {
  fs::path current = base;
  std::error_code ec;
  for (const fs::path& part : relative) {
    const auto existing = FindNoCase(current, part.string());
    if (existing) {
      if (!fs::is_directory(*existing, ec)) return std::nullopt;
      current = *existing;
      continue;
    }
    current /= part;
    if (!create) continue;
    fs::create_directory(current, ec);
    if (ec) return std::nullopt;
  }
  return current;
}

bool RenameNoReplace(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(from, ec))) return false;
  if (const auto existing = FindNoCase(to.parent_path(), to.filename().string())) {
    if (!fs::equivalent(*existing, from, ec)) return false;
    if (*existing == to) return true;  // already has that very name
  }
#ifdef SYS_renameat2
  // RENAME_NOREPLACE closes the gap between the check above and the move.
  if (syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 1u) == 0) return true;
  if (errno == EEXIST) return false;
  if (errno != EINVAL && errno != ENOSYS) return false;
#endif
  // link() also refuses to replace; a case-only change needs a plain rename.
  if (::link(from.c_str(), to.c_str()) == 0) return ::unlink(from.c_str()) == 0;
  if (errno == EEXIST) {
    return fs::equivalent(from, to, ec) && std::rename(from.c_str(), to.c_str()) == 0;
  }
  return false;
}

std::string PathText(const fs::path& path) { return Utf8ToCp1252(path.string()); }

fs::path HostPath(std::string_view cp1252) { return fs::path(Cp1252ToUtf8(cp1252)); }

bool WriteFileBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

std::optional<std::string> ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

}  // namespace vornix
