// The .reg export read back by a parser of the registry editor's format:
// every value comes back with its type and its bytes.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "common/text.h"
#include "helpers/setup_builder.h"
#include "presentation/reg_export.h"
#include "xml/xml_setup.h"

namespace vornix {
namespace {

using testing::SetupRecipe;

struct ParsedValue {
  std::string Type;   // "sz", "dword", "hex", "hex(2)", "hex(7)", ...
  std::string Bytes;  // the text (sz), or the listed bytes
  uint32_t Dword = 0;
};
struct ParsedFile {
  std::string Head;
  std::map<std::string, std::map<std::string, ParsedValue>> Keys;  // key -> name ("@" default) -> value
  std::vector<std::string> Comments;
};

// UTF-16LE (with its byte-order mark) to Windows-1252; the test texts fit it.
std::string FromUtf16(const std::string& bytes) {
  EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
  std::string utf8;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const char32_t unit = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (unit < 0x80) {
      utf8 += static_cast<char>(unit);
    } else if (unit < 0x800) {
      utf8 += static_cast<char>(0xC0 | (unit >> 6));
      utf8 += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      utf8 += static_cast<char>(0xE0 | (unit >> 12));
      utf8 += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return Utf8ToCp1252(utf8);
}

std::string Unquote(const std::string& text, size_t& at) {
  std::string out;
  EXPECT_EQ(text[at], '"');
  for (++at; at < text.size() && text[at] != '"'; ++at) {
    if (text[at] == '\\') ++at;
    out += text[at];
  }
  ++at;
  return out;
}

ParsedFile Parse(const std::string& text) {
  ParsedFile file;
  std::vector<std::string> lines;
  std::string pending;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    EXPECT_FALSE(line.empty() || line.back() != '\r') << "every line ends in CR LF: " << line;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!pending.empty()) line = pending + line.substr(line.find_first_not_of(' '));
    pending.clear();
    if (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos) {
      pending = line.substr(0, line.size() - 1);
      continue;
    }
    lines.push_back(line);
  }
  file.Head = lines.at(0);
  std::string key;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty()) continue;
    if (line[0] == ';') {
      file.Comments.push_back(line);
      continue;
    }
    if (line[0] == '[') {
      key = line.substr(1, line.size() - 2);
      file.Keys[key];
      continue;
    }
    size_t at = 0;
    const std::string name = line[0] == '@' ? (++at, "@") : Unquote(line, at);
    EXPECT_EQ(line[at], '=') << line;
    const std::string rest = line.substr(at + 1);
    ParsedValue v;
    if (rest[0] == '"') {
      size_t q = 0;
      v.Type = "sz";
      v.Bytes = Unquote(rest, q);
    } else if (rest.rfind("dword:", 0) == 0) {
      v.Type = "dword";
      v.Dword = static_cast<uint32_t>(std::stoul(rest.substr(6), nullptr, 16));
    } else {
      const size_t colon = rest.find(':');
      v.Type = rest.substr(0, colon);
      std::istringstream hex(rest.substr(colon + 1));
      for (std::string pair; std::getline(hex, pair, ',');) v.Bytes += static_cast<char>(std::stoul(pair, nullptr, 16));
    }
    file.Keys[key][name] = v;
  }
  return file;
}

TSetupInfo Read(const SetupRecipe& recipe) {
  SetupReadInput in;
  in.DisplayName = "T.000";
  Result<TSetupInfo> r = ReadSetupBytes(testing::BuildSetupFile(recipe), in);
  EXPECT_TRUE(r.ok()) << r.message();
  return r.ok() ? *r : TSetupInfo{};
}

SetupRecipe RegistryRecipe() {
  SetupRecipe s;
  s.AppName = "Reg App";
  s.Strings = {{1, "%CE1%\\Reg App"}, {2, "Software"}, {3, "Vendor \xE9"}, {4, "Settings"}};
  s.Hives = {{1, 3, {2, 3}}, {2, 2, {2, 3, 4}}, {3, 9, {4}}};
  const std::string binary = std::string("\x00\x01\x7F\x80\xFF", 5) + std::string(40, '\xAB');
  s.RegKeys = {
      {1, 1, 0x00000000, "Path", testing::RegSzBytes("%InstallDir%\\data \"q\" \xE9\\")},
      {2, 1, 0x00010001, "Count", testing::RegDwordBytes(0xFFFFFFFE)},
      {3, 1, 0x00000001, "Blob", binary},
      {4, 2, 0x00010000, "List", testing::RegMultiSzBytes({"%CE2%\\one", "two"})},
      {5, 2, 0x00020000, "Expand", testing::RegSzBytes("%SystemRoot%\\x")},
      {6, 2, 0x00000002, "", testing::RegSzBytes("default, kept")},
      {7, 2, 0x00010003, "Short", std::string("\x01\x02", 2)},
      {8, 7, 0x00000000, "Lost", testing::RegSzBytes("no hive")},
      {9, 1, 0x00040000, "Odd", "xyz"},
      {10, 3, 0x00000000, "NoRoot", testing::RegSzBytes("x")},
  };
  return s;
}

std::string Utf16(const std::string& cp1252) {
  std::string out;
  const std::string utf8 = Cp1252ToUtf8(cp1252);
  for (size_t i = 0; i < utf8.size();) {
    const Utf8Sequence seq = DecodeUtf8(utf8, i);
    out += static_cast<char>(seq.CodePoint & 0xFF);
    out += static_cast<char>(seq.CodePoint >> 8);
    i += seq.Length;
  }
  return out + std::string(2, '\0');
}

void ExpectValues(const ParsedFile& f, bool wide) {
  const std::string machine = "HKEY_LOCAL_MACHINE\\Software\\Vendor \xE9";
  const std::string user = "HKEY_CURRENT_USER\\Software\\Vendor \xE9\\Settings";
  ASSERT_EQ(f.Keys.size(), 2u);
  const auto& m = f.Keys.at(machine);
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m.at("Path").Type, "sz");
  EXPECT_EQ(m.at("Path").Bytes, "\\Program Files\\Reg App\\data \"q\" \xE9\\");
  EXPECT_EQ(m.at("Count").Type, "dword");
  EXPECT_EQ(m.at("Count").Dword, 0xFFFFFFFEu);
  EXPECT_EQ(m.at("Blob").Type, "hex");
  EXPECT_EQ(m.at("Blob").Bytes, std::string("\x00\x01\x7F\x80\xFF", 5) + std::string(40, '\xAB'));
  const auto& u = f.Keys.at(user);
  ASSERT_EQ(u.size(), 4u);
  auto text = [wide](const std::string& s) { return wide ? Utf16(s) : s + std::string(1, '\0'); };
  EXPECT_EQ(u.at("List").Type, "hex(7)");
  EXPECT_EQ(u.at("List").Bytes, text("\\Windows\\one") + text("two") + text(""));
  EXPECT_EQ(u.at("Expand").Type, "hex(2)");
  EXPECT_EQ(u.at("Expand").Bytes, text("%SystemRoot%\\x"));
  EXPECT_EQ(u.at("@").Type, "sz");
  EXPECT_EQ(u.at("@").Bytes, "default, kept");
  EXPECT_EQ(u.at("Short").Type, "hex(4)");
  EXPECT_EQ(u.at("Short").Bytes, std::string("\x01\x02", 2));
  // What cannot be written is said, not dropped in silence.
  ASSERT_EQ(f.Comments.size(), 3u);
  EXPECT_EQ(f.Comments[0], "; value 009 (\"Odd\") has flags 0x00040000, of no registry type: not written");
  EXPECT_EQ(f.Comments[1], "; hive 003 has root 9, which names no registry root: its 1 value(s) not written");
  EXPECT_EQ(f.Comments[2], "; value 008 (\"Lost\") names hive 007, which the package does not have: not written");
}

TEST(RegExport, Version5RoundTripsEveryValue) {
  const std::string bytes = RegFileBytes(Read(RegistryRecipe()), RegFileFormat::Version5);
  const ParsedFile f = Parse(FromUtf16(bytes));
  EXPECT_EQ(f.Head, "Windows Registry Editor Version 5.00");
  ExpectValues(f, true);
}

TEST(RegExport, Regedit4RoundTripsEveryValueInEightBits) {
  const std::string bytes = RegFileBytes(Read(RegistryRecipe()), RegFileFormat::Regedit4);
  ASSERT_EQ(bytes.rfind("REGEDIT4\r\n", 0), 0u);
  const ParsedFile f = Parse(bytes);
  ExpectValues(f, false);
}

// "_setup.xml" gives its values as texts with a datatype; U+F000 (UTF-8 EF 80 80) parts a multi-string.
const char kRegistryXml[] =
    "<wap-provisioningdoc>"
    "<characteristic type=\"Install\"><parm name=\"AppName\" value=\"Reg App\"/>"
    "<parm name=\"InstallDir\" value=\"%CE1%\\Reg App\"/></characteristic>"
    "<characteristic type=\"Registry\">"
    "<characteristic type=\"HKLM\\Software\\Vendor\">"
    "<parm name=\"Path\" value=\"%InstallDir%\\data &quot;q&quot;\\\" datatype=\"string\"/>"
    "<parm name=\"Count\" value=\"4294967294\" datatype=\"integer\"/>"
    "<parm name=\"Blob\" value=\"AAF/gP8=\" datatype=\"binary\"/>"
    "<parm name=\"List\" value=\"%CE2%\\one\xEF\x80\x80two\xEF\x80\x80\" datatype=\"multiplestring\"/>"
    "<parm name=\"Single\" value=\"alone\" datatype=\"multiplestring\"/>"
    "<parm value=\"default\" datatype=\"string\"/>"
    "<parm name=\"NaN\" value=\"twelve\" datatype=\"integer\"/>"
    "<parm name=\"Bad\" value=\"A\" datatype=\"binary\"/>"
    "<parm name=\"Flag\" value=\"1\" datatype=\"boolean\"/>"
    "</characteristic>"
    "<characteristic type=\"hkcu\\Software\\Vendor\\Settings\"><parm name=\"N\" value=\"7\" datatype=\"integer\"/>"
    "</characteristic>"
    "<characteristic type=\"HKXX\\Nowhere\"><parm name=\"Lost\" value=\"x\" datatype=\"string\"/></characteristic>"
    "</characteristic></wap-provisioningdoc>";

TEST(RegExport, XmlValuesRoundTripWithTheirDatatypes) {
  Result<XmlSetupAnalysis> a = ReadXmlSetupText(kRegistryXml, nullptr);
  ASSERT_TRUE(a.ok()) << a.message();
  for (const bool wide : {true, false}) {
    const std::string bytes = RegFileBytes(*a, wide ? RegFileFormat::Version5 : RegFileFormat::Regedit4);
    const ParsedFile f = Parse(wide ? FromUtf16(bytes) : bytes);
    auto text = [wide](const std::string& s) { return wide ? Utf16(s) : s + std::string(1, '\0'); };
    ASSERT_EQ(f.Keys.size(), 2u);
    const auto& m = f.Keys.at("HKEY_LOCAL_MACHINE\\Software\\Vendor");
    ASSERT_EQ(m.size(), 6u);
    EXPECT_EQ(m.at("Path").Type, "sz");
    EXPECT_EQ(m.at("Path").Bytes, "\\Program Files\\Reg App\\data \"q\"\\");
    EXPECT_EQ(m.at("Count").Type, "dword");
    EXPECT_EQ(m.at("Count").Dword, 0xFFFFFFFEu);
    EXPECT_EQ(m.at("Blob").Type, "hex");
    EXPECT_EQ(m.at("Blob").Bytes, std::string("\x00\x01\x7F\x80\xFF", 5));
    EXPECT_EQ(m.at("List").Type, "hex(7)");
    EXPECT_EQ(m.at("List").Bytes, text("\\Windows\\one") + text("two") + text(""));
    EXPECT_EQ(m.at("Single").Bytes, text("alone") + text(""));
    EXPECT_EQ(m.at("@").Bytes, "default");
    EXPECT_EQ(f.Keys.at("HKEY_CURRENT_USER\\Software\\Vendor\\Settings").at("N").Dword, 7u);
    EXPECT_EQ(f.Comments,
              (std::vector<std::string>{
                  "; value \"NaN\" (integer) \"twelve\" is no number: not written",
                  "; value \"Bad\" (binary) is no Base64 text: not written",
                  "; value \"Flag\" (boolean) has a datatype the registry export does not know: not written",
                  "; key \"HKXX\\Nowhere\" names no registry root: its 1 value(s) not written",
              }));
  }
}

// A name or path holding a line break would let the package write keys of its
// own into the file the user imports.
TEST(RegExport, LineBreaksInNamesAndPathsWriteNoLinesOfTheirOwn) {
  SetupRecipe s = RegistryRecipe();
  const std::string injected = "x\r\n[HKEY_LOCAL_MACHINE\\Evil]\r\n\"Run\"=\"bad\"";
  s.Strings.push_back({5, injected});
  s.Hives.push_back({4, 3, {5}});
  s.RegKeys.push_back({11, 1, 0x00000000, injected, testing::RegSzBytes("v")});
  s.RegKeys.push_back({12, 4, 0x00000000, "Fine", testing::RegSzBytes("v")});
  const std::string bytes = RegFileBytes(Read(s), RegFileFormat::Regedit4);
  EXPECT_EQ(bytes.find("[HKEY_LOCAL_MACHINE\\Evil]"), std::string::npos) << bytes;
  EXPECT_EQ(bytes.find("\"Run\""), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("; value 011 has a control character in its name: not written\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("; hive 004 has a control character in its path: its 1 value(s) not written\r\n"),
            std::string::npos);
}

TEST(RegExport, LongHexListsAreBrokenAsTheEditorBreaksThem) {
  const std::string bytes = RegFileBytes(Read(RegistryRecipe()), RegFileFormat::Regedit4);
  EXPECT_NE(bytes.find("\"Blob\"=hex:00,01,7f,80,ff,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\r\n  ab,"),
            std::string::npos)
      << bytes;
  std::istringstream in(bytes);
  for (std::string line; std::getline(in, line);) {
    if (line[0] != ';') {
      EXPECT_LE(line.size(), 81u) << line;
    }
  }
}

TEST(RegExport, FileNameComesFromTheApplicationAndStaysOneName) {
  EXPECT_EQ(RegFileNameFor("Reg App", "pkg"), "Reg App.reg");
  EXPECT_EQ(RegFileNameFor("", "pkg"), "pkg.reg");
  EXPECT_EQ(RegFileNameFor("..\\..\\evil/x", "pkg"), ".._.._evil_x.reg");
}

}  // namespace
}  // namespace vornix
