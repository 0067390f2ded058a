// Sprites and backgrounds made from the screen and from surfaces through a recording device: the
// rectangle cut to the region or the surface, the three-way background removal, images added to
// sprites stretched to their size, a texture for every new image, and one 0 x 0 image when the
// grab finds nothing.
#include <gtest/gtest.h>

#include <string>

#include "graphics/FakeDevice.h"
#include "graphics/Graphics.h"
#include "graphics/Surfaces.h"
#include "script/Code.h"
#include "script/Executor.h"
#include "support/WorldFixture.h"

namespace kestro::test {
namespace {

class ScreenResources : public WorldFixture {
 protected:
  void SetUp() override {
    WorldFixture::SetUp();
    StartWorld();
    Graphics().Attach(&dev, &window);
    Graphics().Start(false);
  }
  void TearDown() override {
    Surfaces().FreeAll();
    Graphics().Stop();
    Graphics().Attach(nullptr, nullptr);
    WorldFixture::TearDown();
  }
  std::string Said(const std::string& text) {
    out_.clear();
    CCode code(text, CodeKind::kProgram);
    EXPECT_TRUE(code.Compile()) << code.CompileError();
    CInstance self;
    RValue r;
    ExecuteCode(&self, &self, code, r);
    return out_;
  }
  FakeDevice dev;  // every pixel it reads is 7, 7, 7 with alpha 7
  CWindowState window;
};

TEST_F(ScreenResources, SpritesAndBackgroundsFromTheScreen) {
  // removeback is truncated toward zero: 0.7 keeps the pixels, -1 makes them opaque, 1.9 removes
  // the background (every pixel has the bottom-left colour).
  EXPECT_EQ(Said("a = sprite_create_from_screen(630, 0, 20, 3, 0.7, 0, 2, 1);"
                 "b = sprite_create_from_screen(0, 0, 4, 4, -1, 0, 0, 0);"
                 "c = sprite_create_from_screen(0, 0, 4, 4, 1.9, 0, 0, 0);"
                 "d = sprite_create_from_screen(700, 0, 4, 4, 0, 0, 0, 0);"
                 "show_debug_message(string(a) + string(b) + string(c) + string(d) + sprite_get_name(d));"
                 "show_debug_message(string(sprite_get_width(a)) + 'x' + string(sprite_get_height(a)) + ' ' +"
                 " string(sprite_get_xoffset(a)) + string(sprite_get_yoffset(a)));"
                 "show_debug_message(string(sprite_get_number(d)) + ' ' + string(sprite_get_width(d)));"
                 "sprite_add_from_screen(a, 0, 0, 2, 2, 0.5, 0.5); show_debug_message(sprite_get_number(a));"
                 "sprite_add_from_screen(9, 0, 0, 2, 2, 0, 0);"
                 "e = background_create_from_screen(0, 470, 8, 20, 0, 0);"
                 "show_debug_message(string(e) + background_get_name(e) + ' ' + string(background_get_width(e)) + 'x' +"
                 " string(background_get_height(e)))"),
            "0123__newsprite3;10x3 21;1 0;2;E[Trying to add to non-existing sprite.];0__newbackground0 8x10;");
  EXPECT_EQ(Sprites().Get(0)->i_bitmap[0].GetPixel(0, 0).a, 7);
  EXPECT_EQ(Sprites().Get(1)->i_bitmap[0].GetPixel(0, 0).a, 255);
  EXPECT_EQ(Sprites().Get(2)->i_bitmap[0].GetPixel(0, 0).a, 0);
  // The added image is stretched to the sprite's size; every image has a texture.
  EXPECT_EQ(Sprites().Get(0)->i_bitmap[1].Width(), 10);
  EXPECT_GE(Sprites().Get(0)->GetTexture(1), 0);
  EXPECT_GE(Backgrounds().Get(0)->GetTexture(), 0);
}

TEST_F(ScreenResources, SpritesAndBackgroundsFromASurfaceAreCutToIt) {
  EXPECT_EQ(Said("s = surface_create(8, 6);"
                 "a = sprite_create_from_surface(s, 5, 2, 10, 10, 0, 0, 0, 0);"
                 "b = sprite_create_from_surface(s + 1, 0, 0, 4, 4, 0, 0, 0, 0);"
                 "show_debug_message(string(sprite_get_width(a)) + 'x' + string(sprite_get_height(a)) + ' ' +"
                 " string(sprite_get_width(b)));"
                 "sprite_add_from_surface(a, s, 0, 0, 8, 6, 0, 0); show_debug_message(sprite_get_number(a));"
                 "sprite_add_from_surface(7, s, 0, 0, 8, 6, 0, 0);"
                 "c = background_create_from_surface(s, 0, 0, 3, 2, 0, 0);"
                 "show_debug_message(string(background_get_width(c)) + 'x' + string(background_get_height(c)))"),
            "3x4 0;2;E[Trying to add to non-existing sprite.];3x2;");
}

}  // namespace
}  // namespace kestro::test
