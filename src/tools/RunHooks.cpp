#include "tools/RunHooks.h"

#include <filesystem>

#include "resources/GameResources.h"
#include "resources/GameSettings.h"
#include "script/Scripts.h"
#include "world/GameScripts.h"
#include "world/World.h"
#include "world/WorldHost.h"

namespace kestro::tools {

namespace fs = std::filesystem;

namespace {
PlatformWiring g_wiring;
ILoadWindow* g_loadWindow = nullptr;
}  // namespace

void SetPlatformWiring(PlatformWiring wire, ILoadWindow* loadWindow) {
  g_wiring = std::move(wire);
  g_loadWindow = loadWindow;
}

ILoadWindow* PlatformLoadWindow() { return g_loadWindow; }

CRunHooks MakeRunHooks() {
  CRunHooks hooks;
  hooks.defineConstants = [] {
    // The settings and resources are read by now: the language takes its run-wide switch from
    // them, names resolve to the game's scripts and resources, then the constants are defined.
    ApplyLanguageSettings(GameSettings());
    RegisterArgumentVariables();
    InstallGameScriptNames();
    World().Reset();
    InstallWorldHost();
    return DefineGameConstants();
  };
  hooks.compileScripts = [] { return CompileGameScripts(); };
  hooks.extractIncludedFiles = [] {
    std::error_code ec;
    fs::path working = fs::current_path(ec);
    for (CDataFile& f : GameResources().includedFiles) f.Prepare(RunState().tempFolder, working);
  };
  hooks.finishGame = [] {
    std::error_code ec;
    fs::path working = fs::current_path(ec);
    for (const CDataFile& f : GameResources().includedFiles) f.Remove(RunState().tempFolder, working);
  };
  if (g_wiring) g_wiring(hooks);
  return hooks;
}

}  // namespace kestro::tools
