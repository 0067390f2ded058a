// The game window's model: the region the game draws, how it is placed in the client area, the
// window's style flags, the port table of the last drawn views, and the conversions between
// window, region and room positions. The platform window keeps this in step with the real one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "graphics/GraphicsDevice.h"

namespace kestro {

// Reals to integers: nearest, halves to even.
int64_t RoundEven(double v);

// The factor the region is drawn with: the scale when positive, the largest uniform fit when
// negative. 0 for stretching (scale 0).
double RegionFactor(int cw, int ch, int rw, int rh, double scale);
// Where the region lands in a client area of cw x ch.
RPixelRect RegionDestination(int cw, int ch, int rw, int rh, double scale);

// A client position (relative to the client origin) to region coordinates.
void ClientToRegion(double px, double py, int cw, int ch, int rw, int rh, double scale, int64_t& rx, int64_t& ry);
// A region coordinate to a client coordinate on one axis (for setting the mouse).
int64_t RegionToClientX(double r, int cw, int rw, double factor, bool stretch);

// One view as it was drawn in the last step; only coordinate conversion uses it.
struct RPort {
  bool used = false;
  double xview = 0, yview = 0, wview = 0, hview = 0;
  double xport = 0, yport = 0, wport = 0, hport = 0;
  double angle = 0;  // degrees
};

class CPortTable {
 public:
  static constexpr int kPorts = 32;
  void Clear() { ports_.fill(RPort{}); }
  void Set(int k, const RPort& p) {
    if (k >= 0 && k < kPorts) ports_[size_t(k)] = p;
  }
  const RPort& Get(int k) const { return ports_[size_t(k)]; }
  int UsedCount() const;
  int LowestUsed() const;  // -1 when none

  // Region to room through one port; false (values unconverted) when a size is 0.
  static bool RegionToRoom(const RPort& p, double rx, double ry, int64_t& x, int64_t& y);
  // Room to region through one port (the inverse, rotation the other way).
  static bool RoomToRegion(const RPort& p, double x, double y, double& rx, double& ry);
  // The mouse in the room: the highest-numbered used port whose view contains the result, else
  // the lowest-numbered used port's result; the region position when no port is used.
  void MouseInRoom(int64_t rx, int64_t ry, int64_t& x, int64_t& y) const;

 private:
  std::array<RPort, kPorts> ports_{};
};

enum class EWindowBorder { None, Single, Sizeable };

// The window state copied from the settings at start and changed by the window functions.
struct CWindowState {
  int regionW = 640, regionH = 480;
  double scale = 1;  // 0 stretch, negative fit, positive fixed factor
  bool fullScreen = false;
  bool showBorder = true;
  bool showIcons = true;
  bool sizeable = false;
  bool stayOnTop = false;
  bool visible = true;
  bool showCursor = true;
  int32_t colour = 0;  // 0x00BBGGRR, the bands around the region
  // The client area (origin on the screen and size).
  int clientX = 0, clientY = 0, clientW = 0, clientH = 0;
  // The windowed rectangle remembered while in full screen.
  int savedX = 0, savedY = 0, savedW = 0, savedH = 0;

  EWindowBorder Border() const;
  bool HasMaximise() const { return showIcons && sizeable && Border() != EWindowBorder::None; }
  RPixelRect Destination() const { return RegionDestination(clientW, clientH, regionW, regionH, scale); }
  // While a positive scale is set, the smallest client size the player may drag to; 0 otherwise.
  int MinClientW() const;
  int MinClientH() const;
  // The client size wanted after the region or scale changed: with `adapt` exactly the scaled
  // region, otherwise the current size grown where it is smaller. Unchanged without a positive scale.
  void WantedClientSize(bool adapt, int& w, int& h) const;
  // The client size of window_default: the region times a positive scale, else the region.
  void DefaultClientSize(int& w, int& h) const;

  void ClientToRegion(double screenX, double screenY, int64_t& rx, int64_t& ry) const;
  // A region position to a screen position (for setting the mouse).
  void RegionToScreen(double rx, double ry, int64_t& sx, int64_t& sy) const;
};

}  // namespace kestro
