// The per-run temporary folder: created exclusively, removed at the end of the run, also after a
// failure or an interrupting signal. Removal never follows a symbolic link out of the folder.
#pragma once

#include <string>

namespace kestro::os {

// The base folder: the first line of "tempdir.txt" in gameFolder when that file exists, else
// TMPDIR, TMP or TEMP (at most 256 characters), else /tmp.
std::string TempBase(const std::string& gameFolder);

// Creates base + "/kx_ttt_" + a random number 0..99999 that does not exist yet, with missing
// parents; falls back to /tmp, then the current folder. Empty when all fail.
std::string CreateTempFolder(const std::string& gameFolder);

// Removes the folder and everything inside it without following links. True when it is gone.
bool RemoveTree(const std::string& path);

// A fresh name folder + "/a" + random 0..99999 + ext that no file has yet.
std::string TempFileName(const std::string& folder, const std::string& ext);

// Registers the folder to be removed when SIGINT, SIGTERM or SIGHUP arrives (the signal then
// takes its normal course) and by RemoveRegisteredTempFolder. One folder per process.
// RemoveRegisteredTempFolder is async-signal-safe.
void RegisterTempFolder(const std::string& path);
void RemoveRegisteredTempFolder();
// Installs that handling of the signals again (after os::RemoveStopSignals).
void RegisterTempFolderSignals();

}  // namespace kestro::os
