// Starting other programs for game code: directly with posix_spawn and an argument list, never
// through a shell, so no text of the game is ever read as shell syntax.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kestro::os {

// Splits a command line the way the games' system splits its parameters: at blanks and tabs; a
// double-quoted stretch belongs to one word and the quotes are removed.
std::vector<std::string> SplitCommandLine(const std::string& line);

// Starts argv[0] (searched in PATH when it has no "/") with the arguments, in the current folder,
// with the program's standard streams. Returns the process id, or -1 when it could not be started.
int StartProgram(const std::vector<std::string>& argv);

// Waits for a started process, calling `between` every `sliceMs` milliseconds until it has ended.
void WaitForProgram(int pid, const std::function<void()>& between, int sliceMs = 50);

// Collects processes that were started without waiting and have ended since, so none stays a
// zombie for long. Processes still running are collected by a later call.
void CollectEndedPrograms();

// Opens a document, folder or web address with the desktop's default program (xdg-open), without
// waiting. False when the opener could not be started.
bool OpenWithDesktop(const std::string& target);

// True when `path` is a file this user may run.
bool IsProgramFile(const std::string& path);

}  // namespace kestro::os
