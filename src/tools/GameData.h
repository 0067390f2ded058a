// Reading a whole game file for the tools: header, settings, the drawing library and every
// resource, into values of their own (the run's process-wide state is left alone).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "resources/GameResources.h"
#include "resources/GameSettings.h"

namespace kestro::tools {

struct CGameData {
  bool debug = false;
  CGameSettings settings;
  std::string libraryName;
  std::vector<uint8_t> library;
  int32_t gameId = 0;
  std::array<uint8_t, 16> guid{};
  CGameResources resources;
  // The resource section from the reserved flags on (the random filler left out), as stored.
  std::vector<uint8_t> resourceBytes;
};

// False with the message the run-time would show (and the block that failed).
bool ReadGameData(const std::filesystem::path& file, CGameData& out, std::string& error);

}  // namespace kestro::tools
