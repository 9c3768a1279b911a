// Cabinets inside other files: a desktop installer, a self-extracting
// program or any file that holds one or more complete cabinets.
//
// A cabinet is found by its "MSCF" header and kept only when the header, the
// folder records, the file records and the data blocks agree with each other
// and with the bytes that are there; "MSCF" in the middle of other data is
// passed over. The scan stays linear in the size of the file, however many
// false headers it holds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace vornix {

struct EmbeddedCabinet {
  uint64_t Offset = 0;       // of its "MSCF" header in the file
  uint64_t Size = 0;         // its bytes, an appended signature included
  uint32_t CabinetSize = 0;  // the header's own total (cbCabinet)
  uint16_t FolderCount = 0;
  uint16_t FileCount = 0;
  bool Signed = false;  // carries a signature right after its data
};

struct CabinetScan {
  std::vector<EmbeddedCabinet> Cabinets;  // in file order, none inside another
  uint64_t HeadersSeen = 0;               // "MSCF" found, complete cabinets or not
  /// Set when the scan gave up before the end: so many near-complete false
  /// headers that checking them all would cost more than the file is worth.
  std::string Stopped;
};

/// Every complete cabinet in `data`.
CabinetScan ScanForCabinets(std::span<const uint8_t> data);

/// The same for a file on disk; `error` is set when it cannot be read.
CabinetScan ScanFileForCabinets(const std::filesystem::path& file, std::string* error);

/// Copies `size` bytes at `offset` of `from` into a new file `to` (replacing
/// one); false with `error` set when reading or writing fails.
bool CopyFileSpan(const std::filesystem::path& from, uint64_t offset, uint64_t size, const std::filesystem::path& to,
                  std::string* error);

}  // namespace vornix
