#include "platform/GlTestContext.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace kestro::test {

GlContext& GlContext::Get() {
  static GlContext* c = [] {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    auto* ctx = new GlContext;
    std::string error;
    if (!ctx->window.Create("pixel tests", error)) {
      ADD_FAILURE() << error;
      std::abort();
    }
    if (!ctx->device.Create(64, 64, error)) {
      ADD_FAILURE() << error;
      std::abort();
    }
    ctx->state = &ctx->window.State();
    return ctx;
  }();
  c->window.MakeCurrent();  // other tests may have made windows and contexts of their own
  return *c;
}

CGraphics& FreshGraphics(int32_t clear) {
  GlContext& c = GlContext::Get();
  static CGraphics* g = nullptr;
  if (g) g->Stop();
  delete g;
  g = new CGraphics;
  g->Attach(&c.device, c.state);
  g->Start(false);
  g->SetInterpolation(false);
  g->ClearScreen(clear);
  return *g;
}

CGraphics& FreshRunGraphics() {
  GlContext& c = GlContext::Get();
  CGraphics& g = Graphics();
  g.Stop();
  g = CGraphics();
  g.Attach(&c.device, c.state);
  g.Start(false);
  g.SetInterpolation(false);
  g.ClearScreen(0);
  return g;
}

Px PixelAt(int x, int y, uint32_t target) {
  std::vector<uint8_t> px;
  if (!GlContext::Get().device.ReadPixels(target, {x, y, 1, 1}, px)) return {-1, -1, -1, -1};
  return {px[0], px[1], px[2], px[3]};
}

std::vector<std::string> Picture(int x, int y, int w, int h, const std::vector<std::pair<char, uint32_t>>& legend) {
  std::vector<uint8_t> px;
  std::vector<std::string> rows;
  if (!GlContext::Get().device.ReadPixels(0, {x, y, w, h}, px)) return rows;
  for (int j = 0; j < h; ++j) {
    std::string row;
    for (int i = 0; i < w; ++i) {
      const uint8_t* p = &px[(size_t(j) * size_t(w) + size_t(i)) * 4];
      uint32_t rgb = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
      char ch = '?';
      for (auto& [c, v] : legend)
        if (v == rgb) ch = c;
      row += ch;
    }
    rows.push_back(row);
  }
  return rows;
}

}  // namespace kestro::test
