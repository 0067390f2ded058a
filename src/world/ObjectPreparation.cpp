#include "world/ObjectPreparation.h"

#include <vector>

#include "io/Messages.h"
#include "resources/GameResources.h"
#include "world/GameScripts.h"

namespace kestro {

bool PrepareEventActions(CEvent& event, const REventContext& context) {
  CEventContextScope scope(context);
  for (int i = 0; i < event.e_number; ++i) {
    CAction& action = event.e_actions[size_t(i)];
    EventContext().actionIndex = i;
    action.ResolveFunction(GameScriptNames());
    int failed = -1;
    if (action.Compile(&GameScriptNames(), &failed)) continue;
    const std::string header = failed < 0 ? std::string(errhdr::kCodeActionCompile) : errhdr::ArgumentCompile(failed);
    ReportPendingCodeErrorAsAction(header, true);
    return false;
  }
  return true;
}

bool CompileTimeLineActions() {
  CResourceList<CTimeLine>& list = TimeLines();
  for (int t = 0; t < list.Count(); ++t) {
    CTimeLine* tl = list.Get(t);
    if (!tl) continue;
    for (int m = 0; m < tl->s_count; ++m)
      if (!PrepareEventActions(tl->s_event[size_t(m)], {t, kTimeLineEventType, tl->s_step[size_t(m)], 0}))
        return false;
  }
  return true;
}

std::string ParentCycleMessage() {
  const std::vector<int32_t> cycle = FindParentCycle(Objects());
  if (cycle.empty()) return "";
  std::string chain;
  for (int32_t o : cycle) chain += Objects().Name(o) + " -> ";
  chain += Objects().Name(cycle.front());
  return "Error: The parents of objects form a cycle: " + chain + ".";
}

bool CompileObjectActions() {
  if (std::string cycle = ParentCycleMessage(); !cycle.empty()) {
    ShowMessage(cycle);
    return false;
  }
  CResourceList<CObject>& list = Objects();
  for (int o = 0; o < list.Count(); ++o) {
    CObject* obj = list.Get(o);
    if (!obj) continue;
    for (int type = 0; type < kEventTypeCount; ++type)
      for (auto& [number, event] : obj->o_events[size_t(type)])
        if (!PrepareEventActions(event, {o, type, number, 0})) return false;
  }
  return true;
}

}  // namespace kestro
