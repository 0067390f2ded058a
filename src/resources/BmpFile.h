// Windows bitmap file images, the stored form of pictures in the game data.
#pragma once

#include <cstdint>
#include <vector>

namespace kestro {

// A 32-bit image: pixels blue, green, red, alpha, rows from the top.
struct RPixels {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgra;
};

// A 32-bit uncompressed bitmap file image (rows stored from the bottom, as bitmaps are).
std::vector<uint8_t> EncodeBmp32(const RPixels& image);

// Decodes uncompressed 1/4/8-bit palettised, 16-bit (5-5-5), 24-bit and 32-bit bitmaps and
// bitfield 16/32-bit ones. Pixels without alpha get 255. False on anything else or damage.
bool DecodeBmp(const std::vector<uint8_t>& file, RPixels& out);

}  // namespace kestro
