// The formatted report of an analysis: the rich-text document the window
// shows in its last tab and saves as RTF. Built once as plain data so the
// window, the RTF writer and the tests all read the same paragraphs.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "presentation/rows.h"
#include "setup/setup_info.h"

namespace vornix {

enum class ReportParagraphKind {
  Labelled,  // bold navy label, a tab, black value
  Blank,     // an empty line without attributes
  Inf,       // one line of the rebuilt INF, in the INF font
};

/// One line of the report. Texts are Windows-1252 and never hold CR or LF.
struct ReportParagraph {
  ReportParagraphKind Kind = ReportParagraphKind::Blank;
  std::string Label;
  std::string Value;
  std::vector<int> TabStops;  // in points; empty: the default stops

  /// The line as plain text: label, tab, value for a labelled line.
  std::string text() const;
};

struct ReportFont {
  std::string Face;
  double Points = 8;  // in half-point steps, as RTF stores sizes
};

/// Where the navigation commands jump to. Positions count characters of the
/// report with one character between two lines; line indexes count lines
/// from 0. A section that was not written keeps -1.
struct TReportAnchors {
  static constexpr int kSections = 6;  // strings, dirs, files, hives, keys, shortcuts
  std::array<int32_t, kSections> SectionStart{-1, -1, -1, -1, -1, -1};
  std::array<int32_t, kSections> SectionLine{-1, -1, -1, -1, -1, -1};
  int32_t InfLine = -1;
  int32_t InfStart = 0;
  int32_t InfLength = 0;
  bool hasSection(int section) const { return SectionLine.at(static_cast<size_t>(section)) >= 0; }
};

/// Section numbers of TReportAnchors.
enum ReportSection { kSectionStrings, kSectionDirs, kSectionFiles, kSectionHives, kSectionKeys, kSectionShortcuts };

struct Report {
  std::vector<ReportParagraph> Paragraphs;
  TReportAnchors Anchors;
  ReportFont BodyFont{"MS Sans Serif", 8};
  ReportFont InfFont{"Courier New", 8};
  uint8_t LabelRed = 0, LabelGreen = 0, LabelBlue = 128;

  /// Index of the first INF paragraph (== Paragraphs.size() when the INF is empty).
  size_t InfFirstParagraph = 0;

  /// The whole report as plain text, lines joined by '\n' (positions match the anchors).
  std::string plainText() const;
  /// The INF as the report holds it: its lines joined by CR LF, without a final line end.
  std::string infText() const;
  bool empty() const { return Paragraphs.empty(); }
};

/// The star line's label: 161 asterisks.
const std::string& StarLabel();

/// The six section headings (label, value fields, tab stops), in section
/// order: the lines whose cells must each fit between their stops.
std::vector<ReportParagraph> ReportHeadings();

/// Builds the report from a read setup description, the rows of its lists
/// (for the general items) and the INF lines, in the order and with the tab
/// stops the analysis tab shows them.
/// `signature`: the cabinet's signature as labelled items, a section of its
/// own after the general block; none when empty.
Report BuildReport(const TSetupInfo& info, const AnalysisLists& lists, const std::vector<std::string>& infLines,
                   const std::vector<GeneralItem>& signature = {});

}  // namespace vornix
