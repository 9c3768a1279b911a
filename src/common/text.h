// Small text helpers shared by the readers and writers.
//
// Model text is std::string holding Windows-1252 bytes, exactly as packages and
// INF files carry it. Conversion to UTF-8 happens only at the edges (host file
// names, JSON, the window).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vornix {

/// printf-style formatting into a std::string (no fixed buffers).
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

/// Appends one code point (at most U+10FFFF) as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

/// Windows-1252 bytes to UTF-8. Bytes that Windows-1252 leaves undefined map to
/// the C1 control of the same value, so no byte is ever lost.
std::string Cp1252ToUtf8(std::string_view text);

/// UTF-8 to Windows-1252. Characters the code page cannot hold become '?';
/// invalid UTF-8 bytes are taken as Windows-1252 bytes.
std::string Utf8ToCp1252(std::string_view text);

/// One Unicode code point to Windows-1252; returns false when it has no byte.
bool CodePointToCp1252(char32_t cp, char& out);

/// One UTF-8 sequence read at text[at]. Length is 0 when the bytes there are
/// no complete sequence (a stray or cut one); a complete sequence that names
/// no character UTF-8 may carry (an overlong form, a surrogate, a code point
/// beyond U+10FFFF) has its code point but is not Canonical.
struct Utf8Sequence {
  char32_t CodePoint = 0;
  size_t Length = 0;
  bool Canonical = false;
};
Utf8Sequence DecodeUtf8(std::string_view text, size_t at);

/// Letter case folding as the device does it for Windows-1252 names.
char LowerCp1252(char c);
std::string LowerCp1252(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
/// <0, 0, >0 like strcmp, without regard to letter case.
int CompareNoCase(std::string_view a, std::string_view b);
bool ContainsNoCase(std::string_view haystack, std::string_view needle);

/// Every occurrence of `from` replaced by `to`, scanning left to right over the
/// original text (the replacement is never rescanned). An empty `from` replaces nothing.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

/// The extension of a name, from its last '.' on (dot included); empty when none.
std::string_view ExtensionOf(std::string_view name);
/// The name with its extension replaced (the extension includes its dot).
std::string ChangeExtension(std::string_view name, std::string_view newExtension);
/// Everything after the last '\\' or '/'.
std::string_view FileNamePart(std::string_view path);

/// Joins lines with CR LF after every line (the form INF files are saved in).
std::string JoinCrLf(const std::vector<std::string>& lines);

/// Strict decimal integer (optional sign); false for anything else.
bool ParseInt64(std::string_view text, int64_t& value);

/// A 32-bit number as setup documents write it: decimal (signed, or unsigned
/// up to 4294967295) or hexadecimal with "0x" or "$". False for anything else.
bool ParseInt32Text(std::string_view text, uint32_t& value);

}  // namespace vornix
