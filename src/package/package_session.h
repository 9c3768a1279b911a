// The opening pipeline: one routine through which every package is opened,
// whatever way it arrived, and the state it leaves for the commands after it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "package/extraction.h"
#include "package/user_interface.h"
#include "presentation/rows.h"
#include "setup/setup_info.h"

namespace vornix {

/// What an opening found in the package.
struct OpenFindings {
  std::string SetupFileName;  // stored name of the ".000" entry, or the bare file's name
  std::string XmlFileName;    // stored name of the XML setup entry
  bool ListingFailed = false;
  bool CabinetMode = false;
  CabListing Listing;  // the cabinet's entries, in cabinet order
  std::vector<std::string> CabOtherNames;
  int CabOtherCount = 0;
  int32_t CabTotalSize = 0;
  int XmlEntryCount = 0;
  // The cabinet's own figures; -1 when it could not be read as a cabinet.
  int32_t CabTaille = -1;
  int32_t NbDirs = -1;
  int32_t NbFiles = -1;
  bool DuplicatesFound = false;
  std::vector<std::string> DuplicateNames;
  /// The pass that staged entries where OpenOptions::Stage says read the
  /// cabinet to its end. Entry k of the listing lies there as
  /// Stage.name(k) when the extraction needs it (every entry before the
  /// setup description was read, only those its rows use after it); the
  /// descriptions themselves are held by the session.
  bool Staged = false;
  /// Entry k of the listing was staged (when Staged).
  std::vector<bool> StagedPositions;
  std::string StageError;
  /// Why the file could not be listed, or its description not taken out of
  /// it (names the file and the cause); empty when nothing failed.
  std::string ListingError;
  /// The declared sizes of the two descriptions, and whether they were
  /// refused unread for being larger than any description can be.
  uint64_t SetupFileSize = 0;
  uint64_t XmlFileSize = 0;
  bool SetupTooLarge = false;
  bool XmlTooLarge = false;
};

/// Whether a cabinet entry's stored name makes it the package's ".000" setup
/// description, or its XML one ("_setup.xml": an ".xml" name, not numbered).
bool IsSetupDescriptionName(std::string_view storedName);
bool IsXmlDescriptionName(std::string_view storedName);

/// A successful ".000" analysis: the model, its rows and its INF lines.
struct SetupAnalysis {
  TSetupInfo Info;
  AnalysisLists Lists;
  std::vector<std::string> InfLines;
  std::string PackagePath;  // display text of the chosen file
  std::string SetupFileName;
  uint64_t SetupFileSize = 0;
  bool CabinetMode = false;
  int CabEntryCount = 0;
  int CabOtherCount = 0;
};

/// The last analysis, held in shared ownership: a window shows its rows
/// without copying them and keeps them for as long as it shows them, also
/// past the opening that replaces it. Reads like std::optional.
class SharedAnalysis {
 public:
  bool has_value() const { return m_analysis != nullptr; }
  explicit operator bool() const { return has_value(); }
  const SetupAnalysis& operator*() const { return *m_analysis; }
  const SetupAnalysis* operator->() const { return m_analysis.get(); }
  const std::shared_ptr<const SetupAnalysis>& shared() const { return m_analysis; }
  SharedAnalysis& operator=(SetupAnalysis&& analysis) {
    m_analysis = std::make_shared<const SetupAnalysis>(std::move(analysis));
    return *this;
  }
  void reset() { m_analysis.reset(); }

 private:
  std::shared_ptr<const SetupAnalysis> m_analysis;
};

/// The cabinet information line of the first tab.
struct CabInfoLine {
  bool Visible = false;
  std::string CompressionLabel;  // "Compressed" / "Not Compressed"
  std::string Details;
};

enum class OpenOutcome {
  SetupAnalysed,  // a ".000" analysis replaced the previous one
  SetupRejected,  // a ".000" was found but refused; the previous analysis stays
  XmlFound,       // only an XML setup description: the XML analysis takes over
  NothingFound,   // not a package: nothing analysed
};

struct OpenOptions {
  bool CheckSignature = true;  // the signature toggle
  bool ManyArgs = false;       // several command-line arguments: no duplicates box
  /// False: the caller shows duplicatesText() itself, once the analysis is on
  /// screen (the window), instead of the opening showing it before.
  bool DuplicatesBox = true;
  /// When set, the opening writes the entries an extraction will need there
  /// while it decompresses the setup description, so an extraction that
  /// follows (the batch "extract") decompresses nothing twice.
  StagedEntries Stage;
  /// The name the analysis shows for the package (Windows-1252) when the file
  /// opened is a private copy: "setup.exe#2" for a cabinet inside an installer.
  std::string ShownName;
};

struct OpenResult {
  OpenOutcome Outcome = OpenOutcome::NothingFound;
  std::string Message;  // the rejection or failure text, when there is one
};

class PackageSession {
 public:
  explicit PackageSession(UserInterface& ui) : m_ui(ui) {}

  /// Opens a package (".cab", ".tsk" or a bare ".000"). A rejected or
  /// unrecognised file leaves the previous analysis in place.
  OpenResult OpenPackage(const std::filesystem::path& package, const OpenOptions& options = {});

  const std::filesystem::path& packagePath() const { return m_package; }
  const OpenFindings& findings() const { return m_findings; }
  /// The last successful ".000" analysis (survives rejected openings).
  const SharedAnalysis& analysis() const { return m_analysis; }
  /// The XML setup description of the package now open, as stored; nullopt
  /// when it has none or it could not be read. The descriptions are a few
  /// kilobytes (at most kMaxXmlFileSize): they are read into memory, never
  /// written anywhere to be read back.
  const std::optional<std::string>& xmlText() const { return m_xmlText; }
  /// The name the XML description's messages and copies go by.
  std::string xmlShownName() const;
  /// 0, or 222 when the last opening found repeated installed names.
  int BatchExitCode() const { return m_batchExitCode; }
  /// The five status panels after the last opening (Windows-1252), by
  /// position: the package, its setup description, the count of its files,
  /// the setup DLL's picture (drawn by the window; no text), the exit code.
  enum StatusPanel : size_t { kPackagePanel = 0, kDescriptionPanel = 1, kCountPanel = 2, kExitCodePanel = 4 };
  const std::vector<std::string>& statusPanels() const { return m_status; }
  const CabInfoLine& cabInfo() const { return m_cabInfo; }
  /// "Duplicates (%d) :" text of the last opening, empty when none.
  const std::string& duplicatesText() const { return m_duplicatesText; }

  UserInterface& ui() { return m_ui; }

 private:
  void PrepareCabinet(const std::filesystem::path& package, const StagedEntries& stage);
  /// A bare ".000" file: read unless it is too large.
  void PrepareBareSetup(const std::filesystem::path& package);
  /// The findings of a listed cabinet's entries: its descriptions, their
  /// sizes, the entries that are not numbered files.
  void RecordListing(const TCABFile& cab);
  /// The one pass that lists the cabinet (through cab.OnListed, which it
  /// raises first) and extracts the descriptions, and stages entries for an
  /// extraction when `stage` is given.
  Result<void> ExtractDescriptions(TCABFile& cab, const StagedEntries& stage);
  /// The folded stored names an extraction of the package will need, from
  /// its description (`setupBytes` for a ".000" package, `xmlText` else).
  std::unordered_set<std::string> NeededEntries(const std::string& setupBytes, const std::string& xmlText) const;
  OpenResult ShowAnalysis(const OpenOptions& options);
  void FillCabInfo();

  UserInterface& m_ui;
  std::optional<std::string> m_setupBytes;
  std::optional<std::string> m_xmlText;
  std::filesystem::path m_package;
  OpenFindings m_findings;
  SharedAnalysis m_analysis;
  int m_batchExitCode = 0;
  std::vector<std::string> m_status = std::vector<std::string>(5);
  CabInfoLine m_cabInfo;
  std::string m_duplicatesText;
};

/// The application name (UTF-8) of the package at `package`, opened without
/// the signature check and without a word to the user, or why it has none:
/// "no setup description", "setup description rejected", "no application
/// name". What the lists of cabinets inside another file show for each.
std::string ApplicationNameOf(const std::filesystem::path& package);

}  // namespace vornix
