// Reads arbitrary text as a 3-D model file: it must be read or refused with a message, never
// crash, hang or allocate beyond what the text can hold. Whatever is read must write a file that
// reads back to the same entries and writes the same text again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/Model3d.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kestro;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<R3DModelEntry> entries;
  std::string error;
  if (!ParseModelFile(text, entries, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  const std::string once = ModelFileText(entries);
  std::vector<R3DModelEntry> again;
  if (!ParseModelFile(once, again, error) || again.size() != entries.size()) std::abort();
  if (ModelFileText(again) != once) std::abort();
  return 0;
}
