// Reading a theme's setup description into TTSKRec.
#include <algorithm>

#include <pugixml.hpp>

#include "common/base64.h"
#include "common/text.h"
#include "presentation/display.h"
#include "presentation/inf_writer.h"
#include "theme/theme.h"
#include "xml/xml_setup.h"

namespace vornix {
namespace {

enum class ThemeKey { None, Colour, Today, Own };

void FillColour(const ThemeValue& v, TCoulTdRGB& c) {
  c.Present = true;
  if (v.Type == ThemeValue::Kind::Bytes) {
    c.Binary = true;
    auto byte = [&](size_t i) { return i < v.Bytes.size() ? static_cast<uint8_t>(v.Bytes[i]) : uint8_t{0}; };
    c.R = byte(0);
    c.G = byte(1);
    c.B = byte(2);
    return;
  }
  c.Binary = false;
  // The integer's low byte is red, then green and blue.
  c.R = static_cast<uint8_t>(v.Integer & 0xFFu);
  c.G = static_cast<uint8_t>((v.Integer >> 8) & 0xFFu);
  c.B = static_cast<uint8_t>((v.Integer >> 16) & 0xFFu);
}

/// True when the value is a colour or a number the record keeps.
bool Colourable(const ThemeValue& v) {
  return v.Type == ThemeValue::Kind::Bytes || (v.Type == ThemeValue::Kind::Integer && v.IntegerRead);
}

void Apply(ThemeKey key, ThemeValue v, ThemeAnalysis& out) {
  TTSKRec& rec = out.Rec;
  const std::string name = LowerCp1252(v.Name);
  uint32_t n = 0;
  const bool numeric = v.number(n);
  switch (key) {
    case ThemeKey::None: return;
    case ThemeKey::Colour: {
      int64_t colour = 0;
      if (name != "basehue" && ParseInt64(name, colour) && colour >= kFirstColour && colour <= kLastColour) {
        if (Colourable(v)) {
          FillColour(v, rec.Colors[static_cast<size_t>(colour - kFirstColour)]);
          rec.HasColors = true;
        }
      } else if (name == "basehue" && numeric) {
        rec.BaseHueSet = true;
        rec.BaseHue = static_cast<int32_t>(n);
      }
      out.Values.Colour.push_back(std::move(v));
      return;
    }
    case ThemeKey::Today:
      if (name == "usestartimage" && numeric) {
        rec.UseStartImage = static_cast<int32_t>(n);
        rec.UseStartImageSet = n == 1;
      } else if (name == "dpi" && numeric) {
        rec.DPISet = true;
        rec.DPI = static_cast<int32_t>(n);
      }
      out.Values.Today.push_back(std::move(v));
      return;
    case ThemeKey::Own: {
      rec.HasTodaySub = true;
      if (name == "usedefaulttitlecolor") {
        if (numeric) {
          rec.DefTitleColorSet = true;
          rec.DefTitleColor = static_cast<int32_t>(n);
        }
      } else if (Colourable(v)) {
        // A name that is none of the special colours stays in the INF only;
        // it must not take the place of Color_Highlight.
        for (size_t i = 0; i < kSpecialColourNames.size(); ++i)
          if (name == LowerCp1252(kSpecialColourNames[i])) FillColour(v, rec.SpecColors[i]);
      }
      out.Values.Own.push_back(std::move(v));
      return;
    }
  }
}

void FinishImages(uint32_t bits, ThemeAnalysis& out) { out.Rec.TSKIdx = ResolutionClass(bits); }

std::string Attr(const pugi::xml_node& node, const char* name) {
  for (const pugi::xml_attribute& a : node.attributes())
    if (EqualsNoCase(a.name(), name)) return XmlAttributeToAnsi(a.value());
  return {};
}

pugi::xml_node FirstElement(const pugi::xml_node& node) {
  for (const pugi::xml_node& c : node.children())
    if (c.type() == pugi::node_element) return c;
  return {};
}

/// The markup of the root element, with characters beyond ASCII as
/// character references so that the text parses again whatever code page
/// it is later read in.
std::vector<std::string> RootMarkup(std::string_view bytes) {
  pugi::xml_document doc;
  if (!doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_comments))
    return {};
  struct Sink : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
  } sink;
  doc.document_element().print(sink, "", pugi::format_raw, pugi::encoding_utf8);
  if (sink.text.empty()) return {};
  std::string ascii;
  for (size_t i = 0; i < sink.text.size();) {
    const auto b = static_cast<unsigned char>(sink.text[i]);
    if (b < 0x80) {
      ascii += static_cast<char>(b);
      ++i;
      continue;
    }
    // A byte that starts no whole sequence stands for itself: the bytes
    // after it (a quote, a '<') are never taken into a character.
    const Utf8Sequence seq = DecodeUtf8(sink.text, i);
    const char32_t cp = seq.Length ? seq.CodePoint : b;
    i += seq.Length ? seq.Length : 1;
    ascii += Format("&#%u;", static_cast<unsigned>(cp));
  }
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= ascii.size()) {
    size_t end = ascii.find('\n', start);
    if (end == std::string::npos) end = ascii.size();
    std::string line = ascii.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

void ReadInstall(const pugi::xml_node& section, ThemeAnalysis& out) {
  for (const pugi::xml_node& parm : section.children()) {
    if (parm.type() != pugi::node_element || !parm.first_attribute()) continue;
    const std::string name = Attr(parm, "name");
    const std::string value = Attr(parm, "value");
    const std::string key = LowerCp1252(name);
    if (key == "processortype")
      out.Rec.ProcessorType = value;
    else if (key == "osversionmin")
      out.Rec.VersionMin = value;
    else if (key == "osversionmax")
      out.Rec.VersionMax = value;
    else if (key == "appname")
      out.Rec.AppName = value;
    else if (key == "numfiles" || key == "numregkeys" || key == "numregvals") {
      uint32_t n = 0;
      if (!ParseInt32Text(value, n)) out.Warnings.push_back(name + ": \"" + value + "\" is not a number; ignored");
    }
  }
}

uint32_t ReadFileOperation(const pugi::xml_node& section, ThemeAnalysis& out) {
  uint32_t bits = 0;
  for (const pugi::xml_node& dir : section.children()) {
    if (dir.type() != pugi::node_element) continue;
    for (const pugi::xml_node& file : dir.children()) {
      const pugi::xml_node inner = FirstElement(file);
      if (file.type() != pugi::node_element || !inner) continue;
      const pugi::xml_node parm = FirstElement(inner);
      const std::string dest = Attr(file, "type");
      if (LowerCp1252(Attr(file, "translation")) != "install" || LowerCp1252(Attr(inner, "type")) != "extract" ||
          LowerCp1252(Attr(parm, "name")) != "source")
        continue;
      out.Values.FileNames.push_back(dest);
      // A sum, not a union: two images of one slot count twice.
      bits += RecognizeThemeImage(dest, Attr(parm, "value"), out.Rec);
    }
  }
  return bits;
}

void ReadRegistry(const pugi::xml_node& section, ThemeAnalysis& out) {
  static const std::string kToday = "hkcu\\software\\microsoft\\today";
  // Every key is read under its own name, however many the section holds.
  for (const pugi::xml_node& key : section.children()) {
    if (key.type() != pugi::node_element) continue;
    const std::string name = Attr(key, "type");
    const std::string lower = LowerCp1252(name);
    ThemeKey kind = ThemeKey::None;
    if (lower == "hklm\\software\\microsoft\\color")
      kind = ThemeKey::Colour;
    else if (lower == kToday)
      kind = ThemeKey::Today;
    else if (lower.find(kToday) != std::string::npos)
      kind = ThemeKey::Own;
    if (lower.find(kToday) != std::string::npos && lower.size() > kToday.size()) {
      out.Rec.ThemeName = name.substr(name.rfind('\\') + 1);
      out.Rec.ThemeKeyPath = name.substr(name.find('\\') + 1);
    }
    if (kind == ThemeKey::None) continue;
    for (const pugi::xml_node& parm : key.children()) {
      if (parm.type() != pugi::node_element || !parm.first_attribute()) continue;
      ThemeValue v;
      v.Name = Attr(parm, "name");
      const std::string value = Attr(parm, "value");
      const std::string type = LowerCp1252(Attr(parm, "datatype"));
      if (type == "binary") {
        v.Type = ThemeValue::Kind::Bytes;
        Result<std::string> decoded = TBase64::Decode(value);
        if (decoded) v.Bytes = std::move(*decoded);
        if (!decoded) {
          out.Warnings.push_back(v.Name + ": \"" + value + "\" is not valid Base64; left out");
          continue;
        }
      } else if (type == "integer") {
        v.Type = ThemeValue::Kind::Integer;
        v.Text = value;
        v.IntegerRead = ParseInt32Text(value, v.Integer);
        if (!v.IntegerRead) out.Warnings.push_back(v.Name + ": \"" + value + "\" is not a number; kept as written");
      } else {
        v.Type = type == "multiplestring" ? ThemeValue::Kind::MultiString : ThemeValue::Kind::String;
        v.Text = value;
      }
      Apply(kind, std::move(v), out);
    }
  }
}

}  // namespace

void ReadThemeFromSetup(const TSetupInfo& info, ThemeAnalysis& out) {
  TTSKRec& rec = out.Rec;
  rec.Has000 = true;
  rec.AppName = info.AppName;
  rec.Provider = info.Provider;
  rec.UnsupportedPlatforms = UnsupportedPlatformsText(info.UnsupportedPlatforms);
  // Processor 0 means "any": the record has no processor type then.
  if (info.Header.ProcessorCode != 0) rec.ProcessorType = Format("%d", info.Header.ProcessorCode);
  rec.VersionMin = Format("%d.%d", info.Header.MinVersionMajor, info.Header.MinVersionMinor);
  rec.VersionMax = Format("%d.%d", info.Header.MaxVersionMajor, info.Header.MaxVersionMinor);
  rec.BuildMin = Format("%d", info.Header.MinBuild);
  rec.BuildMax = Format("%d", info.Header.MaxBuild);

  for (const AListReg& k : info.RegKeys) {
    const AListHive* hive = info.findHive(k.HiveId);
    if (!hive) continue;
    const std::string path = LowerCp1252(hive->Path);
    ThemeKey kind = ThemeKey::None;
    if (path == "software\\microsoft\\color")
      kind = ThemeKey::Colour;
    else if (path == "software\\microsoft\\today")
      kind = ThemeKey::Today;
    else if (path.find(".tsk") != std::string::npos) {
      kind = ThemeKey::Own;
      rec.ThemeName = std::string(FileNamePart(hive->Path));
      rec.ThemeKeyPath = hive->Path;
    }
    if (kind == ThemeKey::None) continue;
    ThemeValue v;
    v.Name = k.Name;
    const std::string_view type = RegTypeName(k.Flags);
    if (type == "REG_BINARY") {
      v.Type = ThemeValue::Kind::Bytes;
      v.Bytes = k.Data;
    } else if (type == "REG_DWORD") {
      v.Type = ThemeValue::Kind::Integer;
      v.IntegerRead = RegDwordValue(k.Data, v.Integer);
      v.Text = RegRawValueText(k);
    } else {
      v.Type = type == "REG_MULTI_SZ" ? ThemeValue::Kind::MultiString : ThemeValue::Kind::String;
      v.Text = RegRawValueText(k);
    }
    Apply(kind, std::move(v), out);
  }
  uint32_t bits = 0;
  for (const AListFiles& f : info.Files) bits += RecognizeThemeImage(f.Name, FileCabName(info, f), rec);
  FinishImages(bits, out);
  out.InfLines = WriteInf(info);
  GenerateThemeXml(rec, &out.XmlLines);
}

Result<void> ReadThemeFromXml(std::string_view bytes, ThemeAnalysis& out) {
  out.Rec.HasXML = true;
  // The limits of the XML setup reader: nothing larger than a description can be is parsed.
  if (bytes.size() > kMaxXmlFileSize) return MakeError(ErrorCode::TooLarge, XmlTooLargeMessage(bytes.size()));
  size_t markup = 0;
  for (char c : bytes) markup += c == '<' || c == '=';
  if (markup > kMaxXmlMarkup) {
    return MakeError(ErrorCode::TooLarge, Format("The document holds more than %zu tags and attributes",
                                                 static_cast<size_t>(kMaxXmlMarkup)));
  }
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed =
      doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_comments);
  if (!parsed) {
    return MakeError(ErrorCode::Syntax, parsed.description(),
                     static_cast<uint64_t>(std::max<ptrdiff_t>(parsed.offset, 0)));
  }
  if (!doc.first_child()) return MakeError(ErrorCode::NotATheme, "The XML document is empty");
  uint32_t bits = 0;
  for (const pugi::xml_node& top : doc.children()) {
    for (const pugi::xml_node& section : top.children()) {
      if (section.type() != pugi::node_element || std::string_view(section.name()) != "characteristic") continue;
      const std::string type = LowerCp1252(Attr(section, "type"));
      if (type == "install")
        ReadInstall(section, out);
      else if (type == "fileoperation")
        bits += ReadFileOperation(section, out);
      else if (type == "registry")
        ReadRegistry(section, out);
    }
  }
  FinishImages(bits, out);
  out.InfLines.clear();
  GenerateThemeInf(out.Rec, out.Values, out.InfLines);
  out.XmlLines = RootMarkup(bytes);
  return {};
}

}  // namespace vornix
