#include "presentation/rtf_writer.h"

#include <gtest/gtest.h>

namespace vornix {
namespace {

TEST(RtfWriter, EscapesSpecialAndHighBytes) {
  EXPECT_EQ(RtfEscape("a\\b{c}d"), "a\\\\b\\{c\\}d");
  EXPECT_EQ(RtfEscape("x\ty"), "x\\tab y");
  EXPECT_EQ(RtfEscape("Gen\xE9ralit\xE9s \x80"), "Gen\\'e9ralit\\'e9s \\'80");
  EXPECT_EQ(RtfEscape(std::string("\x01\x7f", 2)), "\\'01\\'7f");
  EXPECT_EQ(RtfEscape(""), "");
}

TEST(RtfWriter, SmallReportByteForByte) {
  Report report;
  ReportParagraph labelled;
  labelled.Kind = ReportParagraphKind::Labelled;
  labelled.Label = "Files";
  labelled.Value = "1\t{x}";
  labelled.TabStops = {50, 100};
  report.Paragraphs.push_back(labelled);
  report.Paragraphs.push_back(ReportParagraph{});
  ReportParagraph inf;
  inf.Kind = ReportParagraphKind::Inf;
  inf.Value = "C:\\caf\xE9";
  report.Paragraphs.push_back(inf);
  EXPECT_EQ(WriteRtf(report),
            "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 MS Sans Serif;}"
            "{\\f1\\fmodern\\fcharset0 Courier New;}}\r\n"
            "{\\colortbl ;\\red0\\green0\\blue128;\\red0\\green0\\blue0;}\r\n"
            "\\viewkind4\\uc1\r\n"
            "\\pard\\tx1000\\tx2000\\plain\\f0\\fs16\\b\\cf1 Files\\plain\\f0\\fs16\\cf2\\tab 1\\tab \\{x\\}\\par\r\n"
            "\\pard\\plain\\f0\\fs16\\par\r\n"
            "\\pard\\plain\\f1\\fs16 C:\\\\caf\\'e9\r\n"
            "}\r\n");
}

TEST(RtfWriter, FullReportCarriesFontsStopsAndEveryLine) {
  TSetupInfo info;
  info.AppName = "App";
  AnalysisLists lists;
  lists.General = {{"Processor", "ARM"}};
  Report report = BuildReport(info, lists, {"[Version]", "CESignature = \"$Windows CE$\""});
  const std::string rtf = WriteRtf(report);
  EXPECT_NE(rtf.find("\\pard\\tx3200\\plain\\f0\\fs16\\b\\cf1 Processor\\plain\\f0\\fs16\\cf2\\tab ARM\\par"),
            std::string::npos);
  EXPECT_NE(rtf.find("\\plain\\f1\\fs16 CESignature = \"$Windows CE$\"\r\n}"), std::string::npos);
  size_t pars = 0;
  for (size_t at = rtf.find("\\pard"); at != std::string::npos; at = rtf.find("\\pard", at + 1)) ++pars;
  EXPECT_EQ(pars, report.Paragraphs.size());
}

}  // namespace
}  // namespace vornix
