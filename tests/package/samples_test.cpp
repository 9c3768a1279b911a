// The real packages of the shared samples folder (made by other people with
// the real tools): every one that carries a .000 opens, writes its INF and
// extracts every file it lists, with the sizes the cabinet gives.
#include <gtest/gtest.h>

#include "common/text.h"
#include "helpers/run_process.h"
#include "package/extraction.h"
#include "package/package_session.h"
#include "package/recording_ui.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

std::vector<fs::path> SamplePackages() {
  std::vector<fs::path> out;
  std::error_code ec;
  for (fs::directory_iterator it(VORNIX_SAMPLES_DIR, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string ext = it->path().extension().string();
    if (ext == ".cab" || ext == ".CAB") out.push_back(it->path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(RealSamples, OpenWriteTheirInfAndExtract) {
  const auto packages = SamplePackages();
  if (packages.empty()) GTEST_SKIP() << "no samples folder at " << VORNIX_SAMPLES_DIR;
  int withSetup = 0;
  for (const fs::path& original : packages) {
    SCOPED_TRACE(original.filename().string());
    testing::TempDir dir;
    // Never write next to the samples: work on a copy.
    const fs::path package = dir / original.filename().string();
    fs::copy_file(original, package);

    testing::RecordingUi ui;
    PackageSession session(ui);
    OpenOptions options;
    options.CheckSignature = true;
    options.ManyArgs = true;
    const OpenResult r = session.OpenPackage(package, options);
    if (session.findings().SetupFileName.empty()) continue;  // XML-only or not a CE package
    ++withSetup;
    ASSERT_EQ(r.Outcome, OpenOutcome::SetupAnalysed) << r.Message;
    const SetupAnalysis& a = *session.analysis();
    EXPECT_FALSE(a.InfLines.empty());
    EXPECT_TRUE(ui.warnings.empty()) << ui.warnings.front().second;

    const ExtractRequest request = MakeExtractRequest(a, package, dir / "out", true, a.Lists.Files);
    fs::create_directories(request.Folder);
    const ExtractReport report = ExtractUnderOriginalNames(request, ui);
    EXPECT_TRUE(report.CabinetRead) << report.Error;
    const int duplicates = static_cast<int>(a.Info.Duplicates.size());
    EXPECT_LE(report.NotRenamed, duplicates);

    // Every row's file is there, renamed or (for a repeated name) under its
    // stored name, with the size the cabinet lists.
    for (const ListRow& row : a.Lists.Files) {
      if (row.cell(3).find("SETUP DLL") != std::string::npos) continue;
      std::string folder = row.cell(3).size() > 6 ? row.cell(3).substr(6) : std::string();
      if (!folder.empty() && folder[0] == '\\') folder.erase(0, 1);
      if (folder == ".") folder.clear();
      std::replace(folder.begin(), folder.end(), '\\', '/');
      std::string name = row.cell(2);
      name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
      const fs::path renamed = dir / "out" / fs::path(Cp1252ToUtf8(folder)) / fs::path(Cp1252ToUtf8(name));
      const fs::path stored = dir / "out" / fs::path(Cp1252ToUtf8(folder)) / row.cell(1);
      const bool found = fs::exists(renamed) || fs::exists(stored);
      EXPECT_TRUE(found) << renamed;
      if (fs::exists(stored) || !found) continue;
      EXPECT_EQ(std::to_string(fs::file_size(renamed)), row.cell(6)) << renamed;
    }
    EXPECT_TRUE(fs::exists(dir / "out" / fs::path(Cp1252ToUtf8(a.Info.AppName + ".inf"))));

    // The command line agrees.
    const auto inf = testing::RunProcess(VORNIX_BINARY, {package.filename().string(), "inf"}, dir.path());
    EXPECT_EQ(inf.exitCode, duplicates ? 222 : 0) << inf.err;
    EXPECT_TRUE(fs::exists(fs::path(package).replace_extension(".inf")));
  }
  EXPECT_GE(withSetup, 20);
}

}  // namespace
}  // namespace vornix
