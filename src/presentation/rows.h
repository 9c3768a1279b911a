// The rows of the seven analysis lists, as the window shows them and as the
// extraction reads them. Texts are Windows-1252; cells after the visible
// columns are kept because commands read them by position.
#pragma once

#include <string>
#include <vector>

#include "setup/setup_info.h"

namespace vornix {

/// One list row: cells[0] is the caption, cells[k] the k-th sub-item.
struct ListRow {
  std::vector<std::string> cells;
  /// The record the row shows (its index in the analysis' files), so a
  /// command reads the record rather than the row's texts; kNoRecord when none.
  size_t Record = kNoRecord;
  static constexpr size_t kNoRecord = static_cast<size_t>(-1);
  const std::string& cell(size_t k) const;
};

/// The general items of the analysis: label and value.
struct GeneralItem {
  std::string Label;
  std::string Value;
};

/// Folder text of the setup DLL row of the files list.
inline constexpr const char* kSetupDllMarker = "!!! **** SETUP DLL **** !!!";

struct AnalysisLists {
  std::vector<GeneralItem> General;  // ListViewGeneralites
  std::vector<ListRow> Strings;      // ListViewChaine
  std::vector<ListRow> Dirs;         // ListViewDir
  std::vector<ListRow> Files;        // ListViewFiles (with the setup DLL row)
  std::vector<ListRow> Hives;        // ListViewHives
  std::vector<ListRow> RegKeys;      // ListViewRegKeys
  std::vector<ListRow> Links;        // ListViewLink
};

/// What the general items need beyond the model.
struct AnalysisContext {
  std::string PackagePath;    // "Selected Filename" (Windows-1252 display text)
  std::string SetupFileName;  // "Installation filename (.000)"
  uint64_t SetupFileSize = 0;
};

AnalysisLists BuildAnalysisLists(const TSetupInfo& info, const AnalysisContext& context);

}  // namespace vornix
