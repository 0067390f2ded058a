// Run with -close_fd_mask=2: failures print their message on standard error.
// Feeds arbitrary bytes to the header reader as they stand after descrambling: version, settings,
// the library block and the resource section with its sixteen blocks. With KESTRO_FUZZ_SEED set
// to a folder, the first run writes the header of a small built game there as a starting input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

#include "runner/Runner.h"
#include "io/Stream.h"
#include "tools/Builder.h"

using namespace kestro;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* seedDir = std::getenv("KESTRO_FUZZ_SEED")) {
    tools::CProject project;
    project.manifest = {{"game_id", 3}, {"settings", {{"scaling", -1}}}, {"room_order", {0, 1}}};
    // The plain header is what SealContainer wraps: rebuild it the same way the builder does.
    std::mt19937 rng(1);
    CStream section;
    std::string error;
    if (!tools::WriteResourceSection(project, rng, section, error)) return 0;
    CStream h;
    h.WriteInteger(810);
    h.WriteInteger(0);
    h.WriteBoolean(false);
    h.WriteInteger(0);
    CGameSettings().SaveToStream(h);
    h.WriteString("D3DX8.dll");
    h.WriteStreamC(nullptr, 0);
    h.WriteStreamE(section, rng);
    std::ofstream(std::string(seedDir) + "/built-header", std::ios::binary)
        .write(reinterpret_cast<const char*>(h.Buffer().data()), std::streamsize(h.Size()));
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CStream s(std::vector<uint8_t>(data, data + size));
  CRunner runner(CRunHooks{}, nullptr);
  runner.set_store_library(false);
  try {
    runner.ReadGameHeader(s);
  } catch (const EStreamError&) {
    // A damaged header: the start-up sequence reports it as a corrupted file.
  }
  return 0;
}
