// The time line functions: which time lines exist, adding and deleting them, and adding and
// clearing their moments (code added to a moment is prepared at once).
#include <memory>
#include <string>

#include "resources/GameResources.h"
#include "script/builtins/BuiltinArgs.h"
#include "world/Bindings.h"
#include "world/ErrorReport.h"
#include "world/ObjectPreparation.h"

namespace kestro {

namespace {

int Int(const RValue& v) { return RoundToInt32(v.val); }

KESTRO_BUILTIN(F_timeline_exists) { r.SetReal(TimeLines().Exists(Int(a[0])) ? 1 : 0); }
KESTRO_BUILTIN(F_timeline_get_name) { SetText(r, TimeLines().Name(Int(a[0]))); }

KESTRO_BUILTIN(F_timeline_add) {
  const int index = TimeLines().Count();
  r.SetReal(TimeLines().Add(std::make_unique<CTimeLine>(), "__newtimeline" + std::to_string(index)));
}

KESTRO_BUILTIN(F_timeline_delete) {
  if (!TimeLines().Delete(Int(a[0]))) return ReportBuiltinError("Trying to delete non-existing timeline.");
  r.SetReal(1);
}

KESTRO_BUILTIN(F_timeline_clear) {
  if (CTimeLine* tl = TimeLines().Get(Int(a[0]))) tl->Clear();
}

KESTRO_BUILTIN(F_timeline_moment_clear) {
  if (CTimeLine* tl = TimeLines().Get(Int(a[0]))) tl->DeleteMoment(Int(a[1]));
}

KESTRO_BUILTIN(F_timeline_moment_add) {
  const int index = Int(a[0]), step = Int(a[1]);
  CTimeLine* tl = TimeLines().Get(index);
  if (!tl) return;
  // The new action is prepared on its own; only a prepared action joins the moment.
  CEvent added;
  added.AddCodeAction(ArgText(a[2]));
  if (!PrepareEventActions(added, {index, kTimeLineEventType, step, 0})) return;
  tl->AddMoment(step);
  CEvent& moment = tl->s_event[size_t(tl->Find(step))];
  moment.e_actions.resize(size_t(moment.e_number));
  moment.e_actions.push_back(std::move(added.e_actions[0]));
  ++moment.e_number;
}

constexpr RBinding kTimeLineFunctions[] = {
    {"timeline_exists", F_timeline_exists},
    {"timeline_get_name", F_timeline_get_name},
    {"timeline_name", F_timeline_get_name},
    {"timeline_add", F_timeline_add},
    {"timeline_delete", F_timeline_delete},
    {"timeline_clear", F_timeline_clear},
    {"timeline_moment_clear", F_timeline_moment_clear},
    {"timeline_moment_add", F_timeline_moment_add},
};

}  // namespace

RBindingTable TimeLineFunctions() { return kTimeLineFunctions; }

}  // namespace kestro
