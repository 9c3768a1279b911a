#include "presentation/reg_export.h"

#include <vector>

#include "common/text.h"
#include "package/extraction.h"
#include "setup/setup_format.h"

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

class RegWriter {
 public:
  RegWriter(const TSetupInfo& info, RegFileFormat format) : m_info(info), m_format(format) {}

  std::string text() {
    line(m_format == RegFileFormat::Version5 ? "Windows Registry Editor Version 5.00" : "REGEDIT4");
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
      line("");
      if (root.empty()) {
        line(Format("; hive %s has root %u, which names no registry root: its %zu value(s) not written",
                    IdText(hive.Id).c_str(), hive.Root, byHive[h].size()));
        continue;
      }
      line("[" + root + (hive.Path.empty() ? "" : "\\" + hive.Path) + "]");
      for (const AListReg* key : byHive[h]) value(*key);
    }
    if (!homeless.empty()) line("");
    for (const AListReg* key : homeless)
      line(Format("; value %s (\"%s\") names hive %s, which the package does not have: not written",
                  IdText(key->Id).c_str(), key->Name.c_str(), IdText(key->HiveId).c_str()));
    line("");
    return m_format == RegFileFormat::Version5 ? std::string("\xFF\xFE", 2) + Utf16Le(m_text) : m_text;
  }

 private:
  static std::string IdText(uint16_t id) { return Format("%.3u", id); }

  void line(const std::string& text) { m_text += text + "\r\n"; }

  std::string expanded(std::string_view text) const {
    return ReplaceAll(Expand(text), "%InstallDir%", m_info.InstallDirExpanded);
  }

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

  void value(const AListReg& key) {
    const std::string name = key.Name.empty() ? "@" : Quoted(key.Name);
    const uint32_t type = key.Flags & ~kRegNoClobber;
    switch (type) {
      case kRegSz: {
        const std::string text = expanded(RegSzText(key.Data));
        // A line break cannot stand inside a quoted string: such a text goes as hex(1).
        if (text.find_first_of("\r\n") != std::string::npos) return hex(name + "=hex(1):", stored(text));
        return line(name + "=" + Quoted(text));
      }
      case kRegExpandSz: return hex(name + "=hex(2):", stored(expanded(RegSzText(key.Data))));
      case kRegMultiSz: {
        std::string bytes;
        for (std::string_view item : RegMultiSzTexts(key.Data)) bytes += stored(expanded(item));
        return hex(name + "=hex(7):", bytes + stored(""));
      }
      case kRegDword: {
        uint32_t number = 0;
        if (RegDwordValue(key.Data, number)) return line(name + Format("=dword:%08x", number));
        return hex(name + "=hex(4):", key.Data);
      }
      case kRegBinary: return hex(name + "=hex:", key.Data);
      default:
        line(Format("; value %s (\"%s\") has flags 0x%08X, of no registry type: not written", IdText(key.Id).c_str(),
                    key.Name.c_str(), key.Flags));
    }
  }

  const TSetupInfo& m_info;
  const RegFileFormat m_format;
  std::string m_text;
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

std::string RegFileNameFor(const std::string& appName, const std::string& packageStem) {
  return InfFileNameIn((appName.empty() ? packageStem : appName) + ".reg");
}

}  // namespace vornix
