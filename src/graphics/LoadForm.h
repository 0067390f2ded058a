// The loading window's layout: its size from the loading image, where the progress bar and the
// label sit, how far the bar is filled, its transparency. The platform draws what this decides.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/GraphicsDevice.h"
#include "resources/BmpFile.h"

namespace kestro {

struct CGameSettings;

class CLoadFormLayout {
 public:
  static constexpr int kDefaultWidth = 332, kDefaultHeight = 92;

  // Takes the pictures (decoded; damaged ones count as absent) and the switches from the
  // settings, then lays the window out centred on a screen of screenW x screenH.
  void SetUp(const CGameSettings& s, bool debug, int screenW, int screenH);
  // Percent is clamped to 0..100.
  void SetProgress(int percent, const std::string& text);
  // Frees the pictures.
  void Close();

  int ClientWidth() const { return clientW_; }
  int ClientHeight() const { return clientH_; }
  int Left() const { return left_; }
  int Top() const { return top_; }
  const RPixels& Image() const { return image_; }
  const RPixels& BarEmpty() const { return barEmpty_; }
  const RPixels& BarFull() const { return barFull_; }
  bool BarVisible() const { return barVisible_; }
  bool LabelVisible() const { return labelVisible_; }
  bool StretchFull() const { return stretchFull_; }
  RPixelRect EmptyRect() const { return {24, clientH_ - 32, emptyW_, 16}; }
  RPixelRect FullRect() const { return {24, clientH_ - 32, fullW_, 16}; }
  RPixelRect LabelRect() const { return {32, clientH_ - 32, 273, 17}; }
  const std::string& Text() const { return text_; }
  // The transparent colour (0x00BBGGRR), or -1 when the window is not partly transparent.
  int32_t TransparentColour() const { return transparent_; }
  int Alpha() const { return alpha_; }  // 255: opaque

 private:
  RPixels image_, barEmpty_, barFull_;
  int clientW_ = kDefaultWidth, clientH_ = kDefaultHeight, left_ = 0, top_ = 0;
  int emptyW_ = 289, fullW_ = 105;
  bool barVisible_ = true, labelVisible_ = false, stretchFull_ = true;
  int32_t transparent_ = -1;
  int alpha_ = 255;
  std::string text_;
};

}  // namespace kestro
