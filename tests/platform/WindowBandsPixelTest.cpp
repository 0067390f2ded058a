// The window functions over the real window and device: the region scaled into the client area
// with bands of the window colour around it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/GameWindow.h"
#include "platform/GlTestContext.h"
#include "world/ActionLibrary.h"

namespace kestro::test {
namespace {

RValue R(double v) { return RValue::Real(v); }
void Call(const char* name, std::initializer_list<RValue> args) { CallBuiltin(name, nullptr, nullptr, args); }

// The presented window, one character per pixel: 'b' the band colour, 'w' the region's white, 'k'
// its blue corner.
std::vector<std::string> Screen(int w, int h) {
  std::vector<uint8_t> px(size_t(w) * size_t(h) * 4);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, px.data());
  std::vector<std::string> rows;
  for (int y = 0; y < h; ++y) {
    std::string row;
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = &px[(size_t(h - 1 - y) * size_t(w) + size_t(x)) * 4];
      const uint32_t rgb = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
      row += rgb == 0x00FF00 ? 'b' : rgb == 0xFFFFFF ? 'w' : rgb == 0x0000FF ? 'k' : '?';
    }
    rows.push_back(row);
  }
  return rows;
}

TEST(WindowBandsPixels, WindowColourAroundTheScaledRegion) {
  GlContext& c = GlContext::Get();
  const CWindowState saved = *c.state;
  CGraphics& g = FreshRunGraphics();
  KeepSurface surface(&c.window);
  c.device.SetSurface(&surface);
  SetGameWindow(&c.window);
  // A 32 x 24 region fitted into an 84 x 48 client area: factor 2, bands of 10 left and right.
  Call("window_set_region_size", {R(32), R(24), R(1)});
  Call("window_set_region_scale", {R(-1), R(0)});
  Call("window_set_size", {R(84), R(48)});
  Call("window_set_color", {R(0x00FF00)});
  int dw = 0, dh = 0;
  c.window.DrawableSize(dw, dh);
  ASSERT_EQ(dw, 84);
  ASSERT_EQ(dh, 48);
  EXPECT_EQ(g.RegionWidth(), 32);
  g.ClearScreen(0xFFFFFF);
  const uint32_t blue[4] = {0xFF0000FFu, 0xFF0000FFu, 0xFF0000FFu, 0xFF0000FFu};  // ARGB: red, as games say blue
  g.DrawRectangle(0, 0, 3.5, 1.5, blue, false);                                   // 4 x 2 pixels in the top-left corner
  ASSERT_TRUE(g.PresentFrame());
  std::vector<std::string> s = Screen(dw, dh);
  const std::string fitTop = std::string(10, 'b') + std::string(8, 'k') + std::string(56, 'w') + std::string(10, 'b');
  const std::string fitLow = std::string(10, 'b') + std::string(64, 'w') + std::string(10, 'b');
  for (int y = 0; y < dh; ++y) ASSERT_EQ(s[size_t(y)], y < 4 ? fitTop : fitLow) << "row " << y;

  // A fixed factor of 1 keeps the larger window and leaves bands all around: 32 x 24 at (26, 12).
  Call("window_set_region_scale", {R(1), R(0)});
  EXPECT_EQ(c.state->clientW, 84);
  ASSERT_TRUE(g.PresentFrame());
  s = Screen(dw, dh);
  const std::string band(84, 'b');
  const std::string top = std::string(26, 'b') + std::string(4, 'k') + std::string(28, 'w') + std::string(26, 'b');
  const std::string mid = std::string(26, 'b') + std::string(32, 'w') + std::string(26, 'b');
  for (int y = 0; y < dh; ++y) ASSERT_EQ(s[size_t(y)], y < 12 || y >= 36 ? band : y < 14 ? top : mid) << "row " << y;

  SetGameWindow(nullptr);
  c.device.SetSurface(nullptr);
  *c.state = saved;
}

}  // namespace
}  // namespace kestro::test
