// TBitmap32: the 32-bit straight-alpha image every picture of a game lives in. Pixels are blue,
// green, red, alpha, rows from the top, no gaps.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kestro {

class CStream;

// One pixel; as a little-endian 32-bit number it reads 0xAARRGGBB.
struct TColor32 {
  uint8_t b = 0, g = 0, r = 0, a = 0;
  uint32_t Value() const { return uint32_t(b) | uint32_t(g) << 8 | uint32_t(r) << 16 | uint32_t(a) << 24; }
  static TColor32 From(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
  bool operator==(const TColor32&) const = default;
};
static_assert(sizeof(TColor32) == 4);

struct RRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const RRect&) const = default;
};

// Pictures are limited to this many pixels on a side; larger sizes are damage, never allocated.
inline constexpr int kMaxBitmapSide = 32768;
// Why a picture whose pixel block is not width × height × 4 bytes is refused.
inline constexpr const char* kPictureSizeMismatch = "picture data larger or smaller than its declared size";

class TBitmap32 {
 public:
  TBitmap32() = default;
  TBitmap32(int w, int h) { Create(w, h); }
  TBitmap32(int w, int h, uint32_t col) { Create(w, h, col); }

  void Create() { Clear(); }
  void Create(int w, int h);                // all pixels transparent black
  void Create(int w, int h, uint32_t col);  // filled with col
  void Clear();
  void Assign(const TBitmap32& bm) { *this = bm; }

  // Stored form: int 800, width, height, and when width x height > 0 a block of the pixels.
  // False on another version (the bitmap is then left empty and reading goes on). A negative or
  // oversized size, or a block of another length than the pixels, raises EStreamError.
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;

  // PNG in and out (8-bit straight-alpha RGBA on disk).
  bool LoadFromPng(const std::filesystem::path& file, std::string& error);
  bool SaveToPng(const std::filesystem::path& file, std::string& error) const;
  bool SaveToPngMemory(std::vector<uint8_t>& out, std::string& error) const;
  // A PNG, JPEG, BMP or GIF file (resources/PictureFile.cpp); false leaves the bitmap unchanged.
  bool LoadFromImageFile(const std::string& fname);

  int Width() const { return s_w; }
  int Height() const { return s_h; }
  bool Empty() const { return s_w <= 0 || s_h <= 0; }
  TColor32* Data() { return s_data.data(); }
  const TColor32* Data() const { return s_data.data(); }
  TColor32 GetPixel(int x, int y) const {
    return (x < 0 || y < 0 || x >= s_w || y >= s_h) ? TColor32{} : s_data[size_t(x) + size_t(y) * size_t(s_w)];
  }
  void SetPixel(int x, int y, TColor32 c) {
    if (x >= 0 && y >= 0 && x < s_w && y < s_h) s_data[size_t(x) + size_t(y) * size_t(s_w)] = c;
  }
  uint8_t Alpha(int x, int y) const { return s_data[size_t(x) + size_t(y) * size_t(s_w)].a; }
  void Fill(uint32_t col);

  // Smallest rectangle of the pixels whose alpha exceeds tolerance; (w-1, h-1, 0, 0) for none.
  RRect BoundingBox(int tolerance) const;

  // Treatments applied to pictures taken from files, in place.
  void RemoveBackground();  // pixels of the bottom-left pixel's colour become transparent
  void SmoothEdges();
  void BleedColours();      // transparent pixels take a neighbour's colour (alpha stays 0)
  void MakeOpaque();
  void AlphaFromImage(const TBitmap32& other);

  bool operator==(const TBitmap32&) const;

 private:
  int s_w = 0;
  int s_h = 0;
  std::vector<TColor32> s_data;
};

}  // namespace kestro
