// Character counts of UTF-8 text, one rule for the string functions (string_length) and the
// drawing layer's text.
#pragma once

#include <cstdint>
#include <string_view>

namespace kestro {

// Characters in UTF-8 text: a lead byte from 194 to 253 and the continuation bytes (128 to 191)
// that follow it, up to its sequence length, are one character; every other byte (ASCII, a stray
// continuation byte, 192, 193, 254, 255) is one character of its own. A sequence cut short, by
// the end of the text or by a byte that does not continue it, counts once and the byte that cut
// it counts on its own: malformed text never counts more characters than it has bytes, never
// reads past them, and never hides the characters after a broken sequence.
inline int64_t Utf8CharCount(std::string_view s) {
  int64_t n = 0;
  for (size_t i = 0; i < s.size();) {
    const unsigned char b = static_cast<unsigned char>(s[i++]);
    ++n;
    if (b < 194 || b > 253) continue;
    size_t extra = b < 224 ? 1 : b < 240 ? 2 : b < 248 ? 3 : b < 252 ? 4 : 5;
    while (extra > 0 && i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) {
      ++i;
      --extra;
    }
  }
  return n;
}

}  // namespace kestro
