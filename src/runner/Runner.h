// The run-time's shell: from process start to the main loop and from its end to exit. Finds and
// reads the game data, walks the resource blocks, runs the preparation steps, owns the per-run
// temporary folder and the trace log.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "io/RunState.h"
#include "resources/GameResources.h"

namespace kestro {

class CStream;

// The loading window; the platform layer shows it, the command line may print it.
class ILoadWindow {
 public:
  virtual ~ILoadWindow() = default;
  virtual void SetUp(bool debug) = 0;
  virtual void SetProgress(int percent, const std::string& text) = 0;
  virtual void Close() = 0;
};

// The preparation steps and the run itself, each done by the subsystem that owns it. A step
// left empty does nothing; a step returning false fails the preparation with its message.
struct CRunHooks {
  std::function<void()> extractIncludedFiles;
  std::function<bool()> prepareExtensions;
  std::function<bool()> defineConstants;
  std::function<bool()> prepareTriggers;
  std::function<bool()> compileScripts;
  std::function<bool()> compileTimeLineActions;
  std::function<bool()> compileObjectActions;
  std::function<void()> prepareSounds;     // starts the sound system and prepares every sound
  std::function<void()> shutdownSounds;
  std::function<bool()> prepareGraphics;   // shows its own messages
  std::function<void()> attachInput;
  std::function<void()> showDebugWindow;   // debug runs
  std::function<bool()> runGame;           // the main loop; false when it failed
  std::function<void()> finishGame;        // releases device, sound, removes included files
};

enum RunExit { kExitOk = 0, kExitFailed = 1, kExitDamaged = 3 };

class CRunner {
 public:
  CRunner(CRunHooks hooks, ILoadWindow* window) : hooks_(std::move(hooks)), window_(window) {}

  // The whole run of one game file: temporary folder, loading, preparation, the game, the end.
  // Returns the process exit status.
  int Run(const std::string& gameFile, const std::vector<std::string>& parameters);

  // The steps, public for the tools and tests. Each shows its own failure message.
  bool LoadGameFile(const std::string& gameFile);
  bool ReadGameHeader(CStream& stream);
  bool LoadResources(CStream& stream);
  bool PrepareGame();
  void FinishGame();
  void SetProgress(int percent, const std::string& text);

  // Set when the container's checksum did not match: the run ends without a message box.
  bool damaged() const { return damaged_; }
  // Off for tools that only inspect a game: the library is then not written out.
  void set_store_library(bool v) { storeLibrary_ = v; }
  // For tools that only list a game: the resource section is read into summary() (names only,
  // contents passed over uninflated) instead of the game's resources.
  void set_summary_only(bool v) { summaryOnly_ = v; }
  const RResourceSummary& summary() const { return summary_; }

 private:
  bool LoadGameFileInner(const std::string& gameFile);

  CRunHooks hooks_;
  ILoadWindow* window_;
  bool damaged_ = false;
  bool storeLibrary_ = true;
  bool summaryOnly_ = false;
  RResourceSummary summary_;
};

// The messages of the start-up sequence, exactly as the player sees them.
namespace msg {
inline constexpr const char* kCannotRead = "Error: Cannot read the game file.";
inline constexpr const char* kNotAGame = "Error: Not a valid game file.";
inline constexpr const char* kWrongVersion = "Error: Wrong version number.";
inline constexpr const char* kResourceData = "Error: Error in resource data.";
inline constexpr const char* kLibraryFailed = "Error: Failed to initialize D3DX.";
inline constexpr const char* kCorrupted = "Failed to load the game data. File seems corrupted.";
inline constexpr const char* kUnexpected = "Unexpected error occured when running the game.";
inline constexpr const char* kTempFolder =
    "Failed to create temp dir. This can cause serious problems with sounds, etc.";
inline constexpr const char* kDamaged = "Error: The game data is damaged (checksum mismatch).";
}  // namespace msg

}  // namespace kestro
