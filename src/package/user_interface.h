// What the core asks of whoever drives it. The window answers with dialogs,
// the batch mode with stderr, the tests with a recorder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace vornix {

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  /// A message box (the window shows it with a warning icon). Texts are Windows-1252.
  virtual void warn(const std::string& caption, const std::string& text) = 0;

  /// The signature check refused the file; the window points at its toggle.
  virtual void signatureRejected() {}

  /// The folder dialog; returns the chosen folder (UTF-8 host path) or empty
  /// when cancelled. Batch runs never ask.
  virtual std::string chooseFolder(const std::string& /*title*/, const std::string& /*initialFolder*/) { return {}; }

  /// The hourglass around long work.
  virtual void busy(bool /*on*/) {}

  /// Progress of an extraction: bytes written so far of all bytes wanted, or
  /// files placed so far of all files when the opening already decompressed them.
  virtual void progress(int64_t /*done*/, int64_t /*total*/) {}

  /// The file an extraction is writing now (its original name when it has one).
  virtual void progressFile(const std::string& /*name*/) {}

  /// An extraction has just given a file its place: `file` is its host path,
  /// under the chosen folder.
  virtual void filePlaced(const std::filesystem::path& /*file*/) {}

  /// Asked as an extraction goes: true stops it where it is. What was written
  /// whole stays; the INF is not written.
  virtual bool cancelRequested() { return false; }
};

}  // namespace vornix
