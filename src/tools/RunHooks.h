// Wires the subsystems into the start-up sequence: each preparation step and the run itself.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "runner/MainLoop.h"
#include "runner/Runner.h"

namespace kestro::debug {
class IDebugView;
}

namespace kestro::tools {

// The steps the model does by itself (included files, compiling, ...).
CRunHooks MakeRunHooks();

// How `kestro run` plays: the main loop's desktop side (set by the program) and the options.
void SetLoopHooks(CLoopHooks hooks);

struct CRunOptions {
  // No display, no sound device, no message boxes, and virtual time: each step lasts exactly one
  // period of the room speed while steps run as fast as the machine allows.
  bool headless = false;
  int64_t steps = -1;  // end the game after that many steps; negative: when the game ends
  bool hasSeed = false;
  uint32_t seed = 0;         // the random generator's seed at game start
  std::string inputFile;     // replay this input file
  std::string recordFile;    // write the input that reaches the game to this file
  std::string framesDir;     // every presented frame as DIR/NNNNNN.png (the step's number)
  std::string stateHashFile; // a line "STEP HASH" after every step
  bool debugMessages = false;  // show_debug_message lines on standard output in any run
  bool debugRun = false;       // a debug run (the debug window) whatever the game data says
};
void SetRunOptions(const CRunOptions& options);
const CRunOptions& RunOptions();
void SetStepLimit(int64_t steps);
// Reads the input file and opens the files the options write; false with a message naming the
// file (and the line of a bad input line).
bool OpenRunFiles(std::string& error);

// The program adds what needs the desktop (window, drawing, sound) and the loading window; the
// tools library never links the platform layer itself.
using PlatformWiring = std::function<void(CRunHooks&)>;
void SetPlatformWiring(PlatformWiring wire, ILoadWindow* loadWindow);
ILoadWindow* PlatformLoadWindow();  // null when the program has none
// The windows that show the debug window of a debug run (not used headless).
void SetDebugView(debug::IDebugView* view);

int RunGameFile(const std::string& gameFile, const std::vector<std::string>& parameters, bool verbose);

}  // namespace kestro::tools
