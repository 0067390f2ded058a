// Feeds arbitrary bytes to the resource section loading: the bytes are the section's content
// (after the filler count) and every block loader runs on them in order, as at start-up.
// Run with -close_fd_mask=2 to keep the loaders' messages out of the fuzzer's output.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "resources/GameResources.h"
#include "io/Stream.h"

using namespace kestro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CStream s(std::vector<uint8_t>(data, data + size));
  CGameResources res;
  try {
    // The flags, game id and GUID come before the blocks; short inputs start at the blocks.
    if (size > 64 && data[0] == 0) s.Skip(24);
    for (int k = 0; k < kResourceKindCount; ++k)
      if (!LoadResourceBlock(ResourceKind(k), s, res, "")) break;
  } catch (const EStreamError&) {
  }
  // Whatever was read must write out again.
  CStream out;
  for (int k = 0; k < kResourceKindCount; ++k) SaveResourceBlock(ResourceKind(k), out, res);
  return 0;
}
