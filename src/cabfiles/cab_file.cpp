#include "cabfiles/cab_file.h"

#include <mspack.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <unordered_map>

#include "cabfiles/cab_format.h"
#include "cabfiles/cab_system.h"
#include "cabfiles/mszip_folder.h"
#include "common/host_fs.h"
#include "common/interrupt.h"
#include "common/text.h"

namespace fs = std::filesystem;

namespace vornix {

/// A file of the cabinet as libmspack lists it, with its entry.
struct CabItem {
  mscabd_file* file;
  size_t folder;  // position of its folder in the cabinet
  TCABFileEntry entry;
};

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
  const int64_t days = DaysFromCivil((date >> 9) + 1980, (date >> 5) & 0x0F, date & 0x1F) - DaysFromCivil(1899, 12, 30);
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
Error EntryError(const std::string& cabinet, const std::string& entry, int error) {
  switch (error) {
    case MSPACK_ERR_READ:
      return MakeError(ErrorCode::Truncated, Format("%s : the cabinet ends inside %s (the file is cut short)",
                                                    cabinet.c_str(), entry.c_str()));
    case MSPACK_ERR_DATAFORMAT:
    case MSPACK_ERR_CHECKSUM:
    case MSPACK_ERR_DECRUNCH:
      return MakeError(ErrorCode::Damaged, Format("%s : a data block of %s is damaged (%s)", cabinet.c_str(),
                                                  entry.c_str(), MspackErrorText(error)));
    default:
      return MakeError(ErrorCode::Damaged, Format("%s : %s cannot be extracted (%s)", cabinet.c_str(), entry.c_str(),
                                                  MspackErrorText(error)));
  }
}

uint16_t U16At(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32At(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

CabHeaderProbe DecodeProbe(const unsigned char* header, size_t bytes) {
  namespace cf = cabformat;
  CabHeaderProbe probe;
  probe.BytesRead = bytes;
  probe.StartsWithMscf = bytes >= 4 && std::memcmp(header + cf::kSignature, "MSCF", 4) == 0;
  probe.Signature = bytes == cf::kHeaderSize && probe.StartsWithMscf;
  if (probe.Signature) {
    probe.CabinetSize = U32At(header + cf::kCabinetSize);
    probe.FolderCount = U16At(header + cf::kFolderCount);
    probe.FileCount = U16At(header + cf::kFileCount);
  }
  return probe;
}

// The entries libmspack listed, in cabinet order, each with the folder it is
// in; `state` learns what the folders can hold once decompressed.
std::vector<CabItem> ListItems(const mscabd_cabinet& cab, CabRun& state) {
  std::vector<const mscabd_folder*> folders;
  state.totalLimit = 0;
  for (const mscabd_folder* f = cab.folders; f; f = f->next) {
    folders.push_back(f);
    state.totalLimit += static_cast<int64_t>(f->num_blocks) * cabformat::kBlockBytes;
  }
  std::vector<CabItem> items;
  for (mscabd_file* f = cab.files; f; f = f->next) {
    CabItem item{f, folders.size(), {}};
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
  return items;
}

// The modification time a file gets from the entry's words (wall-clock time
// on the device, taken as local time here): nullopt when the words hold no
// date, -1 when the host cannot represent it.
std::optional<std::time_t> EntryTime(uint16_t date, uint16_t time) {
  if (!DosFieldsValid(date, time)) return std::nullopt;
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
  return it->second == static_cast<std::time_t>(-1) ? static_cast<std::time_t>(-1)
                                                    : it->second + tm.tm_min * 60 + tm.tm_sec;
}

// The MSZIP folders of the cabinet of a run, decompressed with ISA-L; one
// folder's reader at a time, as entries come in folder order. The cabinet is
// read for them when the first entry of an MSZIP folder comes: a cabinet of
// stored folders (most small packages) is not opened a second time.
class FastFolders {
 public:
  FastFolders(const fs::path& cabinet, std::optional<std::string_view> memory) : m_cabinet(cabinet), m_memory(memory) {}
  ~FastFolders() {
    m_reader.reset();
    if (m_file) std::fclose(m_file);
  }
  FastFolders(const FastFolders&) = delete;
  FastFolders& operator=(const FastFolders&) = delete;

  /// The reader for the item's folder, or null when libmspack must do it.
  MszipFolderReader* readerFor(const CabItem& item) {
    if (MSCABD_COMP_METHOD(item.file->folder->comp_type) != MSCAB_COMP_MSZIP) return nullptr;
    if (!m_placesRead) readPlaces();
    if (item.folder >= m_places.size() || !m_places[item.folder]) return nullptr;
    const MszipFolderPlace& place = *m_places[item.folder];
    // An entry that reaches past what the folder's blocks can hold fails in
    // libmspack, with its message.
    const int64_t end = static_cast<int64_t>(item.file->offset) + static_cast<int64_t>(item.file->length);
    if (end > static_cast<int64_t>(place.BlockCount) * cabformat::kBlockBytes) return nullptr;
    if (!m_reader || m_folder != item.folder) {
      m_reader = std::make_unique<MszipFolderReader>(place, m_memory, m_file);
      m_folder = item.folder;
    }
    return m_reader->failed() ? nullptr : m_reader.get();
  }

 private:
  void readPlaces() {
    m_placesRead = true;
    // The folder records lie within the first kilobytes of any cabinet
    // CabWiz writes; folders whose records lie further are left to libmspack.
    constexpr size_t kHeadBytes = 64 << 10;
    if (!m_memory) {
      m_file = std::fopen(m_cabinet.c_str(), "rb");
      if (!m_file) return;
      m_places = MszipFolders(ReadCabinetHead(m_file, kHeadBytes));
    } else {
      m_places = MszipFolders(m_memory->substr(0, kHeadBytes));
    }
  }

  fs::path m_cabinet;
  std::optional<std::string_view> m_memory;
  std::FILE* m_file = nullptr;
  bool m_placesRead = false;
  std::vector<std::optional<MszipFolderPlace>> m_places;
  std::unique_ptr<MszipFolderReader> m_reader;
  size_t m_folder = 0;
};

// Writes the entry through the run's own system, as libmspack would, from
// the ISA-L reader. False when the reader gave up: the partial file is gone
// and the run's counts are as they were, for libmspack to do the entry.
bool ExtractFast(const CabItem& item, const std::string& hostName, CabRun& state, MszipFolderReader& reader,
                 int& error) {
  const int64_t before = state.totalWritten;
  mspack_file* out = state.sys.open(&state.sys, hostName.c_str(), MSPACK_SYS_OPEN_WRITE);
  if (!out) {
    error = MSPACK_ERR_OPEN;
    return true;
  }
  int64_t position = item.file->offset;
  int64_t left = item.file->length;
  while (left > 0) {
    const std::string_view chunk = reader.next(position, left);
    if (chunk.empty()) break;
    const int bytes = static_cast<int>(chunk.size());
    if (state.sys.write(out, const_cast<char*>(chunk.data()), bytes) != bytes) {
      error = MSPACK_ERR_WRITE;
      break;
    }
    position += bytes;
    left -= bytes;
  }
  state.sys.close(out);
  if (error != MSPACK_ERR_OK || left == 0) return true;
  state.removeOutput();
  state.totalWritten = before;
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------

const TCABFileEntry* FindSetupDll(const CabListing& listing) {
  const auto dll = std::find_if(listing.begin(), listing.end(),
                                [](const TCABFileEntry& e) { return ExtensionOf(e.Name) == ".999"; });
  return dll == listing.end() ? nullptr : &*dll;
}

bool TCABFileContents::IsSelected(const std::string& name) const {
  for (const TCABFileEntry& e : m_items) {
    if (EqualsNoCase(e.Name, name)) return e.Selected;
  }
  return false;
}

Result<void> TCABFile::ListContents() {
  CABFileContents.Clear();
  return run(nullptr);
}

Result<void> TCABFile::ExtractAll() {
  return Extract([this](const TCABFileEntry& e) { return targetUnder(e); });
}

Result<void> TCABFile::ExtractFile(const std::string& name) {
  return Extract([&](const TCABFileEntry& e) -> std::optional<ExtractTarget> {
    if (!EqualsNoCase(e.Name, name)) return std::nullopt;
    return targetUnder(e);
  });
}

Result<void> TCABFile::ExtractSelected() {
  return Extract([this](const TCABFileEntry& e) -> std::optional<ExtractTarget> {
    if (!CABFileContents.IsSelected(e.Name)) return std::nullopt;
    return targetUnder(e);
  });
}

Result<void> TCABFile::Extract(const Route& route) { return run(&route); }

void TCABFile::WaitForWrites() {
  if (m_activeRun) m_activeRun->writer.wait();
}

std::optional<ExtractTarget> TCABFile::targetUnder(const TCABFileEntry& entry) {
  const auto relative = SafeRelativePath(entry.Name);
  const bool noFileName = !entry.Name.empty() && (entry.Name.back() == '\\' || entry.Name.back() == '/');
  if (!relative || noFileName) {
    if (OnWarning)
      OnWarning(Format("\"%s\" not extracted: the name leads outside the target folder", entry.Name.c_str()));
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

Result<CabHeaderProbe> TCABFile::probeHeader() const {
  unsigned char header[cabformat::kHeaderSize] = {};
  size_t bytes = 0;
  if (CABData) {
    bytes = std::min(CABData->size(), sizeof header);
    std::memcpy(header, CABData->data(), bytes);
  } else {
    std::FILE* file = std::fopen(CABFile.c_str(), "rb");
    if (!file) {
      return MakeError(ErrorCode::CannotOpen,
                       Format("cannot open %s: %s", PathText(CABFile).c_str(), std::strerror(errno)));
    }
    bytes = std::fread(header, 1, sizeof header, file);
    std::fclose(file);
  }
  return DecodeProbe(header, bytes);
}

Result<void> TCABFile::refuse(const CabHeaderProbe& header, int libraryError) {
  // libmspack refuses a cabinet without files; it is still a cabinet, with
  // nothing in it.
  if (header.Signature && header.FileCount == 0) {
    m_cabSize = static_cast<int32_t>(header.CabinetSize);
    m_folderCount = header.FolderCount;
    m_fileCount = 0;
    return {};
  }
  // The user reads these: say what is wrong with the file, not only the code.
  const std::string name = PathText(CABFile);
  if (header.BytesRead == 0) return MakeError(ErrorCode::NotACabinet, name + " is empty", 0);
  if (!header.StartsWithMscf)
    return MakeError(ErrorCode::NotACabinet, name + " is not a cabinet (it does not begin with \"MSCF\")", 0);
  return MakeError(
      ErrorCode::Damaged,
      Format("%s : the cabinet's header is damaged or cut short (%s)", name.c_str(), MspackErrorText(libraryError)), 0);
}

Result<void> TCABFile::run(const Route* route) {
  if (route) ++m_passes;
  // The header words the counts come from; a file that cannot be opened at
  // all leaves the counts as they were.
  const Result<CabHeaderProbe> header = probeHeader();
  if (!header) return header.error();
  m_cabSize = m_folderCount = m_fileCount = -1;

  CabRun state(*this, CABData);
  struct Active {
    CabRun*& slot;
    ~Active() { slot = nullptr; }
  } active{m_activeRun = &state};
  CabSession session(state);
  if (!session.decompressor()) return MakeError(ErrorCode::LibraryFailed, "the cabinet library could not start");
  mscabd_cabinet* cab = session.open(CABData ? kMemoryCabinet : CABFile.string());
  if (state.pending) std::rethrow_exception(state.pending);
  if (!cab) return refuse(*header, session.decompressor()->last_error(session.decompressor()));
  if (header->Signature) {
    m_cabSize = static_cast<int32_t>(header->CabinetSize);
    m_folderCount = header->FolderCount;
    m_fileCount = header->FileCount;
  }

  std::vector<CabItem> items = ListItems(*cab, state);
  if (!route) {
    for (CabItem& item : items) CABFileContents.Add() = std::move(item.entry);
    return {};
  }
  if (OnListed) {
    CABFileContents.Clear();
    for (const CabItem& item : items) CABFileContents.Add() = item.entry;
    OnListed();
  }
  return extractItems(items, *route, state, session);
}

Result<void> TCABFile::extractItems(std::vector<CabItem>& items, const Route& route, CabRun& state,
                                    CabSession& session) {
  // Cabinet data order: libmspack restarts a folder from its first block
  // whenever it is asked for an earlier offset, and CabWiz lists members
  // in the reverse of the order a caller usually wants them.
  std::stable_sort(items.begin(), items.end(), [](const CabItem& a, const CabItem& b) {
    if (a.folder != b.folder) return a.folder < b.folder;
    return a.file->offset < b.file->offset;
  });

  // Stored folders are copied, not decompressed: there is nothing for a
  // writer thread to overlap, only a copy of every block to hand over.
  if (std::none_of(items.begin(), items.end(),
                   [](const CabItem& i) { return MSCABD_COMP_METHOD(i.file->folder->comp_type) != MSCAB_COMP_NONE; }))
    state.writer.keepInline();

  FolderNameIndex existing;
  fs::path madeFolder;  // the last folder known to exist
  FastFolders fast(CABFile, CABData);
  for (const CabItem& item : items) {
    if (StopRequested()) return MakeError(ErrorCode::Stopped, kStoppedText);
    const std::optional<ExtractTarget> target = route(item.entry);
    if (!target) continue;
    const fs::path& file = target->File;
    std::error_code ec;
    if (target->writesFile() && file.has_parent_path() && file.parent_path() != madeFolder) {
      if (!fs::exists(file.parent_path(), ec)) fs::create_directories(file.parent_path(), ec);
      madeFolder = file.parent_path();
    }
    const bool mayReplace = target->writesFile() && !target->FreshName;
    if (const auto old = mayReplace ? existing.find(file) : std::nullopt) {
      bool allow = true;
      if (OnOverWriteFile) OnOverWriteFile(file, allow);
      if (!allow) continue;
      // The file may be the writer's, still on its way.
      state.writer.wait();
      // A folder of that name stays; creating the file then fails and stops the run.
      if (!fs::is_directory(fs::symlink_status(*old, ec)) && fs::remove(*old, ec)) existing.removed(*old);
    }
    state.outputTime = target->writesFile() ? EntryTime(item.entry.DosDate, item.entry.DosTime) : std::nullopt;
    if (state.outputTime == static_cast<std::time_t>(-1)) {
      state.outputTime.reset();
      if (OnWarning) OnWarning(Format("%s: the file time could not be set", PathText(file).c_str()));
    }
    if (Result<void> written = extractOne(item, *target, state, session, fast.readerFor(item)); !written)
      return written;
    if (mayReplace) existing.added(file);
  }
  // The run is over once every file is on disk: a full disk may only show now.
  state.writer.wait();
  if (OnWarning) {
    const std::string late = state.writer.timeFailures();
    for (size_t at = 0, end; (end = late.find('\n', at)) != std::string::npos; at = end + 1)
      OnWarning(Format("%s: the file time could not be set", late.substr(at, end - at).c_str()));
  }
  if (state.writerFailed()) return MakeError(ErrorCode::WriteFailed, state.ioError);
  return {};
}

Result<void> TCABFile::extractOne(const CabItem& item, const ExtractTarget& target, CabRun& state, CabSession& session,
                                  MszipFolderReader* fast) {
  mscab_decompressor* cabd = session.decompressor();
  state.begin(item.entry, target);
  const std::string hostName = target.File.string();
  int error = MSPACK_ERR_OK;
  if (!fast || !ExtractFast(item, hostName, state, *fast, error)) {
    // A reader that gave up left nothing behind: libmspack does the entry
    // from the start, and names what is wrong with it.
    state.begin(item.entry, target);
    error = cabd->extract(cabd, item.file, hostName.c_str());
  }
  state.end();
  if (error == MSPACK_ERR_OK && (state.outputFailed || state.writerFailed())) error = MSPACK_ERR_WRITE;
  if (error == MSPACK_ERR_OK && !state.pending) return {};
  // An incomplete file is worse than none: take it away again.
  state.removeOutput();
  if (target.Memory) target.Memory->clear();
  if (state.pending) std::rethrow_exception(state.pending);
  if (state.stopped) return MakeError(ErrorCode::Stopped, kStoppedText);
  if (state.overLimit) {
    return MakeError(ErrorCode::Overlap,
                     Format("%s: the entries hold more than the %lld bytes the cabinet's folders declare (entries "
                            "overlap); stopped",
                            item.entry.Name.c_str(), static_cast<long long>(state.totalLimit)));
  }
  if (!state.ioError.empty()) return MakeError(ErrorCode::WriteFailed, state.ioError);
  return EntryError(PathText(CABFile), item.entry.Name, error);
}

}  // namespace vornix
