// The game-wide built-in variables: the room and its layers and views, the room order and the
// room change, score, lives and health with their caption display, the run's folders and
// identity, the event context, the error state, the clock and the platform codes. Every routine
// ignores the instance it is given, so `other.score` is `score`. The argument variables belong to
// the language core and the mouse and keyboard variables to input.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "io/RunState.h"
#include "resources/GameResources.h"
#include "script/Value.h"
#include "script/builtins/BuiltinError.h"
#include "script/builtins/BuiltinVariables.h"
#include "world/Bindings.h"
#include "world/ErrorReport.h"
#include "world/GameState.h"
#include "world/PlatformCodes.h"
#include "world/World.h"

namespace kestro {

namespace {

constexpr int kVersion = 810;
constexpr int kNoone = -4;
constexpr const char* kRoomSpeedMessage = "Trying to set the room speed to a value <= 0.";

// Integer fields take the rounded value; beyond the 32-bit range they keep the nearest end
// instead of wrapping to the other sign.
int ToInt(double v) {
  return int(std::clamp<int64_t>(RoundToInt64(v), std::numeric_limits<int32_t>::min(),
                                 std::numeric_limits<int32_t>::max()));
}
// Boolean fields are true from a rounded 1 on (0.5 is false, 0.6 true).
bool ToBool(double v) { return RoundToInt64(v) >= 1; }

// Views and layers: an element outside 0 ... 7 is element 0.
static_assert(kRoomLayers == kRoomViews);
size_t Element(int32_t flat) { return flat >= 0 && flat < kRoomLayers ? size_t(flat) : 0; }

// ---------------------------------------------------------------------------------------------
// Fields read and written as they are: an owner chosen by the flat index and a member of it.

CRoom& LiveRoom(int32_t) { return World().Room(); }
CBack& Layer(int32_t flat) { return World().Room().r_background[Element(flat)]; }
CView& View(int32_t flat) { return World().Room().r_view[Element(flat)]; }
CGameState& State(int32_t) { return GameState(); }
CWorld& TheWorld(int32_t) { return World(); }

void Read(int v, RValue& out) { out = RValue::Real(v); }
void Read(bool v, RValue& out) { out = RValue::Real(v ? 1 : 0); }
void Read(double v, RValue& out) { out = RValue::Real(v); }
void Read(const std::string& v, RValue& out) { out = RValue::String(RString(v)); }

void Write(int& field, const RValue& v) { field = ToInt(v.val); }
void Write(bool& field, const RValue& v) { field = ToBool(v.val); }
void Write(double& field, const RValue& v) { field = v.val; }
// Text fields take the string field of the value whatever its kind.
void Write(std::string& field, const RValue& v) { field = v.str.str(); }

template <auto Owner, auto Member>
bool Get(CInstance*, int32_t flat, RValue& out) {
  Read(Owner(flat).*Member, out);
  return true;
}
template <auto Owner, auto Member>
bool Set(CInstance*, int32_t flat, const RValue& v) {
  Write(Owner(flat).*Member, v);
  return true;
}

// A read-only value computed by `fn`.
template <auto Fn>
bool Value(CInstance*, int32_t flat, RValue& out) {
  Read(Fn(flat), out);
  return true;
}

// ---------------------------------------------------------------------------------------------
// The room, its order and the room change.

int RoomIndex(int32_t) { return World().roomIndex; }
// Goes through the room change with the transition kind set now; a room that does not exist is
// reported there and ends the game, so the assignment itself succeeds.
bool SetRoom(CInstance*, int32_t, const RValue& v) {
  RequestRoom(ToInt(v.val), World().transitionKind);
  return true;
}
int RoomFirst(int32_t) { return RoomOrder().empty() ? -1 : RoomOrder().front(); }
int RoomLast(int32_t) { return RoomOrder().empty() ? -1 : RoomOrder().back(); }

bool SetTransitionSteps(CInstance*, int32_t, const RValue& v) {
  World().transitionSteps = std::max(1, ToInt(v.val));
  return true;
}

bool SetRoomSpeed(CInstance*, int32_t, const RValue& v) {
  const int speed = ToInt(v.val);
  if (speed <= 0) {
    ReportBuiltinError(kRoomSpeedMessage);
    return false;
  }
  World().Room().r_speed = speed;
  return true;
}

int InstanceCount(int32_t) { return World().Room().ActiveCount(); }
// The active list as it is: instances destroyed in this step are still counted.
int InstanceId(int32_t flat) {
  const auto& active = World().Room().Active();
  return flat >= 0 && size_t(flat) < active.size() ? active[size_t(flat)]->i_id : kNoone;
}

int BackgroundWidth(int32_t flat) {
  const CBackground* b = Backgrounds().Get(Layer(flat).index);
  return b ? b->GetWidth() : 0;
}
int BackgroundHeight(int32_t flat) {
  const CBackground* b = Backgrounds().Get(Layer(flat).index);
  return b ? b->GetHeight() : 0;
}

// ---------------------------------------------------------------------------------------------
// Score, lives, health and the caption display.

bool SetLives(CInstance*, int32_t, const RValue& v) {
  ChangeLives(ToInt(v.val));
  return true;
}
bool SetHealth(CInstance*, int32_t, const RValue& v) {
  ChangeHealth(v.val);
  return true;
}
bool SetShowScore(CInstance*, int32_t, const RValue& v) {
  GameState().showScore = ToBool(v.val);
  GameState().scoreShownExplicitly = true;
  return true;
}

// ---------------------------------------------------------------------------------------------
// The run: folders, identity, modes.

int GameId(int32_t) { return RunState().gameId; }
bool DebugMode(int32_t) { return RunState().debugMode; }
bool Relative(int32_t) { return ActionRelative(); }

int EventType(int32_t) { return EventContext().eventType; }
int EventNumber(int32_t) { return EventContext().eventNumber; }
int EventObject(int32_t) { return EventContext().objectIndex; }
int EventAction(int32_t) { return EventContext().actionIndex; }

bool ErrorOccurred(CInstance*, int32_t, RValue& out) {
  Read(ErrorState().errorOccurred, out);
  return true;
}
// Unlike the boolean fields, 0.5 already counts as true here.
bool SetErrorOccurred(CInstance*, int32_t, const RValue& v) {
  ErrorState().errorOccurred = IsTrue(v.val);
  return true;
}
bool ErrorLast(CInstance*, int32_t, RValue& out) {
  Read(ErrorState().errorLast, out);
  return true;
}
bool SetErrorLast(CInstance*, int32_t, const RValue& v) {
  Write(ErrorState().errorLast, v);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Clock and platform.

double CurrentTime(int32_t) { return double(GameClock().Milliseconds()); }
int CurrentYear(int32_t) { return GameClock().LocalTime().year; }
int CurrentMonth(int32_t) { return GameClock().LocalTime().month; }
int CurrentDay(int32_t) { return GameClock().LocalTime().day; }
int CurrentWeekday(int32_t) { return GameClock().LocalTime().weekday; }
int CurrentHour(int32_t) { return GameClock().LocalTime().hour; }
int CurrentMinute(int32_t) { return GameClock().LocalTime().minute; }
int CurrentSecond(int32_t) { return GameClock().LocalTime().second; }

int Version(int32_t) { return kVersion; }
int OsType(int32_t) { return kOsType; }
int OsDevice(int32_t) { return kOsDevice; }

#define FIELD(name, owner, member) {name, Get<owner, member>, Set<owner, member>}
#define READ_ONLY(name, owner, member) {name, Get<owner, member>, nullptr}
#define COMPUTED(name, fn) {name, Value<fn>, nullptr}

constexpr RVariableBinding kGameVariables[] = {
    COMPUTED("argument_relative", Relative),
    {"room", Value<RoomIndex>, SetRoom},
    COMPUTED("room_first", RoomFirst),
    COMPUTED("room_last", RoomLast),
    FIELD("transition_kind", TheWorld, &CWorld::transitionKind),
    {"transition_steps", Get<TheWorld, &CWorld::transitionSteps>, SetTransitionSteps},
    FIELD("score", State, &CGameState::score),
    {"lives", Get<State, &CGameState::lives>, SetLives},
    {"health", Get<State, &CGameState::health>, SetHealth},
    COMPUTED("game_id", GameId),
    COMPUTED("instance_count", InstanceCount),
    COMPUTED("instance_id", InstanceId),
    READ_ONLY("room_width", LiveRoom, &CRoom::r_width),
    READ_ONLY("room_height", LiveRoom, &CRoom::r_height),
    FIELD("room_caption", LiveRoom, &CRoom::r_caption),
    {"room_speed", Get<LiveRoom, &CRoom::r_speed>, SetRoomSpeed},
    FIELD("room_persistent", LiveRoom, &CRoom::r_persistent),
    FIELD("background_color", LiveRoom, &CRoom::r_color),
    FIELD("background_showcolor", LiveRoom, &CRoom::r_showcolor),
    FIELD("background_visible", Layer, &CBack::visible),
    FIELD("background_foreground", Layer, &CBack::foreground),
    FIELD("background_index", Layer, &CBack::index),
    FIELD("background_x", Layer, &CBack::x),
    FIELD("background_y", Layer, &CBack::y),
    COMPUTED("background_width", BackgroundWidth),
    COMPUTED("background_height", BackgroundHeight),
    FIELD("background_htiled", Layer, &CBack::htiled),
    FIELD("background_vtiled", Layer, &CBack::vtiled),
    FIELD("background_xscale", Layer, &CBack::xscale),
    FIELD("background_yscale", Layer, &CBack::yscale),
    FIELD("background_hspeed", Layer, &CBack::hspeed),
    FIELD("background_vspeed", Layer, &CBack::vspeed),
    FIELD("background_blend", Layer, &CBack::blend),
    FIELD("background_alpha", Layer, &CBack::alpha),
    FIELD("view_enabled", LiveRoom, &CRoom::r_enableviews),
    READ_ONLY("view_current", State, &CGameState::viewCurrent),
    FIELD("view_visible", View, &CView::visible),
    FIELD("view_xview", View, &CView::xview),
    FIELD("view_yview", View, &CView::yview),
    FIELD("view_wview", View, &CView::wview),
    FIELD("view_hview", View, &CView::hview),
    FIELD("view_xport", View, &CView::xport),
    FIELD("view_yport", View, &CView::yport),
    FIELD("view_wport", View, &CView::wport),
    FIELD("view_hport", View, &CView::hport),
    FIELD("view_angle", View, &CView::angle),
    FIELD("view_hborder", View, &CView::hborder),
    FIELD("view_vborder", View, &CView::vborder),
    FIELD("view_hspeed", View, &CView::hspeed),
    FIELD("view_vspeed", View, &CView::vspeed),
    FIELD("view_object", View, &CView::index),
    FIELD("cursor_sprite", State, &CGameState::cursorSprite),
    {"show_score", Get<State, &CGameState::showScore>, SetShowScore},
    FIELD("show_lives", State, &CGameState::showLives),
    FIELD("show_health", State, &CGameState::showHealth),
    FIELD("caption_score", State, &CGameState::captionScore),
    FIELD("caption_lives", State, &CGameState::captionLives),
    FIELD("caption_health", State, &CGameState::captionHealth),
    READ_ONLY("fps", State, &CGameState::fps),
    COMPUTED("current_time", CurrentTime),
    COMPUTED("current_year", CurrentYear),
    COMPUTED("current_month", CurrentMonth),
    COMPUTED("current_day", CurrentDay),
    COMPUTED("current_weekday", CurrentWeekday),
    COMPUTED("current_hour", CurrentHour),
    COMPUTED("current_minute", CurrentMinute),
    COMPUTED("current_second", CurrentSecond),
    COMPUTED("event_type", EventType),
    COMPUTED("event_number", EventNumber),
    COMPUTED("event_object", EventObject),
    COMPUTED("event_action", EventAction),
    COMPUTED("debug_mode", DebugMode),
    {"error_occurred", ErrorOccurred, SetErrorOccurred},
    {"error_last", ErrorLast, SetErrorLast},
    COMPUTED("kestro_version", Version),
    COMPUTED("os_type", OsType),
    COMPUTED("os_device", OsDevice),
    READ_ONLY("display_aa", State, &CGameState::displayAa),
};

#undef FIELD
#undef READ_ONLY
#undef COMPUTED

}  // namespace

RVariableBindingTable GameVariables() { return kGameVariables; }

}  // namespace kestro
