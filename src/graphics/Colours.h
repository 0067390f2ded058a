// Game colours (red in the low byte, green, blue in the high byte): channels, mixing and the
// hue-saturation-value form, all bytes 0..255.
#pragma once

#include <cstdint>

namespace kestro {

// red + green x 256 + blue x 65536, without clamping.
int64_t MakeColourRgb(int64_t red, int64_t green, int64_t blue);
int64_t ColourRed(int64_t c);
int64_t ColourGreen(int64_t c);
int64_t ColourBlue(int64_t c);
// merge_color: each channel round((1 - amount) c1 + amount c2), halves to even; not clamped.
int64_t MergeColour(int64_t c1, int64_t c2, double amount);
int64_t MakeColourHsv(int64_t hue, int64_t saturation, int64_t value);
void ColourToHsv(int64_t c, int& hue, int& saturation, int& value);

}  // namespace kestro
