#include "resources/BmpFile.h"

#include <cstring>

namespace kestro {

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) { std::memcpy(b.data() + at, &v, 2); }
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }
uint16_t Get16(const uint8_t* p) { uint16_t v; std::memcpy(&v, p, 2); return v; }
uint32_t Get32(const uint8_t* p) { uint32_t v; std::memcpy(&v, p, 4); return v; }

int ShiftOf(uint32_t mask) {
  int s = 0;
  while (mask && !(mask & 1)) { mask >>= 1; ++s; }
  return s;
}
int BitsOf(uint32_t mask) {
  mask >>= ShiftOf(mask);
  int n = 0;
  while (mask & 1) { mask >>= 1; ++n; }
  return n;
}
uint8_t Channel(uint32_t px, uint32_t mask) {
  if (!mask) return 0;
  uint32_t v = (px & mask) >> ShiftOf(mask);
  int bits = BitsOf(mask);
  return bits >= 8 ? uint8_t(v >> (bits - 8)) : uint8_t(v * 255 / ((1u << bits) - 1));
}

}  // namespace

std::vector<uint8_t> EncodeBmp32(const RPixels& img) {
  const size_t headers = 14 + 40;
  const size_t pixels = size_t(img.width) * img.height * 4;
  std::vector<uint8_t> b(headers + pixels, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, uint32_t(b.size()));
  Put32(b, 10, uint32_t(headers));
  Put32(b, 14, 40);
  Put32(b, 18, uint32_t(img.width));
  Put32(b, 22, uint32_t(img.height));
  Put16(b, 26, 1);
  Put16(b, 28, 32);
  Put32(b, 34, uint32_t(pixels));
  for (int y = 0; y < img.height; ++y)
    std::memcpy(b.data() + headers + size_t(img.height - 1 - y) * img.width * 4,
                img.bgra.data() + size_t(y) * img.width * 4, size_t(img.width) * 4);
  return b;
}

bool DecodeBmp(const std::vector<uint8_t>& f, RPixels& out) {
  if (f.size() < 26 || f[0] != 'B' || f[1] != 'M') return false;
  const uint8_t* d = f.data();
  uint32_t offBits = Get32(d + 10), infoSize = Get32(d + 14);
  if (infoSize < 12 || 14 + uint64_t(infoSize) > f.size()) return false;
  int64_t w, h;
  int bpp;
  uint32_t compression = 0, colorsUsed = 0;
  if (infoSize == 12) {
    w = Get16(d + 18);
    h = int16_t(Get16(d + 20));
    bpp = Get16(d + 24);
  } else {
    if (14 + 40 > f.size()) return false;
    w = int32_t(Get32(d + 18));
    h = int32_t(Get32(d + 22));
    bpp = Get16(d + 28);
    compression = Get32(d + 30);
    colorsUsed = Get32(d + 46);
  }
  bool topDown = h < 0;
  if (topDown) h = -h;
  if (w <= 0 || h <= 0 || w > 32768 || h > 32768) return false;
  uint32_t rMask = 0x00FF0000, gMask = 0x0000FF00, bMask = 0x000000FF, aMask = 0;
  if (bpp == 16) { rMask = 0x7C00; gMask = 0x03E0; bMask = 0x001F; }
  if (compression == 3) {  // bit fields follow the 40-byte header (or sit inside a longer one)
    if (14 + 40 + 12 > f.size()) return false;
    rMask = Get32(d + 54);
    gMask = Get32(d + 58);
    bMask = Get32(d + 62);
    if (infoSize >= 56 && 14 + 56 <= f.size()) aMask = Get32(d + 66);
  } else if (compression != 0) {
    return false;
  }
  if (bpp == 32 && compression == 0) aMask = 0;  // plain 32-bit: the fourth byte is unused
  const uint64_t stride = ((uint64_t(w) * bpp + 31) / 32) * 4;
  if (offBits > f.size() || stride * h > f.size() - offBits) return false;
  const uint8_t* palette = d + 14 + infoSize;
  const int palEntry = infoSize == 12 ? 3 : 4;
  uint32_t palCount = 0;
  if (bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8) {
    palCount = colorsUsed ? colorsUsed : (1u << bpp);
    if (palCount > 256 || palette + uint64_t(palCount) * palEntry > d + f.size()) return false;
  } else if (bpp != 16 && bpp != 24 && bpp != 32) {
    return false;
  }
  out.width = int(w);
  out.height = int(h);
  out.bgra.assign(size_t(w) * h * 4, 255);
  for (int64_t y = 0; y < h; ++y) {
    const uint8_t* row = d + offBits + (topDown ? y : h - 1 - y) * stride;
    uint8_t* dst = out.bgra.data() + size_t(y) * w * 4;
    for (int64_t x = 0; x < w; ++x, dst += 4) {
      if (bpp <= 8) {
        int per = 8 / bpp;
        uint32_t idx = (row[x / per] >> ((per - 1 - x % per) * bpp)) & ((1u << bpp) - 1);
        if (idx >= palCount) idx = 0;
        const uint8_t* p = palette + idx * palEntry;
        dst[0] = p[0]; dst[1] = p[1]; dst[2] = p[2];
      } else if (bpp == 24) {
        dst[0] = row[x * 3]; dst[1] = row[x * 3 + 1]; dst[2] = row[x * 3 + 2];
      } else {
        uint32_t px = bpp == 16 ? Get16(row + x * 2) : Get32(row + x * 4);
        dst[0] = Channel(px, bMask);
        dst[1] = Channel(px, gMask);
        dst[2] = Channel(px, rMask);
        if (aMask) dst[3] = Channel(px, aMask);
        if (bpp == 32 && compression == 0) dst[3] = uint8_t(px >> 24);
      }
    }
  }
  return true;
}

}  // namespace kestro
