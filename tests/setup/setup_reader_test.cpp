#include <gtest/gtest.h>

#include "helpers/setup_builder.h"
#include "setup/setup_info.h"

namespace vornix {
namespace {

using testing::BuildSetupFile;
using testing::SetupSpec;

SetupReadResult Read(const std::string& bytes, bool checkSignature = true, const CabListing* listing = nullptr) {
  SetupReadInput in;
  in.DisplayName = "APP~1.000";
  in.CheckSignature = checkSignature;
  in.CabinetMode = listing != nullptr;
  in.Listing = listing;
  return ReadSetupBytes(bytes, in);
}

TSetupInfo ReadOk(const SetupSpec& desc, const CabListing* listing = nullptr) {
  SetupReadResult r = Read(BuildSetupFile(desc), true, listing);
  EXPECT_TRUE(r.ok()) << r.Message;
  return r.ok() ? *r.Info : TSetupInfo{};
}

TEST(SetupReaderRejects, InTheOrderOfItsChecks) {
  SetupReadInput failedListing;
  failedListing.ListingFailed = true;
  EXPECT_EQ(ReadSetupBytes(std::string(10, 'x'), failedListing).Message, "Extract Files error");

  EXPECT_EQ(Read(std::string(99, '\0')).Message, "WinCE file not valid : No Header");
  EXPECT_EQ(Read(std::string(99, '\0')).Status, SetupReadStatus::NoHeader);

  // The size check comes before the signature check.
  SetupSpec desc;
  desc.Signature = "MSCF";
  desc.SizeField = 5000;
  EXPECT_EQ(Read(BuildSetupFile(desc)).Message, "WinCE file not valid : File size wrong !");

  desc.SizeField.reset();
  EXPECT_EQ(Read(BuildSetupFile(desc)).Message, "WinCE file not valid : Signature = MSCF");
  EXPECT_EQ(Read(BuildSetupFile(desc)).Status, SetupReadStatus::BadSignature);
  EXPECT_TRUE(Read(BuildSetupFile(desc), /*checkSignature=*/false).ok());
}

TEST(SetupReaderRejects, DescriptionsLargerThanAnyRealOne) {
  SetupSpec big;
  big.Strings = {{1, std::string(60000, 'a')}};
  std::string bytes = BuildSetupFile(big);
  bytes.resize(kMaxSetupFileSize + 1, '\0');
  testing::PutU32(bytes, 8, static_cast<uint32_t>(bytes.size()));
  SetupReadResult r = Read(bytes);
  EXPECT_EQ(r.Status, SetupReadStatus::TooLarge);
  EXPECT_EQ(r.Message, "Setup description \"APP~1.000\" refused: 4194305 bytes, more than the 4194304 a setup "
                       "description may hold");

  // A few kilobytes whose folder names one long string thousands of times
  // would become gigabytes of paths.
  SetupSpec nested;
  nested.Strings = {{1, std::string(60000, 'a')}};
  nested.Dirs = {{1, std::vector<uint16_t>(2000, 1)}};
  r = Read(BuildSetupFile(nested));
  EXPECT_EQ(r.Status, SetupReadStatus::TooLarge);
  EXPECT_EQ(r.Message, "Setup description \"APP~1.000\" refused: its records would take more than 48 MB to show");
}

TEST(SetupReaderAccepts, MinimalFilesAndBothSignatures) {
  SetupSpec empty;
  empty.Processor = 0;
  const std::string bytes = BuildSetupFile(empty);
  ASSERT_EQ(bytes.size(), 100u);
  const TSetupInfo info = ReadOk(empty);
  EXPECT_TRUE(info.Strings.empty());
  EXPECT_TRUE(info.Files.empty());
  EXPECT_EQ(info.ProcessorText, "0 (Unknown)");
  EXPECT_EQ(info.ProcessorTypeText, "0");

  SetupSpec ce4;
  ce4.Signature = "CE4+";
  EXPECT_EQ(ReadOk(ce4).Signature, "CE4+");
}

TEST(SetupReaderHeader, DecodesTexts) {
  SetupSpec s;
  s.Processor = 10003;
  s.MinMajor = 3, s.MinMinor = 0, s.MaxMajor = 4, s.MaxMinor = 99;
  s.MinBuild = 0;
  s.MaxBuild = 0xA0000000;
  s.AppName = "MyApp";
  s.Provider = "Acme";
  s.Unsupported = {"HPC", "JUPITER"};
  const TSetupInfo info = ReadOk(s);
  EXPECT_EQ(info.ProcessorText, "10003 (Hitachi SH3)");
  EXPECT_EQ(info.MinVersion, "3.0");
  EXPECT_EQ(info.MaxVersion, "4.99");
  EXPECT_EQ(info.MaxBuild, "-1610612736");
  EXPECT_EQ(info.AppName, "MyApp");
  EXPECT_EQ(info.Provider, "Acme");
  EXPECT_EQ(info.UnsupportedPlatforms, "\"HPC\",\"JUPITER\"");
}

TEST(SetupReaderFiles, QuoteNamesThatAreNotShort) {
  const std::pair<const char*, bool> cases[] = {
      {"readme.txt", false}, {"SETUP.DLL", false}, {"Read me.txt", true},
      {"longfilename.txt", true}, {"index.html", true}, {"noext", false}, {"ninechars", true},
  };
  for (const auto& [name, quoted] : cases) {
    SetupSpec s;
    s.Files = {{1, 1, 1, 0, name}};
    const TSetupInfo info = ReadOk(s);
    const std::string expected = quoted ? "\"" + std::string(name) + "\"" : std::string(name);
    EXPECT_EQ(info.Files[0].InfName, expected) << name;
  }
}

TEST(SetupReaderFiles, MatchCabinetEntriesByNumberedExtension) {
  SetupSpec s;
  s.Strings = {{1, "%CE1%"}, {7, "MyApp"}};
  s.Dirs = {{1, {1, 7}}};
  s.Files = {{5, 1, 2, 0x10000003, "app.exe"}, {1000, 1, 1, 0, "big.dat"}, {6, 99, 3, 0, "lost.txt"}};
  CabListing listing;
  listing.Names = {"APP~1.100", "APP~1.005", "OTHER.005", "BIG~1.1000"};
  listing.Sizes = {"1", "2", "3", "4"};
  listing.Dates = {"d1", "2009-06-15  12:30", "d3", "d4"};
  const TSetupInfo info = ReadOk(s, &listing);

  const AListFiles& app = info.Files[0];
  EXPECT_EQ(app.CabName, "APP~1.005");
  EXPECT_EQ(app.CabSize, "2");
  EXPECT_EQ(app.CabDate, "2009-06-15  12:30");
  EXPECT_EQ(app.DirText, "(001) \\Program Files\\MyApp");
  EXPECT_EQ(app.OrderText, "002");
  EXPECT_EQ(app.FlagsText, "0x10000003");
  EXPECT_EQ(app.TypeText, "exe");
  EXPECT_EQ(app.CopyLine, "app.exe,,,0x00000003");
  EXPECT_EQ(info.SelfRegister, std::vector<std::string>{"app.exe"});

  // ID 1000 takes the entry ending in .1000, never the one ending in .100.
  EXPECT_EQ(info.Files[1].IdText, "1000");
  EXPECT_EQ(info.Files[1].CabName, "BIG~1.1000");

  // Unknown folder, no entry.
  EXPECT_EQ(info.Files[2].DirText, "");
  EXPECT_EQ(info.Files[2].CabName, "");
  EXPECT_EQ(info.Files[2].CabSize, " ");

  // Without a listing (a bare setup file) the cabinet name is twelve tildes.
  const TSetupInfo bare = ReadOk(s);
  EXPECT_EQ(bare.Files[0].CabName, "~~~~~~~~~~~~");
  EXPECT_EQ(bare.Files[0].CabDate, " ");
}

TEST(SetupReaderFiles, CollectDuplicatesWithoutRegardToCase) {
  SetupSpec s;
  s.Files = {{1, 1, 1, 0, "Setup.dll"}, {2, 1, 2, 0, "SETUP.DLL"}, {3, 1, 3, 0, "setup.dll"},
             {4, 1, 4, 0, "b.txt"},     {5, 1, 5, 0, "A.TXT"},     {6, 1, 6, 0, "a.txt"}};
  const TSetupInfo info = ReadOk(s);
  EXPECT_TRUE(info.HasDuplicates);
  EXPECT_EQ(info.Duplicates, (std::vector<std::string>{"a.txt", "SETUP.DLL"}));
}

TEST(SetupReaderDirs, BuildPathsAndMarkUnknownStrings) {
  SetupSpec s;
  s.Strings = {{1, "%CE1%"}, {7, "MyApp"}};
  s.Dirs = {{1, {1, 7}}, {2, {1, 8}}, {3, {1}, /*Terminated=*/false}};
  const TSetupInfo info = ReadOk(s);
  ASSERT_EQ(info.Dirs.size(), 2u);  // a list without its 0 is not a directory
  EXPECT_EQ(info.Dirs[0].IdPath, "1\\7");
  EXPECT_EQ(info.Dirs[0].Path, "\\Program Files\\MyApp");
  EXPECT_EQ(info.Dirs[0].RawPath, "%CE1%\\MyApp");
  EXPECT_EQ(info.Dirs[1].Path, "\\Program Files\\?");
  EXPECT_EQ(info.Dirs[1].RawPath, "%CE1%\\?");
}

TEST(SetupReaderDirs, ResumeAfterARecordWhoseZeroComesEarly) {
  // Directory 1 announces three IDs but ends at the second: the next record
  // must still be read from the right place.
  SetupSpec s;
  s.Strings = {{1, "%CE2%"}};
  s.Dirs = {{1, {1, 0, 1}}, {2, {1}}};
  const TSetupInfo info = ReadOk(s);
  ASSERT_EQ(info.Dirs.size(), 2u);
  EXPECT_EQ(info.Dirs[0].Path, "\\Windows");
  EXPECT_EQ(info.Dirs[1].Id, 2);
}

TEST(SetupReaderRegistry, DecodesValuesByType) {
  SetupSpec s;
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
  EXPECT_EQ(k[0].HiveText, "(002) - HKLM\\Software\\App");
  EXPECT_EQ(k[0].RawValue, "%InstallDir%\\x");
  EXPECT_EQ(k[0].Value, "\\Program Files\\App\\x");
  EXPECT_EQ(k[1].RawValue, "0A1BFF");
  EXPECT_EQ(k[2].RawValue, "\"a\",\"b\"");
  EXPECT_EQ(k[3].TypeName, "REG_DWORD");
  EXPECT_EQ(k[3].RawValue, "");
  EXPECT_EQ(k[4].TypeName, "REG_DWORD");
  EXPECT_EQ(k[4].FlagsText, "0x00010003");
  EXPECT_EQ(k[4].RawValue, "00000010");
  EXPECT_EQ(k[5].Note, "\"msft\"");
  EXPECT_EQ(k[6].Note, "Theme Generator Microsoft");
  EXPECT_EQ(k[7].TypeName, "");
  EXPECT_EQ(k[7].HiveText, "");
}

TEST(SetupReaderShortcuts, ArePlacedByTheirBaseDirectory) {
  SetupSpec s;
  s.AppName = "MyApp";
  s.Strings = {{1, "%CE1%\\MyApp"}, {2, "%CE11%"}, {3, "Tools"}, {4, "MyApp.lnk"}};
  s.Dirs = {{1, {1}}, {3, {2}}, {4, {2, 3}}};
  s.Files = {{1, 1, 1, 0, "MyApp.exe"}};
  s.Shortcuts = {
      {1, 3, 0, 1, 1, {4}},      // %CE11%: standard folder 11
      {2, 4, 0, 1, 1, {0, 4}},   // %CE11%\Tools: own section; the 0 is skipped
      {3, 1, 0, 1, 0, {4}},      // the install directory
      {4, 0, 5, 9, 1, {4}},      // standard folder number 5, unknown file
      {5, 0, 0, 1, 7, {4}},      // install directory, unknown kind
  };
  const TSetupInfo info = ReadOk(s);
  const auto& r = info.Shortcuts;
  EXPECT_EQ(r[0].StandardFolder, "11");
  EXPECT_FALSE(r[0].OwnSection);
  EXPECT_EQ(r[0].InstalledAt, "\\Windows\\Start Menu\\Programs");
  EXPECT_EQ(r[0].Name, "MyApp.lnk");
  EXPECT_EQ(r[0].TargetText, "(001) MyApp.exe");
  EXPECT_EQ(r[0].KindText, "File");
  EXPECT_TRUE(r[1].OwnSection);
  EXPECT_EQ(r[1].StandardFolder, "0");
  EXPECT_EQ(r[1].InstalledAtRaw, "%CE11%\\Tools");
  EXPECT_EQ(r[1].Name, "MyApp.lnk");
  EXPECT_FALSE(r[2].OwnSection);
  EXPECT_EQ(r[2].StandardFolder, "0");
  EXPECT_EQ(r[2].KindText, "Directories");
  EXPECT_EQ(r[2].TargetText, "(001) \\Program Files\\MyApp");
  EXPECT_EQ(r[3].InstalledAtRaw, "%CE5%");
  EXPECT_EQ(r[3].InstalledAt, "\\My Documents");
  EXPECT_EQ(r[3].StandardFolder, "5");
  EXPECT_EQ(r[3].TargetText, "?");
  EXPECT_EQ(r[4].InstalledAtRaw, "%CE1%\\MyApp");
  EXPECT_EQ(r[4].KindText, "?");
  EXPECT_EQ(r[4].TargetText, "?");
  EXPECT_EQ(r[4].IdText, "5");
  EXPECT_TRUE(info.HasShortList);
  EXPECT_TRUE(info.HasOwnSections);
}

TEST(SetupReaderShortcuts, SetupDllCountsAsFile999) {
  SetupSpec s;
  s.Files = {{1, 1, 1, 0, "a.exe"}};
  s.Shortcuts = {{1, 0, 11, 999, 1, {}}};
  CabListing listing;
  listing.Names = {"A~1.001", "SETUP~1.999"};
  listing.Sizes = {"1", "2"};
  listing.Dates = {"x", "y"};
  const TSetupInfo info = ReadOk(s, &listing);
  EXPECT_EQ(info.SetupDll.Name, "SETUP~1.999");
  EXPECT_EQ(info.Shortcuts[0].TargetText, "(999) SETUP~1.dll");
}

// Each variant breaks one field of a valid file; every one must end with the
// read-error message naming the file, never with a crash or a partial model.
TEST(SetupReaderBadInput, FieldsRunningPastTheEnd) {
  SetupSpec s = testing::DemoApplication();
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
    if (c.wide) testing::PutU32(bad, c.offset, c.value);
    else testing::PutU16(bad, c.offset, static_cast<uint16_t>(c.value));
    const SetupReadResult r = Read(bad);
    EXPECT_EQ(r.Status, SetupReadStatus::ReadError) << c.name;
    EXPECT_NE(r.Message.find("Read error in \"APP~1.000\""), std::string::npos) << c.name << ": " << r.Message;
    EXPECT_FALSE(r.Info.has_value()) << c.name;
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
