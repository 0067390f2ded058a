#include "resources/Object.h"

#include <algorithm>

namespace kestro {

// The version of an object's stored form.
constexpr int32_t kObjectVersion = 430;

bool CObject::LoadFromStream(CStream& s) {
  Clear();
  if (s.ReadInteger() != kObjectVersion) return false;
  o_spriteindex = s.ReadInteger();
  o_solid = s.ReadBoolean();
  o_visible = s.ReadBoolean();
  o_depth = s.ReadInteger();
  o_persistent = s.ReadBoolean();
  o_parent = s.ReadInteger();
  o_mask = s.ReadInteger();
  int32_t last = s.ReadInteger();
  if (last < 0) return true;
  // Types beyond 11 are read (the stored form is a sequence) but have no place in the object.
  for (int32_t t = 0; t <= last; ++t) {
    for (;;) {
      int32_t n = s.ReadInteger();
      if (n < 0) break;
      CEvent ev;
      if (!ev.LoadFromStream(s)) return false;
      if (t < kEventTypeCount) o_events[size_t(t)][n] = std::move(ev);
    }
  }
  return true;
}

void CObject::SaveToStream(CStream& s) const {
  s.WriteInteger(kObjectVersion);
  s.WriteInteger(o_spriteindex);
  s.WriteBoolean(o_solid);
  s.WriteBoolean(o_visible);
  s.WriteInteger(o_depth);
  s.WriteBoolean(o_persistent);
  s.WriteInteger(o_parent);
  s.WriteInteger(o_mask);
  s.WriteInteger(kEventTypeCount - 1);
  for (const auto& events : o_events) {
    for (const auto& [n, ev] : events) {
      s.WriteInteger(n);
      ev.SaveToStream(s);
    }
    s.WriteInteger(-1);
  }
}

CEvent* CObject::CreateEvent(int etype, int enumb) {
  if (etype < 0 || etype >= kEventTypeCount || enumb < 0) return nullptr;
  return &o_events[size_t(etype)][enumb];
}

const CEvent* CObject::GetEventDirect(int etype, int enumb) const {
  if (etype < 0 || etype >= kEventTypeCount) return nullptr;
  auto it = o_events[size_t(etype)].find(enumb);
  return it != o_events[size_t(etype)].end() && it->second.e_number > 0 ? &it->second : nullptr;
}

bool CObject::HasEventDirect(int etype) const {
  if (etype < 0 || etype >= kEventTypeCount) return false;
  for (const auto& [n, ev] : o_events[size_t(etype)])
    if (ev.e_number > 0) return true;
  return false;
}

int CObject::EventCount(int etype) const {
  if (etype < 0 || etype >= kEventTypeCount || o_events[size_t(etype)].empty()) return 0;
  return o_events[size_t(etype)].rbegin()->first + 1;
}

std::vector<int32_t> AncestorsOf(const CResourceList<CObject>& list, int32_t objind) {
  std::vector<int32_t> chain;
  const CObject* o = list.Get(objind);
  if (!o) return chain;
  std::vector<bool> met(size_t(list.Count()), false);
  met[size_t(objind)] = true;
  for (int32_t p = o->o_parent; const CObject* parent = list.Get(p); p = parent->o_parent) {
    if (met[size_t(p)]) break;
    met[size_t(p)] = true;
    chain.push_back(p);
  }
  return chain;
}

bool IsDecendentOf(const CResourceList<CObject>& list, int32_t objind, int32_t anc) {
  const CObject* o = list.Get(objind);
  if (!o || !list.Exists(anc)) return false;
  // Bounded like AncestorsOf, without its allocation: a chain longer than the list is a cycle.
  int32_t steps = list.Count();
  for (int32_t p = o->o_parent; const CObject* parent = list.Get(p); p = parent->o_parent) {
    if (p == anc) return true;
    if (--steps < 0) break;
  }
  return false;
}

std::vector<int32_t> FindParentCycle(const CResourceList<CObject>& list) {
  // 0 not walked yet, 1 on the walk in progress, 2 walked before: its chain ends without a cycle.
  std::vector<uint8_t> state(size_t(list.Count()), 0);
  std::vector<int32_t> path;
  for (int32_t start = 0; start < list.Count(); ++start) {
    path.clear();
    int32_t cur = start;
    while (list.Exists(cur) && state[size_t(cur)] == 0) {
      state[size_t(cur)] = 1;
      path.push_back(cur);
      cur = list.Get(cur)->o_parent;
    }
    if (list.Exists(cur) && state[size_t(cur)] == 1) {
      std::vector<int32_t> cycle(std::find(path.begin(), path.end(), cur), path.end());
      std::rotate(cycle.begin(), std::min_element(cycle.begin(), cycle.end()), cycle.end());
      return cycle;
    }
    for (int32_t i : path) state[size_t(i)] = 2;
  }
  return {};
}

bool LoadObjectBlock(CStream& s, CResourceList<CObject>& list) {
  return LoadListBlock(s, kListBlockVersion, list, true,
                       [](CObject& o, CStream& in) { return o.LoadFromStream(in); });
}

void SaveObjectBlock(CStream& s, const CResourceList<CObject>& list) {
  SaveListBlock(s, kListBlockVersion, list, true,
                [](const CObject& o, CStream& out) { o.SaveToStream(out); });
}

}  // namespace kestro
