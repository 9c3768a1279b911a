// The Base64 decoder of binary registry values (standard alphabet, "="
// padding), as the XML setup reader and the theme reader use it.
#pragma once

#include <string>
#include <string_view>

#include "common/result.h"

namespace vornix {

class TBase64 {
 public:
  /// The bytes of standard Base64 text. Every character that is neither in
  /// the alphabet nor "=" is dropped first; empty text gives no bytes. Fails
  /// with one of the four Base64 codes and the offset, in `text`, of the
  /// character that breaks the rule.
  static Result<std::string> Decode(std::string_view text);
};

}  // namespace vornix
