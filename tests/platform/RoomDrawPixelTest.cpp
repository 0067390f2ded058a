// The draw step through the real OpenGL path (headless), read back: depth order of instances and
// tiles, views following an instance into their ports, two views of one room, tiled and stretched
// background layers, tiles cut from a background, scaled and mirrored.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "graphics/GameWindow.h"
#include "graphics/RoomDraw.h"
#include "platform/GlTestContext.h"
#include "resources/GameResources.h"
#include "support/WorldFixture.h"
#include "world/GameState.h"
#include "world/RoomTiles.h"

namespace kestro::test {
namespace {

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kWhite = 0xFFFFFFFFu;
// Legend of Picture: the colours as 0xRRGGBB.
const std::vector<std::pair<char, uint32_t>> kLegend = {
    {'.', 0x000000}, {'R', 0xFF0000}, {'G', 0x00FF00}, {'B', 0x0000FF},
    {'W', 0xFFFFFF}, {'-', 0x404040}, {'y', 0xFFFF00},
};

// 4 x 4 of four 2 x 2 quarters: red, green above; blue, white below.
TBitmap32 Quarters() {
  TBitmap32 bm(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      bm.SetPixel(x, y, TColor32::From(y < 2 ? (x < 2 ? kRed : kGreen) : (x < 2 ? kBlue : kWhite)));
  return bm;
}

class RoomPixels : public WorldFixture {
 protected:
  void SetUp() override {
    WorldFixture::SetUp();
    FreshRunGraphics();
    GameState().Reset();
    SetGameWindow(nullptr);
    Ports().Clear();
    StartWorld();
    CLiveRoom& room = World().Room();
    room.r_width = room.r_height = 64;
    room.r_color = 0;
  }
  void TearDown() override {
    SetGameWindow(nullptr);
    Ports().Clear();
    GameState().Reset();
    WorldFixture::TearDown();
  }
  int Sprite(TBitmap32 bm) {
    auto s = std::make_unique<CSprite>();
    s->i_bitmap = {std::move(bm)};
    s->i_numb = 1;
    s->ComputeMask({});
    s->InitTexture();
    return Sprites().Add(std::move(s), "spr" + std::to_string(Sprites().Count()));
  }
  int Background(TBitmap32 bm) {
    auto b = std::make_unique<CBackground>();
    b->i_bitmap = std::move(bm);
    b->InitTexture();
    return Backgrounds().Add(std::move(b), "back" + std::to_string(Backgrounds().Count()));
  }
  int Object(int sprite) {
    auto o = std::make_unique<CObject>();
    o->o_spriteindex = sprite;
    return Objects().Add(std::move(o), "obj" + std::to_string(Objects().Count()));
  }
  CInstance* Add(int obj, double x, double y, double depth) {
    CInstance* inst = World().Room().AddInstance(obj, x, y, World().lastInstanceId);
    inst->i_depth = depth;
    return inst;
  }
  RTile& Tile(int back, int xo, int yo, int w, int h, double x, double y, double depth) {
    RTile t;
    t.index = back;
    t.xo = xo;
    t.yo = yo;
    t.w = w;
    t.h = h;
    t.x = x;
    t.y = y;
    t.depth = depth;
    return *TileById(World().Room(), AddTile(World().Room(), t, World().lastTileId));
  }
  static std::string Row(int y, int x = 0, int w = 40) { return Picture(x, y, w, 1, kLegend).at(0); }
};

TEST_F(RoomPixels, InstancesAndTilesByDepth) {
  const int red = Object(Sprite(TBitmap32(16, 16, kRed))), blue = Object(Sprite(TBitmap32(16, 16, kBlue)));
  const int green = Background(TBitmap32(16, 16, kGreen));
  // Red at the back, a tile over its right half, blue over the tile at the tile's own depth
  // (the instance is drawn before the tile), and a second tile in front of everything.
  Add(red, 0, 0, 10);
  Tile(green, 0, 0, 16, 16, 8, 0, 5);
  Add(blue, 16, 0, 5);
  Tile(green, 0, 0, 4, 4, 36, 0, -100);
  Add(blue, 32, 0, -50);
  DrawRoom();
  auto runs = [](std::initializer_list<std::pair<char, int>> parts) {
    std::string s;
    for (auto [c, n] : parts) s += std::string(size_t(n), c);
    return s;
  };
  EXPECT_EQ(Row(2, 0, 48), runs({{'R', 8}, {'G', 16}, {'B', 12}, {'G', 4}, {'B', 8}}));
  EXPECT_EQ(Row(4, 0, 48), runs({{'R', 8}, {'G', 16}, {'B', 24}}));
  EXPECT_EQ(Row(20, 0, 8), "........");
  // A deleted tile and a hidden instance leave the room colour behind.
  World().Room().r_color = 0x404040;
  World().Room().Active()[0]->i_visible = false;
  DeleteTile(World().Room(), World().Room().r_tile.back().id);
  DrawRoom();
  EXPECT_EQ(Row(2, 0, 48), runs({{'-', 8}, {'G', 16}, {'B', 24}}));
}

TEST_F(RoomPixels, ViewsFollowIntoTheirPortsAndTwoViewsShowOneRoom) {
  const int white = Object(Sprite(TBitmap32(4, 4, kWhite)));
  CLiveRoom& room = World().Room();
  room.r_width = 128;
  room.r_color = 0x404040;
  room.r_enableviews = true;
  // View 0: 32 x 32 of the room at full size in the top-left port, following the instance with
  // borders of 8. View 1: the room's left 64 x 64 at half size in the top-right port.
  CView& v0 = room.r_view[0];
  v0.visible = true;
  v0.wview = v0.hview = v0.wport = v0.hport = 32;
  v0.hborder = v0.vborder = 8;
  v0.index = white;
  CView& v1 = room.r_view[1];
  v1.visible = true;
  v1.wview = v1.hview = 64;
  v1.xport = 32;
  v1.wport = v1.hport = 32;
  CGameWindow window;  // only its colour: the region outside the ports
  window.SetColour(0x00FFFF);
  SetGameWindow(&window);
  CInstance* inst = Add(white, 60, 20, 0);
  DrawRoom();
  EXPECT_EQ(v0.xview, 36);  // 60 + 8 - 32
  EXPECT_EQ(v0.yview, 0);
  // View 0 shows the instance at 60 - 36; view 1 at half size at 32 + 30.
  EXPECT_EQ(Row(21, 0, 64), std::string(24, '-') + "WWWW" + std::string(36, '-'));
  EXPECT_EQ(Row(11, 56, 8), "------WW");
  EXPECT_EQ(Row(40, 0, 8), "yyyyyyyy");  // below the ports: the window colour
  // It moves left, within the borders: the view stays; then past the left border.
  inst->SetPosition(48, 20);
  DrawRoom();
  EXPECT_EQ(v0.xview, 36);
  EXPECT_EQ(Row(21, 8, 20), "----WWWW------------");
  inst->SetPosition(30, 20);
  DrawRoom();
  EXPECT_EQ(v0.xview, 22);
  EXPECT_EQ(Row(21, 0, 16), "--------WWWW----");
  SetGameWindow(nullptr);
}

TEST_F(RoomPixels, BackgroundLayersTiledAndStretched) {
  const int quarters = Background(Quarters());
  CLiveRoom& room = World().Room();
  CBack& layer = room.r_background[0];
  layer.visible = true;
  layer.index = quarters;
  // Tiled both ways from (1, 1): pixel p shows texel (p + 3) mod 4.
  layer.x = layer.y = 1;
  DrawRoom();
  EXPECT_EQ(Row(1, 0, 9), "GRRGGRRGG");
  EXPECT_EQ(Row(3, 0, 9), "WBBWWBBWW");
  EXPECT_EQ(Row(63, 56, 8), "WBBWWBBW");
  // Only horizontally, scaled by 2: one row of 8 x 8 tiles at y = 10, the room colour elsewhere.
  room.r_color = 0x404040;
  layer.vtiled = false;
  layer.x = 0;
  layer.y = 10;
  layer.xscale = layer.yscale = 2;
  DrawRoom();
  EXPECT_EQ(Row(10, 0, 10), "RRRRGGGGRR");
  EXPECT_EQ(Row(17, 0, 10), "BBBBWWWWBB");
  EXPECT_EQ(Row(9, 0, 4), "----");
  EXPECT_EQ(Row(18, 0, 4), "----");
  // Stretched over the room: no tiling, scales 16: each quarter 32 x 32.
  layer.htiled = false;
  layer.y = 0;
  layer.xscale = layer.yscale = 16;
  DrawRoom();
  EXPECT_EQ(Row(0, 0, 64), std::string(32, 'R') + std::string(32, 'G'));
  EXPECT_EQ(Row(63, 0, 64), std::string(32, 'B') + std::string(32, 'W'));
  // As a foreground it covers the instances.
  const int blue = Object(Sprite(TBitmap32(8, 8, kBlue)));
  Add(blue, 0, 0, 0);
  layer.xscale = layer.yscale = 1;
  layer.foreground = true;
  DrawRoom();
  EXPECT_EQ(Row(0, 0, 10), "RRGGBBBB--");
}

TEST_F(RoomPixels, TilesCutScaledMirroredAndTinted) {
  const int quarters = Background(Quarters());
  // The right column of the background (green over white), 4 times as large.
  RTile& a = Tile(quarters, 2, 0, 2, 4, 10, 10, 0);
  a.xscale = a.yscale = 4;
  // The top row (red, green) mirrored: it extends left of its position.
  RTile& b = Tile(quarters, 0, 0, 4, 2, 40, 30, 0);
  b.xscale = -1;
  DrawRoom();
  EXPECT_EQ(Row(10, 8, 12), "..GGGGGGGG..");
  EXPECT_EQ(Row(25, 8, 12), "..WWWWWWWW..");
  EXPECT_EQ(Row(26, 8, 12), "............");
  EXPECT_EQ(Row(30, 34, 8), "..GGRR..");
  // Blend colour and alpha: white tinted yellow, then half of it over the room colour black.
  RTile& c = Tile(quarters, 2, 2, 2, 2, 50, 50, -1);
  c.blend = 0x00FFFF;
  DrawRoom();
  EXPECT_EQ(Row(50, 48, 6), "..yy..");
  World().Room().r_tile.back().alpha = 0.5;
  DrawRoom();
  const Px half = PixelAt(50, 50);
  EXPECT_NEAR(half[2], 128, 1);
  EXPECT_NEAR(half[1], 128, 1);
  EXPECT_EQ(half[0], 0);
}

}  // namespace
}  // namespace kestro::test
