// The keyboard, the mouse buttons and the mouse wheel as the game sees them. The platform feeds the
// window's key, character, button, wheel, pointer and close events in (key codes are the virtual-key
// codes the games use, 0..255); the keyboard and mouse events of objects read the held, pressed and
// released flags once per step, and the main loop clears the per-step flags at the end of the step.
//
// What the model cannot know by itself (the physical keyboard now, Num Lock, sending keys, waiting
// for events) it asks the desktop through IInputDevice; joysticks are read through IJoysticks. With
// neither installed (headless runs, tests) nothing is held, no joystick exists and waits return at once.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kestro {

namespace vk {
inline constexpr int kNoKey = 0;
inline constexpr int kAnyKey = 1;
inline constexpr int kBackspace = 8;
inline constexpr int kEscape = 27;
inline constexpr int kNumLock = 144;
}  // namespace vk

namespace mb {
inline constexpr int kAny = -1;
inline constexpr int kNone = 0;
inline constexpr int kLeft = 1;
inline constexpr int kRight = 2;
inline constexpr int kMiddle = 3;
}  // namespace mb

// What the desktop answers for the input functions.
class IInputDevice {
 public:
  virtual ~IInputDevice() = default;
  // Handles the window's pending events (they reach the model through its feed).
  virtual void ProcessMessages() = 0;
  // False when no event can ever arrive (no window, or a driver without input devices): the
  // waiting functions then return at once instead of blocking for ever.
  virtual bool HasEventSource() = 0;
  // Blocks until an event is pending or `milliseconds` have passed.
  virtual void WaitForEvents(int milliseconds) = 0;
  // Whether the physical key (virtual-key code, before any key map) is down now.
  virtual bool KeyDirect(int key) = 0;
  virtual bool NumLock() = 0;
  // Sends a key-down or key-up of a code to the game window as if the key had been used.
  virtual void SendKey(int key, bool down) = 0;
  // Turns Num Lock on or off.
  virtual void SetNumLock(bool on) = 0;
  // Whether the game window has the keyboard focus.
  virtual bool WindowActive() = 0;
};

// A joystick's capabilities.
struct RJoystickCaps {
  std::string name;
  int axes = 0;
  int buttons = 0;
  bool hasPov = false;
};

// A joystick's position: axes 0..65535 (32767 centred), buttons 1..32 as bits 0..31, the
// point-of-view angle in hundredths of degrees clockwise from forward (above 36000: centred).
struct RJoystickState {
  static constexpr uint32_t kCentre = 32767;
  static constexpr uint32_t kPovCentred = 65535;
  uint32_t x = kCentre, y = kCentre, z = kCentre, r = kCentre, u = kCentre, v = kCentre;
  uint32_t buttons = 0;
  uint32_t pov = kPovCentred;
};

// The joysticks of the desktop. Index 0 is the first joystick, 1 the second.
class IJoysticks {
 public:
  virtual ~IJoysticks() = default;
  virtual bool Caps(int index, RJoystickCaps& caps) = 0;
  // False when the joystick is missing or cannot be read.
  virtual bool Read(int index, RJoystickState& state) = 0;
};

// A window shown over the game (game information, splash screen): while it is up it takes the
// keys and the close request, and the game's input state stays as it is.
class IInputOverlay {
 public:
  virtual ~IInputOverlay() = default;
  virtual void Key(int key, bool down) = 0;
  virtual void Close() = 0;
};

// One event of the desktop's keyboard, mouse or window as it reaches the input state.
struct RInputEvent {
  enum EKind { kKeyDown, kKeyUp, kChar, kButtonDown, kButtonUp, kWheel, kMouse, kClose };
  EKind kind = kKeyDown;
  int64_t value = 0;    // key code, character, button (1..3), wheel direction (above 0: up)
  double x = 0, y = 0;  // kMouse: the position in the window's client area
  bool operator==(const RInputEvent&) const = default;
};

class CInput {
 public:
  static constexpr int kKeys = 256;
  static constexpr int kButtons = 3;
  // keyboard_string keeps at most this many characters before the next one is added.
  static constexpr size_t kStringLimit = 1024;

  CInput() { Reset(); }

  // --- the feed (the platform's window events) ---
  // A key went down or up (key code before the key map; auto-repeat sends more downs).
  void KeyDown(int key);
  void KeyUp(int key);
  // A character was typed (a Unicode code point; 8 is backspace, below 32 other control keys).
  void Character(uint32_t c);
  // The window's left, right and middle buttons are 1, 2 and 3; others are ignored.
  void ButtonDown(int button);
  void ButtonUp(int button);
  // The wheel turned: above 0 up, below 0 down.
  void Wheel(int direction);
  // The pointer, in the game window's client coordinates.
  void MouseMove(double clientX, double clientY);
  // The window was asked to close: the overlay closes, or Escape is marked held (setting "close
  // button acts as Esc"), or the close-button event is asked for (TakeCloseButton).
  void CloseRequest();
  // Any of the above, by the event's kind.
  void Feed(const RInputEvent& e);

  // --- the main loop ---
  // End of a step: the pressed and released flags of keys and buttons and the wheel flags.
  void EndStep();
  // Everything except the key map (io_clear, room start, after an error window).
  void Clear();
  // Clear() and the identity key map: the handlers' attachment to the game window.
  void Reset();
  // True once after the close button was used with the Escape setting off.
  bool TakeCloseButton() {
    bool b = closeButton_;
    closeButton_ = false;
    return b;
  }
  void SetOverlay(IInputOverlay* overlay) { overlay_ = overlay; }
  IInputOverlay* Overlay() const { return overlay_; }

  // --- keys (codes 0..255; others read false) ---
  bool Held(int key) const { return InRange(key) && held_[size_t(key)]; }
  bool Pressed(int key) const { return InRange(key) && pressed_[size_t(key)]; }
  bool Released(int key) const { return InRange(key) && released_[size_t(key)]; }
  bool AnyHeld() const;
  bool AnyPressed() const;
  bool AnyReleased() const;
  // keyboard_check and its pressed and released forms: vk_nokey, vk_anykey, or a key.
  bool CheckKey(int64_t key) const;
  bool CheckKeyPressed(int64_t key) const;
  bool CheckKeyReleased(int64_t key) const;
  // Clears one key's three flags (keyboard_clear).
  void ClearKey(int64_t key);

  int LastKey() const { return lastKey_; }
  int CurrentKey() const { return currentKey_; }
  // Values outside 0..255 are ignored.
  void SetLastKey(int64_t key);
  void SetCurrentKey(int64_t key);
  const std::string& LastChar() const { return lastChar_; }
  // The first character of the text; an empty text changes nothing.
  void SetLastChar(std::string_view text);
  const std::string& String() const { return string_; }
  void SetString(std::string_view text) { string_.assign(text); }

  // --- the key map ---
  void SetMap(int64_t key, int64_t to);
  int64_t Map(int64_t key) const;
  void UnsetMap();

  // --- mouse buttons (1 left, 2 right, 3 middle) ---
  bool ButtonHeld(int b) const { return ButtonInRange(b) && buttonHeld_[size_t(b - 1)]; }
  bool ButtonPressed(int b) const { return ButtonInRange(b) && buttonPressed_[size_t(b - 1)]; }
  bool ButtonReleased(int b) const { return ButtonInRange(b) && buttonReleased_[size_t(b - 1)]; }
  // mouse_check_button and its forms: mb_any, mb_none or a button.
  bool CheckButton(int64_t b) const;
  bool CheckButtonPressed(int64_t b) const;
  bool CheckButtonReleased(int64_t b) const;
  void ClearButton(int64_t b);
  int CurrentButton() const { return currentButton_; }
  int LastButton() const { return lastButton_; }
  // Only 1, 2 and 3 are taken.
  void SetCurrentButton(int64_t b);
  void SetLastButton(int64_t b);
  void ClearLastButton() { lastButton_ = 0; }
  bool WheelUp() const { return wheelUp_; }
  bool WheelDown() const { return wheelDown_; }

  // --- the pointer ---
  double MouseClientX() const { return mouseX_; }
  double MouseClientY() const { return mouseY_; }
  // The pointer in room coordinates: client -> region through the game window (when there is
  // one), then through the views of the last drawn step.
  void MouseInRoom(int64_t& x, int64_t& y) const;

 private:
  static bool InRange(int64_t key) { return key >= 0 && key < kKeys; }
  static bool ButtonInRange(int64_t b) { return b >= 1 && b <= kButtons; }
  // The code a physical key is reported as, or -1 when the map sends it outside 0..255.
  int Mapped(int key) const;

  std::array<bool, kKeys> held_{}, pressed_{}, released_{};
  std::array<int64_t, kKeys> map_{};
  int lastKey_ = 0, currentKey_ = 0;
  std::string lastChar_, string_;
  std::array<bool, kButtons> buttonHeld_{}, buttonPressed_{}, buttonReleased_{};
  int currentButton_ = 0, lastButton_ = 0;
  bool wheelUp_ = false, wheelDown_ = false;
  double mouseX_ = 0, mouseY_ = 0;
  bool closeButton_ = false;
  IInputOverlay* overlay_ = nullptr;
};

// The process-wide input state.
CInput& Input();

// The desktop's events go through here: straight into Input(), or to the filter installed while a
// run records or replays its input (the filter then feeds Input() itself, now or later).
using InputFeedFilter = std::function<void(const RInputEvent&)>;
void SetInputFeedFilter(InputFeedFilter filter);  // empty: straight in
void FeedDeviceEvent(const RInputEvent& e);
// While a modal dialog shows, the desktop's events go to `receiver` instead, before any filter and
// the input state (empty: back to normal).
void SetModalInputReceiver(InputFeedFilter receiver);

// The desktop's services (null: none, as in headless runs).
IInputDevice* InputDevice();
void SetInputDevice(IInputDevice* device);
IJoysticks* Joysticks();
void SetJoysticks(IJoysticks* joysticks);

// The input functions' steps that involve the desktop.
void ProcessInputMessages();  // io_handle
// keyboard_wait and mouse_wait: the last key (button) is set to 0, then events are processed,
// waiting 50 ms at a time, until a key (button) is pressed. Returns at once when no event can
// arrive.
void WaitForKey();
void WaitForButton();

// Joysticks by the games' id: 2 is the second joystick, any other id the first.
int JoystickIndex(int64_t id);
// The numeric-keypad code of a stick's position (101 when centred or unreadable).
int JoystickDirection(const RJoystickState* s);

// The byte length of the first UTF-8 character of `s` (0 for an empty text); the text of one code
// point is AppendUtf8 (script/Value.h).
size_t FirstCharLength(std::string_view s);

}  // namespace kestro
