#include "common/base64.h"

#include <vector>

namespace vornix {
namespace {

int Base64Digit(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

Result<std::string> TBase64::Decode(std::string_view text) {
  // The characters that count, with where each stood in the text.
  std::string kept;
  std::vector<size_t> at;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '=' && Base64Digit(text[i]) < 0) continue;
    kept += text[i];
    at.push_back(i);
  }
  if (kept.empty()) return std::string();
  if (kept.size() % 4 != 0)
    return MakeError(ErrorCode::Base64Length, "the Base64 text's length is not a multiple of four", text.size());
  const size_t quartets = kept.size() / 4;
  std::string bytes;
  bytes.reserve(quartets * 3);
  for (size_t q = 0; q < quartets; ++q) {
    const char* p = kept.data() + q * 4;
    const size_t first = q * 4;
    const bool last = q + 1 == quartets;
    if (p[0] == '=' || p[1] == '=')
      return MakeError(ErrorCode::Base64Character, "\"=\" where a Base64 data character is required",
                       at[first + (p[0] == '=' ? 0 : 1)]);
    if (!last && (p[2] == '=' || p[3] == '='))
      return MakeError(ErrorCode::Base64EarlyPadding, "Base64 padding before the end",
                       at[first + (p[2] == '=' ? 2 : 3)]);
    if (p[2] == '=' && p[3] != '=')
      return MakeError(ErrorCode::Base64Padding, "a Base64 \"=\" not followed by a second one", at[first + 3]);
    const uint32_t a = static_cast<uint32_t>(Base64Digit(p[0])), b = static_cast<uint32_t>(Base64Digit(p[1]));
    bytes += static_cast<char>((a << 2) | (b >> 4));
    if (p[2] == '=') break;
    const uint32_t c = static_cast<uint32_t>(Base64Digit(p[2]));
    bytes += static_cast<char>(((b & 0xF) << 4) | (c >> 2));
    if (p[3] == '=') break;
    const uint32_t d = static_cast<uint32_t>(Base64Digit(p[3]));
    bytes += static_cast<char>(((c & 0x3) << 6) | d);
  }
  return bytes;
}

}  // namespace vornix
