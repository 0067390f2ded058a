#include "tools/Commands.h"

#include <cstdio>

namespace kestro::tools {

const std::vector<Command>& AllCommands() {
  static const std::vector<Command> commands = {
      {"run", "load and run a game file", RunCommand},
      {"build", "build a game from a project folder", BuildCommand},
      {"info", "show a game file's header, settings and resources", InfoCommand},
      {"unpack", "write the project a game file was built from", UnpackCommand},
      {"script", "check script code or show its compiled tree", ScriptCommand},
  };
  return commands;
}

const Command* FindCommand(const std::string& name) {
  for (const Command& c : AllCommands())
    if (name == c.name) return &c;
  return nullptr;
}

bool HandleHelpVersion(const Args& args, const char* usage) {
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::printf("%s", usage);
      return true;
    }
    if (a == "--version") {
      std::printf("kestro %s\n", KESTRO_VERSION);
      return true;
    }
  }
  return false;
}

}  // namespace kestro::tools
