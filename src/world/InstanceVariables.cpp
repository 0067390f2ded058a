// The instance variables: fields of the designated instance, read and written through the
// instance's setters so coupled fields (box, direction and speed) stay true.
#include <cmath>

#include "resources/GameResources.h"
#include "script/builtins/BuiltinVariables.h"
#include "world/Bindings.h"
#include "world/Instance.h"

namespace kestro {

namespace {

CInstance& I(CInstance* inst) { return *inst; }

int Int(const RValue& v) { return RoundToInt32(v.val); }
// Boolean fields are true when the rounded value is 1 or more (0.5 is false, 0.6 true).
bool Bool(const RValue& v) { return RoundToInt64(v.val) >= 1; }
bool Out(RValue& out, double v) {
  out = RValue::Real(v);
  return true;
}
// Element numbers outside 0 ... 11 mean alarm 0.
int AlarmIndex(int32_t flat) { return flat >= 0 && flat < kAlarmCount ? flat : 0; }

const CSprite* SpriteOf(const CInstance& inst) { return Sprites().Get(inst.i_spriteindex); }

// A field read and written as it is (reals) or rounded (integers) or as a truth value.
#define KESTRO_REAL(name, field)                                                                \
  bool Get_##name(CInstance* i, int32_t, RValue& o) { return Out(o, I(i).field); }              \
  bool Set_##name(CInstance* i, int32_t, const RValue& v) {                                     \
    I(i).field = v.val;                                                                         \
    return true;                                                                                \
  }
#define KESTRO_INT(name, field)                                                                 \
  bool Get_##name(CInstance* i, int32_t, RValue& o) { return Out(o, I(i).field); }              \
  bool Set_##name(CInstance* i, int32_t, const RValue& v) {                                     \
    I(i).field = Int(v);                                                                        \
    return true;                                                                                \
  }
#define KESTRO_BOOL(name, field)                                                                \
  bool Get_##name(CInstance* i, int32_t, RValue& o) { return Out(o, I(i).field ? 1 : 0); }      \
  bool Set_##name(CInstance* i, int32_t, const RValue& v) {                                     \
    I(i).field = Bool(v);                                                                       \
    return true;                                                                                \
  }
// A field written through its setter.
#define KESTRO_SETTER(name, field, setter, conv)                                                \
  bool Get_##name(CInstance* i, int32_t, RValue& o) { return Out(o, I(i).field); }              \
  bool Set_##name(CInstance* i, int32_t, const RValue& v) {                                     \
    I(i).setter(conv(v));                                                                       \
    return true;                                                                                \
  }
#define KESTRO_READ(name, expr) \
  bool Get_##name(CInstance* i, int32_t, RValue& o) { return Out(o, (expr)); }

double Real(const RValue& v) { return v.val; }

bool Get_x(CInstance* i, int32_t, RValue& o) { return Out(o, I(i).i_x); }
bool Set_x(CInstance* i, int32_t, const RValue& v) {
  I(i).SetPosition(v.val, I(i).i_y);
  return true;
}
bool Get_y(CInstance* i, int32_t, RValue& o) { return Out(o, I(i).i_y); }
bool Set_y(CInstance* i, int32_t, const RValue& v) {
  I(i).SetPosition(I(i).i_x, v.val);
  return true;
}
KESTRO_REAL(xprevious, i_xprevious)
KESTRO_REAL(yprevious, i_yprevious)
KESTRO_REAL(xstart, i_xstart)
KESTRO_REAL(ystart, i_ystart)
KESTRO_SETTER(hspeed, i_hspeed, SetHspeed, Real)
KESTRO_SETTER(vspeed, i_vspeed, SetVspeed, Real)
KESTRO_SETTER(direction, i_direction, SetDirection, Real)
KESTRO_SETTER(speed, i_speed, SetSpeed, Real)
KESTRO_REAL(friction, i_friction)
KESTRO_REAL(gravity, i_gravity)
KESTRO_REAL(gravity_direction, i_gravitydir)
KESTRO_READ(object_index, I(i).i_objectindex)
KESTRO_READ(id, I(i).i_id)
bool Get_alarm(CInstance* i, int32_t flat, RValue& o) { return Out(o, I(i).GetAlarm(AlarmIndex(flat))); }
bool Set_alarm(CInstance* i, int32_t flat, const RValue& v) {
  I(i).SetAlarm(AlarmIndex(flat), Int(v));
  return true;
}
KESTRO_SETTER(solid, i_solid, SetSolid, Bool)
KESTRO_BOOL(visible, i_visible)
KESTRO_BOOL(persistent, i_persistent)
KESTRO_REAL(depth, i_depth)
KESTRO_READ(bbox_left, I(i).i_bbox.Left)
KESTRO_READ(bbox_right, I(i).i_bbox.Right)
KESTRO_READ(bbox_top, I(i).i_bbox.Top)
KESTRO_READ(bbox_bottom, I(i).i_bbox.Bottom)
KESTRO_SETTER(sprite_index, i_spriteindex, SetSpriteIndex, Int)
KESTRO_REAL(image_index, i_imageindex)
bool Get_image_single(CInstance* i, int32_t, RValue& o) {
  return Out(o, I(i).i_imagespeed != 0 ? -1 : I(i).i_imageindex);
}
bool Set_image_single(CInstance* i, int32_t, const RValue& v) {
  if (v.val >= 0) {
    I(i).i_imageindex = v.val;
    I(i).i_imagespeed = 0;
  } else {
    I(i).i_imagespeed = 1;
  }
  return true;
}
KESTRO_READ(image_number, I(i).ImageNumber())
KESTRO_READ(sprite_width, SpriteOf(I(i)) ? SpriteOf(I(i))->GetWidth() * I(i).i_imagescalex : 0)
KESTRO_READ(sprite_height, SpriteOf(I(i)) ? SpriteOf(I(i))->GetHeight() * I(i).i_imagescaley : 0)
KESTRO_READ(sprite_xoffset, SpriteOf(I(i)) ? SpriteOf(I(i))->i_xorig * I(i).i_imagescalex : 0)
KESTRO_READ(sprite_yoffset, SpriteOf(I(i)) ? SpriteOf(I(i))->i_yorig * I(i).i_imagescaley : 0)
KESTRO_SETTER(image_xscale, i_imagescalex, SetImageScaleX, Real)
KESTRO_SETTER(image_yscale, i_imagescaley, SetImageScaleY, Real)
KESTRO_SETTER(image_angle, i_imageangle, SetImageAngle, Real)
KESTRO_REAL(image_alpha, i_imagealpha)
KESTRO_INT(image_blend, i_imageblend)
KESTRO_REAL(image_speed, i_imagespeed)
KESTRO_SETTER(mask_index, i_maskindex, SetMaskIndex, Int)
KESTRO_READ(path_index, I(i).i_pathindex)
KESTRO_SETTER(path_position, i_pathposition, SetPathPosition, Real)
KESTRO_SETTER(path_positionprevious, i_pathpositionprevious, SetPathPositionPrevious, Real)
KESTRO_REAL(path_speed, i_pathspeed)
KESTRO_REAL(path_scale, i_pathscale)
KESTRO_REAL(path_orientation, i_pathorientation)
KESTRO_INT(path_endaction, i_pathend)
KESTRO_INT(timeline_index, i_timelineindex)
KESTRO_REAL(timeline_position, i_timelineposition)
KESTRO_REAL(timeline_speed, i_timelinespeed)
KESTRO_BOOL(timeline_running, i_timelinerunning)
KESTRO_BOOL(timeline_loop, i_timelineloop)

#define RW(name) {#name, Get_##name, Set_##name}
#define RO(name) {#name, Get_##name, nullptr}

constexpr RVariableBinding kInstanceVariables[] = {
    RW(x), RW(y), RW(xprevious), RW(yprevious), RW(xstart), RW(ystart), RW(hspeed), RW(vspeed),
    RW(direction), RW(speed), RW(friction), RW(gravity), RW(gravity_direction), RO(object_index), RO(id),
    RW(alarm), RW(solid), RW(visible), RW(persistent), RW(depth), RO(bbox_left), RO(bbox_right),
    RO(bbox_top), RO(bbox_bottom), RW(sprite_index), RW(image_index), RW(image_single), RO(image_number),
    RO(sprite_width), RO(sprite_height), RO(sprite_xoffset), RO(sprite_yoffset), RW(image_xscale),
    RW(image_yscale), RW(image_angle), RW(image_alpha), RW(image_blend), RW(image_speed), RW(mask_index),
    RO(path_index), RW(path_position), RW(path_positionprevious), RW(path_speed), RW(path_scale),
    RW(path_orientation), RW(path_endaction), RW(timeline_index), RW(timeline_position),
    RW(timeline_speed), RW(timeline_running), RW(timeline_loop),
};

}  // namespace

RVariableBindingTable InstanceVariables() { return kInstanceVariables; }

}  // namespace kestro
