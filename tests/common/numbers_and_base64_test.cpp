// The small readers every description reader shares: 32-bit numbers as setup
// documents write them, and the Base64 of binary registry values.
#include <gtest/gtest.h>

#include <optional>

#include "common/base64.h"
#include "common/text.h"

namespace vornix {
namespace {

TEST(XmlSetupNumbers, ParseInt32Text) {
  uint32_t v = 0;
  EXPECT_TRUE(ParseInt32Text("4294967295", v));
  EXPECT_EQ(v, 0xFFFFFFFFu);
  EXPECT_TRUE(ParseInt32Text("-1", v));
  EXPECT_EQ(v, 0xFFFFFFFFu);
  EXPECT_TRUE(ParseInt32Text("0x1f", v));
  EXPECT_EQ(v, 0x1Fu);
  EXPECT_FALSE(ParseInt32Text("4294967296", v));
  EXPECT_FALSE(ParseInt32Text("0x123456789", v));
  EXPECT_FALSE(ParseInt32Text("12a", v));
  EXPECT_FALSE(ParseInt32Text("", v));
}

TEST(XmlSetupBase64, ResultCodes) {
  struct Case {
    const char* text;
    std::optional<ErrorCode> code;  // none: decoded
    const char* bytes;
    uint64_t offset;  // of the character that breaks the rule
  };
  const Case cases[] = {
      {"", std::nullopt, "", 0},
      {"QUJD", std::nullopt, "ABC", 0},
      {"QUI=", std::nullopt, "AB", 0},
      {"QQ==", std::nullopt, "A", 0},
      {"QU\nJD\r\n", std::nullopt, "ABC", 0},  // line breaks are dropped
      {"Q*U*J*D", std::nullopt, "ABC", 0},     // so is anything outside the alphabet
      {"QUJ", ErrorCode::Base64Length, "", 3},
      {"=UJD", ErrorCode::Base64Character, "", 0},
      {"Q=JD", ErrorCode::Base64Character, "", 1},
      {"QQ==QUJD", ErrorCode::Base64EarlyPadding, "", 2},
      {"QU=D", ErrorCode::Base64Padding, "", 3},
  };
  for (const Case& c : cases) {
    const Result<std::string> decoded = TBase64::Decode(c.text);
    EXPECT_EQ(decoded.ok(), !c.code) << c.text;
    if (decoded.ok()) {
      EXPECT_EQ(*decoded, c.bytes) << c.text;
    } else {
      EXPECT_EQ(decoded.error().Code, *c.code) << c.text;
      EXPECT_EQ(decoded.error().Offset, c.offset) << c.text;
    }
  }
}

}  // namespace
}  // namespace vornix
