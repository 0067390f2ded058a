#include "world/PathFollowing.h"

#include <cmath>
#include <numbers>

#include "resources/GameResources.h"

namespace kestro {

namespace {

// A path that can be followed: it exists and has a length.
const CPath* Followable(int ind) {
  const CPath* path = Paths().Get(ind);
  return path && path->i_length > 0 ? path : nullptr;
}

}  // namespace

void Assign_Path(CInstance& inst, int ind, bool relative, int endact, double orient, double scale, double speed) {
  inst.i_pathindex = ind;
  if (ind < 0) return;
  const CPath* path = Followable(ind);
  if (!path) {
    inst.i_pathindex = -1;
    return;
  }
  inst.i_pathspeed = speed;
  inst.i_pathposition = speed >= 0 ? 0 : 1;
  inst.i_pathpositionprevious = inst.i_pathposition;
  inst.i_pathscale = scale;
  if (scale < 0) {
    inst.i_pathindex = -1;
    return;
  }
  inst.i_pathorientation = orient;
  inst.i_pathend = endact;
  const RWayPoint begin = path->GetPosition(inst.i_pathposition);
  if (!relative) inst.SetPosition(begin.x, begin.y);
  // The path is laid so that the point where following begins lies at the instance: a path
  // followed backwards starts at its end without a jump (in absolute mode the path then lies at
  // its own place).
  const RWayPoint first = path->GetPosition(0);
  const double a = orient * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
  const double ox = begin.x - first.x, oy = begin.y - first.y;
  inst.i_pathxstart = inst.i_x - (c * ox + s * oy) * scale;
  inst.i_pathystart = inst.i_y - (c * oy - s * ox) * scale;
}

bool Adapt_Path(CInstance& inst) {
  const CPath* path = inst.i_pathindex >= 0 ? Followable(inst.i_pathindex) : nullptr;
  if (!path || inst.i_pathspeed == 0) return false;
  const double a = inst.i_pathorientation * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
  const double scale = inst.i_pathscale;
  const double factor = path->GetPosition(inst.i_pathposition).speed;
  // A path scaled to nothing (or speeds that are not numbers) would move the position by an
  // infinite or undefined amount: such a step is not taken, as for a path of length 0.
  const double advance = inst.i_pathspeed * (factor / (100 * scale)) / path->i_length;
  if (!std::isfinite(advance)) return false;
  double p = inst.i_pathposition + advance;
  const RWayPoint first = path->GetPosition(0);
  const bool farEnd = p >= 1, startEnd = p <= 0;
  const bool ended = farEnd || startEnd;
  if (ended) {
    switch (inst.i_pathend) {
      case kPathEndRestart: p += farEnd ? -1 : 1; break;
      case kPathEndContinue: {
        const RWayPoint last = path->GetPosition(1);
        const double ox = last.x - first.x, oy = last.y - first.y;
        const double sx = (c * ox + s * oy) * scale, sy = (c * oy - s * ox) * scale;
        const double sign = farEnd ? 1 : -1;
        inst.i_pathxstart += sign * sx;
        inst.i_pathystart += sign * sy;
        p -= sign;
        break;
      }
      case kPathEndReverse:
        if (farEnd) {
          p = 2 - p;
          inst.i_pathspeed = -std::fabs(inst.i_pathspeed);
        } else {
          p = -p;
          inst.i_pathspeed = std::fabs(inst.i_pathspeed);
        }
        break;
      default:  // stop at the end that was reached
        p = farEnd ? 1 : 0;
        inst.i_pathindex = -1;
        break;
    }
  }
  inst.i_pathposition = p;
  const RWayPoint at = path->GetPosition(p);
  const double dx = at.x - first.x, dy = at.y - first.y;
  const double nx = (c * dx + s * dy) * scale + inst.i_pathxstart;
  const double ny = (c * dy - s * dx) * scale + inst.i_pathystart;
  inst.SetHspeed(nx - inst.i_x);
  inst.SetVspeed(ny - inst.i_y);
  inst.SetSpeed(0);
  inst.SetPosition(nx, ny);
  return ended;
}

}  // namespace kestro
