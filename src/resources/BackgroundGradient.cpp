// Gradient backgrounds: columns, rows, nested rectangles and ellipses, mirrored columns and rows,
// diagonals and circles about a corner, each shape in a colour between the two given ones.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "resources/Background.h"
#include "resources/PictureFile.h"

namespace kestro {

namespace {

// The game colour (red in the low byte) between a and b at t, each channel rounded half to even.
int32_t Interp(int32_t a, int32_t b, double t) {
  int32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    const double c = std::nearbyint((1 - t) * ca + t * cb);
    out |= int32_t(std::clamp(c, 0.0, 255.0)) << shift;
  }
  return out;
}

class CCanvas {
 public:
  explicit CCanvas(TBitmap32& bm) : bm_(bm) {}
  void SetColour(int32_t col) {
    const uint32_t c = uint32_t(col);
    pixel_ = TColor32{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255};
  }
  void Pixel(int64_t x, int64_t y) {
    if (x >= 0 && y >= 0 && x < bm_.Width() && y < bm_.Height()) bm_.SetPixel(int(x), int(y), pixel_);
  }
  // The line from (x0, y0) towards (x1, y1), its end point left out.
  void Line(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    const int64_t dx = x1 - x0, dy = y1 - y0;
    const int64_t steps = std::max(std::llabs(dx), std::llabs(dy));
    if (steps == 0) return;
    // Only the part that can reach the image is walked: point k lies at p0 + k * d / steps on
    // each axis, so the k that can land inside follow from the image's size (one more each side
    // for the rounding; Pixel checks each point anyway).
    double lo = 0, hi = double(steps);
    auto clip = [&](int64_t p0, int64_t d, int size) {
      if (d == 0) {
        if (p0 < 0 || p0 >= size) hi = -1;
        return;
      }
      double a = (-0.5 - double(p0)) * double(steps) / double(d);
      double b = (double(size) - 0.5 - double(p0)) * double(steps) / double(d);
      if (a > b) std::swap(a, b);
      lo = std::max(lo, std::floor(a) - 1);
      hi = std::min(hi, std::ceil(b) + 1);
    };
    clip(x0, dx, bm_.Width());
    clip(y0, dy, bm_.Height());
    for (int64_t k = int64_t(lo); double(k) < hi; ++k) {
      const int64_t x = x0 + int64_t(std::floor(double(k) * double(dx) / double(steps) + 0.5));
      const int64_t y = y0 + int64_t(std::floor(double(k) * double(dy) / double(steps) + 0.5));
      Pixel(x, y);
    }
  }
  // The ellipse inscribed in the same rectangle holds the pixel when the pixel's centre lies in it.
  static bool InEllipse(int64_t x, int64_t y, int64_t l, int64_t t, int64_t r, int64_t b) {
    if (x < l || x >= r || y < t || y >= b) return false;
    const double cx = (double(l) + double(r)) / 2, cy = (double(t) + double(b)) / 2;
    const double rx = (double(r) - double(l)) / 2, ry = (double(b) - double(t)) / 2;
    if (!(rx > 0) || !(ry > 0)) return false;
    const double ex = (double(x) + 0.5 - cx) / rx, ey = (double(y) + 0.5 - cy) / ry;
    return ex * ex + ey * ey <= 1;
  }
  // Every pixel whose shape `which` gives (>= 0) takes the colour `colour` gives that shape.
  template <typename Which, typename Colour>
  void Each(Which which, Colour colour) {
    for (int y = 0; y < bm_.Height(); ++y)
      for (int x = 0; x < bm_.Width(); ++x)
        if (const int64_t k = which(x, y); k >= 0) {
          SetColour(colour(k));
          Pixel(x, y);
        }
  }

 private:
  TBitmap32& bm_;
  TColor32 pixel_;
};

}  // namespace

void CBackground::CreateGradient(int w, int h, int32_t col1, int32_t col2, int kind) {
  Clear();
  const int iw = std::max(w, 1), ih = std::max(h, 1);
  // Sizes beyond what a picture may have give no image rather than an unbounded allocation.
  if (iw > kMaxBitmapSide || ih > kMaxBitmapSide || int64_t(iw) * ih > kMaxPicturePixels) {
    InitTexture();
    return;
  }
  CreateColor(iw, ih, col1);
  FreeTexture();
  CCanvas c(i_bitmap);
  const int64_t W = w, H = h;
  switch (kind) {
    case 0:
      for (int64_t i = 0; i < W; ++i) {
        c.SetColour(Interp(col1, col2, double(i) / double(W)));
        c.Line(i, 0, i, H);
      }
      break;
    case 1:
      for (int64_t i = 0; i < H; ++i) {
        c.SetColour(Interp(col1, col2, double(i) / double(H)));
        c.Line(0, i, W, i);
      }
      break;
    case 2:
    case 3: {
      // Shape i is drawn over shapes 0..i - 1 and lies inside them, so each pixel shows the last
      // shape that holds it: found per pixel rather than by filling every shape.
      const int64_t s = std::min(W, H) / 2;
      c.Each(
          [&](int64_t x, int64_t y) -> int64_t {
            if (kind == 2) return std::min({s, x, y, W - 1 - x, H - 1 - y});
            int64_t lo = 0, hi = s, found = -1;
            while (lo <= hi) {
              const int64_t mid = lo + (hi - lo) / 2;
              if (CCanvas::InEllipse(x, y, mid, mid, W - mid, H - mid)) {
                found = mid;
                lo = mid + 1;
              } else {
                hi = mid - 1;
              }
            }
            return found;
          },
          [&](int64_t i) { return Interp(col1, col2, s > 0 ? double(i) / double(s) : 0); });
      break;
    }
    case 4:
    case 5: {
      const int64_t s = (kind == 4 ? W : H) / 2;
      for (int64_t i = 0; i <= s; ++i) {
        c.SetColour(Interp(col1, col2, s > 0 ? double(i) / double(s) : 0));
        if (kind == 4) {
          c.Line(i, 0, i, H);
          c.Line(W - i, 0, W - i, H);
        } else {
          c.Line(0, i, W, i);
          c.Line(0, H - i, W, H - i);
        }
      }
      break;
    }
    case 6:
    case 7: {
      // Lines i = 0..h from the left edge to the right one, each painting one pixel per column
      // (at the line's height over the column's centre), drawn in order: each pixel shows the
      // last line through it, found from its column and row.
      if (W <= 0) break;
      c.Each(
          [&](int64_t x, int64_t y) -> int64_t {
            const double along = (double(x) + 0.5) * double(H) / double(W);
            // Kind 6: from (0, i) down to (w, h + i) and from (0, -i) to (w, h - i); kind 7: from
            // (0, h + i) up to (w, i) and from (0, h - i) to (w, -i).
            const int64_t base = kind == 6 ? int64_t(std::floor(along)) : H - int64_t(std::ceil(along));
            const int64_t first = y - base, second = base - y;  // the i of each family through the pixel
            const bool firstOk = first >= 0 && first <= H, secondOk = second >= 0 && second <= H;
            if (!firstOk && !secondOk) return -1;
            // Of two, the larger i was drawn later; at the same i the second family was.
            return !secondOk ? first : !firstOk ? second : std::max(first, second);
          },
          [&](int64_t i) { return Interp(col1, col2, H != 0 ? double(i) / double(H) : 0); });
      break;
    }
    case 8:
    case 9:
    case 10:
    case 11: {
      // Circles from radius s down to 1 about the corner: each pixel shows the smallest that
      // holds it.
      const int64_t s = std::min(W, H);
      const int64_t cx = (kind == 9 || kind == 11) ? W : 0, cy = (kind == 10 || kind == 11) ? H : 0;
      c.Each(
          [&](int64_t x, int64_t y) -> int64_t {
            const double dx = double(x) + 0.5 - double(cx), dy = double(y) + 0.5 - double(cy);
            int64_t r = std::max<int64_t>(1, int64_t(std::ceil(std::sqrt(dx * dx + dy * dy))) - 1);
            while (r <= s && !CCanvas::InEllipse(x, y, cx - r, cy - r, cx + r, cy + r)) ++r;
            return r <= s ? r : -1;
          },
          [&](int64_t r) { return Interp(col2, col1, double(r) / double(s)); });
      break;
    }
    default: break;
  }
  InitTexture();
}

}  // namespace kestro
