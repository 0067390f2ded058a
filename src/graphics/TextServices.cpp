#include "graphics/TextServices.h"

namespace kestro {

std::string DrawingText(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '#') {
      out += '#';
      ++i;
    } else if (s[i] == '#') {
      out += '\n';
    } else {
      out += s[i];
    }
  }
  return out;
}

int Utf8CharCount(const std::string& s) {
  int n = 0;
  for (size_t i = 0; i < s.size();) {
    unsigned char b = static_cast<unsigned char>(s[i++]);
    ++n;
    if (b <= 193 || b > 253) continue;
    size_t extra = b < 224 ? 1 : b < 240 ? 2 : b < 248 ? 3 : b < 252 ? 4 : 5;
    while (extra > 0 && i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) {
      ++i;
      --extra;
    }
  }
  return n;
}

}  // namespace kestro
