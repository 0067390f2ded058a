// The game window's operations (the window functions of the games call these one to one): the
// rules live here, the real window only carries them out through the Platform* hooks. Without a
// platform the class is a complete model of the window, which tests and headless tools use.
#pragma once

#include <string>

#include "graphics/Window.h"

namespace kestro {

class CGameWindow {
 public:
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
  void SetCursorShown(bool on);
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

  // After a display mode change: a full-screen client area takes the display's new size.
  void DisplayChanged() {
    Sync();
    Repaint();
  }

  // The mouse on the screen (display_mouse_get_x/y and display_mouse_set), and moved to a
  // position of the region (window_mouse_set goes through the views first).
  void ScreenMouse(int& x, int& y);
  void SetScreenMouse(int x, int y);
  void SetRegionMouse(double rx, double ry);

 protected:
  // What the real window does. The model alone does nothing.
  virtual void PlatformVisible(bool) {}
  virtual void PlatformStyle() {}
  virtual void PlatformFullScreen(bool) {}
  virtual void PlatformClientSize(int, int) {}
  virtual void PlatformPosition(int, int) {}
  virtual void PlatformCaption(const std::string&) {}
  virtual void PlatformCursor(bool) {}
  // Takes the client rectangle of the real window into the state (windowed mode).
  virtual void PlatformReadBack() {}
  // The pointer on the screen; the model keeps its own where there is no pointer.
  virtual bool PlatformMouse(int&, int&) { return false; }
  virtual void PlatformSetMouse(int, int) {}
  virtual void Repaint() {}

  // The client rectangle: the whole (virtual) display in full screen, else the real window's.
  void Sync();
  void SetClientSize(int w, int h);

  CWindowState state_;
  std::string caption_;
  bool inStyleChange_ = false;
  int mouseX_ = 0, mouseY_ = 0;
};

// The game window of the run (none before the graphics are prepared).
CGameWindow* GameWindow();
void SetGameWindow(CGameWindow* w);

// The views drawn in the last step, for the coordinate conversions.
CPortTable& Ports();

}  // namespace kestro
