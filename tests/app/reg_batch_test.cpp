// `vornix PACKAGE reg`: the file lands beside the package under the
// application's name, in the form asked for, also for a cabinet inside
// another file, for a package described only by "_setup.xml", and never
// through a link left in its place.
#include <gtest/gtest.h>

#include "helpers/cab_builder.h"
#include "helpers/cab_signer.h"
#include "helpers/demo_package.h"
#include "helpers/run_process.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

using testing::ProcessResult;
using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

using testing::Vornix;

TEST(RegBatch, WritesTheApplicationsRegFileBesideThePackage) {
  TempDir dir;
  fs::create_directory(dir / "in");
  ASSERT_TRUE(testing::DemoPackage().writeTo(dir / "in" / "demo.cab"));
  ProcessResult r = Vornix({"in/demo.cab", "REG"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string wide = ReadAll(dir / "in" / "Tidepool.reg");
  const std::string head("\xFF\xFEW\0i\0n\0", 8);
  EXPECT_EQ(wide.substr(0, head.size()), head);

  r = Vornix({"in/demo.cab", "reg", "--regedit4"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadAll(dir / "in" / "Tidepool.reg"),
            "REGEDIT4\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Vornix Samples\\Tidepool]\r\n"
            "\"Version\"=dword:00000003\r\n"
            "\"Path\"=\"\\\\Program Files\\\\Vornix Samples Tidepool\\\\tides.dat\"\r\n"
            "\"Ports\"=hex(7):43,4f,4d,31,3a,00,43,4f,4d,32,3a,00,00\r\n"
            "\r\n");

  r = Vornix({"in/demo.cab", "reg", "--regedit5"}, dir.path());
  EXPECT_EQ(r.exitCode, 2);
}

TEST(RegBatch, ReplacesALinkInsteadOfWritingThroughIt) {
  TempDir dir;
  ASSERT_TRUE(testing::DemoPackage().writeTo(dir / "demo.cab"));
  WriteAll(dir / "precious", "keep");
  fs::create_symlink(dir / "precious", dir / "Tidepool.reg");
  const ProcessResult r = Vornix({"demo.cab", "reg", "--regedit4"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadAll(dir / "precious"), "keep");
  EXPECT_FALSE(fs::is_symlink(dir / "Tidepool.reg"));
  EXPECT_EQ(ReadAll(dir / "Tidepool.reg").substr(0, 10), "REGEDIT4\r\n");
}

TEST(RegBatch, ACabinetInsideAnotherFileWritesBesideThatFile) {
  TempDir dir;
  WriteAll(dir / "setup.exe", testing::ProgramStub(4096, 3) + testing::DemoPackage().bytes());
  const ProcessResult r = Vornix({"setup.exe#1", "reg", "--regedit4"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadAll(dir / "Tidepool.reg").substr(0, 10), "REGEDIT4\r\n");
}

TEST(RegBatch, APackageDescribedOnlyByXmlWritesItsValues) {
  TempDir dir;
  testing::CabBuilder cab;
  cab.folder(testing::CabCompression::MSZIP)
      .add("PEBBLE~1.001", "program")
      .add("_setup.xml",
           "<wap-provisioningdoc><characteristic type=\"Install\"><parm name=\"AppName\" value=\"Pebble\"/>"
           "<parm name=\"InstallDir\" value=\"%CE1%\\Pebble\"/></characteristic>"
           "<characteristic type=\"Registry\"><characteristic type=\"HKLM\\Software\\Pebble\">"
           "<parm name=\"Size\" value=\"3\" datatype=\"integer\"/>"
           "<parm name=\"Home\" value=\"%InstallDir%\" datatype=\"string\"/>"
           "</characteristic></characteristic></wap-provisioningdoc>");
  ASSERT_TRUE(cab.writeTo(dir / "pebble.cab"));
  const ProcessResult r = Vornix({"pebble.cab", "reg", "--regedit4"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadAll(dir / "Pebble.reg"),
            "REGEDIT4\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Pebble]\r\n"
            "\"Size\"=dword:00000003\r\n"
            "\"Home\"=\"\\\\Program Files\\\\Pebble\"\r\n"
            "\r\n");
}

}  // namespace
}  // namespace vornix
