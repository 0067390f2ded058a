// CBackground: one image with one texture, used for room backgrounds and tiles.
#pragma once

#include <string>

#include "resources/Bitmap32.h"
#include "resources/ResourceList.h"

namespace kestro {

class CBackground {
 public:
  TBitmap32 i_bitmap;  // always present, possibly 0 x 0
  int i_tex = -1;

  void Create() { Clear(); }
  void Clear() {
    FreeTexture();
    i_bitmap.Clear();
  }
  // A copy of the image with a texture of its own.
  void Assign(const CBackground& b);
  void Destroy() { Clear(); }
  // Stored form after the slot's name: int 710 and one bitmap.
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;
  int GetWidth() const { return i_bitmap.Width(); }
  int GetHeight() const { return i_bitmap.Height(); }

  // The texture, from the installed texture source (TextureSource.h); drawn by the drawing
  // layer (graphics/SpriteDraw.h).
  void InitTexture();
  void FreeTexture();
  int GetTexture() const { return i_tex; }

  // Pictures from files and other images (resources/SpriteFile.cpp); false leaves it as it was.
  bool LoadFromFile(const std::string& fname, bool removeback, bool smooth);
  bool LoadFromBackgroundFile(const std::string& fname);
  void CreateFromBitmap(const TBitmap32& bm, int removeback, bool smooth);
  void CreateColor(int w, int h, int32_t col);
  // max(w, 1) x max(h, 1) pixels of col1 with a gradient towards col2 drawn on it with the sizes
  // given: kinds 0 to 11 (resources/BackgroundGradient.cpp); any other kind leaves plain col1.
  void CreateGradient(int w, int h, int32_t col1, int32_t col2, int kind);
  void SetAlphaFromBackground(const CBackground& back);
  TBitmap32 GetBitmap() const { return i_bitmap; }
};

bool LoadBackgroundBlock(CStream& s, CResourceList<CBackground>& list);
void SaveBackgroundBlock(CStream& s, const CResourceList<CBackground>& list);

}  // namespace kestro
