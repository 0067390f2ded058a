#include "graphics/LoadForm.h"

#include <algorithm>

#include "graphics/Window.h"
#include "resources/GameSettings.h"

namespace kestro {

namespace {
RPixels Decode(const std::optional<BitmapFile>& file) {
  RPixels p;
  if (file && !DecodeBmp(*file, p)) p = RPixels{};
  return p;
}
}  // namespace

void CLoadFormLayout::SetUp(const CGameSettings& s, bool debug, int screenW, int screenH) {
  image_ = Decode(s.loadingImage);
  transparent_ = -1;
  if (s.loadingTransparent && image_.width > 0 && image_.height > 0) {
    const uint8_t* p = &image_.bgra[size_t(image_.height - 1) * size_t(image_.width) * 4];
    transparent_ = int32_t(p[2]) | int32_t(p[1]) << 8 | int32_t(p[0]) << 16;
  }
  alpha_ = std::clamp(s.loadingAlpha, 0, 255);
  barVisible_ = s.showProgressBar;
  barEmpty_ = barVisible_ ? Decode(s.progressBackground) : RPixels{};
  barFull_ = barVisible_ ? Decode(s.progressForeground) : RPixels{};
  stretchFull_ = s.scaleProgressBar;
  labelVisible_ = debug && barVisible_;
  // Without a picture the image keeps the window's own size.
  if (image_.width > 0 && image_.height > 0) {
    clientW_ = image_.width;
    clientH_ = image_.height;
  } else {
    clientW_ = kDefaultWidth;
    clientH_ = kDefaultHeight;
  }
  left_ = (screenW - clientW_) / 2;
  top_ = (screenH - clientH_) / 2;
  emptyW_ = std::max(clientW_ - 2 * 24, 0);
  SetProgress(0, "Loading");
}

void CLoadFormLayout::SetProgress(int percent, const std::string& text) {
  percent = std::clamp(percent, 0, 100);
  fullW_ = int(RoundEven(percent * double(emptyW_) / 100));
  text_ = text;
}

void CLoadFormLayout::Close() {
  image_ = barEmpty_ = barFull_ = RPixels{};
}

}  // namespace kestro
