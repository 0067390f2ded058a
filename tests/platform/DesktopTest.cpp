// The desktop of the process functions over SDL, headless: the clipboard through SDL while its
// video system runs and the in-process one before, the application's title reaching the window
// while the window shows it, and the handle of a window.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "graphics/GameWindow.h"
#include "io/RunState.h"
#include "platform/sdl/SdlDesktop.h"
#include "platform/sdl/SdlGameWindow.h"
#include "script/builtins/Desktop.h"

namespace kestro::test {
namespace {

class SdlDesktop_ : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("SDL_VIDEODRIVER", "offscreen", 0); }
  void SetUp() override {
    ProcessDesktop() = CProcessDesktop();
    title_ = RunState().title;
  }
  void TearDown() override {
    ProcessDesktop() = CProcessDesktop();
    RunState().title = title_;
    SetGameWindow(nullptr);
  }
  platform::SdlDesktop desktop_;
  std::string title_;
};

TEST_F(SdlDesktop_, ClipboardThroughSdlOnceVideoRuns) {
  // (Another test of this program may have left the video system running.)
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
    desktop_.SetClipboardText("before the window");
    EXPECT_TRUE(ProcessDesktop().ClipboardHasText());
    EXPECT_EQ(desktop_.ClipboardText(), "before the window");
  } else {
    ProcessDesktop().SetClipboardText("before the window");
  }

  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  desktop_.SetClipboardText("caf\xC3\xA9");
  EXPECT_TRUE(desktop_.ClipboardHasText());
  char* text = SDL_GetClipboardText();
  EXPECT_STREQ(text, "caf\xC3\xA9");
  SDL_free(text);
  EXPECT_EQ(desktop_.ClipboardText(), "caf\xC3\xA9");
  EXPECT_EQ(ProcessDesktop().ClipboardText(), "before the window");  // SDL's, not the stand-in's
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST_F(SdlDesktop_, TitleFollowsIntoTheWindowWhileItShowsTheApplicationTitle) {
  platform::SdlGameWindow w;
  std::string error;
  ASSERT_TRUE(w.Create("game", error)) << error;
  SetGameWindow(&w);
  RunState().title = "game";
  w.SetCaption("game");
  desktop_.SetApplicationTitle("Renamed");
  RunState().title = "Renamed";  // as set_application_title does after asking the desktop
  EXPECT_EQ(w.Caption(), "Renamed");
  EXPECT_STREQ(SDL_GetWindowTitle(w.Handle()), "Renamed");
  EXPECT_EQ(ProcessDesktop().title, "Renamed");
  // A caption of the game's own stays.
  w.SetCaption("Level 1");
  desktop_.SetApplicationTitle("Again");
  EXPECT_EQ(w.Caption(), "Level 1");
  // Whatever the video driver offers as a handle, asking never fails.
  EXPECT_GE(desktop_.WindowHandle(), 0);
}

}  // namespace
}  // namespace kestro::test
