// Sprites and backgrounds made at run time: from picture files, sprite and background files
// (magic 1234321) and other images, and the list operations that add, replace, delete, duplicate
// and assign them. The member functions of CSprite and CBackground for these live in
// SpriteFile.cpp.
#pragma once

#include <string>

#include "resources/Background.h"
#include "resources/ResourceList.h"
#include "resources/Sprite.h"

namespace kestro {

inline constexpr int32_t kSpriteFileMagic = 1234321;

// Resampled to w x h: each new pixel averages q x q samples (q = max(quality, 1)) of the source,
// transparent samples counting as zero. Unchanged when w or h <= 0 or the size is the same.
void StretchBitmap(TBitmap32& bm, int w, int h, int quality);

// Pictures written by game code: PNG with its alpha when the name's extension is ".png" (any
// case), else a 32-bit bitmap file; `SavePngFile` always writes PNG. Write failures are quiet.
void SaveImageFile(const TBitmap32& bm, const std::string& fname);
void SavePngFile(const TBitmap32& bm, const std::string& fname);
// The sprite's images side by side on a transparent strip, copied unchanged; empty without images.
TBitmap32 SpriteStrip(const CSprite& spr);

// Sprite and background files as the tool exports them. The readers give false, leaving the
// object as it was, on a wrong magic or version or damaged content.
bool ReadSpriteFile(CStream& file, CSprite& spr);
bool ReadBackgroundFile(CStream& file, CBackground& back);
void SaveSpriteFile(CStream& out, const CSprite& spr, const RMaskParams& p);
void SaveBackgroundFile(CStream& out, const CBackground& back);

// List operations. Added slots are named "__newsprite" / "__newbackground" + their index; an add
// that fails leaves no slot behind and gives -1.
int SpriteAddFromFile(CResourceList<CSprite>& list, const std::string& fname, int imgnumb, bool removeback,
                      bool smooth, int xorig, int yorig);
int SpriteAddFromSpriteFile(CResourceList<CSprite>& list, const std::string& fname);
// Load into an existing slot (the object is made when the slot is empty); false for an index
// outside the list or a file that does not load.
bool SpriteReplaceFromFile(CResourceList<CSprite>& list, int ind, const std::string& fname, int imgnumb,
                           bool removeback, bool smooth, int xorig, int yorig);
bool SpriteReplaceFromSpriteFile(CResourceList<CSprite>& list, int ind, const std::string& fname);
int SpriteCreateEmpty(CResourceList<CSprite>& list);

int BackgroundAddFromFile(CResourceList<CBackground>& list, const std::string& fname, bool removeback, bool smooth);
int BackgroundAddFromBackgroundFile(CResourceList<CBackground>& list, const std::string& fname);
bool BackgroundReplaceFromFile(CResourceList<CBackground>& list, int ind, const std::string& fname, bool removeback,
                               bool smooth);
bool BackgroundReplaceFromBackgroundFile(CResourceList<CBackground>& list, int ind, const std::string& fname);

// The name of a slot added at run time: "__new" + kind + index.
template <typename T>
std::string NewSlotName(int index);
template <>
inline std::string NewSlotName<CSprite>(int index) { return "__newsprite" + std::to_string(index); }
template <>
inline std::string NewSlotName<CBackground>(int index) { return "__newbackground" + std::to_string(index); }

// Frees the object and its textures; false when there was nothing to delete.
template <typename T>
bool ResourceDelete(CResourceList<T>& list, int ind) {
  if (T* o = list.Get(ind)) o->Clear();
  return list.Delete(ind);
}
// Appends a copy named as an added slot; -1 for a missing source.
template <typename T>
int ResourceDuplicate(CResourceList<T>& list, int ind) {
  const T* src = list.Get(ind);
  if (!src) return -1;
  auto copy = std::make_unique<T>();
  copy->Assign(*src);
  int i = list.Count();
  return list.Add(std::move(copy), NewSlotName<T>(i));
}
// Copies source into slot ind (made, and named as an added slot, when empty); false when the
// source does not exist or ind lies outside the list.
template <typename T>
bool ResourceAssign(CResourceList<T>& list, int ind, int source) {
  const T* src = list.Get(source);
  if (!src || ind < 0 || ind >= list.Count()) return false;
  if (ind == source) return true;
  T* dst = list.Get(ind);
  if (!dst) dst = list.Put(ind, std::make_unique<T>(), NewSlotName<T>(ind));
  dst->Assign(*src);
  return true;
}

}  // namespace kestro
