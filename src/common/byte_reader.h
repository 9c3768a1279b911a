// A bounds-checked little-endian cursor over a byte buffer with a sticky error.
//
// After the first read that would run past the end, the reader stops moving and
// every later read yields zeros, so parsing code stays straight-line and checks
// ok() once per record. The error text names the offset and the wanted range.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vornix {

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> data) : m_data(data) {}

  size_t size() const { return m_data.size(); }
  size_t tell() const { return m_offset; }
  bool ok() const { return m_error.empty(); }
  /// Empty while ok(); otherwise what failed, with offsets.
  const std::string& error() const { return m_error; }
  /// Where the first failed read began, or the offset a failed seek asked for.
  uint64_t errorOffset() const { return m_errorOffset; }

  /// Moves to an absolute offset; an offset past the end is an error.
  void seek(uint64_t offset);
  void skip(uint64_t count);

  uint8_t u8();
  uint16_t u16();
  uint32_t u32();
  int32_t i32() { return static_cast<int32_t>(u32()); }

  /// `count` raw bytes as a view into the buffer (empty on error).
  std::string_view bytes(uint64_t count);

  /// True when `count` more bytes can be read from the current offset.
  bool has(uint64_t count) const { return ok() && count <= m_data.size() - m_offset; }

 private:
  bool take(uint64_t count, const uint8_t*& out);
  void fail(uint64_t wanted);

  std::span<const uint8_t> m_data;
  size_t m_offset = 0;
  std::string m_error;
  uint64_t m_errorOffset = 0;
};

}  // namespace vornix
