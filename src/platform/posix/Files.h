// Whole-file reads shared by the loader, the builder and the picture readers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestro::os {

// Reads the whole file into `out`. False when it cannot be opened or read, or when it is larger
// than `maxBytes` (nothing is allocated for it then).
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes = UINT64_MAX);

}  // namespace kestro::os
