#include "presentation/rtf_writer.h"

#include <cmath>

#include "common/text.h"

namespace vornix {
namespace {

std::string FontEntry(int index, const char* family, const ReportFont& font) {
  return Format("{\\f%d\\%s\\fcharset0 %s;}", index, family, RtfEscape(font.Face).c_str());
}

std::string Plain(int font, double points) { return Format("\\plain\\f%d\\fs%ld", font, std::lround(points * 2)); }

}  // namespace

std::string RtfEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '{' || c == '}') {
      out += '\\';
      out += c;
    } else if (c == '\t') {
      out += "\\tab ";
    } else if (byte < 0x20 || byte > 0x7E) {
      out += Format("\\'%02x", byte);
    } else {
      out += c;
    }
  }
  return out;
}

std::string WriteRtf(const Report& report) {
  std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl" + FontEntry(0, "fswiss", report.BodyFont) +
                    FontEntry(1, "fmodern", report.InfFont) + "}\r\n";
  out += Format("{\\colortbl ;\\red%d\\green%d\\blue%d;\\red0\\green0\\blue0;}\r\n", report.LabelRed, report.LabelGreen,
                report.LabelBlue);
  out += "\\viewkind4\\uc1\r\n";
  const std::string body = Plain(0, report.BodyFont.Points);
  for (size_t i = 0; i < report.Paragraphs.size(); ++i) {
    const ReportParagraph& p = report.Paragraphs[i];
    out += "\\pard";
    for (int stop : p.TabStops) out += Format("\\tx%d", stop * 20);
    switch (p.Kind) {
      case ReportParagraphKind::Labelled:
        out += body + "\\b\\cf1 " + RtfEscape(p.Label) + body + "\\cf2\\tab " + RtfEscape(p.Value);
        break;
      case ReportParagraphKind::Inf: out += Plain(1, report.InfFont.Points) + " " + RtfEscape(p.Value); break;
      case ReportParagraphKind::Blank: out += body; break;
    }
    // The last line has no paragraph mark, so readers show no empty line after it.
    out += i + 1 < report.Paragraphs.size() ? "\\par\r\n" : "\r\n";
  }
  out += "}\r\n";
  return out;
}

}  // namespace vornix
