#include "setup/setup_format.h"

#include "common/text.h"

namespace vornix {

std::string_view HiveRootName(uint16_t root) {
  switch (root) {
    case 1: return "HKCR";
    case 2: return "HKCU";
    case 3: return "HKLM";
    case 4: return "HKU";
    default: return {};
  }
}

std::string_view RegTypeName(uint32_t flags) {
  switch (flags & ~kRegNoClobber) {
    case kRegSz: return "REG_SZ";
    case kRegBinary: return "REG_BINARY";
    case kRegMultiSz: return "REG_MULTI_SZ";
    case kRegDword: return "REG_DWORD";
    default: return {};
  }
}

std::string_view RegSzText(std::string_view data) { return data.substr(0, data.find('\0')); }

std::vector<std::string_view> RegMultiSzTexts(std::string_view data) {
  std::vector<std::string_view> texts;
  while (!data.empty()) {
    const size_t nul = data.find('\0');
    const std::string_view item = data.substr(0, nul);
    if (item.empty()) break;
    texts.push_back(item);
    if (nul == std::string_view::npos) break;
    data.remove_prefix(nul + 1);
  }
  return texts;
}

bool RegDwordValue(std::string_view data, uint32_t& value) {
  if (data.size() != 4) return false;
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  value = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
  return true;
}

bool IsShortName(std::string_view name) {
  if (name.find(' ') != std::string_view::npos) return false;
  const size_t dot = name.find_last_of('.');
  const std::string_view base = dot == std::string_view::npos ? name : name.substr(0, dot);
  const std::string_view ext = dot == std::string_view::npos ? std::string_view{} : name.substr(dot);
  return base.size() <= 8 && ext.size() <= 4;
}

std::string EntryExtensionFor(uint32_t fileId) { return Format(".%.3u", fileId); }

const char* ProcessorName(int32_t code) {
  switch (code) {
    case 103: return "SHx SH3";
    case 104: return "SHx SH4";
    case 386: return "Intel 386";
    case 486: return "Intel 486";
    case 586: return "Intel Pentium";
    case 601: return "PowerPC 601";
    case 603: return "PowerPC 603";
    case 604: return "PowerPC 604";
    case 620: return "PowerPC 620";
    case 821: return "Motorola 821";
    case 1824: return "ARM 720";
    case 2080: return "ARM 820";
    case 2336: return "ARM 920";
    case 2577: return "StrongARM";
    case 4000: return "MIPS R4000";
    case 10003: return "Hitachi SH3";
    case 10004: return "Hitachi SH3E";
    case 10005: return "Hitachi SH4";
    case 21064: return "Alpha 21064";
    case 70001: return "ARM 7TDMI";
    default: return nullptr;
  }
}

const std::array<TRaccourci, 17> kDirectoryMacros = {{
    {"%CE1%", "\\Program Files"},
    {"%CE2%", "\\Windows"},
    {"%CE3%", "\\Windows\\Desktop"},
    {"%CE4%", "\\Windows\\StartUp"},
    {"%CE5%", "\\My Documents"},
    {"%CE6%", "\\Program Files\\Accessories"},
    {"%CE7%", "\\Program Files\\Communications"},
    {"%CE8%", "\\Program Files\\Games"},
    {"%CE9%", "\\Program Files\\Pocket Outlook"},
    {"%CE10%", "\\Program Files\\Office"},
    {"%CE11%", "\\Windows\\Start Menu\\Programs"},
    {"%CE12%", "\\Windows\\Start Menu\\Accessories"},
    {"%CE13%", "\\Windows\\Start Menu\\Communications"},
    {"%CE14%", "\\Windows\\Start Menu\\Games"},
    {"%CE15%", "\\Windows\\Fonts"},
    {"%CE16%", "\\Windows\\Recent"},
    {"%CE17%", "\\Windows\\Start Menu"},
}};

std::string Expand(std::string_view text) {
  std::string out(text);
  if (out.find('%') == std::string::npos) return out;
  for (const auto& macro : kDirectoryMacros) out = ReplaceAll(out, macro.Macro, macro.Folder);
  return out;
}

}  // namespace vornix
