// The keyboard, mouse and joystick functions and the input variables. Keys and buttons are given
// as reals and rounded; the keyboard and mouse state is the model's, the physical keyboard, Num
// Lock and the joysticks are the desktop's.
#include "graphics/Bindings.h"
#include "graphics/Input.h"
#include "script/builtins/BuiltinArgs.h"

namespace kestro {

namespace {

void SetBool(RValue& r, bool b) { r = RValue::Real(b ? 1.0 : 0.0); }

// --- keyboard ---

KESTRO_BUILTIN(KeyboardCheck) { SetBool(r, Input().CheckKey(ArgInt(a[0]))); }
KESTRO_BUILTIN(KeyboardCheckPressed) { SetBool(r, Input().CheckKeyPressed(ArgInt(a[0]))); }
KESTRO_BUILTIN(KeyboardCheckReleased) { SetBool(r, Input().CheckKeyReleased(ArgInt(a[0]))); }

// The physical key, whatever the key map says.
KESTRO_BUILTIN(KeyboardCheckDirect) {
  int64_t key = ArgInt(a[0]);
  IInputDevice* d = InputDevice();
  SetBool(r, d && key >= 0 && key < CInput::kKeys && d->KeyDirect(int(key)));
}

KESTRO_BUILTIN(KeyboardGetNumlock) {
  IInputDevice* d = InputDevice();
  SetBool(r, d && d->NumLock());
}

KESTRO_BUILTIN(KeyboardSetNumlock) {
  IInputDevice* d = InputDevice();
  bool on = ArgBool(a[0]);
  if (d && d->NumLock() != on) d->SetNumLock(on);
}

void SendKey(const RValue& v, bool down) {
  int64_t key = ArgInt(v);
  if (IInputDevice* d = InputDevice(); d && key >= 0 && key < CInput::kKeys) d->SendKey(int(key), down);
}
KESTRO_BUILTIN(KeyboardKeyPress) { SendKey(a[0], true); }
KESTRO_BUILTIN(KeyboardKeyRelease) { SendKey(a[0], false); }

KESTRO_BUILTIN(KeyboardSetMap) { Input().SetMap(ArgInt(a[0]), ArgInt(a[1])); }
KESTRO_BUILTIN(KeyboardGetMap) { r = RValue::Real(double(Input().Map(ArgInt(a[0])))); }
KESTRO_BUILTIN(KeyboardUnsetMap) { Input().UnsetMap(); }

KESTRO_BUILTIN(KeyboardClear) {
  ProcessInputMessages();
  Input().ClearKey(ArgInt(a[0]));
}

KESTRO_BUILTIN(KeyboardWait) { WaitForKey(); }

// --- mouse ---

KESTRO_BUILTIN(MouseCheckButton) { SetBool(r, Input().CheckButton(ArgInt(a[0]))); }
KESTRO_BUILTIN(MouseCheckButtonPressed) { SetBool(r, Input().CheckButtonPressed(ArgInt(a[0]))); }
KESTRO_BUILTIN(MouseCheckButtonReleased) { SetBool(r, Input().CheckButtonReleased(ArgInt(a[0]))); }
KESTRO_BUILTIN(MouseWheelUp) { SetBool(r, Input().WheelUp()); }
KESTRO_BUILTIN(MouseWheelDown) { SetBool(r, Input().WheelDown()); }

KESTRO_BUILTIN(MouseClear) {
  ProcessInputMessages();
  Input().ClearButton(ArgInt(a[0]));
}

KESTRO_BUILTIN(MouseWait) { WaitForButton(); }

KESTRO_BUILTIN(IoClear) {
  ProcessInputMessages();
  Input().Clear();
}

KESTRO_BUILTIN(IoHandle) { ProcessInputMessages(); }

// --- joysticks ---

bool ReadJoystick(const RValue& id, RJoystickState& s) {
  IJoysticks* j = Joysticks();
  return j && j->Read(JoystickIndex(ArgInt(id)), s);
}

bool JoystickCaps(const RValue& id, RJoystickCaps& caps) {
  IJoysticks* j = Joysticks();
  return j && j->Caps(JoystickIndex(ArgInt(id)), caps);
}

KESTRO_BUILTIN(JoystickExists) {
  RJoystickState s;
  SetBool(r, ReadJoystick(a[0], s));
}

KESTRO_BUILTIN(JoystickName) {
  RJoystickCaps caps;
  SetText(r, JoystickCaps(a[0], caps) ? caps.name : std::string());
}

KESTRO_BUILTIN(JoystickAxes) {
  RJoystickCaps caps;
  r = RValue::Real(JoystickCaps(a[0], caps) ? double(caps.axes) : 0.0);
}

KESTRO_BUILTIN(JoystickButtons) {
  RJoystickCaps caps;
  r = RValue::Real(JoystickCaps(a[0], caps) ? double(caps.buttons) : 0.0);
}

KESTRO_BUILTIN(JoystickHasPov) {
  RJoystickCaps caps;
  SetBool(r, JoystickCaps(a[0], caps) && caps.hasPov);
}

KESTRO_BUILTIN(JoystickDirectionFn) {
  RJoystickState s;
  r = RValue::Real(double(JoystickDirection(ReadJoystick(a[0], s) ? &s : nullptr)));
}

KESTRO_BUILTIN(JoystickCheckButton) {
  RJoystickState s;
  int64_t numb = ArgInt(a[1]);
  SetBool(r, numb >= 1 && numb <= 32 && ReadJoystick(a[0], s) && ((s.buttons >> (numb - 1)) & 1u) != 0);
}

// An axis as about -1 .. 1; 0 when the joystick cannot be read.
template <uint32_t RJoystickState::*axis>
KESTRO_BUILTIN(JoystickAxis) {
  RJoystickState s;
  r = RValue::Real(ReadJoystick(a[0], s) ? double(s.*axis) / 32767.0 - 1.0 : 0.0);
}

KESTRO_BUILTIN(JoystickPov) {
  RJoystickState s;
  r = RValue::Real(ReadJoystick(a[0], s) && s.pov <= 36000 ? double(s.pov) / 100.0 : -1.0);
}

constexpr RBinding kInputFunctions[] = {
    {"keyboard_get_numlock", KeyboardGetNumlock},
    {"keyboard_set_numlock", KeyboardSetNumlock},
    {"keyboard_key_press", KeyboardKeyPress},
    {"keyboard_key_release", KeyboardKeyRelease},
    {"keyboard_set_map", KeyboardSetMap},
    {"keyboard_get_map", KeyboardGetMap},
    {"keyboard_unset_map", KeyboardUnsetMap},
    {"keyboard_check", KeyboardCheck},
    {"keyboard_check_pressed", KeyboardCheckPressed},
    {"keyboard_check_released", KeyboardCheckReleased},
    {"keyboard_check_direct", KeyboardCheckDirect},
    {"mouse_check_button", MouseCheckButton},
    {"mouse_check_button_pressed", MouseCheckButtonPressed},
    {"mouse_check_button_released", MouseCheckButtonReleased},
    {"mouse_wheel_up", MouseWheelUp},
    {"mouse_wheel_down", MouseWheelDown},
    {"joystick_exists", JoystickExists},
    {"joystick_direction", JoystickDirectionFn},
    {"joystick_name", JoystickName},
    {"joystick_axes", JoystickAxes},
    {"joystick_buttons", JoystickButtons},
    {"joystick_has_pov", JoystickHasPov},
    {"joystick_check_button", JoystickCheckButton},
    {"joystick_xpos", JoystickAxis<&RJoystickState::x>},
    {"joystick_ypos", JoystickAxis<&RJoystickState::y>},
    {"joystick_zpos", JoystickAxis<&RJoystickState::z>},
    {"joystick_rpos", JoystickAxis<&RJoystickState::r>},
    {"joystick_upos", JoystickAxis<&RJoystickState::u>},
    {"joystick_vpos", JoystickAxis<&RJoystickState::v>},
    {"joystick_pov", JoystickPov},
    {"keyboard_clear", KeyboardClear},
    {"mouse_clear", MouseClear},
    {"io_clear", IoClear},
    {"io_handle", IoHandle},
    {"keyboard_wait", KeyboardWait},
    {"mouse_wait", MouseWait},
};

// --- variables ---

bool GetMouseX(CInstance*, int32_t, RValue& out) {
  int64_t x, y;
  Input().MouseInRoom(x, y);
  out = RValue::Real(double(x));
  return true;
}

bool GetMouseY(CInstance*, int32_t, RValue& out) {
  int64_t x, y;
  Input().MouseInRoom(x, y);
  out = RValue::Real(double(y));
  return true;
}

// Values the state does not take are ignored; the assignment itself succeeds.
bool GetMouseButton(CInstance*, int32_t, RValue& out) {
  out = RValue::Real(double(Input().CurrentButton()));
  return true;
}
bool SetMouseButton(CInstance*, int32_t, const RValue& v) {
  Input().SetCurrentButton(ArgInt(v));
  return true;
}

bool GetMouseLastButton(CInstance*, int32_t, RValue& out) {
  out = RValue::Real(double(Input().LastButton()));
  return true;
}
bool SetMouseLastButton(CInstance*, int32_t, const RValue& v) {
  Input().SetLastButton(ArgInt(v));
  return true;
}

bool GetKeyboardKey(CInstance*, int32_t, RValue& out) {
  out = RValue::Real(double(Input().CurrentKey()));
  return true;
}
bool SetKeyboardKey(CInstance*, int32_t, const RValue& v) {
  Input().SetCurrentKey(ArgInt(v));
  return true;
}

bool GetKeyboardLastKey(CInstance*, int32_t, RValue& out) {
  out = RValue::Real(double(Input().LastKey()));
  return true;
}
bool SetKeyboardLastKey(CInstance*, int32_t, const RValue& v) {
  Input().SetLastKey(ArgInt(v));
  return true;
}

bool GetKeyboardLastChar(CInstance*, int32_t, RValue& out) {
  SetText(out, Input().LastChar());
  return true;
}
bool SetKeyboardLastChar(CInstance*, int32_t, const RValue& v) {
  Input().SetLastChar(v.str.view());
  return true;
}

bool GetKeyboardString(CInstance*, int32_t, RValue& out) {
  SetText(out, Input().String());
  return true;
}
bool SetKeyboardString(CInstance*, int32_t, const RValue& v) {
  Input().SetString(v.str.view());
  return true;
}

constexpr RVariableBinding kInputVariables[] = {
    {"mouse_x", GetMouseX, nullptr},
    {"mouse_y", GetMouseY, nullptr},
    {"mouse_button", GetMouseButton, SetMouseButton},
    {"mouse_lastbutton", GetMouseLastButton, SetMouseLastButton},
    {"keyboard_key", GetKeyboardKey, SetKeyboardKey},
    {"keyboard_lastkey", GetKeyboardLastKey, SetKeyboardLastKey},
    {"keyboard_lastchar", GetKeyboardLastChar, SetKeyboardLastChar},
    {"keyboard_string", GetKeyboardString, SetKeyboardString},
};

}  // namespace

RBindingTable InputFunctions() { return kInputFunctions; }
RVariableBindingTable InputVariables() { return kInputVariables; }

}  // namespace kestro
