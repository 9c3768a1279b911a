#include "package/temp_folders.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>

#include "presentation/catalogue.h"

namespace fs = std::filesystem;

namespace vornix {

Result<TempFolders> TempFolders::Prepare() {
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  if (ec) base = "/tmp";
  // mkdtemp makes the folder with mode 0700: private to this user and process.
  std::string pattern = (base / "vornix-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    return MakeError(ErrorCode::CannotOpen,
                     "Cannot create a temporary folder in " + base.string() + " : " + std::strerror(errno));
  }
  TempFolders folders;
  folders.m_root = pattern;
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
    : m_root(std::move(other.m_root)), m_view(std::move(other.m_view)), m_open(std::move(other.m_open)) {
  other.m_root.clear();
}

TempFolders& TempFolders::operator=(TempFolders&& other) noexcept {
  if (this != &other) {
    RemoveTempFolders();
    m_root = std::move(other.m_root);
    m_view = std::move(other.m_view);
    m_open = std::move(other.m_open);
    other.m_root.clear();
  }
  return *this;
}

TempFolders::~TempFolders() { RemoveTempFolders(); }

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
