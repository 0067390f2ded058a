// CBackground: one image with one texture, used for room backgrounds and tiles.
#pragma once

#include "resources/Bitmap32.h"
#include "resources/ResourceList.h"

namespace kestro {

class CBackground {
 public:
  TBitmap32 i_bitmap;  // always present, possibly 0 x 0
  int i_tex = -1;

  void Create() { Clear(); }
  void Clear() {
    i_bitmap.Clear();
    i_tex = -1;
  }
  void Assign(const CBackground& b) { *this = b; }
  void Destroy() { Clear(); }
  // Stored form after the slot's name: int 710 and one bitmap.
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;
  int GetWidth() const { return i_bitmap.Width(); }
  int GetHeight() const { return i_bitmap.Height(); }
};

bool LoadBackgroundBlock(CStream& s, CResourceList<CBackground>& list);
void SaveBackgroundBlock(CStream& s, const CResourceList<CBackground>& list);

}  // namespace kestro
