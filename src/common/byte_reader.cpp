#include "common/byte_reader.h"

#include "common/text.h"

namespace vornix {

void ByteReader::fail(uint64_t wanted) {
  if (!ok()) return;
  m_errorOffset = m_offset;
  m_error = Format("read of %llu byte(s) at offset 0x%zX runs past the end (size 0x%zX)",
                   static_cast<unsigned long long>(wanted), m_offset, m_data.size());
}

bool ByteReader::take(uint64_t count, const uint8_t*& out) {
  if (!ok()) return false;
  if (count > m_data.size() - m_offset) {
    fail(count);
    return false;
  }
  out = m_data.data() + m_offset;
  m_offset += static_cast<size_t>(count);
  return true;
}

void ByteReader::seek(uint64_t offset) {
  if (!ok()) return;
  if (offset > m_data.size()) {
    m_errorOffset = offset;
    m_error = Format("seek to offset 0x%llX runs past the end (size 0x%zX)", static_cast<unsigned long long>(offset),
                     m_data.size());
    return;
  }
  m_offset = static_cast<size_t>(offset);
}

void ByteReader::skip(uint64_t count) {
  const uint8_t* p = nullptr;
  take(count, p);
}

uint8_t ByteReader::u8() {
  const uint8_t* p = nullptr;
  return take(1, p) ? p[0] : 0;
}

uint16_t ByteReader::u16() {
  const uint8_t* p = nullptr;
  if (!take(2, p)) return 0;
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ByteReader::u32() {
  const uint8_t* p = nullptr;
  if (!take(4, p)) return 0;
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

std::string_view ByteReader::bytes(uint64_t count) {
  const uint8_t* p = nullptr;
  if (!take(count, p)) return {};
  return {reinterpret_cast<const char*>(p), static_cast<size_t>(count)};
}

}  // namespace vornix
