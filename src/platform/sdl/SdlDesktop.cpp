#include "platform/sdl/SdlDesktop.h"

#include <SDL.h>

#include <cstdint>

#include "graphics/GameWindow.h"
#include "io/RunState.h"
#include "platform/posix/Priority.h"
#include "platform/sdl/SdlGameWindow.h"

// Last: the window-system headers it brings define short macro names.
#include <SDL_syswm.h>

namespace kestro::platform {

namespace {
// SDL's clipboard needs its video system; before the window exists the stand-in serves.
bool VideoRuns() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }
}  // namespace

bool SdlDesktop::ClipboardHasText() {
  if (!VideoRuns()) return ProcessDesktop().ClipboardHasText();
  return SDL_HasClipboardText() == SDL_TRUE;
}

std::string SdlDesktop::ClipboardText() {
  if (!VideoRuns()) return ProcessDesktop().ClipboardText();
  char* text = SDL_GetClipboardText();
  std::string s = text ? text : "";
  SDL_free(text);
  return s;
}

void SdlDesktop::SetClipboardText(const std::string& text) {
  if (!VideoRuns() || SDL_SetClipboardText(text.c_str()) != 0) ProcessDesktop().SetClipboardText(text);
}

void SdlDesktop::SetApplicationTitle(const std::string& title) {
  ProcessDesktop().SetApplicationTitle(title);
  // The name the system knows the program by (sound mixers, power management) ...
  SDL_SetHint(SDL_HINT_APP_NAME, title.c_str());
  // ... and the task bar entry, which on this desktop is the window's title: it follows while the
  // window still shows the application's title rather than a caption of the game's own.
  if (CGameWindow* w = GameWindow(); w && w->Caption() == RunState().title) w->SetCaption(title);
}

void SdlDesktop::SetProgramPriority(int level) {
  ProcessDesktop().SetProgramPriority(level);
  os::SetProgramPriority(level);
}

double SdlDesktop::WindowHandle() {
  auto* w = dynamic_cast<SdlGameWindow*>(GameWindow());
  if (!w || !w->Handle()) return 0;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(w->Handle(), &info)) return 0;
  switch (info.subsystem) {
#if defined(SDL_VIDEO_DRIVER_X11)
    case SDL_SYSWM_X11: return double(info.info.x11.window);
#endif
#if defined(SDL_VIDEO_DRIVER_WAYLAND)
    case SDL_SYSWM_WAYLAND: return double(reinterpret_cast<uintptr_t>(info.info.wl.surface));
#endif
    default: return double(SDL_GetWindowID(w->Handle()));
  }
}

}  // namespace kestro::platform
