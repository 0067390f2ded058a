// The action library, part two: the `action_*` functions that draw, read the mouse, wait, or act on
// the window. Drawing goes through the drawing functions themselves (by name, see
// world/ActionLibrary.h), with the relative flag turning positions into offsets from self.
#include <cmath>
#include <string>

#include "graphics/Bindings.h"
#include "graphics/Clock.h"
#include "graphics/Input.h"
#include "resources/GameResources.h"
#include "script/builtins/BuiltinArgs.h"
#include "world/ActionLibrary.h"
#include "world/GameState.h"
#include "world/Instance.h"

namespace kestro {

namespace {

RValue Real(double v) { return RValue::Real(v); }
RValue Text(const std::string& s) { return RValue::String(RString(s)); }
double RelX(const CInstance* self, double x) { return ActionRelative() && self ? self->i_x + x : x; }
double RelY(const CInstance* self, double y) { return ActionRelative() && self ? self->i_y + y : y; }
RValue X(const CInstance* self, const RValue& v) { return Real(RelX(self, v.val)); }
RValue Y(const CInstance* self, const RValue& v) { return Real(RelY(self, v.val)); }

KESTRO_BUILTIN(F_action_sleep) {
  if (a[1].val >= 0.5) CallBuiltin("screen_redraw", self, other, {});
  const double ms = a[0].val;
  if (ms > 0) StepClock().WaitMicroseconds(int64_t(std::llround(ms * 1000)));
}

KESTRO_BUILTIN(F_action_if_mouse) {
  const int64_t button = ArgInt(a[0]);
  const CInput& in = Input();
  bool yes;
  if (button >= 1 && button <= 3)
    yes = in.ButtonHeld(int(button)) || in.ButtonReleased(int(button));
  else
    yes = !in.ButtonHeld(1) && !in.ButtonHeld(2) && !in.ButtonHeld(3);
  r.SetReal(yes ? 1 : 0);
}

KESTRO_BUILTIN(F_action_draw_sprite) {
  if (!Sprites().Exists(int(ArgInt(a[0])))) return ReportBuiltinError("Trying to draw a non-existing sprite.");
  const RValue sub = a[3].val < 0 && self ? Real(self->i_imageindex) : a[3];
  CallBuiltin("draw_sprite", self, other, {a[0], sub, X(self, a[1]), Y(self, a[2])});
}
KESTRO_BUILTIN(F_action_draw_background) {
  if (!Backgrounds().Exists(int(ArgInt(a[0]))))
    return ReportBuiltinError("Trying to draw a non-existing background.");
  CallBuiltin(a[3].val >= 0.5 ? "draw_background_tiled" : "draw_background", self, other,
              {a[0], X(self, a[1]), Y(self, a[2])});
}
KESTRO_BUILTIN(F_action_draw_text) { CallBuiltin("draw_text", self, other, {X(self, a[1]), Y(self, a[2]), a[0]}); }
KESTRO_BUILTIN(F_action_draw_text_transformed) {
  CallBuiltin("draw_text_transformed", self, other, {X(self, a[1]), Y(self, a[2]), a[0], a[3], a[4], a[5]});
}
KESTRO_BUILTIN(F_action_draw_rectangle) {
  CallBuiltin("draw_rectangle", self, other, {X(self, a[0]), Y(self, a[1]), X(self, a[2]), Y(self, a[3]), a[4]});
}
KESTRO_BUILTIN(F_action_draw_gradient_hor) {
  CallBuiltin("draw_rectangle_color", self, other,
              {X(self, a[0]), Y(self, a[1]), X(self, a[2]), Y(self, a[3]), a[4], a[5], a[5], a[4], Real(0)});
}
KESTRO_BUILTIN(F_action_draw_gradient_vert) {
  CallBuiltin("draw_rectangle_color", self, other,
              {X(self, a[0]), Y(self, a[1]), X(self, a[2]), Y(self, a[3]), a[4], a[4], a[5], a[5], Real(0)});
}
KESTRO_BUILTIN(F_action_draw_ellipse) {
  CallBuiltin("draw_ellipse", self, other, {X(self, a[0]), Y(self, a[1]), X(self, a[2]), Y(self, a[3]), a[4]});
}
KESTRO_BUILTIN(F_action_draw_ellipse_gradient) {
  CallBuiltin("draw_ellipse_color", self, other,
              {X(self, a[0]), Y(self, a[1]), X(self, a[2]), Y(self, a[3]), a[4], a[5], Real(0)});
}
KESTRO_BUILTIN(F_action_draw_line) {
  CallBuiltin("draw_line", self, other, {X(self, a[0]), Y(self, a[1]), X(self, a[2]), Y(self, a[3])});
}
KESTRO_BUILTIN(F_action_draw_arrow) {
  CallBuiltin("draw_arrow", self, other, {X(self, a[0]), Y(self, a[1]), X(self, a[2]), Y(self, a[3]), a[4]});
}
KESTRO_BUILTIN(F_action_color) { CallBuiltin("draw_set_color", self, other, {a[0]}); }
KESTRO_BUILTIN(F_action_font) {
  CallBuiltin("draw_set_font", self, other, {a[0]});
  CallBuiltin("draw_set_halign", self, other, {a[1]});
}
KESTRO_BUILTIN(F_action_draw_variable) {
  CallBuiltin("draw_text", self, other, {X(self, a[0]), Y(self, a[1]), Text(ActionValueText(a[2]))});
}
KESTRO_BUILTIN(F_action_draw_score) {
  CallBuiltin("draw_text", self, other,
              {X(self, a[0]), Y(self, a[1]), Text(ArgText(a[2]) + std::to_string(GameState().score))});
}
KESTRO_BUILTIN(F_action_draw_life) {
  CallBuiltin("draw_text", self, other,
              {X(self, a[0]), Y(self, a[1]), Text(ArgText(a[2]) + std::to_string(GameState().lives))});
}
KESTRO_BUILTIN(F_action_draw_life_images) {
  const CSprite* sprite = Sprites().Get(int(ArgInt(a[2])));
  if (!sprite) return ReportBuiltinError("Trying to draw a non-existing sprite.");
  const double x = RelX(self, a[0].val), y = RelY(self, a[1].val);
  for (int k = 0; k < GameState().lives; ++k)
    CallBuiltin("draw_sprite", self, other, {a[2], Real(0), Real(x + double(k) * sprite->GetWidth()), Real(y)});
}

// The colours of the health bar action: the back colours by index (0 draws no back), and the bar
// colours as (low, high) pairs merged by the health bar.
constexpr int32_t kActionColors[17] = {0,        0,        8421504, 12632256, 16777215, 128,      32768,    32896, 8388608,
                                       8388736, 8421376, 255,     65280,    65535,    16711680, 16711935, 16776960};

KESTRO_BUILTIN(F_action_draw_health) {
  const int back = int(ArgInt(a[4]));
  const int bar = int(ArgInt(a[5]));
  const int32_t backColor = back >= 1 && back <= 16 ? kActionColors[back] : 0;
  int32_t low, high;
  if (bar == 0) {
    low = 255;     // red, through yellow,
    high = 65280;  // to green
  } else if (bar == 1) {
    low = 0;         // black, through gray,
    high = 16777215;  // to white
  } else if (bar >= 3 && bar <= 17) {
    low = high = kActionColors[bar - 1];
  } else {
    low = high = 0;
  }
  CallBuiltin("draw_healthbar", self, other,
              {X(self, a[0]), Y(self, a[1]), X(self, a[2]), Y(self, a[3]), Real(GameState().health), Real(backColor),
               Real(low), Real(high), Real(0), Real(back >= 1 && back <= 16 ? 1 : 0), Real(1)});
}

KESTRO_BUILTIN(F_action_set_cursor) {
  GameState().cursorSprite = int(ArgInt(a[0]));
  CallBuiltin("window_set_cursor", self, other, {Real(a[1].val >= 0.5 ? 0 : -1)});
}
KESTRO_BUILTIN(F_action_fullscreen) {
  const int64_t kind = ArgInt(a[0]);
  const bool full = kind == 1 ? false : kind == 2 ? true : !IsTrue(CallBuiltin("window_get_fullscreen", self, other, {}));
  CallBuiltin("window_set_fullscreen", self, other, {Real(full ? 1 : 0)});
}
KESTRO_BUILTIN(F_action_snapshot) { CallBuiltin("screen_save", self, other, {a[0]}); }

constexpr RBinding kActionDrawFunctions[] = {
    {"action_sleep", F_action_sleep},
    {"action_if_mouse", F_action_if_mouse},
    {"action_draw_sprite", F_action_draw_sprite},
    {"action_draw_background", F_action_draw_background},
    {"action_draw_text", F_action_draw_text},
    {"action_draw_text_transformed", F_action_draw_text_transformed},
    {"action_draw_rectangle", F_action_draw_rectangle},
    {"action_draw_gradient_hor", F_action_draw_gradient_hor},
    {"action_draw_gradient_vert", F_action_draw_gradient_vert},
    {"action_draw_ellipse", F_action_draw_ellipse},
    {"action_draw_ellipse_gradient", F_action_draw_ellipse_gradient},
    {"action_draw_line", F_action_draw_line},
    {"action_draw_arrow", F_action_draw_arrow},
    {"action_color", F_action_color},
    {"action_font", F_action_font},
    {"action_draw_variable", F_action_draw_variable},
    {"action_draw_score", F_action_draw_score},
    {"action_draw_life", F_action_draw_life},
    {"action_draw_life_images", F_action_draw_life_images},
    {"action_draw_health", F_action_draw_health},
    {"action_set_cursor", F_action_set_cursor},
    {"action_fullscreen", F_action_fullscreen},
    {"action_snapshot", F_action_snapshot},
};

}  // namespace

RBindingTable ActionDrawFunctions() { return kActionDrawFunctions; }

}  // namespace kestro
