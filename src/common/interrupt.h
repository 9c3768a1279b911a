// A request to stop, set from a signal handler (SIGINT, SIGTERM) and read by
// long work, which then ends the way a failure does: its temporary folders
// and staged entries are removed on the way out.
#pragma once

namespace vornix {

/// Async-signal-safe: may be called from a signal handler.
void RequestStop() noexcept;
bool StopRequested() noexcept;

/// The text a run stopped this way reports.
inline constexpr const char* kStoppedText = "stopped by a signal";

}  // namespace vornix
