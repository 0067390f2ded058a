// The `kestro` program: the run-time and its tools in one file. A copy with a game container
// appended is a standalone game and runs its own data.
#include <cstdio>
#include <string>

#include "files/GameFiles.h"
#include "graphics/GameWindow.h"
#include "graphics/Graphics.h"
#include "graphics/Input.h"
#include "graphics/RoomDraw.h"
#include "graphics/SpriteDraw.h"
#include "graphics/Transition.h"
#include "platform/al/AlSoundDevice.h"
#include "platform/posix/Files.h"
#include "platform/posix/Process.h"
#include "platform/sdl/FreeTypeFonts.h"
#include "platform/sdl/SdlDebugWindow.h"
#include "platform/sdl/SdlDesktop.h"
#include "platform/sdl/SdlGraphics.h"
#include "platform/sdl/SdlLoadWindow.h"
#include "platform/sdl/SdlMessageBox.h"
#include "resources/GameSettings.h"
#include "resources/Typeface.h"
#include "runner/GameFile.h"
#include "script/builtins/Desktop.h"
#include "sound/SoundLayer.h"
#include "splash/Splash.h"
#include "io/Messages.h"
#include "multiplayer/Multiplayer.h"
#include "platform/net/EnetLink.h"
#include "tools/Bindings.h"
#include "tools/Commands.h"
#include "tools/RunHooks.h"
#include "world/World.h"

namespace {

// True when this program file carries game data after its own image.
bool CarriesGame(const std::string& self) {
  std::vector<uint8_t> bytes;
  if (!kestro::os::ReadFileBytes(self, bytes)) return false;
  size_t image = kestro::ElfImageEnd(bytes.data(), bytes.size());
  return image > 0 && kestro::FindContainer(bytes, kestro::ContainerScanStart(bytes)) >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kestro::tools;
  InstallGameBindings();
  // Fonts made from typefaces, by the builder and the run alike.
  kestro::platform::FreeTypeRasterizer typefaces;
  kestro::SetTypefaceRasterizer(&typefaces);
  kestro::platform::SdlMessageBox box;
  if (kestro::platform::DisplayAvailable()) kestro::SetMessageBox(&box);
  // The clipboard, title and priority of game code reach the desktop.
  kestro::platform::SdlDesktop desktop;
  kestro::SetDesktop(&desktop);

  // The desktop side of a run: the loading window, the game window and drawing device.
  kestro::platform::SdlLoadWindow loadWindow;
  SetPlatformWiring(
      [](kestro::CRunHooks& hooks) {
        hooks.prepareGraphics = [] {
          return kestro::platform::PrepareGraphics(kestro::GameSettings(), kestro::RunState().title,
                                                   [] { return kestro::CreateGameTextures(); });
        };
        auto finishModel = hooks.finishGame;
        hooks.finishGame = [finishModel] {
          // A transition captured as the game ended is never played.
          kestro::Transitions().Drop();
          kestro::platform::ReleaseGraphics();
          if (finishModel) finishModel();
        };
      },
      &loadWindow);

  // Sound through the machine's audio device; without one the game runs silently, which only a
  // verbose run mentions.
  kestro::SoundLayer().SetDeviceFactory([] { return kestro::platform::MakeSoundDevice(); });
  kestro::SoundLayer().SetNotice([](const std::string& text) {
    if (kestro::RunState().verbose) std::fprintf(stderr, "[kestro] %s\n", text.c_str());
  });

  // The main loop's desktop side: messages, the window's focus, drawing and presenting the room.
  kestro::CLoopHooks loop;
  loop.pumpMessages = [] { kestro::platform::GamePlatform().window.ProcessMessages(); };
  loop.windowActive = [] {
    kestro::IInputDevice* device = kestro::InputDevice();
    return !device || device->WindowActive();
  };
  loop.drawRoom = [] { kestro::DrawRoom(); };
  loop.presentFrame = [] { kestro::Graphics().PresentFrame(); };
  // F1: the game information as its settings say; no step runs while it or a splash shows.
  loop.showGameInformation = [] { kestro::splash::ShowGameInformation(); };
  loop.overlayShowing = [] { return kestro::splash::SplashShowing(); };
  SetLoopHooks(loop);
  // The debug window of a debug run: its own windows beside the game's.
  kestro::platform::SdlDebugWindow debugView;
  SetDebugView(&debugView);
  // execute_program keeps the window answering while it waits for the program to end.
  kestro::files::SetProgramWaitHook([] { kestro::platform::GamePlatform().window.ProcessMessages(); });
  kestro::World().hooks.sizeRegion = [] { kestro::SizeRegionToRoom(); };
  // Leaving a room captures its picture for the transition set; the new room's first drawing goes
  // into the second picture and the animation plays (or, without one, the frame is presented).
  kestro::World().hooks.captureTransition = [](int kind) { kestro::Transitions().Capture(kind); };
  kestro::World().hooks.dropTransition = [] { kestro::Transitions().Drop(); };
  kestro::World().hooks.drawRoom = [] {
    kestro::DrawRoom();
    kestro::Transitions().Play();
  };
  // The window is made hidden; it appears when the first room is entered.
  kestro::World().hooks.showWindow = [] {
    if (kestro::CGameWindow* window = kestro::GameWindow()) {
      window->SetVisible(true);
      // Each game start shows the default cursor or none, as the settings (and the game) last said.
      window->SetCursor(kestro::GameSettings().showCursor ? 0 : -1);
    }
  };

  // Multiplayer sessions over the network (TCP/IP only: carried by ENet over UDP/IP).
  kestro::platform::CEnetServices network;
  kestro::mplay::Multiplayer().SetServices(&network);

  std::string self = kestro::os::SelfExecutablePath();
  if (CarriesGame(self)) {
    std::vector<std::string> parameters(argv, argv + argc);
    parameters[0] = self;
    return RunGameFile(self, parameters, false);
  }
  Args rest(argv + (argc > 1 ? 2 : 1), argv + argc);
  if (argc > 1) {
    if (const Command* c = FindCommand(argv[1])) return c->run(rest);
    std::string a = argv[1];
    if (a == "--version") {
      std::printf("kestro %s\n", KESTRO_VERSION);
      return 0;
    }
  }
  std::FILE* out = argc > 1 && std::string(argv[1]) == "--help" ? stdout : stderr;
  std::fprintf(out, "usage: kestro <command> [options]   (kestro <command> --help for more)\n");
  for (const Command& c : AllCommands()) std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
  return out == stdout ? 0 : 2;
}
