#include "graphics/GameWindow.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "graphics/Display.h"
#include "graphics/Input.h"

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

void CGameWindow::SaveWindowed() {
  if (state_.fullScreen || inStyleChange_) return;
  Sync();
  state_.savedX = state_.clientX;
  state_.savedY = state_.clientY;
  state_.savedW = state_.clientW;
  state_.savedH = state_.clientH;
}

void CGameWindow::SetFullScreen(bool on) {
  if (on == state_.fullScreen) return;
  SaveWindowed();
  inStyleChange_ = true;
  state_.fullScreen = on;
  PlatformFullScreen(on);
  PlatformStyle();
  if (!on) {
    const int w = std::max(state_.savedW, 1), h = std::max(state_.savedH, 1);
    PlatformClientSize(w, h);
    PlatformPosition(state_.savedX, state_.savedY);
    state_.clientX = state_.savedX;
    state_.clientY = state_.savedY;
    state_.clientW = w;
    state_.clientH = h;
  }
  inStyleChange_ = false;
  Sync();
  Repaint();
}

void CGameWindow::SetShowBorder(bool on) {
  SaveWindowed();
  state_.showBorder = on;
  PlatformStyle();
  Sync();
}

// The window system decides the caption's buttons; the flag is kept for the game to read.
void CGameWindow::SetShowIcons(bool on) {
  SaveWindowed();
  state_.showIcons = on;
  PlatformStyle();
}

void CGameWindow::SetStayOnTop(bool on) {
  SaveWindowed();
  state_.stayOnTop = on;
  PlatformStyle();
}

void CGameWindow::SetSizeable(bool on) {
  SaveWindowed();
  state_.sizeable = on;
  PlatformStyle();
}

void CGameWindow::SetCaption(const std::string& caption) {
  caption_ = caption;
  PlatformCaption(caption);
}

void CGameWindow::SetCursor(int cursor) {
  cursor_ = cursor;
  state_.showCursor = cursor != -1;
  PlatformCursor(cursor);
}

void CGameWindow::DisplayChanged() {
  if (state_.fullScreen) PlatformDisplayMode();
  Sync();
  Repaint();
}

void CGameWindow::ClientResized(int w, int h) {
  // In full screen the client area is the display's, whatever the window system says.
  if (state_.fullScreen) return;
  const int mw = state_.MinClientW(), mh = state_.MinClientH();
  if (w < mw || h < mh) {
    SetClientSize(std::max(w, mw), std::max(h, mh));
  } else {
    state_.clientW = std::max(w, 1);
    state_.clientH = std::max(h, 1);
  }
  Repaint();
}

void CGameWindow::SetClientSize(int w, int h) {
  w = std::clamp(w, 1, kMaxClientSize);
  h = std::clamp(h, 1, kMaxClientSize);
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
  if (state_.fullScreen) {
    // The window comes back centred when full screen ends.
    state_.savedX = (Display().DesktopWidth() - state_.savedW) / 2;
    state_.savedY = (Display().DesktopHeight() - state_.savedH) / 2;
    return;
  }
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
  // The game reads the pointer where it was put at once, also where no motion event follows
  // (windows without a pointer).
  Input().MouseMove(x - state_.clientX, y - state_.clientY);
}

void CGameWindow::SetRegionMouse(double rx, double ry) {
  int64_t sx, sy;
  state_.RegionToScreen(rx, ry, sx, sy);
  SetScreenMouse(int(std::clamp<int64_t>(sx, INT32_MIN, INT32_MAX)), int(std::clamp<int64_t>(sy, INT32_MIN, INT32_MAX)));
}

void CGameWindow::SetRegionScale(double scale, bool adapt) {
  state_.scale = std::isfinite(scale) ? scale : 1;
  SetRegionSize(0, 0, adapt);
}

void CGameWindow::RegionMouse(int64_t& rx, int64_t& ry) const {
  kestro::ClientToRegion(Input().MouseClientX(), Input().MouseClientY(), state_.clientW, state_.clientH, state_.regionW,
                         state_.regionH, state_.scale, rx, ry);
}

namespace {
const RPort* DrawnPort(int view) {
  if (view < 0 || view >= CPortTable::kPorts || !Ports().Get(view).used) return nullptr;
  return &Ports().Get(view);
}
}  // namespace

void CGameWindow::ViewMouse(int view, int64_t& x, int64_t& y) const {
  int64_t rx, ry;
  RegionMouse(rx, ry);
  x = rx;
  y = ry;
  if (const RPort* p = DrawnPort(view)) CPortTable::RegionToRoom(*p, double(rx), double(ry), x, y);
}

void CGameWindow::ViewsMouse(int64_t& x, int64_t& y) const {
  int64_t rx, ry;
  RegionMouse(rx, ry);
  Ports().MouseInRoom(rx, ry, x, y);
}

void CGameWindow::SetViewMouse(int view, double x, double y) {
  double rx = x, ry = y;
  if (const RPort* p = DrawnPort(view)) CPortTable::RoomToRegion(*p, x, y, rx, ry);
  SetRegionMouse(rx, ry);
}

void CGameWindow::SetViewsMouse(double x, double y) { SetViewMouse(Ports().LowestUsed(), x, y); }

}  // namespace kestro
