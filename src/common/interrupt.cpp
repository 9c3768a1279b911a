#include "common/interrupt.h"

#include <atomic>

namespace vornix {
namespace {

std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

}  // namespace

void RequestStop() noexcept { g_stop.store(true, std::memory_order_relaxed); }

bool StopRequested() noexcept { return g_stop.load(std::memory_order_relaxed); }

}  // namespace vornix
