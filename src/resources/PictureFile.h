// Pictures read from files: PNG, JPEG, BMP and GIF (the first frame, or every frame of an
// animation composed on a canvas). Damaged, truncated or oversized files give false, never a
// crash, and no picture larger than kMaxPicturePixels is ever allocated.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "resources/Bitmap32.h"

namespace kestro {

// The largest picture (and the largest sum of animation frames) read from a file, in pixels.
inline constexpr int64_t kMaxPicturePixels = int64_t(1) << 26;
// Files larger than this are not read at all.
inline constexpr int64_t kMaxPictureFileBytes = int64_t(1) << 28;

// The whole file, or false when it is missing, unreadable or too large.
bool ReadPictureBytes(const std::string& fname, std::vector<uint8_t>& out);

// One picture by its content: pictures without alpha, and pictures whose alpha is 0 everywhere,
// become fully opaque; a GIF gives its first frame on the colour red 1 (opaque). False leaves
// `out` unchanged.
bool DecodePicture(const std::vector<uint8_t>& bytes, TBitmap32& out);
// LoadFromImageFile: DecodePicture of a file.
bool LoadImageFile(const std::string& fname, TBitmap32& out);

// Every frame of a GIF at the animation's full size, drawn in order onto one opaque canvas of
// `canvas` (a 32-bit colour, alpha included); transparent pixels of a frame leave the canvas
// unchanged and the canvas is filled again after every frame whose disposal method is not 1.
bool DecodeGifAnimation(const std::vector<uint8_t>& bytes, uint32_t canvas, std::vector<TBitmap32>& frames);

}  // namespace kestro
