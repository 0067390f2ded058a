// A window system for the window model: a fake platform window that carries out the model's
// requests on a rectangle of its own (as a window manager would) and a display listing modes.
#pragma once

#include <string>
#include <vector>

#include "graphics/Display.h"
#include "graphics/GameWindow.h"

namespace kestro::test {

class FakeDisplayModes : public IDisplayModes {
 public:
  RDisplayMode desktop{1280, 1024, 32, 60};
  std::vector<RDisplayMode> modes{{1280, 1024, 32, 60}, {800, 600, 32, 60}, {640, 480, 32, 60}};
  bool DesktopMode(RDisplayMode& m) override {
    m = desktop;
    return true;
  }
  std::vector<RDisplayMode> ListedModes() override { return modes; }
};

class FakeWindow : public CGameWindow {
 public:
  // What the window system shows: the client rectangle of the window and its styles.
  struct {
    int x = 0, y = 0, w = 1, h = 1;
    bool visible = false, fullScreen = false, bordered = true, resizable = false, onTop = false;
    int minW = 0, minH = 0;
    int cursor = 0;
    std::string caption;
  } real;
  int repaints = 0, modeSwitches = 0;

  // The player drags the window somewhere else or to another size.
  void PlayerMoves(int x, int y) {
    real.x = x;
    real.y = y;
    state_.clientX = x;
    state_.clientY = y;
  }
  void PlayerResizes(int w, int h) {
    real.w = w;
    real.h = h;
    ClientResized(w, h);
  }

 protected:
  void PlatformVisible(bool on) override { real.visible = on; }
  void PlatformStyle() override {
    real.bordered = state_.Border() != EWindowBorder::None;
    real.resizable = state_.Border() == EWindowBorder::Sizeable;
    real.onTop = state_.stayOnTop;
    real.minW = state_.MinClientW();
    real.minH = state_.MinClientH();
  }
  void PlatformFullScreen(bool on) override { real.fullScreen = on; }
  void PlatformClientSize(int w, int h) override {
    real.w = w;
    real.h = h;
  }
  void PlatformPosition(int x, int y) override {
    real.x = x;
    real.y = y;
  }
  void PlatformCaption(const std::string& caption) override { real.caption = caption; }
  void PlatformCursor(int cursor) override { real.cursor = cursor; }
  void PlatformDisplayMode() override { ++modeSwitches; }
  void PlatformReadBack() override {
    state_.clientX = real.x;
    state_.clientY = real.y;
    state_.clientW = real.w;
    state_.clientH = real.h;
  }
  void Repaint() override { ++repaints; }
};

}  // namespace kestro::test
