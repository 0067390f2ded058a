// The action library, part one: the `action_*` functions behind the drag-and-drop actions that act
// on the world (motion, instances, rooms, alarms, time lines, questions, score, lives and health,
// the game). The event dispatcher has already chosen self and other, set the relative flag and
// evaluated the arguments; it inverts a question's result when the action says "not".
//
// Most actions are thin wrappers around functions of other families. Where that family lives in
// this layer the model is called directly; otherwise (paths, motion planning, sound, particles,
// splash screens, resources) the action calls the built-in function through the registry, so it
// behaves exactly as the function does and a family that is not built yet answers with its own
// "not available yet" error instead of a silent nothing. The drawing and input actions are in
// graphics/ActionDrawFunctions.cpp.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "io/Messages.h"
#include "io/RunState.h"
#include "platform/posix/Spawn.h"
#include "resources/GameResources.h"
#include "script/Numeric.h"
#include "script/builtins/BuiltinArgs.h"
#include "script/builtins/Random.h"
#include "world/ActionLibrary.h"
#include "world/Bindings.h"
#include "world/ErrorReport.h"
#include "world/Events.h"
#include "world/GameState.h"
#include "world/World.h"

namespace kestro {

RValue CallBuiltin(std::string_view name, CInstance* self, CInstance* other, std::initializer_list<RValue> args) {
  RValue slots[16];
  int32_t n = 0;
  for (const RValue& v : args)
    if (n < 16) slots[n++] = v;
  RValue result;
  const CFunctionRegistry& registry = BuiltinRegistry();
  const std::optional<int32_t> id = registry.Find(name);
  if (id) registry.Call(*id, self, other, n, slots, result);
  return result;
}

bool CompareForAction(double value, double with, double op) {
  switch (RoundToInt32(op)) {
    case 1: return value < with;
    case 2: return value > with;
    default: return value == with;
  }
}

std::string ActionMessageText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t k = 0; k < text.size(); ++k) {
    if (text[k] == '\\' && k + 1 < text.size() && text[k + 1] == '#') {
      out += '#';
      ++k;
    } else if (text[k] == '#') {
      out += '\n';
    } else {
      out += text[k];
    }
  }
  return out;
}

std::string ActionValueText(const RValue& v) {
  if (v.IsString()) return std::string(v.str.view());
  if (v.val == std::floor(v.val) && std::fabs(v.val) < 1e15) return DisplayString(v);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", v.val);
  return buffer;
}

namespace {

RValue Real(double v) { return RValue::Real(v); }
bool Relative() { return ActionRelative(); }
// A value set by an action: the given one, or added to the current one when relative.
double Rel(double current, double given) { return Relative() ? current + given : given; }
// A point given to an action: as it is, or an offset from self when relative.
double RelX(const CInstance* self, double x) { return Relative() && self ? self->i_x + x : x; }
double RelY(const CInstance* self, double y) { return Relative() && self ? self->i_y + y : y; }
void SetQuestion(RValue& r, bool yes) { r.SetReal(yes ? 1 : 0); }

// ---- Movement ----

// The 3 x 3 grid of directions, read from the bottom row, left to right; -1 is the centre (stop).
constexpr int kMoveDirections[9] = {225, 270, 315, 180, -1, 0, 135, 90, 45};

KESTRO_BUILTIN(F_action_move) {
  const std::string cells = ArgText(a[0]);
  if (cells.size() != 9) return ReportBuiltinError("Wrong argument to action_move().");
  if (cells.find('1') == std::string::npos || !self) return;
  self->SetSpeed(Rel(self->i_speed, a[1].val));
  int cell;
  do cell = int(RandomBelow(9));
  while (cells[size_t(cell)] != '1');
  if (kMoveDirections[cell] < 0) {
    self->SetDirection(0);
    self->SetSpeed(0);
  } else {
    self->SetDirection(kMoveDirections[cell]);
  }
}

KESTRO_BUILTIN(F_action_set_motion) {
  if (!self) return;
  if (Relative()) return self->AddTo_Speed(a[1].val, a[0].val);
  self->SetDirection(a[0].val);
  self->SetSpeed(a[1].val);
}
KESTRO_BUILTIN(F_action_set_hspeed) {
  if (self) self->SetHspeed(Rel(self->i_hspeed, a[0].val));
}
KESTRO_BUILTIN(F_action_set_vspeed) {
  if (self) self->SetVspeed(Rel(self->i_vspeed, a[0].val));
}
KESTRO_BUILTIN(F_action_set_gravity) {
  if (!self) return;
  self->i_gravitydir = Rel(self->i_gravitydir, a[0].val);
  self->i_gravity = Rel(self->i_gravity, a[1].val);
}
KESTRO_BUILTIN(F_action_set_friction) {
  if (self) self->i_friction = Rel(self->i_friction, a[0].val);
}
KESTRO_BUILTIN(F_action_move_point) {
  CallBuiltin("move_towards_point", self, other, {Real(RelX(self, a[0].val)), Real(RelY(self, a[1].val)), a[2]});
}
KESTRO_BUILTIN(F_action_move_to) {
  if (self) self->SetPosition(RelX(self, a[0].val), RelY(self, a[1].val));
}
KESTRO_BUILTIN(F_action_move_start) {
  if (self) self->SetPosition(self->i_xstart, self->i_ystart);
}
KESTRO_BUILTIN(F_action_move_random) { CallBuiltin("move_random", self, other, {a[0], a[1]}); }
KESTRO_BUILTIN(F_action_snap) { CallBuiltin("move_snap", self, other, {a[0], a[1]}); }

KESTRO_BUILTIN(F_action_wrap) {
  if (!self) return;
  const CSprite* sprite = Sprites().Get(self->i_spriteindex);
  const double w = sprite ? sprite->GetWidth() * self->i_imagescalex : 0;
  const double h = sprite ? sprite->GetHeight() * self->i_imagescaley : 0;
  const CLiveRoom& room = World().Room();
  const int kind = RoundToInt32(a[0].val);
  double x = self->i_x, y = self->i_y;
  if (kind == 0 || kind == 2) {
    if (self->i_hspeed < 0 && x < 0) x += room.r_width + w;
    if (self->i_hspeed > 0 && x >= room.r_width) x -= room.r_width + w;
  }
  if (kind == 1 || kind == 2) {
    if (self->i_vspeed < 0 && y < 0) y += room.r_height + h;
    if (self->i_vspeed > 0 && y >= room.r_height) y -= room.r_height + h;
  }
  self->SetPosition(x, y);
}
KESTRO_BUILTIN(F_action_reverse_xdir) {
  if (self) self->SetHspeed(-self->i_hspeed);
}
KESTRO_BUILTIN(F_action_reverse_ydir) {
  if (self) self->SetVspeed(-self->i_vspeed);
}
KESTRO_BUILTIN(F_action_move_contact) {
  CallBuiltin(a[2].val >= 0.5 ? "move_contact_all" : "move_contact_solid", self, other, {a[0], a[1]});
}
KESTRO_BUILTIN(F_action_bounce) {
  const bool precise = a[0].val >= 0.5;
  CallBuiltin(RoundToInt32(a[1].val) == 1 ? "move_bounce_all" : "move_bounce_solid", self, other,
              {Real(precise ? 1 : 0)});
}
KESTRO_BUILTIN(F_action_path) { CallBuiltin("path_start", self, other, {a[0], a[1], a[2], a[3]}); }
KESTRO_BUILTIN(F_action_path_end) { CallBuiltin("path_end", self, other, {}); }
KESTRO_BUILTIN(F_action_path_position) {
  if (!self) return;
  double p = Rel(self->i_pathposition, a[0].val);
  p = p < 0 ? 0 : p > 1 ? 1 : p;
  self->SetPathPosition(p);
}
KESTRO_BUILTIN(F_action_path_speed) {
  if (self) self->i_pathspeed = Rel(self->i_pathspeed, a[0].val);
}
KESTRO_BUILTIN(F_action_linear_step) {
  r = CallBuiltin("mp_linear_step", self, other, {Real(RelX(self, a[0].val)), Real(RelY(self, a[1].val)), a[2], a[3]});
}
KESTRO_BUILTIN(F_action_potential_step) {
  r = CallBuiltin("mp_potential_step", self, other,
                  {Real(RelX(self, a[0].val)), Real(RelY(self, a[1].val)), a[2], a[3]});
}

// ---- Objects, sprites, sounds and rooms ----

KESTRO_BUILTIN(F_action_create_object) {
  CallBuiltin("instance_create", self, other, {Real(RelX(self, a[1].val)), Real(RelY(self, a[2].val)), a[0]});
}
KESTRO_BUILTIN(F_action_create_object_motion) {
  const int obj = RoundToInt32(a[0].val);
  if (!Objects().Exists(obj))
    return ReportBuiltinError("Creating instance for non-existing object: " + std::to_string(obj));
  CInstance* inst = World().Room().AddInstance(obj, RelX(self, a[1].val), RelY(self, a[2].val), World().lastInstanceId);
  inst->SetSpeed(a[3].val);
  inst->SetDirection(a[4].val);
  PerformInstanceEvent(inst, inst, kEventCreate, 0);
}
KESTRO_BUILTIN(F_action_create_object_random) {
  bool any = false;
  for (int k = 0; k < 4; ++k) any = any || Objects().Exists(RoundToInt32(a[k].val));
  if (!any) return;
  int pick;
  do pick = int(RandomBelow(4));
  while (!Objects().Exists(RoundToInt32(a[pick].val)));
  CallBuiltin("instance_create", self, other, {Real(RelX(self, a[4].val)), Real(RelY(self, a[5].val)), a[pick]});
}
KESTRO_BUILTIN(F_action_change_object) {
  CallBuiltin("instance_change", self, other, {a[0], Real(RoundToInt64(a[1].val) > 0.5 ? 1 : 0)});
}
KESTRO_BUILTIN(F_action_kill_object) {
  if (!self) return;
  PerformInstanceEvent(self, self, kEventDestroy, 0);
  World().Room().Mark(self);
}
KESTRO_BUILTIN(F_action_kill_position) {
  CallBuiltin("position_destroy", self, other, {Real(RelX(self, a[0].val)), Real(RelY(self, a[1].val))});
}
KESTRO_BUILTIN(F_action_set_sprite) {
  if (!self) return;
  self->SetSpriteIndex(RoundToInt32(a[0].val));
  if (a[1].val > 0) {
    self->SetImageScaleX(a[1].val);
    self->SetImageScaleY(a[1].val);
  }
}
KESTRO_BUILTIN(F_action_sprite_set) {
  if (!self) return;
  self->SetSpriteIndex(RoundToInt32(a[0].val));
  if (a[1].val >= 0) self->i_imageindex = a[1].val;
  self->i_imagespeed = a[2].val;
}
KESTRO_BUILTIN(F_action_sprite_transform) {
  if (!self) return;
  const int mirror = RoundToInt32(a[3].val);
  self->SetImageScaleX(mirror == 1 || mirror == 3 ? -a[0].val : a[0].val);
  self->SetImageScaleY(mirror == 2 || mirror == 3 ? -a[1].val : a[1].val);
  self->SetImageAngle(a[2].val);
}
KESTRO_BUILTIN(F_action_sprite_color) {
  if (!self) return;
  self->i_imageblend = RoundToInt32(a[0].val);
  self->i_imagealpha = a[1].val;
}
KESTRO_BUILTIN(F_action_sound) {
  if (!Sounds().Exists(RoundToInt32(a[0].val))) return ReportBuiltinError("Trying to play non-existing sound.");
  CallBuiltin(a[1].val >= 0.5 ? "sound_loop" : "sound_play", self, other, {a[0]});
}
KESTRO_BUILTIN(F_action_end_sound) {
  if (!Sounds().Exists(RoundToInt32(a[0].val))) return ReportBuiltinError("Trying to stop non-existing sound.");
  CallBuiltin("sound_stop", self, other, {a[0]});
}
KESTRO_BUILTIN(F_action_if_sound) {
  if (!Sounds().Exists(RoundToInt32(a[0].val))) return SetQuestion(r, false);
  SetQuestion(r, IsTrue(CallBuiltin("sound_isplaying", self, other, {a[0]})));
}
KESTRO_BUILTIN(F_action_previous_room) {
  World().transitionKind = RoundToInt32(a[0].val);
  CallBuiltin("room_goto_previous", self, other, {});
}
KESTRO_BUILTIN(F_action_next_room) {
  World().transitionKind = RoundToInt32(a[0].val);
  CallBuiltin("room_goto_next", self, other, {});
}
KESTRO_BUILTIN(F_action_current_room) { RequestRoom(World().roomIndex, RoundToInt32(a[0].val)); }
KESTRO_BUILTIN(F_action_another_room) { RequestRoom(RoundToInt32(a[0].val), RoundToInt32(a[1].val)); }
KESTRO_BUILTIN(F_action_if_previous_room) { SetQuestion(r, RoomPrevious(World().roomIndex) >= 0); }
KESTRO_BUILTIN(F_action_if_next_room) { SetQuestion(r, RoomNext(World().roomIndex) >= 0); }

// ---- Timing, information, game and resources ----

KESTRO_BUILTIN(F_action_set_alarm) {
  const int alarm = RoundToInt32(a[1].val);
  if (!self || alarm < 0 || alarm >= kAlarmCount) return;
  const int steps = RoundToInt32(a[0].val);
  const int current = self->i_timer[size_t(alarm)];
  self->SetAlarm(alarm, Relative() && current >= 0 ? current + steps : steps);
}
KESTRO_BUILTIN(F_action_set_timeline) {
  if (!self) return;
  self->i_timelineindex = RoundToInt32(a[0].val);
  self->i_timelineposition = double(RoundToInt64(a[1].val));
  self->i_timelinerunning = true;
}
KESTRO_BUILTIN(F_action_timeline_set) {
  if (!self) return;
  self->i_timelineindex = RoundToInt32(a[0].val);
  self->i_timelineposition = double(RoundToInt64(a[1].val));
  self->i_timelinerunning = RoundToInt32(a[2].val) == 0;
  self->i_timelineloop = RoundToInt32(a[3].val) == 1;
}
KESTRO_BUILTIN(F_action_timeline_start) {
  if (self) self->i_timelinerunning = true;
}
KESTRO_BUILTIN(F_action_timeline_pause) {
  if (self) self->i_timelinerunning = false;
}
KESTRO_BUILTIN(F_action_timeline_stop) {
  if (!self) return;
  self->i_timelineposition = 0;
  self->i_timelinerunning = false;
}
KESTRO_BUILTIN(F_action_set_timeline_position) {
  if (self) self->i_timelineposition = Rel(self->i_timelineposition, double(RoundToInt64(a[0].val)));
}
KESTRO_BUILTIN(F_action_set_timeline_speed) {
  if (self) self->i_timelinespeed = Rel(self->i_timelinespeed, a[0].val);
}

void ClearInput() {
  if (World().hooks.clearInput) World().hooks.clearInput();
}

KESTRO_BUILTIN(F_action_message) {
  ShowMessage(ActionMessageText(ArgText(a[0])));
  ClearInput();
}
KESTRO_BUILTIN(F_action_show_info) {
  CallBuiltin("show_info", self, other, {});
  ClearInput();
}
KESTRO_BUILTIN(F_action_show_video) { CallBuiltin("splash_show_video", self, other, {a[0], a[2]}); }
KESTRO_BUILTIN(F_action_splash_video) { CallBuiltin("splash_show_video", self, other, {a[0], a[1]}); }
KESTRO_BUILTIN(F_action_splash_text) { CallBuiltin("splash_show_text", self, other, {a[0], Real(0)}); }
KESTRO_BUILTIN(F_action_splash_image) { CallBuiltin("splash_show_image", self, other, {a[0], Real(0)}); }
KESTRO_BUILTIN(F_action_splash_web) { CallBuiltin("splash_show_web", self, other, {a[0], Real(0)}); }
KESTRO_BUILTIN(F_action_splash_settings) {
  CallBuiltin("splash_set_caption", self, other, {a[0]});
  CallBuiltin("splash_set_fullscreen", self, other, {a[1]});
  CallBuiltin("splash_set_border", self, other, {a[2]});
  CallBuiltin("splash_set_adapt", self, other, {a[3]});
  CallBuiltin("splash_set_stop_key", self, other, {a[4]});
}
KESTRO_BUILTIN(F_action_end_game) { World().pendingChange = kChangeEndGame; }
KESTRO_BUILTIN(F_action_restart_game) { World().pendingChange = kChangeRestart; }
KESTRO_BUILTIN(F_action_save_game) { CallBuiltin("game_save", self, other, {a[0]}); }
KESTRO_BUILTIN(F_action_load_game) { CallBuiltin("game_load", self, other, {a[0]}); }
// The replace actions check what the action promises, then leave the work to the resource functions.
bool CanReplace(bool exists, const std::string& file) {
  if (!exists) {
    ReportBuiltinError("Trying to replace non-existing resource.");
    return false;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) {
    ReportBuiltinError("File does not exist.");
    return false;
  }
  return true;
}
bool HasExtension(const std::string& file, std::string_view extension) {
  return file.size() >= extension.size() && file.compare(file.size() - extension.size(), extension.size(), extension) == 0;
}
KESTRO_BUILTIN(F_action_replace_sprite) {
  const CSprite* sprite = Sprites().Get(RoundToInt32(a[0].val));
  const std::string file = ArgText(a[1]);
  if (!CanReplace(sprite != nullptr, file)) return;
  if (HasExtension(file, ".kxspr")) return void(CallBuiltin("sprite_replace_sprite", self, other, {a[0], a[1]}));
  CallBuiltin("sprite_replace", self, other,
              {a[0], a[1], a[2], Real(0), Real(0), Real(sprite->i_xorig), Real(sprite->i_yorig)});
}
KESTRO_BUILTIN(F_action_replace_sound) {
  const CSound* sound = Sounds().Get(RoundToInt32(a[0].val));
  if (!CanReplace(sound != nullptr, ArgText(a[1]))) return;
  CallBuiltin("sound_replace", self, other, {a[0], a[1], Real(sound->s_kind), Real(sound->s_preload ? 1 : 0)});
}
KESTRO_BUILTIN(F_action_replace_background) {
  const std::string file = ArgText(a[1]);
  if (!CanReplace(Backgrounds().Get(RoundToInt32(a[0].val)) != nullptr, file)) return;
  if (HasExtension(file, ".kxbck"))
    return void(CallBuiltin("background_replace_background", self, other, {a[0], a[1]}));
  CallBuiltin("background_replace", self, other, {a[0], a[1], Real(0), Real(0)});
}

// ---- Questions and control ----

bool IfEmpty(CInstance* self, CInstance* other, const RValue* a) {
  const RValue x = Real(RelX(self, a[0].val)), y = Real(RelY(self, a[1].val));
  return IsTrue(CallBuiltin(RoundToInt32(a[2].val) == 0 ? "place_free" : "place_empty", self, other, {x, y}));
}
KESTRO_BUILTIN(F_action_if_empty) { SetQuestion(r, IfEmpty(self, other, a)); }
KESTRO_BUILTIN(F_action_if_collision) { SetQuestion(r, !IfEmpty(self, other, a)); }
KESTRO_BUILTIN(F_action_if_object) {
  const RValue found =
      CallBuiltin("instance_place", self, other, {Real(RelX(self, a[1].val)), Real(RelY(self, a[2].val)), a[0]});
  SetQuestion(r, found.val != kDesignatorNoone);
}
KESTRO_BUILTIN(F_action_if_number) {
  const RValue n = CallBuiltin("instance_number", self, other, {a[0]});
  SetQuestion(r, CompareForAction(n.val, a[1].val, a[2].val));
}
KESTRO_BUILTIN(F_action_if) { r = a[0]; }
KESTRO_BUILTIN(F_action_if_question) {
  const bool yes = AskYesNo(ActionMessageText(ArgText(a[0])), true);
  ClearInput();
  SetQuestion(r, yes);
}
KESTRO_BUILTIN(F_action_if_dice) {
  const double sides = a[0].val;
  if (sides <= 1) return SetQuestion(r, true);
  SetQuestion(r, RandomReal() * double(RoundToInt64(sides * 1000)) < 1001);
}
KESTRO_BUILTIN(F_action_if_aligned) { r = CallBuiltin("place_snapped", self, other, {a[0], a[1]}); }
KESTRO_BUILTIN(F_action_execute_script) {
  r = CallBuiltin("script_execute", self, other, {a[0], a[1], a[2], a[3], a[4], a[5]});
}
KESTRO_BUILTIN(F_action_inherited) { CallBuiltin("event_inherited", self, other, {}); }

KESTRO_BUILTIN(F_action_if_variable) {
  const RValue& v = a[0];
  const RValue& w = a[1];
  if (v.IsString() != w.IsString()) {
    ReportBuiltinError("Cannot compare arguments.");
    return SetQuestion(r, false);
  }
  if (v.IsString()) {
    const int c = CompareStrings(v.str.view(), w.str.view());
    return SetQuestion(r, CompareForAction(c, 0, a[2].val));
  }
  SetQuestion(r, CompareForAction(v.val - w.val, 0, a[2].val));
}

// ---- Score, lives and health ----

KESTRO_BUILTIN(F_action_set_score) { GameState().score = RoundToInt32(Rel(GameState().score, a[0].val)); }
KESTRO_BUILTIN(F_action_if_score) { SetQuestion(r, CompareForAction(GameState().score, a[0].val, a[1].val)); }
KESTRO_BUILTIN(F_action_if_life) { SetQuestion(r, CompareForAction(GameState().lives, a[0].val, a[1].val)); }
KESTRO_BUILTIN(F_action_if_health) { SetQuestion(r, CompareForAction(GameState().health, a[0].val, a[1].val)); }
KESTRO_BUILTIN(F_action_set_life) { ChangeLives(RoundToInt32(Rel(GameState().lives, a[0].val))); }
KESTRO_BUILTIN(F_action_set_health) { ChangeHealth(Rel(GameState().health, a[0].val)); }
KESTRO_BUILTIN(F_action_set_caption) {
  CGameState& s = GameState();
  s.showScore = RoundToInt32(a[0].val) == 1;
  s.scoreShownExplicitly = true;
  s.captionScore = ArgText(a[1]);
  s.showLives = RoundToInt32(a[2].val) == 1;
  s.captionLives = ArgText(a[3]);
  s.showHealth = RoundToInt32(a[4].val) == 1;
  s.captionHealth = ArgText(a[5]);
}
KESTRO_BUILTIN(F_action_highscore_show) {
  CallBuiltin("highscore_set_background", self, other, {a[0]});
  CallBuiltin("highscore_set_border", self, other, {a[1]});
  CallBuiltin("highscore_set_colors", self, other, {Real(-1), a[2], a[3]});
  CallBuiltin("highscore_show", self, other, {Real(GameState().score)});
}
KESTRO_BUILTIN(F_action_highscore_clear) { CallBuiltin("highscore_clear", self, other, {}); }

// ---- Particles and CD audio (their families carry the work) ----

// The action particle system and its slots: created on first use, 16 type and 16 emitter slots,
// each -1 until its type or emitter is created.
struct CActionParticles {
  double system = -1;
  double types[16];
  double emitters[16];
  CActionParticles() { Reset(); }
  void Reset() {
    for (double& t : types) t = -1;
    for (double& e : emitters) e = -1;
  }
};
CActionParticles& Particles() {
  static CActionParticles particles;
  return particles;
}
int Slot(const RValue& v) {
  const int k = RoundToInt32(v.val);
  return k < 0 ? 0 : k > 15 ? 15 : k;
}
double System(CInstance* self, CInstance* other) {
  CActionParticles& p = Particles();
  if (p.system < 0 || !IsTrue(CallBuiltin("part_system_exists", self, other, {Real(p.system)}))) {
    p.system = CallBuiltin("part_system_create", self, other, {}).val;
    p.Reset();
  }
  return p.system;
}
double Type(CInstance* self, CInstance* other, const RValue& slot) {
  double& t = Particles().types[Slot(slot)];
  if (t < 0) t = CallBuiltin("part_type_create", self, other, {}).val;
  return t;
}

}  // namespace

void ResetActionParticles() {
  Particles().system = -1;
  Particles().Reset();
}

namespace {

KESTRO_BUILTIN(F_action_partsyst_create) {
  const double sys = System(self, other);
  CallBuiltin("part_system_depth", self, other, {Real(sys), a[0]});
  Particles().Reset();
}
KESTRO_BUILTIN(F_action_partsyst_destroy) {
  CActionParticles& p = Particles();
  if (p.system >= 0) CallBuiltin("part_system_destroy", self, other, {Real(p.system)});
  p.system = -1;
  p.Reset();
}
KESTRO_BUILTIN(F_action_partsyst_clear) {
  if (Particles().system >= 0) CallBuiltin("part_particles_clear", self, other, {Real(Particles().system)});
}
KESTRO_BUILTIN(F_action_parttype_create_old) {
  const RValue t = Real(Type(self, other, a[0]));
  CallBuiltin("part_type_shape", self, other, {t, a[1]});
  CallBuiltin("part_type_size", self, other, {t, a[2], a[3], Real(0), Real(0)});
  CallBuiltin("part_type_color2", self, other, {t, a[4], a[5]});
}
KESTRO_BUILTIN(F_action_parttype_create) {
  const RValue t = Real(Type(self, other, a[0]));
  CallBuiltin("part_type_shape", self, other, {t, a[1]});
  if (a[2].val >= 0) CallBuiltin("part_type_sprite", self, other, {t, a[2], Real(1), Real(0), Real(0)});
  CallBuiltin("part_type_size", self, other, {t, a[3], a[4], a[5], Real(0)});
}
KESTRO_BUILTIN(F_action_parttype_color) {
  const RValue t = Real(Type(self, other, a[0]));
  if (RoundToInt32(a[1].val) == 0)
    CallBuiltin("part_type_color2", self, other, {t, a[2], a[3]});
  else
    CallBuiltin("part_type_color_mix", self, other, {t, a[2], a[3]});
  CallBuiltin("part_type_alpha2", self, other, {t, a[4], a[5]});
}
KESTRO_BUILTIN(F_action_parttype_life) {
  CallBuiltin("part_type_life", self, other, {Real(Type(self, other, a[0])), a[1], a[2]});
}
KESTRO_BUILTIN(F_action_parttype_speed) {
  const RValue t = Real(Type(self, other, a[0]));
  CallBuiltin("part_type_speed", self, other, {t, a[1], a[2], a[5], Real(0)});
  CallBuiltin("part_type_direction", self, other, {t, a[3], a[4], Real(0), Real(0)});
}
KESTRO_BUILTIN(F_action_parttype_gravity) {
  CallBuiltin("part_type_gravity", self, other, {Real(Type(self, other, a[0])), a[1], a[2]});
}
KESTRO_BUILTIN(F_action_parttype_secondary) {
  const RValue t = Real(Type(self, other, a[0]));
  CallBuiltin("part_type_step", self, other, {t, a[2], Real(Particles().types[Slot(a[1])])});
  CallBuiltin("part_type_death", self, other, {t, a[4], Real(Particles().types[Slot(a[3])])});
}
KESTRO_BUILTIN(F_action_partemit_create) {
  const double sys = System(self, other);
  double& e = Particles().emitters[Slot(a[0])];
  if (e < 0) e = CallBuiltin("part_emitter_create", self, other, {Real(sys)}).val;
  CallBuiltin("part_emitter_region", self, other, {Real(sys), Real(e), a[2], a[3], a[4], a[5], a[1], Real(0)});
}
// The emitter of a slot, or -1 after the error when it has not been created.
double Emitter(const RValue& slot) {
  const double e = Particles().emitters[Slot(slot)];
  if (e < 0) ReportBuiltinError("The particle emitter must first be created.");
  return e;
}
KESTRO_BUILTIN(F_action_partemit_destroy) {
  double& e = Particles().emitters[Slot(a[0])];
  if (e >= 0) CallBuiltin("part_emitter_destroy", self, other, {Real(Particles().system), Real(e)});
  e = -1;
}
KESTRO_BUILTIN(F_action_partemit_burst) {
  const double e = Emitter(a[0]);
  if (e < 0) return;
  CallBuiltin("part_emitter_burst", self, other, {Real(Particles().system), Real(e), Real(Type(self, other, a[1])), a[2]});
}
KESTRO_BUILTIN(F_action_partemit_stream) {
  const double e = Emitter(a[0]);
  if (e < 0) return;
  CallBuiltin("part_emitter_stream", self, other,
              {Real(Particles().system), Real(e), Real(Type(self, other, a[1])), a[2]});
}
KESTRO_BUILTIN(F_action_effect) {
  CallBuiltin(a[5].val < 0.5 ? "effect_create_below" : "effect_create_above", self, other,
              {a[0], Real(RelX(self, a[1].val)), Real(RelY(self, a[2].val)), a[3], a[4]});
}

KESTRO_BUILTIN(F_action_cd_play) { CallBuiltin("cd_play", self, other, {a[0], a[1]}); }
KESTRO_BUILTIN(F_action_cd_stop) { CallBuiltin("cd_stop", self, other, {}); }
KESTRO_BUILTIN(F_action_cd_pause) { CallBuiltin("cd_pause", self, other, {}); }
KESTRO_BUILTIN(F_action_cd_resume) { CallBuiltin("cd_resume", self, other, {}); }
KESTRO_BUILTIN(F_action_cd_present) { r = CallBuiltin("cd_present", self, other, {}); }
KESTRO_BUILTIN(F_action_cd_playing) { r = CallBuiltin("cd_playing", self, other, {}); }
KESTRO_BUILTIN(F_action_webpage) {
  if (RunState().secureMode) return ReportBuiltinError("In secure mode you cannot open webpages.");
  // The desktop's browser; a bare "www." address is a web address too.
  const std::string url = ArgText(a[0]);
  if (!os::OpenWithDesktop(url.rfind("www.", 0) == 0 ? "http://" + url : url))
    ReportBuiltinError("Failed to open the webpage.");
}

constexpr RBinding kActionFunctions[] = {
    {"action_move", F_action_move},
    {"action_set_motion", F_action_set_motion},
    {"action_set_hspeed", F_action_set_hspeed},
    {"action_set_vspeed", F_action_set_vspeed},
    {"action_set_gravity", F_action_set_gravity},
    {"action_set_friction", F_action_set_friction},
    {"action_move_point", F_action_move_point},
    {"action_move_to", F_action_move_to},
    {"action_move_start", F_action_move_start},
    {"action_move_random", F_action_move_random},
    {"action_snap", F_action_snap},
    {"action_wrap", F_action_wrap},
    {"action_reverse_xdir", F_action_reverse_xdir},
    {"action_reverse_ydir", F_action_reverse_ydir},
    {"action_move_contact", F_action_move_contact},
    {"action_bounce", F_action_bounce},
    {"action_path", F_action_path},
    {"action_path_end", F_action_path_end},
    {"action_path_position", F_action_path_position},
    {"action_path_speed", F_action_path_speed},
    {"action_linear_step", F_action_linear_step},
    {"action_potential_step", F_action_potential_step},
    {"action_create_object", F_action_create_object},
    {"action_create_object_motion", F_action_create_object_motion},
    {"action_create_object_random", F_action_create_object_random},
    {"action_change_object", F_action_change_object},
    {"action_kill_object", F_action_kill_object},
    {"action_kill_position", F_action_kill_position},
    {"action_set_sprite", F_action_set_sprite},
    {"action_sprite_set", F_action_sprite_set},
    {"action_sprite_transform", F_action_sprite_transform},
    {"action_sprite_color", F_action_sprite_color},
    {"action_sound", F_action_sound},
    {"action_end_sound", F_action_end_sound},
    {"action_if_sound", F_action_if_sound},
    {"action_previous_room", F_action_previous_room},
    {"action_next_room", F_action_next_room},
    {"action_current_room", F_action_current_room},
    {"action_another_room", F_action_another_room},
    {"action_if_previous_room", F_action_if_previous_room},
    {"action_if_next_room", F_action_if_next_room},
    {"action_set_alarm", F_action_set_alarm},
    {"action_set_timeline", F_action_set_timeline},
    {"action_timeline_set", F_action_timeline_set},
    {"action_timeline_start", F_action_timeline_start},
    {"action_timeline_pause", F_action_timeline_pause},
    {"action_timeline_stop", F_action_timeline_stop},
    {"action_set_timeline_position", F_action_set_timeline_position},
    {"action_set_timeline_speed", F_action_set_timeline_speed},
    {"action_message", F_action_message},
    {"action_show_info", F_action_show_info},
    {"action_show_video", F_action_show_video},
    {"action_splash_video", F_action_splash_video},
    {"action_splash_text", F_action_splash_text},
    {"action_splash_image", F_action_splash_image},
    {"action_splash_web", F_action_splash_web},
    {"action_splash_settings", F_action_splash_settings},
    {"action_end_game", F_action_end_game},
    {"action_restart_game", F_action_restart_game},
    {"action_save_game", F_action_save_game},
    {"action_load_game", F_action_load_game},
    {"action_replace_sprite", F_action_replace_sprite},
    {"action_replace_sound", F_action_replace_sound},
    {"action_replace_background", F_action_replace_background},
    {"action_if_empty", F_action_if_empty},
    {"action_if_collision", F_action_if_collision},
    {"action_if_object", F_action_if_object},
    {"action_if_number", F_action_if_number},
    {"action_if", F_action_if},
    {"action_if_question", F_action_if_question},
    {"action_if_dice", F_action_if_dice},
    {"action_if_aligned", F_action_if_aligned},
    {"action_execute_script", F_action_execute_script},
    {"action_inherited", F_action_inherited},
    {"action_if_variable", F_action_if_variable},
    {"action_set_score", F_action_set_score},
    {"action_if_score", F_action_if_score},
    {"action_set_life", F_action_set_life},
    {"action_if_life", F_action_if_life},
    {"action_set_health", F_action_set_health},
    {"action_if_health", F_action_if_health},
    {"action_set_caption", F_action_set_caption},
    {"action_highscore_show", F_action_highscore_show},
    {"action_highscore_clear", F_action_highscore_clear},
    {"action_partsyst_create", F_action_partsyst_create},
    {"action_partsyst_destroy", F_action_partsyst_destroy},
    {"action_partsyst_clear", F_action_partsyst_clear},
    {"action_parttype_create_old", F_action_parttype_create_old},
    {"action_parttype_create", F_action_parttype_create},
    {"action_parttype_color", F_action_parttype_color},
    {"action_parttype_life", F_action_parttype_life},
    {"action_parttype_speed", F_action_parttype_speed},
    {"action_parttype_gravity", F_action_parttype_gravity},
    {"action_parttype_secondary", F_action_parttype_secondary},
    {"action_partemit_create", F_action_partemit_create},
    {"action_partemit_destroy", F_action_partemit_destroy},
    {"action_partemit_burst", F_action_partemit_burst},
    {"action_partemit_stream", F_action_partemit_stream},
    {"action_effect", F_action_effect},
    {"action_cd_play", F_action_cd_play},
    {"action_cd_stop", F_action_cd_stop},
    {"action_cd_pause", F_action_cd_pause},
    {"action_cd_resume", F_action_cd_resume},
    {"action_cd_present", F_action_cd_present},
    {"action_cd_playing", F_action_cd_playing},
    {"action_webpage", F_action_webpage},
};

}  // namespace

RBindingTable ActionFunctions() { return kActionFunctions; }

}  // namespace kestro
