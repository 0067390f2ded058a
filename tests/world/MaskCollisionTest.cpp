// Collision tests of masks: fixed cases from the rules, and random placements checked against a
// literal per-pixel scan of the instance boxes.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "resources/Sprite.h"
#include "world/MaskCollision.h"
#include "world/SpriteCollision.h"

namespace kestro {
namespace {

TBitmap32 Solid(int w, int h) { return TBitmap32(w, h, 0xFF000000u); }

TMask Precise(const TBitmap32& bm) { return TMask(&bm, kBoxAutomatic, {}, kMaskPrecise, 0); }

// The instance box of a placed mask, as instances compute it from the sprite's box.
RRect InstanceBox(const TMask& m, const RMaskPlace& p) {
  auto round = [](double v) { return int(std::nearbyint(v)); };
  const RRect& b = m.i_bbox;
  RRect r;
  if (p.angle == 0) {
    r.Left = round((b.Left - p.xo) * p.sx + p.xi);
    r.Right = round((b.Right - p.xo + 1) * p.sx + p.xi - 1);
    r.Top = round((b.Top - p.yo) * p.sy + p.yi);
    r.Bottom = round((b.Bottom - p.yo + 1) * p.sy + p.yi - 1);
  } else {
    double a = p.angle * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
    double xa = (b.Left - p.xo) * p.sx, xb = (b.Right - p.xo + 1) * p.sx - 1;
    double ya = (b.Top - p.yo) * p.sy, yb = (b.Bottom - p.yo + 1) * p.sy - 1;
    r.Left = round(std::min(c * xa, c * xb) + p.xi + std::min(s * ya, s * yb));
    r.Right = round(std::max(c * xa, c * xb) + p.xi + std::max(s * ya, s * yb));
    r.Top = round(std::min(c * ya, c * yb) + p.yi - std::max(s * xa, s * xb));
    r.Bottom = round(std::max(c * ya, c * yb) + p.yi - std::min(s * xa, s * xb));
  }
  if (r.Right < r.Left) std::swap(r.Left, r.Right);
  if (r.Bottom < r.Top) std::swap(r.Top, r.Bottom);
  return r;
}

// The rule word for word: integer mapping only when unscaled and unrotated, else the formula.
bool RefSolid(const TMask& m, const RMaskPlace& p, double px, double py) {
  double dx = px - p.xi, dy = py - p.yi;
  if (p.sx == 1 && p.sy == 1 && p.angle == 0 && dx == std::floor(dx) && dy == std::floor(dy))
    return m.Get(int(dx) + p.xo, int(dy) + p.yo);
  double c = std::cos(-p.angle * std::numbers::pi / 180), s = std::sin(-p.angle * std::numbers::pi / 180);
  double mx = std::floor(p.xo + (dx * c + dy * s) / p.sx), my = std::floor(p.yo + (dy * c - dx * s) / p.sy);
  return mx >= 0 && my >= 0 && mx < m.i_w && my < m.i_h && m.Get(int(mx), int(my));
}

RRect Cut(RRect a, const RRect& b) {
  return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
}

bool RefMask(const TMask& a, const RMaskPlace& pa, const TMask& b, const RMaskPlace& pb) {
  RRect r = Cut(InstanceBox(a, pa), InstanceBox(b, pb));
  for (int x = r.Left; x <= r.Right; ++x)
    for (int y = r.Top; y <= r.Bottom; ++y)
      if (RefSolid(a, pa, x, y) && RefSolid(b, pb, x, y)) return true;
  return false;
}

bool RefEllipse(const TMask& m, const RMaskPlace& p, const RRect& e) {
  double cx = (e.Left + e.Right) / 2.0, rx = (e.Right - e.Left) / 2.0;
  double cy = (e.Top + e.Bottom) / 2.0, ry = (e.Bottom - e.Top) / 2.0;
  RRect r = Cut(InstanceBox(m, p), e);
  for (int x = r.Left; x <= r.Right; ++x)
    for (int y = r.Top; y <= r.Bottom; ++y)
      if (std::pow((x - cx) / rx, 2) + std::pow((y - cy) / ry, 2) <= 1 && RefSolid(m, p, x, y)) return true;
  return false;
}

bool RefLine(const TMask& m, const RMaskPlace& p, int xl, int yl, int xr, int yr) {
  RRect box = InstanceBox(m, p);
  if (std::abs(xr - xl) < std::abs(yr - yl)) {
    if (yl > yr) std::swap(xl, xr), std::swap(yl, yr);
    double h = double(xr - xl) / (yr - yl);
    for (int y = std::max(yl, box.Top); y <= std::min(yr, box.Bottom); ++y)
      if (RefSolid(m, p, (y - yl) * h + xl, y)) return true;
  } else {
    if (xl > xr) std::swap(xl, xr), std::swap(yl, yr);
    for (int x = std::max(xl, box.Left); x <= std::min(xr, box.Right); ++x)
      if (RefSolid(m, p, x, (x - xl) * (double(yr - yl) / (xr - xl)) + yl)) return true;
  }
  return false;
}

// A ring: solid between radius 6 and 10 around the centre of a 24 x 20 image.
TBitmap32 Ring() {
  TBitmap32 bm(24, 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 24; ++x) {
      double d = std::hypot(x - 11.5, y - 9.5);
      if (d >= 6 && d <= 10) bm.SetPixel(x, y, TColor32::From(0xFF000000u));
    }
  return bm;
}

TEST(MaskCollision, MaskAgainstMaskCases) {
  const TBitmap32 sq = Solid(16, 16), ring = Ring();
  const TMask a = Precise(sq), r = Precise(ring);
  struct Case {
    const char* what;
    const TMask* m1;
    RMaskPlace p1;
    const TMask* m2;
    RMaskPlace p2;
    bool hit;
  } cases[] = {
      {"share column 15", &a, {0, 0, 0, 0}, &a, {15, 0, 0, 0}, true},
      {"side by side", &a, {0, 0, 0, 0}, &a, {16, 0, 0, 0}, false},
      {"origin shifts the mask", &a, {0, 0, 0, 0}, &a, {20, 0, 5, 0}, true},
      {"double width reaches x 31", &a, {0, 0, 0, 0, 2, 1}, &a, {31, 0, 0, 0}, true},
      {"double width ends before x 32", &a, {0, 0, 0, 0, 2, 1}, &a, {32, 0, 0, 0}, false},
      {"mirrored about the origin", &a, {20, 0, 0, 0, -1, 1}, &a, {0, 0, 0, 0}, true},
      {"mirrored away", &a, {20, 0, 0, 0, -1, 1}, &a, {21, 0, 0, 0}, false},
      {"quarter turn lifts the square", &a, {0, 16, 0, 0, 1, 1, 90}, &a, {0, 0, 0, 0}, true},
      {"quarter turn clears below", &a, {0, 16, 0, 0, 1, 1, 90}, &a, {0, 17, 0, 0}, false},
      {"small square in the ring's hole", &r, {0, 0, 0, 0}, &a, {10, 8, 0, 0, 0.25, 0.25}, false},
      {"small square on the ring", &r, {0, 0, 0, 0}, &a, {3, 8, 0, 0, 0.25, 0.25}, true},
  };
  for (const Case& c : cases) {
    RRect b1 = InstanceBox(*c.m1, c.p1), b2 = InstanceBox(*c.m2, c.p2);
    EXPECT_EQ(CollisionMask(*c.m1, c.p1, b1, c.m2, c.p2, b2), c.hit) << c.what;
    EXPECT_EQ(CollisionMask(*c.m2, c.p2, b2, c.m1, c.p1, b1), c.hit) << c.what << " (swapped)";
  }
  EXPECT_FALSE(CollisionMask(a, {}, InstanceBox(a, {}), nullptr, {}, InstanceBox(a, {})));
  // The instance boxes limit the scan even where the masks overlap.
  EXPECT_FALSE(CollisionMask(a, {}, {0, 0, 7, 15}, &a, {}, {8, 0, 15, 15}));
}

TEST(MaskCollision, PointRectangleEllipseLine) {
  const TBitmap32 sq = Solid(4, 4);
  const TMask m = Precise(sq);
  // Scaled by two: room dx 3 is mask x floor(1.5 + xo).
  EXPECT_TRUE(CollisionPoint(m, {0, 0, 2, 0, 2, 1}, 3, 0));   // mask x 3
  EXPECT_FALSE(CollisionPoint(m, {0, 0, 3, 0, 2, 1}, 3, 0));  // mask x 4: outside
  EXPECT_FALSE(CollisionPoint(m, {0, 0, 0, 0, 2, 1}, -1, 0));
  EXPECT_FALSE(CollisionPoint(m, {0, 0, 0, 0, 0, 1}, 0, 0));  // zero scale: nowhere solid

  const RMaskPlace at{10, 10};
  const RRect box = InstanceBox(m, at);  // 10..13
  EXPECT_TRUE(CollisionRectangle(m, at, box, {13, 13, 20, 20}));
  EXPECT_FALSE(CollisionRectangle(m, at, box, {14, 0, 20, 20}));
  EXPECT_TRUE(CollisionRectangle(m, at, box, {20, 20, 13, 13}));  // corners given either way

  // Only the ellipse's corner region meets the mask in the first, its inside in the second.
  EXPECT_FALSE(CollisionEllipse(m, at, box, {2, 2, 11, 11}));  // (10, 10) is outside the ellipse
  EXPECT_TRUE(CollisionEllipse(m, at, box, {4, 4, 12, 12}));   // (10, 10)..(11, 11) are inside
  // A line of equal x is the rectangle test one pixel wide.
  EXPECT_TRUE(CollisionLine(m, at, box, 12, 0, 12, 40));
  EXPECT_FALSE(CollisionLine(m, at, box, 14, 0, 14, 40));
  EXPECT_TRUE(CollisionLine(m, at, box, 13, 10, 10, 13));  // the anti-diagonal, ends either way
  EXPECT_FALSE(CollisionLine(m, at, box, 0, 8, 16, 9));
}

TEST(MaskCollision, RandomPlacementsAgreeWithThePixelRule) {
  std::mt19937 rng(7);
  const TBitmap32 ring = Ring();
  const TMask r = Precise(ring);
  TBitmap32 bar = Solid(9, 3);
  const TMask b = TMask(&bar, kBoxFull, {}, kMaskEllipse, 0);
  auto uni = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const double scales[] = {1, 1, 1, 2, 0.5, -1, 1.5, -0.75};
  const double angles[] = {0, 0, 0, 90, 45, 200, 12.5, -30};
  auto place = [&](int spread) {
    RMaskPlace p{uni(-spread, spread), uni(-spread, spread), uni(0, 12), uni(0, 10)};
    p.sx = scales[uni(0, 7)];
    p.sy = scales[uni(0, 7)];
    p.angle = angles[uni(0, 7)];
    return p;
  };
  int hits = 0;
  for (int i = 0; i < 3000; ++i) {
    RMaskPlace p1 = place(4), p2 = place(20);
    bool want = RefMask(r, p1, b, p2);
    hits += want;
    ASSERT_EQ(CollisionMask(r, p1, InstanceBox(r, p1), &b, p2, InstanceBox(b, p2)), want) << i;
    RRect e{uni(-30, 30), uni(-30, 30), 0, 0};
    e.Right = e.Left + uni(1, 25);
    e.Bottom = e.Top + uni(1, 25);
    ASSERT_EQ(CollisionEllipse(r, p1, InstanceBox(r, p1), e), RefEllipse(r, p1, e)) << i;
    int xl = uni(-30, 30), yl = uni(-30, 30), xr = xl + uni(1, 40) * (uni(0, 1) ? 1 : -1),
        yr = yl + uni(1, 40) * (uni(0, 1) ? 1 : -1);
    ASSERT_EQ(CollisionLine(r, p1, InstanceBox(r, p1), xl, yl, xr, yr), RefLine(r, p1, xl, yl, xr, yr)) << i;
  }
  // Both outcomes occur often enough for the comparison to mean something.
  EXPECT_GT(hits, 300);
  EXPECT_LT(hits, 2700);
}

TEST(MaskCollision, SpritesChooseTheMaskOfTheImage) {
  // Image 0 solid in its left half, image 1 in its right half.
  CSprite spr;
  for (int i = 0; i < 2; ++i) {
    TBitmap32 bm(4, 1);
    for (int x = 0; x < 2; ++x) bm.SetPixel(x + 2 * i, 0, TColor32::From(0xFF000000u));
    spr.i_bitmap.push_back(bm);
  }
  spr.i_numb = 2;
  spr.ComputeMask({true, kBoxAutomatic, {}, kMaskPrecise, 0});
  const RMaskPlace at{};
  EXPECT_TRUE(SpriteCollisionPoint(spr, 0, at, 0, 0));
  EXPECT_FALSE(SpriteCollisionPoint(spr, -1, at, 0, 0));  // image 1
  EXPECT_TRUE(SpriteCollisionPoint(spr, 3, at, 3, 0));    // image 1
  const RRect box{0, 0, 3, 0};
  EXPECT_FALSE(SpriteCollision(spr, 0, at, box, &spr, 1, at, box));
  EXPECT_TRUE(SpriteCollision(spr, 2, at, box, &spr, 4, at, box));
  // One mask for all images holds both halves.
  spr.ComputeMask({false, kBoxAutomatic, {}, kMaskPrecise, 0});
  EXPECT_TRUE(SpriteCollision(spr, 0, at, box, &spr, 1, at, box));
  // Without images there is nothing to collide with.
  CSprite none;
  EXPECT_FALSE(SpriteCollisionPoint(none, 0, at, 0, 0));
  EXPECT_FALSE(SpriteCollision(spr, 0, at, box, &none, 0, at, box));
  EXPECT_FALSE(SpriteCollisionRectangle(none, 0, at, box, box));
}

}  // namespace
}  // namespace kestro
