// CTrigger: a named condition tested every step at a chosen moment; its index is a constant.
#pragma once

#include <memory>
#include <string>

#include "resources/ResourceList.h"

namespace kestro {

class CCode;

// Shown for a missing trigger wherever a trigger name is printed.
inline constexpr const char* kDeletedTriggerName = "<Deleted>";

// The version of a trigger's stored form.
inline constexpr int32_t kTriggerVersion = 800;

class CTrigger {
 public:
  std::string i_name;
  std::string i_condition;
  std::shared_ptr<CCode> i_code;
  std::string i_constname;
  int i_moment = 1;  // 0 normal step, 1 begin step, 2 end step

  void Create() { Clear(); }
  void Clear() { *this = CTrigger(); }
  void Assign(const CTrigger& o) { *this = o; }
  void Destroy() { Clear(); }
  bool LoadFromStream(CStream& s) {
    Clear();
    if (s.ReadInteger() != kTriggerVersion) return false;
    i_name = s.ReadString();
    i_condition = s.ReadString();
    i_moment = s.ReadInteger();
    i_constname = s.ReadString();
    return true;
  }
  void SaveToStream(CStream& s) const {
    s.WriteInteger(kTriggerVersion);
    s.WriteString(i_name);
    s.WriteString(i_condition);
    s.WriteInteger(i_moment);
    s.WriteString(i_constname);
  }
};

// Triggers carry their name inside the stored form, not before it.
inline bool LoadTriggerBlock(CStream& s, CResourceList<CTrigger>& list) {
  return LoadListBlock(s, kListBlockVersion, list, false,
                       [](CTrigger& o, CStream& in) { return o.LoadFromStream(in); });
}
inline void SaveTriggerBlock(CStream& s, const CResourceList<CTrigger>& list) {
  SaveListBlock(s, kListBlockVersion, list, false,
                [](const CTrigger& o, CStream& out) { o.SaveToStream(out); });
}

}  // namespace kestro
