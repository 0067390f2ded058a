#include "platform/posix/Files.h"

#include <fstream>

namespace kestro::os {

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes) {
  std::ifstream f(path, std::ios::binary | std::ios::ate);
  if (!f) return false;
  std::streamoff size = f.tellg();
  if (size < 0 || uint64_t(size) > maxBytes) return false;
  out.resize(size_t(size));
  f.seekg(0);
  return bool(f.read(reinterpret_cast<char*>(out.data()), size));
}

}  // namespace kestro::os
