#include "package/temp_folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

#include "presentation/catalogue.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

constexpr std::string_view kPrefix = "vornix-";

fs::path TempBase() {
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  return ec ? fs::path("/tmp") : base;
}

// "vornix-" and the six letters or digits mkdtemp puts in.
bool IsFolderName(std::string_view name) {
  if (name.size() != kPrefix.size() + 6 || !name.starts_with(kPrefix)) return false;
  for (char c : name.substr(kPrefix.size()))
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
  return true;
}

// `name` in `base` looks like a folder of ours that nobody holds: this user's,
// private, with one of the two folders in it, not changed for a minute (a
// run locks its folder right after making it: the minute covers the moment
// between), and lockable now.
bool IsLeftover(int base, const char* name, int& lock) {
  struct stat info {};
  if (fstatat(base, name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(info.st_mode)) return false;
  if (info.st_uid != geteuid() || (info.st_mode & 07777) != 0700) return false;
  if (info.st_mtime > std::time(nullptr) - 60) return false;
  lock = openat(base, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (lock < 0) return false;
  struct stat inside {};
  const bool ours = fstatat(lock, "VornixView", &inside, AT_SYMLINK_NOFOLLOW) == 0 ||
                    fstatat(lock, "VornixOpen", &inside, AT_SYMLINK_NOFOLLOW) == 0;
  if (ours && flock(lock, LOCK_EX | LOCK_NB) == 0) return true;
  close(lock);
  lock = -1;
  return false;
}

}  // namespace

void TempFolders::RemoveLeftovers() {
  const fs::path base = TempBase();
  DIR* listing = opendir(base.c_str());
  if (!listing) return;
  std::vector<std::string> names;
  while (const dirent* e = readdir(listing))
    if (IsFolderName(e->d_name)) names.emplace_back(e->d_name);
  for (const std::string& name : names) {
    int lock = -1;
    if (!IsLeftover(dirfd(listing), name.c_str(), lock)) continue;
    // Removed while locked: a run sweeping at the same time leaves it alone.
    std::error_code ec;
    fs::remove_all(base / name, ec);
    close(lock);
  }
  closedir(listing);
}

Result<TempFolders> TempFolders::Prepare() {
  std::error_code ec;
  const fs::path base = TempBase();
  // mkdtemp makes the folder with mode 0700: private to this user and process.
  std::string pattern = (base / "vornix-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    return MakeError(ErrorCode::CannotOpen,
                     "Cannot create a temporary folder in " + base.string() + " : " + std::strerror(errno));
  }
  TempFolders folders;
  folders.m_root = pattern;
  // Held to the end: a descriptor children never inherit past their exec.
  folders.m_lock = open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folders.m_lock >= 0 && flock(folders.m_lock, LOCK_EX | LOCK_NB) != 0) folders.unlock();
  folders.m_view = folders.m_root / "VornixView";
  folders.m_open = folders.m_root / "VornixOpen";
  fs::create_directory(folders.m_view, ec);
  if (!ec) fs::create_directory(folders.m_open, ec);
  if (ec) {
    // The destructor of `folders` removes what was made.
    return MakeError(ErrorCode::CannotOpen, "Cannot create " + folders.m_view.string() + " : " + ec.message());
  }
  return folders;
}

TempFolders::TempFolders(TempFolders&& other) noexcept
    : m_root(std::move(other.m_root)),
      m_view(std::move(other.m_view)),
      m_open(std::move(other.m_open)),
      m_lock(other.m_lock) {
  other.m_root.clear();
  other.m_lock = -1;
}

TempFolders& TempFolders::operator=(TempFolders&& other) noexcept {
  if (this != &other) {
    RemoveTempFolders();
    m_root = std::move(other.m_root);
    m_view = std::move(other.m_view);
    m_open = std::move(other.m_open);
    unlock();
    m_lock = other.m_lock;
    other.m_root.clear();
    other.m_lock = -1;
  }
  return *this;
}

TempFolders::~TempFolders() {
  RemoveTempFolders();
  unlock();
}

void TempFolders::unlock() {
  if (m_lock >= 0) close(m_lock);
  m_lock = -1;
}

void TempFolders::EmptyBoth(UserInterface& ui) {
  for (const fs::path& folder : {m_view, m_open}) {
    std::error_code ec;
    bool failed = false;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code one;
      if (!it->is_directory(one)) {
        fs::remove(it->path(), one);
        if (one) failed = true;
      }
    }
    if (ec || failed) ui.warn(Str(MainStr::MsgFolderDestroyed), Str(MainStr::MsgIncomplete));
  }
}

bool TempFolders::RemoveTempFolders() {
  if (m_root.empty()) return true;
  std::error_code ec;
  fs::remove_all(m_root, ec);
  if (!ec) m_root.clear();
  return !ec;
}

}  // namespace vornix
