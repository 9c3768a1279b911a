// The mspack_system of the cabinet component: every file libmspack opens goes
// through these callbacks, so every byte written passes one place that checks
// the destination, counts what the cabinet may hold, reports progress and
// notices a stop. They are called from C, so nothing may throw out of them: an
// exception from a handler is kept in the run and thrown again once libmspack
// has returned.
#pragma once

#include <mspack.h>

#include <cstdint>
#include <ctime>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cabfiles/cab_writer.h"

namespace vornix {

class TCABFile;
struct TCABFileEntry;
struct ExtractTarget;

/// The name libmspack is given for a cabinet read from memory.
inline constexpr const char* kMemoryCabinet = "<memory>";

/// The state of one run over a cabinet, which the callbacks work on.
struct CabRun {
  CabRun(TCABFile& owner, std::optional<std::string_view> memory);
  CabRun(const CabRun&) = delete;
  CabRun& operator=(const CabRun&) = delete;

  mspack_system sys;
  TCABFile* owner;
  std::exception_ptr pending;  // thrown again once libmspack has returned

  // The cabinet in memory, when it is read from there.
  std::optional<std::string_view> memory;

  // The entry being written.
  const TCABFileEntry* current = nullptr;
  const ExtractTarget* target = nullptr;
  int64_t written = 0;
  bool outputCreated = false;  // asked for; the writer says whether it was made
  bool outputFailed = false;
  std::string ioError;                    // what went wrong with the output file
  std::shared_ptr<WriterFile> output;     // the entry's file, when one was opened
  std::optional<std::time_t> outputTime;  // its modification time, given as it is closed

  // Output files are created and filled on the writer's thread.
  CabWriter writer;

  // All bytes written in the run, and what the cabinet's folders can hold.
  int64_t totalWritten = 0;
  int64_t totalLimit = INT64_MAX;
  bool overLimit = false;
  bool stopped = false;

  /// Readies the run for writing `entry` to `where`; end() after it.
  void begin(const TCABFileEntry& entry, const ExtractTarget& where);
  void end();

  void outputError(const char* what, const std::string& path, int error) noexcept;
  void warn(const char* text) noexcept;
  /// True once the writer has failed; its reason becomes the run's I/O error.
  bool writerFailed() noexcept;
  /// Waits for the writer, then removes the entry's file if the writer made it.
  void removeOutput() noexcept;
};

/// libmspack's decompressor and cabinet for one run, freed however the run
/// ends. While it lives, the callbacks on this thread work on its run.
class CabSession {
 public:
  explicit CabSession(CabRun& run);
  ~CabSession();
  CabSession(const CabSession&) = delete;
  CabSession& operator=(const CabSession&) = delete;

  mscab_decompressor* decompressor() const { return m_decompressor; }
  mscabd_cabinet* cabinet() const { return m_cabinet; }
  /// Opens the cabinet (a host path, or kMemoryCabinet); null on failure.
  mscabd_cabinet* open(std::string name);

 private:
  // libmspack keeps the name, not a copy of it, and opens the file by it again
  // for every folder it reads.
  std::string m_name;
  CabRun* m_previousRun;
  mscab_decompressor* m_decompressor = nullptr;
  mscabd_cabinet* m_cabinet = nullptr;
};

}  // namespace vornix
