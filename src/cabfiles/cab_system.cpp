#include "cabfiles/cab_system.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cabfiles/cab_file.h"
#include "common/interrupt.h"
#include "common/text.h"

namespace vornix {
namespace {

struct HostFile {
  std::FILE* fp = nullptr;  // the cabinet read from disk
  // An output file, handed to the run's writer.
  std::shared_ptr<WriterFile> out;
  // Or the string an entry read into memory goes to.
  std::string* memoryOut = nullptr;
  CabRun* run = nullptr;
  bool output = false;
  std::string path;  // host path or shown name, for messages
  // The cabinet in memory: its bytes and the read position.
  const char* data = nullptr;
  size_t size = 0;
  size_t pos = 0;
};

// The run in progress on this thread. libmspack hands the callbacks copies of
// the system structure and, for messages, no file at all, so neither can lead
// back to the run; a run is synchronous, so this can.
thread_local CabRun* t_run = nullptr;

HostFile* FileOf(mspack_file* file) { return reinterpret_cast<HostFile*>(file); }

mspack_file* SysOpen(mspack_system*, const char* filename, int mode) noexcept {
  CabRun* run = t_run;
  if (!run) return nullptr;
  if (run->memory && mode == MSPACK_SYS_OPEN_READ) {
    // Only the cabinet itself is ever read, and it is in memory.
    if (std::strcmp(filename, kMemoryCabinet) != 0) return nullptr;
    HostFile* file = new (std::nothrow) HostFile;
    if (!file) return nullptr;
    file->run = run;
    file->data = run->memory->data();
    file->size = run->memory->size();
    return reinterpret_cast<mspack_file*>(file);
  }
  if (mode == MSPACK_SYS_OPEN_WRITE && run->target && !run->target->writesFile()) {
    HostFile* file = new (std::nothrow) HostFile;
    if (!file) return nullptr;
    file->run = run;
    file->output = true;
    file->memoryOut = run->target->Memory;
    if (file->memoryOut) {
      // The library may start an entry again from its beginning.
      file->memoryOut->clear();
      try {
        file->path = !run->target->Shown.empty() ? run->target->Shown : run->current ? run->current->Name : filename;
      } catch (...) {
      }
    }
    return reinterpret_cast<mspack_file*>(file);
  }
  // libmspack's cabinet reader never updates or appends.
  if (mode != MSPACK_SYS_OPEN_READ && mode != MSPACK_SYS_OPEN_WRITE) return nullptr;
  if (mode == MSPACK_SYS_OPEN_WRITE && run->writerFailed()) return nullptr;
  HostFile* file = new (std::nothrow) HostFile;
  if (!file) return nullptr;
  file->run = run;
  if (mode == MSPACK_SYS_OPEN_READ) {
    file->fp = std::fopen(filename, "rb");
    if (!file->fp) {
      delete file;
      return nullptr;
    }
    return reinterpret_cast<mspack_file*>(file);
  }
  file->output = true;
  try {
    file->path = run->target && !run->target->Shown.empty() ? run->target->Shown : std::string(filename);
    file->out = std::make_shared<WriterFile>();
    file->out->path = filename;
    file->out->shown = file->path;
    run->writer.open(file->out);
  } catch (...) {
    delete file;
    return nullptr;
  }
  run->outputCreated = true;
  run->output = file->out;
  return reinterpret_cast<mspack_file*>(file);
}

void SysClose(mspack_file* handle) noexcept {
  HostFile* file = FileOf(handle);
  if (!file) return;
  if (file->fp) std::fclose(file->fp);
  if (file->out) {
    try {
      file->run->writer.close(file->out, file->run->outputTime);
    } catch (...) {
      file->run->outputError("write", file->path, ENOMEM);
    }
  }
  delete file;
}

int SysRead(mspack_file* handle, void* buffer, int bytes) noexcept {
  HostFile* file = FileOf(handle);
  if (!file || bytes < 0) return -1;
  if (StopRequested()) {
    file->run->stopped = true;
    return -1;
  }
  if (!file->fp) {
    const size_t left = file->pos < file->size ? file->size - file->pos : 0;
    const size_t got = std::min(static_cast<size_t>(bytes), left);
    if (got) std::memcpy(buffer, file->data + file->pos, got);
    file->pos += got;
    return static_cast<int>(got);
  }
  const size_t got = std::fread(buffer, 1, static_cast<size_t>(bytes), file->fp);
  if (got == 0 && std::ferror(file->fp)) return -1;
  return static_cast<int>(got);
}

int SysWrite(mspack_file* handle, void* buffer, int bytes) noexcept {
  HostFile* file = FileOf(handle);
  if (!file || bytes < 0) return -1;
  CabRun* run = file->run;
  if (StopRequested()) {
    run->stopped = true;
    return -1;
  }
  run->totalWritten += bytes;
  if (run->totalWritten > run->totalLimit) {
    // Entries that overlap one another: a small cabinet could fill the disk.
    run->overLimit = true;
    return -1;
  }
  // Discarded output is counted and checked like any other, never stored.
  if (file->memoryOut) {
    try {
      file->memoryOut->append(static_cast<const char*>(buffer), static_cast<size_t>(bytes));
    } catch (...) {
      run->outputError("read", file->path, ENOMEM);
      return -1;
    }
  } else if (file->out) {
    if (run->writerFailed()) return -1;
    try {
      run->writer.write(file->out, buffer, static_cast<size_t>(bytes));
    } catch (...) {
      run->outputError("write", file->path, ENOMEM);
      return -1;
    }
  }
  if (file->output && run->current) {
    run->written += bytes;
    if (run->owner->OnDecompressProgress) {
      try {
        run->owner->OnDecompressProgress(run->current->Name, run->written, run->current->Size);
      } catch (...) {
        run->pending = std::current_exception();
        return -1;  // stops the extraction; the exception goes on once libmspack returns
      }
    }
  }
  return bytes;
}

int SysSeek(mspack_file* handle, off_t offset, int mode) noexcept {
  HostFile* file = FileOf(handle);
  if (!file) return -1;
  if (file->output) return -1;  // outputs are written in order, never sought
  if (!file->fp) {
    off_t base = 0;
    switch (mode) {
      case MSPACK_SYS_SEEK_START: base = 0; break;
      case MSPACK_SYS_SEEK_CUR: base = static_cast<off_t>(file->pos); break;
      case MSPACK_SYS_SEEK_END: base = static_cast<off_t>(file->size); break;
      default: return -1;
    }
    if (offset < 0 && -offset > base) return -1;
    file->pos = static_cast<size_t>(base + offset);
    return 0;
  }
  int whence = SEEK_SET;
  switch (mode) {
    case MSPACK_SYS_SEEK_START: whence = SEEK_SET; break;
    case MSPACK_SYS_SEEK_CUR: whence = SEEK_CUR; break;
    case MSPACK_SYS_SEEK_END: whence = SEEK_END; break;
    default: return -1;
  }
  return fseeko(file->fp, offset, whence) == 0 ? 0 : -1;
}

off_t SysTell(mspack_file* handle) noexcept {
  HostFile* file = FileOf(handle);
  if (!file) return -1;
  if (file->output) return -1;
  return file->fp ? ftello(file->fp) : static_cast<off_t>(file->pos);
}

void SysMessage(mspack_file*, const char* format, ...) noexcept {
  CabRun* run = t_run;
  if (!run) return;
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  try {
    run->warn(text);
  } catch (...) {
  }
}

void* SysAlloc(mspack_system*, size_t bytes) noexcept { return std::malloc(bytes); }
void SysFree(void* p) noexcept { std::free(p); }
void SysCopy(void* src, void* dest, size_t bytes) noexcept { std::memmove(dest, src, bytes); }

}  // namespace

CabRun::CabRun(TCABFile& runOwner, std::optional<std::string_view> cabinetInMemory)
    : owner(&runOwner), memory(cabinetInMemory) {
  std::memset(&sys, 0, sizeof sys);
  sys.open = &SysOpen;
  sys.close = &SysClose;
  sys.read = &SysRead;
  sys.write = &SysWrite;
  sys.seek = &SysSeek;
  sys.tell = &SysTell;
  sys.message = &SysMessage;
  sys.alloc = &SysAlloc;
  sys.free = &SysFree;
  sys.copy = &SysCopy;
}

void CabRun::begin(const TCABFileEntry& entry, const ExtractTarget& where) {
  current = &entry;
  target = &where;
  written = 0;
  outputCreated = false;
  outputFailed = false;
  output.reset();
}

void CabRun::end() {
  current = nullptr;
  target = nullptr;
}

void CabRun::outputError(const char* what, const std::string& path, int error) noexcept {
  outputFailed = true;
  try {
    if (ioError.empty()) ioError = Format("cannot %s %s: %s", what, Utf8ToCp1252(path).c_str(), std::strerror(error));
    warn(ioError.c_str());
  } catch (...) {
  }
}

bool CabRun::writerFailed() noexcept {
  if (!writer.failed()) return false;
  outputFailed = true;
  try {
    if (ioError.empty()) {
      ioError = writer.failure();
      warn(ioError.c_str());
    }
  } catch (...) {
  }
  return true;
}

void CabRun::removeOutput() noexcept {
  writer.wait();
  if (output && output->created) ::unlink(output->path.c_str());
  output.reset();
}

void CabRun::warn(const char* text) noexcept {
  if (pending || !owner || !owner->OnWarning) return;
  try {
    owner->OnWarning(text);
  } catch (...) {
    pending = std::current_exception();
  }
}

CabSession::CabSession(CabRun& run) : m_previousRun(t_run) {
  t_run = &run;
  m_decompressor = mspack_create_cab_decompressor(&run.sys);
  // The input buffer stays at libmspack's 4 KB: decompressors read that far
  // ahead, and a larger buffer reaches further into following blocks, so a
  // cabinet damaged two blocks on would fail entries that are whole.
}

CabSession::~CabSession() {
  if (m_decompressor) {
    if (m_cabinet) m_decompressor->close(m_decompressor, m_cabinet);
    mspack_destroy_cab_decompressor(m_decompressor);
  }
  t_run = m_previousRun;
}

mscabd_cabinet* CabSession::open(std::string name) {
  m_name = std::move(name);
  m_cabinet = m_decompressor ? m_decompressor->open(m_decompressor, m_name.c_str()) : nullptr;
  return m_cabinet;
}

}  // namespace vornix
