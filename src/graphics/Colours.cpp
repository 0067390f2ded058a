#include "graphics/Colours.h"

#include <algorithm>
#include <cmath>

#include "script/Numeric.h"

namespace kestro {

namespace {
// Remainders with the sign of the divisor, so that negative colours still give bytes 0..255.
int64_t Byte(int64_t v) { return ((v % 256) + 256) % 256; }
}  // namespace

int64_t MakeColourRgb(int64_t red, int64_t green, int64_t blue) {
  // Exact for every colour a game makes; arguments far outside the bytes saturate instead of
  // overflowing.
  double v = double(red) + double(green) * 256 + double(blue) * 65536;
  return int64_t(std::clamp(v, -9.0e18, 9.0e18));
}
int64_t ColourRed(int64_t c) { return Byte(c); }
int64_t ColourGreen(int64_t c) { return Byte(c >> 8); }
int64_t ColourBlue(int64_t c) { return Byte(c >> 16); }

int64_t MergeColour(int64_t c1, int64_t c2, double amount) {
  auto mix = [&](int64_t a, int64_t b) {
    double v = (1 - amount) * double(a) + amount * double(b);
    return std::isfinite(v) ? RoundToInt64(v) : 0;
  };
  return MakeColourRgb(mix(ColourRed(c1), ColourRed(c2)), mix(ColourGreen(c1), ColourGreen(c2)),
                       mix(ColourBlue(c1), ColourBlue(c2)));
}

int64_t MakeColourHsv(int64_t hue, int64_t saturation, int64_t value) {
  double h = double(hue) * 360 / 255, s = double(saturation) / 255, v = double(value) / 255;
  if (h == 360) h = 0;
  double r = v, g = v, b = v;
  if (s != 0) {
    double hh = h / 60;
    int64_t i = int64_t(std::trunc(std::clamp(hh, -9e18, 9e18)));
    double f = hh - double(i);
    double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    switch (((i % 6) + 6) % 6) {
      case 0: r = v, g = t, b = p; break;
      case 1: r = q, g = v, b = p; break;
      case 2: r = p, g = v, b = t; break;
      case 3: r = p, g = q, b = v; break;
      case 4: r = t, g = p, b = v; break;
      default: r = v, g = p, b = q; break;
    }
  }
  auto ch = [](double x) { return std::isfinite(x) ? int64_t(std::trunc(std::clamp(x * 255, -9e18, 9e18))) : 0; };
  return MakeColourRgb(ch(r), ch(g), ch(b));
}

void ColourToHsv(int64_t c, int& hue, int& saturation, int& value) {
  double r = double(ColourRed(c)) / 255, g = double(ColourGreen(c)) / 255, b = double(ColourBlue(c)) / 255;
  double mx = std::max({r, g, b}), mn = std::min({r, g, b}), d = mx - mn;
  double s = mx == 0 ? 0 : d / mx;
  double h = 0;
  if (s != 0) {
    if (r == mx)
      h = 60 * (g - b) / d;
    else if (g != mx)
      h = 60 * (r - g) / d + 240;
    else
      h = 60 * (b - r) / d + 120;
    if (h < 0) h += 360;
  }
  hue = int(std::trunc(h * 255 / 360));
  saturation = int(std::trunc(s * 255));
  value = int(std::trunc(mx * 255));
}

}  // namespace kestro
