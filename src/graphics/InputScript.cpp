#include "graphics/InputScript.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

namespace kestro {

namespace {

constexpr const char* kEventNames[] = {"key-down", "key-up", "char", "button-down",
                                       "button-up", "wheel", "mouse", "close"};

std::vector<std::string_view> Split(std::string_view s, size_t limit, std::string_view* rest) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i >= s.size()) break;
    if (out.size() == limit) {
      if (rest) *rest = s.substr(i);
      return out;
    }
    size_t j = i;
    while (j < s.size() && s[j] != ' ' && s[j] != '\t') ++j;
    out.push_back(s.substr(i, j - i));
    i = j;
  }
  if (rest) *rest = {};
  return out;
}

bool Integer(std::string_view t, int64_t lo, int64_t hi, int64_t& v) {
  if (t.empty()) return false;
  const char* end = t.data() + t.size();
  auto r = std::from_chars(t.data(), end, v);
  return r.ec == std::errc() && r.ptr == end && v >= lo && v <= hi;
}

bool Real(std::string_view t, double& v) {
  if (t.empty()) return false;
  const char* end = t.data() + t.size();
  auto r = std::from_chars(t.data(), end, v);
  return r.ec == std::errc() && r.ptr == end && std::isfinite(v);
}

std::string Quote(std::string_view t) { return "\"" + std::string(t) + "\""; }

std::string FormatReal(double v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

}  // namespace

bool RInputLine::operator==(const RInputLine& o) const {
  if (step != o.step || kind != o.kind) return false;
  switch (kind) {
    case kEvent: return event == o.event;
    case kJoystick:
      return joystick == o.joystick && connected == o.connected &&
             (!connected || (state.x == o.state.x && state.y == o.state.y && state.z == o.state.z &&
                             state.r == o.state.r && state.u == o.state.u && state.v == o.state.v &&
                             state.buttons == o.state.buttons && state.pov == o.state.pov));
    case kJoystickCaps:
      return joystick == o.joystick && caps.name == o.caps.name && caps.axes == o.caps.axes &&
             caps.buttons == o.caps.buttons && caps.hasPov == o.caps.hasPov;
  }
  return false;
}

bool ParseInputLine(std::string_view text, RInputLine& out, bool& empty, std::string& error) {
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  std::string_view rest;
  std::vector<std::string_view> t = Split(text, 6, &rest);
  empty = t.empty() || t[0][0] == '#';
  if (empty) return true;
  out = RInputLine{};
  if (!Integer(t[0], 1, INT64_MAX / 2, out.step)) {
    error = "the line must begin with a step number from 1 up, not " + Quote(t[0]);
    return false;
  }
  if (t.size() < 2) {
    error = "an event must follow the step number";
    return false;
  }
  const std::string_view name = t[1];
  // Whole-line forms are split again without a limit; only the joystick name keeps its blanks.
  if (name != "joystick-caps") t = Split(text, SIZE_MAX, nullptr);
  const size_t args = t.size() - 2;
  auto count = [&](size_t n, const char* what) {
    if (args == n) return true;
    error = std::string(name) + " needs " + what;
    return false;
  };
  int64_t v = 0;
  for (int k = 0; k < 8; ++k) {
    if (name != kEventNames[k]) continue;
    out.kind = RInputLine::kEvent;
    out.event.kind = RInputEvent::EKind(k);
    switch (out.event.kind) {
      case RInputEvent::kKeyDown:
      case RInputEvent::kKeyUp:
        if (!count(1, "a key code 0..255") || !Integer(t[2], 0, 255, v)) {
          error = std::string(name) + " needs a key code 0..255";
          return false;
        }
        out.event.value = v;
        return true;
      case RInputEvent::kChar:
        if (!count(1, "a character code 1..1114111") || !Integer(t[2], 1, 0x10FFFF, v)) {
          error = "char needs a character code 1..1114111";
          return false;
        }
        out.event.value = v;
        return true;
      case RInputEvent::kButtonDown:
      case RInputEvent::kButtonUp:
        if (!count(1, "a button 1 (left), 2 (right) or 3 (middle)") || !Integer(t[2], 1, 3, v)) {
          error = std::string(name) + " needs a button 1 (left), 2 (right) or 3 (middle)";
          return false;
        }
        out.event.value = v;
        return true;
      case RInputEvent::kWheel:
        if (!count(1, "up or down") || (t[2] != "up" && t[2] != "down")) {
          error = "wheel needs up or down";
          return false;
        }
        out.event.value = t[2] == "up" ? 1 : -1;
        return true;
      case RInputEvent::kMouse:
        if (!count(2, "two numbers, x and y") || !Real(t[2], out.event.x) || !Real(t[3], out.event.y)) {
          error = "mouse needs two numbers, x and y";
          return false;
        }
        return true;
      case RInputEvent::kClose:
        return count(0, "nothing after it");
    }
  }
  if (name == "joystick" || name == "joystick-caps") {
    if (args < 1 || !Integer(t[2], 1, 2, v)) {
      error = std::string(name) + " needs the joystick 1 or 2 first";
      return false;
    }
    out.joystick = int(v) - 1;
    if (name == "joystick-caps") {
      out.kind = RInputLine::kJoystickCaps;
      int64_t axes = 0, buttons = 0, pov = 0;
      if (t.size() < 6 || !Integer(t[3], 0, 1000, axes) || !Integer(t[4], 0, 1000, buttons) || !Integer(t[5], 0, 1, pov)) {
        error = "joystick-caps needs the joystick, the numbers of axes and buttons, point of view 0 or 1, then the name";
        return false;
      }
      out.caps.axes = int(axes);
      out.caps.buttons = int(buttons);
      out.caps.hasPov = pov != 0;
      out.caps.name = std::string(rest);
      return true;
    }
    out.kind = RInputLine::kJoystick;
    if (args == 2 && t[3] == "none") {
      out.connected = false;
      return true;
    }
    int64_t n[8];
    const int64_t hi[8] = {65535, 65535, 65535, 65535, 65535, 65535, UINT32_MAX, 65535};
    bool ok = args == 9;
    for (size_t k = 0; ok && k < 8; ++k) ok = Integer(t[3 + k], 0, hi[k], n[k]);
    if (!ok) {
      error = "joystick needs the joystick and \"none\", or the joystick, six axes 0..65535, the buttons as a "
              "number and the point of view 0..65535";
      return false;
    }
    RJoystickState& s = out.state;
    s.x = uint32_t(n[0]);
    s.y = uint32_t(n[1]);
    s.z = uint32_t(n[2]);
    s.r = uint32_t(n[3]);
    s.u = uint32_t(n[4]);
    s.v = uint32_t(n[5]);
    s.buttons = uint32_t(n[6]);
    s.pov = uint32_t(n[7]);
    return true;
  }
  error = "unknown event " + Quote(name);
  return false;
}

std::string FormatInputLine(const RInputLine& line) {
  std::string s = std::to_string(line.step) + " ";
  switch (line.kind) {
    case RInputLine::kEvent: {
      const RInputEvent& e = line.event;
      s += kEventNames[e.kind];
      switch (e.kind) {
        case RInputEvent::kWheel: s += e.value > 0 ? " up" : " down"; break;
        case RInputEvent::kMouse: s += " " + FormatReal(e.x) + " " + FormatReal(e.y); break;
        case RInputEvent::kClose: break;
        default: s += " " + std::to_string(e.value); break;
      }
      return s;
    }
    case RInputLine::kJoystick: {
      s += "joystick " + std::to_string(line.joystick + 1);
      if (!line.connected) return s + " none";
      const RJoystickState& j = line.state;
      for (uint32_t v : {j.x, j.y, j.z, j.r, j.u, j.v, j.buttons, j.pov}) s += " " + std::to_string(v);
      return s;
    }
    case RInputLine::kJoystickCaps:
      s += "joystick-caps " + std::to_string(line.joystick + 1) + " " + std::to_string(line.caps.axes) + " " +
           std::to_string(line.caps.buttons) + " " + (line.caps.hasPov ? "1" : "0");
      if (!line.caps.name.empty()) s += " ";
      // Line breaks would end the line early; a name is one line.
      for (char c : line.caps.name) s += (c == '\n' || c == '\r') ? ' ' : c;
      return s;
  }
  return s;
}

bool ParseInputText(std::string_view text, const std::string& name, std::vector<RInputLine>& out,
                    std::string& error) {
  out.clear();
  int64_t lineNumber = 0, lastStep = 1;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(at, end - at);
    at = end + 1;
    ++lineNumber;
    RInputLine l;
    bool empty = false;
    std::string why;
    if (!ParseInputLine(line, l, empty, why)) {
      error = name + ":" + std::to_string(lineNumber) + ": " + why;
      return false;
    }
    if (empty) continue;
    if (l.step < lastStep) {
      error = name + ":" + std::to_string(lineNumber) + ": step " + std::to_string(l.step) +
              " comes after step " + std::to_string(lastStep) + " (steps never go down)";
      return false;
    }
    lastStep = l.step;
    out.push_back(std::move(l));
  }
  return true;
}

bool ReadInputFile(const std::string& file, std::vector<RInputLine>& out, std::string& error) {
  std::ifstream f(file, std::ios::binary);
  if (!f) {
    error = file + ": cannot be read";
    return false;
  }
  std::stringstream ss;
  ss << f.rdbuf();
  return ParseInputText(ss.str(), file, out, error);
}

// --- replaying ---

CReplayJoysticks::CReplayJoysticks() {
  for (RJoystickCaps& c : caps_) {
    c.axes = 2;
    c.buttons = 8;
  }
}

bool CReplayJoysticks::Caps(int index, RJoystickCaps& caps) {
  if (index < 0 || index > 1 || !connected_[size_t(index)]) return false;
  caps = caps_[size_t(index)];
  return true;
}

bool CReplayJoysticks::Read(int index, RJoystickState& state) {
  if (index < 0 || index > 1 || !connected_[size_t(index)]) return false;
  state = state_[size_t(index)];
  return true;
}

void CReplayJoysticks::Apply(const RInputLine& line) {
  const size_t j = size_t(line.joystick);
  if (j > 1) return;
  if (line.kind == RInputLine::kJoystickCaps) {
    caps_[j] = line.caps;
  } else if (line.kind == RInputLine::kJoystick) {
    connected_[j] = line.connected;
    if (line.connected) state_[j] = line.state;
  }
}

void CInputReplay::FeedThrough(int64_t step) {
  for (; next_ < lines_.size() && lines_[next_].step <= step; ++next_) {
    const RInputLine& l = lines_[next_];
    if (l.kind != RInputLine::kEvent)
      joysticks_.Apply(l);
    else if (sink_)
      sink_(l.event);
    else
      Input().Feed(l.event);
  }
}

void CInputReplay::Install() {
  // The person at the window can still close it; nothing else of theirs reaches the game.
  SetInputFeedFilter([](const RInputEvent& e) {
    if (e.kind == RInputEvent::kClose) Input().Feed(e);
  });
  previous_ = Joysticks();
  SetJoysticks(&joysticks_);
}

void CInputReplay::Uninstall() {
  SetInputFeedFilter({});
  if (Joysticks() == &joysticks_) SetJoysticks(previous_);
}

// --- recording ---

// Reads the desktop's joysticks and writes what changed.
class CInputRecorder::CJoysticks final : public IJoysticks {
 public:
  CJoysticks(CInputRecorder& owner, IJoysticks* inner) : owner_(owner), inner_(inner) {}
  bool Caps(int index, RJoystickCaps& caps) override {
    const bool ok = inner_ && inner_->Caps(index, caps);
    if (ok && index >= 0 && index < 2) {
      RInputLine l;
      l.kind = RInputLine::kJoystickCaps;
      l.joystick = index;
      l.caps = caps;
      Note(caps_[size_t(index)], l);
    }
    return ok;
  }
  bool Read(int index, RJoystickState& state) override {
    const bool ok = inner_ && inner_->Read(index, state);
    if (index < 0 || index > 1) return ok;
    if (ok && !caps_[size_t(index)].known) {
      RJoystickCaps c;
      Caps(index, c);
    }
    RInputLine l;
    l.kind = RInputLine::kJoystick;
    l.joystick = index;
    l.connected = ok;
    if (ok) l.state = state;
    Note(state_[size_t(index)], l);
    return ok;
  }

 private:
  struct RLast {
    bool known = false;
    RInputLine line;
  };
  // Writes the line when it differs from the last one of its kind (a joystick never seen counts
  // as missing, so a missing one is not written).
  void Note(RLast& last, RInputLine l) {
    l.step = 0;
    const bool missing = l.kind == RInputLine::kJoystick && !l.connected;
    if (last.known ? last.line == l : missing) return;
    last.known = true;
    last.line = l;
    l.step = owner_.step_;
    owner_.Write(l);
  }
  CInputRecorder& owner_;
  IJoysticks* inner_;
  std::array<RLast, 2> state_{}, caps_{};
};

CInputRecorder::~CInputRecorder() {
  Uninstall();
  Close();
}

bool CInputRecorder::Open(const std::string& file, std::string& error) {
  file_ = std::fopen(file.c_str(), "wb");
  if (!file_) {
    error = file + ": cannot be written";
    return false;
  }
  std::fputs("# kestro input file: STEP EVENT ... (docs/HEADLESS.md)\n", file_);
  return true;
}

void CInputRecorder::Write(const RInputLine& line) {
  if (!file_) return;
  const std::string s = FormatInputLine(line) + "\n";
  std::fwrite(s.data(), 1, s.size(), file_);
}

void CInputRecorder::Take(const RInputEvent& e) {
  if (!inStep_) {
    held_.push_back(e);
    return;
  }
  RInputLine l;
  l.step = step_;
  l.event = e;
  Write(l);
  Input().Feed(e);
}

void CInputRecorder::Deliver(int64_t step) {
  step_ = step;
  for (const RInputEvent& e : held_) {
    RInputLine l;
    l.step = step;
    l.event = e;
    Write(l);
    Input().Feed(e);
  }
  held_.clear();
  inStep_ = true;
}

void CInputRecorder::StepDone(int64_t step) {
  step_ = step + 1;
  inStep_ = false;
  if (file_) std::fflush(file_);
}

void CInputRecorder::Install(bool deviceEvents) {
  if (deviceEvents) SetInputFeedFilter([this](const RInputEvent& e) { Take(e); });
  previous_ = Joysticks();
  delete joysticks_;
  joysticks_ = new CJoysticks(*this, previous_);
  SetJoysticks(joysticks_);
}

void CInputRecorder::Uninstall() {
  if (!joysticks_) return;
  SetInputFeedFilter({});
  if (Joysticks() == joysticks_) SetJoysticks(previous_);
  delete joysticks_;
  joysticks_ = nullptr;
}

void CInputRecorder::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

}  // namespace kestro
