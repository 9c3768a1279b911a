// Starting the window's executable. The batch executable links no display
// library; without a batch word it becomes the window's program.
#pragma once

namespace vornix {

/// The file name of the window's executable.
inline constexpr const char* kWindowProgramName = "vornix-gui";

/// Replaces this process with the window's executable, found beside this one
/// or in the install's libexec folder. It gets `argv` unchanged (argv[0]
/// included, so the window keeps the name "vornix"); the exit code and the
/// signals are then the window's. Returns only when that fails, with the exit
/// code, after saying why on stderr.
int StartWindow(char** argv);

}  // namespace vornix
