#include "common/host_fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
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
      // A link is not a folder: it is never descended through.
      if (!fs::is_directory(fs::symlink_status(*existing, ec))) return std::nullopt;
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

}  // namespace

const std::string* FoldedNames::find(const std::string& name) const {
  const auto it = m_names.find(Folded(name));
  return it == m_names.end() ? nullptr : &it->second;
}

void FoldedNames::addListed(const std::string& name) { m_names.emplace(Folded(name), name); }

void FoldedNames::add(const std::string& name) { m_names[Folded(name)] = name; }

void FoldedNames::remove(const std::string& name) { m_names.erase(Folded(name)); }

FoldedNames& FolderNameIndex::namesIn(const fs::path& folder) {
  auto [it, fresh] = m_folders.try_emplace(folder.native());
  if (fresh) {
    std::error_code ec;
    for (fs::directory_iterator d(folder.empty() ? fs::path(".") : folder, ec), end; !ec && d != end; d.increment(ec))
      it->second.addListed(d->path().filename().string());
  }
  return it->second;
}

std::optional<fs::path> FolderNameIndex::find(const fs::path& file) {
  const std::string* existing = namesIn(file.parent_path()).find(file.filename().string());
  if (!existing) return std::nullopt;
  return file.parent_path() / *existing;
}

void FolderNameIndex::added(const fs::path& file) { namesIn(file.parent_path()).add(file.filename().string()); }

void FolderNameIndex::removed(const fs::path& file) { namesIn(file.parent_path()).remove(file.filename().string()); }

std::string PathText(const fs::path& path) { return Utf8ToCp1252(path.string()); }

fs::path HostPath(std::string_view cp1252) { return fs::path(Cp1252ToUtf8(cp1252)); }

// ---------------------------------------------------------------------------
// Folders held by descriptor

namespace {

constexpr unsigned kRenameNoReplace = 1u;  // RENAME_NOREPLACE

int RenameAtNoReplace(int fromFd, const char* from, int toFd, const char* to) {
#ifdef SYS_renameat2
  if (syscall(SYS_renameat2, fromFd, from, toFd, to, kRenameNoReplace) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
  // Without renameat2: link refuses an existing target too.
  if (::linkat(fromFd, from, toFd, to, 0) != 0) return errno;
  if (::unlinkat(fromFd, from, 0) != 0) return errno;
  return 0;
}

// Writes all of `bytes`; 0 or the errno.
int WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(fd, data, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += put;
    size -= static_cast<size_t>(put);
  }
  return 0;
}

}  // namespace

struct HostFolder::State {
  int fd = -1;
  fs::path path;
  std::optional<FoldedNames> names;  // read on first use

  ~State() {
    if (fd >= 0) ::close(fd);
  }

  FoldedNames& index() {
    if (names) return *names;
    names.emplace();
    const int copy = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (copy < 0) return *names;
    DIR* dir = ::fdopendir(copy);
    if (!dir) {
      ::close(copy);
      return *names;
    }
    while (const dirent* e = ::readdir(dir)) {
      const std::string_view n = e->d_name;
      if (n == "." || n == "..") continue;
      names->addListed(std::string(n));
    }
    ::closedir(dir);
    return *names;
  }
};

HostFolder HostFolder::Adopt(int fd, fs::path path) {
  HostFolder folder;
  folder.m_state = std::make_shared<State>();
  folder.m_state->fd = fd;
  folder.m_state->path = std::move(path);
  return folder;
}

HostFolder HostFolder::Open(const fs::path& path, int* error) {
  const int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = errno;
    return {};
  }
  return Adopt(fd, path);
}

int HostFolder::fd() const { return m_state ? m_state->fd : -1; }

const fs::path& HostFolder::path() const {
  static const fs::path kNone;
  return m_state ? m_state->path : kNone;
}

std::optional<std::string> HostFolder::findNoCase(const std::string& name) const {
  if (!m_state) return std::nullopt;
  const std::string* existing = m_state->index().find(name);
  if (!existing) return std::nullopt;
  return *existing;
}

void HostFolder::added(const std::string& name) const {
  if (m_state && m_state->names) m_state->names->add(name);
}

void HostFolder::knownEmpty() const {
  if (m_state && !m_state->names) m_state->names.emplace();
}

void HostFolder::removed(const std::string& name) const {
  if (m_state && m_state->names) m_state->names->remove(name);
}

HostFolder HostFolder::sub(const fs::path& relative, bool create, int* error) const {
  std::vector<std::pair<HostFolder, std::string>> made;  // levels this call created
  auto fail = [&](int cause) {
    for (auto it = made.rbegin(); it != made.rend(); ++it) {
      if (::unlinkat(it->first.fd(), it->second.c_str(), AT_REMOVEDIR) == 0) it->first.removed(it->second);
    }
    if (error) *error = cause;
    return HostFolder{};
  };
  if (!m_state) return fail(EBADF);
  // Refused before anything is made: a path the host cannot use as a whole.
  if (!FitsPathLimit(path() / relative)) return fail(ENAMETOOLONG);
  for (const fs::path& part : relative) {
    if (part.native().size() > NAME_MAX) return fail(ENAMETOOLONG);
  }
  HostFolder current = *this;
  for (const fs::path& part : relative) {
    const std::string name = part.string();
    if (name.empty() || name == ".") continue;
    if (name == "..") return fail(EINVAL);
    std::string actual = name;
    bool madeNow = false;
    if (const auto existing = current.findNoCase(name)) {
      actual = *existing;
    } else {
      if (!create) return fail(ENOENT);
      if (::mkdirat(current.fd(), name.c_str(), 0777) != 0) return fail(errno);
      made.emplace_back(current, name);
      current.added(name);
      madeNow = true;
    }
    const int fd = ::openat(current.fd(), actual.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    // O_NOFOLLOW turns a link into ELOOP: for extraction it is simply not a folder.
    if (fd < 0) return fail(errno == ELOOP ? ENOTDIR : errno);
    current = Adopt(fd, current.path() / actual);
    if (madeNow) current.knownEmpty();
  }
  return current;
}

int MoveNoReplace(const HostFolder& from, const std::string& fromName, const HostFolder& to,
                  const std::string& toName) {
  struct stat st;
  if (::fstatat(from.fd(), fromName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  // Only files are given names: a folder or a link is never moved.
  if (!S_ISREG(st.st_mode)) return EINVAL;
  const bool sameFolder = from.fd() == to.fd();
  if (sameFolder && Folded(fromName) == Folded(toName)) {
    // A change of letter case only.
    if (fromName == toName) return 0;
    const int moved = RenameAtNoReplace(from.fd(), fromName.c_str(), to.fd(), toName.c_str());
    if (moved != EEXIST) {
      if (moved == 0) {
        from.removed(fromName);
        to.added(toName);
      }
      return moved;
    }
    // On a host that ignores case, `toName` is the file itself and only a
    // plain rename can change the spelling; anywhere else it is another file.
    struct stat other;
    if (::fstatat(to.fd(), toName.c_str(), &other, AT_SYMLINK_NOFOLLOW) != 0 || other.st_ino != st.st_ino ||
        other.st_dev != st.st_dev)
      return EEXIST;
    if (::renameat(from.fd(), fromName.c_str(), to.fd(), toName.c_str()) != 0) return errno;
    to.added(toName);
    return 0;
  }
  if (to.findNoCase(toName)) return EEXIST;
  const int moved = RenameAtNoReplace(from.fd(), fromName.c_str(), to.fd(), toName.c_str());
  if (moved != 0) return moved;
  from.removed(fromName);
  to.added(toName);
  return 0;
}

int CopyNoReplace(const HostFolder& from, const std::string& fromName, const HostFolder& to,
                  const std::string& toName) {
  if (to.findNoCase(toName)) return EEXIST;
  const int in = ::openat(from.fd(), fromName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (in < 0) return errno;
  struct stat st;
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int cause = errno ? errno : EINVAL;
    ::close(in);
    return cause;
  }
  const int out = ::openat(to.fd(), toName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (out < 0) {
    const int cause = errno;
    ::close(in);
    return cause;
  }
  int cause = 0;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) cause = errno;
    if (got <= 0) break;
    if ((cause = WriteAll(out, buffer, static_cast<size_t>(got))) != 0) break;
  }
  if (cause == 0) {
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, times);
  }
  if (::close(out) != 0 && cause == 0) cause = errno;
  ::close(in);
  if (cause != 0) {
    ::unlinkat(to.fd(), toName.c_str(), 0);
    return cause;
  }
  to.added(toName);
  return 0;
}

int WriteReplacing(const HostFolder& folder, const std::string& name, std::string_view bytes) {
  if (!folder.isOpen()) return EBADF;
  // Nothing of that name yet (the usual case): there is no earlier file to
  // keep whole, so the file is written in place, and taken away again when
  // it cannot be written whole.
  if (const int fresh = ::openat(folder.fd(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      fresh >= 0) {
    int cause = WriteAll(fresh, bytes.data(), bytes.size());
    if (::close(fresh) != 0 && cause == 0) cause = errno;
    if (cause != 0) {
      ::unlinkat(folder.fd(), name.c_str(), 0);
      return cause;
    }
    folder.added(name);
    return 0;
  } else if (errno != EEXIST) {
    return errno;
  }
  static std::atomic<unsigned> counter{0};
  std::string temporary;
  int fd = -1;
  // A short name of its own: one derived from `name` could be too long where `name` is not.
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = Format(".vornix-%d-%u.tmp", static_cast<int>(::getpid()), counter.fetch_add(1));
    fd = ::openat(folder.fd(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return errno;
  }
  if (fd < 0) return EEXIST;
  int cause = WriteAll(fd, bytes.data(), bytes.size());
  if (::close(fd) != 0 && cause == 0) cause = errno;
  if (cause == 0 && ::renameat(folder.fd(), temporary.c_str(), folder.fd(), name.c_str()) != 0) cause = errno;
  if (cause != 0) {
    ::unlinkat(folder.fd(), temporary.c_str(), 0);
    return cause;
  }
  folder.added(name);
  return 0;
}

std::string ErrorText(int error) { return std::strerror(error); }

bool FitsPathLimit(const fs::path& path) { return path.native().size() < PATH_MAX; }

bool WriteFileBytes(const fs::path& path, std::string_view bytes, std::string* error) {
  int cause = 0;
  const fs::path folderPath = path.has_parent_path() ? path.parent_path() : fs::path(".");
  const HostFolder folder = HostFolder::Open(folderPath, &cause);
  if (folder.isOpen()) cause = WriteReplacing(folder, path.filename().string(), bytes);
  if (cause != 0 && error) *error = ErrorText(cause);
  return cause == 0;
}

std::optional<std::string> ReadFileBytes(const fs::path& path, uint64_t maxBytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<uint64_t>(size) > maxBytes) return std::nullopt;
  in.seekg(0, std::ios::beg);
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!in.read(bytes.data(), size)) return std::nullopt;
  return bytes;
}

}  // namespace vornix
