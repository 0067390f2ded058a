#include "platform/posix/Signals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/posix/TempFolder.h"

namespace kestro::os {

namespace {

volatile sig_atomic_t g_signal = 0;
std::atomic<bool> g_stop{false};
int g_pipe[2] = {-1, -1};
bool g_installed = false;

void Wake() {
  if (g_pipe[1] >= 0) {
    const char c = 's';
    // A full pipe already wakes the sleeper; the result does not matter.
    [[maybe_unused]] ssize_t n = write(g_pipe[1], &c, 1);
  }
}

void OnStopSignal(int sig) {
  if (g_stop.load()) {
    // The second request: end now. Both calls are async-signal-safe.
    RemoveRegisteredTempFolder();
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  g_signal = sig;
  g_stop.store(true);
  Wake();
}

void Drain() {
  if (g_pipe[0] < 0) return;
  char buf[64];
  while (read(g_pipe[0], buf, sizeof buf) > 0) {
  }
}

int64_t Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

}  // namespace

void InstallStopSignals() {
  if (g_pipe[0] < 0 && pipe2(g_pipe, O_NONBLOCK | O_CLOEXEC) != 0) g_pipe[0] = g_pipe[1] = -1;
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGINT, SIGTERM}) sigaction(sig, &sa, nullptr);
  g_installed = true;
}

void RemoveStopSignals() {
  if (g_installed) {
    // The temporary folder's own handling comes back (it removes the folder at once).
    RegisterTempFolderSignals();
    g_installed = false;
  }
  g_stop.store(false);
  g_signal = 0;
  Drain();
}

bool StopRequested() { return g_stop.load(); }
int StopSignal() { return g_signal; }

void RequestStop(int sig) {
  g_signal = sig;
  g_stop.store(true);
  Wake();
}

void SleepMicroseconds(int64_t microseconds) {
  if (microseconds <= 0) return;
  const int64_t end = Now() + microseconds;
  for (int64_t left = microseconds; left > 0; left = end - Now()) {
    timespec ts{time_t(left / 1000000), long(left % 1000000) * 1000};
    if (g_pipe[0] >= 0) {
      pollfd p{g_pipe[0], POLLIN, 0};
      const int r = ppoll(&p, 1, &ts, nullptr);
      if (r > 0) {
        Drain();
        return;
      }
      if (r == 0) return;
    } else if (nanosleep(&ts, nullptr) == 0) {
      return;
    }
    if (errno != EINTR || g_stop.load()) return;
  }
}

}  // namespace kestro::os
