#include <string>
#include <vector>

#include "app/batch.h"
#include "app/window_program.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  // Batch jobs decide before any window system is touched: they must run
  // without a display and never hand their job to a running copy.
  if (vornix::IsBatchCommandLine(args)) return vornix::RunBatch(args);
  // The window lives in an executable of its own, so that batch jobs start
  // without loading any display library.
  return vornix::StartWindow(argv);
}
