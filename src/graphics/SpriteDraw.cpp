#include "graphics/SpriteDraw.h"

#include <numbers>

#include "graphics/Graphics.h"
#include "resources/GameResources.h"

namespace kestro {

namespace {
constexpr double kDegrees = std::numbers::pi / 180;
}  // namespace

bool CreateGameTextures(CGameResources& res) {
  for (int i = 0; i < res.backgrounds.Count(); ++i)
    if (CBackground* b = res.backgrounds.Get(i)) b->InitTexture();
  for (int i = 0; i < res.sprites.Count(); ++i)
    if (CSprite* s = res.sprites.Get(i)) s->InitTexture();
  for (int i = 0; i < res.fonts.Count(); ++i)
    if (CFont* f = res.fonts.Get(i)) f->InitTexture();
  return true;
}

bool CreateGameTextures() { return CreateGameTextures(GameResources()); }

// ---- sprites ----

void DrawSimple(const CSprite& s, int ind, double x, double y) {
  int t = s.GetTexture(ind);
  if (t >= 0) Graphics().DrawTextureSimple(t, x - s.i_xorig, y - s.i_yorig);
}

void Draw(const CSprite& s, int ind, int32_t colour, double alpha, double angle, double xscale, double yscale, double x, double y) {
  int t = s.GetTexture(ind);
  if (t >= 0) Graphics().DrawTexture(t, colour, s.i_xorig, s.i_yorig, x, y, xscale, yscale, angle * kDegrees, alpha);
}

void DrawStretched(const CSprite& s, int ind, int32_t colour, double alpha, double w, double h, double x, double y) {
  int t = s.GetTexture(ind);
  if (t < 0 || !(w > 0) || !(h > 0) || s.GetWidth() <= 0 || s.GetHeight() <= 0) return;
  Graphics().DrawTexture(t, colour, 0, 0, x, y, w / s.GetWidth(), h / s.GetHeight(), 0, alpha);
}

void DrawPart(const CSprite& s, int ind, int32_t colour, double alpha, double left, double top, double width, double height, double x, double y, double xscale, double yscale) {
  int t = s.GetTexture(ind);
  if (t >= 0) Graphics().DrawTexturePart(t, colour, left, top, width, height, x, y, xscale, yscale, 0, alpha);
}

void DrawGeneral(const CSprite& s, int ind, const int32_t colours[4], double alpha, double left, double top, double width, double height, double x, double y, double xscale, double yscale, double angle) {
  int t = s.GetTexture(ind);
  if (t >= 0)
    Graphics().DrawTextureGeneral(t, colours, alpha, left, top, width, height, x, y, xscale, yscale, angle * kDegrees);
}

void DrawTiled(const CSprite& s, int ind, bool htiled, bool vtiled, double x, double y, double xscale, double yscale, double areaLeft, double areaTop, double areaWidth, double areaHeight, int32_t colour, double alpha) {
  int t = s.GetTexture(ind);
  if (t >= 0)
    Graphics().DrawTextureTiled(t, htiled, vtiled, s.i_xorig, s.i_yorig, x, y, xscale, yscale, areaLeft, areaTop,
                                areaWidth, areaHeight, colour, alpha);
}

// ---- backgrounds ----

void DrawSimple(const CBackground& b, double x, double y) {
  if (b.i_tex >= 0) Graphics().DrawTextureSimple(b.i_tex, x, y);
}

void Draw(const CBackground& b, int32_t colour, double alpha, double angle, double xscale, double yscale, double x, double y) {
  if (b.i_tex >= 0) Graphics().DrawTexture(b.i_tex, colour, 0, 0, x, y, xscale, yscale, angle * kDegrees, alpha);
}

void DrawStretched(const CBackground& b, int32_t colour, double alpha, double w, double h, double x, double y) {
  if (b.i_tex < 0 || !(w > 0) || !(h > 0) || b.i_bitmap.Empty()) return;
  Graphics().DrawTexture(b.i_tex, colour, 0, 0, x, y, w / b.GetWidth(), h / b.GetHeight(), 0, alpha);
}

void DrawPart(const CBackground& b, int32_t colour, double alpha, double left, double top, double width, double height, double x, double y, double xscale, double yscale) {
  if (b.i_tex >= 0) Graphics().DrawTexturePart(b.i_tex, colour, left, top, width, height, x, y, xscale, yscale, 0, alpha);
}

void DrawGeneral(const CBackground& b, const int32_t colours[4], double alpha, double left, double top, double width, double height, double x, double y, double xscale, double yscale, double angle) {
  if (b.i_tex >= 0)
    Graphics().DrawTextureGeneral(b.i_tex, colours, alpha, left, top, width, height, x, y, xscale, yscale,
                                  angle * kDegrees);
}

void DrawTiled(const CBackground& b, bool htiled, bool vtiled, double x, double y, double xscale, double yscale, double areaLeft, double areaTop, double areaWidth, double areaHeight, int32_t colour, double alpha) {
  if (b.i_tex >= 0)
    Graphics().DrawTextureTiled(b.i_tex, htiled, vtiled, 0, 0, x, y, xscale, yscale, areaLeft, areaTop, areaWidth,
                                areaHeight, colour, alpha);
}

}  // namespace kestro
