// The batch jobs on cabinets as files: `verify`, `--scan` and FILE#N, run as
// a script would run them, on cabinets and installers the builders make.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

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

testing::SignedCabinet SignedDemo() {
  testing::CabBuilder b = testing::DemoPackage();
  testing::ReserveForSigning(b, 64);
  return testing::SignCabinet(b.bytes());
}

TEST(VerifyBatch, ExitCodesTellIntactChangedUnsignedAndUnreadableApart) {
  TempDir dir;
  const testing::SignedCabinet signed_ = SignedDemo();
  WriteAll(dir / "signed.cab", signed_.bytes);
  ProcessResult r = Vornix({"signed.cab", "VERIFY"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Signed and intact: the cabinet is the one that was signed.");
  EXPECT_NE(r.out.find("\nSigner:  CN=Vornix Test Signer, O=Vornix Tests\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nChain:   self-signed\n"), std::string::npos) << r.out;

  std::string changed = signed_.bytes;
  changed[signed_.blobOffset - 100] ^= 0x10;
  WriteAll(dir / "changed.cab", changed);
  r = Vornix({"changed.cab", "verify"}, dir.path());
  EXPECT_EQ(r.exitCode, 4);
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
            "Signed, but changed: the cabinet's bytes are not the bytes that were signed.");

  ASSERT_TRUE(testing::DemoPackage().writeTo(dir / "plain.cab"));
  r = Vornix({"plain.cab", "verify"}, dir.path());
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, "Not signed.\n");

  WriteAll(dir / "bad.cab",
           signed_.bytes.substr(0, signed_.blobOffset) + std::string(signed_.bytes.size() - signed_.blobOffset, 'Z'));
  r = Vornix({"bad.cab", "verify"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "vornix: bad.cab : the signature area does not hold a PKCS#7 structure\n");
}

TEST(VerifyBatch, JsonCarriesTheSignature) {
  TempDir dir;
  WriteAll(dir / "signed.cab", SignedDemo().bytes);
  ProcessResult r = Vornix({"--json", "signed.cab"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["outcome"], "setup");  // the analysis is still there
  EXPECT_EQ(j["signature"]["state"], "intact");
  EXPECT_EQ(j["signature"]["signer"]["common_name"], "Vornix Test Signer");
  EXPECT_EQ(j["signature"]["content_matches"], true);
  EXPECT_EQ(j["signature"]["chain"], "self-signed");
}

class ScanBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    first = testing::DemoPackage().bytes();
    second = SignedDemo().bytes;
    WriteAll(dir / "setup.exe", testing::ProgramStub(4096, 7) + first + "MSCF, but not a cabinet" + second);
  }
  TempDir dir;
  std::string first, second;
};

TEST_F(ScanBatch, ListsEveryCabinetWithItsApplication) {
  const ProcessResult r = Vornix({"--scan", "setup.exe"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const size_t secondAt = 4096 + first.size() + 23;
  char expected[512];
  std::snprintf(expected, sizeof expected,
                "setup.exe: 2 cabinets (open one as setup.exe#N)\n"
                "#1 at 4096 (0x1000), %zu bytes, 1 folder, 6 files: Tidepool\n"
                "#2 at %zu (0x%zX), %zu bytes, 1 folder, 6 files, signed: Tidepool\n",
                first.size(), secondAt, secondAt, second.size());
  EXPECT_EQ(r.out, expected);
}

TEST_F(ScanBatch, BatchWordsOpenACabinetByItsIndex) {
  ProcessResult r = Vornix({"setup.exe#2", "inf"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  WriteAll(dir / "plain.cab", first);
  ASSERT_EQ(Vornix({"plain.cab", "inf"}, dir.path()).exitCode, 0);
  EXPECT_EQ(ReadAll(dir / "setup#2.inf"), ReadAll(dir / "plain.inf"));

  r = Vornix({"setup.exe#2", "verify"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  r = Vornix({"setup.exe#1", "verify"}, dir.path());
  EXPECT_EQ(r.exitCode, 3);

  r = Vornix({"setup.exe#1", "extract", "out"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir / "out/Tidepool.inf"));

  r = Vornix({"--json", "setup.exe#2"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(nlohmann::json::parse(r.out)["signature"]["state"], "intact");
  // The job runs on a private copy; what it says names the argument.
  EXPECT_EQ(nlohmann::json::parse(r.out)["package"], "setup.exe#2");

  r = Vornix({"setup.exe#3", "inf"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "vornix: setup.exe : holds 2 complete cabinet(s); there is no #3 (vornix --scan lists them)\n");
}

TEST(ScanBatchErrors, AFileWithoutCabinetsSaysSo) {
  TempDir dir;
  WriteAll(dir / "notes.txt", "MSCF is how a cabinet starts; this is not one.");
  const ProcessResult r = Vornix({"--scan", "notes.txt"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "vornix: notes.txt : no complete cabinet found\n");
}

}  // namespace
}  // namespace vornix
