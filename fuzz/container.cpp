// Run with -close_fd_mask=2: failures print their message on standard error.
// Feeds arbitrary bytes to the container and header reader: the data is placed where a game
// file's container goes and read through the whole start-up loading path.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <unistd.h>
#include <string>
#include <vector>

#include "runner/GameFile.h"
#include "runner/Runner.h"
#include "io/Stream.h"

using namespace kestro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The loader reads files; keep one per process in memory-backed /dev/shm when available.
  static std::string path = "/dev/shm/kestro-fuzz-" + std::to_string(getpid()) + ".kx";
  static std::vector<uint8_t> file(kContainerScanStart, 0);
  file.resize(kContainerScanStart);
  file.insert(file.end(), data, data + size);
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
  }
  CRunner runner(CRunHooks{}, nullptr);
  runner.set_store_library(false);
  runner.LoadGameFile(path);
  return 0;
}
