// On-disk layout of the binary setup description (the ".000" file) and the
// fixed tables that give its numbers meaning. No logic beyond lookups.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vornix {

inline constexpr size_t kSetupHeaderSize = 100;

/// The first 100 bytes of a setup file, decoded. Unread spans are not kept.
struct TSetupHeader {
  char Signature[4] = {};
  uint32_t FileSize = 0;           // offset 8
  int32_t ProcessorCode = 0;       // offset 20
  int32_t MinVersionMajor = 0;     // 24
  int32_t MinVersionMinor = 0;     // 28
  int32_t MaxVersionMajor = 0;     // 32
  int32_t MaxVersionMinor = 0;     // 36
  int32_t MinBuild = 0;            // 40
  int32_t MaxBuild = 0;            // 44
  uint16_t StringCount = 0;        // 48
  uint16_t DirCount = 0;           // 50
  uint16_t FileCount = 0;          // 52
  uint16_t HiveCount = 0;          // 54
  uint16_t RegKeyCount = 0;        // 56
  uint16_t ShortcutCount = 0;      // 58
  uint32_t StringOffset = 0;       // 60
  uint32_t DirOffset = 0;          // 64
  uint32_t FileOffset = 0;         // 68
  uint32_t HiveOffset = 0;         // 72
  uint32_t RegKeyOffset = 0;       // 76
  uint32_t ShortcutOffset = 0;     // 80
  uint16_t AppNameOffset = 0;      // 84
  uint16_t AppNameLength = 0;      // 86
  uint16_t ProviderOffset = 0;     // 88
  uint16_t ProviderLength = 0;     // 90
  uint16_t UnsupportedOffset = 0;  // 92
  uint16_t UnsupportedLength = 0;  // 94
};

/// File flag: the file registers itself on the device.
inline constexpr uint32_t kFileSelfRegister = 0x10000000;
/// Registry value flag: do not overwrite an existing value.
inline constexpr uint32_t kRegNoClobber = 0x00000002;
inline constexpr uint32_t kRegSz = 0x00000000;
inline constexpr uint32_t kRegBinary = 0x00000001;
inline constexpr uint32_t kRegMultiSz = 0x00010000;
inline constexpr uint32_t kRegDword = 0x00010001;

/// Maximal-build values that stand for screen-support flags.
inline constexpr uint32_t kBuildSquareScreen = 0xA0000000;
inline constexpr uint32_t kBuildScreenRotation = 0xC0000000;
inline constexpr uint32_t kBuildSquareAndRotation = 0xE0000000;

/// The rejections of a file that is no setup description, as the user reads
/// them; the signature's is followed by the four bytes found.
inline constexpr const char* kNoHeaderMessage = "WinCE file not valid : No Header";
inline constexpr const char* kSizeWrongMessage = "WinCE file not valid : File size wrong !";
inline constexpr const char* kBadSignatureMessage = "WinCE file not valid : Signature = ";

/// Field offsets of the header the rejections point at.
inline constexpr uint64_t kHeaderSignatureOffset = 0;
inline constexpr uint64_t kHeaderFileSizeOffset = 8;

/// "HKCR", "HKCU", "HKLM", "HKU" for roots 1..4, empty otherwise.
std::string_view HiveRootName(uint16_t root);

/// "REG_SZ", "REG_BINARY", "REG_MULTI_SZ", "REG_DWORD" or empty (the
/// do-not-overwrite bit is ignored).
std::string_view RegTypeName(uint32_t flags);

/// The registry value bytes decoded by type: a REG_SZ's text (up to its
/// NUL), a REG_MULTI_SZ's texts (up to the first empty one), a REG_DWORD's
/// number (only when the value holds exactly four bytes).
std::string_view RegSzText(std::string_view data);
std::vector<std::string_view> RegMultiSzTexts(std::string_view data);
bool RegDwordValue(std::string_view data, uint32_t& value);

/// True for an 8.3 name without blanks (one the INF needs not quote).
bool IsShortName(std::string_view name);

/// The extension of the cabinet entry that holds the file with this ID:
/// "." and the ID's digits, at least three (".001", ".1000").
std::string EntryExtensionFor(uint32_t fileId);

/// The processor's name, or nullptr when the code is not known.
const char* ProcessorName(int32_t code);

/// One entry of the directory macro table. (The name is the original
/// program's: "raccourci" means shortcut, but these are folder macros.)
struct TRaccourci {
  const char* Macro;
  const char* Folder;
};

/// The 17 directory macros "%CE1%".."%CE17%", in the order they are applied.
extern const std::array<TRaccourci, 17> kDirectoryMacros;

/// Applies the macro table to a text, in table order, case-sensitively.
std::string Expand(std::string_view text);

}  // namespace vornix
