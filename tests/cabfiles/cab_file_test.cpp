// Listing and extraction of well-formed cabinets built by CabBuilder.

#include <ctime>
#include <map>
#include <stdexcept>

#include "cab_test_support.h"
#include "common/text.h"
#include "presentation/display.h"

namespace vornix::testing {
namespace {

namespace fs = std::filesystem;

using CabListTest = CabTest;

TEST_F(CabListTest, ListsEveryEntryInCabinetOrderWithItsStoredFieldsAndTheHeaderCounts) {
  CabBuilder b;
  b.folder(CabCompression::None).add({"SETUP~1.000", "abc", DosDate(2009, 6, 15), DosTime(12, 30, 0)});
  b.folder(CabCompression::MSZIP)
      .add({"sub\\file.txt", std::string(40000, 'q'), DosDate(1999, 12, 31), DosTime(23, 59, 58)})
      .add({"a", "", DosDate(1980, 1, 1), DosTime(0, 0, 0)});
  const std::string bytes = b.bytes();
  TCABFile& cab = cabinet(bytes);
  ASSERT_TRUE(cab.ListContents());

  ASSERT_EQ(cab.CABFileContents.Count(), 3);
  EXPECT_EQ(cab.CabTaille(), static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(cab.NbDirs(), 2);
  EXPECT_EQ(cab.NbFiles(), 3);

  const TCABFileEntry& first = cab.CABFileContents.Item(0);
  EXPECT_EQ(first.Name, "SETUP~1.000");
  EXPECT_EQ(first.Size, 3);
  EXPECT_EQ(first.DosDate, DosDate(2009, 6, 15));
  EXPECT_EQ(first.DosTime, DosTime(12, 30, 0));
  EXPECT_DOUBLE_EQ(first.DateTime, 39979.0 + 12.5 / 24);  // 2009-06-15 12:30
  EXPECT_EQ(DosDateText(first.DosDate, first.DosTime), "2009-06-15  12:30");
  EXPECT_FALSE(first.Selected);
  EXPECT_TRUE(first.RelPath.empty());

  const TCABFileEntry& second = cab.CABFileContents.Item(1);
  EXPECT_EQ(second.Name, "sub\\file.txt");
  EXPECT_EQ(second.Size, 40000);
  EXPECT_DOUBLE_EQ(second.DateTime, 36525.0 + (23 * 3600 + 59 * 60 + 58) / 86400.0);
  EXPECT_EQ(DosDateText(second.DosDate, second.DosTime), "1999-12-31  23:59");

  EXPECT_EQ(cab.CABFileContents.Item(2).Name, "a");
  EXPECT_DOUBLE_EQ(cab.CABFileContents.Item(2).DateTime, 29221.0);  // 1980-01-01
  EXPECT_TRUE(filesUnder(out()).empty()) << "listing writes nothing";
}

TEST_F(CabListTest, ListingReplacesThePreviousContents) {
  TCABFile& cab = cabinet(CabBuilder().add("one", "1").add("two", "2"));
  ASSERT_TRUE(cab.ListContents());
  ASSERT_TRUE(cab.ListContents());
  EXPECT_EQ(cab.CABFileContents.Count(), 2);
}

TEST_F(CabListTest, EmptyCabinetListsNothingAndCountsZeroFiles) {
  const std::string bytes = CabBuilder().bytes();
  ASSERT_EQ(bytes.size(), 36u);
  TCABFile& cab = cabinet(bytes);
  ASSERT_TRUE(cab.ListContents());
  EXPECT_EQ(cab.CABFileContents.Count(), 0);
  EXPECT_EQ(cab.NbFiles(), 0);
  EXPECT_EQ(cab.NbDirs(), 0);
  EXPECT_EQ(cab.CabTaille(), 36);
  EXPECT_TRUE(cab.ExtractAll());
  EXPECT_TRUE(filesUnder(out()).empty());
}

TEST_F(CabListTest, NamesFlaggedUtf8AreConvertedToWindows1252AndOthersKeptAsBytes) {
  CabEntryRecipe utf8{"caf\xC3\xA9\\\xE2\x82\xAC.txt", "u"};  // "café\€.txt" in UTF-8
  utf8.utf8Name = true;
  CabEntryRecipe outside{"\xE6\x97\xA5.txt", "j"};  // a character Windows-1252 lacks
  outside.utf8Name = true;
  CabEntryRecipe plain{"na\xEFve.txt", "p"};  // Windows-1252 bytes, flag off
  TCABFile& cab = cabinet(CabBuilder().add(utf8).add(outside).add(plain));
  ASSERT_TRUE(cab.ListContents());
  ASSERT_EQ(cab.CABFileContents.Count(), 3);
  EXPECT_EQ(cab.CABFileContents.Item(0).Name, "caf\xE9\\\x80.txt");
  EXPECT_EQ(cab.CABFileContents.Item(1).Name, "?.txt");
  EXPECT_EQ(cab.CABFileContents.Item(2).Name, "na\xEFve.txt");

  ASSERT_TRUE(cab.ExtractAll());
  // Host names are UTF-8 whatever the cabinet used.
  EXPECT_EQ(filesUnder(out()), (std::vector<std::string>{"?.txt", "caf\xC3\xA9/\xE2\x82\xAC.txt", "na\xC3\xAFve.txt"}));
}

TEST_F(CabListTest, DateWordsThatHoldNoDateReadAsZeroButKeepTheirText) {
  CabEntryRecipe e{"x", "x", static_cast<uint16_t>((29 << 9) | (0 << 5) | 0), DosTime(25, 61, 0)};
  TCABFile& cab = cabinet(CabBuilder().add(e));
  ASSERT_TRUE(cab.ListContents());
  ASSERT_EQ(cab.CABFileContents.Count(), 1);
  EXPECT_EQ(cab.CABFileContents.Item(0).DateTime, 0.0);
  EXPECT_EQ(DosDateText(cab.CABFileContents.Item(0).DosDate, cab.CABFileContents.Item(0).DosTime), "2009-00-00  25:61");
  EXPECT_TRUE(cab.ExtractAll()) << "an impossible time leaves the file's own time";
  EXPECT_EQ(contentOf(out() / "x"), "x");
}

TEST_F(CabListTest, ReserveFieldsAndTrailingSignatureBytesAreSkipped) {
  CabBuilder b;
  b.reserve(20, 32, 4).trailer(std::string(944, '\x30'));
  b.folder(CabCompression::MSZIP).add("a.txt", PseudoText(70000, 1)).add("b.txt", "bee");
  const std::string bytes = b.bytes();
  TCABFile& cab = cabinet(bytes);
  ASSERT_TRUE(cab.ListContents());
  EXPECT_EQ(cab.CABFileContents.Count(), 2);
  EXPECT_EQ(cab.CabTaille(), static_cast<int32_t>(bytes.size() - 944));
  const Result<void> extracted = cab.ExtractAll();
  ASSERT_TRUE(extracted) << extracted.message();
  EXPECT_EQ(contentOf(out() / "a.txt"), PseudoText(70000, 1));
  EXPECT_EQ(contentOf(out() / "b.txt"), "bee");
}

TEST(CabContentsTest, SelectionLookupIgnoresCaseAndTakesTheFirstMatch) {
  TCABFileContents contents;
  contents.Add().Name = "Readme.TXT";
  TCABFileEntry& second = contents.Add();
  second.Name = "readme.txt";
  second.Selected = true;
  TCABFileEntry& third = contents.Add();
  third.Name = "\xC9T\xC9.DAT";  // "ÉTÉ.DAT"
  third.Selected = true;
  EXPECT_FALSE(contents.IsSelected("README.txt")) << "first match decides";
  EXPECT_TRUE(contents.IsSelected("\xE9t\xE9.dat"));
  EXPECT_FALSE(contents.IsSelected("missing"));
  EXPECT_EQ(TCABFile().Version(), "1.5.1.1");
}

// ---------------------------------------------------------------------------

using CabExtractTest = CabTest;

TEST_F(CabExtractTest, EveryCompressionRoundTripsIncludingFilesAcrossManyBlocks) {
  const std::string big = PseudoText(150000, 42);  // five MSZIP blocks
  const std::string odd(33333, '\x01');
  for (CabCompression c : {CabCompression::None, CabCompression::MSZIP, CabCompression::LZX}) {
    SCOPED_TRACE(static_cast<int>(c));
    fs::remove_all(out());
    CabBuilder b;
    b.folder(c).add("small.txt", "small").add("big.txt", big).add("odd.bin", odd);
    b.folder(c, 21).add("other.txt", PseudoText(40000, 3)).add("empty.txt", "");
    TCABFile& cab = cabinet(b);
    const Result<void> extracted = cab.ExtractAll();
    ASSERT_TRUE(extracted) << extracted.message();
    EXPECT_EQ(filesUnder(out()),
              (std::vector<std::string>{"big.txt", "empty.txt", "odd.bin", "other.txt", "small.txt"}));
    EXPECT_EQ(contentOf(out() / "big.txt"), big);
    EXPECT_EQ(contentOf(out() / "odd.bin"), odd);
    EXPECT_EQ(contentOf(out() / "other.txt"), PseudoText(40000, 3));
    EXPECT_EQ(contentOf(out() / "empty.txt"), "");
    EXPECT_TRUE(warnings.empty());
  }
}

TEST_F(CabExtractTest, FolderPartsWithEitherSeparatorBecomeFoldersUnderTheTarget) {
  TCABFile& cab = cabinet(CabBuilder()
                              .add("sub\\file.txt", "1")
                              .add("sub/two.txt", "2")
                              .add("deep\\er/three.txt", "3")
                              .add(".\\dot.txt", "4"));
  cab.TargetPath = dir() / "not" / "yet" / "there";
  const Result<void> extracted = cab.ExtractAll();
  ASSERT_TRUE(extracted) << extracted.message();
  EXPECT_EQ(filesUnder(cab.TargetPath),
            (std::vector<std::string>{"deep/er/three.txt", "dot.txt", "sub/file.txt", "sub/two.txt"}));
  EXPECT_EQ(contentOf(cab.TargetPath / "sub" / "file.txt"), "1");
}

TEST_F(CabExtractTest, AFolderThatExistsInAnotherLetterCaseIsReused) {
  fs::create_directories(out() / "SUB");
  TCABFile& cab = cabinet(CabBuilder().add("sub\\a.txt", "a"));
  ASSERT_TRUE(cab.ExtractAll());
  EXPECT_EQ(filesUnder(out()), std::vector<std::string>{"SUB/a.txt"});
}

TEST_F(CabExtractTest, EmptyTargetPathWritesUnderTheCurrentDirectory) {
  const fs::path previous = fs::current_path();
  fs::current_path(out());
  TCABFile& cab = cabinet(CabBuilder().add("sub\\here.txt", "h"));
  cab.TargetPath.clear();
  const Result<void> extracted = cab.ExtractAll();
  fs::current_path(previous);
  ASSERT_TRUE(extracted) << extracted.message();
  EXPECT_EQ(contentOf(out() / "sub" / "here.txt"), "h");
}

TEST_F(CabExtractTest, ExtractFileTakesTheNameInAnyLetterCaseAndIgnoresMissingNames) {
  TCABFile& cab = cabinet(CabBuilder().add("Sub\\Wanted.TXT", "w").add("other.txt", "o"));
  EXPECT_TRUE(cab.ExtractFile("nothing.txt")) << "a name not in the cabinet is no failure";
  EXPECT_TRUE(filesUnder(out()).empty());
  EXPECT_TRUE(cab.ExtractFile("sub\\wanted.txt"));
  EXPECT_EQ(filesUnder(out()), std::vector<std::string>{"Sub/Wanted.TXT"});
}

TEST_F(CabExtractTest, ExtractSelectedWritesTheSelectedEntriesAndLeavesTheListAlone) {
  TCABFile& cab = cabinet(CabBuilder().add("a.txt", "a").add("b.txt", "b").add("c.txt", "c"));
  cab.CABFileContents.Clear();
  TCABFileEntry& a = cab.CABFileContents.Add();
  a.Name = "A.TXT";
  a.Selected = true;
  cab.CABFileContents.Add().Name = "b.txt";  // listed, not selected
  TCABFileEntry& c = cab.CABFileContents.Add();
  c.Name = "c.txt";
  c.Selected = true;

  ASSERT_TRUE(cab.ExtractSelected());
  EXPECT_EQ(filesUnder(out()), (std::vector<std::string>{"a.txt", "c.txt"}));
  ASSERT_EQ(cab.CABFileContents.Count(), 3);
  EXPECT_EQ(cab.CABFileContents.Item(0).Name, "A.TXT");
}

TEST_F(CabExtractTest, ExistingFilesAreReplacedUnlessTheHandlerRefuses) {
  TCABFile& cab = cabinet(CabBuilder().add("keep.txt", "new keep").add("swap.txt", "new swap").add("fresh.txt", "f"));
  WriteFileBytes(out() / "KEEP.TXT", "old keep");  // the device ignores letter case
  WriteFileBytes(out() / "swap.txt", "old swap");

  // Without a handler every existing file is replaced.
  {
    TCABFile plain;
    plain.CABFile = cab.CABFile;
    plain.TargetPath = dir() / "plain";
    fs::create_directories(plain.TargetPath);
    WriteFileBytes(plain.TargetPath / "swap.txt", "old");
    ASSERT_TRUE(plain.ExtractAll());
    EXPECT_EQ(contentOf(plain.TargetPath / "swap.txt"), "new swap");
  }

  std::vector<fs::path> asked;
  cab.OnOverWriteFile = [&](const fs::path& file, bool& allow) {
    asked.push_back(file);
    allow = file.filename() != "keep.txt";
  };
  ASSERT_TRUE(cab.ExtractAll());
  EXPECT_EQ(asked, (std::vector<fs::path>{out() / "keep.txt", out() / "swap.txt"}));
  EXPECT_EQ(filesUnder(out()), (std::vector<std::string>{"KEEP.TXT", "fresh.txt", "swap.txt"}));
  EXPECT_EQ(contentOf(out() / "KEEP.TXT"), "old keep");
  EXPECT_EQ(contentOf(out() / "swap.txt"), "new swap");
  EXPECT_EQ(contentOf(out() / "fresh.txt"), "f");
}

TEST_F(CabExtractTest, AReplacedFileInAnotherLetterCaseTakesTheStoredName) {
  TCABFile& cab = cabinet(CabBuilder().add("Name.txt", "new"));
  WriteFileBytes(out() / "NAME.TXT", "old");
  ASSERT_TRUE(cab.ExtractAll());
  EXPECT_EQ(filesUnder(out()), std::vector<std::string>{"Name.txt"});
  EXPECT_EQ(contentOf(out() / "Name.txt"), "new");
}

TEST_F(CabExtractTest, EachFileTakesTheStoredDateAndTimeAsLocalTime) {
  TCABFile& cab = cabinet(CabBuilder()
                              .add({"winter.txt", "w", DosDate(2003, 1, 20), DosTime(8, 15, 42)})
                              .add({"summer.txt", "s", DosDate(2011, 7, 4), DosTime(23, 0, 2)}));
  ASSERT_TRUE(cab.ExtractAll());
  auto expected = [](int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&tm));
  };
  auto actual = [](const fs::path& p) {
    return std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::file_clock::to_sys(fs::last_write_time(p)));
  };
  EXPECT_EQ(actual(out() / "winter.txt"), expected(2003, 1, 20, 8, 15, 42));
  EXPECT_EQ(actual(out() / "summer.txt"), expected(2011, 7, 4, 23, 0, 2));
}

TEST_F(CabExtractTest, ProgressCountsEveryBlockUpToEachFilesSize) {
  const std::string big = PseudoText(100000, 9);
  CabBuilder b;
  b.folder(CabCompression::MSZIP).add("big.txt", big).add("tiny.txt", "tiny");
  TCABFile& cab = cabinet(b);
  std::map<std::string, std::vector<std::pair<int64_t, int64_t>>> events;
  cab.OnDecompressProgress = [&](const std::string& name, int64_t pos, int64_t tot) {
    events[name].emplace_back(pos, tot);
  };
  ASSERT_TRUE(cab.ExtractAll());
  ASSERT_EQ(events.size(), 2u);
  const auto& bigEvents = events["big.txt"];
  ASSERT_GE(bigEvents.size(), 4u) << "one event per block written";
  for (size_t i = 0; i < bigEvents.size(); ++i) {
    EXPECT_EQ(bigEvents[i].second, 100000);
    if (i > 0) {
      EXPECT_GT(bigEvents[i].first, bigEvents[i - 1].first);
    }
  }
  EXPECT_EQ(bigEvents.back().first, 100000);
  EXPECT_EQ(events["tiny.txt"], (std::vector<std::pair<int64_t, int64_t>>{{4, 4}}));
}

TEST_F(CabExtractTest, EntriesAreVisitedInDataOrderWhateverTheListOrder) {
  // As CabWiz lays packages out: the list runs from the highest number down.
  CabBuilder b;
  b.reverseDataOrder().folder(CabCompression::MSZIP);
  std::vector<std::string> listed;
  for (int n = 30; n >= 1; --n) {
    listed.push_back(Format("F%04d~1.%03d", n, n));
    b.add(listed.back(), PseudoText(5000 + n, n));
  }
  TCABFile& cab = cabinet(b);
  std::vector<std::string> visited;
  ASSERT_TRUE(cab.Extract([&](const TCABFileEntry& e) -> std::optional<ExtractTarget> {
    visited.push_back(e.Name);
    return ExtractTarget{out() / ("copy-" + e.Name)};
  }));
  EXPECT_EQ(visited, std::vector<std::string>(listed.rbegin(), listed.rend()));
  for (int n = 1; n <= 30; ++n) {
    EXPECT_EQ(contentOf(out() / Format("copy-F%04d~1.%03d", n, n)), PseudoText(5000 + n, n));
  }
  ASSERT_TRUE(cab.ListContents());
  ASSERT_EQ(cab.CABFileContents.Count(), 30);
  EXPECT_EQ(cab.CABFileContents.Item(0).Name, listed.front()) << "the list keeps cabinet order";
}

TEST_F(CabExtractTest, ACustomRouteChoosesTheFileAndSkipsWhatItDeclines) {
  TCABFile& cab = cabinet(CabBuilder().add("SETUP.000", "setup").add("F.001", "one"));
  ASSERT_TRUE(cab.Extract([&](const TCABFileEntry& e) -> std::optional<ExtractTarget> {
    if (e.Name != "SETUP.000") return std::nullopt;
    return ExtractTarget{out() / "view" / "setup.000"};
  }));
  EXPECT_EQ(filesUnder(out()), std::vector<std::string>{"view/setup.000"});
}

TEST_F(CabExtractTest, AnExceptionFromAHandlerReachesTheCallerAndTheComponentStaysUsable) {
  CabBuilder b;
  b.folder(CabCompression::MSZIP).add("big.txt", PseudoText(100000, 5)).add("after.txt", "a");
  TCABFile& cab = cabinet(b);
  cab.OnDecompressProgress = [](const std::string&, int64_t pos, int64_t) {
    if (pos > 40000) throw std::runtime_error("cancelled");
  };
  EXPECT_THROW(cab.ExtractAll(), std::runtime_error);
  EXPECT_FALSE(fs::exists(out() / "big.txt")) << "the half-written file is taken away";
  EXPECT_FALSE(fs::exists(out() / "after.txt"));

  cab.OnDecompressProgress = nullptr;
  cab.OnWarning = [](const std::string&) { throw std::logic_error("warned"); };
  cab.OnOverWriteFile = [](const fs::path&, bool&) { throw std::logic_error("asked"); };
  WriteFileBytes(out() / "after.txt", "x");
  EXPECT_THROW(cab.ExtractAll(), std::logic_error);
  cab.OnOverWriteFile = nullptr;
  EXPECT_TRUE(cab.ExtractAll());
  EXPECT_EQ(contentOf(out() / "big.txt"), PseudoText(100000, 5));
}

}  // namespace
}  // namespace vornix::testing
