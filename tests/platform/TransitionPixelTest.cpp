// Frames of screen transitions read back through OpenGL: the old picture red, the new one blue,
// a wipe, a slide, a cross-fade and the fade through black at known progress.
#include <gtest/gtest.h>

#include "graphics/Surfaces.h"
#include "graphics/Transition.h"
#include "platform/GlTestContext.h"

namespace kestro::test {
namespace {

TEST(TransitionPixels, MiddleFramesOfAWipeASlideAndTheFades) {
  CGraphics& g = FreshRunGraphics();
  const int a = Surfaces().Create(64, 64), b = Surfaces().Create(64, 64);
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  ASSERT_TRUE(Surfaces().SetTarget(a));
  g.ClearScreen(0x0000FF);  // red
  ASSERT_TRUE(Surfaces().SetTarget(b));
  g.ClearScreen(0xFF0000);  // blue
  Surfaces().ResetTarget();
  const Px red{0, 0, 255, 255}, blue{255, 0, 0, 255}, black{0, 0, 0, 255};
  struct Case {
    int kind;
    double p;
    int x, y;
    Px want;
  };
  const Case cases[] = {
      {1, 0.5, 31, 10, blue},   {1, 0.5, 32, 10, red},   // from the left edge, half-way
      {3, 0.25, 5, 15, blue},   {3, 0.25, 5, 16, red},   // from the top, a quarter
      {7, 0.25, 47, 5, red},    {7, 0.25, 48, 5, blue},  // sliding in from the right
      {16, 0.5, 5, 31, blue},   {16, 0.5, 5, 32, red},   // pushing down
      {21, 0.5, 20, 20, black},                          // through black
      {5, 0, 32, 32, red},      {5, 1, 0, 0, blue},
  };
  for (const Case& c : cases) {
    g.ClearScreen(0x00FF00);
    DrawTransitionFrame(c.kind, c.p, a, b, 64, 64, 80);
    EXPECT_EQ(PixelAt(c.x, c.y), c.want) << "kind " << c.kind << " p " << c.p << " at " << c.x << "," << c.y;
  }
  // Cross-fade at a quarter and the fade through black at a quarter (A at alpha 0.5).
  DrawTransitionFrame(20, 0.25, a, b, 64, 64, 80);
  Px mix = PixelAt(40, 40);
  EXPECT_NEAR(mix[0], 64, 2);
  EXPECT_NEAR(mix[2], 191, 2);
  DrawTransitionFrame(21, 0.25, a, b, 64, 64, 80);
  mix = PixelAt(40, 40);
  EXPECT_EQ(mix[0], 0);
  EXPECT_NEAR(mix[2], 128, 2);
  Surfaces().FreeAll();
}

}  // namespace
}  // namespace kestro::test
