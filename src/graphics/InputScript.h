// Input files: the keyboard, mouse, window and joystick events of a run as plain text, one event a
// line with the step it belongs to, so a run can be recorded while a person plays and replayed
// exactly (docs/HEADLESS.md describes the format). Events of step s reach the game right before
// step s runs.
//
//   # a comment; blank lines are ignored
//   STEP key-down CODE            key codes 0..255 (before the key map)
//   STEP key-up CODE
//   STEP char CODEPOINT           a typed character (8 backspace, 13 enter, ...)
//   STEP button-down BUTTON       1 left, 2 right, 3 middle
//   STEP button-up BUTTON
//   STEP wheel up|down
//   STEP mouse X Y                the pointer in the window's client area
//   STEP close                    the window's close button
//   STEP joystick ID none         ID 1 or 2: the joystick is missing from now on
//   STEP joystick ID X Y Z R U V BUTTONS POV
//                                 axes 0..65535 (32767 centred), buttons as a bit set (button 1
//                                 is bit 0), point of view in hundredths of degrees (65535 centred)
//   STEP joystick-caps ID AXES BUTTONS POV NAME
//                                 what the joystick has (POV 0 or 1) and its name (may be empty)
//
// Step numbers start at 1 and never go down from one line to the next.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/Input.h"

namespace kestro {

struct RInputLine {
  enum EKind { kEvent, kJoystick, kJoystickCaps };
  int64_t step = 1;
  EKind kind = kEvent;
  RInputEvent event;      // kEvent
  int joystick = 0;       // kJoystick, kJoystickCaps: 0 first, 1 second
  bool connected = true;  // kJoystick: false for "none"
  RJoystickState state;
  RJoystickCaps caps;
  bool operator==(const RInputLine& o) const;
};

// One line of an input file. Returns false with `error` (without the line number) for a bad line;
// `empty` is set for blank and comment lines (true is returned for them).
bool ParseInputLine(std::string_view text, RInputLine& out, bool& empty, std::string& error);
// The line's text (no line break), as ParseInputLine reads it back.
std::string FormatInputLine(const RInputLine& line);

// A whole file. Errors are "FILE:LINE: message"; a step below the one of the line before is one.
bool ReadInputFile(const std::string& file, std::vector<RInputLine>& out, std::string& error);
bool ParseInputText(std::string_view text, const std::string& name, std::vector<RInputLine>& out,
                    std::string& error);

// The joysticks as an input file describes them.
class CReplayJoysticks final : public IJoysticks {
 public:
  CReplayJoysticks();
  bool Caps(int index, RJoystickCaps& caps) override;
  bool Read(int index, RJoystickState& state) override;
  void Apply(const RInputLine& line);

 private:
  std::array<bool, 2> connected_{};
  std::array<RJoystickState, 2> state_{};
  std::array<RJoystickCaps, 2> caps_{};
};

// Replays an input file: FeedThrough(step) hands every event up to that step to Input() and to
// the joysticks. While it is installed the desktop's own keyboard and mouse events are ignored
// (its close button still works), and the desktop's joysticks are replaced.
class CInputReplay {
 public:
  explicit CInputReplay(std::vector<RInputLine> lines) : lines_(std::move(lines)) {}
  // Where the events go (empty: Input()); a recorder's Take when the replay is recorded too.
  void SetSink(std::function<void(const RInputEvent&)> sink) { sink_ = std::move(sink); }
  void FeedThrough(int64_t step);
  // The filter and joysticks in place (Uninstall puts the joysticks that were there back).
  void Install();
  void Uninstall();
  bool Done() const { return next_ >= lines_.size(); }

 private:
  std::vector<RInputLine> lines_;
  size_t next_ = 0;
  CReplayJoysticks joysticks_;
  IJoysticks* previous_ = nullptr;
  std::function<void(const RInputEvent&)> sink_;
};

// Records what reaches the input state from the desktop while a person plays. Events that arrive
// between two steps are held back and handed on together right before the next step (Deliver), so
// a replay gives them at the same moment; events that arrive while a step runs (the game asks for
// messages itself) are handed on at once and written for that step. Joystick positions are written
// when they change.
class CInputRecorder {
 public:
  ~CInputRecorder();
  bool Open(const std::string& file, std::string& error);
  // The main loop's progress: Deliver right before step `step` runs; StepDone after it ran.
  void Deliver(int64_t step);
  void StepDone(int64_t step);
  // An event from the desktop (or a replay) on its way to the input state.
  void Take(const RInputEvent& e);
  // `deviceEvents`: the desktop's events come through the recorder (off when a replay feeds it).
  // The joysticks installed now are read through the recorder.
  void Install(bool deviceEvents = true);
  void Uninstall();
  void Close();

 private:
  class CJoysticks;
  void Write(const RInputLine& line);

  std::FILE* file_ = nullptr;
  int64_t step_ = 1;
  bool inStep_ = false;
  std::vector<RInputEvent> held_;
  IJoysticks* previous_ = nullptr;
  CJoysticks* joysticks_ = nullptr;
};

}  // namespace kestro
