// CSprite: equally sized images with a common origin, their collision masks and one texture per
// image. The stored form keeps the masks the builder computed; the sprite's box comes from them.
#pragma once

#include <vector>

#include "resources/Bitmap32.h"
#include "resources/ResourceList.h"
#include "world/CollisionMask.h"

namespace kestro {

class CSprite {
 public:
  int i_numb = 0;
  std::vector<TBitmap32> i_bitmap;
  int i_xorig = 0, i_yorig = 0;
  RRect i_bbox;
  std::vector<TMask> i_mask;
  bool i_sepmasks = false;
  std::vector<int> i_tex;

  void Create() { Clear(); }
  void Clear();
  void Assign(const CSprite& spr) { *this = spr; }
  void Destroy() { Clear(); }

  // Stored form after the slot's name: int 800, origin, images, separate-masks flag, masks.
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;

  int GetWidth() const { return i_numb > 0 ? i_bitmap[0].Width() : 1; }
  int GetHeight() const { return i_numb > 0 ? i_bitmap[0].Height() : 1; }
  // Rebuilds the masks from the images and then the box.
  void ComputeMask(const RMaskParams& p);
  void ComputeBoundingBox();
  // Image ind with indices wrapping, negative ones from the end; -1 without images.
  int ImageIndex(int ind) const { return i_numb > 0 ? ((ind % i_numb) + i_numb) % i_numb : -1; }
};

bool LoadSpriteBlock(CStream& s, CResourceList<CSprite>& list);
void SaveSpriteBlock(CStream& s, const CResourceList<CSprite>& list);

}  // namespace kestro
