#include "resources/Bitmap32.h"

#include <png.h>

#include <cstring>
#include <fstream>

#include "io/Stream.h"

namespace kestro {

namespace {
constexpr int32_t kBitmapVersion = 800;
}

void TBitmap32::Create(int w, int h) {
  Clear();
  if (w <= 0 || h <= 0) return;
  s_w = w;
  s_h = h;
  s_data.assign(size_t(w) * size_t(h), TColor32{});
}

void TBitmap32::Create(int w, int h, uint32_t col) {
  Create(w, h);
  Fill(col);
}

void TBitmap32::Clear() {
  s_w = s_h = 0;
  s_data.clear();
  s_data.shrink_to_fit();
}

void TBitmap32::Fill(uint32_t col) {
  for (TColor32& p : s_data) p = TColor32::From(col);
}

bool TBitmap32::operator==(const TBitmap32& o) const {
  return s_w == o.s_w && s_h == o.s_h &&
         (s_data.empty() || std::memcmp(s_data.data(), o.s_data.data(), s_data.size() * 4) == 0);
}

bool TBitmap32::LoadFromStream(CStream& s) {
  Clear();
  if (s.ReadInteger() != kBitmapVersion) return false;
  int32_t w = s.ReadInteger();
  int32_t h = s.ReadInteger();
  if (w < 0 || h < 0 || w > kMaxBitmapSide || h > kMaxBitmapSide) throw EStreamError("picture size out of range");
  if (int64_t(w) * h == 0) return true;  // no block follows
  // The pixel block holds exactly the declared width × height × 4 bytes: a block of another size
  // is damaged data, found before any of it is read (or inflated).
  const size_t bytes = size_t(w) * size_t(h) * 4;
  const int32_t n = s.ReadInteger();
  if (n < 0 || size_t(n) != bytes) throw EStreamError(kPictureSizeMismatch);
  if (!s.Holds(bytes)) throw EStreamError();
  s_data.resize(size_t(w) * size_t(h));
  s.ReadBytes(s_data.data(), bytes);
  s_w = w;
  s_h = h;
  return true;
}

void TBitmap32::SaveToStream(CStream& s) const {
  s.WriteInteger(kBitmapVersion);
  s.WriteInteger(s_w);
  s.WriteInteger(s_h);
  if (Empty()) return;
  size_t bytes = s_data.size() * 4;
  s.WriteInteger(int32_t(bytes));
  s.WriteBytes(s_data.data(), bytes);
}

bool TBitmap32::LoadFromPng(const std::filesystem::path& file, std::string& error) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, file.c_str())) {
    error = file.string() + ": " + image.message;
    return false;
  }
  image.format = PNG_FORMAT_BGRA;
  if (image.width > unsigned(kMaxBitmapSide) || image.height > unsigned(kMaxBitmapSide)) {
    png_image_free(&image);
    error = file.string() + ": picture too large";
    return false;
  }
  TBitmap32 bm(int(image.width), int(image.height));
  if (!png_image_finish_read(&image, nullptr, bm.Data(), 0, nullptr)) {
    error = file.string() + ": " + image.message;
    png_image_free(&image);
    return false;
  }
  *this = std::move(bm);
  return true;
}

bool TBitmap32::SaveToPngMemory(std::vector<uint8_t>& out, std::string& error) const {
  if (Empty()) {
    error = "an empty picture has no PNG form";
    return false;
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(s_w);
  image.height = png_uint_32(s_h);
  image.format = PNG_FORMAT_BGRA;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, s_data.data(), 0, nullptr)) {
    error = image.message;
    return false;
  }
  out.resize(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, s_data.data(), 0, nullptr)) {
    error = image.message;
    return false;
  }
  out.resize(size);
  return true;
}

bool TBitmap32::SaveToPng(const std::filesystem::path& file, std::string& error) const {
  std::vector<uint8_t> bytes;
  if (!SaveToPngMemory(bytes, error)) {
    error = file.string() + ": " + error;
    return false;
  }
  std::ofstream f(file, std::ios::binary | std::ios::trunc);
  if (!f || !f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()))) {
    error = file.string() + ": cannot be written";
    return false;
  }
  return true;
}

RRect TBitmap32::BoundingBox(int tolerance) const {
  RRect r{s_w - 1, s_h - 1, 0, 0};
  for (int y = 0; y < s_h; ++y)
    for (int x = 0; x < s_w; ++x)
      if (Alpha(x, y) > tolerance) {
        if (x < r.Left) r.Left = x;
        if (x > r.Right) r.Right = x;
        if (y < r.Top) r.Top = y;
        if (y > r.Bottom) r.Bottom = y;
      }
  return r;
}

void TBitmap32::RemoveBackground() {
  if (Empty()) return;
  TColor32 bg = GetPixel(0, s_h - 1);
  for (TColor32& p : s_data)
    if (p.r == bg.r && p.g == bg.g && p.b == bg.b) p.a = 0;
}

void TBitmap32::SmoothEdges() {
  // Visited in order, so pixels emptied by an earlier visit spread the effect further.
  for (int y = 0; y < s_h; ++y)
    for (int x = 0; x < s_w; ++x) {
      if (Alpha(x, y) != 0) continue;
      for (int j = std::max(0, y - 1); j <= std::min(s_h - 1, y + 1); ++j)
        for (int i = std::max(0, x - 1); i <= std::min(s_w - 1, x + 1); ++i) {
          TColor32& p = s_data[size_t(i) + size_t(j) * size_t(s_w)];
          if (p.a >= 32) p.a = uint8_t(p.a - 32);
        }
    }
}

void TBitmap32::BleedColours() {
  for (int y = 0; y < s_h; ++y)
    for (int x = 0; x < s_w; ++x) {
      TColor32& p = s_data[size_t(x) + size_t(y) * size_t(s_w)];
      if (p.a != 0) continue;
      const int nx[4] = {x - 1, x + 1, x, x};
      const int ny[4] = {y, y, y - 1, y + 1};
      for (int k = 0; k < 4; ++k) {
        TColor32 n = GetPixel(nx[k], ny[k]);
        if (n.a != 0) {
          p = n;
          p.a = 0;
          break;
        }
      }
    }
}

void TBitmap32::MakeOpaque() {
  for (TColor32& p : s_data) p.a = 255;
}

void TBitmap32::AlphaFromImage(const TBitmap32& o) {
  int w = std::min(s_w, o.s_w), h = std::min(s_h, o.s_h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      TColor32 q = o.GetPixel(x, y);
      s_data[size_t(x) + size_t(y) * size_t(s_w)].a = uint8_t((q.r + q.g + q.b) / 3);
    }
}

}  // namespace kestro
