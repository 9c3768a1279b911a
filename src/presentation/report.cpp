#include "presentation/report.h"

#include "common/text.h"
#include "presentation/catalogue.h"
#include "presentation/display.h"

namespace vornix {
namespace {

// A CR or LF inside a package text would split a report line in two and move
// every anchor after it; the report shows it as a blank instead.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

std::string Tabbed(std::initializer_list<std::string> fields) {
  std::string out;
  bool first = true;
  for (const std::string& f : fields) {
    if (!first) out += '\t';
    out += f;
    first = false;
  }
  return out;
}

class ReportBuilder {
 public:
  explicit ReportBuilder(Report& report) : m_report(report) {}

  // A labelled line; nothing is appended for an empty value.
  void line(const std::string& label, const std::string& value) {
    if (value.empty()) return;
    ReportParagraph p;
    p.Kind = ReportParagraphKind::Labelled;
    p.Label = OneLine(label);
    p.Value = OneLine(value);
    push(std::move(p));
  }
  void blank() { push(ReportParagraph{}); }
  void star() { line(StarLabel(), " "); }
  void blankPair() { line(" ", " "); }
  void inf(const std::string& text) {
    ReportParagraph p;
    p.Kind = ReportParagraphKind::Inf;
    p.Value = OneLine(text);
    push(std::move(p));
  }

  void setTabStops(size_t from, const std::vector<int>& stops) {
    for (size_t i = from; i < m_report.Paragraphs.size(); ++i) m_report.Paragraphs[i].TabStops = stops;
  }

  size_t lineIndex() const { return m_report.Paragraphs.size(); }
  // Where the next line will start: one line break after the last line.
  int64_t nextLineStart() const { return m_report.Paragraphs.empty() ? 0 : m_position + 1; }

 private:
  void push(ReportParagraph p) {
    if (!m_report.Paragraphs.empty()) m_position += 1;  // the line break before it
    m_position += static_cast<int64_t>(p.text().size());
    m_report.Paragraphs.push_back(std::move(p));
  }
  Report& m_report;
  int64_t m_position = 0;  // characters so far, line breaks included
};

int32_t Clamp32(int64_t v) { return v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v); }

}  // namespace

std::string ReportParagraph::text() const {
  switch (Kind) {
    case ReportParagraphKind::Labelled: return Label + '\t' + Value;
    case ReportParagraphKind::Inf: return Value;
    case ReportParagraphKind::Blank: break;
  }
  return {};
}

std::string Report::plainText() const {
  std::string out;
  for (size_t i = 0; i < Paragraphs.size(); ++i) {
    if (i) out += '\n';
    out += Paragraphs[i].text();
  }
  return out;
}

std::string Report::infText() const {
  std::string out;
  for (size_t i = InfFirstParagraph; i < Paragraphs.size(); ++i) {
    if (i > InfFirstParagraph) out += "\r\n";
    out += Paragraphs[i].Value;
  }
  return out;
}

const std::string& StarLabel() {
  static const std::string stars(161, '*');
  return stars;
}

std::vector<ReportParagraph> ReportHeadings() {
  auto heading = [](std::string label, std::string value, std::vector<int> stops) {
    ReportParagraph p;
    p.Kind = ReportParagraphKind::Labelled;
    p.Label = std::move(label);
    p.Value = std::move(value);
    p.TabStops = std::move(stops);
    return p;
  };
  return {
      heading(Str(MainStr::TabStrings), Tabbed({Str(MainStr::ColValue), Str(MainStr::ColEquivalent)}), {70, 350}),
      heading(Str(MainStr::TabDirectories), Tabbed({Str(MainStr::ColStringId), Str(MainStr::ColValue)}), {70, 170}),
      heading(Str(MainStr::TabFiles),
              Tabbed({Str(MainStr::ColOrderNumber), Str(MainStr::ColFlags), Str(MainStr::ColIdDir),
                      Str(MainStr::ColFileNameInCab), Str(MainStr::ColFileName)}),
              {50, 100, 160, 425, 530}),
      heading(Str(MainStr::TabHives), Tabbed({Str(MainStr::ColRoot), Str(MainStr::LblString)}), {50, 100}),
      heading("R.K. ID", Tabbed({Str(MainStr::ColKey), Str(MainStr::ColValue), Str(MainStr::ColType)}),
              {40, 405, 655, 720}),
      heading(Str(MainStr::ColIdS),
              Tabbed({Str(MainStr::ColShortcutName), Str(MainStr::ColInstalledAt), Str(MainStr::ColPointsTo)}),
              {80, 200, 400}),
  };
}

namespace {

// The general block. "SETUP File" is a general item of the list but comes
// after the sections in the report: its item is given back.
const GeneralItem* ReportGeneral(ReportBuilder& b, const TSetupInfo& info, const AnalysisLists& lists) {
  const std::string& setupFileLabel = Str(MainStr::LblSetupFile);
  b.line(Str(MainStr::TabGeneral), " ");
  b.blank();
  const GeneralItem* setupItem = nullptr;
  for (const GeneralItem& item : lists.General) {
    if (info.SetupDll.present() && item.Label == setupFileLabel) {
      setupItem = &item;
      continue;
    }
    b.line(item.Label, item.Value);
  }
  b.setTabStops(0, {160});
  b.blank();
  b.star();
  b.blank();
  return setupItem;
}

// The six sections, each with its anchors when it has rows.
void ReportSections(ReportBuilder& b, const TSetupInfo& info, TReportAnchors& anchors) {
  auto section = [&](int number, size_t count, const ReportParagraph& heading, auto&& rows) {
    if (count == 0) return;
    size_t first = b.lineIndex();
    anchors.SectionStart[number] = Clamp32(b.nextLineStart());
    anchors.SectionLine[number] = Clamp32(static_cast<int64_t>(first));
    b.line(heading.Label, heading.Value);
    b.blank();
    rows();
    b.setTabStops(first, heading.TabStops);
    b.blank();
    b.star();
    b.blank();
  };

  const std::vector<ReportParagraph> headings = ReportHeadings();
  section(kSectionStrings, info.Strings.size(), headings[kSectionStrings], [&] {
    for (const AListChaine& s : info.Strings) b.line(IdText3(s.Id), Tabbed({s.Value, s.Equivalent}));
  });
  section(kSectionDirs, info.Dirs.size(), headings[kSectionDirs], [&] {
    for (const AListDir& d : info.Dirs) b.line(IdText3(d.Id), Tabbed({DirIdPathText(d), d.Path}));
  });
  section(kSectionFiles, info.Files.size(), headings[kSectionFiles], [&] {
    for (const AListFiles& f : info.Files) {
      // The folder's path after a blank, without its ID.
      const AListDir* dir = info.findDir(f.DirId);
      b.line(IdText3(f.Id), Tabbed({IdText3(f.OrderNumber), FlagsText(f.Flags), dir ? " " + dir->Path : std::string(),
                                    FileCabName(info, f), InfFileName(f.Name)}));
    }
  });
  section(kSectionHives, info.Hives.size(), headings[kSectionHives], [&] {
    for (const AListHive& h : info.Hives) b.line(IdText3(h.Id), Tabbed({HiveRootText(h), h.Path}));
  });
  section(kSectionKeys, info.RegKeys.size(), headings[kSectionKeys], [&] {
    for (const AListReg& r : info.RegKeys) {
      // The hive's root and path after a blank, without its ID.
      const AListHive* hive = info.findHive(r.HiveId);
      std::string key = hive ? " " + HiveRootText(*hive) + "\\" + hive->Path : std::string();
      if (!r.Name.empty()) key += "\\" + r.Name;
      b.line(IdText3(r.Id), Tabbed({key, RegValueText(info, r), RegTypeText(r) + "\t"}));
    }
  });
  section(kSectionShortcuts, info.Shortcuts.size(), headings[kSectionShortcuts], [&] {
    for (const AListRac& s : info.Shortcuts)
      b.line(IdText3(s.Id), Tabbed({s.Name, s.InstalledAt, ShortcutTargetName(info, s).value_or("")}));
  });
}

// The setup DLL and the files that register themselves.
void ReportSetupDllAndSelfRegister(ReportBuilder& b, const TSetupInfo& info, const GeneralItem* setupItem) {
  const std::string& setupFileLabel = Str(MainStr::LblSetupFile);
  if (info.SetupDll.present()) {
    b.line(setupFileLabel, setupItem ? setupItem->Value : info.SetupDll.Name);
    b.blankPair();
    b.star();
  }
  const std::vector<std::string> selfRegister = SelfRegisterNames(info);
  if (!selfRegister.empty()) {
    b.blankPair();
    b.line("Self Register DLL ", " ");
    b.blankPair();
    for (const std::string& entry : selfRegister) b.line(" ", entry);
    b.blankPair();
    b.star();
  }
}

// The rebuilt INF, with its anchors.
void ReportInf(ReportBuilder& b, Report& report, const TSetupInfo& info, const std::vector<std::string>& infLines) {
  TReportAnchors& anchors = report.Anchors;
  anchors.InfLine = Clamp32(static_cast<int64_t>(b.lineIndex()));
  b.star();
  b.blankPair();
  b.line(Format(Str(MainStr::LblInfRebuilt).c_str(), info.AppName.c_str()), " ");
  b.blankPair();
  b.star();
  b.blankPair();
  anchors.InfStart = Clamp32(b.nextLineStart());
  report.InfFirstParagraph = b.lineIndex();
  int64_t infLength = 0;
  for (size_t i = 0; i < infLines.size(); ++i) {
    b.inf(infLines[i]);
    infLength += static_cast<int64_t>(report.Paragraphs.back().Value.size()) + (i ? 1 : 0);
  }
  anchors.InfLength = Clamp32(infLength);
}

// The cabinet's signature, when it has one.
void ReportSignature(ReportBuilder& b, const std::vector<GeneralItem>& signature) {
  if (signature.empty()) return;
  const size_t first = b.lineIndex();
  b.line("Cabinet signature", " ");
  b.blank();
  for (const GeneralItem& item : signature) b.line(item.Label, item.Value);
  b.setTabStops(first, {160});
  b.blank();
  b.star();
  b.blank();
}

}  // namespace

Report BuildReport(const TSetupInfo& info, const AnalysisLists& lists, const std::vector<std::string>& infLines,
                   const std::vector<GeneralItem>& signature) {
  Report report;
  ReportBuilder b(report);
  const GeneralItem* setupItem = ReportGeneral(b, info, lists);
  ReportSignature(b, signature);
  ReportSections(b, info, report.Anchors);
  ReportSetupDllAndSelfRegister(b, info, setupItem);
  ReportInf(b, report, info, infLines);
  return report;
}

}  // namespace vornix
