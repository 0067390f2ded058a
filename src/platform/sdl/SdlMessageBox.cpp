#include "platform/sdl/SdlMessageBox.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace kestro::platform {

bool DisplayAvailable() {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
                 std::strcmp(driver, "evdev") == 0))
    return false;
  const char* x = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (w && *w);
}

void SdlMessageBox::Show(const std::string& text) {
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, "Kestro", text.c_str(), nullptr);
}

bool SdlMessageBox::AskYesNo(const std::string& question) {
  const SDL_MessageBoxButtonData buttons[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
  };
  SDL_MessageBoxData data{SDL_MESSAGEBOX_INFORMATION, nullptr, "Kestro", question.c_str(), 2, buttons,
                          nullptr};
  int pressed = 0;
  if (SDL_ShowMessageBox(&data, &pressed) != 0) return false;
  return pressed == 1;
}

}  // namespace kestro::platform
