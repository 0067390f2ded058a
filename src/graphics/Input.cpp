#include "graphics/Input.h"

#include <algorithm>

#include "graphics/GameWindow.h"
#include "resources/GameSettings.h"
#include "script/Value.h"

namespace kestro {

namespace {
IInputDevice* g_device = nullptr;
IJoysticks* g_joysticks = nullptr;
InputFeedFilter g_filter;
InputFeedFilter g_modal;

bool IsContinuation(char b) { return (static_cast<unsigned char>(b) & 0xC0) == 0x80; }

size_t CharCount(const std::string& s) {
  return size_t(std::count_if(s.begin(), s.end(), [](char b) { return !IsContinuation(b); }));
}
}  // namespace

CInput& Input() {
  static CInput input;
  return input;
}

void SetInputFeedFilter(InputFeedFilter filter) { g_filter = std::move(filter); }

void SetModalInputReceiver(InputFeedFilter receiver) { g_modal = std::move(receiver); }

void FeedDeviceEvent(const RInputEvent& e) {
  if (g_modal)
    g_modal(e);
  else if (g_filter)
    g_filter(e);
  else
    Input().Feed(e);
}

IInputDevice* InputDevice() { return g_device; }
void SetInputDevice(IInputDevice* device) { g_device = device; }
IJoysticks* Joysticks() { return g_joysticks; }
void SetJoysticks(IJoysticks* joysticks) { g_joysticks = joysticks; }

size_t FirstCharLength(std::string_view s) {
  if (s.empty()) return 0;
  size_t n = 1;
  while (n < s.size() && n < 4 && IsContinuation(s[n])) ++n;
  return n;
}

// --- the feed ---

int CInput::Mapped(int key) const {
  if (!InRange(key)) return -1;
  int64_t p = map_[size_t(key)];
  return InRange(p) ? int(p) : -1;
}

void CInput::KeyDown(int key) {
  if (overlay_) {
    overlay_->Key(key, true);
    return;
  }
  int p = Mapped(key);
  if (p < 0) return;
  lastKey_ = p;
  currentKey_ = p;
  if (!held_[size_t(p)]) pressed_[size_t(p)] = true;
  held_[size_t(p)] = true;
}

void CInput::KeyUp(int key) {
  if (overlay_) {
    overlay_->Key(key, false);
    return;
  }
  int p = Mapped(key);
  if (p < 0) return;
  if (p == currentKey_) currentKey_ = 0;
  held_[size_t(p)] = false;
  released_[size_t(p)] = true;
}

void CInput::Character(uint32_t c) {
  // Surrogate halves and values beyond Unicode are no characters; they would make the text invalid.
  if (overlay_ || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return;
  lastChar_.clear();
  AppendUtf8(lastChar_, char32_t(c));
  size_t count = CharCount(string_);
  if (count > kStringLimit) {
    size_t drop = count - kStringLimit, at = 0;
    while (drop > 0 && at < string_.size()) {
      ++at;
      while (at < string_.size() && IsContinuation(string_[at])) ++at;
      --drop;
    }
    string_.erase(0, at);
  }
  if (c == uint32_t(vk::kBackspace)) {
    // The last character with its continuation bytes; a text set by the game need not be valid
    // UTF-8, so at most one character's worth of bytes goes.
    int continuation = 0;
    while (!string_.empty() && continuation < 3 && IsContinuation(string_.back())) {
      string_.pop_back();
      ++continuation;
    }
    if (!string_.empty()) string_.pop_back();
  } else if (c > 31) {
    string_ += lastChar_;
  }
}

void CInput::ButtonDown(int button) {
  if (overlay_ || !ButtonInRange(button)) return;
  lastButton_ = button;
  currentButton_ = button;
  buttonHeld_[size_t(button - 1)] = true;
  buttonPressed_[size_t(button - 1)] = true;
}

void CInput::ButtonUp(int button) {
  if (overlay_ || !ButtonInRange(button)) return;
  currentButton_ = 0;
  buttonHeld_[size_t(button - 1)] = false;
  buttonReleased_[size_t(button - 1)] = true;
}

void CInput::Wheel(int direction) {
  if (overlay_) return;
  if (direction > 0) wheelUp_ = true;
  if (direction < 0) wheelDown_ = true;
}

void CInput::MouseMove(double clientX, double clientY) {
  mouseX_ = clientX;
  mouseY_ = clientY;
}

void CInput::CloseRequest() {
  if (overlay_) {
    overlay_->Close();
    return;
  }
  if (!GameSettings().closeActsAsEsc) {
    closeButton_ = true;
    return;
  }
  // Held without a pressed flag, until a real key-up of Escape.
  held_[vk::kEscape] = true;
  currentKey_ = vk::kEscape;
  lastKey_ = vk::kEscape;
}

void CInput::Feed(const RInputEvent& e) {
  switch (e.kind) {
    case RInputEvent::kKeyDown: KeyDown(int(std::clamp<int64_t>(e.value, -1, kKeys))); break;
    case RInputEvent::kKeyUp: KeyUp(int(std::clamp<int64_t>(e.value, -1, kKeys))); break;
    case RInputEvent::kChar: Character(uint32_t(std::clamp<int64_t>(e.value, 0, 0x110000))); break;
    case RInputEvent::kButtonDown: ButtonDown(int(std::clamp<int64_t>(e.value, 0, 4))); break;
    case RInputEvent::kButtonUp: ButtonUp(int(std::clamp<int64_t>(e.value, 0, 4))); break;
    case RInputEvent::kWheel: Wheel(e.value > 0 ? 1 : e.value < 0 ? -1 : 0); break;
    case RInputEvent::kMouse: MouseMove(e.x, e.y); break;
    case RInputEvent::kClose: CloseRequest(); break;
  }
}

// --- the main loop ---

void CInput::EndStep() {
  pressed_.fill(false);
  released_.fill(false);
  buttonPressed_.fill(false);
  buttonReleased_.fill(false);
  wheelUp_ = wheelDown_ = false;
}

void CInput::Clear() {
  EndStep();
  held_.fill(false);
  buttonHeld_.fill(false);
  string_.clear();
  lastChar_.clear();
  lastKey_ = currentKey_ = 0;
  currentButton_ = lastButton_ = 0;
}

void CInput::Reset() {
  Clear();
  UnsetMap();
  closeButton_ = false;
}

// --- keys ---

bool CInput::AnyHeld() const { return std::find(held_.begin(), held_.end(), true) != held_.end(); }
bool CInput::AnyPressed() const { return std::find(pressed_.begin(), pressed_.end(), true) != pressed_.end(); }
bool CInput::AnyReleased() const { return std::find(released_.begin(), released_.end(), true) != released_.end(); }

bool CInput::CheckKey(int64_t key) const {
  if (key == vk::kNoKey) return !AnyHeld();
  if (key == vk::kAnyKey) return AnyHeld();
  return key >= 2 && key < kKeys && held_[size_t(key)];
}

bool CInput::CheckKeyPressed(int64_t key) const {
  if (key == vk::kNoKey) return !AnyPressed();
  if (key == vk::kAnyKey) return AnyPressed();
  return key >= 2 && key < kKeys && pressed_[size_t(key)];
}

bool CInput::CheckKeyReleased(int64_t key) const {
  if (key == vk::kNoKey) return !AnyReleased();
  if (key == vk::kAnyKey) return AnyReleased();
  return key >= 2 && key < kKeys && released_[size_t(key)];
}

void CInput::ClearKey(int64_t key) {
  if (!InRange(key)) return;
  held_[size_t(key)] = pressed_[size_t(key)] = released_[size_t(key)] = false;
}

void CInput::SetLastKey(int64_t key) {
  if (InRange(key)) lastKey_ = int(key);
}

void CInput::SetCurrentKey(int64_t key) {
  if (InRange(key)) currentKey_ = int(key);
}

void CInput::SetLastChar(std::string_view text) {
  if (!text.empty()) lastChar_.assign(text.substr(0, FirstCharLength(text)));
}

// --- the key map ---

void CInput::SetMap(int64_t key, int64_t to) {
  if (InRange(key)) map_[size_t(key)] = to;
}

int64_t CInput::Map(int64_t key) const { return InRange(key) ? map_[size_t(key)] : key; }

void CInput::UnsetMap() {
  for (int k = 0; k < kKeys; ++k) map_[size_t(k)] = k;
}

// --- buttons ---

bool CInput::CheckButton(int64_t b) const {
  bool any = std::find(buttonHeld_.begin(), buttonHeld_.end(), true) != buttonHeld_.end();
  if (b == mb::kAny) return any;
  if (b == mb::kNone) return !any;
  return ButtonInRange(b) && buttonHeld_[size_t(b - 1)];
}

bool CInput::CheckButtonPressed(int64_t b) const {
  bool any = std::find(buttonPressed_.begin(), buttonPressed_.end(), true) != buttonPressed_.end();
  if (b == mb::kAny) return any;
  if (b == mb::kNone) return !any;
  return ButtonInRange(b) && buttonPressed_[size_t(b - 1)];
}

bool CInput::CheckButtonReleased(int64_t b) const {
  bool any = std::find(buttonReleased_.begin(), buttonReleased_.end(), true) != buttonReleased_.end();
  if (b == mb::kAny) return any;
  if (b == mb::kNone) return !any;
  return ButtonInRange(b) && buttonReleased_[size_t(b - 1)];
}

void CInput::ClearButton(int64_t b) {
  if (!ButtonInRange(b)) return;
  buttonHeld_[size_t(b - 1)] = buttonPressed_[size_t(b - 1)] = buttonReleased_[size_t(b - 1)] = false;
}

void CInput::SetCurrentButton(int64_t b) {
  if (ButtonInRange(b)) currentButton_ = int(b);
}

void CInput::SetLastButton(int64_t b) {
  if (ButtonInRange(b)) lastButton_ = int(b);
}

// --- the pointer ---

void CInput::MouseInRoom(int64_t& x, int64_t& y) const {
  int64_t rx = RoundEven(mouseX_), ry = RoundEven(mouseY_);
  if (const CGameWindow* w = GameWindow()) {
    const CWindowState& s = w->State();
    ClientToRegion(mouseX_, mouseY_, s.clientW, s.clientH, s.regionW, s.regionH, s.scale, rx, ry);
  }
  Ports().MouseInRoom(rx, ry, x, y);
}

// --- the desktop's part ---

void ProcessInputMessages() {
  if (g_device) g_device->ProcessMessages();
}

namespace {
template <typename Done>
void WaitUntil(Done done) {
  IInputDevice* d = g_device;
  if (!d) return;
  for (;;) {
    d->ProcessMessages();
    if (done() || !d->HasEventSource()) return;
    d->WaitForEvents(50);
  }
}
}  // namespace

void WaitForKey() {
  Input().SetLastKey(0);
  WaitUntil([] { return Input().LastKey() != 0; });
}

void WaitForButton() {
  // Setting 0 through the variable is refused; the wait itself starts from no button.
  Input().ClearLastButton();
  WaitUntil([] { return Input().LastButton() != 0; });
}

int JoystickIndex(int64_t id) { return id == 2 ? 1 : 0; }

int JoystickDirection(const RJoystickState* s) {
  if (!s) return 101;
  int column = s->x < 20000 ? 1 : s->x > 44000 ? 3 : 2;
  int row = s->y <= 19999 ? 6 : s->y <= 44000 ? 3 : 0;
  return 96 + column + row;
}

}  // namespace kestro
