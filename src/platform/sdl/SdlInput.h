// The keyboard, mouse and joysticks of the desktop for the input model: SDL's keys as the games'
// virtual-key codes, SDL's buttons, text and wheel as the model's feed, the physical keyboard and
// Num Lock for the direct functions, and SDL's joysticks.
#pragma once

#include <SDL.h>

#include <vector>

#include "graphics/Input.h"

namespace kestro::platform {

class SdlGameWindow;

// The virtual-key code of a key (0 when it has none). Letters follow the keyboard layout (the key
// that types "a" is 65 wherever it is); every other key is known by its position. The keypad's
// digits and point are the navigation keys while Num Lock is off, as on the games' own system.
// Any int: values outside the scancodes give 0 (an event may carry one SDL does not know).
int VirtualKeyFromScancode(int scancode, bool numLock);
int VirtualKey(const SDL_Keysym& key);
// SDL's left, right and middle buttons as 1, 2 and 3; 0 for the others.
int MouseButton(uint8_t sdlButton);

// One SDL event into the input model: keys, typed text (with the characters of Backspace, Tab,
// Enter, Escape and Control + letter, which SDL does not send as text), buttons, wheel, pointer and
// the close request. Events of other windows are left alone. `window` converts pointer positions
// (null: window coordinates are client coordinates).
void FeedInputEvent(const SDL_Event& e, const SdlGameWindow* window);

// The desktop's side of the input functions, over the game window.
class SdlInputDevice final : public IInputDevice {
 public:
  explicit SdlInputDevice(SdlGameWindow& window) : window_(window) {}
  void ProcessMessages() override;
  bool HasEventSource() override;
  void WaitForEvents(int milliseconds) override;
  bool KeyDirect(int key) override;
  bool NumLock() override;
  // Queued as an event of the game window, so it arrives with the next processing of messages.
  void SendKey(int key, bool down) override;
  void SetNumLock(bool on) override;
  bool WindowActive() override;

 private:
  SdlGameWindow& window_;
};

// SDL's joysticks, in SDL's device order; opened on first use and followed as they come and go.
class SdlJoysticks final : public IJoysticks {
 public:
  ~SdlJoysticks() override { Close(); }
  bool Caps(int index, RJoystickCaps& caps) override;
  bool Read(int index, RJoystickState& state) override;
  void Close();

 private:
  SDL_Joystick* Open(int index);
  bool started_ = false;
  std::vector<SDL_Joystick*> open_;
};

// Connects the game window to the input model (its events feed the model; the device and the
// joysticks are installed) and fully clears the input state with the identity key map.
void AttachInput(SdlGameWindow& window);
// Disconnects them again (end of the run).
void DetachInput(SdlGameWindow& window);

}  // namespace kestro::platform
