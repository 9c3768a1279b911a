// The XML setup reader: caption grammar, rows, registry listing and INF.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "helpers/cab_builder.h"
#include "helpers/listing.h"
#include "presentation/xml_texts.h"
#include "xml/xml_setup.h"

namespace vornix {
namespace {

using Lines = std::vector<std::string>;

const char kDocument[] = R"(<?xml version="1.0" encoding="utf-8"?>
<!-- made by hand -->
<wap-provisioningdoc>
  <characteristic type="Install">
    <parm name="InstallPhase" value="install" />
    <parm name="AppName" value="MyApp" />
    <parm name="InstallDir" value="%CE1%\MyApp" translation="install" />
    <parm name="ProcessorType" value="2577" />
    <parm name="OSVersionMin" value="4.0" />
    <parm name="OSVersionMax" value="5.99" />
    <parm name="BuildNumberMax" value="0xE0000000" />
    <parm name="NumDirs" value="2" />
  </characteristic>
  <characteristic type="FileOperation">
    <characteristic type="%InstallDir%" translation="install">
      <characteristic type="MakeDir" />
      <characteristic type="MyApp.exe" translation="install">
        <characteristic type="Extract">
          <parm name="Source" value="MYAPP~1.001" />
          <parm name="NoOverwriteIfNewer" />
        </characteristic>
      </characteristic>
      <characteristic type="helper.dll" translation="install">
        <characteristic type="Extract">
          <parm name="Source" value="HELPER~1.002" />
          <parm name="SelfRegister" />
        </characteristic>
      </characteristic>
    </characteristic>
    <characteristic type="%CE11%" translation="install">
      <characteristic type="MakeDir" />
      <characteristic type="MyApp.lnk" translation="install">
        <characteristic type="Shortcut">
          <parm name="Source" value="%InstallDir%\MyApp.exe" translation="install" />
        </characteristic>
      </characteristic>
    </characteristic>
  </characteristic>
  <characteristic type="Registry">
    <characteristic type="HKLM\Software\MyApp">
      <parm name="Version" value="10" datatype="integer" />
      <parm name="Title" value="My App" datatype="string" />
    </characteristic>
  </characteristic>
</wap-provisioningdoc>
)";

CabListing DemoListing() {
  CabListing l = testing::ListingOf({"MYAPP~1.001", "HELPER~1.002", "SETUP~1.999", "_setup.xml"}, 0,
                                    testing::DosDate(2009, 6, 15));
  for (size_t i = 0; i < l.size(); ++i) {
    l[i].Size = static_cast<int32_t>(100 * (i + 1));
    l[i].DosTime = testing::DosTime(12, static_cast<int>(30 + i), 0);
  }
  return l;
}

// The records with the texts the viewer shows for them, under the names of
// the tables they fill.
struct Shown : XmlSetupAnalysis {
  struct DirTexts {
    std::string Number, Path;
  };
  struct FileTexts : XmlFileTexts {
    bool IsSetupDll = false;
  };
  std::vector<XmlGeneralRow> General;
  std::vector<DirTexts> Dirs;
  std::vector<FileTexts> Files;
  std::vector<XmlShortcutTexts> Shortcuts;
  Lines RegistryListing, InfLines;
};

Shown Read(std::string_view text, const CabListing* listing = nullptr) {
  Result<XmlSetupAnalysis> r = ReadXmlSetupText(text, listing);
  EXPECT_TRUE(r.ok()) << r.message();
  Shown shown;
  if (!r.ok()) return shown;
  static_cast<XmlSetupAnalysis&>(shown) = std::move(r).value();
  const XmlSetupAnalysis& a = shown;
  shown.General = XmlGeneralRows(a);
  for (const XmlDir& d : a.Dirs) shown.Dirs.push_back({XmlDirNumberText(d.Number), d.Path});
  for (const XmlFile& f : a.Files) shown.Files.push_back({XmlFileRowTexts(f), f.IsSetupDll});
  for (const XmlShortcut& s : a.Shortcuts) shown.Shortcuts.push_back(XmlShortcutRowTexts(s));
  shown.RegistryListing = XmlRegistryListing(a);
  shown.InfLines = XmlInfLines(a);
  return shown;
}

std::string Wrap(std::string_view body) {
  return "<wap-provisioningdoc>" + std::string(body) + "</wap-provisioningdoc>";
}

TEST(XmlSetupTree, TopLevelNodesComeInReverseAndCaptionsListAttributes) {
  const Shown a = Read(kDocument);
  ASSERT_EQ(a.Roots.size(), 3u);
  EXPECT_EQ(XmlNodeCaption(a.Roots[0]), "wap-provisioningdoc");
  EXPECT_EQ(XmlNodeCaption(a.Roots[1]), "#comment");
  EXPECT_EQ(XmlNodeCaption(a.Roots[2]), "xml -> version -> 1.0 -> encoding -> utf-8");
  const XmlTreeNode& install = a.Roots[0].Children.at(0);
  EXPECT_EQ(XmlNodeCaption(install), "characteristic -> type -> Install");
  EXPECT_EQ(XmlNodeCaption(install.Children.at(2)),
            "parm -> name -> InstallDir -> value -> %CE1%\\MyApp -> translation -> install");
  EXPECT_EQ(XmlNodeCaption(install.Children.at(1)), "parm -> name -> AppName -> value -> MyApp");
  // Node numbers count in display order from the first root.
  EXPECT_EQ(a.InstallSections, std::vector<int>{1});
  EXPECT_EQ(a.FileOperationSections, std::vector<int>{10});
  EXPECT_EQ(a.RegistrySections, std::vector<int>{26});
  EXPECT_EQ(FlattenTree(a.Roots).size(), 32u);
}

TEST(XmlSetupTree, MultiStringSeparatorAndCharactersOutsideTheCodePage) {
  // U+F000 separates the texts of a multi-string; U+4E2D has no Windows-1252 byte.
  const XmlSetupAnalysis a =
      Read(Wrap("<parm name=\"a\xEF\x80\x80"
                "b\" value=\"caf\xC3\xA9 \xE4\xB8\xAD\"/>"));
  EXPECT_EQ(XmlNodeCaption(a.Roots[0].Children.at(0)), "parm -> name -> \"a\",\"b\" -> value -> caf\xE9 ?");
}

TEST(XmlSetupTree, AttributeValuesKeepMarkerTextInCaptions) {
  const Shown a =
      Read(Wrap("<characteristic type=\"Install\">"
                "<parm name=\"AppName\" value=\"A -> value -> B\"/>"
                "</characteristic>"));
  EXPECT_EQ(XmlNodeCaption(a.Roots[0].Children[0].Children[0]), "parm -> name -> AppName -> value -> A -> value -> B");
  // The name is the parm's own attribute, however the value is worded.
  ASSERT_EQ(a.General.size(), 1u);
  EXPECT_EQ(a.General[0].Label, "Application Name");
  EXPECT_EQ(a.General[0].Value, "A -> value -> B");
  EXPECT_EQ(a.AppName, "A -> value -> B");
}

TEST(XmlSetupRows, GeneralDirectoryFileAndShortcutRows) {
  const CabListing listing = DemoListing();
  const Shown a = Read(kDocument, &listing);
  const std::vector<std::pair<std::string, std::string>> general = {{"InstallPhase", "install"},
                                                                    {"Application Name", "MyApp"},
                                                                    {"Installed at", "\"%CE1%\\MyApp\""},
                                                                    {"Processor", "2577"},
                                                                    {"Minimal WinCE", "4.0"},
                                                                    {"Maximal WinCE", "5.99"},
                                                                    {"Maximal WinCE Build", "0xE0000000"},
                                                                    {"Directories", "2"}};
  ASSERT_EQ(a.General.size(), general.size());
  for (size_t i = 0; i < general.size(); ++i) {
    EXPECT_EQ(a.General[i].Label, general[i].first) << i;
    EXPECT_EQ(a.General[i].Value, general[i].second) << i;
  }
  ASSERT_EQ(a.Dirs.size(), 2u);
  EXPECT_EQ(a.Dirs[0].Number, "01");
  EXPECT_EQ(a.Dirs[0].Path, "%InstallDir%");
  EXPECT_EQ(a.Dirs[1].Number, "02");
  EXPECT_EQ(a.Dirs[1].Path, "%CE11%");

  ASSERT_EQ(a.Files.size(), 3u);
  const auto& exe = a.Files[0];
  EXPECT_EQ(exe.Number, "01");
  EXPECT_EQ(exe.CabName, "MYAPP~1.001");
  EXPECT_EQ(exe.FileName, "\"MyApp.exe\"");
  EXPECT_EQ(exe.Extra, "NoOverwriteIfNewer");
  EXPECT_EQ(exe.Directory, "\\Program Files\\MyApp");
  EXPECT_EQ(exe.Size, "100");
  EXPECT_EQ(exe.Date, "2009-06-15  12:30");
  EXPECT_EQ(exe.Type, "exe");
  EXPECT_FALSE(exe.IsSetupDll);
  EXPECT_EQ(a.Files[1].Extra, "SelfRegister");
  const auto& dll = a.Files[2];
  EXPECT_TRUE(dll.IsSetupDll);
  EXPECT_EQ(dll.Number, "999");
  EXPECT_EQ(dll.CabName, "SETUP~1.999");
  EXPECT_EQ(dll.FileName, "\"SETUP~1.dll\"");
  EXPECT_EQ(dll.Extra, "!!! **** SETUP DLL **** !!!");
  EXPECT_EQ(dll.Directory, "!!! **** SETUP DLL **** !!!");
  EXPECT_EQ(dll.Size, "300");
  EXPECT_EQ(dll.Date, "2009-06-15  12:32");
  EXPECT_EQ(dll.Type, "dll");
  EXPECT_EQ(a.SetupDllName, "SETUP~1.999");

  ASSERT_EQ(a.Shortcuts.size(), 1u);
  EXPECT_EQ(a.Shortcuts[0].Number, "02");
  EXPECT_EQ(a.Shortcuts[0].Target, "\"%InstallDir%\\MyApp.exe\" ");
  EXPECT_EQ(a.Shortcuts[0].Name, "\"MyApp.lnk\" ");
  EXPECT_EQ(a.Shortcuts[0].ExpandedTarget, "\"%InstallDir%\\MyApp.exe\" ");
  EXPECT_EQ(a.Shortcuts[0].Extra, "");
}

TEST(XmlSetupInf, WholeDocument) {
  const CabListing listing = DemoListing();
  const Shown a = Read(kDocument, &listing);
  const Lines expected = {
      "[Version]",
      "Signature = \"$Chicago$\"",
      "CESignature = \"$Windows CE$\"",
      "Provider = \"Tavrin\"",
      "",
      "[CEStrings]",
      "Appname = \"MyApp\"",
      "InstallDir = \"%CE1%\\%AppName%\"",
      "",
      "[CEDevice]",
      "ProcessorType = 2577",
      "VersionMin = 4.0",
      "VersionMax = 5.99",
      "BuildMax = 0xE0000000; Support square screen and screen rotation",
      "",
      "[SourceDisksNames]",
      "1 = ,\"Autre\",,\\",
      "",
      "[SourceDisksFiles]",
      "\"MyApp.exe\" = 1 ; 001",
      "\"helper.dll\" = 1 ; 002",
      "",
      "[DefaultInstall]",
      "CESetupDLL = \"SETUP~1.dll\"",
      "CESelfRegister = \"helper.dll\"",
      "AddReg = ClesRegistre",
      "CopyFiles = CopierVersDir01",
      "CEShortcuts = Raccourci02",
      "",
      "[DestinationDirs]",
      "CopierVersDir01 = 0, %InstallDir%",
      "Raccourci02 = 0, %CE11%",
      "",
      "[CopierVersDir01]",
      "\"MyApp.exe\",,,0x20000010",
      "\"helper.dll\"",
      "",
      "[Raccourci02]",
      "\"MyApp.lnk\" , 0, \"%InstallDir%\\MyApp.exe\" ",
      "",
      "[Strings]",
      "reg_path00 = Software\\MyApp",
      "",
      "[ClesRegistre]",
      "HKLM,%reg_path00%,Version,0x00010001,10",
      "HKLM,%reg_path00%,Title,0x00000000,\"My App\"",
  };
  EXPECT_EQ(a.InfLines, expected);
  EXPECT_EQ(a.RegistryListing, (Lines{"REGEDIT4", "[HKEY_LOCAL_MACHINE\\Software\\MyApp]",
                                      "\"Version\" = dword : 0000000A", "\"Title\" = \"My App\"", ""}));
  EXPECT_TRUE(a.Warnings.empty());
  EXPECT_EQ(a.infFileName(), "MyApp.inf");
}

TEST(XmlSetupInf, DocumentWithoutInstallSectionNorListing) {
  const Shown a = Read(Wrap(R"(<characteristic type="FileOperation">
      <characteristic type="\Windows" translation="install">
        <characteristic type="MakeDir"/>
        <characteristic type="a.txt" translation="install">
          <characteristic type="Extract"><parm name="Source" value="A.001"/></characteristic>
        </characteristic>
      </characteristic>
      <characteristic type="\Temp" translation="install">
        <characteristic type="a2.txt" translation="install">
          <characteristic type="Extract"><parm name="Source" value="A2.002"/></characteristic>
        </characteristic>
      </characteristic>
    </characteristic>)"));
  // No listing: sizes and dates are one blank each, and no setup DLL row.
  ASSERT_EQ(a.Files.size(), 1u);
  EXPECT_EQ(a.Files[0].Size, " ");
  EXPECT_EQ(a.Files[0].Date, " ");
  // The second directory has no MakeDir first: its row only.
  ASSERT_EQ(a.Dirs.size(), 2u);
  EXPECT_EQ(a.InfLines, (Lines{"[Version]", "Signature = \"$Chicago$\"", "CESignature = \"$Windows CE$\"",
                               "Provider = \"Tavrin\"", "", "[SourceDisksFiles]", "\"a.txt\" = 1 ; 001", "",
                               "[DefaultInstall]", "CopyFiles = CopierVersDir01", "", "[DestinationDirs]",
                               "CopierVersDir01 = 0, \\Windows", "", "[CopierVersDir01]", "\"a.txt\"", ""}));
}

TEST(XmlSetupInf, ScreenSupportCommentsFromEveryNumberForm) {
  struct Case {
    const char* value;
    const char* line;
  };
  const Case cases[] = {
      {"0xA0000000", "BuildMax = 0xA0000000; Support square screen"},
      {"$C0000000", "BuildMax = $C0000000; Support screen rotation"},
      {"2684354560", "BuildMax = 2684354560; Support square screen"},  // fits 32 bits unsigned
      {"-536870912", "BuildMax = -536870912; Support square screen and screen rotation"},
      {"12345", "BuildMax = 12345; "},
  };
  for (const Case& c : cases) {
    const Shown a = Read(Wrap(std::string("<characteristic type=\"Install\"><parm name=\"BuildNumberMax\" value=\"") +
                              c.value + "\"/></characteristic>"));
    EXPECT_EQ(a.InfLines.at(8), "[CEDevice]") << c.value;
    EXPECT_EQ(a.InfLines.at(9), c.line);
    EXPECT_TRUE(a.Warnings.empty()) << c.value;
  }
}

TEST(XmlSetupMended, ValuesThatAreNoNumberAreKeptAndNamed) {
  const Shown a = Read(Wrap(R"(<characteristic type="Install">
      <parm name="AppName" value="X"/><parm name="BuildNumberMax" value="lots"/></characteristic>
    <characteristic type="Registry"><characteristic type="HKCU\Software\X">
      <parm name="Count" value="many" datatype="integer"/>
      <parm name="Big" value="99999999999" datatype="integer"/>
    </characteristic></characteristic>)"));
  EXPECT_NE(std::find(a.InfLines.begin(), a.InfLines.end(), "BuildMax = lots; "), a.InfLines.end());
  EXPECT_NE(std::find(a.InfLines.begin(), a.InfLines.end(), "HKCU,%reg_path00%,Count,0x00010001,many"),
            a.InfLines.end());
  EXPECT_EQ(a.RegistryListing.at(2), "\"Count\" = dword : many");
  EXPECT_EQ(a.RegistryListing.at(3), "\"Big\" = dword : 99999999999");
  ASSERT_EQ(a.Warnings.size(), 3u);
  EXPECT_NE(a.Warnings[0].find("\"lots\""), std::string::npos);
  EXPECT_NE(a.Warnings[1].find("\"many\""), std::string::npos);
  EXPECT_NE(a.Warnings[1].find("Count"), std::string::npos);
  // Everything after the bad values was still read.
  EXPECT_EQ(a.General.at(0).Value, "X");
}

TEST(XmlSetupMended, FieldsComeFromTheNodesOwnAttributes) {
  const CabListing listing = [] { return testing::ListingOf({"F.001"}, 7, testing::DosDate(2001, 1, 1), 0); }();
  const Shown a = Read(Wrap(R"(<characteristic type="FileOperation">
      <characteristic type="\Dir" translation="install"><characteristic type="MakeDir"/>
        <characteristic type="f.txt" translation="install"><characteristic type="Extract">
          <parm name="Source" value="F.001" translation="install"/></characteristic></characteristic>
      </characteristic></characteristic>
    <characteristic type="Registry"><characteristic type="HKLM\Software\X">
      <parm name="defaultvalue" value="5" datatype="integer"/>
      <parm name="Order" datatype="string" value="v"/>
    </characteristic></characteristic>)"),
                       &listing);
  // A Source parm with a translation still names the cabinet entry.
  ASSERT_GE(a.Files.size(), 1u);
  EXPECT_EQ(a.Files[0].CabName, "F.001");
  EXPECT_EQ(a.Files[0].Size, "7");
  EXPECT_NE(std::find(a.InfLines.begin(), a.InfLines.end(), "\"f.txt\" = 1 ; 001"), a.InfLines.end());
  // A value named "defaultvalue" is not cut at the "value -> " inside its name,
  // and attributes in another order are still found.
  EXPECT_NE(std::find(a.InfLines.begin(), a.InfLines.end(), "HKLM,%reg_path00%,defaultvalue,0x00010001,5"),
            a.InfLines.end());
  EXPECT_NE(std::find(a.InfLines.begin(), a.InfLines.end(), "HKLM,%reg_path00%,Order,0x00000000,\"v\""),
            a.InfLines.end());
  EXPECT_EQ(a.RegistryListing.at(2), "\"defaultvalue\" = dword : 00000005");
}

TEST(XmlSetupMended, RegPathKeysAreNumberedAcrossSections) {
  const Shown a = Read(Wrap(R"(
    <characteristic type="Registry">
      <characteristic type="HKLM\Software\A"><parm name="a" value="1" datatype="integer"/></characteristic>
      <characteristic type="HKLM\Software\B"><parm name="b" value="2" datatype="integer"/></characteristic>
    </characteristic>
    <characteristic type="Registry">
      <characteristic type="HKCU\Software\C"><parm name="c" value="3" datatype="integer"/></characteristic>
    </characteristic>)"));
  const Lines last(a.InfLines.end() - 9, a.InfLines.end());
  EXPECT_EQ(last, (Lines{"[Strings]", "reg_path00 = Software\\A", "reg_path01 = Software\\B",
                         "reg_path02 = Software\\C", "", "[ClesRegistre]", "HKLM,%reg_path00%,a,0x00010001,1",
                         "HKLM,%reg_path01%,b,0x00010001,2", "HKCU,%reg_path02%,c,0x00010001,3"}));
}

TEST(XmlSetupRegistry, ListingOfEveryDatatype) {
  // Base64 of the bytes 00..19 (26 bytes).
  const char* b64 = "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBk=";
  const Shown a = Read(Wrap(std::string(R"(<characteristic type="Registry">
      <characteristic type="hkcu\Software\X">
        <parm name="Blob" value=")") +
                            b64 +
                            R"(" datatype="binary"/>
        <parm name="Bad" value="QUJD=RA==" datatype="binary"/>
        <parm name="Multi" value="a)"
                            "\xEF\x80\x80"
                            R"(b" datatype="multiplestring"/>
        <parm name="" value="def" datatype="string"/>
        <parm name="Odd" value="v" datatype="boolean"/>
      </characteristic></characteristic>)"));
  const Lines listing = {
      "REGEDIT4",
      "[HKEY_CURRENT_USER\\Software\\X]",
      "\"Blob\" = hex : \\",
      "       00, 01, 02, 03, 04, 05, 06, 07, 08, 09, 0A, 0B, 0C, 0D, 0E, 0F, 10, 11, 12, 13, 14, 15, 16, 17, 18,\\",
      "       19",
      "\"Bad\" = hex : \\",
      "      *** Error Encoding*** : QUJD=RA==",
      "\"Multi\" = multi_sz : \"a\",\"b\"",
      "@ = \"def\"",
      "\"Odd\" = v",
      "",
  };
  EXPECT_EQ(a.RegistryListing, listing);
  const Lines inf(a.InfLines.end() - 5, a.InfLines.end());
  EXPECT_EQ(inf, (Lines{
                     "hkcu,%reg_path00%,Blob,0x00000001,00,01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10,11,12,13,"
                     "14,15,16,17,18,19",
                     "hkcu,%reg_path00%,Bad,0x00000001,",
                     "hkcu,%reg_path00%,Multi,0x00010000,\"a\",\"b\"",
                     "hkcu,%reg_path00%,,0x00000000,\"def\"",
                     "hkcu,%reg_path00%,Odd,",
                 }));
}

TEST(XmlSetupBadInput, ParserMessageNamesLineAndColumn) {
  const Result<XmlSetupAnalysis> r = ReadXmlSetupText("<a>\n  <b>\n</a>", nullptr);
  ASSERT_FALSE(r.ok());
  EXPECT_NE(r.message().find("line 3"), std::string::npos) << r.message();
  EXPECT_NE(r.message().find("column"), std::string::npos) << r.message();
  EXPECT_FALSE(ReadXmlSetupText("", nullptr).ok());
  EXPECT_FALSE(ReadXmlSetupText("just text", nullptr).ok());
}

TEST(XmlSetupBadInput, DeepNestingIsRefusedNotFollowed) {
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "<c>";
  for (int i = 0; i < 5000; ++i) deep += "</c>";
  const Result<XmlSetupAnalysis> r = ReadXmlSetupText(deep, nullptr);
  EXPECT_FALSE(r.ok());
  EXPECT_FALSE(r.message().empty());
}

TEST(XmlSetupInf, ARegistrySectionWithoutKeysStillEndsWithItsEmptyLine) {
  const Result<XmlSetupAnalysis> r = ReadXmlSetupText(R"(<wap-provisioningdoc>
  <characteristic type="Install"><parm name="AppName" value="Empty"/></characteristic>
  <characteristic type="Registry"/>
</wap-provisioningdoc>)",
                                                      nullptr);
  ASSERT_TRUE(r.ok()) << r.message();
  EXPECT_EQ(XmlInfLines(*r), (Lines{"[Version]", "Signature = \"$Chicago$\"", "CESignature = \"$Windows CE$\"",
                                    "Provider = \"Tavrin\"", "", "[CEStrings]", "Appname = \"Empty\"", "",
                                    "[SourceDisksNames]", "1 = ,\"Autre\",,\\", "", "[DefaultInstall]", "", ""}));
}

TEST(XmlSetupBadInput, DocumentsLargerThanAnyRealOneAreRefused) {
  std::string big = "<wap-provisioningdoc><!--" + std::string(kMaxXmlFileSize, ' ') + "--></wap-provisioningdoc>";
  EXPECT_EQ(ReadXmlSetupText(big, nullptr).message(),
            Format("The document has %zu bytes, more than the 4194304 a setup description may hold", big.size()));

  std::string many = "<wap-provisioningdoc>";
  for (int i = 0; i < 200000; ++i) many += "<a/>";
  many += "</wap-provisioningdoc>";
  EXPECT_EQ(ReadXmlSetupText(many, nullptr).message(), "The document holds more than 200000 tags and attributes");

  // Every "%InstallDir%" of a folder takes the whole install folder.
  std::string folder;
  for (int i = 0; i < 1000; ++i) folder += "%InstallDir%";
  const std::string expanding = R"(<wap-provisioningdoc>
  <characteristic type="Install"><parm name="InstallDir" value=")" +
                                std::string(100000, 'i') + R"("/></characteristic>
  <characteristic type="FileOperation"><characteristic type=")" +
                                folder + R"(" translation="install"/></characteristic>
</wap-provisioningdoc>)";
  EXPECT_EQ(ReadXmlSetupText(expanding, nullptr).message(), "The document's rows would take more than 48 MB to show");
}

}  // namespace
}  // namespace vornix
