// A small writer of Microsoft Cabinet files for tests, fuzz seeds and the
// benchmark, so every cabinet fixture shows how it was made.
//
// It writes what the reader has to cope with rather than only what is sane:
// any entry name (hostile ones included), entries in the order given, one or
// several folders, no compression, MSZIP or LZX (uncompressed LZX blocks),
// reserve fields, and corrupt variants derived by truncating or patching the
// bytes at the offsets the built image reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "cabfiles/cab_format.h"

namespace vornix::testing {

enum class CabCompression { None, MSZIP, LZX };

/// The 16-bit DOS date and time words as cabinets store them.
uint16_t DosDate(int year, int month, int day);
uint16_t DosTime(int hour, int minute, int second);

/// Field offsets of the on-disk records, for patching corrupt variants: the
/// component's own names for them.
namespace cabfield = vornix::cabformat;

constexpr uint16_t kAttribArchive = 0x20;
constexpr uint16_t kAttribUtf8Name = 0x80;

struct CabEntryRecipe {
  /// Bytes as stored. The format ends a name at its first NUL, so a name
  /// holding one is written cut there.
  std::string name;
  std::string data;
  uint16_t date = DosDate(2009, 6, 15);
  uint16_t time = DosTime(12, 30, 0);
  uint16_t attribs = kAttribArchive;  // kAttribUtf8Name is added by utf8Name
  bool utf8Name = false;
};

/// A built cabinet and where its records landed.
struct CabImage {
  std::string bytes;
  std::vector<size_t> folderRecords;       // each CFFOLDER
  std::vector<size_t> fileRecords;         // each CFFILE, in file-list order
  std::vector<size_t> dataBlocks;          // every CFDATA, folder after folder
  std::vector<size_t> firstBlockOfFolder;  // index into dataBlocks (== size when none)
};

class CabBuilder {
 public:
  /// Starts a new folder; entries added afterwards go into it. Entries added
  /// before any folder was started go into an uncompressed one.
  /// LZX window bits range from 15 to 21.
  CabBuilder& folder(CabCompression compression, int lzxWindowBits = 16);
  CabBuilder& add(CabEntryRecipe entry);
  CabBuilder& add(std::string name, std::string data);
  /// Writes the reserve fields (flag 0x0004) with these sizes, filled with 0xAA.
  CabBuilder& reserve(uint16_t headerBytes, uint8_t perFolder, uint8_t perDataBlock);
  /// Lays the entries' data out in the reverse of the file-list order within
  /// each folder, so list order and data order differ.
  CabBuilder& reverseDataOrder(bool on = true);
  /// Extra bytes after the cabinet (as a signature would leave); not counted
  /// in the header's total size.
  CabBuilder& trailer(std::string bytes);

  CabImage build() const;
  std::string bytes() const { return build().bytes; }
  bool writeTo(const std::filesystem::path& file) const;

  size_t entryCount() const;

 private:
  struct Folder {
    CabCompression compression = CabCompression::None;
    int lzxWindowBits = 16;
    std::vector<CabEntryRecipe> entries;
  };
  std::vector<Folder> m_folders;
  uint16_t m_headerReserve = 0;
  uint8_t m_folderReserve = 0;
  uint8_t m_dataReserve = 0;
  bool m_reserve = false;
  bool m_reverseData = false;
  std::string m_trailer;
};

/// The first `length` bytes (all of them when shorter).
std::string Truncated(std::string bytes, size_t length);
/// Little-endian field overwritten in place; offsets past the end are ignored.
std::string PatchU8(std::string bytes, size_t offset, uint8_t value);
std::string PatchU16(std::string bytes, size_t offset, uint16_t value);
std::string PatchU32(std::string bytes, size_t offset, uint32_t value);

/// Text-like bytes from a seeded generator: words of a small vocabulary, so
/// MSZIP shrinks them to roughly a third rather than to nothing.
std::string PseudoText(size_t length, uint32_t seed);

/// The benchmark package: `fileCount` members named like CabWiz names them
/// ("F%04d~1.%03d", the member number as extension), listed in descending number
/// order as CabWiz lists them, all in one MSZIP folder, about `totalBytes`
/// of data. The setup description (`setupName`, usually "....000") is listed
/// last, after member 1, when `setupBytes` is not empty.
struct BigPackageOptions {
  int fileCount = 2000;
  size_t totalBytes = 50u << 20;
  std::string setupName = "BIGPKG~1.000";
  std::string setupBytes;
  uint32_t seed = 1;
};
/// The number of the `index`-th member (1-based): 999 is left out, as CabWiz
/// keeps that extension for the setup DLL.
int BigPackageMemberNumber(int index);
/// "F%04d~1.%03d" of a member number.
std::string BigPackageMemberName(int number);
/// The size of member `number` under these options.
size_t BigPackageMemberSize(const BigPackageOptions& options, int number);
CabBuilder BigPackage(const BigPackageOptions& options);

}  // namespace vornix::testing
