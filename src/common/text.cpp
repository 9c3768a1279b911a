#include "common/text.h"

#include <cstdarg>
#include <cstdio>

namespace vornix {

std::string Format(const char* fmt, ...) {
  // Most texts are short: one pass into a stack buffer, a second only when
  // the text does not fit.
  char buffer[256];
  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(buffer, sizeof buffer, fmt, copy);
  va_end(copy);
  std::string out;
  if (needed > 0 && static_cast<size_t>(needed) < sizeof buffer) {
    out.assign(buffer, static_cast<size_t>(needed));
  } else if (needed > 0) {
    out.resize(static_cast<size_t>(needed) + 1);
    std::vsnprintf(out.data(), out.size(), fmt, args);
    out.resize(static_cast<size_t>(needed));
  }
  va_end(args);
  return out;
}

namespace {

// Windows-1252 0x80..0x9F; 0 marks the five undefined bytes.
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    if (b >= 0x80 && b < 0xA0 && kHigh[b - 0x80] != 0) {
      AppendUtf8(out, kHigh[b - 0x80]);
    } else {
      AppendUtf8(out, b);
    }
  }
  return out;
}

Utf8Sequence DecodeUtf8(std::string_view text, size_t at) {
  Utf8Sequence seq;
  const auto b0 = static_cast<unsigned char>(text[at]);
  size_t len = 0;
  char32_t min = 0;
  if (b0 < 0x80) {
    seq.CodePoint = b0;
    seq.Length = 1;
    seq.Canonical = true;
    return seq;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2, seq.CodePoint = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, seq.CodePoint = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, seq.CodePoint = b0 & 0x07, min = 0x10000;
  } else {
    return {};
  }
  if (at + len > text.size()) return {};
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(text[at + k]);
    if ((b & 0xC0) != 0x80) return {};
    seq.CodePoint = (seq.CodePoint << 6) | (b & 0x3F);
  }
  seq.Length = len;
  const char32_t cp = seq.CodePoint;
  seq.Canonical = cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
  return seq;
}

bool CodePointToCp1252(char32_t cp, char& out) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
    out = static_cast<char>(cp);
    return true;
  }
  for (int k = 0; k < 32; ++k) {
    if ((kHigh[k] != 0 && kHigh[k] == cp) || (kHigh[k] == 0 && cp == char32_t(0x80 + k))) {
      out = static_cast<char>(0x80 + k);
      return true;
    }
  }
  return false;
}

std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const Utf8Sequence seq = DecodeUtf8(text, i);
    if (!seq.Canonical) {
      out += text[i];
      ++i;
      continue;
    }
    char b = '?';
    CodePointToCp1252(seq.CodePoint, b);
    out += b;
    i += seq.Length;
  }
  return out;
}

char LowerCp1252(char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b >= 'A' && b <= 'Z') return static_cast<char>(b + 32);
  if (b >= 0xC0 && b <= 0xDE && b != 0xD7) return static_cast<char>(b + 32);
  if (b == 0x8A || b == 0x8C || b == 0x8E) return static_cast<char>(b + 16);
  if (b == 0x9F) return static_cast<char>(0xFF);
  return c;
}

std::string LowerCp1252(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerCp1252(c);
  return out;
}

int CompareNoCase(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(LowerCp1252(a[i]));
    const auto y = static_cast<unsigned char>(LowerCp1252(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && CompareNoCase(a, b) == 0; }

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
  return LowerCp1252(haystack).find(LowerCp1252(needle)) != std::string::npos;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  for (;;) {
    const size_t hit = text.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

std::string_view ExtensionOf(std::string_view name) {
  const size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos) return {};
  const size_t sep = name.find_last_of("\\/");
  if (sep != std::string_view::npos && sep > dot) return {};
  return name.substr(dot);
}

std::string ChangeExtension(std::string_view name, std::string_view newExtension) {
  const std::string_view ext = ExtensionOf(name);
  std::string out(name.substr(0, name.size() - ext.size()));
  out += newExtension;
  return out;
}

std::string_view FileNamePart(std::string_view path) {
  const size_t sep = path.find_last_of("\\/");
  return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

std::string JoinCrLf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

bool ParseInt64(std::string_view text, int64_t& value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  uint64_t acc = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    if (acc > (UINT64_MAX - 9) / 10) return false;
    acc = acc * 10 + static_cast<uint64_t>(text[i] - '0');
  }
  if (acc > static_cast<uint64_t>(INT64_MAX) + (negative ? 1 : 0)) return false;
  value = negative ? static_cast<int64_t>(0 - acc) : static_cast<int64_t>(acc);
  return true;
}

bool ParseInt32Text(std::string_view text, uint32_t& value) {
  if (text.empty()) return false;
  bool hex = false;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    hex = true;
  } else if (text.size() > 1 && text[0] == '$') {
    text.remove_prefix(1);
    hex = true;
  }
  if (hex) {
    if (text.empty() || text.size() > 8) return false;
    uint32_t v = 0;
    for (char c : text) {
      int d;
      if (c >= '0' && c <= '9')
        d = c - '0';
      else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
      else
        return false;
      v = (v << 4) | static_cast<uint32_t>(d);
    }
    value = v;
    return true;
  }
  int64_t v = 0;
  if (!ParseInt64(text, v)) return false;
  // A decimal that fits 32 bits either way is its 32-bit pattern, so
  // 2684354560 and -1610612736 both name 0xA0000000.
  if (v < INT32_MIN || v > static_cast<int64_t>(UINT32_MAX)) return false;
  value = static_cast<uint32_t>(v);
  return true;
}

}  // namespace vornix
