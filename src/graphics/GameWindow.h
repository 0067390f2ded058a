// The game window's operations (the window functions of the games call these one to one): the
// rules live here, the real window only carries them out through the Platform* hooks. Without a
// platform the class is a complete model of the window, which tests and headless tools use.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/Window.h"

namespace kestro {

class CGameWindow {
 public:
  // The largest client side the window is given (window systems refuse larger ones).
  static constexpr int kMaxClientSize = 16384;
  virtual ~CGameWindow() = default;
  CWindowState& State() { return state_; }
  const CWindowState& State() const { return state_; }

  void SetVisible(bool on);
  void SetFullScreen(bool on);
  void SetShowBorder(bool on);
  void SetShowIcons(bool on);
  void SetStayOnTop(bool on);
  void SetSizeable(bool on);
  void SetCaption(const std::string& caption);
  const std::string& Caption() const { return caption_; }
  // A cursor of the cr_* constants: 0 the default, -1 none, the others the system's cursors.
  void SetCursor(int cursor);
  int Cursor() const { return cursor_; }
  void SetColour(int32_t colour) { state_.colour = colour & 0xFFFFFF; }
  void SetPosition(int x, int y);
  // With a positive scale the client size stays the scaled region.
  void SetSize(int w, int h);
  void SetRectangle(int x, int y, int w, int h);
  void Center();
  void Default();
  // Values above 0 replace the region's width and height; the client size follows as the
  // scale rules say, `adapt` setting it exactly.
  void SetRegionSize(int w, int h, bool adapt);
  void SetRegionScale(double scale, bool adapt);

  // After a display mode was chosen or given back: a full-screen window shows the display's mode
  // now and its client area takes the mode's size.
  void DisplayChanged();
  // The player resized the window to a client area of w x h: taken, except that while a positive
  // scale is set it is grown back to the scaled region.
  void ClientResized(int w, int h);

  // The mouse on the screen (display_mouse_get_x/y and display_mouse_set), and moved to a
  // position of the region (window_mouse_set goes through the views first).
  void ScreenMouse(int& x, int& y);
  void SetScreenMouse(int x, int y);
  void SetRegionMouse(double rx, double ry);

  // The game's pointer (where the last mouse event or setting put it) in region coordinates, and
  // in room coordinates through one view's port (a view that was not drawn leaves the region
  // position) or through the views as mouse_x and mouse_y do.
  void RegionMouse(int64_t& rx, int64_t& ry) const;
  void ViewMouse(int view, int64_t& x, int64_t& y) const;
  void ViewsMouse(int64_t& x, int64_t& y) const;
  // The pointer put on a room position seen through one view, or through the lowest view drawn.
  void SetViewMouse(int view, double x, double y);
  void SetViewsMouse(double x, double y);

 protected:
  // What the real window does. The model alone does nothing.
  virtual void PlatformVisible(bool) {}
  virtual void PlatformStyle() {}
  virtual void PlatformFullScreen(bool) {}
  virtual void PlatformClientSize(int, int) {}
  virtual void PlatformPosition(int, int) {}
  virtual void PlatformCaption(const std::string&) {}
  virtual void PlatformCursor(int) {}
  // Full screen in the display's mode now (after a mode was chosen or given back).
  virtual void PlatformDisplayMode() {}
  // Takes the client rectangle of the real window into the state (windowed mode).
  virtual void PlatformReadBack() {}
  // The pointer on the screen; the model keeps its own where there is no pointer.
  virtual bool PlatformMouse(int&, int&) { return false; }
  virtual void PlatformSetMouse(int, int) {}
  virtual void Repaint() {}

  // The client rectangle: the whole (virtual) display in full screen, else the real window's.
  void Sync();
  void SetClientSize(int w, int h);
  // Before a style change: the windowed client rectangle, for when full screen ends.
  void SaveWindowed();

  CWindowState state_;
  std::string caption_;
  int cursor_ = 0;
  bool inStyleChange_ = false;
  int mouseX_ = 0, mouseY_ = 0;
};

// The game window of the run (none before the graphics are prepared).
CGameWindow* GameWindow();
void SetGameWindow(CGameWindow* w);

// The views drawn in the last step, for the coordinate conversions.
CPortTable& Ports();

}  // namespace kestro
