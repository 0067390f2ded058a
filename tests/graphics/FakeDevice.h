// A device that draws nothing and records what the drawing layer sends it.
#pragma once

#include <vector>

#include "graphics/GraphicsDevice.h"

namespace kestro::test {

class FakeDevice : public IGraphicsDevice {
 public:
  struct Call {
    EPrimitive type;
    std::vector<RVertex> v;
    uint32_t texture;
    RRenderState state;
  };
  int backW = 1024, backH = 768, maxSide = 2048;
  bool refuse = false;
  std::vector<Call> calls;
  std::vector<RPixelRect> clears;
  RPixelRect viewport;
  RMatrix world, view, projection;
  uint32_t next = 1;
  int freed = 0;

  int MaxTextureSide() const override { return maxSide; }
  int BackBufferWidth() const override { return backW; }
  int BackBufferHeight() const override { return backH; }
  uint32_t CreateTexture(int, int, const uint8_t*, bool) override { return refuse ? 0 : next++; }
  void FreeTexture(uint32_t) override { ++freed; }
  void SetState(const RRenderState& s) override { state_ = s; }
  void SetTexture(uint32_t h) override { texture_ = h; }
  void SetTransforms(const RMatrix& w, const RMatrix& v, const RMatrix& p) override {
    world = w;
    view = v;
    projection = p;
  }
  void SetViewport(const RPixelRect& r) override { viewport = r; }
  void Draw(EPrimitive type, const RVertex* v, int count) override {
    calls.push_back({type, std::vector<RVertex>(v, v + count), texture_, state_});
  }
  void Clear(uint32_t, bool, bool) override { clears.push_back(viewport); }
  bool SetRenderTarget(uint32_t) override { return true; }
  bool ReadPixels(uint32_t, const RPixelRect& r, std::vector<uint8_t>& bgra) override {
    lastRead = r;
    bgra.assign(size_t(r.w) * size_t(r.h) * 4, 7);
    return true;
  }
  void SetSynchronisation(bool) override {}
  bool Present(const RPixelRect& s, const RPixelRect& d, int32_t) override {
    presentedSource = s;
    presentedDest = d;
    return true;
  }
  RPixelRect lastRead, presentedSource, presentedDest;

 private:
  RRenderState state_;
  uint32_t texture_ = 0;
};

}  // namespace kestro::test
