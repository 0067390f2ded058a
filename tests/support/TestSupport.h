// Helpers shared by the tests: scratch folders, fixture games built by the project's own builder
// from small text projects, and a recorder of the messages a run shows.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "io/Messages.h"

namespace kestro {
class CStream;
}

namespace kestro::test {

// A fresh folder removed when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Writes `files` (name -> content) and game.json into `dir`.
void WriteProject(const std::filesystem::path& dir, const nlohmann::json& manifest,
                  const std::vector<std::pair<std::string, std::string>>& files = {});

// Builds the project in `dir` into a data-only game file and returns its path (dies on error).
std::filesystem::path BuildDataOnly(const std::filesystem::path& dir, const std::string& name = "game.kx",
                                    uint32_t seed = 1);

std::vector<uint8_t> ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes);

// Collects every message shown while it is installed.
class MessageRecorder : public IMessageBox {
 public:
  MessageRecorder() { SetMessageBox(this); }
  ~MessageRecorder() override { SetMessageBox(nullptr); }
  void Show(const std::string& text) override { messages.push_back(text); }
  bool AskYesNo(const std::string& q) override {
    messages.push_back(q);
    return false;
  }
  std::vector<std::string> messages;
};

// The sixteen resource blocks of a game with no resources and room order {0}, as the builder
// writes them; `badBlock` (a kind's index) gets a wrong version.
void WriteEmptyResourceBlocks(CStream& s, int badBlock = -1);

// Back to the game state of a fresh process, for tests that load and prepare games: resources,
// settings, error reporting, the pending code error, the name lookup and script table, the
// missing action function report and the event lists.
void ResetGameState();

// Runs a shell command, returns its exit status and collects standard output and error.
int RunProcess(const std::string& command, std::string* output = nullptr);

}  // namespace kestro::test
