#include "graphics/GameWindow.h"

#include <algorithm>
#include <cstdint>

#include "graphics/Display.h"

namespace kestro {

namespace {
CGameWindow* g_window = nullptr;
}

CGameWindow* GameWindow() { return g_window; }
void SetGameWindow(CGameWindow* w) { g_window = w; }

CPortTable& Ports() {
  static CPortTable ports;
  return ports;
}

void CGameWindow::Sync() {
  if (state_.fullScreen) {
    state_.clientX = state_.clientY = 0;
    state_.clientW = Display().Width();
    state_.clientH = Display().Height();
  } else {
    PlatformReadBack();
  }
}

void CGameWindow::SetVisible(bool on) {
  state_.visible = on;
  PlatformVisible(on);
}

void CGameWindow::SetFullScreen(bool on) {
  if (on == state_.fullScreen) return;
  if (on && !inStyleChange_) {
    Sync();
    state_.savedX = state_.clientX;
    state_.savedY = state_.clientY;
    state_.savedW = state_.clientW;
    state_.savedH = state_.clientH;
  }
  inStyleChange_ = true;
  state_.fullScreen = on;
  PlatformFullScreen(on);
  PlatformStyle();
  if (!on) {
    PlatformClientSize(std::max(state_.savedW, 1), std::max(state_.savedH, 1));
    PlatformPosition(state_.savedX, state_.savedY);
    state_.clientX = state_.savedX;
    state_.clientY = state_.savedY;
    state_.clientW = std::max(state_.savedW, 1);
    state_.clientH = std::max(state_.savedH, 1);
  }
  inStyleChange_ = false;
  Sync();
  Repaint();
}

void CGameWindow::SetShowBorder(bool on) {
  state_.showBorder = on;
  PlatformStyle();
  Sync();
}

// The window system decides the caption's buttons; the flag is kept for the game to read.
void CGameWindow::SetShowIcons(bool on) {
  state_.showIcons = on;
  PlatformStyle();
}

void CGameWindow::SetStayOnTop(bool on) {
  state_.stayOnTop = on;
  PlatformStyle();
}

void CGameWindow::SetSizeable(bool on) {
  state_.sizeable = on;
  PlatformStyle();
}

void CGameWindow::SetCaption(const std::string& caption) {
  caption_ = caption;
  PlatformCaption(caption);
}

void CGameWindow::SetCursorShown(bool on) {
  state_.showCursor = on;
  PlatformCursor(on);
}

void CGameWindow::SetClientSize(int w, int h) {
  w = std::max(w, 1);
  h = std::max(h, 1);
  if (state_.fullScreen) {
    // Remembered for when full screen ends.
    state_.savedW = w;
    state_.savedH = h;
    return;
  }
  PlatformClientSize(w, h);
  Sync();
  // Window systems may refuse or delay a size; the model follows what was asked so that the
  // geometry is the same with or without a window manager.
  state_.clientW = w;
  state_.clientH = h;
}

void CGameWindow::SetPosition(int x, int y) {
  if (state_.fullScreen) {
    state_.savedX = x;
    state_.savedY = y;
    return;
  }
  PlatformPosition(x, y);
  state_.clientX = x;
  state_.clientY = y;
}

void CGameWindow::SetSize(int w, int h) {
  if (state_.scale > 0) state_.DefaultClientSize(w, h);
  SetClientSize(w, h);
  Repaint();
}

void CGameWindow::SetRectangle(int x, int y, int w, int h) {
  SetPosition(x, y);
  SetSize(w, h);
}

void CGameWindow::Center() {
  if (state_.fullScreen) return;
  SetPosition((Display().DesktopWidth() - state_.clientW) / 2, (Display().DesktopHeight() - state_.clientH) / 2);
}

void CGameWindow::Default() {
  int w, h;
  state_.DefaultClientSize(w, h);
  SetClientSize(w, h);
  Center();
  Repaint();
}

void CGameWindow::SetRegionSize(int w, int h, bool adapt) {
  if (w > 0) state_.regionW = w;
  if (h > 0) state_.regionH = h;
  int cw, ch;
  state_.WantedClientSize(adapt, cw, ch);
  if (cw != state_.clientW || ch != state_.clientH) SetClientSize(cw, ch);
  PlatformStyle();
  Repaint();
}

void CGameWindow::ScreenMouse(int& x, int& y) {
  PlatformMouse(mouseX_, mouseY_);  // without a pointer the last position set stands
  x = mouseX_;
  y = mouseY_;
}

void CGameWindow::SetScreenMouse(int x, int y) {
  mouseX_ = x;
  mouseY_ = y;
  PlatformSetMouse(x, y);
}

void CGameWindow::SetRegionMouse(double rx, double ry) {
  int64_t sx, sy;
  state_.RegionToScreen(rx, ry, sx, sy);
  SetScreenMouse(int(std::clamp<int64_t>(sx, INT32_MIN, INT32_MAX)), int(std::clamp<int64_t>(sy, INT32_MIN, INT32_MAX)));
}

void CGameWindow::SetRegionScale(double scale, bool adapt) {
  state_.scale = scale;
  SetRegionSize(0, 0, adapt);
}

}  // namespace kestro
