#include "platform/text/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CutToBytes, NeverEndsInsideACharacter) {
  struct Case {
    std::string text;
    size_t max;
    std::string expected;
  };
  const Case cases[] = {
      {"abc", 5, "abc"},          {"abc", 3, "abc"},         {"abcd", 3, "abc"},
      {"abé", 3, "ab"},           {"abé", 4, "abé"},         {"a€b", 3, "a"},
      {"a€b", 4, "a€"},           {"a\xF0\x9F\x98\x80", 4, "a"}, {"\xC3\xA9", 0, ""},
      // Bytes that are not UTF-8 are characters of one byte each.
      {"a\xFF\xFEz", 3, "a\xFF\xFE"}, {"ab\xC3", 3, "ab\xC3"},
  };
  for (const Case& c : cases) EXPECT_EQ(plat::text::cutToBytes(c.text, c.max), c.expected) << c.text << " " << c.max;
}

TEST(Utf8Text, CountsAndCutsCharactersAsTheDecoderSeesThem) {
  struct Case {
    std::string text;
    size_t chars;
    bool valid;
  };
  const Case cases[] = {
      {"", 0, true},
      {"abc", 3, true},
      {"L'été", 5, true},
      {"\xF0\x9F\x98\x80", 1, true},
      {"\xE2\x82", 2, false},          // a cut sequence: two raw bytes
      {"\xC0\xAF", 2, false},          // overlong form
      {"\xED\xA0\x80", 3, false},      // surrogate
      {"Br\xFC" "cke", 6, false},          // CP1252 text
      {"\xF4\x90\x80\x80", 4, false},  // past U+10FFFF
  };
  for (const Case& c : cases) {
    EXPECT_EQ(plat::text::countChars(c.text), c.chars) << c.text;
    EXPECT_EQ(plat::text::isValidUtf8(c.text), c.valid) << c.text;
    EXPECT_EQ(plat::text::cutChars(c.text, c.chars), c.text);
    if (c.chars > 0) {
      EXPECT_EQ(plat::text::countChars(plat::text::cutChars(c.text, c.chars - 1)), c.chars - 1);
    }
  }
}

}  // namespace
