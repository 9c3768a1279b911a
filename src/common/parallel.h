// Independent jobs on the machine's cores: a run over several packages does
// each package on the first thread free, the calling thread being one of them.
#pragma once

#include <cstddef>
#include <functional>

namespace vornix {

/// Threads worth using for `jobs` jobs: one a core, never more than the jobs,
/// at least one, and at most four, so that a run on a large machine keeps
/// its memory (each job holds its own buffers) and open files modest.
size_t UsefulWorkers(size_t jobs);

/// Calls `job(0)` ... `job(count - 1)`, each once, starting them in that order
/// on up to `workers` threads. No job starts once `keepGoing()` says no; the
/// started ones are waited for. SIGINT and SIGTERM are left to the calling
/// thread. An exception a job throws is thrown again here, once all threads
/// have ended.
void ForEachIndex(size_t count, size_t workers, const std::function<void(size_t)>& job,
                  const std::function<bool()>& keepGoing);

}  // namespace vornix
