// The debug window's own SDL windows, drawn with ImGui through the software renderer headless:
// the debug window shows its menu, toolbar, grid and status bar; information windows appear when
// shown and hide when their close box is used; closing the debug window of a running game hides it.
#include <SDL.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "debug/DebugWindow.h"
#include "platform/sdl/SdlDebugWindow.h"

namespace kestro {
namespace {

void PushClose(SDL_Window* window) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  e.window.windowID = SDL_GetWindowID(window);
  SDL_PushEvent(&e);
}

TEST(DebugWindowDraw, TheWindowsDrawAndCloseAsTheModelSays) {
  debug::CDebugWindow model;
  platform::SdlDebugWindow view;
  model.Show(&view);
  ASSERT_NE(view.Handle(), nullptr) << SDL_GetError();
  model.AddWatch("1/4");
  model.ShowGlobal();
  model.AddMessage("hello");
  model.ShowMessages();
  view.Message("COMPILE ERROR");
  view.DrawNow();
  EXPECT_EQ(view.ShownCaptions(), (std::vector<std::string>{"Debug Information", "Global Variables", "Messages"}));

  // Drawn: the light face, dark text and the grid's lines, not one flat colour.
  int w = 0, h = 0;
  SDL_GetRendererOutputSize(view.Renderer(), &w, &h);
  ASSERT_GT(w * h, 0);
  std::vector<uint32_t> pixels(size_t(w) * size_t(h));
  ASSERT_EQ(SDL_RenderReadPixels(view.Renderer(), nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(), w * 4), 0)
      << SDL_GetError();
  std::set<uint32_t> colours(pixels.begin(), pixels.end());
  EXPECT_GT(colours.size(), 8u);
  size_t dark = 0;
  for (uint32_t p : pixels)
    if (((p >> 16) & 0xFF) < 64 && ((p >> 8) & 0xFF) < 64 && (p & 0xFF) < 64) ++dark;
  EXPECT_GT(dark, 100u);

  // The close box of an information window hides it; the game is not paused, so closing the debug
  // window hides it too.
  PushClose(view.InfoHandle(model.GlobalWindow()));
  view.DrawNow();
  EXPECT_FALSE(model.GlobalWindow()->visible);
  EXPECT_EQ(view.ShownCaptions(), (std::vector<std::string>{"Debug Information", "Messages"}));
  PushClose(view.Handle());
  view.DrawNow();
  EXPECT_FALSE(model.Shown());
  EXPECT_EQ(view.ShownCaptions(), (std::vector<std::string>{"Messages"}));
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  model.End();
  EXPECT_EQ(view.Handle(), nullptr);
}

}  // namespace
}  // namespace kestro
