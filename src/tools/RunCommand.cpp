#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "resources/Typeface.h"
#include "io/Messages.h"

#include "debug/DebugWindow.h"
#include "dialogs/ModalLoop.h"
#include "runner/Runner.h"
#include "world/ErrorReport.h"
#include "tools/Commands.h"
#include "tools/RunHooks.h"
#include "world/World.h"

namespace kestro::tools {

namespace {

const char* kUsage =
    "usage: kestro run [OPTIONS] GAME [GAME PARAMETERS...]\n"
    "  Loads GAME (a standalone game or a data-only file) and runs it until it ends.\n"
    "  --headless          no window, no sound device, no message boxes (their texts go to standard\n"
    "                      error), and virtual time: every step lasts exactly one period of the room\n"
    "                      speed (current_time, fps, alarms and waits see that time) while the steps\n"
    "                      run as fast as the machine allows. Errors go to standard error and, when\n"
    "                      the game asks for it, to game_errors.log\n"
    "  --steps N           end the game after N steps (room end and game end events run)\n"
    "  --seed S            the random generator's seed at game start (0 .. 4294967295); headless\n"
    "                      runs without it seed from the virtual clock, the same every run\n"
    "  --input FILE        replay keyboard, mouse, window and joystick events from FILE instead of\n"
    "                      the player's (one event a line: STEP EVENT ..., see docs/HEADLESS.md)\n"
    "  --record FILE       write the events that reach the game to FILE, in the same form\n"
    "  --frames DIR        write every presented frame as DIR/NNNNNN.png (NNNNNN: the step)\n"
    "  --state-hash FILE   write \"STEP HASH\" after every step: a hash of the room, the global\n"
    "                      variables and every instance's variables and built-in fields\n"
    "  --debug-messages    print show_debug_message texts on standard output (debug runs always do)\n"
    "  --debug             a debug run whatever the game says: the debug window shows beside the game\n"
    "                      (headless: its model runs without a window, and the game never pauses)\n"
    "  --answer TEXT       the answer to the next dialog nobody can answer (headless runs): a button's\n"
    "                      number or text for messages and questions, the text for get_string and\n"
    "                      get_integer, an item's number for menus, a colour or a name for the\n"
    "                      choosers; may be given many times, one per dialog in order. A dialog\n"
    "                      without an answer is closed as by Escape. Each such dialog is noted on\n"
    "                      standard error\n"
    "  --verbose           print each loading step on standard error\n"
    "  --ZRTrace           append progress lines to Trace.log beside the game (also ZRLOG_TRACE=1)\n"
    "  A stop signal (SIGINT, SIGTERM) ends the game as the game would end itself (room end and game\n"
    "  end events run); a second one ends it at once. Options go before GAME; what follows GAME is\n"
    "  the game's own parameters.\n";

// The loading progress as lines on standard error.
class StderrProgress : public ILoadWindow {
 public:
  void SetUp(bool debug) override { std::fprintf(stderr, "[kestro] loading%s\n", debug ? " (debug run)" : ""); }
  void SetProgress(int percent, const std::string& text) override {
    std::fprintf(stderr, "[kestro] %3d%% %s\n", percent, text.c_str());
  }
  void Close() override {}
};

// Both the window and the lines on standard error.
class TeeProgress : public ILoadWindow {
 public:
  TeeProgress(ILoadWindow* a, ILoadWindow* b) : a_(a), b_(b) {}
  void SetUp(bool debug) override {
    a_->SetUp(debug);
    b_->SetUp(debug);
  }
  void SetProgress(int percent, const std::string& text) override {
    a_->SetProgress(percent, text);
    b_->SetProgress(percent, text);
  }
  void Close() override {
    a_->Close();
    b_->Close();
  }

 private:
  ILoadWindow* a_;
  ILoadWindow* b_;
};

}  // namespace

int RunGameFile(const std::string& gameFile, const std::vector<std::string>& parameters, bool verbose) {
  StderrProgress progress;
  ILoadWindow* window = RunOptions().headless ? nullptr : PlatformLoadWindow();
  TeeProgress both(window ? window : &progress, &progress);
  ILoadWindow* shown = verbose ? (window ? static_cast<ILoadWindow*>(&both) : &progress) : window;
  InstallErrorReporting();
  SetTypefaceNotes(verbose);
  RunState().verbose = verbose;
  CErrorHooks errorHooks;
  // A fatal error ends the game through the pending change.
  errorHooks.abortGame = [] { World().pendingChange = kChangeAbort; };
  SetErrorHooks(std::move(errorHooks));
  // Without an error window every error still reaches standard error.
  SetUndisplayedErrorSink([](std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
  });
  // Debug messages belong to the debug window; until it exists a debug run prints them (as does
  // any run asked to), and other runs drop them.
  SetDebugMessageSink([](const std::string& text) {
    debug::DebugWindow().AddMessage(text);  // nothing unless the debug window is up
    if (!RunState().debugMode && !RunOptions().debugMessages) return;
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  });
  // Dialogs that nobody can answer (no window to show them in) leave a line saying what they were.
  dialogs::SetDialogNotice([](const std::string& text) {
    std::fprintf(stderr, "[kestro] %s\n", text.c_str());
    std::fflush(stderr);
  });
  CRunner runner(MakeRunHooks(), shown);
  return runner.Run(gameFile, parameters);
}

namespace {

bool Number(const std::string& text, uint64_t max, uint64_t& out) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long n = std::strtoull(text.c_str(), &end, 10);
  if (*end != '\0' || errno != 0 || n > max) return false;
  out = n;
  return true;
}

int Usage(const std::string& message) {
  std::fprintf(stderr, "kestro run: %s\n%s", message.c_str(), kUsage);
  return 2;
}

}  // namespace

int RunCommand(const Args& args) {
  if (HandleHelpVersion(args, kUsage)) return 0;
  std::string game;
  bool verbose = false;
  std::vector<std::string> parameters;
  CRunOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool option = game.empty();
    const bool hasValue = i + 1 < args.size();
    const std::string value = hasValue ? args[i + 1] : std::string();
    uint64_t n = 0;
    if (a == "--verbose") {
      verbose = true;
    } else if (option && a == "--headless") {
      options.headless = true;
    } else if (option && a == "--debug-messages") {
      options.debugMessages = true;
    } else if (option && a == "--debug") {
      options.debugRun = true;
    } else if (option && a == "--answer") {
      if (!hasValue) return Usage("--answer needs a text");
      dialogs::AddScriptedAnswer(value);
      ++i;
    } else if (option && a == "--steps") {
      if (!Number(value, INT64_MAX, n)) return Usage("--steps needs a number of steps");
      options.steps = int64_t(n);
      ++i;
    } else if (option && a == "--seed") {
      if (!Number(value, UINT32_MAX, n)) return Usage("--seed needs a number from 0 to 4294967295");
      options.hasSeed = true;
      options.seed = uint32_t(n);
      ++i;
    } else if (option && (a == "--input" || a == "--record" || a == "--frames" || a == "--state-hash")) {
      if (!hasValue || value.empty()) return Usage(a + " needs a " + (a == "--frames" ? "folder" : "file"));
      (a == "--input" ? options.inputFile : a == "--record" ? options.recordFile
                                          : a == "--frames" ? options.framesDir
                                                            : options.stateHashFile) = value;
      ++i;
    } else if (option && a.rfind("--", 0) == 0 && a != "--ZRTrace") {
      return Usage("unknown option " + a);
    } else if (game.empty() && a.rfind("--", 0) != 0) {
      game = a;
    } else {
      parameters.push_back(a);
    }
  }
  if (game.empty()) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  if (options.headless) {
    // Before anything starts SDL; what the caller set stays.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("ALSOFT_DRIVERS", "null", 0);
    SetMessageBox(nullptr);
  }
  SetRunOptions(options);
  std::string error;
  if (!OpenRunFiles(error)) {
    std::fprintf(stderr, "kestro run: %s\n", error.c_str());
    return 2;
  }
  parameters.insert(parameters.begin(), game);
  return RunGameFile(game, parameters, verbose);
}

}  // namespace kestro::tools
