#include "tools/RunHooks.h"

#include <filesystem>

#include "datastructures/DataStructures.h"
#include "files/Files.h"
#include "resources/GameResources.h"
#include "resources/GameSettings.h"
#include "script/Scripts.h"
#include "sound/SoundResource.h"
#include "world/EventLists.h"
#include "world/GameScripts.h"
#include "world/World.h"
#include "world/WorldHost.h"
#include "world/ObjectPreparation.h"
#include "world/TimeLines.h"

namespace kestro::tools {

namespace fs = std::filesystem;

namespace {
CLoopHooks g_loopHooks;
int64_t g_stepLimit = -1;
PlatformWiring g_wiring;
ILoadWindow* g_loadWindow = nullptr;
}  // namespace

void SetPlatformWiring(PlatformWiring wire, ILoadWindow* loadWindow) {
  g_wiring = std::move(wire);
  g_loadWindow = loadWindow;
}

ILoadWindow* PlatformLoadWindow() { return g_loadWindow; }

void SetLoopHooks(CLoopHooks hooks) { g_loopHooks = std::move(hooks); }
void SetStepLimit(int64_t steps) { g_stepLimit = steps; }

CRunHooks MakeRunHooks() {
  CRunHooks hooks;
  hooks.defineConstants = [] {
    // The settings and resources are read by now: the language takes its run-wide switch from
    // them, names resolve to the game's scripts and resources, then the constants are defined.
    ApplyLanguageSettings(GameSettings());
    RegisterArgumentVariables();
    InstallGameScriptNames();
    World().Reset();
    // A fresh run starts without containers (a restart inside the run keeps them).
    ResetDataStructures();
    InstallWorldHost();
    // From here on the game's names are complete: an action function that is not found now is
    // missing for good, and is reported when its action is prepared.
    SetReportMissingActionFunctions(true);
    return DefineGameConstants();
  };
  hooks.prepareTriggers = [] { return CompileGameTriggers(); };
  hooks.compileScripts = [] { return CompileGameScripts(); };
  hooks.runGame = [] {
    CMainLoop loop(g_loopHooks);
    loop.RunGame(g_stepLimit);
    return true;
  };
  hooks.compileTimeLineActions = [] { return CompileTimeLineActions(); };
  hooks.compileObjectActions = [] {
    if (!CompileObjectActions()) return false;
    // The objects are final now; the dispatcher reads which objects have which event.
    BuildEventLists();
    return true;
  };
  hooks.extractIncludedFiles = [] {
    std::error_code ec;
    fs::path working = fs::current_path(ec);
    for (CDataFile& f : GameResources().includedFiles) f.Prepare(RunState().tempFolder, working);
  };
  hooks.prepareSounds = [] { PrepareGameSounds(); };
  hooks.shutdownSounds = [] { ShutdownGameSounds(); };
  hooks.finishGame = [] {
    // The end of the game silences every sound.
    ShutdownGameSounds();
    std::error_code ec;
    fs::path working = fs::current_path(ec);
    for (const CDataFile& f : GameResources().includedFiles) f.Remove(RunState().tempFolder, working);
    ResetDataStructures();  // the game has ended: its containers go with it
    files::EndGameFiles();
  };
  if (g_wiring) g_wiring(hooks);
  return hooks;
}

}  // namespace kestro::tools
