// Host states tests build to see how a job fails: a small file system that
// fills up and a folder that cannot be written. They need privileges a test
// machine may not give; a test asks whether the state is in effect and skips
// when it is not.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace vornix::testing {

/// A tmpfs of `bytes` bytes (read-only when `readOnly`) mounted at `where`
/// (made when missing), unmounted when the object goes. Needs root.
class TmpfsMount {
 public:
  TmpfsMount(const std::filesystem::path& where, size_t bytes, bool readOnly = false);
  ~TmpfsMount();
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;
  bool mounted() const { return m_mounted; }

 private:
  std::filesystem::path m_where;
  bool m_mounted = false;
};

/// Makes `folder` a folder nobody can write into: a read-only tmpfs for root
/// (whom permissions do not stop), its permission bits otherwise. False when
/// neither works here.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const std::filesystem::path& folder);
  ~ReadOnlyFolder();
  bool inEffect() const { return m_inEffect; }

 private:
  std::filesystem::path m_folder;
  std::unique_ptr<TmpfsMount> m_mount;
  bool m_inEffect = false;
};

}  // namespace vornix::testing
