// CScript: a script's code text; compiled during preparation.
#pragma once

#include <memory>
#include <string>

#include "resources/ResourceList.h"

namespace kestro {

class CCode;

// The version of a script's stored form.
inline constexpr int32_t kScriptVersion = 800;

class CScript {
 public:
  std::string s_text;
  std::shared_ptr<CCode> s_code;  // set by preparation

  void Create() { Clear(); }
  void Clear() {
    s_text.clear();
    s_code.reset();
  }
  void Assign(const CScript& o) { *this = o; }
  void Destroy() { Clear(); }
  bool LoadFromStream(CStream& s) {
    Clear();
    if (s.ReadInteger() != kScriptVersion) return false;
    s_text = s.ReadString();
    return true;
  }
  void SaveToStream(CStream& s) const {
    s.WriteInteger(kScriptVersion);
    s.WriteString(s_text);
  }
};

inline bool LoadScriptBlock(CStream& s, CResourceList<CScript>& list) {
  return LoadListBlock(s, kListBlockVersion, list, true,
                       [](CScript& o, CStream& in) { return o.LoadFromStream(in); });
}
inline void SaveScriptBlock(CStream& s, const CResourceList<CScript>& list) {
  SaveListBlock(s, kListBlockVersion, list, true,
                [](const CScript& o, CStream& out) { o.SaveToStream(out); });
}

}  // namespace kestro
