#include "graphics/SpriteDraw.h"

#include <numbers>

#include "graphics/Graphics.h"
#include "resources/GameResources.h"

namespace kestro {

namespace {
constexpr double kDegrees = std::numbers::pi / 180;

int TextureOf(const TBitmap32& bm) {
  if (bm.Empty()) return -1;
  return Graphics().TextureCreateFromPixels(bm.Width(), bm.Height(), reinterpret_cast<const uint8_t*>(bm.Data()));
}
}  // namespace

bool CreateGameTextures(CGameResources& res) {
  for (int i = 0; i < res.backgrounds.Count(); ++i)
    if (CBackground* b = res.backgrounds.Get(i)) b->InitTexture();
  for (int i = 0; i < res.sprites.Count(); ++i)
    if (CSprite* s = res.sprites.Get(i)) s->InitTexture();
  for (int i = 0; i < res.fonts.Count(); ++i) {
    CFont* f = res.fonts.Get(i);
    if (!f) continue;
    if (f->s_tex >= 0) Graphics().TextureFree(f->s_tex);
    f->s_tex = -1;
    if (f->s_bw > 0 && f->s_bh > 0 && f->s_bytes.size() >= size_t(f->s_bw) * size_t(f->s_bh))
      f->s_tex = Graphics().TextureCreateFromAlpha(f->s_bw, f->s_bh, f->s_bytes.data());
  }
  return true;
}

bool CreateGameTextures() { return CreateGameTextures(GameResources()); }

// ---- sprites ----

void CSprite::InitTexture() {
  FreeTexture();
  i_tex.assign(size_t(i_numb), -1);
  for (int i = 0; i < i_numb && i < int(i_bitmap.size()); ++i) i_tex[size_t(i)] = TextureOf(i_bitmap[size_t(i)]);
}

void CSprite::FreeTexture() {
  for (int& t : i_tex) {
    if (t >= 0) Graphics().TextureFree(t);
    t = -1;
  }
}

int CSprite::GetTexture(int ind) const {
  int i = ImageIndex(ind);
  return i >= 0 && size_t(i) < i_tex.size() ? i_tex[size_t(i)] : -1;
}

void CSprite::DrawSimple(int ind, double x, double y) const {
  int t = GetTexture(ind);
  if (t >= 0) Graphics().DrawTextureSimple(t, x - i_xorig, y - i_yorig);
}

void CSprite::Draw(int ind, int32_t colour, double alpha, double angle, double xscale, double yscale, double x,
                   double y) const {
  int t = GetTexture(ind);
  if (t >= 0) Graphics().DrawTexture(t, colour, i_xorig, i_yorig, x, y, xscale, yscale, angle * kDegrees, alpha);
}

void CSprite::DrawStretched(int ind, int32_t colour, double alpha, double w, double h, double x, double y) const {
  int t = GetTexture(ind);
  if (t < 0 || !(w > 0) || !(h > 0) || GetWidth() <= 0 || GetHeight() <= 0) return;
  Graphics().DrawTexture(t, colour, 0, 0, x, y, w / GetWidth(), h / GetHeight(), 0, alpha);
}

void CSprite::DrawPart(int ind, int32_t colour, double alpha, double left, double top, double width, double height,
                       double x, double y, double xscale, double yscale) const {
  int t = GetTexture(ind);
  if (t >= 0) Graphics().DrawTexturePart(t, colour, left, top, width, height, x, y, xscale, yscale, 0, alpha);
}

void CSprite::DrawGeneral(int ind, const int32_t colours[4], double alpha, double left, double top, double width,
                          double height, double x, double y, double xscale, double yscale, double angle) const {
  int t = GetTexture(ind);
  if (t >= 0)
    Graphics().DrawTextureGeneral(t, colours, alpha, left, top, width, height, x, y, xscale, yscale, angle * kDegrees);
}

void CSprite::DrawTiled(int ind, bool htiled, bool vtiled, double x, double y, double xscale, double yscale,
                        double areaLeft, double areaTop, double areaWidth, double areaHeight, int32_t colour,
                        double alpha) const {
  int t = GetTexture(ind);
  if (t >= 0)
    Graphics().DrawTextureTiled(t, htiled, vtiled, i_xorig, i_yorig, x, y, xscale, yscale, areaLeft, areaTop,
                                areaWidth, areaHeight, colour, alpha);
}

// ---- backgrounds ----

void CBackground::InitTexture() {
  FreeTexture();
  i_tex = TextureOf(i_bitmap);
}

void CBackground::FreeTexture() {
  if (i_tex >= 0) Graphics().TextureFree(i_tex);
  i_tex = -1;
}

void CBackground::DrawSimple(double x, double y) const {
  if (i_tex >= 0) Graphics().DrawTextureSimple(i_tex, x, y);
}

void CBackground::Draw(int32_t colour, double alpha, double angle, double xscale, double yscale, double x,
                       double y) const {
  if (i_tex >= 0) Graphics().DrawTexture(i_tex, colour, 0, 0, x, y, xscale, yscale, angle * kDegrees, alpha);
}

void CBackground::DrawStretched(int32_t colour, double alpha, double w, double h, double x, double y) const {
  if (i_tex < 0 || !(w > 0) || !(h > 0) || i_bitmap.Empty()) return;
  Graphics().DrawTexture(i_tex, colour, 0, 0, x, y, w / GetWidth(), h / GetHeight(), 0, alpha);
}

void CBackground::DrawPart(int32_t colour, double alpha, double left, double top, double width, double height,
                           double x, double y, double xscale, double yscale) const {
  if (i_tex >= 0) Graphics().DrawTexturePart(i_tex, colour, left, top, width, height, x, y, xscale, yscale, 0, alpha);
}

void CBackground::DrawGeneral(const int32_t colours[4], double alpha, double left, double top, double width,
                              double height, double x, double y, double xscale, double yscale, double angle) const {
  if (i_tex >= 0)
    Graphics().DrawTextureGeneral(i_tex, colours, alpha, left, top, width, height, x, y, xscale, yscale,
                                  angle * kDegrees);
}

void CBackground::DrawTiled(bool htiled, bool vtiled, double x, double y, double xscale, double yscale,
                            double areaLeft, double areaTop, double areaWidth, double areaHeight, int32_t colour,
                            double alpha) const {
  if (i_tex >= 0)
    Graphics().DrawTextureTiled(i_tex, htiled, vtiled, 0, 0, x, y, xscale, yscale, areaLeft, areaTop, areaWidth,
                                areaHeight, colour, alpha);
}

}  // namespace kestro
