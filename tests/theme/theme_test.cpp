// Themes: image slots, resolution classes, reading both setup descriptions,
// and the generated INF and "_setup.xml" texts.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "common/text.h"
#include "helpers/cab_builder.h"
#include "helpers/listing.h"
#include "helpers/run_process.h"
#include "helpers/setup_builder.h"
#include "theme/picture_info.h"
#include "theme/theme.h"

namespace vornix {
namespace {

using Lines = std::vector<std::string>;
using testing::CabBuilder;
using testing::SetupRecipe;

TEST(ThemeImages, NamesFillTheirSlotsAndGiveTheirBits) {
  TTSKRec rec;
  EXPECT_EQ(RecognizeThemeImage("tdywater_480_640.png", "T.001", rec), 0x100u);
  EXPECT_EQ(rec.TodayImgP, "T.001");
  EXPECT_EQ(rec.TodayFileP, "tdywater_480_640.png");
  EXPECT_EQ(RecognizeThemeImage("stwater_800_480.gif", "S.002", rec), 0x800u);
  EXPECT_EQ(rec.StartImgL, "S.002");
  // A later image of the same slot replaces the earlier one.
  EXPECT_EQ(RecognizeThemeImage("tdywater.bmp", "T2.003", rec), 0x2u);
  EXPECT_EQ(rec.TodayImgP, "T2.003");
  EXPECT_EQ(rec.TodayFileP, "tdywater.bmp");
  // Letter case and extension must match exactly.
  for (const char* name :
       {"STWATER.jpg", "stwater.JPG", "stwater.jpeg", "stwater_240_321.jpg", "xstwater.jpg", "stwater"})
    EXPECT_EQ(RecognizeThemeImage(name, "X", rec), 0u) << name;
}

TEST(ThemeImages, ResolutionClassesAndLabels) {
  struct Case {
    uint32_t sum;
    int32_t cls;
    const char* label;
  };
  const Case cases[] = {{3, 0, "Std"},         {1, 1, "Std + USI"},        {60, 2, "QVGA"},    {12, 3, "QVGA + USI"},
                        {960, 4, "VGA"},       {192, 5, "VGA + USI"},      {15360, 6, "WVGA"}, {3072, 7, "WVGA + USI"},
                        {0x3C000, 8, "WQVGA"}, {0xC000, 9, "WQVGA + USI"}, {61, 10, "???"},    {0, 10, "???"}};
  for (const Case& c : cases) {
    EXPECT_EQ(ResolutionClass(c.sum), c.cls) << c.sum;
    EXPECT_STREQ(ResolutionLabel(c.cls), c.label);
  }
}

// A colour's parts as the JSON writes them: two upper-case hexadecimal digits each.
std::string Digits(const TCoulTdRGB& c) { return Format("%02X%02X%02X", c.R, c.G, c.B); }

TEST(ThemeColours, IntegerAndBytesGiveTheSameDigits) {
  ThemeAnalysis a;
  const Result<void> read = ReadThemeFromXml(R"(<wap-provisioningdoc><characteristic type="Registry">
      <characteristic type="HKLM\Software\Microsoft\Color">
        <parm name="4" value="3368601" datatype="integer"/>
        <parm name="5" value="mWYzAA==" datatype="binary"/>
        <parm name="3" value="1" datatype="integer"/>
        <parm name="41" value="1" datatype="integer"/>
        <parm name="basehue" value="9" datatype="integer"/>
      </characteristic></characteristic></wap-provisioningdoc>)",
                                             a);
  ASSERT_TRUE(read.ok());
  const TCoulTdRGB& c4 = a.Rec.Colors[0];
  EXPECT_TRUE(c4.Present);
  EXPECT_FALSE(c4.Binary);
  EXPECT_EQ(Digits(c4), "996633");
  const TCoulTdRGB& c5 = a.Rec.Colors[1];
  EXPECT_TRUE(c5.Binary);
  EXPECT_EQ(Digits(c5), "996633");
  EXPECT_EQ(c5.value(), 0x00336699u);
  int present = 0;
  for (const TCoulTdRGB& c : a.Rec.Colors) present += c.Present;
  EXPECT_EQ(present, 2);  // "3", "41" and "basehue" are not table colours
  EXPECT_TRUE(a.Rec.BaseHueSet);
  EXPECT_EQ(a.Rec.BaseHue, 9);
}

const char kXmlTheme[] = R"(<?xml version="1.0"?>
<wap-provisioningdoc>
  <characteristic type="Install">
    <parm name="InstallPhase" value="install"/>
    <parm name="AppName" value="Sunset"/>
    <parm name="ProcessorType" value="2577"/>
    <parm name="OSVersionMin" value="4.0"/>
    <parm name="OSVersionMax" value="100.0"/>
    <parm name="NumFiles" value="lots"/>
  </characteristic>
  <characteristic type="FileOperation">
    <characteristic type="%CE2%" translation="install">
      <characteristic type="MakeDir"/>
      <characteristic type="tdywater_240_320.png" translation="install">
        <characteristic type="Extract"><parm name="Source" value="TDYWAT~1.001"/></characteristic>
      </characteristic>
      <characteristic type="stwater_240_320.gif" translation="install">
        <characteristic type="Extract"><parm name="Source" value="STWATE~1.002"/></characteristic>
      </characteristic>
      <characteristic type="tdywater_320_240.jpg" translation="install">
        <characteristic type="Extract"><parm name="Source" value="TDYWAT~2.003"/></characteristic>
      </characteristic>
      <characteristic type="stwater_320_240.bmp" translation="install">
        <characteristic type="Extract"><parm name="Source" value="STWATE~2.004"/></characteristic>
      </characteristic>
    </characteristic>
  </characteristic>
  <characteristic type="Registry">
    <!-- a key that is no theme key comes first, so the theme's own key is the fourth -->
    <characteristic type="HKLM\Software\Other"><parm name="x" value="1" datatype="integer"/></characteristic>
    <characteristic type="HKLM\Software\Microsoft\Color">
      <parm name="4" value="mWYzAA==" datatype="binary"/>
      <parm name="41" value="1" datatype="integer"/>
      <parm name="BaseHue" value="7" datatype="integer"/>
    </characteristic>
    <characteristic type="HKCU\Software\Microsoft\Today">
      <parm name="UseStartImage" value="AQAAAA==" datatype="binary"/>
      <parm name="DPI" value="192" datatype="integer"/>
    </characteristic>
    <characteristic type="HKCU\Software\Microsoft\Today\Themes\Sunset.tsk">
      <parm name="Color_HighlightText" value="3368601" datatype="integer"/>
      <parm name="Mystery" value="16777215" datatype="integer"/>
      <parm name="Color_TitleFlat" value="ESI=" datatype="binary"/>
      <parm name="Color_CommandBar" value="ESIzRFU=" datatype="binary"/>
      <parm name="UseDefaultTitleColor" value="1" datatype="integer"/>
    </characteristic>
  </characteristic>
</wap-provisioningdoc>
<!-- a comment after the root -->
)";

TEST(ThemeXml, RecordFromTheDocument) {
  ThemeAnalysis a;
  const Result<void> read = ReadThemeFromXml(kXmlTheme, a);
  ASSERT_TRUE(read.ok()) << read.message();
  const TTSKRec& r = a.Rec;
  EXPECT_TRUE(r.HasXML);
  EXPECT_FALSE(r.Has000);
  EXPECT_EQ(r.AppName, "Sunset");
  EXPECT_EQ(r.ProcessorType, "2577");
  EXPECT_EQ(r.VersionMin, "4.0");
  EXPECT_EQ(r.VersionMax, "100.0");
  EXPECT_EQ(r.ThemeName, "Sunset.tsk");
  EXPECT_EQ(r.TSKIdx, 2);
  EXPECT_EQ(r.TodayImgP, "TDYWAT~1.001");
  EXPECT_EQ(r.StartImgP, "STWATE~1.002");
  EXPECT_EQ(r.TodayImgL, "TDYWAT~2.003");
  EXPECT_EQ(r.StartImgL, "STWATE~2.004");
  EXPECT_EQ(r.StartFileL, "stwater_320_240.bmp");
  EXPECT_TRUE(r.HasColors);
  EXPECT_TRUE(r.Colors[0].Binary);
  EXPECT_EQ(r.BaseHue, 7);
  // Binary today values are little-endian: 01 00 00 00 is 1.
  EXPECT_TRUE(r.UseStartImageSet);
  EXPECT_EQ(r.UseStartImage, 1);
  EXPECT_TRUE(r.DPISet);
  EXPECT_EQ(r.DPI, 192);
  EXPECT_TRUE(r.HasTodaySub);
  EXPECT_TRUE(r.DefTitleColorSet);
  EXPECT_EQ(r.DefTitleColor, 1);
  // An unknown name does not land on Color_Highlight.
  EXPECT_FALSE(r.SpecColors[0].Present);
  EXPECT_EQ(Digits(r.SpecColors[1]), "996633");
  // Short binary: missing bytes count as 00; long binary: first three bytes.
  EXPECT_EQ(Digits(r.SpecColors[7]), "112200");
  EXPECT_EQ(Digits(r.SpecColors[11]), "112233");
  // "lots" is no number: named, and the analysis went on.
  ASSERT_EQ(a.Warnings.size(), 1u);
  EXPECT_NE(a.Warnings[0].find("lots"), std::string::npos);
}

TEST(ThemeXml, GeneratedInf) {
  ThemeAnalysis a;
  ASSERT_TRUE(ReadThemeFromXml(kXmlTheme, a).ok());
  const Lines expected = {
      "[Version]",
      "Signature = \"$Chicago$\"",
      "CESignature = \"$Windows CE$\"",
      "Provider = \"Tavrin\"",
      "",
      "[CEStrings]",
      "Appname = Sunset",
      "InstallDir = \"%CE2%\" ; (\\Windows)",
      "",
      "[CEDevice]",
      "ProcessorType = 2577",
      "UnsupportedPlatforms = \"HPC\",\"JUPITER\"",
      "VersionMin = 4.0",
      "VersionMax = 100.0",
      "",
      "[SourceDisksNames]",
      "1 = ,\"Autre\",,\\",
      "",
      "[SourceDisksFiles]",
      "\"tdywater_240_320.png\" = 1",
      "\"stwater_240_320.gif\" = 1",
      "\"tdywater_320_240.jpg\" = 1",
      "\"stwater_320_240.bmp\" = 1",
      "",
      "[DefaultInstall]",
      "AddReg = ClesRegistre",
      "CopyFiles = CopierVersDir00",
      "",
      "[CopierVersDir00]  ; (%CE2% : \\Windows)",
      "\"tdywater_240_320.png\",,,0x40000000",
      "\"stwater_240_320.gif\",,,0x40000000",
      "\"tdywater_320_240.jpg\",,,0x40000000",
      "\"stwater_320_240.bmp\",,,0x40000000",
      "",
      "[DestinationDirs]",
      "CopierVersDir00 = 0, %InstallDir%",
      "",
      "[Strings]",
      "reg_path00 = Software\\Microsoft\\Color",
      "reg_path01 = Software\\Microsoft\\Today",
      "reg_path02 = Software\\Microsoft\\Today\\Themes\\Sunset.tsk",
      "",
      "[ClesRegistre]",
      "HKLM,%reg_path00%,4,0x00000001,99,66,33,00",
      "HKLM,%reg_path00%,41,0x00010001,1",
      "HKLM,%reg_path00%,BaseHue,0x00010001,7",
      "HKCU,%reg_path01%,UseStartImage,0x00010001,1",
      "HKCU,%reg_path01%,DPI,0x00010001,192",
      "HKCU,%reg_path02%,Color_HighlightText,0x00010001,3368601",
      "HKCU,%reg_path02%,Mystery,0x00010001,16777215",
      "HKCU,%reg_path02%,Color_TitleFlat,0x00000001,11,22,00,00",
      "HKCU,%reg_path02%,Color_CommandBar,0x00000001,11,22,33,44,55",
      "HKCU,%reg_path02%,UseDefaultTitleColor,0x00010001,1",
  };
  EXPECT_EQ(a.InfLines, expected);
  EXPECT_EQ(&ThemeConversion(a), &a.InfLines);
}

TEST(ThemeXml, RootMarkupIsKeptEvenWhenACommentFollows) {
  ThemeAnalysis a;
  ASSERT_TRUE(ReadThemeFromXml(kXmlTheme, a).ok());
  ASSERT_FALSE(a.XmlLines.empty());
  EXPECT_EQ(a.XmlLines.front(), "<wap-provisioningdoc>");
  EXPECT_EQ(a.XmlLines.back(), "</wap-provisioningdoc>");
  const std::string text = JoinCrLf(a.XmlLines);
  EXPECT_EQ(text.find("a comment after the root"), std::string::npos);
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(text.c_str()));
}

TEST(ThemeXml, WithoutRegistryValuesTheInfStillHasItsRegistrySection) {
  ThemeAnalysis a;
  const Result<void> read = ReadThemeFromXml(
      "<wap-provisioningdoc><characteristic type=\"Install\">"
      "<parm name=\"AppName\" value=\"Plain\"/></characteristic></wap-provisioningdoc>",
      a);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(a.Rec.TSKIdx, 10);
  const Lines tail(a.InfLines.end() - 5, a.InfLines.end());
  EXPECT_EQ(tail, (Lines{"CopierVersDir00 = 0, %InstallDir%", "", "[Strings]", "", "[ClesRegistre]"}));
  EXPECT_NE(std::find(a.InfLines.begin(), a.InfLines.end(), "AddReg = ClesRegistre"), a.InfLines.end());
}

TEST(ThemeXml, BadDocumentsGiveNoThemeWithoutCrashing) {
  for (const char* text : {"", "<a>", "<a></b>"}) {
    ThemeAnalysis a;
    const Result<void> read = ReadThemeFromXml(text, a);
    EXPECT_FALSE(read.ok()) << text;
    EXPECT_FALSE(read.message().empty()) << text;
  }
  // Invalid Base64 leaves that value out, names it, and reading goes on.
  ThemeAnalysis a;
  const Result<void> read = ReadThemeFromXml(
      "<wap-provisioningdoc><characteristic type=\"Registry\">"
      "<characteristic type=\"HKCU\\Software\\Microsoft\\Today\">"
      "<parm name=\"DPI\" value=\"QUJ\" datatype=\"binary\"/>"
      "<parm name=\"UseStartImage\" value=\"1\" datatype=\"integer\"/>"
      "</characteristic></characteristic></wap-provisioningdoc>",
      a);
  ASSERT_TRUE(read.ok());
  EXPECT_FALSE(a.Rec.DPISet);
  EXPECT_TRUE(a.Rec.UseStartImageSet);
  ASSERT_EQ(a.Warnings.size(), 1u);
  EXPECT_NE(a.Warnings[0].find("DPI"), std::string::npos);
}

SetupRecipe ThemeSetup() {
  SetupRecipe s;
  s.Processor = 0;
  s.AppName = "Blue & <Co> \xE9";
  s.Provider = "Painter";
  s.Strings = {{1, "Software"}, {2, "Microsoft"}, {3, "Color"}, {4, "Today"},
               {5, "Themes"},   {6, "Blue.tsk"},  {7, "%CE2%"}};
  s.Dirs = {{1, {7}}};
  s.Files = {{1, 1, 0, 0, "tdywater.jpg"}, {2, 1, 0, 0, "stwater.jpg"}, {3, 1, 0, 0, "readme.txt"}};
  s.Hives = {{1, 3, {1, 2, 3}}, {2, 2, {1, 2, 4}}, {3, 2, {1, 2, 4, 5, 6}}};
  s.RegKeys = {
      {1, 1, 0x00010001, "4", testing::RegDwordBytes(0x00336699)},
      {2, 1, 0x00010001, "BaseHue", testing::RegDwordBytes(5)},
      {3, 2, 0x00010001, "DPI", testing::RegDwordBytes(96)},
      {4, 2, 0x00010001, "UseStartImage", testing::RegDwordBytes(1)},
      {5, 3, 0x00000001, "Color_Highlight", std::string("\x99\x66\x33\x00", 4)},
      {6, 3, 0x00010001, "UseDefaultTitleColor", testing::RegDwordBytes(0)},
      {7, 3, 0x00010001, "Unknown", testing::RegDwordBytes(7)},
  };
  return s;
}

CabListing ThemeListing() {
  CabListing l = testing::ListingOf({"TDYWAT~1.001", "STWATE~1.002", "README~1.003", "BLUE.000"}, 0,
                                    testing::DosDate(2009, 6, 15), testing::DosTime(12, 30, 0));
  for (size_t i = 0; i < l.size(); ++i) l[i].Size = static_cast<int32_t>(10 * (i + 1));
  return l;
}

TEST(ThemeSetupFile, RecordAndGeneratedXml) {
  const CabListing listing = ThemeListing();
  SetupReadInput in;
  in.CabinetMode = true;
  in.Listing = &listing;
  const Result<TSetupInfo> read = ReadSetupBytes(testing::BuildSetupFile(ThemeSetup()), in);
  ASSERT_TRUE(read.ok()) << read.message();
  ThemeAnalysis a;
  ReadThemeFromSetup(*read, a);
  EXPECT_TRUE(a.Rec.Has000);
  EXPECT_EQ(a.Rec.ThemeName, "Blue.tsk");
  EXPECT_EQ(a.Rec.Provider, "Painter");
  EXPECT_EQ(a.Rec.ProcessorType, "");
  EXPECT_EQ(a.Rec.TSKIdx, 0);
  EXPECT_TRUE(a.Rec.SpecColors[0].Binary);
  EXPECT_FALSE(a.InfLines.empty());
  const Lines expected = {
      "<wap-provisioningdoc>",
      "\t<characteristic type=\"Install\">",
      "\t\t<parm name=\"InstallPhase\" value=\"install\"/>",
      "\t\t<parm name=\"ProcessorType\" value=\"2577\"/>",
      "\t\t<parm name=\"OSVersionMin\" value=\"3.0\"/>",
      "\t\t<parm name=\"OSVersionMax\" value=\"100.0\"/>",
      "\t\t<parm name=\"AppName\" value=\"Blue &amp; &lt;Co&gt; &#233;\"/>",
      "\t\t<parm name=\"InstallDir\" value=\"%CE2%\" translation=\"install\"/>",
      "\t\t<parm name=\"NumDirs\" value=\"2\"/>",
      "\t\t<parm name=\"NumFiles\" value=\"2\"/>",
      "\t\t<parm name=\"NumRegKeys\" value=\"3\"/>",
      "\t\t<parm name=\"NumRegVals\" value=\"6\"/>",
      "\t\t<parm name=\"NumShortcuts\" value=\"0\"/>",
      "\t</characteristic>",
      "\t<characteristic type=\"FileOperation\">",
      "\t\t<characteristic type=\"%CE2%\" translation=\"install\">",
      "\t\t\t<characteristic type=\"MakeDir\"/>",
      "\t\t\t<characteristic type=\"tdywater.jpg\" translation=\"install\">",
      "\t\t\t\t<characteristic type=\"Extract\">",
      "\t\t\t\t\t<parm name=\"Source\" value=\"TDYWAT~1.001\"/>",
      "\t\t\t\t</characteristic>",
      "\t\t\t</characteristic>",
      "\t\t\t<characteristic type=\"stwater.jpg\" translation=\"install\">",
      "\t\t\t\t<characteristic type=\"Extract\">",
      "\t\t\t\t\t<parm name=\"Source\" value=\"STWATE~1.002\"/>",
      "\t\t\t\t</characteristic>",
      "\t\t\t</characteristic>",
      "\t\t</characteristic>",
      "\t\t<characteristic type=\"%InstallDir%\" translation=\"install\">",
      "\t\t\t<characteristic type=\"MakeDir\"/>",
      "\t\t</characteristic>",
      "\t</characteristic>",
      "\t<characteristic type=\"Registry\">",
      "\t\t<characteristic type=\"HKLM\\Software\\Microsoft\\Color\">",
      "\t\t\t<parm name=\"4\" value=\"3368601\" datatype=\"integer\"/>",
      "\t\t\t<parm name=\"BaseHue\" value=\"5\" datatype=\"integer\"/>",
      "\t\t</characteristic>",
      "\t\t<characteristic type=\"HKCU\\Software\\Microsoft\\Today\">",
      "\t\t\t<parm name=\"DPI\" value=\"96\" datatype=\"integer\"/>",
      "\t\t\t<parm name=\"UseStartImage\" value=\"1\" datatype=\"integer\"/>",
      "\t\t</characteristic>",
      "\t\t<characteristic type=\"HKCU\\Software\\Microsoft\\Today\\Themes\\Blue.tsk\">",
      "\t\t\t<parm name=\"UseDefaultTitleColor\" value=\"0\" datatype=\"integer\"/>",
      "\t\t\t<parm name=\"Color_Highlight\" value=\"3368601\" datatype=\"integer\"/>",
      "\t\t</characteristic>",
      "\t</characteristic>",
      "</wap-provisioningdoc>",
  };
  EXPECT_EQ(a.XmlLines, expected);
  EXPECT_EQ(&ThemeConversion(a), &a.XmlLines);

  // The generated text parses and reads back as the same theme.
  ThemeAnalysis back;
  const Result<void> readBack = ReadThemeFromXml(JoinCrLf(a.XmlLines), back);
  ASSERT_TRUE(readBack.ok()) << readBack.message();
  EXPECT_EQ(back.Rec.AppName, a.Rec.AppName);
  EXPECT_EQ(back.Rec.Colors[0].value(), 0x00336699u);
  EXPECT_EQ(back.Rec.SpecColors[0].value(), 0x00336699u);
  EXPECT_EQ(back.Rec.TSKIdx, 0);
  EXPECT_EQ(back.Rec.ThemeName, "Blue.tsk");
}

TEST(ThemeSetupFile, NoThemeValuesGiveNoRegistryPart) {
  SetupRecipe s = ThemeSetup();
  s.RegKeys.clear();
  s.RegKeys.push_back({1, 2, 0x00010001, "UseStartImage", testing::RegDwordBytes(0)});
  const CabListing listing = ThemeListing();
  SetupReadInput in;
  in.CabinetMode = true;
  in.Listing = &listing;
  const Result<TSetupInfo> read = ReadSetupBytes(testing::BuildSetupFile(s), in);
  ASSERT_TRUE(read.ok()) << read.message();
  ThemeAnalysis a;
  ReadThemeFromSetup(*read, a);
  EXPECT_FALSE(a.Rec.UseStartImageSet);
  EXPECT_EQ(a.Rec.UseStartImage, 0);
  const std::string text = JoinCrLf(a.XmlLines);
  EXPECT_EQ(text.find("Registry"), std::string::npos);
  EXPECT_NE(text.find("<parm name=\"NumRegKeys\" value=\"0\"/>"), std::string::npos);
  EXPECT_NE(text.find("<parm name=\"NumRegVals\" value=\"0\"/>"), std::string::npos);
}

TEST(ThemeGenerators, XmlEscapesEverythingThatWouldBreakTheText) {
  EXPECT_EQ(XmlEscapeAttribute("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d&quot;e'f");
  EXPECT_EQ(XmlEscapeAttribute("\x80\xE9"), "&#8364;&#233;");  // euro sign and e acute
  std::vector<std::string>* none = nullptr;
  GenerateThemeXml(TTSKRec{}, none);  // nothing to write to: nothing happens
}

// ---------------------------------------------------------------------------
// Whole packages

class ThemePackage : public ::testing::Test {
 protected:
  testing::TempDir dir;
  std::filesystem::path write(const CabBuilder& cab, const char* name) {
    const auto path = dir / name;
    EXPECT_TRUE(cab.writeTo(path));
    return path;
  }
};

TEST_F(ThemePackage, XmlThemeCabinet) {
  CabBuilder cab;
  cab.folder(testing::CabCompression::MSZIP)
      .add("TDYWAT~1.001", "png")
      .add("STWATE~1.002", "gif")
      .add("_setup.xml", kXmlTheme);
  const Result<ThemeAnalysis> read = AnalyseTheme(write(cab, "sunset.tsk"), dir.path());
  ASSERT_TRUE(read.ok()) << read.message();
  const ThemeAnalysis& a = *read;
  EXPECT_TRUE(a.Rec.HasXML);
  EXPECT_EQ(a.Rec.AppName, "Sunset");
  EXPECT_EQ(a.Rec.TSKIdx, 2);
  EXPECT_EQ(a.InfLines.at(6), "Appname = Sunset");
  EXPECT_FALSE(std::filesystem::exists(dir / "TskIdx"));
}

TEST_F(ThemePackage, SetupFileThemeCabinet) {
  CabBuilder cab;
  cab.add("TDYWAT~1.001", "jpg")
      .add("STWATE~1.002", "jpg")
      .add("README~1.003", "text")
      .add("BLUE.000", testing::BuildSetupFile(ThemeSetup()));
  const Result<ThemeAnalysis> read = AnalyseTheme(write(cab, "blue.tsk"), dir.path());
  ASSERT_TRUE(read.ok()) << read.message();
  const ThemeAnalysis& a = *read;
  EXPECT_TRUE(a.Rec.Has000);
  EXPECT_EQ(a.Rec.TodayImgP, "TDYWAT~1.001");
  EXPECT_EQ(a.Rec.TSKIdx, 0);
  EXPECT_EQ(a.XmlLines.front(), "<wap-provisioningdoc>");
  EXPECT_FALSE(std::filesystem::exists(dir / "TskIdx"));
}

TEST_F(ThemePackage, NeitherDescriptionNorCabinetIsNoTheme) {
  CabBuilder cab;
  cab.add("readme.txt", "hello");
  const Result<ThemeAnalysis> a = AnalyseTheme(write(cab, "plain.tsk"), dir.path());
  EXPECT_FALSE(a.ok());
  EXPECT_EQ(a.message(), "not a theme");
  EXPECT_EQ(UnreadTheme(dir / "plain.tsk").Rec.TSKIdx, 10);
  testing::WriteAll(dir / "junk.tsk", "MSCF but not really");
  EXPECT_FALSE(AnalyseTheme(dir / "junk.tsk", dir.path()).ok());
  EXPECT_FALSE(AnalyseTheme(dir / "missing.tsk", dir.path()).ok());
}

TEST(ThemeImages, TheClassComesFromTheSumOfEveryImagesBit) {
  // Two start images under different names fill one slot twice: a sum of 4, no class.
  ThemeAnalysis theme;
  const Result<void> read = ReadThemeFromXml(R"(<wap-provisioningdoc><characteristic type="FileOperation">
    <characteristic type="%CE2%" translation="install">
      <characteristic type="stwater.gif" translation="install">
        <characteristic type="Extract"><parm name="Source" value="S.001"/></characteristic></characteristic>
      <characteristic type="stwater.png" translation="install">
        <characteristic type="Extract"><parm name="Source" value="S.002"/></characteristic></characteristic>
      <characteristic type="tdywater.jpg" translation="install">
        <characteristic type="Extract"><parm name="Source" value="T.003"/></characteristic></characteristic>
  </characteristic></characteristic></wap-provisioningdoc>)",
                                             theme);
  ASSERT_TRUE(read.ok()) << read.message();
  EXPECT_EQ(theme.Rec.StartImgP, "S.002");
  EXPECT_EQ(theme.Rec.TSKIdx, 10);
}

TEST(ThemeXml, AFileNameWithACommaIsWrittenWholeInTheInf) {
  ThemeAnalysis theme;
  const Result<void> read = ReadThemeFromXml(R"(<wap-provisioningdoc><characteristic type="FileOperation">
    <characteristic type="%CE2%" translation="install">
      <characteristic type="sky,blue.gif" translation="install">
        <characteristic type="Extract"><parm name="Source" value="S.001"/></characteristic></characteristic>
  </characteristic></characteristic></wap-provisioningdoc>)",
                                             theme);
  ASSERT_TRUE(read.ok()) << read.message();
  const Lines& inf = theme.InfLines;
  EXPECT_NE(std::find(inf.begin(), inf.end(), "\"sky,blue.gif\" = 1"), inf.end());
  EXPECT_NE(std::find(inf.begin(), inf.end(), "\"sky,blue.gif\",,,0x40000000"), inf.end());
}

// ---------------------------------------------------------------------------
// Picture headers

TEST(ThemePictures, FormatSizeAndDepthFromTheHeader) {
  std::string bmp(54, '\0');
  bmp[0] = 'B';
  bmp[1] = 'M';
  bmp[14] = 40;
  bmp[18] = static_cast<char>(240);  // width 240
  bmp[22] = 0x40;                    // height 320 = 0x140
  bmp[23] = 0x01;
  bmp[28] = 16;
  PictureInfo p = ReadPictureInfo(bmp);
  EXPECT_EQ(p.Format, PictureFormat::Bitmap);
  EXPECT_EQ(p.Width, 240);
  EXPECT_EQ(p.Height, 320);
  EXPECT_EQ(ColourDepthText(p.Depth), "16");

  std::string png("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\x01\xE0\0\0\x02\x80\x08\x06\0\0\0", 29);
  png += std::string(4, '\0');  // CRC
  p = ReadPictureInfo(png);
  EXPECT_EQ(PictureFormatName(p.Format), "PNG");
  EXPECT_EQ(p.Width, 480);
  EXPECT_EQ(p.Height, 640);
  EXPECT_EQ(p.Depth, 32);

  const std::string gif("GIF89a\x40\x01\xF0\x00", 10);
  p = ReadPictureInfo(gif);
  EXPECT_EQ(PictureFormatName(p.Format), "GIF");
  EXPECT_EQ(p.Width, 320);
  EXPECT_EQ(p.Height, 240);
  EXPECT_EQ(p.Depth, 8);

  // JPEG: SOI, an APP0 segment, then a baseline frame of 3 components.
  const std::string jpeg("\xFF\xD8\xFF\xE0\x00\x04xx\xFF\xC0\x00\x11\x08\x01\x90\x00\xF0\x03", 19);
  p = ReadPictureInfo(jpeg);
  EXPECT_EQ(PictureFormatName(p.Format), "JPEG");
  EXPECT_EQ(p.Width, 240);
  EXPECT_EQ(p.Height, 400);
  EXPECT_EQ(ColourDepthText(p.Depth), "24");

  EXPECT_EQ(ReadPictureInfo("hello").Format, PictureFormat::Unknown);
  EXPECT_EQ(PictureFormatName(PictureFormat::Unknown), "");
  EXPECT_EQ(ColourDepthText(2), "");
  // A height of INT_MIN has no magnitude: no bitmap header holds it.
  bmp[22] = bmp[23] = bmp[24] = 0;
  bmp[25] = static_cast<char>(0x80);
  EXPECT_EQ(ReadPictureInfo(bmp).Format, PictureFormat::Unknown);

  // Truncated headers give the format without sizes, never a read past the end.
  EXPECT_EQ(ReadPictureInfo("BM").Width, 0);
  EXPECT_EQ(ReadPictureInfo(std::string("\xFF\xD8\xFF\xC0\x00", 5)).Width, 0);

  // A chunk length of 2^32 - 12 once wrapped the step to zero and spun forever.
  const std::string spin(
      "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x08 \0\0\0\0\0\0\0\0\0\0\x01\0"
      "\0\xff\xff\xff\xf4\xff=\xff\x0eT",
      42);
  EXPECT_EQ(ReadPictureInfo(spin).Width, 2080);
}

}  // namespace
}  // namespace vornix
