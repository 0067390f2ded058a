// The subcommands of the `kestro` program. Each lives in its own file, is declared here and is listed
// once in Commands.cpp.
#pragma once

#include <string>
#include <vector>

namespace kestro::tools {

using Args = std::vector<std::string>;  // the arguments after the subcommand's name

struct Command {
  const char* name;
  const char* summary;
  int (*run)(const Args& args);
};

const std::vector<Command>& AllCommands();
const Command* FindCommand(const std::string& name);

// Shared by every subcommand: true when args hold --help or --version (already answered).
bool HandleHelpVersion(const Args& args, const char* usage);

int RunCommand(const Args& args);
int BuildCommand(const Args& args);
int InfoCommand(const Args& args);
int UnpackCommand(const Args& args);
int ScriptCommand(const Args& args);

}  // namespace kestro::tools
