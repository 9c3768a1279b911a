// The command line: batch jobs that run without a window or a display.
#pragma once

#include <string>
#include <vector>

namespace vornix {

/// Exit codes of a batch run.
enum BatchExit : int {
  kExitDone = 0,
  kExitFailed = 1,       // nothing could be produced; the reason is on stderr
  kExitUsage = 2,        // unknown batch word or option
  kExitDuplicates = 222  // done, and an installed file name repeats
};

/// True when the arguments ask for a batch job (or an option such as --json)
/// rather than the window. Such a start never hands its arguments to a
/// running copy.
bool IsBatchCommandLine(const std::vector<std::string>& args);

/// Runs the batch job the arguments describe; returns the exit code.
int RunBatch(const std::vector<std::string>& args);

/// One job on one package (or --help, --scan...): the arguments after the
/// options of the whole run. RunBatch calls it once for each package.
int RunPackageJob(const std::vector<std::string>& args);

/// The usage text of --help.
std::string UsageText();

}  // namespace vornix
