#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>

#include "platform/posix/TempFolder.h"
#include "resources/GameResources.h"
#include "io/Stream.h"
#include "resources/GameSettings.h"
#include "script/CodeError.h"
#include "script/Scripts.h"
#include "tools/Builder.h"
#include "world/ErrorReport.h"
#include "world/EventLists.h"

namespace kestro::test {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  std::random_device rd;
  path_ = fs::temp_directory_path() / ("kestro-test-" + std::to_string(getpid()) + "-" + std::to_string(rd()));
  fs::create_directories(path_);
}

ScratchDir::~ScratchDir() { os::RemoveTree(path_.string()); }

void WriteProject(const fs::path& dir, const nlohmann::json& manifest,
                  const std::vector<std::pair<std::string, std::string>>& files) {
  fs::create_directories(dir);
  std::ofstream(dir / "game.json") << manifest.dump(2);
  for (const auto& [name, content] : files) {
    fs::create_directories((dir / name).parent_path());
    std::ofstream(dir / name, std::ios::binary) << content;
  }
}

fs::path BuildDataOnly(const fs::path& dir, const std::string& name, uint32_t seed) {
  tools::CProject project;
  std::string error;
  fs::path out = dir / name;
  tools::CBuildOptions options;
  options.dataOnly = true;
  options.randomSeed = seed;
  bool ok = tools::LoadProject(dir, project, error) && tools::BuildGame(project, out, options, error);
  EXPECT_TRUE(ok) << error;
  return out;
}

void ResetGameState() {
  ResetErrorReporting();
  GameSettings().Reset();
  GameResources().Clear();
  ClearCodeError();
  SetReportMissingActionFunctions(false);
  SetScriptNames(nullptr);
  SetScriptTable(nullptr);
  EventLists().Clear();
}

std::vector<uint8_t> ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& file, const std::vector<uint8_t>& bytes) {
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             std::streamsize(bytes.size()));
}

int RunProcess(const std::string& command, std::string* output) {
  std::FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  size_t n;
  std::string text;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  int status = pclose(p);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void WriteEmptyResourceBlocks(CStream& s, int badBlock) {
  CGameResources res;
  res.roomOrder = {0};
  for (int k = 0; k < kResourceKindCount; ++k) {
    size_t at = s.Position();
    SaveResourceBlock(ResourceKind(k), s, res);
    if (k == badBlock) {
      // Every block starts with its version.
      int32_t v;
      std::memcpy(&v, s.Buffer().data() + at, 4);
      ++v;
      std::memcpy(s.Buffer().data() + at, &v, 4);
    }
  }
}

}  // namespace kestro::test
