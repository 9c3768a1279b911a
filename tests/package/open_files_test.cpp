// Files handed to the desktop from a files list, and the selection variant of
// the extraction: what lands in the open folder and in the chosen folder.
#include "package/open_files.h"

#include <gtest/gtest.h>

#include "cabfiles/cab_file.h"
#include "helpers/cab_builder.h"
#include "helpers/demo_package.h"
#include "helpers/run_process.h"
#include "package/package_session.h"
#include "package/recording_ui.h"
#include "package/selection.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

using testing::ListTree;
using testing::ReadAll;

TEST(OpenFileName, UnsafeOriginalNamesGetASafeOne) {
  const struct {
    const char* original;
    const char* expected;
  } cases[] = {
      {"\"Read me.txt\"", "Read me.txt"},
      {"..\\..\\evil.txt", "evil.txt"},
      {"\\Windows\\boot.ini", "boot.ini"},
      {"sub/dir/name.dat", "name.dat"},
      {"C:name.dll", "name.dll"},
      {"..", "APP~1.001"},
      {"C:", "APP~1.001"},
      {"folder\\", "APP~1.001"},
      {"a\x01z.txt", "a_z.txt"},
  };
  for (const auto& c : cases) EXPECT_EQ(OpenFileName(c.original, "APP~1.001"), c.expected) << c.original;
  EXPECT_EQ(OpenFileName("..", "..\\.."), "file");
}

class OpenFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    package = dir / "pkg.cab";
    testing::CabBuilder cab;
    cab.folder(testing::CabCompression::MSZIP)
        .add("APP~1.001", "first")
        .add("APP~1.002", "second")
        .add("APP~1.003", "third")
        .add("APP~1.004", "picture");
    ASSERT_TRUE(cab.writeTo(package));
    open = dir / "open";
    fs::create_directories(open);
  }
  OpenFilesResult Extract(const std::vector<OpenFileRow>& rows, bool bitmapRule = false) {
    return ExtractForOpening(cab, package, open, rows, bitmapRule);
  }

  testing::TempDir dir;
  fs::path package, open;
  TCABFile cab;
};

TEST_F(OpenFilesTest, SeveralRowsInOnePassUnderTheirOriginalNames) {
  testing::WriteAll(open / "readme.txt", "left by an earlier action");
  const OpenFilesResult r =
      Extract({{"APP~1.003", "\"readme.txt\""}, {"APP~1.001", "..\\up.exe"}, {"APP~1.002", "b.dll"}});
  EXPECT_EQ(cab.ExtractionPasses(), 1);
  ASSERT_EQ(r.Files.size(), 3u);
  EXPECT_EQ(r.Files[0].Path, open / "readme.txt");
  EXPECT_EQ(r.Files[1].Path, open / "up.exe");
  for (const OpenFile& f : r.Files) EXPECT_TRUE(f.Present) << f.Path;
  EXPECT_EQ(ReadAll(open / "readme.txt"), "third");
  EXPECT_EQ(ReadAll(open / "up.exe"), "first");
  EXPECT_EQ(ListTree(dir.path()),
            (std::vector<std::string>{"open/b.dll", "open/readme.txt", "open/up.exe", "pkg.cab"}));
}

TEST_F(OpenFilesTest, TwoRowsOfOneNameHandOutTheFirstRowsFileTwice) {
  const OpenFilesResult r = Extract({{"APP~1.002", "same.txt"}, {"APP~1.001", "SAME.txt"}, {"APP~1.001", "same.txt"}});
  // Names differing only in letter case are one name, as on the device.
  for (const OpenFile& f : r.Files) {
    EXPECT_EQ(f.Path, open / "same.txt");
    EXPECT_TRUE(f.Present);
  }
  EXPECT_EQ(ReadAll(open / "same.txt"), "second");
  EXPECT_EQ(ListTree(open), (std::vector<std::string>{"same.txt"}));
}

TEST_F(OpenFilesTest, BitmapRuleAndMissingEntries) {
  testing::WriteAll(open / "gone.txt", "stale");
  const OpenFilesResult r = Extract({{"APP~1.004", "pic.2BP"}, {"APP~1.009", "gone.txt"}}, true);
  EXPECT_EQ(r.Files[0].Path, open / "pic.bmp");
  EXPECT_EQ(ReadAll(open / "pic.bmp"), "picture");
  // An entry the cabinet lacks hands out nothing, not a file of an earlier action.
  EXPECT_FALSE(r.Files[1].Present);
  EXPECT_FALSE(fs::exists(open / "gone.txt"));
}

TEST_F(OpenFilesTest, ASetupFileWithoutCabinetGivesNothing) {
  const fs::path bare = dir / "app.000";
  testing::WriteAll(bare, "MSCE and more");
  const OpenFilesResult r = ExtractForOpening(cab, bare, open, {{"~~~~~~~~~~~~", "readme.txt"}}, true);
  EXPECT_FALSE(r.CabinetRead);
  EXPECT_FALSE(r.Error.empty());
  EXPECT_FALSE(r.Files.at(0).Present);
  EXPECT_TRUE(ListTree(open).empty());
}

TEST_F(OpenFilesTest, TextCopyBesideTheFile) {
  testing::WriteAll(open / "page.htm", "<p>");
  testing::WriteAll(open / "page.txt", "older copy");
  EXPECT_EQ(TextCopy(open / "page.htm"), open / "page.txt");
  EXPECT_EQ(ReadAll(open / "page.txt"), "<p>");
  EXPECT_EQ(ReadAll(open / "page.htm"), "<p>");
  EXPECT_EQ(TextCopy(open / "page.txt"), open / "page.txt");
}

// The selection variant over the demo package, through the one extraction.
class SelectionTest : public ::testing::Test {
 protected:
  ExtractRequest Request(bool useFolderNames) {
    const fs::path package = dir / "demo.cab";
    EXPECT_TRUE(testing::DemoPackage().writeTo(package));
    session.emplace(ui);
    EXPECT_EQ(session->OpenPackage(package, {}).Outcome, OpenOutcome::SetupAnalysed);
    out = dir / "out";
    fs::create_directories(out);
    const SetupAnalysis& a = *session->analysis();
    return MakeExtractRequest(a, package, out, useFolderNames, a.Lists.Files);
  }
  testing::TempDir dir;
  fs::path out;
  testing::RecordingUi ui;
  std::optional<PackageSession> session;
};

TEST_F(SelectionTest, FlatWritesOnlyTheChosenEntries) {
  const ExtractRequest all = Request(false);
  ASSERT_EQ(all.Rows.size(), 5u);  // four files and the setup DLL row
  const ExtractReport r =
      ExtractUnderOriginalNames(SelectionRequest(all, {false, true, false, false, true}, false), ui);
  EXPECT_EQ(r.NotRenamed, 0);
  EXPECT_EQ(ListTree(out), (std::vector<std::string>{"TIDEPO~1.dll", all.Rows[1].OriginalName}));
}

TEST_F(SelectionTest, OnlyTheSetupDllWithItsInf) {
  const ExtractRequest all = Request(true);
  const ExtractReport r =
      ExtractUnderOriginalNames(SelectionRequest(all, {false, false, false, false, true}, true), ui);
  EXPECT_EQ(r.NotRenamed, 0);
  EXPECT_TRUE(ui.warnings.empty());
  EXPECT_EQ(ListTree(out), (std::vector<std::string>{"TIDEPO~1.dll", "Tidepool.inf"}));
}

}  // namespace
}  // namespace vornix
