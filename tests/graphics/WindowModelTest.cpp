// Window geometry, coordinate conversions, display modes, the loading window's layout, matrices
// and texture sizes: the parts of the window and drawing layer that need no device.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "graphics/Display.h"
#include "graphics/LoadForm.h"
#include "graphics/Matrix.h"
#include "graphics/Texture.h"
#include "graphics/Window.h"
#include "resources/GameSettings.h"

namespace kestro::test {
namespace {

TEST(WindowGeometry, RegionPlacementByScale) {
  struct {
    int cw, ch, rw, rh;
    double scale;
    RPixelRect want;
  } cases[] = {
      {1000, 600, 320, 240, -1, {100, 0, 800, 600}},   // fit keeps the aspect: bands left and right
      {1000, 600, 320, 240, -0.01, {100, 0, 800, 600}},
      {1000, 600, 320, 240, 0, {0, 0, 1000, 600}},     // stretch, whatever the aspect
      {1000, 600, 320, 240, 1, {340, 180, 320, 240}},  // fixed factor, centred
      {1000, 600, 320, 240, 1.5, {260, 120, 480, 360}},
      {101, 60, 32, 24, 2, {18, 6, 64, 48}},           // (101 - 64) div 2
      {100, 100, 3, 3, 2.5, {46, 46, 8, 8}},           // 7.5 rounds to 8 (to even)
      {10, 10, 32, 24, 2, {-27, -19, 64, 48}},         // larger than the client: truncated towards 0
  };
  for (auto& k : cases)
    EXPECT_EQ(RegionDestination(k.cw, k.ch, k.rw, k.rh, k.scale), k.want) << k.cw << "x" << k.ch << " s " << k.scale;
}

TEST(WindowGeometry, ClientToRegionAndBack) {
  CWindowState w;
  w.clientX = 50;
  w.clientY = 20;
  w.clientW = 1000;
  w.clientH = 600;
  w.regionW = 320;
  w.regionH = 240;
  w.scale = -1;  // factor 2.5, bands of 100
  int64_t rx, ry;
  w.ClientToRegion(50 + 100, 20, rx, ry);
  EXPECT_EQ(rx, 0);
  EXPECT_EQ(ry, 0);
  w.ClientToRegion(50 + 100 + 25, 20 + 25, rx, ry);
  EXPECT_EQ(rx, 10);
  EXPECT_EQ(ry, 10);
  w.ClientToRegion(50, 20, rx, ry);  // in the band: outside the region
  EXPECT_EQ(rx, -40);
  int64_t sx, sy;
  w.RegionToScreen(10, 10, sx, sy);
  EXPECT_EQ(sx, 50 + 100 + 25);
  EXPECT_EQ(sy, 20 + 25);
  w.scale = 0;  // stretch
  w.ClientToRegion(50 + 500, 20 + 300, rx, ry);
  EXPECT_EQ(rx, 160);
  EXPECT_EQ(ry, 120);
  w.RegionToScreen(160, 120, sx, sy);
  EXPECT_EQ(sx, 550);
  EXPECT_EQ(sy, 320);
  w.clientW = 0;  // a collapsed client area divides by 1
  w.ClientToRegion(50 + 2, 20, rx, ry);
  EXPECT_EQ(rx, 640);
}

TEST(WindowGeometry, SizesAfterRegionChanges) {
  CWindowState w;
  w.clientW = 100;
  w.clientH = 700;
  w.regionW = 320;
  w.regionH = 240;
  w.scale = 2;
  int cw, ch;
  w.WantedClientSize(true, cw, ch);
  EXPECT_EQ(cw, 640);
  EXPECT_EQ(ch, 480);
  w.WantedClientSize(false, cw, ch);  // only grown
  EXPECT_EQ(cw, 640);
  EXPECT_EQ(ch, 700);
  EXPECT_EQ(w.MinClientW(), 640);
  w.scale = -1;
  w.WantedClientSize(true, cw, ch);
  EXPECT_EQ(cw, 100);
  EXPECT_EQ(w.MinClientW(), 0);
  w.DefaultClientSize(cw, ch);
  EXPECT_EQ(cw, 320);
  // Styles.
  w.sizeable = true;
  EXPECT_EQ(w.Border(), EWindowBorder::Sizeable);
  EXPECT_TRUE(w.HasMaximise());
  w.showBorder = false;
  EXPECT_EQ(w.Border(), EWindowBorder::None);
  w.showBorder = true;
  w.fullScreen = true;
  EXPECT_EQ(w.Border(), EWindowBorder::None);
}

RPort Port(double xv, double yv, double wv, double hv, double xp, double yp, double wp, double hp, double a = 0) {
  return RPort{true, xv, yv, wv, hv, xp, yp, wp, hp, a};
}

TEST(WindowGeometry, PortsConvertRegionAndRoom) {
  int64_t x, y;
  // A view of 200 x 100 at (1000, 500) shown in a port of 400 x 200 at (10, 20).
  RPort p = Port(1000, 500, 200, 100, 10, 20, 400, 200);
  CPortTable::RegionToRoom(p, 210, 120, x, y);
  EXPECT_EQ(x, 1100);
  EXPECT_EQ(y, 550);
  double rx, ry;
  CPortTable::RoomToRegion(p, 1100, 550, rx, ry);
  EXPECT_DOUBLE_EQ(rx, 210);
  EXPECT_DOUBLE_EQ(ry, 120);
  // Turned views convert both ways.
  RPort t = Port(0, 0, 100, 100, 0, 0, 100, 100, 90);
  CPortTable::RegionToRoom(t, 50, 10, x, y);
  EXPECT_EQ(x, 90);
  EXPECT_EQ(y, 50);
  CPortTable::RoomToRegion(t, 90, 50, rx, ry);
  EXPECT_NEAR(rx, 50, 1e-9);
  EXPECT_NEAR(ry, 10, 1e-9);
  // A port of no size leaves the values as they are.
  EXPECT_FALSE(CPortTable::RegionToRoom(Port(0, 0, 0, 100, 0, 0, 100, 100), 7, 8, x, y));
  EXPECT_EQ(x, 7);
  EXPECT_EQ(y, 8);
}

TEST(WindowGeometry, MouseGoesThroughTheHighestViewThatHoldsIt) {
  CPortTable ports;
  int64_t x, y;
  ports.MouseInRoom(30, 40, x, y);  // no views: the region is the room
  EXPECT_EQ(x, 30);
  ports.Set(1, Port(0, 0, 100, 100, 0, 0, 100, 100));
  ports.Set(3, Port(500, 500, 50, 50, 0, 0, 50, 50));  // overlaps port 1 at its top-left
  ports.MouseInRoom(20, 20, x, y);
  EXPECT_EQ(x, 520);
  EXPECT_EQ(y, 520);
  ports.MouseInRoom(70, 70, x, y);  // outside view 3's room area: view 1
  EXPECT_EQ(x, 70);
  ports.MouseInRoom(-5, 200, x, y);  // in none: the lowest used port stands
  EXPECT_EQ(x, -5);
  EXPECT_EQ(y, 200);
}

TEST(Display, SettingsChoicesAndTheDesktopAlone) {
  CGameSettings s;
  RDisplayMode m;
  EXPECT_FALSE(SettingsDisplayMode(s, m));
  s.changeDisplayMode = true;
  s.resolutionChoice = 3;
  s.colorDepthChoice = 1;
  s.frequencyChoice = 0;
  ASSERT_TRUE(SettingsDisplayMode(s, m));
  EXPECT_EQ(m.width, 800);
  EXPECT_EQ(m.height, 600);
  EXPECT_EQ(m.depth, 16);
  EXPECT_EQ(m.frequency, -1);
  s.resolutionChoice = 99;  // damaged: kept
  SettingsDisplayMode(s, m);
  EXPECT_EQ(m.width, -1);

  CDisplay d;
  d.SetDesktop(1920, 1080, 32, 60);
  // Without a display that lists modes the desktop's is the only one.
  EXPECT_TRUE(d.SetMode({1920, 1080, -1, -1}));
  EXPECT_FALSE(d.SetMode({800, 600, -1, -1}));
  EXPECT_EQ(d.Width(), 1920);
  EXPECT_FALSE(d.ModeChosen());
}

// A display listing a few modes, two of them with values it does not know.
struct FakeModes : IDisplayModes {
  RDisplayMode desktop{1920, 1080, 32, 60};
  std::vector<RDisplayMode> modes{{1920, 1080, 32, 60}, {1920, 1080, 32, 75}, {800, 600, 32, 60}, {800, 600, 32, 85},
                                  {800, 600, 16, 60},   {640, 480, 0, 0},     {0, 0, 0, 0}};
  bool DesktopMode(RDisplayMode& m) override {
    m = desktop;
    return true;
  }
  std::vector<RDisplayMode> ListedModes() override { return modes; }
};

TEST(Display, ModesAreChosenAmongTheListedOnes) {
  FakeModes fake;
  CDisplay d;
  d.SetSource(&fake);
  EXPECT_EQ(d.Modes().size(), size_t(6));  // the empty mode is dropped, unknown values are the desktop's
  // Each request starts from the mode the one before left; unrequested values stay where they can.
  struct {
    RDisplayMode want;
    bool ok;
    RDisplayMode now;
    bool chosen;
  } steps[] = {
      {{800, 600, -1, -1}, true, {800, 600, 32, 60}, true},  // depth and frequency kept
      {{-1, -1, -1, 85}, true, {800, 600, 32, 85}, true},    // the size kept
      {{-1, -1, 16, -1}, true, {800, 600, 16, 60}, true},    // the one 16-bit mode
      {{-1, -1, 8, -1}, false, {800, 600, 16, 60}, true},    // not listed: nothing changes
      {{1024, 768, -1, -1}, false, {800, 600, 16, 60}, true},
      {{640, 480, 32, 60}, true, {640, 480, 32, 60}, true},  // its unknown values are the desktop's
      {{0, 0, 0, 0}, true, {640, 480, 32, 60}, true},        // nothing asked: the mode now
      {{1920, 1080, -1, 75}, true, {1920, 1080, 32, 75}, true},
      {{-1, -1, -1, 60}, true, {1920, 1080, 32, 60}, false},  // the desktop's own mode again
      {{100000, 600, -1, -1}, false, {1920, 1080, 32, 60}, false},
  };
  for (const auto& k : steps) {
    const RDisplayMode want = k.want;
    EXPECT_EQ(d.TestMode(want), k.ok) << want.width << "x" << want.height << " " << want.depth << " " << want.frequency;
    EXPECT_EQ(d.SetMode(want), k.ok) << want.width << "x" << want.height << " " << want.depth << " " << want.frequency;
    EXPECT_EQ((RDisplayMode{d.Width(), d.Height(), d.Depth(), d.Frequency()}), k.now)
        << want.width << " " << want.frequency;
    EXPECT_EQ(d.ModeChosen(), k.chosen) << want.width << " " << want.frequency;
    EXPECT_EQ(d.DesktopWidth(), 1920);
  }
  d.SetMode({800, 600, 32, 85});
  d.Restore();
  EXPECT_EQ(d.Width(), 1920);
  EXPECT_EQ(d.Frequency(), 60);
  // A desktop the user changed is read again.
  fake.desktop = {1280, 1024, 32, 60};
  d.Refresh();
  EXPECT_EQ(d.Width(), 1280);
  d.SetSource(nullptr);
}

TEST(LoadForm, LayoutFromTheSettings) {
  CGameSettings s;
  RPixels img{400, 100, std::vector<uint8_t>(400 * 100 * 4, 0)};
  uint8_t* bl = &img.bgra[size_t(99) * 400 * 4];  // bottom-left: r 10, g 20, b 30
  bl[0] = 30;
  bl[1] = 20;
  bl[2] = 10;
  s.loadingImage = EncodeBmp32(img);
  s.loadingTransparent = true;
  s.loadingAlpha = 254;
  s.progressForeground = EncodeBmp32(RPixels{2, 2, std::vector<uint8_t>(16, 9)});
  CLoadFormLayout l;
  l.SetUp(s, true, 1000, 800);
  EXPECT_EQ(l.ClientWidth(), 400);
  EXPECT_EQ(l.ClientHeight(), 100);
  EXPECT_EQ(l.Left(), 300);
  EXPECT_EQ(l.Top(), 350);
  EXPECT_EQ(l.TransparentColour(), 10 | 20 << 8 | 30 << 16);
  EXPECT_EQ(l.Alpha(), 254);
  EXPECT_EQ(l.EmptyRect(), (RPixelRect{24, 68, 352, 16}));
  EXPECT_EQ(l.FullRect().w, 0);
  EXPECT_EQ(l.BarFull().width, 2);
  EXPECT_TRUE(l.LabelVisible());
  EXPECT_EQ(l.Text(), "Loading");
  l.SetProgress(100, "Ready");
  EXPECT_EQ(l.FullRect().w, 352);
  l.SetProgress(23, "x");  // 80.96
  EXPECT_EQ(l.FullRect().w, 81);
  l.SetProgress(250, "x");
  EXPECT_EQ(l.FullRect().w, 352);
  l.Close();
  EXPECT_EQ(l.Image().width, 0);

  // Without the bar its pictures are dropped and the label stays hidden even when debugging;
  // a damaged picture counts as none.
  s.showProgressBar = false;
  s.loadingImage = std::vector<uint8_t>{'B', 'M', 1, 2};
  l.SetUp(s, true, 1000, 800);
  EXPECT_FALSE(l.BarVisible());
  EXPECT_FALSE(l.LabelVisible());
  EXPECT_EQ(l.BarFull().width, 0);
  EXPECT_EQ(l.ClientWidth(), CLoadFormLayout::kDefaultWidth);
  EXPECT_EQ(l.TransparentColour(), -1);
}

TEST(Textures, SizesAndPadding) {
  struct {
    int n, max, want;
  } sides[] = {{0, 2048, 1}, {1, 2048, 1}, {3, 2048, 4}, {33, 2048, 64}, {64, 2048, 64}, {5000, 4096, 4096}};
  for (auto k : sides) EXPECT_EQ(TextureSide(k.n, k.max), k.want) << k.n;

  // 33 x 20 in 64 x 32: column 33 repeats column 32, row 20 repeats row 19, the rest is empty.
  std::vector<uint8_t> img(33 * 20 * 4);
  for (size_t i = 0; i < img.size(); ++i) img[i] = uint8_t(i * 7 + 1);
  auto pad = PadTexturePixels(img.data(), 33, 20, 64, 32);
  ASSERT_EQ(pad.size(), size_t(64 * 32 * 4));
  auto at = [&](const std::vector<uint8_t>& b, int w, int x, int y) {
    return std::vector<uint8_t>(b.begin() + (y * w + x) * 4, b.begin() + (y * w + x) * 4 + 4);
  };
  for (int y = 0; y < 20; ++y) {
    EXPECT_EQ(at(pad, 64, 0, y), at(img, 33, 0, y));
    EXPECT_EQ(at(pad, 64, 33, y), at(img, 33, 32, y));
    EXPECT_EQ(at(pad, 64, 34, y), (std::vector<uint8_t>{0, 0, 0, 0}));
  }
  EXPECT_EQ(at(pad, 64, 5, 20), at(img, 33, 5, 19));
  EXPECT_EQ(at(pad, 64, 33, 20), at(img, 33, 32, 19));
  EXPECT_EQ(at(pad, 64, 5, 21), (std::vector<uint8_t>{0, 0, 0, 0}));
  // An exact fit is the image; a larger image is cut.
  EXPECT_EQ(PadTexturePixels(img.data(), 33, 20, 33, 20), img);
  auto cut = PadTexturePixels(img.data(), 33, 20, 16, 16);
  EXPECT_EQ(at(cut, 16, 15, 15), at(img, 33, 15, 15));
}

TEST(Matrices, LibraryConventions) {
  double o[4];
  RMatrix::Translation(1, 2, 3).Transform(1, 1, 1, o);
  EXPECT_DOUBLE_EQ(o[0], 2);
  EXPECT_DOUBLE_EQ(o[2], 4);
  // Rotation about z turns x towards y; about an axis it is the same.
  RMatrix z = RMatrix::RotationZ(std::numbers::pi / 2), axis = RMatrix::RotationAxis({0, 0, 2}, std::numbers::pi / 2);
  z.Transform(1, 0, 0, o);
  EXPECT_NEAR(o[1], 1, 1e-12);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(z.m[i][j], axis.m[i][j], 1e-12);
  // Order: first the left matrix, then the right one.
  (RMatrix::Scaling(2, 2, 2) * RMatrix::Translation(1, 0, 0)).Transform(1, 0, 0, o);
  EXPECT_DOUBLE_EQ(o[0], 3);
  // Perspective: the near plane maps to depth 0, the far one to 1.
  RMatrix p = RMatrix::PerspectiveLH(2, 2, 1, 100);
  p.Transform(1, 1, 1, o);
  EXPECT_NEAR(o[2] / o[3], 0, 1e-12);
  EXPECT_NEAR(o[0] / o[3], 1, 1e-12);
  p.Transform(0, 0, 100, o);
  EXPECT_NEAR(o[2] / o[3], 1, 1e-12);
  RMatrix f = RMatrix::PerspectiveFovLH(std::numbers::pi / 2, 1, 1, 100);
  f.Transform(1, 1, 1, o);
  EXPECT_NEAR(o[1] / o[3], 1, 1e-12);
}

}  // namespace
}  // namespace kestro::test
