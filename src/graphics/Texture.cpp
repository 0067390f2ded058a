#include "graphics/Texture.h"

#include <algorithm>
#include <cstring>

namespace kestro {

int TextureSide(int n, int maxSide) {
  int s = 1;
  while (s < n && s < maxSide) s *= 2;
  return std::min(s, std::max(maxSide, 1));
}

std::vector<uint8_t> PadTexturePixels(const uint8_t* bgra, int w, int h, int wt, int ht) {
  std::vector<uint8_t> out(size_t(std::max(wt, 0)) * size_t(std::max(ht, 0)) * 4, 0);
  if (!bgra || w <= 0 || h <= 0 || wt <= 0 || ht <= 0) return out;
  int iw = std::min(w, wt), ih = std::min(h, ht);
  int cw = std::min(w + 1, wt), ch = std::min(h + 1, ht);
  for (int y = 0; y < ch; ++y) {
    int sy = std::min(y, ih - 1);
    const uint8_t* src = bgra + size_t(sy) * size_t(w) * 4;
    uint8_t* dst = out.data() + size_t(y) * size_t(wt) * 4;
    std::memcpy(dst, src, size_t(iw) * 4);
    if (cw > iw) std::memcpy(dst + size_t(iw) * 4, src + size_t(iw - 1) * 4, 4);
  }
  return out;
}

int CTextureTable::Allocate() {
  for (size_t i = 0; i < slots_.size(); ++i)
    if (!slots_[i].used) return int(i);
  slots_.emplace_back();
  return int(slots_.size() - 1);
}

double CTextureTable::ExtentU(int id) const {
  const RTexture* t = Get(id);
  return (t && t->wt > 0) ? double(t->w) / t->wt : 1.0;
}

double CTextureTable::ExtentV(int id) const {
  const RTexture* t = Get(id);
  return (t && t->ht > 0) ? double(t->h) / t->ht : 1.0;
}

}  // namespace kestro
