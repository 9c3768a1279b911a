// One run over several packages: each is done, one that fails is reported
// and the others go on, and the exit code is the worst of theirs.
#include <sstream>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "helpers/demo_package.h"
#include "helpers/run_process.h"
#include "helpers/setup_builder.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

using testing::ListTree;
using testing::ProcessResult;
using testing::TempDir;
using Names = std::vector<std::string>;

using testing::Vornix;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class SeveralPackages : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::DemoPackage().writeTo(dir / "tidepool.cab"));
    fs::create_directories(dir / "other");
    ASSERT_TRUE(testing::DemoPackage().writeTo(dir / "other/TIDEPOOL.cab"));
    testing::WriteAll(dir / "broken.cab", "not a cabinet at all");
    testing::SetupRecipe s;
    s.AppName = "Dup";
    s.Files = {{1, 1, 1, 0, "Setup.dll"}, {2, 1, 2, 0, "SETUP.DLL"}};
    ASSERT_TRUE(testing::PackageFor(s, "DUP~1.000", false).writeTo(dir / "dup.cab"));
  }
  TempDir dir;
};

TEST_F(SeveralPackages, JsonPrintsOneLineForEachAndAnErrorForTheBrokenOne) {
  const ProcessResult r = Vornix({"--json", "tidepool.cab", "broken.cab", "missing.cab", "dup.cab"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  std::istringstream lines(r.out);
  std::vector<nlohmann::json> docs;
  for (std::string line; std::getline(lines, line);) docs.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(docs.size(), 4u) << r.out;
  EXPECT_EQ(docs[0]["setup"]["app_name"], "Tidepool");
  EXPECT_FALSE(docs[0].contains("error"));
  EXPECT_EQ(docs[1]["outcome"], "nothing");
  EXPECT_EQ(docs[1]["error"], "broken.cab : no setup description found (not a Windows CE package)");
  EXPECT_EQ(docs[2], (nlohmann::json{{"format", "vornix-analysis"},
                                     {"version", 1},
                                     {"package", "missing.cab"},
                                     {"error", "missing.cab : no such file"}}));
  EXPECT_EQ(docs[3]["setup"]["app_name"], "Dup");
  EXPECT_EQ(docs[3]["setup"]["duplicates"], nlohmann::json::array({"SETUP.DLL"}));
  EXPECT_EQ(docs[3]["exit_code"], 222);
  EXPECT_TRUE(Contains(r.err, "vornix: broken.cab : no setup description found")) << r.err;
  EXPECT_TRUE(Contains(r.err, "vornix: missing.cab : no such file\n")) << r.err;
  EXPECT_TRUE(Contains(r.err, "vornix: dup.cab: Duplicates (1) :")) << r.err;
}

TEST_F(SeveralPackages, ExtractGivesEachASubfolderAndGoesOnAfterAFailure) {
  ProcessResult r =
      Vornix({"tidepool.cab", "broken.cab", "dup.cab", "other/TIDEPOOL.cab", "extract", "out"}, dir.path());
  EXPECT_EQ(r.exitCode, 1) << "a failure outweighs the repeated name";
  EXPECT_EQ(r.err,
            "vornix: broken.cab : no setup description found (not a Windows CE package)\n"
            "vornix: dup.cab: 1 duplicates have not been renamed !\n"
            "vornix: dup.cab: Duplicates (1) :\n\nSETUP.DLL\n");
  const Names tidepool = ListTree(dir / "out/tidepool");
  EXPECT_EQ(tidepool.size(), 6u);
  EXPECT_EQ(ListTree(dir / "out/TIDEPOOL-2"), tidepool);
  EXPECT_FALSE(fs::exists(dir / "out/broken"));
  EXPECT_TRUE(fs::exists(dir / "out/dup/Dup.inf"));

  // Without a failure the repeated name decides; inf too takes several packages.
  r = Vornix({"tidepool.cab", "dup.cab", "INF"}, dir.path());
  EXPECT_EQ(r.exitCode, 222) << r.err;
  EXPECT_TRUE(fs::exists(dir / "tidepool.inf"));
  EXPECT_TRUE(fs::exists(dir / "dup.inf"));
  r = Vornix({"tidepool.cab", "dup.cab", "verify"}, dir.path());
  EXPECT_EQ(r.exitCode, 2);
}

// The packages are extracted side by side: the big first one ends last, yet
// what each says comes out in the packages' order.
TEST_F(SeveralPackages, SideBySideEachSpeaksInItsTurn) {
  ASSERT_TRUE(testing::BigDemoPackage(300, 8 << 20).writeTo(dir / "big.cab"));
  const ProcessResult r =
      Vornix({"--verbose", "big.cab", "dup.cab", "broken.cab", "tidepool.cab", "extract", "out"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err,
            "vornix: dup.cab: 1 duplicates have not been renamed !\n"
            "vornix: dup.cab: Duplicates (1) :\n\nSETUP.DLL\n"
            "vornix: broken.cab : no setup description found (not a Windows CE package)\n");
  // Each listed file under its package's subfolder, one package after the other.
  Names order;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    const std::string package = line.substr(0, line.find('/'));
    if (order.empty() || order.back() != package) order.push_back(package);
  }
  EXPECT_EQ(order, (Names{"big", "dup", "tidepool"})) << r.out;
  EXPECT_EQ(ListTree(dir / "out/big").size(), 301u);
}

}  // namespace
}  // namespace vornix
