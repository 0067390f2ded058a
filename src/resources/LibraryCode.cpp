#include "resources/LibraryCode.h"

#include "resources/ResourceList.h"

namespace kestro {

// The version of the library-code block.
constexpr int32_t kLibraryCodeVersion = 500;

bool CLibraryCode::LoadFromStream(CStream& s) {
  Clear();
  int32_t n = 0;
  if (!ReadBlockCount(s, kLibraryCodeVersion, 4, n)) return false;
  pieces.reserve(size_t(n));
  for (int32_t i = 0; i < n; ++i) pieces.push_back(s.ReadString());
  return true;
}

void CLibraryCode::SaveToStream(CStream& s) const {
  s.WriteInteger(kLibraryCodeVersion);
  s.WriteInteger(int32_t(pieces.size()));
  for (const std::string& p : pieces) s.WriteString(p);
}

}  // namespace kestro
