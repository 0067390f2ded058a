// Sprites and backgrounds drawn through the real OpenGL path (headless): a few sampled pixels for
// each drawing operation, and the textures of a game's resources.
#include <gtest/gtest.h>

#include "graphics/SpriteDraw.h"
#include "platform/GlTestContext.h"
#include "resources/GameResources.h"
#include "resources/SpriteFile.h"

namespace kestro::test {
namespace {

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kWhite = 0xFFFFFFFFu;
const Px R{0, 0, 255, 255}, G{0, 255, 0, 255}, B{255, 0, 0, 255}, W{255, 255, 255, 255}, K{0, 0, 0, 255};

// 4 x 4 of four 2 x 2 quarters: red, green above; blue, white below.
TBitmap32 Quarters() {
  TBitmap32 bm(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      bm.SetPixel(x, y, TColor32::From(y < 2 ? (x < 2 ? kRed : kGreen) : (x < 2 ? kBlue : kWhite)));
  return bm;
}

// Frame 0 the quarters, frame 1 white; origin (2, 2).
CSprite TwoFrames() {
  CSprite s;
  s.i_bitmap = {Quarters(), TBitmap32(4, 4, kWhite)};
  s.i_numb = 2;
  s.i_xorig = s.i_yorig = 2;
  s.ComputeMask({});
  s.InitTexture();
  return s;
}

TEST(SpritePixels, SimpleDrawPlacesTheOriginAndWrapsFrames) {
  FreshRunGraphics();
  CSprite s = TwoFrames();
  DrawSimple(s, -1, 10, 10);  // frame 1
  DrawSimple(s, 2, 20, 10);   // frame 0
  EXPECT_EQ(PixelAt(8, 8), W);
  EXPECT_EQ(PixelAt(11, 11), W);
  EXPECT_EQ(PixelAt(12, 12), K);
  EXPECT_EQ(PixelAt(18, 8), R);
  EXPECT_EQ(PixelAt(20, 8), G);
  EXPECT_EQ(PixelAt(18, 10), B);
  EXPECT_EQ(PixelAt(21, 11), W);
  s.Clear();
  CSprite none;
  DrawSimple(none, 0, 40, 40);  // no images: nothing
  EXPECT_EQ(PixelAt(40, 40), K);
}

TEST(SpritePixels, TransformedStretchedPartAndGeneral) {
  FreshRunGraphics();
  CSprite s = TwoFrames();
  // Scaled about the origin.
  Draw(s, 0, 0xFFFFFF, 1, 0, 2, 2, 10, 10);
  EXPECT_EQ(PixelAt(6, 6), R);
  EXPECT_EQ(PixelAt(9, 9), R);
  EXPECT_EQ(PixelAt(10, 9), G);
  EXPECT_EQ(PixelAt(13, 13), W);
  // A quarter turn (degrees) counter-clockwise about the origin: red goes below-left.
  Draw(s, 0, 0xFFFFFF, 1, 90, 1, 1, 40, 20);
  EXPECT_EQ(PixelAt(38, 21), R);
  EXPECT_EQ(PixelAt(41, 19), W);
  // Tint (game colour red) and half alpha over black.
  Draw(s, 1, 0x0000FF, 0.5, 0, 1, 1, 50, 10);
  Px tinted = PixelAt(50, 10);
  EXPECT_NEAR(tinted[2], 128, 1);
  EXPECT_EQ(tinted[1], 0);
  // Stretched to 8 x 4 without the origin; nothing for a zero width.
  DrawStretched(s, 0, 0xFFFFFF, 1, 8, 4, 0, 40);
  EXPECT_EQ(PixelAt(0, 40), R);
  EXPECT_EQ(PixelAt(3, 41), R);
  EXPECT_EQ(PixelAt(4, 40), G);
  EXPECT_EQ(PixelAt(7, 43), W);
  EXPECT_EQ(PixelAt(8, 40), K);
  DrawStretched(s, 0, 0xFFFFFF, 1, 0, 4, 30, 30);
  EXPECT_EQ(PixelAt(30, 30), K);
  // The right half of the frame with its corner at (20, 40), no origin.
  DrawPart(s, 0, 0xFFFFFF, 1, 2, 0, 2, 4, 20, 40, 1, 1);
  EXPECT_EQ(PixelAt(20, 40), G);
  EXPECT_EQ(PixelAt(21, 43), W);
  EXPECT_EQ(PixelAt(22, 40), K);
  // General: the white frame in four blue corners, turned half round about (40, 60).
  const int32_t blue[4] = {0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000};
  DrawGeneral(s, 1, blue, 1, 0, 0, 4, 4, 40, 60, 1, 1, 180);
  EXPECT_EQ(PixelAt(37, 57), B);
  EXPECT_EQ(PixelAt(40, 60), B);
  EXPECT_EQ(PixelAt(41, 61), K);
}

TEST(SpritePixels, TiledSpritesAndBackgrounds) {
  FreshRunGraphics();
  CSprite s = TwoFrames();
  // Tiles every 4 pixels from x = 1 with the origin (2, 2): pixel p shows texel (p + 5) mod 4.
  DrawTiled(s, 0, true, true, 1, 1, 1, 1, 0, 0, 32, 32, 0xFFFFFF, 1);
  EXPECT_EQ(PixelAt(0, 0), R);
  EXPECT_EQ(PixelAt(1, 0), G);
  EXPECT_EQ(PixelAt(0, 1), B);
  EXPECT_EQ(PixelAt(1, 1), W);
  EXPECT_EQ(PixelAt(28, 28), R);
  FreshRunGraphics();
  CBackground back;
  back.i_bitmap = Quarters();
  back.InitTexture();
  // Only horizontally: one row of tiles at y = 10, origin (0, 0).
  DrawTiled(back, true, false, 2, 10, 1, 1, 0, 0, 64, 64, 0xFFFFFF, 1);
  EXPECT_EQ(PixelAt(2, 10), R);
  EXPECT_EQ(PixelAt(60, 13), W);
  EXPECT_EQ(PixelAt(2, 14), K);
  EXPECT_EQ(PixelAt(2, 9), K);
  DrawSimple(back, 30, 30);
  EXPECT_EQ(PixelAt(30, 30), R);
  DrawStretched(back, 0xFFFFFF, 1, 2, 2, 40, 40);
  EXPECT_EQ(PixelAt(40, 40), R);
  EXPECT_EQ(PixelAt(41, 41), W);
}

TEST(SpritePixels, GameTexturesBackgroundsFirstAndFreedWithTheirOwners) {
  CGraphics& g = FreshRunGraphics();
  CGameResources res;
  auto back = std::make_unique<CBackground>();
  back->i_bitmap = Quarters();
  res.backgrounds.Add(std::move(back), "back");
  auto spr = std::make_unique<CSprite>();
  spr->i_bitmap = {Quarters(), Quarters()};
  spr->i_numb = 2;
  spr->i_tex = {-1, -1};
  res.sprites.Add(std::move(spr), "spr");
  res.sprites.Add(nullptr, "");
  auto font = std::make_unique<CFont>();
  font->s_bw = 2;
  font->s_bh = 1;
  font->s_bytes = {255, 0};
  res.fonts.Add(std::move(font), "font");
  ASSERT_TRUE(CreateGameTextures(res));
  const CSprite* s = res.sprites.Get(0);
  EXPECT_EQ(res.backgrounds.Get(0)->i_tex, 0);
  EXPECT_EQ(s->i_tex, (std::vector<int>{1, 2}));
  EXPECT_EQ(res.fonts.Get(0)->s_tex, 3);
  // A copy makes its own textures; deleting the original frees only its own.
  int copy = ResourceDuplicate(res.sprites, 0);
  const std::vector<int> copyTex = res.sprites.Get(copy)->i_tex;
  EXPECT_EQ(copyTex, (std::vector<int>{4, 5}));
  EXPECT_TRUE(ResourceDelete(res.sprites, 0));
  EXPECT_FALSE(g.TextureExists(1));
  EXPECT_TRUE(g.TextureExists(copyTex[0]));
  DrawSimple(*res.sprites.Get(copy), 1, 2, 2);
  EXPECT_EQ(PixelAt(2, 2), R);
  // Sprites loaded at run time have their textures at once.
  CSprite made;
  made.CreateFromBitmap(Quarters(), 0, false, 0, 0);
  EXPECT_TRUE(g.TextureExists(made.GetTexture(0)));
  made.Clear();
}

}  // namespace
}  // namespace kestro::test
