// Extracts packages as `vornix P extract D` does, in either folder mode: the
// batch program always keeps the device folders, the window also offers one
// flat folder, and the benchmark times both against cabextract.
//
//   extract_modes folders|flat FOLDER PACKAGE...
//
// Each package goes into FOLDER/<its position>, side by side on the cores as
// the batch program does them. Exit code 1 when a package could not be
// extracted whole (the reason on stderr).

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "common/interrupt.h"
#include "common/parallel.h"
#include "common/text.h"
#include "package/extraction.h"
#include "package/package_session.h"
#include "package/xml_extraction.h"

namespace fs = std::filesystem;
using namespace vornix;

namespace {

class QuietUi : public UserInterface {
 public:
  void warn(const std::string& caption, const std::string& text) override {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), Cp1252ToUtf8(text).c_str());
  }
};

bool ExtractOne(const fs::path& package, const fs::path& folder, bool useFolderNames) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  StagingArea stage(folder);
  QuietUi ui;
  PackageSession session(ui);
  OpenOptions options;
  options.CheckSignature = false;
  options.ManyArgs = true;
  options.Stage = stage.entries();
  const OpenResult opened = session.OpenPackage(package, options);

  ExtractRequest request;
  if (opened.Outcome == OpenOutcome::SetupAnalysed && session.findings().CabinetMode) {
    const SetupAnalysis& analysis = *session.analysis();
    request = MakeExtractRequest(analysis, package, folder, useFolderNames, analysis.Lists.Files);
  } else if (opened.Outcome == OpenOutcome::XmlFound) {
    const Result<XmlSetupAnalysis> read = ReadPackageXml(session);
    if (!read.ok()) return false;
    request = MakeXmlExtractRequest(*read, package, folder, useFolderNames);
  } else {
    std::fprintf(stderr, "%s: nothing to extract\n", package.c_str());
    return false;
  }
  if (session.findings().Staged) {
    request.Staged = stage.entries();
    request.StagedListing = session.findings().Listing;
    request.StagedPositions = session.findings().StagedPositions;
  }
  return ExtractUnderOriginalNames(request, ui).complete();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || (std::strcmp(argv[1], "folders") != 0 && std::strcmp(argv[1], "flat") != 0)) {
    std::fprintf(stderr, "usage: %s folders|flat FOLDER PACKAGE...\n", argv[0]);
    return 2;
  }
  const bool useFolderNames = std::strcmp(argv[1], "folders") == 0;
  const auto count = static_cast<size_t>(argc - 3);
  std::atomic<bool> failed{false};
  ForEachIndex(
      count, UsefulWorkers(count),
      [&](size_t i) {
        if (!ExtractOne(argv[i + 3], fs::path(argv[2]) / std::to_string(i + 1), useFolderNames)) failed = true;
      },
      [] { return !StopRequested(); });
  return failed ? 1 : 0;
}
