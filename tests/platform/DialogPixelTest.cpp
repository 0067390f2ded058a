// The message dialog drawn through OpenGL over the game's frame: picture, text, picture buttons
// following the pointer, and the frame given back when it closes.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "dialogs/Choosers.h"
#include "dialogs/MessageDialog.h"
#include "dialogs/ModalLoop.h"
#include "graphics/Graphics.h"
#include "platform/GlTestContext.h"
#include "platform/sdl/FreeTypeFonts.h"
#include "resources/GameResources.h"
#include "resources/Typeface.h"
#include "script/builtins/FunctionRegistry.h"

namespace kestro {
namespace {

using test::GlContext;
using test::PixelAt;
using test::Px;

// Events handed over one poll at a time; before each, a look at what the window shows.
class SteppedEvents final : public dialogs::IDialogEvents {
 public:
  struct RStep {
    std::function<void()> look;
    std::vector<RInputEvent> events;
  };
  explicit SteppedEvents(std::vector<RStep> steps) : steps_(std::move(steps)) {}
  bool Poll(std::vector<RInputEvent>& out) override {
    if (next_ >= steps_.size()) return false;
    RStep& s = steps_[next_++];
    if (s.look) s.look();
    out = s.events;
    return true;
  }
  size_t next_ = 0;

 private:
  std::vector<RStep> steps_;
};

RValue Call(const char* name, std::vector<RValue> args) {
  RValue r;
  args.resize(16);
  BuiltinRegistry().Call(*BuiltinRegistry().Find(name), nullptr, nullptr, 4, args.data(), r);
  return r;
}
RValue N(double v) { return RValue::Real(v); }
RValue S(const char* s) { return RValue::String(RString(s)); }

TEST(DialogPixels, ADialogOverTheGameWithItsTextAndButtons) {
  platform::FreeTypeRasterizer fonts;
  SetTypefaceRasterizer(&fonts);
  GlContext& c = GlContext::Get();
  CGraphics& g = Graphics();
  g.Stop();
  g = CGraphics();
  g.Attach(&c.device, c.state);
  g.Start(false);
  g.SetDeviceRegion(64, 64);
  g.SetViewport(0, 0, 64, 64);
  g.SetProjection(0, 0, 64, 64, 0);
  g.ClearScreen(0x00FF00);  // the game's frame: green

  // A dark blue picture, buttons 20 x 10: red, then yellow with the pointer inside, blue pressed.
  GameResources().Clear();
  auto picture = std::make_unique<CBackground>();
  picture->i_bitmap.Create(8, 8, 0xFF000060u);
  Backgrounds().Add(std::move(picture), "bg");
  auto spr = std::make_unique<CSprite>();
  spr->i_numb = 3;
  for (uint32_t col : {0xFFFF0000u, 0xFFFFFF00u, 0xFF0000FFu}) spr->i_bitmap.emplace_back(20, 10, col);
  Sprites().Add(std::move(spr), "btn");
  dialogs::ResetMessageSettings();
  Call("message_background", {N(0)});
  Call("message_button", {N(0)});
  Call("message_size", {N(60), N(56)});
  Call("message_position", {N(2), N(4)});
  Call("message_text_font", {S(""), N(12), N(0xFFFFFF), N(1)});
  Call("message_button_font", {S(""), N(6), N(0x00FF00), N(-1)});

  // Client (2, 4) 60 x 56: label at (26, 20), button 2 at (22, 34) relative (20, 30).
  auto lit = [](int x0, int y0, int w, int h, const Px& not_) {
    int n = 0;
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) n += PixelAt(x, y) != not_;
    return n;
  };
  const Px green{0, 255, 0, 255}, back{0x60, 0, 0, 255}, red{0, 0, 255, 255}, yellow{0, 255, 255, 255},
      blue{255, 0, 0, 255};
  SteppedEvents events({
      {[&] {
         EXPECT_EQ(PixelAt(1, 1), green);  // the game around the dialog
         EXPECT_EQ(PixelAt(3, 5), back);   // the picture, stretched over the client area
         EXPECT_EQ(PixelAt(60, 58), back);
         EXPECT_EQ(PixelAt(23, 35), red);          // button 2, image 0
         EXPECT_EQ(PixelAt(2, 34), back);          // button 1 is hidden
         EXPECT_GT(lit(26, 20, 12, 14, back), 3);  // the text
         EXPECT_GT(lit(22, 34, 20, 10, red), 0);   // the button's text
       },
       {{RInputEvent::kMouse, 0, 32, 39}}},
      {[&] { EXPECT_EQ(PixelAt(23, 35), yellow); }, {{RInputEvent::kButtonDown, 1}}},
      {[&] { EXPECT_EQ(PixelAt(23, 35), blue); }, {{RInputEvent::kButtonUp, 1}}},
  });
  // A game drawing in 3-D with perspective and fog: the dialog is still flat, and the game's
  // switches are back afterwards.
  g.Set3DMode(true, true, true);
  g.SetFog(true, 0x0000FF, 10, 20);
  dialogs::SetDialogEvents(&events);
  EXPECT_EQ(dialogs::ShowMessageDialog("I I I", "", "OK", ""), 2);
  dialogs::SetDialogEvents(nullptr);
  EXPECT_EQ(events.next_, 3u);
  EXPECT_TRUE(g.Mode3D() && g.Perspective() && g.KeptState().depthTest && g.KeptState().fog);
  EXPECT_EQ(g.KeptState().fogColour, 0xFFFF0000u);
  g.Set3DMode(false, false, false);
  g.SetFog(false, 0, 0, 0);
  // The game's frame is back where the dialog was.
  EXPECT_EQ(PixelAt(23, 35), green);
  EXPECT_EQ(PixelAt(30, 25), green);

  dialogs::ResetMessageSettings();
  GameResources().Clear();
  SetTypefaceRasterizer(nullptr);
}

TEST(DialogPixels, AChooserOverTheGame) {
  GlContext& c = GlContext::Get();
  CGraphics& g = Graphics();
  g.Stop();
  g = CGraphics();
  g.Attach(&c.device, c.state);
  g.Start(false);
  g.SetDeviceRegion(64, 64);
  g.ClearScreen(0x00FF00);
  const Px green{0, 255, 0, 255};
  int covered = 0;
  SteppedEvents events({{[&] {
                           for (int y = 0; y < 64; y += 4)
                             for (int x = 0; x < 64; x += 4) covered += PixelAt(x, y) != green;
                           EXPECT_EQ(PixelAt(1, 1), green);  // the game around it
                         },
                         {{RInputEvent::kKeyDown, 13}}}});
  dialogs::SetDialogEvents(&events);
  EXPECT_EQ(dialogs::ChooseColour(0x123456), 0x123456);
  dialogs::SetDialogEvents(nullptr);
  EXPECT_GT(covered, 100);  // the chooser's window covers the middle
  EXPECT_EQ(PixelAt(32, 32), green);
}

}  // namespace
}  // namespace kestro
