// The main loop: one step at a time in the fixed order of phases, steps spaced at the room speed by
// the step clock, frames presented, steps per second counted, and the pending change carried out
// between steps. What needs the desktop (messages, input, drawing, presenting) comes in as hooks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kestro {

struct CLoopHooks {
  std::function<void()> pumpMessages;
  std::function<bool()> windowActive;  // empty: always active
  // The frame: drawing the room (sorts the instances and performs draw events) and presenting it.
  std::function<void()> drawRoom;
  std::function<void()> presentFrame;
  // Hotkeys.
  std::function<void()> showGameInformation;
  std::function<void()> toggleFullScreen;
  std::function<void(const std::string& file)> saveScreenshot;
  // After every step that ran (step number from 1): frame files, state hashes, ...
  std::function<void(int64_t step)> afterStep;
};

class CMainLoop {
 public:
  explicit CMainLoop(CLoopHooks hooks) : hooks_(std::move(hooks)) {}

  // Starts the game, runs steps until it ends (or, when `maxSteps` is not negative, until that many
  // steps and the change they asked for are done), and ends it.
  void RunGame(int64_t maxSteps = -1);
  // One step in the fixed order; returns at the first pending check that finds a change.
  void RunStep();
  // Carries out the pending change; false when the game is over (end or abort).
  bool CarryOutPendingChange();

  int fps() const { return fps_; }
  int64_t steps() const { return steps_; }

 private:
  void Hotkeys();
  void Animate();

  CLoopHooks hooks_;
  bool running_ = false;
  int fps_ = 0;
  int64_t steps_ = 0;
};

}  // namespace kestro
