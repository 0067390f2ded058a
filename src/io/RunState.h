// What the run is: the game file it came from, its folders, the parameters it was started with and
// the identity the game data gives it; and the trace log beside the game. Filled by the start-up
// sequence, read by every subsystem that writes files beside the game or names the game.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestro {

// Run-wide values read from the game data and the command line.
struct CRunState {
  std::string gameFile;    // the file the data came from
  std::string gameFolder;  // its folder: trace log, tempdir.txt, working files
  std::string title;       // the application title: the file name without folder and extension
  std::string tempFolder;  // per-run temporary folder, empty when it could not be made
  std::vector<std::string> parameters;  // the program name then the game's parameters
  bool trace = false;
  bool verbose = false;  // `kestro run --verbose`: progress and notes on standard error
  bool debugMode = false;
  // Secure mode, fixed at start-up: while on, writing files named with a folder part, starting
  // programs, extension packages and the like are refused.
  bool secureMode = false;
  int32_t gameId = 0;
  std::array<uint8_t, 16> guid{};
  size_t containerOffset = 0;
  std::string libraryName;  // the drawing library the data carries, and its size
  size_t librarySize = 0;
};
CRunState& RunState();

// The trace log "Trace.log" in the game's folder. TraceLine always writes, Trace only when the
// trace flag is on.
void TraceLine(const std::string& line);
void Trace(const std::string& line);

}  // namespace kestro
