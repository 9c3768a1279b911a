// What `vornix --json` and `--theme-json` print for packages of every kind the
// builders make, checked against the schemas in docs/ by
// tests/json_schema_check.py (the real samples have a ctest of their own).
#include <gtest/gtest.h>

#include "helpers/cab_signer.h"
#include "helpers/demo_package.h"
#include "helpers/demo_theme.h"
#include "helpers/pe_builder.h"
#include "helpers/run_process.h"
#include "helpers/setup_builder.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

using testing::CabBuilder;
using testing::TempDir;

// Every registry datatype, one that is not what it says, and a setup DLL.
const char kXml[] = R"(<wap-provisioningdoc>
  <characteristic type="Install"><parm name="AppName" value="Pebble"/>
    <parm name="InstallDir" value="%CE1%\Pebble" translation="install"/></characteristic>
  <characteristic type="FileOperation"><characteristic type="%InstallDir%" translation="install">
    <characteristic type="MakeDir"/>
    <characteristic type="Pebble.exe" translation="install">
      <characteristic type="Extract"><parm name="Source" value="PEBBLE~1.001"/>
        <parm name="SelfRegister"/></characteristic></characteristic>
  </characteristic></characteristic>
  <characteristic type="Registry"><characteristic type="HKLM\Software\Pebble">
    <parm name="Size" value="3" datatype="integer"/><parm name="Odd" value="three" datatype="integer"/>
    <parm name="Blob" value="AQID" datatype="binary"/><parm name="Name" value="Pebble" datatype="string"/>
    <parm name="List" value="a&#xF000;b" datatype="multiplestring"/></characteristic></characteristic>
</wap-provisioningdoc>)";

TEST(JsonSchema, DocumentsOfGeneratedPackagesMatchTheSchemas) {
  TempDir dir;
  const fs::path in = dir / "packages";
  fs::create_directories(in);
  ASSERT_TRUE(testing::DemoPackage().writeTo(in / "tidepool.cab"));
  ASSERT_TRUE(testing::DemoTheme().writeTo(in / "sunset.tsk"));
  testing::WriteAll(in / "tidepool.000", testing::BuildSetupFile(testing::DemoApplication()));
  testing::WriteAll(in / "rejected.000", "MSCE but nothing after it");
  testing::WriteAll(in / "broken.cab", "not a cabinet at all");
  CabBuilder signable = testing::DemoPackage();
  testing::ReserveForSigning(signable, 64);
  testing::WriteAll(in / "signed.cab", testing::SignCabinet(signable.bytes()).bytes);

  // A program file in place of the demo's program, and both descriptions.
  const testing::SetupRecipe desc = testing::DemoApplication();
  CabBuilder both;
  for (const auto& f : desc.Files)
    both.add(testing::StoredNameFor(f),
             f.Name == "Tidepool.exe" ? testing::BuildPe({}).bytes : testing::DemoFileData(f));
  both.add(testing::kDemoSetupName, testing::BuildSetupFile(desc)).add("_setup.xml", kXml);
  ASSERT_TRUE(both.writeTo(in / "both.cab"));

  CabBuilder xml;
  xml.add("PEBBLE~1.001", testing::BuildPe({}).bytes).add("SETUP~1.999", "dll").add("_setup.xml", kXml);
  ASSERT_TRUE(xml.writeTo(in / "pebble.cab"));
  CabBuilder badXml;
  badXml.add("PEBBLE~1.001", "x").add("_setup.xml", "<wap-provisioningdoc><characteristic>");
  ASSERT_TRUE(badXml.writeTo(in / "badxml.cab"));

  // A theme described by a .000 file.
  testing::SetupRecipe noon;
  noon.AppName = "Noon";
  noon.Strings = {{1, "%CE2%"}};
  noon.Dirs = {{1, {1}}};
  noon.Files = {{1, 1, 0, 0, "tdywater.png"}, {2, 1, 0, 0, "stwater.png"}};
  CabBuilder noonTheme;
  noonTheme.add("TDYWAT~1.001", "png").add("STWATE~1.002", "png").add("NOON.000", testing::BuildSetupFile(noon));
  ASSERT_TRUE(noonTheme.writeTo(in / "noon.tsk"));

  const testing::ProcessResult r =
      testing::RunProcess(VORNIX_PYTHON3, {VORNIX_SOURCE_DIR "/tests/json_schema_check.py", VORNIX_BINARY,
                                           VORNIX_SOURCE_DIR "/docs", in.string(), (dir / "missing.cab").string()});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("24 documents of 11 packages checked, 0 failure(s)"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace vornix
