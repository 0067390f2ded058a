// Run with -close_fd_mask=2: failures print their message on standard error.
// Feeds arbitrary bytes to the container and header reader: the data is placed where a game
// file's container goes and read through the whole start-up loading path. An input whose first
// byte is odd also becomes the start of the file behind a program-image signature, so the image's
// header tables (offsets, sizes and counts read from the file) are tried as well.
#include <algorithm>
#include <cstddef>
#include <iterator>
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
  file.assign(kContainerScanStart, 0);
  if (size > 1 && (data[0] & 1) != 0) {
    static const uint8_t kSignature[] = {0x7F, 'E', 'L', 'F', 2, 1, 1};
    std::copy(data + 1, data + std::min(size, file.size()), file.begin());
    std::copy(std::begin(kSignature), std::end(kSignature), file.begin());
  }
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
