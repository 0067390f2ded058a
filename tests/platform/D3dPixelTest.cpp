// The 3-D mode through the real OpenGL device: a block seen in perspective hides its far face
// behind its near one only with hidden-surface removal, a directional light lights the face
// turned to it, fog mixes its colour in by distance, and a model is drawn where it is put.
#include <gtest/gtest.h>

#include "graphics/D3d.h"
#include "graphics/Model3d.h"
#include "platform/GlTestContext.h"

namespace kestro::test {
namespace {

void ExpectNear(const Px& got, const Px& want, const std::string& what, int tolerance = 2) {
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[size_t(i)], want[size_t(i)], tolerance) << what << " channel " << i;
}

// A 20-unit block about the origin, seen from (100, 0, 0) with z up through a 60-degree lens:
// its near face (x = 10, normal +x) is 90 away and about 12 pixels wide on the 64 x 64 screen,
// its far face 110 away. The far face is drawn after the near one.
class D3dPixels_ : public ::testing::Test {
 protected:
  void SetUp() override {
    g = &FreshGraphics();
    mode.Reset(*g);
    mode.Start(*g);
    mode.SetProjectionExt(*g, {100, 0, 0}, {0, 0, 0}, {0, 0, 1}, 60, 1, 1, 1000);
  }
  void TearDown() override { mode.Reset(*g); }
  void Block() { mode.DrawShape(*g, C3DMode::EShape::kBlock, {-10, -10, -10, 10, 10, 10}, -1, 1, 1); }
  CGraphics* g = nullptr;
  C3DMode mode;
};

TEST_F(D3dPixels_, TheNearFaceHidesTheFarOneAndTheLightFallsOnIt) {
  g->SetColour(0xFFFFFF);
  g->SetLightingOn(true);
  g->SetAmbient(0x202020);
  RLight light;
  light.x = -1;  // travelling towards -x: onto the near face
  light.r = light.g = light.b = 1;
  g->SetLight(0, light);
  g->EnableLight(0, true);
  Block();
  ExpectNear(PixelAt(32, 32), {255, 255, 255}, "lit near face");
  ExpectNear(PixelAt(36, 28), {255, 255, 255}, "lit near face, off centre");
  ExpectNear(PixelAt(32, 44), {0, 0, 0}, "beside the block");
  ExpectNear(PixelAt(44, 32), {0, 0, 0}, "beside the block");

  // Without hidden-surface removal the far face, drawn last, covers the near one; it is turned
  // away from the light and gets the ambient light alone.
  mode.SetHidden(*g, false);
  g->ClearScreen(0);
  Block();
  ExpectNear(PixelAt(32, 32), {32, 32, 32}, "far face drawn over");

  // With the light off the near face too is lit by the ambient light alone.
  mode.SetHidden(*g, true);
  g->EnableLight(0, false);
  g->ClearScreen(0);
  Block();
  ExpectNear(PixelAt(32, 32), {32, 32, 32}, "ambient only");
}

TEST_F(D3dPixels_, FogMixesItsColourInByDistance) {
  g->SetColour(0x0000FF);  // red
  g->SetFog(true, 0xFF0000, 50, 130);  // blue, half way at the near face's 90
  Block();
  ExpectNear(PixelAt(32, 32), {128, 0, 127}, "half fog");
  g->SetFog(true, 0xFF0000, 100, 200);  // starts behind the face
  g->ClearScreen(0);
  Block();
  ExpectNear(PixelAt(32, 32), {0, 0, 255}, "before the fog");
  g->SetFog(false, 0, 0, 0);
}

TEST_F(D3dPixels_, AModelIsDrawnWhereItIsPutAndInTheDrawingColour) {
  C3D_Model m;
  m.Add(kModelBlock, {-10, -10, -10, 10, 10, 10, 1, 1});
  g->SetColour(0x00FF00);
  // The camera looks along -x with z up, so -y is to its right: 30 units there at the near
  // face's distance are about 18 pixels.
  m.Draw(*g, mode, 0, -30, 0, -1);
  ExpectNear(PixelAt(32, 32), {0, 0, 0}, "moved away from the centre");
  ExpectNear(PixelAt(50, 32), {0, 255, 0}, "moved to the right");
  g->ClearScreen(0);
  g->SetColour(0x0000FF);
  m.Draw(*g, mode, 0, 0, 0, -1);
  ExpectNear(PixelAt(32, 32), {0, 0, 255}, "recoloured red");
}

// The room's perspective projection: what lies at depth 0 is where 2-D drawing puts it (the
// right way up), what lies deeper is drawn smaller towards the view's centre; the function's own
// perspective projection agrees.
TEST(D3dRoomPixels, PerspectiveKeepsDepthZeroInPlaceAndShrinksWhatLiesDeeper) {
  const std::vector<std::pair<char, uint32_t>> legend = {{'.', 0}, {'R', 0xFF0000}};
  const uint32_t red[4] = {0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u};
  CGraphics& g = FreshGraphics();
  g.DrawRectangle(4, 8, 11, 11, red, false);
  const std::vector<std::string> flat = Picture(0, 0, 64, 64, legend);
  C3DMode mode;
  mode.Reset(g);
  mode.Start(g);
  for (int pass = 0; pass < 2; ++pass) {
    g.ClearScreen(0);
    if (pass == 0)
      g.SetProjection(0, 0, 64, 64, 0);
    else
      mode.SetProjectionPerspective(g, 0, 0, 64, 64, 0);
    g.SetDepth(0);
    g.DrawRectangle(4, 8, 11, 11, red, false);
    EXPECT_EQ(Picture(0, 0, 64, 64, legend), flat) << "pass " << pass;
    // 64 deeper is twice as far from the eye: half the size, half as far from the centre (32, 32):
    // (18, 20) to (21.5, 21.5).
    g.ClearScreen(0);
    g.SetDepth(64);
    g.DrawRectangle(4, 8, 11, 11, red, false);
    EXPECT_EQ(Picture(16, 18, 8, 6, legend), (std::vector<std::string>{
                                                 "........",
                                                 "........",
                                                 "..RRRR..",
                                                 "..RRRR..",
                                                 "........",
                                                 "........",
                                             }))
        << "pass " << pass;
  }
  mode.Reset(g);
}

}  // namespace
}  // namespace kestro::test
