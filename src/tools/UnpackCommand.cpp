#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "resources/BmpFile.h"
#include "resources/IncludedFile.h"
#include "io/Stream.h"
#include "tools/Commands.h"
#include "runner/Runner.h"
#include "tools/GameData.h"
#include "tools/Project.h"
#include "tools/ProjectResources.h"

namespace kestro::tools {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

const char* kUsage =
    "usage: kestro unpack GAME -o DIR\n"
    "  Writes the project a game file was built from into DIR (which must not exist or be\n"
    "  empty): game.json with the settings and the resource lists, one file per resource,\n"
    "  pictures as PNG. Building DIR gives a game with the same resources.\n";

bool WriteProject(const CGameData& data, const fs::path& dir, std::string& error) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    error = dir.string() + ": " + ec.message();
    return false;
  }
  json m = json::object();
  m["game_id"] = data.gameId;
  CStream guid;
  guid.WriteBytes(data.guid.data(), 16);
  m["guid"] = guid.ConvertToString();
  m["debug"] = data.debug;
  json settings = SettingsToManifest(data.settings);
  const std::pair<const char*, const std::optional<BitmapFile>*> pictures[] = {
      {"progress_background", &data.settings.progressBackground},
      {"progress_foreground", &data.settings.progressForeground},
      {"loading_image", &data.settings.loadingImage}};
  for (const auto& [key, pic] : pictures) {
    RPixels px;
    if (!*pic || !DecodeBmp(**pic, px)) continue;
    fs::create_directories(dir / "settings", ec);
    std::string rel = std::string("settings/") + key + ".png";
    if (!WritePng(dir / rel, px, error)) return false;
    settings[key] = rel;
  }
  m["settings"] = settings;
  json lib = {{"name", data.libraryName}};
  if (!data.library.empty()) {
    std::string safe = SafeRelativePath(data.libraryName).filename().string();
    std::string rel = "library/" + (safe.empty() || safe.size() > 100 ? std::string("library.bin") : safe);
    fs::create_directories(dir / "library", ec);
    if (!WriteFileAtomic(dir / rel, data.library, error)) return false;
    lib["file"] = rel;
  }
  m["library"] = lib;
  if (!WriteProjectResources(data.resources, dir, m, error)) return false;
  std::string text = DumpJson(m);
  return WriteFileAtomic(dir / kManifestName, std::vector<uint8_t>(text.begin(), text.end()), error);
}

// The project is written into a folder of its own beside DIR and renamed to DIR when whole, so a
// failure never leaves a half-written project behind.
bool Unpack(const fs::path& game, const fs::path& dir, std::string& error, bool& damaged) {
  CGameData data;
  if (!ReadGameData(game, data, error)) {
    damaged = error == msg::kDamaged;
    return false;
  }
  std::error_code ec;
  const bool existed = fs::exists(dir, ec);
  if (existed && !fs::is_empty(dir, ec)) {
    error = dir.string() + ": exists and is not empty";
    return false;
  }
  const fs::path target = fs::absolute(dir, ec);
  const fs::path work = target.parent_path() / ("." + target.filename().string() + ".unpacking-" + std::to_string(getpid()));
  fs::remove_all(work, ec);
  if (!WriteProject(data, work, error)) {
    fs::remove_all(work, ec);
    return false;
  }
  if (existed) fs::remove(target, ec);
  fs::rename(work, target, ec);
  if (ec) {
    error = dir.string() + ": " + ec.message();
    fs::remove_all(work, ec);
    return false;
  }
  return true;
}

}  // namespace

int UnpackCommand(const Args& args) {
  if (HandleHelpVersion(args, kUsage)) return 0;
  std::string game, out;
  for (size_t i = 0; i < args.size(); ++i) {
    if ((args[i] == "-o" || args[i] == "--output") && i + 1 < args.size())
      out = args[++i];
    else if (game.empty() && !args[i].empty() && args[i][0] != '-')
      game = args[i];
    else {
      std::fprintf(stderr, "%s", kUsage);
      return 2;
    }
  }
  if (game.empty() || out.empty()) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  std::string error;
  bool damaged = false;
  if (!Unpack(game, out, error, damaged)) {
    std::fprintf(stderr, "kestro unpack: %s\n", error.c_str());
    return damaged ? kExitDamaged : kExitFailed;
  }
  return 0;
}

}  // namespace kestro::tools
