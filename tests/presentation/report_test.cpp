#include "presentation/report.h"

#include <gtest/gtest.h>

#include <sstream>

#include "presentation/catalogue.h"
#include "setup/setup_format.h"

namespace vornix {
namespace {

// A setup description with one record of every kind, a setup DLL and a
// self-registering file, as the reader would leave it.
TSetupInfo SampleInfo() {
  TSetupInfo info;
  info.AppName = "MyApp";
  info.CabinetMode = true;
  AListChaine s;
  s.Id = 1;
  s.Value = "%CE1%";
  s.Equivalent = "\\Program Files";
  info.Strings.push_back(s);
  AListDir d;
  d.Id = 1;
  d.StringIds = {1};
  d.Path = "\\Program Files";
  info.Dirs.push_back(d);
  AListFiles f;
  f.Id = 1;
  f.OrderNumber = 1;
  f.DirId = 1;
  f.Name = "my app.exe";
  f.Entry = CabinetEntryRef{"MYAPP~1.001"};
  info.Files.push_back(f);
  AListFiles reg;
  reg.Id = 2;
  reg.OrderNumber = 2;
  reg.DirId = 1;
  reg.Name = "reg.dll";
  reg.Flags = kFileSelfRegister;
  AListHive h;
  h.Id = 1;
  h.Root = 3;
  h.Path = "Software\\Me";
  info.Hives.push_back(h);
  AListReg named;
  named.Id = 1;
  named.HiveId = 1;
  named.Name = "Path";
  named.Data = std::string("\\Windows\0", 9);
  named.Flags = kRegSz;
  AListReg unnamed = named;
  unnamed.Id = 2;
  unnamed.Name.clear();
  info.RegKeys = {named, unnamed};
  AListRac r;
  r.Id = 7;
  r.Name = "My App";
  r.InstalledAt = "\\Windows\\Start Menu";
  r.Kind = 0;
  r.TargetId = 1;  // the folder of directory 1
  info.Shortcuts.push_back(r);
  info.SetupDll.Name = "SETUP~1.999";
  info.Files.push_back(reg);
  return info;
}

AnalysisLists SampleLists() {
  AnalysisLists lists;
  lists.General = {{"Selected Filename", "/tmp/pkg.cab"},
                   {"Processor", "ARM"},
                   {"Provider", ""},
                   {Str(MainStr::LblSetupFile), "SETUP~1.999"}};
  return lists;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream in(text);
  std::string line;
  while (std::getline(in, line)) out.push_back(line);
  return out;
}

const std::vector<std::string> kInf = {"[Version]", "Signature = \"$Windows NT$\"", "", "[End]"};

TEST(Report, LinesInOrderWithSectionsSetupDllSelfRegisterAndInf) {
  Report report = BuildReport(SampleInfo(), SampleLists(), kInf);
  const std::string star = std::string(161, '*') + "\t ";
  const std::vector<std::string> expected = {"Gen\xE9ralities\t ",
                                             "",
                                             "Selected Filename\t/tmp/pkg.cab",
                                             "Processor\tARM",  // empty Provider skipped
                                             "",
                                             star,
                                             "",
                                             "Strings\tValue\tEquivalent",
                                             "",
                                             "001\t%CE1%\t\\Program Files",
                                             "",
                                             star,
                                             "",
                                             "Directories\tString ID\tValue",
                                             "",
                                             "001\t1\t\\Program Files",
                                             "",
                                             star,
                                             "",
                                             "Files\tOrder Number\tFlags\tID Dir\tFileName in CAB\tFileName",
                                             "",
                                             "001\t001\t0x00000000\t \\Program Files\tMYAPP~1.001\t\"my app.exe\"",
                                             "002\t002\t0x10000000\t \\Program Files\t\treg.dll",
                                             "",
                                             star,
                                             "",
                                             "Hives\tRoot\tString",
                                             "",
                                             "001\tHKLM\tSoftware\\Me",
                                             "",
                                             star,
                                             "",
                                             "R.K. ID\tKey\tValue\tType",
                                             "",
                                             "001\t HKLM\\Software\\Me\\Path\t\\Windows\tREG_SZ\t",
                                             "002\t HKLM\\Software\\Me\t\\Windows\tREG_SZ\t",
                                             "",
                                             star,
                                             "",
                                             "ID S.\tShortcut Name\tInstalled at\tPoints to",
                                             "",
                                             "007\tMy App\t\\Windows\\Start Menu\t\\Program Files",
                                             "",
                                             star,
                                             "",
                                             "SETUP File\tSETUP~1.999",
                                             " \t ",
                                             star,
                                             " \t ",
                                             "Self Register DLL \t ",
                                             " \t ",
                                             " \treg.dll",
                                             " \t ",
                                             star,
                                             star,
                                             " \t ",
                                             "INF file rebuilt : \"MyApp.INF\"\t ",
                                             " \t ",
                                             star,
                                             " \t ",
                                             "[Version]",
                                             "Signature = \"$Windows NT$\"",
                                             "",
                                             "[End]"};
  const std::vector<std::string> lines = Lines(report.plainText());
  for (size_t i = 0; i < std::min(lines.size(), expected.size()); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i;
  EXPECT_EQ(lines.size(), expected.size());
}

TEST(Report, AnchorsPointAtHeadingsAndTheInf) {
  Report report = BuildReport(SampleInfo(), SampleLists(), kInf);
  const std::string text = report.plainText();
  const std::vector<std::string> lines = Lines(text);
  const char* headings[] = {"Strings\t", "Directories\t", "Files\t", "Hives\t", "R.K. ID\t", "ID S.\t"};
  for (int s = 0; s < TReportAnchors::kSections; ++s) {
    SCOPED_TRACE(s);
    const auto& a = report.Anchors;
    ASSERT_GE(a.SectionLine[s], 0);
    EXPECT_EQ(lines.at(a.SectionLine[s]).rfind(headings[s], 0), 0u);
    EXPECT_EQ(text.compare(a.SectionStart[s], lines[a.SectionLine[s]].size(), lines[a.SectionLine[s]]), 0);
    // The line starts right after a line break.
    EXPECT_EQ(text[a.SectionStart[s] - 1], '\n');
  }
  EXPECT_EQ(lines.at(report.Anchors.InfLine), std::string(161, '*') + "\t ");
  EXPECT_EQ(lines.at(report.Anchors.InfLine + 2), "INF file rebuilt : \"MyApp.INF\"\t ");
  EXPECT_EQ(text.substr(report.Anchors.InfStart, report.Anchors.InfLength),
            "[Version]\nSignature = \"$Windows NT$\"\n\n[End]");
  EXPECT_EQ(static_cast<size_t>(report.Anchors.InfStart + report.Anchors.InfLength), text.size());
  EXPECT_EQ(report.infText(), "[Version]\r\nSignature = \"$Windows NT$\"\r\n\r\n[End]");
}

TEST(Report, TabStopsPerBlock) {
  Report report = BuildReport(SampleInfo(), SampleLists(), kInf);
  const auto& p = report.Paragraphs;
  EXPECT_EQ(p[0].TabStops, std::vector<int>{160});
  EXPECT_EQ(p[3].TabStops, std::vector<int>{160});
  EXPECT_TRUE(p[5].TabStops.empty());  // the star line after the block
  const auto at = [&](int section, int offset) { return p[report.Anchors.SectionLine[section] + offset].TabStops; };
  EXPECT_EQ(at(kSectionStrings, 0), (std::vector<int>{70, 350}));
  EXPECT_EQ(at(kSectionDirs, 2), (std::vector<int>{70, 170}));
  EXPECT_EQ(at(kSectionFiles, 2), (std::vector<int>{50, 100, 160, 425, 530}));
  EXPECT_EQ(at(kSectionHives, 2), (std::vector<int>{50, 100}));
  EXPECT_EQ(at(kSectionKeys, 3), (std::vector<int>{40, 405, 655, 720}));
  EXPECT_EQ(at(kSectionShortcuts, 2), (std::vector<int>{80, 200, 400}));
  EXPECT_TRUE(at(kSectionShortcuts, 3).empty());
  EXPECT_EQ(p.back().Kind, ReportParagraphKind::Inf);
  EXPECT_EQ(p[report.InfFirstParagraph].Value, "[Version]");
}

TEST(Report, EmptySectionsAndEmptyNamesLeaveNoTrace) {
  TSetupInfo info;  // no records, no setup DLL, no application name
  AnalysisLists lists;
  lists.General = {{"Processor", "ARM"}};
  Report report = BuildReport(info, lists, {"[Version]"});
  for (int s = 0; s < TReportAnchors::kSections; ++s) EXPECT_FALSE(report.Anchors.hasSection(s));
  const std::vector<std::string> lines = Lines(report.plainText());
  const std::string star = std::string(161, '*') + "\t ";
  EXPECT_EQ(lines, (std::vector<std::string>{"Gen\xE9ralities\t ", "", "Processor\tARM", "", star, "", star, " \t ",
                                             "INF file rebuilt : \".INF\"\t ", " \t ", star, " \t ", "[Version]"}));
  EXPECT_EQ(report.Anchors.InfLine, 6);
}

TEST(Report, TextsAfterIdsOfFourAndFiveDigits) {
  TSetupInfo info;
  info.CabinetMode = true;
  AListDir d;
  d.Id = 1000;
  d.Path = "\\Program Files";
  info.Dirs.push_back(d);
  AListFiles f;
  f.Id = 1;
  f.DirId = 1000;
  f.Entry = CabinetEntryRef{"A.001"};
  f.Name = "a.txt";
  AListFiles target;
  target.Id = 10000;
  target.Name = "readme.cpl";
  info.Files = {f, target};
  AListHive h;
  h.Id = 10000;
  h.Root = 3;
  h.Path = "Software\\Me";
  info.Hives.push_back(h);
  AListReg k;
  k.Id = 1;
  k.HiveId = 10000;
  k.Name = "Path";
  k.Flags = kRegSz;
  info.RegKeys.push_back(k);
  AListRac r;
  r.Id = 3;
  r.Kind = 1;
  r.TargetId = 10000;
  info.Shortcuts.push_back(r);
  const std::string text = BuildReport(info, {}, {}).plainText();
  EXPECT_NE(text.find("001\t000\t0x00000000\t \\Program Files\tA.001\ta.txt\n"), std::string::npos) << text;
  EXPECT_NE(text.find("001\t HKLM\\Software\\Me\\Path\t\tREG_SZ\t\n"), std::string::npos) << text;
  EXPECT_NE(text.find("003\t\t\treadme.cpl\n"), std::string::npos) << text;
}

TEST(Report, ShortTextsAndLineBreaksInPackageTexts) {
  TSetupInfo info;
  info.CabinetMode = true;
  AListFiles f;
  f.Id = 1;
  f.DirId = 5;  // folder unknown: nothing after the sixth character
  f.Entry = CabinetEntryRef{"A.001"};
  f.Name = "a\r\nb.txt";
  info.Files.push_back(f);
  AListRac r;
  r.Id = 3;
  r.Kind = 0;
  r.TargetId = 1;  // a folder that is not there
  info.Shortcuts.push_back(r);
  Report report = BuildReport(info, {}, {});
  const std::string text = report.plainText();
  EXPECT_NE(text.find("001\t000\t0x00000000\t\tA.001\ta  b.txt\n"), std::string::npos);
  EXPECT_NE(text.find("003\t\t\t\n"), std::string::npos);
  EXPECT_EQ(report.Anchors.InfLength, 0);
  EXPECT_EQ(report.infText(), "");
}

}  // namespace
}  // namespace vornix
