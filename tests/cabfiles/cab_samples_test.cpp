// Real packages made by other people's tools, and our own cabinets read by an
// independent reader (cabextract), so neither our writer nor our reader can
// only agree with itself.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "cab_test_support.h"
#include "common/text.h"

namespace vornix::testing {
namespace {

namespace fs = std::filesystem;

struct Sample {
  std::string file;
  int entries = 0;
};

// The rows of the samples' README table: "| file | kind | entries | ...".
std::vector<Sample> SampleTable(const fs::path& readme) {
  std::vector<Sample> rows;
  std::ifstream in(readme);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("| ", 0) != 0) continue;
    std::vector<std::string> cells;
    std::stringstream ss(line.substr(1));
    std::string cell;
    while (std::getline(ss, cell, '|')) {
      const size_t a = cell.find_first_not_of(' ');
      const size_t b = cell.find_last_not_of(' ');
      cells.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
    }
    int64_t entries = 0;
    if (cells.size() < 3 || !ParseInt64(cells[2], entries)) continue;  // heading and rule rows
    rows.push_back({cells[0], static_cast<int>(entries)});
  }
  return rows;
}

using CabSamplesTest = CabTest;

TEST_F(CabSamplesTest, EverySampleListsItsEntriesAndExtractsThemWhole) {
  const fs::path samples = VORNIX_SAMPLES_DIR;
  if (!fs::exists(samples / "README.md")) GTEST_SKIP() << "no samples at " << samples;
  const std::vector<Sample> table = SampleTable(samples / "README.md");
  ASSERT_FALSE(table.empty());
  for (const Sample& sample : table) {
    SCOPED_TRACE(sample.file);
    const fs::path target = out() / sample.file;
    TCABFile cab;
    cab.CABFile = samples / sample.file;
    cab.TargetPath = target;
    std::vector<std::string> warned;
    cab.OnWarning = [&](const std::string& text) { warned.push_back(text); };
    ASSERT_TRUE(cab.ListContents());
    EXPECT_EQ(cab.CABFileContents.Count(), sample.entries);
    EXPECT_EQ(cab.NbFiles(), sample.entries);
    EXPECT_GE(cab.NbDirs(), 1);
    EXPECT_GT(cab.CabTaille(), 0);
    const Result<void> extracted = cab.ExtractAll();
    ASSERT_TRUE(extracted) << extracted.message();
    EXPECT_TRUE(warned.empty()) << warned.front();
    for (const TCABFileEntry& e : cab.CABFileContents.items()) {
      const auto rel = SafeRelativePath(e.Name);
      ASSERT_TRUE(rel) << e.Name;
      std::error_code ec;
      EXPECT_EQ(fs::file_size(target / *rel, ec), static_cast<uintmax_t>(e.Size)) << e.Name;
    }
  }
}

// Runs cabextract on `cab` into `into`; false when it is not installed or fails.
bool Cabextract(const fs::path& cab, const fs::path& into) {
  const std::string command = "cabextract -q -d '" + into.string() + "' '" + cab.string() + "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

TEST_F(CabSamplesTest, CabextractReadsWhatTheBuilderWritesAsTheComponentDoes) {
  if (std::system("command -v cabextract >/dev/null 2>&1") != 0) GTEST_SKIP() << "cabextract not installed";
  for (CabCompression c : {CabCompression::None, CabCompression::MSZIP, CabCompression::LZX}) {
    SCOPED_TRACE(static_cast<int>(c));
    CabBuilder b;
    b.reserve(8, 4, 2).reverseDataOrder();
    b.folder(c).add("sub\\one.txt", PseudoText(90000, 1)).add("two.bin", std::string(70001, '\x7F'));
    b.folder(c, 18).add("three.txt", PseudoText(1, 3));
    TCABFile& cab = cabinet(b);
    fs::remove_all(out());
    const Result<void> extracted = cab.ExtractAll();
    ASSERT_TRUE(extracted) << extracted.message();
    const fs::path theirs = dir() / "theirs";
    fs::remove_all(theirs);
    ASSERT_TRUE(Cabextract(cab.CABFile, theirs));
    const std::vector<std::string> ours = filesUnder(out());
    ASSERT_EQ(ours, filesUnder(theirs));
    for (const std::string& name : ours) EXPECT_EQ(contentOf(out() / name), contentOf(theirs / name)) << name;
  }
}

}  // namespace
}  // namespace vornix::testing
