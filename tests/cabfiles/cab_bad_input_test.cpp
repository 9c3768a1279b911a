// Cabinets that lie, end early or carry hostile names: the component reports
// failure, never crashes, and never writes outside the target folder.

#include "cab_test_support.h"
#include "common/text.h"
#include "helpers/host_states.h"

namespace vornix::testing {
namespace {

namespace fs = std::filesystem;

using CabBadInputTest = CabTest;

// One small entry in the first MSZIP block, then one that runs over several.
CabImage TwoEntryImage() {
  CabBuilder b;
  b.folder(CabCompression::MSZIP).add("first.txt", "first").add("second.txt", PseudoText(120000, 2));
  return b.build();
}

TEST_F(CabBadInputTest, AFileThatIsNotACabinetListsNothingAndSetsEveryCountToMinusOne) {
  TCABFile& cab = cabinet(CabBuilder().add("a", "a"));
  ASSERT_TRUE(cab.ListContents());
  ASSERT_EQ(cab.NbFiles(), 1);

  WriteFileBytes(cab.CABFile, std::string(200, 'x'));
  EXPECT_FALSE(cab.ListContents());
  EXPECT_EQ(cab.CABFileContents.Count(), 0);
  EXPECT_EQ(cab.CabTaille(), -1);
  EXPECT_EQ(cab.NbDirs(), -1);
  EXPECT_EQ(cab.NbFiles(), -1);
  const Result<void> extracted = cab.ExtractAll();
  EXPECT_FALSE(extracted);
  EXPECT_FALSE(extracted.message().empty());
  EXPECT_TRUE(filesUnder(out()).empty());
  EXPECT_TRUE(fs::is_empty(out()));
}

TEST_F(CabBadInputTest, AMissingFileFailsAndKeepsThePreviousCounts) {
  TCABFile& cab = cabinet(CabBuilder().add("a", "a").add("b", "b"));
  ASSERT_TRUE(cab.ListContents());
  cab.CABFile = dir() / "missing.cab";
  EXPECT_FALSE(cab.ListContents());
  EXPECT_EQ(cab.CABFileContents.Count(), 0);
  EXPECT_EQ(cab.NbFiles(), 2);
  const Result<void> extracted = cab.ExtractAll();
  EXPECT_FALSE(extracted);
  EXPECT_NE(extracted.message().find("missing.cab"), std::string::npos) << extracted.message();
}

TEST_F(CabBadInputTest, ACabinetCutInItsHeadersIsNoCabinet) {
  const CabImage image = TwoEntryImage();
  for (size_t length :
       {size_t{0}, size_t{4}, size_t{35}, size_t{40}, image.fileRecords[1] + 3, image.fileRecords[1] + 17}) {
    SCOPED_TRACE(length);
    TCABFile& cab = cabinet(Truncated(image.bytes, length));
    EXPECT_FALSE(cab.ListContents());
    EXPECT_EQ(cab.CABFileContents.Count(), 0);
    EXPECT_EQ(cab.NbFiles(), -1);
    EXPECT_FALSE(cab.ExtractAll());
    EXPECT_TRUE(fs::is_empty(out()));
  }
}

TEST_F(CabBadInputTest, ACabinetCutInItsDataListsButFailsTheEntryThatRunsOut) {
  const CabImage image = TwoEntryImage();
  ASSERT_GE(image.dataBlocks.size(), 4u);
  for (size_t length : {image.dataBlocks[2] + 10, image.dataBlocks[3], image.bytes.size() - 1}) {
    SCOPED_TRACE(length);
    fs::remove_all(out());
    TCABFile& cab = cabinet(Truncated(image.bytes, length));
    EXPECT_TRUE(cab.ListContents());
    EXPECT_EQ(cab.CABFileContents.Count(), 2);
    EXPECT_EQ(cab.NbFiles(), 2);
    EXPECT_EQ(cab.CabTaille(), static_cast<int32_t>(image.bytes.size())) << "as the header states";
    const Result<void> extracted = cab.ExtractAll();
    EXPECT_FALSE(extracted);
    EXPECT_NE(extracted.message().find("second.txt"), std::string::npos) << extracted.message();
    EXPECT_EQ(filesUnder(out()), std::vector<std::string>{"first.txt"}) << "what was whole stays";
    EXPECT_EQ(contentOf(out() / "first.txt"), "first");
  }
}

// Entries read into memory (the setup descriptions) fail the same way: an
// entry that breaks off is left empty, never part of it.
TEST_F(CabBadInputTest, CorruptBlocksFailTheExtractionWithoutLeavingHalfFiles) {
  const CabImage image = TwoEntryImage();
  const size_t block0 = image.dataBlocks[0];
  // Decompressors read a little ahead into the next block, so damage that
  // first.txt must survive sits two blocks after it.
  const size_t block2 = image.dataBlocks[2];
  const size_t folder = image.folderRecords[0];
  const struct {
    const char* what;
    std::string bytes;
    bool firstSurvives;
  } cases[] = {
      {"reserved deflate block type", PatchU8(image.bytes, block0 + cabfield::kDataHeaderSize + 2, 0xFF), false},
      {"garbage in the third block", PatchU32(image.bytes, block2 + cabfield::kDataHeaderSize + 2, 0xFFFFFFFF), true},
      {"block larger than a block may be", PatchU16(image.bytes, block2 + cabfield::kDataCompressedSize, 0xFFFF), true},
      {"block that expands too far", PatchU16(image.bytes, block0 + cabfield::kDataUncompressedSize, 0xFFFF), false},
      {"wrong checksum", PatchU32(image.bytes, block0 + cabfield::kDataChecksum, 0x12345678), false},
      {"unknown compression", PatchU16(image.bytes, folder + cabfield::kFolderCompression, 0x000F), false},
      {"too few blocks", PatchU16(image.bytes, folder + cabfield::kFolderBlockCount, 1), true},
      {"data offset past the end", PatchU32(image.bytes, folder + cabfield::kFolderDataOffset, 0x7FFFFFF0), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(out());
    TCABFile& cab = cabinet(c.bytes);
    EXPECT_TRUE(cab.ListContents());
    EXPECT_EQ(cab.CABFileContents.Count(), 2);
    const Result<void> extracted = cab.ExtractAll();
    EXPECT_FALSE(extracted);
    EXPECT_FALSE(extracted.message().empty());
    EXPECT_FALSE(fs::exists(out() / "second.txt"));
    EXPECT_EQ(fs::exists(out() / "first.txt"), c.firstSurvives);

    std::string read[2] = {"stale", "stale"};
    const Result<void> inMemory = cab.Extract([&](const TCABFileEntry& e) {
      ExtractTarget target;
      target.Memory = &read[e.Index];
      return std::optional<ExtractTarget>(target);
    });
    EXPECT_FALSE(inMemory);
    if (c.firstSurvives)
      EXPECT_EQ(read[0], "first");
    else
      EXPECT_TRUE(read[0] == "stale" || read[0].empty()) << read[0];
    EXPECT_TRUE(read[1] == "stale" || read[1].empty()) << read[1].size();
  }
}

TEST_F(CabBadInputTest, HeaderRecordsThatLieNeverCrashOrWriteOutsideTheTarget) {
  const CabImage image = TwoEntryImage();
  std::vector<std::string> variants;
  for (size_t field : {cabfield::kCabinetSize, cabfield::kFilesOffset}) {
    for (uint32_t v : {0u, 35u, 0xFFFFFFFFu}) variants.push_back(PatchU32(image.bytes, field, v));
  }
  for (size_t field : {cabfield::kFolderCount, cabfield::kFileCount, cabfield::kFlags}) {
    for (uint16_t v : {uint16_t{0}, uint16_t{3}, uint16_t{0xFFFF}}) variants.push_back(PatchU16(image.bytes, field, v));
  }
  for (size_t record : image.fileRecords) {
    variants.push_back(PatchU32(image.bytes, record + cabfield::kFileSize, 0xFFFFFFFF));
    variants.push_back(PatchU32(image.bytes, record + cabfield::kFileFolderOffset, 0x7FFFFFFF));
    variants.push_back(PatchU16(image.bytes, record + cabfield::kFileFolderIndex, 7));
    variants.push_back(PatchU16(image.bytes, record + cabfield::kFileFolderIndex, 0xFFFD));
    variants.push_back(PatchU8(image.bytes, record + cabfield::kFileName, 0));
  }
  for (size_t i = 0; i < variants.size(); ++i) {
    SCOPED_TRACE(i);
    TCABFile& cab = cabinet(variants[i]);
    // Either way each run may go: only where it writes is checked.
    (void)cab.ListContents();
    EXPECT_LE(cab.CABFileContents.Count(), 0xFFFF);
    (void)cab.ExtractAll();
    for (const auto& e : fs::directory_iterator(dir())) {
      const std::string name = e.path().filename().string();
      EXPECT_TRUE(name == "out" || name == "test.cab") << name;
    }
    fs::remove_all(out());
  }
}

TEST_F(CabBadInputTest, UnsafeNamesAreSkippedWithAWarningAndTheRestIsExtracted) {
  const std::vector<std::string> hostile = {
      "..\\up.txt",    "../up2.txt", "a\\..\\..\\up3.txt", "/abs.txt", "\\abs2.txt",
      "C:\\drive.txt", "C:rel.txt",  "ctl\x01.txt",        "sub\\",    "..",
  };
  CabBuilder b;
  for (const std::string& name : hostile) b.add(name, "evil");
  b.add("ok.txt", "fine");
  static const char kCut[] = "cut\0..\\..\\gone.txt";
  b.add(std::string(kCut, sizeof kCut - 1), "cut");  // the format ends the name at the NUL
  TCABFile& cab = cabinet(b);
  ASSERT_TRUE(cab.ListContents());
  ASSERT_EQ(cab.CABFileContents.Count(), static_cast<int>(hostile.size()) + 2);
  EXPECT_EQ(cab.CABFileContents.Item(cab.CABFileContents.Count() - 1).Name, "cut");

  fs::create_directories(out() / "a");
  const Result<void> all = cab.ExtractAll();
  EXPECT_TRUE(all) << all.message();
  EXPECT_EQ(filesUnder(out()), (std::vector<std::string>{"cut", "ok.txt"}));
  EXPECT_EQ(filesUnder(dir()), (std::vector<std::string>{"out/cut", "out/ok.txt", "test.cab"}));
  EXPECT_FALSE(fs::exists("/abs.txt"));
  ASSERT_EQ(warnings.size(), hostile.size());
  EXPECT_EQ(warnings[0], "\"..\\up.txt\" not extracted: the name leads outside the target folder");

  // Asked for by name, an unsafe entry is refused all the same.
  warnings.clear();
  EXPECT_TRUE(cab.ExtractFile("..\\UP.TXT"));
  EXPECT_EQ(warnings.size(), 1u);
  EXPECT_EQ(filesUnder(dir()), (std::vector<std::string>{"out/cut", "out/ok.txt", "test.cab"}));
}

TEST_F(CabBadInputTest, EntriesThatOverlapStopAtWhatTheFoldersHold) {
  // Ten entries that all claim the folder's first 20,000 bytes: a cabinet
  // this small must not write ten times what its one data block holds.
  CabBuilder b;
  b.folder(CabCompression::MSZIP);
  for (int k = 0; k < 10; ++k) b.add(Format("E%d.BIN", k), k == 0 ? std::string(20000, 'z') : std::string("x"));
  CabImage image = b.build();
  for (size_t k = 1; k < image.fileRecords.size(); ++k) {
    image.bytes = PatchU32(image.bytes, image.fileRecords[k] + cabfield::kFileSize, 20000);
    image.bytes = PatchU32(image.bytes, image.fileRecords[k] + cabfield::kFileFolderOffset, 0);
  }
  TCABFile& cab = cabinet(image.bytes);
  const Result<void> extracted = cab.ExtractAll();
  EXPECT_FALSE(extracted);
  EXPECT_EQ(
      extracted.message(),
      "E1.BIN: the entries hold more than the 32768 bytes the cabinet's folders declare (entries overlap); stopped");
  EXPECT_EQ(filesUnder(out()), std::vector<std::string>{"E0.BIN"});
}

TEST_F(CabBadInputTest, AnEmptyStoredNameMakesTheCabinetUnreadable) {
  TCABFile& cab = cabinet(CabBuilder().add("", "nameless"));
  EXPECT_FALSE(cab.ListContents());
  EXPECT_EQ(cab.NbFiles(), -1);
  EXPECT_FALSE(cab.ExtractAll());
}

TEST_F(CabBadInputTest, ALinkPlantedWhereAFileGoesIsReplacedNeverFollowed) {
  WriteFileBytes(dir() / "victim.txt", "precious");
  fs::create_symlink(dir() / "victim.txt", out() / "link.txt");
  TCABFile& cab = cabinet(CabBuilder().add("link.txt", "payload"));

  bool asked = false;
  cab.OnOverWriteFile = [&](const fs::path&, bool& allow) {
    asked = true;
    allow = false;
  };
  EXPECT_TRUE(cab.ExtractAll());
  EXPECT_TRUE(asked);
  EXPECT_TRUE(fs::is_symlink(out() / "link.txt"));

  cab.OnOverWriteFile = nullptr;
  EXPECT_TRUE(cab.ExtractAll());
  EXPECT_FALSE(fs::is_symlink(out() / "link.txt"));
  EXPECT_EQ(contentOf(out() / "link.txt"), "payload");
  EXPECT_EQ(contentOf(dir() / "victim.txt"), "precious");
}

TEST_F(CabBadInputTest, ADestinationThatCannotBeCreatedStopsTheRun) {
  TCABFile& cab = cabinet(CabBuilder().add("a.txt", "a").add("sub\\b.txt", "b"));
  WriteFileBytes(dir() / "plainfile", "");
  cab.TargetPath = dir() / "plainfile";
  const Result<void> extracted = cab.ExtractAll();
  EXPECT_FALSE(extracted);
  EXPECT_NE(extracted.message().find("cannot create"), std::string::npos) << extracted.message();
  EXPECT_FALSE(warnings.empty());

  // A folder where a file should go: it stays, and the run fails.
  cab.TargetPath = out();
  fs::create_directories(out() / "a.txt" / "inside");
  EXPECT_FALSE(cab.ExtractAll());
  EXPECT_TRUE(fs::is_directory(out() / "a.txt" / "inside"));
}

// A run's first megabyte is written on the caller's thread, the rest on the
// writer's: a disk that fills up on either still fails the run with its
// reason, removes the file it was writing and creates none after it.
TEST_F(CabBadInputTest, AFullDiskFailsTheRunAndLeavesNoPartFile) {
  for (const size_t room : {size_t{200} << 10, size_t{1536} << 10}) {
    SCOPED_TRACE(room);
    fs::remove_all(out());
    fs::create_directories(out());
    TmpfsMount disk(out(), room);
    if (!disk.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    CabBuilder b;
    b.folder(CabCompression::MSZIP);
    for (int k = 0; k < 6; ++k) b.add(Format("F%d.TXT", k), PseudoText(300000, static_cast<uint32_t>(k)));
    TCABFile& cab = cabinet(b);
    const Result<void> extracted = cab.ExtractAll();
    ASSERT_FALSE(extracted);
    EXPECT_NE(extracted.message().find("No space left on device"), std::string::npos) << extracted.message();
    const std::vector<std::string> left = filesUnder(out());
    EXPECT_EQ(left.size(), room / 300000) << "whole files that fit";
    for (const std::string& name : left) EXPECT_EQ(fs::file_size(out() / name), 300000u) << name;
  }
}

TEST_F(CabBadInputTest, RepeatedNamesRaiseTheOverwriteEventForTheLaterEntry) {
  TCABFile& cab = cabinet(CabBuilder().add("twice.txt", "first").add("TWICE.TXT", "second"));
  int asked = 0;
  cab.OnOverWriteFile = [&](const fs::path&, bool&) { ++asked; };
  ASSERT_TRUE(cab.ExtractAll());
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(filesUnder(out()), std::vector<std::string>{"TWICE.TXT"});
  EXPECT_EQ(contentOf(out() / "TWICE.TXT"), "second");
}

}  // namespace
}  // namespace vornix::testing
