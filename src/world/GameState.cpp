#include "world/GameState.h"

#include <chrono>
#include <ctime>

#include "script/Value.h"

namespace kestro {

void CGameState::ResetForGameStart() {
  score = 0;
  lives = -1;
  cursorSprite = -1;
  cursorFrame = 0;
}

CGameState& GameState() {
  static CGameState state;
  return state;
}

std::string BuildCaption(const std::string& roomCaption, const CGameState& state) {
  std::string caption = roomCaption;
  auto append = [&caption](const std::string& label, long long value) {
    caption += ' ';
    caption += label;
    caption += std::to_string(value);
  };
  if (state.showScore && (state.scoreShownExplicitly || state.score > 0)) append(state.captionScore, state.score);
  if (state.showLives) append(state.captionLives, state.lives);
  if (state.showHealth) append(state.captionHealth, RoundToInt64(state.health));
  return caption;
}

bool& ActionRelative() {
  static bool relative = false;
  return relative;
}

namespace {

EventForAllPerformer g_eventForAll = nullptr;

class CSystemClock final : public IGameClock {
 public:
  int64_t Milliseconds() override {
    // The monotonic clock counts from the computer's start and never goes back when the date is
    // changed.
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  RLocalTime LocalTime() override {
    const std::time_t now = std::time(nullptr);
    RLocalTime t;
    if (const std::tm* tm = std::localtime(&now)) {
      t.year = tm->tm_year + 1900;
      t.month = tm->tm_mon + 1;
      t.day = tm->tm_mday;
      t.weekday = tm->tm_wday + 1;
      t.hour = tm->tm_hour;
      t.minute = tm->tm_min;
      t.second = tm->tm_sec;
    }
    return t;
  }
};

CSystemClock g_systemClock;
IGameClock* g_clock = &g_systemClock;

}  // namespace

void SetEventForAllPerformer(EventForAllPerformer performer) { g_eventForAll = performer; }

void CallEventForAllPerformer(int32_t type, int32_t number) {
  if (g_eventForAll)
    g_eventForAll(type, number);
  else
    PerformEventForAll(type, number);
}

void SetGameClock(IGameClock* clock) { g_clock = clock ? clock : &g_systemClock; }
IGameClock& GameClock() { return *g_clock; }

void ChangeLives(int lives) {
  const int before = GameState().lives;
  GameState().lives = lives;
  if (before > 0 && lives <= 0) CallEventForAllPerformer(kEventOther, kEventNoMoreLives);
}

void ChangeHealth(double health) {
  const double before = GameState().health;
  GameState().health = health;
  if (before > 0 && health <= 0) CallEventForAllPerformer(kEventOther, kEventNoMoreHealth);
}

}  // namespace kestro
