#include "package/xml_extraction.h"

#include <algorithm>
#include <system_error>

#include "common/host_fs.h"
#include "common/text.h"

namespace fs = std::filesystem;

namespace vornix {

std::vector<ExtractRow> XmlExtractRows(const std::vector<XmlFileRow>& files) {
  std::vector<ExtractRow> rows;
  for (const XmlFileRow& f : files) {
    if (f.IsSetupDll || ExtensionOf(f.CabName) == ".999") continue;
    // The folder text has the form of the ".000" files list: the directory
    // number in parentheses, a blank, the device folder.
    int number = 0;
    for (char c : f.Number)
      if (c >= '0' && c <= '9') number = std::min(number * 10 + (c - '0'), 9999999);
    std::string folder = f.Directory.empty() ? std::string() : Format("(%.3d) ", number) + f.Directory;
    rows.push_back({f.CabName, f.FileName, std::move(folder)});
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
  request.InfLines = analysis.InfLines;
  request.InfFileName = analysis.infFileName();
  return request;
}

ExtractRequest MakeXmlSelectionRequest(const XmlSetupAnalysis& analysis, const fs::path& package, const fs::path& folder,
                                       bool useFolderNames, const std::vector<size_t>& selectedRows, bool writeInf) {
  ExtractRequest request;
  request.Package = package;
  request.Folder = folder;
  // Flat selection: every selected row without a folder, so only the
  // selected entries are written and all of them land in the folder itself.
  request.UseFolderNames = true;
  std::vector<XmlFileRow> chosen;
  for (size_t k : selectedRows) {
    if (k >= analysis.Files.size()) continue;
    const XmlFileRow& f = analysis.Files[k];
    if (f.IsSetupDll || ExtensionOf(f.CabName) == ".999") {
      request.SetupDllName = f.CabName;
      continue;
    }
    chosen.push_back(f);
    if (!useFolderNames) chosen.back().Directory.clear();
  }
  request.Rows = XmlExtractRows(chosen);
  request.InfLines = analysis.InfLines;
  request.InfFileName = analysis.infFileName();
  request.WriteInf = writeInf;
  return request;
}

bool CopyXmlSetupFile(const fs::path& xmlFile, const std::string& xmlFileName, const fs::path& folder) {
  const auto relative = SafeRelativePath(xmlFileName);
  if (!relative) return false;
  const auto dir = ResolveFolderNoCase(folder, relative->parent_path(), true);
  if (!dir) return false;
  std::error_code ec;
  fs::copy_file(xmlFile, *dir / relative->filename(), fs::copy_options::overwrite_existing, ec);
  return !ec;
}

ExtractReport ExtractXmlPackage(const XmlSetupAnalysis& analysis, const fs::path& package, const fs::path& xmlFile,
                                const std::string& xmlFileName, const fs::path& folder, bool useFolderNames,
                                UserInterface& ui) {
  ExtractReport report =
      ExtractUnderOriginalNames(MakeXmlExtractRequest(analysis, package, folder, useFolderNames), ui);
  if (!CopyXmlSetupFile(xmlFile, xmlFileName, folder) && report.Error.empty())
    report.Error = "Cannot copy " + xmlFileName;
  return report;
}

XmlReadResult ReadPackageXml(const PackageSession& session) {
  const OpenFindings& f = session.findings();
  if (f.XmlFileName.empty()) {
    XmlReadResult r;
    r.Message = "No XML setup description";
    return r;
  }
  return ReadXmlSetup(session.xmlPath(), f.ListingFailed ? nullptr : &f.Listing);
}

ExtractReport ExtractXmlPackage(const PackageSession& session, const XmlSetupAnalysis& analysis, const fs::path& folder,
                                bool useFolderNames, UserInterface& ui) {
  return ExtractXmlPackage(analysis, session.packagePath(), session.xmlPath(), session.findings().XmlFileName, folder,
                           useFolderNames, ui);
}

ExtractReport ExtractXmlSelection(const PackageSession& session, const XmlSetupAnalysis& analysis, const fs::path& folder,
                                  bool useFolderNames, const std::vector<size_t>& selectedRows, bool writeInf,
                                  UserInterface& ui) {
  ExtractReport report = ExtractUnderOriginalNames(
      MakeXmlSelectionRequest(analysis, session.packagePath(), folder, useFolderNames, selectedRows, writeInf), ui);
  if (writeInf && !CopyXmlSetupFile(session.xmlPath(), session.findings().XmlFileName, folder) && report.Error.empty())
    report.Error = "Cannot copy " + session.findings().XmlFileName;
  return report;
}

}  // namespace vornix
