// Runs a program the way a user's shell would, for end-to-end tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vornix::testing {

struct ProcessResult {
  int exitCode = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};

/// Runs `program` with `args` in `workDir`, with no standard input, and waits.
/// With `fileSizeLimit`, no file the program writes may grow beyond that many
/// bytes (RLIMIT_FSIZE; a write past it fails with EFBIG), as on a full disk.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& workDir = {}, uint64_t fileSizeLimit = 0);

#ifdef VORNIX_BINARY
/// The batch program built with the tests, run as RunProcess runs a program.
inline ProcessResult Vornix(const std::vector<std::string>& args, const std::filesystem::path& workDir,
                            uint64_t fileSizeLimit = 0) {
  return RunProcess(VORNIX_BINARY, args, workDir, fileSizeLimit);
}
#endif

/// RunProcess with stderr on a pseudo-terminal of 80 columns: `err` is what
/// the terminal received (line ends as the terminal gets them, "\r\n").
ProcessResult RunOnTerminal(const std::string& program, const std::vector<std::string>& args,
                            const std::filesystem::path& workDir = {});

/// A fresh temporary folder removed when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return m_path; }
  std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

 private:
  std::filesystem::path m_path;
};

/// Every regular file below `root`, as sorted relative paths with "/".
std::vector<std::string> ListTree(const std::filesystem::path& root);

std::string ReadAll(const std::filesystem::path& file);
void WriteAll(const std::filesystem::path& file, const std::string& bytes);

}  // namespace vornix::testing
