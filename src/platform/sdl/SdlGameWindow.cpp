#include "platform/sdl/SdlGameWindow.h"

#include <algorithm>

#include "graphics/Display.h"
#include "platform/sdl/SdlDisplay.h"

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
  DisplayModes().SetWindow(nullptr);
  Display().SetSource(&DisplayModes());
  const int screenW = Display().DesktopWidth(), screenH = Display().DesktopHeight();
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
  DisplayModes().SetWindow(window_);
  state_ = CWindowState{};
  state_.visible = false;
  state_.showBorder = false;
  caption_ = caption;
  Sync();
  return true;
}

void SdlGameWindow::Destroy() {
  if (window_) DisplayModes().SetWindow(nullptr);
  for (SDL_Cursor*& c : cursors_) {
    if (c) SDL_FreeCursor(c);
    c = nullptr;
  }
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
  int mw = std::clamp(state_.MinClientW(), 1, kMaxClientSize), mh = std::clamp(state_.MinClientH(), 1, kMaxClientSize);
  SDL_SetWindowMinimumSize(window_, mw, mh);
}

void SdlGameWindow::PlatformVisible(bool on) {
  if (!window_) return;
  if (on)
    SDL_ShowWindow(window_);
  else
    SDL_HideWindow(window_);
}

bool SdlGameWindow::SwitchMode(const RDisplayMode& m) {
  // Only a mode SDL itself lists is switched to for real.
  SDL_DisplayMode mode{};
  if (!DisplayModes().FindSdlMode(m, mode)) return false;
  if (SDL_SetWindowDisplayMode(window_, &mode) != 0) return false;
  if (SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN) != 0) return false;
  // A hidden window switches when it is shown; a shown one must show the mode now.
  if (SDL_GetWindowFlags(window_) & SDL_WINDOW_HIDDEN) return true;
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(window_, &dw, &dh);
  return dw >= m.width && dh >= m.height;
}

void SdlGameWindow::PlatformFullScreen(bool on) {
  if (!window_) return;
  if (!on) {
    SDL_SetWindowFullscreen(window_, 0);
    return;
  }
  if (Display().ModeChosen() && SwitchMode(Display().Chosen())) return;
  // The chosen mode, where there is one, is then shown scaled on the desktop (ClientToDrawable).
  SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(window_, &dw, &dh);
  if (dw < Display().DesktopWidth() || dh < Display().DesktopHeight()) {
    // Drivers without a desktop full-screen mode get a borderless window over the screen.
    SDL_SetWindowFullscreen(window_, 0);
    SDL_SetWindowBordered(window_, SDL_FALSE);
    SDL_SetWindowPosition(window_, 0, 0);
    SDL_SetWindowSize(window_, Display().DesktopWidth(), Display().DesktopHeight());
  }
}

void SdlGameWindow::PlatformDisplayMode() { PlatformFullScreen(true); }

void SdlGameWindow::PlatformClientSize(int w, int h) {
  if (window_) SDL_SetWindowSize(window_, w, h);
}

void SdlGameWindow::PlatformPosition(int x, int y) {
  if (window_) SDL_SetWindowPosition(window_, x, y);
}

void SdlGameWindow::PlatformCaption(const std::string& caption) {
  if (window_) SDL_SetWindowTitle(window_, caption.c_str());
}

namespace {
// The cr_* cursors (0 down to -22) as the system's cursors; those it has no likeness of are the arrow.
SDL_SystemCursor SystemCursor(int cursor) {
  switch (cursor) {
    case -3: return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case -4: return SDL_SYSTEM_CURSOR_IBEAM;
    case -5:
    case -22: return SDL_SYSTEM_CURSOR_SIZEALL;
    case -6: return SDL_SYSTEM_CURSOR_SIZENESW;
    case -7:
    case -15: return SDL_SYSTEM_CURSOR_SIZENS;
    case -8: return SDL_SYSTEM_CURSOR_SIZENWSE;
    case -9:
    case -14: return SDL_SYSTEM_CURSOR_SIZEWE;
    case -11: return SDL_SYSTEM_CURSOR_WAIT;
    case -13:
    case -18: return SDL_SYSTEM_CURSOR_NO;
    case -17:
    case -19: return SDL_SYSTEM_CURSOR_WAITARROW;
    case -21: return SDL_SYSTEM_CURSOR_HAND;
    default: return SDL_SYSTEM_CURSOR_ARROW;
  }
}
}  // namespace

void SdlGameWindow::PlatformCursor(int cursor) {
  if (!window_) return;
  if (cursor == -1) {
    SDL_ShowCursor(SDL_DISABLE);
    return;
  }
  SDL_Cursor* c = SDL_GetDefaultCursor();
  if (cursor != 0) {
    const SDL_SystemCursor id = SystemCursor(cursor);
    if (!cursors_[id]) cursors_[id] = SDL_CreateSystemCursor(id);
    // Drivers without cursors of their own keep the default one.
    if (cursors_[id]) c = cursors_[id];
  }
  if (c) SDL_SetCursor(c);
  SDL_ShowCursor(SDL_ENABLE);
}

void SdlGameWindow::ProcessMessages() {
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (e.type == SDL_WINDOWEVENT && e.window.windowID == SDL_GetWindowID(window_)) {
      switch (e.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          // The player's resize: the model keeps the limit of a positive scale.
          if (!state_.fullScreen) {
            int w = 0, h = 0;
            SDL_GetWindowSize(window_, &w, &h);
            ClientResized(w, h);
          } else {
            Repaint();
          }
          break;
        case SDL_WINDOWEVENT_MOVED:
          if (!state_.fullScreen) SDL_GetWindowPosition(window_, &state_.clientX, &state_.clientY);
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
