// A hidden OpenGL window and drawing device shared by the pixel tests.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "graphics/Graphics.h"
#include "platform/gl/GlDevice.h"
#include "platform/sdl/SdlGameWindow.h"

namespace kestro::test {

// A presenting surface that keeps the presented picture in the window's back buffer (no swap)
// so tests can read it.
class KeepSurface : public platform::IPresentSurface {
 public:
  explicit KeepSurface(platform::SdlGameWindow* w) : w_(w) {}
  void DrawableSize(int& w, int& h) override { w_->DrawableSize(w, h); }
  RPixelRect ClientToDrawable(const RPixelRect& r) override { return w_->ClientToDrawable(r); }
  void ClientSize(int& w, int& h) override { w_->ClientSize(w, h); }
  void Swap(bool) override {}

 private:
  platform::SdlGameWindow* w_;
};

struct GlContext {
  platform::SdlGameWindow window;
  platform::GlDevice device;
  CWindowState* state = nullptr;
  // The one context of the test program, with a back buffer of 64 x 64, made current.
  static GlContext& Get();
};

// Fresh layer state over the shared device: region 64 x 64, cleared to `clear`.
CGraphics& FreshGraphics(int32_t clear = 0x000000);
// The process-wide drawing layer (the one the room drawing uses) made new over the shared device:
// other tests leave their states in it. Cleared to black.
CGraphics& FreshRunGraphics();

using Px = std::array<int, 4>;  // b, g, r, a
Px PixelAt(int x, int y, uint32_t target = 0);
// Rows of the screen as characters: each pixel's colour looked up in `legend`, '?' otherwise.
std::vector<std::string> Picture(int x, int y, int w, int h, const std::vector<std::pair<char, uint32_t>>& legend);

}  // namespace kestro::test
