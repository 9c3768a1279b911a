// Facts of a program file (.exe, .dll, .ocx, .cpl): what its PE header and its
// version resource tell, read from bytes in memory.
//
// Program files in a package come from anyone, so every offset, count and
// length in them is checked against the bytes that are really there: a header
// that lies yields the facts that could be read plus warnings, never a read
// outside the buffer, an endless walk or an allocation the file size does not
// justify.
//
// Texts of the version resource are UTF-8 (they are stored as UTF-16 and may
// hold characters that Windows-1252 lacks); the fixed names are ASCII.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vornix {

/// VS_FIXEDFILEINFO, field for field.
struct FixedFileInfo {
  uint32_t Signature = 0;
  uint32_t StrucVersion = 0;
  uint32_t FileVersionMS = 0;
  uint32_t FileVersionLS = 0;
  uint32_t ProductVersionMS = 0;
  uint32_t ProductVersionLS = 0;
  uint32_t FileFlagsMask = 0;
  uint32_t FileFlags = 0;
  uint32_t FileOS = 0;
  uint32_t FileType = 0;
  uint32_t FileSubtype = 0;
  uint32_t FileDateMS = 0;
  uint32_t FileDateLS = 0;

  /// "%d.%d.%d.%d" of the file version / product version.
  std::string fileVersionText() const;
  std::string productVersionText() const;
  /// The names of the VS_FF_* bits set in FileFlags, lowest bit first.
  std::vector<std::string> flagNames() const;
};

/// One string of the StringFileInfo block.
struct VersionString {
  std::string Table;  // the string table's key, language and code page ("040904B0")
  std::string Key;    // "CompanyName", "FileDescription", ...
  std::string Value;
};

enum class VersionResourceState {
  Absent,      // no version resource (or no resources at all)
  Unreadable,  // the resource is listed with its size, but its bytes are not in the file
  Read,        // read, as far as its blocks allowed
};

struct ProgramFileInfo {
  uint16_t Machine = 0;          // IMAGE_FILE_MACHINE_*
  uint16_t Characteristics = 0;  // of the COFF header
  uint16_t SectionCount = 0;     // as the header says
  bool Pe32Plus = false;         // 64-bit optional header
  bool HasOptionalHeader = false;
  uint16_t Subsystem = 0;  // IMAGE_SUBSYSTEM_*
  uint16_t SubsystemMajor = 0;
  uint16_t SubsystemMinor = 0;
  uint16_t OsMajor = 0;
  uint16_t OsMinor = 0;
  /// The CLR runtime header's data directory is not empty: a .NET assembly.
  bool IsDotNet = false;

  VersionResourceState Version = VersionResourceState::Absent;
  /// The root block's VS_FIXEDFILEINFO, when it is there with its signature.
  std::optional<FixedFileInfo> Fixed;
  /// Every string of every string table, in file order.
  std::vector<VersionString> Strings;

  bool isDll() const;
  /// "ARM", "THUMB", "i386", ... or empty for an undefined number.
  std::string_view machineName() const;
  /// "Windows CE GUI", ... or empty for an undefined number.
  std::string_view subsystemName() const;
  /// "major.minor" of the subsystem version ("4.20", "3.0").
  std::string subsystemVersionText() const;
  /// The value of the first string named `key` (ASCII letter case ignored,
  /// as the platform's version query does); nullptr when there is none.
  const std::string* string(std::string_view key) const;
};

enum class ProgramFileStatus {
  Success,     // "MZ", a PE signature and the COFF header were read
  NotProgram,  // anything else: no facts at all
};

struct [[nodiscard]] ProgramFileReadResult {
  ProgramFileStatus Status = ProgramFileStatus::NotProgram;
  /// Why the bytes are not a PE file (empty on success).
  std::string Message;
  /// Where the reading stopped, for NotProgram.
  uint64_t Offset = 0;
  /// Facts as far as they could be read (default values for NotProgram).
  ProgramFileInfo Info;
  /// What could not be read as the headers claim; the reading went on.
  std::vector<std::string> Warnings;

  bool ok() const { return Status == ProgramFileStatus::Success; }
};

/// Reads the facts of a program file from its bytes.
ProgramFileReadResult ReadProgramFile(std::span<const uint8_t> bytes);
ProgramFileReadResult ReadProgramFile(std::string_view bytes);

/// True when the bytes start with "MZ" and hold a PE signature where the DOS
/// header points (a cheap test before a full reading).
bool LooksLikeProgramFile(std::string_view bytes);

/// True for the extensions whose files are program files: ".exe", ".dll",
/// ".ocx", ".cpl" (letter case ignored; the dot is part of `extension`).
bool IsProgramFileExtension(std::string_view extension);

/// The error text shown when a version resource is listed but cannot be read.
inline constexpr const char* kVersionInfoError = "Can''t get version info";

/// The version text of a program file: the file version "%d.%d.%d.%d",
/// followed by " Beta" when its flags have the pre-release bit and then
/// " Debug" when they have the debug bit. Empty when there is no version
/// resource or its root block holds no fixed file information (also for
/// bytes that are not a program file). A resource that is listed but cannot
/// be read also gives an empty text; callers that must tell it apart look at
/// `Info.Version == VersionResourceState::Unreadable` and show
/// kVersionInfoError.
std::string VersionText(const ProgramFileInfo& info);

/// " (v. " + the version text, or "?" when it is empty, + ")": what the
/// popup's open item appends for a program file.
std::string VersionSuffix(const ProgramFileInfo& info);

}  // namespace vornix
