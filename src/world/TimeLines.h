// Time lines and triggers at run time: the time line phase of a step (moments between the old and
// the new position performed in order, forwards or backwards, with looping), a moment performed
// under its own error context, and the triggers tested at the start of the begin, normal and end
// step phases (their conditions compiled while the game is prepared).
#pragma once

namespace kestro {

class CInstance;

// The moments of triggers (`i_moment`): when in the step a trigger's condition is tested.
inline constexpr int kTriggerNormalStep = 0;
inline constexpr int kTriggerBeginStep = 1;
inline constexpr int kTriggerEndStep = 2;

// The event type of trigger events.
inline constexpr int kEventTrigger = 11;

// The actions of moment `moment` (its index) of time line `timeline`, with the error context (the
// time line, the moment type, the moment's step). Nothing while a change is pending or when the
// time line or moment does not exist.
void PerformMoment(CInstance* self, CInstance* other, int timeline, int moment);

// The time line phase: every unmarked active instance with a running time line that has moments
// and a speed other than 0 advances by its speed; the moments passed are performed.
void StepTimelines();

// Compiles every trigger's condition as a program. The first failure is reported as a fatal error
// behind "COMPILATION ERROR in condition of trigger NAME" and gives false; a trigger without
// compiled code is never tested.
bool CompileGameTriggers();

// Tests the triggers of moment `moment` (kTrigger...Step) on the instances of the objects that
// have their event, performing the event where the condition gives a real of 0.5 or more; a
// condition that fails is reported (not fatal) and the next one tested.
void EvaluateTriggers(int moment);

}  // namespace kestro
