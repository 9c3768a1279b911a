// The two private temporary folders of a process: "VornixView" receives what
// a theme's analysis and the open dialog's preview take out of a theme, "VornixOpen" the files the
// user opens.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "common/result.h"
#include "package/user_interface.h"

namespace vornix {

class TempFolders {
 public:
  /// Makes a private folder (mode 0700) inside the system temp folder with
  /// both folders in it. Each process has its own, so a batch run never
  /// touches the folders of an open window and two users never collide.
  /// The error names the folder that could not be made and why. The
  /// folder is locked while this object holds it, which tells a later run
  /// that it is in use.
  static Result<TempFolders> Prepare();

  /// Removes the folders earlier runs of this user left behind when they
  /// could not remove their own (killed, or crashed): those no run holds
  /// locked, made a minute ago or more. The window does this as it starts.
  static void RemoveLeftovers();

  TempFolders(TempFolders&& other) noexcept;
  TempFolders& operator=(TempFolders&& other) noexcept;
  TempFolders(const TempFolders&) = delete;
  ~TempFolders();

  const std::filesystem::path& ViewDir() const { return m_view; }
  const std::filesystem::path& OpenDir() const { return m_open; }
  const std::filesystem::path& root() const { return m_root; }

  /// Deletes the files directly inside both folders (subfolders stay); shows
  /// "Incomplete" / "Folder destroyed ?" for a folder that cannot be emptied.
  void EmptyBoth(UserInterface& ui);
  /// Removes everything; also done on destruction.
  bool RemoveTempFolders();

 private:
  TempFolders() = default;
  void unlock();

  std::filesystem::path m_root, m_view, m_open;
  int m_lock = -1;  // the root, opened and locked
};

}  // namespace vornix
