// The on-disk layout of a Microsoft Cabinet: the field offsets of its records,
// little-endian, as the format names them. libmspack reads the cabinet; the
// component reads the header's counts and size itself, and the test builders
// write and patch every field by these names.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vornix::cabformat {

// CFHEADER: the fixed part of the header (36 bytes, reserve fields after it).
inline constexpr size_t kSignature = 0;     // "MSCF"
inline constexpr size_t kCabinetSize = 8;   // cbCabinet: the whole file's size
inline constexpr size_t kFilesOffset = 16;  // coffFiles: where the CFFILE records begin
inline constexpr size_t kVersionMinor = 24;
inline constexpr size_t kVersionMajor = 25;
inline constexpr size_t kFolderCount = 26;  // cFolders
inline constexpr size_t kFileCount = 28;    // cFiles
inline constexpr size_t kFlags = 30;
inline constexpr size_t kHeaderSize = 36;

// CFFOLDER, from the record's start
inline constexpr size_t kFolderDataOffset = 0;
inline constexpr size_t kFolderBlockCount = 4;
inline constexpr size_t kFolderCompression = 6;

// CFFILE, from the record's start
inline constexpr size_t kFileSize = 0;
inline constexpr size_t kFileFolderOffset = 4;
inline constexpr size_t kFileFolderIndex = 8;
inline constexpr size_t kFileDate = 10;
inline constexpr size_t kFileTime = 12;
inline constexpr size_t kFileAttribs = 14;
inline constexpr size_t kFileName = 16;

// CFDATA, from the record's start
inline constexpr size_t kDataChecksum = 0;
inline constexpr size_t kDataCompressedSize = 4;
inline constexpr size_t kDataUncompressedSize = 6;
inline constexpr size_t kDataHeaderSize = 8;

/// Every data block holds at most this many bytes once decompressed.
inline constexpr int64_t kBlockBytes = 32768;

}  // namespace vornix::cabformat
