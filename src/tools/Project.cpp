#include "tools/Project.h"

#include "resources/Bitmap32.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <optional>
#include <variant>

namespace kestro::tools {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

using BoolField = bool CGameSettings::*;
using IntField = int32_t CGameSettings::*;
using PictureField = std::optional<BitmapFile> CGameSettings::*;

struct SettingKey {
  const char* key;
  std::variant<BoolField, IntField, PictureField> field;
};

// The manifest's names for the settings, in stored order.
const SettingKey kSettingKeys[] = {
    {"fullscreen", &CGameSettings::fullScreen},
    {"interpolate", &CGameSettings::interpolate},
    {"no_border", &CGameSettings::noBorder},
    {"show_cursor", &CGameSettings::showCursor},
    {"scaling", &CGameSettings::scaling},
    {"sizeable", &CGameSettings::sizeable},
    {"stay_on_top", &CGameSettings::stayOnTop},
    {"window_color", &CGameSettings::windowColor},
    {"change_display_mode", &CGameSettings::changeDisplayMode},
    {"color_depth", &CGameSettings::colorDepthChoice},
    {"resolution", &CGameSettings::resolutionChoice},
    {"frequency", &CGameSettings::frequencyChoice},
    {"no_buttons", &CGameSettings::noButtons},
    {"vsync", &CGameSettings::synchronise},
    {"disable_screensaver", &CGameSettings::disableScreensaver},
    {"f4_fullscreen", &CGameSettings::f4SwitchesScreen},
    {"f1_info", &CGameSettings::f1ShowsInfo},
    {"esc_ends_game", &CGameSettings::escEndsGame},
    {"f5_save_f6_load", &CGameSettings::f5SavesF6Loads},
    {"f9_screenshot", &CGameSettings::f9Screenshot},
    {"close_as_esc", &CGameSettings::closeActsAsEsc},
    {"priority", &CGameSettings::processPriority},
    {"freeze_when_inactive", &CGameSettings::freezeWhenInactive},
    {"show_progress_bar", &CGameSettings::showProgressBar},
    {"progress_background", &CGameSettings::progressBackground},
    {"progress_foreground", &CGameSettings::progressForeground},
    {"loading_image", &CGameSettings::loadingImage},
    {"loading_transparent", &CGameSettings::loadingTransparent},
    {"loading_alpha", &CGameSettings::loadingAlpha},
    {"scale_progress_bar", &CGameSettings::scaleProgressBar},
    {"display_errors", &CGameSettings::displayErrors},
    {"write_error_log", &CGameSettings::writeErrorLog},
    {"abort_on_errors", &CGameSettings::abortOnAllErrors},
    {"uninitialised_are_zero", &CGameSettings::uninitialisedAreZero},
    {"check_argument_count", &CGameSettings::checkArgumentCount},
};

}  // namespace

bool CProject::Resolve(const std::string& relative, fs::path& out, std::string& error) const {
  fs::path rel = fs::path(relative).lexically_normal();
  if (rel.empty() || rel.is_absolute() || *rel.begin() == "..") {
    error = "path '" + relative + "' must stay inside the project folder";
    return false;
  }
  out = dir / rel;
  // Links are followed to where they lead, which must be inside the project too.
  std::error_code ec;
  const fs::path root = fs::weakly_canonical(dir, ec);
  const fs::path target = ec ? fs::path() : fs::weakly_canonical(out, ec);
  const fs::path inside = ec ? fs::path() : target.lexically_relative(root);
  if (ec || inside.empty() || *inside.begin() == "..") {
    error = "path '" + relative + "' leads outside the project folder";
    return false;
  }
  return true;
}

bool LoadProject(const fs::path& dir, CProject& project, std::string& error) {
  project.dir = dir;
  fs::path file = dir / kManifestName;
  std::ifstream in(file);
  if (!in) {
    error = file.string() + ": cannot be read";
    return false;
  }
  try {
    project.manifest = json::parse(in);
  } catch (const json::parse_error& e) {
    error = file.string() + ": " + e.what();
    return false;
  }
  if (!project.manifest.is_object()) {
    error = file.string() + ": the manifest must be a JSON object";
    return false;
  }
  // A misspelt key would otherwise be ignored without a word: say so, and go on.
  static const char* const kKnownKeys[] = {
      "game_id",   "guid",      "debug",  "settings", "room_order", "library",  "line_breaks", "last_instance_id",
      "last_tile_id", "constants", "included_files", "game_information", "library_code", "sprites", "backgrounds",
      "sounds",    "paths",     "scripts", "fonts",   "time_lines", "triggers", "objects",     "rooms",
      "extensions"};
  for (const auto& item : project.manifest.items()) {
    bool known = false;
    for (const char* k : kKnownKeys) known = known || item.key() == k;
    if (!known) std::fprintf(stderr, "warning: %s: unknown key \"%s\" (ignored)\n", file.string().c_str(), item.key().c_str());
  }
  return true;
}

bool SettingsFromManifest(const CProject& project, CGameSettings& s, std::string& error) {
  s.Reset();
  auto it = project.manifest.find("settings");
  if (it == project.manifest.end()) return true;
  if (!it->is_object()) {
    error = (project.dir / kManifestName).string() + ": \"settings\" must be an object";
    return false;
  }
  for (auto& [key, value] : it->items()) {
    const SettingKey* k = nullptr;
    for (const SettingKey& c : kSettingKeys)
      if (key == c.key) k = &c;
    if (!k) {
      error = (project.dir / kManifestName).string() + ": unknown setting \"" + key + "\"";
      return false;
    }
    if (auto* b = std::get_if<BoolField>(&k->field)) {
      if (!value.is_boolean()) {
        error = (project.dir / kManifestName).string() + ": setting \"" + key + "\" must be true or false";
        return false;
      }
      s.*(*b) = value.get<bool>();
    } else if (auto* i = std::get_if<IntField>(&k->field)) {
      if (!JsonToInteger(value, s.*(*i))) {
        error = (project.dir / kManifestName).string() + ": setting " + IntegerRangeMessage<int32_t>(key);
        return false;
      }
    } else {
      auto p = std::get<PictureField>(k->field);
      if (value.is_null()) continue;
      fs::path file;
      RPixels pixels;
      if (!value.is_string()) {
        error = (project.dir / kManifestName).string() + ": setting \"" + key + "\" must name a PNG file";
        return false;
      }
      if (!project.Resolve(value.get<std::string>(), file, error) || !ReadPng(file, pixels, error))
        return false;
      s.*p = EncodeBmp32(pixels);
    }
  }
  return true;
}

json SettingsToManifest(const CGameSettings& s) {
  json out = json::object();
  for (const SettingKey& k : kSettingKeys) {
    if (auto* b = std::get_if<BoolField>(&k.field))
      out[k.key] = s.*(*b);
    else if (auto* i = std::get_if<IntField>(&k.field))
      out[k.key] = s.*(*i);
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> DescribeSettings(const CGameSettings& s) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const SettingKey& k : kSettingKeys) {
    std::string v;
    if (auto* b = std::get_if<BoolField>(&k.field))
      v = s.*(*b) ? "true" : "false";
    else if (auto* i = std::get_if<IntField>(&k.field))
      v = std::to_string(s.*(*i));
    else {
      const auto& pic = s.*std::get<PictureField>(k.field);
      RPixels px;
      v = !pic ? "none" : DecodeBmp(*pic, px) ? std::to_string(px.width) + "x" + std::to_string(px.height)
                                              : "unreadable";
    }
    out.emplace_back(k.key, v);
  }
  return out;
}

// PNG files go through the run-time's own bitmap, so the builder reads pictures exactly as a
// game does.
bool ReadPng(const fs::path& file, RPixels& out, std::string& error) {
  TBitmap32 bm;
  if (!bm.LoadFromPng(file, error)) return false;
  out.width = bm.Width();
  out.height = bm.Height();
  out.bgra.resize(size_t(out.width) * out.height * 4);
  std::memcpy(out.bgra.data(), bm.Data(), out.bgra.size());
  return true;
}

bool WritePng(const fs::path& file, const RPixels& img, std::string& error) {
  TBitmap32 bm(img.width, img.height);
  std::memcpy(bm.Data(), img.bgra.data(), std::min(img.bgra.size(), size_t(img.width) * img.height * 4));
  std::vector<uint8_t> bytes;
  return bm.SaveToPngMemory(bytes, error) && WriteFileAtomic(file, bytes, error);
}

bool WriteFileAtomic(const fs::path& file, const std::vector<uint8_t>& bytes, std::string& error,
                     bool executable) {
  fs::path tmp = file;
  tmp += ".tmp" + std::to_string(getpid());
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size())) ||
        !out.flush()) {
      error = file.string() + ": cannot be written";
      std::error_code ec;
      fs::remove(tmp, ec);
      return false;
    }
  }
  if (executable) chmod(tmp.c_str(), 0755);
  std::error_code ec;
  fs::rename(tmp, file, ec);
  if (ec) {
    error = file.string() + ": " + ec.message();
    fs::remove(tmp, ec);
    return false;
  }
  return true;
}

}  // namespace kestro::tools
