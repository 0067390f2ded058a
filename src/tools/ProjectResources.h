// The resources of a project folder: read into the models for building, and written back from
// the models when a game is unpacked. The folder's format is described in docs/PROJECT_FORMAT.md.
#pragma once

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "resources/GameResources.h"
#include "tools/Project.h"

namespace kestro::tools {

// Every resource of the project, by kind, with names resolved to slots.
bool ReadProjectResources(const CProject& project, CGameResources& res, std::string& error);

// Writes the files of every resource into `dir` and adds their keys to `manifest`.
bool WriteProjectResources(const CGameResources& res, const std::filesystem::path& dir,
                           nlohmann::json& manifest, std::string& error);

// JSON text for files a person edits: objects one key per line, arrays of plain values on one
// line, so a diff shows what changed.
std::string DumpJson(const nlohmann::json& j);

}  // namespace kestro::tools
