// The texture table and the pure rules of texture creation: the size the device gets and the
// padded pixel buffer that is uploaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestro {

// The size a texture is created with for an image side of n pixels: the next power of two
// (at least 1), capped at the device's largest side.
int TextureSide(int n, int maxSide);

// The upload buffer for a w x h image (BGRA, rows from the top) in a wt x ht texture. The image
// fills the top-left corner; when the texture is larger, one extra column repeats each row's last
// pixel and one extra row repeats the last row, so linear filtering at the right and bottom
// border never pulls in undefined texels. The rest is transparent black. An image larger than
// the texture is cut.
std::vector<uint8_t> PadTexturePixels(const uint8_t* bgra, int w, int h, int wt, int ht);

// One slot of the texture table. `handle` is the device's own name for the texture.
struct RTexture {
  uint32_t handle = 0;
  int32_t w = 0, h = 0;    // the image size that was asked for
  int32_t wt = 0, ht = 0;  // the size actually created
  bool used = false;
  bool renderTarget = false;
};

// Ids are slots: creation takes the lowest free slot, freeing leaves the slot for reuse.
class CTextureTable {
 public:
  int Allocate();  // the lowest free slot (not yet marked used)
  bool Exists(int id) const { return id >= 0 && id < int(slots_.size()) && slots_[size_t(id)].used; }
  RTexture* Get(int id) { return Exists(id) ? &slots_[size_t(id)] : nullptr; }
  const RTexture* Get(int id) const { return Exists(id) ? &slots_[size_t(id)] : nullptr; }
  void Free(int id) {
    if (Exists(id)) slots_[size_t(id)] = RTexture{};
  }
  void Set(int id, const RTexture& t) { slots_[size_t(id)] = t; }
  // The texture-coordinate extent: w / wt and h / ht, 1 for an id that does not exist.
  double ExtentU(int id) const;
  double ExtentV(int id) const;
  int Count() const { return int(slots_.size()); }
  void Clear() { slots_.clear(); }

 private:
  std::vector<RTexture> slots_;
};

}  // namespace kestro
