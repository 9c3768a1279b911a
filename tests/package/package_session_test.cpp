#include "package/package_session.h"
#include "package/temp_folders.h"

#include <gtest/gtest.h>

#include "helpers/demo_package.h"
#include "helpers/run_process.h"
#include "package/recording_ui.h"
#include "presentation/display.h"
#include "presentation/inf_writer.h"

namespace vornix {
namespace {

using testing::CabBuilder;
using testing::CabCompression;
using testing::RecordingUi;
using testing::TempDir;

class PackageSessionTest : public ::testing::Test {
 protected:
  void SetUp() override { session.emplace(ui); }

  std::filesystem::path Write(const std::string& name, const CabBuilder& cab) {
    const auto path = dir / name;
    EXPECT_TRUE(cab.writeTo(path));
    return path;
  }

  TempDir dir;
  RecordingUi ui;
  std::optional<PackageSession> session;
};

std::string SmallSetup(const char* app = "App") {
  testing::SetupRecipe s;
  s.AppName = app;
  s.Files = {{1, 1, 1, 0, "a.exe"}};
  return testing::BuildSetupFile(s);
}

TEST_F(PackageSessionTest, OpensTheDemoPackage) {
  const auto path = Write("tidepool.cab", testing::DemoPackage());
  const OpenResult r = session->OpenPackage(path);
  ASSERT_EQ(r.Outcome, OpenOutcome::SetupAnalysed) << r.Message;
  const OpenFindings& f = session->findings();
  EXPECT_EQ(f.SetupFileName, "TIDEPO~1.000");
  EXPECT_TRUE(f.XmlFileName.empty());
  EXPECT_TRUE(f.CabinetMode);
  EXPECT_EQ(f.CabOtherCount, 0);
  std::vector<std::string> names;
  for (const TCABFileEntry& e : f.Listing) names.push_back(e.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"TIDEPO~1.999", "TPSHEL~1.004", "README~1.003", "TIDES~1.002",
                                             "TIDEPO~1.001", "TIDEPO~1.000"}));
  EXPECT_EQ(DosDateText(f.Listing[0].DosDate, f.Listing[0].DosTime), "2009-06-15  12:30");
  EXPECT_EQ(f.NbFiles, 6);
  EXPECT_EQ(f.NbDirs, 1);
  EXPECT_EQ(session->statusPanels(), (std::vector<std::string>{path.string(), "TIDEPO~1.000", "5 file(s)", "", ""}));
  EXPECT_EQ(session->BatchExitCode(), 0);
  EXPECT_TRUE(ui.warnings.empty());

  const SetupAnalysis& a = *session->analysis();
  EXPECT_EQ(a.InfLines, WriteInf(a.Info));
  EXPECT_EQ(FileCabName(a.Info, a.Info.Files[0]), "TIDEPO~1.001");
  ASSERT_EQ(a.Lists.Files.size(), 5u);
  EXPECT_EQ(a.Lists.Files.back().cells,
            (std::vector<std::string>{"999", "TIDEPO~1.999", "TIDEPO~1.dll", "!!! **** SETUP DLL **** !!!", "999",
                                      "0x00000000", SizeText(f.Listing[0].Size), "2009-06-15  12:30", "dll"}));
  EXPECT_EQ(a.Lists.General[0].Label, "Selected Filename");
  EXPECT_EQ(a.Lists.General.back().Label, "SETUP File");

  const CabInfoLine& info = session->cabInfo();
  EXPECT_TRUE(info.Visible);
  EXPECT_EQ(info.CompressionLabel, "Compressed");
  EXPECT_EQ(info.Details, "CAB Size (bytes) : " + std::to_string(f.CabTaille) +
                              " bytes, CAB Directories : 1, Files : 6 "
                              "(Size (bytes) : " +
                              std::to_string(f.CabTotalSize) + " bytes)");
}

TEST_F(PackageSessionTest, SetupAndXmlInOneCabinet) {
  CabBuilder cab;
  cab.add("APP~1.000", SmallSetup()).add("APP~1.001", "x").add("_setup.xml", "<wap-provisioningdoc/>");
  const OpenResult r = session->OpenPackage(Write("both.cab", cab));
  ASSERT_EQ(r.Outcome, OpenOutcome::SetupAnalysed);
  EXPECT_EQ(session->findings().SetupFileName, "APP~1.000");
  EXPECT_EQ(session->findings().XmlFileName, "_setup.xml");
  EXPECT_EQ(session->findings().CabOtherCount, 1);
  EXPECT_EQ(session->statusPanels()[2], "2 file(s) including 1 XML");
  EXPECT_EQ(session->xmlText().value_or("(none)"), "<wap-provisioningdoc/>");
  // Uncompressed: the cabinet is bigger than what it holds.
  EXPECT_EQ(session->cabInfo().CompressionLabel, "Not Compressed");
}

TEST_F(PackageSessionTest, XmlOnlyPackages) {
  CabBuilder cab;
  cab.add("APP~1.001", "x").add("first.xml", "<a/>").add("README", "r").add("_SETUP.XML", "<b/>");
  const OpenResult r = session->OpenPackage(Write("xml.cab", cab));
  EXPECT_EQ(r.Outcome, OpenOutcome::XmlFound);
  EXPECT_EQ(session->findings().XmlFileName, "_SETUP.XML");  // the last one wins
  EXPECT_EQ(session->findings().CabOtherCount, 3);           // an entry without extension counts too
  ASSERT_EQ(ui.warnings.size(), 1u);
  EXPECT_EQ(ui.warnings[0], std::make_pair(std::string("Vornix"), std::string("Plusieurs fichiers XML")));
  EXPECT_EQ(session->statusPanels()[1], "_SETUP.XML");
  EXPECT_EQ(session->statusPanels()[2], "4 file(s)");
  EXPECT_EQ(session->xmlText().value_or("(none)"), "<b/>");
  EXPECT_FALSE(session->analysis().has_value());
}

TEST_F(PackageSessionTest, TheLastEntryHoldingDot000IsTheSetupFile) {
  CabBuilder cab;
  cab.add("A.000", "not a setup file").add("notes.000.txt", SmallSetup("Notes"));
  ASSERT_EQ(session->OpenPackage(Write("p.cab", cab)).Outcome, OpenOutcome::SetupAnalysed);
  EXPECT_EQ(session->findings().SetupFileName, "notes.000.txt");
  EXPECT_EQ(session->analysis()->Info.AppName, "Notes");
}

TEST_F(PackageSessionTest, BareSetupFile) {
  const auto path = dir / "app.000";
  testing::WriteAll(path, SmallSetup());
  ASSERT_EQ(session->OpenPackage(path).Outcome, OpenOutcome::SetupAnalysed);
  EXPECT_FALSE(session->findings().CabinetMode);
  EXPECT_EQ(session->findings().SetupFileName, "app.000");
  EXPECT_FALSE(session->cabInfo().Visible);
  EXPECT_EQ(session->statusPanels()[2], "");
  EXPECT_EQ(FileCabName(session->analysis()->Info, session->analysis()->Info.Files[0]), "~~~~~~~~~~~~");
}

TEST_F(PackageSessionTest, RejectedOrForeignFilesKeepThePreviousAnalysis) {
  ASSERT_EQ(session->OpenPackage(Write("good.cab", testing::DemoPackage())).Outcome, OpenOutcome::SetupAnalysed);

  // A text file whose extension is .cab: nothing analysed, line hidden.
  const auto text = dir / "text.cab";
  testing::WriteAll(text, "just some text\n");
  EXPECT_EQ(session->OpenPackage(text).Outcome, OpenOutcome::NothingFound);
  EXPECT_FALSE(session->cabInfo().Visible);
  EXPECT_EQ(session->analysis()->Info.AppName, "Tidepool");

  // A setup file with a bad signature, checked: its message, the pointer hint.
  testing::SetupRecipe bad;
  bad.Signature = "MSCF";
  CabBuilder cab;
  cab.add("BAD~1.000", testing::BuildSetupFile(bad));
  OpenOptions checked;
  checked.CheckSignature = true;
  const OpenResult r = session->OpenPackage(Write("bad.cab", cab), checked);
  EXPECT_EQ(r.Outcome, OpenOutcome::SetupRejected);
  EXPECT_EQ(r.Message, "WinCE file not valid : Signature = MSCF");
  ASSERT_FALSE(ui.warnings.empty());
  EXPECT_EQ(ui.warnings.back().second, "WinCE file not valid : Signature = MSCF");
  EXPECT_EQ(ui.signatureRejections, 1);
  EXPECT_EQ(session->analysis()->Info.AppName, "Tidepool");
}

TEST_F(PackageSessionTest, BrokenCabinetsSayExtractFilesError) {
  const std::string good = testing::DemoPackage().bytes();
  const auto path = dir / "broken.cab";
  testing::WriteAll(path, testing::Truncated(good, 50));
  const OpenResult r = session->OpenPackage(path);
  EXPECT_EQ(r.Outcome, OpenOutcome::SetupRejected);
  EXPECT_EQ(r.Message, "Extract Files error");
  EXPECT_TRUE(session->findings().ListingFailed);
  EXPECT_EQ(session->findings().SetupFileName, "Error");
}

TEST_F(PackageSessionTest, TruncatedDataGivesAMessageNotACrash) {
  const std::string good = testing::DemoPackage().bytes();
  const auto path = dir / "cut.cab";
  testing::WriteAll(path, testing::Truncated(good, good.size() - 40));
  const OpenResult r = session->OpenPackage(path);
  EXPECT_EQ(r.Outcome, OpenOutcome::SetupRejected);
  EXPECT_EQ(r.Message, "Extract Files error");
}

TEST_F(PackageSessionTest, DuplicatesSetExitCode222AndWarnUnlessManyArguments) {
  testing::SetupRecipe s;
  s.Files = {{1, 1, 1, 0, "Setup.dll"}, {2, 1, 2, 0, "SETUP.DLL"}};
  const auto path = Write("dup.cab", testing::PackageFor(s, "DUP~1.000", false));
  ASSERT_EQ(session->OpenPackage(path).Outcome, OpenOutcome::SetupAnalysed);
  EXPECT_EQ(session->BatchExitCode(), 222);
  EXPECT_EQ(session->statusPanels()[4], "Exit Code : 222");
  EXPECT_EQ(session->duplicatesText(), "Duplicates (1) :\r\n\r\nSETUP.DLL");
  ASSERT_EQ(ui.warnings.size(), 1u);
  EXPECT_EQ(ui.warnings[0].first, "Duplicates");

  OpenOptions many;
  many.ManyArgs = true;
  session->OpenPackage(path, many);
  EXPECT_EQ(ui.warnings.size(), 1u);
  EXPECT_EQ(session->BatchExitCode(), 222);
}

TEST_F(PackageSessionTest, StagingKeepsOnlyWhatTheExtractionNeeds) {
  testing::SetupRecipe s;
  s.AppName = "App";
  s.Files = {{1, 1, 1, 0, "a.exe"}};
  CabBuilder cab;
  cab.folder(CabCompression::MSZIP)
      .add("APP~1.000", testing::BuildSetupFile(s))
      .add("APP~1.001", "program")
      .add("UNUSED.BIN", std::string(100000, 'u'));
  std::filesystem::create_directories(dir / "stage");
  OpenOptions options;
  StagingArea staging(dir / "stage");
  options.Stage = staging.entries();
  ASSERT_EQ(session->OpenPackage(Write("app.cab", cab), options).Outcome, OpenOutcome::SetupAnalysed);
  EXPECT_TRUE(session->findings().Staged);
  // Entry 1 (the program), under its position; the description was read
  // into memory, and the entry that no row uses went nowhere.
  EXPECT_EQ(testing::ListTree(dir / "stage"), std::vector<std::string>{staging.entries().name(1)});
}

TEST_F(PackageSessionTest, ADescriptionDeclaredLargerThanAnyRealOneIsRefusedUnread) {
  CabBuilder cab;
  cab.add("APP~1.000", SmallSetup()).add("APP~1.001", "x");
  testing::CabImage image = cab.build();
  image.bytes = testing::PatchU32(image.bytes, image.fileRecords[0] + testing::cabfield::kFileSize, 1u << 30);
  const auto path = dir / "huge.cab";
  testing::WriteAll(path, image.bytes);
  const OpenResult r = session->OpenPackage(path);
  EXPECT_EQ(r.Outcome, OpenOutcome::SetupRejected);
  EXPECT_EQ(r.Message,
            "Setup description \"APP~1.000\" refused: 1073741824 bytes, more than the 4194304 a setup "
            "description may hold");
}

// Entries wait in the destination under a prefix of their own; what is left
// under it goes with the area, and nothing else does.
TEST(StagingAreaTest, NamesItsEntriesAndRemovesOnlyThem) {
  TempDir dir;
  StagingArea other(dir.path());
  testing::WriteAll(other.entries().path(0), "other run");
  testing::WriteAll(dir.path() / "keep.txt", "the user's");
  std::string lookalike;
  {
    StagingArea area(dir.path());
    const StagedEntries& entries = area.entries();
    ASSERT_FALSE(entries.empty());
    EXPECT_NE(entries.Prefix, other.entries().Prefix);
    EXPECT_EQ(entries.indexOf(entries.name(12)), std::optional<size_t>(12));
    EXPECT_EQ(entries.indexOf(entries.Prefix + "x"), std::nullopt);
    EXPECT_EQ(entries.indexOf(entries.Prefix), std::nullopt);
    EXPECT_EQ(entries.indexOf("12"), std::nullopt);
    testing::WriteAll(entries.path(0), "a");
    testing::WriteAll(entries.path(7), "b");
    lookalike = "x" + entries.name(1);
    testing::WriteAll(dir.path() / lookalike, "c");
  }
  std::vector<std::string> expected{"keep.txt", lookalike, other.entries().name(0)};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(testing::ListTree(dir.path()), expected);
}

TEST(TempFoldersTest, ArePrivateToTheProcessAndRemoved) {
  std::filesystem::path root;
  {
    auto a = TempFolders::Prepare();
    auto b = TempFolders::Prepare();
    ASSERT_TRUE(a && b);
    EXPECT_NE(a->root(), b->root());
    EXPECT_EQ(a->ViewDir().filename(), "VornixView");
    EXPECT_EQ(a->OpenDir().filename(), "VornixOpen");
    const auto perms = std::filesystem::status(a->root()).permissions();
    EXPECT_EQ(perms & std::filesystem::perms::all, std::filesystem::perms::owner_all);
    testing::WriteAll(a->ViewDir() / "x.000", "x");
    std::filesystem::create_directory(a->ViewDir() / "sub");
    RecordingUi ui;
    a->EmptyBoth(ui);
    EXPECT_FALSE(std::filesystem::exists(a->ViewDir() / "x.000"));
    EXPECT_TRUE(std::filesystem::exists(a->ViewDir() / "sub"));  // only files go
    root = a->root();
  }
  EXPECT_FALSE(std::filesystem::exists(root));
}

// Only the folders no run holds, made a minute ago or more, with one of the
// two folders in them, are taken for leftovers.
TEST(TempFoldersTest, LeftoversOfEarlierRunsAreRemovedHeldOnesStay) {
  testing::TempDir base;
  const char* before = std::getenv("TMPDIR");
  const std::string saved = before ? before : "";
  setenv("TMPDIR", base.path().c_str(), 1);
  auto make = [&](const std::string& name, bool ours, bool old) {
    const std::filesystem::path folder = base.path() / name;
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    if (ours) std::filesystem::create_directory(folder / "VornixOpen");
    if (old)
      std::filesystem::last_write_time(folder, std::filesystem::file_time_type::clock::now() - std::chrono::hours(2));
  };
  make("vornix-Left01", true, true);
  make("vornix-Fresh1", true, false);
  make("vornix-Other1", false, true);
  make("vornix-toolong", true, true);
  auto held = TempFolders::Prepare();
  ASSERT_TRUE(held);
  std::filesystem::last_write_time(held->root(), std::filesystem::file_time_type::clock::now() - std::chrono::hours(2));

  TempFolders::RemoveLeftovers();
  const std::string heldName = held->root().filename().string();
  std::vector<std::string> expected{"vornix-Fresh1", "vornix-Other1", "vornix-toolong", heldName};
  std::sort(expected.begin(), expected.end());
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(base.path())) left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, expected);
  if (before)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

}  // namespace
}  // namespace vornix
