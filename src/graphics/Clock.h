// The microsecond clock and the step wait. Time comes from an injectable source so that tests and
// the deterministic run mode drive it; waiting blocks in the source, it never spins.
#pragma once

#include <cstdint>
#include <functional>

namespace kestro {

class IClock {
 public:
  virtual ~IClock() = default;
  virtual int64_t NowMicroseconds() = 0;         // monotonic
  virtual void Sleep(int64_t microseconds) = 0;  // blocks the thread
  // True for time that moves only by sleeping (virtual time): a wait then sleeps exactly its
  // length in one go, since no slice of it can pass any other way.
  virtual bool Exact() const { return false; }
};

// The machine's monotonic clock.
class CSystemClock : public IClock {
 public:
  int64_t NowMicroseconds() override;
  // Returns early when a stop signal arrives (see os::SleepMicroseconds).
  void Sleep(int64_t microseconds) override;
};

// Time that moves only when asked: sleeping advances it by exactly the time slept.
class CManualClock : public IClock {
 public:
  int64_t NowMicroseconds() override { return now_; }
  void Sleep(int64_t microseconds) override {
    if (microseconds > 0) now_ += microseconds;
  }
  void Advance(int64_t microseconds) { now_ += microseconds; }
  bool Exact() const override { return true; }

 private:
  int64_t now_ = 0;
};

class CStepClock {
 public:
  explicit CStepClock(IClock* clock = nullptr);
  // Replaces the time source (null: the system clock) and restarts the count at 0.
  void SetSource(IClock* clock);
  // Called in every 1 ms slice of a wait: the window's message processing.
  void SetMessagePump(std::function<void()> pump) { pump_ = std::move(pump); }
  // Asked in every slice of a wait: true ends the wait early (a request to stop the game).
  void SetInterruptCheck(std::function<bool()> check) { interrupted_ = std::move(check); }
  bool Interrupted() const { return interrupted_ && interrupted_(); }
  // Whether waits are exact (virtual time, see IClock::Exact).
  bool Exact() const { return clock_->Exact(); }
  IClock& Source() { return *clock_; }

  // Microseconds since the clock was started.
  int64_t MicrosecondClock();
  // Blocks for t microseconds: long waits first sleep all but the last millisecond in one go,
  // then 1 ms slices with the window's messages processed, until the clock has moved on by t
  // (or gone backwards, or the interrupt check says stop). Nothing for t <= 0. On an exact
  // clock the messages are processed once and the wait is exactly t.
  void WaitMicroseconds(int64_t t);
  // Blocks without processing messages.
  void Sleep(int64_t microseconds) { clock_->Sleep(microseconds); }

 private:
  IClock* clock_;
  int64_t start_ = 0;
  std::function<void()> pump_;
  std::function<bool()> interrupted_;
};

// How long from `now` (microseconds) to the next refresh of a display running at `frequency` Hz
// (60 when unknown); the vertical-blank wait sleeps this long.
int64_t MicrosecondsToNextRefresh(int64_t now, int frequency);

// The process-wide step clock.
CStepClock& StepClock();

}  // namespace kestro
