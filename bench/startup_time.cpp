// Times one run of a command from the moment it is started to the moment it
// has ended, with microsecond resolution: start-up costs of a few
// milliseconds are below what /usr/bin/time or a shell's clock can show.
// Also prints the processor time the command used (user and system), which
// other work on a shared machine disturbs less than the elapsed time.
// The command's output is thrown away; its exit code is passed on.
//
//   startup_time COMMAND [ARGUMENT...]   prints "ELAPSED CPU" in seconds,
//                                        e.g. "0.001234 0.000812"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s COMMAND [ARGUMENT...]\n", argv[0]);
    return 2;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, argv[1], &actions, nullptr, argv + 1, environ);
  if (spawned != 0) {
    std::fprintf(stderr, "%s: cannot start %s: %s\n", argv[0], argv[1], std::strerror(spawned));
    return 127;
  }
  int status = 0;
  struct rusage usage {};
  while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  posix_spawn_file_actions_destroy(&actions);

  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  std::printf("%.6f %.6f\n", elapsed.count(), seconds(usage.ru_utime) + seconds(usage.ru_stime));
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
