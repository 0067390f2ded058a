// Pixel tests: everything is drawn through the real OpenGL path (headless) and read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/GlTestContext.h"

namespace kestro::test {
namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF, kBlack = 0;

// BGRA pixels from 0xRRGGBB words, all opaque unless an alpha is given.
std::vector<uint8_t> Pixels(const std::vector<uint32_t>& rgb, uint8_t alpha = 255) {
  std::vector<uint8_t> out;
  for (uint32_t c : rgb) out.insert(out.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), alpha});
  return out;
}

// A 4 x 4 image of four 2 x 2 quarters: red, green above; blue, white below.
std::vector<uint8_t> FourColours() {
  std::vector<uint32_t> px;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) px.push_back(y < 2 ? (x < 2 ? kRed : kGreen) : (x < 2 ? kBlue : kWhite));
  return Pixels(px);
}

const std::vector<std::pair<char, uint32_t>> kLegend = {
    {'.', kBlack}, {'R', kRed}, {'G', kGreen}, {'B', kBlue}, {'W', kWhite}};

void ExpectNear(const Px& got, const Px& want, const std::string& what) {
  for (int i = 0; i < 4; ++i)
    EXPECT_NEAR(got[size_t(i)], want[size_t(i)], 1) << what << " channel " << i;
}

TEST(GraphicsPixels, TextureLandsOnExactPixels) {
  CGraphics& g = FreshGraphics();
  auto img = FourColours();
  int id = g.TextureCreateFromPixels(4, 4, img.data());
  ASSERT_GE(id, 0);
  g.DrawTextureSimple(id, 10, 20);
  EXPECT_EQ(Picture(9, 19, 6, 6, kLegend), (std::vector<std::string>{
                                                "......",
                                                ".RRGG.",
                                                ".RRGG.",
                                                ".BBWW.",
                                                ".BBWW.",
                                                "......",
                                            }));
  // Scaled by two with the origin at the image's centre: the anchor is the centre.
  CGraphics& h = FreshGraphics();
  id = h.TextureCreateFromPixels(4, 4, img.data());
  h.DrawTexture(id, 0xFFFFFF, 2, 2, 20, 20, 2, 2, 0, 1);
  auto pic = Picture(15, 15, 10, 10, kLegend);
  EXPECT_EQ(pic[0], "..........");
  EXPECT_EQ(pic[1], ".RRRRGGGG.");
  EXPECT_EQ(pic[4], ".RRRRGGGG.");
  EXPECT_EQ(pic[5], ".BBBBWWWW.");
  EXPECT_EQ(pic[8], ".BBBBWWWW.");
  EXPECT_EQ(pic[9], "..........");
}

TEST(GraphicsPixels, RotationAndMirroringTurnAboutTheAnchor) {
  CGraphics& g = FreshGraphics();
  auto img = FourColours();
  int id = g.TextureCreateFromPixels(4, 4, img.data());
  // A quarter turn counter-clockwise: the top-left texel stays at the anchor, the top row
  // becomes the left column going up.
  g.DrawTexture(id, 0xFFFFFF, 0, 0, 10, 30, 1, 1, std::numbers::pi / 2, 1);
  EXPECT_EQ(Picture(9, 26, 6, 6, kLegend), (std::vector<std::string>{
                                                "......",
                                                ".GGWW.",
                                                ".GGWW.",
                                                ".RRBB.",
                                                ".RRBB.",
                                                "......",
                                            }));
  // Mirrored horizontally about the anchor: the image ends just left of it.
  g.ClearScreen(0);
  g.DrawTexture(id, 0xFFFFFF, 0, 0, 40, 10, -1, 1, 0, 1);
  EXPECT_EQ(Picture(35, 10, 6, 1, kLegend)[0], ".GGRR.");
}

TEST(GraphicsPixels, PointAndLinearFiltering) {
  CGraphics& g = FreshGraphics();
  auto img = Pixels({kBlack, kWhite});
  int id = g.TextureCreateFromPixels(2, 1, img.data());
  g.DrawTexture(id, 0xFFFFFF, 0, 0, 0, 0, 4, 1, 0, 1);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(PixelAt(x, 0)[2], x < 4 ? 0 : 255) << x;
  // Linear: pixel centre x samples texel coordinate (x + 0.5) / 4 - 0.5, clamped at the edges.
  g.SetInterpolation(true);
  g.DrawTexture(id, 0xFFFFFF, 0, 0, 0, 2, 4, 1, 0, 1);
  const int want[8] = {0, 0, 32, 96, 159, 223, 255, 255};
  for (int x = 0; x < 8; ++x) EXPECT_NEAR(PixelAt(x, 2)[2], want[x], 1) << x;
}

TEST(GraphicsPixels, PaddedTextureRepeatsTheLastColumnAndRow) {
  CGraphics& g = FreshGraphics();
  // 3 x 3 becomes a 4 x 4 texture; drawing the whole texture shows the padding.
  auto img = Pixels({kRed, kGreen, kBlue, kGreen, kBlue, kRed, kBlue, kRed, kWhite});
  int id = g.TextureCreateFromPixels(3, 3, img.data());
  ASSERT_EQ(g.Texture(id)->wt, 4);
  EXPECT_DOUBLE_EQ(g.TextureWidth(id), 0.75);
  g.DrawTexturePart(id, 0xFFFFFF, 0, 0, 4, 4, 5, 5, 1, 1, 0, 1);
  EXPECT_EQ(Picture(5, 5, 4, 4, kLegend), (std::vector<std::string>{
                                              "RGBB",
                                              "GBRR",
                                              "BRWW",
                                              "BRWW",
                                          }));
  // Linear filtering at the image's right edge therefore never pulls in a foreign colour.
  g.SetInterpolation(true);
  g.DrawTexture(id, 0xFFFFFF, 0, 0, 20, 5, 3, 3, 0, 1);
  EXPECT_EQ(PixelAt(28, 13), (Px{255, 255, 255, 255}));
}

TEST(GraphicsPixels, FilledRectangleCoversBothCorners) {
  CGraphics& g = FreshGraphics();
  const uint32_t c[4] = {0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u};
  g.DrawRectangle(2, 3, 6, 5, c, false);
  g.DrawRectangle(10.5, 3.5, 13.5, 5.5, c, false);
  EXPECT_EQ(Picture(0, 2, 16, 5, kLegend), (std::vector<std::string>{
                                               "................",
                                               "..RRRRR.........",
                                               "..RRRRR....RRR..",
                                               "..RRRRR....RRR..",
                                               "................",
                                           }));
}

TEST(GraphicsPixels, ClearStaysInsideTheViewport) {
  CGraphics& g = FreshGraphics(0x0000FF);
  g.SetViewport(4, 2, 3, 2);
  g.ClearScreen(0xFF0000);  // blue as a game colour
  EXPECT_EQ(Picture(3, 1, 5, 4, kLegend), (std::vector<std::string>{
                                              "RRRRR",
                                              "RBBBR",
                                              "RBBBR",
                                              "RRRRR",
                                          }));
  // Drawing is clipped to the viewport as well.
  const uint32_t c[4] = {0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u};
  g.SetProjection(0, 0, 64, 64, 0);
  g.SetViewport(0, 0, 64, 64);
  g.SetViewport(20, 20, 2, 2);
  g.SetProjection(20, 20, 2, 2, 0);
  g.DrawRectangle(0, 0, 63, 63, c, false);
  EXPECT_EQ(Picture(19, 19, 4, 4, kLegend), (std::vector<std::string>{
                                                "RRRR",
                                                "RGGR",
                                                "RGGR",
                                                "RRRR",
                                            }));
}

// ---- blending ----

struct Rgba {
  double r, g, b, a;
};

// The blend equation of the original device: result = src x Fs + dest x Fd, clamped.
Rgba Factor(int f, const Rgba& s, const Rgba& d) {
  switch (f) {
    case kBlendZero: return {0, 0, 0, 0};
    case kBlendOne: return {1, 1, 1, 1};
    case kBlendSrcColor: return s;
    case kBlendInvSrcColor: return {1 - s.r, 1 - s.g, 1 - s.b, 1 - s.a};
    case kBlendSrcAlpha: return {s.a, s.a, s.a, s.a};
    case kBlendInvSrcAlpha: return {1 - s.a, 1 - s.a, 1 - s.a, 1 - s.a};
    case kBlendDestAlpha: return {d.a, d.a, d.a, d.a};
    case kBlendInvDestAlpha: return {1 - d.a, 1 - d.a, 1 - d.a, 1 - d.a};
    case kBlendDestColor: return d;
    case kBlendInvDestColor: return {1 - d.r, 1 - d.g, 1 - d.b, 1 - d.a};
    case kBlendSrcAlphaSat: {
      double m = std::min(s.a, 1 - d.a);
      return {m, m, m, 1};
    }
  }
  return {0, 0, 0, 0};
}

Rgba Blend(int fs, int fd, const Rgba& s, const Rgba& d) {
  if (fs == kBlendBothSrcAlpha) return Blend(kBlendSrcAlpha, kBlendInvSrcAlpha, s, d);
  if (fs == kBlendBothInvSrcAlpha) return Blend(kBlendInvSrcAlpha, kBlendSrcAlpha, s, d);
  Rgba a = Factor(fs, s, d), b = Factor(fd, s, d);
  auto mix = [](double x, double fx, double y, double fy) { return std::clamp(x * fx + y * fy, 0.0, 1.0); };
  return {mix(s.r, a.r, d.r, b.r), mix(s.g, a.g, d.g, b.g), mix(s.b, a.b, d.b, b.b), mix(s.a, a.a, d.a, b.a)};
}

Px ToPx(const Rgba& c) {
  auto q = [](double v) { return int(std::lround(v * 255)); };
  return {q(c.b), q(c.g), q(c.r), q(c.a)};
}

uint32_t Argb(const Rgba& c) {
  Px p = ToPx(c);
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | uint32_t(p[0]);
}

void CheckBlendTable(CGraphics& g, uint32_t target) {
  // Colours that are exact in 8 bits, so only the blend itself rounds.
  const Rgba src{200 / 255.0, 100 / 255.0, 40 / 255.0, 153 / 255.0};
  const Rgba dst{60 / 255.0, 180 / 255.0, 220 / 255.0, target ? 102 / 255.0 : 1.0};
  const uint32_t c[4] = {Argb(src), Argb(src), Argb(src), Argb(src)};
  std::vector<std::pair<int, int>> pairs;
  for (int s = 1; s <= 11; ++s)
    for (int d = 1; d <= 11; ++d) pairs.push_back({s, d});
  pairs.push_back({kBlendBothSrcAlpha, kBlendOne});
  pairs.push_back({kBlendBothInvSrcAlpha, kBlendOne});
  for (auto [s, d] : pairs) {
    g.SetBlendFactors(kBlendOne, kBlendZero);
    // Write the destination colour exactly (alpha included on a render target).
    g.DrawRectangle(0, 0, 3, 3, std::array<uint32_t, 4>{Argb(dst), Argb(dst), Argb(dst), Argb(dst)}.data(), false);
    g.SetBlendFactors(s, d);
    g.DrawRectangle(0, 0, 3, 3, c, false);
    Px want = ToPx(Blend(s, d, src, dst));
    if (!target) want[3] = 255;  // the screen's alpha always reads as opaque
    ExpectNear(PixelAt(1, 1, target), want,
               "factors " + std::to_string(s) + "," + std::to_string(d) + (target ? " on a target" : " on screen"));
  }
}

TEST(GraphicsPixels, BlendFactorsFollowTheFormulaOnScreen) {
  CGraphics& g = FreshGraphics();
  CheckBlendTable(g, 0);
}

TEST(GraphicsPixels, BlendFactorsFollowTheFormulaOnARenderTarget) {
  CGraphics& g = FreshGraphics();
  int t = g.TextureCreate(8, 8, true);
  ASSERT_GE(t, 0);
  ASSERT_TRUE(g.SetRenderTarget(t));
  g.SetProjection(0, 0, 8, 8, 0);
  CheckBlendTable(g, g.Texture(t)->handle);
  g.SetRenderTarget(-1);
}

TEST(GraphicsPixels, BlendModes) {
  CGraphics& g = FreshGraphics(0x204080);  // r 0x80, g 0x40, b 0x20
  const uint32_t c[4] = {0x80FF8040u, 0x80FF8040u, 0x80FF8040u, 0x80FF8040u};
  struct Case {
    int mode;
    Px want;  // b, g, r
  } cases[] = {
      {0, {48, 96, 191, 255}},    // normal: src x a + dest x (1 - a), a = 128/255
      {1, {64, 128, 255, 255}},   // additive
      {2, {56, 96, 128, 255}},    // src x a + dest x (1 - src)
      {3, {24, 32, 0, 255}},      // dest x (1 - src)
  };
  for (const Case& k : cases) {
    g.SetBlendMode(0);
    g.ClearScreen(0x204080);
    g.SetBlendMode(k.mode);
    g.DrawRectangle(0, 0, 2, 2, c, false);
    ExpectNear(PixelAt(1, 1), k.want, "mode " + std::to_string(k.mode));
  }
}

TEST(GraphicsPixels, AlphaTestDropsTransparentFragmentsInHiddenSurfaceMode) {
  CGraphics& g = FreshGraphics(0x0000FF);
  std::vector<uint8_t> img = {0, 0, 255, 0, /* */ 0, 255, 0, 1};  // red alpha 0, green alpha 1
  int id = g.TextureCreateFromPixels(2, 1, img.data());
  g.SetBlendFactors(kBlendOne, kBlendZero);
  g.DrawTexture(id, 0xFFFFFF, 0, 0, 0, 0, 1, 1, 0, 1);
  EXPECT_EQ(PixelAt(0, 0)[2], 255);
  g.Set3DMode(true, true, false);
  g.ClearScreen(0x0000FF);
  g.DrawTexture(id, 0xFFFFFF, 0, 0, 0, 0, 1, 1, 0, 1);
  EXPECT_EQ(PixelAt(0, 0), (Px{0, 0, 255, 255}));  // kept: the clear colour
  EXPECT_EQ(PixelAt(1, 0), (Px{0, 255, 0, 255}));
  g.Set3DMode(false, false, false);
}

TEST(GraphicsPixels, TextureBlendingModulatesOrSelects) {
  CGraphics& g = FreshGraphics();
  auto img = Pixels({0x808080});
  int id = g.TextureCreateFromPixels(1, 1, img.data());
  g.DrawTexture(id, 0x0000FF, 0, 0, 0, 0, 1, 1, 0, 1);  // game colour red
  ExpectNear(PixelAt(0, 0), {0, 0, 128, 255}, "modulated");
  g.SetTextureBlending(false);
  g.DrawTexture(id, 0x0000FF, 0, 0, 1, 0, 1, 1, 0, 1);
  ExpectNear(PixelAt(1, 0), {128, 128, 128, 255}, "selected");
  // Untextured, the stage reads opaque white.
  const uint32_t c[4] = {0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u};
  g.DrawRectangle(2, 0, 2, 0, c, false);
  ExpectNear(PixelAt(2, 0), {255, 255, 255, 255}, "untextured selected");
}

TEST(GraphicsPixels, RenderTargetKeepsItsTopRowOnTop) {
  CGraphics& g = FreshGraphics();
  int t = g.TextureCreate(4, 4, true);
  ASSERT_TRUE(g.SetRenderTarget(t));
  g.SetProjection(0, 0, 4, 4, 0);
  g.ClearScreen(0, 0);
  const uint32_t red[4] = {0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u};
  g.DrawRectangle(0, 0, 3, 0, red, false);  // the top row
  ASSERT_TRUE(g.SetRenderTarget(-1));
  g.SetViewport(0, 0, 64, 64);
  g.SetProjection(0, 0, 64, 64, 0);
  g.DrawTextureSimple(t, 8, 8);
  EXPECT_EQ(Picture(8, 8, 4, 2, kLegend), (std::vector<std::string>{"RRRR", "...."}));
}

TEST(GraphicsPixels, GrabScreenIsCutToTheRegion) {
  CGraphics& g = FreshGraphics(0x00FF00);
  g.SetDeviceRegion(20, 10);
  RGrab grab;
  ASSERT_TRUE(g.GrabScreen(-5, 5, 100, 100, grab));
  EXPECT_EQ(grab.width, 20);
  EXPECT_EQ(grab.height, 5);
  EXPECT_EQ(grab.bgra[1], 255);
  EXPECT_EQ(grab.bgra[3], 255);
  EXPECT_FALSE(g.GrabScreen(20, 0, 5, 5, grab));
  EXPECT_EQ(g.GetPixel(3, 3), 0x00FF00);
}

TEST(GraphicsPixels, LinesIncludeBothEndPixels) {
  CGraphics& g = FreshGraphics();
  const uint32_t red = 0xFFFF0000u;
  g.DrawLine(2, 1, 6, 1, red, red);
  g.DrawLine(2, 3, 2, 7, red, red);
  g.DrawLine(4, 3, 8, 7, red, red);
  g.DrawLine(14, 3, 10, 7, red, red);
  g.DrawPoint(1, 1, 0xFF00FF00u);
  EXPECT_EQ(Picture(0, 0, 16, 9, kLegend), (std::vector<std::string>{
                                               "................",
                                               ".GRRRRR.........",
                                               "................",
                                               "..R.R.........R.",
                                               "..R..R.......R..",
                                               "..R...R.....R...",
                                               "..R....R...R....",
                                               "..R.....R.R.....",
                                               "................",
                                           }));
}

TEST(GraphicsPixels, FlatShadingTakesTheFirstVertexColour) {
  CGraphics& g = FreshGraphics();
  g.DrawTriangle(0, 0, 30, 0, 0, 30, 0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, false);
  Px smooth = PixelAt(8, 8);
  EXPECT_NE(smooth, (Px{0, 0, 255, 255}));  // a blend of the three
  g.SetShading(false);
  g.DrawTriangle(0, 0, 30, 0, 0, 30, 0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, false);
  EXPECT_EQ(PixelAt(8, 8), (Px{0, 0, 255, 255}));
  EXPECT_EQ(PixelAt(20, 2), (Px{0, 0, 255, 255}));
  g.SetShading(true);
}

TEST(GraphicsPixels, LightingAddsAmbientAndDiffuse) {
  CGraphics& g = FreshGraphics();
  g.Set3DMode(true, false, false);
  g.SetLightingOn(true);
  g.SetAmbient(0x202020);
  RLight sun;
  sun.z = 1;  // travelling away from the eye, onto faces whose normal points at it
  sun.r = sun.g = sun.b = 1;
  g.SetLight(0, sun);
  auto quad = [&](double x) {
    RVertex v[4];
    const double xs[4] = {x, x + 4, x + 4, x}, ys[4] = {0, 0, 4, 4};
    for (int i = 0; i < 4; ++i) v[i] = RVertex{float(xs[i]), float(ys[i]), 0, 0xFF643200u, 0, 0, 0, 0, -1};
    g.DrawPrimitive(EPrimitive::TriangleFan, v, 4, -1);
  };
  quad(0);  // the light is not enabled yet: ambient only
  g.EnableLight(0, true);
  quad(10);
  RLight lamp;
  lamp.point = true;
  lamp.x = 30;
  lamp.z = -100;  // 100 away, beyond its range
  lamp.r = 1;
  lamp.range = 50;
  g.SetLight(0, lamp);
  quad(20);
  lamp.range = 1000;
  lamp.att1 = 0.01f;  // 1 / (1 + 0.01 x 100) = 0.5
  g.SetLight(0, lamp);
  quad(30);
  ExpectNear(PixelAt(1, 1), {32, 32, 32, 255}, "ambient");
  ExpectNear(PixelAt(11, 1), {32, 82, 132, 255}, "directional");
  ExpectNear(PixelAt(21, 1), {32, 32, 32, 255}, "out of range");
  // Straight in front of the lamp: red only, at half strength.
  ExpectNear(PixelAt(30, 0), {32, 32, 82, 255}, "point");
  g.SetLightingOn(false);
  g.Set3DMode(false, false, false);
}

TEST(GraphicsPixels, HiddenSurfaceRemovalKeepsTheNearerQuad) {
  CGraphics& g = FreshGraphics();
  g.Set3DMode(true, true, false);
  g.ClearScreen(0);
  const uint32_t red[4] = {0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u};
  const uint32_t green[4] = {0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u};
  g.SetDepth(-100);  // nearer to the eye
  g.DrawRectangle(0, 0, 3, 3, red, false);
  g.SetDepth(100);
  g.DrawRectangle(2, 2, 5, 5, green, false);
  EXPECT_EQ(Picture(0, 0, 6, 6, kLegend), (std::vector<std::string>{
                                              "RRRR..",
                                              "RRRR..",
                                              "RRRRGG",
                                              "RRRRGG",
                                              "..GGGG",
                                              "..GGGG",
                                          }));
  g.Set3DMode(false, false, false);
}

// ---- presenting into the window ----

TEST(GraphicsPixels, PresentPlacesTheRegionByTheScaleRules) {
  GlContext& c = GlContext::Get();
  CGraphics& g = FreshGraphics(0xFFFFFF);
  KeepSurface surface(&c.window);
  c.device.SetSurface(&surface);
  SDL_SetWindowSize(c.window.Handle(), 100, 60);
  CWindowState& w = *c.state;
  w.clientW = 100;
  w.clientH = 60;
  w.colour = 0x0000FF;  // red bands
  g.SetDeviceRegion(32, 24);
  w.regionW = 32;
  w.regionH = 24;
  int dw, dh;
  c.window.DrawableSize(dw, dh);
  ASSERT_EQ(dw, 100);
  ASSERT_EQ(dh, 60);
  struct Case {
    double scale;
    RPixelRect dest;
  } cases[] = {
      {-1, {10, 0, 80, 60}},   // fit: factor 2.5
      {0, {0, 0, 100, 60}},    // stretch
      {2, {18, 6, 64, 48}},    // fixed factor, centred
      {4, {-14, -18, 128, 96}},  // larger than the client: centred and cut
  };
  for (const Case& k : cases) {
    w.scale = k.scale;
    ASSERT_EQ(w.Destination(), k.dest) << k.scale;
    ASSERT_TRUE(g.PresentFrame());
    std::vector<uint8_t> px(size_t(dw) * size_t(dh) * 4);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadPixels(0, 0, dw, dh, GL_BGRA, GL_UNSIGNED_BYTE, px.data());
    auto at = [&](int x, int y) {  // client coordinates, rows from the top
      const uint8_t* p = &px[(size_t(dh - 1 - y) * size_t(dw) + size_t(x)) * 4];
      return Px{p[0], p[1], p[2], p[3]};
    };
    const Px white{255, 255, 255, 255}, red{0, 0, 255, 255};
    for (int y = 0; y < dh; ++y)
      for (int x = 0; x < dw; ++x) {
        bool inside = x >= k.dest.x && x < k.dest.x + k.dest.w && y >= k.dest.y && y < k.dest.y + k.dest.h;
        ASSERT_EQ(at(x, y), inside ? white : red) << "scale " << k.scale << " at " << x << "," << y;
      }
  }
  c.device.SetSurface(nullptr);
}

}  // namespace
}  // namespace kestro::test

namespace kestro::test {
namespace {

TEST(GraphicsPixels, MultisamplingAfterADisplayReset) {
  CGraphics& g = FreshGraphics();
  if (!(g.DisplayAA() & 4)) GTEST_SKIP() << "no 4-sample multisampling here";
  // A triangle's slanted edge: without samples every pixel is all or nothing.
  auto edgeShades = [&] {
    g.ClearScreen(0);
    g.DrawTriangle(0, 0, 16, 0, 0, 16, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, false);
    int partial = 0;
    for (int x = 1; x < 16; ++x) {  // centres on the edge x + y = 16
      int r = PixelAt(x, 16 - x)[2];
      partial += r > 0 && r < 255;
    }
    return partial;
  };
  EXPECT_EQ(edgeShades(), 0);
  g.RequestDisplayReset(4);
  EXPECT_TRUE(g.DisplayResetPending());
  g.ApplyDisplayReset();
  EXPECT_FALSE(g.DisplayResetPending());
  EXPECT_EQ(PixelAt(3, 3), (Px{0, 0, 0, 255}));  // cleared to black
  EXPECT_GT(edgeShades(), 8);
  g.RequestDisplayReset(0);
  g.ApplyDisplayReset();
  EXPECT_EQ(edgeShades(), 0);
}

}  // namespace
}  // namespace kestro::test
