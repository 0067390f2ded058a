#include "resources/Constant.h"

#include "resources/ResourceList.h"

namespace kestro {

// The version of the constants block.
constexpr int32_t kConstantsVersion = 800;

bool CConstants::LoadFromStream(CStream& s) {
  Clear();
  int32_t n = 0;
  if (!ReadBlockCount(s, kConstantsVersion, 8, n)) return false;
  // Read into locals so a truncated block never leaves names without values.
  std::vector<std::string> nm, val;
  nm.reserve(size_t(n));
  val.reserve(size_t(n));
  for (int32_t i = 0; i < n; ++i) {
    nm.push_back(s.ReadString());
    val.push_back(s.ReadString());
  }
  names = std::move(nm);
  values = std::move(val);
  return true;
}

void CConstants::SaveToStream(CStream& s) const {
  s.WriteInteger(kConstantsVersion);
  s.WriteInteger(Count());
  for (size_t i = 0; i < names.size(); ++i) {
    s.WriteString(names[i]);
    s.WriteString(values[i]);
  }
}

}  // namespace kestro
