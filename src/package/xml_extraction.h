// Extraction of a package described by "_setup.xml": the same one-pass
// extraction and safe renaming as for ".000" packages, over the XML reader's
// file rows, with the XML setup file copied beside the INF.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "package/extraction.h"
#include "package/package_session.h"
#include "package/user_interface.h"
#include "xml/xml_setup.h"

namespace vornix {

/// The extraction rows of the XML files list: every row but the setup DLL's,
/// in list order, each in its expanded directory.
std::vector<ExtractRow> XmlExtractRows(const std::vector<XmlFile>& files);

/// The request for all files of an XML package: its rows, its setup DLL and
/// its INF under "<AppName>.inf".
ExtractRequest MakeXmlExtractRequest(const XmlSetupAnalysis& analysis, const std::filesystem::path& package,
                                     const std::filesystem::path& folder, bool useFolderNames);

/// The request for a selection of rows (indices into `analysis.Files`). A
/// selected setup DLL row only asks for the DLL to be written as ".dll". In
/// flat mode only the selected entries are written, straight into `folder`.
ExtractRequest MakeXmlSelectionRequest(const XmlSetupAnalysis& analysis, const std::filesystem::path& package,
                                       const std::filesystem::path& folder, bool useFolderNames,
                                       const std::vector<size_t>& selectedRows, bool writeInf);

/// The name the XML setup file has beside the extracted files: its stored
/// name without folders, or "_setup.xml" when that is no plain name (also the
/// name its messages give it).
std::string XmlCopyName(const std::string& xmlFileName);

/// Writes the XML setup file (its bytes `xmlText`, stored as `xmlFileName`)
/// into `folder` (XmlCopyName) through a temporary file, replacing a file of
/// that name (never writing through a link). False on failure, with the path
/// and the cause in `failure`.
bool CopyXmlSetupFile(std::string_view xmlText, const std::string& xmlFileName, const std::filesystem::path& folder,
                      ExtractFailure* failure = nullptr);

/// CopyXmlSetupFile for an extraction: a failure joins the report's failures
/// and is shown.
void CopyXmlBeside(std::string_view xmlText, const std::string& xmlFileName, const std::filesystem::path& folder,
                   ExtractReport& report, UserInterface& ui);

/// All files of an XML package under their original names, the setup DLL as
/// ".dll", the INF, and the XML setup file (`xmlText`, stored as `xmlFileName`).
ExtractReport ExtractXmlPackage(const XmlSetupAnalysis& analysis, const std::filesystem::path& package,
                                std::string_view xmlText, const std::string& xmlFileName,
                                const std::filesystem::path& folder, bool useFolderNames, UserInterface& ui);

/// Reads the XML setup description the session took out of its package
/// when it opened it (also for a cabinet that carries a ".000" file too).
Result<XmlSetupAnalysis> ReadPackageXml(const PackageSession& session);

/// The extraction of all files of the session's XML package.
ExtractReport ExtractXmlPackage(const PackageSession& session, const XmlSetupAnalysis& analysis,
                                const std::filesystem::path& folder, bool useFolderNames, UserInterface& ui);

/// The selection extraction of the session's XML package; with `writeInf`
/// the INF and the XML setup file are written beside the files.
ExtractReport ExtractXmlSelection(const PackageSession& session, const XmlSetupAnalysis& analysis,
                                  const std::filesystem::path& folder, bool useFolderNames,
                                  const std::vector<size_t>& selectedRows, bool writeInf, UserInterface& ui);

}  // namespace vornix
