#include "resources/TimeLine.h"

namespace kestro {

// The version of a time line's stored form.
constexpr int32_t kTimeLineVersion = 500;

bool CTimeLine::LoadFromStream(CStream& s) {
  Clear();
  int32_t n = 0;
  if (!ReadBlockCount(s, kTimeLineVersion, 8, n)) return false;  // a step and at least an event version each
  s_event.resize(size_t(n));
  s_step.resize(size_t(n));
  for (int32_t i = 0; i < n; ++i) {
    s_step[size_t(i)] = s.ReadInteger();
    if (!s_event[size_t(i)].LoadFromStream(s)) return false;
  }
  s_count = n;
  return true;
}

void CTimeLine::SaveToStream(CStream& s) const {
  s.WriteInteger(kTimeLineVersion);
  s.WriteInteger(s_count);
  for (int i = 0; i < s_count; ++i) {
    s.WriteInteger(s_step[size_t(i)]);
    s_event[size_t(i)].SaveToStream(s);
  }
}

int CTimeLine::Find(int step) const {
  for (int i = 0; i < s_count; ++i)
    if (s_step[size_t(i)] == step) return i;
  return -1;
}

int CTimeLine::FindLarger(double step) const {
  if (s_count == 0) return -1;
  for (int i = 0; i < s_count; ++i)
    if (s_step[size_t(i)] >= step) return i;
  return s_count;
}

int CTimeLine::FindSmaller(double step) const {
  if (s_count == 0 || s_step[0] > step) return -1;
  int r = -1;
  for (int i = 0; i < s_count; ++i)
    if (s_step[size_t(i)] <= step) r = i;
  return r;
}

void CTimeLine::AddMoment(int step) {
  if (Find(step) >= 0) return;
  size_t at = 0;
  while (at < size_t(s_count) && s_step[at] < step) ++at;
  s_step.insert(s_step.begin() + long(at), step);
  s_event.insert(s_event.begin() + long(at), CEvent());
  ++s_count;
}

void CTimeLine::DeleteMoment(int step) {
  int i = Find(step);
  if (i < 0) return;
  s_step.erase(s_step.begin() + i);
  s_event.erase(s_event.begin() + i);
  --s_count;
}

bool LoadTimeLineBlock(CStream& s, CResourceList<CTimeLine>& list) {
  return LoadListBlock(s, kListBlockVersion, list, true,
                       [](CTimeLine& o, CStream& in) { return o.LoadFromStream(in); });
}

void SaveTimeLineBlock(CStream& s, const CResourceList<CTimeLine>& list) {
  SaveListBlock(s, kListBlockVersion, list, true,
                [](const CTimeLine& o, CStream& out) { o.SaveToStream(out); });
}

}  // namespace kestro
