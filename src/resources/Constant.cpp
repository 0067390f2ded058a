#include "resources/Constant.h"

#include "resources/ResourceList.h"

namespace kestro {

bool CConstants::LoadFromStream(CStream& s) {
  Clear();
  if (s.ReadInteger() != 800) return false;
  int32_t n = s.ReadInteger();
  if (!CountFits(s, n, 8)) return false;
  names.reserve(size_t(n));
  values.reserve(size_t(n));
  for (int32_t i = 0; i < n; ++i) {
    names.push_back(s.ReadString());
    values.push_back(s.ReadString());
  }
  return true;
}

void CConstants::SaveToStream(CStream& s) const {
  s.WriteInteger(800);
  s.WriteInteger(Count());
  for (size_t i = 0; i < names.size(); ++i) {
    s.WriteString(names[i]);
    s.WriteString(values[i]);
  }
}

}  // namespace kestro
