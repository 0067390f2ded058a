#include <gtest/gtest.h>

#include "graphics/TextServices.h"

namespace kestro::test {
namespace {

TEST(TextServices, HashesBreakLinesUnlessEscaped) {
  EXPECT_EQ(DrawingText("a#b"), "a\nb");
  EXPECT_EQ(DrawingText("score: \\#1##"), "score: #1\n\n");
  EXPECT_EQ(DrawingText("back\\slash\\"), "back\\slash\\");
  EXPECT_EQ(DrawingText(""), "");
}

TEST(TextServices, Utf8CharactersCountOnce) {
  struct {
    std::string text;
    int count;
  } cases[] = {
      {"abc", 3},
      {"caf\xC3\xA9", 4},                 // two-byte é
      {"\xE2\x82\xAC", 1},                // three-byte €
      {"\xF0\x9F\x98\x80!", 2},           // four bytes and a letter
      {"\xC3", 1},                        // a lead byte cut off at the end
      {"\xE2\x82" "a", 2},                // a short sequence stops at a non-continuation
      {"\x80\x80", 2},                    // stray continuation bytes count alone
      {"\xC0\xC1\xFE\xFF", 4},            // bytes that never lead
  };
  for (auto& k : cases) EXPECT_EQ(Utf8CharCount(k.text), k.count) << k.text;
}

}  // namespace
}  // namespace kestro::test
