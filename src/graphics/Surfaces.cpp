#include "graphics/Surfaces.h"

#include <algorithm>
#include <cctype>
#include <fstream>

#include "resources/Bitmap32.h"
#include "resources/BmpFile.h"

namespace kestro {

CSurfaces& Surfaces() {
  static CSurfaces s;
  return s;
}

void CSurfaces::Check() {
  int g = Graphics().Generation();
  if (g == generation_) return;
  generation_ = g;
  slots_.clear();
  target_ = -1;
}

const RSurface* CSurfaces::Get(int id) const {
  const_cast<CSurfaces*>(this)->Check();
  return id >= 0 && id < int(slots_.size()) && slots_[size_t(id)].used ? &slots_[size_t(id)] : nullptr;
}

int CSurfaces::Create(int w, int h) {
  Check();
  CGraphics& g = Graphics();
  if (!g.HasDevice() || w < 1 || h < 1 || w > kMaxSide || h > kMaxSide || w > g.Device()->MaxTextureSide() ||
      h > g.Device()->MaxTextureSide())
    return -1;
  int tex = g.TextureCreate(w, h, true);
  if (tex < 0) return -1;
  size_t id = 0;
  while (id < slots_.size() && slots_[id].used) ++id;
  if (id == slots_.size()) slots_.emplace_back();
  slots_[id] = RSurface{tex, w, h, true};
  return int(id);
}

void CSurfaces::Free(int id) {
  if (!Exists(id)) return;
  if (target_ == id) ResetTarget();
  Graphics().TextureFree(slots_[size_t(id)].tex);
  slots_[size_t(id)] = RSurface{};
}

void CSurfaces::FreeAll() {
  Check();
  for (size_t i = 0; i < slots_.size(); ++i) Free(int(i));
  slots_.clear();
}

bool CSurfaces::SetTarget(int id) {
  const RSurface* s = Get(id);
  if (!s) return false;
  if (target_ == id) return true;
  if (target_ >= 0) ResetTarget();
  CGraphics& g = Graphics();
  if (!g.SetRenderTarget(s->tex)) return false;
  target_ = id;
  g.SetViewport(0, 0, s->w, s->h);
  g.SetProjection(0, 0, s->w, s->h, 0);
  return true;
}

void CSurfaces::ResetTarget() {
  Check();
  if (target_ < 0) return;
  target_ = -1;
  CGraphics& g = Graphics();
  g.SetRenderTarget(-1);
  g.SetViewport(0, 0, g.RegionWidth(), g.RegionHeight());
  g.SetProjection(0, 0, g.RegionWidth(), g.RegionHeight(), 0);
}

void CSurfaces::CopyPart(int dest, int xd, int yd, int src, int xsrc, int ysrc, int wsrc, int hsrc) {
  const RSurface* d = Get(dest);
  const RSurface* s = Get(src);
  if (!d || !s) return;
  int64_t x = xd, y = yd, xs = xsrc, ys = ysrc, ws = wsrc, hs = hsrc;
  // A negative source corner moves the destination corner with it; then the size is cut to the
  // source and the destination.
  if (xs < 0) {
    x -= xs;
    ws += xs;
    xs = 0;
  }
  if (ys < 0) {
    y -= ys;
    hs += ys;
    ys = 0;
  }
  ws = std::min({ws, int64_t(s->w) - xs, int64_t(d->w) - x});
  hs = std::min({hs, int64_t(s->h) - ys, int64_t(d->h) - y});
  if (ws <= 0 || hs <= 0) return;
  CGraphics& g = Graphics();
  // Drawn as an exact copy: one texel per pixel, no blending, no filtering, no modulation.
  RRenderState kept = g.KeptState();
  CGraphics::RViewState view = g.SaveView();
  int previous = g.RenderTarget();
  if (!g.SetRenderTarget(d->tex)) return;
  g.SetViewport(0, 0, d->w, d->h);
  g.SetProjection(0, 0, d->w, d->h, 0);
  g.SetBlendFactors(kBlendOne, kBlendZero);
  g.SetInterpolation(false);
  g.SetTextureBlending(false);
  g.DrawTexturePart(s->tex, 0xFFFFFF, double(xs), double(ys), double(ws), double(hs), double(x), double(y), 1, 1, 0, 1);
  g.SetBlendFactors(kept.srcBlend, kept.destBlend);
  g.SetInterpolation(kept.linearFilter);
  g.SetTextureBlending(kept.modulate);
  g.SetRenderTarget(previous);
  g.RestoreView(view);
}

void SaveGrab(const RGrab& grab, const std::string& fname, bool opaque) {
  if (grab.width <= 0 || grab.height <= 0) return;
  std::string ext = fname.size() >= 4 ? fname.substr(fname.size() - 4) : "";
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  RPixels px{grab.width, grab.height, grab.bgra};
  if (opaque)
    for (size_t i = 3; i < px.bgra.size(); i += 4) px.bgra[i] = 255;
  if (ext == ".png") {
    TBitmap32 bm(px.width, px.height);
    std::copy(px.bgra.begin(), px.bgra.end(), reinterpret_cast<uint8_t*>(bm.Data()));
    std::string error;
    bm.SaveToPng(fname, error);
    return;
  }
  std::vector<uint8_t> bytes = EncodeBmp32(px);
  std::ofstream out(fname, std::ios::binary | std::ios::trunc);
  if (out) out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace kestro
