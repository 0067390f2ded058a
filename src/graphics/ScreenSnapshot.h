// The screen snapshot of the F9 key (and of the snapshot action): the current screen image
// written as PNG or as a bitmap file.
#pragma once

#include <string>

namespace kestro {

// An empty name is the non-fatal error "Trying to save screen to empty image file name.";
// otherwise the drawn region is grabbed and written: ".png" (any case) as PNG with every pixel
// opaque, any other extension as a 32-bit bitmap file. Write failures are ignored (false).
bool SaveScreenSnapshot(const std::string& file);

// The drawn region as an opaque PNG file, for frame files; false when there is nothing to grab
// or the file cannot be written.
bool WriteScreenPng(const std::string& file);

}  // namespace kestro
