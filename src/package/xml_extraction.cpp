#include "package/xml_extraction.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "common/host_fs.h"
#include "common/text.h"
#include "presentation/catalogue.h"
#include "presentation/xml_texts.h"

namespace fs = std::filesystem;

namespace vornix {

std::vector<ExtractRow> XmlExtractRows(const std::vector<XmlFile>& files) {
  std::vector<ExtractRow> rows;
  for (const XmlFile& f : files) {
    if (f.IsSetupDll || ExtensionOf(f.CabName) == ".999") continue;
    rows.push_back({f.CabName, f.DestName, f.Directory});
  }
  return rows;
}

ExtractRequest MakeXmlExtractRequest(const XmlSetupAnalysis& analysis, const fs::path& package, const fs::path& folder,
                                     bool useFolderNames) {
  ExtractRequest request;
  request.Package = package;
  request.Folder = folder;
  request.UseFolderNames = useFolderNames;
  request.Rows = XmlExtractRows(analysis.Files);
  request.SetupDllName = analysis.SetupDllName;
  request.InfLines = XmlInfLines(analysis);
  request.InfFileName = analysis.infFileName();
  return request;
}

ExtractRequest MakeXmlSelectionRequest(const XmlSetupAnalysis& analysis, const fs::path& package,
                                       const fs::path& folder, bool useFolderNames,
                                       const std::vector<size_t>& selectedRows, bool writeInf) {
  ExtractRequest request;
  request.Package = package;
  request.Folder = folder;
  // Flat selection: every selected row without a folder, so only the
  // selected entries are written and all of them land in the folder itself.
  request.UseFolderNames = true;
  std::vector<XmlFile> chosen;
  for (size_t k : selectedRows) {
    if (k >= analysis.Files.size()) continue;
    const XmlFile& f = analysis.Files[k];
    if (f.IsSetupDll || ExtensionOf(f.CabName) == ".999") {
      request.SetupDllName = f.CabName;
      continue;
    }
    chosen.push_back(f);
    if (!useFolderNames) chosen.back().Directory.clear();
  }
  request.Rows = XmlExtractRows(chosen);
  request.InfLines = XmlInfLines(analysis);
  request.InfFileName = analysis.infFileName();
  request.WriteInf = writeInf;
  return request;
}

std::string XmlCopyName(const std::string& xmlFileName) {
  const auto safe = SafeRelativePath(FileNamePart(xmlFileName));
  return safe ? safe->string() : std::string("_setup.xml");
}

bool CopyXmlSetupFile(std::string_view xmlText, const std::string& xmlFileName, const fs::path& folder,
                      ExtractFailure* failure) {
  int cause = 0;
  const HostFolder dir = HostFolder::Open(folder, &cause);
  const std::string name = XmlCopyName(xmlFileName);
  if (dir.isOpen()) cause = WriteReplacing(dir, name, xmlText);
  if (cause != 0 && failure) *failure = {PathText(folder / name), ErrorText(cause)};
  return cause == 0;
}

void CopyXmlBeside(std::string_view xmlText, const std::string& xmlFileName, const fs::path& folder,
                   ExtractReport& report, UserInterface& ui) {
  ExtractFailure failure;
  if (CopyXmlSetupFile(xmlText, xmlFileName, folder, &failure)) return;
  ui.warn(kCaption, "The XML setup file could not be copied : " + failure.File + " : " + failure.Cause);
  report.Failures.push_back(std::move(failure));
}

ExtractReport ExtractXmlPackage(const XmlSetupAnalysis& analysis, const fs::path& package, std::string_view xmlText,
                                const std::string& xmlFileName, const fs::path& folder, bool useFolderNames,
                                UserInterface& ui) {
  ExtractReport report =
      ExtractUnderOriginalNames(MakeXmlExtractRequest(analysis, package, folder, useFolderNames), ui);
  CopyXmlBeside(xmlText, xmlFileName, folder, report, ui);
  return report;
}

namespace {

// The session's XML description; empty when it has none (no analysis of it
// could have been read then, so nothing asks for it).
std::string_view XmlTextOf(const PackageSession& session) {
  return session.xmlText() ? std::string_view(*session.xmlText()) : std::string_view();
}

}  // namespace

Result<XmlSetupAnalysis> ReadPackageXml(const PackageSession& session) {
  const OpenFindings& f = session.findings();
  if (f.XmlTooLarge) return MakeError(ErrorCode::TooLarge, f.XmlFileName + " : " + XmlTooLargeMessage(f.XmlFileSize));
  if (f.XmlFileName.empty()) return MakeError(ErrorCode::CannotOpen, "No XML setup description");
  if (!session.xmlText()) return MakeError(ErrorCode::CannotOpen, "Cannot read " + session.xmlShownName());
  return ReadNamedXmlSetup(*session.xmlText(), session.xmlShownName(), f.ListingFailed ? nullptr : &f.Listing);
}

ExtractReport ExtractXmlPackage(const PackageSession& session, const XmlSetupAnalysis& analysis, const fs::path& folder,
                                bool useFolderNames, UserInterface& ui) {
  return ExtractXmlPackage(analysis, session.packagePath(), XmlTextOf(session), session.findings().XmlFileName, folder,
                           useFolderNames, ui);
}

ExtractReport ExtractXmlSelection(const PackageSession& session, const XmlSetupAnalysis& analysis,
                                  const fs::path& folder, bool useFolderNames, const std::vector<size_t>& selectedRows,
                                  bool writeInf, UserInterface& ui) {
  ExtractReport report = ExtractUnderOriginalNames(
      MakeXmlSelectionRequest(analysis, session.packagePath(), folder, useFolderNames, selectedRows, writeInf), ui);
  if (writeInf) CopyXmlBeside(XmlTextOf(session), session.findings().XmlFileName, folder, report, ui);
  return report;
}

}  // namespace vornix
