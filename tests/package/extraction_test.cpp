#include "package/extraction.h"

#include <gtest/gtest.h>

#include "common/host_fs.h"
#include "helpers/demo_package.h"
#include "helpers/host_states.h"
#include "helpers/run_process.h"
#include "package/package_session.h"
#include "package/recording_ui.h"
#include "presentation/inf_writer.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

using testing::ListTree;
using testing::RecordingUi;
using testing::TempDir;

// Opens a package built from `cab` and prepares an extraction request for it.
// Every test runs twice: extracting from the cabinet (the window's way) and
// placing the entries the opening staged (the batch way); both must leave
// the same tree.
class ExtractionTest : public ::testing::TestWithParam<bool> {
 protected:
  bool staged() const { return GetParam(); }

  ExtractRequest Open(const testing::CabBuilder& cab, bool useFolderNames = true) {
    package = dir / "pkg.cab";
    EXPECT_TRUE(cab.writeTo(package));
    session.emplace(openUi);
    out = dir / "out";
    fs::create_directories(out);
    OpenOptions options;
    staging.reset();
    if (staged()) {
      staging.emplace(out);
      options.Stage = staging->entries();
    }
    const OpenResult r = session->OpenPackage(package, options);
    EXPECT_EQ(r.Outcome, OpenOutcome::SetupAnalysed) << r.Message;
    const SetupAnalysis& a = *session->analysis();
    ExtractRequest request = MakeExtractRequest(a, package, out, useFolderNames, a.Lists.Files);
    if (staged()) {
      EXPECT_TRUE(session->findings().Staged);
      request.Staged = options.Stage;
      request.StagedListing = session->findings().Listing;
      request.StagedPositions = session->findings().StagedPositions;
    }
    return request;
  }

  // As the batch does: what the opening staged and no row took is gone once
  // the package is done.
  ExtractReport Extract(const ExtractRequest& request) {
    ExtractReport report = ExtractUnderOriginalNames(request, ui);
    staging.reset();
    return report;
  }

  std::vector<std::string> Tree() const { return ListTree(out); }

  TempDir dir;
  fs::path package, out;
  RecordingUi openUi, ui;
  std::optional<PackageSession> session;
  std::optional<StagingArea> staging;
};

const std::vector<std::string> kDemoTree = {
    "Program Files/Vornix Samples Tidepool/Help/Read me.txt",
    "Program Files/Vornix Samples Tidepool/Tidepool.exe",
    "Program Files/Vornix Samples Tidepool/tides.dat",
    "Program Files/Vornix Samples Tidepool/tpshell.dll",
    "TIDEPO~1.dll",
    "Tidepool.inf",
};

TEST_P(ExtractionTest, SubfoldersNamedAfterDeviceFolders) {
  const ExtractRequest request = Open(testing::DemoPackage());
  const ExtractReport report = Extract(request);
  EXPECT_TRUE(report.CabinetRead);
  EXPECT_EQ(report.NotRenamed, 0);
  EXPECT_TRUE(ui.warnings.empty());
  EXPECT_EQ(Tree(), kDemoTree);
  const testing::SetupRecipe desc = testing::DemoApplication();
  EXPECT_EQ(testing::ReadAll(out / "Program Files/Vornix Samples Tidepool/Help/Read me.txt"),
            testing::DemoFileData(desc.Files[2]));
  EXPECT_EQ(testing::ReadAll(out / "Tidepool.inf"), InfFileText(session->analysis()->InfLines));
  EXPECT_EQ(ui.lastDone, ui.lastTotal);
  EXPECT_GT(ui.lastTotal, 0);
}

TEST_P(ExtractionTest, FlatModeKeepsUnlistedEntriesUnderStoredNames) {
  const ExtractRequest request = Open(testing::DemoPackage(), /*useFolderNames=*/false);
  EXPECT_EQ(Extract(request).NotRenamed, 0);
  EXPECT_EQ(Tree(), (std::vector<std::string>{"Read me.txt", "TIDEPO~1.000", "TIDEPO~1.dll", "Tidepool.exe",
                                              "Tidepool.inf", "tides.dat", "tpshell.dll"}));
}

TEST_P(ExtractionTest, ExtractingTwiceNeverReplacesARenamedFile) {
  Extract(Open(testing::DemoPackage()));
  testing::WriteAll(out / "Program Files/Vornix Samples Tidepool/tides.dat", "edited by the user");
  const ExtractReport second = Extract(Open(testing::DemoPackage()));
  EXPECT_EQ(second.NotRenamed, 4);
  ASSERT_EQ(ui.warnings.size(), 1u);
  EXPECT_EQ(ui.warnings[0], std::make_pair(std::string("Vornix"), std::string("4 duplicates have not been renamed !")));
  EXPECT_EQ(testing::ReadAll(out / "Program Files/Vornix Samples Tidepool/tides.dat"), "edited by the user");
  EXPECT_TRUE(fs::exists(out / "Program Files/Vornix Samples Tidepool/TIDES~1.002"));
}

TEST_P(ExtractionTest, TwoFilesOfOneNameInOneFolder) {
  testing::SetupRecipe s;
  s.AppName = "Dup";
  s.Strings = {{1, "%CE2%"}};
  s.Dirs = {{1, {1}}};
  s.Files = {{1, 1, 1, 0, "readme.txt"}, {2, 1, 2, 0, "README.TXT"}};
  const ExtractRequest request = Open(testing::PackageFor(s, "DUP~1.000", false));
  EXPECT_EQ(Extract(request).NotRenamed, 1);
  EXPECT_EQ(ui.warnings.at(0).second, "1 duplicates have not been renamed !");
  const auto tree = Tree();
  EXPECT_EQ(tree.size(), 3u);  // one renamed, one under its stored name, the INF
  EXPECT_EQ(tree.back(), "Windows/readme.txt");
}

TEST_P(ExtractionTest, RowsInAnyOrderAndTheSetupDllOnce) {
  ExtractRequest request = Open(testing::DemoPackage());
  std::reverse(request.Rows.begin(), request.Rows.end());  // the DLL row first, as after sorting
  EXPECT_EQ(Extract(request).NotRenamed, 0);
  EXPECT_EQ(Tree(), kDemoTree);
}

TEST_P(ExtractionTest, ExistingFoldersAreReusedWhateverTheirCase) {
  const ExtractRequest request = Open(testing::DemoPackage());
  fs::create_directories(out / "PROGRAM FILES" / "vornix samples tidepool");
  testing::WriteAll(out / "PROGRAM FILES" / "vornix samples tidepool" / "TIDEPOOL.EXE", "older");
  const ExtractReport report = Extract(request);
  EXPECT_EQ(report.NotRenamed, 1);  // Tidepool.exe would replace TIDEPOOL.EXE
  EXPECT_FALSE(fs::exists(out / "Program Files"));
  EXPECT_EQ(testing::ReadAll(out / "PROGRAM FILES/vornix samples tidepool/TIDEPOOL.EXE"), "older");
  EXPECT_TRUE(fs::exists(out / "PROGRAM FILES/vornix samples tidepool/Help/Read me.txt"));
}

TEST_P(ExtractionTest, NothingLeavesTheChosenFolder) {
  testing::SetupRecipe s;
  s.AppName = "..\\..\\evil";
  s.Strings = {{1, "%CE2%"}, {2, ".."}, {3, "ok"}};
  s.Dirs = {{1, {2, 2, 2}}, {2, {3}}};
  s.Files = {
      {1, 1, 1, 0, "up.txt"}, {2, 2, 2, 0, "..\\..\\name.txt"}, {3, 2, 3, 0, "/abs.txt"}, {4, 2, 4, 0, "fine.txt"}};
  testing::CabBuilder cab = testing::PackageFor(s, "EVIL~1.000", false, testing::CabCompression::None);
  cab.add("..\\..\\ESCAPE.005", "should never be written");
  const ExtractRequest request = Open(cab);
  const ExtractReport report = Extract(request);
  EXPECT_EQ(report.NotRenamed, 3);
  for (const std::string& f : ListTree(dir.path())) {
    if (f != "pkg.cab") {
      EXPECT_EQ(f.rfind("out/", 0), 0u) << f << " was written outside the chosen folder";
    }
  }
  EXPECT_TRUE(fs::exists(out / "ok/fine.txt"));
  EXPECT_TRUE(fs::exists(out / ".._.._evil.inf"));

  // Flat mode walks every entry: the hostile one is still left out.
  ExtractRequest flat = request;
  flat.UseFolderNames = false;
  flat.Folder = dir / "flat";
  fs::create_directories(flat.Folder);
  Extract(flat);
  for (const std::string& f : ListTree(dir.path())) EXPECT_EQ(f.find("ESCAPE"), std::string::npos) << f;
}

TEST_P(ExtractionTest, RowsWithoutACabinetEntryOrFolder) {
  testing::SetupRecipe s;
  s.Files = {{1, 7, 1, 0, "nofolder.txt"}, {2, 7, 2, 0, "missing.txt"}};
  testing::CabBuilder cab;
  cab.add("APP~1.001", "one").add("APP~1.000", testing::BuildSetupFile(s));
  const ExtractRequest request = Open(cab);
  const ExtractReport report = Extract(request);
  // The row whose folder is unknown lands in the chosen folder; the row with
  // no cabinet entry has nothing to rename and counts.
  EXPECT_EQ(report.NotRenamed, 1);
  EXPECT_EQ(Tree(), (std::vector<std::string>{".inf", "nofolder.txt"}));
}

// ---- Hostile states of the destination ---------------------------------------

// Two rows that share one stored entry (in \Windows and \Program Files) and a
// third file in \Windows\Fonts; the description comes first, as CabWiz writes it.
testing::CabBuilder SharedEntryPackage() {
  testing::SetupRecipe s;
  s.AppName = "Shared";
  s.Strings = {{1, "%CE2%"}, {2, "%CE1%"}, {3, "Fonts"}};
  s.Dirs = {{1, {1}}, {2, {2}}, {3, {1, 3}}};
  s.Files = {{1, 1, 1, 0, "shared.txt"}, {1, 2, 2, 0, "shared.txt"}, {2, 3, 3, 0, "font.ttf"}};
  testing::CabBuilder cab;
  cab.folder(testing::CabCompression::MSZIP)
      .add("SHARED~1.000", testing::BuildSetupFile(s))
      .add("SHARED~1.001", "shared text")
      .add("FONT~1.002", "font");
  return cab;
}

TEST_P(ExtractionTest, LinksInTheDestinationAreNeverFollowedNorWrittenThrough) {
  const ExtractRequest request = Open(SharedEntryPackage());
  const fs::path elsewhere = dir / "elsewhere";
  fs::create_directories(elsewhere);
  testing::WriteAll(elsewhere / "victim.txt", "precious");
  testing::WriteAll(elsewhere / "victim.inf", "precious");
  fs::create_directories(out / "Windows");
  fs::create_directories(out / "Program Files");
  fs::create_directory_symlink(elsewhere, out / "Windows" / "FONTS");  // a folder, in another letter case
  fs::create_symlink(elsewhere / "victim.txt", out / "Program Files" / "SHARED~1.001");  // at the stored name
  fs::create_symlink(elsewhere / "victim.inf", out / "Shared.inf");

  const ExtractReport report = Extract(request);
  EXPECT_EQ(ListTree(elsewhere), (std::vector<std::string>{"victim.inf", "victim.txt"}));
  EXPECT_EQ(testing::ReadAll(elsewhere / "victim.txt"), "precious");
  EXPECT_EQ(testing::ReadAll(elsewhere / "victim.inf"), "precious");
  // Both rows of the shared entry get it; the INF replaced the link.
  EXPECT_EQ(testing::ReadAll(out / "Windows" / "shared.txt"), "shared text");
  EXPECT_EQ(testing::ReadAll(out / "Program Files" / "shared.txt"), "shared text");
  EXPECT_TRUE(fs::is_symlink(out / "Program Files" / "SHARED~1.001"));
  EXPECT_FALSE(fs::is_symlink(out / "Shared.inf"));
  EXPECT_EQ(testing::ReadAll(out / "Shared.inf"), InfFileText(session->analysis()->InfLines));
  // The link is no folder: the file that would go through it is reported, not counted.
  EXPECT_EQ(report.NotRenamed, 0);
  ASSERT_EQ(report.Failures.size(), 1u);
  EXPECT_EQ(report.Failures[0].File, PathText(out / "Windows" / "Fonts"));
  EXPECT_EQ(report.Failures[0].Cause, "Not a directory");
}

TEST_P(ExtractionTest, FilesAtStoredNamesAreNeverReplaced) {
  const fs::path app = "Program Files/Vornix Samples Tidepool";
  ExtractRequest request = Open(testing::DemoPackage());
  fs::create_directories(out / app);
  testing::WriteAll(out / app / "tides.dat", "the user's tides");
  testing::WriteAll(out / app / "TIDES~1.002", "the user's file");
  const ExtractReport report = Extract(request);
  EXPECT_EQ(report.NotRenamed, 1);
  EXPECT_EQ(testing::ReadAll(out / app / "tides.dat"), "the user's tides");
  EXPECT_EQ(testing::ReadAll(out / app / "TIDES~1.002"), "the user's file");
  EXPECT_TRUE(fs::exists(out / app / "Tidepool.exe"));

  // Flat: the entries no row uses go under their stored names, never over a file.
  request = Open(testing::DemoPackage(), /*useFolderNames=*/false);
  request.Folder = dir / "flat";
  fs::create_directories(request.Folder);
  testing::WriteAll(request.Folder / "TIDEPO~1.000", "the user's setup file");
  Extract(request);
  EXPECT_EQ(testing::ReadAll(request.Folder / "TIDEPO~1.000"), "the user's setup file");
  EXPECT_TRUE(fs::exists(request.Folder / "Tidepool.exe"));
}

TEST_P(ExtractionTest, FailuresToWriteNameTheFileAndAreNotCountedAsDuplicates) {
  const ExtractRequest request = Open(testing::DemoPackage());
  const fs::path help = out / "Program Files" / "Vornix Samples Tidepool" / "Help";
  fs::create_directories(help);
  testing::ReadOnlyFolder readOnly(help);
  if (!readOnly.inEffect()) GTEST_SKIP() << "no read-only folder can be made here";
  const ExtractReport report = Extract(request);
  EXPECT_EQ(report.NotRenamed, 0);
  ASSERT_EQ(report.Failures.size(), 1u);
  EXPECT_EQ(report.Failures[0].File, PathText(help / "Read me.txt"));
  const std::string cause = report.Failures[0].Cause;
  EXPECT_TRUE(cause == "Read-only file system" || cause == "Permission denied") << cause;
  ASSERT_EQ(ui.warnings.size(), 1u);
  EXPECT_EQ(ui.warnings[0].second,
            "1 file(s) could not be written :\r\n" + PathText(help / "Read me.txt") + " : " + cause);
  EXPECT_TRUE(fs::exists(out / "Program Files" / "Vornix Samples Tidepool" / "Tidepool.exe"));
}

TEST_P(ExtractionTest, ARowThatCannotBePlacedLeavesNoFolderBehind) {
  testing::SetupRecipe s;
  s.AppName = "Deep";
  s.Strings = {{1, "%CE2%"}, {2, std::string(40, 'd')}};
  s.Dirs = {{1, std::vector<uint16_t>(200, 2)}};  // 200 levels: longer than any host path
  s.Dirs[0].StringIds.front() = 1;
  s.Files = {{1, 1, 1, 0, "deep.txt"}};
  const ExtractRequest request = Open(testing::PackageFor(s, "DEEP~1.000", false));
  const ExtractReport report = Extract(request);
  ASSERT_EQ(report.Failures.size(), 1u);
  EXPECT_EQ(report.Failures[0].Cause, "File name too long");
  EXPECT_EQ(report.NotRenamed, 0);
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(out)) left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"Deep.inf"});
}

TEST_P(ExtractionTest, FolderNumbersOfFourAndFiveDigits) {
  testing::SetupRecipe s;
  s.AppName = "Ids";
  s.Strings = {{1, "%CE2%"}, {2, "%CE1%"}};
  s.Dirs = {{1000, {1}}, {10000, {2}}};
  s.Files = {{1, 1000, 1, 0, "one.txt"}, {2, 10000, 2, 0, "two.txt"}};
  const ExtractRequest request = Open(testing::PackageFor(s, "IDS~1.000", false));
  EXPECT_EQ(request.Rows[0].DeviceFolder, "\\Windows");
  EXPECT_EQ(Extract(request).NotRenamed, 0);
  EXPECT_EQ(Tree(), (std::vector<std::string>{"Ids.inf", "Program Files/two.txt", "Windows/one.txt"}));
}

INSTANTIATE_TEST_SUITE_P(FromCabinetOrStaged, ExtractionTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Staged" : "FromCabinet";
                         });

}  // namespace
}  // namespace vornix
