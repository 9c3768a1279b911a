#include "helpers/run_process.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace vornix::testing {
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args, const fs::path& workDir,
                         uint64_t fileSizeLimit) {
  ProcessResult result;
  // Output goes to files so a chatty child can never block on a full pipe.
  TempDir io;
  const fs::path outFile = io / "out", errFile = io / "err";
  const pid_t pid = fork();
  if (pid == 0) {
    if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(126);
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (fileSizeLimit) {
      signal(SIGXFSZ, SIG_IGN);  // the write fails instead of ending the program
      const rlimit limit{fileSizeLimit, fileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadAll(outFile);
  result.err = ReadAll(errFile);
  return result;
}

ProcessResult RunOnTerminal(const std::string& program, const std::vector<std::string>& args, const fs::path& workDir) {
  ProcessResult result;
  const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
  if (terminal < 0 || grantpt(terminal) != 0 || unlockpt(terminal) != 0) return result;
  // Opened here, so that the terminal has its other side before the child runs.
  const int err = open(ptsname(terminal), O_RDWR | O_NOCTTY);
  const winsize size{24, 80, 0, 0};
  if (err < 0 || ioctl(err, TIOCSWINSZ, &size) != 0) {
    close(terminal);
    return result;
  }
  TempDir io;
  const fs::path outFile = io / "out";
  const pid_t pid = fork();
  if (pid == 0) {
    if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(126);
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    close(terminal);
    close(err);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(err);
  // Read as it comes, or the child waits on a full terminal; the end is an
  // error once the child's side is closed.
  char buffer[4096];
  for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) != 0;) {
    if (n > 0)
      result.err.append(buffer, static_cast<size_t>(n));
    else if (errno != EINTR)
      break;
  }
  close(terminal);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadAll(outFile);
  return result;
}

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "vornix-test-XXXXXX").string();
  if (mkdtemp(pattern.data())) m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!m_path.empty()) fs::remove_all(m_path, ec);
}

std::vector<std::string> ListTree(const fs::path& root) {
  std::vector<std::string> out;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file()) out.push_back(fs::relative(it->path(), root).generic_string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace vornix::testing
