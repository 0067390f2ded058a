// Performing events from scripts: event_perform, event_perform_object, event_user, event_inherited.
#include "resources/GameResources.h"
#include "script/builtins/BuiltinArgs.h"
#include "world/Bindings.h"
#include "world/ErrorReport.h"
#include "world/Events.h"

namespace kestro {

namespace {

int Int(const RValue& v) { return RoundToInt32(v.val); }

KESTRO_BUILTIN(F_event_perform) { PerformInstanceEvent(self, other, Int(a[0]), Int(a[1])); }

KESTRO_BUILTIN(F_event_perform_object) {
  if (self) PerformEvent(self, other, Int(a[0]), Int(a[1]), Int(a[2]));
}

KESTRO_BUILTIN(F_event_user) { PerformInstanceEvent(self, other, kEventOther, Int(a[0]) + 10); }

// The event of the running event's defining object's parent: never the child's again.
KESTRO_BUILTIN(F_event_inherited) {
  const REventContext& ctx = EventContext();
  const CObject* defining = Objects().Get(ctx.objectIndex);
  if (!self || ctx.eventType == kTimeLineEventType || !defining || !Objects().Exists(defining->o_parent)) return;
  PerformEvent(self, other, defining->o_parent, ctx.eventType, ctx.eventNumber);
}

constexpr RBinding kEventFunctions[] = {
    {"event_perform", F_event_perform},
    {"event_perform_object", F_event_perform_object},
    {"event_user", F_event_user},
    {"event_inherited", F_event_inherited},
};

}  // namespace

RBindingTable EventFunctions() { return kEventFunctions; }

}  // namespace kestro
