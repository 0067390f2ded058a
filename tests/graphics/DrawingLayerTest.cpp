// The drawing layer's geometry, colours, texture table and states, checked against a recording
// device (the pixel results are checked through the real device in the platform tests).
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "graphics/Display.h"
#include "graphics/FakeDevice.h"
#include "graphics/Graphics.h"

namespace kestro::test {
namespace {

class DrawingLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    g.Attach(&dev, &window);
    g.Start(false);
    dev.calls.clear();
  }
  std::vector<std::pair<float, float>> Corners(size_t call = 0) const {
    std::vector<std::pair<float, float>> out;
    for (const RVertex& v : dev.calls.at(call).v) out.push_back({v.x, v.y});
    return out;
  }
  FakeDevice dev;
  CWindowState window;
  CGraphics g;
  std::vector<uint8_t> px = std::vector<uint8_t>(33 * 20 * 4, 255);
};

using P = std::vector<std::pair<float, float>>;

TEST_F(DrawingLayer, TextureSlotsAndExtents) {
  int ids[5];
  for (int& id : ids) id = g.TextureCreateFromPixels(33, 20, px.data());
  EXPECT_EQ(ids[4], 4);
  g.TextureFree(2);
  EXPECT_FALSE(g.TextureExists(2));
  EXPECT_EQ(g.TextureCreate(8, 8, false), 2);
  const RTexture* t = g.Texture(0);
  EXPECT_EQ(t->w, 33);
  EXPECT_EQ(t->wt, 64);
  EXPECT_EQ(t->ht, 32);
  EXPECT_DOUBLE_EQ(g.TextureWidth(0), 33.0 / 64);
  EXPECT_DOUBLE_EQ(g.TextureHeight(0), 20.0 / 32);
  EXPECT_DOUBLE_EQ(g.TextureWidth(99), 1);
  g.TextureFree(99);  // ignored
  g.TextureFree(-1);
  dev.refuse = true;
  EXPECT_EQ(g.TextureCreate(8, 8, false), -1);
  EXPECT_EQ(g.TextureCreateFromPixels(4, 4, nullptr), -1);
  EXPECT_FALSE(g.TextureExists(5));
  dev.refuse = false;
  EXPECT_EQ(g.TextureCreate(8, 8, false), 5);  // the refused slot stayed free
}

TEST_F(DrawingLayer, QuadCornersAndTextureCoordinates) {
  int id = g.TextureCreateFromPixels(33, 20, px.data());
  g.DrawTextureSimple(id, 10, 5);
  ASSERT_EQ(dev.calls.size(), 1u);
  EXPECT_EQ(dev.calls[0].type, EPrimitive::TriangleFan);
  EXPECT_EQ(Corners(), (P{{9.5f, 4.5f}, {42.5f, 4.5f}, {42.5f, 24.5f}, {9.5f, 24.5f}}));
  EXPECT_FLOAT_EQ(dev.calls[0].v[2].u, 33.0f / 64);
  EXPECT_FLOAT_EQ(dev.calls[0].v[2].v, 20.0f / 32);
  EXPECT_EQ(dev.calls[0].v[0].colour, 0xFFFFFFFFu);
  EXPECT_FALSE(dev.calls[0].state.wrap);

  // Origin, scale, colour and alpha.
  g.DrawTexture(id, 0x0000FF, 3, 2, 100, 50, 2, 0.5, 0, 0.5);
  EXPECT_EQ(Corners(1), (P{{93.5f, 48.5f}, {159.5f, 48.5f}, {159.5f, 58.5f}, {93.5f, 58.5f}}));
  EXPECT_EQ(dev.calls[1].v[0].colour, 0x80FF0000u);  // alpha 127.5 rounds to 128, red
  // A tiny angle draws unrotated; a negative scale mirrors about the origin.
  g.DrawTexture(id, 0xFFFFFF, 0, 0, 10, 5, 1, 1, 0.0005, 1);
  EXPECT_EQ(Corners(2), Corners(0));
  g.DrawTexture(id, 0xFFFFFF, 0, 0, 10, 5, -1, 1, 0, 1);
  EXPECT_EQ(Corners(3), (P{{9.5f, 4.5f}, {-23.5f, 4.5f}, {-23.5f, 24.5f}, {9.5f, 24.5f}}));
  // A quarter turn counter-clockwise about the anchor.
  g.DrawTexture(id, 0xFFFFFF, 0, 0, 10, 5, 1, 1, std::numbers::pi / 2, 1);
  auto c = Corners(4);
  EXPECT_NEAR(c[1].first, 9.5, 1e-4);  // the top-right corner goes up
  EXPECT_NEAR(c[1].second, 5 - 32.5, 1e-4);
  // A part: its top-left corner at the anchor, coordinates of the part.
  g.DrawTexturePart(id, 0xFFFFFF, 8, 4, 16, 8, 0, 0, 1, 1, 0, 1);
  EXPECT_EQ(Corners(5), (P{{-0.5f, -0.5f}, {15.5f, -0.5f}, {15.5f, 7.5f}, {-0.5f, 7.5f}}));
  EXPECT_FLOAT_EQ(dev.calls[5].v[0].u, 8.0f / 64);
  EXPECT_FLOAT_EQ(dev.calls[5].v[2].v, 12.0f / 32);
  // Freed or unknown textures draw nothing.
  g.TextureFree(id);
  g.DrawTextureSimple(id, 0, 0);
  EXPECT_EQ(dev.calls.size(), 6u);
}

TEST_F(DrawingLayer, Tiling) {
  std::vector<uint8_t> small(10 * 10 * 4, 255);
  int id = g.TextureCreateFromPixels(10, 10, small.data());
  // Tiles of 10 from x = 23 cover the area 0..30 starting at 3 - 10.
  g.DrawTextureTiled(id, true, false, 0, 0, 23, 4, 1, 1, 0, 0, 30, 30, 0xFFFFFF, 1);
  std::vector<float> lefts;
  for (auto& call : dev.calls) {
    lefts.push_back(call.v[0].x);
    EXPECT_FLOAT_EQ(call.v[0].y, 3.5f);
  }
  EXPECT_EQ(lefts, (std::vector<float>{-7.5f, 2.5f, 12.5f, 22.5f}));
  dev.calls.clear();
  // A negative start position, both directions: rows from -6 + 10k.
  g.DrawTextureTiled(id, true, true, 0, 0, -26, -16, 1, 1, 0, 0, 20, 20, 0xFFFFFF, 1);
  EXPECT_EQ(dev.calls.size(), 9u);
  EXPECT_FLOAT_EQ(dev.calls[0].v[0].x, -6.5f);
  EXPECT_FLOAT_EQ(dev.calls[0].v[0].y, -6.5f);
  dev.calls.clear();
  // A tile that rounds to no width draws nothing; an area far from the position is reached at once.
  g.DrawTextureTiled(id, true, true, 0, 0, 0, 0, 0.04, 1, 0, 0, 100, 100, 0xFFFFFF, 1);
  EXPECT_TRUE(dev.calls.empty());
  g.DrawTextureTiled(id, true, false, 0, 0, 0, 0, 1, 1, 1e12, 0, 20, 10, 0xFFFFFF, 1);
  ASSERT_EQ(dev.calls.size(), 3u);
  EXPECT_FLOAT_EQ(dev.calls[0].v[0].x, float(1e12 - 10.5));
}

TEST_F(DrawingLayer, PrimitiveGeometry) {
  const uint32_t c[4] = {1, 2, 3, 4};
  g.DrawRectangle(10, 10, 0, 0, c, false);
  EXPECT_EQ(Corners(), (P{{0, 0}, {10.01f, 0}, {10.01f, 10.01f}, {0, 10.01f}}));
  g.DrawRectangle(0, 0, 10.5, 10.5, c, true);
  EXPECT_EQ(dev.calls[1].type, EPrimitive::LineStrip);
  EXPECT_EQ(Corners(1), (P{{0, 0}, {10.5f, 0}, {10.5f, 10.5f}, {0, 10.5f}, {0, 0}}));
  g.DrawLine(1, 2, 3, 4, 5, 6);
  EXPECT_EQ(Corners(2), (P{{1.01f, 2.01f}, {3.01f, 4.01f}}));
  g.DrawLineWidth(0, 0, 10, 0, 4, 5, 6);
  EXPECT_EQ(Corners(3), (P{{0, 2}, {10, 2}, {10, -2}, {0, -2}}));
  EXPECT_EQ(dev.calls[3].v[1].colour, 6u);
  g.DrawLineWidth(3, 3, 3, 3, 4, 5, 6);  // no length, nothing
  EXPECT_EQ(dev.calls.size(), 4u);
  EXPECT_EQ(dev.calls[0].texture, 0u);
}

TEST_F(DrawingLayer, CirclePrecisionAndEllipses) {
  struct {
    int asked, n;
  } cases[] = {{30, 28}, {2, 4}, {100, 64}, {24, 24}};
  for (auto k : cases) {
    g.SetCirclePrecision(k.asked);
    EXPECT_EQ(g.CirclePrecision(), k.n) << k.asked;
  }
  g.SetCirclePrecision(8);
  dev.calls.clear();
  g.DrawEllipse(0, 0, 20, 10, 1, 2, false);
  ASSERT_EQ(dev.calls[0].v.size(), 10u);  // centre and p0..p8
  EXPECT_EQ(Corners()[0], (std::pair<float, float>{10, 5}));
  EXPECT_EQ(Corners()[1], (std::pair<float, float>{20, 5}));
  EXPECT_EQ(Corners()[9], Corners()[1]);
  g.DrawEllipse(0, 0, 20, 10, 1, 2, true);
  ASSERT_EQ(dev.calls[1].v.size(), 9u);  // p7, p0 .. p7
  EXPECT_EQ(Corners(1)[0], Corners(1)[8]);
  g.DrawRoundRect(0, 0, 40, 20, 8, 6, 1, 2, false);
  EXPECT_EQ(dev.calls[2].v.size(), size_t(1 + 8 + 5));
}

TEST_F(DrawingLayer, ColoursAndBlendModes) {
  EXPECT_EQ(VertexColour(0x123456, 1), 0xFF563412u);
  EXPECT_EQ(VertexColour(0x123456, -3), 0x00563412u);
  EXPECT_EQ(VertexColour(0x123456, 7), 0xFF563412u);
  EXPECT_EQ(VertexColour(0, 0.5), 0x80000000u);  // 127.5 to even
  EXPECT_EQ(VertexColour(0, 0.502), 0x80000000u);
  g.SetColour(0xFF);
  g.SetAlpha(2);
  EXPECT_EQ(g.DrawColour(), 0xFFFF0000u);
  g.SetAlpha(0.2);
  EXPECT_EQ(g.DrawColour(), 0x33FF0000u);
  struct {
    int mode, src, dest;
  } modes[] = {{0, 5, 6}, {1, 5, 2}, {2, 5, 4}, {3, 1, 4}, {7, 5, 6}};
  for (auto m : modes) {
    g.SetBlendMode(m.mode);
    EXPECT_EQ(g.KeptState().srcBlend, m.src);
    EXPECT_EQ(g.KeptState().destBlend, m.dest);
  }
  g.SetBlendMode(1);
  g.SetInterpolation(false);
  g.SetTextureRepeat(true);
  const uint32_t c[4] = {};
  g.DrawRectangle(0, 0, 1, 1, c, false);
  EXPECT_EQ(dev.calls.back().state.destBlend, kBlendOne);
  EXPECT_FALSE(dev.calls.back().state.linearFilter);
  // Quads always clamp; user primitives follow the repeat setting.
  int id = g.TextureCreateFromPixels(33, 20, px.data());
  g.DrawTextureSimple(id, 0, 0);
  EXPECT_FALSE(dev.calls.back().state.wrap);
  RVertex v[3];
  g.DrawPrimitive(EPrimitive::TriangleList, v, 3, id);
  EXPECT_TRUE(dev.calls.back().state.wrap);
  EXPECT_EQ(dev.calls.back().texture, g.Texture(id)->handle);
}

TEST_F(DrawingLayer, RegionViewportProjectionAndGrab) {
  EXPECT_EQ(g.RegionWidth(), 640);
  EXPECT_EQ(dev.viewport, (RPixelRect{0, 0, 640, 480}));
  g.SetDeviceRegion(2000, 300);  // clipped to the screen
  EXPECT_EQ(g.RegionWidth(), 1024);
  EXPECT_EQ(dev.viewport, (RPixelRect{0, 0, 1024, 300}));
  // The projection maps the view's corners onto the corners of the viewport, y downwards.
  g.SetProjection(100, 50, 200, 100, 0);
  RMatrix m = dev.world * dev.view * dev.projection;
  double o[4];
  m.Transform(100, 50, 0, o);
  EXPECT_NEAR(o[0] / o[3], -1, 1e-9);
  EXPECT_NEAR(o[1] / o[3], 1, 1e-9);
  m.Transform(300, 150, 0, o);
  EXPECT_NEAR(o[0] / o[3], 1, 1e-9);
  EXPECT_NEAR(o[1] / o[3], -1, 1e-9);
  EXPECT_GT(o[2], 0);
  EXPECT_LT(o[2], 1);
  // A view turned by 90 degrees shows the room's right side at the top.
  g.SetProjection(0, 0, 100, 100, 90);
  m = dev.world * dev.view * dev.projection;
  m.Transform(100, 50, 0, o);
  EXPECT_NEAR(o[0], 0, 1e-9);
  EXPECT_NEAR(o[1], 1, 1e-9);
  // Depth is 0 outside the 3-D mode.
  g.SetDepth(500);
  EXPECT_EQ(g.Depth(), 0);
  g.Set3DMode(true, true, false);
  g.SetDepth(50000);
  EXPECT_EQ(g.Depth(), 16000);
  g.Set3DMode(false, false, false);

  RGrab grab;
  EXPECT_TRUE(g.GrabScreen(-10, 290, 50, 50, grab));
  EXPECT_EQ(dev.lastRead, (RPixelRect{0, 290, 50, 10}));
  EXPECT_FALSE(g.GrabScreen(1024, 0, 5, 5, grab));
  EXPECT_FALSE(g.GrabScreen(0, 0, 0, 5, grab));
  // A 16-bit display grabs 5-6-5 colours.
  CDisplay saved = Display();
  Display().SetDesktop(1024, 768, 16, 60);
  ASSERT_TRUE(g.GrabScreen(0, 0, 1, 1, grab));
  EXPECT_EQ(grab.bits, 16);
  EXPECT_EQ(grab.bgra[0], 0);  // 7 has no 5-bit form above 0
  EXPECT_EQ(grab.bgra[1], 4);  // 7 >> 2 = 1, widened to 4
  Display() = saved;
  // Presenting takes the region into the window's destination rectangle.
  window = CWindowState{};
  window.clientW = 1000;
  window.clientH = 600;
  window.regionW = 320;
  window.regionH = 240;
  window.scale = -1;
  g.SetDeviceRegion(320, 240);
  g.PresentFrame();
  EXPECT_EQ(dev.presentedSource, (RPixelRect{0, 0, 320, 240}));
  EXPECT_EQ(dev.presentedDest, (RPixelRect{100, 0, 800, 600}));
}

}  // namespace
}  // namespace kestro::test
