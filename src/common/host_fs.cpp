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

namespace {

std::string Folded(const std::string& hostName) { return LowerCp1252(Utf8ToCp1252(hostName)); }

// The move itself, refusing to replace: RENAME_NOREPLACE where the kernel has
// it, link() and unlink() elsewhere (link also refuses an existing target).
bool MoveNoReplace(const fs::path& from, const fs::path& to) {
#ifdef SYS_renameat2
  if (syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 1u) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
#endif
  if (::link(from.c_str(), to.c_str()) == 0) return ::unlink(from.c_str()) == 0;
  return false;
}

}  // namespace

std::unordered_set<std::string>& FolderNameIndex::namesOf(const fs::path& folder) {
  auto it = m_folders.find(folder.native());
  if (it != m_folders.end()) return it->second;
  std::unordered_set<std::string>& names = m_folders[folder.native()];
  std::error_code ec;
  for (fs::directory_iterator d(folder, ec), end; !ec && d != end; d.increment(ec))
    names.insert(Folded(d->path().filename().string()));
  return names;
}

bool FolderNameIndex::contains(const fs::path& folder, const std::string& name) {
  return namesOf(folder).count(Folded(name)) != 0;
}

void FolderNameIndex::add(const fs::path& folder, const std::string& name) { namesOf(folder).insert(Folded(name)); }

void FolderNameIndex::remove(const fs::path& folder, const std::string& name) { namesOf(folder).erase(Folded(name)); }

bool RenameNoReplace(const fs::path& from, const fs::path& to, FolderNameIndex* index) {
  std::error_code ec;
  // Only files are given their names: a folder or a link under a stored name
  // is never moved.
  if (!fs::is_regular_file(fs::symlink_status(from, ec))) return false;
  const fs::path toFolder = to.parent_path();
  const fs::path fromFolder = from.parent_path();
  const std::string toName = to.filename().string();
  const std::string fromName = from.filename().string();
  const std::string toFolded = Folded(toName);
  if (fromFolder == toFolder && Folded(fromName) == toFolded) {
    // A change of letter case only: the file is renamed onto itself.
    if (fromName == toName) return true;
    if (MoveNoReplace(from, to)) return true;
    // On a host that ignores case, `to` is `from` itself and only a plain
    // rename can change the spelling; anywhere else it is another file.
    return fs::equivalent(from, to, ec) && std::rename(from.c_str(), to.c_str()) == 0;
  }
  const bool taken = index ? index->contains(toFolder, toName) : FindNoCase(toFolder, toName).has_value();
  if (taken || !MoveNoReplace(from, to)) return false;
  if (index) {
    index->remove(fromFolder, fromName);
    index->add(toFolder, toName);
  }
  return true;
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
