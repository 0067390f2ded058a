#include "graphics/Window.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestro {

int64_t RoundEven(double v) {
  if (!std::isfinite(v)) return 0;
  v = std::clamp(v, -9.0e18, 9.0e18);
  return int64_t(std::nearbyint(v));
}

double RegionFactor(int cw, int ch, int rw, int rh, double scale) {
  if (scale > 0) return scale;
  if (scale == 0) return 0;
  if (rw <= 0 || rh <= 0) return 0;
  return std::min(double(cw) / rw, double(ch) / rh);
}

RPixelRect RegionDestination(int cw, int ch, int rw, int rh, double scale) {
  if (scale == 0) return {0, 0, cw, ch};
  double s = RegionFactor(cw, ch, rw, rh, scale);
  // A huge factor cannot make sizes wrap around.
  const int64_t big = int64_t(1) << 28;
  int w = int(std::clamp<int64_t>(RoundEven(rw * s), -big, big)),
      h = int(std::clamp<int64_t>(RoundEven(rh * s), -big, big));
  return {(cw - w) / 2, (ch - h) / 2, w, h};
}

void ClientToRegion(double px, double py, int cw, int ch, int rw, int rh, double scale, int64_t& rx, int64_t& ry) {
  if (scale == 0) {
    rx = RoundEven(px * rw / std::max(cw, 1));
    ry = RoundEven(py * rh / std::max(ch, 1));
    return;
  }
  double s = RegionFactor(cw, ch, rw, rh, scale);
  if (s == 0) {
    rx = ry = 0;
    return;
  }
  rx = RoundEven((px - double((cw - RoundEven(rw * s)) / 2)) / s);
  ry = RoundEven((py - double((ch - RoundEven(rh * s)) / 2)) / s);
}

int64_t RegionToClientX(double r, int cw, int rw, double factor, bool stretch) {
  if (stretch) return RoundEven(r * cw / std::max(rw, 1));
  return cw / 2 + RoundEven(r * factor) - RoundEven(rw * factor) / 2;
}

int CPortTable::UsedCount() const {
  return int(std::count_if(ports_.begin(), ports_.end(), [](const RPort& p) { return p.used; }));
}

int CPortTable::LowestUsed() const {
  for (int k = 0; k < kPorts; ++k)
    if (ports_[size_t(k)].used) return k;
  return -1;
}

bool CPortTable::RegionToRoom(const RPort& p, double rx, double ry, int64_t& x, int64_t& y) {
  if (p.wview == 0 || p.hview == 0 || p.wport == 0 || p.hport == 0) {
    x = RoundEven(rx);
    y = RoundEven(ry);
    return false;
  }
  double dx = (rx - p.xport) * p.wview / p.wport;
  double dy = (ry - p.yport) * p.hview / p.hport;
  if (std::fabs(p.angle) < 0.01) {
    x = RoundEven(dx + p.xview);
    y = RoundEven(dy + p.yview);
    return true;
  }
  double a = -p.angle * std::numbers::pi / 180;
  double ddx = dx - p.wview / 2, ddy = dy - p.hview / 2;
  x = RoundEven(std::cos(a) * ddx + p.wview / 2 + p.xview + std::sin(a) * ddy);
  y = RoundEven(p.hview / 2 + p.yview - ddx * std::sin(a) + ddy * std::cos(a));
  return true;
}

bool CPortTable::RoomToRegion(const RPort& p, double x, double y, double& rx, double& ry) {
  if (p.wview == 0 || p.hview == 0 || p.wport == 0 || p.hport == 0) {
    rx = x;
    ry = y;
    return false;
  }
  double dx = x - p.xview, dy = y - p.yview;
  if (std::fabs(p.angle) >= 0.01) {
    double b = p.angle * std::numbers::pi / 180;
    double ex = dx - p.wview / 2, ey = dy - p.hview / 2;
    dx = std::cos(b) * ex + std::sin(b) * ey + p.wview / 2;
    dy = -std::sin(b) * ex + std::cos(b) * ey + p.hview / 2;
  }
  rx = dx * p.wport / p.wview + p.xport;
  ry = dy * p.hport / p.hview + p.yport;
  return true;
}

void CPortTable::MouseInRoom(int64_t rx, int64_t ry, int64_t& x, int64_t& y) const {
  x = rx;
  y = ry;
  if (UsedCount() == 0) return;
  for (int k = kPorts - 1; k >= 0; --k) {
    const RPort& p = ports_[size_t(k)];
    if (!p.used) continue;
    int64_t cx, cy;
    RegionToRoom(p, double(rx), double(ry), cx, cy);
    if (cx >= p.xview && cx < p.xview + p.wview && cy >= p.yview && cy < p.yview + p.hview) {
      x = cx;
      y = cy;
      return;
    }
  }
  RegionToRoom(ports_[size_t(LowestUsed())], double(rx), double(ry), x, y);
}

EWindowBorder CWindowState::Border() const {
  if (fullScreen || !showBorder) return EWindowBorder::None;
  return sizeable ? EWindowBorder::Sizeable : EWindowBorder::Single;
}

namespace {
int ClampToInt(int64_t v) { return int(std::clamp<int64_t>(v, 0, INT32_MAX)); }
}  // namespace

int CWindowState::MinClientW() const { return scale > 0 ? ClampToInt(RoundEven(scale * regionW)) : 0; }
int CWindowState::MinClientH() const { return scale > 0 ? ClampToInt(RoundEven(scale * regionH)) : 0; }

void CWindowState::WantedClientSize(bool adapt, int& w, int& h) const {
  w = clientW;
  h = clientH;
  if (scale <= 0) return;
  int sw = MinClientW(), sh = MinClientH();
  if (adapt) {
    w = sw;
    h = sh;
  } else {
    w = std::max(w, sw);
    h = std::max(h, sh);
  }
}

void CWindowState::DefaultClientSize(int& w, int& h) const {
  if (scale > 0) {
    w = MinClientW();
    h = MinClientH();
  } else {
    w = regionW;
    h = regionH;
  }
}

void CWindowState::ClientToRegion(double screenX, double screenY, int64_t& rx, int64_t& ry) const {
  kestro::ClientToRegion(screenX - clientX, screenY - clientY, clientW, clientH, regionW, regionH, scale, rx, ry);
}

void CWindowState::RegionToScreen(double rx, double ry, int64_t& sx, int64_t& sy) const {
  double s = RegionFactor(clientW, clientH, regionW, regionH, scale);
  bool stretch = scale == 0;
  sx = clientX + RegionToClientX(rx, clientW, regionW, s, stretch);
  sy = clientY + RegionToClientX(ry, clientH, regionH, s, stretch);
}

}  // namespace kestro
