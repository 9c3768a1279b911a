// Batch jobs where the host or the package makes them fail: every failure is
// reported on stderr and in the exit code, and leaves no half-written file
// and no staging or temporary folder behind.
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "common/text.h"
#include "helpers/demo_package.h"
#include "helpers/host_states.h"
#include "helpers/run_process.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

using testing::ProcessResult;
using testing::ReadAll;
using testing::TempDir;
using Names = std::vector<std::string>;

using testing::Vornix;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Names directly in `folder` that start with `prefix`.
Names Leftovers(const fs::path& folder, const std::string& prefix) {
  Names found;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) == 0) found.push_back(name);
  }
  return found;
}

TEST(BatchFailures, AnInfThatCannotBeWrittenEndsWith1) {
  TempDir dir;
  testing::SetupRecipe s = testing::DemoApplication();
  s.AppName = std::string(300, 'n');  // no file system takes such a name
  ASSERT_TRUE(testing::PackageFor(s, "LONG~1.000", false).writeTo(dir / "long.cab"));
  const ProcessResult r = Vornix({"long.cab", "extract", "out"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.err, "The INF file could not be written : ")) << r.err;
  EXPECT_TRUE(Contains(r.err, " : File name too long")) << r.err;
  // The files written before the failure stay.
  EXPECT_TRUE(fs::exists(dir / "out/Program Files/Vornix Samples Tidepool/Tidepool.exe"));
}

// A disk with no room left: a small tmpfs filled up where the test may mount
// one, otherwise a limit on the size of the files the job writes.
TEST(BatchFailures, AFullDiskIsReportedAndLeavesTheEarlierInfWhole) {
  TempDir dir;
  const fs::path disk = dir / "disk";
  testing::TmpfsMount tmpfs(disk, 256 << 10);
  uint64_t limit = 0;
  if (tmpfs.mounted()) {
    ASSERT_TRUE(testing::DemoPackage().writeTo(disk / "tidepool.cab"));
    testing::WriteAll(disk / "tidepool.inf", "the earlier INF");
    // Whatever room is left goes to a filler file.
    FILE* filler = std::fopen((disk / "filler").c_str(), "wb");
    ASSERT_NE(filler, nullptr);
    const std::string block(4096, 'f');
    while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() && std::fflush(filler) == 0) {
    }
    std::fclose(filler);
  } else {
    fs::create_directories(disk);
    ASSERT_TRUE(testing::DemoPackage().writeTo(disk / "tidepool.cab"));
    testing::WriteAll(disk / "tidepool.inf", "the earlier INF");
    limit = 600;  // the INF and some entries are larger
  }
  const char* cause = tmpfs.mounted() ? "No space left on device" : "File too large";

  ProcessResult r = Vornix({"tidepool.cab", "inf"}, disk, limit);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.err, "tidepool.inf : cannot be written (" + std::string(cause) + ")")) << r.err;
  EXPECT_EQ(ReadAll(disk / "tidepool.inf"), "the earlier INF");
  EXPECT_EQ(Leftovers(disk, ".vornix"), Names{});

  r = Vornix({"tidepool.cab", "extract", "out"}, disk, limit);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.err, cause)) << r.err;
  EXPECT_FALSE(Contains(r.err, "duplicates")) << r.err;
  EXPECT_EQ(Leftovers(disk / "out", ".vornix"), Names{});
}

TEST(BatchFailures, JsonOfAFileThatIsNoPackageSaysWhyOnStderr) {
  TempDir dir;
  testing::WriteAll(dir / "text.cab", "not a cabinet at all");
  ProcessResult r = Vornix({"--json", "text.cab"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.err, "text.cab : no setup description found")) << r.err;
  nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["outcome"], "nothing");
  EXPECT_EQ(j["error"], "text.cab : no setup description found (not a Windows CE package)");
  EXPECT_EQ(j["exit_code"], 1);
  r = Vornix({"--theme-json", "text.cab"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.err, "text.cab : ")) << r.err;
  EXPECT_TRUE(Contains(nlohmann::json::parse(r.out)["error"].get<std::string>(), "text.cab : ")) << r.out;
  // A package that is not there still gets its document.
  r = Vornix({"--json", "gone.cab"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(nlohmann::json::parse(r.out), (nlohmann::json{{"format", "vornix-analysis"},
                                                          {"version", 1},
                                                          {"package", "gone.cab"},
                                                          {"error", "gone.cab : no such file"}}));
}

TEST(BatchFailures, DescriptionsStoredUnderAPathExtractAsTheyOpen) {
  TempDir dir;
  testing::SetupRecipe s;
  s.AppName = "Up";
  s.Strings = {{1, "%CE2%"}};
  s.Dirs = {{1, {1}}};
  s.Files = {{1, 1, 1, 0, "up.txt"}};
  testing::CabBuilder setup;
  setup.add("..\\UP~1.000", testing::BuildSetupFile(s)).add("UP~1.001", "up");
  ASSERT_TRUE(setup.writeTo(dir / "setup.cab"));
  ProcessResult r = Vornix({"setup.cab", "extract", "a"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(testing::ListTree(dir / "a"), (Names{"Up.inf", "Windows/up.txt"}));

  testing::CabBuilder xml;
  xml.add("UP~1.001", "up").add("..\\_setup.xml", R"(<wap-provisioningdoc>
  <characteristic type="Install"><parm name="AppName" value="Up"/></characteristic>
  <characteristic type="FileOperation"><characteristic type="%CE2%" translation="install">
    <characteristic type="MakeDir"/>
    <characteristic type="up.txt" translation="install">
      <characteristic type="Extract"><parm name="Source" value="UP~1.001"/></characteristic></characteristic>
  </characteristic></characteristic></wap-provisioningdoc>)");
  ASSERT_TRUE(xml.writeTo(dir / "xml.cab"));
  r = Vornix({"xml.cab", "extract", "b"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(testing::ListTree(dir / "b"), (Names{"Up.inf", "Windows/up.txt", "_setup.xml"}));
}

TEST(BatchFailures, ASignalRemovesTheStagingAndTemporaryFolders) {
  TempDir dir;
  ASSERT_TRUE(testing::BigDemoPackage(400, 24 << 20).writeTo(dir / "big.cab"));
  fs::create_directories(dir / "tmp");
  fs::create_directories(dir / "out");

  const pid_t pid = fork();
  if (pid == 0) {
    setenv("TMPDIR", (dir / "tmp").c_str(), 1);
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    if (!freopen("/dev/null", "w", stderr)) _exit(126);
    execl(VORNIX_BINARY, VORNIX_BINARY, "big.cab", "extract", "out", static_cast<char*>(nullptr));
    _exit(127);
  }
  // Stopped once the first entry waits in the destination.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  bool staging = false;
  int status = 0;
  while (!staging && std::chrono::steady_clock::now() < deadline && waitpid(pid, &status, WNOHANG) == 0) {
    staging = !Leftovers(dir / "out", ".vornix-staging-").empty();
    if (!staging) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  if (!staging) {
    waitpid(pid, &status, 0);
    GTEST_SKIP() << "the extraction ended before it could be stopped";
  }
  kill(pid, SIGTERM);
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(Leftovers(dir / "out", ".vornix"), Names{});
  EXPECT_EQ(Leftovers(dir / "tmp", ""), Names{});
}

TEST(BatchFailures, AReaderThatGoesAwayEndsTheJobWithItsFoldersRemoved) {
  TempDir dir;
  ASSERT_TRUE(testing::DemoPackage().writeTo(dir / "tidepool.cab"));
  fs::create_directories(dir / "tmp");
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  close(pipeEnds[0]);  // as `| head` does once it has read its lines
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("TMPDIR", (dir / "tmp").c_str(), 1);
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    dup2(pipeEnds[1], 1);
    if (!freopen("/dev/null", "w", stderr)) _exit(126);
    signal(SIGPIPE, SIG_DFL);
    execl(VORNIX_BINARY, VORNIX_BINARY, "--verbose", "tidepool.cab", "extract", "out", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeEnds[1]);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) << status;
  EXPECT_EQ(Leftovers(dir / "out", ".vornix"), Names{});
  EXPECT_EQ(Leftovers(dir / "tmp", ""), Names{});
}

}  // namespace
}  // namespace vornix
