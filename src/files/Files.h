// The file subsystem over a run: secure mode decided once at start-up, and everything game code
// left open put away when the game ends.
#pragma once

namespace kestro::files {

// Decides secure mode from the registry (see SecureModeFromRegistry) into the run state. Never
// creates the registry store.
void DecideSecureMode();

// The end of the game: every binary and text file is closed, the directory search ends, the open
// settings file is written back (so changes made without ini_close are kept), programs started
// without waiting that have ended are collected and the registry store is closed.
void EndGameFiles();

}  // namespace kestro::files
