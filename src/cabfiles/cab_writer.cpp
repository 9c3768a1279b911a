#include "cabfiles/cab_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "common/text.h"

namespace vornix {
namespace {

// What may wait in the queue: enough to ride over a slow file creation,
// little enough that a 500 MB package needs no more memory than a small one.
constexpr size_t kQueueBytes = 4 << 20;
// The writer is woken once this much waits (or at the end), not for every
// block: small files would otherwise cost two thread switches each.
constexpr size_t kWakeBytes = 256 << 10;
constexpr size_t kWakeOps = 64;
// A run starts by writing on the caller's thread and hands over to the writer
// only past this much: for the small packages most cabinets are, starting and
// waking a thread costs more than the overlap gains.
constexpr size_t kInlineBytes = 1 << 20;

}  // namespace

CabWriter::CabWriter() : m_inlineLimit(kInlineBytes) {}

CabWriter::~CabWriter() {
  if (!m_thread.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_quit = true;
  }
  m_work.notify_one();
  m_thread.join();
  // Whatever was still queued (a run that ended by an exception) is done by
  // now: the loop empties the queue before it quits.
}

bool CabWriter::writesInline(size_t bytes) {
  // Nothing is queued while there is no thread: the order holds.
  if (m_thread.joinable() || bytes > m_inlineLimit - m_inlineBytes) return false;
  m_inlineBytes += bytes;
  return true;
}

void CabWriter::push(Op op) {
  if (writesInline(op.bytes)) {
    perform(op);
    return;
  }
  std::unique_lock<std::mutex> lock(m_mutex);
  if (!m_thread.joinable()) m_thread = std::thread([this] { loop(); });
  if (m_queuedBytes >= kQueueBytes) {
    // Full: wait until half of it is written rather than a block at a time.
    m_work.notify_one();
    m_room.wait(lock, [&] { return m_queuedBytes < kQueueBytes / 2 || m_failedFlag; });
  }
  m_queuedBytes += op.bytes;
  m_queue.push_back(std::move(op));
  const bool wake = m_queuedBytes >= kWakeBytes || m_queue.size() >= kWakeOps;
  lock.unlock();
  if (wake) m_work.notify_one();
}

void CabWriter::open(const std::shared_ptr<WriterFile>& file) { push(Op{Op::Open, file, nullptr, 0, std::nullopt}); }

void CabWriter::write(const std::shared_ptr<WriterFile>& file, const void* data, size_t bytes) {
  if (m_failedFlag) return;
  // Written now, straight from the caller's block: no copy to hand over.
  if (writesInline(bytes)) {
    writeOut(*file, static_cast<const char*>(data), bytes);
    return;
  }
  std::unique_ptr<char[]> copy(new char[bytes]);
  std::memcpy(copy.get(), data, bytes);
  push(Op{Op::Write, file, std::move(copy), bytes, std::nullopt});
}

void CabWriter::close(const std::shared_ptr<WriterFile>& file, std::optional<std::time_t> modified) {
  push(Op{Op::Close, file, nullptr, 0, modified});
}

void CabWriter::wait() {
  m_work.notify_one();
  std::unique_lock<std::mutex> lock(m_mutex);
  m_room.wait(lock, [&] { return m_queue.empty() && !m_busy; });
}

std::string CabWriter::failure() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_failure;
}

std::string CabWriter::timeFailures() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return std::exchange(m_timeFailures, {});
}

void CabWriter::loop() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_work.wait(lock, [&] { return !m_queue.empty() || m_quit; });
    if (m_queue.empty()) return;  // quit, with nothing left to do
    Op op = std::move(m_queue.front());
    m_queue.pop_front();
    m_queuedBytes -= op.bytes;
    m_busy = true;
    const bool room = m_queuedBytes < kQueueBytes / 2 && m_queuedBytes + op.bytes >= kQueueBytes / 2;
    lock.unlock();
    if (room) m_room.notify_all();
    perform(op);
    op.data.reset();
    lock.lock();
    m_busy = false;
    if (m_queue.empty()) m_room.notify_all();
  }
}

void CabWriter::fail(const char* what, WriterFile& file, int error) {
  if (file.fd >= 0) ::close(file.fd);
  file.fd = -1;
  // An incomplete file is worse than none.
  if (file.created) ::unlink(file.path.c_str());
  file.created = false;
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_failure.empty())
    m_failure = Format("cannot %s %s: %s", what, Utf8ToCp1252(file.shown).c_str(), std::strerror(error));
  m_failedFlag = true;
  m_room.notify_all();
}

void CabWriter::writeOut(WriterFile& file, const char* data, size_t bytes) {
  if (file.fd < 0) return;
  size_t put = 0;
  while (put < bytes) {
    const ssize_t n = ::write(file.fd, data + put, bytes - put);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      fail("write", file, n < 0 ? errno : ENOSPC);
      return;
    }
    put += static_cast<size_t>(n);
  }
}

void CabWriter::perform(Op& op) {
  WriterFile& file = *op.file;
  // After a failure nothing more is created; files already open are closed.
  if (m_failedFlag && op.kind != Op::Close) return;
  switch (op.kind) {
    case Op::Open:
      // Exclusive creation: an existing file (or a link planted where the
      // file goes) was either removed after asking or makes the entry fail.
      file.fd = ::open(file.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (file.fd < 0) {
        fail("create", file, errno);
        return;
      }
      file.created = true;
      return;
    case Op::Write: writeOut(file, op.data.get(), op.bytes); return;
    case Op::Close: {
      if (file.fd < 0) return;
      if (op.modified) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, {*op.modified, 0}};
        if (::futimens(file.fd, times) != 0) {
          std::lock_guard<std::mutex> lock(m_mutex);
          m_timeFailures += Utf8ToCp1252(file.shown) + '\n';
        }
      }
      const int fd = std::exchange(file.fd, -1);
      // A file system that writes on closing (NFS) could not: the file is not whole.
      if (::close(fd) != 0 && errno != EINTR) fail("write", file, errno);
      return;
    }
  }
}

}  // namespace vornix
