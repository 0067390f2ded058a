// The OpenGL device batches sprites, triangles, lines and points and sends them in an order of
// its own: read back, the screen must still show everything in the order it was drawn, and
// primitives that do not touch may share batches.
#include <gtest/gtest.h>

#include "platform/GlTestContext.h"

namespace kestro::test {
namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF, kYellow = 0xFFFF00,
                   kMagenta = 0xFF00FF, kBlack = 0;
constexpr uint32_t kOpaque = 0xFF000000;

// A 4 x 4 texture of one opaque colour (0xRRGGBB).
int Solid(CGraphics& g, uint32_t rgb) {
  std::vector<uint8_t> px;
  for (int i = 0; i < 16; ++i) px.insert(px.end(), {uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16), 255});
  return g.TextureCreateFromPixels(4, 4, px.data());
}

// A 4 x 4 texture as a 4w x 4h sprite with its top-left corner at (x, y).
void Sprite(CGraphics& g, int id, double x, double y, double w = 5, double h = 5) {
  g.DrawTexture(id, 0xFFFFFF, 0, 0, x, y, w, h, 0, 1);
}

uint32_t Rgb(const Px& p) { return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | uint32_t(p[0]); }

TEST(BatchOrderPixels, MixedPrimitivesShowInDrawingOrder) {
  CGraphics& g = FreshGraphics(kBlack);
  const int red = Solid(g, kRed), blue = Solid(g, kBlue);
  // A red square (10..29), a line across it, a point under the triangle to come and one on
  // the square, the triangle, a blue square (25..44 x 12..31) over all of them, a point on it.
  Sprite(g, red, 10, 10);
  g.DrawLine(5, 15, 40, 15, kOpaque | kGreen, kOpaque | kGreen);
  g.DrawPoint(23, 8, kOpaque | kYellow);
  g.DrawPoint(12, 12, kOpaque | kYellow);
  g.DrawTriangle(20, 5, 35, 5, 20, 20, kOpaque | kWhite, kOpaque | kWhite, kOpaque | kWhite, false);
  Sprite(g, blue, 25, 12);
  g.DrawPoint(30, 20, kOpaque | kYellow);
  // Added: red (40..47 x 28..35) half on the blue square, two lines adding up to yellow.
  g.SetBlendMode(1);
  Sprite(g, red, 40, 28, 2, 2);
  g.DrawLine(2, 50, 30, 50, kOpaque | kGreen, kOpaque | kGreen);
  g.DrawLine(2, 50, 30, 50, kOpaque | kRed, kOpaque | kRed);
  // Normal again: a sprite over a line, a point over a line.
  g.SetBlendMode(0);
  g.DrawLine(2, 55, 30, 55, kOpaque | kGreen, kOpaque | kGreen);
  Sprite(g, red, 10, 53, 1, 1);
  g.DrawLine(2, 60, 30, 60, kOpaque | kGreen, kOpaque | kGreen);
  g.DrawPoint(15, 60, kOpaque | kBlue);

  struct RCase {
    int x, y;
    uint32_t want;
    const char* what;
  };
  const RCase cases[] = {
      {12, 25, kRed, "the first sprite alone"},
      {7, 15, kGreen, "the line alone"},
      {12, 15, kGreen, "the line over the first sprite"},
      {12, 12, kYellow, "a point over the first sprite"},
      {23, 8, kWhite, "the triangle over a point"},
      {22, 15, kWhite, "the triangle over the line and the first sprite"},
      {26, 13, kBlue, "the second texture over the triangle"},
      {27, 15, kBlue, "the second texture over the line"},
      {30, 20, kYellow, "a point over the second texture"},
      {42, 30, kMagenta, "added red over blue"},
      {46, 34, kRed, "added red over black"},
      {16, 50, kYellow, "two lines added"},
      {12, 55, kRed, "a sprite over a line"},
      {20, 55, kGreen, "the line beside the sprite"},
      {15, 60, kBlue, "a point over a line"},
      {50, 5, kBlack, "nothing drawn"},
  };
  for (const RCase& c : cases) EXPECT_EQ(Rgb(PixelAt(c.x, c.y)), c.want) << c.what << " at " << c.x << "," << c.y;
  g.TextureFree(red);
  g.TextureFree(blue);
}

// Filled shapes and outlines taking turns share two batches while they stay apart; where an
// outline and a later filled shape meet, the order is kept.
TEST(BatchOrderPixels, ShapesAndOutlinesApartShareBatches) {
  CGraphics& g = FreshGraphics(kBlack);
  const int red = Solid(g, kRed), blue = Solid(g, kBlue);
  const uint32_t green[4] = {kOpaque | kGreen, kOpaque | kGreen, kOpaque | kGreen, kOpaque | kGreen};
  const uint32_t white[4] = {kOpaque | kWhite, kOpaque | kWhite, kOpaque | kWhite, kOpaque | kWhite};
  platform::GlDevice& device = GlContext::Get().device;
  device.Flush();
  int calls = device.DrawCalls();
  for (int i = 0; i < 8; ++i) {
    g.DrawRectangle(i * 8, 2, i * 8 + 5, 7, green, false);
    Sprite(g, i % 2 ? red : blue, i * 8, 14, 1, 1);
    g.DrawRectangle(i * 8, 24, i * 8 + 5, 29, white, true);
    g.DrawLine(i * 8, 36, i * 8 + 5, 41, kOpaque | kWhite, kOpaque | kWhite);
    g.DrawPoint(i * 8 + 2, 50, kOpaque | kYellow);
  }
  device.Flush();
  EXPECT_EQ(device.DrawCalls() - calls, 3);  // triangles, lines, points
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(Rgb(PixelAt(i * 8 + 2, 4)), kGreen) << i;
    EXPECT_EQ(Rgb(PixelAt(i * 8 + 2, 16)), i % 2 ? kRed : kBlue) << i;
    EXPECT_EQ(Rgb(PixelAt(i * 8, 26)), kWhite) << i;
    EXPECT_EQ(Rgb(PixelAt(i * 8 + 2, 26)), kBlack) << i;
    EXPECT_EQ(Rgb(PixelAt(i * 8 + 2, 38)), kWhite) << i;
    EXPECT_EQ(Rgb(PixelAt(i * 8 + 2, 50)), kYellow) << i;
  }

  // The same shapes on top of each other: each filled one covers the outline before it.
  g.ClearScreen(kBlack);
  for (int i = 0; i < 4; ++i) {
    g.DrawRectangle(10, 10, 30, 30, white, true);
    g.DrawRectangle(10, 10, 30, 30, i % 2 ? green : white, false);
  }
  Sprite(g, red, 10, 10);
  EXPECT_EQ(Rgb(PixelAt(10, 20)), kRed);
  EXPECT_EQ(Rgb(PixelAt(29, 20)), kRed);
  EXPECT_EQ(Rgb(PixelAt(30, 20)), kGreen);
  g.TextureFree(red);
  g.TextureFree(blue);
}

// More quads than one draw of the shared 16-bit indices holds: five layers of 64 x 64 one-pixel
// squares in one batch; the last layer, drawn in the second part, covers the screen.
TEST(BatchOrderPixels, QuadsBeyondOneDrawOfSharedIndices) {
  CGraphics& g = FreshGraphics(kBlack);
  platform::GlDevice& device = GlContext::Get().device;
  device.Flush();
  const int calls = device.DrawCalls();
  for (int layer = 0; layer < 5; ++layer) {
    const uint32_t c = kOpaque | (layer == 4 ? kGreen : kRed + uint32_t(layer));
    const uint32_t cs[4] = {c, c, c, c};
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) g.DrawRectangle(x, y, x, y, cs, false);
  }
  EXPECT_EQ(Picture(0, 0, 64, 64, {{'G', kGreen}}), std::vector<std::string>(64, std::string(64, 'G')));
  EXPECT_EQ(device.DrawCalls() - calls, 2);
}

// A device made again starts its buffers afresh: what it draws arrives.
TEST(BatchOrderPixels, DeviceMadeAgainDraws) {
  platform::GlDevice& device = GlContext::Get().device;
  for (int round = 0; round < 2; ++round) {
    CGraphics& g = FreshGraphics(kBlack);
    const int red = Solid(g, kRed);
    const uint32_t green[4] = {kOpaque | kGreen, kOpaque | kGreen, kOpaque | kGreen, kOpaque | kGreen};
    Sprite(g, red, 4, 4);
    g.DrawTriangle(30, 30, 40, 30, 30, 40, kOpaque | kBlue, kOpaque | kBlue, kOpaque | kBlue, false);
    g.DrawRectangle(40, 4, 50, 14, green, false);
    EXPECT_EQ(Rgb(PixelAt(10, 10)), kRed) << round;
    EXPECT_EQ(Rgb(PixelAt(32, 32)), kBlue) << round;
    EXPECT_EQ(Rgb(PixelAt(45, 10)), kGreen) << round;
    g.TextureFree(red);
    g.Stop();
    std::string error;
    ASSERT_TRUE(device.Create(64, 64, error)) << error;
  }
}

}  // namespace
}  // namespace kestro::test
