#include "tools/Builder.h"

#include <chrono>
#include <cstring>

#include "platform/posix/Files.h"
#include "platform/posix/Process.h"
#include "runner/GameFile.h"
#include "io/Stream.h"

namespace kestro::tools {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

bool ReadFileBytes(const fs::path& file, std::vector<uint8_t>& out, std::string& error) {
  const os::ReadStatus status = os::ReadFile(file.string(), out);
  if (status == os::ReadStatus::kOk) return true;
  error = file.string() + ": " + os::ReadStatusText(status);
  return false;
}

template <typename T>
bool Field(const CProject& project, const json& j, const char* key, T& out, std::string& error) {
  auto it = j.find(key);
  if (it == j.end()) return true;
  if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool>) {
    if (JsonToInteger(*it, out)) return true;
    error = (project.dir / kManifestName).string() + ": " + IntegerRangeMessage<T>(key);
    return false;
  }
  try {
    out = it->get<T>();
    return true;
  } catch (const json::exception&) {
    error = (project.dir / kManifestName).string() + ": \"" + key + "\" has the wrong type";
    return false;
  }
}

bool ParseGuid(const std::string& text, uint8_t guid[16], std::string& error) {
  std::string hex;
  for (char c : text)
    if (c != '-' && c != '{' && c != '}') hex += c;
  CStream s;
  if (hex.size() != 32 || !s.ConvertFromString(hex)) {
    error = "\"guid\" must be 32 hexadecimal digits";
    return false;
  }
  std::memcpy(guid, s.Buffer().data(), 16);
  return true;
}

}  // namespace

bool WriteResourceSection(const CProject& project, std::mt19937& rng, CStream& section,
                          std::string& error) {
  const json& m = project.manifest;
  int32_t gameId = 0;
  std::string guidText;
  if (!Field(project, m, "game_id", gameId, error) || !Field(project, m, "guid", guidText, error)) return false;
  uint8_t guid[16] = {};
  if (!guidText.empty() && !ParseGuid(guidText, guid, error)) return false;
  std::uniform_int_distribution<int> fillerCount(0, 99);
  std::uniform_int_distribution<int32_t> filler(0, 268435454);
  int n = fillerCount(rng);
  section.WriteInteger(n);
  for (int i = 0; i < n; ++i) section.WriteInteger(filler(rng));
  section.WriteInteger(0);  // reserved flags
  section.WriteInteger(gameId);
  section.WriteBytes(guid, 16);
  return WriteResourceBlocks(project, section, error);
}

bool BuildContainer(const CProject& project, size_t P, std::mt19937& rng, std::vector<uint8_t>& out,
                    std::string& error) {
  const json& m = project.manifest;
  bool debug = false;
  if (!Field(project, m, "debug", debug, error)) return false;
  CGameSettings settings;
  if (!SettingsFromManifest(project, settings, error)) return false;

  // The drawing library the data carries; the run-time draws in-process and only stores it.
  std::string libName = "D3DX8.dll";
  std::vector<uint8_t> libBytes;
  if (auto lib = m.find("library"); lib != m.end()) {
    std::string file;
    if (!Field(project, *lib, "name", libName, error) || !Field(project, *lib, "file", file, error)) return false;
    fs::path path;
    if (!file.empty() && (!project.Resolve(file, path, error) || !ReadFileBytes(path, libBytes, error)))
      return false;
  }

  CStream section;
  if (!WriteResourceSection(project, rng, section, error)) return false;

  CStream header;
  header.WriteInteger(kHeaderVersion);
  header.WriteInteger(0);
  header.WriteBoolean(debug);
  header.WriteInteger(0);
  settings.SaveToStream(header);
  header.WriteString(libName);
  header.WriteStreamC(libBytes.data(), libBytes.size());
  header.WriteStreamE(section, rng);
  out = SealContainer(header, P, rng);
  return true;
}

std::vector<uint8_t> SealContainer(const CStream& header, size_t P, std::mt19937& rng) {
  CStream c;
  uint32_t A, B;
  MakeMarkerWords(uint32_t(rng()), A, B);
  c.WriteInteger(int32_t(A));
  c.WriteInteger(int32_t(B));
  c.WriteInteger(0);  // seed, set by EncryptWad
  c.WriteInteger(0);  // checksum, set by EncryptWad
  c.WriteBytes(header.Buffer().data(), header.Size());
  // Descrambling runs from the seed int (container offset 8); then the version xor.
  EncryptWad(c, 8, uint32_t(rng()));
  int32_t version;
  std::memcpy(&version, c.Buffer().data() + 16, 4);
  version ^= HeaderVersionKey(P);
  std::memcpy(c.Buffer().data() + 16, &version, 4);
  return std::move(c.Buffer());
}

bool BuildGame(const CProject& project, const fs::path& output, const CBuildOptions& options,
               std::string& error) {
  uint32_t seed = options.randomSeed
                      ? options.randomSeed
                      : uint32_t(std::chrono::steady_clock::now().time_since_epoch().count());
  std::mt19937 rng(seed);
  std::vector<uint8_t> file;
  if (!options.dataOnly) {
    fs::path runner = options.runner.empty() ? fs::path(os::SelfExecutablePath()) : options.runner;
    if (!ReadFileBytes(runner, file, error)) return false;
    // Only the program image: a run-time that is itself a game brings no old container along.
    size_t image = ElfImageEnd(file.data(), file.size());
    if (image == 0) {
      error = runner.string() + ": not a run-time program";
      return false;
    }
    file.resize(image);
  }
  size_t P = std::max(kContainerScanStart, file.size());
  file.resize(P, 0);
  std::vector<uint8_t> container;
  if (!BuildContainer(project, P, rng, container, error)) return false;
  file.insert(file.end(), container.begin(), container.end());
  return WriteFileAtomic(output, file, error, !options.dataOnly);
}

}  // namespace kestro::tools
