// The per-run temporary folder: created exclusively, removed at the end of the run, also after a
// failure, an interrupting signal or a crash. Removal never follows a symbolic link out of the folder.
// Each folder holds an owner record (kOwnerFile: process id, its start time, the machine's boot and
// the process-id space), so a later run can tell the folder of a process that died without
// cleaning up from one still in use.
#pragma once

#include <string>

namespace kestro::os {

// The base folder: the first line of "tempdir.txt" in gameFolder when that file exists, else
// TMPDIR, TMP or TEMP (at most 256 characters), else /tmp.
std::string TempBase(const std::string& gameFolder);

inline constexpr const char* kOwnerFile = ".kx_owner";

// Creates base + "/kx_ttt_" + a random number 0..99999 that does not exist yet, with missing
// parents, and writes its owner record; falls back to /tmp, then the current folder. Empty when
// all fail. Stale folders in the chosen base are removed first (RemoveStaleTempFolders).
std::string CreateTempFolder(const std::string& gameFolder);

// Removes the temporary folders in base whose owner process no longer exists: only real folders
// (not links) named "kx_ttt_" + 0..99999, owned by this user, with an owner record of this user
// that names this machine's current boot and process-id space and a process that is gone (or a
// process with that id started at another time). Anything else stays. Returns how many went.
int RemoveStaleTempFolders(const std::string& base);

// Removes the folder and everything inside it without following links. True when it is gone.
bool RemoveTree(const std::string& path);

// A fresh name folder + "/a" + random 0..99999 + ext that no file has yet.
std::string TempFileName(const std::string& folder, const std::string& ext);

// Registers the folder to be removed when SIGINT, SIGTERM or SIGHUP arrives (the signal then
// takes its normal course), when the process crashes (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT:
// the handler runs on an alternate stack, so a stack overflow is caught too, and the crash is
// then reported as before: the previous handling comes back and the signal is raised again) and
// by RemoveRegisteredTempFolder. One folder per process; a forked child never removes it.
// RemoveRegisteredTempFolder is async-signal-safe.
void RegisterTempFolder(const std::string& path);
void RemoveRegisteredTempFolder();
// Installs that handling of the signals again (after os::RemoveStopSignals).
void RegisterTempFolderSignals();

}  // namespace kestro::os
