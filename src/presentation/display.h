// The texts of a read setup description's values, made in one place: the
// lists, the report, the INF and the JSON all take them from here, and
// nothing reads a value back out of one of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "setup/setup_info.h"

namespace vornix {

// Numbers, sizes and dates

/// An ID as the lists show it: at least three digits ("001", "1000").
std::string IdText3(uint32_t id);
/// Flags as eight hexadecimal digits after "0x".
std::string FlagsText(uint32_t flags);
/// A size in bytes, in decimal.
std::string SizeText(int32_t bytes);
/// The stored DOS date and time words: "2009-06-15  12:30".
std::string DosDateText(uint16_t date, uint16_t time);

// The header

/// "2577 (StrongARM)"; "Unknown" for a code without a name.
std::string ProcessorText(const TSetupHeader& header);
/// The processor code alone.
std::string ProcessorTypeText(const TSetupHeader& header);
std::string MinVersionText(const TSetupHeader& header);  // "4.20"
std::string MaxVersionText(const TSetupHeader& header);
std::string MinBuildText(const TSetupHeader& header);  // signed decimal
std::string MaxBuildText(const TSetupHeader& header);
/// The platforms in double quotes, joined by ",": "\"HPC\",\"JUPITER\"".
std::string UnsupportedPlatformsText(const std::vector<std::string>& platforms);

// Directories

/// The string IDs of a directory joined by "\": "1\7".
std::string DirIdPathText(const AListDir& dir);

// Files

/// A file name as the INF and the lists write it: in double quotes unless it
/// is an 8.3 name without blanks.
std::string InfFileName(std::string_view name);
/// The name of the file's cabinet entry: empty when the cabinet has none,
/// twelve tildes for a bare setup file (no cabinet at all).
std::string FileCabName(const TSetupInfo& info, const AListFiles& file);
/// Its entry's size and date; " " when it has no entry.
std::string FileCabSize(const AListFiles& file);
std::string FileCabDate(const AListFiles& file);
/// "(001) \Program Files\MyApp": the directory's ID and path; empty when the
/// directory is unknown.
std::string FileDirText(const TSetupInfo& info, const AListFiles& file);
/// The extension of the file's name without its dot, in lower case.
std::string FileTypeText(const AListFiles& file);
/// The file's line in its INF copy section with its flags, the self-register
/// bit left out: "app.exe,,,0x00000003".
std::string FileCopyLine(const AListFiles& file);
/// The INF names of the files that register themselves, in file order.
std::vector<std::string> SelfRegisterNames(const TSetupInfo& info);

// The setup DLL

/// The name the setup DLL is installed under: its stored name ending in ".dll".
std::string SetupDllFileName(const SetupDllEntry& dll);

// Registry

/// "HKLM" for root 3; empty for a root without a name.
std::string HiveRootText(const AListHive& hive);
/// "(002) - HKLM\Software\App": the hive's ID, root and path; empty when the
/// hive is unknown.
std::string HiveText(const TSetupInfo& info, const AListReg& key);
/// "REG_SZ", "REG_BINARY", "REG_MULTI_SZ", "REG_DWORD", or empty.
std::string RegTypeText(const AListReg& key);
/// The value as stored: a string's text, a multi-string's texts in double
/// quotes joined by ",", binary data and a DWORD in hexadecimal digits.
std::string RegRawValueText(const AListReg& key);
/// The same with the directory macros applied and "%InstallDir%" replaced.
std::string RegValueText(const TSetupInfo& info, const AListReg& key);
/// What the value is known for: "\"msft\"", "Theme Generator Microsoft", or empty.
std::string RegNoteText(const TSetupInfo& info, const AListReg& key);

// Shortcuts

/// "Directories", "File" or "?" for the target's kind.
std::string ShortcutKindText(const AListRac& shortcut);
/// The folder path, the file's INF name or the setup DLL's name the shortcut
/// points to; none when its target cannot be found.
std::optional<std::string> ShortcutTargetName(const TSetupInfo& info, const AListRac& shortcut);
/// The target as the list shows it: "(001) " and its name, "?" for a file
/// or kind that cannot be found, empty for a folder that cannot be.
std::string ShortcutTargetText(const TSetupInfo& info, const AListRac& shortcut);

}  // namespace vornix
