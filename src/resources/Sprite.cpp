#include "resources/Sprite.h"

#include "resources/Background.h"
#include "resources/TextureSource.h"

namespace kestro {

namespace {
constexpr int32_t kSpriteVersion = 800;
// The smallest stored bitmap and mask, for checking counts before reserving.
constexpr size_t kMinBitmapBytes = 12;
constexpr size_t kMinMaskBytes = 28;
ITextureSource* g_textures = nullptr;

int TextureOf(const TBitmap32& bm) { return g_textures && !bm.Empty() ? g_textures->CreateTexture(bm) : -1; }
void FreeTextureId(int& t) {
  if (t >= 0 && g_textures) g_textures->FreeTexture(t);
  t = -1;
}
}  // namespace

void SetTextureSource(ITextureSource* source) { g_textures = source; }
ITextureSource* TextureSource() { return g_textures; }

// ---- textures ----

void CSprite::InitTexture() {
  FreeTexture();
  i_tex.assign(size_t(i_numb), -1);
  for (int i = 0; i < i_numb && i < int(i_bitmap.size()); ++i) i_tex[size_t(i)] = TextureOf(i_bitmap[size_t(i)]);
}

void CSprite::FreeTexture() {
  for (int& t : i_tex) FreeTextureId(t);
}

int CSprite::GetTexture(int ind) const {
  int i = ImageIndex(ind);
  return i >= 0 && size_t(i) < i_tex.size() ? i_tex[size_t(i)] : -1;
}

void CBackground::InitTexture() {
  FreeTexture();
  i_tex = TextureOf(i_bitmap);
}

void CBackground::FreeTexture() { FreeTextureId(i_tex); }

const TMask* CSprite::MaskOf(int ind) const {
  if (i_numb <= 0 || i_mask.empty()) return nullptr;
  if (!i_sepmasks) return &i_mask[0];
  int i = ImageIndex(ind);
  return size_t(i) < i_mask.size() ? &i_mask[size_t(i)] : nullptr;
}

// ---- the sprite ----

void CSprite::Clear() {
  FreeTexture();
  i_numb = 0;
  i_bitmap.clear();
  i_mask.clear();
  i_tex.clear();
  i_xorig = i_yorig = 0;
  i_bbox = {};
  i_sepmasks = false;
}

void CSprite::ComputeBoundingBox() {
  i_bbox = SpriteBoundingBox(i_mask, i_sepmasks, i_numb, GetWidth(), GetHeight());
}

void CSprite::ComputeMask(const RMaskParams& p) {
  i_sepmasks = p.sepmasks;
  i_mask = BuildSpriteMasks(i_bitmap, p);
  ComputeBoundingBox();
}

bool CSprite::LoadFromStream(CStream& s) {
  Clear();
  if (s.ReadInteger() != kSpriteVersion) return false;
  i_xorig = s.ReadInteger();
  i_yorig = s.ReadInteger();
  int32_t n = s.ReadInteger();
  if (!CountFits(s, n, kMinBitmapBytes)) return false;
  i_bitmap.resize(size_t(n));
  // A bitmap of another version stays empty without failing the sprite.
  for (TBitmap32& bm : i_bitmap) bm.LoadFromStream(s);
  i_numb = n;
  i_tex.assign(size_t(n), -1);
  i_sepmasks = s.ReadBoolean();
  if (n > 0) {
    size_t masks = i_sepmasks ? size_t(n) : 1;
    if (!CountFits(s, int32_t(masks), kMinMaskBytes)) return false;
    i_mask.resize(masks);
    for (TMask& m : i_mask) m.LoadFromStream(s);
  }
  ComputeBoundingBox();
  return true;
}

void CSprite::SaveToStream(CStream& s) const {
  s.WriteInteger(kSpriteVersion);
  s.WriteInteger(i_xorig);
  s.WriteInteger(i_yorig);
  s.WriteInteger(i_numb);
  for (const TBitmap32& bm : i_bitmap) bm.SaveToStream(s);
  s.WriteBoolean(i_sepmasks);
  if (i_numb > 0)
    for (const TMask& m : i_mask) m.SaveToStream(s);
}

bool LoadSpriteBlock(CStream& s, CResourceList<CSprite>& list) {
  return LoadListBlock(s, kListBlockVersion, list, true,
                       [](CSprite& o, CStream& in) { return o.LoadFromStream(in); });
}

void SaveSpriteBlock(CStream& s, const CResourceList<CSprite>& list) {
  SaveListBlock(s, kListBlockVersion, list, true,
                [](const CSprite& o, CStream& out) { o.SaveToStream(out); });
}

}  // namespace kestro
