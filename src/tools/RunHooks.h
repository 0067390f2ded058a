// Wires the subsystems into the start-up sequence: each preparation step and the run itself.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "runner/MainLoop.h"
#include "runner/Runner.h"

namespace kestro::tools {

// The steps the model does by itself (included files, compiling, ...).
CRunHooks MakeRunHooks();

// How `kestro run` plays: the main loop's desktop side (set by the program) and a step limit
// (negative: none; the game then runs until it ends).
void SetLoopHooks(CLoopHooks hooks);
void SetStepLimit(int64_t steps);

// The program adds what needs the desktop (window, drawing, sound) and the loading window; the
// tools library never links the platform layer itself.
using PlatformWiring = std::function<void(CRunHooks&)>;
void SetPlatformWiring(PlatformWiring wire, ILoadWindow* loadWindow);
ILoadWindow* PlatformLoadWindow();  // null when the program has none

int RunGameFile(const std::string& gameFile, const std::vector<std::string>& parameters, bool verbose);

}  // namespace kestro::tools
