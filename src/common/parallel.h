// Independent jobs on the machine's cores: a run over several packages does
// each package on the first thread free, the calling thread being one of them.
#pragma once

#include <cstddef>
#include <functional>

namespace vornix {

/// Threads worth using for `jobs` jobs that mostly make files: one a core, at
/// most four (past that the disk, not the processor, sets the pace), never
/// more than the jobs, at least one.
size_t UsefulWorkers(size_t jobs);

/// Calls `job(0)` ... `job(count - 1)`, each once, starting them in that order
/// on up to `workers` threads. No job starts once `keepGoing()` says no; the
/// started ones are waited for. SIGINT and SIGTERM are left to the calling
/// thread. An exception a job throws is thrown again here, once all threads
/// have ended.
void ForEachIndex(size_t count, size_t workers, const std::function<void(size_t)>& job,
                  const std::function<bool()>& keepGoing);

}  // namespace vornix
