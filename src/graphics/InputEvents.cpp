#include "graphics/InputEvents.h"

#include <cstdint>

#include "graphics/Input.h"
#include "world/EventLists.h"
#include "world/Events.h"
#include "world/InstanceCollision.h"
#include "world/World.h"

namespace kestro {

namespace {

constexpr int kEventKeyboard = 5, kEventMouse = 6, kEventKeyPress = 9, kEventKeyRelease = 10;

bool Pending() { return World().pendingChange != kNoChange; }

// The pointer of the last step, for entering and leaving.
double g_prevX = -1e9, g_prevY = -1e9;

void Keyboard(int type) {
  const CInput& in = Input();
  bool found = false;
  for (int code = 8; code < CInput::kKeys && !Pending(); ++code) {
    const bool on = type == kEventKeyboard   ? in.Held(code) || in.Pressed(code)
                    : type == kEventKeyPress ? in.Pressed(code)
                                             : in.Released(code);
    if (!on) continue;
    found = true;
    if (code <= 128) DispatchEvent(type, code);
  }
  if (!Pending()) DispatchEvent(type, found ? 1 : 0);
}

// The event on every unmarked instance whose mask holds (x, y), and that `extra` accepts.
template <class Test>
void OverInstances(int numb, double x, double y, Test extra) {
  // Most games have no such event: then no instance needs testing.
  if (EventLists().Objects(kEventMouse, numb).empty()) return;
  CLiveRoom& room = World().Room();
  for (size_t k = 0; k < room.Active().size() && !Pending(); ++k) {
    CInstance* inst = room.Active()[k].get();
    if (!inst->i_marked && Collision_Point(*inst, true, x, y) && extra(*inst))
      PerformInstanceEvent(inst, inst, kEventMouse, numb);
  }
}

}  // namespace

void DispatchKeyboardEvents() {
  for (int type : {kEventKeyboard, kEventKeyPress, kEventKeyRelease})
    if (!Pending()) Keyboard(type);
}

void DispatchJoystickEvents() {
  IJoysticks* joysticks = Joysticks();
  if (!joysticks) return;
  for (int j = 0; j < 2 && !Pending(); ++j) {
    RJoystickState s;
    if (!joysticks->Read(j, s)) continue;
    const int base = j == 0 ? 16 : 31;
    if (s.x < 20000) DispatchEvent(kEventMouse, base);
    if (s.x > 44000) DispatchEvent(kEventMouse, base + 1);
    if (s.y < 20000) DispatchEvent(kEventMouse, base + 2);
    if (s.y > 44000) DispatchEvent(kEventMouse, base + 3);
    for (int b = 0; b < 8; ++b)
      if (s.buttons & (1u << b)) DispatchEvent(kEventMouse, base + 5 + b);
  }
}

void DispatchMouseEvents() {
  const CInput& in = Input();
  const double px = g_prevX, py = g_prevY;
  int64_t mx = 0, my = 0;
  in.MouseInRoom(mx, my);
  const double x = double(mx), y = double(my);
  g_prevX = x;
  g_prevY = y;
  auto any = [](const CInstance&) { return true; };
  bool some = false;
  for (int b = 1; b <= CInput::kButtons; ++b)
    if (in.ButtonHeld(b) || in.ButtonPressed(b)) {
      some = true;
      OverInstances(b - 1, x, y, any);
      if (!Pending()) DispatchEvent(kEventMouse, b + 49);
    }
  if (!some) OverInstances(3, x, y, any);
  for (int b = 1; b <= CInput::kButtons; ++b)
    if (in.ButtonPressed(b)) {
      OverInstances(b + 3, x, y, any);
      if (!Pending()) DispatchEvent(kEventMouse, 12);
      if (!Pending()) DispatchEvent(kEventMouse, b + 52);
    }
  for (int b = 1; b <= CInput::kButtons; ++b)
    if (in.ButtonReleased(b)) {
      OverInstances(b + 6, x, y, any);
      if (!Pending()) DispatchEvent(kEventMouse, 13);
      if (!Pending()) DispatchEvent(kEventMouse, b + 55);
    }
  OverInstances(10, x, y, [&](const CInstance& inst) { return !Collision_Point(inst, true, px, py); });
  // Leaving: the pointer was over the instance and is no longer.
  OverInstances(11, px, py, [&](const CInstance& inst) { return !Collision_Point(inst, true, x, y); });
  if (!Pending() && in.WheelUp()) DispatchEvent(kEventMouse, 60);
  if (!Pending() && in.WheelDown()) DispatchEvent(kEventMouse, 61);
}

void DispatchCloseButton() {
  if (Input().TakeCloseButton()) PerformEventForAll(kEventOther, 30);
}

}  // namespace kestro
