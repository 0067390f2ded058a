// CInstance: one live copy of an object inside the current room: position, motion, sprite and
// image state, twelve alarms, path and time line state, and its own variables. The setters keep
// the coupled fields true: the bounding box follows position, sprite, mask, scale and angle;
// direction/speed and the horizontal/vertical components follow each other.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "resources/Bitmap32.h"
#include "script/Variables.h"
#include "world/Prefetch.h"

namespace kestro {

class CObject;

inline constexpr int kAlarmCount = 12;
inline constexpr int kNoBox = -100000;  // every side of the box of an instance without a mask

class alignas(64) CInstance {
 public:
  // What collision searches and the events they run read first, together in the first two cache
  // lines (the instance starts a line): the shape, then the flags and the variables; the motion
  // in the third. A search that meets an instance waits for memory once, not five times.
  double i_x = 0, i_y = 0;
  RRect i_bbox{kNoBox, kNoBox, kNoBox, kNoBox};
  int i_spriteindex = -1;
  int i_maskindex = -1;
  double i_imagescalex = 1, i_imagescaley = 1;
  double i_imageangle = 0;
  CVariableList i_vars;
  int i_objectindex = -1;
  // The instance's slot in the collision grid (CollisionGrid.h), -1 while it has none; the grid
  // checks it before trusting it.
  int32_t i_gridslot = -1;
  bool i_solid = false;   // written through SetSolid, which the collision grid's record follows
  bool i_marked = false;  // set through SetMarked, which the collision grid's record follows
  bool i_deactivated = false;
  bool i_visible = true;
  bool i_persistent = false;
  double i_xprevious = 0, i_yprevious = 0;
  double i_hspeed = 0, i_vspeed = 0;
  double i_imageindex = 0;
  double i_imagespeed = 1;
  double i_direction = 0;
  double i_speed = 0;
  int i_id = 0;
  int i_pathindex = -1;
  int i_timelineindex = -1;
  int32_t i_imageblend = 0xFFFFFF;
  const CObject* i_object = nullptr;  // not owned; null when the object does not exist
  double i_depth = 0;
  double i_pathposition = 0, i_pathpositionprevious = 0;
  double i_xstart = 0, i_ystart = 0;
  double i_imagealpha = 1;
  double i_friction = 0;
  double i_gravitydir = 270;
  double i_gravity = 0;
  std::array<int, kAlarmCount> i_timer;
  double i_pathspeed = 0, i_pathscale = 1, i_pathorientation = 0;
  int i_pathend = 0;
  double i_pathxstart = 0, i_pathystart = 0;
  double i_timelineposition = 0, i_timelinespeed = 1;
  bool i_timelinerunning = false, i_timelineloop = false;
  std::string i_initcode;

  CInstance() { i_timer.fill(-1); }
  // The defaults, taking sprite, mask, depth and flags from the object.
  void Create(int id, int objectind, double x, double y);
  // Copies every field of `inst`, the id and a deep copy of the variables included, except the
  // path's start position and the entry in the collision grid.
  void Assign(const CInstance& inst);

  // Moves the instance; the box is recomputed only when the position changes.
  void SetPosition(double x, double y);
  // Adds `amount` in direction `dir` (degrees) to the components, then direction and speed follow.
  void AddTo_Speed(double amount, double dir);
  // Friction, then gravity, once (every step).
  void Adapt_Speed();

  // Setters with side effects; every other field is a plain store.
  void SetSpriteIndex(int sprite);
  void SetMaskIndex(int mask);
  void SetObjectIndex(int objectind);
  void SetSolid(bool v);
  // Destroyed: skipped by every search from now on.
  void SetMarked();
  void SetImageScaleX(double v);
  void SetImageScaleY(double v);
  void SetImageAngle(double v);
  void SetDirection(double v);
  void SetSpeed(double v);
  void SetHspeed(double v);
  void SetVspeed(double v);
  void SetPathPosition(double v);
  void SetPathPositionPrevious(double v);
  // Alarm k: -1 outside 0 ... 11 (reading), nothing (writing).
  int GetAlarm(int k) const { return k >= 0 && k < kAlarmCount ? i_timer[size_t(k)] : -1; }
  void SetAlarm(int k, int v) {
    if (k >= 0 && k < kAlarmCount) i_timer[size_t(k)] = v;
  }
  // The image count of the instance's sprite, 0 without one.
  int ImageNumber() const;

  void ComputeBoundingBox();
  void ComputeDirectionSpeed();
  void ComputeComponents();

 private:
  void ComputeBox();
};

// Asks memory for the instance's first two cache lines (what searches and events read first)
// without reading anything: `inst` may be any pointer the caller holds.
inline void PrefetchInstance(const CInstance* inst) {
  PrefetchLine(inst);
  PrefetchLine(reinterpret_cast<const char*>(inst) + 64);
}
// Asks memory for the start of the instance's own variables (the instance is read).
inline void PrefetchVariables(const CInstance& inst) {
  if (!inst.i_vars.Vars().empty()) PrefetchLine(inst.i_vars.Vars().data());
}

}  // namespace kestro
