#include "tools/GameData.h"

#include "runner/GameFile.h"
#include "runner/Runner.h"
#include "io/Stream.h"

namespace kestro::tools {

bool ReadGameData(const std::filesystem::path& file, CGameData& out, std::string& error) {
  out = CGameData();
  CStream s;
  try {
    size_t P = 0;
    switch (OpenGameFile(file.string(), s, P)) {
      case OpenResult::CannotRead:
        error = msg::kCannotRead;
        return false;
      case OpenResult::NotAGame:
        error = msg::kNotAGame;
        return false;
      case OpenResult::BadChecksum:
        error = msg::kDamaged;
        return false;
      case OpenResult::Damaged:
        throw EStreamError();
      case OpenResult::Ok:
        break;
    }
    if (const char* failure = ReadHeaderStart(s, out.debug, out.settings)) {
      error = failure;
      return false;
    }
    out.libraryName = s.ReadString();
    out.library = std::move(s.ReadStreamC()->Buffer());
    std::unique_ptr<CStream> section = s.ReadStreamE();
    ReadSectionPreamble(*section, out.gameId, out.guid);
    // The stored section from the reserved flags on: back over flags, id and GUID.
    size_t start = section->Position() - 24;
    for (int k = 0; k < kResourceKindCount; ++k) {
      if (!LoadResourceBlock(ResourceKind(k), *section, out.resources, "")) {
        error = std::string(msg::kResourceData) + " (" + ResourceKindName(ResourceKind(k)) + ")";
        return false;
      }
    }
    out.resourceBytes.assign(section->Buffer().begin() + long(start), section->Buffer().end());
    return true;
  } catch (const EStreamError&) {
    error = msg::kCorrupted;
  }
  return false;
}

}  // namespace kestro::tools
