#include "platform/sdl/SdlDisplay.h"

namespace kestro::platform {

RDisplayMode ModeOf(const SDL_DisplayMode& m) {
  int bpp = m.format ? int(SDL_BITSPERPIXEL(m.format)) : 0;
  if (bpp == 24 && SDL_BYTESPERPIXEL(m.format) == 4) bpp = 32;
  return {m.w, m.h, bpp, m.refresh_rate};
}

int SdlDisplayModes::DisplayIndex() const {
  const int i = window_ ? SDL_GetWindowDisplayIndex(window_) : 0;
  return i >= 0 ? i : 0;
}

bool SdlDisplayModes::DesktopMode(RDisplayMode& m) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(DisplayIndex(), &mode) != 0) return false;
  m = ModeOf(mode);
  return true;
}

std::vector<RDisplayMode> SdlDisplayModes::ListedModes() {
  std::vector<RDisplayMode> out;
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return out;
  const int d = DisplayIndex(), n = SDL_GetNumDisplayModes(d);
  for (int i = 0; i < n; ++i) {
    SDL_DisplayMode mode{};
    if (SDL_GetDisplayMode(d, i, &mode) == 0) out.push_back(ModeOf(mode));
  }
  return out;
}

bool SdlDisplayModes::FindSdlMode(const RDisplayMode& m, SDL_DisplayMode& out) const {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
  const int d = DisplayIndex(), n = SDL_GetNumDisplayModes(d);
  for (int i = 0; i < n; ++i) {
    SDL_DisplayMode mode{};
    if (SDL_GetDisplayMode(d, i, &mode) != 0) continue;
    const RDisplayMode k = ModeOf(mode);
    // Unknown depths and frequencies stand for the desktop's, as the model lists them.
    const RDisplayMode desk = Display().Desktop();
    if (k.width == m.width && k.height == m.height && (k.depth > 0 ? k.depth : desk.depth) == m.depth &&
        (k.frequency > 0 ? k.frequency : desk.frequency) == m.frequency) {
      out = mode;
      return true;
    }
  }
  return false;
}

SdlDisplayModes& DisplayModes() {
  static SdlDisplayModes modes;
  return modes;
}

}  // namespace kestro::platform
