#include <gtest/gtest.h>

#include "helpers/cab_builder.h"
#include "helpers/listing.h"
#include "helpers/setup_builder.h"
#include "presentation/display.h"
#include "setup/setup_info.h"

namespace vornix {
namespace {

using testing::BuildSetupFile;
using testing::SetupRecipe;

Result<TSetupInfo> Read(const std::string& bytes, bool checkSignature = true, const CabListing* listing = nullptr) {
  SetupReadInput in;
  in.DisplayName = "APP~1.000";
  in.CheckSignature = checkSignature;
  in.CabinetMode = listing != nullptr;
  in.Listing = listing;
  return ReadSetupBytes(bytes, in);
}

TSetupInfo ReadOk(const SetupRecipe& desc, const CabListing* listing = nullptr) {
  Result<TSetupInfo> r = Read(BuildSetupFile(desc), true, listing);
  EXPECT_TRUE(r.ok()) << r.message();
  return r.ok() ? *r : TSetupInfo{};
}

// (A cabinet that could not be listed is refused before the reader is asked:
// PackageSessionTest.BrokenCabinetsSayExtractFilesError.)
TEST(SetupReaderRejects, InTheOrderOfItsChecks) {
  EXPECT_EQ(Read(std::string(99, '\0')).error().Message, "WinCE file not valid : No Header");
  EXPECT_EQ(Read(std::string(99, '\0')).error().Code, ErrorCode::NoHeader);

  // The size check comes before the signature check.
  SetupRecipe desc;
  desc.Signature = "MSCF";
  desc.SizeField = 5000;
  EXPECT_EQ(Read(BuildSetupFile(desc)).error().Message, "WinCE file not valid : File size wrong !");
  EXPECT_EQ(Read(BuildSetupFile(desc)).error().Offset, 8u);

  desc.SizeField.reset();
  EXPECT_EQ(Read(BuildSetupFile(desc)).error().Message, "WinCE file not valid : Signature = MSCF");
  EXPECT_EQ(Read(BuildSetupFile(desc)).error().Code, ErrorCode::BadSignature);
  EXPECT_TRUE(Read(BuildSetupFile(desc), /*checkSignature=*/false).ok());
}

TEST(SetupReaderRejects, DescriptionsLargerThanAnyRealOne) {
  SetupRecipe big;
  big.Strings = {{1, std::string(60000, 'a')}};
  std::string bytes = BuildSetupFile(big);
  bytes.resize(kMaxSetupFileSize + 1, '\0');
  testing::PutU32(bytes, 8, static_cast<uint32_t>(bytes.size()));
  Result<TSetupInfo> r = Read(bytes);
  EXPECT_EQ(r.error().Code, ErrorCode::TooLarge);
  EXPECT_EQ(r.error().Message,
            "Setup description \"APP~1.000\" refused: 4194305 bytes, more than the 4194304 a setup "
            "description may hold");

  // A few kilobytes whose folder names one long string thousands of times
  // would become gigabytes of paths.
  SetupRecipe nested;
  nested.Strings = {{1, std::string(60000, 'a')}};
  nested.Dirs = {{1, std::vector<uint16_t>(2000, 1)}};
  r = Read(BuildSetupFile(nested));
  EXPECT_EQ(r.error().Code, ErrorCode::TooLarge);
  EXPECT_EQ(r.error().Message,
            "Setup description \"APP~1.000\" refused: its records would take more than 48 MB to show");
}

TEST(SetupReaderAccepts, MinimalFilesAndBothSignatures) {
  SetupRecipe empty;
  empty.Processor = 0;
  const std::string bytes = BuildSetupFile(empty);
  ASSERT_EQ(bytes.size(), 100u);
  const TSetupInfo info = ReadOk(empty);
  EXPECT_TRUE(info.Strings.empty());
  EXPECT_TRUE(info.Files.empty());
  EXPECT_EQ(ProcessorText(info.Header), "0 (Unknown)");
  EXPECT_EQ(ProcessorTypeText(info.Header), "0");

  SetupRecipe ce4;
  ce4.Signature = "CE4+";
  EXPECT_EQ(ReadOk(ce4).Signature, "CE4+");
}

TEST(SetupReaderHeader, DecodesTexts) {
  SetupRecipe s;
  s.Processor = 10003;
  s.MinMajor = 3, s.MinMinor = 0, s.MaxMajor = 4, s.MaxMinor = 99;
  s.MinBuild = 0;
  s.MaxBuild = 0xA0000000;
  s.AppName = "MyApp";
  s.Provider = "Acme";
  s.Unsupported = {"HPC", "JUPITER"};
  const TSetupInfo info = ReadOk(s);
  EXPECT_EQ(ProcessorText(info.Header), "10003 (Hitachi SH3)");
  EXPECT_EQ(MinVersionText(info.Header), "3.0");
  EXPECT_EQ(MaxVersionText(info.Header), "4.99");
  EXPECT_EQ(MaxBuildText(info.Header), "-1610612736");
  EXPECT_EQ(info.AppName, "MyApp");
  EXPECT_EQ(info.Provider, "Acme");
  EXPECT_EQ(UnsupportedPlatformsText(info.UnsupportedPlatforms), "\"HPC\",\"JUPITER\"");
}

TEST(SetupReaderFiles, QuoteNamesThatAreNotShort) {
  const std::pair<const char*, bool> cases[] = {
      {"readme.txt", false}, {"SETUP.DLL", false}, {"Read me.txt", true}, {"longfilename.txt", true},
      {"index.html", true},  {"noext", false},     {"ninechars", true},
  };
  for (const auto& [name, quoted] : cases) {
    SetupRecipe s;
    s.Files = {{1, 1, 1, 0, name}};
    const TSetupInfo info = ReadOk(s);
    const std::string expected = quoted ? "\"" + std::string(name) + "\"" : std::string(name);
    EXPECT_EQ(InfFileName(info.Files[0].Name), expected) << name;
  }
}

TEST(SetupReaderFiles, MatchCabinetEntriesByNumberedExtension) {
  SetupRecipe s;
  s.Strings = {{1, "%CE1%"}, {7, "MyApp"}};
  s.Dirs = {{1, {1, 7}}};
  s.Files = {{5, 1, 2, 0x10000003, "app.exe"}, {1000, 1, 1, 0, "big.dat"}, {6, 99, 3, 0, "lost.txt"}};
  CabListing listing = testing::ListingOf({"APP~1.100", "APP~1.005", "OTHER.005", "BIG~1.1000"});
  for (size_t i = 0; i < listing.size(); ++i) listing[i].Size = static_cast<int32_t>(i + 1);
  listing[1].DosDate = testing::DosDate(2009, 6, 15);
  listing[1].DosTime = testing::DosTime(12, 30, 0);
  const TSetupInfo info = ReadOk(s, &listing);

  const AListFiles& app = info.Files[0];
  EXPECT_EQ(FileCabName(info, app), "APP~1.005");
  EXPECT_EQ(FileCabSize(app), "2");
  EXPECT_EQ(FileCabDate(app), "2009-06-15  12:30");
  EXPECT_EQ(FileDirText(info, app), "(001) \\Program Files\\MyApp");
  EXPECT_EQ(IdText3(app.OrderNumber), "002");
  EXPECT_EQ(FlagsText(app.Flags), "0x10000003");
  EXPECT_EQ(FileTypeText(app), "exe");
  EXPECT_EQ(FileCopyLine(app), "app.exe,,,0x00000003");
  EXPECT_EQ(SelfRegisterNames(info), std::vector<std::string>{"app.exe"});

  // ID 1000 takes the entry ending in .1000, never the one ending in .100.
  EXPECT_EQ(IdText3(info.Files[1].Id), "1000");
  EXPECT_EQ(FileCabName(info, info.Files[1]), "BIG~1.1000");

  // Unknown folder, no entry.
  EXPECT_EQ(FileDirText(info, info.Files[2]), "");
  EXPECT_EQ(FileCabName(info, info.Files[2]), "");
  EXPECT_EQ(FileCabSize(info.Files[2]), " ");

  // Without a listing (a bare setup file) the cabinet name is twelve tildes.
  const TSetupInfo bare = ReadOk(s);
  EXPECT_EQ(FileCabName(bare, bare.Files[0]), "~~~~~~~~~~~~");
  EXPECT_EQ(FileCabDate(bare.Files[0]), " ");
}

TEST(SetupReaderFiles, CollectDuplicatesWithoutRegardToCase) {
  SetupRecipe s;
  s.Files = {{1, 1, 1, 0, "Setup.dll"}, {2, 1, 2, 0, "SETUP.DLL"}, {3, 1, 3, 0, "setup.dll"},
             {4, 1, 4, 0, "b.txt"},     {5, 1, 5, 0, "A.TXT"},     {6, 1, 6, 0, "a.txt"}};
  const TSetupInfo info = ReadOk(s);
  EXPECT_TRUE(info.HasDuplicates);
  EXPECT_EQ(info.Duplicates, (std::vector<std::string>{"a.txt", "SETUP.DLL"}));
}

TEST(SetupReaderDirs, BuildPathsAndMarkUnknownStrings) {
  SetupRecipe s;
  s.Strings = {{1, "%CE1%"}, {7, "MyApp"}};
  s.Dirs = {{1, {1, 7}}, {2, {1, 8}}, {3, {1}, /*Terminated=*/false}};
  const TSetupInfo info = ReadOk(s);
  ASSERT_EQ(info.Dirs.size(), 2u);  // a list without its 0 is not a directory
  EXPECT_EQ(DirIdPathText(info.Dirs[0]), "1\\7");
  EXPECT_EQ(info.Dirs[0].Path, "\\Program Files\\MyApp");
  EXPECT_EQ(info.Dirs[0].RawPath, "%CE1%\\MyApp");
  EXPECT_EQ(info.Dirs[1].Path, "\\Program Files\\?");
  EXPECT_EQ(info.Dirs[1].RawPath, "%CE1%\\?");
}

TEST(SetupReaderDirs, ResumeAfterARecordWhoseZeroComesEarly) {
  // Directory 1 announces three IDs but ends at the second: the next record
  // must still be read from the right place.
  SetupRecipe s;
  s.Strings = {{1, "%CE2%"}};
  s.Dirs = {{1, {1, 0, 1}}, {2, {1}}};
  const TSetupInfo info = ReadOk(s);
  ASSERT_EQ(info.Dirs.size(), 2u);
  EXPECT_EQ(info.Dirs[0].Path, "\\Windows");
  EXPECT_EQ(info.Dirs[1].Id, 2);
}

TEST(SetupReaderRegistry, DecodesValuesByType) {
  SetupRecipe s;
  s.Strings = {{1, "%CE1%\\App"}, {2, "Software"}, {3, "App"}};
  s.Hives = {{2, 3, {2, 99, 3}}};
  s.RegKeys = {
      {1, 2, 0x00000000, "Dir", testing::RegSzBytes("%InstallDir%\\x")},
      {2, 2, 0x00000001, "Bin", std::string("\x0A\x1B\xFF", 3)},
      {3, 2, 0x00010000, "Multi", testing::RegMultiSzBytes({"a", "b"})},
      {4, 2, 0x00010001, "Short", std::string("\x01\x02", 2)},
      {5, 2, 0x00010003, "Dword", testing::RegDwordBytes(0x10)},
      {6, 2, 0x00000001, "42", "msft"},
      {7, 2, 0x00010001, "tdywater", testing::RegDwordBytes(1)},
      {8, 7, 0x00000004, "Odd", "zz"},
  };
  const TSetupInfo info = ReadOk(s);
  const auto& k = info.RegKeys;
  EXPECT_EQ(info.Hives[0].Path, "Software\\App");  // unknown string 99 skipped
  EXPECT_EQ(HiveText(info, k[0]), "(002) - HKLM\\Software\\App");
  EXPECT_EQ(RegRawValueText(k[0]), "%InstallDir%\\x");
  EXPECT_EQ(RegValueText(info, k[0]), "\\Program Files\\App\\x");
  EXPECT_EQ(RegRawValueText(k[1]), "0A1BFF");
  EXPECT_EQ(RegRawValueText(k[2]), "\"a\",\"b\"");
  EXPECT_EQ(RegTypeText(k[3]), "REG_DWORD");
  EXPECT_EQ(RegRawValueText(k[3]), "");
  EXPECT_EQ(RegTypeText(k[4]), "REG_DWORD");
  EXPECT_EQ(FlagsText(k[4].Flags), "0x00010003");
  EXPECT_EQ(RegRawValueText(k[4]), "00000010");
  EXPECT_EQ(RegNoteText(info, k[5]), "\"msft\"");
  EXPECT_EQ(RegNoteText(info, k[6]), "Theme Generator Microsoft");
  EXPECT_EQ(RegTypeText(k[7]), "");
  EXPECT_EQ(HiveText(info, k[7]), "");
}

TEST(SetupReaderShortcuts, ArePlacedByTheirBaseDirectory) {
  SetupRecipe s;
  s.AppName = "MyApp";
  s.Strings = {{1, "%CE1%\\MyApp"}, {2, "%CE11%"}, {3, "Tools"}, {4, "MyApp.lnk"}};
  s.Dirs = {{1, {1}}, {3, {2}}, {4, {2, 3}}};
  s.Files = {{1, 1, 1, 0, "MyApp.exe"}};
  s.Shortcuts = {
      {1, 3, 0, 1, 1, {4}},     // %CE11%: standard folder 11
      {2, 4, 0, 1, 1, {0, 4}},  // %CE11%\Tools: own section; the 0 is skipped
      {3, 1, 0, 1, 0, {4}},     // the install directory
      {4, 0, 5, 9, 1, {4}},     // standard folder number 5, unknown file
      {5, 0, 0, 1, 7, {4}},     // install directory, unknown kind
  };
  const TSetupInfo info = ReadOk(s);
  const auto& r = info.Shortcuts;
  EXPECT_EQ(r[0].StandardFolder, 11);
  EXPECT_FALSE(r[0].OwnSection);
  EXPECT_EQ(r[0].InstalledAt, "\\Windows\\Start Menu\\Programs");
  EXPECT_EQ(r[0].Name, "MyApp.lnk");
  EXPECT_EQ(ShortcutTargetText(info, r[0]), "(001) MyApp.exe");
  EXPECT_EQ(ShortcutKindText(r[0]), "File");
  EXPECT_TRUE(r[1].OwnSection);
  EXPECT_EQ(r[1].StandardFolder, 0);
  EXPECT_EQ(r[1].InstalledAtRaw, "%CE11%\\Tools");
  EXPECT_EQ(r[1].Name, "MyApp.lnk");
  EXPECT_FALSE(r[2].OwnSection);
  EXPECT_EQ(r[2].StandardFolder, 0);
  EXPECT_EQ(ShortcutKindText(r[2]), "Directories");
  EXPECT_EQ(ShortcutTargetText(info, r[2]), "(001) \\Program Files\\MyApp");
  EXPECT_EQ(r[3].InstalledAtRaw, "%CE5%");
  EXPECT_EQ(r[3].InstalledAt, "\\My Documents");
  EXPECT_EQ(r[3].StandardFolder, 5);
  EXPECT_EQ(ShortcutTargetText(info, r[3]), "?");
  EXPECT_EQ(r[4].InstalledAtRaw, "%CE1%\\MyApp");
  EXPECT_EQ(ShortcutKindText(r[4]), "?");
  EXPECT_EQ(ShortcutTargetText(info, r[4]), "?");
  EXPECT_EQ(r[4].Id, 5);
  EXPECT_TRUE(info.HasShortList);
  EXPECT_TRUE(info.HasOwnSections);
}

TEST(SetupReaderShortcuts, SetupDllCountsAsFile999) {
  SetupRecipe s;
  s.Files = {{1, 1, 1, 0, "a.exe"}};
  s.Shortcuts = {{1, 0, 11, 999, 1, {}}};
  const CabListing listing = testing::ListingOf({"A~1.001", "SETUP~1.999"});
  const TSetupInfo info = ReadOk(s, &listing);
  EXPECT_EQ(info.SetupDll.Name, "SETUP~1.999");
  EXPECT_EQ(ShortcutTargetText(info, info.Shortcuts[0]), "(999) SETUP~1.dll");
}

// Each variant breaks one field of a valid file; every one must end with the
// read-error message naming the file, never with a crash or a partial model.
TEST(SetupReaderBadInput, FieldsRunningPastTheEnd) {
  SetupRecipe s = testing::DemoApplication();
  const std::string good = BuildSetupFile(s);
  const testing::SetupLayout layout = testing::LayoutOf(s);
  struct Case {
    const char* name;
    size_t offset;
    uint32_t value;
    bool wide;
  };
  const Case cases[] = {
      {"string section offset", 60, 0xFFFFFFF0u, true},
      {"file section offset", 68, static_cast<uint32_t>(good.size()), true},
      {"shortcut count", 58, 0xFFFF, false},
      {"registry key count", 56, 500, false},
      {"application name offset", 84, 0xFFFF, false},
      {"string byte count", layout.Strings + 2, 0xFFFF, false},
      {"file name byte count", layout.Files + 10, 0xFFFF, false},
      {"registry data byte count", layout.RegKeys + 10, 0xFFFF, false},
  };
  for (const Case& c : cases) {
    std::string bad = good;
    if (c.wide)
      testing::PutU32(bad, c.offset, c.value);
    else
      testing::PutU16(bad, c.offset, static_cast<uint16_t>(c.value));
    const Result<TSetupInfo> r = Read(bad);
    ASSERT_FALSE(r.ok()) << c.name;
    EXPECT_EQ(r.error().Code, ErrorCode::Truncated) << c.name;
    EXPECT_NE(r.error().Message.find("Read error in \"APP~1.000\""), std::string::npos)
        << c.name << ": " << r.error().Message;
    EXPECT_TRUE(r.error().Offset.has_value()) << c.name;
  }
}

TEST(SetupReaderExpand, AppliesTheMacroTableInOrder) {
  EXPECT_EQ(Expand("%CE1%\\x"), "\\Program Files\\x");
  EXPECT_EQ(Expand("%CE10%"), "\\Program Files\\Office");
  EXPECT_EQ(Expand("%CE17%\\%CE2%"), "\\Windows\\Start Menu\\\\Windows");
  EXPECT_EQ(Expand("%ce1%"), "%ce1%");
  EXPECT_EQ(Expand("%CE18%"), "%CE18%");
}

}  // namespace
}  // namespace vornix
