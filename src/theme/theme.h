// Pocket PC themes (".tsk"): the theme record, its reading from a ".000"
// setup file or a "_setup.xml" document, and the description in the other
// format (an INF for an XML theme, a "_setup.xml" for a ".000" theme).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "setup/setup_info.h"

namespace vornix {

/// One colour.
struct TCoulTdRGB {
  bool Present = false;
  bool Binary = false;  // stored as bytes rather than as an integer
  uint8_t R = 0, G = 0, B = 0;
  /// 0x00BBGGRR, the value the device stores for the colour.
  uint32_t value() const;
};

inline constexpr int kFirstColour = 4;
inline constexpr int kLastColour = 40;
using TTabCoulTd = std::array<TCoulTdRGB, kLastColour - kFirstColour + 1>;  // entry 0 is colour 4
using TTabSpecTd = std::array<TCoulTdRGB, 15>;

/// The special colours: names as written by the "_setup.xml" generator,
/// in the order of TTabSpecTd. Names are compared in lower case.
extern const std::array<const char*, 15> kSpecialColourNames;

struct TTSKRec {
  std::string AppName;
  std::string ThemeName;  // last component of the theme's own key
  std::string Provider;
  std::string UnsupportedPlatforms;
  std::string ProcessorType;
  std::string VersionMin, VersionMax;
  std::string BuildMin, BuildMax;
  int32_t TSKIdx = 10;
  bool HasColors = false;
  TTabCoulTd Colors;
  bool HasTodaySub = false;
  TTabSpecTd SpecColors;
  bool DefTitleColorSet = false;
  int32_t DefTitleColor = 0;
  std::string TodayImgP, StartImgP, TodayImgL, StartImgL;      // names in the cabinet
  std::string TodayFileP, StartFileP, TodayFileL, StartFileL;  // destination names, lower case
  bool BaseHueSet = false;
  int32_t BaseHue = 0;
  bool DPISet = false;
  int32_t DPI = 0;
  bool UseStartImageSet = false;  // true only when the value is 1
  int32_t UseStartImage = 0;
  bool Has000 = false;
  bool HasXML = false;
  /// The theme's own key below its root ("Software\Microsoft\Today\x.tsk"),
  /// so a key deeper than Today\<name> is written back whole.
  std::string ThemeKeyPath;
};

/// A registry value of one of the theme's keys, kept for the INF.
struct ThemeValue {
  enum class Kind { Bytes, Integer, String, MultiString };
  std::string Name;
  Kind Type = Kind::Integer;
  std::string Bytes;     // Kind::Bytes
  uint32_t Integer = 0;  // Kind::Integer (valid when IntegerRead)
  bool IntegerRead = true;
  std::string Text;  // as written: strings, and integers that are no number

  /// The hexadecimal text: two digits per byte, or eight digits of the integer.
  std::string hexText() const;
  /// The 32-bit value: the integer, or the bytes read little-endian (missing
  /// bytes count as 00). False for text and for integers that are no number.
  bool number(uint32_t& out) const;
};

/// What a theme's INF is generated from besides the record.
struct ThemeValues {
  std::vector<std::string> FileNames;  // destination names, in document order
  std::vector<ThemeValue> Colour;      // HKLM\Software\Microsoft\Color
  std::vector<ThemeValue> Today;       // HKCU\Software\Microsoft\Today
  std::vector<ThemeValue> Own;         // the theme's own key
};

/// Fills the image slot that a destination name stands for and returns its
/// bit; 0 when the name is not a theme image.
uint32_t RecognizeThemeImage(const std::string& destinationName, const std::string& cabName, TTSKRec& rec);

/// The resolution class of a sum of image bits (10 when unknown) and its label.
int32_t ResolutionClass(uint32_t imageBits);
const char* ResolutionLabel(int32_t tskIdx);

/// The theme's INF, appended to `out` (XML themes).
void GenerateThemeInf(const TTSKRec& rec, const ThemeValues& values, std::vector<std::string>& out);

/// The theme's "_setup.xml" text (".000" themes); `out` is cleared first,
/// nothing happens when it is null. Values are escaped so the text parses.
void GenerateThemeXml(const TTSKRec& rec, std::vector<std::string>* out);

/// A whole theme analysis: the record, the values gathered for the INF and
/// both texts.
struct ThemeAnalysis {
  TTSKRec Rec;
  ThemeValues Values;
  std::vector<std::string> InfLines;  // SortieInfOD
  std::vector<std::string> XmlLines;  // SortieXMLOD
  std::vector<std::string> Warnings;  // values kept as written
};

/// The theme part of a read ".000" setup file; also writes its INF and
/// generates the "_setup.xml" text.
void ReadThemeFromSetup(const TSetupInfo& info, ThemeAnalysis& out);

/// Reads a theme's "_setup.xml" document and generates its INF; fails when
/// the document is too large, does not parse or is empty.
Result<void> ReadThemeFromXml(std::string_view bytes, ThemeAnalysis& out);

/// Analyses a theme package: lists it, extracts the setup description into
/// `extractionFolder`/TskIdx (removed afterwards) and reads it. Fails with
/// "not a theme" when the package holds no description, or with why the one
/// it holds could not be read.
Result<ThemeAnalysis> AnalyseTheme(const std::filesystem::path& package, const std::filesystem::path& extractionFolder);

/// The analysis of a theme package whose description was not read: the
/// record says only which descriptions the package holds.
ThemeAnalysis UnreadTheme(const std::filesystem::path& package);

/// The description in the other format: the "_setup.xml" text of a ".000"
/// theme, the INF text of an XML theme.
const std::vector<std::string>& ThemeConversion(const ThemeAnalysis& analysis);

/// Text for a "_setup.xml" attribute: '&', '<', '>', '"' escaped, characters
/// beyond ASCII as character references.
std::string XmlEscapeAttribute(std::string_view cp1252);

}  // namespace vornix
