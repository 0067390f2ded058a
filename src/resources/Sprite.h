// CSprite: equally sized images with a common origin, their collision masks and one texture per
// image. The stored form keeps the masks the builder computed; the sprite's box comes from them.
#pragma once

#include <string>
#include <vector>

#include "resources/Bitmap32.h"
#include "resources/ResourceList.h"
#include "world/CollisionMask.h"
#include "world/MaskCollision.h"

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

  // Textures, one per image, through the drawing layer (graphics/SpriteDraw.cpp).
  void InitTexture();
  void FreeTexture();
  int GetTexture(int ind) const;
  // Image ind (wrapping) drawn with the origin placed at (x, y); angles in degrees, colours are
  // game colours. Nothing is drawn without images.
  void DrawSimple(int ind, double x, double y) const;
  void Draw(int ind, int32_t colour, double alpha, double angle, double xscale, double yscale, double x,
            double y) const;
  void DrawStretched(int ind, int32_t colour, double alpha, double w, double h, double x, double y) const;
  void DrawPart(int ind, int32_t colour, double alpha, double left, double top, double width, double height,
                double x, double y, double xscale, double yscale) const;
  // Corner colours top-left, top-right, bottom-right, bottom-left.
  void DrawGeneral(int ind, const int32_t colours[4], double alpha, double left, double top, double width,
                   double height, double x, double y, double xscale, double yscale, double angle) const;
  void DrawTiled(int ind, bool htiled, bool vtiled, double x, double y, double xscale, double yscale,
                 double areaLeft, double areaTop, double areaWidth, double areaHeight, int32_t colour,
                 double alpha) const;

  // Collision tests with the mask of image ind (world/SpriteCollision.cpp); false without images.
  const TMask* MaskOf(int ind) const;
  bool CheckCollision(int ind, const RMaskPlace& p, const RRect& box, const CSprite* other, int otherInd,
                      const RMaskPlace& otherPlace, const RRect& otherBox) const;
  bool CheckCollisionPoint(int ind, const RMaskPlace& p, int x, int y) const;
  bool CheckCollisionRectangle(int ind, const RMaskPlace& p, const RRect& box, const RRect& r) const;
  bool CheckCollisionEllipse(int ind, const RMaskPlace& p, const RRect& box, const RRect& r) const;
  bool CheckCollisionLine(int ind, const RMaskPlace& p, const RRect& box, int x1, int y1, int x2, int y2) const;

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
