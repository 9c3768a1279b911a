// `vornix --json` gives each program file of the package its PE facts.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "helpers/demo_package.h"
#include "helpers/pe_builder.h"
#include "helpers/run_process.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

using testing::ProcessResult;
using testing::TempDir;

nlohmann::json JsonOf(const fs::path& package, const fs::path& cwd) {
  const ProcessResult r = testing::RunProcess(VORNIX_BINARY, {"--json", package.string()}, cwd);
  EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 222) << r.err;  // 222: a name repeats
  return nlohmann::json::parse(r.out);
}

TEST(JsonProgramFacts, EveryPeFileOfThePackageCarriesItsFacts) {
  // The demo application's files with program files in place of some texts:
  // an ARM beta program, a data file that is a THUMB DLL, a ".dll" that is
  // not a PE file and a setup DLL without version resource.
  const testing::SetupRecipe desc = testing::DemoApplication();
  testing::PeRecipe exe;
  exe.Dll = false;
  exe.FileFlags = 0x02;
  testing::PeRecipe data;
  data.Machine = 0x01C2;
  data.Strings = {{"CompanyName", "Vornix Samples"}, {"ProductName", "Tide data"}};
  testing::PeRecipe setupDll;
  setupDll.Machine = 0x01A2;
  setupDll.WithVersion = false;

  testing::CabBuilder cab;
  cab.folder(testing::CabCompression::MSZIP);
  cab.add(testing::kDemoSetupDllName, testing::BuildPe(setupDll).bytes);
  for (const auto& f : desc.Files) {
    std::string bytes = testing::DemoFileData(f);
    if (f.Name == "Tidepool.exe") bytes = testing::BuildPe(exe).bytes;
    if (f.Name == "tides.dat") bytes = testing::BuildPe(data).bytes;
    if (f.Name == "tpshell.dll") bytes = "MZ, but no more of a program than this";
    cab.add(testing::StoredNameFor(f), bytes);
  }
  cab.add(testing::kDemoSetupName, testing::BuildSetupFile(desc));
  TempDir dir;
  ASSERT_TRUE(cab.writeTo(dir / "tides.cab"));

  const nlohmann::json j = JsonOf("tides.cab", dir.path());
  const nlohmann::json& files = j["setup"]["files"];
  ASSERT_EQ(files.size(), 4u);
  const nlohmann::json& program = files[0]["program"];
  EXPECT_EQ(files[0]["installed_name"], "Tidepool.exe");  // the file's own fields stay
  EXPECT_EQ(program["pe"], true);
  EXPECT_EQ(program["machine"], 0x01C0);
  EXPECT_EQ(program["machine_name"], "ARM");
  EXPECT_EQ(program["dll"], false);
  EXPECT_EQ(program["subsystem_name"], "Windows CE GUI");
  EXPECT_EQ(program["subsystem_version"], nlohmann::json::array({4, 20}));
  EXPECT_EQ(program["dotnet"], false);
  EXPECT_EQ(program["file_version"], nlohmann::json::array({1, 2, 3, 4}));
  EXPECT_EQ(program["product_version"], nlohmann::json::array({1, 2, 0, 0}));
  EXPECT_EQ(program["file_flag_names"], nlohmann::json::array({"Prerelease"}));
  EXPECT_EQ(program["version_strings"]["LegalCopyright"], "Copyright (C) 2009");
  EXPECT_EQ(program["string_table"], "040904B0");

  EXPECT_EQ(files[1]["installed_name"], "tides.dat");
  EXPECT_EQ(files[1]["program"]["machine_name"], "THUMB");
  EXPECT_EQ(files[1]["program"]["version_strings"],
            nlohmann::json({{"CompanyName", "Vornix Samples"}, {"ProductName", "Tide data"}}));
  EXPECT_FALSE(files[2].contains("program"));  // Read me.txt
  EXPECT_EQ(files[3]["program"], nlohmann::json({{"pe", false}, {"message", "the DOS header runs past the end"}}));

  const nlohmann::json& dll = j["setup"]["setup_dll"]["program"];
  EXPECT_EQ(dll["machine_name"], "SH3");
  EXPECT_EQ(dll["version_resource"], "absent");
  EXPECT_EQ(dll["file_version"], nullptr);
}

TEST(JsonProgramFacts, SampleWithDotNetAssemblyAndXmlFileList) {
  const fs::path sample = fs::path(VORNIX_SAMPLES_DIR) / "032_SmartDeviceCab1.CAB";
  if (!fs::exists(sample)) GTEST_SKIP() << "no sample 032";
  TempDir dir;
  fs::copy_file(sample, dir / "package.cab");
  const nlohmann::json j = JsonOf("package.cab", dir.path());
  int dotNet = 0, xmlPrograms = 0;
  for (const auto& f : j["setup"]["files"]) dotNet += f.contains("program") && f["program"]["dotnet"] == true;
  for (const auto& f : j["xml"]["files"]) xmlPrograms += f.contains("program");
  EXPECT_GT(dotNet, 0);
  EXPECT_GT(xmlPrograms, 0);
}

}  // namespace
}  // namespace vornix
