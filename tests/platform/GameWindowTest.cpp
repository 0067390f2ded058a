// The game window, the graphics preparation and the loading window, headless.
#include <gtest/gtest.h>

#include "graphics/Display.h"
#include "graphics/Graphics.h"
#include "platform/sdl/SdlGraphics.h"
#include "platform/sdl/SdlLoadWindow.h"
#include "resources/BmpFile.h"
#include "resources/GameSettings.h"

namespace kestro::test {
namespace {

using platform::SdlGameWindow;

class HeadlessVideo : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("SDL_VIDEODRIVER", "offscreen", 0); }
  void TearDown() override {
    GameSettings().Reset();
    Display().Restore();
  }
};

// The desktop SDL reports, listing one more mode besides its own, which SDL itself cannot show.
struct ExtraMode : IDisplayModes {
  RDisplayMode desktop, extra;
  explicit ExtraMode(int w, int h) {
    desktop = Display().Desktop();
    extra = {w, h, desktop.depth, desktop.frequency};
  }
  bool DesktopMode(RDisplayMode& m) override {
    m = desktop;
    return true;
  }
  std::vector<RDisplayMode> ListedModes() override { return {desktop, extra}; }
};

TEST_F(HeadlessVideo, WindowFollowsRegionScaleAndFullScreen) {
  SdlGameWindow w;
  std::string error;
  ASSERT_TRUE(w.Create("window", error)) << error;
  CWindowState& s = w.State();
  EXPECT_FALSE(s.visible);
  w.SetRegionSize(320, 240, true);
  EXPECT_EQ(s.clientW, 320);
  EXPECT_EQ(s.clientH, 240);
  w.SetRegionScale(2, false);  // grown to the scaled region
  EXPECT_EQ(s.clientW, 640);
  EXPECT_EQ(s.MinClientW(), 640);
  w.SetSize(100, 100);  // a positive scale keeps the scaled region
  EXPECT_EQ(s.clientW, 640);
  w.SetRegionScale(-1, false);
  w.SetSize(500, 300);
  EXPECT_EQ(s.clientW, 500);
  w.SetRegionScale(2, true);
  w.Default();
  EXPECT_EQ(s.clientW, 640);
  EXPECT_EQ(s.clientX, (Display().DesktopWidth() - 640) / 2);
  int x = s.clientX, y = s.clientY;

  w.SetFullScreen(true);
  EXPECT_EQ(s.Border(), EWindowBorder::None);
  EXPECT_EQ(s.clientW, Display().Width());
  EXPECT_EQ(s.clientH, Display().Height());
  w.SetFullScreen(false);
  EXPECT_EQ(s.clientW, 640);
  EXPECT_EQ(s.clientH, 480);
  EXPECT_EQ(s.clientX, x);
  EXPECT_EQ(s.clientY, y);

  w.SetCaption("My game");
  EXPECT_EQ(w.Caption(), "My game");
}

TEST_F(HeadlessVideo, ModeTheScreenCannotShowIsScaledOntoIt) {
  SdlGameWindow w;
  std::string error;
  ASSERT_TRUE(w.Create("window", error)) << error;
  int realW = Display().DesktopWidth(), realH = Display().DesktopHeight();
  ExtraMode modes(realW / 2, realH / 2);
  Display().SetSource(&modes);
  ASSERT_TRUE(Display().SetMode({realW / 2, realH / 2, -1, -1}));
  EXPECT_EQ(Display().Width(), realW / 2);
  w.SetFullScreen(true);
  EXPECT_EQ(w.State().clientW, realW / 2);
  int dw, dh;
  w.DrawableSize(dw, dh);
  EXPECT_EQ(dw, realW);
  if (dw == realW && dh == realH) {
    EXPECT_EQ(w.ClientToDrawable({0, 0, realW / 2, realH / 2}), (RPixelRect{0, 0, realW, realH}));
    double cx, cy;
    w.WindowPointToClient(realW / 2.0, realH / 2.0, cx, cy);
    EXPECT_DOUBLE_EQ(cx, realW / 4.0);
  }
  Display().SetSource(nullptr);
}

TEST_F(HeadlessVideo, ModeOfAnotherAspectGetsBlackBars) {
  SdlGameWindow w;
  std::string error;
  ASSERT_TRUE(w.Create("window", error)) << error;
  platform::GlDevice dev;
  ASSERT_TRUE(dev.Create(Display().DesktopWidth(), Display().DesktopHeight(), error)) << error;
  int realW = Display().DesktopWidth(), realH = Display().DesktopHeight();
  // A mode half as wide as the screen, as high: bars of a quarter on each side.
  ExtraMode modes(realW / 2, realH);
  Display().SetSource(&modes);
  ASSERT_TRUE(Display().SetMode({realW / 2, realH, -1, -1}));
  w.SetFullScreen(true);
  dev.SetSurface(&w);
  CGraphics g;
  g.Attach(&dev, &w.State());
  g.Start(false);
  w.State().regionW = w.State().regionH = 8;
  w.State().scale = 1;
  w.SetColour(0x0000FF);  // red
  g.SetDeviceRegion(8, 8);
  g.ClearScreen(0x00FF00);
  // Presenting swaps buffers; a surface that does not swap keeps the picture readable.
  struct Keep : platform::IPresentSurface {
    SdlGameWindow* w;
    void DrawableSize(int& a, int& b) override { w->DrawableSize(a, b); }
    RPixelRect ClientToDrawable(const RPixelRect& r) override { return w->ClientToDrawable(r); }
    void ClientSize(int& a, int& b) override { w->ClientSize(a, b); }
    void Swap(bool) override {}
  } keep;
  keep.w = &w;
  dev.SetSurface(&keep);
  ASSERT_TRUE(g.PresentFrame());
  auto at = [&](int x, int y) {
    uint8_t p[4];
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadPixels(x, realH - 1 - y, 1, 1, GL_BGRA, GL_UNSIGNED_BYTE, p);
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
  };
  EXPECT_EQ(at(realW / 4 - 1, 10), 0u);              // bar
  EXPECT_EQ(at(realW / 4, 10), 0xFF0000u);           // the client area in the window colour
  EXPECT_EQ(at(realW / 2, realH / 2), 0x00FF00u);    // the region in the middle
  EXPECT_EQ(at(realW * 3 / 4, 10), 0u);              // bar
  g.Stop();
  dev.Destroy();
  Display().SetSource(nullptr);
}

TEST_F(HeadlessVideo, PrepareGraphicsAppliesTheSettings) {
  CGameSettings s;
  s.scaling = 200;
  s.sizeable = true;
  s.stayOnTop = true;
  s.windowColor = 0x123456;
  s.noBorder = true;
  s.noButtons = true;
  s.interpolate = true;
  int made = 0;
  ASSERT_TRUE(platform::PrepareGraphics(s, "Game", [&] {
    ++made;
    return true;
  }));
  const CWindowState& w = platform::GamePlatform().window.State();
  EXPECT_EQ(made, 1);
  EXPECT_EQ(w.regionW, 8);
  EXPECT_DOUBLE_EQ(w.scale, 2);
  EXPECT_EQ(w.clientW, 16);
  EXPECT_TRUE(w.sizeable);
  EXPECT_TRUE(w.stayOnTop);
  EXPECT_FALSE(w.showBorder);
  EXPECT_FALSE(w.showIcons);
  EXPECT_EQ(w.colour, 0x123456);
  EXPECT_TRUE(Graphics().HasDevice());
  EXPECT_EQ(Graphics().RegionWidth(), std::min(640, Display().Width()));
  EXPECT_TRUE(Graphics().KeptState().linearFilter);
  EXPECT_EQ(platform::GamePlatform().window.Caption(), "Game");
  platform::ReleaseGraphics();
  EXPECT_FALSE(Graphics().HasDevice());

  // A failed texture step fails the preparation; a display mode from the settings that the
  // display does not list leaves its own.
  s.changeDisplayMode = true;
  s.resolutionChoice = 2;
  s.fullScreen = true;
  EXPECT_FALSE(platform::PrepareGraphics(s, "Game", [] { return false; }));
  EXPECT_EQ(Display().Width(), Display().DesktopWidth());
  EXPECT_EQ(platform::GamePlatform().window.State().clientW, Display().DesktopWidth());
  platform::ReleaseGraphics();
  EXPECT_EQ(Display().Width(), Display().DesktopWidth());
}

RPixels Solid(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
  RPixels p{w, h, {}};
  for (int i = 0; i < w * h; ++i) p.bgra.insert(p.bgra.end(), {b, g, r, 255});
  return p;
}

TEST_F(HeadlessVideo, LoadingWindowShowsImageAndBar) {
  GameSettings().loadingImage = EncodeBmp32(Solid(100, 60, 0, 0, 255));          // red
  GameSettings().progressBackground = EncodeBmp32(Solid(4, 4, 255, 0, 0));       // blue
  GameSettings().progressForeground = EncodeBmp32(Solid(4, 4, 0, 255, 0));       // green
  platform::SdlLoadWindow lw;
  lw.SetUp(false);
  ASSERT_TRUE(lw.Shown());
  EXPECT_EQ(lw.Layout().ClientWidth(), 100);
  lw.SetProgress(50, "Loading sprites");
  RPixels shot;
  ASSERT_TRUE(lw.Snapshot(shot));
  ASSERT_EQ(shot.width, 100);
  auto colour = [&](int x, int y) {
    const uint8_t* p = &shot.bgra[(size_t(y) * 100 + size_t(x)) * 4];
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
  };
  // The bar: 52 wide from x 24, 32 pixels above the bottom; half of it filled.
  EXPECT_EQ(colour(10, 10), 0xFF0000u);
  EXPECT_EQ(colour(24, 30), 0x00FF00u);
  EXPECT_EQ(colour(49, 43), 0x00FF00u);
  EXPECT_EQ(colour(50, 30), 0x0000FFu);
  EXPECT_EQ(colour(75, 30), 0x0000FFu);
  EXPECT_EQ(colour(76, 30), 0xFF0000u);
  EXPECT_EQ(colour(30, 27), 0xFF0000u);
  EXPECT_EQ(colour(30, 44), 0xFF0000u);
  auto textPixels = [&] {
    int n = 0;
    for (int y = 28; y < 45; ++y)
      for (int x = 24; x < 100; ++x) {
        uint32_t c = colour(x, y);
        n += c != 0xFF0000u && c != 0x00FF00u && c != 0x0000FFu;
      }
    return n;
  };
  EXPECT_EQ(textPixels(), 0);  // the label shows only in debug runs
  lw.SetUp(true);
  lw.SetProgress(50, "Loading sprites");
  ASSERT_TRUE(lw.Snapshot(shot));
  EXPECT_GT(textPixels(), 20);
  lw.Close();
  EXPECT_FALSE(lw.Shown());
  EXPECT_EQ(lw.Layout().Image().width, 0);
}

}  // namespace
}  // namespace kestro::test
