// MSZIP folders decompressed with ISA-L. libmspack's own inflate is the larger
// part of an extraction; ISA-L's is about three times as fast (zlib's, tried
// first, hardly beat libmspack). Each data block is "CK" and a whole deflate
// stream whose history is the 32 KB window the previous block left, which
// ISA-L takes as a preset dictionary.
//
// Only the plain shape is taken: blocks whose checksum matches (or is 0), that
// start with "CK", whose deflate stream ends at the block's end having made
// exactly the block's declared size. Anything else (a damaged, cut or unusual
// block) makes the reader give up, and the caller extracts with libmspack,
// which says what is wrong exactly as it always has.
#pragma once

#include <isa-l/igzip_lib.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace vornix {

/// Where a folder's data blocks lie, read from the cabinet's header records.
struct MszipFolderPlace {
  int64_t DataOffset = 0;  // first CFDATA record, from the cabinet's start
  uint32_t BlockCount = 0;
  uint32_t DataReserve = 0;  // bytes reserved in every CFDATA header
};

/// The folders of a cabinet that can be read this way, by position in the
/// cabinet's list of folders: nullopt for those that cannot (another
/// compression, a cabinet set, a header that does not read).
std::vector<std::optional<MszipFolderPlace>> MszipFolders(std::string_view header);

/// Reads the first `limit` bytes of a cabinet file, for MszipFolders().
std::string ReadCabinetHead(std::FILE* file, size_t limit);

class MszipFolderReader {
 public:
  /// The cabinet is read from `memory` when it is set, from `file` otherwise
  /// (which must stay open while the reader is used).
  MszipFolderReader(const MszipFolderPlace& place, std::optional<std::string_view> memory, std::FILE* file);
  ~MszipFolderReader();
  MszipFolderReader(const MszipFolderReader&) = delete;
  MszipFolderReader& operator=(const MszipFolderReader&) = delete;

  /// Decompressed bytes from the folder's offset `position` on: at most
  /// `wanted` of them, at least one; empty when the reader gave up or the
  /// folder ends first. A position before the current one starts again.
  std::string_view next(int64_t position, int64_t wanted);
  bool failed() const { return m_failed; }

 private:
  bool restart();
  bool decodeBlock();
  bool readInput(int64_t offset, size_t bytes, unsigned char* into);

  MszipFolderPlace m_place;
  std::optional<std::string_view> m_memory;
  std::FILE* m_file;
  int64_t m_filePos = -1;  // where m_file stands, when known
  bool m_failed = false;
  uint32_t m_block = 0;                       // blocks decoded so far
  int64_t m_input = 0;                        // where the next block's header lies
  int64_t m_windowStart = 0;                  // folder offset of m_window[0]
  size_t m_windowBytes = 0;                   // bytes the last block made
  std::unique_ptr<unsigned char[]> m_window;  // the last block's output and what earlier ones left
  std::unique_ptr<unsigned char[]> m_in;      // one block's compressed data
  std::unique_ptr<inflate_state> m_inflate;
};

}  // namespace vornix
