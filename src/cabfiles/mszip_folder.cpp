#include "cabfiles/mszip_folder.h"

#include <algorithm>
#include <cstring>

#include "cabfiles/cab_format.h"

namespace vornix {
namespace {

namespace cf = cabformat;

// Header flags and the compression type, as the format gives them.
constexpr uint16_t kPreviousCabinet = 0x0001;
constexpr uint16_t kNextCabinet = 0x0002;
constexpr uint16_t kReservePresent = 0x0004;
constexpr uint16_t kCompressionMask = 0x000F;
constexpr uint16_t kCompressionMszip = 0x0001;
constexpr size_t kFolderRecordSize = 8;
// libmspack refuses a block that holds more than this.
constexpr size_t kMaxBlockInput = cf::kBlockBytes + 6144;
constexpr size_t kWindowBytes = static_cast<size_t>(cf::kBlockBytes);

uint16_t U16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8));
}
uint32_t U32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// The block checksum as libmspack computes it: the data, then the two size
// words, in little-endian 32-bit words, the odd bytes taken most significant first.
uint32_t Checksum(const unsigned char* data, size_t bytes, uint32_t sum) {
  for (size_t words = bytes >> 2; words--; data += 4) sum ^= U32(data);
  uint32_t tail = 0;
  switch (bytes & 3) {
    case 3: tail |= static_cast<uint32_t>(*data++) << 16; [[fallthrough]];
    case 2: tail |= static_cast<uint32_t>(*data++) << 8; [[fallthrough]];
    case 1: tail |= *data; break;
    default: break;
  }
  return sum ^ tail;
}

}  // namespace

std::vector<std::optional<MszipFolderPlace>> MszipFolders(std::string_view h) {
  std::vector<std::optional<MszipFolderPlace>> folders;
  if (h.size() < cf::kHeaderSize || h.substr(0, 4) != "MSCF") return folders;
  const uint16_t flags = U16(h, cf::kFlags);
  const uint16_t count = U16(h, cf::kFolderCount);
  folders.resize(count);
  // A folder may go on in the next cabinet or come from the previous one.
  if (flags & (kPreviousCabinet | kNextCabinet)) return folders;
  size_t at = cf::kHeaderSize;
  size_t folderReserve = 0, dataReserve = 0;
  if (flags & kReservePresent) {
    if (h.size() < at + 4) return folders;
    const size_t headerReserve = U16(h, at);
    folderReserve = static_cast<unsigned char>(h[at + 2]);
    dataReserve = static_cast<unsigned char>(h[at + 3]);
    at += 4 + headerReserve;
  }
  for (uint16_t i = 0; i < count; ++i, at += kFolderRecordSize + folderReserve) {
    if (h.size() < at + kFolderRecordSize) break;
    const auto* record = reinterpret_cast<const unsigned char*>(h.data() + at);
    if ((U16(h, at + cf::kFolderCompression) & kCompressionMask) != kCompressionMszip) continue;
    MszipFolderPlace place;
    place.DataOffset = U32(record + cf::kFolderDataOffset);
    place.BlockCount = U16(h, at + cf::kFolderBlockCount);
    place.DataReserve = static_cast<uint32_t>(dataReserve);
    folders[i] = place;
  }
  return folders;
}

std::string ReadCabinetHead(std::FILE* file, size_t limit) {
  std::string head(limit, '\0');
  if (!file || fseeko(file, 0, SEEK_SET) != 0) return {};
  head.resize(std::fread(head.data(), 1, limit, file));
  return head;
}

MszipFolderReader::MszipFolderReader(const MszipFolderPlace& place, std::optional<std::string_view> memory,
                                     std::FILE* file)
    : m_place(place),
      m_memory(memory),
      m_file(file),
      m_window(new unsigned char[kWindowBytes]),
      // Room past the largest block, for a decoder that loads its input in words.
      m_in(new unsigned char[kMaxBlockInput + 64]),
      m_inflate(new inflate_state) {
  m_failed = !m_memory && !m_file;
  restart();
}

MszipFolderReader::~MszipFolderReader() = default;

bool MszipFolderReader::restart() {
  m_block = 0;
  m_input = m_place.DataOffset;
  m_windowStart = 0;
  m_windowBytes = 0;
  return true;
}

bool MszipFolderReader::readInput(int64_t offset, size_t bytes, unsigned char* into) {
  if (offset < 0) return false;
  if (m_memory) {
    const auto start = static_cast<uint64_t>(offset);
    if (start > m_memory->size() || m_memory->size() - start < bytes) return false;
    std::memcpy(into, m_memory->data() + start, bytes);
    return true;
  }
  // Blocks are read in order: seek only when the reader starts again.
  if (m_filePos != offset && fseeko(m_file, offset, SEEK_SET) != 0) {
    m_filePos = -1;
    return false;
  }
  if (std::fread(into, 1, bytes, m_file) != bytes) {
    m_filePos = -1;
    return false;
  }
  m_filePos = offset + static_cast<int64_t>(bytes);
  return true;
}

bool MszipFolderReader::decodeBlock() {
  if (m_block >= m_place.BlockCount) return false;
  unsigned char header[cf::kDataHeaderSize];
  if (!readInput(m_input, sizeof header, header)) return false;
  const uint32_t sum = U32(header + cf::kDataChecksum);
  const size_t packed =
      U16(std::string_view(reinterpret_cast<const char*>(header), sizeof header), cf::kDataCompressedSize);
  const size_t unpacked =
      U16(std::string_view(reinterpret_cast<const char*>(header), sizeof header), cf::kDataUncompressedSize);
  if (packed < 2 || packed > kMaxBlockInput || unpacked == 0 || unpacked > kWindowBytes) return false;
  const int64_t data = m_input + static_cast<int64_t>(sizeof header) + m_place.DataReserve;
  if (!readInput(data, packed, m_in.get())) return false;
  if (sum != 0 && Checksum(header + cf::kDataCompressedSize, 4, Checksum(m_in.get(), packed, 0)) != sum) return false;
  if (m_in[0] != 'C' || m_in[1] != 'K') return false;

  // libmspack writes every block from the start of its 32 KB window, so what
  // a block may refer back to is that window as the previous blocks left it.
  inflate_state& zip = *m_inflate;
  isal_inflate_init(&zip);
  zip.crc_flag = ISAL_DEFLATE;
  zip.hist_bits = 0;  // the whole 32 KB
  if (m_block > 0 && isal_inflate_set_dict(&zip, m_window.get(), kWindowBytes) != COMP_OK) return false;
  zip.next_in = m_in.get() + 2;
  zip.avail_in = static_cast<uint32_t>(packed - 2);
  zip.next_out = m_window.get();
  zip.avail_out = static_cast<uint32_t>(kWindowBytes);
  const int result = isal_inflate(&zip);
  const size_t made = kWindowBytes - zip.avail_out;
  if (result != ISAL_DECOMP_OK || zip.block_state != ISAL_BLOCK_FINISH || zip.avail_in != 0 || made != unpacked)
    return false;

  m_windowStart += static_cast<int64_t>(m_windowBytes);
  m_windowBytes = made;
  m_input = data + static_cast<int64_t>(packed);
  ++m_block;
  return true;
}

std::string_view MszipFolderReader::next(int64_t position, int64_t wanted) {
  if (m_failed || position < 0 || wanted <= 0) return {};
  if (position < m_windowStart) restart();
  while (position >= m_windowStart + static_cast<int64_t>(m_windowBytes)) {
    if (!decodeBlock()) {
      m_failed = true;
      return {};
    }
  }
  const auto from = static_cast<size_t>(position - m_windowStart);
  const size_t bytes = std::min(static_cast<size_t>(wanted), m_windowBytes - from);
  return {reinterpret_cast<const char*>(m_window.get()) + from, bytes};
}

}  // namespace vornix
