#include "world/Events.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "resources/GameResources.h"
#include "script/Executor.h"
#include "script/Scripts.h"
#include "script/builtins/BuiltinError.h"
#include "world/CollisionGrid.h"
#include "world/ErrorReport.h"
#include "world/EventLists.h"
#include "world/GameState.h"
#include "world/World.h"

namespace kestro {

namespace {

constexpr int kStop = 10000000;  // the position that ends an action list

int g_depth = 0;

bool Pending() { return World().pendingChange != kNoChange; }

// One event's action list, performed with a fixed self and other.
class CActionRun {
 public:
  CActionRun(const CEvent& event, CInstance* self, CInstance* other) : ev_(event), self_(self), other_(other) {}

  void Run() {
    int i = 0;
    while (i < Count()) i = ExecuteAt(i);
  }

 private:
  int Count() const { return ev_.e_number; }
  const CAction& Act(int i) const { return ev_.e_actions[size_t(i)]; }
  bool Past(int i) const { return i >= Count() || Pending(); }

  int ExecuteAt(int i) {
    if (Past(i)) return kStop;
    const CAction& a = Act(i);
    int next;
    if (a.act_kind == kActBegin)
      next = ExecuteBlock(i);
    else if (a.act_kind == kActRepeat)
      next = ExecuteRepeat(i);
    else if (a.act_isquestion)
      next = ExecuteQuestion(i);
    else
      next = ExecuteNormal(i);
    return Pending() ? kStop : next;
  }

  int ExecuteNormal(int i) {
    if (Past(i)) return kStop;
    EventContext().actionIndex = i;
    const CAction& a = Act(i);
    if (a.act_kind == kActExit) return kStop;
    if (!a.act_useapplyto || a.act_who == kDesignatorSelf) {
      Execute(a, self_, other_);
    } else if (a.act_who == kDesignatorOther) {
      Execute(a, other_, self_);
    } else if (a.act_who >= 0 && a.act_who < Objects().Count()) {
      CLiveRoom& room = World().Room();
      for (int k = 0; k < room.Obj_Number_Recursive(a.act_who); ++k) {
        CInstance* inst = room.Obj_Instance_Recursive(a.act_who, k);
        if (inst && !inst->i_marked) Execute(a, inst, other_);
        if (Pending()) return kStop;
      }
    }
    return Pending() ? kStop : i + 1;
  }

  int ExecuteQuestion(int i) {
    if (Past(i)) return kStop;
    EventContext().actionIndex = i;
    const CAction& a = Act(i);
    bool answer = true;
    if (!a.act_useapplyto || a.act_who == kDesignatorSelf) {
      answer = Ask(a, self_, other_);
    } else if (a.act_who == kDesignatorOther) {
      answer = Ask(a, other_, self_);
    } else if (a.act_who >= 0 && a.act_who < Objects().Count()) {
      CLiveRoom& room = World().Room();
      for (int k = 0; answer && k < room.Obj_Number_Recursive(a.act_who); ++k) {
        CInstance* inst = room.Obj_Instance_Recursive(a.act_who, k);
        if (inst && !inst->i_marked) answer = Ask(a, inst, other_);
      }
    }
    int next = answer ? ExecuteAt(i + 1) : Skip(i + 1);
    if (next >= 0 && next < Count() && Act(next).act_kind == kActElse)
      next = answer ? Skip(next + 1) : ExecuteAt(next + 1);
    return Pending() ? kStop : next;
  }

  int ExecuteBlock(int i) {
    if (Past(i)) return kStop;
    int j = i + 1;
    while (j < Count() && Act(j).act_kind != kActEnd) {
      j = ExecuteAt(j);
      if (j == kStop || Pending()) return kStop;
    }
    return j + 1;
  }

  int ExecuteRepeat(int i) {
    if (Past(i)) return kStop;
    EventContext().actionIndex = i;
    const CAction& a = Act(i);
    RValue count;
    if (a.act_argumentcount > 0) count = Argument(a, 0, self_, other_);
    if (Pending()) return kStop;
    const int64_t n = RoundToInt64(count.val);
    for (int64_t k = 0; k < n; ++k) {
      const int r = ExecuteAt(i + 1);
      if (r == kStop || Pending()) return kStop;
    }
    return Skip(i + 1);
  }

  int Skip(int i) {
    if (i >= Count()) return kStop;
    const CAction& a = Act(i);
    if (a.act_kind == kActBegin) return SkipBlock(i);
    if (a.act_isquestion || a.act_kind == kActRepeat) return Skip(i + 1);
    return i + 1;
  }

  int SkipBlock(int i) {
    int j = i + 1;
    while (j < Count() && Act(j).act_kind != kActEnd) j = Skip(j);
    return j + 1;
  }

  // An argument's value: the constant, or its expression run with self and other (errors shown
  // as non-fatal action errors; the value is then what the run left).
  static RValue Argument(const CAction& a, int k, CInstance* self, CInstance* other) {
    if (a.act_argtype[size_t(k)] == -1 || !a.act_argcode[size_t(k)]) return a.act_argvalue[size_t(k)];
    RValue v;
    ExecuteCodeReported(self, other, *a.act_argcode[size_t(k)], v);
    return v;
  }

  static RValue Execute(const CAction& a, CInstance* self, CInstance* other) {
    RValue result;
    const int argc = std::clamp(a.act_argumentcount, 0, kMaxActionArgs);
    if (a.act_exetype == kExeFunction) {
      ActionRelative() = a.act_userelative && a.act_relative;
      std::array<RValue, kMaxArguments> args;
      for (int k = 0; k < argc; ++k) args[size_t(k)] = Argument(a, k, self, other);
      if (a.act_functionid >= 0 && !CallFunctionId(a.act_functionid, self, other, argc, args.data(), result) &&
          a.act_functionid >= kExtensionIdBase)
        ReportPendingCodeErrorAsAction("", false);  // a failed extension function is shown, not lost
    } else if (a.act_exetype == kExeCode && a.act_codecode) {
      // The action's arguments are the code's argument0, argument1, ...; the caller's come back.
      // Code that names no argument, given none, cannot change the slots: nothing to keep then.
      const bool keep = argc > 0 || a.act_codecode->i_ArgArray || a.act_codecode->i_Args > 0;
      std::optional<std::array<RValue, kMaxArguments>> saved;  // made only when kept
      if (keep) {
        RValue* slots = ArgumentSlots();
        saved.emplace();
        std::copy(slots, slots + kMaxArguments, saved->begin());
        for (int k = 0; k < argc; ++k) slots[k] = Argument(a, k, self, other);
        ArgumentSlotsWritten();
      }
      const bool relative = ActionRelative();
      ActionRelative() = a.act_userelative && a.act_relative;
      ExecuteCodeReported(self, other, *a.act_codecode, result);
      ActionRelative() = relative;
      if (saved) std::copy(saved->begin(), saved->end(), ArgumentSlots());
    }
    return result;
  }

  static bool Ask(const CAction& a, CInstance* self, CInstance* other) {
    if (a.act_exetype == kExeNone) return a.act_isnot;
    const bool yes = Execute(a, self, other).val >= 0.5;
    return a.act_isnot ? !yes : yes;
  }

  const CEvent& ev_;
  CInstance* self_;
  CInstance* other_;
};

}  // namespace

namespace {

// Runs a found event under its context. Events that perform events (a create event creating its
// own object again and again) end at a bounded depth with an error instead of exhausting the stack.
void RunEvent(const RFoundEvent& found, CInstance* self, CInstance* other, int type, int numb) {
  if (g_depth >= kMaxEventDepth) {
    ReportBuiltinError("Events nested too deeply.", true);
    return;
  }
  struct Depth {
    Depth() { ++g_depth; }
    ~Depth() { --g_depth; }
  } depth;
  CEventContextScope context({found.object, type, numb, 0});
  CActionRun(*found.event, self, other).Run();
}

// The event on every unmarked instance of object `obj`'s own list; the event is the same for all
// of them, so it is looked up once.
void RunForObject(int obj, int type, int numb, CLiveRoom& room) {
  const RFoundEvent found = FindEvent(Objects(), obj, type, numb);
  if (!found.event) return;
  // While the events search the collision grid (the last one did), the next instances are asked
  // of memory ahead (see CCollisionGrid::LookAhead).
  const CCollisionGrid& grid = CollisionGrid();
  bool searching = false;
  for (int k = 0; k < room.Obj_Number(obj) && !Pending(); ++k) {
    if (searching)
      grid.LookAhead(room, k, [&](int n) { return room.Obj_Instance(obj, n); });
    if (CInstance* inst = room.Obj_Instance(obj, k); inst && !inst->i_marked) {
      const uint64_t queries = grid.Queries();
      RunEvent(found, inst, inst, type, numb);
      searching = grid.Queries() != queries;
    }
  }
}

}  // namespace

void PerformEvent(CInstance* self, CInstance* other, int objind, int type, int numb) {
  if (Pending()) return;
  const RFoundEvent found = FindEvent(Objects(), objind, type, numb);
  if (found.event) RunEvent(found, self, other, type, numb);
}

void PerformActionList(const CEvent& event, int contextObject, CInstance* self, CInstance* other, int type, int numb) {
  if (!Pending()) RunEvent(RFoundEvent{&event, contextObject}, self, other, type, numb);
}

void PerformInstanceEvent(CInstance* self, CInstance* other, int type, int numb) {
  if (self) PerformEvent(self, other, self->i_objectindex, type, numb);
}

void DispatchEvent(int type, int numb) {
  CLiveRoom& room = World().Room();
  for (const int obj : EventLists().Objects(type, numb)) {
    if (Pending()) return;
    RunForObject(obj, type, numb, room);
  }
}

void DispatchEventIf(int type, int numb, const std::function<bool(const CInstance&)>& test) {
  CLiveRoom& room = World().Room();
  for (const int obj : EventLists().Objects(type, numb)) {
    if (Pending()) return;
    const RFoundEvent found = FindEvent(Objects(), obj, type, numb);
    for (int k = 0; found.event && k < room.Obj_Number(obj) && !Pending(); ++k)
      if (CInstance* inst = room.Obj_Instance(obj, k); inst && !inst->i_marked && test(*inst))
        RunEvent(found, inst, inst, type, numb);
  }
}

void StepAlarms() {
  CLiveRoom& room = World().Room();
  for (int alarm = 0; alarm < 12; ++alarm)
    for (const int obj : EventLists().Objects(kEventAlarm, alarm)) {
      if (Pending()) return;
      const RFoundEvent found = FindEvent(Objects(), obj, kEventAlarm, alarm);
      for (int k = 0; found.event && k < room.Obj_Number(obj) && !Pending(); ++k) {
        CInstance* inst = room.Obj_Instance(obj, k);
        if (!inst || inst->i_marked || inst->GetAlarm(alarm) < 0) continue;
        inst->SetAlarm(alarm, inst->GetAlarm(alarm) - 1);
        if (inst->GetAlarm(alarm) == 0) RunEvent(found, inst, inst, kEventAlarm, alarm);
      }
    }
}

void PerformEventForAll(int type, int numb) {
  if (Pending()) return;
  CLiveRoom& room = World().Room();
  // Instances created by the events are appended and get the event too.
  for (size_t k = 0; k < room.Active().size() && !Pending(); ++k) {
    CInstance* inst = room.Active()[k].get();
    if (!inst->i_marked) PerformEvent(inst, inst, inst->i_objectindex, type, numb);
  }
}

}  // namespace kestro
