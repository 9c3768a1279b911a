// The thread that writes a run's output files, so that decompressing the next
// entry and the kernel's work of creating and filling the last one overlap.
// A run's first megabyte is written on the caller's thread: most packages are
// smaller than that, and for them the thread would only add its start-up. So
// is all of a run over stored folders, which has no decompressing to overlap.
// The decompressing thread hands over opens, blocks and closes in order
// through a bounded queue (memory stays flat whatever the cabinet's size);
// the writer does them in that order. Its first failure stops it: the file it
// failed on is removed, nothing queued after it is created, and the run
// learns of it at its next write or when it waits for the writer.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace vornix {

/// One output file as both threads see it.
struct WriterFile {
  std::string path;      // host path
  std::string shown;     // for messages
  int fd = -1;           // the writer's
  bool created = false;  // the writer made it (read after wait())
};

class CabWriter {
 public:
  CabWriter();
  ~CabWriter();
  CabWriter(const CabWriter&) = delete;
  CabWriter& operator=(const CabWriter&) = delete;

  /// Writes the whole run on the caller's thread.
  void keepInline() { m_inlineLimit = SIZE_MAX; }

  void open(const std::shared_ptr<WriterFile>& file);
  /// Copies the bytes; waits while the queue holds too much.
  void write(const std::shared_ptr<WriterFile>& file, const void* data, size_t bytes);
  /// Closes the file, giving it `modified` (local wall-clock time) first when set.
  void close(const std::shared_ptr<WriterFile>& file, std::optional<std::time_t> modified);

  /// Waits until everything handed over is done (or dropped after a failure).
  void wait();
  /// The first failure ("cannot write X: No space left on device"), empty when none.
  std::string failure();
  bool failed() const { return m_failedFlag; }
  /// Files whose time could not be set, for the run's warnings.
  std::string timeFailures();

 private:
  struct Op {
    enum Kind { Open, Write, Close } kind;
    std::shared_ptr<WriterFile> file;
    std::unique_ptr<char[]> data;
    size_t bytes = 0;
    std::optional<std::time_t> modified;
  };
  /// Whether `bytes` more are written on the caller's thread (the run's start).
  bool writesInline(size_t bytes);
  void push(Op op);
  void writeOut(WriterFile& file, const char* data, size_t bytes);
  void loop();
  void perform(Op& op);
  void fail(const char* what, WriterFile& file, int error);

  std::mutex m_mutex;
  std::condition_variable m_work;  // the writer waits for ops
  std::condition_variable m_room;  // the producer waits for room, or for the end
  std::deque<Op> m_queue;
  size_t m_queuedBytes = 0;
  size_t m_inlineBytes = 0;  // written on the caller's thread, before the writer started
  size_t m_inlineLimit;      // how much may be
  bool m_busy = false;
  bool m_quit = false;
  std::string m_failure;
  std::atomic<bool> m_failedFlag{false};
  std::string m_timeFailures;
  std::thread m_thread;
};

}  // namespace vornix
