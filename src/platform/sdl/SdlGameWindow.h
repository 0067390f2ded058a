// The game window over SDL2: an OpenGL 3.3 core window whose geometry and style follow the
// window model (region, scale, border, sizeable, stay on top, full screen, colour, cursor).
// Full screen is a borderless window over the whole screen; a display mode that was set
// virtually gives the client area its size and is scaled onto the real screen.
#pragma once

#include <SDL.h>

#include <functional>
#include <string>

#include "graphics/Window.h"
#include "platform/gl/GlDevice.h"

namespace kestro::platform {

class SdlGameWindow : public IPresentSurface {
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
  CWindowState& State() { return state_; }
  const CWindowState& State() const { return state_; }

  // The window operations of the game's window functions.
  void SetVisible(bool on);
  void SetFullScreen(bool on);
  void SetShowBorder(bool on);
  void SetShowIcons(bool on);
  void SetStayOnTop(bool on);
  void SetSizeable(bool on);
  void SetCaption(const std::string& caption);
  std::string Caption() const;
  void SetCursorShown(bool on);
  void SetColour(int32_t colour) { state_.colour = colour & 0xFFFFFF; }
  void SetPosition(int x, int y);
  void SetSize(int w, int h);
  void SetRectangle(int x, int y, int w, int h);
  void Center();
  void Default();
  void SetRegionSize(int w, int h, bool adapt);
  void SetRegionScale(double scale, bool adapt);

  // Handles pending window events: size, position, paint and the close request; everything
  // else goes to the event handler (keyboard and mouse input).
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

 private:
  void ApplyStyle();
  void SetClientSize(int w, int h);
  void ReadBack();
  void Repaint();

  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
  CWindowState state_;
  bool closeRequested_ = false;
  bool inStyleChange_ = false;
  int swapInterval_ = -2;
  std::function<void(const SDL_Event&)> onEvent_;
  std::function<void()> onPaint_;
};

}  // namespace kestro::platform
