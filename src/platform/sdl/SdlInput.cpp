#include "platform/sdl/SdlInput.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "platform/sdl/SdlGameWindow.h"

namespace kestro::platform {

namespace {

struct RKeyPair {
  SDL_Scancode sc;
  uint8_t key;
};

// Keys by their position, in the numbering of the games' virtual-key codes (punctuation as on a
// US keyboard). The keypad's digits and point are here with Num Lock on.
constexpr RKeyPair kKeys[] = {
    {SDL_SCANCODE_BACKSPACE, 8}, {SDL_SCANCODE_TAB, 9}, {SDL_SCANCODE_CLEAR, 12}, {SDL_SCANCODE_RETURN, 13},
    {SDL_SCANCODE_RETURN2, 13}, {SDL_SCANCODE_KP_ENTER, 13}, {SDL_SCANCODE_LSHIFT, 16}, {SDL_SCANCODE_RSHIFT, 16},
    {SDL_SCANCODE_LCTRL, 17}, {SDL_SCANCODE_RCTRL, 17}, {SDL_SCANCODE_LALT, 18}, {SDL_SCANCODE_RALT, 18},
    {SDL_SCANCODE_PAUSE, 19}, {SDL_SCANCODE_CAPSLOCK, 20}, {SDL_SCANCODE_ESCAPE, 27}, {SDL_SCANCODE_SPACE, 32},
    {SDL_SCANCODE_PAGEUP, 33}, {SDL_SCANCODE_PAGEDOWN, 34}, {SDL_SCANCODE_END, 35}, {SDL_SCANCODE_HOME, 36},
    {SDL_SCANCODE_LEFT, 37}, {SDL_SCANCODE_UP, 38}, {SDL_SCANCODE_RIGHT, 39}, {SDL_SCANCODE_DOWN, 40},
    {SDL_SCANCODE_SELECT, 41}, {SDL_SCANCODE_EXECUTE, 43}, {SDL_SCANCODE_PRINTSCREEN, 44},
    {SDL_SCANCODE_INSERT, 45}, {SDL_SCANCODE_DELETE, 46}, {SDL_SCANCODE_HELP, 47},
    {SDL_SCANCODE_0, 48}, {SDL_SCANCODE_1, 49}, {SDL_SCANCODE_2, 50}, {SDL_SCANCODE_3, 51}, {SDL_SCANCODE_4, 52},
    {SDL_SCANCODE_5, 53}, {SDL_SCANCODE_6, 54}, {SDL_SCANCODE_7, 55}, {SDL_SCANCODE_8, 56}, {SDL_SCANCODE_9, 57},
    {SDL_SCANCODE_A, 65}, {SDL_SCANCODE_B, 66}, {SDL_SCANCODE_C, 67}, {SDL_SCANCODE_D, 68}, {SDL_SCANCODE_E, 69},
    {SDL_SCANCODE_F, 70}, {SDL_SCANCODE_G, 71}, {SDL_SCANCODE_H, 72}, {SDL_SCANCODE_I, 73}, {SDL_SCANCODE_J, 74},
    {SDL_SCANCODE_K, 75}, {SDL_SCANCODE_L, 76}, {SDL_SCANCODE_M, 77}, {SDL_SCANCODE_N, 78}, {SDL_SCANCODE_O, 79},
    {SDL_SCANCODE_P, 80}, {SDL_SCANCODE_Q, 81}, {SDL_SCANCODE_R, 82}, {SDL_SCANCODE_S, 83}, {SDL_SCANCODE_T, 84},
    {SDL_SCANCODE_U, 85}, {SDL_SCANCODE_V, 86}, {SDL_SCANCODE_W, 87}, {SDL_SCANCODE_X, 88}, {SDL_SCANCODE_Y, 89},
    {SDL_SCANCODE_Z, 90}, {SDL_SCANCODE_LGUI, 91}, {SDL_SCANCODE_RGUI, 92}, {SDL_SCANCODE_APPLICATION, 93},
    {SDL_SCANCODE_SLEEP, 95},
    {SDL_SCANCODE_KP_0, 96}, {SDL_SCANCODE_KP_1, 97}, {SDL_SCANCODE_KP_2, 98}, {SDL_SCANCODE_KP_3, 99},
    {SDL_SCANCODE_KP_4, 100}, {SDL_SCANCODE_KP_5, 101}, {SDL_SCANCODE_KP_6, 102}, {SDL_SCANCODE_KP_7, 103},
    {SDL_SCANCODE_KP_8, 104}, {SDL_SCANCODE_KP_9, 105}, {SDL_SCANCODE_KP_MULTIPLY, 106},
    {SDL_SCANCODE_KP_PLUS, 107}, {SDL_SCANCODE_KP_MINUS, 109}, {SDL_SCANCODE_KP_PERIOD, 110},
    {SDL_SCANCODE_KP_DIVIDE, 111},
    {SDL_SCANCODE_F1, 112}, {SDL_SCANCODE_F2, 113}, {SDL_SCANCODE_F3, 114}, {SDL_SCANCODE_F4, 115},
    {SDL_SCANCODE_F5, 116}, {SDL_SCANCODE_F6, 117}, {SDL_SCANCODE_F7, 118}, {SDL_SCANCODE_F8, 119},
    {SDL_SCANCODE_F9, 120}, {SDL_SCANCODE_F10, 121}, {SDL_SCANCODE_F11, 122}, {SDL_SCANCODE_F12, 123},
    {SDL_SCANCODE_F13, 124}, {SDL_SCANCODE_F14, 125}, {SDL_SCANCODE_F15, 126}, {SDL_SCANCODE_F16, 127},
    {SDL_SCANCODE_F17, 128}, {SDL_SCANCODE_F18, 129}, {SDL_SCANCODE_F19, 130}, {SDL_SCANCODE_F20, 131},
    {SDL_SCANCODE_F21, 132}, {SDL_SCANCODE_F22, 133}, {SDL_SCANCODE_F23, 134}, {SDL_SCANCODE_F24, 135},
    {SDL_SCANCODE_NUMLOCKCLEAR, 144}, {SDL_SCANCODE_SCROLLLOCK, 145},
    {SDL_SCANCODE_AC_BACK, 166}, {SDL_SCANCODE_AC_FORWARD, 167}, {SDL_SCANCODE_AC_REFRESH, 168},
    {SDL_SCANCODE_AC_STOP, 169}, {SDL_SCANCODE_AC_SEARCH, 170}, {SDL_SCANCODE_AC_BOOKMARKS, 171},
    {SDL_SCANCODE_AC_HOME, 172}, {SDL_SCANCODE_MUTE, 173}, {SDL_SCANCODE_AUDIOMUTE, 173},
    {SDL_SCANCODE_VOLUMEDOWN, 174}, {SDL_SCANCODE_VOLUMEUP, 175}, {SDL_SCANCODE_AUDIONEXT, 176},
    {SDL_SCANCODE_AUDIOPREV, 177}, {SDL_SCANCODE_AUDIOSTOP, 178}, {SDL_SCANCODE_AUDIOPLAY, 179},
    {SDL_SCANCODE_MAIL, 180}, {SDL_SCANCODE_MEDIASELECT, 181}, {SDL_SCANCODE_COMPUTER, 182},
    {SDL_SCANCODE_CALCULATOR, 183},
    {SDL_SCANCODE_SEMICOLON, 186}, {SDL_SCANCODE_EQUALS, 187}, {SDL_SCANCODE_COMMA, 188},
    {SDL_SCANCODE_MINUS, 189}, {SDL_SCANCODE_PERIOD, 190}, {SDL_SCANCODE_SLASH, 191}, {SDL_SCANCODE_GRAVE, 192},
    {SDL_SCANCODE_LEFTBRACKET, 219}, {SDL_SCANCODE_BACKSLASH, 220}, {SDL_SCANCODE_NONUSHASH, 220},
    {SDL_SCANCODE_RIGHTBRACKET, 221}, {SDL_SCANCODE_APOSTROPHE, 222}, {SDL_SCANCODE_NONUSBACKSLASH, 226},
};

const std::array<uint8_t, SDL_NUM_SCANCODES>& KeyTable() {
  static const std::array<uint8_t, SDL_NUM_SCANCODES> table = [] {
    std::array<uint8_t, SDL_NUM_SCANCODES> t{};
    for (const RKeyPair& p : kKeys) t[size_t(p.sc)] = p.key;
    return t;
  }();
  return table;
}

// The keypad with Num Lock off: 0 Insert, 1 End, 2 Down, 3 Page Down, 4 Left, 5 Clear, 6 Right,
// 7 Home, 8 Up, 9 Page Up, the point Delete.
int KeypadWithoutNumLock(SDL_Scancode sc) {
  static constexpr uint8_t kDigits[10] = {45, 35, 40, 34, 37, 12, 39, 36, 38, 33};
  if (sc == SDL_SCANCODE_KP_0) return kDigits[0];
  if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9) return kDigits[sc - SDL_SCANCODE_KP_1 + 1];
  if (sc == SDL_SCANCODE_KP_PERIOD) return 46;
  return -1;
}

// The left and right modifier codes the direct check knows apart.
SDL_Scancode SidedModifier(int key) {
  switch (key) {
    case 160: return SDL_SCANCODE_LSHIFT;
    case 161: return SDL_SCANCODE_RSHIFT;
    case 162: return SDL_SCANCODE_LCTRL;
    case 163: return SDL_SCANCODE_RCTRL;
    case 164: return SDL_SCANCODE_LALT;
    case 165: return SDL_SCANCODE_RALT;
    default: return SDL_SCANCODE_UNKNOWN;
  }
}

// The character a key types that SDL leaves out of its text (control characters).
int ControlCharacter(const SDL_Keysym& k) {
  switch (k.sym) {
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    case SDLK_RETURN:
    case SDLK_RETURN2:
    case SDLK_KP_ENTER: return 13;
    case SDLK_ESCAPE: return 27;
    default: break;
  }
  // Control + letter types 1..26; with Alt it is AltGr, whose characters come as text.
  if ((k.mod & KMOD_CTRL) && !(k.mod & KMOD_ALT) && k.sym >= SDLK_a && k.sym <= SDLK_z)
    return int(k.sym - SDLK_a) + 1;
  return -1;
}

// Decodes UTF-8 text into code points; a malformed byte is skipped.
template <typename Fn>
void ForEachCodePoint(const char* s, Fn fn) {
  const auto* p = reinterpret_cast<const unsigned char*>(s);
  while (*p) {
    uint32_t c = *p;
    int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0) {
      ++p;
      continue;
    }
    c &= extra == 0 ? 0x7F : (0x3F >> extra);
    int k = 1;
    for (; k <= extra && (p[k] & 0xC0) == 0x80; ++k) c = (c << 6) | (p[k] & 0x3F);
    if (k <= extra) {  // cut short
      p += k;
      continue;
    }
    p += k;
    fn(c);
  }
}

// The event type of keys sent by the game itself.
Uint32 SentKeyEvent() {
  static Uint32 type = SDL_RegisterEvents(1);
  return type;
}

bool HeadlessDriver() {
  const char* d = SDL_GetCurrentVideoDriver();
  return !d || std::string(d) == "offscreen" || std::string(d) == "dummy";
}

SdlInputDevice* g_device = nullptr;
SdlJoysticks* g_joysticks = nullptr;

}  // namespace

int VirtualKeyFromScancode(int scancode, bool numLock) {
  if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
  const auto sc = SDL_Scancode(scancode);
  if (!numLock) {
    int nav = KeypadWithoutNumLock(sc);
    if (nav >= 0) return nav;
  }
  return KeyTable()[size_t(sc)];
}

int VirtualKey(const SDL_Keysym& key) {
  if (key.sym >= SDLK_a && key.sym <= SDLK_z) return 'A' + int(key.sym - SDLK_a);
  return VirtualKeyFromScancode(key.scancode, (key.mod & KMOD_NUM) != 0);
}

int MouseButton(uint8_t sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return mb::kLeft;
    case SDL_BUTTON_RIGHT: return mb::kRight;
    case SDL_BUTTON_MIDDLE: return mb::kMiddle;
    default: return 0;
  }
}

void FeedInputEvent(const SDL_Event& e, const SdlGameWindow* window) {
  const Uint32 own = window && window->Handle() ? SDL_GetWindowID(window->Handle()) : 0;
  // Events of another window (the loading window) are not the game's; pushed ones name none.
  auto ours = [own](Uint32 id) { return id == 0 || own == 0 || id == own; };
  auto client = [window](double wx, double wy) {
    double cx = wx, cy = wy;
    if (window) window->WindowPointToClient(wx, wy, cx, cy);
    FeedDeviceEvent({RInputEvent::kMouse, 0, cx, cy});
  };
  auto feed = [](RInputEvent::EKind kind, int64_t value) { FeedDeviceEvent({kind, value, 0, 0}); };
  switch (e.type) {
    case SDL_KEYDOWN: {
      if (!ours(e.key.windowID)) return;
      int key = VirtualKey(e.key.keysym);
      if (key > 0) feed(RInputEvent::kKeyDown, key);
      int c = ControlCharacter(e.key.keysym);
      if (c >= 0) feed(RInputEvent::kChar, c);
      return;
    }
    case SDL_KEYUP: {
      if (!ours(e.key.windowID)) return;
      int key = VirtualKey(e.key.keysym);
      if (key > 0) feed(RInputEvent::kKeyUp, key);
      return;
    }
    case SDL_TEXTINPUT:
      if (ours(e.text.windowID)) ForEachCodePoint(e.text.text, [&](uint32_t c) { feed(RInputEvent::kChar, c); });
      return;
    case SDL_MOUSEMOTION:
      if (ours(e.motion.windowID) && e.motion.which != SDL_TOUCH_MOUSEID) client(e.motion.x, e.motion.y);
      return;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      if (!ours(e.button.windowID)) return;
      client(e.button.x, e.button.y);
      int b = MouseButton(e.button.button);
      if (b == 0) return;
      feed(e.type == SDL_MOUSEBUTTONDOWN ? RInputEvent::kButtonDown : RInputEvent::kButtonUp, b);
      return;
    }
    case SDL_MOUSEWHEEL: {
      if (!ours(e.wheel.windowID)) return;
      Sint32 y = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
      if (y != 0) feed(RInputEvent::kWheel, y > 0 ? 1 : -1);
      return;
    }
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE && ours(e.window.windowID)) feed(RInputEvent::kClose, 0);
      return;
    default:
      if (e.type == SentKeyEvent() && e.user.code >= 0 && e.user.code < CInput::kKeys)
        feed(e.user.data1 != nullptr ? RInputEvent::kKeyDown : RInputEvent::kKeyUp, e.user.code);
      return;
  }
}

// --- the device ---

void SdlInputDevice::ProcessMessages() { window_.ProcessMessages(); }

bool SdlInputDevice::HasEventSource() { return window_.Handle() != nullptr && !HeadlessDriver(); }

void SdlInputDevice::WaitForEvents(int milliseconds) {
  // Peeks: the event stays queued for ProcessMessages.
  SDL_WaitEventTimeout(nullptr, milliseconds);
}

bool SdlInputDevice::KeyDirect(int key) {
  SDL_PumpEvents();
  // The mouse buttons have key codes of their own: 1 left, 2 right, 4 middle.
  if (key == 1 || key == 2 || key == 4) {
    Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
    int b = key == 1 ? SDL_BUTTON_LEFT : key == 2 ? SDL_BUTTON_RIGHT : SDL_BUTTON_MIDDLE;
    return (buttons & SDL_BUTTON(b)) != 0;
  }
  int n = 0;
  const Uint8* state = SDL_GetKeyboardState(&n);
  if (!state) return false;
  SDL_Scancode sided = SidedModifier(key);
  if (sided != SDL_SCANCODE_UNKNOWN) return sided < n && state[sided] != 0;
  if (key <= 0) return false;
  const bool numLock = NumLock();
  for (int sc = 0; sc < n && sc < SDL_NUM_SCANCODES; ++sc) {
    if (!state[sc]) continue;
    SDL_Keysym k{};
    k.scancode = SDL_Scancode(sc);
    k.sym = SDL_GetKeyFromScancode(k.scancode);
    k.mod = numLock ? KMOD_NUM : KMOD_NONE;
    if (VirtualKey(k) == key) return true;
  }
  return false;
}

bool SdlInputDevice::NumLock() { return (SDL_GetModState() & KMOD_NUM) != 0; }

void SdlInputDevice::SendKey(int key, bool down) {
  if (SentKeyEvent() == Uint32(-1)) return;
  SDL_Event e{};
  e.type = SentKeyEvent();
  e.user.code = key;
  e.user.data1 = down ? &e : nullptr;  // only whether it is null is read
  e.user.data2 = nullptr;
  SDL_PushEvent(&e);
}

void SdlInputDevice::SetNumLock(bool on) {
  // SDL cannot switch the keyboard's own lock; the state the game reads changes, and the key is
  // sent as if it had been pressed.
  SDL_Keymod mod = SDL_GetModState();
  SDL_SetModState(SDL_Keymod(on ? (mod | KMOD_NUM) : (mod & ~KMOD_NUM)));
  SendKey(vk::kNumLock, true);
  SendKey(vk::kNumLock, false);
}

bool SdlInputDevice::WindowActive() {
  // Drivers without a desktop have no focus to give: their window is always the active one.
  if (HeadlessDriver()) return true;
  return window_.Handle() && (SDL_GetWindowFlags(window_.Handle()) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

// --- joysticks ---

SDL_Joystick* SdlJoysticks::Open(int index) {
  if (!started_) {
    started_ = true;
    // Joysticks are read whichever window has the focus, as the games expect.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (!SDL_WasInit(SDL_INIT_JOYSTICK)) SDL_InitSubSystem(SDL_INIT_JOYSTICK);
  }
  if (!SDL_WasInit(SDL_INIT_JOYSTICK)) return nullptr;
  // Joysticks that were unplugged are let go.
  std::erase_if(open_, [](SDL_Joystick* j) {
    if (SDL_JoystickGetAttached(j)) return false;
    SDL_JoystickClose(j);
    return true;
  });
  if (index < 0 || index >= SDL_NumJoysticks()) return nullptr;
  if (SDL_Joystick* j = SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(index))) {
    for (SDL_Joystick* o : open_)
      if (o == j) return j;
  }
  SDL_Joystick* j = SDL_JoystickOpen(index);
  if (j) open_.push_back(j);
  return j;
}

void SdlJoysticks::Close() {
  for (SDL_Joystick* j : open_) SDL_JoystickClose(j);
  open_.clear();
}

bool SdlJoysticks::Caps(int index, RJoystickCaps& caps) {
  SDL_Joystick* j = Open(index);
  if (!j) return false;
  const char* name = SDL_JoystickName(j);
  caps.name = name ? name : "";
  caps.axes = std::max(SDL_JoystickNumAxes(j), 0);
  caps.buttons = std::max(SDL_JoystickNumButtons(j), 0);
  caps.hasPov = SDL_JoystickNumHats(j) > 0;
  return true;
}

bool SdlJoysticks::Read(int index, RJoystickState& s) {
  SDL_Joystick* j = Open(index);
  if (!j) return false;
  // The position now, as the games expect, not as of the last processing of messages.
  SDL_JoystickUpdate();
  if (!SDL_JoystickGetAttached(j)) return false;
  s = RJoystickState{};
  uint32_t* axes[] = {&s.x, &s.y, &s.z, &s.r, &s.u, &s.v};
  const int naxes = SDL_JoystickNumAxes(j);
  for (int k = 0; k < 6 && k < naxes; ++k) {
    // -32768..32767 onto 0..65535 with the centre at 32767 (a resting stick reads 0).
    int v = int(SDL_JoystickGetAxis(j, k)) + 32767;
    *axes[k] = uint32_t(std::clamp(v, 0, 65535));
  }
  const int nbuttons = SDL_JoystickNumButtons(j);
  for (int k = 0; k < 32 && k < nbuttons; ++k)
    if (SDL_JoystickGetButton(j, k)) s.buttons |= 1u << k;
  if (SDL_JoystickNumHats(j) > 0) {
    switch (SDL_JoystickGetHat(j, 0)) {
      case SDL_HAT_UP: s.pov = 0; break;
      case SDL_HAT_RIGHTUP: s.pov = 4500; break;
      case SDL_HAT_RIGHT: s.pov = 9000; break;
      case SDL_HAT_RIGHTDOWN: s.pov = 13500; break;
      case SDL_HAT_DOWN: s.pov = 18000; break;
      case SDL_HAT_LEFTDOWN: s.pov = 22500; break;
      case SDL_HAT_LEFT: s.pov = 27000; break;
      case SDL_HAT_LEFTUP: s.pov = 31500; break;
      default: s.pov = RJoystickState::kPovCentred; break;
    }
  }
  return true;
}

// --- attaching ---

void AttachInput(SdlGameWindow& window) {
  DetachInput(window);
  g_device = new SdlInputDevice(window);
  g_joysticks = new SdlJoysticks;
  SetInputDevice(g_device);
  SetJoysticks(g_joysticks);
  window.SetEventHandler([&window](const SDL_Event& e) { FeedInputEvent(e, &window); });
  SDL_StartTextInput();
  Input().Reset();
}

void DetachInput(SdlGameWindow& window) {
  window.SetEventHandler({});
  if (InputDevice() == g_device) SetInputDevice(nullptr);
  if (Joysticks() == g_joysticks) SetJoysticks(nullptr);
  delete g_device;
  delete g_joysticks;
  g_device = nullptr;
  g_joysticks = nullptr;
}

}  // namespace kestro::platform
