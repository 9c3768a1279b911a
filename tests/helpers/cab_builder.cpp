#include "helpers/cab_builder.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

#include "common/host_fs.h"
#include "common/text.h"

namespace vornix::testing {

namespace {

constexpr size_t kBlockMax = 32768;  // uncompressed bytes per CFDATA block

void PutU8(std::string& out, uint8_t v) { out.push_back(static_cast<char>(v)); }
void PutU16(std::string& out, uint16_t v) {
  PutU8(out, static_cast<uint8_t>(v));
  PutU8(out, static_cast<uint8_t>(v >> 8));
}
void PutU32(std::string& out, uint32_t v) {
  PutU16(out, static_cast<uint16_t>(v));
  PutU16(out, static_cast<uint16_t>(v >> 16));
}

std::string StoredName(const std::string& name) { return name.substr(0, name.find('\0')); }

struct Block {
  std::string payload;
  uint16_t uncompressed = 0;
};

// Each MSZIP block is "CK" and a complete raw deflate stream that may refer
// back into the previous block, as the format allows.
std::vector<Block> MszipBlocks(const std::string& stream) {
  std::vector<Block> blocks;
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::string out;
  for (size_t pos = 0; pos < stream.size(); pos += kBlockMax) {
    const size_t n = std::min(kBlockMax, stream.size() - pos);
    deflateReset(&z);
    if (pos > 0) {
      deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(stream.data() + pos - kBlockMax),
                           static_cast<uInt>(kBlockMax));
    }
    out.assign(deflateBound(&z, static_cast<uLong>(n)) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data() + pos));
    z.avail_in = static_cast<uInt>(n);
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) {
      deflateEnd(&z);
      throw std::runtime_error("deflate did not finish a block");
    }
    out.resize(out.size() - z.avail_out);
    blocks.push_back({"CK" + out, static_cast<uint16_t>(n)});
  }
  deflateEnd(&z);
  return blocks;
}

// LZX frames of 32768 bytes, each one uncompressed LZX block: the header bits
// (the stream's first frame starts with the "no E8 translation" bit), padding
// to the next 16-bit word, the three repeated offsets, the bytes, and a pad
// byte after an odd-sized block.
std::vector<Block> LzxStoredBlocks(const std::string& stream) {
  std::vector<Block> blocks;
  for (size_t pos = 0; pos < stream.size(); pos += kBlockMax) {
    const size_t n = std::min(kBlockMax, stream.size() - pos);
    const uint32_t type = 3;  // uncompressed
    uint32_t bits;
    if (pos == 0) {
      bits = (0u << 31) | (type << 28) | (static_cast<uint32_t>(n) << 4);
    } else {
      bits = (type << 29) | (static_cast<uint32_t>(n) << 5);
    }
    std::string payload;
    PutU16(payload, static_cast<uint16_t>(bits >> 16));  // 16-bit words, high bits first
    PutU16(payload, static_cast<uint16_t>(bits));
    for (int r = 0; r < 3; ++r) PutU32(payload, 1);
    payload.append(stream, pos, n);
    if (n & 1) payload.push_back('\0');
    blocks.push_back({std::move(payload), static_cast<uint16_t>(n)});
  }
  return blocks;
}

std::vector<Block> StoredBlocks(const std::string& stream) {
  std::vector<Block> blocks;
  for (size_t pos = 0; pos < stream.size(); pos += kBlockMax) {
    const size_t n = std::min(kBlockMax, stream.size() - pos);
    blocks.push_back({stream.substr(pos, n), static_cast<uint16_t>(n)});
  }
  return blocks;
}

uint16_t CompressionWord(CabCompression compression, int lzxWindowBits) {
  switch (compression) {
    case CabCompression::None: return 0;
    case CabCompression::MSZIP: return 1;
    case CabCompression::LZX: return static_cast<uint16_t>(3 | (lzxWindowBits << 8));
  }
  return 0;
}

}  // namespace

uint16_t DosDate(int year, int month, int day) {
  return static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}

uint16_t DosTime(int hour, int minute, int second) {
  return static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

CabBuilder& CabBuilder::folder(CabCompression compression, int lzxWindowBits) {
  if (compression == CabCompression::LZX && (lzxWindowBits < 15 || lzxWindowBits > 21)) {
    throw std::invalid_argument("LZX window bits must be 15..21");
  }
  m_folders.push_back({compression, lzxWindowBits, {}});
  return *this;
}

CabBuilder& CabBuilder::add(CabEntryRecipe entry) {
  if (m_folders.empty()) folder(CabCompression::None);
  m_folders.back().entries.push_back(std::move(entry));
  return *this;
}

CabBuilder& CabBuilder::add(std::string name, std::string data) {
  CabEntryRecipe entry;
  entry.name = std::move(name);
  entry.data = std::move(data);
  return add(std::move(entry));
}

CabBuilder& CabBuilder::reserve(uint16_t headerBytes, uint8_t perFolder, uint8_t perDataBlock) {
  m_reserve = true;
  m_headerReserve = headerBytes;
  m_folderReserve = perFolder;
  m_dataReserve = perDataBlock;
  return *this;
}

CabBuilder& CabBuilder::reverseDataOrder(bool on) {
  m_reverseData = on;
  return *this;
}

CabBuilder& CabBuilder::trailer(std::string bytes) {
  m_trailer = std::move(bytes);
  return *this;
}

size_t CabBuilder::entryCount() const {
  size_t n = 0;
  for (const Folder& f : m_folders) n += f.entries.size();
  return n;
}

CabImage CabBuilder::build() const {
  // Lay out every folder's data stream first: the file records need the
  // offsets of their data inside the folder.
  struct Laid {
    std::vector<uint32_t> offsets;  // per entry, list order
    std::vector<Block> blocks;
  };
  std::vector<Laid> laid;
  for (const Folder& f : m_folders) {
    Laid l;
    l.offsets.resize(f.entries.size());
    std::vector<size_t> order(f.entries.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    if (m_reverseData) std::reverse(order.begin(), order.end());
    std::string stream;
    for (size_t i : order) {
      l.offsets[i] = static_cast<uint32_t>(stream.size());
      stream += f.entries[i].data;
    }
    switch (f.compression) {
      case CabCompression::None: l.blocks = StoredBlocks(stream); break;
      case CabCompression::MSZIP: l.blocks = MszipBlocks(stream); break;
      case CabCompression::LZX: l.blocks = LzxStoredBlocks(stream); break;
    }
    laid.push_back(std::move(l));
  }

  const size_t fileCount = entryCount();
  if (m_folders.size() > 0xFFFF || fileCount > 0xFFFF) throw std::length_error("too many records");

  CabImage image;
  std::string& out = image.bytes;
  out.append("MSCF", 4);
  PutU32(out, 0);  // reserved1
  PutU32(out, 0);  // cabinet size, patched below
  PutU32(out, 0);  // reserved2
  PutU32(out, 0);  // first file record, patched below
  PutU32(out, 0);  // reserved3
  PutU8(out, 3);   // version 1.3
  PutU8(out, 1);
  PutU16(out, static_cast<uint16_t>(m_folders.size()));
  PutU16(out, static_cast<uint16_t>(fileCount));
  PutU16(out, m_reserve ? 0x0004 : 0);
  PutU16(out, 0);  // set id
  PutU16(out, 0);  // index in set
  if (m_reserve) {
    PutU16(out, m_headerReserve);
    PutU8(out, m_folderReserve);
    PutU8(out, m_dataReserve);
    out.append(m_headerReserve, '\xAA');
  }

  for (size_t f = 0; f < m_folders.size(); ++f) {
    image.folderRecords.push_back(out.size());
    PutU32(out, 0);  // first data block, patched below
    PutU16(out, static_cast<uint16_t>(laid[f].blocks.size()));
    PutU16(out, CompressionWord(m_folders[f].compression, m_folders[f].lzxWindowBits));
    if (m_reserve) out.append(m_folderReserve, '\xAA');
  }

  const size_t filesOffset = out.size();
  for (size_t f = 0; f < m_folders.size(); ++f) {
    for (size_t i = 0; i < m_folders[f].entries.size(); ++i) {
      const CabEntryRecipe& e = m_folders[f].entries[i];
      image.fileRecords.push_back(out.size());
      PutU32(out, static_cast<uint32_t>(e.data.size()));
      PutU32(out, laid[f].offsets[i]);
      PutU16(out, static_cast<uint16_t>(f));
      PutU16(out, e.date);
      PutU16(out, e.time);
      PutU16(out, static_cast<uint16_t>(e.attribs | (e.utf8Name ? kAttribUtf8Name : 0)));
      out += StoredName(e.name);
      out.push_back('\0');
    }
  }

  for (size_t f = 0; f < m_folders.size(); ++f) {
    const size_t start = out.size();
    image.firstBlockOfFolder.push_back(image.dataBlocks.size());
    for (size_t k = 0; k < 4; ++k) {
      out[image.folderRecords[f] + k] = static_cast<char>((start >> (8 * k)) & 0xFF);
    }
    for (const Block& b : laid[f].blocks) {
      image.dataBlocks.push_back(out.size());
      PutU32(out, 0);  // no checksum: readers skip the test
      PutU16(out, static_cast<uint16_t>(b.payload.size()));
      PutU16(out, b.uncompressed);
      if (m_reserve) out.append(m_dataReserve, '\xAA');
      out += b.payload;
    }
  }

  const auto cabinetSize = static_cast<uint32_t>(out.size());
  out = PatchU32(std::move(out), cabfield::kCabinetSize, cabinetSize);
  out = PatchU32(std::move(out), cabfield::kFilesOffset, static_cast<uint32_t>(filesOffset));
  out += m_trailer;
  return image;
}

bool CabBuilder::writeTo(const std::filesystem::path& file) const { return WriteFileBytes(file, bytes()); }

std::string Truncated(std::string bytes, size_t length) {
  if (length < bytes.size()) bytes.resize(length);
  return bytes;
}

std::string PatchU8(std::string bytes, size_t offset, uint8_t value) {
  if (offset < bytes.size()) bytes[offset] = static_cast<char>(value);
  return bytes;
}

std::string PatchU16(std::string bytes, size_t offset, uint16_t value) {
  bytes = PatchU8(std::move(bytes), offset, static_cast<uint8_t>(value));
  return PatchU8(std::move(bytes), offset + 1, static_cast<uint8_t>(value >> 8));
}

std::string PatchU32(std::string bytes, size_t offset, uint32_t value) {
  bytes = PatchU16(std::move(bytes), offset, static_cast<uint16_t>(value));
  return PatchU16(std::move(bytes), offset + 2, static_cast<uint16_t>(value >> 16));
}

std::string PseudoText(size_t length, uint32_t seed) {
  static const char* const kWords[] = {"device",  "install", "folder", "registry", "shortcut", "setup",
                                       "cabinet", "pocket",  "window", "memory",   "storage",  "program",
                                       "version", "module",  "string", "value",    "key",      "file",
                                       "data",    "the",     "of",     "and",      "to",       "a"};
  constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);
  std::string out;
  out.reserve(length + 16);
  uint32_t state = seed * 2654435761u + 0x9E3779B9u;
  while (out.size() < length) {
    state = state * 1664525u + 1013904223u;
    out += kWords[(state >> 16) % kWordCount];
    // A sprinkle of numbers keeps the text from compressing to nothing.
    if (((state >> 8) & 7) == 0) out += Format(" %u", (state >> 3) & 0xFFFF);
    out += ((state >> 24) % 11 == 0) ? "\r\n" : " ";
  }
  out.resize(length);
  return out;
}

int BigPackageMemberNumber(int index) { return index < 999 ? index : index + 1; }

std::string BigPackageMemberName(int number) { return Format("F%04d~1.%03d", number, number); }

size_t BigPackageMemberSize(const BigPackageOptions& options, int number) {
  const size_t average = options.totalBytes / static_cast<size_t>(std::max(1, options.fileCount));
  uint32_t h = static_cast<uint32_t>(number) * 2246822519u ^ options.seed * 3266489917u;
  h ^= h >> 15;
  h *= 668265263u;
  h ^= h >> 13;
  return average / 2 + h % (average + 1);
}

CabBuilder BigPackage(const BigPackageOptions& options) {
  CabBuilder builder;
  builder.folder(CabCompression::MSZIP);
  for (int index = options.fileCount; index >= 1; --index) {
    const int number = BigPackageMemberNumber(index);
    CabEntryRecipe entry;
    entry.name = BigPackageMemberName(number);
    entry.data = PseudoText(BigPackageMemberSize(options, number), options.seed + static_cast<uint32_t>(number));
    entry.date = DosDate(2008, 3, 1 + number % 28);
    entry.time = DosTime(number % 24, number % 60, (number * 2) % 60);
    builder.add(std::move(entry));
  }
  if (!options.setupBytes.empty()) {
    CabEntryRecipe setup;
    setup.name = options.setupName;
    setup.data = options.setupBytes;
    builder.add(std::move(setup));
  }
  return builder;
}

}  // namespace vornix::testing
