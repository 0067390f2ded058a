#include "world/Instance.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "resources/GameResources.h"
#include "world/CollisionGrid.h"

namespace kestro {

namespace {

constexpr double kRad = std::numbers::pi / 180;

int32_t Round(double v) { return RoundToInt32(v); }

// Values within 0.0001 of an integer become that integer, so right angles give exact results.
double Snap(double v) {
  const double n = std::nearbyint(v);
  return std::fabs(v - n) < 0.0001 ? n : v;
}

double Wrap360(double v) { return v - 360 * std::floor(v / 360); }

double ClampUnit(double v) { return v >= 0 ? std::min(v, 1.0) : 0; }

}  // namespace

void CInstance::Create(int id, int objectind, double x, double y) {
  SetObjectIndex(objectind);
  i_x = x;
  i_y = y;
  i_id = id;
  i_imageindex = 0;
  i_imagespeed = 1;
  i_imagescalex = i_imagescaley = 1;
  i_imageangle = 0;
  i_imagealpha = 1;
  i_imageblend = 0xFFFFFF;
  i_xstart = i_xprevious = x;
  i_ystart = i_yprevious = y;
  i_direction = i_speed = i_friction = i_gravity = i_hspeed = i_vspeed = 0;
  i_gravitydir = 270;
  i_timer.fill(-1);
  i_vars = CVariableList();
  ComputeBoundingBox();
  i_pathindex = -1;
  i_pathposition = i_pathpositionprevious = 0;
  i_pathspeed = 0;
  i_pathscale = 1;
  i_pathorientation = 0;
  i_pathend = 0;
  i_timelineindex = -1;
  i_timelineposition = 0;
  i_timelinespeed = 1;
  i_timelinerunning = i_timelineloop = false;
}

void CInstance::Assign(const CInstance& inst) {
  const double pathx = i_pathxstart, pathy = i_pathystart;
  const int32_t slot = i_gridslot;
  *this = inst;
  i_pathxstart = pathx;
  i_pathystart = pathy;
  i_gridslot = slot;
  if (i_gridslot >= 0) CollisionGrid().Changed(*this);
}

void CInstance::SetPosition(double x, double y) {
  if (x == i_x && y == i_y) return;
  i_x = x;
  i_y = y;
  ComputeBoundingBox();
}

void CInstance::AddTo_Speed(double amount, double dir) {
  i_hspeed += std::cos(dir * kRad) * amount;
  i_vspeed -= std::sin(dir * kRad) * amount;
  ComputeDirectionSpeed();
}

void CInstance::Adapt_Speed() {
  if (i_friction != 0) {
    const double n = i_speed > 0 ? i_speed - i_friction : i_speed + i_friction;
    if ((i_speed > 0 && n < 0) || (i_speed < 0 && n > 0))
      SetSpeed(0);
    else if (i_speed != 0)
      SetSpeed(n);
  }
  if (i_gravity != 0) AddTo_Speed(i_gravity, i_gravitydir);
}

void CInstance::SetSpriteIndex(int sprite) {
  i_spriteindex = sprite;
  const CSprite* s = Sprites().Get(sprite);
  const int count = s ? s->i_numb : 0;
  if (std::floor(i_imageindex) >= count) i_imageindex = 0;
  ComputeBoundingBox();
}

void CInstance::SetMaskIndex(int mask) {
  i_maskindex = mask;
  ComputeBoundingBox();
}

void CInstance::SetObjectIndex(int objectind) {
  i_objectindex = objectind;
  i_object = Objects().Get(objectind);
  if (i_object) {
    SetSpriteIndex(i_object->o_spriteindex);
    i_maskindex = i_object->o_mask;
    i_depth = i_object->o_depth;
    i_solid = i_object->o_solid;  // the grid's record follows in ComputeBoundingBox below
    i_visible = i_object->o_visible;
    i_persistent = i_object->o_persistent;
  }
  ComputeBoundingBox();
}

void CInstance::SetImageScaleX(double v) {
  if (v == i_imagescalex) return;
  i_imagescalex = v;
  ComputeBoundingBox();
}

void CInstance::SetImageScaleY(double v) {
  if (v == i_imagescaley) return;
  i_imagescaley = v;
  ComputeBoundingBox();
}

void CInstance::SetImageAngle(double v) {
  if (v == i_imageangle) return;
  i_imageangle = v;
  ComputeBoundingBox();
}

void CInstance::SetDirection(double v) {
  if (v == i_direction) return;
  i_direction = Wrap360(v);
  ComputeComponents();
}

void CInstance::SetSpeed(double v) {
  if (v == i_speed) return;
  i_speed = v;
  ComputeComponents();
}

void CInstance::SetHspeed(double v) {
  if (v == i_hspeed) return;
  i_hspeed = v;
  ComputeDirectionSpeed();
}

void CInstance::SetVspeed(double v) {
  if (v == i_vspeed) return;
  i_vspeed = v;
  ComputeDirectionSpeed();
}

void CInstance::SetSolid(bool v) {
  if (v == i_solid) return;
  i_solid = v;
  if (i_gridslot >= 0) CollisionGrid().Changed(*this);
}

void CInstance::SetMarked() {
  i_marked = true;
  if (i_gridslot >= 0) CollisionGrid().Changed(*this);
}

void CInstance::SetPathPosition(double v) { i_pathposition = ClampUnit(v); }
void CInstance::SetPathPositionPrevious(double v) { i_pathpositionprevious = ClampUnit(v); }

int CInstance::ImageNumber() const {
  const CSprite* s = Sprites().Get(i_spriteindex);
  return s ? s->i_numb : 0;
}

void CInstance::ComputeBoundingBox() {
  ComputeBox();
  // The collision grid's record follows.
  if (i_gridslot >= 0) CollisionGrid().Changed(*this);
}

void CInstance::ComputeBox() {
  const CSprite* s = Sprites().Get(i_maskindex >= 0 ? i_maskindex : i_spriteindex);
  if (s == nullptr) {
    i_bbox = {kNoBox, kNoBox, kNoBox, kNoBox};
    return;
  }
  const double L = s->i_bbox.Left, T = s->i_bbox.Top, R = s->i_bbox.Right, B = s->i_bbox.Bottom;
  const double xo = s->i_xorig, yo = s->i_yorig, sx = i_imagescalex, sy = i_imagescaley;
  RRect b;
  if (i_imageangle == 0) {
    b.Left = Round((L - xo) * sx + i_x);
    b.Right = Round((R - xo + 1) * sx + i_x - 1);
    if (b.Right < b.Left) std::swap(b.Left, b.Right);
    b.Top = Round((T - yo) * sy + i_y);
    b.Bottom = Round((B - yo + 1) * sy + i_y - 1);
    if (b.Bottom < b.Top) std::swap(b.Top, b.Bottom);
  } else {
    const double a = i_imageangle * std::numbers::pi / 180, c = std::cos(a), sn = std::sin(a);
    const double xa = (std::min(L, R) - xo) * sx, xb = (std::max(L, R) - xo + 1) * sx - 1;
    const double ya = (std::min(T, B) - yo) * sy, yb = (std::max(T, B) - yo + 1) * sy - 1;
    b.Left = Round(std::min(c * xa, c * xb) + i_x + std::min(sn * ya, sn * yb));
    b.Right = Round(std::max(c * xa, c * xb) + i_x + std::max(sn * ya, sn * yb));
    b.Top = Round(std::min(c * ya, c * yb) + i_y - std::max(sn * xa, sn * xb));
    b.Bottom = Round(std::max(c * ya, c * yb) + i_y - std::min(sn * xa, sn * xb));
  }
  i_bbox = b;
}

void CInstance::ComputeDirectionSpeed() {
  double dir;
  if (i_hspeed != 0) {
    const double d = std::atan2(i_vspeed, i_hspeed) * 180 / std::numbers::pi;
    dir = d > 0 ? 360 - d : -d;
  } else {
    dir = i_vspeed > 0 ? 270 : i_vspeed < 0 ? 90 : 0;
  }
  i_direction = Wrap360(Snap(dir));
  i_speed = Snap(std::sqrt(i_hspeed * i_hspeed + i_vspeed * i_vspeed));
}

void CInstance::ComputeComponents() {
  i_hspeed = Snap(std::cos(i_direction * kRad) * i_speed);
  i_vspeed = Snap(-std::sin(i_direction * kRad) * i_speed);
}

}  // namespace kestro
