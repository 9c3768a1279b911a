// What an extraction shows while it runs: a progress line on a terminal's
// stderr, and with --verbose the files it writes on stdout.
#include <chrono>
#include <regex>

#include <gtest/gtest.h>

#include "common/text.h"
#include "helpers/cab_builder.h"
#include "helpers/demo_package.h"
#include "helpers/run_process.h"
#include "helpers/setup_builder.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

using testing::ProcessResult;
using testing::TempDir;

// What the terminal shows once `bytes` have reached it: each carriage return
// sends the cursor back to overwrite the line. Trailing blanks and blank lines
// at the end are nothing to see.
std::vector<std::string> Screen(const std::string& bytes) {
  std::vector<std::string> lines(1);
  size_t column = 0;
  for (char c : bytes) {
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      lines.emplace_back();
      column = 0;
    } else {
      std::string& line = lines.back();
      if (column < line.size())
        line[column] = c;
      else
        line += c;
      ++column;
    }
  }
  for (std::string& line : lines) line.erase(line.find_last_not_of(' ') + 1);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == separator)
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

// A package that takes a while: 300 files, 16 MB in one compressed folder.
void WriteBigPackage(const fs::path& file) { ASSERT_TRUE(testing::BigDemoPackage(300, 16 << 20).writeTo(file)); }

TEST(BatchProgress, ATerminalSeesAtMostTenLinesASecondAndNothingAtTheEnd) {
  TempDir dir;
  WriteBigPackage(dir / "big.cab");
  const auto start = std::chrono::steady_clock::now();
  const ProcessResult r = testing::RunOnTerminal(VORNIX_BINARY, {"big.cab", "extract", "out"}, dir.path());
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(testing::ListTree(dir / "out").size(), 301u);

  // Each drawing of the line begins with a carriage return.
  const std::regex drawn(R"(vornix: big\.cab: (\d+)/301 files, [0-9.]+/1[67]\.[0-9] MB *)");
  size_t drawings = 0;
  long files = 0;
  for (const std::string& part : Split(r.err, '\r')) {
    if (part.empty() || part.find_first_not_of(' ') == std::string::npos) continue;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(part, m, drawn)) << part;
    EXPECT_GE(std::stol(m[1]), files) << "the count never goes back";
    files = std::stol(m[1]);
    ++drawings;
  }
  EXPECT_GE(drawings, 1u) << r.err;
  // One at the start, then one each tenth of a second at most.
  EXPECT_LE(drawings, static_cast<size_t>(elapsed / 100 + 2)) << elapsed << " ms";
  EXPECT_EQ(Screen(r.err), std::vector<std::string>{}) << "the line is cleared at the end";
}

// Packages done side by side show one line: the first unfinished package's.
TEST(BatchProgress, SeveralPackagesShowTheFirstUnfinishedOne) {
  TempDir dir;
  ASSERT_TRUE(testing::BigDemoPackage(300, 24 << 20).writeTo(dir / "p1.cab"));
  std::vector<std::string> args = {"p1.cab"};
  for (int n = 2; n <= 6; ++n) {
    fs::copy_file(dir / "p1.cab", dir / Format("p%d.cab", n));
    args.push_back(Format("p%d.cab", n));
  }
  args.insert(args.end(), {"extract", "out"});
  const ProcessResult r = testing::RunOnTerminal(VORNIX_BINARY, args, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::regex drawn(R"(vornix: \[(\d)/6\] p(\d)\.cab: \d+/301 files, .*)");
  int shown = 1;
  for (const std::string& part : Split(r.err, '\r')) {
    if (part.empty() || part.find_first_not_of(' ') == std::string::npos) continue;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(part, m, drawn)) << part;
    EXPECT_EQ(m[1], m[2]) << part;
    EXPECT_GE(std::stoi(m[1]), shown) << "the line of a package before came back: " << part;
    shown = std::stoi(m[1]);
  }
  EXPECT_EQ(Screen(r.err), std::vector<std::string>{}) << "the line is cleared at the end";
}

TEST(BatchProgress, NoLineOffATerminalOrWithQuiet) {
  TempDir dir;
  WriteBigPackage(dir / "big.cab");
  ProcessResult r = testing::RunProcess(VORNIX_BINARY, {"big.cab", "extract", "a"}, dir.path());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  r = testing::RunOnTerminal(VORNIX_BINARY, {"--quiet", "big.cab", "extract", "b"}, dir.path());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(testing::ListTree(dir / "b").size(), 301u);
}

TEST(BatchProgress, VerboseListsEachFileWrittenUnderTheFolder) {
  TempDir dir;
  ASSERT_TRUE(testing::DemoPackage().writeTo(dir / "tidepool.cab"));
  ProcessResult r = testing::RunProcess(VORNIX_BINARY, {"--verbose", "tidepool.cab", "extract", "out"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "Program Files/Vornix Samples Tidepool/Tidepool.exe\n"
            "Program Files/Vornix Samples Tidepool/tides.dat\n"
            "Program Files/Vornix Samples Tidepool/Help/Read me.txt\n"
            "Program Files/Vornix Samples Tidepool/tpshell.dll\n"
            "TIDEPO~1.dll\n"
            "Tidepool.inf\n");
  // Again: every name is taken, so the files keep their stored names; the INF is written anew.
  r = testing::RunProcess(VORNIX_BINARY, {"--verbose", "tidepool.cab", "extract", "out"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "Program Files/Vornix Samples Tidepool/TIDEPO~1.001\n"
            "Program Files/Vornix Samples Tidepool/TIDES~1.002\n"
            "Program Files/Vornix Samples Tidepool/Help/README~1.003\n"
            "Program Files/Vornix Samples Tidepool/TPSHEL~1.004\n"
            "TIDEPO~1.999\n"
            "Tidepool.inf\n");
}

}  // namespace
}  // namespace vornix
