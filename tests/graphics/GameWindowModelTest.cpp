// The window operations on the model, alone and over a fake window system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/Display.h"
#include "graphics/FakeWindow.h"
#include "graphics/GameWindow.h"
#include "graphics/Input.h"

namespace kestro::test {
namespace {

// The display is the fake's 1280 x 1024 desktop with three listed modes.
class WindowModel : public ::testing::Test {
 protected:
  void SetUp() override { Display().SetSource(&modes); }
  void TearDown() override {
    Display().SetSource(nullptr);
    Display().Restore();
    Display().SetDesktop(1024, 768, 32, 60);
    Ports().Clear();
    Input().Reset();
  }
  FakeDisplayModes modes;
};

TEST_F(WindowModel, RegionScaleSizeAndFullScreen) {
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
  ASSERT_TRUE(Display().SetMode({800, 600, -1, -1}));
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
}

TEST_F(WindowModel, StyleChangesKeepTheWindowedRectangle) {
  FakeWindow w;
  CWindowState& s = w.State();
  w.SetRegionScale(-1, false);
  w.SetRectangle(100, 50, 400, 300);
  EXPECT_EQ(w.real.x, 100);
  EXPECT_EQ(w.real.w, 400);
  w.PlayerMoves(120, 70);
  w.SetSizeable(true);  // the style change remembers where the player left the window
  w.SetShowBorder(false);
  EXPECT_FALSE(w.real.bordered);
  w.SetFullScreen(true);
  EXPECT_TRUE(w.real.fullScreen);
  EXPECT_EQ((RPixelRect{s.clientX, s.clientY, s.clientW, s.clientH}), (RPixelRect{0, 0, 1280, 1024}));
  w.SetStayOnTop(true);  // style changes in full screen keep the windowed rectangle
  EXPECT_TRUE(w.real.onTop);
  EXPECT_EQ(s.savedX, 120);
  w.SetFullScreen(false);
  EXPECT_FALSE(w.real.fullScreen);
  EXPECT_EQ((RPixelRect{s.clientX, s.clientY, s.clientW, s.clientH}), (RPixelRect{120, 70, 400, 300}));
  EXPECT_EQ((RPixelRect{w.real.x, w.real.y, w.real.w, w.real.h}), (RPixelRect{120, 70, 400, 300}));

  // Placing the window while in full screen places it for when full screen ends.
  w.SetFullScreen(true);
  w.SetRectangle(10, 20, 330, 220);
  EXPECT_EQ(s.clientW, 1280);
  EXPECT_EQ(w.real.x, 120);
  w.SetFullScreen(false);
  EXPECT_EQ((RPixelRect{w.real.x, w.real.y, w.real.w, w.real.h}), (RPixelRect{10, 20, 330, 220}));

  // The border and its buttons from the flags.
  struct {
    bool full, border, sizeable, icons;
    EWindowBorder want;
    bool maximise;
  } styles[] = {
      {false, true, false, true, EWindowBorder::Single, false},
      {false, true, true, true, EWindowBorder::Sizeable, true},
      {false, true, true, false, EWindowBorder::Sizeable, false},
      {false, false, true, true, EWindowBorder::None, false},
      {true, true, true, true, EWindowBorder::None, false},
  };
  for (const auto& k : styles) {
    w.SetShowBorder(k.border);
    w.SetSizeable(k.sizeable);
    w.SetShowIcons(k.icons);
    w.SetFullScreen(k.full);
    EXPECT_EQ(s.Border(), k.want) << k.full << k.border << k.sizeable << k.icons;
    EXPECT_EQ(s.HasMaximise(), k.maximise) << k.full << k.border << k.sizeable << k.icons;
    EXPECT_EQ(w.real.bordered, k.want != EWindowBorder::None);
    EXPECT_EQ(w.real.resizable, k.want == EWindowBorder::Sizeable);
    EXPECT_EQ(s.showIcons, k.icons);
  }
  w.SetVisible(true);
  EXPECT_TRUE(s.visible);
  EXPECT_TRUE(w.real.visible);
}

TEST_F(WindowModel, RegionSizeAndScaleWithAndWithoutAdapting) {
  struct {
    double scale;
    int cw, ch, rw, rh;
    bool adapt;
    int wantW, wantH;
  } cases[] = {
      {2, 100, 700, 320, 240, true, 640, 480},   // exactly the scaled region
      {2, 100, 700, 320, 240, false, 640, 700},  // only grown where smaller
      {2, 900, 900, 320, 240, false, 900, 900},
      {1.5, 10, 10, 101, 33, true, 152, 50},     // 151.5 and 49.5 round to even
      {-1, 500, 300, 320, 240, true, 500, 300},  // no fixed factor: the window stays
      {0, 500, 300, 320, 240, true, 500, 300},
      {1, 500, 300, 0, -5, true, 640, 480},  // values not above 0 keep the region (640 x 480)
  };
  for (const auto& k : cases) {
    FakeWindow w;
    w.SetRegionScale(-1, false);
    w.SetSize(k.cw, k.ch);
    w.State().scale = k.scale;
    const int repaints = w.repaints;
    w.SetRegionSize(k.rw, k.rh, k.adapt);
    EXPECT_EQ(w.State().clientW, k.wantW) << k.scale << " " << k.rw << " " << k.adapt;
    EXPECT_EQ(w.State().clientH, k.wantH) << k.scale << " " << k.rw << " " << k.adapt;
    EXPECT_EQ(w.real.w, k.wantW);
    EXPECT_EQ(w.real.h, k.wantH);
    EXPECT_GT(w.repaints, repaints);
  }

  FakeWindow w;
  w.SetRegionSize(320, 240, true);
  w.SetRegionScale(3, false);
  EXPECT_EQ(w.State().clientW, 960);
  w.SetRegionScale(0.5, true);
  EXPECT_EQ(w.State().clientW, 160);
  // The resize limit: while the factor is fixed the player cannot shrink the region away.
  w.SetRegionScale(2, true);
  EXPECT_EQ(w.real.minW, 640);
  EXPECT_EQ(w.real.minH, 480);
  w.PlayerResizes(300, 900);
  EXPECT_EQ(w.State().clientW, 640);
  EXPECT_EQ(w.State().clientH, 900);
  EXPECT_EQ(w.real.w, 640);
  w.PlayerResizes(700, 500);
  EXPECT_EQ(w.State().clientW, 700);
  EXPECT_EQ(w.State().clientH, 500);
  w.SetRegionScale(-1, false);
  EXPECT_EQ(w.real.minW, 0);
  w.PlayerResizes(50, 40);
  EXPECT_EQ(w.State().clientW, 50);
  // Sizes a window system cannot give are cut, never wrapped.
  w.SetRegionScale(1e12, true);
  EXPECT_EQ(w.State().clientW, CGameWindow::kMaxClientSize);
  EXPECT_GT(w.State().MinClientW(), 0);
}

TEST_F(WindowModel, DefaultAndCentreOnTheScreen) {
  FakeWindow w;
  CWindowState& s = w.State();
  w.SetRegionSize(320, 240, true);
  w.SetRegionScale(2, true);
  w.Default();
  EXPECT_EQ((RPixelRect{s.clientX, s.clientY, s.clientW, s.clientH}), (RPixelRect{320, 272, 640, 480}));
  EXPECT_EQ((RPixelRect{w.real.x, w.real.y, w.real.w, w.real.h}), (RPixelRect{320, 272, 640, 480}));
  w.SetRegionScale(-1, false);
  w.Default();
  EXPECT_EQ((RPixelRect{s.clientX, s.clientY, s.clientW, s.clientH}), (RPixelRect{480, 392, 320, 240}));
  w.SetSize(1000, 100);
  w.Center();
  EXPECT_EQ(s.clientX, 140);
  EXPECT_EQ(s.clientY, 462);
  // A chosen display mode is shown in full screen only: a window is centred on the desktop.
  ASSERT_TRUE(Display().SetMode({640, 480, -1, -1}));
  w.Center();
  EXPECT_EQ(s.clientX, 140);
  // In full screen the defaults are kept for when it ends.
  w.SetFullScreen(true);
  EXPECT_EQ(s.clientW, 640);
  w.Default();
  EXPECT_EQ(s.clientW, 640);
  w.SetFullScreen(false);
  EXPECT_EQ((RPixelRect{s.clientX, s.clientY, s.clientW, s.clientH}), (RPixelRect{480, 392, 320, 240}));
}

TEST_F(WindowModel, CaptionColourAndCursorRoundTrip) {
  FakeWindow w;
  const std::vector<std::string> captions{"", "Score: 10", "Schl\xC3\xBCssel \xE2\x98\x83", std::string(5000, 'x')};
  for (const std::string& caption : captions) {
    w.SetCaption(caption);
    EXPECT_EQ(w.Caption(), caption);
    EXPECT_EQ(w.real.caption, caption);
  }
  struct {
    int32_t in, out;
  } colours[] = {{0x123456, 0x123456}, {0x7F123456, 0x123456}, {-1, 0xFFFFFF}, {0, 0}};
  for (auto k : colours) {
    w.SetColour(k.in);
    EXPECT_EQ(w.State().colour, k.out) << k.in;
  }
  struct {
    int cursor;
    bool shown;
  } cursors[] = {{-21, true}, {-1, false}, {0, true}, {-4, true}, {7, true}};
  for (auto k : cursors) {
    w.SetCursor(k.cursor);
    EXPECT_EQ(w.Cursor(), k.cursor);
    EXPECT_EQ(w.real.cursor, k.cursor);
    EXPECT_EQ(w.State().showCursor, k.shown) << k.cursor;
  }
}

TEST_F(WindowModel, FullScreenShowsTheChosenDisplayMode) {
  FakeWindow w;
  w.SetRegionScale(-1, false);
  w.SetRectangle(10, 10, 300, 200);
  ASSERT_TRUE(Display().SetMode({800, 600, -1, -1}));
  w.DisplayChanged();  // windowed: the desktop stays as it is
  EXPECT_EQ(w.modeSwitches, 0);
  EXPECT_EQ(w.State().clientW, 300);
  w.SetFullScreen(true);
  EXPECT_EQ(w.State().clientW, 800);
  EXPECT_EQ(w.State().clientH, 600);
  ASSERT_TRUE(Display().SetMode({640, 480, -1, -1}));
  w.DisplayChanged();
  EXPECT_EQ(w.modeSwitches, 1);
  EXPECT_EQ(w.State().clientW, 640);
  Display().Restore();
  w.DisplayChanged();
  EXPECT_EQ(w.modeSwitches, 2);
  EXPECT_EQ(w.State().clientW, 1280);
  EXPECT_FALSE(Display().SetMode({1024, 768, -1, -1}));  // not listed
  w.SetFullScreen(false);
  EXPECT_EQ(w.State().clientW, 300);
}

RPort Port(double xv, double yv, double wv, double hv, double xp, double yp, double wp, double hp, double a = 0) {
  return RPort{true, xv, yv, wv, hv, xp, yp, wp, hp, a};
}

TEST_F(WindowModel, MouseThroughTheRegionAndTheViews) {
  // The client area at (100, 50) shows a 320 x 240 region twice as large.
  FakeWindow w;
  SetGameWindow(&w);  // mouse_x reads through the game's window
  w.SetRegionSize(320, 240, true);
  w.SetRegionScale(2, true);
  w.SetPosition(100, 50);
  // View 0 shows the region as it is; view 1 a turned 100 x 100 square in the top-left port;
  // view 2 lies over view 0 in the middle.
  Ports().Set(0, Port(0, 0, 320, 240, 0, 0, 320, 240));
  Ports().Set(1, Port(1000, 1000, 100, 100, 0, 0, 160, 120, 90));
  Ports().Set(2, Port(500, 500, 80, 60, 120, 90, 80, 60));
  struct {
    double cx, cy;     // the pointer in the client area
    int64_t rx, ry;    // in the region
    int64_t v1x, v1y;  // through view 1
    int64_t x, y;      // through the views, as mouse_x and mouse_y
  } cases[] = {
      {20, 20, 10, 10, 1092, 1006, 1092, 1006},    // turned view 1 holds it
      {320, 240, 160, 120, 1000, 1100, 540, 530},  // view 2 lies over views 0 and 1
      {600, 20, 300, 10, 1092, 1188, 300, 10},     // outside views 1 and 2: view 0
      {-40, 600, -20, 300, 850, 988, -20, 300},    // in no view: the lowest drawn one
  };
  for (const auto& k : cases) {
    Input().MouseMove(k.cx, k.cy);
    int64_t x, y;
    w.RegionMouse(x, y);
    EXPECT_EQ(x, k.rx) << k.cx;
    EXPECT_EQ(y, k.ry) << k.cx;
    w.ViewMouse(0, x, y);
    EXPECT_EQ(x, k.rx);
    EXPECT_EQ(y, k.ry);
    w.ViewMouse(1, x, y);
    EXPECT_EQ(x, k.v1x) << k.cx;
    EXPECT_EQ(y, k.v1y) << k.cx;
    w.ViewsMouse(x, y);
    EXPECT_EQ(x, k.x) << k.cx;
    EXPECT_EQ(y, k.y) << k.cx;
    Input().MouseInRoom(x, y);  // mouse_x agrees
    EXPECT_EQ(x, k.x);
    w.ViewMouse(5, x, y);  // a view not drawn: the region position
    EXPECT_EQ(x, k.rx);
  }

  // Setting: the centre of turned view 1 is the centre of its port, region (80, 60).
  int sx, sy;
  int64_t x, y;
  w.SetViewMouse(1, 1050, 1050);
  w.ScreenMouse(sx, sy);
  EXPECT_EQ(sx, 100 + 160);
  EXPECT_EQ(sy, 50 + 120);
  w.ViewMouse(1, x, y);
  EXPECT_EQ(x, 1050);
  EXPECT_EQ(y, 1050);
  w.SetViewMouse(1, 1020, 1090);  // turned both ways
  w.ViewMouse(1, x, y);
  EXPECT_EQ(x, 1020);
  EXPECT_EQ(y, 1090);
  w.SetViewsMouse(30, 40);  // through the lowest drawn view
  w.RegionMouse(x, y);
  EXPECT_EQ(x, 30);
  EXPECT_EQ(y, 40);
  w.SetScreenMouse(100 + 64, 50 + 64);
  w.RegionMouse(x, y);
  EXPECT_EQ(x, 32);
  w.ScreenMouse(sx, sy);
  EXPECT_EQ(sx, 164);
  Ports().Clear();
  w.SetViewsMouse(7, 9);  // no views: room and region are one
  w.ViewsMouse(x, y);
  EXPECT_EQ(x, 7);
  EXPECT_EQ(y, 9);
  SetGameWindow(nullptr);
}

}  // namespace
}  // namespace kestro::test
