#include "platform/sdl/SdlGameWindow.h"

#include <algorithm>

#include "graphics/Display.h"
#include "graphics/Input.h"

namespace kestro::platform {

SdlGameWindow::~SdlGameWindow() { Destroy(); }

bool SdlGameWindow::Create(const std::string& caption, std::string& error) {
  // SIGINT and SIGTERM are the run's own (they end the game through its events), not a quit event.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error = std::string("Cannot start the video system: ") + SDL_GetError();
    return false;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_DisplayMode mode{};
  int screenW = 1024, screenH = 768;
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
    int bpp = SDL_BITSPERPIXEL(mode.format);
    // 24-bit colour in a 32-bit word is what other systems call 32-bit colour.
    if (bpp == 24 && SDL_BYTESPERPIXEL(mode.format) == 4) bpp = 32;
    Display().SetDesktop(mode.w, mode.h, bpp, mode.refresh_rate);
    screenW = std::max(mode.w, 1);
    screenH = std::max(mode.h, 1);
  }
  // Made at the screen's size first: drivers without a real window (headless runs) keep the
  // drawing surface they were given at creation, and it must hold any client size.
  window_ = SDL_CreateWindow(caption.c_str(), 0, 0, screenW, screenH,
                             SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALLOW_HIGHDPI);
  if (!window_) {
    error = std::string("Cannot create the game window: ") + SDL_GetError();
    return false;
  }
  context_ = SDL_GL_CreateContext(window_);
  if (!context_) {
    error = std::string("Cannot create an OpenGL 3.3 context: ") + SDL_GetError();
    Destroy();
    return false;
  }
  SDL_GL_MakeCurrent(window_, context_);
  SDL_SetWindowSize(window_, 1, 1);
  state_ = CWindowState{};
  state_.visible = false;
  state_.showBorder = false;
  caption_ = caption;
  Sync();
  return true;
}

void SdlGameWindow::Destroy() {
  if (context_) SDL_GL_DeleteContext(context_);
  context_ = nullptr;
  if (window_) SDL_DestroyWindow(window_);
  window_ = nullptr;
}

void SdlGameWindow::PlatformReadBack() {
  if (!window_) return;
  SDL_GetWindowPosition(window_, &state_.clientX, &state_.clientY);
  SDL_GetWindowSize(window_, &state_.clientW, &state_.clientH);
}

bool SdlGameWindow::PlatformMouse(int& x, int& y) {
  // Headless drivers have no pointer of their own: the model's position stands.
  const char* d = SDL_GetCurrentVideoDriver();
  if (!window_ || (d && (std::string(d) == "offscreen" || std::string(d) == "dummy"))) return false;
  SDL_GetGlobalMouseState(&x, &y);
  return true;
}

void SdlGameWindow::PlatformSetMouse(int x, int y) {
  if (window_) SDL_WarpMouseGlobal(x, y);
  // The game reads the pointer where it was put at once, also where no motion event follows
  // (drivers without a pointer).
  Input().MouseMove(x - state_.clientX, y - state_.clientY);
}

void SdlGameWindow::Repaint() {
  if (onPaint_) onPaint_();
}

void SdlGameWindow::PlatformStyle() {
  if (!window_) return;
  bool border = state_.Border() != EWindowBorder::None;
  SDL_SetWindowBordered(window_, border ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowResizable(window_, state_.Border() == EWindowBorder::Sizeable ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowAlwaysOnTop(window_, state_.stayOnTop ? SDL_TRUE : SDL_FALSE);
  int mw = std::max(state_.MinClientW(), 1), mh = std::max(state_.MinClientH(), 1);
  SDL_SetWindowMinimumSize(window_, mw, mh);
}

void SdlGameWindow::PlatformVisible(bool on) {
  if (!window_) return;
  if (on)
    SDL_ShowWindow(window_);
  else
    SDL_HideWindow(window_);
}

void SdlGameWindow::PlatformFullScreen(bool on) {
  if (!window_) return;
  SDL_SetWindowFullscreen(window_, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(window_, &dw, &dh);
  if (on && (dw < Display().DesktopWidth() || dh < Display().DesktopHeight())) {
    // Drivers without a desktop full-screen mode get a borderless window over the screen.
    SDL_SetWindowFullscreen(window_, 0);
    SDL_SetWindowBordered(window_, SDL_FALSE);
    SDL_SetWindowPosition(window_, 0, 0);
    SDL_SetWindowSize(window_, Display().DesktopWidth(), Display().DesktopHeight());
  }
}

void SdlGameWindow::PlatformClientSize(int w, int h) {
  if (window_) SDL_SetWindowSize(window_, w, h);
}

void SdlGameWindow::PlatformPosition(int x, int y) {
  if (window_) SDL_SetWindowPosition(window_, x, y);
}

void SdlGameWindow::PlatformCaption(const std::string& caption) {
  if (window_) SDL_SetWindowTitle(window_, caption.c_str());
}

void SdlGameWindow::PlatformCursor(bool on) { SDL_ShowCursor(on ? SDL_ENABLE : SDL_DISABLE); }

void SdlGameWindow::ProcessMessages() {
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (e.type == SDL_WINDOWEVENT && e.window.windowID == SDL_GetWindowID(window_)) {
      switch (e.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_MOVED:
          if (!state_.fullScreen) PlatformReadBack();
          Repaint();
          break;
        case SDL_WINDOWEVENT_EXPOSED:
          Repaint();
          break;
        case SDL_WINDOWEVENT_CLOSE:
          closeRequested_ = true;
          break;
        default:
          break;
      }
    } else if (e.type == SDL_QUIT) {
      closeRequested_ = true;
    }
    if (onEvent_) onEvent_(e);
  }
}

void SdlGameWindow::DrawableSize(int& w, int& h) {
  w = h = 0;
  if (window_) SDL_GL_GetDrawableSize(window_, &w, &h);
}

RPixelRect SdlGameWindow::ClientToDrawable(const RPixelRect& r) {
  int dw = 0, dh = 0;
  DrawableSize(dw, dh);
  int cw = std::max(state_.clientW, 1), ch = std::max(state_.clientH, 1);
  if (dw == cw && dh == ch) return r;
  // A virtual display keeps its aspect on the real screen; a high-density screen scales evenly.
  double sx = double(dw) / cw, sy = double(dh) / ch;
  double ox = 0, oy = 0;
  if (state_.fullScreen) {
    double s = std::min(sx, sy);
    ox = (dw - cw * s) / 2;
    oy = (dh - ch * s) / 2;
    sx = sy = s;
  }
  int x0 = int(RoundEven(ox + r.x * sx)), y0 = int(RoundEven(oy + r.y * sy));
  int x1 = int(RoundEven(ox + (r.x + r.w) * sx)), y1 = int(RoundEven(oy + (r.y + r.h) * sy));
  return {x0, y0, x1 - x0, y1 - y0};
}

void SdlGameWindow::WindowPointToClient(double wx, double wy, double& cx, double& cy) const {
  cx = wx;
  cy = wy;
  if (!window_ || !state_.fullScreen) return;
  int ww = 0, wh = 0;
  SDL_GetWindowSize(window_, &ww, &wh);
  int cw = std::max(state_.clientW, 1), ch = std::max(state_.clientH, 1);
  if (ww == cw && wh == ch) return;
  double s = std::min(double(ww) / cw, double(wh) / ch);
  if (s <= 0) return;
  cx = (wx - (ww - cw * s) / 2) / s;
  cy = (wy - (wh - ch * s) / 2) / s;
}

bool SdlGameWindow::Displayed() {
  const char* d = SDL_GetCurrentVideoDriver();
  return window_ && !(d && (std::string(d) == "offscreen" || std::string(d) == "dummy"));
}

void SdlGameWindow::Swap(bool synchronise) {
  if (!window_) return;
  int interval = synchronise ? 1 : 0;
  if (interval != swapInterval_) {
    SDL_GL_SetSwapInterval(interval);
    swapInterval_ = interval;
  }
  SDL_GL_SwapWindow(window_);
}

}  // namespace kestro::platform
