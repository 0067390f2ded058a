// TMask: which pixels of a sprite image are solid. Built from 32-bit images (precise, rectangle,
// ellipse or diamond shape, alpha tolerance, three bounding-box modes), merged over the images of
// a sprite with a single mask, and stored in the game data.
#pragma once

#include <cstdint>
#include <vector>

#include "resources/Bitmap32.h"

namespace kestro {

class CStream;

enum MaskKind { kMaskPrecise = 0, kMaskRectangle = 1, kMaskEllipse = 2, kMaskDiamond = 3 };
enum BoxMode { kBoxAutomatic = 0, kBoxFull = 1, kBoxManual = 2 };

// How a sprite's masks are made from its images.
struct RMaskParams {
  bool sepmasks = false;
  int bbmode = kBoxAutomatic;
  RRect bbox;  // used only with kBoxManual
  int kind = kMaskPrecise;
  int tolerance = 0;
  bool operator==(const RMaskParams&) const = default;
};

class TMask {
 public:
  int i_w = 0;
  int i_h = 0;
  RRect i_bbox;  // inclusive; no pixel outside it is solid

  TMask() = default;
  // Builds from an image; an absent image gives an empty mask.
  TMask(const TBitmap32* bm, int bbmode, RRect bbox, int kind, int tolerance) {
    Create(bm, bbmode, bbox, kind, tolerance);
  }
  void Create() { *this = TMask(); }
  void Create(const TBitmap32* bm, int bbmode, RRect bbox, int kind, int tolerance);
  // Adds another image of the same size.
  void Merge(const TBitmap32* bm, int bbmode, RRect bbox, int kind, int tolerance);

  // Stored form: int 800, width, height, box Left, Right, Bottom, Top, then height x width bools
  // row by row. Another version reads nothing more and leaves the mask as it was (false).
  // A negative size or one that does not fit the remaining bytes raises EStreamError.
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;

  // The flag at (x, y) (i_mask[x][y] of the stored form), stored column after column.
  bool Get(int x, int y) const {
    return x >= 0 && y >= 0 && x < i_w && y < i_h && bits_[size_t(x) * size_t(i_h) + size_t(y)];
  }
  void Set(int x, int y, bool v) { bits_[size_t(x) * size_t(i_h) + size_t(y)] = v; }
  // The i_h flags (0 or 1) of column x, 0 <= x < i_w: the collision tests scan columns directly.
  const uint8_t* Column(int x) const { return bits_.data() + size_t(x) * size_t(i_h); }
  void Resize(int w, int h);  // all pixels cleared

  bool operator==(const TMask& o) const {
    return i_w == o.i_w && i_h == o.i_h && i_bbox == o.i_bbox && bits_ == o.bits_;
  }

 private:
  void Shape(int kind, const TBitmap32* bm, int tolerance, RRect box);
  std::vector<uint8_t> bits_;
};

// The masks of a sprite's images: one per image when separate, else one merged mask; none for
// no images.
std::vector<TMask> BuildSpriteMasks(const std::vector<TBitmap32>& images, const RMaskParams& p);
// The sprite's box: the union of the masks' boxes (separate masks) or the single mask's box;
// (0, 0, 0, 0) without images.
RRect SpriteBoundingBox(const std::vector<TMask>& masks, bool sepmasks, int imageCount, int width,
                        int height);

}  // namespace kestro
