// A fixture for tests of the game world made in the model: the test adds its resources, then
// StartWorld() gives it an empty world with the game's names and the world as the script host.
// Debug messages and built-in errors ("E[...]") collect in out_, one ';' after each.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "resources/GameResources.h"
#include "script/builtins/BuiltinError.h"
#include "world/ErrorReport.h"
#include "world/GameScripts.h"
#include "world/World.h"
#include "world/WorldHost.h"

namespace kestro::test {

class WorldFixture : public ::testing::Test {
 protected:
  void SetUp() override { GameResources().Clear(); }
  void StartWorld() {
    World().Reset();
    InstallGameScriptNames();
    InstallWorldHost();
    SetDebugMessageSink([this](const std::string& t) { out_ += t + ";"; });
    SetBuiltinErrorHandler([this](std::string_view m, bool) { out_ += "E[" + std::string(m) + "];"; });
  }
  void TearDown() override {
    SetDebugMessageSink(nullptr);
    SetBuiltinErrorHandler(nullptr);
    SetScriptHost(nullptr);
    SetScriptNames(nullptr);
    World().Reset();
    GameResources().Clear();
  }
  std::string out_;
};

}  // namespace kestro::test
