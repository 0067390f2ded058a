#include "world/MaskCollision.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace kestro {

namespace {

// Room pixel ranges are kept in 64 bits so that far-off positions cannot overflow.
struct RSpan {
  int64_t l, t, r, b;  // inclusive
  bool Empty() const { return l > r || t > b; }
  void Cut(const RSpan& o) {
    l = std::max(l, o.l);
    t = std::max(t, o.t);
    r = std::min(r, o.r);
    b = std::min(b, o.b);
  }
};

RSpan SpanOf(const RRect& r) { return {r.Left, r.Top, r.Right, r.Bottom}; }

// One mask in its placement: maps room pixels to mask pixels. Unscaled, unrotated masks use plain
// integer offsets; the others the rotated formula (which with angle 0 is the division by the
// scales), so both give exactly the results of the general rule.
class CPlacedMask {
 public:
  CPlacedMask(const TMask& m, const RMaskPlace& p) : m_(m), p_(p) {
    plain_ = p.sx == 1 && p.sy == 1 && p.angle == 0;
    ox_ = int64_t(p.xo) - p.xi;
    oy_ = int64_t(p.yo) - p.yi;
    // cos and sin of -0 are exactly 1 and (a signed) 0: no need to call them for the common case.
    if (p.angle != 0) {
      double a = -p.angle * std::numbers::pi / 180;
      c_ = std::cos(a);
      s_ = std::sin(a);
    }
  }
  bool Plain() const { return plain_; }
  int64_t Ox() const { return ox_; }
  int64_t Oy() const { return oy_; }
  const TMask& Mask() const { return m_; }

  // The flag at a room point given relative to the instance position (reals for the line test).
  bool SolidAt(double dx, double dy) const {
    double mx = std::floor(p_.xo + (dx * c_ + dy * s_) / p_.sx);
    double my = std::floor(p_.yo + (dy * c_ - dx * s_) / p_.sy);
    // Also false for infinities and NaN from degenerate scales.
    if (!(mx >= 0 && mx < m_.i_w && my >= 0 && my < m_.i_h)) return false;
    return m_.Get(int(mx), int(my));
  }
  bool Solid(int64_t px, int64_t py) const {
    if (plain_) {
      int64_t mx = px + ox_, my = py + oy_;
      return mx >= 0 && my >= 0 && mx < m_.i_w && my < m_.i_h && m_.Column(int(mx))[my];
    }
    return SolidAt(double(px - p_.xi), double(py - p_.yi));
  }

  // Room pixels outside this span cannot be solid: the image of the mask's extent in the room,
  // widened by a pixel against rounding. The whole plane when the placement is degenerate.
  RSpan Reach() const {
    constexpr int64_t kFar = int64_t(1) << 40;
    if (m_.i_w <= 0 || m_.i_h <= 0) return {1, 1, 0, 0};
    if (plain_) return {-ox_, -oy_, m_.i_w - 1 - ox_, m_.i_h - 1 - oy_};
    double us[2] = {(0 - p_.xo) * p_.sx, (m_.i_w - p_.xo) * p_.sx};
    double vs[2] = {(0 - p_.yo) * p_.sy, (m_.i_h - p_.yo) * p_.sy};
    double x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
    for (double u : us)
      for (double v : vs) {
        double dx = u * c_ - v * s_, dy = u * s_ + v * c_;
        x0 = std::min(x0, dx);
        x1 = std::max(x1, dx);
        y0 = std::min(y0, dy);
        y1 = std::max(y1, dy);
      }
    if (!std::isfinite(x0) || !std::isfinite(x1) || !std::isfinite(y0) || !std::isfinite(y1) ||
        std::max({std::fabs(x0), std::fabs(x1), std::fabs(y0), std::fabs(y1)}) > double(kFar))
      return {-kFar, -kFar, kFar, kFar};
    return {int64_t(std::floor(x0)) - 1 + p_.xi, int64_t(std::floor(y0)) - 1 + p_.yi,
            int64_t(std::ceil(x1)) + 1 + p_.xi, int64_t(std::ceil(y1)) + 1 + p_.yi};
  }

 private:
  const TMask& m_;
  RMaskPlace p_;
  bool plain_;
  int64_t ox_, oy_;
  double c_ = 1, s_ = 0;
};

// A zero scale maps every room pixel outside the mask; such a mask is solid nowhere.
bool Degenerate(const RMaskPlace& p) { return p.sx == 0 || p.sy == 0 || std::isnan(p.sx) || std::isnan(p.sy); }

// True when some position holds a 1 in both runs of n flags.
bool AnyBoth(const uint8_t* a, const uint8_t* b, int64_t n) {
  int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x & y) return true;
  }
  for (; i < n; ++i)
    if (a[i] & b[i]) return true;
  return false;
}

// Scans the span (x outer, y inner) for a pixel solid for the mask.
bool AnySolid(const CPlacedMask& pm, RSpan s) {
  s.Cut(pm.Reach());
  if (s.Empty()) return false;
  if (pm.Plain()) {
    for (int64_t x = s.l; x <= s.r; ++x)
      if (std::memchr(pm.Mask().Column(int(x + pm.Ox())) + (s.t + pm.Oy()), 1, size_t(s.b - s.t + 1)))
        return true;
    return false;
  }
  for (int64_t x = s.l; x <= s.r; ++x)
    for (int64_t y = s.t; y <= s.b; ++y)
      if (pm.Solid(x, y)) return true;
  return false;
}

RRect Normalised(RRect r) {
  if (r.Left > r.Right) std::swap(r.Left, r.Right);
  if (r.Top > r.Bottom) std::swap(r.Top, r.Bottom);
  return r;
}

}  // namespace

bool CollisionMask(const TMask& m1, const RMaskPlace& p1, const RRect& box1, const TMask* m2,
                   const RMaskPlace& p2, const RRect& box2) {
  if (!m2 || Degenerate(p1) || Degenerate(p2)) return false;
  RSpan s = SpanOf(box1);
  s.Cut(SpanOf(box2));
  if (s.Empty()) return false;
  CPlacedMask a(m1, p1), b(*m2, p2);
  s.Cut(a.Reach());
  s.Cut(b.Reach());
  if (s.Empty()) return false;
  if (a.Plain() && b.Plain()) {
    const int64_t n = s.b - s.t + 1;
    for (int64_t x = s.l; x <= s.r; ++x)
      if (AnyBoth(m1.Column(int(x + a.Ox())) + (s.t + a.Oy()), m2->Column(int(x + b.Ox())) + (s.t + b.Oy()), n))
        return true;
    return false;
  }
  for (int64_t x = s.l; x <= s.r; ++x)
    for (int64_t y = s.t; y <= s.b; ++y)
      if (a.Solid(x, y) && b.Solid(x, y)) return true;
  return false;
}

bool CollisionPoint(const TMask& m, const RMaskPlace& p, int x, int y) {
  if (Degenerate(p)) return false;
  return CPlacedMask(m, p).Solid(x, y);
}

bool CollisionRectangle(const TMask& m, const RMaskPlace& p, const RRect& box, RRect rect) {
  if (Degenerate(p)) return false;
  RSpan s = SpanOf(Normalised(rect));
  s.Cut(SpanOf(box));
  return AnySolid(CPlacedMask(m, p), s);
}

bool CollisionEllipse(const TMask& m, const RMaskPlace& p, const RRect& box, RRect rect) {
  rect = Normalised(rect);
  // Only a flat ellipse has no inside; the rectangle test is the sound answer for it.
  if (rect.Left == rect.Right || rect.Top == rect.Bottom) return CollisionRectangle(m, p, box, rect);
  if (Degenerate(p)) return false;
  const double cx = (double(rect.Left) + rect.Right) / 2, rx = (double(rect.Right) - rect.Left) / 2;
  const double cy = (double(rect.Top) + rect.Bottom) / 2, ry = (double(rect.Bottom) - rect.Top) / 2;
  CPlacedMask pm(m, p);
  RSpan s = SpanOf(rect);
  s.Cut(SpanOf(box));
  s.Cut(pm.Reach());
  for (int64_t x = s.l; x <= s.r; ++x) {
    const double ex = (double(x) - cx) / rx;
    for (int64_t y = s.t; y <= s.b; ++y) {
      const double ey = (double(y) - cy) / ry;
      if (ex * ex + ey * ey <= 1 && pm.Solid(x, y)) return true;
    }
  }
  return false;
}

bool CollisionLine(const TMask& m, const RMaskPlace& p, const RRect& box, int xl, int yl, int xr, int yr) {
  if (xl == xr || yl == yr)
    return CollisionRectangle(m, p, box, {std::min(xl, xr), std::min(yl, yr), std::max(xl, xr), std::max(yl, yr)});
  if (Degenerate(p)) return false;
  CPlacedMask pm(m, p);
  const RSpan reach = pm.Reach();
  if (std::abs(int64_t(xr) - xl) < std::abs(int64_t(yr) - yl)) {
    // Steep: one sample per row.
    int64_t xt = xl, yt = yl, xb = xr, yb = yr;
    if (yt > yb) {
      std::swap(xt, xb);
      std::swap(yt, yb);
    }
    const double h = double(xb - xt) / double(yb - yt);
    const int64_t y0 = std::max({yt, int64_t(box.Top), reach.t}), y1 = std::min({yb, int64_t(box.Bottom), reach.b});
    for (int64_t y = y0; y <= y1; ++y) {
      double x = double(y - yt) * h + double(xt);
      if (pm.SolidAt(x - p.xi, double(y - p.yi))) return true;
    }
    return false;
  }
  // Shallow: one sample per column.
  int64_t x0l = xl, y0l = yl, x1r = xr, y1r = yr;
  if (x0l > x1r) {
    std::swap(x0l, x1r);
    std::swap(y0l, y1r);
  }
  const double slope = double(y1r - y0l) / double(x1r - x0l);
  const int64_t xa = std::max({x0l, int64_t(box.Left), reach.l}), xb = std::min({x1r, int64_t(box.Right), reach.r});
  for (int64_t x = xa; x <= xb; ++x) {
    double y = double(x - x0l) * slope + double(y0l);
    if (pm.SolidAt(double(x - p.xi), y - p.yi)) return true;
  }
  return false;
}

}  // namespace kestro
