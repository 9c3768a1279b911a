#include <iostream>
#include <string>
#include <vector>

#include "app/batch.h"

#ifdef VORNIX_HAS_GUI
#include "ui/gui_main.h"
#endif

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  // Batch jobs decide before any window system is touched: they must run
  // without a display and never hand their job to a running copy.
  if (vornix::IsBatchCommandLine(args)) return vornix::RunBatch(args);
#ifdef VORNIX_HAS_GUI
  return vornix::RunGui(argc, argv);
#else
  std::cerr << "vornix: this build has no window; see vornix --help for the batch jobs" << std::endl;
  return vornix::kExitUsage;
#endif
}
