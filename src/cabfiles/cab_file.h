// The cabinet component: lists a Microsoft Cabinet and extracts its entries.
//
// Built on libmspack with our own mspack_system, so every byte written goes
// through one place that checks the destination, reports progress and asks
// before replacing a file. Entry names are kept as Windows-1252 text (the
// model's code page); host paths are UTF-8.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace vornix {

/// One entry of the cabinet.
struct TCABFileEntry {
  std::string Name;      // as stored (Windows-1252), may hold "\" or "/"
  int32_t Size = 0;      // uncompressed size
  double DateTime = 0;   // days since 1899-12-30, local time, as stored
  uint16_t DosDate = 0;  // the stored words, for exact texts
  uint16_t DosTime = 0;
  bool Selected = false;
  std::string RelPath;  // kept for the published layout; never filled
  int32_t Index = -1;   // position in the cabinet's list of files
};

/// A cabinet's entries in cabinet order, as the readers of its setup
/// descriptions match them against their records.
using CabListing = std::vector<TCABFileEntry>;

/// The package's setup DLL: the first entry whose extension is ".999"
/// (letter case counts); null when there is none.
const TCABFileEntry* FindSetupDll(const CabListing& listing);

/// The ordered contents list.
class TCABFileContents {
 public:
  void Clear() { m_items.clear(); }
  TCABFileEntry& Add() { return m_items.emplace_back(); }
  int Count() const { return static_cast<int>(m_items.size()); }
  TCABFileEntry& Item(int index) { return m_items.at(static_cast<size_t>(index)); }
  const TCABFileEntry& Item(int index) const { return m_items.at(static_cast<size_t>(index)); }
  /// Selected flag of the first entry named `name` (letter case ignored); false when none.
  bool IsSelected(const std::string& name) const;
  const std::vector<TCABFileEntry>& items() const { return m_items; }

 private:
  std::vector<TCABFileEntry> m_items;
};

/// Where one cabinet entry goes, decided by the caller of Extract().
struct ExtractTarget {
  ExtractTarget(std::filesystem::path file = {}) : File(std::move(file)) {}  // NOLINT: a path is a target
  std::filesystem::path File;                                                // full host path of the file to write
  /// Decompress and check the entry, write nothing (fuzzing, checks).
  bool Discard = false;
  /// When set, the entry's bytes go here (replacing what it held) instead
  /// of into a file: the setup descriptions, which are read at once. Left
  /// empty when the entry could not be read to its end.
  std::string* Memory = nullptr;
  bool writesFile() const { return !Discard && !Memory; }
  /// The name messages give the file; its path when empty.
  std::string Shown;
  /// A name of the caller's own making that no other file has (a staged
  /// entry's): the folder is not searched for an older file to replace. The
  /// file is created exclusively all the same; a name taken anyway fails.
  bool FreshName = false;
};

/// The header's words the component reads itself (libmspack reads the rest).
struct CabHeaderProbe {
  size_t BytesRead = 0;         // of the 36 bytes of the fixed header
  bool StartsWithMscf = false;  // the file's first four bytes are "MSCF"
  bool Signature = false;       // and the whole fixed header is there
  uint32_t CabinetSize = 0;
  uint16_t FolderCount = 0;
  uint16_t FileCount = 0;
};

struct CabItem;
struct CabRun;
class CabSession;
class MszipFolderReader;

class TCABFile {
 public:
  TCABFileContents CABFileContents;
  std::filesystem::path CABFile;     // the cabinet to work on
  std::filesystem::path TargetPath;  // folder for extraction; empty = current directory
  /// When set, the cabinet is read from these bytes (which must outlive the
  /// runs) and CABFile only names it in messages.
  std::optional<std::string_view> CABData;

  /// Raised before an existing file would be replaced; clearing allow skips the entry.
  std::function<void(const std::filesystem::path& file, bool& allow)> OnOverWriteFile;
  /// Raised after every block written: stored name, bytes so far, entry size.
  std::function<void(const std::string& name, int64_t pos, int64_t tot)> OnDecompressProgress;
  /// Warnings the library or the file system reported during a run.
  std::function<void(const std::string& text)> OnWarning;
  /// When set, an extracting run fills CABFileContents and the counts as
  /// ListContents() does and raises this before it routes the first entry:
  /// one run both lists the cabinet and takes out what the listing asks for.
  std::function<void()> OnListed;

  std::string Version() const { return "1.5.1.1"; }
  /// The cabinet's size as its header gives it ("taille": size), its
  /// folders (compression units, "Nb": number of) and its files; -1 when the
  /// file could not be read as a cabinet.
  int32_t CabTaille() const { return m_cabSize; }
  int32_t NbDirs() const { return m_folderCount; }
  int32_t NbFiles() const { return m_fileCount; }

  /// Fills CABFileContents in cabinet order and sets the three counts (-1 when
  /// the file is not a cabinet). Writes nothing. A cabinet without files is
  /// a cabinet with nothing in it, not a failure.
  Result<void> ListContents();
  Result<void> ExtractAll();
  /// Extracts the entry whose stored name equals `name`, letter case ignored;
  /// a name that is not in the cabinet is no failure.
  Result<void> ExtractFile(const std::string& name);
  /// Extracts the entries selected in CABFileContents.
  Result<void> ExtractSelected();

  /// One pass over the cabinet in cabinet order: `route` is asked for each
  /// entry and returns where it goes (nullopt skips it). Entries whose stored
  /// name is unsafe (absolute, drive, "..", NUL) are never written by the
  /// mode-based operations above; a custom route decides for itself. A run
  /// stops with an error once it has written more than the cabinet's folders
  /// hold (entries that overlap one another), and when a stop is requested.
  using Route = std::function<std::optional<ExtractTarget>(const TCABFileEntry&)>;
  Result<void> Extract(const Route& route);

  /// Files are written on a thread of their own and are all on disk when a
  /// run returns. A route that reads a file an earlier entry of the same run
  /// wrote waits for it with this first.
  void WaitForWrites();

  /// How many extracting runs opened the cabinet: a caller that promises one
  /// pass for many entries can be held to it.
  int ExtractionPasses() const { return m_passes; }

 private:
  /// One run over the cabinet: lists when `route` is null, extracts otherwise.
  Result<void> run(const Route* route);
  /// The first bytes of the cabinet; fails when the file cannot be opened.
  Result<CabHeaderProbe> probeHeader() const;
  /// The failure of a cabinet libmspack would not open; success (and counts)
  /// for a cabinet without files.
  Result<void> refuse(const CabHeaderProbe& header, int libraryError);
  Result<void> extractItems(std::vector<CabItem>& items, const Route& route, CabRun& state, CabSession& session);
  /// Writes one entry where `target` says; the error names the entry.
  Result<void> extractOne(const CabItem& item, const ExtractTarget& target, CabRun& state, CabSession& session,
                          MszipFolderReader* fast);
  /// TargetPath plus the stored name's folder part (created), for the mode-based
  /// operations; nullopt (with a warning) for a name that is not safe.
  std::optional<ExtractTarget> targetUnder(const TCABFileEntry& entry);

  int32_t m_cabSize = -1;
  int32_t m_folderCount = -1;
  int32_t m_fileCount = -1;
  int m_passes = 0;
  CabRun* m_activeRun = nullptr;
};

}  // namespace vornix
