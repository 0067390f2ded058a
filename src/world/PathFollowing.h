// Instances following paths: starting a path (where it is laid, at which end it begins) and the
// advance of one step with the speed factors, scale, orientation and the four end actions.
#pragma once

#include "world/Instance.h"

namespace kestro {

// What happens when an instance reaches an end of its path (`i_pathend`); other values stop.
inline constexpr int kPathEndStop = 0;
inline constexpr int kPathEndRestart = 1;
inline constexpr int kPathEndContinue = 2;
inline constexpr int kPathEndReverse = 3;

// The end-of-path event: other event 8.
inline constexpr int kEventEndOfPath = 8;

// Starts path `ind` on the instance. A negative index only sets the index; a missing path, one of
// length 0 or a negative scale leaves the instance without a path (index -1). Following begins at
// position 0, or 1 for a negative speed; in absolute mode the instance is first moved to the
// path's point there. The path is laid so that this point lies at the instance.
void Assign_Path(CInstance& inst, int ind, bool relative, int endact, double orient, double scale, double speed);

// One step along the path: the position advances by speed times the local speed factor over the
// scaled length, an end applies the end action (stop leaves the instance at the end it reached), and the instance moves to the new point with
// hspeed/vspeed showing the move (then speed 0). True when an end was reached in this step.
bool Adapt_Path(CInstance& inst);

}  // namespace kestro
