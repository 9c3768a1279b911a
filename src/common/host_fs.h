// Host file-system steps that behave the same on every host: names read from
// a package never leave the chosen folder, folders are matched without regard
// to letter case (as on the device), and renames never replace a file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

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
                                                         const std::filesystem::path& relative, bool create);

/// An entry of `folder` whose name equals `name` without regard to letter
/// case (Windows-1252 folding of the UTF-8 names), if any.
std::optional<std::filesystem::path> FindNoCase(const std::filesystem::path& folder, const std::string& name);

/// The names in one folder, each under its letter-case folding (Windows-1252
/// folding of the UTF-8 names, as the device folds them), as they exist.
class FoldedNames {
 public:
  /// The existing name that equals `name` without regard to letter case.
  const std::string* find(const std::string& name) const;
  /// A name read from the folder's listing: of two that differ in case only,
  /// the first one read stays.
  void addListed(const std::string& name);
  /// A name just given: it replaces one that differs in case only.
  void add(const std::string& name);
  void remove(const std::string& name);

 private:
  std::unordered_map<std::string, std::string> m_names;
};

/// The names of the folders a run writes to, each folder listed once, so
/// looking up thousands of names in one folder does not list it thousands of
/// times. Kept up to date by the caller through added() and removed().
class FolderNameIndex {
 public:
  /// The existing entry whose name equals the file's without regard to case.
  std::optional<std::filesystem::path> find(const std::filesystem::path& file);
  void added(const std::filesystem::path& file);
  void removed(const std::filesystem::path& file);

 private:
  FoldedNames& namesIn(const std::filesystem::path& folder);
  // Keyed by the native path text: comparing paths element by element costs
  // more than the lookups themselves.
  std::unordered_map<std::string, FoldedNames> m_folders;
};

/// A folder held open by its descriptor. Everything below it is reached level
/// by level relative to that descriptor and never through a symbolic link, so
/// what already lies in the folder cannot lead a write anywhere else, and a
/// folder cannot be swapped for a link between planning and writing. Copies
/// share the descriptor and the folder's index of names.
class HostFolder {
 public:
  HostFolder() = default;

  /// The folder the user chose. Links on the way to it are the user's own and
  /// are followed; below it, none is. Not open on failure, `error` the errno.
  static HostFolder Open(const std::filesystem::path& path, int* error = nullptr);

  bool isOpen() const { return m_state != nullptr; }
  int fd() const;
  /// Its host path, for messages.
  const std::filesystem::path& path() const;

  /// The folder `relative` below this one. Each level reuses an entry that
  /// exists under another letter case; a link or a file where a folder is
  /// wanted is not a folder (ENOTDIR). With `create`, missing levels are made,
  /// and taken away again when a later level fails, so a path that cannot be
  /// placed leaves nothing behind. Not open on failure, `error` the errno.
  HostFolder sub(const std::filesystem::path& relative, bool create, int* error = nullptr) const;

  /// The name of the entry that matches `name` without regard to letter case.
  std::optional<std::string> findNoCase(const std::string& name) const;
  /// Keep the index of names right after a change made through the descriptor.
  void added(const std::string& name) const;
  /// The caller made this folder a moment ago: it holds no name yet that
  /// findNoCase need know, so it is not read. (A name someone else adds
  /// meanwhile is still never replaced: moves and creations are exclusive.)
  void knownEmpty() const;
  void removed(const std::string& name) const;

 private:
  struct State;
  static HostFolder Adopt(int fd, std::filesystem::path path);
  std::shared_ptr<State> m_state;
};

/// Moves the regular file `fromName` of `from` to `toName` in `to` without
/// ever replacing anything: 0, EEXIST when the name is taken in any letter
/// case (unless by the file itself: a change of case only), or the errno of
/// the failure. Links and folders are never moved.
int MoveNoReplace(const HostFolder& from, const std::string& fromName, const HostFolder& to, const std::string& toName);

/// Copies the regular file `fromName` of `from` to a new file `toName` in
/// `to` (an exclusive create, never through a link), with its modification
/// time: 0, EEXIST when the name is taken in any letter case, or the errno. A
/// copy that fails half-way is removed.
int CopyNoReplace(const HostFolder& from, const std::string& fromName, const HostFolder& to, const std::string& toName);

/// Writes `bytes` as `name` in `folder`, never through a link: a new file is
/// created exclusively; an existing name gets a new temporary file first,
/// renamed over it only when complete, so a failure leaves the earlier file
/// whole and a link of that name is replaced. A file that cannot be written
/// whole is removed. 0 or the errno.
int WriteReplacing(const HostFolder& folder, const std::string& name, std::string_view bytes);

/// The host's text for an errno value ("No space left on device").
std::string ErrorText(int error);

/// True when a host path is short enough to be used as a whole.
bool FitsPathLimit(const std::filesystem::path& path);

/// A host path (UTF-8) as display text in Windows-1252.
std::string PathText(const std::filesystem::path& path);
/// Windows-1252 text as a host path.
std::filesystem::path HostPath(std::string_view cp1252);

/// Writes bytes to a file through a temporary file in its folder (see
/// WriteReplacing); false on failure, with the cause in `error`.
bool WriteFileBytes(const std::filesystem::path& path, std::string_view bytes, std::string* error = nullptr);
/// Reads a whole file; nullopt on failure or when it holds more than `maxBytes`.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path, uint64_t maxBytes = UINT64_MAX);

}  // namespace vornix
