// The decoded setup description (".000" file) and its reader.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "setup/setup_format.h"

namespace vornix {

/// One string record.
struct AListChaine {
  uint16_t Id = 0;
  std::string IdText;
  std::string Value;       // as stored
  std::string Equivalent;  // Value expanded with the macro table
};

/// One directory record.
struct AListDir {
  uint16_t Id = 0;
  std::string IdText;
  std::vector<uint16_t> StringIds;  // without the closing 0
  std::string IdPath;               // e.g. 1\7
  std::string Path;                 // e.g. \Program Files\MyApp
  std::string RawPath;              // e.g. %CE1%\MyApp
};

/// One file record.
struct AListFiles {
  uint16_t Id = 0;
  std::string IdText;
  uint16_t DirId = 0;
  uint16_t OrderNumber = 0;
  uint32_t Flags = 0;
  std::string Name;
  std::string InfName;
  std::string CabName;
  std::string CabSize;
  std::string CabDate;
  std::string DirText;
  std::string OrderText;
  std::string FlagsText;
  std::string TypeText;
  std::string CopyLine;
};

/// One registry hive record.
struct AListHive {
  uint16_t Id = 0;
  std::string IdText;
  uint16_t Root = 0;
  std::string RootName;
  std::vector<uint16_t> StringIds;
  std::string Path;
};

/// One registry value record.
struct AListReg {
  uint16_t Id = 0;
  std::string IdText;
  uint16_t HiveId = 0;
  uint32_t Flags = 0;
  std::string HiveText;
  std::string TypeName;
  std::string FlagsText;
  std::string Name;
  std::string RawValue;
  std::string Value;
  std::string Note;
  /// The texts of a REG_MULTI_SZ value one by one, so that a text holding a
  /// double quote and a comma is never taken for two.
  std::vector<std::string> MultiTexts;
};

/// One shortcut record.
struct AListRac {
  uint16_t Id = 0;
  std::string IdText;  // plain decimal
  uint16_t BaseDirId = 0;
  uint16_t FolderNumber = 0;
  uint16_t TargetId = 0;
  uint16_t Kind = 0;
  std::vector<uint16_t> StringIds;
  std::string Name;
  std::string InstalledAt;
  std::string InstalledAtRaw;
  bool OwnSection = false;
  std::string StandardFolder;
  std::string KindText;
  std::string TargetText;
};

/// The cabinet entry holding the setup DLL (extension ".999").
struct SetupDllEntry {
  std::string Name;  // empty when there is none
  std::string Size;
  std::string Date;
  bool present() const { return !Name.empty(); }
};

struct TSetupInfo {
  TSetupHeader Header;
  uint64_t ActualFileSize = 0;
  std::string Signature;
  std::string ProcessorText;
  std::string MinVersion, MaxVersion;
  std::string MinBuild, MaxBuild;
  std::string ProcessorTypeText;
  std::string AppName;
  std::string Provider;
  std::string UnsupportedPlatforms;
  std::string InstallDir;
  std::string InstallDirExpanded;
  bool ProviderInInstallDir = false;

  std::vector<AListChaine> Strings;
  std::vector<AListDir> Dirs;
  std::vector<AListFiles> Files;
  std::vector<AListHive> Hives;
  std::vector<AListReg> RegKeys;
  std::vector<AListRac> Shortcuts;

  SetupDllEntry SetupDll;
  std::vector<std::string> SelfRegister;
  std::vector<std::string> Duplicates;  // sorted without regard to case
  bool HasDuplicates = false;
  bool HasShortList = false;
  bool HasOwnSections = false;

  // Lookups by ID number (first record in file order); null when none.
  const AListChaine* findString(uint32_t id) const;
  const AListDir* findDir(uint32_t id) const;
  const AListFiles* findFile(uint32_t id) const;
  const AListHive* findHive(uint32_t id) const;
  /// Position of the hive in Hives, or -1.
  int hivePosition(uint32_t id) const;
  /// True when some file record lies in the directory with this ID.
  bool dirHoldsFiles(uint32_t dirId) const;
};

/// The cabinet listing the reader matches file records against.
struct CabListing {
  std::vector<std::string> Names;  // stored names, cabinet order
  std::vector<std::string> Sizes;  // "%d"
  std::vector<std::string> Dates;  // "%.4d-%.2d-%.2d  %.2d:%.2d"
};

struct SetupReadInput {
  std::string Path;          // host path of the setup file
  std::string DisplayName;   // name shown in read-error messages
  bool CabinetMode = false;
  bool ListingFailed = false;
  bool CheckSignature = true;
  const CabListing* Listing = nullptr;  // may be null outside cabinet mode
};

enum class SetupReadStatus { Success, ListingFailed, NoHeader, SizeWrong, BadSignature, ReadError, TooLarge };

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

struct SetupReadResult {
  SetupReadStatus Status = SetupReadStatus::ReadError;
  /// The message to show (empty on success).
  std::string Message;
  std::optional<TSetupInfo> Info;
  /// Values that could not be read as written; the read went on.
  std::vector<std::string> Warnings;
  bool ok() const { return Status == SetupReadStatus::Success; }
};

/// Reads and checks a setup file. The four rejections come in this order:
/// listing failed, no header, size wrong, bad signature. A record running past
/// the end yields ReadError with a message naming the file.
SetupReadResult ReadSetupFile(const SetupReadInput& input);

/// The same reader over bytes already in memory (fuzzing, previews).
SetupReadResult ReadSetupBytes(const std::string& bytes, const SetupReadInput& input);

/// "%.3d" of an ID.
std::string IdText3(uint32_t id);

/// True when the name is an 8.3 name without blanks (needs no quotes in the INF).
bool IsShortInfName(std::string_view name);

}  // namespace vornix
