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

}  // namespace kestro
