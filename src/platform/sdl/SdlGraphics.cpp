#include "platform/sdl/SdlGraphics.h"

#include "graphics/Clock.h"
#include "graphics/Display.h"
#include "graphics/GameWindow.h"
#include "graphics/Graphics.h"
#include "resources/GameSettings.h"
#include "io/Messages.h"
#include "runner/Runner.h"
#include "platform/sdl/SdlInput.h"

namespace kestro::platform {

namespace {
constexpr const char* kAskColourMode =
    "This application requires 16-bit or 32-bit color mode. Should I switch to a valid color mode?";
constexpr const char* kColourMode =
    "This program requires 16-bit (High Color) or 32-bit (Full Color) mode. Please change this in your display "
    "properties and run again.";
constexpr const char* kCreateFailed =
    "D3D.CreateDevice() Error: Please check that your graphics card meets the minimum requirements and that your "
    "drivers are up-to-date. If your graphics card has little memory, try switching your computer to a lower "
    "resolution. (Error: ";
}  // namespace

CGamePlatform& GamePlatform() {
  // Never destroyed at exit: by then the video system may be gone, and releasing is
  // ReleaseGraphics's job.
  static CGamePlatform* p = new CGamePlatform;
  return *p;
}

bool PrepareGraphics(const CGameSettings& s, const std::string& caption, const std::function<bool()>& createTextures) {
  CGamePlatform& p = GamePlatform();
  SdlGameWindow& w = p.window;
  std::string error;
  if (!w.Handle() && !w.Create(caption, error)) {
    ShowMessage(error);
    return false;
  }
  w.SetCaption(caption);
  SetGameWindow(&w);

  RDisplayMode mode;
  bool change = SettingsDisplayMode(s, mode);
  if (mode.depth <= 0 && Display().Depth() != 16 && Display().Depth() != 32) {
    if (!AskYesNo(kAskColourMode, true)) return false;
    mode.depth = 16;
    change = true;
  }
  if (change) Display().SetMode(mode);

  w.SetRegionSize(8, 8, true);
  w.SetRegionScale(s.RegionScale(), true);
  w.SetSizeable(s.sizeable);
  w.SetStayOnTop(s.stayOnTop);
  w.SetColour(s.windowColor);
  w.SetShowBorder(!s.noBorder);
  w.SetShowIcons(!s.noButtons);
  w.SetFullScreen(s.fullScreen);
  // The screen saver and monitor power saving stay away while the game runs, when asked.
  if (s.disableScreensaver)
    SDL_DisableScreenSaver();
  else
    SDL_EnableScreenSaver();

  if (Display().Depth() != 16 && Display().Depth() != 32) {
    ShowMessage(kColourMode);
    return false;
  }
  Trace("D3D Create Device :: H/W processing + D24S8 + Copy");
  if (!p.device.Create(std::max(Display().Width(), Display().DesktopWidth()),
                       std::max(Display().Height(), Display().DesktopHeight()), error)) {
    Trace(error);
    ShowMessage(std::string(kCreateFailed) + "1)");
    return false;
  }
  p.device.SetSurface(&w);
  CGraphics& g = Graphics();
  g.Attach(&p.device, &w.State());
  g.Start(s.synchronise);
  w.SetPaintHandler([] { Graphics().RefreshWindow(); });
  StepClock().SetMessagePump([] { GamePlatform().window.ProcessMessages(); });
  AttachInput(w);
  g.SetInterpolation(s.interpolate);
  if (createTextures && !createTextures()) return false;
  g.BeginFrame();
  return true;
}

void ReleaseGraphics() {
  CGamePlatform& p = GamePlatform();
  p.window.MakeCurrent();
  StepClock().SetMessagePump({});
  DetachInput(p.window);
  p.window.SetPaintHandler({});
  SetGameWindow(nullptr);
  Ports().Clear();
  Graphics().Stop();
  p.device.Destroy();
  p.window.Destroy();
  Display().Restore();
}

}  // namespace kestro::platform
