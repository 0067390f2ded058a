#include <cstdio>

#include "resources/GameResources.h"
#include "resources/GameSettings.h"
#include "script/builtins/FunctionRegistry.h"
#include "runner/Runner.h"
#include "io/Stream.h"
#include "tools/Commands.h"
#include "tools/Project.h"

namespace kestro::tools {

namespace {
const char* kUsage =
    "usage: kestro info GAME [--resources]\n"
    "       kestro info --builtins\n"
    "  Prints the header, the settings and the number of resources of each kind in GAME.\n"
    "  --resources  also lists every resource by kind, index and name\n"
    "  --builtins   how many built-in functions of each family are implemented, and the rest\n";
}

int InfoCommand(const Args& args) {
  if (HandleHelpVersion(args, kUsage)) return 0;
  std::vector<std::string> files;
  bool listResources = false, builtins = false;
  for (const std::string& a : args) {
    if (a == "--resources")
      listResources = true;
    else if (a == "--builtins")
      builtins = true;
    else
      files.push_back(a);
  }
  if (builtins) {
    std::printf("%s", BuiltinStatusReport(BuiltinRegistry()).c_str());
    if (files.empty()) return 0;
  }
  if (files.size() != 1) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  CRunner runner(CRunHooks{}, nullptr);
  runner.set_store_library(false);
  // Names and counts only: pictures, sounds and files are passed over, never inflated.
  runner.set_summary_only(true);
  if (!runner.LoadGameFile(files[0])) return runner.damaged() ? kExitDamaged : kExitFailed;
  const RResourceSummary& summary = runner.summary();
  const CRunState& run = RunState();
  CStream guid;
  guid.WriteBytes(run.guid.data(), 16);
  std::printf("game file:        %s\n", files[0].c_str());
  std::printf("container offset: %zu\n", run.containerOffset);
  std::printf("version:          810\n");
  std::printf("debug mode:       %s\n", run.debugMode ? "true" : "false");
  std::printf("game id:          %d\n", run.gameId);
  std::printf("game guid:        %s\n", guid.ConvertToString().c_str());
  std::printf("library:          %s (%zu bytes)\n", run.libraryName.c_str(), run.librarySize);
  std::printf("settings:\n");
  for (const auto& [key, value] : DescribeSettings(GameSettings()))
    std::printf("  %-24s %s\n", key.c_str(), value.c_str());
  std::printf("resources:\n");
  for (int k = 0; k < kResourceKindCount; ++k)
    std::printf("  %-24s %zu\n", ResourceKindName(ResourceKind(k)), summary.names[k].size());
  if (listResources) {
    for (int k = 0; k < kResourceKindCount; ++k) {
      const std::vector<std::string>& names = summary.names[k];
      std::printf("%s:\n", ResourceKindName(ResourceKind(k)));
      for (size_t i = 0; i < names.size(); ++i)
        std::printf("  %4zu  %s\n", i, names[i].empty() ? kUndefinedName : names[i].c_str());
    }
  }
  return 0;
}

}  // namespace kestro::tools
