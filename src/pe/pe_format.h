// On-disk layout of PE (Portable Executable) files and of the version
// resource, as far as the program-file facts need them, and the tables that
// give their numbers names. No logic beyond lookups.
#pragma once

#include <cstdint>
#include <string_view>

namespace vornix::pe {

// DOS header
inline constexpr uint16_t kDosMagic = 0x5A4D;  // "MZ"
inline constexpr size_t kDosHeaderSize = 64;
inline constexpr size_t kNewHeaderOffsetField = 0x3C;  // e_lfanew

// "PE\0\0", then the 20-byte COFF file header
inline constexpr uint32_t kPeSignature = 0x00004550;
inline constexpr size_t kFileHeaderSize = 20;
inline constexpr uint16_t kFileDll = 0x2000;  // Characteristics: a DLL

// Optional header, offsets from its start
inline constexpr uint16_t kMagicPe32 = 0x10B;
inline constexpr uint16_t kMagicPe32Plus = 0x20B;
inline constexpr size_t kOptOsVersion = 40;
inline constexpr size_t kOptSubsystemVersion = 48;
inline constexpr size_t kOptSizeOfHeaders = 60;
inline constexpr size_t kOptSubsystem = 68;
inline constexpr size_t kOptDirectoryCountPe32 = 92;
inline constexpr size_t kOptDirectoryCountPe32Plus = 108;
inline constexpr size_t kDataDirectorySize = 8;
inline constexpr uint32_t kDirResource = 2;
inline constexpr uint32_t kDirClrRuntime = 14;  // the .NET (CLI) header

inline constexpr size_t kSectionHeaderSize = 40;

// Resource directory
inline constexpr size_t kResourceDirectorySize = 16;
inline constexpr size_t kResourceEntrySize = 8;
inline constexpr size_t kResourceDataEntrySize = 16;
inline constexpr uint32_t kResourceSubdirectory = 0x80000000;
inline constexpr uint32_t kResourceNamed = 0x80000000;
inline constexpr uint32_t kResourceTypeVersion = 16;  // RT_VERSION
inline constexpr uint32_t kVersionResourceId = 1;     // VS_VERSION_INFO

// Version resource blocks: wLength, wValueLength, wType, then the key
inline constexpr size_t kVersionBlockHeaderSize = 6;
inline constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
inline constexpr size_t kFixedFileInfoSize = 52;

// VS_FIXEDFILEINFO.dwFileFlags
inline constexpr uint32_t kFlagDebug = 0x01;
inline constexpr uint32_t kFlagPrerelease = 0x02;
inline constexpr uint32_t kFlagPatched = 0x04;
inline constexpr uint32_t kFlagPrivateBuild = 0x08;
inline constexpr uint32_t kFlagInfoInferred = 0x10;
inline constexpr uint32_t kFlagSpecialBuild = 0x20;

/// The short name of an IMAGE_FILE_MACHINE_* value ("ARM", "THUMB", "SH3",
/// "MIPS R4000", "i386", ...); empty for a number the format does not define.
std::string_view MachineName(uint16_t machine);

/// The name of an IMAGE_SUBSYSTEM_* value ("Windows CE GUI", "Windows GUI",
/// "Windows CUI", "Native", "EFI application", ...); empty for an unknown one.
std::string_view SubsystemName(uint16_t subsystem);

/// The name of one VS_FF_* bit ("Debug", "Prerelease", "Patched",
/// "Private build", "Info inferred", "Special build"); empty for other bits.
std::string_view FileFlagName(uint32_t bit);

}  // namespace vornix::pe
