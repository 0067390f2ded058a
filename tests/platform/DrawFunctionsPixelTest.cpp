// The drawing functions of game code through the real OpenGL path (headless): exact pixels where
// the rules decide them, presence where rasterization is free; text in an installed typeface and
// in a stand-in for a missing one; surfaces and screen images saved and read back.
#include <gtest/gtest.h>

#include <filesystem>

#include "graphics/Surfaces.h"
#include "graphics/Text.h"
#include "platform/GlTestContext.h"
#include "platform/sdl/FreeTypeFonts.h"
#include "resources/Bitmap32.h"
#include "resources/GameResources.h"
#include "script/builtins/BuiltinError.h"
#include "script/builtins/FunctionRegistry.h"
#include "support/TestSupport.h"

namespace kestro::test {
namespace {

RValue Call(const char* name, std::vector<RValue> args) {
  RValue r = RValue::Real(0);
  auto id = BuiltinRegistry().Find(name);
  EXPECT_TRUE(id) << name;
  if (id) BuiltinRegistry().Call(*id, nullptr, nullptr, int32_t(args.size()), args.data(), r);
  return r;
}
RValue N(double v) { return RValue::Real(v); }
RValue S(const std::string& s) { return RValue::String(RString(s)); }

const Px K{0, 0, 0, 255}, R{0, 0, 255, 255}, G{0, 255, 0, 255}, B{255, 0, 0, 255}, W{255, 255, 255, 255};

class DrawPixels : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTypefaceRasterizer(&fonts);
    GlContext& c = GlContext::Get();
    CGraphics& g = Graphics();
    g.Stop();
    g = CGraphics();
    g.Attach(&c.device, c.state);
    g.Start(false);
    g.SetDeviceRegion(64, 64);
    g.SetInterpolation(false);
    g.ClearScreen(0);
    TextState() = RTextState{};
    SetBuiltinErrorHandler([this](std::string_view m, bool) { errors.emplace_back(m); });
  }
  void TearDown() override {
    SetBuiltinErrorHandler({});
    Surfaces().FreeAll();
    Fonts().Clear();
    SetTypefaceRasterizer(nullptr);
  }
  static bool Lit(const Px& p) { return p[0] + p[1] + p[2] > 0; }
  platform::FreeTypeRasterizer fonts;
  std::vector<std::string> errors;
};

TEST_F(DrawPixels, PrimitivesExactAndPresent) {
  Call("draw_set_color", {N(0x0000FF)});  // red
  Call("draw_rectangle", {N(2), N(2), N(5), N(5), N(0)});
  Call("draw_rectangle", {N(10), N(2), N(14), N(6), N(1)});
  Call("draw_point", {N(20), N(3)});
  Call("draw_line", {N(30), N(3), N(35), N(3)});
  struct Case {
    int x, y;
    Px want;
  };
  const Case exact[] = {
      {2, 2, R},  {5, 5, R},  {6, 5, K},  {5, 6, K},  {1, 2, K},   // filled, both far edges included
      {10, 2, R}, {14, 6, R}, {12, 4, K}, {14, 2, R}, {10, 6, R},  // outline, hollow inside
      {20, 3, R}, {21, 3, K}, {19, 3, K},                          // one pixel
      {30, 3, R}, {35, 3, R}, {36, 3, K}, {29, 3, K},              // a line with its last pixel
  };
  for (const Case& c : exact) EXPECT_EQ(PixelAt(c.x, c.y), c.want) << c.x << "," << c.y;
  // Circles, ellipses, triangles, round rectangles, arrows: their middle lit, far corners not.
  Call("draw_clear", {N(0)});
  Call("draw_circle", {N(10), N(10), N(6), N(0)});
  Call("draw_ellipse", {N(20), N(4), N(34), N(12), N(0)});
  Call("draw_triangle", {N(40), N(4), N(56), N(4), N(40), N(20), N(0)});
  Call("draw_roundrect", {N(4), N(30), N(30), N(50), N(0)});
  Call("draw_set_circle_precision", {N(64)});
  Call("draw_circle", {N(48), N(40), N(8), N(1)});
  EXPECT_TRUE(Lit(PixelAt(10, 10)));
  EXPECT_FALSE(Lit(PixelAt(5, 5)));
  EXPECT_TRUE(Lit(PixelAt(27, 8)));
  EXPECT_FALSE(Lit(PixelAt(21, 5)));
  EXPECT_TRUE(Lit(PixelAt(43, 7)));
  EXPECT_FALSE(Lit(PixelAt(54, 18)));
  EXPECT_TRUE(Lit(PixelAt(17, 40)));
  EXPECT_TRUE(Lit(PixelAt(5, 40)));
  EXPECT_FALSE(Lit(PixelAt(4, 30)));
  EXPECT_TRUE(Lit(PixelAt(56, 40)));   // the outline's rightmost point
  EXPECT_FALSE(Lit(PixelAt(48, 40)));  // hollow
  // Width lines, arrows and user primitives.
  Call("draw_clear", {N(0)});
  Call("draw_line_width", {N(2), N(10), N(20), N(10), N(4)});
  Call("draw_arrow", {N(2), N(30), N(30), N(30), N(8)});
  Call("draw_primitive_begin", {N(4)});
  for (auto [x, y] : {std::pair{40, 40}, {60, 40}, {40, 60}}) Call("draw_vertex", {N(x), N(y)});
  Call("draw_primitive_end", {});
  EXPECT_EQ(PixelAt(10, 9), R);
  EXPECT_EQ(PixelAt(10, 11), R);
  EXPECT_FALSE(Lit(PixelAt(10, 14)));
  EXPECT_TRUE(Lit(PixelAt(10, 30)));
  EXPECT_TRUE(Lit(PixelAt(23, 28)));  // the head is wider than the line
  EXPECT_TRUE(Lit(PixelAt(43, 43)));
  EXPECT_FALSE(Lit(PixelAt(58, 58)));
}

TEST_F(DrawPixels, ColoursAlphaBlendingAndShapes) {
  // Half alpha over black, then additive blending of green onto red.
  Call("draw_set_color", {N(0x0000FF)});
  Call("draw_set_alpha", {N(0.5)});
  Call("draw_rectangle", {N(0), N(0), N(3), N(3), N(0)});
  Px half = PixelAt(1, 1);
  EXPECT_NEAR(half[2], 128, 1);
  Call("draw_set_alpha", {N(1)});
  Call("draw_rectangle", {N(10), N(0), N(13), N(3), N(0)});
  Call("draw_set_blend_mode", {N(1)});
  Call("draw_set_color", {N(0x00FF00)});
  Call("draw_rectangle", {N(10), N(0), N(13), N(3), N(0)});
  Call("draw_set_blend_mode", {N(0)});
  EXPECT_EQ(PixelAt(11, 1), (Px{0, 255, 255, 255}));
  // Four-colour rectangles: each corner its colour.
  Call("draw_rectangle_color", {N(20), N(0), N(29), N(9), N(0x0000FF), N(0x00FF00), N(0xFF0000), N(0xFFFFFF), N(0)});
  EXPECT_EQ(PixelAt(20, 0), R);
  EXPECT_GT(PixelAt(29, 0)[1], 200);
  EXPECT_GT(PixelAt(29, 9)[0], 200);
  // A health bar at 50 from the left: the bar's colour is the middle colour; the back shows after.
  Call("draw_healthbar", {N(0), N(20), N(39), N(29), N(50), N(0xFF0000), N(0x0000FF), N(0x00FF00), N(0), N(1), N(0)});
  Px bar = PixelAt(5, 25);
  EXPECT_EQ(bar[2], 128);
  EXPECT_EQ(bar[1], 128);
  EXPECT_EQ(PixelAt(35, 25), B);
  // A button: white top-left, grey bottom-right, the drawing colour inside.
  Call("draw_set_color", {N(0x0000FF)});
  Call("draw_button", {N(40), N(40), N(60), N(60), N(1)});
  EXPECT_EQ(PixelAt(40, 40), W);
  EXPECT_EQ(PixelAt(59, 59), (Px{128, 128, 128, 255}));
  EXPECT_EQ(PixelAt(50, 50), R);
  // draw_getpixel reads the screen as a game colour.
  EXPECT_EQ(Call("draw_getpixel", {N(50), N(50)}).val, 0x0000FF);
  EXPECT_EQ(Call("draw_getpixel", {N(-100), N(5000)}).val, 0);
}

TEST_F(DrawPixels, TextInAnInstalledTypefaceAndAStandIn) {
  // The default font is "Arial" 12, which fontconfig maps onto its metric-compatible stand-in.
  EXPECT_EQ(platform::FreeTypeRasterizer::MatchFamily("Arial", false, false), "Liberation Sans");
  EXPECT_EQ(Call("string_width", {S("Hello")}).val, 38);
  EXPECT_EQ(Call("string_height", {S("Hello")}).val, 19);
  EXPECT_EQ(Call("string_height", {S("Hello#World")}).val, 38);
  Call("draw_set_color", {N(0xFFFFFF)});
  Call("draw_text", {N(2), N(2), S("IIII")});
  int lit = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) lit += Lit(PixelAt(x, y)) ? 1 : 0;
  EXPECT_GT(lit, 20);
  EXPECT_FALSE(Lit(PixelAt(40, 10)));
  // A typeface that is not installed: fontconfig's stand-in renders it, noted once.
  SetTypefaceNotes(true);
  testing::internal::CaptureStderr();
  double f = Call("font_add", {S("No Such Typeface Kx"), N(12), N(0), N(0), N(32), N(127)}).val;
  Call("font_add", {S("No Such Typeface Kx"), N(14), N(1), N(0), N(32), N(127)});
  std::string notes = testing::internal::GetCapturedStderr();
  SetTypefaceNotes(false);
  EXPECT_EQ(notes.find("No Such Typeface Kx"), notes.rfind("No Such Typeface Kx")) << notes;
  EXPECT_NE(notes.find("is not installed"), std::string::npos) << notes;
  Call("draw_set_font", {N(f)});
  EXPECT_GT(Call("string_width", {S("Hello")}).val, 20);
  Call("draw_clear", {N(0)});
  Call("draw_text_transformed", {N(10), N(40), S("HH"), N(2), N(2), N(0)});
  lit = 0;
  for (int y = 30; y < 64; ++y)
    for (int x = 0; x < 64; ++x) lit += Lit(PixelAt(x, y)) ? 1 : 0;
  EXPECT_GT(lit, 40);
}

TEST_F(DrawPixels, SurfacesRoundTripAndScreenImages) {
  ScratchDir dir;
  double s = Call("surface_create", {N(20), N(10)}).val;
  ASSERT_GE(s, 0);
  EXPECT_EQ(Call("surface_get_width", {N(s)}).val, 20);
  EXPECT_EQ(Call("surface_set_target", {N(s)}).val, 1);
  EXPECT_EQ(Call("surface_set_target", {N(s)}).val, 1);  // already the target
  Call("draw_clear_alpha", {N(0x0000FF), N(0.5)});
  Call("draw_set_color", {N(0x00FF00)});
  Call("draw_rectangle", {N(0), N(0), N(4), N(4), N(0)});
  Call("surface_reset_target", {});
  EXPECT_EQ(Call("surface_getpixel", {N(s), N(2), N(2)}).val, 0x00FF00);
  EXPECT_EQ(Call("surface_getpixel", {N(s), N(10), N(5)}).val, 0x0000FF);
  // Saved as PNG with its alpha, read back by the picture reader.
  std::string png = (dir / "surface.PNG").string();
  Call("surface_save", {N(s), S(png)});
  TBitmap32 bm;
  std::string error;
  ASSERT_TRUE(bm.LoadFromPng(png, error)) << error;
  ASSERT_EQ(bm.Width(), 20);
  ASSERT_EQ(bm.Height(), 10);
  EXPECT_EQ(bm.GetPixel(2, 2), (TColor32{0, 255, 0, 255}));
  EXPECT_EQ(bm.GetPixel(10, 5), (TColor32{0, 0, 255, 128}));
  // Drawn onto the screen as a background is; copied into another surface pixel for pixel.
  Call("draw_surface", {N(s), N(30), N(30)});
  EXPECT_EQ(PixelAt(32, 32), G);
  double t = Call("surface_create", {N(8), N(8)}).val;
  Call("surface_copy_part", {N(t), N(-2), N(1), N(s), N(0), N(0), N(6), N(6)});
  EXPECT_EQ(Call("surface_getpixel", {N(t), N(0), N(1)}).val, 0x00FF00);
  EXPECT_EQ(Call("surface_getpixel", {N(t), N(3), N(1)}).val, 0x0000FF);
  // Bad input: absurd sizes fail cleanly, saving into a missing folder is quiet, empty names and
  // missing surfaces are reported.
  EXPECT_EQ(Call("surface_create", {N(100000), N(100000)}).val, -1);
  EXPECT_EQ(Call("surface_create", {N(0), N(10)}).val, -1);
  Call("surface_save", {N(s), S((dir / "missing" / "x.png").string())});
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
  Call("surface_save", {N(s), S("")});
  Call("draw_surface", {N(77), N(0), N(0)});
  Call("surface_free", {N(s)});
  EXPECT_EQ(Call("surface_exists", {N(s)}).val, 0);
  EXPECT_EQ(errors, (std::vector<std::string>{"Trying to save surface to empty image file name.",
                                              "Trying to use non-existing surface."}));
  // The screen: PNG by its extension (any case), opaque; any other extension a bitmap file.
  Call("screen_save_part", {S((dir / "part.png").string()), N(30), N(30), N(4), N(4)});
  ASSERT_TRUE(bm.LoadFromPng((dir / "part.png").string(), error)) << error;
  EXPECT_EQ(bm.Width(), 4);
  EXPECT_EQ(bm.GetPixel(1, 1), (TColor32{0, 255, 0, 255}));
  Call("screen_save", {S((dir / "shot.jpg").string())});
  std::vector<uint8_t> bytes = ReadBytes(dir / "shot.jpg");
  ASSERT_GT(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
}

}  // namespace
}  // namespace kestro::test
