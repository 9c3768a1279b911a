#include "cabfiles/cab_file.h"

#include <mspack.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <map>
#include <unordered_map>

#include "common/host_fs.h"
#include "common/interrupt.h"
#include "common/text.h"

namespace fs = std::filesystem;

namespace vornix {

namespace {

// ---------------------------------------------------------------------------
// Dates

bool DosFieldsValid(uint16_t date, uint16_t time) {
  const int year = (date >> 9) + 1980;
  const int month = (date >> 5) & 0x0F;
  const int day = date & 0x1F;
  static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && day == 29 && !leap) return false;
  return (time >> 11) <= 23 && ((time >> 5) & 0x3F) <= 59 && (time & 0x1F) * 2 <= 59;
}

// Days from 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The date-time value of the words, days since 1899-12-30. A date the words
// cannot hold (month 0, 31 February, hour 25...) reads as 0 rather than
// stopping the listing.
double DosToDateTime(uint16_t date, uint16_t time) {
  if (!DosFieldsValid(date, time)) return 0;
  const int64_t days = DaysFromCivil((date >> 9) + 1980, (date >> 5) & 0x0F, date & 0x1F) -
                       DaysFromCivil(1899, 12, 30);
  const int seconds = (time >> 11) * 3600 + ((time >> 5) & 0x3F) * 60 + (time & 0x1F) * 2;
  return static_cast<double>(days) + seconds / 86400.0;
}

const char* MspackErrorText(int error) {
  switch (error) {
    case MSPACK_ERR_OK: return "no error";
    case MSPACK_ERR_ARGS: return "bad arguments";
    case MSPACK_ERR_OPEN: return "cannot open file";
    case MSPACK_ERR_READ: return "read error";
    case MSPACK_ERR_WRITE: return "write error";
    case MSPACK_ERR_SEEK: return "seek error";
    case MSPACK_ERR_NOMEMORY: return "out of memory";
    case MSPACK_ERR_SIGNATURE: return "bad signature";
    case MSPACK_ERR_DATAFORMAT: return "bad data format";
    case MSPACK_ERR_CHECKSUM: return "bad checksum";
    case MSPACK_ERR_CRUNCH: return "compression error";
    case MSPACK_ERR_DECRUNCH: return "decompression error";
    default: return "unknown error";
  }
}

// Why an entry could not be decompressed, in the words a user can act on.
std::string EntryError(const std::string& cabinet, const std::string& entry, int error) {
  switch (error) {
    case MSPACK_ERR_READ:
      return Format("%s : the cabinet ends inside %s (the file is cut short)", cabinet.c_str(), entry.c_str());
    case MSPACK_ERR_DATAFORMAT:
    case MSPACK_ERR_CHECKSUM:
    case MSPACK_ERR_DECRUNCH:
      return Format("%s : a data block of %s is damaged (%s)", cabinet.c_str(), entry.c_str(), MspackErrorText(error));
    default:
      return Format("%s : %s cannot be extracted (%s)", cabinet.c_str(), entry.c_str(), MspackErrorText(error));
  }
}

uint16_t U16At(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32At(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// ---------------------------------------------------------------------------
// The mspack_system: every file libmspack opens goes through these callbacks.
// They are called from C, so nothing may throw out of them: an exception from
// a handler is kept in the run and thrown again once libmspack has returned.

struct Run;

struct HostFile {
  std::FILE* fp = nullptr;  // null for the cabinet in memory and for discarded output
  Run* run = nullptr;
  bool output = false;
  std::string path;  // host path or shown name, for messages
  // The cabinet in memory: its bytes and the read position.
  const char* data = nullptr;
  size_t size = 0;
  size_t pos = 0;
};

// The name libmspack is given for a cabinet read from memory.
constexpr const char* kMemoryCabinet = "<memory>";

// Every data block of a folder holds at most 32 KB once decompressed.
constexpr int64_t kBlockBytes = 32768;

struct Run {
  mspack_system sys;
  TCABFile* owner = nullptr;
  std::exception_ptr pending;

  // The cabinet in memory, when it is read from there.
  std::optional<std::string_view> memory;

  // The entry being written.
  const TCABFileEntry* current = nullptr;
  const ExtractTarget* target = nullptr;
  int64_t written = 0;
  bool outputCreated = false;
  bool outputFailed = false;
  std::string ioError;  // what went wrong with the output file, for lastError()

  // All bytes written in the run, and what the cabinet's folders can hold.
  int64_t totalWritten = 0;
  int64_t totalLimit = INT64_MAX;
  bool overLimit = false;
  bool stopped = false;

  void outputError(const char* what, const std::string& path, int error) noexcept {
    outputFailed = true;
    try {
      if (ioError.empty()) ioError = Format("cannot %s %s: %s", what, Utf8ToCp1252(path).c_str(), std::strerror(error));
      warn(ioError.c_str());
    } catch (...) {
    }
  }

  void warn(const char* text) noexcept {
    if (pending || !owner || !owner->OnWarning) return;
    try {
      owner->OnWarning(text);
    } catch (...) {
      pending = std::current_exception();
    }
  }
};

// The run in progress on this thread. libmspack hands the callbacks copies of
// the system structure and, for messages, no file at all, so neither can lead
// back to the run; a run is synchronous, so this can.
thread_local Run* t_run = nullptr;

HostFile* FileOf(mspack_file* file) { return reinterpret_cast<HostFile*>(file); }

mspack_file* SysOpen(mspack_system*, const char* filename, int mode) noexcept {
  Run* run = t_run;
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
  if (mode == MSPACK_SYS_OPEN_WRITE && run->target && run->target->Discard) {
    HostFile* file = new (std::nothrow) HostFile;
    if (!file) return nullptr;
    file->run = run;
    file->output = true;
    return reinterpret_cast<mspack_file*>(file);
  }
  const char* how = nullptr;
  switch (mode) {
    case MSPACK_SYS_OPEN_READ: how = "rb"; break;
    // Exclusive creation: an existing file (or a link planted where the file
    // goes) was either removed after asking or makes the entry fail.
    case MSPACK_SYS_OPEN_WRITE: how = "wbx"; break;
    default: return nullptr;  // libmspack's cabinet reader never updates or appends
  }
  HostFile* file = new (std::nothrow) HostFile;
  if (!file) return nullptr;
  file->fp = std::fopen(filename, how);
  if (!file->fp) {
    if (mode == MSPACK_SYS_OPEN_WRITE) {
      const int error = errno;
      try {
        run->outputError("create", run->target && !run->target->Shown.empty() ? run->target->Shown : filename, error);
      } catch (...) {
      }
    }
    delete file;
    return nullptr;
  }
  file->run = run;
  file->output = mode == MSPACK_SYS_OPEN_WRITE;
  if (file->output) {
    run->outputCreated = true;
    try {
      file->path = run->target && !run->target->Shown.empty() ? run->target->Shown : std::string(filename);
    } catch (...) {
    }
  }
  return reinterpret_cast<mspack_file*>(file);
}

void SysClose(mspack_file* handle) noexcept {
  HostFile* file = FileOf(handle);
  if (!file) return;
  if (file->fp && std::fclose(file->fp) != 0 && file->output) {
    // Data still buffered could not reach the disk: the file is not whole.
    file->run->outputError("write", file->path, errno);
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
  Run* run = file->run;
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
  const size_t put =
      file->fp ? std::fwrite(buffer, 1, static_cast<size_t>(bytes), file->fp) : static_cast<size_t>(bytes);
  if (put != static_cast<size_t>(bytes)) {
    run->outputError("write", file->path, errno);
    return static_cast<int>(put);
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
  if (!file->fp) {
    if (file->output) return -1;
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
  return file->fp ? ftello(file->fp) : static_cast<off_t>(file->pos);
}

void SysMessage(mspack_file*, const char* format, ...) noexcept {
  Run* run = t_run;
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

// Holds libmspack's objects for one run and frees them however the run ends.
class Session {
 public:
  explicit Session(Run& run) : m_previousRun(t_run) {
    t_run = &run;
    m_decompressor = mspack_create_cab_decompressor(&run.sys);
  }
  ~Session() {
    if (m_decompressor) {
      if (m_cabinet) m_decompressor->close(m_decompressor, m_cabinet);
      mspack_destroy_cab_decompressor(m_decompressor);
    }
    t_run = m_previousRun;
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  mscab_decompressor* decompressor() const { return m_decompressor; }
  mscabd_cabinet* cabinet() const { return m_cabinet; }
  void setCabinet(mscabd_cabinet* cabinet) { m_cabinet = cabinet; }

 private:
  Run* m_previousRun;
  mscab_decompressor* m_decompressor = nullptr;
  mscabd_cabinet* m_cabinet = nullptr;
};

// A time the words cannot hold leaves the file's own time; false only when
// setting a valid one failed.
bool SetLocalModificationTime(const fs::path& file, uint16_t date, uint16_t time) {
  if (!DosFieldsValid(date, time)) return true;
  std::tm tm{};
  tm.tm_year = (date >> 9) + 1980 - 1900;
  tm.tm_mon = ((date >> 5) & 0x0F) - 1;
  tm.tm_mday = date & 0x1F;
  tm.tm_hour = time >> 11;
  tm.tm_min = (time >> 5) & 0x3F;
  tm.tm_sec = (time & 0x1F) * 2;
  tm.tm_isdst = -1;  // the stored time is wall-clock time on the device
  // mktime reads the time-zone file on every call; the offset from UTC only
  // changes at whole hours, so one conversion per date and hour serves every
  // entry stamped within it.
  static thread_local std::unordered_map<uint32_t, std::time_t> hourStart;
  const uint32_t hourKey = (static_cast<uint32_t>(date) << 5) | (time >> 11);
  auto it = hourStart.find(hourKey);
  if (it == hourStart.end()) {
    std::tm start = tm;
    start.tm_min = 0;
    start.tm_sec = 0;
    it = hourStart.emplace(hourKey, std::mktime(&start)).first;
  }
  const std::time_t t = it->second == static_cast<std::time_t>(-1)
                            ? static_cast<std::time_t>(-1)
                            : it->second + tm.tm_min * 60 + tm.tm_sec;
  if (t == static_cast<std::time_t>(-1)) return false;
  std::error_code ec;
  fs::last_write_time(file, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(t)), ec);
  return !ec;
}

}  // namespace

// ---------------------------------------------------------------------------

bool TCABFileContents::IsSelected(const std::string& name) const {
  for (const TCABFileEntry& e : m_items) {
    if (EqualsNoCase(e.Name, name)) return e.Selected;
  }
  return false;
}

void TCABFile::ListContents() {
  CABFileContents.Clear();
  run(nullptr);
}

bool TCABFile::ExtractAll() {
  return Extract([this](const TCABFileEntry& e) { return targetUnder(e); });
}

bool TCABFile::ExtractFile(const std::string& name) {
  return Extract([&](const TCABFileEntry& e) -> std::optional<ExtractTarget> {
    if (!EqualsNoCase(e.Name, name)) return std::nullopt;
    return targetUnder(e);
  });
}

bool TCABFile::ExtractSelected() {
  return Extract([this](const TCABFileEntry& e) -> std::optional<ExtractTarget> {
    if (!CABFileContents.IsSelected(e.Name)) return std::nullopt;
    return targetUnder(e);
  });
}

bool TCABFile::Extract(const Route& route) { return run(&route); }

std::optional<ExtractTarget> TCABFile::targetUnder(const TCABFileEntry& entry) {
  const auto relative = SafeRelativePath(entry.Name);
  const bool noFileName = !entry.Name.empty() && (entry.Name.back() == '\\' || entry.Name.back() == '/');
  if (!relative || noFileName) {
    if (OnWarning) OnWarning(Format("\"%s\" not extracted: the name leads outside the target folder", entry.Name.c_str()));
    return std::nullopt;
  }
  std::error_code ec;
  fs::path base = TargetPath.empty() ? fs::current_path(ec) : TargetPath;
  if (!TargetPath.empty()) fs::create_directories(base, ec);
  fs::path folder = base;
  if (relative->has_parent_path()) {
    folder = ResolveFolderNoCase(base, relative->parent_path(), true).value_or(base / relative->parent_path());
  }
  return ExtractTarget{folder / relative->filename()};
}

bool TCABFile::run(const Route* route) {
  m_lastError.clear();
  if (route) ++m_passes;
  const std::string cabinetPath = CABFile.string();

  // The header words the counts come from; a file that cannot be opened at
  // all leaves the counts as they were.
  unsigned char header[36] = {};
  size_t headerBytes = 0;
  if (CABData) {
    headerBytes = std::min(CABData->size(), sizeof header);
    std::memcpy(header, CABData->data(), headerBytes);
  } else {
    std::FILE* probe = std::fopen(cabinetPath.c_str(), "rb");
    if (!probe) {
      m_lastError = Format("cannot open %s: %s", PathText(CABFile).c_str(), std::strerror(errno));
      return false;
    }
    headerBytes = std::fread(header, 1, sizeof header, probe);
    std::fclose(probe);
  }

  m_cabSize = m_folderCount = m_fileCount = -1;

  Run state;
  std::memset(&state.sys, 0, sizeof state.sys);
  state.sys.open = &SysOpen;
  state.sys.close = &SysClose;
  state.sys.read = &SysRead;
  state.sys.write = &SysWrite;
  state.sys.seek = &SysSeek;
  state.sys.tell = &SysTell;
  state.sys.message = &SysMessage;
  state.sys.alloc = &SysAlloc;
  state.sys.free = &SysFree;
  state.sys.copy = &SysCopy;
  state.owner = this;
  state.memory = CABData;

  Session session(state);
  mscab_decompressor* cabd = session.decompressor();
  if (!cabd) {
    m_lastError = "the cabinet library could not start";
    return false;
  }
  // The input buffer stays at libmspack's 4 KB: decompressors read that far
  // ahead, and a larger buffer reaches further into following blocks, so a
  // cabinet damaged two blocks on would fail entries that are whole.

  session.setCabinet(cabd->open(cabd, CABData ? kMemoryCabinet : cabinetPath.c_str()));
  if (state.pending) std::rethrow_exception(state.pending);
  mscabd_cabinet* cab = session.cabinet();
  const bool signature = headerBytes == sizeof header && std::memcmp(header, "MSCF", 4) == 0;
  if (!cab) {
    // libmspack refuses a cabinet without files; it is still a cabinet,
    // with nothing in it.
    if (signature && U16At(header + 28) == 0) {
      m_cabSize = static_cast<int32_t>(U32At(header + 8));
      m_folderCount = U16At(header + 26);
      m_fileCount = 0;
      return true;
    }
    // The user reads these: say what is wrong with the file, not only the code.
    const std::string name = PathText(CABFile);
    if (headerBytes == 0)
      m_lastError = name + " is empty";
    else if (headerBytes < 4 || std::memcmp(header, "MSCF", 4) != 0)
      m_lastError = name + " is not a cabinet (it does not begin with \"MSCF\")";
    else
      m_lastError = Format("%s : the cabinet's header is damaged or cut short (%s)", name.c_str(),
                           MspackErrorText(cabd->last_error(cabd)));
    return false;
  }
  if (signature) {
    m_cabSize = static_cast<int32_t>(U32At(header + 8));
    m_folderCount = U16At(header + 26);
    m_fileCount = U16At(header + 28);
  }

  struct Item {
    mscabd_file* file;
    size_t folder;
    TCABFileEntry entry;
  };
  std::vector<Item> items;
  std::vector<const mscabd_folder*> folders;
  state.totalLimit = 0;
  for (const mscabd_folder* f = cab->folders; f; f = f->next) {
    folders.push_back(f);
    state.totalLimit += static_cast<int64_t>(f->num_blocks) * kBlockBytes;
  }
  for (mscabd_file* f = cab->files; f; f = f->next) {
    Item item{f, folders.size(), {}};
    for (size_t i = 0; i < folders.size(); ++i) {
      if (folders[i] == f->folder) item.folder = i;
    }
    TCABFileEntry& e = item.entry;
    e.Name = (f->attribs & MSCAB_ATTRIB_UTF_NAME) ? Utf8ToCp1252(f->filename) : std::string(f->filename);
    e.Size = static_cast<int32_t>(f->length);
    e.DosDate = static_cast<uint16_t>(((f->date_y - 1980) << 9) | (f->date_m << 5) | f->date_d);
    e.DosTime = static_cast<uint16_t>((f->time_h << 11) | (f->time_m << 5) | (f->time_s >> 1));
    e.DateTime = DosToDateTime(e.DosDate, e.DosTime);
    e.Index = static_cast<int32_t>(items.size());
    items.push_back(std::move(item));
  }

  if (!route) {
    for (Item& item : items) CABFileContents.Add() = std::move(item.entry);
    return true;
  }

  // Cabinet data order: libmspack restarts a folder from its first block
  // whenever it is asked for an earlier offset, and CabWiz lists members
  // in the reverse of the order a caller usually wants them.
  std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
    if (a.folder != b.folder) return a.folder < b.folder;
    return a.file->offset < b.file->offset;
  });

  FolderNameIndex existing;
  fs::path madeFolder;  // the last folder known to exist
  for (const Item& item : items) {
    if (StopRequested()) {
      m_lastError = kStoppedText;
      return false;
    }
    const std::optional<ExtractTarget> target = (*route)(item.entry);
    if (!target) continue;
    const fs::path& file = target->File;
    std::error_code ec;
    if (!target->Discard && file.has_parent_path() && file.parent_path() != madeFolder) {
      if (!fs::exists(file.parent_path(), ec)) fs::create_directories(file.parent_path(), ec);
      madeFolder = file.parent_path();
    }

    if (const auto old = target->Discard ? std::nullopt : existing.find(file)) {
      bool allow = true;
      if (OnOverWriteFile) OnOverWriteFile(file, allow);
      if (!allow) continue;
      // A folder of that name stays; creating the file then fails and stops the run.
      if (!fs::is_directory(fs::symlink_status(*old, ec)) && fs::remove(*old, ec)) existing.removed(*old);
    }

    state.current = &item.entry;
    state.target = &*target;
    state.written = 0;
    state.outputCreated = false;
    state.outputFailed = false;
    const std::string hostName = file.string();
    int error = cabd->extract(cabd, item.file, hostName.c_str());
    state.current = nullptr;
    state.target = nullptr;
    if (error == MSPACK_ERR_OK && state.outputFailed) error = MSPACK_ERR_WRITE;
    if (error != MSPACK_ERR_OK || state.pending) {
      // An incomplete file is worse than none: take it away again.
      if (state.outputCreated && !target->Discard) fs::remove(file, ec);
      if (state.pending) std::rethrow_exception(state.pending);
      if (state.stopped) {
        m_lastError = kStoppedText;
      } else if (state.overLimit) {
        m_lastError = Format("%s: the entries hold more than the %lld bytes the cabinet's folders declare (entries "
                             "overlap); stopped",
                             item.entry.Name.c_str(), static_cast<long long>(state.totalLimit));
      } else {
        m_lastError = state.ioError.empty() ? EntryError(PathText(CABFile), item.entry.Name, error)
                                            : state.ioError;
      }
      return false;
    }
    if (target->Discard) continue;
    existing.added(file);
    if (!SetLocalModificationTime(file, item.entry.DosDate, item.entry.DosTime) && OnWarning) {
      OnWarning(Format("%s: the file time could not be set", PathText(file).c_str()));
    }
  }
  return true;
}

}  // namespace vornix
