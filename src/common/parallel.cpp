#include "common/parallel.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace vornix {

size_t UsefulWorkers(size_t jobs) {
  const size_t cores = std::max<size_t>(1, std::thread::hardware_concurrency());
  return std::max<size_t>(1, std::min({cores, jobs, size_t{4}}));
}

void ForEachIndex(size_t count, size_t workers, const std::function<void(size_t)>& job,
                  const std::function<bool()>& keepGoing) {
  std::atomic<size_t> next{0};
  std::mutex failureLock;
  std::exception_ptr failure;
  auto work = [&] {
    try {
      while (keepGoing()) {
        const size_t i = next.fetch_add(1);
        if (i >= count) break;
        job(i);
      }
    } catch (...) {
      std::lock_guard lock(failureLock);
      if (!failure) failure = std::current_exception();
      next.store(count);  // nothing more starts
    }
  };

  std::vector<std::thread> threads;
  {
    // The helpers are made with the stop signals blocked, so a signal meant
    // for the whole process interrupts the calling thread, as in a run on one.
    sigset_t stops, before;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stops, &before);
    try {
      for (size_t n = 1; n < std::min(workers, count); ++n) threads.emplace_back(work);
    } catch (const std::system_error&) {
      // No thread to be had: those made, and this one, do the work.
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
  }
  work();
  for (std::thread& t : threads) t.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace vornix
