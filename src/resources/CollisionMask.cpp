#include "resources/CollisionMask.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "io/Stream.h"

namespace kestro {

namespace {
constexpr int32_t kMaskVersion = 800;

RRect BoxFor(const TBitmap32& bm, int bbmode, RRect bbox, int tolerance) {
  int w = bm.Width(), h = bm.Height();
  switch (bbmode) {
    case kBoxFull:
      return {0, 0, w - 1, h - 1};
    case kBoxManual:
      return {std::max(0, bbox.Left), std::max(0, bbox.Top), std::min(w - 1, bbox.Right),
              std::min(h - 1, bbox.Bottom)};
    default:
      return bm.BoundingBox(tolerance);
  }
}
}  // namespace

void TMask::Resize(int w, int h) {
  i_w = std::max(0, w);
  i_h = std::max(0, h);
  bits_.assign(size_t(i_w) * size_t(i_h), 0);
}

void TMask::Shape(int kind, const TBitmap32* bm, int tolerance, RRect b) {
  // Only pixels that exist in this mask and lie inside the box are touched.
  int x0 = std::max(0, b.Left), x1 = std::min(i_w - 1, b.Right);
  int y0 = std::max(0, b.Top), y1 = std::min(i_h - 1, b.Bottom);
  double cx = (b.Left + b.Right) / 2.0, rx = cx - b.Left + 0.5;
  double cy = (b.Top + b.Bottom) / 2.0, ry = cy - b.Top + 0.5;
  for (int x = x0; x <= x1; ++x)
    for (int y = y0; y <= y1; ++y) {
      bool solid = false;
      switch (kind) {
        case kMaskPrecise:
          solid = bm && x < bm->Width() && y < bm->Height() && bm->Alpha(x, y) > tolerance;
          break;
        case kMaskRectangle:
          solid = true;
          break;
        case kMaskEllipse:
          if (rx > 0 && ry > 0) {
            double dx = (x - cx) / rx, dy = (y - cy) / ry;
            solid = dx * dx + dy * dy < 1;
          }
          break;
        case kMaskDiamond:
          if (rx > 0 && ry > 0) solid = std::fabs(x - cx) / rx + std::fabs(y - cy) / ry < 1;
          break;
        default:
          break;
      }
      Set(x, y, solid);
    }
}

void TMask::Create(const TBitmap32* bm, int bbmode, RRect bbox, int kind, int tolerance) {
  *this = TMask();
  if (!bm) return;
  Resize(bm->Width(), bm->Height());
  i_bbox = BoxFor(*bm, bbmode, bbox, tolerance);
  Shape(kind, bm, tolerance, i_bbox);
}

void TMask::Merge(const TBitmap32* bm, int bbmode, RRect bbox, int kind, int tolerance) {
  TMask t(bm, bbmode, bbox, kind, tolerance);
  i_bbox.Left = std::min(i_bbox.Left, t.i_bbox.Left);
  i_bbox.Top = std::min(i_bbox.Top, t.i_bbox.Top);
  i_bbox.Right = std::max(i_bbox.Right, t.i_bbox.Right);
  i_bbox.Bottom = std::max(i_bbox.Bottom, t.i_bbox.Bottom);
  if (kind == kMaskPrecise) {
    int w = std::min(i_w, t.i_w), h = std::min(i_h, t.i_h);
    for (int x = 0; x < w; ++x)
      for (int y = 0; y < h; ++y)
        if (t.Get(x, y)) Set(x, y, true);
  } else {
    Shape(kind, nullptr, tolerance, i_bbox);
  }
}

bool TMask::LoadFromStream(CStream& s) {
  if (s.ReadInteger() != kMaskVersion) return false;
  int32_t w = s.ReadInteger();
  int32_t h = s.ReadInteger();
  RRect b;
  b.Left = s.ReadInteger();
  b.Right = s.ReadInteger();
  b.Bottom = s.ReadInteger();
  b.Top = s.ReadInteger();
  if (w < 0 || h < 0 || uint64_t(w) * uint64_t(h) * 4 > kMaxInflatedBlock || !s.Holds(size_t(w) * size_t(h) * 4))
    throw EStreamError("mask size does not fit the data");
  Resize(w, h);
  i_bbox = b;
  // Rows from the top, each left to right; the stored ints are bools (true when above 0).
  const size_t n = size_t(w) * size_t(h);
  const uint8_t* p = s.PeekBytes(n * 4);
  for (size_t k = 0; k < n; ++k, p += 4) {
    int32_t v;
    std::memcpy(&v, p, 4);
    if (v > 0) bits_[(k % size_t(w)) * size_t(h) + k / size_t(w)] = 1;
  }
  s.Skip(n * 4);
  return true;
}

void TMask::SaveToStream(CStream& s) const {
  s.WriteInteger(kMaskVersion);
  s.WriteInteger(i_w);
  s.WriteInteger(i_h);
  s.WriteInteger(i_bbox.Left);
  s.WriteInteger(i_bbox.Right);
  s.WriteInteger(i_bbox.Bottom);
  s.WriteInteger(i_bbox.Top);
  std::vector<int32_t> row(static_cast<size_t>(i_w));
  for (int y = 0; y < i_h; ++y) {
    for (int x = 0; x < i_w; ++x) row[size_t(x)] = Get(x, y) ? 1 : 0;
    s.WriteBytes(row.data(), row.size() * 4);
  }
}

std::vector<TMask> BuildSpriteMasks(const std::vector<TBitmap32>& images, const RMaskParams& p) {
  std::vector<TMask> masks;
  if (images.empty()) return masks;
  if (p.sepmasks) {
    masks.reserve(images.size());
    for (const TBitmap32& bm : images) masks.emplace_back(&bm, p.bbmode, p.bbox, p.kind, p.tolerance);
  } else {
    masks.emplace_back(&images[0], p.bbmode, p.bbox, p.kind, p.tolerance);
    for (size_t i = 1; i < images.size(); ++i) masks[0].Merge(&images[i], p.bbmode, p.bbox, p.kind, p.tolerance);
  }
  return masks;
}

RRect SpriteBoundingBox(const std::vector<TMask>& masks, bool sepmasks, int imageCount, int width,
                        int height) {
  if (imageCount <= 0 || masks.empty()) return {};
  if (!sepmasks) return masks[0].i_bbox;
  RRect r{width - 1, height - 1, 0, 0};
  for (const TMask& m : masks) {
    r.Left = std::min(r.Left, m.i_bbox.Left);
    r.Top = std::min(r.Top, m.i_bbox.Top);
    r.Right = std::max(r.Right, m.i_bbox.Right);
    r.Bottom = std::max(r.Bottom, m.i_bbox.Bottom);
  }
  return r;
}

}  // namespace kestro
