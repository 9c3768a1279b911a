// `vornix PACKAGE reg [--regedit4]`: the package's registry values as a file
// the registry editor imports, written beside the package.
#include "app/batch_reg.h"

#include <filesystem>

#include "app/batch.h"
#include "app/batch_output.h"
#include "app/batch_ui.h"
#include "common/host_fs.h"
#include "common/text.h"
#include "package/package_session.h"
#include "package/temp_folders.h"
#include "package/xml_extraction.h"
#include "presentation/reg_export.h"

namespace fs = std::filesystem;

namespace vornix {

namespace {

int WriteReg(const std::string& package, const std::string& appName, const std::string& bytes) {
  // Beside the package, as the INF goes; a name from the package never leaves that folder.
  const fs::path target =
      fs::path(package).parent_path() / RegFileNameFor(appName, Utf8ToCp1252(fs::path(package).stem().string()));
  std::string error;
  if (!WriteFileBytes(target, bytes, &error)) return Fail(target.string() + " : cannot be written (" + error + ")");
  return kExitDone;
}

int WriteXmlReg(const std::string& package, const PackageSession& session, RegFileFormat format) {
  Result<XmlSetupAnalysis> read = ReadPackageXml(session);
  if (!read) return Fail(package + " : " + Cp1252ToUtf8(read.error().Message));
  for (const std::string& w : read->Warnings) Say("warning: " + Cp1252ToUtf8(w));
  return WriteReg(package, read->AppName, RegFileBytes(*read, format));
}

}  // namespace

int RunReg(const std::string& package, bool regedit4) {
  const RegFileFormat format = regedit4 ? RegFileFormat::Regedit4 : RegFileFormat::Version5;
  std::error_code ec;
  if (!fs::is_regular_file(package, ec)) return Fail(package + " : no such file");
  Result<TempFolders> folders = TempFolders::Prepare();
  if (!folders) return Fail(folders.message());
  BatchUi ui;
  PackageSession session(*folders, ui);
  OpenOptions options;
  options.CheckSignature = false;
  options.ManyArgs = true;
  const OpenResult opened = session.OpenPackage(package, options);
  switch (opened.Outcome) {
    case OpenOutcome::SetupAnalysed: break;
    case OpenOutcome::SetupRejected: return kExitFailed;  // the opening said why
    case OpenOutcome::XmlFound: return WriteXmlReg(package, session, format);
    case OpenOutcome::NothingFound: return Fail(package + " : no setup description found (not a Windows CE package)");
  }
  const TSetupInfo& info = session.analysis()->Info;
  return WriteReg(package, info.AppName, RegFileBytes(info, format));
}

}  // namespace vornix
