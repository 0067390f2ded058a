// The microsecond clock and the step wait, driven by a clock the test controls, and once by the
// machine's clock to see that waiting blocks instead of spinning.
#include <gtest/gtest.h>

#include <ctime>
#include <vector>

#include "graphics/Clock.h"

namespace kestro::test {
namespace {

// Records every sleep; time moves only by sleeping, or backwards when told to.
class ScriptedClock : public IClock {
 public:
  int64_t now = 1'000'000;
  std::vector<int64_t> sleeps;
  int64_t jumpBackAfter = -1;  // after this many sleeps the clock goes back by a second
  int64_t NowMicroseconds() override { return now; }
  void Sleep(int64_t us) override {
    sleeps.push_back(us);
    now += us;
    if (int64_t(sleeps.size()) == jumpBackAfter) now -= 1'000'000;
  }
};

TEST(StepClock, CountsFromItsStart) {
  ScriptedClock c;
  CStepClock clock(&c);
  EXPECT_EQ(clock.MicrosecondClock(), 0);
  c.now += 1234;
  EXPECT_EQ(clock.MicrosecondClock(), 1234);
}

TEST(StepClock, WaitSleepsLongThenInMillisecondSlicesWithMessages) {
  struct {
    int64_t wait;
    std::vector<int64_t> sleeps;
    int pumps;
  } cases[] = {
      {0, {}, 0},
      {-5, {}, 0},
      {1, {1000}, 1},
      {1500, {1000, 1000}, 2},
      {2000, {1000, 1000}, 1},  // (2000 - 1000) div 1000 = 1 ms in one go, then one slice
      {5000, {4000, 1000}, 1},
      {16667, {15000, 1000, 1000}, 2},
  };
  for (auto& k : cases) {
    ScriptedClock c;
    CStepClock clock(&c);
    int pumps = 0;
    clock.SetMessagePump([&] { ++pumps; });
    clock.WaitMicroseconds(k.wait);
    EXPECT_EQ(c.sleeps, k.sleeps) << k.wait;
    EXPECT_EQ(pumps, k.pumps) << k.wait;
  }
}

TEST(StepClock, WaitEndsWhenTheClockGoesBackwards) {
  ScriptedClock c;
  c.jumpBackAfter = 2;
  CStepClock clock(&c);
  clock.WaitMicroseconds(10000);
  EXPECT_EQ(c.sleeps.size(), 2u);
}

TEST(StepClock, ManualClockMakesWaitsExact) {
  CManualClock m;
  CStepClock clock(&m);
  int pumps = 0;
  clock.SetMessagePump([&] { ++pumps; });
  clock.WaitMicroseconds(33333);
  // Virtual time passes only by sleeping, so a wait on it is one sleep of exactly its length
  // (not whole 1 ms slices, which would make every step of a headless run 667 us too long).
  EXPECT_EQ(clock.MicrosecondClock(), 33333);
  EXPECT_EQ(pumps, 1);
  clock.WaitMicroseconds(0);
  EXPECT_EQ(clock.MicrosecondClock(), 33333);
}

TEST(StepClock, InterruptEndsAWaitBeforeTheNextSlice) {
  ScriptedClock c;
  CStepClock clock(&c);
  int pumps = 0;
  bool stop = false;
  clock.SetMessagePump([&] { ++pumps; });
  clock.SetInterruptCheck([&] { return stop; });
  clock.WaitMicroseconds(3000);
  EXPECT_EQ(c.sleeps, (std::vector<int64_t>{2000, 1000}));
  stop = true;
  c.sleeps.clear();
  // The long sleep itself wakes up for a stop signal (the system clock's sleep); no slice follows.
  clock.WaitMicroseconds(10000);
  EXPECT_EQ(c.sleeps, (std::vector<int64_t>{9000}));
  clock.WaitMicroseconds(1500);
  EXPECT_EQ(c.sleeps, (std::vector<int64_t>{9000}));
  EXPECT_EQ(pumps, 1);
  EXPECT_TRUE(clock.Interrupted());
}

TEST(StepClock, VerticalBlankWaitReachesTheNextRefresh) {
  EXPECT_EQ(MicrosecondsToNextRefresh(0, 50), 20000);
  EXPECT_EQ(MicrosecondsToNextRefresh(25000, 50), 15000);
  EXPECT_EQ(MicrosecondsToNextRefresh(-5000, 50), 5000);
  EXPECT_EQ(MicrosecondsToNextRefresh(1000, 0), 16666 - 1000);  // unknown: 60 Hz
}

TEST(StepClock, RealWaitBlocks) {
  CStepClock clock;
  int64_t t0 = clock.MicrosecondClock();
  std::clock_t cpu0 = std::clock();
  clock.WaitMicroseconds(20000);
  int64_t elapsed = clock.MicrosecondClock() - t0;
  double cpuMs = double(std::clock() - cpu0) * 1000.0 / CLOCKS_PER_SEC;
  EXPECT_GE(elapsed, 20000);
  EXPECT_LT(elapsed, 200000);
  EXPECT_LT(cpuMs, 8.0);  // a spinning wait would burn the whole 20 ms
}

}  // namespace
}  // namespace kestro::test
