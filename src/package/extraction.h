// Extraction of a cabinet's files under the names they have on the device.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cabfiles/cab_file.h"
#include "package/user_interface.h"
#include "presentation/rows.h"

namespace vornix {

/// Where entries wait for an extraction: entry k of the cabinet's listing
/// lies in Folder as name(k), a hidden name under a prefix drawn at random
/// for one package. They wait in the destination itself, which the
/// extraction writes anyway: a folder of their own would cost a directory
/// made and removed for every package, more than a small package takes.
struct StagedEntries {
  std::filesystem::path Folder;
  std::string Prefix;
  bool empty() const { return Folder.empty(); }
  std::string name(size_t index) const;
  std::filesystem::path path(size_t index) const { return Folder / name(index); }
  /// The listing position of the staged file `fileName`; nullopt for a name
  /// that is no staged entry's.
  std::optional<size_t> indexOf(std::string_view fileName) const;
};

/// One file to extract, from its record.
struct ExtractRow {
  std::string StoredName;    // name in the cabinet
  std::string OriginalName;  // device name; a double quote in it, no file name character, is dropped
  std::string DeviceFolder;  // its folder on the device ("\Program Files\App"); empty: the chosen folder
};

struct ExtractRequest {
  std::filesystem::path Package;
  std::filesystem::path Folder;  // the chosen destination
  bool UseFolderNames = true;    // toggle up: subfolders; down: flat
  /// The caller made Folder for this extraction: nothing is in it but what
  /// the run stages there, so it is not read for names in another case.
  bool FolderIsNew = false;
  std::vector<ExtractRow> Rows;  // in display order; the setup DLL row is skipped
  std::string SetupDllName;      // stored ".999" name, or empty
  std::vector<std::string> InfLines;
  std::string InfFileName;  // "<AppName>.inf"
  bool WriteInf = true;
  /// Where the opening already wrote entries (OpenOptions::Stage), and the
  /// cabinet's listing: entry k of StagedListing lies there as
  /// Staged.name(k) when it was staged. Staged files are moved from there
  /// instead of being decompressed again; what is missing is decompressed
  /// there too. What is left is removed by the StagingArea that owns them.
  StagedEntries Staged;
  CabListing StagedListing;
  /// Which entries of StagedListing were staged (OpenFindings::StagedPositions).
  std::vector<bool> StagedPositions;
};

/// A file or folder that could not be written, and why.
struct ExtractFailure {
  std::string File;   // host path as display text (Windows-1252)
  std::string Cause;  // the host's text: "No space left on device", "Permission denied", ...
};

struct ExtractReport {
  bool CabinetRead = false;  // the cabinet could be opened and walked
  int Written = 0;           // files written into the folder, under whatever name
  /// Rows that could not get their original name because a file of that name
  /// exists (or that the package cannot place: no such entry, an unsafe name).
  int NotRenamed = 0;
  std::string Error;                     // why the cabinet could not be read to its end, when so
  std::vector<ExtractFailure> Failures;  // every other failure to write, with its cause
  std::string InfError;
  bool Cancelled = false;  // the user stopped it (UserInterface::cancelRequested)      // the INF's path and the cause,
                           // when it could not be written
  /// Everything was written (names refused as duplicates aside).
  bool complete() const { return CabinetRead && Failures.empty() && InfError.empty(); }
};

struct SetupAnalysis;

/// The extraction rows of a ".000" analysis for the rows of its files list in
/// the order given: each from the file record the row shows
/// (ListRow::Record), the setup DLL's for the row that shows no file.
std::vector<ExtractRow> SetupExtractRows(const TSetupInfo& info, const std::vector<ListRow>& filesRows);

/// The request for a ".000" package: rows for `filesRows` (the files list in
/// its display order), its setup DLL, its INF under "<AppName>.inf". The
/// batch and the window both build their requests here.
ExtractRequest MakeExtractRequest(const SetupAnalysis& analysis, const std::filesystem::path& package,
                                  const std::filesystem::path& folder, bool useFolderNames,
                                  const std::vector<ListRow>& filesRows);

/// Decompresses the entries the rows need in one pass over the cabinet into a
/// StagingArea inside the destination, and gives each its original name by
/// a rename that never replaces a file (copies for rows that share an entry
/// are created exclusively). Nothing is written through a link or into a link
/// that already lies in the destination. Writes the setup DLL as ".dll" and
/// the INF (through a temporary file), and warns about what failed and
/// "%d duplicates have not been renamed !".
ExtractReport ExtractUnderOriginalNames(const ExtractRequest& request, UserInterface& ui);

/// Where a row's file goes below the chosen folder, planned from the row
/// alone: its device folder (subfolder mode) and its original name. Nullopt
/// when it cannot go there: a folder that would leave the chosen one, an
/// original name that is no plain file name.
std::optional<std::filesystem::path> PlannedPlace(const ExtractRow& row, bool useFolderNames);

/// The INF's file name in the chosen folder: the requested name made one
/// plain file name ("\", "/", ":" and control characters become "_").
std::string InfFileNameIn(const std::string& requested);

/// The entries of one package waiting inside a destination, on its file
/// system, before they get their names: created exclusively under a prefix
/// of its own, never through a link. What is still there when the object goes
/// is removed (also when the run is stopped by a signal).
class StagingArea {
 public:
  explicit StagingArea(const std::filesystem::path& inside);
  ~StagingArea();
  StagingArea(const StagingArea&) = delete;
  StagingArea& operator=(const StagingArea&) = delete;
  /// Empty when no prefix could be drawn; `error()` is then the errno.
  const StagedEntries& entries() const { return m_entries; }
  int error() const { return m_error; }

 private:
  StagedEntries m_entries;
  int m_error = 0;
};

}  // namespace vornix
