// A fixture for tests that build a game into a scratch folder and run it: the scratch folder is
// the current directory and the game folder, steps take virtual time from clock_, and debug
// messages and built-in errors ("E[...]") collect in out_, one ';' after each. Everything is put
// back afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "graphics/Clock.h"
#include "io/RunState.h"
#include "script/builtins/BuiltinError.h"
#include "support/TestSupport.h"
#include "world/ErrorReport.h"
#include "world/World.h"

namespace kestro::test {

class GameFolderFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGameState();
    previousFolder_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    RunState().gameFolder = dir_.path().string();
    SetDebugMessageSink([this](const std::string& t) { out_ += t + ";"; });
    SetBuiltinErrorHandler([this](std::string_view m, bool) { out_ += "E[" + std::string(m) + "];"; });
    StepClock().SetSource(&clock_);
  }
  void TearDown() override {
    StepClock().SetSource(nullptr);
    SetDebugMessageSink(nullptr);
    SetBuiltinErrorHandler(nullptr);
    RunState().gameFolder.clear();
    RunState().secureMode = false;
    std::filesystem::current_path(previousFolder_);
    World().Reset();
    ResetGameState();
  }

  ScratchDir dir_;
  std::filesystem::path previousFolder_;
  CManualClock clock_;
  std::string out_;
};

}  // namespace kestro::test
