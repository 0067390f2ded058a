// Fonts made from typefaces (glyph tables, the packed sheet and its size) over a small rasterizer
// of boxes, the layout and placement of drawn text against a recording device, the colour rules,
// and the font functions.
#include <gtest/gtest.h>

#include <map>

#include "graphics/FakeDevice.h"
#include "graphics/Graphics.h"
#include "graphics/Text.h"
#include "resources/GameResources.h"
#include "resources/Typeface.h"
#include "script/builtins/BuiltinError.h"
#include "script/builtins/FunctionRegistry.h"

namespace kestro::test {
namespace {

// Every character a box: width 2 + c mod 5, height 8, its top 8 above the baseline (level 64 in
// the first column, 10 elsewhere); the space has no image and advances 4. `tall` rises 3 above the
// ascent; `wide` is 300 wide.
class BoxFace : public ITypeface {
 public:
  RTypefaceMetrics m{10, 13, 5, 9};
  int tall = -1, wide = -1;
  const RTypefaceMetrics& Metrics() const override { return m; }
  bool Glyph(int c, RGlyphImage& g) override {
    g = RGlyphImage{};
    if (c < 32 || c > 200) return false;
    g.advance = c == ' ' ? 4 : 2 + c % 5 + 2;
    if (c == ' ') return true;
    g.bw = c == wide ? 300 : 2 + c % 5;
    g.bh = 8;
    g.ox = 1;
    g.oy = c == tall ? 13 : 8;
    g.levels.assign(size_t(g.bw) * 8, 10);
    for (int y = 0; y < 8; ++y) g.levels[size_t(y) * size_t(g.bw)] = 64;
    return true;
  }
};

class BoxRasterizer : public ITypefaceRasterizer {
 public:
  int tall = -1, wide = -1;
  std::vector<int> sizes;
  std::vector<std::string> names;
  std::unique_ptr<ITypeface> Open(const std::string& name, int pixels, bool, bool) override {
    sizes.push_back(pixels);
    names.push_back(name);
    if (name == "broken") return nullptr;
    auto f = std::make_unique<BoxFace>();
    f->tall = tall;
    f->wide = wide;
    return f;
  }
};

class TextModel : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTypefaceRasterizer(&raster);
    CGraphics& g = Graphics();
    g.Stop();
    g = CGraphics();
    g.Attach(&dev, &window);
    g.Start(false);
    Fonts().Clear();
    auto f = std::make_unique<CFont>();
    f->CreateFont("Boxes", 12, false, false, 32, 127);
    f->InitTexture();
    Fonts().Add(std::move(f), "boxes");
    TextState() = RTextState{};
    TextState().font = 0;
    SetBuiltinErrorHandler([this](std::string_view m, bool) { errors.emplace_back(m); });
    dev.calls.clear();
  }
  void TearDown() override {
    SetBuiltinErrorHandler({});
    Fonts().Clear();
    TextState() = RTextState{};
    Graphics().Stop();
    SetTypefaceRasterizer(nullptr);
  }
  RValue Call(const char* name, std::vector<RValue> args) {
    RValue r = RValue::Real(0);
    auto id = BuiltinRegistry().Find(name);
    EXPECT_TRUE(id) << name;
    if (id) BuiltinRegistry().Call(*id, nullptr, nullptr, int32_t(args.size()), args.data(), r);
    return r;
  }
  static RValue S(const char* s) { return RValue::String(s); }
  static RValue N(double v) { return RValue::Real(v); }
  const CFont& Font() const { return *Fonts().Get(0); }
  BoxRasterizer raster;
  FakeDevice dev;
  CWindowState window;
  std::vector<std::string> errors;
};

TEST_F(TextModel, TypefaceGlyphTablesAndSheet) {
  CFont f;
  f.CreateFont("Boxes", 12, true, false, -5, 300);
  EXPECT_EQ(f.s_first, 0);
  EXPECT_EQ(f.s_last, 255);
  EXPECT_EQ(raster.sizes.back(), 16);  // 12 points at 96 pixels per inch
  // The space: no image, its own advance, the typeface's height.
  EXPECT_EQ(f.s_w[32], 4);
  EXPECT_EQ(f.s_shift[32], 4);
  EXPECT_EQ(f.s_h[32], 13);
  // 'A' (65): 2 + 0 wide, the cell from the line's top to the box's bottom, advance 4.
  EXPECT_EQ(f.s_w[65], 2);
  EXPECT_EQ(f.s_h[65], 10);
  EXPECT_EQ(f.s_shift[65], 4);
  EXPECT_EQ(f.s_offset[65], 1);
  // Characters without a glyph draw nothing and advance by 0.
  EXPECT_EQ(f.s_w[10], 0);
  EXPECT_EQ(f.s_shift[250], 0);
  EXPECT_EQ(f.s_FontHeight, 13);
  ASSERT_LE(f.s_bw, 2048);
  ASSERT_EQ(f.s_bytes.size(), size_t(f.s_bw) * size_t(f.s_bh));
  // Every glyph lies inside the sheet, no two overlap, and the coverage sits 2 rows into the
  // cell (ascent 10, top 8) with level 64 as 255 and 10 as 40.
  std::vector<int> owner(f.s_bytes.size(), -1);
  for (int c = 33; c <= 200; ++c) {
    ASSERT_LE(f.s_x[c] + f.s_w[c], f.s_bw) << c;
    ASSERT_LE(f.s_y[c] + f.s_h[c], f.s_bh) << c;
    for (int y = f.s_y[c]; y < f.s_y[c] + f.s_h[c]; ++y)
      for (int x = f.s_x[c]; x < f.s_x[c] + f.s_w[c]; ++x) {
        int& o = owner[size_t(y) * size_t(f.s_bw) + size_t(x)];
        ASSERT_EQ(o, -1) << c << " overlaps " << o;
        o = c;
      }
    auto at = [&](int x, int y) { return f.s_bytes[size_t(f.s_y[c] + y) * size_t(f.s_bw) + size_t(f.s_x[c] + x)]; };
    EXPECT_EQ(at(0, 1), 0) << c;
    EXPECT_EQ(at(0, 2), 255) << c;
    EXPECT_EQ(at(1, 9), 40) << c;
  }
}

TEST_F(TextModel, SheetSizesAndBounds) {
  CFont f;
  f.CreateFont("Boxes", 12, false, false, 65, 67);
  EXPECT_LE(f.s_bw * f.s_bh, 64 * 32);
  EXPECT_GT(f.s_bw, f.s_w[65] + f.s_w[66]);
  // One glyph wider than the halving would allow still gets a sheet that holds it whole.
  raster.wide = 65;
  f.CreateFont("Boxes", 12, false, false, 65, 65);
  EXPECT_GT(f.s_bw, 300);
  EXPECT_LE(f.s_x[65] + f.s_w[65], f.s_bw);
  // A glyph rising above the ascent is cut at its cell's top, never written above it.
  raster.wide = -1;
  raster.tall = 66;
  f.CreateFont("Boxes", 12, false, false, 65, 67);
  EXPECT_EQ(f.s_h[66], 5);
  EXPECT_EQ(f.s_bytes[size_t(f.s_y[66]) * size_t(f.s_bw) + size_t(f.s_x[66])], 255);
  // Nothing to pack: a tiny sheet; a face that cannot be read: no glyphs.
  f.CreateFont("Boxes", 12, false, false, 100, 50);
  EXPECT_EQ(f.s_bw * f.s_bh, 1);
  f.s_name = "broken";
  f.CreateFont(f.s_name, 12, false, false, 32, 127);  // the font's own name, as the builder passes it
  EXPECT_EQ(raster.names.back(), "broken");
  EXPECT_EQ(f.s_name, "broken");
  EXPECT_EQ(f.s_shift[65], 0);
  EXPECT_EQ(f.s_w[65], 0);
  // Sizes are bounded; 0 is the usual 12 points.
  EXPECT_EQ(FontPixelSize(0), 16);
  EXPECT_EQ(FontPixelSize(-12), 16);
  EXPECT_EQ(FontPixelSize(1000000), 341);
}

TEST_F(TextModel, WidthsHeightsAndWrapping) {
  const int h = Font().s_FontHeight;
  auto width = [&](const char* s) { return Call("string_width", {S(s)}).val; };
  auto adv = [&](char c) { return Font().s_shift[size_t(c)]; };
  EXPECT_EQ(width(""), 1);
  EXPECT_EQ(Call("string_height", {S("")}).val, 1);
  EXPECT_EQ(width("ab"), adv('a') + adv('b'));
  EXPECT_EQ(width("a\\#b"), adv('a') + adv('#') + adv('b'));  // one line
  EXPECT_EQ(Call("string_height", {S("a\\#b")}).val, h);
  EXPECT_EQ(Call("string_height", {S("a#b")}).val, 2 * h);
  EXPECT_EQ(Call("string_height", {S("a\r\nb\nc")}).val, 3 * h);
  EXPECT_EQ(Call("string_height_ext", {S("a#b#c"), N(5), N(-1)}).val, h + 10);
  EXPECT_EQ(width("a#bbb"), 3 * adv('b'));
  // Characters outside the range advance as the space does.
  EXPECT_EQ(width("\xC3\xA9"), adv(' '));
  // Wrapping: words end after spaces and hyphens and are never broken.
  int64_t word = 8 * adv('a') + adv(' ');
  EXPECT_EQ(Call("string_height_ext", {S("aaaaaaaa bb"), N(-1), N(double(word - 1))}).val, 2 * h);
  EXPECT_EQ(Call("string_width_ext", {S("aaaaaaaa bb"), N(-1), N(double(word - 1))}).val, word);
  EXPECT_EQ(Call("string_height_ext", {S("aaaaaaaa bb"), N(-1), N(1000)}).val, h);
  EXPECT_EQ(Call("string_height_ext", {S("well-known"), N(-1), N(double(width("well-") + 1))}).val, 2 * h);
  EXPECT_EQ(Call("string_height_ext", {S("x"), N(-1), N(0)}).val, h);
}

TEST_F(TextModel, PlacementAlignmentAndColours) {
  const CFont& f = Font();
  auto firstX = [&]() { return dev.calls.at(0).v.at(0).x; };
  // Whole pixels: -3 starts at -4, 2.9995 at 3 (the quad's corner is 0.5 before the pixel).
  Call("draw_text", {N(-3), N(0), S("A")});
  EXPECT_FLOAT_EQ(firstX(), -4 + f.s_offset[65] - 0.5f);
  dev.calls.clear();
  Call("draw_text", {N(2.9995), N(0), S("A")});
  EXPECT_FLOAT_EQ(firstX(), 3 + f.s_offset[65] - 0.5f);
  // Centre and right alignment by the line's width; any other value is left.
  int w = int(Call("string_width", {S("AB")}).val);
  Call("draw_set_halign", {N(1)});
  dev.calls.clear();
  Call("draw_text", {N(100), N(0), S("AB")});
  EXPECT_FLOAT_EQ(firstX(), 100 - w / 2 + f.s_offset[65] - 0.5f);
  Call("draw_set_halign", {N(5)});
  dev.calls.clear();
  Call("draw_text", {N(100), N(0), S("AB")});
  EXPECT_FLOAT_EQ(firstX(), 100 + f.s_offset[65] - 0.5f);
  // Bottom alignment moves up by the lines times the separation; lines follow sep apart.
  Call("draw_set_valign", {N(2)});
  dev.calls.clear();
  Call("draw_text_ext", {N(0), N(100), S("A#A"), N(20), N(-1)});
  ASSERT_EQ(dev.calls.size(), 2u);
  EXPECT_FLOAT_EQ(dev.calls[0].v[0].y, 60 - 0.5f);
  EXPECT_FLOAT_EQ(dev.calls[1].v[0].y, 80 - 0.5f);
  // Each glyph is one quad of the sheet (the space's cell is blank); characters without glyphs
  // draw nothing.
  Call("draw_set_valign", {N(0)});
  dev.calls.clear();
  Call("draw_text", {N(0), N(0), S("A B\x01")});
  ASSERT_EQ(dev.calls.size(), 3u);
  EXPECT_EQ(dev.calls[0].texture, dev.calls[2].texture);
  // Corner colours across the line: the first glyph starts with c1 (top) and c4 (bottom), the
  // last ends with c2 and c3.
  dev.calls.clear();
  Call("draw_text_color", {N(0), N(0), S("AB"), N(0x0000FF), N(0x00FF00), N(0xFF0000), N(0xFFFFFF), N(1)});
  ASSERT_EQ(dev.calls.size(), 2u);
  EXPECT_EQ(dev.calls[0].v[0].colour, 0xFFFF0000u);  // ARGB of red
  EXPECT_EQ(dev.calls[0].v[3].colour, 0xFFFFFFFFu);
  EXPECT_EQ(dev.calls[1].v[1].colour, 0xFF00FF00u);
  EXPECT_EQ(dev.calls[1].v[2].colour, 0xFF0000FFu);
  // A quarter turn: the line runs up the screen.
  dev.calls.clear();
  Call("draw_text_transformed", {N(50), N(50), S("AB"), N(1), N(1), N(90)});
  ASSERT_EQ(dev.calls.size(), 2u);
  EXPECT_NEAR(dev.calls[1].v[0].y - dev.calls[0].v[0].y, -(f.s_shift[65] + f.s_offset[66] - f.s_offset[65]), 1e-3);
}

TEST_F(TextModel, ColourRules) {
  auto c = [&](const char* fn, std::vector<RValue> a) { return Call(fn, std::move(a)).val; };
  EXPECT_EQ(c("make_color_rgb", {N(300), N(0), N(0)}), 300);
  EXPECT_EQ(c("make_color", {N(1), N(2), N(3)}), 1 + 2 * 256 + 3 * 65536);
  EXPECT_EQ(c("color_get_red", {N(300)}), 44);
  EXPECT_EQ(c("color_get_green", {N(0x123456)}), 0x34);
  EXPECT_EQ(c("color_get_blue", {N(0x123456)}), 0x12);
  EXPECT_EQ(c("make_color_hsv", {N(255), N(255), N(255)}), 255);
  EXPECT_EQ(c("make_color_hsv", {N(85), N(255), N(255)}), 0x00FF00);
  EXPECT_EQ(c("make_color_hsv", {N(0), N(0), N(128)}), 0x808080);
  EXPECT_EQ(c("merge_color", {N(0), N(0xFFFFFF), N(0.5)}), 0x808080);
  EXPECT_EQ(c("merge_color", {N(0), N(100), N(0.25)}), 25);
  EXPECT_EQ(c("color_get_hue", {N(0x00FF00)}), 85);
  EXPECT_EQ(c("color_get_saturation", {N(0x808080)}), 0);
  EXPECT_EQ(c("color_get_value", {N(0x000080)}), 128);
  // Arguments far outside any colour or room give some result and nothing worse.
  for (double v : {1e300, -1e300, 9.3e18}) {
    Call("make_color_rgb", {N(v), N(v), N(v)});
    Call("make_color_hsv", {N(v), N(v), N(v)});
    Call("merge_color", {N(v), N(0), N(v)});
    Call("draw_text", {N(v), N(-v), S("A#B")});
    Call("draw_text_ext", {N(0), N(0), S("A B"), N(v), N(v)});
  }
  Call("draw_set_color", {N(0x123456)});
  Call("draw_set_alpha", {N(7)});
  EXPECT_EQ(c("draw_get_color", {}), 0x123456);
  EXPECT_EQ(c("draw_get_alpha", {}), 1);
}

TEST_F(TextModel, FontFunctions) {
  double f = Call("font_add", {S("Boxes"), N(10), N(1), N(0), N(-5), N(300)}).val;
  EXPECT_EQ(f, 1);
  EXPECT_EQ(Call("font_get_name", {N(f)}).str.view(), "__newfont1");
  EXPECT_EQ(Call("font_get_fontname", {N(f)}).str.view(), "Boxes");
  EXPECT_EQ(Call("font_get_first", {N(f)}).val, 0);
  EXPECT_EQ(Call("font_get_last", {N(f)}).val, 255);
  EXPECT_EQ(Call("font_get_bold", {N(f)}).val, 1);
  EXPECT_GE(Fonts().Get(1)->s_tex, 0);
  EXPECT_EQ(Call("font_replace", {N(f), S("Other"), N(20), N(0), N(1), N(32), N(40)}).val, 1);
  EXPECT_EQ(Call("font_get_name", {N(f)}).str.view(), "__newfont1");
  EXPECT_EQ(Call("font_get_size", {N(f)}).val, 20);
  EXPECT_EQ(Call("font_delete", {N(f)}).val, 1);
  EXPECT_EQ(Call("font_exists", {N(f)}).val, 0);
  EXPECT_EQ(Call("font_get_size", {N(f)}).val, -1);
  EXPECT_EQ(Call("font_get_name", {N(f)}).str.view(), "<undefined>");
  EXPECT_EQ(Call("font_add_sprite", {N(3), N(32), N(1), N(0)}).val, 0);
  Call("font_replace", {N(9), S("x"), N(1), N(0), N(0), N(0), N(1)});
  Call("font_delete", {N(9)});
  EXPECT_EQ(errors,
            (std::vector<std::string>{"Trying to create font from non-existing sprite.",
                                      "Trying to replace non-existing font.", "Trying to delete non-existing font."}));
  // A sprite font: frame c - first per character, advances from the frames' boxes.
  CSprite* s = new CSprite;
  TBitmap32 a(6, 5), b(6, 5);
  a.SetPixel(1, 0, TColor32{0, 0, 0, 255});
  a.SetPixel(3, 0, TColor32{0, 0, 0, 255});
  b.Fill(0xFFFFFFFF);
  s->i_bitmap = {a, b};
  s->i_numb = 2;
  Sprites().Clear();
  Sprites().Add(std::unique_ptr<CSprite>(s), "spr");
  double sf = Call("font_add_sprite", {N(0), N(65), N(1), N(1)}).val;
  const CFont& sp = *Fonts().Get(int(sf));
  EXPECT_EQ(sp.s_first, 65);
  EXPECT_EQ(sp.s_last, 66);
  EXPECT_EQ(sp.s_shift[65], 3 + 1 - 1);
  EXPECT_EQ(sp.s_offset[65], -1);
  EXPECT_EQ(sp.s_shift[66], 5 + 1);
  EXPECT_EQ(sp.s_FontHeight, 5);
  Sprites().Clear();
}

}  // namespace
}  // namespace kestro::test
