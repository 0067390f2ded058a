// The game builder: turns a project into the game data container exactly as the run-time reads
// it, either appended to a copy of the run-time (a standalone game) or as a data-only file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tools/Project.h"

namespace kestro {
class CStream;
}

namespace kestro::tools {

struct CBuildOptions {
  bool dataOnly = false;                // no run-time in front: the container at 3,800,004
  std::filesystem::path runner;         // the run-time to put in front; empty: this program
  uint32_t randomSeed = 0;              // filler, permutation and seed; 0: from the clock
};

// Wraps a plain header (version 810 onwards) into a container for offset P: marker words,
// seed, checksum, scrambling and the version xor.
std::vector<uint8_t> SealContainer(const CStream& header, size_t P, std::mt19937& rng);

// The container bytes for placement at offset P of the game file.
bool BuildContainer(const CProject& project, size_t P, std::mt19937& rng, std::vector<uint8_t>& out,
                    std::string& error);

// The resource section (the content of the shuffled block): filler, flags, game id, GUID and
// the sixteen resource blocks.
bool WriteResourceSection(const CProject& project, std::mt19937& rng, CStream& section,
                          std::string& error);

// The sixteen resource blocks alone, in their stored order.
bool WriteResourceBlocks(const CProject& project, CStream& section, std::string& error);

bool BuildGame(const CProject& project, const std::filesystem::path& output,
               const CBuildOptions& options, std::string& error);

}  // namespace kestro::tools
