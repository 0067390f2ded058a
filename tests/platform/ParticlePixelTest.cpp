// Particle systems through the real OpenGL path (headless), read back: a system drawn in the room
// between instances of higher and lower depth, the draw order of old and new particles, additive
// blending, and the built-in shapes' textures.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "graphics/GameWindow.h"
#include "graphics/RoomDraw.h"
#include "particles/Effects.h"
#include "particles/ParticleDraw.h"
#include "particles/ParticleLayer.h"
#include "platform/GlTestContext.h"
#include "resources/GameResources.h"
#include "support/WorldFixture.h"
#include "world/GameState.h"

namespace kestro::test {
namespace {

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kWhite = 0xFFFFFFFFu;
const std::vector<std::pair<char, uint32_t>> kLegend = {
    {'.', 0x000000}, {'R', 0xFF0000}, {'G', 0x00FF00}, {'B', 0x0000FF},
    {'W', 0xFFFFFF}, {'4', 0x404040}, {'8', 0x808080}, {'r', 0xFF4040},
};

class ParticlePixels : public WorldFixture {
 protected:
  void SetUp() override {
    WorldFixture::SetUp();
    ResetParticles();
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
    ResetParticles();
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
  int Object(int sprite) {
    auto o = std::make_unique<CObject>();
    o->o_spriteindex = sprite;
    return Objects().Add(std::move(o), "obj" + std::to_string(Objects().Count()));
  }
  void Add(int obj, double x, double y, double depth) {
    World().Room().AddInstance(obj, x, y, World().lastInstanceId)->i_depth = depth;
  }
  // A type drawn with a sprite, or with a built-in shape when sprite is -1.
  int Type(int sprite, int shape = 0) {
    const int t = Particles().Types().Create();
    RParticleType& ty = *Particles().Type(t);
    ty.sprite = sprite;
    ty.shape = shape;
    return t;
  }
  RParticleSystem& System(int id) { return *Particles().System(id); }
  static std::string Row(int y, int x = 0, int w = 40) { return Picture(x, y, w, 1, kLegend).at(0); }
};

TEST_F(ParticlePixels, ASystemIsDrawnBetweenInstancesOfHigherAndLowerDepth) {
  const int red = Object(Sprite(TBitmap32(16, 16, kRed))), blue = Object(Sprite(TBitmap32(16, 16, kBlue)));
  const int green = Sprite(TBitmap32(16, 16, kGreen));
  // Red behind at depth 10 (x 0..16), blue in front at -10 (x 16..32), a green particle at depth 0
  // over both (x 8..24) and a second system at depth 20, behind everything, drawn in white.
  Add(red, 0, 0, 10);
  Add(blue, 16, 0, -10);
  const int ps = Particles().Systems().Create(), back = Particles().Systems().Create();
  System(back).depth = 20;
  Particles().CreateParticles(System(ps), 8, 0, Type(green), 1);
  Particles().CreateParticles(System(back), 24, 4, Type(Sprite(TBitmap32(16, 16, kWhite))), 1);
  DrawRoom();
  auto runs = [](std::initializer_list<std::pair<char, int>> parts) {
    std::string s;
    for (auto [c, n] : parts) s += std::string(size_t(n), c);
    return s;
  };
  EXPECT_EQ(Row(2, 0, 48), runs({{'R', 8}, {'G', 8}, {'B', 16}, {'.', 16}}));
  EXPECT_EQ(Row(8, 0, 48), runs({{'R', 8}, {'G', 8}, {'B', 16}, {'W', 8}, {'.', 8}}));
  // The system's position moves its drawing; a system that does not draw with the room is left
  // out (and drawn only when asked).
  System(ps).xdraw = 32;
  System(back).automaticdraw = false;
  DrawRoom();
  EXPECT_EQ(Row(8, 0, 48), runs({{'R', 16}, {'B', 16}, {'.', 8}, {'G', 8}}));
}

TEST_F(ParticlePixels, SystemsWithinAHundredthOfADepthAreDrawnOnceEach) {
  // Additive grey particles show every extra drawing as a brighter grey.
  const int grey = Type(Sprite(TBitmap32(8, 8, kWhite)));
  Particles().Type(grey)->additiveblend = true;
  const double depths[] = {5.005, 5, 4.996, -3};
  for (int k = 0; k < 4; ++k) {
    const int ps = Particles().Systems().Create();
    System(ps).depth = depths[k];
    Particles().CreateParticles(System(ps), 8 * k, 0, grey, 1, 0x404040);
  }
  DrawRoom();
  EXPECT_EQ(Row(4, 0, 36), std::string(32, '4') + "....");
  // With views each view draws them once.
  CLiveRoom& room = World().Room();
  room.r_enableviews = true;
  for (int v = 0; v < 2; ++v) {
    CView& view = room.r_view[size_t(v)];
    view.visible = true;
    view.wview = view.wport = 64;
    view.hview = view.hport = 32;
    view.yport = 32 * v;
  }
  DrawRoom();
  EXPECT_EQ(Row(4, 0, 36), std::string(32, '4') + "....");
  EXPECT_EQ(Row(36, 0, 36), std::string(32, '4') + "....");
}

TEST_F(ParticlePixels, DrawOrderAndAdditiveBlending) {
  const int ps = Particles().Systems().Create();
  const int green = Type(Sprite(TBitmap32(8, 8, kGreen))), blue = Type(Sprite(TBitmap32(8, 8, kBlue)));
  Particles().CreateParticles(System(ps), 0, 0, green, 1);
  Particles().CreateParticles(System(ps), 4, 0, blue, 1);
  Graphics().ClearScreen(0);
  DrawParticleSystem(Particles(), System(ps));
  EXPECT_EQ(Row(2, 0, 14), "GGGGBBBBBBBB..") << "old to new: the newest on top";
  System(ps).oldtonew = false;
  Graphics().ClearScreen(0);
  DrawParticleSystem(Particles(), System(ps));
  EXPECT_EQ(Row(2, 0, 14), "GGGGGGGGBBBB..") << "new to old: the newest beneath";
  // Two dark grey particles overlapping: additive blending adds them where they meet; the game's
  // blending is back afterwards.
  System(ps).particles.clear();
  const int grey = Type(Sprite(TBitmap32(8, 8, kWhite)));
  Particles().Type(grey)->additiveblend = true;
  Particles().CreateParticles(System(ps), 0, 10, grey, 1, 0x404040);
  Particles().CreateParticles(System(ps), 4, 10, grey, 1, 0x404040);
  Graphics().ClearScreen(0);
  Graphics().SetBlendMode(3);
  const RRenderState before = Graphics().KeptState();
  DrawParticleSystem(Particles(), System(ps));
  EXPECT_EQ(Row(12, 0, 14), "444488884444..");
  EXPECT_EQ(Graphics().KeptState(), before);
}

TEST_F(ParticlePixels, BuiltInShapesAreDrawnFromTheirImagesInTheParticleColour) {
  const int ps = Particles().Systems().Create();
  const int disk = Type(-1, 1), square = Type(-1, 2);
  Particles().Type(disk)->sizemin = Particles().Type(disk)->sizemax = 0.5;
  // A disk of radius 28 at half size about (16, 16): solid near the centre, nothing in the corner.
  Particles().CreateParticles(System(ps), 16, 16, disk, 1, 0x0000FF);
  Particles().Type(square)->xscale = 0.25;
  Particles().Type(square)->yscale = 0.25;
  Particles().CreateParticles(System(ps), 48, 48, square, 1, 0x00FF00);
  Graphics().ClearScreen(0);
  DrawParticleSystem(Particles(), System(ps));
  EXPECT_EQ(Row(16, 12, 8), "RRRRRRRR");
  EXPECT_EQ(Row(1, 1, 2), "..");
  // The square covers 3..60 of 64: at a quarter about (48, 48), about 41 to 55.
  EXPECT_EQ(Row(48, 44, 8), "GGGGGGGG");
  EXPECT_EQ(Row(48, 32, 6), "......");
  EXPECT_EQ(Row(48, 58, 6), "......");
  // A shape outside 0..13 draws nothing.
  System(ps).particles.clear();
  Particles().CreateParticles(System(ps), 16, 16, Type(-1, 14), 1);
  Graphics().ClearScreen(0);
  DrawParticleSystem(Particles(), System(ps));
  EXPECT_EQ(Row(16, 12, 8), "........");
}

}  // namespace
}  // namespace kestro::test
