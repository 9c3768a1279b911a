// Host file-system steps that behave the same on every host: names read from
// a package never leave the chosen folder, folders are matched without regard
// to letter case (as on the device), and renames never replace a file.
#pragma once

#include <filesystem>
#include <unordered_map>
#include <unordered_set>
#include <optional>
#include <string>
#include <string_view>

namespace vornix {

/// A device path or stored name (Windows-1252, "\" or "/" separators) as a
/// relative host path, or nullopt when it could leave the folder it is put
/// under: a leading separator, a drive ("C:"), a ".." element, a NUL, a
/// control character, or nothing left at all. "." elements and doubled
/// separators are dropped.
std::optional<std::filesystem::path> SafeRelativePath(std::string_view devicePath);

/// The host path of `relative` below `base`, reusing at each level an entry
/// that already exists under another letter case. With `create`, missing
/// folders are made (all levels); returns nullopt when that fails or when an
/// existing element is not a folder.
std::optional<std::filesystem::path> ResolveFolderNoCase(const std::filesystem::path& base,
                                                         const std::filesystem::path& relative,
                                                         bool create);

/// An entry of `folder` whose name equals `name` without regard to letter
/// case (Windows-1252 folding of the UTF-8 names), if any.
std::optional<std::filesystem::path> FindNoCase(const std::filesystem::path& folder, const std::string& name);

/// The names of folders, folded to one letter case, listed once per folder
/// and kept up to date by RenameNoReplace, so that renaming thousands of
/// files in one folder does not list that folder thousands of times.
class FolderNameIndex {
 public:
  bool contains(const std::filesystem::path& folder, const std::string& name);
  void add(const std::filesystem::path& folder, const std::string& name);
  void remove(const std::filesystem::path& folder, const std::string& name);

 private:
  std::unordered_set<std::string>& namesOf(const std::filesystem::path& folder);
  // Keyed by the native path text: comparing paths element by element costs
  // more than the lookups themselves.
  std::unordered_map<std::string, std::unordered_set<std::string>> m_folders;
};

/// Renames `from` to `to` (same folder or not) without ever replacing
/// anything: fails when `to` exists under any letter case, unless that entry is
/// `from` itself (a change of case only), and when `from` is not a regular
/// file (folders and links are never moved). With an index, the folder of `to` is
/// looked up there instead of being listed again.
bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                     FolderNameIndex* index = nullptr);

/// A host path (UTF-8) as display text in Windows-1252.
std::string PathText(const std::filesystem::path& path);
/// Windows-1252 text as a host path.
std::filesystem::path HostPath(std::string_view cp1252);

/// Writes bytes to a file, replacing it; false on failure.
bool WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);
/// Reads a whole file; nullopt on failure.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path);

}  // namespace vornix
