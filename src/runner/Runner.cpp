#include "runner/Runner.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>

#include "platform/posix/Process.h"
#include "platform/posix/Signals.h"
#include "platform/posix/TempFolder.h"
#include "resources/ResourceBlocks.h"
#include "runner/GameFile.h"
#include "resources/GameSettings.h"
#include "io/Messages.h"
#include "io/Stream.h"

namespace kestro {

namespace fs = std::filesystem;

namespace {

struct LoadStep {
  int percent;
  const char* text;
  ResourceKind kind;
};

// The resource blocks in the order they are stored, with the progress shown while reading each.
constexpr LoadStep kLoadSteps[] = {
    {0, "Loading extension packages", ResourceKind::Extension},
    {5, "Loading triggers", ResourceKind::Trigger},
    {6, "Loading constants", ResourceKind::Constant},
    {7, "Loading sounds", ResourceKind::Sound},
    {10, "Loading sprites", ResourceKind::Sprite},
    {23, "Loading backgrounds", ResourceKind::Background},
    {30, "Loading paths", ResourceKind::Path},
    {32, "Loading scripts", ResourceKind::Script},
    {34, "Loading fonts", ResourceKind::Font},
    {36, "Loading time lines", ResourceKind::TimeLine},
    {38, "Loading objects", ResourceKind::Object},
    {40, "Loading rooms", ResourceKind::Room},
    {43, "Loading included files", ResourceKind::IncludedFile},
    {45, "Loading help", ResourceKind::GameInformation},
    {47, "Loading library init code", ResourceKind::LibraryInitCode},
    {49, "Loading room order", ResourceKind::RoomOrder},
};

// The library file name from the game data becomes a file in the temporary folder: only its
// last component is used, so a name can never place the file elsewhere.
std::string SafeFileName(const std::string& name) {
  std::string base = fs::path(name).filename().string();
  if (base.empty() || base == "." || base == "..") return {};
  return base;
}

}  // namespace

void CRunner::SetProgress(int percent, const std::string& text) {
  if (window_) window_->SetProgress(percent, text);
  Trace(text);
}

bool CRunner::LoadGameFile(const std::string& gameFile) {
  try {
    return LoadGameFileInner(gameFile);
  } catch (const EStreamError&) {
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  ShowMessage(msg::kCorrupted);
  return false;
}

bool CRunner::LoadGameFileInner(const std::string& gameFile) {
  CRunState& run = RunState();
  run.title = fs::path(gameFile).stem().string();
  CStream stream;
  size_t P = 0;
  switch (OpenGameFile(gameFile, stream, P)) {
    case OpenResult::CannotRead:
      ShowMessage(msg::kCannotRead);
      return false;
    case OpenResult::NotAGame:
      ShowMessage(msg::kNotAGame);
      return false;
    case OpenResult::Damaged:
      throw EStreamError();
    case OpenResult::BadChecksum:
      // The design ends the process silently here; we still say why on standard error so a
      // damaged file is never taken for a successful run.
      damaged_ = true;
      std::fprintf(stderr, "%s\n", msg::kDamaged);
      return false;
    case OpenResult::Ok:
      break;
  }
  run.containerOffset = P;
  return ReadGameHeader(stream);
}

bool CRunner::ReadGameHeader(CStream& s) {
  CRunState& run = RunState();
  if (const char* failure = ReadHeaderStart(s, run.debugMode, GameSettings())) {
    ShowMessage(failure);
    return false;
  }
  SetProgress(1, "Reading data");
  if (window_) window_->SetUp(run.debugMode);

  std::string libName = s.ReadString();
  run.libraryName = libName;
  if (!storeLibrary_) {
    // Only its size is wanted: counted as it inflates, never held.
    run.librarySize = s.MeasureStreamC();
    return LoadResources(s);
  }
  std::unique_ptr<CStream> lib = s.ReadStreamC();
  run.librarySize = lib->Size();
  {
    // Drawing is done in-process; the library the data carries is kept in the temporary folder
    // as the game expects, and initialisation fails only when it cannot be stored there.
    std::string safe = SafeFileName(libName);
    bool stored = false;
    if (!safe.empty() && !run.tempFolder.empty()) {
      std::ofstream f(fs::path(run.tempFolder) / safe, std::ios::binary | std::ios::trunc);
      stored = f && f.write(reinterpret_cast<const char*>(lib->Buffer().data()),
                            std::streamsize(lib->Size()));
    }
    if (!stored) {
      ShowMessage(msg::kLibraryFailed);
      return false;
    }
  }
  return LoadResources(s);
}

bool CRunner::LoadResources(CStream& s) {
  CRunState& run = RunState();
  std::unique_ptr<CStream> section = s.ReadStreamE();
  ReadSectionPreamble(*section, run.gameId, run.guid);
  ClearResources();
  summary_ = RResourceSummary();
  for (const LoadStep& step : kLoadSteps) {
    SetProgress(step.percent, step.text);
    const bool read =
        summaryOnly_ ? SkimResourceBlock(step.kind, *section, summary_) : LoadResourceBlock(step.kind, *section);
    if (!read) {
      ShowMessage(msg::kResourceData);
      return false;
    }
  }
  return true;
}

bool CRunner::PrepareGame() {
  os::SetProcessPriority(GameSettings().processPriority);
  struct Step {
    int percent;
    const char* text;
    const std::function<bool()>& run;
    const char* failure;
  };
  SetProgress(50, "Extracting included files");
  if (hooks_.extractIncludedFiles) hooks_.extractIncludedFiles();
  const Step steps[] = {
      {55, "Preparing extension pacakges", hooks_.prepareExtensions, "Failed to prepare extension packages."},
      {60, "Preparing constants", hooks_.defineConstants, "Failed to define the constants."},
      {61, "Preparing triggers", hooks_.prepareTriggers, "Failed to prepare triggers."},
      {62, "Compiling scripts", hooks_.compileScripts, "Failed to compile the scripts."},
      {70, "Compiling time line actions", hooks_.compileTimeLineActions,
       "Failed to compile the actions in the time lines."},
      {72, "Compiling object actions", hooks_.compileObjectActions,
       "Failed to compile the actions in the objects."},
  };
  for (const Step& step : steps) {
    SetProgress(step.percent, step.text);
    if (step.run && !step.run()) {
      ShowMessage(step.failure);
      return false;
    }
  }
  SetProgress(80, "Preparing sounds");
  if (hooks_.prepareSounds && ResourceCount(ResourceKind::Sound) > 0) hooks_.prepareSounds();
  SetProgress(90, "Preparing graphics");
  if (hooks_.prepareGraphics && !hooks_.prepareGraphics()) {
    if (hooks_.shutdownSounds) hooks_.shutdownSounds();
    return false;
  }
  SetProgress(100, "Ready");
  if (hooks_.attachInput) hooks_.attachInput();
  if (window_) window_->Close();
  return true;
}

void CRunner::FinishGame() {
  if (hooks_.finishGame) hooks_.finishGame();
}

int CRunner::Run(const std::string& gameFile, const std::vector<std::string>& parameters) {
  CRunState& run = RunState();
  run.gameFile = gameFile;
  run.gameFolder = fs::path(gameFile).parent_path().string();
  run.parameters = parameters;
  const char* env = std::getenv("ZRLOG_TRACE");
  run.trace = env && std::strcmp(env, "1") == 0;
  for (const std::string& p : parameters)
    if (p == "--ZRTrace") run.trace = true;

  run.tempFolder = os::CreateTempFolder(run.gameFolder);
  if (run.tempFolder.empty())
    ShowMessage(msg::kTempFolder);
  else
    os::RegisterTempFolder(run.tempFolder);

  int status = kExitOk;
  try {
    if (!LoadGameFile(gameFile)) {
      status = damaged_ ? kExitDamaged : kExitFailed;
    } else {
      try {
        if (!PrepareGame()) {
          status = kExitFailed;
        } else {
          if (run.debugMode && hooks_.showDebugWindow) hooks_.showDebugWindow();
          // From here a stop signal ends the game the way the game ends itself.
          os::InstallStopSignals();
          if (hooks_.runGame && !hooks_.runGame()) status = kExitFailed;
          FinishGame();
          if (os::StopRequested()) status = 128 + os::StopSignal();
        }
      } catch (const std::exception&) {
        ShowMessage(msg::kUnexpected);
        status = kExitFailed;
      }
    }
  } catch (const std::exception& e) {
    TraceLine(std::string("Unhandled Exception - ") + e.what());
    status = kExitFailed;
  }
  os::RemoveRegisteredTempFolder();
  os::RemoveStopSignals();
  run.tempFolder.clear();
  return status;
}

}  // namespace kestro
