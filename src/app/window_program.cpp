#include "app/window_program.h"

#include <errno.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "app/batch.h"
#include "app/program_files.h"

namespace fs = std::filesystem;

namespace vornix {

int StartWindow(char** argv) {
  const std::vector<fs::path> places =
      ProgramFilePlaces(ExecutablePath(argv[0]), kWindowProgramName, VORNIX_LIBEXEC_FROM_BIN);
  for (const fs::path& program : places) {
    if (::access(program.c_str(), X_OK) != 0) continue;
    ::execv(program.c_str(), argv);
    std::fprintf(stderr, "vornix: cannot start the window %s: %s\n", program.c_str(), std::strerror(errno));
    return kExitFailed;
  }
  std::fprintf(stderr,
               "vornix: the window is not installed (no %s in %s); the batch jobs run without it: see vornix --help\n",
               kWindowProgramName, FoldersOf(places).c_str());
  return kExitFailed;
}

}  // namespace vornix
