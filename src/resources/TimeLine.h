// CTimeLine: moments (step numbers in ascending order), each with an event's actions.
#pragma once

#include <vector>

#include "resources/Event.h"
#include "resources/ResourceList.h"

namespace kestro {

class CTimeLine {
 public:
  std::vector<CEvent> s_event;
  std::vector<int> s_step;
  int s_count = 0;

  void Create() { Clear(); }
  void Clear() { *this = CTimeLine(); }
  void Assign(const CTimeLine& o) { *this = o; }
  void Destroy() { Clear(); }
  // Stored form: int 500, int n, n moments (int step, event).
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;

  int Find(int step) const;
  int FindLarger(double step) const;
  int FindSmaller(double step) const;
  void AddMoment(int step);
  void DeleteMoment(int step);
};

bool LoadTimeLineBlock(CStream& s, CResourceList<CTimeLine>& list);
void SaveTimeLineBlock(CStream& s, const CResourceList<CTimeLine>& list);

}  // namespace kestro
