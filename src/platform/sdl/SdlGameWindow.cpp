#include "platform/sdl/SdlGameWindow.h"

#include <algorithm>

#include "graphics/Display.h"

namespace kestro::platform {

SdlGameWindow::~SdlGameWindow() { Destroy(); }

bool SdlGameWindow::Create(const std::string& caption, std::string& error) {
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
  ReadBack();
  return true;
}

void SdlGameWindow::Destroy() {
  if (context_) SDL_GL_DeleteContext(context_);
  context_ = nullptr;
  if (window_) SDL_DestroyWindow(window_);
  window_ = nullptr;
}

void SdlGameWindow::ReadBack() {
  if (!window_) return;
  if (state_.fullScreen) {
    state_.clientX = state_.clientY = 0;
    state_.clientW = Display().Width();
    state_.clientH = Display().Height();
    return;
  }
  SDL_GetWindowPosition(window_, &state_.clientX, &state_.clientY);
  SDL_GetWindowSize(window_, &state_.clientW, &state_.clientH);
}

void SdlGameWindow::Repaint() {
  if (onPaint_) onPaint_();
}

void SdlGameWindow::ApplyStyle() {
  if (!window_) return;
  bool border = state_.Border() != EWindowBorder::None;
  SDL_SetWindowBordered(window_, border ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowResizable(window_, state_.Border() == EWindowBorder::Sizeable ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowAlwaysOnTop(window_, state_.stayOnTop ? SDL_TRUE : SDL_FALSE);
  int mw = std::max(state_.MinClientW(), 1), mh = std::max(state_.MinClientH(), 1);
  SDL_SetWindowMinimumSize(window_, mw, mh);
}

void SdlGameWindow::SetVisible(bool on) {
  state_.visible = on;
  if (!window_) return;
  if (on)
    SDL_ShowWindow(window_);
  else
    SDL_HideWindow(window_);
}

void SdlGameWindow::SetFullScreen(bool on) {
  if (on == state_.fullScreen) return;
  if (on && !inStyleChange_) {
    ReadBack();
    state_.savedX = state_.clientX;
    state_.savedY = state_.clientY;
    state_.savedW = state_.clientW;
    state_.savedH = state_.clientH;
  }
  inStyleChange_ = true;
  state_.fullScreen = on;
  if (window_) {
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
  ApplyStyle();
  if (!on && window_) {
    SDL_SetWindowSize(window_, std::max(state_.savedW, 1), std::max(state_.savedH, 1));
    SDL_SetWindowPosition(window_, state_.savedX, state_.savedY);
  }
  inStyleChange_ = false;
  ReadBack();
  Repaint();
}

void SdlGameWindow::SetShowBorder(bool on) {
  state_.showBorder = on;
  ApplyStyle();
  ReadBack();
}

// The window system decides the caption's buttons; the flag is kept for the game to read.
void SdlGameWindow::SetShowIcons(bool on) { state_.showIcons = on; }

void SdlGameWindow::SetStayOnTop(bool on) {
  state_.stayOnTop = on;
  ApplyStyle();
}

void SdlGameWindow::SetSizeable(bool on) {
  state_.sizeable = on;
  ApplyStyle();
}

void SdlGameWindow::SetCaption(const std::string& caption) {
  if (window_) SDL_SetWindowTitle(window_, caption.c_str());
}

std::string SdlGameWindow::Caption() const { return window_ ? SDL_GetWindowTitle(window_) : ""; }

void SdlGameWindow::SetCursorShown(bool on) {
  state_.showCursor = on;
  SDL_ShowCursor(on ? SDL_ENABLE : SDL_DISABLE);
}

void SdlGameWindow::SetClientSize(int w, int h) {
  w = std::max(w, 1);
  h = std::max(h, 1);
  if (state_.fullScreen) {
    // Remembered for when full screen ends.
    state_.savedW = w;
    state_.savedH = h;
    return;
  }
  if (window_) SDL_SetWindowSize(window_, w, h);
  ReadBack();
  // Window systems may refuse or delay a size; the model follows what was asked so that the
  // geometry is the same with or without a window manager.
  state_.clientW = w;
  state_.clientH = h;
}

void SdlGameWindow::SetPosition(int x, int y) {
  if (state_.fullScreen) {
    state_.savedX = x;
    state_.savedY = y;
    return;
  }
  if (window_) SDL_SetWindowPosition(window_, x, y);
  state_.clientX = x;
  state_.clientY = y;
}

void SdlGameWindow::SetSize(int w, int h) {
  if (state_.scale > 0) state_.DefaultClientSize(w, h);
  SetClientSize(w, h);
  Repaint();
}

void SdlGameWindow::SetRectangle(int x, int y, int w, int h) {
  SetPosition(x, y);
  SetSize(w, h);
}

void SdlGameWindow::Center() {
  if (state_.fullScreen) return;
  SetPosition((Display().DesktopWidth() - state_.clientW) / 2, (Display().DesktopHeight() - state_.clientH) / 2);
}

void SdlGameWindow::Default() {
  int w, h;
  state_.DefaultClientSize(w, h);
  SetClientSize(w, h);
  Center();
  Repaint();
}

void SdlGameWindow::SetRegionSize(int w, int h, bool adapt) {
  if (w > 0) state_.regionW = w;
  if (h > 0) state_.regionH = h;
  int cw, ch;
  state_.WantedClientSize(adapt, cw, ch);
  if (cw != state_.clientW || ch != state_.clientH) SetClientSize(cw, ch);
  ApplyStyle();
  Repaint();
}

void SdlGameWindow::SetRegionScale(double scale, bool adapt) {
  state_.scale = scale;
  SetRegionSize(0, 0, adapt);
}

void SdlGameWindow::ProcessMessages() {
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (e.type == SDL_WINDOWEVENT && e.window.windowID == SDL_GetWindowID(window_)) {
      switch (e.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_MOVED:
          if (!state_.fullScreen) ReadBack();
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
