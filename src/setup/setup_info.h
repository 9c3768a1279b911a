// The decoded setup description (".000" file) and its reader.
//
// The records hold values as the file stores them or as they follow from it:
// numbers as numbers, value bytes as bytes, the target of a shortcut as its
// kind and ID, a file's folder as a directory ID, dates as the stored DOS
// words. Every text the lists, the report, the INF and the JSON show is made
// from them in src/presentation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "cabfiles/cab_file.h"
#include "common/result.h"
#include "setup/setup_format.h"

namespace vornix {

/// One string record.
struct AListChaine {
  uint16_t Id = 0;
  std::string Value;       // as stored
  std::string Equivalent;  // Value expanded with the macro table
};

/// One directory record.
struct AListDir {
  uint16_t Id = 0;
  std::vector<uint16_t> StringIds;  // without the closing 0
  std::string Path;                 // e.g. \Program Files\MyApp ("?" for an unknown string)
  std::string RawPath;              // e.g. %CE1%\MyApp
};

/// The cabinet entry a record stands for: its stored name, size and date.
struct CabinetEntryRef {
  std::string Name;
  int32_t Size = 0;
  uint16_t DosDate = 0;  // the stored words
  uint16_t DosTime = 0;
};

/// One file record.
struct AListFiles {
  uint16_t Id = 0;
  uint16_t DirId = 0;
  uint16_t OrderNumber = 0;
  uint32_t Flags = 0;
  std::string Name;
  /// The entry whose extension is "." and the ID's three (or more) digits;
  /// none when the listing has none, or when there is no cabinet.
  std::optional<CabinetEntryRef> Entry;
};

/// One registry hive record.
struct AListHive {
  uint16_t Id = 0;
  uint16_t Root = 0;  // 1 HKCR, 2 HKCU, 3 HKLM, 4 HKU
  std::vector<uint16_t> StringIds;
  std::string Path;  // the known strings joined by "\"
};

/// One registry value record.
struct AListReg {
  uint16_t Id = 0;
  uint16_t HiveId = 0;
  uint32_t Flags = 0;  // type and the do-not-overwrite bit
  std::string Name;
  std::string Data;  // the value's bytes as stored, after the name's NUL
};

/// One shortcut record.
struct AListRac {
  uint16_t Id = 0;
  uint16_t BaseDirId = 0;
  uint16_t FolderNumber = 0;
  uint16_t TargetId = 0;
  uint16_t Kind = 0;  // 0 a directory, 1 a file: what TargetId names
  std::vector<uint16_t> StringIds;
  std::string Name;            // the known strings' equivalents joined by "\"
  std::string InstalledAt;     // the folder it is made in
  std::string InstalledAtRaw;  // the same with its macros
  /// In an INF section of its own (a base directory that is no standard folder).
  bool OwnSection = false;
  /// The number of the standard folder ("%CE<n>%") it is made in; 0 for the
  /// install directory or a section of its own.
  uint16_t StandardFolder = 0;
};

/// The cabinet entry holding the setup DLL (extension ".999").
struct SetupDllEntry : CabinetEntryRef {
  bool present() const { return !Name.empty(); }
};

struct TSetupInfo {
  TSetupHeader Header;
  uint64_t ActualFileSize = 0;
  std::string Signature;  // the header's four bytes
  std::string AppName;
  std::string Provider;
  std::vector<std::string> UnsupportedPlatforms;
  std::string InstallDir;          // the first string, as stored
  std::string InstallDirExpanded;  // with the macro table applied
  bool ProviderInInstallDir = false;
  /// The description came out of a cabinet: file records name its entries.
  bool CabinetMode = false;

  std::vector<AListChaine> Strings;
  std::vector<AListDir> Dirs;
  std::vector<AListFiles> Files;
  std::vector<AListHive> Hives;
  std::vector<AListReg> RegKeys;
  std::vector<AListRac> Shortcuts;

  SetupDllEntry SetupDll;
  std::vector<std::string> Duplicates;  // file names that repeat, sorted without regard to case
  bool HasDuplicates = false;
  bool HasShortList = false;    // a shortcut without a section of its own
  bool HasOwnSections = false;  // a shortcut with one

  // Lookups by ID number (first record in file order); null when none.
  const AListChaine* findString(uint32_t id) const;
  const AListDir* findDir(uint32_t id) const;
  const AListFiles* findFile(uint32_t id) const;
  const AListHive* findHive(uint32_t id) const;
  /// Position of the hive in Hives, or -1.
  int hivePosition(uint32_t id) const;
  /// True when some file record lies in the directory with this ID.
  bool dirHoldsFiles(uint32_t dirId) const;

  /// Indexes the records by ID, so the lookups above stop scanning the lists
  /// (the reader does it once it has read them; records added afterwards
  /// need another call).
  void indexIds();

 private:
  struct Index {
    std::unordered_map<uint16_t, size_t> Strings, Dirs, Files, Hives;
  };
  std::optional<Index> m_index;
};

struct SetupReadInput {
  std::string Path;         // host path of the setup file
  std::string DisplayName;  // name shown in read-error messages
  bool CabinetMode = false;
  bool CheckSignature = true;
  const CabListing* Listing = nullptr;  // may be null outside cabinet mode
};

/// Setup descriptions are a few kilobytes (the largest real ones some
/// hundred): a file above this size is refused before it is read or even
/// extracted, so a small package cannot make a job read gigabytes.
inline constexpr uint64_t kMaxSetupFileSize = 4u << 20;

/// What the records of one description may cost once read, listed, reported,
/// rebuilt into INF lines and printed as JSON (an estimate in bytes: a fixed
/// part per record and each text several times). Real packages use well
/// under a megabyte; a description that nests thousands of long names into
/// every path would need gigabytes, and is refused instead.
inline constexpr uint64_t kMaxSetupRecordCost = 48u << 20;

/// The refusal of a setup description larger than kMaxSetupFileSize.
std::string SetupTooLargeMessage(const std::string& name, uint64_t size);

/// The refusal of a setup description that could not be read at all.
Error SetupCannotOpenError(const std::string& name);

/// Reads and checks a setup file. The rejections come in this order:
/// NoHeader, SizeWrong, BadSignature (each with the reader's message);
/// a record running past the end is Truncated, with a message naming the
/// file and the offset; TooLarge for a file or records beyond the limits.
Result<TSetupInfo> ReadSetupFile(const SetupReadInput& input);

/// The same reader over bytes already in memory (fuzzing, previews).
Result<TSetupInfo> ReadSetupBytes(const std::string& bytes, const SetupReadInput& input);

}  // namespace vornix
