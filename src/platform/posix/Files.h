// Whole-file reads shared by the loader, the builder and the picture readers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestro::os {

enum class ReadStatus { kOk, kCannotOpen, kNotRegularFile, kTooLarge, kReadError };

// Reads the whole of a regular file into `out`, never more than `maxBytes` whatever size the file
// reports (a device or a file that grows is cut off and refused, not read without end). A folder,
// a pipe or a device is refused without waiting on it. Nothing is kept in `out` on failure.
ReadStatus ReadFile(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes = UINT64_MAX);
// What went wrong, for a message after the file's name: "is not a regular file", ...
const char* ReadStatusText(ReadStatus status);

// ReadFile, true when it succeeded.
inline bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes = UINT64_MAX) {
  return ReadFile(path, out, maxBytes) == ReadStatus::kOk;
}

}  // namespace kestro::os
