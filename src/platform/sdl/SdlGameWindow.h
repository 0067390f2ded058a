// The game window over SDL2: an OpenGL 3.3 core window that carries out the window model's
// operations (region, scale, border, sizeable, stay on top, full screen, caption, cursor).
// Full screen shows the display mode the game chose (a mode the display lists), else the desktop's
// full-screen mode, or a borderless window over the whole screen where the driver has neither; a
// chosen mode the display cannot switch to gives the client area its size and is scaled onto the
// real screen.
#pragma once

#include <SDL.h>

#include <functional>
#include <string>

#include "graphics/Display.h"
#include "graphics/GameWindow.h"
#include "platform/gl/GlDevice.h"

namespace kestro::platform {

class SdlGameWindow : public CGameWindow, public IPresentSurface {
 public:
  SdlGameWindow() = default;
  ~SdlGameWindow() override;
  SdlGameWindow(const SdlGameWindow&) = delete;
  SdlGameWindow& operator=(const SdlGameWindow&) = delete;

  // The main form: hidden, borderless, black, at the screen's corner, with a current OpenGL
  // context. False with a reason when SDL or the context cannot be had.
  bool Create(const std::string& caption, std::string& error);
  void Destroy();
  SDL_Window* Handle() const { return window_; }
  // Makes this window's OpenGL context the current one.
  void MakeCurrent() {
    if (window_ && context_) SDL_GL_MakeCurrent(window_, context_);
  }

  // Handles pending window events: size, position, paint and the close request; every event
  // (these too) then goes to the event handler (keyboard and mouse input).
  void ProcessMessages();
  void SetEventHandler(std::function<void(const SDL_Event&)> handler) { onEvent_ = std::move(handler); }
  // Called when the window needs painting again (the last frame is presented once more).
  void SetPaintHandler(std::function<void()> handler) { onPaint_ = std::move(handler); }
  bool CloseRequested() const { return closeRequested_; }
  void ClearCloseRequest() { closeRequested_ = false; }

  // A position in SDL's window coordinates (mouse events) to client coordinates of the model.
  void WindowPointToClient(double wx, double wy, double& cx, double& cy) const;

  // IPresentSurface
  void DrawableSize(int& w, int& h) override;
  RPixelRect ClientToDrawable(const RPixelRect& r) override;
  void ClientSize(int& w, int& h) override {
    w = state_.clientW;
    h = state_.clientH;
  }
  void Swap(bool synchronise) override;
  bool Displayed() override;

 protected:
  void PlatformVisible(bool on) override;
  void PlatformStyle() override;
  void PlatformFullScreen(bool on) override;
  void PlatformClientSize(int w, int h) override;
  void PlatformPosition(int x, int y) override;
  void PlatformCaption(const std::string& caption) override;
  void PlatformCursor(int cursor) override;
  void PlatformDisplayMode() override;
  void PlatformReadBack() override;
  bool PlatformMouse(int& x, int& y) override;
  void PlatformSetMouse(int x, int y) override;
  void Repaint() override;

 private:
  // Full screen in the display mode `m`; false when the display cannot show it.
  bool SwitchMode(const RDisplayMode& m);

  SDL_Window* window_ = nullptr;
  SDL_Cursor* cursors_[SDL_NUM_SYSTEM_CURSORS] = {};
  SDL_GLContext context_ = nullptr;
  bool closeRequested_ = false;
  int swapInterval_ = -2;
  std::function<void(const SDL_Event&)> onEvent_;
  std::function<void()> onPaint_;
};

}  // namespace kestro::platform
