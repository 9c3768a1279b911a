// The program-file reader: facts of files the tests build, the version text
// the popup shows, headers that lie, and the program files of the real samples.
#include <gtest/gtest.h>

#include "cabfiles/cab_file.h"
#include "helpers/pe_builder.h"
#include "helpers/run_process.h"
#include "helpers/setup_builder.h"
#include "pe/pe_reader.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

using testing::BuildPe;
using testing::PeImage;
using testing::PeRecipe;
using testing::PutU16;
using testing::PutU32;

bool HasWarning(const ProgramFileReadResult& r, std::string_view part) {
  for (const std::string& w : r.Warnings)
    if (w.find(part) != std::string::npos) return true;
  return false;
}

TEST(ProgramFileFacts, ArmDllForWindowsCe) {
  const ProgramFileReadResult r = ReadProgramFile(BuildPe(PeRecipe()).bytes);
  ASSERT_TRUE(r.ok()) << r.Message;
  EXPECT_TRUE(r.Warnings.empty()) << r.Warnings.front();
  const ProgramFileInfo& i = r.Info;
  EXPECT_EQ(i.Machine, 0x01C0);
  EXPECT_EQ(i.machineName(), "ARM");
  EXPECT_TRUE(i.isDll());
  EXPECT_FALSE(i.Pe32Plus);
  EXPECT_EQ(i.subsystemName(), "Windows CE GUI");
  EXPECT_EQ(i.subsystemVersionText(), "4.20");
  EXPECT_FALSE(i.IsDotNet);
  EXPECT_EQ(i.Version, VersionResourceState::Read);
  ASSERT_TRUE(i.Fixed);
  EXPECT_EQ(i.Fixed->fileVersionText(), "1.2.3.4");
  EXPECT_EQ(i.Fixed->productVersionText(), "1.2.0.0");
  ASSERT_EQ(i.Strings.size(), 6u);
  EXPECT_EQ(i.Strings[0].Table, "040904B0");
  EXPECT_EQ(i.Strings[0].Key, "CompanyName");
  EXPECT_EQ(i.Strings[5].Value, "Copyright (C) 2009");
  ASSERT_TRUE(i.string("productname"));  // letter case ignored, as the version query does
  EXPECT_EQ(*i.string("productname"), "Tidepool");
  EXPECT_EQ(i.string("Comments"), nullptr);
}

TEST(ProgramFileFacts, SixtyFourBitDotNetConsoleProgramWithUnicodeStrings) {
  PeRecipe s;
  s.Machine = 0x8664;
  s.Subsystem = 3;
  s.SubsystemMajor = 6;
  s.SubsystemMinor = 0;
  s.Pe32Plus = true;
  s.Dll = false;
  s.DotNet = true;
  s.Strings = {{"FileDescription", "caf\xC3\xA9 \xF0\x9D\x84\x9E \xE6\x97\xA5"}, {"Comments", ""}};
  const ProgramFileReadResult r = ReadProgramFile(BuildPe(s).bytes);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.Info.machineName(), "x64");
  EXPECT_TRUE(r.Info.Pe32Plus);
  EXPECT_FALSE(r.Info.isDll());
  EXPECT_EQ(r.Info.subsystemName(), "Windows CUI");
  EXPECT_EQ(r.Info.subsystemVersionText(), "6.0");
  EXPECT_TRUE(r.Info.IsDotNet);
  ASSERT_EQ(r.Info.Strings.size(), 2u);
  EXPECT_EQ(r.Info.Strings[0].Value, "caf\xC3\xA9 \xF0\x9D\x84\x9E \xE6\x97\xA5");
  EXPECT_EQ(r.Info.Strings[1].Value, "");
}

TEST(ProgramFileFacts, MachineNumbersKeepTheirNames) {
  const std::pair<uint16_t, const char*> table[] = {
      {0x01C2, "THUMB"}, {0x01C4, "ARMNT"}, {0x0166, "MIPS R4000"},  {0x0266, "MIPS16"}, {0x01A2, "SH3"},
      {0x01A6, "SH4"},   {0x014C, "i386"},  {0x0169, "MIPS WCE v2"}, {0xAA64, "ARM64"},  {0x1234, ""}};
  for (const auto& [machine, name] : table) {
    PeRecipe s;
    s.Machine = machine;
    const ProgramFileReadResult r = ReadProgramFile(BuildPe(s).bytes);
    EXPECT_EQ(r.Info.Machine, machine);
    EXPECT_EQ(r.Info.machineName(), name) << machine;
  }
}

// ---- The version text of the popup's open item ------------------------------

TEST(ProgramFileVersionText, FlagsAddBetaThenDebug) {
  const std::pair<uint32_t, const char*> table[] = {{0x00, "1.2.3.4"},
                                                    {0x02, "1.2.3.4 Beta"},
                                                    {0x01, "1.2.3.4 Debug"},
                                                    {0x03, "1.2.3.4 Beta Debug"},
                                                    {0x3C, "1.2.3.4"}};  // patched, private, inferred, special: no word
  for (const auto& [flags, text] : table) {
    PeRecipe s;
    s.FileFlags = flags;
    const ProgramFileInfo info = ReadProgramFile(BuildPe(s).bytes).Info;
    EXPECT_EQ(VersionText(info), text) << flags;
    EXPECT_EQ(VersionSuffix(info), std::string(" (v. ") + text + ")");
  }
  PeRecipe high;
  high.FileVersionMS = 0xFFFF0000;
  high.FileVersionLS = 0x8000FFFF;
  EXPECT_EQ(VersionText(ReadProgramFile(BuildPe(high).bytes).Info), "65535.0.32768.65535");
}

TEST(ProgramFileVersionText, NoVersionResourceOrNoProgramFileShowsAQuestionMark) {
  PeRecipe s;
  s.WithVersion = false;
  const ProgramFileReadResult r = ReadProgramFile(BuildPe(s).bytes);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.Info.Version, VersionResourceState::Absent);
  EXPECT_EQ(VersionText(r.Info), "");
  EXPECT_EQ(VersionSuffix(r.Info), " (v. ?)");

  const ProgramFileReadResult text = ReadProgramFile(std::string("MZ setup DLL of the demo package\r\n"));
  EXPECT_FALSE(text.ok());
  EXPECT_EQ(text.Message, "the DOS header runs past the end");
  EXPECT_EQ(VersionSuffix(text.Info), " (v. ?)");
}

// ---- Headers that lie: what can be read is read, nothing else --------------

TEST(ProgramFileBadInput, NotAProgramFile) {
  const PeImage image = BuildPe(PeRecipe());
  EXPECT_EQ(ReadProgramFile(std::string()).Message, "no \"MZ\" signature");
  std::string lfanewPastEnd = image.bytes;
  PutU32(lfanewPastEnd, 0x3C, 0xFFFFFFF0);
  EXPECT_EQ(ReadProgramFile(lfanewPastEnd).Message, "no PE signature at offset 0xFFFFFFF0");
  EXPECT_FALSE(LooksLikeProgramFile(lfanewPastEnd));
  const ProgramFileReadResult cut = ReadProgramFile(image.bytes.substr(0, image.peHeader + 10));
  EXPECT_EQ(cut.Message, "the COFF header at offset 0x84 runs past the end");
  EXPECT_EQ(cut.Info.Machine, 0);  // nothing half-read is kept
  EXPECT_TRUE(LooksLikeProgramFile(image.bytes));
}

TEST(ProgramFileBadInput, SectionTablePastTheEnd) {
  const PeImage image = BuildPe(PeRecipe());
  const ProgramFileReadResult cut = ReadProgramFile(image.bytes.substr(0, image.sectionTable + 50));
  ASSERT_TRUE(cut.ok());
  EXPECT_EQ(cut.Info.machineName(), "ARM");
  EXPECT_EQ(cut.Info.subsystemName(), "Windows CE GUI");
  EXPECT_EQ(cut.Info.Version, VersionResourceState::Absent);
  EXPECT_TRUE(HasWarning(cut, "the section table holds 1 of its 2 section(s) before the end"));

  std::string many = image.bytes;
  PutU16(many, image.peHeader + 6, 0xFFFF);
  const ProgramFileReadResult r = ReadProgramFile(many);
  EXPECT_EQ(VersionText(r.Info), "1.2.3.4");  // the two real sections come first
  EXPECT_TRUE(HasWarning(r, "of its 65535 section(s)"));

  std::string optionalTooLong = image.bytes;
  PutU16(optionalTooLong, image.peHeader + 20, 0xFFFF);
  const ProgramFileReadResult o = ReadProgramFile(optionalTooLong);
  EXPECT_EQ(o.Info.subsystemName(), "Windows CE GUI");
  EXPECT_EQ(o.Info.Version, VersionResourceState::Absent);
  EXPECT_TRUE(HasWarning(o, "lies past the end"));
}

TEST(ProgramFileBadInput, ResourceDirectoryLoops) {
  const PeImage image = BuildPe(PeRecipe());
  std::string toRoot = image.bytes;  // RT_VERSION leads back to the root directory
  PutU32(toRoot, image.typeEntry + 4, 0x80000000);
  const ProgramFileReadResult r = ReadProgramFile(toRoot);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.Info.Version, VersionResourceState::Absent);
  EXPECT_TRUE(HasWarning(r, "the resource directory at offset 0x0 is reached twice (a loop)"));

  std::string toItself = image.bytes;  // the name directory names itself
  PutU32(toItself, image.nameDirectory + 20, 0x80000018);
  EXPECT_TRUE(HasWarning(ReadProgramFile(toItself), "offset 0x18 is reached twice"));

  std::string hugeCounts = image.bytes;
  PutU16(hugeCounts, image.resourceSection + 12, 0xFFFF);
  PutU16(hugeCounts, image.resourceSection + 14, 0xFFFF);
  const ProgramFileReadResult h = ReadProgramFile(hugeCounts);
  EXPECT_TRUE(HasWarning(h, "lists 131070 entries"));
  EXPECT_EQ(VersionText(h.Info), "1.2.3.4");  // entries are told apart by their own flag, not by the counts
}

TEST(ProgramFileBadInput, VersionDataThatMapsNowhereIsUnreadable) {
  const PeImage image = BuildPe(PeRecipe());
  std::string nowhere = image.bytes;
  PutU32(nowhere, image.dataEntry, 0x7FFF0000);
  const ProgramFileReadResult r = ReadProgramFile(nowhere);
  EXPECT_EQ(r.Info.Version, VersionResourceState::Unreadable);
  EXPECT_EQ(VersionText(r.Info), "");
  EXPECT_EQ(std::string(kVersionInfoError), "Can''t get version info");

  std::string tooLong = image.bytes;  // a size beyond the section: the bytes that are there
  PutU32(tooLong, image.dataEntry + 4, 0xFFFFFFFF);
  const ProgramFileReadResult t = ReadProgramFile(tooLong);
  EXPECT_EQ(VersionText(t.Info), "1.2.3.4");
  EXPECT_EQ(t.Info.Strings.size(), 6u);
  EXPECT_TRUE(HasWarning(t, "of its 4294967295 bytes"));
}

TEST(ProgramFileBadInput, VersionBlocksLongerThanTheirParentOrEmpty) {
  const PeImage image = BuildPe(PeRecipe());
  std::string longer = image.bytes;
  PutU16(longer, image.stringBlocks[0], 0xFFF0);
  const ProgramFileReadResult r = ReadProgramFile(longer);
  EXPECT_EQ(VersionText(r.Info), "1.2.3.4");
  ASSERT_EQ(r.Info.Strings.size(), 1u);  // it swallows its siblings, nothing more
  EXPECT_EQ(r.Info.Strings[0].Value, "Vornix Samples");
  EXPECT_TRUE(HasWarning(r, "is longer than its parent"));

  std::string rootTooLong = image.bytes;
  PutU16(rootTooLong, image.versionData, 0xFFFF);
  EXPECT_EQ(ReadProgramFile(rootTooLong).Info.Strings.size(), 6u);

  std::string empty = image.bytes;
  PutU16(empty, image.stringBlocks[2], 0);
  const ProgramFileReadResult e = ReadProgramFile(empty);
  EXPECT_EQ(e.Info.Strings.size(), 2u);
  EXPECT_TRUE(HasWarning(e, "is 0 byte(s) long"));

  std::string badSignature = image.bytes;
  PutU32(badSignature, image.versionData + 40, 0x12345678);
  const ProgramFileReadResult b = ReadProgramFile(badSignature);
  EXPECT_FALSE(b.Info.Fixed);
  EXPECT_EQ(VersionSuffix(b.Info), " (v. ?)");
  EXPECT_EQ(b.Info.Strings.size(), 6u);
}

// ---- The program files of the real samples ---------------------------------

// Every entry of a sample cabinet, extracted into `dir`; false when the
// sample is not there.
bool ExtractSample(const char* name, const testing::TempDir& dir) {
  const fs::path sample = fs::path(VORNIX_SAMPLES_DIR) / name;
  if (!fs::exists(sample)) return false;
  TCABFile cab;
  cab.CABFile = sample;
  cab.TargetPath = dir.path();
  return cab.ExtractAll().ok();
}

TEST(ProgramFileSamples, ArmSetupDllForWindowsCeAndDotNetAssembly) {
  testing::TempDir dir;
  if (!ExtractSample("001_BenchmarkDotNet_PPC.ARM.CAB", dir)) GTEST_SKIP() << "no sample 001";
  const ProgramFileReadResult dll = ReadProgramFile(testing::ReadAll(dir / "VSD_SE~1.999"));
  ASSERT_TRUE(dll.ok());
  EXPECT_TRUE(dll.Warnings.empty());
  EXPECT_EQ(dll.Info.machineName(), "ARM");
  EXPECT_TRUE(dll.Info.isDll());
  EXPECT_EQ(dll.Info.subsystemName(), "Windows CE GUI");
  EXPECT_EQ(dll.Info.subsystemVersionText(), "3.0");
  EXPECT_FALSE(dll.Info.IsDotNet);
  EXPECT_EQ(VersionSuffix(dll.Info), " (v. 1.0.2268.0)");
  EXPECT_EQ(*dll.Info.string("CompanyName"), "Microsoft Corporation");
  EXPECT_EQ(*dll.Info.string("FileVersion"), "1.0.2268.00");
  EXPECT_EQ(*dll.Info.string("LegalCopyright"), "Copyright (C) Microsoft Corporation");

  const ProgramFileReadResult exe = ReadProgramFile(testing::ReadAll(dir / "BENCHM~1.001"));
  ASSERT_TRUE(exe.ok());
  EXPECT_EQ(exe.Info.machineName(), "i386");
  EXPECT_FALSE(exe.Info.isDll());
  EXPECT_EQ(exe.Info.subsystemName(), "Windows GUI");
  EXPECT_EQ(exe.Info.subsystemVersionText(), "4.0");
  EXPECT_TRUE(exe.Info.IsDotNet);
  EXPECT_EQ(VersionText(exe.Info), "1.0.1311.16511");
  EXPECT_EQ(*exe.Info.string("InternalName"), "BenchmarkDotNet.exe");

  EXPECT_FALSE(ReadProgramFile(testing::ReadAll(dir / "BENCHM~2.000")).ok());
}

TEST(ProgramFileSamples, ThumbDebugBuild) {
  testing::TempDir dir;
  if (!ExtractSample("039_ChrisTec.WindowsMobile.TodayScreen-Framework.CAB", dir)) GTEST_SKIP() << "no sample 039";
  const ProgramFileReadResult r = ReadProgramFile(testing::ReadAll(dir / "MANAGE~1.003"));
  EXPECT_EQ(r.Info.machineName(), "THUMB");
  EXPECT_EQ(r.Info.subsystemVersionText(), "5.2");
  EXPECT_EQ(VersionSuffix(r.Info), " (v. 1.0.0.0 Debug)");
  EXPECT_EQ(*r.Info.string("FileVersion"), "1, 0, 0, 0");
}

}  // namespace
}  // namespace vornix
