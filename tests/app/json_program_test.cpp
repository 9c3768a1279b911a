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
  const testing::SetupSpec desc = testing::DemoApplication();
  testing::PeSpec exe;
  exe.Dll = false;
  exe.FileFlags = 0x02;
  testing::PeSpec data;
  data.Machine = 0x01C2;
  data.Strings = {{"CompanyName", "Vornix Samples"}, {"ProductName", "Tide data"}};
  testing::PeSpec setupDll;
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
  const nlohmann::json& files = j["Setup"]["Files"];
  ASSERT_EQ(files.size(), 4u);
  const nlohmann::json& program = files[0]["Program"];
  EXPECT_EQ(files[0]["Name"], "Tidepool.exe");  // the existing fields stay
  EXPECT_EQ(program["Pe"], true);
  EXPECT_EQ(program["Machine"], 0x01C0);
  EXPECT_EQ(program["MachineName"], "ARM");
  EXPECT_EQ(program["Dll"], false);
  EXPECT_EQ(program["SubsystemName"], "Windows CE GUI");
  EXPECT_EQ(program["SubsystemVersion"], "4.20");
  EXPECT_EQ(program["DotNet"], false);
  EXPECT_EQ(program["VersionText"], "1.2.3.4 Beta");
  EXPECT_EQ(program["FileVersion"], "1.2.3.4");
  EXPECT_EQ(program["ProductVersion"], "1.2.0.0");
  EXPECT_EQ(program["FileFlagNames"], nlohmann::json::array({"Prerelease"}));
  EXPECT_EQ(program["Strings"]["LegalCopyright"], "Copyright (C) 2009");
  EXPECT_EQ(program["StringTable"], "040904B0");

  EXPECT_EQ(files[1]["Name"], "tides.dat");
  EXPECT_EQ(files[1]["Program"]["MachineName"], "THUMB");
  EXPECT_EQ(files[1]["Program"]["Strings"],
            nlohmann::json({{"CompanyName", "Vornix Samples"}, {"ProductName", "Tide data"}}));
  EXPECT_FALSE(files[2].contains("Program"));  // Read me.txt
  EXPECT_EQ(files[3]["Program"], nlohmann::json({{"Pe", false}, {"Message", "the DOS header runs past the end"}}));

  const nlohmann::json& dll = j["Setup"]["SetupDll"]["Program"];
  EXPECT_EQ(dll["MachineName"], "SH3");
  EXPECT_EQ(dll["VersionResource"], "absent");
  EXPECT_EQ(dll["VersionText"], "");
  EXPECT_FALSE(dll.contains("FileVersion"));
}

TEST(JsonProgramFacts, SampleWithDotNetAssemblyAndXmlFileList) {
  const fs::path sample = fs::path(VORNIX_SAMPLES_DIR) / "032_SmartDeviceCab1.CAB";
  if (!fs::exists(sample)) GTEST_SKIP() << "no sample 032";
  TempDir dir;
  fs::copy_file(sample, dir / "package.cab");
  const nlohmann::json j = JsonOf("package.cab", dir.path());
  int dotNet = 0, xmlPrograms = 0;
  for (const auto& f : j["Setup"]["Files"]) dotNet += f.contains("Program") && f["Program"]["DotNet"] == true;
  for (const auto& f : j["Xml"]["Files"]) xmlPrograms += f.contains("Program");
  EXPECT_GT(dotNet, 0);
  EXPECT_GT(xmlPrograms, 0);
}

}  // namespace
}  // namespace vornix
