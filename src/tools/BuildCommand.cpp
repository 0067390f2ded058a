#include <cstdio>

#include "tools/Builder.h"
#include "tools/Commands.h"

namespace kestro::tools {

namespace {
const char* kUsage =
    "usage: kestro build PROJECT -o GAME [--data-only] [--runner FILE] [--seed N]\n"
    "  Builds the project folder PROJECT (with its game.json) into GAME.\n"
    "  By default GAME is a standalone program: this run-time followed by the game data.\n"
    "  --data-only   write only the game data, for `kestro run GAME`\n"
    "  --runner FILE put FILE in front instead of this run-time\n"
    "  --seed N      fixed random filler and scrambling seed (reproducible output)\n";
}

int BuildCommand(const Args& args) {
  if (HandleHelpVersion(args, kUsage)) return 0;
  std::string projectDir, output;
  CBuildOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool hasValue = i + 1 < args.size();
    if ((a == "-o" || a == "--output") && hasValue)
      output = args[++i];
    else if (a == "--data-only")
      options.dataOnly = true;
    else if (a == "--runner" && hasValue)
      options.runner = args[++i];
    else if (a == "--seed" && hasValue)
      options.randomSeed = uint32_t(std::strtoul(args[++i].c_str(), nullptr, 10));
    else if (projectDir.empty() && a.rfind("-", 0) != 0)
      projectDir = a;
    else {
      std::fprintf(stderr, "kestro build: unexpected argument '%s'\n%s", a.c_str(), kUsage);
      return 2;
    }
  }
  if (projectDir.empty() || output.empty()) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  CProject project;
  std::string error;
  if (!LoadProject(projectDir, project, error) || !BuildGame(project, output, options, error)) {
    std::fprintf(stderr, "kestro build: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace kestro::tools
