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
};

// The machine's monotonic clock.
class CSystemClock : public IClock {
 public:
  int64_t NowMicroseconds() override;
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

  // Microseconds since the clock was started.
  int64_t MicrosecondClock();
  // Blocks for t microseconds: long waits first sleep all but the last millisecond in one go,
  // then 1 ms slices with the window's messages processed, until the clock has moved on by t
  // (or gone backwards). Nothing for t <= 0.
  void WaitMicroseconds(int64_t t);
  // Blocks without processing messages.
  void Sleep(int64_t microseconds) { clock_->Sleep(microseconds); }

 private:
  IClock* clock_;
  int64_t start_ = 0;
  std::function<void()> pump_;
};

// How long from `now` (microseconds) to the next refresh of a display running at `frequency` Hz
// (60 when unknown); the vertical-blank wait sleeps this long.
int64_t MicrosecondsToNextRefresh(int64_t now, int frequency);

// The process-wide step clock.
CStepClock& StepClock();

}  // namespace kestro
