#include "world/TimeLines.h"

#include <memory>

#include "resources/GameResources.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Executor.h"
#include "world/ErrorReport.h"
#include "world/EventLists.h"
#include "world/Events.h"
#include "world/GameScripts.h"
#include "world/World.h"

namespace kestro {

namespace {

bool Pending() { return World().pendingChange != kNoChange; }

// The range of moments one advance passes, fixed before any of them runs.
struct RMomentRange {
  int from = 0, to = 0;  // performed from `from` towards `to` (exclusive), in that direction
  int step = 1;
};

}  // namespace

void PerformMoment(CInstance* self, CInstance* other, int timeline, int moment) {
  if (Pending()) return;
  const CTimeLine* tl = TimeLines().Get(timeline);
  if (!tl || moment < 0 || moment >= tl->s_count) return;
  // The actions may change or delete this very time line (timeline_moment_add, timeline_delete):
  // the moment runs from its own copy.
  const CEvent event = tl->s_event[size_t(moment)];
  const int step = tl->s_step[size_t(moment)];
  PerformActionList(event, timeline, self, other, kTimeLineEventType, step);
}

void StepTimelines() {
  CLiveRoom& room = World().Room();
  // Instances created by moments are appended and take part in this phase too.
  for (size_t k = 0; k < room.Active().size() && !Pending(); ++k) {
    CInstance* inst = room.Active()[k].get();
    if (inst->i_marked || !inst->i_timelinerunning || inst->i_timelinespeed == 0) continue;
    const int index = inst->i_timelineindex;
    const CTimeLine* tl = index >= 0 ? TimeLines().Get(index) : nullptr;
    if (!tl || tl->s_count <= 0) continue;
    const double speed = inst->i_timelinespeed;
    const double before = inst->i_timelineposition, after = before + speed;
    RMomentRange range;
    if (speed > 0) {
      range = {tl->FindLarger(before), tl->FindLarger(after), 1};
    } else {
      range = {tl->FindSmaller(before), tl->FindSmaller(after), -1};
    }
    inst->i_timelineposition = after;
    for (int m = range.from; m != range.to && !Pending(); m += range.step) PerformMoment(inst, inst, index, m);
    // The moments may have deleted or changed the time line: it is looked up again.
    tl = TimeLines().Get(index);
    if (!inst->i_timelineloop || !tl || tl->s_count <= 0) continue;
    const int last = tl->s_step[size_t(tl->s_count - 1)];
    if (speed > 0 && after > last)
      inst->i_timelineposition = 0;
    else if (speed < 0 && after < 0)
      inst->i_timelineposition = last;
  }
}

bool CompileGameTriggers() {
  CResourceList<CTrigger>& list = Triggers();
  for (int i = 0; i < list.Count(); ++i) {
    CTrigger* t = list.Get(i);
    if (!t) continue;
    t->i_code.reset();
    auto code = std::make_shared<CCode>(t->i_condition, CodeKind::kProgram);
    ClearCodeError();
    if (!code->Compile(&GameScriptNames())) {
      HandlePendingCodeError(errhdr::TriggerCompile(t->i_name), true);
      return false;
    }
    t->i_code = std::move(code);
  }
  return true;
}

void EvaluateTriggers(int moment) {
  CLiveRoom& room = World().Room();
  const CResourceList<CTrigger>& list = Triggers();
  for (int q = 0; q < list.Count() && !Pending(); ++q) {
    const CTrigger* t = list.Get(q);
    if (!t || t->i_moment != moment || !t->i_code || EventLists().Objects(kEventTrigger, q).empty()) continue;
    // A copy: the events performed may rebuild the lists.
    const std::vector<int32_t> objects = EventLists().Objects(kEventTrigger, q);
    // The trigger is kept alive by its own reference while conditions and events run.
    const std::shared_ptr<CCode> code = t->i_code;
    const std::string name = t->i_name;
    for (const int32_t obj : objects)
      for (int k = 0; k < room.Obj_Number(obj) && !Pending(); ++k) {
        CInstance* inst = room.Obj_Instance(obj, k);
        if (!inst || inst->i_marked) continue;
        RValue result;
        if (!ExecuteCodeValue(inst, inst, *code, result)) {
          HandlePendingCodeError(errhdr::TriggerRun(name), false);
          continue;
        }
        if (!result.IsString() && result.val >= 0.5) PerformEvent(inst, inst, obj, kEventTrigger, q);
      }
  }
}

}  // namespace kestro
