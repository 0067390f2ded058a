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
  // Asked after every step: true ends the game as the game itself would (room end and game end
  // events run). A stop signal's request.
  std::function<bool()> stopRequested;
  // Right before step `step` (from 1) runs, after the messages are processed: input replays.
  std::function<void(int64_t step)> beforeStep;
  // The frame: drawing the room (sorts the instances and performs draw events) and presenting it.
  std::function<void()> drawRoom;
  std::function<void()> presentFrame;
  // Hotkeys. Empty ones do what the model can do by itself: the game information's text as a
  // message, full screen switched in the game window, the screen snapshot written.
  std::function<void()> showGameInformation;
  std::function<void()> toggleFullScreen;
  std::function<void(const std::string& file)> saveScreenshot;
  // After every step that ran (step number from 1): frame files, state hashes, ...
  std::function<void(int64_t step)> afterStep;
  // At the end of every step that got there (after the animation, before the per-step input is
  // cleared): the debug window's refresh.
  std::function<void()> endOfStep;
  // While the game is paused, over and over after the messages are pumped: waits a little for the
  // next command. False when no command can ever come (nothing shows the controls): the game then
  // goes on by itself rather than wait for ever. Empty: the same as false.
  std::function<bool()> whilePaused;
  // True while a splash screen or the game information shows in the game window: no step runs.
  std::function<bool()> overlayShowing;
};

class CMainLoop {
 public:
  explicit CMainLoop(CLoopHooks hooks) : hooks_(std::move(hooks)) {}

  // Starts the game, runs steps until it ends (or, when `maxSteps` is not negative, until that many
  // steps and the change they asked for are done), and ends it.
  void RunGame(int64_t maxSteps = -1);
  // One step in the fixed order; returns at the first pending check that finds a change. False
  // when the step was skipped (the window is inactive and the game freezes then).
  bool RunStep();
  // Carries out the pending change; false when the game is over (end or abort).
  bool CarryOutPendingChange();

  int fps() const { return fps_; }
  int64_t steps() const { return steps_; }

  // The run controls of the debug window. Each only records what is asked (the window's commands
  // arrive while messages are pumped); the loop carries it out between steps.
  bool Running() const { return running_; }
  bool Paused() const { return paused_; }
  void Resume();    // running and paused: the loop goes on
  void Pause();     // running and not paused: after the current step the loop waits
  void StepOnce();  // running and paused: one more step, then the loop waits again
  void Stop();      // running: the game ends after the current step (at once when paused)
  void Restart();   // running: the restart is asked for (pending change), and a pause ends

 private:
  // The loop while paused: messages, the single steps asked for; false when the game is over.
  bool WaitWhilePaused(int64_t maxSteps);
  // One step between the before- and after-step hooks, unless a change is pending; a step that
  // fails half-way still counts: it ran.
  void CountedStep();
  void Hotkeys();
  void Animate();
  int64_t NextPeriod(int speed, bool exact);

  CLoopHooks hooks_;
  bool running_ = false;
  bool paused_ = false;
  int stepsAsked_ = 0;
  int fps_ = 0;
  int64_t steps_ = 0;
  // On an exact clock the periods of a speed are whole microseconds that add up to whole
  // seconds: period k since the speed was last set ends at floor(k * 1000000 / speed).
  int scheduleSpeed_ = 0;
  int64_t schedulePeriods_ = 0;
};

// The game information's text as the message path shows it (F1 while the game information window
// does not exist).
void ShowGameInformationMessage();

}  // namespace kestro
