// A whole start-up with the real loading window and graphics preparation, headless: a game built
// from a project is loaded, prepared and "run", and what the player would see is checked.
#include <gtest/gtest.h>

#include "graphics/GameWindow.h"
#include "graphics/Graphics.h"
#include "platform/sdl/SdlGraphics.h"
#include "platform/sdl/SdlLoadWindow.h"
#include "resources/GameSettings.h"
#include "runner/Runner.h"
#include "support/TestSupport.h"
#include "tools/Project.h"

namespace kestro::test {
namespace {

TEST(StartupGraphics, LoadingWindowThenGameWindowFromTheSettings) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  ScratchDir dir;
  RPixels px{60, 40, std::vector<uint8_t>(60 * 40 * 4, 200)};
  std::string error;
  ASSERT_TRUE(tools::WritePng(dir / "loading.png", px, error)) << error;
  nlohmann::json settings = {{"scaling", 300},        {"window_color", 0x00FF00}, {"no_border", true},
                             {"interpolate", true},   {"loading_image", "loading.png"}};
  WriteProject(dir.path(), {{"settings", settings}});
  auto game = BuildDataOnly(dir.path());

  platform::SdlLoadWindow load;
  bool texturesMade = false, ran = false;
  CRunHooks hooks;
  hooks.prepareGraphics = [&] {
    return platform::PrepareGraphics(GameSettings(), RunState().title, [&] {
      texturesMade = true;
      return true;
    });
  };
  hooks.runGame = [&] {
    ran = true;
    EXPECT_FALSE(load.Shown());  // closed when preparation was done
    EXPECT_EQ(load.Layout().ClientWidth(), 60);
    EXPECT_EQ(load.Layout().FullRect().w, load.Layout().EmptyRect().w);  // 100 %
    CGameWindow* w = GameWindow();
    EXPECT_NE(w, nullptr);
    if (!w) return false;
    EXPECT_EQ(w->Caption(), "game");
    EXPECT_EQ(w->State().regionW, 8);
    EXPECT_DOUBLE_EQ(w->State().scale, 3);
    EXPECT_EQ(w->State().clientW, 24);
    EXPECT_EQ(w->State().colour, 0x00FF00);
    EXPECT_FALSE(w->State().showBorder);
    EXPECT_FALSE(w->State().visible);  // shown by the first room
    EXPECT_TRUE(Graphics().KeptState().linearFilter);
    return true;
  };
  hooks.finishGame = [] { platform::ReleaseGraphics(); };
  CRunner runner(hooks, &load);
  EXPECT_EQ(runner.Run(game.string(), {}), kExitOk);
  EXPECT_TRUE(texturesMade);
  EXPECT_TRUE(ran);
  EXPECT_EQ(GameWindow(), nullptr);
  EXPECT_FALSE(Graphics().HasDevice());
  GameSettings().Reset();
}

}  // namespace
}  // namespace kestro::test
