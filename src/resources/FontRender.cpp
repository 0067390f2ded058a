// Fonts made while the game runs or the builder writes it: from a typeface installed on the system
// (glyph metrics, the packing of the glyphs into one sheet and the sheet's size) or from a sprite;
// the font's texture and its lifetime.
#include <algorithm>
#include <cmath>

#include "resources/Bitmap32.h"
#include "resources/Font.h"
#include "resources/GameResources.h"
#include "resources/TextureSource.h"
#include "resources/Typeface.h"

namespace kestro {

namespace {
ITypefaceRasterizer* g_rasterizer = nullptr;
// The largest glyph sheet a typeface font gets.
constexpr int kMaxSheet = 2048;
constexpr int kGap = 2;
bool g_notes = false;
}  // namespace

void SetTypefaceRasterizer(ITypefaceRasterizer* rasterizer) { g_rasterizer = rasterizer; }
void SetTypefaceNotes(bool on) { g_notes = on; }
bool TypefaceNotes() { return g_notes; }
ITypefaceRasterizer* TypefaceRasterizer() { return g_rasterizer; }

int FontPixelSize(int points) {
  if (points == 0) points = 12;
  int64_t p = std::clamp<int64_t>(std::llabs(int64_t(points)), 1, 256);
  return int((p * 96 + 36) / 72);  // rounded half away from zero
}

void CFont::Clear() {
  FreeTexture();
  *this = CFont();
}

void CFont::Assign(const CFont& o) {
  if (&o == this) return;
  FreeTexture();
  *this = o;
  s_tex = -1;
  if (o.s_tex >= 0) InitTexture();
}

void CFont::FreeTexture() {
  if (s_tex >= 0 && TextureSource()) TextureSource()->FreeTexture(s_tex);
  s_tex = -1;
}

void CFont::InitTexture() {
  FreeTexture();
  // A sheet whose bytes fall short (damaged data) gets no texture rather than a read past its end.
  if (s_spr >= 0 || s_bw <= 0 || s_bh <= 0 || s_bytes.size() < size_t(s_bw) * size_t(s_bh) || !TextureSource()) return;
  TBitmap32 bm(s_bw, s_bh);
  TColor32* px = bm.Data();
  for (size_t i = 0; i < size_t(s_bw) * size_t(s_bh); ++i) px[i] = TColor32{255, 255, 255, s_bytes[i]};
  s_tex = TextureSource()->CreateTexture(bm);
}

namespace {

// The total height of the glyphs packed in rows of width `w` (the gap between glyphs and rows),
// in the order of `order`; with `place` the positions are written into the font.
int64_t Pack(CFont& f, const std::vector<int>& order, int w, bool place) {
  int64_t x = 0, y = 0, row = 0, bottom = 0;
  for (int c : order) {
    if (x + f.s_w[size_t(c)] >= w) {
      x = 0;
      y += row + kGap;
      row = 0;
    }
    row = std::max<int64_t>(row, f.s_h[size_t(c)]);
    if (place) {
      f.s_x[size_t(c)] = int32_t(x);
      f.s_y[size_t(c)] = int32_t(y);
    }
    bottom = std::max(bottom, y + row);
    x += f.s_w[size_t(c)] + kGap;
  }
  return bottom;
}

}  // namespace

void CFont::CreateFont(const std::string& typeface, int size, bool bold, bool italic, int first, int last) {
  // A copy first: the name may be this font's own, which Clear empties.
  std::string name = typeface;
  Clear();
  s_name = name;
  s_size = size;
  s_bold = bold;
  s_italic = italic;
  s_first = std::max(first, 0);
  s_last = std::min(last, 255);
  s_charset = 1;
  s_AntiAlias = 3;
  std::unique_ptr<ITypeface> face =
      g_rasterizer ? g_rasterizer->Open(name, FontPixelSize(size), bold, italic) : nullptr;
  if (!face) return;  // no metrics: the font has no glyphs
  const RTypefaceMetrics& m = face->Metrics();
  // The glyph images are read twice (metrics, then the sheet) rather than all kept at once.
  auto spaceWidth = [&](const RGlyphImage& g) {
    return g.advance != 0 ? g.advance : std::min(m.avgCharWidth, m.maxCharWidth);
  };
  RGlyphImage g;
  int space = 0;
  s_FontHeight = -1;
  for (int c = s_first; c <= s_last; ++c) {
    size_t i = size_t(c);
    if (!face->Glyph(c, g)) g = RGlyphImage{};
    s_w[i] = g.bw;
    s_h[i] = m.ascent + g.bh - g.oy;
    s_shift[i] = g.advance - std::min(g.ox, 0);
    s_offset[i] = g.ox;
    s_x[i] = s_y[i] = 0;
    s_FontHeight = std::max(s_FontHeight, int(s_h[i]));
    if (g.bw <= 0 || g.bh <= 0) s_w[i] = s_h[i] = s_shift[i] = s_offset[i] = 0;
    if (c == 32) space = spaceWidth(g);
  }
  if (s_h[32] == 0) s_h[32] = m.height;
  if (s_w[32] == 0) {
    if (space == 0) space = face->Glyph(32, g) ? spaceWidth(g) : std::min(m.avgCharWidth, m.maxCharWidth);
    s_w[32] = s_shift[32] = space;
  }
  // Cells never have a negative size, whatever a typeface says about a glyph.
  for (size_t i = 0; i < 256; ++i) {
    s_w[i] = std::max(s_w[i], 0);
    s_h[i] = std::max(s_h[i], 0);
  }
  s_FontHeight = 0;
  for (size_t i = 0; i < 256; ++i) s_FontHeight = std::max(s_FontHeight, int(s_h[i]));

  std::vector<int> order;
  int widest = 0;
  for (int c = s_first; c <= s_last; ++c)
    if (int64_t(s_w[size_t(c)]) * s_h[size_t(c)] != 1) {
      order.push_back(c);
      widest = std::max(widest, int(s_w[size_t(c)]));
    }
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return int64_t(s_w[size_t(a)]) * s_h[size_t(a)] > int64_t(s_w[size_t(b)]) * s_h[size_t(b)];
  });
  // The smallest sheet the halving finds; a width counts as fitting only when every glyph is
  // narrower, so no glyph is wider than its sheet. An empty list ends at 1 x 1.
  int w = kMaxSheet, h = kMaxSheet;
  s_bw = s_bh = kMaxSheet;
  for (int round = 1;; ++round) {
    if (widest >= w || Pack(*this, order, w, false) > h) break;
    s_bw = w;
    s_bh = h;
    if (w == 1 && h == 1) break;
    if ((round % 2 == 1 && h > 1) || w == 1)
      h /= 2;
    else
      w /= 2;
  }
  Pack(*this, order, s_bw, true);
  s_bytes.assign(size_t(s_bw) * size_t(s_bh), 0);
  for (int c : order) {
    size_t i = size_t(c);
    if (c == 32 || s_w[i] <= 0 || !face->Glyph(c, g) || g.bw <= 0 || g.bh <= 0) continue;
    // The coverage goes into the glyph's own cell only: a glyph rising above the typeface's ascent
    // is cut at the cell's top, and a sheet too small for everything (2048 x 2048) cuts the rest.
    int top = s_y[i] + m.ascent - g.oy;
    for (int y = 0; y < g.bh; ++y) {
      int sy = top + y;
      if (sy < s_y[i] || sy >= s_y[i] + s_h[i] || sy < 0 || sy >= s_bh) continue;
      for (int x = 0; x < g.bw && x < s_w[i]; ++x) {
        int sx = s_x[i] + x;
        if (sx < 0 || sx >= s_bw) continue;
        uint8_t l = g.levels[size_t(y) * size_t(g.bw) + size_t(x)];
        s_bytes[size_t(sy) * size_t(s_bw) + size_t(sx)] = l >= 64 ? 255 : uint8_t(l * 4);
      }
    }
  }
}

void CFont::CreateFromSprite(int sprite, int first, bool proportional, int sep) {
  Clear();
  const CSprite* spr = Sprites().Get(sprite);
  if (!spr) return;
  s_spr = sprite;
  s_first = std::clamp(first, 0, 255);
  s_last = std::min(s_first + spr->i_numb - 1, 255);
  s_charset = 1;
  s_AntiAlias = 0;
  int h = spr->GetHeight(), w = spr->GetWidth();
  for (int c = s_first; c <= s_last; ++c) {
    size_t i = size_t(c);
    RRect r{0, 0, w, h};
    if (proportional && size_t(c - s_first) < spr->i_bitmap.size())
      r = spr->i_bitmap[size_t(c - s_first)].BoundingBox(0);
    s_h[i] = h;
    s_shift[i] = r.Right + sep - r.Left;
    s_offset[i] = -r.Left;
  }
  s_FontHeight = h;
}

}  // namespace kestro
