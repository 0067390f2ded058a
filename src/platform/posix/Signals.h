// Stopping a running game from outside: SIGINT and SIGTERM ask the game to end the way the game
// itself would (the main loop sees the request between steps, the room end and game end events
// run, the temporary folder is removed); a second one ends the process at once. The handler only
// sets a flag and wakes the sleeping thread through a pipe, both async-signal-safe.
#pragma once

#include <cstdint>

namespace kestro::os {

// Installs the handlers for SIGINT and SIGTERM (replacing the immediate removal of the temporary
// folder, which the second signal still does).
void InstallStopSignals();
// Back to the immediate handling (the temporary folder is removed, the signal takes its course),
// and the request forgotten.
void RemoveStopSignals();

// Whether a stop was asked for, and by which signal (0: none).
bool StopRequested();
int StopSignal();
// Asks for a stop as a signal would (tests, and whoever else needs the same path).
void RequestStop(int signal);

// Sleeps the thread; returns early when a stop request arrives during the sleep.
void SleepMicroseconds(int64_t microseconds);

}  // namespace kestro::os
