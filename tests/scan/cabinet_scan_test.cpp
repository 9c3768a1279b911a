// Cabinets inside other files: made installers (a program stub with cabinets
// appended), false "MSCF" headers, and headers built to make a scan slow.

#include <gtest/gtest.h>

#include <span>
#include <string>

#include "helpers/cab_builder.h"
#include "helpers/cab_signer.h"
#include "scan/cabinet_scan.h"

namespace vornix {
namespace {

using testing::CabBuilder;
using testing::CabCompression;
using testing::PatchU16;
using testing::PatchU32;

CabinetScan Scan(const std::string& bytes) {
  return ScanForCabinets(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

std::string SmallCabinet(const std::string& name) {
  CabBuilder b;
  b.folder(CabCompression::MSZIP).add(name + ".000", "MSCE").add(name + ".001", testing::PseudoText(3000, 5));
  b.folder(CabCompression::None).add(name + ".002", "second");
  return b.bytes();
}

TEST(CabinetScanTest, CabinetsAfterAProgramAreFoundWithTheirOffsetsAndSizes) {
  const std::string first = SmallCabinet("FIRST~1");
  CabBuilder signable;
  testing::ReserveForSigning(signable).add("SECOND~1.000", "MSCE");
  const testing::SignedCabinet second = testing::SignCabinet(signable.bytes());
  const std::string file = testing::ProgramStub(5000, 1) + first + testing::ProgramStub(700, 2) + second.bytes;

  const CabinetScan scan = Scan(file);
  ASSERT_EQ(scan.Cabinets.size(), 2u);
  EXPECT_EQ(scan.Cabinets[0].Offset, 5000u);
  EXPECT_EQ(scan.Cabinets[0].Size, first.size());
  EXPECT_EQ(scan.Cabinets[0].FolderCount, 2);
  EXPECT_EQ(scan.Cabinets[0].FileCount, 3);
  EXPECT_FALSE(scan.Cabinets[0].Signed);
  EXPECT_EQ(scan.Cabinets[1].Offset, 5000u + first.size() + 700u);
  // The signature after the data is part of the cabinet.
  EXPECT_TRUE(scan.Cabinets[1].Signed);
  EXPECT_EQ(scan.Cabinets[1].CabinetSize, second.blobOffset);
  EXPECT_EQ(scan.Cabinets[1].Size, second.bytes.size());
  EXPECT_TRUE(scan.Stopped.empty());
}

TEST(CabinetScanTest, FalseAndIncompleteHeadersArePassedOver) {
  const std::string good = SmallCabinet("GOOD~1");
  std::string file = testing::ProgramStub(300, 3);
  file += "data MSCF in the middle of text MSCF";
  file += PatchU16(good, testing::cabfield::kFileCount, 9);  // more files than its table holds
  file += PatchU32(good, testing::cabfield::kFilesOffset, 37);
  std::string set = good;  // one cabinet of a set is not complete
  set[testing::cabfield::kFlags] = 0x01;
  file += set;
  const size_t goodAt = file.size();
  file += good;
  // A cabinet stored whole inside an uncompressed one is the outer one's business.
  const std::string outer = CabBuilder().add("inner.cab", good).bytes();
  const size_t outerAt = file.size();
  file += outer;
  file += testing::Truncated(good, good.size() - 10);  // cut short by the end of the file

  const CabinetScan scan = Scan(file);
  ASSERT_EQ(scan.Cabinets.size(), 2u);
  EXPECT_EQ(scan.Cabinets[0].Offset, goodAt);
  EXPECT_EQ(scan.Cabinets[1].Offset, outerAt);
  EXPECT_EQ(scan.Cabinets[1].Size, outer.size());
  EXPECT_EQ(scan.HeadersSeen, 8u);
}

TEST(CabinetScanTest, ThousandsOfFalseHeadersAreRejectedCheaply) {
  const std::string good = SmallCabinet("GOOD~1");
  // Real-looking headers (version 1.3, sizes that fit) whose file table is not where they say.
  const std::string falseHeader = PatchU32(good.substr(0, 36), testing::cabfield::kFilesOffset, 44);
  std::string file;
  for (int i = 0; i < 20000; ++i)
    file += falseHeader + testing::ProgramStub(100, static_cast<uint32_t>(i)).substr(0x48);
  file += good;
  const CabinetScan scan = Scan(file);
  EXPECT_TRUE(scan.Stopped.empty());
  EXPECT_EQ(scan.HeadersSeen, 20001u);
  ASSERT_EQ(scan.Cabinets.size(), 1u);
  EXPECT_EQ(scan.Cabinets[0].Offset, file.size() - good.size());
}

// Headers 40 bytes apart whose header reserves all end at one shared table of
// 65,535 valid folder records, each failing only at its first file record:
// checked one by one that is 65,536 record reads per header. The scan gives
// up with a message instead of spending that.
TEST(CabinetScanTest, HeadersBuiltToShareOneHugeTableStopTheScanWithAMessage) {
  const std::string good = SmallCabinet("GOOD~1");
  std::string file = good;
  constexpr size_t kHeaders = 1500;
  const size_t base = file.size();
  const size_t table = base + 40 * kHeaders;
  for (size_t i = 0; i < kHeaders; ++i) {
    const size_t at = base + 40 * i;
    const uint32_t filesOffset = static_cast<uint32_t>(table + 65535 * 8 - at);
    std::string h = good.substr(0, 36);
    h = PatchU32(h, testing::cabfield::kCabinetSize, filesOffset + 100);
    h = PatchU32(h, testing::cabfield::kFilesOffset, filesOffset);
    h = PatchU16(h, testing::cabfield::kFolderCount, 0xFFFF);
    h = PatchU16(h, testing::cabfield::kFileCount, 1);
    h = PatchU16(h, testing::cabfield::kFlags, 0x0004);
    h += std::string("\0\0\0\0", 4);
    h = PatchU16(h, 36, static_cast<uint16_t>(table - at - 40));  // the header reserve reaches the table
    file += h;
  }
  file += std::string(65535 * 8 + 200, '\0');

  const CabinetScan scan = Scan(file);
  ASSERT_FALSE(scan.Stopped.empty());
  EXPECT_EQ(scan.Stopped.rfind("the scan stopped at offset ", 0), 0u) << scan.Stopped;
  ASSERT_EQ(scan.Cabinets.size(), 1u);  // what was found before stays found
  EXPECT_EQ(scan.Cabinets[0].Offset, 0u);
  EXPECT_LT(scan.HeadersSeen, kHeaders / 2);
}

}  // namespace
}  // namespace vornix
