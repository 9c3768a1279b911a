#include "helpers/host_states.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vornix::testing {

TmpfsMount::TmpfsMount(const fs::path& where, size_t bytes, bool readOnly) : m_where(where) {
  std::error_code ec;
  fs::create_directories(where, ec);
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  m_mounted = ::mount("tmpfs", where.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, options.c_str()) == 0;
}

TmpfsMount::~TmpfsMount() {
  if (m_mounted) ::umount2(m_where.c_str(), MNT_DETACH);
}

ReadOnlyFolder::ReadOnlyFolder(const fs::path& folder) : m_folder(folder) {
  if (::geteuid() == 0) {
    m_mount = std::make_unique<TmpfsMount>(folder, 1 << 16, true);
    m_inEffect = m_mount->mounted();
    return;
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  m_inEffect = ::chmod(folder.c_str(), 0555) == 0;
}

ReadOnlyFolder::~ReadOnlyFolder() {
  if (!m_mount) ::chmod(m_folder.c_str(), 0755);
}

}  // namespace vornix::testing
