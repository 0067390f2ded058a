// The game-wide values of a run that game code reads and sets as built-in variables: score, lives
// and health with their caption display, the cursor sprite, and the values other subsystems
// measure or set and the world only keeps (the frame rate of the main loop, the view being drawn,
// the display's anti-aliasing levels). Also the relative flag of the running action, the hook
// through which a change of lives or health reaches every instance, and the clock behind
// `current_time` and the date variables.
#pragma once

#include <cstdint>
#include <string>

#include "world/Events.h"

namespace kestro {

struct CGameState {
  int score = 0;
  int lives = -1;
  double health = 100;
  bool showScore = true;
  bool showLives = false;
  bool showHealth = false;
  // Set by every assignment to `show_score` (and by the actions that set the score caption): from
  // then on the caption shows the score even while it is 0.
  bool scoreShownExplicitly = false;
  std::string captionScore = "Score: ";
  std::string captionLives = "Lives: ";
  std::string captionHealth = "Health: ";
  int cursorSprite = -1;  // -1: no sprite drawn at the mouse
  int cursorFrame = 0;    // the cursor sprite's image; the main loop counts it up every step
  int fps = 0;            // steps counted in the last whole second, written by the main loop
  int viewCurrent = 0;    // the view being drawn; 0 outside the draw step
  // `set_automatic_draw`: while off, the main loop neither draws the room nor presents a frame (the
  // game draws with screen_redraw); it survives a restart, as the display settings do.
  bool automaticDraw = true;
  // The accepted multisample levels as a bit set (2, 4, 8, 16), written at device creation.
  int displayAa = 0;

  // Back to the values of a fresh process.
  void Reset() { *this = CGameState(); }
  // Game start and restart: score 0, lives -1, no cursor sprite, cursor frame 0. Health and the
  // caption settings carry over; the transition kind is the world's (World().transitionKind).
  void ResetForGameStart();
};
CGameState& GameState();

// The window caption of a step: the room's caption, then " " + caption + value for the score (when
// shown and either set explicitly or above 0), the lives and the health (rounded), each when shown.
std::string BuildCaption(const std::string& roomCaption, const CGameState& state);

// The relative flag of the action being executed (`argument_relative`): the event dispatcher sets
// it before each function or code action.
bool& ActionRelative();

// The numbers of the other events a change of lives or health sets off.
inline constexpr int32_t kEventNoMoreLives = 6;
inline constexpr int32_t kEventNoMoreHealth = 9;

// Performs an event for every instance of the room: PerformEventForAll, unless a test installs a
// performer of its own (nullptr: back to PerformEventForAll).
using EventForAllPerformer = void (*)(int32_t type, int32_t number);
void SetEventForAllPerformer(EventForAllPerformer performer);
void CallEventForAllPerformer(int32_t type, int32_t number);

// Sets lives or health. Losing the last life or the last health sets off the other event for every
// instance: only on the change from above 0 to 0 or less, so lowering them further does nothing more.
void ChangeLives(int lives);
void ChangeHealth(double health);

// The local date and time of day, as the date variables give them.
struct RLocalTime {
  int year = 0;
  int month = 0;    // 1 ... 12
  int day = 0;      // 1 ... 31
  int weekday = 0;  // 1 Sunday ... 7 Saturday
  int hour = 0, minute = 0, second = 0;
};

// Where `current_time` and the date variables come from; tests install a fixed one.
class IGameClock {
 public:
  virtual ~IGameClock() = default;
  // Milliseconds on a monotonic clock counted from the computer's start.
  virtual int64_t Milliseconds() = 0;
  virtual RLocalTime LocalTime() = 0;
};
// nullptr: the system's clock.
void SetGameClock(IGameClock* clock);
IGameClock& GameClock();

}  // namespace kestro
