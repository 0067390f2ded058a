// The SDL side of input, headless: the key-code table, SDL events pushed onto the queue reaching the
// input model through the game window's message processing, keys sent by the game, and joysticks
// (none, then SDL's virtual joystick).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "graphics/GameWindow.h"
#include "graphics/Input.h"
#include "platform/sdl/SdlGameWindow.h"
#include "platform/sdl/SdlInput.h"
#include "resources/GameSettings.h"
#include "script/builtins/FunctionRegistry.h"

namespace kestro::test {
namespace {

using platform::SdlGameWindow;

TEST(SdlKeyCodes, ScancodesAreTheGamesVirtualKeys) {
  struct Case {
    SDL_Scancode sc;
    bool numLock;
    int key;
  } cases[] = {
      {SDL_SCANCODE_LEFT, true, 37},      {SDL_SCANCODE_UP, true, 38},         {SDL_SCANCODE_RIGHT, true, 39},
      {SDL_SCANCODE_DOWN, true, 40},      {SDL_SCANCODE_RETURN, true, 13},     {SDL_SCANCODE_KP_ENTER, true, 13},
      {SDL_SCANCODE_ESCAPE, true, 27},    {SDL_SCANCODE_SPACE, true, 32},      {SDL_SCANCODE_BACKSPACE, true, 8},
      {SDL_SCANCODE_TAB, true, 9},        {SDL_SCANCODE_LSHIFT, true, 16},     {SDL_SCANCODE_RSHIFT, true, 16},
      {SDL_SCANCODE_LCTRL, true, 17},     {SDL_SCANCODE_RCTRL, true, 17},      {SDL_SCANCODE_LALT, true, 18},
      {SDL_SCANCODE_RALT, true, 18},      {SDL_SCANCODE_PAUSE, true, 19},      {SDL_SCANCODE_CAPSLOCK, true, 20},
      {SDL_SCANCODE_PAGEUP, true, 33},    {SDL_SCANCODE_PAGEDOWN, true, 34},   {SDL_SCANCODE_END, true, 35},
      {SDL_SCANCODE_HOME, true, 36},      {SDL_SCANCODE_PRINTSCREEN, true, 44}, {SDL_SCANCODE_INSERT, true, 45},
      {SDL_SCANCODE_DELETE, true, 46},    {SDL_SCANCODE_0, true, 48},          {SDL_SCANCODE_9, true, 57},
      {SDL_SCANCODE_A, true, 65},         {SDL_SCANCODE_Z, true, 90},          {SDL_SCANCODE_LGUI, true, 91},
      {SDL_SCANCODE_APPLICATION, true, 93}, {SDL_SCANCODE_KP_0, true, 96},     {SDL_SCANCODE_KP_5, true, 101},
      {SDL_SCANCODE_KP_9, true, 105},     {SDL_SCANCODE_KP_MULTIPLY, true, 106}, {SDL_SCANCODE_KP_PLUS, true, 107},
      {SDL_SCANCODE_KP_MINUS, true, 109}, {SDL_SCANCODE_KP_PERIOD, true, 110}, {SDL_SCANCODE_KP_DIVIDE, true, 111},
      {SDL_SCANCODE_F1, true, 112},       {SDL_SCANCODE_F4, true, 115},        {SDL_SCANCODE_F12, true, 123},
      {SDL_SCANCODE_F24, true, 135},      {SDL_SCANCODE_NUMLOCKCLEAR, true, 144},
      {SDL_SCANCODE_SCROLLLOCK, true, 145},
      {SDL_SCANCODE_SEMICOLON, true, 186}, {SDL_SCANCODE_EQUALS, true, 187},   {SDL_SCANCODE_COMMA, true, 188},
      {SDL_SCANCODE_MINUS, true, 189},    {SDL_SCANCODE_PERIOD, true, 190},    {SDL_SCANCODE_SLASH, true, 191},
      {SDL_SCANCODE_GRAVE, true, 192},    {SDL_SCANCODE_LEFTBRACKET, true, 219},
      {SDL_SCANCODE_BACKSLASH, true, 220},
      {SDL_SCANCODE_RIGHTBRACKET, true, 221}, {SDL_SCANCODE_APOSTROPHE, true, 222},
      {SDL_SCANCODE_NONUSBACKSLASH, true, 226},
      // The keypad without Num Lock is the navigation keys; its other keys stay.
      {SDL_SCANCODE_KP_0, false, 45},     {SDL_SCANCODE_KP_1, false, 35},      {SDL_SCANCODE_KP_2, false, 40},
      {SDL_SCANCODE_KP_3, false, 34},     {SDL_SCANCODE_KP_4, false, 37},      {SDL_SCANCODE_KP_5, false, 12},
      {SDL_SCANCODE_KP_6, false, 39},     {SDL_SCANCODE_KP_7, false, 36},      {SDL_SCANCODE_KP_8, false, 38},
      {SDL_SCANCODE_KP_9, false, 33},     {SDL_SCANCODE_KP_PERIOD, false, 46}, {SDL_SCANCODE_KP_PLUS, false, 107},
      {SDL_SCANCODE_KP_ENTER, false, 13},
      // Keys without a code of the games.
      {SDL_SCANCODE_UNKNOWN, true, 0},    {SDL_SCANCODE_KP_EQUALS, true, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(platform::VirtualKeyFromScancode(c.sc, c.numLock), c.key)
        << SDL_GetScancodeName(c.sc) << " " << c.numLock;
  // Every scancode, and values beyond them, give a code of 0..255.
  for (int sc = -3; sc < SDL_NUM_SCANCODES + 3; ++sc) {
    int k = platform::VirtualKeyFromScancode(sc, sc % 2 == 0);
    EXPECT_TRUE(k >= 0 && k <= 255) << sc;
  }
}

TEST(SdlKeyCodes, LettersFollowTheLayoutAndButtonsTheGamesNumbering) {
  SDL_Keysym k{};
  k.scancode = SDL_SCANCODE_Q;  // where a French layout types "a"
  k.sym = SDLK_a;
  EXPECT_EQ(platform::VirtualKey(k), 65);
  k.sym = 0x0439;  // a Cyrillic letter on the same key: the key's position decides
  EXPECT_EQ(platform::VirtualKey(k), 81);
  k.scancode = SDL_SCANCODE_KP_7;
  k.sym = SDLK_KP_7;
  k.mod = KMOD_NUM;
  EXPECT_EQ(platform::VirtualKey(k), 103);
  k.mod = KMOD_NONE;
  EXPECT_EQ(platform::VirtualKey(k), 36);

  EXPECT_EQ(platform::MouseButton(SDL_BUTTON_LEFT), 1);
  EXPECT_EQ(platform::MouseButton(SDL_BUTTON_RIGHT), 2);
  EXPECT_EQ(platform::MouseButton(SDL_BUTTON_MIDDLE), 3);
  EXPECT_EQ(platform::MouseButton(SDL_BUTTON_X1), 0);
  EXPECT_EQ(platform::MouseButton(SDL_BUTTON_X2), 0);
}

class SdlInputFeed : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("SDL_VIDEODRIVER", "offscreen", 0); }
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(w_.Create("input", error)) << error;
    w_.ProcessMessages();  // the window's own start-up events
    platform::AttachInput(w_);
  }
  void TearDown() override {
    platform::DetachInput(w_);
    w_.Destroy();
    GameSettings().Reset();
    Input().Reset();
  }
  static void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }
  static void Key(bool down, SDL_Scancode sc, SDL_Keycode sym, Uint16 mod = KMOD_NONE, bool repeat = false) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.scancode = sc;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    Push(e);
  }
  static void Text(const char* utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    std::strncpy(e.text.text, utf8, sizeof(e.text.text) - 1);
    Push(e);
  }
  static void Button(bool down, Uint8 button, int x, int y) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = button;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.x = x;
    e.button.y = y;
    Push(e);
  }
  SdlGameWindow w_;
};

TEST_F(SdlInputFeed, KeysTextButtonsWheelAndPointerReachTheModel) {
  CInput& in = Input();
  Key(true, SDL_SCANCODE_LEFT, SDLK_LEFT);
  Key(true, SDL_SCANCODE_LEFT, SDLK_LEFT, KMOD_NONE, true);  // auto-repeat
  Key(true, SDL_SCANCODE_A, SDLK_a);
  Text("a\xC3\xA9");
  Key(true, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE);  // its character is not SDL text
  Key(false, SDL_SCANCODE_A, SDLK_a);
  w_.ProcessMessages();
  EXPECT_TRUE(in.Held(37));
  EXPECT_TRUE(in.Pressed(37));
  EXPECT_TRUE(in.Released(65));
  EXPECT_FALSE(in.Held(65));
  EXPECT_EQ(in.LastKey(), 8);
  EXPECT_EQ(in.CurrentKey(), 8);  // A going up leaves Backspace the current key
  EXPECT_EQ(in.String(), "a");
  EXPECT_EQ(in.LastChar(), "\b");
  in.EndStep();
  Key(false, SDL_SCANCODE_LEFT, SDLK_LEFT);
  Key(false, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE);
  Key(true, SDL_SCANCODE_A, SDLK_a, KMOD_LCTRL);  // Control + A types character 1
  w_.ProcessMessages();
  EXPECT_TRUE(in.Released(37));
  EXPECT_FALSE(in.Pressed(37));
  EXPECT_TRUE(in.Released(8));
  EXPECT_EQ(in.LastChar(), "\x01");
  EXPECT_EQ(in.String(), "a");

  Button(true, SDL_BUTTON_RIGHT, 12, 34);
  Button(true, SDL_BUTTON_X1, 12, 34);
  SDL_Event wheel{};
  wheel.type = SDL_MOUSEWHEEL;
  wheel.wheel.y = -1;
  Push(wheel);
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.x = 50;
  motion.motion.y = 60;
  Push(motion);
  w_.ProcessMessages();
  EXPECT_TRUE(in.ButtonPressed(2));
  EXPECT_EQ(in.LastButton(), 2);
  EXPECT_TRUE(in.WheelDown());
  EXPECT_FALSE(in.WheelUp());
  EXPECT_EQ(in.MouseClientX(), 50);
  EXPECT_EQ(in.MouseClientY(), 60);
  Button(false, SDL_BUTTON_MIDDLE, 70, 80);
  w_.ProcessMessages();
  EXPECT_EQ(in.CurrentButton(), 0);
  EXPECT_TRUE(in.ButtonReleased(3));
  EXPECT_EQ(in.MouseClientX(), 70);

  // Events of another window are not the game's.
  Key(true, SDL_SCANCODE_B, SDLK_b);
  SDL_Event other{};
  other.type = SDL_KEYDOWN;
  other.key.windowID = SDL_GetWindowID(w_.Handle()) + 1000;
  other.key.keysym.scancode = SDL_SCANCODE_C;
  other.key.keysym.sym = SDLK_c;
  Push(other);
  w_.ProcessMessages();
  EXPECT_TRUE(in.Held(66));
  EXPECT_FALSE(in.Held(67));
}

TEST_F(SdlInputFeed, ThePointerPutByTheGameIsWhereMouseXReadsIt) {
  w_.SetRegionSize(320, 240, true);
  w_.SetRegionScale(2, true);
  w_.SetPosition(100, 50);
  SetGameWindow(&w_);
  w_.SetRegionMouse(10, 20);  // window_mouse_set
  int64_t x, y;
  Input().MouseInRoom(x, y);
  SetGameWindow(nullptr);
  EXPECT_EQ(Input().MouseClientX(), 20);
  EXPECT_EQ(Input().MouseClientY(), 40);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 20);
}

TEST_F(SdlInputFeed, TheCloseRequestAndKeysSentByTheGame) {
  CInput& in = Input();
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  close.window.windowID = SDL_GetWindowID(w_.Handle());
  Push(close);
  w_.ProcessMessages();
  EXPECT_TRUE(w_.CloseRequested());
  EXPECT_TRUE(in.Held(27));
  EXPECT_FALSE(in.Pressed(27));
  EXPECT_EQ(in.LastKey(), 27);
  w_.ClearCloseRequest();

  in.Reset();
  GameSettings().closeActsAsEsc = false;
  Push(close);
  w_.ProcessMessages();
  EXPECT_FALSE(in.Held(27));
  EXPECT_TRUE(in.TakeCloseButton());
  w_.ClearCloseRequest();

  // keyboard_key_press goes round through the queue, for any code 0..255 (150 has no key).
  auto call = [](const char* name, double arg) {
    RValue args[16];
    args[0] = RValue::Real(arg);
    RValue r;
    BuiltinRegistry().Call(*BuiltinRegistry().Find(name), nullptr, nullptr, 1, args, r);
    return r.val;
  };
  call("keyboard_key_press", 150);
  EXPECT_FALSE(in.Held(150));  // not before the messages are processed
  call("io_handle", 0);
  EXPECT_TRUE(in.Pressed(150));
  call("keyboard_key_release", 150);
  call("keyboard_key_press", 70);
  // keyboard_wait processes messages first, so a key already queued ends it at once; without
  // events arriving (headless) it does not block.
  call("keyboard_wait", 0);
  EXPECT_EQ(in.LastKey(), 70);
  EXPECT_TRUE(in.Released(150));
  call("keyboard_wait", 0);
  EXPECT_EQ(in.LastKey(), 0);
  call("mouse_wait", 0);
  EXPECT_EQ(call("keyboard_check_direct", 37), 0);  // nothing is physically down headless
}

TEST_F(SdlInputFeed, JoysticksNoneAttachedThenAVirtualOne) {
  platform::SdlJoysticks pads;
  RJoystickState s;
  RJoystickCaps caps;
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) GTEST_SKIP() << SDL_GetError();
  if (SDL_NumJoysticks() == 0) {
    EXPECT_FALSE(pads.Read(0, s));
    EXPECT_FALSE(pads.Caps(0, caps));
  }
  EXPECT_FALSE(pads.Read(-1, s));
  EXPECT_FALSE(pads.Read(SDL_NumJoysticks(), s));

  const int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 12, 1);
  if (device < 0) GTEST_SKIP() << "no virtual joysticks: " << SDL_GetError();
  ASSERT_TRUE(pads.Caps(device, caps));
  EXPECT_EQ(caps.axes, 6);
  EXPECT_EQ(caps.buttons, 12);
  EXPECT_TRUE(caps.hasPov);
  SDL_Joystick* j = SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(device));
  ASSERT_NE(j, nullptr);
  // Read whether or not the game window has the focus (it never has, headless).
  SDL_JoystickSetVirtualAxis(j, 0, -32768);
  SDL_JoystickSetVirtualAxis(j, 1, 32767);
  SDL_JoystickSetVirtualAxis(j, 2, 0);
  SDL_JoystickSetVirtualButton(j, 0, SDL_PRESSED);
  SDL_JoystickSetVirtualButton(j, 11, SDL_PRESSED);
  SDL_JoystickSetVirtualHat(j, 0, SDL_HAT_LEFTUP);
  ASSERT_TRUE(pads.Read(device, s));
  EXPECT_EQ(s.x, 0u);
  EXPECT_EQ(s.y, 65534u);
  EXPECT_EQ(s.z, 32767u);
  EXPECT_EQ(s.buttons, (1u << 0) | (1u << 11));
  EXPECT_EQ(s.pov, 31500u);
  EXPECT_EQ(JoystickDirection(&s), 96 + 1 + 0);  // left and down
  SDL_JoystickSetVirtualHat(j, 0, SDL_HAT_CENTERED);
  ASSERT_TRUE(pads.Read(device, s));
  EXPECT_EQ(s.pov, RJoystickState::kPovCentred);

  SDL_JoystickDetachVirtual(device);
  SDL_JoystickUpdate();
  if (SDL_NumJoysticks() <= device) {
    EXPECT_FALSE(pads.Read(device, s));
  }
  pads.Close();
}

}  // namespace
}  // namespace kestro::test
