// Events: finding an object's event through its parents and performing its action list (blocks,
// questions with else, repeat, exit, applies-to, relative), and the event functions of scripts.
// Everything that runs an event comes through here; the event context that error messages and
// the event_* variables read is set for the event's duration and restored after it.
#pragma once

#include <functional>

namespace kestro {

class CEvent;
class CInstance;

inline constexpr int kEventCreate = 0;
inline constexpr int kEventDestroy = 1;
inline constexpr int kEventAlarm = 2;
inline constexpr int kEventStep = 3;
inline constexpr int kEventCollision = 4;
inline constexpr int kEventOther = 7;
inline constexpr int kEventDraw = 8;

// Events performed from inside events nest at most this deep ("Events nested too deeply.").
inline constexpr int kMaxEventDepth = 256;

// Runs the event found from object `objind` (FindEvent, EventLists.h) with the given self and other. Nothing while a room
// change or the end of the game is pending.
void PerformEvent(CInstance* self, CInstance* other, int objind, int type, int numb);
// An action list that belongs to no object's event (a time line's moment), run with self and
// other under the context (contextObject, type, numb). Nothing while a change is pending.
void PerformActionList(const CEvent& event, int contextObject, CInstance* self, CInstance* other, int type,
                       int numb);
// The same from self's own object.
void PerformInstanceEvent(CInstance* self, CInstance* other, int type, int numb);
// The event for every unmarked active instance, in list order, each as its own other.
void PerformEventForAll(int type, int numb);

// For every object of the event's list (EventLists.h: it has the event itself or through a parent),
// in ascending order, the event
// on every unmarked instance of the object's own list (instances created meanwhile included while
// the object's turn lasts).
void DispatchEvent(int type, int numb);
// The same, performed only on the instances for which `test` holds when their turn comes.
void DispatchEventIf(int type, int numb, const std::function<bool(const CInstance&)>& test);
// The alarm phase of a step: alarms 0 to 11 count down on instances whose object has that alarm
// event; reaching 0 performs it.
void StepAlarms();

}  // namespace kestro
