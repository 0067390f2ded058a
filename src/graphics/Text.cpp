#include "graphics/Text.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics/Colours.h"
#include "graphics/Graphics.h"
#include "graphics/TextServices.h"
#include "resources/GameResources.h"

namespace kestro {

RTextState& TextState() {
  static RTextState state;
  return state;
}

const CFont& DefaultFont() {
  static CFont font;
  static bool made = false;
  static int generation = -1;
  if (!made) {
    font.CreateFont("Arial", 12, false, false, 32, 127);
    made = true;
  }
  // The texture goes with the device: a new device (or none yet) means a new texture. The old id
  // belongs to a table that no longer exists and is not freed.
  if (generation != Graphics().Generation()) {
    font.s_tex = -1;
    if (Graphics().HasDevice()) font.InitTexture();
    generation = Graphics().Generation();
  }
  return font;
}

const CFont& DrawingFont() {
  if (const CFont* f = Fonts().Get(TextState().font)) return *f;
  return DefaultFont();
}

int Advance(const CFont& f, uint32_t c) {
  if (c >= uint32_t(std::max(f.s_first, 0)) && int64_t(c) <= f.s_last && c < 256) return f.s_shift[c];
  if (f.s_first <= 32 && 32 <= f.s_last) return f.s_shift[32];
  return f.s_first >= 0 && f.s_first < 256 ? f.s_shift[size_t(f.s_first)] : 0;
}

int LineSeparation(const CFont& f, double sep) {
  if (sep < 0 || !std::isfinite(sep)) return f.s_FontHeight;
  return int(std::min<int64_t>(RoundToInt64(sep), 1 << 24));
}

namespace {

// Code points of UTF-8 text; a byte that starts no valid sequence stands for itself.
void Decode(const std::string& s, size_t from, size_t to, std::vector<uint32_t>& out) {
  for (size_t i = from; i < to;) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    int len = b < 0x80                   ? 1
              : (b >= 0xC2 && b <= 0xDF) ? 2
              : (b >= 0xE0 && b <= 0xEF) ? 3
              : (b >= 0xF0 && b <= 0xF4) ? 4
                                         : 0;
    uint32_t c = len == 1 ? b : len == 2 ? b & 0x1Fu : len == 3 ? b & 0x0Fu : b & 0x07u;
    bool ok = len > 0 && i + size_t(len) <= to;
    for (int k = 1; ok && k < len; ++k) {
      unsigned char n = static_cast<unsigned char>(s[i + size_t(k)]);
      if ((n & 0xC0) != 0x80) ok = false;
      c = c << 6 | (n & 0x3Fu);
    }
    out.push_back(ok ? c : b);
    i += ok ? size_t(len) : 1;
  }
}

int64_t Width(const CFont& f, const std::vector<uint32_t>& codes, size_t from, size_t to) {
  int64_t w = 0;
  for (size_t i = from; i < to; ++i) w += Advance(f, codes[i]);
  return w;
}

}  // namespace

std::vector<RTextLine> LayoutText(const CFont& f, const std::string& text, double width) {
  std::string s = DrawingText(text);
  std::vector<RTextLine> lines;
  size_t start = 0;
  while (true) {
    size_t end = s.find('\n', start);
    size_t stop = end == std::string::npos ? s.size() : end;
    // A carriage return before the line feed belongs to the break.
    size_t cut = (end != std::string::npos && stop > start && s[stop - 1] == '\r') ? stop - 1 : stop;
    std::vector<uint32_t> codes;
    Decode(s, start, cut, codes);
    if (width < 0 || codes.empty()) {
      lines.push_back({std::move(codes), 0});
      lines.back().width = Width(f, lines.back().codes, 0, lines.back().codes.size());
    } else {
      // Words end after a space or a hyphen, which stay at the end of the word.
      std::vector<size_t> ends;
      for (size_t i = 0; i < codes.size(); ++i)
        if (codes[i] == ' ' || codes[i] == '-' || i + 1 == codes.size()) ends.push_back(i + 1);
      size_t lineStart = 0, lineEnd = ends[0];
      int64_t lineWidth = Width(f, codes, 0, lineEnd);
      for (size_t k = 1; k < ends.size(); ++k) {
        int64_t word = Width(f, codes, lineEnd, ends[k]);
        if (double(lineWidth) < width && double(lineWidth + word) <= width) {
          lineEnd = ends[k];
          lineWidth += word;
        } else {
          lines.push_back({std::vector<uint32_t>(codes.begin() + std::ptrdiff_t(lineStart),
                                                 codes.begin() + std::ptrdiff_t(lineEnd)),
                           lineWidth});
          lineStart = lineEnd;
          lineEnd = ends[k];
          lineWidth = word;
        }
      }
      lines.push_back(
          {std::vector<uint32_t>(codes.begin() + std::ptrdiff_t(lineStart), codes.begin() + std::ptrdiff_t(lineEnd)),
           lineWidth});
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

int64_t TextWidth(const std::string& text, double sep, double width) {
  (void)sep;
  const CFont& f = DrawingFont();
  int64_t w = 1;
  for (const RTextLine& l : LayoutText(f, text, width)) w = std::max(w, l.width);
  return w;
}

int64_t TextHeight(const std::string& text, double sep, double width) {
  if (text.empty()) return 1;
  const CFont& f = DrawingFont();
  int64_t lines = int64_t(LayoutText(f, text, width).size());
  return f.s_FontHeight + (lines - 1) * LineSeparation(f, sep);
}

namespace {

// Where a glyph's image is: texture and the part of it, or nothing to draw.
struct RGlyphSource {
  int tex = -1;
  double left = 0, top = 0, w = 0, h = 0;
};

RGlyphSource GlyphSource(const CFont& f, uint32_t c) {
  RGlyphSource g;
  if (c < uint32_t(std::max(f.s_first, 0)) || int64_t(c) > f.s_last || c > 255) return g;
  if (f.s_spr >= 0) {
    const CSprite* spr = Sprites().Get(f.s_spr);
    if (!spr) return g;
    g.tex = spr->GetTexture(int(c) - f.s_first);
    g.w = spr->GetWidth();
    g.h = spr->GetHeight();
    return g;
  }
  if (f.s_w[c] <= 0 || f.s_h[c] <= 0) return g;
  g.tex = f.s_tex;
  g.left = f.s_x[c], g.top = f.s_y[c], g.w = f.s_w[c], g.h = f.s_h[c];
  return g;
}

// Positions far outside any room are held where whole numbers still convert exactly.
double PixelStart(double v) {
  v = std::isnan(v) ? 0 : std::clamp(v, -1e15, 1e15);
  return v >= 0 ? std::floor(v + 0.001) : std::floor(v - 0.001);
}

int32_t Mix(const RTextColours& c, int a, int b, double p) { return int32_t(MergeColour(c.c[a], c.c[b], p)); }

// The corner colours of a glyph at pen distance p with advance adv on a line of width lw.
void Corners(const RTextColours* colours, int32_t plain, double p, double adv, double lw, int32_t out[4]) {
  if (!colours) {
    out[0] = out[1] = out[2] = out[3] = plain;
    return;
  }
  double w = lw != 0 ? lw : 1;
  out[0] = Mix(*colours, 0, 1, p / w);
  out[1] = Mix(*colours, 0, 1, (p + adv) / w);
  out[2] = Mix(*colours, 3, 2, (p + adv) / w);
  out[3] = Mix(*colours, 3, 2, p / w);
}

}  // namespace

void DrawText(double x, double y, const std::string& text, double sep, double width, const RTextColours* colours) {
  const CFont& f = DrawingFont();
  std::vector<RTextLine> lines = LayoutText(f, text, width);
  int64_t step = LineSeparation(f, sep);
  int64_t px = int64_t(PixelStart(x)), py = int64_t(PixelStart(y));
  int64_t n = int64_t(lines.size());
  const RTextState& st = TextState();
  if (st.valign == 1) py -= (n * step) / 2;
  if (st.valign == 2) py -= n * step;
  CGraphics& g = Graphics();
  int32_t plain = g.Colour();
  double alpha = colours ? colours->alpha : g.Alpha();
  int32_t corners[4];
  for (const RTextLine& l : lines) {
    int64_t lx = px;
    if (st.halign == 1) lx -= l.width / 2;
    if (st.halign == 2) lx -= l.width;
    int64_t pen = 0;
    for (uint32_t c : l.codes) {
      int adv = Advance(f, c);
      RGlyphSource s = GlyphSource(f, c);
      if (s.tex >= 0) {
        Corners(colours, plain, double(pen), adv, double(l.width), corners);
        g.DrawTextureGeneral(s.tex, corners, alpha, s.left, s.top, s.w, s.h, double(lx + pen + f.s_offset[c]),
                             double(py), 1, 1, 0);
      }
      pen += adv;
    }
    py += step;
  }
}

void DrawTextTransformed(double x, double y, const std::string& text, double sep, double width, double xscale,
                         double yscale, double angle, const RTextColours* colours) {
  const CFont& f = DrawingFont();
  std::vector<RTextLine> lines = LayoutText(f, text, width);
  double step = LineSeparation(f, sep);
  double a = angle * std::numbers::pi / 180, ca = std::cos(a), sa = std::sin(a);
  double stepX = sa * yscale * step, stepY = ca * yscale * step;
  double lx0 = PixelStart(x), ly0 = PixelStart(y);
  double n = double(lines.size());
  const RTextState& st = TextState();
  if (st.valign == 1) {
    lx0 -= double(RoundToInt64(n * stepX / 2));
    ly0 -= double(RoundToInt64(n * stepY / 2));
  } else if (st.valign == 2) {
    lx0 -= double(RoundToInt64(n * stepX));
    ly0 -= double(RoundToInt64(n * stepY));
  }
  CGraphics& g = Graphics();
  int32_t plain = g.Colour();
  double alpha = colours ? colours->alpha : g.Alpha();
  int32_t corners[4];
  for (const RTextLine& l : lines) {
    double o = 0;
    if (st.halign == 1) o = -double(RoundToInt64(xscale * double(l.width) / 2));
    if (st.halign == 2) o = -double(RoundToInt64(xscale * double(l.width)));
    double penX = lx0 + o * ca, penY = ly0 - o * sa;
    double dist = 0;
    for (uint32_t c : l.codes) {
      int adv = Advance(f, c);
      RGlyphSource s = GlyphSource(f, c);
      if (s.tex >= 0) {
        Corners(colours, plain, dist, adv, double(l.width), corners);
        double off = c < 256 ? f.s_offset[c] : 0;
        g.DrawTextureGeneral(s.tex, corners, alpha, s.left, s.top, s.w, s.h, penX + xscale * off * ca,
                             penY - xscale * off * sa, xscale, yscale, a);
      }
      penX += adv * ca * xscale;
      penY -= adv * sa * xscale;
      dist += adv;
    }
    lx0 += stepX;
    ly0 += stepY;
  }
}

}  // namespace kestro
