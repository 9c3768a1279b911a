// The batch executable: it starts without the window's libraries, hands a
// command line without a batch word to the window's executable, and loads the
// signature reader only for a signed cabinet. Each test runs a copy of it in
// an install-like tree of its own: DIR/bin/vornix.
#include <gtest/gtest.h>

#include "helpers/cab_signer.h"
#include "helpers/demo_package.h"
#include "helpers/run_process.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

using testing::ProcessResult;
using testing::TempDir;
using testing::WriteAll;

class InstalledCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::canonical(dir.path());
    fs::create_directories(root / "bin");
    vornix = root / "bin" / "vornix";
    fs::copy_file(VORNIX_BINARY, vornix);
  }
  ProcessResult Run(const std::vector<std::string>& args) const { return testing::RunProcess(vornix, args, root); }
  // Where an install keeps the window's executable and the signature module.
  fs::path libexec() const { return (root / "bin" / VORNIX_LIBEXEC_FROM_BIN).lexically_normal(); }

  TempDir dir;
  fs::path root, vornix;
};

TEST(BatchExecutable, LinksNeitherQtNorOpenSsl) {
  const ProcessResult ldd = testing::RunProcess("/usr/bin/ldd", {VORNIX_BINARY});
  ASSERT_EQ(ldd.exitCode, 0) << ldd.err;
  EXPECT_NE(ldd.out.find("libc.so"), std::string::npos) << ldd.out;
  EXPECT_EQ(ldd.out.find("libQt"), std::string::npos) << ldd.out;
  EXPECT_EQ(ldd.out.find("libcrypto"), std::string::npos) << ldd.out;
}

TEST_F(InstalledCopy, WithoutABatchWordTheWindowsExecutableTakesOver) {
  ProcessResult r = Run({"tidepool.cab"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "vornix: the window is not installed (no vornix-gui in " + (root / "bin").string() + " or " +
                       libexec().string() + "); the batch jobs run without it: see vornix --help\n");

  // It gets the command line and gives back its exit code.
  fs::create_directories(libexec());
  WriteAll(libexec() / "vornix-gui", "#!/bin/sh\necho \"$#:$*\"\nexit 7\n");
  fs::permissions(libexec() / "vornix-gui", fs::perms::owner_all);
  r = Run({"tidepool.cab"});
  EXPECT_EQ(r.exitCode, 7) << r.err;
  EXPECT_EQ(r.out, "1:tidepool.cab\n");
  r = Run({});
  EXPECT_EQ(r.exitCode, 7) << r.err;
  EXPECT_EQ(r.out, "0:\n");

  // Batch command lines never reach it.
  r = Run({"--version"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "vornix " VORNIX_VERSION "\n");
  r = Run({"a.cab", "b.cab"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "");
}

TEST_F(InstalledCopy, SignatureReaderIsLoadedOnlyForASignedCabinet) {
  ASSERT_TRUE(testing::DemoPackage().writeTo(root / "plain.cab"));
  testing::CabBuilder b = testing::DemoPackage();
  testing::ReserveForSigning(b, 64);
  WriteAll(root / "signed.cab", testing::SignCabinet(b.bytes()).bytes);

  ProcessResult r = Run({"plain.cab", "verify"});
  EXPECT_EQ(r.exitCode, 3) << r.err;
  EXPECT_EQ(r.out, "Not signed.\n");
  r = Run({"signed.cab", "verify"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err,
            "vornix: signed.cab : the signature was not checked: the signature reader is not installed "
            "(no vornix-signature.so in " +
                (root / "bin").string() + " or " + libexec().string() + ")\n");

  fs::create_directories(libexec());
  fs::copy_file(VORNIX_SIGNATURE_MODULE, libexec() / "vornix-signature.so");
  r = Run({"signed.cab", "verify"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Signed and intact: the cabinet is the one that was signed.");
}

}  // namespace
}  // namespace vornix
