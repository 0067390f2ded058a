#include <gtest/gtest.h>

#include <string>

#include "script/Utf8.h"

namespace kestro::test {
namespace {

// string_length and the drawing layer once counted with two rules: string_length skipped the whole
// length its lead byte announced, whatever the bytes were; drawn text took only the continuation
// bytes that are there. These are the texts where they disagreed; the one rule is the second.
TEST(Utf8, CharCountWhereTheTwoRulesDiffered) {
  struct {
    std::string text;
    int64_t lengthRule;  // what string_length gave
    int64_t count;       // the one rule (what drawn text gave)
  } cases[] = {
      {"\xE2\x82" "a", 1, 2},          // a cut three-byte sequence swallowed the letter after it
      {"\xC3" "abc", 3, 4},            // a lead byte alone swallowed the next letter
      {"\xF0\x9F" "ab", 1, 3},         // a cut four-byte sequence swallowed two letters
      {"\xE2\xC3\xA9", 1, 2},          // a lead byte swallowed the complete sequence after it
      {"\xF8" "abcd", 1, 5},           // a five-byte lead byte swallowed four letters
      {"\xFC\x80\x80" "xyz", 1, 4},    // a cut six-byte sequence swallowed three letters
  };
  for (const auto& k : cases) {
    EXPECT_EQ(Utf8CharCount(k.text), k.count) << k.text;
    EXPECT_NE(k.lengthRule, k.count);
  }
}

TEST(Utf8, CharCountOfWellFormedTextIsItsCharacters) {
  EXPECT_EQ(Utf8CharCount(""), 0);
  EXPECT_EQ(Utf8CharCount("abc"), 3);
  EXPECT_EQ(Utf8CharCount("h\xC3\xA9llo"), 5);
  EXPECT_EQ(Utf8CharCount("\xE2\x82\xAC"), 1);
  EXPECT_EQ(Utf8CharCount("\xF0\x9F\x98\x80!"), 2);
}

// Whatever the bytes: at least one character for any text, never more than one per byte, and a
// letter after any byte is always counted.
TEST(Utf8, CharCountNeverPassesTheBytes) {
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const std::string two{char(a), char(b)};
      const int64_t n = Utf8CharCount(two);
      EXPECT_GE(n, 1) << a << " " << b;
      EXPECT_LE(n, 2) << a << " " << b;
    }
    EXPECT_EQ(Utf8CharCount(std::string{char(a), 'z'}), 2) << a;
  }
}

}  // namespace
}  // namespace kestro::test
