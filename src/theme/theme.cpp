#include "theme/theme.h"

#include <algorithm>

#include "common/inf_head.h"
#include "common/text.h"

namespace vornix {

const std::array<const char*, 15> kSpecialColourNames = {
    "Color_Highlight",
    "Color_HighlightText",
    "Color_SoftkeyBtnFace",
    "Color_MenuText",
    "Color_SoftkeyFlat",
    "Color_SoftkeyFlatCenter",
    "Color_CaptionFlat",
    "Color_TitleFlat",
    "Color_TitleFlatCenter",
    "Color_TitleFlatDoneBtn",
    "Color_TitleFlatDoneBtn_Highlight",
    "Color_CommandBar",
    "Color_CommandBarText",
    "Color_CommandBarSip_Highlight",
    "Color_CommandBarText_Highlight",
};

namespace {

struct ImageName {
  const char* Stem;
  uint32_t Bit;
  bool Today;
  bool Landscape;
};

const ImageName kImageNames[] = {
    {"stwater", 0x1, false, false},
    {"tdywater", 0x2, true, false},
    {"stwater_240_320", 0x4, false, false},
    {"stwater_320_240", 0x8, false, true},
    {"tdywater_240_320", 0x10, true, false},
    {"tdywater_320_240", 0x20, true, true},
    {"stwater_480_640", 0x40, false, false},
    {"stwater_640_480", 0x80, false, true},
    {"tdywater_480_640", 0x100, true, false},
    {"tdywater_640_480", 0x200, true, true},
    {"stwater_480_800", 0x400, false, false},
    {"stwater_800_480", 0x800, false, true},
    {"tdywater_480_800", 0x1000, true, false},
    {"tdywater_800_480", 0x2000, true, true},
    {"stwater_240_400", 0x4000, false, false},
    {"stwater_400_240", 0x8000, false, true},
    {"tdywater_240_400", 0x10000, true, false},
    {"tdywater_400_240", 0x20000, true, true},
};

struct ClassEntry {
  uint32_t Sum;
  const char* Label;
};

const ClassEntry kClasses[] = {
    {3, "Std"},         {1, "Std + USI"}, {60, "QVGA"},         {12, "QVGA + USI"}, {960, "VGA"},
    {192, "VGA + USI"}, {15360, "WVGA"},  {3072, "WVGA + USI"}, {0x3C000, "WQVGA"}, {0xC000, "WQVGA + USI"},
};

std::string SignedDecimal(uint32_t v) { return Format("%d", static_cast<int32_t>(v)); }

/// The bytes as comma-separated pairs, at least four (missing bytes as 00).
std::string BytePairs(const std::string& bytes) {
  std::string out;
  const size_t count = std::max<size_t>(bytes.size(), 4);
  for (size_t i = 0; i < count; ++i) {
    if (i) out += ',';
    out += Format("%02X", i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u);
  }
  return out;
}

}  // namespace

uint32_t TCoulTdRGB::value() const { return (uint32_t{B} << 16) | (uint32_t{G} << 8) | R; }

std::string ThemeValue::hexText() const {
  if (Type == Kind::Bytes) {
    std::string hex;
    for (char b : Bytes) hex += Format("%02X", static_cast<unsigned char>(b));
    return hex;
  }
  if (Type == Kind::Integer && IntegerRead) return Format("%08X", Integer);
  return Text;
}

bool ThemeValue::number(uint32_t& out) const {
  if (Type == Kind::Integer) {
    out = Integer;
    return IntegerRead;
  }
  if (Type == Kind::Bytes) {
    // Registry binary data is little-endian: 01 00 00 00 is 1.
    out = 0;
    for (size_t i = 0; i < 4 && i < Bytes.size(); ++i)
      out |= static_cast<uint32_t>(static_cast<unsigned char>(Bytes[i])) << (8 * i);
    return true;
  }
  return false;
}

uint32_t RecognizeThemeImage(const std::string& destinationName, const std::string& cabName, TTSKRec& rec) {
  const std::string_view ext = ExtensionOf(destinationName);
  if (ext != ".bmp" && ext != ".gif" && ext != ".jpg" && ext != ".png") return 0;
  const std::string_view stem = std::string_view(destinationName).substr(0, destinationName.size() - ext.size());
  for (const ImageName& n : kImageNames) {
    if (stem != n.Stem) continue;
    std::string& image =
        n.Today ? (n.Landscape ? rec.TodayImgL : rec.TodayImgP) : (n.Landscape ? rec.StartImgL : rec.StartImgP);
    std::string& file =
        n.Today ? (n.Landscape ? rec.TodayFileL : rec.TodayFileP) : (n.Landscape ? rec.StartFileL : rec.StartFileP);
    image = cabName;
    file = LowerCp1252(destinationName);
    return n.Bit;
  }
  return 0;
}

int32_t ResolutionClass(uint32_t imageBits) {
  for (size_t i = 0; i < std::size(kClasses); ++i)
    if (kClasses[i].Sum == imageBits) return static_cast<int32_t>(i);
  return 10;
}

const char* ResolutionLabel(int32_t tskIdx) {
  if (tskIdx >= 0 && tskIdx < static_cast<int32_t>(std::size(kClasses))) return kClasses[tskIdx].Label;
  return "???";
}

// ---------------------------------------------------------------------------
// INF of an XML theme

namespace {

std::string InfTail(const ThemeValue& v) {
  switch (v.Type) {
    case ThemeValue::Kind::Bytes: return v.Name + ",0x00000001," + BytePairs(v.Bytes);
    case ThemeValue::Kind::Integer:
      return v.Name + ",0x00010001," + (v.IntegerRead ? SignedDecimal(v.Integer) : v.Text);
    case ThemeValue::Kind::MultiString: return v.Name + ",0x00010000," + v.Text;
    case ThemeValue::Kind::String: break;
  }
  return v.Name + ",0x00000000,\"" + v.Text + "\"";
}

std::string TodayTail(const ThemeValue& v) {
  // Today values are DWORDs; binary data longer than one DWORD keeps its
  // bytes rather than being cut down to four.
  uint32_t n = 0;
  if (v.Type == ThemeValue::Kind::Bytes && v.Bytes.size() > 4) return InfTail(v);
  if (v.Type == ThemeValue::Kind::Bytes && v.number(n)) return v.Name + ",0x00010001," + SignedDecimal(n);
  return InfTail(v);
}

}  // namespace

void GenerateThemeInf(const TTSKRec& rec, const ThemeValues& values, std::vector<std::string>& out) {
  auto add = [&](std::string line) { out.push_back(std::move(line)); };
  for (std::string& head : InfVersionSection(kInfFixedProvider)) add(std::move(head));
  add("[CEStrings]");
  add("Appname = " + rec.AppName);
  add("InstallDir = \"%CE2%\" ; (\\Windows)");
  add("");
  add("[CEDevice]");
  add("ProcessorType = " + rec.ProcessorType);
  add("UnsupportedPlatforms = \"HPC\",\"JUPITER\"");
  add("VersionMin = " + rec.VersionMin);
  add("VersionMax = " + rec.VersionMax);
  add("");
  add("[SourceDisksNames]");
  add("1 = ,\"Autre\",,\\");
  add("");
  add("[SourceDisksFiles]");
  for (const std::string& name : values.FileNames) add("\"" + name + "\" = 1");
  add("");
  add("[DefaultInstall]");
  add("AddReg = ClesRegistre");
  add("CopyFiles = CopierVersDir00");
  add("");
  add("[CopierVersDir00]  ; (%CE2% : \\Windows)");
  for (const std::string& name : values.FileNames) add("\"" + name + "\",,,0x40000000");
  add("");
  add("[DestinationDirs]");
  add("CopierVersDir00 = 0, %InstallDir%");
  add("");
  add("[Strings]");
  if (!values.Colour.empty()) add("reg_path00 = Software\\Microsoft\\Color");
  if (!values.Today.empty()) add("reg_path01 = Software\\Microsoft\\Today");
  if (!values.Own.empty())
    add("reg_path02 = " +
        (rec.ThemeKeyPath.empty() ? "Software\\Microsoft\\Today\\" + rec.ThemeName : rec.ThemeKeyPath));
  add("");
  add("[ClesRegistre]");
  for (const ThemeValue& v : values.Colour) add("HKLM,%reg_path00%," + InfTail(v));
  for (const ThemeValue& v : values.Today) add("HKCU,%reg_path01%," + TodayTail(v));
  for (const ThemeValue& v : values.Own) add("HKCU,%reg_path02%," + InfTail(v));
}

// ---------------------------------------------------------------------------
// "_setup.xml" of a ".000" theme

std::string XmlEscapeAttribute(std::string_view cp1252) {
  const std::string utf8 = Cp1252ToUtf8(cp1252);
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      switch (b) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += static_cast<char>(b);
      }
      ++i;
      continue;
    }
    // Converted from Windows-1252 just above: every sequence is whole.
    const Utf8Sequence seq = DecodeUtf8(utf8, i);
    i += seq.Length;
    out += Format("&#%u;", static_cast<unsigned>(seq.CodePoint));
  }
  return out;
}

namespace {

// The "_setup.xml" text of a theme record, section by section; each line
// indented with tabs.
class ThemeXmlWriter {
 public:
  ThemeXmlWriter(const TTSKRec& rec, std::vector<std::string>& out)
      : m_rec(rec),
        m_out(out),
        m_images{{{rec.TodayImgP, rec.TodayFileP},
                  {rec.StartImgP, rec.StartFileP},
                  {rec.TodayImgL, rec.TodayFileL},
                  {rec.StartImgL, rec.StartFileL}}} {
    if (rec.HasColors)
      for (const TCoulTdRGB& c : rec.Colors) m_colourCount += c.Present;
    m_colourCount += rec.BaseHueSet;
    m_todayCount = int(rec.DPISet) + int(rec.UseStartImageSet);
    if (rec.HasTodaySub) {
      m_ownCount += rec.DefTitleColorSet;
      for (const TCoulTdRGB& c : rec.SpecColors) m_ownCount += c.Present;
    }
  }

  void write() {
    add(0, "<wap-provisioningdoc>");
    install();
    files();
    registry();
    add(0, "</wap-provisioningdoc>");
  }

 private:
  struct Image {
    const std::string& Cab;
    const std::string& File;
    bool written() const { return !Cab.empty() && !File.empty(); }
  };

  void add(int tabs, const std::string& line) { m_out.push_back(std::string(static_cast<size_t>(tabs), '\t') + line); }
  static std::string esc(const std::string& s) { return XmlEscapeAttribute(s); }
  int regKeys() const { return int(m_colourCount != 0) + int(m_todayCount != 0) + int(m_ownCount != 0); }

  void install() {
    int numFiles = 0;
    for (const Image& im : m_images) numFiles += im.written();
    add(1, "<characteristic type=\"Install\">");
    add(2, "<parm name=\"InstallPhase\" value=\"install\"/>");
    add(2, "<parm name=\"ProcessorType\" value=\"" +
               (m_rec.ProcessorType.empty() ? std::string("2577") : esc(m_rec.ProcessorType)) + "\"/>");
    add(2, "<parm name=\"OSVersionMin\" value=\"3.0\"/>");
    add(2, "<parm name=\"OSVersionMax\" value=\"100.0\"/>");
    add(2, "<parm name=\"AppName\" value=\"" + esc(m_rec.AppName) + "\"/>");
    add(2, "<parm name=\"InstallDir\" value=\"%CE2%\" translation=\"install\"/>");
    add(2, "<parm name=\"NumDirs\" value=\"2\"/>");
    add(2, Format("<parm name=\"NumFiles\" value=\"%d\"/>", numFiles));
    add(2, Format("<parm name=\"NumRegKeys\" value=\"%d\"/>", regKeys()));
    add(2, Format("<parm name=\"NumRegVals\" value=\"%d\"/>", m_colourCount + m_todayCount + m_ownCount));
    add(2, "<parm name=\"NumShortcuts\" value=\"0\"/>");
    add(1, "</characteristic>");
  }

  void files() {
    add(1, "<characteristic type=\"FileOperation\">");
    add(2, "<characteristic type=\"%CE2%\" translation=\"install\">");
    add(3, "<characteristic type=\"MakeDir\"/>");
    for (const Image& im : m_images) {
      if (!im.written()) continue;
      add(3, "<characteristic type=\"" + esc(im.File) + "\" translation=\"install\">");
      add(4, "<characteristic type=\"Extract\">");
      add(5, "<parm name=\"Source\" value=\"" + esc(im.Cab) + "\"/>");
      add(4, "</characteristic>");
      add(3, "</characteristic>");
    }
    add(2, "</characteristic>");
    add(2, "<characteristic type=\"%InstallDir%\" translation=\"install\">");
    add(3, "<characteristic type=\"MakeDir\"/>");
    add(2, "</characteristic>");
    add(1, "</characteristic>");
  }

  void registry() {
    if (regKeys() == 0) return;
    add(1, "<characteristic type=\"Registry\">");
    if (m_colourCount != 0) colours();
    if (m_todayCount != 0) {
      add(2, "<characteristic type=\"HKCU\\Software\\Microsoft\\Today\">");
      if (m_rec.DPISet) add(3, Format("<parm name=\"DPI\" value=\"%d\" datatype=\"integer\"/>", m_rec.DPI));
      if (m_rec.UseStartImageSet)
        add(3, Format("<parm name=\"UseStartImage\" value=\"%d\" datatype=\"integer\"/>", m_rec.UseStartImage));
      add(2, "</characteristic>");
    }
    if (m_ownCount != 0) ownKey();
    add(1, "</characteristic>");
  }

  void colours() {
    add(2, "<characteristic type=\"HKLM\\Software\\Microsoft\\Color\">");
    if (m_rec.HasColors)
      for (size_t i = 0; i < m_rec.Colors.size(); ++i)
        if (m_rec.Colors[i].Present)
          add(3, Format("<parm name=\"%d\" value=\"%d\" datatype=\"integer\"/>", static_cast<int>(i) + kFirstColour,
                        static_cast<int32_t>(m_rec.Colors[i].value())));
    if (m_rec.BaseHueSet) add(3, Format("<parm name=\"BaseHue\" value=\"%d\" datatype=\"integer\"/>", m_rec.BaseHue));
    add(2, "</characteristic>");
  }

  void ownKey() {
    const std::string key =
        m_rec.ThemeKeyPath.empty() ? "Software\\Microsoft\\Today\\" + m_rec.ThemeName : m_rec.ThemeKeyPath;
    add(2, "<characteristic type=\"HKCU\\" + esc(key) + "\">");
    if (m_rec.DefTitleColorSet)
      add(3, Format("<parm name=\"UseDefaultTitleColor\" value=\"%d\" datatype=\"integer\"/>", m_rec.DefTitleColor));
    for (size_t i = 0; i < m_rec.SpecColors.size(); ++i)
      if (m_rec.SpecColors[i].Present)
        add(3, Format("<parm name=\"%s\" value=\"%d\" datatype=\"integer\"/>", kSpecialColourNames[i],
                      static_cast<int32_t>(m_rec.SpecColors[i].value())));
    add(2, "</characteristic>");
  }

  const TTSKRec& m_rec;
  std::vector<std::string>& m_out;
  const std::array<Image, 4> m_images;
  int m_colourCount = 0, m_todayCount = 0, m_ownCount = 0;
};

}  // namespace

void GenerateThemeXml(const TTSKRec& rec, std::vector<std::string>* out) {
  if (!out) return;
  out->clear();
  ThemeXmlWriter(rec, *out).write();
}

const std::vector<std::string>& ThemeConversion(const ThemeAnalysis& analysis) {
  return analysis.Rec.Has000 ? analysis.XmlLines : analysis.InfLines;
}

}  // namespace vornix
