// The loading window: the game's loading image with the progress bar over it, shown while the
// game data is read. Drawn with SDL's software renderer; the layout comes from CLoadFormLayout.
#pragma once

#include <SDL.h>

#include "graphics/LoadForm.h"
#include "runner/Runner.h"

namespace kestro::platform {

class SdlLoadWindow : public ILoadWindow {
 public:
  ~SdlLoadWindow() override;
  void SetUp(bool debug) override;
  void SetProgress(int percent, const std::string& text) override;
  void Close() override;

  const CLoadFormLayout& Layout() const { return layout_; }
  bool Shown() const { return window_ != nullptr; }
  // The window's current picture (BGRA rows from the top), for tests.
  bool Snapshot(RPixels& out);

 private:
  void Paint();

  CLoadFormLayout layout_;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* image_ = nullptr;
  SDL_Texture* empty_ = nullptr;
  SDL_Texture* full_ = nullptr;
  SDL_Texture* label_ = nullptr;
};

}  // namespace kestro::platform
