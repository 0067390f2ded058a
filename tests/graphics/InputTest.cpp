// The input model with injected events: per-step flags, the key map, the typed text, buttons and
// wheel, the close request, the pointer through the views, the joystick functions and the waits,
// through the built-in functions and variables as game code reaches them.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "graphics/GameWindow.h"
#include "graphics/Input.h"
#include "resources/GameSettings.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Executor.h"
#include "script/Scripts.h"
#include "script/Variables.h"
#include "script/builtins/BuiltinVariables.h"
#include "script/builtins/FunctionRegistry.h"
#include "tools/Bindings.h"
#include "world/GameScripts.h"

namespace kestro::test {
namespace {

RValue Real(double v) { return RValue::Real(v); }
RValue Text(const char* s) { return RValue::String(RString(s)); }

// A built-in function called by name, as code calls it.
RValue Call(const char* name, std::initializer_list<RValue> args = {}) {
  RValue slots[16];
  int n = 0;
  for (const RValue& v : args) slots[n++] = v;
  RValue r;
  std::optional<int32_t> id = BuiltinRegistry().Find(name);
  EXPECT_TRUE(id.has_value()) << name;
  if (id) {
    EXPECT_TRUE(BuiltinRegistry().Call(*id, nullptr, nullptr, n, slots, r));
  }
  return r;
}
double CallReal(const char* name, std::initializer_list<RValue> args = {}) { return Call(name, args).val; }

RValue Get(const char* variable) {
  RValue out;
  EXPECT_TRUE(GetBuiltinVariable(nullptr, FindBuiltinVariable(variable), 0, out)) << variable;
  return out;
}
bool Set(const char* variable, const RValue& v) {
  return SetBuiltinVariable(nullptr, FindBuiltinVariable(variable), 0, v);
}

// A host that answers the built-in variables with the program's bindings.
class CVariableHost final : public IScriptHost {
 public:
  CInstance* Self() { return reinterpret_cast<CInstance*>(&vars_); }
  CVariableList& Variables(CInstance*) override { return vars_; }
  CInstance* FirstInstance(int32_t) override { return nullptr; }
  void Instances(int32_t, std::vector<CInstance*>&) override {}
  bool GetBuiltin(CInstance* i, int32_t id, int32_t flat, RValue& out) override {
    return GetBuiltinVariable(i, id, flat, out);
  }
  bool SetBuiltin(CInstance* i, int32_t id, int32_t flat, const RValue& v) override {
    return SetBuiltinVariable(i, id, flat, v);
  }
  bool CallFunction(int32_t id, CInstance* self, CInstance* other, int32_t argc, RValue* args,
                    RValue& result) override {
    return CallFunctionId(id, self, other, argc, args, result);
  }

 private:
  CVariableList vars_;
};

// Runs code and gives the value of its `return`, or "failed: ..." when it did not run.
RValue RunCode(const std::string& src) {
  CCode c(src, CodeKind::kProgram);
  if (!c.Compile(&GameScriptNames())) {
    ClearCodeError();
    return Text(("compile error " + c.CompileError()).c_str());
  }
  CVariableHost host;
  SetScriptHost(&host);
  RValue r;
  bool ok = ExecuteCode(host.Self(), host.Self(), c, r);
  SetScriptHost(nullptr);
  if (!ok) {
    std::string e = "failed: " + (CodeErrorPending() ? PendingCodeError() : std::string());
    ClearCodeError();
    return Text(e.c_str());
  }
  return r;
}

// The desktop, scripted by the test: what ProcessMessages delivers, the physical keys, Num Lock.
class CFakeDevice final : public IInputDevice {
 public:
  std::vector<std::function<void()>> deliveries;  // one per call of ProcessMessages
  int processed = 0, waited = 0;
  bool source = true;
  std::vector<int> physical;
  bool numLock = false;
  std::vector<std::pair<int, bool>> sent;

  void ProcessMessages() override {
    if (size_t(processed) < deliveries.size() && deliveries[size_t(processed)]) deliveries[size_t(processed)]();
    ++processed;
  }
  bool HasEventSource() override { return source; }
  void WaitForEvents(int milliseconds) override {
    EXPECT_EQ(milliseconds, 50);
    ++waited;
  }
  bool KeyDirect(int key) override { return std::find(physical.begin(), physical.end(), key) != physical.end(); }
  bool NumLock() override { return numLock; }
  void SendKey(int key, bool down) override { sent.emplace_back(key, down); }
  void SetNumLock(bool on) override {
    numLock = on;
    SendKey(vk::kNumLock, true);
    SendKey(vk::kNumLock, false);
  }
  bool WindowActive() override { return true; }
};

class CFakeJoysticks final : public IJoysticks {
 public:
  RJoystickState first, second;
  bool hasSecond = false;
  bool Caps(int index, RJoystickCaps& caps) override {
    if (index == 1 && !hasSecond) return false;
    caps = {index == 0 ? "Pad One" : "Pad Two", 4, 12, index == 0};
    return true;
  }
  bool Read(int index, RJoystickState& s) override {
    if (index == 1 && !hasSecond) return false;
    s = index == 0 ? first : second;
    return true;
  }
};

class InputTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { tools::InstallGameBindings(); }
  void SetUp() override {
    Input().Reset();
    Input().MouseMove(0, 0);
    SetInputDevice(nullptr);
    SetJoysticks(nullptr);
    SetGameWindow(nullptr);
    Ports().Clear();
  }
  void TearDown() override {
    SetInputDevice(nullptr);
    SetJoysticks(nullptr);
    SetGameWindow(nullptr);
    Ports().Clear();
    GameSettings().Reset();
    Input().Reset();
  }
  // keyboard_check, _pressed and _released of one key as "hpr" letters (- where false).
  static std::string Flags(int key) {
    std::string s;
    s += CallReal("keyboard_check", {Real(key)}) != 0 ? 'h' : '-';
    s += CallReal("keyboard_check_pressed", {Real(key)}) != 0 ? 'p' : '-';
    s += CallReal("keyboard_check_released", {Real(key)}) != 0 ? 'r' : '-';
    return s;
  }
  static std::string Buttons(int b) {
    std::string s;
    s += CallReal("mouse_check_button", {Real(b)}) != 0 ? 'h' : '-';
    s += CallReal("mouse_check_button_pressed", {Real(b)}) != 0 ? 'p' : '-';
    s += CallReal("mouse_check_button_released", {Real(b)}) != 0 ? 'r' : '-';
    return s;
  }
};

TEST_F(InputTest, KeyFlagsLastOnlyForTheStepTheyHappenedIn) {
  CInput& in = Input();
  in.KeyDown(37);
  EXPECT_EQ(Flags(37), "hp-");
  EXPECT_EQ(Get("keyboard_lastkey").val, 37);
  EXPECT_EQ(Get("keyboard_key").val, 37);
  in.EndStep();
  in.KeyDown(37);  // auto-repeat: the last key again, no new press
  EXPECT_EQ(Flags(37), "h--");
  in.SetLastKey(0);
  in.KeyDown(37);
  EXPECT_EQ(in.LastKey(), 37);
  in.EndStep();
  EXPECT_EQ(Flags(37), "h--");

  // The current key is the last one down; releasing another key leaves it.
  in.KeyDown(65);
  in.KeyUp(37);
  EXPECT_EQ(Flags(37), "--r");
  EXPECT_EQ(Get("keyboard_key").val, 65);
  in.KeyUp(65);
  EXPECT_EQ(Get("keyboard_key").val, 0);
  EXPECT_EQ(Get("keyboard_lastkey").val, 65);
  in.EndStep();
  EXPECT_EQ(Flags(37), "---");
  EXPECT_EQ(Flags(65), "---");

  // Pressed and released within one step: both flags for that step.
  in.KeyDown(32);
  in.KeyUp(32);
  EXPECT_EQ(Flags(32), "-pr");
  EXPECT_FALSE(in.Pressed(300));  // outside the codes: no flags, no crash
  in.KeyDown(-5);
  in.KeyDown(256);
  EXPECT_EQ(in.LastKey(), 32);
}

TEST_F(InputTest, NoKeyAnyKeyAndOtherCodes) {
  struct Case {
    double key;
    const char* idle;  // keyboard_check, _pressed, _released with nothing going on
    const char* held;  // after key 40 went down in this step
  } cases[] = {
      {0, "hpr", "--r"},  // vk_nokey: true for each form while no key has that flag
      {1, "---", "hp-"},  // vk_anykey
      {40, "---", "hp-"}, {39.6, "---", "hp-"}, {41, "---", "---"},
      {2, "---", "---"},  {256, "---", "---"},  {-1, "---", "---"},
  };
  for (const Case& c : cases) {
    Input().Reset();
    int key = int(c.key);
    EXPECT_EQ(Flags(key), c.idle) << c.key;
    Input().KeyDown(40);
    // The argument is rounded by the functions, so 39.6 is key 40.
    std::string held;
    held += CallReal("keyboard_check", {Real(c.key)}) != 0 ? 'h' : '-';
    held += CallReal("keyboard_check_pressed", {Real(c.key)}) != 0 ? 'p' : '-';
    held += CallReal("keyboard_check_released", {Real(c.key)}) != 0 ? 'r' : '-';
    EXPECT_EQ(held, c.held) << c.key;
  }
}

TEST_F(InputTest, KeyMapReportsThePhysicalKeyAsAnotherAndDirectChecksSeeThroughIt) {
  CFakeDevice device;
  SetInputDevice(&device);
  Call("keyboard_set_map", {Real(37), Real(65)});  // vk_left as A
  EXPECT_EQ(CallReal("keyboard_get_map", {Real(37)}), 65);
  EXPECT_EQ(CallReal("keyboard_get_map", {Real(300)}), 300);  // outside the map: itself
  EXPECT_EQ(CallReal("keyboard_get_map", {Real(-2)}), -2);
  Input().KeyDown(37);
  device.physical = {37};
  EXPECT_EQ(Flags(65), "hp-");
  EXPECT_EQ(Flags(37), "---");
  EXPECT_EQ(Get("keyboard_lastkey").val, 65);
  EXPECT_EQ(CallReal("keyboard_check_direct", {Real(37)}), 1);
  EXPECT_EQ(CallReal("keyboard_check_direct", {Real(65)}), 0);
  Input().KeyUp(37);
  EXPECT_EQ(Flags(65), "-pr");

  // A key mapped outside the codes does nothing; setting a map outside them is ignored.
  Call("keyboard_set_map", {Real(38), Real(999)});
  Input().KeyDown(38);
  EXPECT_EQ(Input().LastKey(), 65);
  EXPECT_FALSE(Input().AnyHeld());
  Call("keyboard_set_map", {Real(256), Real(1)});
  EXPECT_EQ(CallReal("keyboard_get_map", {Real(256)}), 256);

  // io_clear keeps the map; keyboard_unset_map restores identity.
  Call("io_clear");
  EXPECT_EQ(CallReal("keyboard_get_map", {Real(37)}), 65);
  Call("keyboard_unset_map");
  EXPECT_EQ(CallReal("keyboard_get_map", {Real(37)}), 37);
  EXPECT_EQ(CallReal("keyboard_get_map", {Real(38)}), 38);
  // Without a desktop nothing is physically down.
  SetInputDevice(nullptr);
  EXPECT_EQ(CallReal("keyboard_check_direct", {Real(37)}), 0);
}

TEST_F(InputTest, TypedTextKeepsTheLast1024CharactersPlusTheNewest) {
  CInput& in = Input();
  in.Character(8);  // backspace on an empty text
  EXPECT_EQ(in.String(), "");
  EXPECT_EQ(Get("keyboard_lastchar").str.view(), "\b");
  std::string typed;
  for (int k = 0; k < 1100; ++k) {
    char c = char('a' + k % 26);
    in.Character(uint32_t(c));
    typed += c;
  }
  EXPECT_EQ(in.String(), typed.substr(1100 - 1025));
  EXPECT_EQ(Get("keyboard_string").str.view(), typed.substr(1100 - 1025));
  in.Character(8);
  EXPECT_EQ(in.String(), typed.substr(1100 - 1024, 1023));

  // Control characters are the last character but not text; characters beyond ASCII are whole.
  in.SetString("ab");
  for (uint32_t c : {9u, 13u, 27u, 1u}) in.Character(c);
  EXPECT_EQ(in.String(), "ab");
  EXPECT_EQ(in.LastChar(), "\x01");
  in.Character(0xE9);     // é
  in.Character(0x1F600);  // four bytes
  EXPECT_EQ(in.String(), "ab\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(Get("keyboard_lastchar").str.view(), "\xF0\x9F\x98\x80");
  in.Character(8);
  EXPECT_EQ(in.String(), "ab\xC3\xA9");
  in.Character(8);
  EXPECT_EQ(in.String(), "ab");
  in.Character(0xD800);  // a lone surrogate is no character
  in.Character(0x110000);
  EXPECT_EQ(in.String(), "ab");
  EXPECT_EQ(in.LastChar(), "\b");

  // A text the game set need not be UTF-8: backspace takes at most one character's bytes.
  in.SetString(std::string("x\x80\x80\x80\x80\x80", 6));
  in.Character(8);
  EXPECT_EQ(in.String(), std::string("x\x80", 2));
  // The limit counts characters, not bytes.
  std::string wide;
  for (int k = 0; k < 1100; ++k) wide += "\xC3\xA9";
  in.SetString(wide);  // no limit when the game sets it
  EXPECT_EQ(in.String().size(), 2200u);
  in.Character('z');
  EXPECT_EQ(in.String().size(), 1024u * 2 + 1);
  EXPECT_EQ(in.String().back(), 'z');
}

TEST_F(InputTest, InputVariablesTakeOnlyWhatTheStateHolds) {
  CInput& in = Input();
  // keyboard_lastchar: the first character of the text; an empty text changes nothing.
  EXPECT_EQ(RunCode("keyboard_lastchar = 'abc'; return keyboard_lastchar").str.view(), "a");
  EXPECT_EQ(RunCode("keyboard_lastchar = ''; return keyboard_lastchar").str.view(), "a");
  EXPECT_EQ(RunCode("keyboard_lastchar = '\xC3\xA9t\xC3\xA9'; return keyboard_lastchar").str.view(), "\xC3\xA9");
  // keyboard_string: replaced as it is.
  EXPECT_EQ(RunCode("keyboard_string = 'hello'; return keyboard_string").str.view(), "hello");
  EXPECT_EQ(in.String(), "hello");

  struct Case {
    const char* variable;
    double value;
    double expect;  // after assigning `value` over 2
  } cases[] = {
      {"mouse_button", 0, 2},    {"mouse_button", 3, 3},       {"mouse_button", 4, 2},
      {"mouse_button", 1.4, 1},  {"mouse_lastbutton", -1, 2},  {"mouse_lastbutton", 3, 3},
      {"keyboard_key", 0, 0},    {"keyboard_key", 255, 255},   {"keyboard_key", 256, 2},
      {"keyboard_key", -1, 2},   {"keyboard_lastkey", 2.5, 2}, {"keyboard_lastkey", 3.5, 4},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Set(c.variable, Real(2)));
    EXPECT_TRUE(Set(c.variable, Real(c.value))) << c.variable;  // refused values are ignored, not errors
    EXPECT_EQ(Get(c.variable).val, c.expect) << c.variable << " = " << c.value;
  }
  // mouse_button becomes 0 only by a release.
  in.ButtonDown(1);
  in.ButtonUp(3);
  EXPECT_EQ(Get("mouse_button").val, 0);
  EXPECT_EQ(Get("mouse_lastbutton").val, 1);
  // mouse_x and mouse_y cannot be assigned.
  EXPECT_FALSE(IsVariableWritable(FindBuiltinVariable("mouse_x")));
  EXPECT_EQ(RunCode("mouse_x = 5; return 1").str.view().substr(0, 7), "failed:");
}

TEST_F(InputTest, ButtonsWheelAndTheStepClear) {
  CInput& in = Input();
  EXPECT_EQ(CallReal("mouse_check_button", {Real(mb::kNone)}), 1);
  in.ButtonDown(2);
  EXPECT_EQ(Buttons(2), "hp-");
  EXPECT_EQ(Buttons(mb::kAny), "hp-");
  EXPECT_EQ(Buttons(mb::kNone), "--r");  // nothing released yet
  EXPECT_EQ(Get("mouse_button").val, 2);
  in.Wheel(1);
  EXPECT_EQ(CallReal("mouse_wheel_up"), 1);
  EXPECT_EQ(CallReal("mouse_wheel_down"), 0);
  in.EndStep();
  EXPECT_EQ(Buttons(2), "h--");
  EXPECT_EQ(CallReal("mouse_wheel_up"), 0);
  in.Wheel(-3);
  EXPECT_EQ(CallReal("mouse_wheel_down"), 1);
  in.ButtonUp(2);
  EXPECT_EQ(Buttons(2), "--r");
  EXPECT_EQ(Buttons(4), "---");
  in.ButtonDown(0);  // not a button of the games
  in.ButtonDown(4);
  EXPECT_EQ(Get("mouse_lastbutton").val, 2);

  // mouse_clear and keyboard_clear process pending messages first, then clear that one.
  CFakeDevice device;
  device.deliveries = {[] { Input().ButtonDown(1); }, [] { Input().KeyDown(50); }};
  SetInputDevice(&device);
  Call("mouse_clear", {Real(1)});
  EXPECT_EQ(Buttons(1), "---");
  EXPECT_EQ(Get("mouse_lastbutton").val, 1);
  Call("keyboard_clear", {Real(50)});
  EXPECT_EQ(Flags(50), "---");
  EXPECT_EQ(device.processed, 2);
  Call("io_handle");
  EXPECT_EQ(device.processed, 3);

  // The full clear: everything but the key map and the pointer.
  in.KeyDown(70);
  in.Character('q');
  in.ButtonDown(3);
  in.Wheel(1);
  Call("io_clear");
  EXPECT_EQ(Flags(70), "---");
  EXPECT_EQ(Buttons(3), "---");
  EXPECT_EQ(CallReal("mouse_wheel_up"), 0);
  EXPECT_EQ(in.String(), "");
  EXPECT_EQ(in.LastChar(), "");
  EXPECT_EQ(in.LastKey() + in.CurrentKey() + in.LastButton() + in.CurrentButton(), 0);
}

TEST_F(InputTest, CloseRequestIsEscapeOrTheCloseButtonEvent) {
  CInput& in = Input();
  GameSettings().closeActsAsEsc = true;
  in.CloseRequest();
  EXPECT_EQ(Flags(vk::kEscape), "h--");  // held, never pressed
  EXPECT_EQ(in.LastKey(), vk::kEscape);
  EXPECT_EQ(in.CurrentKey(), vk::kEscape);
  EXPECT_FALSE(in.TakeCloseButton());
  in.EndStep();
  EXPECT_EQ(Flags(vk::kEscape), "h--");  // until a real key-up
  in.KeyUp(vk::kEscape);
  EXPECT_EQ(Flags(vk::kEscape), "--r");
  EXPECT_EQ(in.CurrentKey(), 0);

  in.Reset();
  GameSettings().closeActsAsEsc = false;
  in.CloseRequest();
  EXPECT_FALSE(in.AnyHeld());
  EXPECT_TRUE(in.TakeCloseButton());
  EXPECT_FALSE(in.TakeCloseButton());
}

TEST_F(InputTest, AWindowOverTheGameTakesKeysAndTheCloseRequest) {
  struct COverlay final : IInputOverlay {
    std::vector<std::pair<int, bool>> keys;
    int closed = 0;
    void Key(int key, bool down) override { keys.emplace_back(key, down); }
    void Close() override { ++closed; }
  } overlay;
  CInput& in = Input();
  in.SetOverlay(&overlay);
  in.KeyDown(27);
  in.KeyUp(32);
  in.Character('x');
  in.ButtonDown(1);
  in.Wheel(1);
  in.CloseRequest();
  EXPECT_EQ(overlay.keys, (std::vector<std::pair<int, bool>>{{27, true}, {32, false}}));
  EXPECT_EQ(overlay.closed, 1);
  EXPECT_FALSE(in.AnyHeld());
  EXPECT_EQ(in.LastKey(), 0);
  EXPECT_EQ(in.String(), "");
  EXPECT_FALSE(in.ButtonHeld(1));
  EXPECT_FALSE(in.WheelUp());
  in.SetOverlay(nullptr);
  in.KeyDown(27);
  EXPECT_EQ(in.LastKey(), 27);
}

TEST_F(InputTest, MousePositionInTheRoomGoesThroughTheWindowAndTheHighestView) {
  // No window and no views: the client position is the room position.
  Input().MouseMove(37.4, 12.6);
  EXPECT_EQ(Get("mouse_x").val, 37);
  EXPECT_EQ(Get("mouse_y").val, 13);

  // A 320 x 240 region drawn twice as large at (0, 0) of a 640 x 480 client area.
  CGameWindow window;
  window.SetRegionSize(320, 240, true);
  window.SetRegionScale(2, true);
  SetGameWindow(&window);
  Input().MouseMove(300, 100);
  EXPECT_EQ(Get("mouse_x").val, 150);
  EXPECT_EQ(Get("mouse_y").val, 50);

  // Two views whose ports overlap: the higher-numbered one that contains the point wins.
  RPort v0;
  v0.used = true;
  v0.xview = 1000, v0.yview = 0, v0.wview = 320, v0.hview = 240;
  v0.xport = 0, v0.yport = 0, v0.wport = 320, v0.hport = 240;
  RPort v1 = v0;
  v1.xview = 2000, v1.yview = 500, v1.wview = 80, v1.hview = 60;
  v1.xport = 100, v1.yport = 0, v1.wport = 160, v1.hport = 120;
  Ports().Set(0, v0);
  Ports().Set(1, v1);
  EXPECT_EQ(RunCode("return mouse_x").val, 2025);  // in view 1
  EXPECT_EQ(Get("mouse_y").val, 525);
  Input().MouseMove(20, 20);  // region (10, 10): outside view 1's port, inside view 0
  EXPECT_EQ(Get("mouse_x").val, 1010);
  EXPECT_EQ(Get("mouse_y").val, 10);
  Input().MouseMove(-400, -400);  // in no view: the lowest used view's result
  EXPECT_EQ(Get("mouse_x").val, 800);
  EXPECT_EQ(Get("mouse_y").val, -200);
}

TEST_F(InputTest, JoystickFunctionsWithoutAJoystickReadAsMissing) {
  CFakeJoysticks pads;
  for (IJoysticks* source : {static_cast<IJoysticks*>(nullptr), static_cast<IJoysticks*>(&pads)}) {
    SetJoysticks(source);
    // Without a source nothing exists; with the fake, the second joystick is missing.
    double id = source ? 2 : 1;
    EXPECT_EQ(CallReal("joystick_exists", {Real(id)}), 0);
    EXPECT_EQ(Call("joystick_name", {Real(id)}).str.view(), "");
    EXPECT_TRUE(Call("joystick_name", {Real(id)}).IsString());
    EXPECT_EQ(CallReal("joystick_axes", {Real(id)}), 0);
    EXPECT_EQ(CallReal("joystick_buttons", {Real(id)}), 0);
    EXPECT_EQ(CallReal("joystick_has_pov", {Real(id)}), 0);
    EXPECT_EQ(CallReal("joystick_direction", {Real(id)}), 101);
    EXPECT_EQ(CallReal("joystick_check_button", {Real(id), Real(1)}), 0);
    for (const char* axis : {"joystick_xpos", "joystick_ypos", "joystick_zpos", "joystick_rpos", "joystick_upos",
                             "joystick_vpos"})
      EXPECT_EQ(CallReal(axis, {Real(id)}), 0) << axis;
    EXPECT_EQ(CallReal("joystick_pov", {Real(id)}), -1);
  }
}

TEST_F(InputTest, JoystickPositionsButtonsAndPointOfView) {
  CFakeJoysticks pads;
  SetJoysticks(&pads);
  EXPECT_EQ(CallReal("joystick_exists", {Real(1)}), 1);
  EXPECT_EQ(CallReal("joystick_exists", {Real(7)}), 1);  // any id but 2 is the first
  EXPECT_EQ(Call("joystick_name", {Real(0)}).str.view(), "Pad One");
  EXPECT_EQ(CallReal("joystick_axes", {Real(1)}), 4);
  EXPECT_EQ(CallReal("joystick_buttons", {Real(1)}), 12);
  EXPECT_EQ(CallReal("joystick_has_pov", {Real(1)}), 1);

  struct Dir {
    uint32_t x, y;
    int expect;
  } dirs[] = {
      {32767, 32767, 101}, {0, 0, 103},     {19999, 19999, 103}, {20000, 20000, 101}, {44000, 44000, 101},
      {44001, 44001, 99},  {65535, 0, 105}, {0, 65535, 97},      {32767, 0, 104},     {32767, 65535, 98},
      {0, 32767, 100},     {65535, 32767, 102}, {20000, 19999, 104}, {44000, 44001, 98},
  };
  for (const Dir& d : dirs) {
    pads.first.x = d.x;
    pads.first.y = d.y;
    EXPECT_EQ(CallReal("joystick_direction", {Real(1)}), d.expect) << d.x << "," << d.y;
  }

  pads.first = RJoystickState{};
  EXPECT_EQ(CallReal("joystick_xpos", {Real(1)}), 0);  // a resting stick
  pads.first.x = 0;
  pads.first.y = 65534;
  pads.first.v = 16383;
  EXPECT_EQ(CallReal("joystick_xpos", {Real(1)}), -1);
  EXPECT_EQ(CallReal("joystick_ypos", {Real(1)}), 1);
  EXPECT_NEAR(CallReal("joystick_vpos", {Real(1)}), -0.5, 1e-4);

  pads.first.buttons = (1u << 0) | (1u << 5) | (1u << 31);
  for (int b = 0; b <= 33; ++b) {
    bool expect = b == 1 || b == 6 || b == 32;
    EXPECT_EQ(CallReal("joystick_check_button", {Real(1), Real(b)}), expect ? 1 : 0) << b;
  }

  for (auto [pov, degrees] : std::initializer_list<std::pair<uint32_t, double>>{
           {0, 0}, {9000, 90}, {31500, 315}, {36000, 360}, {36001, -1}, {65535, -1}})
  {
    pads.first.pov = pov;
    EXPECT_EQ(CallReal("joystick_pov", {Real(1)}), degrees) << pov;
  }

  // The second joystick is read as id 2 only.
  pads.hasSecond = true;
  pads.second.x = 65535;
  EXPECT_EQ(CallReal("joystick_xpos", {Real(2)}), 65535 / 32767.0 - 1);
  EXPECT_EQ(Call("joystick_name", {Real(2)}).str.view(), "Pad Two");
}

TEST_F(InputTest, WaitsReturnAtOnceWithoutEventsAndBlockUntilAKeyOrButton) {
  // No desktop: the last key is reset and the wait ends.
  Input().SetLastKey(40);
  Call("keyboard_wait");
  EXPECT_EQ(Input().LastKey(), 0);
  Call("mouse_wait");

  // A desktop without any source of events: one round of messages, then done.
  CFakeDevice idle;
  idle.source = false;
  SetInputDevice(&idle);
  Call("keyboard_wait");
  EXPECT_EQ(idle.processed, 1);
  EXPECT_EQ(idle.waited, 0);

  // A key arrives in the third round of messages.
  CFakeDevice device;
  device.deliveries = {nullptr, [] { Input().KeyUp(65); }, [] { Input().KeyDown(66); }};
  SetInputDevice(&device);
  Input().SetLastKey(12);
  Call("keyboard_wait");
  EXPECT_EQ(Input().LastKey(), 66);
  EXPECT_EQ(device.processed, 3);
  EXPECT_EQ(device.waited, 2);

  // mouse_wait starts from no button, so an earlier one does not end it.
  Input().ButtonDown(1);
  device.processed = device.waited = 0;
  device.deliveries = {nullptr, [] { Input().ButtonDown(3); }};
  Call("mouse_wait");
  EXPECT_EQ(Input().LastButton(), 3);
  EXPECT_EQ(device.processed, 2);
}

TEST_F(InputTest, NumLockAndSentKeysGoToTheDesktop) {
  CFakeDevice device;
  SetInputDevice(&device);
  EXPECT_EQ(CallReal("keyboard_get_numlock"), 0);
  Call("keyboard_set_numlock", {Real(0)});  // already off: nothing sent
  EXPECT_TRUE(device.sent.empty());
  Call("keyboard_set_numlock", {Real(0.5)});
  EXPECT_EQ(CallReal("keyboard_get_numlock"), 1);
  EXPECT_EQ(device.sent, (std::vector<std::pair<int, bool>>{{144, true}, {144, false}}));
  device.sent.clear();
  Call("keyboard_key_press", {Real(65)});
  Call("keyboard_key_release", {Real(65.4)});
  Call("keyboard_key_press", {Real(256)});  // not a key code
  EXPECT_EQ(device.sent, (std::vector<std::pair<int, bool>>{{65, true}, {65, false}}));
  SetInputDevice(nullptr);
  EXPECT_EQ(CallReal("keyboard_get_numlock"), 0);
  Call("keyboard_key_press", {Real(65)});  // nowhere to send: nothing happens
}

}  // namespace
}  // namespace kestro::test
