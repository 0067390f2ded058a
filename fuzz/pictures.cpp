// Feeds arbitrary bytes to the picture decoders (PNG, JPEG, BMP, GIF and GIF animations) and to
// the sprite and background file readers.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "resources/PictureFile.h"
#include "resources/SpriteFile.h"
#include "io/Stream.h"

using namespace kestro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  TBitmap32 bm;
  DecodePicture(bytes, bm);
  std::vector<TBitmap32> frames;
  if (size >= 4 && data[0] == 'G') DecodeGifAnimation(bytes, 0xFF408000u, frames);
  CSprite spr;
  CStream file(bytes);
  ReadSpriteFile(file, spr);
  CBackground back;
  CStream again(std::move(bytes));
  ReadBackgroundFile(again, back);
  return 0;
}
