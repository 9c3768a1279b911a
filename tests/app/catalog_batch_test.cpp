// `vornix --catalog`: a tree of made packages, a broken one, an installer
// holding two cabinets and a link that loops, catalogued on one worker and
// on two.
#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "helpers/cab_signer.h"
#include "helpers/demo_package.h"
#include "helpers/demo_theme.h"
#include "helpers/run_process.h"
#include "helpers/setup_builder.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

using testing::ProcessResult;
using testing::TempDir;
using testing::WriteAll;

class CatalogBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir / "tree/apps/old");
    fs::create_directories(dir / "tree/themes");
    ASSERT_TRUE(testing::DemoPackage().writeTo(dir / "tree/apps/demo.cab"));
    WriteAll(dir / "tree/apps/old/setup.000", testing::BuildSetupFile(testing::DemoApplication()));
    ASSERT_TRUE(testing::DemoTheme().writeTo(dir / "tree/themes/Blue.tsk"));
    WriteAll(dir / "tree/apps/broken.CAB", "MSCF but nothing more");
    testing::CabBuilder toSign = testing::DemoPackage();
    testing::ReserveForSigning(toSign, 64);
    WriteAll(dir / "tree/setup.exe", testing::ProgramStub(4096, 5) + testing::DemoPackage().bytes() +
                                         testing::SignCabinet(toSign.bytes()).bytes);
    WriteAll(dir / "tree/readme.txt", "not a package");
    fs::create_directory_symlink("../..", dir / "tree/apps/old/back");
    fs::create_symlink("demo.cab", dir / "tree/apps/zz-link.cab");  // the same package again
  }

  ProcessResult Catalog(std::vector<std::string> extra) {
    extra.insert(extra.begin(), {"--catalog", "tree"});
    return testing::RunProcess(VORNIX_BINARY, extra, dir.path());
  }

  TempDir dir;
};

std::vector<nlohmann::json> Lines(const std::string& out) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

TEST_F(CatalogBatch, EveryPackageOnceInPathOrderWhateverTheWorkers) {
  const auto before = testing::ListTree(dir / "tree");
  const ProcessResult one = Catalog({"--jobs", "1"});
  const ProcessResult two = Catalog({"--jobs", "2"});
  EXPECT_EQ(one.exitCode, 1);  // the broken package
  EXPECT_EQ(one.out, two.out);
  EXPECT_EQ(one.err, "vornix: tree/apps/old/back : a link to a folder already walked (a loop); passed over\n");
  // Nothing written beside the packages.
  EXPECT_EQ(testing::ListTree(dir / "tree"), before);

  const std::vector<nlohmann::json> lines = Lines(one.out);
  std::vector<std::string> paths;
  for (const auto& j : lines) paths.push_back(j["path"]);
  EXPECT_EQ(paths, (std::vector<std::string>{"tree/apps/broken.CAB", "tree/apps/demo.cab", "tree/apps/old/setup.000",
                                             "tree/setup.exe#1", "tree/setup.exe#2", "tree/themes/Blue.tsk"}));
  EXPECT_EQ(lines[0]["error"],
            "Extract Files error: tree/apps/broken.CAB : the cabinet's header is damaged or cut short (read error)")
      << lines[0];
  EXPECT_TRUE(lines[0]["application"].is_null());

  const nlohmann::json& demo = lines[1];
  EXPECT_TRUE(demo["error"].is_null()) << demo;
  EXPECT_EQ(demo["application"], "Tidepool");
  EXPECT_EQ(demo["provider"], "Vornix Samples");
  EXPECT_EQ(demo["description"], ".000");
  EXPECT_EQ(demo["ce_min"], "4.20");
  EXPECT_EQ(demo["signature"], "not signed");
  EXPECT_EQ(demo["setup_dll"], "TIDEPO~1.999");
  EXPECT_EQ(demo["sha256"].get<std::string>().size(), 64u);
  EXPECT_EQ(lines[3]["sha256"], demo["sha256"]);  // the same cabinet inside the installer
  EXPECT_TRUE(lines[2]["signature"].is_null());   // a bare description has none
  EXPECT_TRUE(lines[2]["total_size"].is_null());
  EXPECT_EQ(lines[4]["signature"], "intact");
  EXPECT_EQ(lines[4]["signer"], "Vornix Test Signer");
  EXPECT_EQ(lines[5]["description"], "_setup.xml");
}

TEST_F(CatalogBatch, CsvHasTheSameFieldsAsATable) {
  const ProcessResult csv = Catalog({"--csv", "--jobs", "2"});
  std::istringstream in(csv.out);
  std::vector<std::string> rows;
  for (std::string row; std::getline(in, row);) rows.push_back(row);
  ASSERT_EQ(rows.size(), 7u) << csv.out;
  EXPECT_EQ(rows[0],
            "path,sha256,bytes,description,application,provider,processor,ce_min,ce_max,files,folders,"
            "registry_values,shortcuts,total_size,signature,signer,setup_dll,duplicates,error\r");
  EXPECT_EQ(rows[2].substr(0, rows[2].find(',')), "tree/apps/demo.cab");
  EXPECT_NE(rows[2].find(",Tidepool,Vornix Samples,"), std::string::npos) << rows[2];
}

TEST_F(CatalogBatch, AnUnreadableFolderIsSaidAndTheWalkGoesOn) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every folder";
  fs::create_directory(dir / "tree/locked");
  fs::permissions(dir / "tree/locked", fs::perms::none);
  const ProcessResult r = Catalog({});
  fs::permissions(dir / "tree/locked", fs::perms::owner_all);
  EXPECT_NE(r.err.find("vornix: tree/locked : folder cannot be read (Permission denied); the walk goes on\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(Lines(r.out).size(), 6u);
}

TEST(CatalogBatchUsage, NeedsAFolderAndAWorkerCount) {
  TempDir dir;
  EXPECT_EQ(testing::RunProcess(VORNIX_BINARY, {"--catalog"}, dir.path()).exitCode, 2);
  EXPECT_EQ(testing::RunProcess(VORNIX_BINARY, {"--catalog", ".", "--jobs", "0"}, dir.path()).exitCode, 2);
  const ProcessResult r = testing::RunProcess(VORNIX_BINARY, {"--catalog", "missing"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "vornix: missing : no such folder\n");
}

}  // namespace
}  // namespace vornix
