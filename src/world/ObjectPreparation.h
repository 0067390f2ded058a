// Preparing the actions of time lines and objects while the game starts: every action is compiled
// into the call or the code it runs (CAction::Compile) with the game's names, its function id is
// found, and a failure is reported as a fatal action error naming the action, the event and the
// object (or the moment and the time line).
#pragma once

#include <cstdint>
#include <string>

#include "world/ErrorReport.h"

namespace kestro {

class CEvent;

// Prepares the actions of `event` in order, with the event context set to `context` and the
// action's index. The first failure is reported with the action header around
// "COMPILATION ERROR in code action" or "COMPILATION ERROR in argument N" and the compiler's
// message, fatal, and gives false. Function actions are resolved first ("Failed to locate action
// function" while that report is switched on; preparation goes on).
bool PrepareEventActions(CEvent& event, const REventContext& context);

// Every moment of every time line (context: the time line, kTimeLineEventType, the step); false
// at the first failure.
bool CompileTimeLineActions();

// The message that refuses game data whose parents form a cycle, naming the objects in order.
std::string ParentCycleMessage();  // "" when the objects have no parent cycle

// Refuses parent cycles (message above), then every event of every object in slot, type and
// number order (context: the object, the event type and number); false at the first failure.
bool CompileObjectActions();

}  // namespace kestro
