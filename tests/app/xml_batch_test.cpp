// The batch jobs on packages described by "_setup.xml", and the theme jobs,
// run through the vornix binary as a script would.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "helpers/cab_builder.h"
#include "helpers/run_process.h"
#include "helpers/setup_builder.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

using testing::ListTree;
using testing::ProcessResult;
using testing::ReadAll;
using testing::TempDir;
using Names = std::vector<std::string>;

using testing::Vornix;

const char kSetupXml[] = R"(<?xml version="1.0"?>
<wap-provisioningdoc>
  <characteristic type="Install">
    <parm name="AppName" value="Pebble"/>
    <parm name="InstallDir" value="%CE1%\Pebble" translation="install"/>
    <parm name="BuildNumberMax" value="2684354560"/>
  </characteristic>
  <characteristic type="FileOperation">
    <characteristic type="%InstallDir%" translation="install">
      <characteristic type="MakeDir"/>
      <characteristic type="Pebble.exe" translation="install">
        <characteristic type="Extract"><parm name="Source" value="PEBBLE~1.001"/></characteristic>
      </characteristic>
    </characteristic>
  </characteristic>
  <characteristic type="Registry">
    <characteristic type="HKLM\Software\Pebble"><parm name="Size" value="3" datatype="integer"/></characteristic>
  </characteristic>
</wap-provisioningdoc>
)";

const char kThemeXml[] = R"(<wap-provisioningdoc>
  <characteristic type="Install"><parm name="AppName" value="Dusk"/><parm name="ProcessorType" value="2577"/>
    <parm name="OSVersionMin" value="4.0"/><parm name="OSVersionMax" value="100.0"/></characteristic>
  <characteristic type="FileOperation"><characteristic type="%CE2%" translation="install">
    <characteristic type="MakeDir"/>
    <characteristic type="stwater.jpg" translation="install">
      <characteristic type="Extract"><parm name="Source" value="STWATE~1.001"/></characteristic></characteristic>
  </characteristic></characteristic>
  <characteristic type="Registry"><characteristic type="HKCU\Software\Microsoft\Today">
    <parm name="UseStartImage" value="1" datatype="integer"/></characteristic></characteristic>
</wap-provisioningdoc>)";

class XmlBatchTest : public ::testing::Test {
 protected:
  TempDir dir;
  void write(const std::string& name, const std::string& xml, bool withSetupFile = false) {
    testing::CabBuilder cab;
    cab.folder(testing::CabCompression::MSZIP).add("PEBBLE~1.001", "pebble program").add("SETUP~1.999", "dll");
    if (withSetupFile) {
      testing::SetupRecipe desc = testing::DemoApplication();
      cab.add("PEBBLE.000", testing::BuildSetupFile(desc));
    }
    cab.add("_setup.xml", xml);
    ASSERT_TRUE(cab.writeTo(dir / name));
  }
};

TEST_F(XmlBatchTest, InfOfAnXmlPackage) {
  write("pebble.cab", kSetupXml);
  const ProcessResult r = Vornix({"pebble.cab", "inf"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const std::string inf = ReadAll(dir / "pebble.inf");
  EXPECT_EQ(inf.substr(0, 11), "[Version]\r\n");
  EXPECT_NE(inf.find("\r\nAppname = \"Pebble\"\r\nInstallDir = \"%CE1%\\%AppName%\"\r\n"), std::string::npos) << inf;
  EXPECT_NE(inf.find("\r\nBuildMax = 2684354560; Support square screen\r\n"), std::string::npos) << inf;
  EXPECT_NE(inf.find("\r\nCESetupDLL = \"SETUP~1.dll\"\r\n"), std::string::npos) << inf;
  EXPECT_NE(inf.find("\r\nHKLM,%reg_path00%,Size,0x00010001,3\r\n"), std::string::npos) << inf;
}

TEST_F(XmlBatchTest, ExtractOfAnXmlPackage) {
  write("pebble.cab", kSetupXml);
  const ProcessResult r = Vornix({"pebble.cab", "extract", "out"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ListTree(dir / "out"),
            (Names{"Pebble.inf", "Program Files/Pebble/Pebble.exe", "SETUP~1.dll", "_setup.xml"}));
  EXPECT_EQ(ReadAll(dir / "out/Program Files/Pebble/Pebble.exe"), "pebble program");
  EXPECT_EQ(ReadAll(dir / "out/_setup.xml"), kSetupXml);
  EXPECT_EQ(ReadAll(dir / "out/Pebble.inf"), [&] {
    Vornix({"pebble.cab", "inf"}, dir.path());
    return ReadAll(dir / "pebble.inf");
  }());
}

TEST_F(XmlBatchTest, JsonOfAnXmlPackageAndOfOneWithBothDescriptions) {
  write("pebble.cab", kSetupXml);
  ProcessResult r = Vornix({"--json", "pebble.cab"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["outcome"], "xml");
  ASSERT_TRUE(j["xml"].is_object());
  EXPECT_FALSE(j["xml"].contains("error"));
  EXPECT_EQ(j["xml"]["app_name"], "Pebble");
  EXPECT_EQ(j["xml"]["registry"][0], (nlohmann::json{{"root", "HKLM"},
                                                     {"key", "Software\\Pebble"},
                                                     {"name", "Size"},
                                                     {"type", "REG_DWORD"},
                                                     {"datatype", "integer"},
                                                     {"data", 3}}));
  EXPECT_EQ(j["xml"]["inf_lines"][0], "[Version]");
  EXPECT_EQ(j["setup"], nullptr);

  write("both.cab", kSetupXml, true);
  r = Vornix({"--json", "both.cab"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["outcome"], "setup");
  EXPECT_TRUE(j["setup"].is_object());
  ASSERT_TRUE(j["xml"].is_object());
  EXPECT_EQ(j["xml"]["app_name"], "Pebble");

  // Texts reach JSON as UTF-8, whatever the model's code page.
  write("accent.cab",
        "<wap-provisioningdoc><characteristic type=\"Install\">"
        "<parm name=\"AppName\" value=\"Caf\xC3\xA9 \xE2\x82\xAC\"/></characteristic></wap-provisioningdoc>");
  r = Vornix({"--json", "accent.cab"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["xml"]["app_name"], "Caf\xC3\xA9 \xE2\x82\xAC");
}

TEST_F(XmlBatchTest, JsonGivesRegistryValuesAndParametersTheirTypes) {
  write("values.cab", R"(<wap-provisioningdoc>
  <characteristic type="FileOperation"><characteristic type="%CE2%" translation="install">
    <characteristic type="MakeDir"/>
    <characteristic type="Pebble.exe" translation="install">
      <characteristic type="Extract"><parm name="Source" value="PEBBLE~1.001"/><parm name="SelfRegister"/></characteristic>
    </characteristic></characteristic></characteristic>
  <characteristic type="Registry"><characteristic type="HKCU\Software\Pebble">
    <parm name="Odd" value="three" datatype="integer"/><parm name="Blob" value="AQL/" datatype="binary"/>
    <parm name="List" value="a&#xF000;b" datatype="multiplestring"/><parm name="One" value="c" datatype="multiplestring"/>
  </characteristic></characteristic></wap-provisioningdoc>)");
  const ProcessResult r = Vornix({"--json", "values.cab"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json x = nlohmann::json::parse(r.out)["xml"];
  EXPECT_EQ(x["registry"][0]["data"], "three");  // not a number: kept as written
  EXPECT_EQ(x["registry"][1]["data"], "0102ff");
  EXPECT_EQ(x["registry"][2]["data"], nlohmann::json::array({"a", "b"}));
  EXPECT_EQ(x["registry"][3]["data"], nlohmann::json::array({"c"}));
  const nlohmann::json& file = x["files"][0];
  EXPECT_EQ(file["device_folder"], "\\Windows");
  EXPECT_EQ(file["size"], 14);
  EXPECT_EQ(file["self_register"], true);
  EXPECT_EQ(file["parameters"], nlohmann::json::parse(R"([{"name": "SelfRegister"}])"));
  EXPECT_EQ(x["setup_dll"]["stored_name"], "SETUP~1.999");
}

TEST_F(XmlBatchTest, MalformedXmlIsReportedWithLineAndColumn) {
  write("broken.cab", "<wap-provisioningdoc>\n<characteristic type=\"Install\">\n</wap-provisioningdoc>");
  const ProcessResult r = Vornix({"broken.cab", "inf"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("line 3"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir / "broken.inf"));
}

TEST_F(XmlBatchTest, ThemeJsonWritesNothingElse) {
  testing::CabBuilder cab;
  cab.add("STWATE~1.001", "jpeg").add("_setup.xml", kThemeXml);
  ASSERT_TRUE(cab.writeTo(dir / "dusk.tsk"));
  const ProcessResult r = Vornix({"--theme-json", "dusk.tsk"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["app_name"], "Dusk");
  EXPECT_EQ(j["processor"], 2577);
  EXPECT_EQ(j["os_version_min"], nlohmann::json::array({4, 0}));
  EXPECT_EQ(j["os_version_max"], nlohmann::json::array({100, 0}));
  EXPECT_EQ(j["build_min"], nullptr);  // the description gives none
  EXPECT_EQ(j["resolution"], (nlohmann::json{{"class", 1}, {"label", "Std + USI"}}));
  EXPECT_EQ(j["use_start_image"], true);
  EXPECT_EQ(j["images"]["start_portrait"]["stored_name"], "STWATE~1.001");
  EXPECT_EQ(ListTree(dir.path()), (Names{"dusk.tsk"}));
}

TEST_F(XmlBatchTest, ThemeConvertPrintsTheOtherFormat) {
  testing::CabBuilder xmlTheme;
  xmlTheme.add("STWATE~1.001", "jpeg").add("_setup.xml", kThemeXml);
  ASSERT_TRUE(xmlTheme.writeTo(dir / "dusk.tsk"));
  ProcessResult r = Vornix({"--theme-convert", "dusk.tsk"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, 10), "[Version]\n");
  EXPECT_NE(r.out.find("\nAppname = Dusk\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nHKCU,%reg_path01%,UseStartImage,0x00010001,1\n"), std::string::npos) << r.out;

  testing::SetupRecipe desc;
  desc.AppName = "Noon";
  desc.Strings = {{1, "%CE2%"}};
  desc.Dirs = {{1, {1}}};
  desc.Files = {{1, 1, 0, 0, "tdywater.png"}, {2, 1, 0, 0, "stwater.png"}};
  testing::CabBuilder setupTheme;
  setupTheme.add("TDYWAT~1.001", "png").add("STWATE~1.002", "png").add("NOON.000", testing::BuildSetupFile(desc));
  ASSERT_TRUE(setupTheme.writeTo(dir / "noon.tsk"));
  r = Vornix({"--theme-convert", "noon.tsk"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, 22), "<wap-provisioningdoc>\n");
  EXPECT_NE(r.out.find("\t\t<parm name=\"AppName\" value=\"Noon\"/>\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\t\t\t\t\t<parm name=\"Source\" value=\"TDYWAT~1.001\"/>\n"), std::string::npos) << r.out;

  // A package that is no theme: nothing printed, a reason on stderr.
  testing::CabBuilder plain;
  plain.add("readme.txt", "hello");
  ASSERT_TRUE(plain.writeTo(dir / "plain.tsk"));
  r = Vornix({"--theme-convert", "plain.tsk"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("not a theme"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace vornix
