// The rules every file function applies to the names games give: where a name leads on this
// system, the pure text functions on names (filename_*), and the secure-mode test.
#pragma once

#include <string>
#include <string_view>

namespace kestro::files {

// The path on this system a game's name leads to (backslashes, drive letters and letter case
// translated, see os::HostPath).
std::string GamePath(std::string_view name);

// A name has a folder part when it contains "\" or "/" anywhere.
bool HasFolderPart(std::string_view name);

// Whether the run is in secure mode (fixed at start-up).
bool SecureMode();

// In secure mode, whether writing to `name` is refused: when the name as written has a folder
// part, or when it leads (through "..", or a symbolic link) outside the game's folder and the
// current folder. Outside secure mode never.
bool SecureRefuses(std::string_view name);
// Whether the path (of this system) leads outside the game's folder and the current folder once
// "..", and symbolic links are followed.
bool LeadsOutsideGame(const std::string& path);

// filename_name, filename_path, filename_dir, filename_drive, filename_ext, filename_change_ext:
// "\" and ":" separate a name's parts, and so does "/", with which this system's own folders
// (working_directory, program_directory, ...) are written.
std::string FileNameName(std::string_view name);
std::string FileNamePath(std::string_view name);
std::string FileNameDir(std::string_view name);
std::string FileNameDrive(std::string_view name);
std::string FileNameExt(std::string_view name);
std::string FileNameChangeExt(std::string_view name, std::string_view ext);

// The folder of the game file without a closing separator ("." when the run has none).
std::string ProgramDirectory();
// The current folder.
std::string WorkingDirectory();

}  // namespace kestro::files
