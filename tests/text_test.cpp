#include <gtest/gtest.h>

#include "platform/text.h"

namespace {

TEST(Text, Cp932RoundTripAndBadBytes) {
  // Literals in this file are CP932 bytes; u8 literals stay UTF-8.
  const char* title = "大盛り";
  std::string utf8 = plat::Cp932ToUtf8(title);
  EXPECT_EQ(utf8, reinterpret_cast<const char*>(u8"大盛り"));
  EXPECT_EQ(plat::Utf8ToCp932(utf8), title);
  // A lone lead byte at the end and an invalid trail give replacement characters, never a read past the end.
  const char bad[] = {'a', static_cast<char>(0x82)};
  EXPECT_EQ(plat::Cp932ToUtf8(bad, 2), "a\xEF\xBF\xBD");
  // A character CP932 lacks becomes one '?'.
  EXPECT_EQ(plat::Utf8ToCp932(std::string("x\xF0\x9F\x98\x80y")), "x?y");
  EXPECT_EQ(plat::Cp932ToUtf8(nullptr), "");
}

}  // namespace
