// Extraction of packages described by "_setup.xml", opened the way the batch
// mode opens them.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "common/host_fs.h"
#include "common/text.h"
#include "helpers/cab_builder.h"
#include "helpers/run_process.h"
#include "package/package_session.h"
#include "package/xml_extraction.h"
#include "presentation/inf_writer.h"
#include "presentation/xml_texts.h"

namespace vornix {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

struct Recorder : UserInterface {
  std::vector<std::pair<std::string, std::string>> warnings;
  void warn(const std::string& caption, const std::string& text) override { warnings.emplace_back(caption, text); }
};

std::string Document(const std::string& appName, const std::string& dir, const std::string& dest,
                     const std::string& source) {
  return R"(<?xml version="1.0"?>
<wap-provisioningdoc>
  <characteristic type="Install">
    <parm name="AppName" value=")" +
         appName + R"("/>
    <parm name="InstallDir" value="%CE1%\MyApp" translation="install"/>
  </characteristic>
  <characteristic type="FileOperation">
    <characteristic type=")" +
         dir + R"(" translation="install">
      <characteristic type="MakeDir"/>
      <characteristic type=")" +
         dest + R"(" translation="install">
        <characteristic type="Extract"><parm name="Source" value=")" +
         source + R"("/></characteristic>
      </characteristic>
      <characteristic type="helper.dll" translation="install">
        <characteristic type="Extract"><parm name="Source" value="HELPER~1.002"/></characteristic>
      </characteristic>
    </characteristic>
    <characteristic type="\Windows" translation="install">
      <characteristic type="MakeDir"/>
      <characteristic type="shared.txt" translation="install">
        <characteristic type="Extract"><parm name="Source" value="SHARED~1.003"/></characteristic>
      </characteristic>
    </characteristic>
  </characteristic>
</wap-provisioningdoc>
)";
}

class XmlExtraction : public ::testing::Test {
 protected:
  testing::TempDir dir;
  Recorder ui;

  fs::path build(const std::string& xml, const std::string& exeName = "MYAPP~1.001") {
    testing::CabBuilder cab;
    cab.folder(testing::CabCompression::MSZIP)
        .add(exeName, "exe bytes")
        .add("HELPER~1.002", "dll bytes")
        .add("SHARED~1.003", "shared text")
        .add("SETUP~1.999", "setup dll")
        .add("_setup.xml", xml);
    const fs::path package = dir / "package.cab";
    EXPECT_TRUE(cab.writeTo(package));
    return package;
  }

  // Opens the package as the batch mode does and extracts all its files.
  ExtractReport openAndExtract(const fs::path& package, const fs::path& into, bool useFolderNames,
                               XmlSetupAnalysis* analysisOut = nullptr) {
    PackageSession session(ui);
    const OpenResult opened = session.OpenPackage(package);
    EXPECT_EQ(opened.Outcome, OpenOutcome::XmlFound);
    Result<XmlSetupAnalysis> read = ReadPackageXml(session);
    EXPECT_TRUE(read.ok()) << read.message();
    if (!read.ok()) return {};
    fs::create_directories(into);
    ExtractReport report = ExtractXmlPackage(session, *read, into, useFolderNames, ui);
    if (analysisOut) *analysisOut = *read;
    return report;
  }
};

TEST_F(XmlExtraction, SubfoldersSetupDllInfAndXmlCopy) {
  const fs::path package = build(Document("MyApp", "%InstallDir%", "MyApp.exe", "MYAPP~1.001"));
  XmlSetupAnalysis analysis;
  const ExtractReport report = openAndExtract(package, dir / "out", true, &analysis);
  EXPECT_TRUE(report.CabinetRead) << report.Error;
  EXPECT_EQ(report.NotRenamed, 0);
  EXPECT_TRUE(ui.warnings.empty());
  EXPECT_EQ(testing::ListTree(dir / "out"),
            (Names{"MyApp.inf", "Program Files/MyApp/MyApp.exe", "Program Files/MyApp/helper.dll", "SETUP~1.dll",
                   "Windows/shared.txt", "_setup.xml"}));
  EXPECT_EQ(testing::ReadAll(dir / "out" / "Program Files" / "MyApp" / "MyApp.exe"), "exe bytes");
  EXPECT_EQ(testing::ReadAll(dir / "out" / "SETUP~1.dll"), "setup dll");
  EXPECT_EQ(testing::ReadAll(dir / "out" / "MyApp.inf"), InfFileText(XmlInfLines(analysis)));
  EXPECT_NE(testing::ReadAll(dir / "out" / "MyApp.inf").find("CESetupDLL = \"SETUP~1.dll\"\r\n"), std::string::npos);
  EXPECT_EQ(testing::ReadAll(dir / "out" / "_setup.xml"),
            Document("MyApp", "%InstallDir%", "MyApp.exe", "MYAPP~1.001"));
}

TEST_F(XmlExtraction, FlatModeAndASecondRunThatFindsEveryNameTaken) {
  const fs::path package = build(Document("MyApp", "%InstallDir%", "MyApp.exe", "MYAPP~1.001"));
  ExtractReport report = openAndExtract(package, dir / "flat", false);
  EXPECT_EQ(report.NotRenamed, 0);
  EXPECT_EQ(testing::ListTree(dir / "flat"),
            (Names{"MyApp.exe", "MyApp.inf", "SETUP~1.dll", "_setup.xml", "helper.dll", "shared.txt"}));

  report = openAndExtract(package, dir / "flat", false);
  EXPECT_EQ(report.NotRenamed, 3);
  ASSERT_EQ(ui.warnings.size(), 1u);
  EXPECT_EQ(ui.warnings[0].first, "Vornix");
  EXPECT_EQ(ui.warnings[0].second, "3 duplicates have not been renamed !");
  // Nothing was overwritten: the second copies stay under their stored names.
  EXPECT_EQ(testing::ReadAll(dir / "flat" / "MyApp.exe"), "exe bytes");
  EXPECT_TRUE(fs::exists(dir / "flat" / "MYAPP~1.001"));
}

TEST_F(XmlExtraction, NamesFromTheDocumentNeverLeaveTheChosenFolder) {
  const fs::path package =
      build(Document("..\\..\\pwn", "..\\..\\escape", "..\\evil.exe", "..\\MYAPP~1.001"), "..\\MYAPP~1.001");
  const fs::path out = dir / "a" / "b" / "out";
  const ExtractReport report = openAndExtract(package, out, true);
  EXPECT_GE(report.NotRenamed, 1);
  // Everything written lies below the chosen folder.
  Names outside;
  for (const std::string& f : testing::ListTree(dir.path()))
    if (f.rfind("a/b/out/", 0) != 0 && f != "package.cab") outside.push_back(f);
  EXPECT_TRUE(outside.empty()) << outside.front();
  EXPECT_FALSE(fs::exists(out / ".." / "evil.exe"));
  // The INF is still written, under a name kept inside the folder.
  bool infWritten = false;
  for (const std::string& f : testing::ListTree(out)) infWritten |= f.size() > 4 && f.substr(f.size() - 4) == ".inf";
  EXPECT_TRUE(infWritten);
}

TEST_F(XmlExtraction, TheXmlCopyReplacesALinkOfItsNameAndNeverWritesThroughIt) {
  const std::string xml = Document("MyApp", "%InstallDir%", "MyApp.exe", "MYAPP~1.001");
  fs::create_directories(dir / "out");
  testing::WriteAll(dir / "victim.xml", "precious");
  fs::create_symlink(dir / "victim.xml", dir / "out" / "_setup.xml");
  openAndExtract(build(xml), dir / "out", true);
  EXPECT_EQ(testing::ReadAll(dir / "victim.xml"), "precious");
  EXPECT_FALSE(fs::is_symlink(dir / "out" / "_setup.xml"));
  EXPECT_EQ(testing::ReadAll(dir / "out" / "_setup.xml"), xml);
}

TEST_F(XmlExtraction, SelectionWritesOnlyTheCheckedRows) {
  const fs::path package = build(Document("MyApp", "%InstallDir%", "MyApp.exe", "MYAPP~1.001"));
  PackageSession session(ui);
  ASSERT_EQ(session.OpenPackage(package).Outcome, OpenOutcome::XmlFound);
  const Result<XmlSetupAnalysis> read = ReadPackageXml(session);
  ASSERT_TRUE(read.ok());
  ASSERT_EQ(read->Files.size(), 4u);  // three files and the setup DLL row
  fs::create_directories(dir / "flat");
  fs::create_directories(dir / "tree");
  // Flat, helper.dll and the setup DLL row checked, no INF.
  ExtractReport report = ExtractXmlSelection(session, *read, dir / "flat", false, {1, 3}, false, ui);
  EXPECT_EQ(report.NotRenamed, 0);
  EXPECT_EQ(testing::ListTree(dir / "flat"), (Names{"SETUP~1.dll", "helper.dll"}));
  // Subfolders, shared.txt only, with the INF and the XML file.
  report = ExtractXmlSelection(session, *read, dir / "tree", true, {2}, true, ui);
  EXPECT_EQ(report.NotRenamed, 0);
  EXPECT_EQ(testing::ListTree(dir / "tree"), (Names{"MyApp.inf", "Windows/shared.txt", "_setup.xml"}));
  EXPECT_TRUE(ui.warnings.empty());
}

TEST(XmlExtractionRows, SetupDllRowIsLeftOutAndFoldersCarryTheExpandedDirectory) {
  XmlFile file;
  file.DirNumber = 7;
  file.CabName = "A.001";
  file.DestName = "a b.txt";
  file.Directory = "\\Program Files\\X";
  XmlFile noDir;
  noDir.DirNumber = 8;
  noDir.CabName = "B.002";
  noDir.DestName = "b.txt";
  XmlFile dll;
  dll.DirNumber = 999;
  dll.CabName = "S.999";
  dll.DestName = "S.dll";
  dll.IsSetupDll = true;
  const std::vector<ExtractRow> rows = XmlExtractRows({dll, file, noDir});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].StoredName, "A.001");
  EXPECT_EQ(rows[0].OriginalName, "a b.txt");  // the name itself, not the INF's quoted text
  EXPECT_EQ(rows[0].DeviceFolder, "\\Program Files\\X");
  EXPECT_EQ(rows[1].DeviceFolder, "");
}

// ---------------------------------------------------------------------------
// Real packages that carry "_setup.xml"

std::vector<std::string> XmlSamples(const fs::path& folder) {
  std::vector<std::string> names;
  std::ifstream readme(folder / "README.md");
  std::string line;
  while (std::getline(readme, line)) {
    // "| file | kind | ..." rows; "both" and "xml" carry the document.
    std::istringstream cells(line);
    std::string empty, file, kind;
    if (!std::getline(cells, empty, '|') || !std::getline(cells, file, '|') || !std::getline(cells, kind, '|'))
      continue;
    auto trim = [](std::string s) {
      const size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
      return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
    };
    kind = trim(kind);
    if (kind == "both" || kind == "xml") names.push_back(trim(file));
  }
  return names;
}

TEST_F(XmlExtraction, RealPackagesOpenWriteTheirInfAndExtract) {
  const fs::path samples = VORNIX_SAMPLES_DIR;
  if (!fs::exists(samples / "README.md")) GTEST_SKIP() << "no samples folder";
  const std::vector<std::string> names = XmlSamples(samples);
  ASSERT_FALSE(names.empty());
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    PackageSession session(ui);
    session.OpenPackage(samples / name);
    ASSERT_FALSE(session.findings().XmlFileName.empty());
    const Result<XmlSetupAnalysis> read = ReadPackageXml(session);
    ASSERT_TRUE(read.ok()) << read.message();
    const XmlSetupAnalysis& a = *read;
    const std::vector<std::string> infLines = XmlInfLines(a);
    ASSERT_GE(infLines.size(), 5u);
    EXPECT_EQ(infLines[0], "[Version]");
    const fs::path out = dir / ("x_" + name);
    fs::create_directories(out);
    const ExtractReport report = ExtractXmlPackage(session, a, out, true, ui);
    EXPECT_TRUE(report.CabinetRead) << report.Error;
    EXPECT_TRUE(report.Error.empty()) << report.Error;
    EXPECT_TRUE(fs::exists(out / HostPath(a.infFileName())));
    EXPECT_TRUE(fs::exists(out / HostPath(session.findings().XmlFileName)));
    int missing = 0;
    for (const XmlFile& file : a.Files) {
      const XmlFileTexts f = XmlFileRowTexts(file);
      if (file.IsSetupDll || f.Size == " ") continue;
      fs::path where = out;
      if (const auto rel =
              SafeRelativePath(f.Directory.empty() || f.Directory[0] != '\\' ? f.Directory : f.Directory.substr(1)))
        where = out / *rel;
      missing += !fs::exists(where / HostPath(ReplaceAll(f.FileName, "\"", "")));
    }
    // A file can only be missing under its own name when its rename was refused.
    EXPECT_LE(missing, report.NotRenamed);
  }
}

}  // namespace
}  // namespace vornix
