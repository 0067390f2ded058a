#include "runner/MainLoop.h"

#include <cmath>
#include <filesystem>
#include <string>

#include "graphics/Clock.h"
#include "graphics/GameWindow.h"
#include "graphics/Graphics.h"
#include "graphics/Input.h"
#include "graphics/InputEvents.h"
#include "graphics/ScreenSnapshot.h"
#include "io/Messages.h"
#include "io/RunState.h"
#include "particles/ParticleLayer.h"
#include "resources/GameResources.h"
#include "resources/GameSettings.h"
#include "world/Collisions.h"
#include "world/ErrorReport.h"
#include "world/Events.h"
#include "world/GameState.h"
#include "world/PathFollowing.h"
#include "world/ResourceChanges.h"
#include "world/SaveGame.h"
#include "world/TimeLines.h"
#include "world/World.h"

namespace kestro {

namespace {

void Call(const std::function<void()>& hook) {
  if (hook) hook();
}

bool Pending() { return World().pendingChange != kNoChange; }

// "screenshot" + the first number from 100 up that names no file yet + ".png", beside the game.
std::string ScreenshotName() {
  const std::string& folder = RunState().gameFolder;
  for (int n = 100;; ++n) {
    const std::string name = "screenshot" + std::to_string(n) + ".png";
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::path(folder.empty() ? "." : folder) / name;
    if (!std::filesystem::exists(path, ec)) return path.string();
  }
}

}  // namespace

void CMainLoop::Hotkeys() {
  const int key = Input().LastKey();
  const CGameSettings& s = GameSettings();
  bool handled = true;
  if (key == 112 && s.f1ShowsInfo) {
    if (hooks_.showGameInformation)
      hooks_.showGameInformation();
    else
      ShowGameInformationMessage();
    Input().Clear();
  } else if (key == 27 && s.escEndsGame) {
    World().pendingChange = kChangeEndGame;
  } else if (key == 115 && s.f4SwitchesScreen) {
    if (hooks_.toggleFullScreen)
      hooks_.toggleFullScreen();
    else if (CGameWindow* window = GameWindow())
      window->SetFullScreen(!window->State().fullScreen);
  } else if (key == 116 && s.f5SavesF6Loads) {
    SaveQuickGame();
  } else if (key == 117 && s.f5SavesF6Loads) {
    // At once, before the step's events: the step goes on in the loaded game.
    LoadQuickGame();
  } else if (key == 120 && s.f9Screenshot) {
    if (hooks_.saveScreenshot)
      hooks_.saveScreenshot(ScreenshotName());
    else
      SaveScreenSnapshot(ScreenshotName());
  } else {
    handled = false;
  }
  if (handled) Input().SetLastKey(0);
}

void CMainLoop::Animate() {
  CLiveRoom& room = World().Room();
  for (size_t k = 0; k < room.Active().size(); ++k) {
    CInstance* inst = room.Active()[k].get();
    inst->i_imageindex += inst->i_imagespeed;
    const int count = inst->ImageNumber();
    if (std::floor(inst->i_imageindex) >= count) {
      inst->i_imageindex -= count;
      PerformInstanceEvent(inst, inst, kEventOther, 7);
    }
  }
}

bool CMainLoop::RunStep() {
  CWorld& w = World();
  if (hooks_.overlayShowing && hooks_.overlayShowing()) return false;
  const bool active = !hooks_.windowActive || hooks_.windowActive();
  if (GameSettings().freezeWhenInactive && !active) return false;
  Hotkeys();
  if (!active) Input().Clear();
  DispatchCloseButton();
  for (const auto& inst : w.Room().Active()) {
    inst->i_xprevious = inst->i_x;
    inst->i_yprevious = inst->i_y;
    inst->SetPathPositionPrevious(inst->i_pathposition);
  }
  EvaluateTriggers(kTriggerBeginStep);
  DispatchEvent(kEventStep, 1);
  if (Pending()) return true;
  StepTimelines();
  if (Pending()) return true;
  StepAlarms();
  if (Pending()) return true;
  DispatchKeyboardEvents();
  if (Pending()) return true;
  DispatchJoystickEvents();
  if (Pending()) return true;
  DispatchMouseEvents();
  if (Pending()) return true;
  EvaluateTriggers(kTriggerNormalStep);
  DispatchEvent(kEventStep, 0);
  if (Pending()) return true;
  // Motion, marked instances included: friction and gravity, then the move.
  for (size_t k = 0; k < w.Room().Active().size(); ++k) {
    CInstance* inst = w.Room().Active()[k].get();
    inst->Adapt_Speed();
    if (Adapt_Path(*inst)) PerformInstanceEvent(inst, inst, kEventOther, kEventEndOfPath);
    inst->SetPosition(inst->i_x + inst->i_hspeed, inst->i_y + inst->i_vspeed);
  }
  PerformBoundaryEvents();
  if (Pending()) return true;
  PerformCollisionEvents();
  if (Pending()) return true;
  EvaluateTriggers(kTriggerEndStep);
  DispatchEvent(kEventStep, 2);
  if (Pending()) return true;
  UpdateParticleSystems();
  w.Room().RemoveMarked();
  if (GameState().automaticDraw) Call(hooks_.drawRoom);
  for (CBack& b : w.Room().r_background) {
    b.x += b.hspeed;
    b.y += b.vspeed;
  }
  Animate();
  ++GameState().cursorFrame;
  Call(hooks_.endOfStep);
  Input().EndStep();
  return true;
}

bool CMainLoop::CarryOutPendingChange() {
  CWorld& w = World();
  const int change = w.pendingChange;
  if (change == kNoChange) return true;
  if (change == kChangeEndGame || change == kChangeAbort) {
    running_ = false;
    return false;
  }
  if (change == kChangeLoad) {
    w.pendingChange = kNoChange;
    Input().Clear();
    LoadGame(PendingLoadFile());
  } else if (change == kChangeRestart) {
    w.pendingChange = kNoChange;
    EndGame();
    StartGame();
  } else {
    GotoRoom(change);
  }
  return true;
}

int64_t CMainLoop::NextPeriod(int speed, bool exact) {
  if (!exact) return 1000000 / speed;
  if (speed != scheduleSpeed_) {
    scheduleSpeed_ = speed;
    schedulePeriods_ = 0;
  }
  const int64_t k = ++schedulePeriods_;
  return k * 1000000 / speed - (k - 1) * 1000000 / speed;
}

void CMainLoop::RunGame(int64_t maxSteps) {
  CWorld& w = World();
  running_ = true;
  w.hooks.clearInput = [] { Input().Clear(); };
  StartGame();
  CStepClock& clock = StepClock();
  scheduleSpeed_ = 0;
  auto stopAsked = [this] { return hooks_.stopRequested && hooks_.stopRequested(); };
  if (CarryOutPendingChange() && maxSteps != 0) {
    int64_t T = clock.MicrosecondClock(), F = T;
    int counter = 0;
    fps_ = 0;
    GameState().fps = 0;
    Call(hooks_.pumpMessages);
    while (running_) {
      // No game code runs here: what resource changes retired during the last step can go.
      ReleaseRetired();
      if (maxSteps >= 0 && steps_ >= maxSteps) break;
      if (paused_) {
        if (!WaitWhilePaused(maxSteps)) break;
        // Going on after a pause: the schedule and the count of steps per second start again.
        T = F = clock.MicrosecondClock();
        counter = 0;
        fps_ = 0;
        GameState().fps = 0;
        continue;
      }
      try {
        if (stopAsked()) w.pendingChange = kChangeEndGame;
        CountedStep();
        const int64_t N = clock.MicrosecondClock();
        if (N < T) T = N;
        if (w.Room().r_speed < 1) w.Room().r_speed = 1;
        const int64_t period = NextPeriod(w.Room().r_speed, clock.Exact());
        int64_t wait = period - (N - T);
        wait = wait < 0 ? 0 : wait > 1000000 ? 1000000 : wait;
        clock.WaitMicroseconds(wait);
        T = N + wait;
        if (T < F) F = T;
        if (T / 1000000 > F / 1000000) {
          fps_ = counter;
          GameState().fps = counter;
          counter = 0;
          F = T;
        }
        ++counter;
        if (stopAsked()) w.pendingChange = kChangeEndGame;
        if (!Pending() && GameState().automaticDraw) {
          Call(hooks_.presentFrame);
          CGraphics& g = Graphics();
          if (g.DisplayResetPending()) g.ApplyDisplayReset();
          g.BeginFrame();
        }
        if (!CarryOutPendingChange()) break;
        Call(hooks_.pumpMessages);
      } catch (const std::exception&) {
        // A failure inside one iteration never ends the game; the next one runs.
      }
    }
  }
  w.pendingChange = kNoChange;
  EndGame();
  ReleaseRetired();
  running_ = false;
  paused_ = false;
  stepsAsked_ = 0;
}

void CMainLoop::Resume() {
  if (running_) paused_ = false;
}

void CMainLoop::Pause() {
  if (running_) paused_ = true;
}

void CMainLoop::StepOnce() {
  if (running_ && paused_) ++stepsAsked_;
}

void CMainLoop::Stop() {
  running_ = false;
  paused_ = false;
}

void CMainLoop::Restart() {
  if (!running_) return;
  // An end or abort already asked for stays what happens.
  int& pending = World().pendingChange;
  if (pending != kChangeEndGame && pending != kChangeAbort) pending = kChangeRestart;
  paused_ = false;
}

void CMainLoop::CountedStep() {
  if (Pending()) return;
  if (hooks_.beforeStep) hooks_.beforeStep(steps_ + 1);
  bool ran = true;
  try {
    ran = RunStep();
  } catch (const std::exception&) {
  }
  if (ran) {
    ++steps_;
    if (hooks_.afterStep) hooks_.afterStep(steps_);
  }
}

bool CMainLoop::WaitWhilePaused(int64_t maxSteps) {
  while (running_ && paused_) {
    if (hooks_.stopRequested && hooks_.stopRequested()) {
      running_ = false;
      break;
    }
    if (stepsAsked_ > 0) {
      --stepsAsked_;
      if (maxSteps >= 0 && steps_ >= maxSteps) return false;
      ReleaseRetired();
      Call(hooks_.pumpMessages);
      CountedStep();
      if (!Pending() && GameState().automaticDraw) {
        Call(hooks_.presentFrame);
        CGraphics& g = Graphics();
        if (g.DisplayResetPending()) g.ApplyDisplayReset();
        g.BeginFrame();
      }
      if (!CarryOutPendingChange()) return false;
      Call(hooks_.pumpMessages);
      continue;
    }
    Call(hooks_.pumpMessages);
    if (!paused_ || stepsAsked_ > 0) continue;
    if (!hooks_.whilePaused || !hooks_.whilePaused()) paused_ = false;
  }
  return running_;
}

void ShowGameInformationMessage() {
  const CGameInformation& info = GameInformation();
  std::string text = info.caption.empty() ? std::string("Game Information") : info.caption;
  const std::string body = RichTextToPlain(info.text);
  if (!body.empty()) text += "\n\n" + body;
  ShowMessage(text);
}

}  // namespace kestro
