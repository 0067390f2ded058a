// The window operations on the model alone (no platform window).
#include <gtest/gtest.h>

#include "graphics/Display.h"
#include "graphics/GameWindow.h"

namespace kestro::test {
namespace {

TEST(GameWindowModel, RegionScaleSizeAndFullScreen) {
  Display().SetDesktop(1280, 1024, 32, 60);
  CGameWindow w;
  CWindowState& s = w.State();
  w.SetRegionSize(8, 8, true);
  w.SetRegionScale(2, true);
  EXPECT_EQ(s.clientW, 16);
  w.SetRegionSize(320, 240, false);  // grown to the scaled region
  EXPECT_EQ(s.clientW, 640);
  EXPECT_EQ(s.clientH, 480);
  w.SetRegionSize(100, 0, true);  // only the width changes
  EXPECT_EQ(s.regionH, 240);
  EXPECT_EQ(s.clientW, 200);
  w.SetSize(999, 999);  // a positive scale keeps the scaled region
  EXPECT_EQ(s.clientW, 200);
  w.SetRegionScale(-1, false);
  w.SetRectangle(10, 20, 500, 300);
  EXPECT_EQ(s.clientX, 10);
  EXPECT_EQ(s.clientW, 500);
  w.Default();  // no positive scale: the region itself, centred
  EXPECT_EQ(s.clientW, 100);
  EXPECT_EQ(s.clientX, (1280 - 100) / 2);

  w.SetFullScreen(true);
  EXPECT_EQ(s.clientW, 1280);
  EXPECT_EQ(s.Border(), EWindowBorder::None);
  Display().SetMode({800, 600, -1, -1});
  w.DisplayChanged();
  EXPECT_EQ(s.clientW, 800);
  Display().Restore();
  w.DisplayChanged();
  EXPECT_EQ(s.clientW, 1280);
  w.SetPosition(5, 5);  // remembered for later
  w.SetFullScreen(false);
  EXPECT_EQ(s.clientX, 5);
  EXPECT_EQ(s.clientW, 100);
  EXPECT_EQ(s.clientH, 240);

  // The mouse set through the region lands where the region is shown on the screen.
  w.SetRegionScale(2, true);
  w.SetPosition(100, 50);
  w.SetRegionMouse(10, 20);
  int mx, my;
  w.ScreenMouse(mx, my);
  EXPECT_EQ(mx, 120);
  EXPECT_EQ(my, 90);

  w.SetCaption("Caption");
  EXPECT_EQ(w.Caption(), "Caption");
  w.SetColour(0x7F123456);
  EXPECT_EQ(s.colour, 0x123456);
  Display().Restore();
}

}  // namespace
}  // namespace kestro::test
