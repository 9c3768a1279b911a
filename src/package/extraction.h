// Extraction of a cabinet's files under the names they have on the device.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "package/user_interface.h"
#include "setup/presentation.h"

namespace vornix {

/// One file to extract: the three texts the extraction reads from a files-list row.
struct ExtractRow {
  std::string StoredName;    // name in the cabinet
  std::string OriginalName;  // device name (double quotes are removed before use)
  std::string FolderText;    // "(%.3d) \device\path", or empty
};

struct ExtractRequest {
  std::filesystem::path Package;
  std::filesystem::path Folder;  // the chosen destination
  bool UseFolderNames = true;    // toggle up: subfolders; down: flat
  std::vector<ExtractRow> Rows;  // in display order; the setup DLL row is skipped
  std::string SetupDllName;      // stored ".999" name, or empty
  std::vector<std::string> InfLines;
  std::string InfFileName;       // "<AppName>.inf"
  bool WriteInf = true;
  /// A folder where the opening already wrote every entry under its stored
  /// name (OpenOptions::StageFolder), with the names it staged. The files are
  /// moved from there instead of being decompressed again; the folder is
  /// removed afterwards.
  std::filesystem::path Staged;
  std::vector<std::string> StagedNames;
};

struct ExtractReport {
  bool CabinetRead = false;  // the cabinet could be opened and walked
  int Written = 0;           // entries written
  int NotRenamed = 0;        // rows that could not get their original name
  std::string Error;         // why nothing could be produced, when so
  bool Cancelled = false;    // the user stopped it (UserInterface::cancelRequested)
};

/// The rows of the files list as extraction rows (caption, stored name,
/// original name, folder text at cells 0..3).
std::vector<ExtractRow> RowsFromFilesList(const std::vector<ListRow>& files);

struct SetupAnalysis;

/// The request for a ".000" package: rows from `filesRows` (the files list in
/// its display order), its setup DLL, its INF under "<AppName>.inf".
ExtractRequest MakeExtractRequest(const SetupAnalysis& analysis, const std::filesystem::path& package,
                                  const std::filesystem::path& folder, bool useFolderNames,
                                  const std::vector<ListRow>& filesRows);

/// Extracts in one pass over the cabinet, renames each row's file to its
/// original name without ever replacing a file, writes the setup DLL as
/// ".dll" and the INF, and warns "%d duplicates have not been renamed !".
ExtractReport ExtractUnderOriginalNames(const ExtractRequest& request, UserInterface& ui);

}  // namespace vornix
