// The display's modes over SDL: the desktop's mode and the modes the display lists, for the
// display model; and the SDL mode that shows a chosen one.
#pragma once

#include <SDL.h>

#include <vector>

#include "graphics/Display.h"

namespace kestro::platform {

class SdlDisplayModes final : public IDisplayModes {
 public:
  // The display the window is on (none: the first).
  void SetWindow(SDL_Window* window) { window_ = window; }
  bool DesktopMode(RDisplayMode& m) override;
  std::vector<RDisplayMode> ListedModes() override;
  // The listed SDL mode with the size, depth and frequency of `m`; false when SDL lists none.
  bool FindSdlMode(const RDisplayMode& m, SDL_DisplayMode& out) const;

 private:
  int DisplayIndex() const;
  SDL_Window* window_ = nullptr;
};

// The process-wide source, installed into Display() while SDL's video system runs.
SdlDisplayModes& DisplayModes();

// An SDL mode in the model's terms: 24-bit colour in a 32-bit word is what games call 32-bit.
RDisplayMode ModeOf(const SDL_DisplayMode& m);

}  // namespace kestro::platform
