#include "tools/Builder.h"

#include "runner/Stream.h"

namespace kestro::tools {

using nlohmann::json;

namespace {

void WriteEmptyList(CStream& s, int version) {
  s.WriteInteger(version);
  s.WriteInteger(0);
}

}  // namespace

bool WriteResourceBlocks(const CProject& project, CStream& s, std::string& error) {
  WriteEmptyList(s, 700);  // extension packages
  WriteEmptyList(s, 800);  // triggers
  WriteEmptyList(s, 800);  // constants
  WriteEmptyList(s, 800);  // sounds
  WriteEmptyList(s, 800);  // sprites
  WriteEmptyList(s, 800);  // backgrounds
  WriteEmptyList(s, 800);  // paths
  WriteEmptyList(s, 800);  // scripts
  WriteEmptyList(s, 800);  // fonts
  WriteEmptyList(s, 800);  // time lines
  WriteEmptyList(s, 800);  // objects
  WriteEmptyList(s, 800);  // rooms
  WriteEmptyList(s, 800);  // included files
  // Game information with its defaults.
  s.WriteInteger(800);
  CStream info;
  info.WriteInteger(0xE1FFFF);
  info.WriteBoolean(false);
  info.WriteString("");
  info.WriteInteger(-1);
  info.WriteInteger(-1);
  info.WriteInteger(600);
  info.WriteInteger(400);
  info.WriteBoolean(true);
  info.WriteBoolean(true);
  info.WriteBoolean(false);
  info.WriteBoolean(true);
  CStream text;
  info.WriteStream(text);
  s.WriteStreamC(info);
  WriteEmptyList(s, 500);  // library init code
  // Room order: the slots listed in the manifest, by index.
  std::vector<int32_t> order = {0};
  if (auto it = project.manifest.find("room_order"); it != project.manifest.end()) {
    order.clear();
    if (!it->is_array()) {
      error = "\"room_order\" must be a list";
      return false;
    }
    for (const json& r : *it) {
      if (!r.is_number_integer()) {
        error = "\"room_order\" entries must be room numbers";
        return false;
      }
      order.push_back(r.get<int32_t>());
    }
  }
  if (order.empty()) {
    error = "a game needs at least one room in \"room_order\"";
    return false;
  }
  s.WriteInteger(700);
  s.WriteInteger(int32_t(order.size()));
  for (int32_t r : order) s.WriteInteger(r);
  return true;
}

}  // namespace kestro::tools
