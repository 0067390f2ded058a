#include <cstdio>
#include <cstdlib>

#include "resources/Typeface.h"
#include "runner/Runner.h"
#include "world/ErrorReport.h"
#include "tools/Commands.h"
#include "tools/RunHooks.h"

namespace kestro::tools {

namespace {

const char* kUsage =
    "usage: kestro run GAME [--verbose] [GAME PARAMETERS...]\n"
    "  Loads GAME (a standalone game or a data-only file) and runs it.\n"
    "  --verbose     print each loading step on standard error\n"
    "  --steps N     end the game after N steps (room end and game end events run)\n"
    "  --ZRTrace     append progress lines to Trace.log beside the game (also ZRLOG_TRACE=1)\n";

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
  ILoadWindow* window = PlatformLoadWindow();
  TeeProgress both(window ? window : &progress, &progress);
  ILoadWindow* shown = verbose ? (window ? static_cast<ILoadWindow*>(&both) : &progress) : window;
  InstallErrorReporting();
  SetTypefaceNotes(verbose);
  RunState().verbose = verbose;
  // Debug messages belong to the debug window; until it exists a debug run prints them, and
  // other runs drop them.
  SetDebugMessageSink([](const std::string& text) {
    if (RunState().debugMode) std::printf("%s\n", text.c_str());
  });
  CRunner runner(MakeRunHooks(), shown);
  return runner.Run(gameFile, parameters);
}

int RunCommand(const Args& args) {
  if (HandleHelpVersion(args, kUsage)) return 0;
  std::string game;
  bool verbose = false;
  std::vector<std::string> parameters;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--verbose") {
      verbose = true;
    } else if (a == "--steps" && game.empty()) {
      char* end = nullptr;
      const long long n = i + 1 < args.size() ? std::strtoll(args[i + 1].c_str(), &end, 10) : -1;
      if (i + 1 >= args.size() || *end != '\0' || n < 0) {
        std::fprintf(stderr, "kestro run: --steps needs a number of steps\n%s", kUsage);
        return 2;
      }
      SetStepLimit(n);
      ++i;
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
  parameters.insert(parameters.begin(), game);
  return RunGameFile(game, parameters, verbose);
}

}  // namespace kestro::tools
