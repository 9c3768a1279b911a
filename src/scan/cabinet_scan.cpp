#include "scan/cabinet_scan.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <string_view>

#include "common/byte_reader.h"
#include "common/mapped_file.h"
#include "common/text.h"

namespace vornix {
namespace {

constexpr size_t kHeaderSize = 36;
constexpr uint16_t kFlagPrevNext = 0x0003;  // a cabinet of a set is not complete by itself
constexpr uint16_t kFlagReservePresent = 0x0004;
constexpr uint16_t kMaxBlockBytes = 32768;
constexpr std::string_view kSignatureMarker{"\x00\x00\x10\x00", 4};

// Checking a header costs a few fixed reads; checking its folder, file and
// block records costs as many reads as it has records. False headers whose
// record tables overlap could make that quadratic, so those reads share one
// allowance proportional to the file's size.
struct Budget {
  uint64_t left;
  bool spend(uint64_t units) {
    if (units > left) {
      left = 0;
      return false;
    }
    left -= units;
    return true;
  }
};

bool CompressionKnown(uint16_t type) {
  switch (type & 0x000F) {
    case 0:                                  // stored
    case 1: return type == (type & 0x000F);  // MSZIP takes no parameters
    case 2: {                                // Quantum: level 1..7, window 10..21
      const int level = (type >> 4) & 0x0F, window = (type >> 8) & 0x1F;
      return level >= 1 && level <= 7 && window >= 10 && window <= 21;
    }
    case 3: {  // LZX: window 15..21
      const int window = (type >> 8) & 0x1F;
      return window >= 15 && window <= 21;
    }
    default: return false;
  }
}

struct Folder {
  uint32_t dataOffset = 0;
  uint16_t blocks = 0;
  uint64_t filesEnd = 0;  // the furthest byte its files need, uncompressed
};

// The folder records: where each one's data starts and its block count;
// false for a compression no writer uses.
bool ReadFolderRecords(ByteReader& r, std::vector<Folder>& folders, uint8_t folderReserve) {
  for (Folder& f : folders) {
    f.dataOffset = r.u32();
    f.blocks = r.u16();
    const uint16_t type = r.u16();
    r.skip(folderReserve);
    if (!r.ok() || !CompressionKnown(type)) return false;
  }
  return true;
}

// The file records, each in a folder of this cabinet and with a name; every
// folder learns the furthest byte its files need.
bool ReadFileRecords(ByteReader& r, uint32_t fileCount, std::vector<Folder>& folders) {
  for (uint32_t i = 0; i < fileCount; ++i) {
    const uint32_t size = r.u32(), offset = r.u32();
    const uint16_t folder = r.u16();
    r.skip(6);                                              // date, time, attributes
    if (!r.ok() || folder >= folders.size()) return false;  // continued entries are not complete
    // A name: 1 to 255 bytes, then NUL.
    const size_t nameAt = r.tell();
    const std::string_view rest = r.bytes(std::min<uint64_t>(256, r.size() - nameAt));
    const size_t nul = rest.find('\0');
    if (nul == std::string_view::npos || nul == 0) return false;
    r.seek(nameAt + nul + 1);
    Folder& f = folders[folder];
    f.filesEnd = std::max<uint64_t>(f.filesEnd, uint64_t{offset} + size);
  }
  return true;
}

// True when a folder's data blocks lie after the tables and inside the
// cabinet and unpack to at least what its files need.
bool FolderHoldsItsFiles(ByteReader& r, const Folder& f, uint64_t tableEnd, uint32_t cabinetSize, uint8_t blockReserve,
                         Budget& budget, bool& exhausted) {
  if (f.blocks == 0) return f.filesEnd == 0;
  if (f.dataOffset < tableEnd || f.dataOffset >= cabinetSize) return false;
  if (!budget.spend(f.blocks)) {
    exhausted = true;
    return false;
  }
  r.seek(f.dataOffset);
  uint64_t uncompressed = 0;
  for (uint32_t b = 0; b < f.blocks; ++b) {
    r.skip(4);  // checksum
    const uint16_t packed = r.u16(), unpacked = r.u16();
    r.skip(blockReserve);
    r.skip(packed);
    if (!r.ok() || r.tell() > cabinetSize || unpacked > kMaxBlockBytes || (packed == 0 && unpacked > 0)) return false;
    uncompressed += unpacked;
  }
  return f.filesEnd <= uncompressed;
}

// The complete cabinet whose header is at the start of `data`, if the
// records agree; nullopt otherwise (or when the budget ran out: `exhausted`).
std::optional<EmbeddedCabinet> CheckCabinet(std::span<const uint8_t> data, Budget& budget, bool& exhausted) {
  ByteReader r(data);
  r.skip(8);
  const uint32_t cabinetSize = r.u32();
  r.skip(4);
  const uint32_t filesOffset = r.u32();
  r.skip(4);
  const uint8_t minor = r.u8(), major = r.u8();
  const uint16_t folderCount = r.u16(), fileCount = r.u16(), flags = r.u16();
  r.skip(4);
  if (!r.ok() || major != 1 || minor != 3 || folderCount == 0 || fileCount == 0) return std::nullopt;
  if ((flags & ~(kFlagPrevNext | kFlagReservePresent)) || (flags & kFlagPrevNext)) return std::nullopt;
  if (cabinetSize > data.size() || cabinetSize < kHeaderSize || filesOffset >= cabinetSize) return std::nullopt;

  uint16_t headerReserve = 0;
  uint8_t folderReserve = 0, blockReserve = 0;
  uint64_t signatureOffset = 0, signatureSize = 0;
  if (flags & kFlagReservePresent) {
    headerReserve = r.u16();
    folderReserve = r.u8();
    blockReserve = r.u8();
    const size_t reserveAt = r.tell();
    if (headerReserve >= 20 && r.has(12) && r.bytes(4) == kSignatureMarker) {
      signatureOffset = r.u32();
      signatureSize = r.u32();
    }
    r.seek(reserveAt);
    r.skip(headerReserve);
  }
  // The file records follow the folder records directly in every cabinet a
  // writer makes; anything else is a false header.
  if (!r.ok() || r.tell() + uint64_t{folderCount} * (8u + folderReserve) != filesOffset) return std::nullopt;

  if (!budget.spend(uint64_t{folderCount} + fileCount)) {
    exhausted = true;
    return std::nullopt;
  }
  std::vector<Folder> folders(folderCount);
  if (!ReadFolderRecords(r, folders, folderReserve) || !ReadFileRecords(r, fileCount, folders)) return std::nullopt;
  const uint64_t tableEnd = r.tell();
  if (!r.ok() || tableEnd > cabinetSize) return std::nullopt;
  for (const Folder& f : folders) {
    if (!FolderHoldsItsFiles(r, f, tableEnd, cabinetSize, blockReserve, budget, exhausted)) return std::nullopt;
  }

  EmbeddedCabinet cab;
  cab.CabinetSize = cabinetSize;
  cab.Size = cabinetSize;
  cab.FolderCount = folderCount;
  cab.FileCount = fileCount;
  // A signature appended after the data belongs to the cabinet.
  if (signatureSize > 0 && signatureOffset == cabinetSize && signatureOffset + signatureSize <= data.size()) {
    cab.Size = signatureOffset + signatureSize;
    cab.Signed = true;
  }
  return cab;
}

}  // namespace

CabinetScan ScanForCabinets(std::span<const uint8_t> data) {
  CabinetScan scan;
  Budget budget{16 * uint64_t{data.size()} + (1u << 20)};
  const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
  size_t at = text.find("MSCF");
  while (at != std::string_view::npos) {
    ++scan.HeadersSeen;
    bool exhausted = false;
    const std::optional<EmbeddedCabinet> cab = CheckCabinet(data.subspan(at), budget, exhausted);
    if (exhausted) {
      scan.Stopped = Format("the scan stopped at offset %zu: too many damaged cabinet headers to check them all", at);
      break;
    }
    size_t next = at + 1;
    if (cab) {
      scan.Cabinets.push_back(*cab);
      scan.Cabinets.back().Offset = at;
      next = at + static_cast<size_t>(cab->Size);  // what lies inside a cabinet is its own business
    }
    at = text.find("MSCF", next);
  }
  return scan;
}

CabinetScan ScanFileForCabinets(const std::filesystem::path& file, std::string* error) {
  const MappedFile mapped(file);
  if (!mapped.ok()) {
    if (error) *error = mapped.error();
    return {};
  }
  return ScanForCabinets(mapped.bytes());
}

bool CopyFileSpan(const std::filesystem::path& from, uint64_t offset, uint64_t size, const std::filesystem::path& to,
                  std::string* error) {
  auto fail = [&](const std::string& text) {
    if (error) *error = text;
    return false;
  };
  std::ifstream in(from, std::ios::binary);
  if (!in || !in.seekg(static_cast<std::streamoff>(offset))) return fail(from.string() + ": cannot be read");
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  if (!out) return fail(to.string() + ": cannot be written");
  std::vector<char> buffer(1 << 20);
  while (size > 0) {
    const auto n = static_cast<std::streamsize>(std::min<uint64_t>(size, buffer.size()));
    if (!in.read(buffer.data(), n)) return fail(from.string() + ": ends before the cabinet does");
    if (!out.write(buffer.data(), n)) return fail(to.string() + ": cannot be written");
    size -= static_cast<uint64_t>(n);
  }
  out.close();
  if (!out) return fail(to.string() + ": cannot be written");
  return true;
}

}  // namespace vornix
