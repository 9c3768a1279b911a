#include "presentation/reg_export.h"

#include <vector>

#include "common/text.h"
#include "package/extraction.h"
#include "setup/setup_format.h"
#include "xml/xml_setup.h"

namespace vornix {
namespace {

// The registry editor breaks hex lists after the comma that passes this
// column and goes on two blanks in; it reads the lines back joined.
constexpr size_t kHexWrapColumn = 76;

std::string Utf16Le(std::string_view cp1252) {
  const std::string utf8 = Cp1252ToUtf8(cp1252);
  std::string out;
  out.reserve(cp1252.size() * 2);
  for (size_t at = 0; at < utf8.size();) {
    const Utf8Sequence seq = DecodeUtf8(utf8, at);
    // Windows-1252 maps into the basic plane only: one unit each.
    const char32_t cp = seq.Length ? seq.CodePoint : U'?';
    out += static_cast<char>(cp & 0xFF);
    out += static_cast<char>((cp >> 8) & 0xFF);
    at += seq.Length ? seq.Length : 1;
  }
  return out;
}

// The file's text, key by key and value by value; both descriptions of a
// package write through it, so their files agree to the byte.
class RegText {
 public:
  explicit RegText(RegFileFormat format) : m_format(format) {
    line(format == RegFileFormat::Version5 ? "Windows Registry Editor Version 5.00" : "REGEDIT4");
  }

  void line(const std::string& text) { m_text += text + "\r\n"; }

  // A line break in a key's path or a value's name would end its line there
  // and let the package write lines of its own (keys it never declared) into
  // a file the user imports: such a key or value is named in a comment instead.
  static bool HasControl(std::string_view text) {
    for (char c : text)
      if (static_cast<unsigned char>(c) < 0x20) return true;
    return false;
  }
  // Package text inside a comment line, its control characters as "?".
  static std::string Shown(std::string_view text) {
    std::string out(text);
    for (char& c : out)
      if (static_cast<unsigned char>(c) < 0x20) c = '?';
    return out;
  }

  // A value's name as the file spells it: "@" for the key's default.
  static std::string Name(std::string_view name) { return name.empty() ? "@" : Quoted(name); }

  void string(const std::string& name, const std::string& text) {
    // A line break cannot stand inside a quoted string: such a text goes as hex(1).
    if (text.find_first_of("\r\n") != std::string::npos) return hex(name + "=hex(1):", stored(text));
    line(name + "=" + Quoted(text));
  }
  void expandString(const std::string& name, const std::string& text) { hex(name + "=hex(2):", stored(text)); }
  void multiString(const std::string& name, const std::vector<std::string>& items) {
    std::string bytes;
    for (const std::string& item : items) bytes += stored(item);
    hex(name + "=hex(7):", bytes + stored(""));
  }
  void dword(const std::string& name, uint32_t number) { line(name + Format("=dword:%08x", number)); }

  void hex(const std::string& head, std::string_view bytes) {
    std::string out = head;
    size_t column = out.size();
    for (size_t i = 0; i < bytes.size(); ++i) {
      const std::string pair = Format("%02x", static_cast<unsigned char>(bytes[i]));
      out += pair;
      column += 2;
      if (i + 1 == bytes.size()) break;
      out += ',';
      ++column;
      if (column > kHexWrapColumn) {
        out += "\\\r\n  ";
        column = 2;
      }
    }
    line(out);
  }

  std::string bytes() {
    line("");
    return m_format == RegFileFormat::Version5 ? std::string("\xFF\xFE", 2) + Utf16Le(m_text) : m_text;
  }

 private:
  // A string as the file spells one: backslash and double quote escaped.
  static std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
      if (c == '\\' || c == '"') out += '\\';
      out += c;
    }
    return out + '"';
  }

  // Text as the registry holds it: UTF-16LE in version 5, the code page's
  // bytes in REGEDIT4; each text with its NUL.
  std::string stored(std::string_view text) const {
    std::string bytes = m_format == RegFileFormat::Version5 ? Utf16Le(text) : std::string(text);
    bytes.append(m_format == RegFileFormat::Version5 ? 2 : 1, '\0');
    return bytes;
  }

  const RegFileFormat m_format;
  std::string m_text;
};

std::string IdText(uint16_t id) { return Format("%.3u", id); }

class RegWriter {
 public:
  RegWriter(const TSetupInfo& info, RegFileFormat format) : m_info(info), m_out(format) {}

  std::string text() {
    std::vector<std::vector<const AListReg*>> byHive(m_info.Hives.size());
    std::vector<const AListReg*> homeless;
    for (const AListReg& key : m_info.RegKeys) {
      const int at = m_info.hivePosition(key.HiveId);
      if (at >= 0)
        byHive[static_cast<size_t>(at)].push_back(&key);
      else
        homeless.push_back(&key);
    }
    for (size_t h = 0; h < m_info.Hives.size(); ++h) {
      const AListHive& hive = m_info.Hives[h];
      const std::string root = RegRootLongName(hive.Root);
      m_out.line("");
      if (root.empty()) {
        m_out.line(Format("; hive %s has root %u, which names no registry root: its %zu value(s) not written",
                          IdText(hive.Id).c_str(), hive.Root, byHive[h].size()));
        continue;
      }
      if (RegText::HasControl(hive.Path)) {
        m_out.line(Format("; hive %s has a control character in its path: its %zu value(s) not written",
                          IdText(hive.Id).c_str(), byHive[h].size()));
        continue;
      }
      m_out.line("[" + root + (hive.Path.empty() ? "" : "\\" + hive.Path) + "]");
      for (const AListReg* key : byHive[h]) value(*key);
    }
    if (!homeless.empty()) m_out.line("");
    for (const AListReg* key : homeless)
      m_out.line(Format("; value %s (\"%s\") names hive %s, which the package does not have: not written",
                        IdText(key->Id).c_str(), RegText::Shown(key->Name).c_str(), IdText(key->HiveId).c_str()));
    return m_out.bytes();
  }

 private:
  std::string expanded(std::string_view text) const {
    return ReplaceAll(Expand(text), "%InstallDir%", m_info.InstallDirExpanded);
  }

  void value(const AListReg& key) {
    if (RegText::HasControl(key.Name)) {
      return m_out.line(Format("; value %s has a control character in its name: not written", IdText(key.Id).c_str()));
    }
    const std::string name = RegText::Name(key.Name);
    const uint32_t type = key.Flags & ~kRegNoClobber;
    switch (type) {
      case kRegSz: return m_out.string(name, expanded(RegSzText(key.Data)));
      case kRegExpandSz: return m_out.expandString(name, expanded(RegSzText(key.Data)));
      case kRegMultiSz: {
        std::vector<std::string> items;
        for (std::string_view item : RegMultiSzTexts(key.Data)) items.push_back(expanded(item));
        return m_out.multiString(name, items);
      }
      case kRegDword: {
        uint32_t number = 0;
        if (RegDwordValue(key.Data, number)) return m_out.dword(name, number);
        return m_out.hex(name + "=hex(4):", key.Data);
      }
      case kRegBinary: return m_out.hex(name + "=hex:", key.Data);
      default:
        m_out.line(Format("; value %s (\"%s\") has flags 0x%08X, of no registry type: not written",
                          IdText(key.Id).c_str(), RegText::Shown(key.Name).c_str(), key.Flags));
    }
  }

  const TSetupInfo& m_info;
  RegText m_out;
};

// The root of a key as "_setup.xml" writes it, abbreviated ("HKLM") or in
// full, letter case aside; empty when it names none.
std::string XmlRootLongName(std::string_view root) {
  static const std::pair<const char*, uint16_t> kRoots[] = {{"HKCR", 1}, {"HKCU", 2}, {"HKLM", 3}, {"HKU", 4}};
  for (const auto& [abbreviation, number] : kRoots) {
    const std::string full = RegRootLongName(number);
    if (EqualsNoCase(root, abbreviation) || EqualsNoCase(root, full)) return full;
  }
  return {};
}

class XmlRegWriter {
 public:
  XmlRegWriter(const XmlSetupAnalysis& analysis, RegFileFormat format) : m_analysis(analysis), m_out(format) {}

  std::string text() {
    for (const XmlRegistryKey& key : m_analysis.RegistryKeys) {
      m_out.line("");
      const size_t slash = key.Path.find('\\');
      const std::string root = XmlRootLongName(std::string_view(key.Path).substr(0, slash));
      if (root.empty() || RegText::HasControl(key.Path)) {
        m_out.line(Format("; key \"%s\" %s: its %zu value(s) not written", RegText::Shown(key.Path).c_str(),
                          root.empty() ? "names no registry root" : "has a control character in its path",
                          key.Values.size()));
        continue;
      }
      m_out.line("[" + root + (slash == std::string::npos ? "" : key.Path.substr(slash)) + "]");
      for (const XmlRegistryValue& v : key.Values) value(v);
    }
    return m_out.bytes();
  }

 private:
  // The device's folders for the macros, as the file operations take them:
  // "%InstallDir%" is the install folder as written, whose own macros then expand.
  std::string expanded(std::string_view text) const {
    const std::string whole =
        m_analysis.InstallDir ? ReplaceAll(text, "%InstallDir%", *m_analysis.InstallDir) : std::string(text);
    return Expand(whole);
  }

  void notWritten(const XmlRegistryValue& v, const std::string& why) {
    m_out.line("; value " + RegText::Shown(RegText::Name(v.Name)) + " (" +
               (v.Datatype.empty() ? "no datatype" : RegText::Shown(v.Datatype)) + ") " + RegText::Shown(why) +
               ": not written");
  }

  void value(const XmlRegistryValue& v) {
    if (RegText::HasControl(v.Name)) return notWritten(v, "has a control character in its name");
    const std::string name = RegText::Name(v.Name);
    const std::string type = LowerCp1252(v.Datatype);
    if (type == "string") return m_out.string(name, expanded(v.Text));
    if (type == "integer") {
      if (v.Integer) return m_out.dword(name, *v.Integer);
      return notWritten(v, "\"" + v.Text + "\" is no number");
    }
    if (type == "binary") {
      if (v.Bytes) return m_out.hex(name + "=hex:", *v.Bytes);
      return notWritten(v, "is no Base64 text");
    }
    if (type == "multiplestring") {
      std::vector<std::string> items;
      for (const std::string& item : XmlMultiStringItems(v.Text)) items.push_back(expanded(item));
      return m_out.multiString(name, items);
    }
    notWritten(v, "has a datatype the registry export does not know");
  }

  const XmlSetupAnalysis& m_analysis;
  RegText m_out;
};

}  // namespace

std::string RegRootLongName(uint16_t root) {
  switch (root) {
    case 1: return "HKEY_CLASSES_ROOT";
    case 2: return "HKEY_CURRENT_USER";
    case 3: return "HKEY_LOCAL_MACHINE";
    case 4: return "HKEY_USERS";
    default: return {};
  }
}

std::string RegFileBytes(const TSetupInfo& info, RegFileFormat format) { return RegWriter(info, format).text(); }

std::string RegFileBytes(const XmlSetupAnalysis& analysis, RegFileFormat format) {
  return XmlRegWriter(analysis, format).text();
}

std::string RegFileNameFor(const std::string& appName, const std::string& packageStem) {
  return InfFileNameIn((appName.empty() ? packageStem : appName) + ".reg");
}

}  // namespace vornix
