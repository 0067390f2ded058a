// Performing an object's event on an instance. The event dispatcher installs the performer;
// until one is installed (tools and tests of the model alone) no event runs.
#pragma once

namespace kestro {

class CInstance;

inline constexpr int kEventCreate = 0;
inline constexpr int kEventDestroy = 1;

// Events performed from inside events nest at most this deep.
inline constexpr int kMaxEventDepth = 256;

using EventPerformer = void (*)(CInstance* self, CInstance* other, int type, int number);
void SetEventPerformer(EventPerformer performer);  // nullptr: none
// Performs event (type, number) of self's object, found through its parents.
void PerformEvent(CInstance* self, CInstance* other, int type, int number);

}  // namespace kestro
