// A game project: a folder a person edits and diffs. "game.json" is the manifest (game id,
// settings, room order, the resources by kind); every resource has a file of its own beside it,
// scripts as plain text and pictures as PNG.
#pragma once

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "resources/BmpFile.h"
#include "resources/GameSettings.h"

namespace kestro::tools {

inline constexpr const char* kManifestName = "game.json";

struct CProject {
  std::filesystem::path dir;
  nlohmann::json manifest;

  // Resolves a path written in the manifest against the project folder; refuses paths that
  // leave the folder.
  bool Resolve(const std::string& relative, std::filesystem::path& out, std::string& error) const;
};

// A whole number of a project file as T: false when the value is not a whole number or lies outside
// T's range (a plain conversion would wrap it silently: 4294967297 would become 1).
template <typename T>
bool JsonToInteger(const nlohmann::json& j, T& out) {
  if (j.is_number_unsigned()) {
    const uint64_t v = j.get<uint64_t>();
    if (!std::in_range<T>(v)) return false;
    out = T(v);
    return true;
  }
  if (j.is_number_integer()) {
    const int64_t v = j.get<int64_t>();
    if (!std::in_range<T>(v)) return false;
    out = T(v);
    return true;
  }
  if (j.is_number_float()) {
    const double d = j.get<double>();
    if (d != std::floor(d) || d < double(std::numeric_limits<T>::min()) || d > double(std::numeric_limits<T>::max()))
      return false;
    out = T(d);
    return true;
  }
  return false;
}

// The message for a value JsonToInteger refused.
template <typename T>
std::string IntegerRangeMessage(const std::string& key) {
  return "\"" + key + "\" must be a whole number from " + std::to_string(std::numeric_limits<T>::min()) + " to " +
         std::to_string(std::numeric_limits<T>::max());
}

// Reads the manifest; false with a message naming the file and the fault.
bool LoadProject(const std::filesystem::path& dir, CProject& project, std::string& error);

// The settings record from the manifest's "settings" object. Unknown keys and values of the
// wrong type are errors, so a typo never goes unnoticed.
bool SettingsFromManifest(const CProject& project, CGameSettings& settings, std::string& error);
// The inverse, for unpacking: every setting by its manifest key. Pictures are written by the
// caller, which names their files.
nlohmann::json SettingsToManifest(const CGameSettings& settings);

// Every setting by its manifest key and its current value as text, for `kestro info`.
std::vector<std::pair<std::string, std::string>> DescribeSettings(const CGameSettings& settings);

// PNG files in and out of the project.
bool ReadPng(const std::filesystem::path& file, RPixels& out, std::string& error);
bool WritePng(const std::filesystem::path& file, const RPixels& image, std::string& error);

// Writes bytes to a file atomically: a temporary file beside it, then a rename.
bool WriteFileAtomic(const std::filesystem::path& file, const std::vector<uint8_t>& bytes,
                     std::string& error, bool executable = false);

}  // namespace kestro::tools
