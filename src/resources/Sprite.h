// CSprite: equally sized images with a common origin, their collision masks and one texture per
// image. The stored form keeps the masks the builder computed; the sprite's box comes from them.
#pragma once

#include <string>
#include <vector>

#include "resources/Bitmap32.h"
#include "resources/ResourceList.h"
#include "resources/CollisionMask.h"

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
  // Deep copy of images, origin, box and masks; the copy makes textures of its own.
  void Assign(const CSprite& spr);
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

  // Textures, one per image, from the installed texture source (TextureSource.h); drawn by the
  // drawing layer (graphics/SpriteDraw.h).
  void InitTexture();
  void FreeTexture();
  int GetTexture(int ind) const;

  // The collision mask of image ind (wrapping), or null without images; tested by the world
  // (world/SpriteCollision.h).
  const TMask* MaskOf(int ind) const;

  // Pictures from files and other images (resources/SpriteFile.cpp). Each gives false and leaves
  // the sprite as it was when the file is missing or cannot be read.
  bool LoadFromFile(const std::string& fname, int imgnumb, bool removeback, bool smooth, int xorig, int yorig);
  bool LoadFromSpriteFile(const std::string& fname);
  // removeback: 1 remove background, -1 make opaque, 2 copy as it is, 0 neither.
  void CreateFromBitmap(const TBitmap32& bm, int removeback, bool smooth, int xorig, int yorig);
  void AddFromBitmap(const TBitmap32& bm, int removeback, bool smooth);
  void AddFromSprite(const CSprite& spr);
  void SetAlphaFromSprite(const CSprite& spr);
  // A copy of image ind (none outside 0..count - 1), and its box of visible pixels.
  TBitmap32 GetBitmap(int ind) const;
  RRect GetBoundingBoxImg(int ind) const;
};

bool LoadSpriteBlock(CStream& s, CResourceList<CSprite>& list);
void SaveSpriteBlock(CStream& s, const CResourceList<CSprite>& list);

}  // namespace kestro
