// The choosers of the platform's kind, drawn in the game window and modal like the message dialog:
// a colour, a file to open or to save, a folder. Each gives what was chosen, or its "cancelled"
// value (-1 for a colour, "" for a name) when it is closed without a choice.
#pragma once

#include <string>
#include <vector>

namespace kestro::dialogs {

// The filter of the file choosers: pairs of a description and patterns ("*.txt;*.ini"), all parts
// joined by "|". A last description without patterns is dropped.
struct RFileFilter {
  std::string description;
  std::vector<std::string> patterns;
};
std::vector<RFileFilter> ParseFileFilter(const std::string& filter);
// Whether a file name matches a pattern ("*" any run, "?" one character; letter case ignored).
bool MatchesPattern(const std::string& name, const std::string& pattern);

// get_color: the colour chosen (a game colour), -1 when cancelled.
int ChooseColour(int start);
// get_open_filename / get_save_filename: starting in the current folder with the proposed name;
// the chosen full file name or "". The current folder is the same afterwards.
std::string ChooseFile(bool save, const std::string& filter, const std::string& name);
// get_directory and get_directory_alt: the chosen folder or "".
std::string ChooseFolder(const std::string& caption, const std::string& start);

}  // namespace kestro::dialogs
