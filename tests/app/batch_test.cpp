// Runs the vornix binary as a script would and checks what it leaves behind.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "helpers/demo_package.h"
#include "helpers/demo_theme.h"
#include "helpers/listing.h"
#include "helpers/run_process.h"
#include "presentation/inf_writer.h"
#include "setup/setup_info.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

using testing::ListTree;
using testing::ProcessResult;
using testing::ReadAll;
using testing::TempDir;

using testing::Vornix;

std::string ExpectedDemoInf() {
  SetupReadInput in;
  const CabListing listing =
      testing::ListingOf({"TIDEPO~1.999", "TPSHEL~1.004", "README~1.003", "TIDES~1.002", "TIDEPO~1.001"});
  in.CabinetMode = true;
  in.Listing = &listing;
  const Result<TSetupInfo> r = ReadSetupBytes(testing::BuildSetupFile(testing::DemoApplication()), in);
  return InfFileText(WriteInf(*r));
}

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(testing::DemoPackage().writeTo(dir / "tidepool.cab")); }
  TempDir dir;
};

TEST_F(BatchTest, InfIsWrittenBesideThePackageInAnyLetterCase) {
  const ProcessResult r = Vornix({"tidepool.cab", "INF"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const std::string inf = ReadAll(dir / "tidepool.inf");
  EXPECT_EQ(inf, ExpectedDemoInf());
  EXPECT_EQ(inf.substr(0, 11), "[Version]\r\n");
  // Later words after inf are ignored.
  EXPECT_EQ(Vornix({"tidepool.cab", "inf", "more", "words"}, dir.path()).exitCode, 0);
}

TEST_F(BatchTest, ExtractIntoANamedFolderOrTheDefaultOne) {
  ProcessResult r = Vornix({"tidepool.cab", "Extract", "out/deeper"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ListTree(dir / "out/deeper"),
            (std::vector<std::string>{
                "Program Files/Vornix Samples Tidepool/Help/Read me.txt",
                "Program Files/Vornix Samples Tidepool/Tidepool.exe", "Program Files/Vornix Samples Tidepool/tides.dat",
                "Program Files/Vornix Samples Tidepool/tpshell.dll", "TIDEPO~1.dll", "Tidepool.inf"}));
  EXPECT_EQ(ReadAll(dir / "out/deeper/Tidepool.inf"), ExpectedDemoInf());

  // A folder named like a package is a folder, not a package to open.
  r = Vornix({"tidepool.cab", "extract", "out.cab"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::is_directory(dir / "out.cab/Program Files"));

  r = Vornix({"tidepool.cab", "extract"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir / "ExtractDir/Tidepool.inf"));

  // Extracting again: every rename fails, reported on stderr, never replaced.
  r = Vornix({"tidepool.cab", "extract"}, dir.path());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.err.find("4 duplicates have not been renamed !"), std::string::npos) << r.err;
}

TEST_F(BatchTest, RepeatedInstalledNamesEndWith222) {
  testing::SetupRecipe s;
  s.AppName = "Dup";
  s.Files = {{1, 1, 1, 0, "Setup.dll"}, {2, 1, 2, 0, "SETUP.DLL"}};
  ASSERT_TRUE(testing::PackageFor(s, "DUP~1.000", false).writeTo(dir / "dup.cab"));
  ProcessResult r = Vornix({"dup.cab", "inf"}, dir.path());
  EXPECT_EQ(r.exitCode, 222);
  EXPECT_TRUE(fs::exists(dir / "dup.inf"));
  EXPECT_NE(r.err.find("SETUP.DLL"), std::string::npos);
  r = Vornix({"dup.cab", "extract", "x"}, dir.path());
  EXPECT_EQ(r.exitCode, 222);
}

TEST_F(BatchTest, FailuresAreNeverReportedAsSuccess) {
  testing::WriteAll(dir / "notes.txt", "hello");
  testing::WriteAll(dir / "text.cab", "not a cabinet at all");
  testing::SetupRecipe bad;
  bad.SizeField = 1;
  testing::WriteAll(dir / "bad.000", testing::BuildSetupFile(bad));
  testing::WriteAll(dir / "blocker", "a file where the folder should go");

  struct Case {
    std::vector<std::string> args;
    int code;
    const char* err;
  };
  const Case cases[] = {
      {{"notes.txt", "inf"}, 1, "not a Windows CE package"},
      {{"missing.cab", "inf"}, 1, "no such file"},
      {{"text.cab", "inf"}, 1, "no setup description"},
      {{"bad.000", "inf"}, 1, "WinCE file not valid : File size wrong !"},
      {{"tidepool.cab", "extract", "blocker/sub"}, 1, "cannot be created"},
      {{"tidepool.cab", "other"}, 2, "usage: vornix"},
      {{"--bogus", "x"}, 2, "unknown option"},
  };
  for (const Case& c : cases) {
    const ProcessResult r = Vornix(c.args, dir.path());
    EXPECT_EQ(r.exitCode, c.code) << c.args[0] << " " << c.args[1] << ": " << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(dir / "text.inf"));
  EXPECT_FALSE(fs::exists(dir / "bad.inf"));
}

TEST_F(BatchTest, BareSetupFileWritesItsInf) {
  testing::WriteAll(dir / "app.000", testing::BuildSetupFile(testing::DemoApplication()));
  const ProcessResult r = Vornix({"app.000", "inf"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const std::string inf = ReadAll(dir / "app.inf");
  EXPECT_NE(inf.find("Tidepool.exe = 1 ; \r\n"), std::string::npos);  // no cabinet name to show
  EXPECT_EQ(Vornix({"app.000", "extract", "x"}, dir.path()).exitCode, 1);
}

TEST_F(BatchTest, JsonCarriesTheWholeAnalysis) {
  const ProcessResult r = Vornix({"--json", "tidepool.cab"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(r.out.rfind("{\n  \"format\": \"vornix-analysis\",\n  \"version\": 1,\n", 0), 0u) << r.out;
  EXPECT_EQ(j["outcome"], "setup");
  EXPECT_EQ(j["exit_code"], 0);
  EXPECT_EQ(j["cabinet"]["setup_file"], "TIDEPO~1.000");
  EXPECT_EQ(j["cabinet"]["entries"], 6);
  EXPECT_EQ(j["cabinet"]["compressed"], true);
  EXPECT_EQ(j["cabinet"]["listing"][0]["date"], "2009-06-15T12:30:00");
  const nlohmann::json& s = j["setup"];
  EXPECT_EQ(s["app_name"], "Tidepool");
  EXPECT_EQ(s["os_version_min"], nlohmann::json::array({4, 20}));
  ASSERT_EQ(s["files"].size(), 4u);
  EXPECT_EQ(s["files"][2]["installed_name"], "Read me.txt");
  EXPECT_EQ(s["files"][2]["stored_name"], "README~1.003");
  EXPECT_EQ(s["files"][2]["device_folder"], "\\Program Files\\Vornix Samples Tidepool\\Help");
  EXPECT_EQ(s["files"][2]["size"], 424);
  EXPECT_EQ(s["files"][3]["flags"], 0x10000000);
  EXPECT_EQ(s["registry"][0]["data"], 3);
  EXPECT_EQ(s["registry"][2]["data"], nlohmann::json::array({"COM1:", "COM2:"}));
  EXPECT_EQ(s["registry"][2]["root"], "HKLM");
  EXPECT_EQ(s["registry"][2]["key"], "Software\\Vornix Samples\\Tidepool");
  EXPECT_EQ(s["shortcuts"][0]["standard_folder"], 11);
  EXPECT_EQ(s["shortcuts"][0]["target"], "Tidepool.exe");
  EXPECT_EQ(s["setup_dll"]["stored_name"], "TIDEPO~1.999");
  EXPECT_EQ(s["inf_lines"][0], "[Version]");
}

TEST(BatchTheme, TheDemoThemeIsRecognisedAndConverted) {
  TempDir dir;
  ASSERT_TRUE(testing::DemoTheme().writeTo(dir / "sunset.tsk"));
  ProcessResult r = Vornix({"--theme-json", "sunset.tsk"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["format"], "vornix-theme");
  EXPECT_EQ(j["app_name"], "Sunset");
  EXPECT_EQ(j["resolution"]["label"], "QVGA");
  EXPECT_EQ(j["images"]["today_portrait"]["installed_name"], "tdywater_240_320.png");
  EXPECT_EQ(j["images"]["start_landscape"]["stored_name"], "STWATE~2.004");
  EXPECT_EQ(ListTree(dir.path()), std::vector<std::string>{"sunset.tsk"});  // --theme-json writes nothing

  r = Vornix({"--theme-convert", "sunset.tsk"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("[Version]\n", 0), 0u);
  EXPECT_NE(r.out.find("\"tdywater_240_320.png\" = 1"), std::string::npos);

  r = Vornix({"sunset.tsk", "inf"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir / "sunset.inf"));
}

TEST(BatchOptions, HelpAndVersion) {
  TempDir dir;
  ProcessResult r = Vornix({"--help"}, dir.path());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("vornix PACKAGE extract [FOLDER]"), std::string::npos);
  r = Vornix({"--version"}, dir.path());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.rfind("vornix ", 0), 0u);
}

}  // namespace
}  // namespace vornix
