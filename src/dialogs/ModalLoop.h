// Showing something modal in the game window (the message dialog, the pop-up menu, the choosers):
// no game step runs while it shows; the window's events go to it, it is drawn over the game's last
// frame, and when it closes the whole input state is cleared so that its keys never reach the game.
//
// Where the events come from is replaceable (IDialogEvents): the desktop's window by default, a
// queue of events in tests. When no event can ever arrive (a headless run, or a test whose events
// are used up) the next scripted answer closes it (`kestro run --answer`), or else it is closed as
// by Escape: a run never waits for ever on a dialog nobody can see.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "graphics/Input.h"

namespace kestro::dialogs {

// What a modal loop shows. Positions of mouse events are in the drawn region's pixels.
class IModalView {
 public:
  virtual ~IModalView() = default;
  virtual void Feed(const RInputEvent& e) = 0;
  virtual bool Done() const = 0;
  // Events taken but not yet acted upon (a view that handles them frame by frame).
  virtual bool Busy() const { return false; }
  // Acts on events taken: called once per frame, before it is drawn (also without a device).
  virtual void Update() {}
  // Draws the view through the drawing layer, over the game's frame.
  virtual void Draw() = 0;
  // Closes it with a scripted answer (a button number, a text, an item number, ...).
  virtual void Answer(const std::string& answer) = 0;
  // Closes it as Escape would.
  virtual void Cancel() = 0;
  // One line for the notices of headless runs: what was shown and what it gave.
  virtual std::string Describe() const = 0;
};

// The source of a dialog's events.
class IDialogEvents {
 public:
  virtual ~IDialogEvents() = default;
  // Waits a moment for events and appends them; false when no event can ever arrive.
  virtual bool Poll(std::vector<RInputEvent>& out) = 0;
};

// The desktop's events (through the input device), taken before they reach the game's state.
class CDesktopDialogEvents final : public IDialogEvents {
 public:
  bool Poll(std::vector<RInputEvent>& out) override;
};

// A fixed list of events, handed over all at once; afterwards no more can arrive.
class CQueuedDialogEvents final : public IDialogEvents {
 public:
  CQueuedDialogEvents() = default;
  explicit CQueuedDialogEvents(std::vector<RInputEvent> events) : events_(std::move(events)) {}
  void Add(const RInputEvent& e) { events_.push_back(e); }
  bool Poll(std::vector<RInputEvent>& out) override;

 private:
  std::vector<RInputEvent> events_;
};

// The source the modal loop uses (null: the desktop's).
void SetDialogEvents(IDialogEvents* events);
IDialogEvents& DialogEvents();

// Answers for dialogs that nobody can answer, used in order, one per dialog.
void AddScriptedAnswer(const std::string& answer);
void ClearScriptedAnswers();
// Where the notice of each dialog closed without events goes (empty: nowhere).
void SetDialogNotice(std::function<void(const std::string&)> notice);

// Shows `view` until it is done, then clears the input state fully.
void RunModal(IModalView& view);

// A pointer position in the window's client area as a position in the drawn region.
void ClientToRegionPoint(double cx, double cy, double& rx, double& ry);

}  // namespace kestro::dialogs
