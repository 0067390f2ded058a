#include "graphics/Clock.h"

#include <chrono>

#include "platform/posix/Signals.h"

namespace kestro {

int64_t CSystemClock::NowMicroseconds() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void CSystemClock::Sleep(int64_t microseconds) {
  if (microseconds > 0) os::SleepMicroseconds(microseconds);
}

namespace {
CSystemClock& SystemClock() {
  static CSystemClock clock;
  return clock;
}
}  // namespace

CStepClock::CStepClock(IClock* clock) { SetSource(clock); }

void CStepClock::SetSource(IClock* clock) {
  clock_ = clock ? clock : &SystemClock();
  start_ = clock_->NowMicroseconds();
}

int64_t CStepClock::MicrosecondClock() { return clock_->NowMicroseconds() - start_; }

void CStepClock::WaitMicroseconds(int64_t t) {
  if (t <= 0) return;
  if (clock_->Exact()) {
    if (pump_) pump_();
    clock_->Sleep(t);
    return;
  }
  int64_t begin = clock_->NowMicroseconds();
  if (t >= 2000) clock_->Sleep((t - 1000) / 1000 * 1000);
  for (;;) {
    if (Interrupted()) break;
    clock_->Sleep(1000);
    if (pump_) pump_();
    int64_t now = clock_->NowMicroseconds();
    if (now - begin >= t || now < begin) break;
  }
}

int64_t MicrosecondsToNextRefresh(int64_t now, int frequency) {
  if (frequency <= 0 || frequency > 1000) frequency = 60;
  int64_t period = 1000000 / frequency;
  int64_t into = now % period;
  if (into < 0) into += period;
  return period - into;
}

CStepClock& StepClock() {
  static CStepClock clock;
  return clock;
}

}  // namespace kestro
