// `kestro script`: running a file or a line of script code the quick way, or compiling it to check
// it or to look at its compiled tree.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "files/Files.h"
#include "script/BuiltinNames.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "world/ErrorReport.h"
#include "world/GameScripts.h"
#include "script/Lowering.h"
#include "script/Executor.h"
#include "script/Scripts.h"
#include "resources/GameResources.h"
#include "runner/Runner.h"
#include "tools/Commands.h"
#include "tools/RunHooks.h"
#include "world/World.h"
#include "world/WorldHost.h"

namespace kestro::tools {

namespace {

const char* kUsage =
    "usage: kestro script FILE              run FILE as a program; debug messages on standard output\n"
    "       kestro script -e CODE           run CODE as a program\n"
    "       kestro script --check FILE      compile FILE; print nothing, or the compile error\n"
    "       kestro script --dump FILE       compile FILE and print its compiled tree\n"
    "       kestro script --lowered FILE    compile FILE and print the instructions it runs as\n"
    "options:\n"
    "  --expression   compile FILE as one expression instead of a program\n"
    "  --game GAME    run in GAME: its scripts, resources and constants, its first room\n"
    "  FILE may be - for standard input.\n"
    "A run has one temporary instance (in no room) as self and other, and a world of one room:\n"
    "the first room of GAME with its instances, or an empty room. Errors are reported as in a\n"
    "game (on standard error); the exit status is 1 when an error ended the run.\n";

bool ReadAll(const std::string& path, std::string& out) {
  if (path == "-") {
    std::ostringstream ss;
    ss << std::cin.rdbuf();
    out = ss.str();
    return true;
  }
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream ss;
  ss << f.rdbuf();
  out = ss.str();
  return true;
}

// The error window shows one line per CR and drops LF characters; print it the same way.
void PrintAsShown(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r')
      out += '\n';
    else if (c != '\n')
      out += c;
  }
  std::printf("%s\n", out.c_str());
}

// Loads and prepares a game without a window, sound or its included files, then makes its first
// room the world's room (its instances placed, no events performed). False after a message.
bool LoadGame(const std::string& gameFile) {
  CRunHooks hooks = MakeRunHooks();
  hooks.extractIncludedFiles = nullptr;
  hooks.prepareSounds = nullptr;
  hooks.prepareGraphics = nullptr;
  hooks.attachInput = nullptr;
  hooks.showDebugWindow = nullptr;
  hooks.runGame = nullptr;
  hooks.finishGame = nullptr;
  CRunner runner(std::move(hooks), nullptr);
  runner.set_store_library(false);
  if (!runner.LoadGameFile(gameFile) || !runner.PrepareGame()) return false;
  World().Reset();
  if (!RoomOrder().empty() && Rooms().Exists(RoomOrder().front())) {
    auto room = std::make_unique<CLiveRoom>();
    room->MakeFrom(*Rooms().Get(RoomOrder().front()));
    World().SetRoom(std::move(room), RoomOrder().front());
  }
  return true;
}

// Runs the program with a temporary instance as self and other, as the game runs code that
// belongs to no instance. Returns the exit status.
int RunProgram(const std::string& text, const std::string& gameFile) {
  RegisterArgumentVariables();
  InstallErrorReporting();
  if (!gameFile.empty() && !LoadGame(gameFile)) return 1;
  InstallGameScriptNames();
  InstallWorldHost();
  SetDebugMessageSink([](const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  });
  CCode code(text, CodeKind::kProgram);
  if (!code.Compile()) {
    std::fflush(stdout);
    // As a code action of a game that fails to compile.
    ReportPendingCodeErrorAsAction(errhdr::kCodeActionCompile, true);
    return 1;
  }
  CInstance temporary;
  RValue result;
  const bool ok = ExecuteCode(&temporary, &temporary, code, result);
  std::fflush(stdout);
  if (!ok && CodeErrorPending()) {
    const std::string message = PendingCodeError();
    ClearCodeError();
    ReportActionError(message, false);
  }
  // As at the end of a game: open files closed, an open settings file written back.
  files::EndGameFiles();
  return ok && !ErrorTerminating() ? 0 : 1;
}

}  // namespace

int ScriptCommand(const Args& args) {
  if (HandleHelpVersion(args, kUsage)) return 0;
  bool check = false, dump = false, lowered = false, expression = false, inlineCode = false;
  std::string file, inlineText, gameFile;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-e") {
      if (i + 1 >= args.size() || inlineCode) {
        std::fprintf(stderr, "kestro script: -e needs one piece of code\n%s", kUsage);
        return 2;
      }
      inlineCode = true;
      inlineText = args[++i];
    } else if (a == "--check") {
      check = true;
    } else if (a == "--dump") {
      dump = true;
    } else if (a == "--lowered") {
      lowered = true;
    } else if (a == "--expression") {
      expression = true;
    } else if (a == "--game") {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "kestro script: --game needs a game file\n%s", kUsage);
        return 2;
      }
      gameFile = args[++i];
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      std::fprintf(stderr, "kestro script: unknown option %s\n%s", a.c_str(), kUsage);
      return 2;
    } else if (file.empty()) {
      file = a;
    } else {
      std::fprintf(stderr, "kestro script: more than one file given\n");
      return 2;
    }
  }
  if (inlineCode == !file.empty()) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  std::string text = inlineText;
  if (!inlineCode && !ReadAll(file, text)) {
    std::fprintf(stderr, "kestro script: cannot read %s\n", file.c_str());
    return 2;
  }
  if (!check && !dump && !lowered) {
    if (expression) {
      std::fprintf(stderr, "kestro script: --expression only with --check, --dump or --lowered\n");
      return 2;
    }
    return RunProgram(text, gameFile);
  }
  CCode code(text, expression ? CodeKind::kExpression : CodeKind::kProgram);
  // Outside a game only the built-in functions and constants have names.
  if (!code.Compile(&BuiltinScriptNames())) {
    PrintAsShown(code.CompileError());
    return 1;
  }
  if (dump) std::printf("%s", DumpTree(code, &BuiltinScriptNames()).c_str());
  if (lowered) std::printf("%s", DumpLowered(code).c_str());
  return 0;
}

}  // namespace kestro::tools
