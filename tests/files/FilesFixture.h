// What the file tests share: a scratch folder that is the game's folder and the current folder,
// a registry store inside it, the messages the functions report, and calls through the registry
// of built-in functions as game code makes them.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files/Files.h"
#include "files/GameFiles.h"
#include "files/IniDocument.h"
#include "files/RegistryStore.h"
#include "io/RunState.h"
#include "script/Variables.h"
#include "script/builtins/BuiltinError.h"
#include "script/builtins/BuiltinVariables.h"
#include "script/builtins/FunctionRegistry.h"
#include "support/TestSupport.h"
#include "support/Values.h"

namespace kestro::test {

class FilesTest : public ::testing::Test {
 public:
  void SetUp() override {
    oldCwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    CRunState& run = RunState();
    saved_ = run;
    run.gameFolder = dir_.path().string();
    run.gameFile = (dir_.path() / "game.exe").string();
    run.tempFolder = (dir_.path() / "tmp").string();
    run.secureMode = false;
    run.gameId = 4711;
    files::Registry().UseFolder((dir_.path() / "registry").string());
    SetBuiltinErrorHandler([this](std::string_view m, bool fatal) {
      EXPECT_FALSE(fatal) << m;
      errors.emplace_back(m);
    });
  }
  void TearDown() override {
    files::EndGameFiles();
    files::Registry().UseFolder(files::CRegistryStore::DefaultFolder());
    SetBuiltinErrorHandler({});
    RunState() = saved_;
    std::filesystem::current_path(oldCwd_);
  }

  // Calls a built-in function by name with exactly the arguments given.
  RValue Call(const char* fn, const std::vector<RValue>& args = {}) { return test::CallBuiltin(fn, args, false); }
  double Real(const char* fn, const std::vector<RValue>& args = {}) { return Call(fn, args).val; }
  std::string Text(const char* fn, const std::vector<RValue>& args = {}) {
    RValue v = Call(fn, args);
    EXPECT_TRUE(v.IsString()) << fn;
    return v.str.str();
  }

  // A built-in variable as code reads it.
  RValue Var(const char* name) {
    RValue out;
    GetBuiltinVariable(nullptr, FindBuiltinVariable(name), 0, out);
    return out;
  }

  // The messages reported since the last call, then forgotten.
  std::vector<std::string> TakeErrors() {
    std::vector<std::string> e;
    e.swap(errors);
    return e;
  }

  std::filesystem::path Path(const std::string& name) const { return dir_ / name; }
  void Write(const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(Path(name).parent_path());
    WriteBytes(Path(name), std::vector<uint8_t>(bytes.begin(), bytes.end()));
  }
  std::string Read(const std::string& name) const {
    std::vector<uint8_t> b = ReadBytes(Path(name));
    return std::string(b.begin(), b.end());
  }

  std::vector<std::string> errors;

 private:
  ScratchDir dir_;
  std::filesystem::path oldCwd_;
  CRunState saved_;
};

}  // namespace kestro::test
