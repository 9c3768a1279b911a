#include <gtest/gtest.h>

#include "common/text.h"
#include "helpers/listing.h"
#include "helpers/setup_builder.h"
#include "presentation/inf_writer.h"

namespace vornix {
namespace {

using testing::SetupRecipe;

TSetupInfo ReadRecipe(const SetupRecipe& desc, const CabListing* listing = nullptr) {
  SetupReadInput in;
  in.DisplayName = "T.000";
  in.CabinetMode = listing != nullptr;
  in.Listing = listing;
  Result<TSetupInfo> r = ReadSetupBytes(testing::BuildSetupFile(desc), in);
  EXPECT_TRUE(r.ok()) << r.message();
  return r.ok() ? *r : TSetupInfo{};
}

std::string Inf(const SetupRecipe& desc, const CabListing* listing = nullptr) {
  std::string text;
  for (const auto& line : WriteInf(ReadRecipe(desc, listing))) text += line + "\n";
  return text;
}

bool Has(const std::string& text, const std::string& line) { return text.find(line + "\n") != std::string::npos; }

CabListing ListingWithDll(const char* dllName) {
  return testing::ListingOf({"TIDEPO~1.004", "TIDEPO~1.003", "TIDES~1.002", "TIDEPO~1.001", dllName, "TIDEPO~1.000"});
}

TEST(InfWriter, WholeDemoPackage) {
  const CabListing listing = ListingWithDll("TIDEPO~1.999");
  const std::string expected =
      "[Version]\n"
      "Signature = \"$Chicago$\"\n"
      "CESignature = \"$Windows CE$\"\n"
      "Provider = \"%Provider%\"\n"
      "\n"
      "[CEStrings]\n"
      "Appname = \"Tidepool\"\n"
      "InstallDir = \"%CE1%\\%Provider% %AppName%\" ; (%CE1%\\Vornix Samples Tidepool)\n"
      "\n"
      "[CEDevice]\n"
      "ProcessorType = 2577\n"
      "VersionMin = 4.20\n"
      "VersionMax = 6.99\n"
      "BuildMax = -536870912; Support square screen and screen rotation\n"
      "\n"
      "[SourceDisksNames]\n"
      "1 = ,\"Dir1\",,.\\Program Files\\Vornix Samples Tidepool\n"
      "2 = ,\"Dir2\",,.\\Program Files\\Vornix Samples Tidepool\\Help\n"
      "999 = \"Dir999\",,.\n"
      "\n"
      "[SourceDisksFiles]\n"
      "Tidepool.exe = 1 ; 001\n"
      "tides.dat = 1 ; 002\n"
      "\"Read me.txt\" = 2 ; 003\n"
      "tpshell.dll = 1 ; 004\n"
      "TIDEPO~1.dll = 999 ; 999\n"
      "\n"
      "[DefaultInstall]\n"
      "AddReg = ClesRegistre\n"
      "CESetupDLL = TIDEPO~1.dll ; (TIDEPO~1.999)\n"
      "CESelfRegister = tpshell.dll\n"
      "CEShortcuts = RaccourcisCourts\n"
      "CopyFiles = CopierVersDir00,CopierVersDir01\n"
      "\n"
      "[CopierVersDir00]  ; (%CE1%\\Vornix Samples Tidepool : \\Program Files\\Vornix Samples Tidepool)\n"
      "Tidepool.exe,,,0x40000000\n"
      "tides.dat\n"
      "tpshell.dll,,,0x00000000\n"
      "\n"
      "[CopierVersDir01]  ; (%CE1%\\Vornix Samples Tidepool\\Help : \\Program Files\\Vornix Samples Tidepool\\Help)\n"
      "\"Read me.txt\"\n"
      "\n"
      "[DestinationDirs]\n"
      "CopierVersDir00 = 0, %InstallDir%\n"
      "CopierVersDir01 = 0, %InstallDir%\\Help\n"
      "RaccourcisCourts = 0, %InstallDir%\n"
      "\n"
      "[Strings]\n"
      "reg_path00 = Software\\Vornix Samples\\Tidepool\n"
      "Provider = Vornix Samples\n"
      "\n"
      "[ClesRegistre]\n"
      "HKLM,%reg_path00%,Version,0x00010001,3\n"
      "HKLM,%reg_path00%,Path,0x00000000,%InstallDir%\\tides.dat\n"
      "HKLM,%reg_path00%,Ports,0x00010000,COM1:,COM2:\n"
      "\n"
      "[RaccourcisCourts]\n"
      "%Appname%, 0, %AppName%.exe, %CE11% ; (\\Windows\\Start Menu\\Programs)\n";
  EXPECT_EQ(Inf(testing::DemoApplication(), &listing), expected);
}

TEST(InfWriter, SavedTextEndsEveryLineWithCrLf) {
  EXPECT_EQ(InfFileText({"[Version]", "", "R\xE9pertoire"}), "[Version]\r\n\r\nR\xE9pertoire\r\n");
}

TEST(InfWriter, PackageWithoutDirectories) {
  SetupRecipe s;
  s.Processor = 0, s.MinMajor = 0, s.MinMinor = 0, s.MaxMajor = 0, s.MaxMinor = 0;
  s.Files = {{1, 1, 1, 0, "a.txt"}};
  const std::string inf = Inf(s);
  EXPECT_TRUE(Has(inf, "[SourceDisksNames]\n1 = ,\"Autre\",,\\"));
  EXPECT_EQ(inf.find("CopyFiles"), std::string::npos);
  EXPECT_EQ(inf.find("[CEDevice]"), std::string::npos);
  EXPECT_TRUE(Has(inf, "[DefaultInstall]\n[DestinationDirs]"));
}

TEST(InfWriter, DirectoriesWithoutFilesAndOnlyTheSecondHoldingFiles) {
  SetupRecipe s;
  s.Strings = {{1, "%CE1%"}, {2, "A"}, {3, "B"}};
  s.Dirs = {{1, {1, 2}}, {2, {1, 3}}};
  EXPECT_TRUE(Has(Inf(s), "CopyFiles = \n"));

  s.Files = {{1, 2, 1, 0, "b.txt"}};
  const std::string inf = Inf(s);
  EXPECT_TRUE(Has(inf, "CopyFiles = CopierVersDir01\n"));
  EXPECT_TRUE(Has(inf, "[CopierVersDir01]  ; (%CE1%\\B : \\Program Files\\B)\nb.txt\n"));
  EXPECT_EQ(inf.find("[CopierVersDir00]"), std::string::npos);
  EXPECT_TRUE(Has(inf, "2 = ,\"Dir2\",,.\\Program Files\\B"));
  EXPECT_EQ(inf.find("1 = ,\"Dir1\""), std::string::npos);
}

TEST(InfWriter, ProviderAndApplicationInTheInstallDirectory) {
  SetupRecipe s;
  s.AppName = "MyApp";
  s.Provider = "Acme";
  s.Strings = {{1, "%CE1%\\Acme MyApp"}};
  const std::string inf = Inf(s);
  EXPECT_TRUE(Has(inf, "Provider = \"%Provider%\""));
  EXPECT_TRUE(Has(inf, "InstallDir = \"%CE1%\\%Provider% %AppName%\" ; (%CE1%\\Acme MyApp)"));
  EXPECT_TRUE(Has(inf, "[Strings]\nProvider = Acme"));
}

TEST(InfWriter, ProviderIsOnlySubstitutedWhenStringsDefinesIt) {
  // The provider "App" occurs in the application name's macro once that has
  // been inserted; it must never be rewritten into "%%Provider%Name%".
  SetupRecipe s;
  s.AppName = "MyApp";
  s.Provider = "App";
  s.Strings = {{1, "%CE1%\\MyApp"}};
  std::string inf = Inf(s);
  EXPECT_TRUE(Has(inf, "InstallDir = \"%CE1%\\%AppName%\" ; (%CE1%\\MyApp)")) << inf;
  EXPECT_TRUE(Has(inf, "Provider = \"%Provider%\""));

  // Provider not in the install directory: no [Strings] entry, so no macro.
  s.Provider = "Zed";
  inf = Inf(s);
  EXPECT_TRUE(Has(inf, "Provider = \"Zed\""));
  EXPECT_EQ(inf.find("%Provider%"), std::string::npos);
}

TEST(InfWriter, BuildMaxComments) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0xA0000000, "BuildMax = -1610612736; Support square screen"},
      {0xC0000000, "BuildMax = -1073741824; Support screen rotation"},
      {0xE0000000, "BuildMax = -536870912; Support square screen and screen rotation"},
      {1234, "BuildMax = 1234; "},
  };
  for (const auto& [build, line] : cases) {
    SetupRecipe s;
    s.MaxBuild = build;
    EXPECT_TRUE(Has(Inf(s), line)) << line;
  }
}

TEST(InfWriter, SetupDllLines) {
  SetupRecipe s;
  s.Strings = {{1, "%CE1%"}};
  s.Dirs = {{1, {1}}};
  s.Files = {{1, 1, 1, 0, "a.exe"}};
  const CabListing l = testing::ListingOf({"A~1.001", "MYAPP~1.999"});
  const std::string inf = Inf(s, &l);
  EXPECT_TRUE(Has(inf, "999 = \"Dir999\",,."));
  EXPECT_TRUE(Has(inf, "MYAPP~1.dll = 999 ; 999"));
  EXPECT_TRUE(Has(inf, "CESetupDLL = MYAPP~1.dll ; (MYAPP~1.999)"));
}

TEST(InfWriter, DuplicateMarker) {
  SetupRecipe s;
  s.Files = {{1, 1, 1, 0, "MyApp.exe"}, {2, 1, 2, 0, "MYAPP.EXE"}};
  const CabListing l = testing::ListingOf({"MYAPP~1.001", "MYAPP~2.002"});
  const std::string inf = Inf(s, &l);
  EXPECT_TRUE(Has(inf, "MyApp.exe = 1    ; !!!!!! - /!\\ Duplicate /!\\ - !!!!!! ; 001"));
  EXPECT_TRUE(Has(inf, "MYAPP.EXE = 1    ; !!!!!! - /!\\ Duplicate /!\\ - !!!!!! ; 002"));
}

TEST(InfWriter, Shortcuts) {
  SetupRecipe s;
  s.AppName = "MyApp";
  s.Strings = {{1, "%CE1%\\MyApp"}, {2, "%CE11%"}, {3, "MyApp.lnk"}, {4, "Tools"}, {5, "Docs.lnk"}};
  s.Dirs = {{1, {1}}, {3, {2}}, {4, {2, 4}}};
  s.Files = {{1, 1, 1, 0, "MyApp.exe"}};
  s.Shortcuts = {{1, 3, 0, 1, 1, {3}}, {2, 0, 0, 1, 0, {5}}, {3, 4, 0, 1, 1, {3}}};
  const std::string inf = Inf(s);
  EXPECT_TRUE(Has(inf, "CEShortcuts = RaccourcisCourts,Raccourci02"));
  EXPECT_TRUE(Has(inf,
                  "[RaccourcisCourts]\n"
                  "%Appname%, 0, %AppName%.exe, %CE11% ; (\\Windows\\Start Menu\\Programs)\n"
                  "Docs.lnk, 1, \\Program Files\\%AppName% ; (%InstallDir%)"));
  EXPECT_TRUE(
      Has(inf, "Raccourci02 = 0, %CE11%\\Tools ; R\xE9pertoire (ID Dir 004) = \\Windows\\Start Menu\\Programs\\Tools"));
  EXPECT_TRUE(Has(inf,
                  "\n[Raccourci02],\n%Appname%, 0, %AppName%.exe ; R\xE9pertoire (ID Dir 004) : %CE11%\\Tools "
                  "(\\Windows\\Start Menu\\Programs\\Tools)"));
}

TEST(InfWriter, ShortcutTargetsOfFourAndFiveDigitIds) {
  SetupRecipe s;
  s.AppName = "App";
  s.Strings = {{1, "%CE1%\\Tools"}, {2, "Readme.lnk"}, {3, "Tools.lnk"}};
  s.Dirs = {{1000, {1}}};
  s.Files = {{10000, 1000, 1, 0, "readme.cpl"}};
  s.Shortcuts = {{1, 0, 0, 10000, 1, {2}}, {2, 0, 0, 1000, 0, {3}}};
  const std::string inf = Inf(s);
  EXPECT_TRUE(Has(inf, "Readme.lnk, 0, readme.cpl ; (%InstallDir%)")) << inf;
  EXPECT_TRUE(Has(inf, "Tools.lnk, 1, \\Program Files\\Tools ; (%InstallDir%)")) << inf;
}

TEST(InfWriter, RegistryValuesAndTheirHives) {
  SetupRecipe s;
  s.Strings = {{1, "Software"}, {2, "A"}, {3, "B"}};
  s.Hives = {{100, 3, {1, 2}}, {1000, 2, {1, 3}}};
  s.RegKeys = {{1, 1000, 0x00010001, "Neg", testing::RegDwordBytes(0xFFFFFFFF)},
               {2, 100, 0x00000001, "Bin", std::string("\x0A\x1B\xFF", 3)},
               {3, 7, 0x00000000, "Orphan", testing::RegSzBytes("x")},
               {4, 100, 0x00000000, "Sz", testing::RegSzBytes("C:\\Temp\\")},
               {5, 100, 0x00010000, "Multi", testing::RegMultiSzBytes({"say \"hi\",there", "b,c"})},
               {6, 100, 0x00000000, "Empty", testing::RegSzBytes("")}};
  const std::string inf = Inf(s);
  // A value of hive 1000 lands under hive 1000, never under hive 100.
  EXPECT_TRUE(Has(inf, "HKCU,%reg_path01%,Neg,0x00010001,-1"));
  EXPECT_TRUE(Has(inf, "HKLM,%reg_path00%,Bin,0x00000001,0A,1B,FF"));
  EXPECT_EQ(inf.find("Orphan"), std::string::npos);
  EXPECT_TRUE(Has(inf, "HKLM,%reg_path00%,Sz,0x00000000,\"C:\\Temp\\\""));
  // Each text of a multi-string is escaped by itself: the quote-comma inside
  // the first text does not split it.
  EXPECT_TRUE(Has(inf, "HKLM,%reg_path00%,Multi,0x00010000,\"say \"\"\"hi\"\"\",there\",\"b,c\""));
  EXPECT_TRUE(Has(inf, "HKLM,%reg_path00%,Empty,0x00000000,"));
}

TEST(InfEscape, StringValues) {
  EXPECT_EQ(InfEscapeString("C:\\Temp\\"), "\"C:\\Temp\\\"");
  EXPECT_EQ(InfEscapeString("a,b"), "\"a,b\"");
  EXPECT_EQ(InfEscapeString("a b"), "a b");
  EXPECT_EQ(InfEscapeString("50% off"), "50%% off");
  EXPECT_EQ(InfEscapeString("%CE2%\\x.dll"), "%CE2%\\x.dll");
  EXPECT_EQ(InfEscapeString("%InstallDir%\\100%"), "%InstallDir%\\100%%");
  EXPECT_EQ(InfEscapeString("say \"hi\""), "say \"\"\"hi\"\"\"");
}

TEST(InfEscape, MultiStringValues) {
  EXPECT_EQ(InfEscapeMultiString({"a", "b"}), "a,b");
  EXPECT_EQ(InfEscapeMultiString({"a,x", "b"}), "\"a,x\",b");
  EXPECT_EQ(InfEscapeMultiString({"one"}), "one");
}

}  // namespace
}  // namespace vornix
