#include "tools/RunHooks.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "datastructures/DataStructures.h"
#include "debug/DebugWindow.h"
#include "files/Files.h"
#include "graphics/Clock.h"
#include "graphics/InputScript.h"
#include "graphics/Model3d.h"
#include "graphics/ScreenSnapshot.h"
#include "multiplayer/Multiplayer.h"
#include "platform/posix/Signals.h"
#include "resources/GameResources.h"
#include "resources/GameSettings.h"
#include "runner/StateHash.h"
#include "script/Scripts.h"
#include "sound/SoundResource.h"
#include "script/builtins/Random.h"
#include "world/ErrorReport.h"
#include "world/GameState.h"
#include "world/EventLists.h"
#include "world/Extensions.h"
#include "world/GameScripts.h"
#include "world/World.h"
#include "world/WorldHost.h"
#include "world/ObjectPreparation.h"
#include "world/TimeLines.h"

namespace kestro::tools {

namespace fs = std::filesystem;

namespace {
CLoopHooks g_loopHooks;
CRunOptions g_options;
PlatformWiring g_wiring;
ILoadWindow* g_loadWindow = nullptr;
debug::IDebugView* g_debugView = nullptr;

// What the options opened before the run.
std::unique_ptr<CInputReplay> g_replay;
std::unique_ptr<CInputRecorder> g_recorder;
std::FILE* g_stateHash = nullptr;

// Virtual time: the step clock's source in headless runs, and `current_time` read from it.
CManualClock g_virtualTime;

uint64_t VirtualTicks() { return uint64_t(g_virtualTime.NowMicroseconds()); }

class CVirtualGameClock final : public IGameClock {
 public:
  explicit CVirtualGameClock(IGameClock& dates) : dates_(dates) {}
  int64_t Milliseconds() override { return g_virtualTime.NowMicroseconds() / 1000; }
  RLocalTime LocalTime() override { return dates_.LocalTime(); }

 private:
  IGameClock& dates_;
};

template <class F, class G>
std::function<F> Then(std::function<F> first, G then) {
  if (!first) return then;
  return [first, then](auto... a) {
    first(a...);
    then(a...);
  };
}

std::string FrameFile(int64_t step) {
  char name[32];
  std::snprintf(name, sizeof name, "%06lld.png", static_cast<long long>(step));
  return (fs::path(g_options.framesDir) / name).string();
}

// The main loop with the run's options around it.
bool PlayWithOptions() {
  const CRunOptions& o = g_options;
  CLoopHooks loop = g_loopHooks;

  // A stop signal ends the game through the pending change; waits wake up for it.
  StepClock().SetInterruptCheck([] { return os::StopRequested(); });
  loop.stopRequested = [] { return os::StopRequested(); };

  std::unique_ptr<CVirtualGameClock> gameClock;
  if (o.headless) {
    g_virtualTime = CManualClock();
    StepClock().SetSource(&g_virtualTime);
    gameClock = std::make_unique<CVirtualGameClock>(GameClock());
    SetGameClock(gameClock.get());
    SetRandomizeClock(&VirtualTicks);
  }
  if (o.hasSeed) {
    const uint32_t seed = o.seed;
    World().hooks.seedRandom = [seed] { RandomSetSeed(seed); };
  }

  if (g_replay) {
    g_replay->Install();
    CInputReplay* replay = g_replay.get();
    if (g_recorder) replay->SetSink([r = g_recorder.get()](const RInputEvent& e) { r->Take(e); });
    loop.beforeStep = Then(loop.beforeStep, [replay](int64_t step) { replay->FeedThrough(step); });
  }
  if (g_recorder) {
    g_recorder->Install(!g_replay);
    CInputRecorder* rec = g_recorder.get();
    loop.beforeStep = Then(loop.beforeStep, [rec](int64_t step) { rec->Deliver(step); });
    loop.afterStep = Then(loop.afterStep, [rec](int64_t step) { rec->StepDone(step); });
  }
  if (g_stateHash) {
    loop.afterStep = Then(loop.afterStep, [](int64_t step) {
      const std::string line = StateHashLine(step, WorldStateHash()) + "\n";
      std::fwrite(line.data(), 1, line.size(), g_stateHash);
    });
  }
  // Players joining and leaving a session this copy hosts are let in between steps.
  loop.beforeStep = Then(loop.beforeStep, [](int64_t) { mplay::Multiplayer().Service(); });
  auto lastStep = std::make_shared<int64_t>(0);
  loop.afterStep = Then(loop.afterStep, [lastStep](int64_t step) { *lastStep = step; });
  if (!o.framesDir.empty()) {
    loop.presentFrame = Then(loop.presentFrame, [lastStep] { WriteScreenPng(FrameFile(*lastStep)); });
  }

  // A debug run: the debug window refreshes after every step and drives the loop's run controls.
  debug::CDebugWindow& debugWindow = debug::DebugWindow();
  const bool debugRun = debugWindow.Active();
  if (debugRun) debugWindow.WireLoop(loop);
  CMainLoop mainLoop(loop);
  if (debugRun) debugWindow.SetLoop(&mainLoop);
  mainLoop.RunGame(o.steps);
  if (debugRun) debugWindow.End();

  if (g_recorder) {
    g_recorder->Uninstall();
    g_recorder->Close();
    g_recorder.reset();
  }
  if (g_replay) {
    g_replay->Uninstall();
    g_replay.reset();
  }
  if (g_stateHash) std::fclose(g_stateHash);
  g_stateHash = nullptr;
  StepClock().SetInterruptCheck({});
  if (o.headless) {
    StepClock().SetSource(nullptr);
    SetGameClock(nullptr);
    SetRandomizeClock(nullptr);
  }
  World().hooks.seedRandom = {};
  return true;
}

}  // namespace

void SetRunOptions(const CRunOptions& options) { g_options = options; }
const CRunOptions& RunOptions() { return g_options; }

bool OpenRunFiles(std::string& error) {
  const CRunOptions& o = g_options;
  g_replay.reset();
  g_recorder.reset();
  if (!o.inputFile.empty()) {
    std::vector<RInputLine> lines;
    if (!ReadInputFile(o.inputFile, lines, error)) return false;
    g_replay = std::make_unique<CInputReplay>(std::move(lines));
  }
  if (!o.recordFile.empty()) {
    g_recorder = std::make_unique<CInputRecorder>();
    if (!g_recorder->Open(o.recordFile, error)) return false;
  }
  if (!o.framesDir.empty()) {
    std::error_code ec;
    fs::create_directories(o.framesDir, ec);
    if (!fs::is_directory(o.framesDir, ec)) {
      error = o.framesDir + ": the folder cannot be made";
      return false;
    }
  }
  if (!o.stateHashFile.empty()) {
    g_stateHash = std::fopen(o.stateHashFile.c_str(), "wb");
    if (!g_stateHash) {
      error = o.stateHashFile + ": cannot be written";
      return false;
    }
  }
  return true;
}

void SetPlatformWiring(PlatformWiring wire, ILoadWindow* loadWindow) {
  g_wiring = std::move(wire);
  g_loadWindow = loadWindow;
}

ILoadWindow* PlatformLoadWindow() { return g_loadWindow; }
void SetDebugView(debug::IDebugView* view) { g_debugView = view; }

void SetLoopHooks(CLoopHooks hooks) { g_loopHooks = std::move(hooks); }
void SetStepLimit(int64_t steps) { g_options.steps = steps; }

CRunHooks MakeRunHooks() {
  CRunHooks hooks;
  hooks.defineConstants = [] {
    // A run asked to debug is a debug run whatever the game data says.
    if (g_options.debugRun) RunState().debugMode = true;
    // The settings and resources are read by now: the language takes its run-wide switch from
    // them, names resolve to the game's scripts and resources, then the constants are defined.
    ApplyLanguageSettings(GameSettings());
    RegisterArgumentVariables();
    InstallGameScriptNames();
    World().Reset();
    // A fresh run starts without containers (a restart inside the run keeps them).
    ResetDataStructures();
    Reset3DState();
    InstallWorldHost();
    // From here on the game's names are complete: an action function that is not found now is
    // missing for good, and is reported when its action is prepared.
    SetReportMissingActionFunctions(true);
    return DefineGameConstants();
  };
  hooks.prepareExtensions = [] { return PrepareExtensions(); };
  hooks.prepareTriggers = [] { return CompileGameTriggers(); };
  hooks.compileScripts = [] { return CompileGameScripts(); };
  hooks.runGame = [] { return PlayWithOptions(); };
  // Nobody could see or use the debug window of a headless run: its model runs without it.
  hooks.showDebugWindow = [] { debug::DebugWindow().Show(g_options.headless ? nullptr : g_debugView); };
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
    Reset3DState();
    files::EndGameFiles();
    mplay::Multiplayer().End();  // the session and connection end with the game
    ResetExtensions();  // the libraries the game loaded are freed
  };
  if (g_wiring) g_wiring(hooks);
  return hooks;
}

}  // namespace kestro::tools
