// The interactive start of the program (everything but the batch jobs).
#pragma once

namespace vornix {

/// Runs the single-instance guard and, in the first copy, the main window.
/// Returns the process exit code.
int RunGui(int argc, char** argv);

}  // namespace vornix
