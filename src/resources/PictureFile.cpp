#include "resources/PictureFile.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on
#include <gif_lib.h>
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <memory>

#include "platform/posix/Files.h"

#include "resources/BmpFile.h"

namespace kestro {

namespace {

bool TooLarge(int64_t w, int64_t h) {
  return w <= 0 || h <= 0 || w > kMaxBitmapSide || h > kMaxBitmapSide || w * h > kMaxPicturePixels;
}

// A picture whose alpha is 0 everywhere was drawn without alpha: it is made opaque.
void OpaqueWhenAllTransparent(TBitmap32& bm) {
  const TColor32* p = bm.Data();
  const size_t n = size_t(bm.Width()) * size_t(bm.Height());
  for (size_t i = 0; i < n; ++i)
    if (p[i].a != 0) return;
  bm.MakeOpaque();
}

bool DecodePng(const std::vector<uint8_t>& bytes, TBitmap32& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return false;
  const bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  if (TooLarge(image.width, image.height)) {
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_BGRA;
  TBitmap32 bm(int(image.width), int(image.height));
  if (!png_image_finish_read(&image, nullptr, bm.Data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  if (!alpha) bm.MakeOpaque();
  OpaqueWhenAllTransparent(bm);
  out = std::move(bm);
  return true;
}

struct RJpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};

[[noreturn]] void JpegFail(j_common_ptr c) { std::longjmp(reinterpret_cast<RJpegError*>(c->err)->jump, 1); }

// Warnings stay quiet, except that data ending early is a damaged file, not a grey picture.
void JpegMessage(j_common_ptr c, int level) {
  if (level < 0 && c->err->msg_code == JWRN_JPEG_EOF) JpegFail(c);
}

bool DecodeJpeg(const std::vector<uint8_t>& bytes, TBitmap32& out) {
  // Everything that lives across the jump is made before it; the picture is on the heap so that
  // no local object changes between the jump's set-up and the jump.
  jpeg_decompress_struct info{};
  RJpegError err{};
  const auto bm = std::make_unique<TBitmap32>();
  info.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegFail;
  err.mgr.emit_message = JpegMessage;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  if (TooLarge(info.image_width, info.image_height)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(&info);
  bm->Create(int(info.output_width), int(info.output_height));
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = reinterpret_cast<JSAMPROW>(bm->Data() + size_t(info.output_scanline) * size_t(bm->Width()));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  bm->MakeOpaque();
  out = std::move(*bm);
  return true;
}

bool DecodeBmpPicture(const std::vector<uint8_t>& bytes, TBitmap32& out) {
  RPixels px;
  if (!DecodeBmp(bytes, px) || TooLarge(px.width, px.height)) return false;
  TBitmap32 bm(px.width, px.height);
  std::memcpy(bm.Data(), px.bgra.data(), px.bgra.size());
  OpaqueWhenAllTransparent(bm);
  out = std::move(bm);
  return true;
}

struct RGifInput {
  const std::vector<uint8_t>* bytes;
  size_t pos;
};

int GifRead(GifFileType* g, GifByteType* dst, int n) {
  auto* in = static_cast<RGifInput*>(g->UserData);
  size_t k = std::min(size_t(std::max(n, 0)), in->bytes->size() - in->pos);
  std::memcpy(dst, in->bytes->data() + in->pos, k);
  in->pos += k;
  return int(k);
}

struct RGifCloser {
  GifFileType* g;
  ~RGifCloser() {
    int e;
    if (g) DGifCloseFile(g, &e);
  }
};

// Decodes frames until `maxFrames` are made (0: all).
bool DecodeGif(const std::vector<uint8_t>& bytes, uint32_t canvasColour, size_t maxFrames,
               std::vector<TBitmap32>& frames) {
  RGifInput in{&bytes, 0};
  int error = 0;
  GifFileType* g = DGifOpen(&in, GifRead, &error);
  if (!g) return false;
  RGifCloser closer{g};
  if (TooLarge(g->SWidth, g->SHeight)) return false;
  const int w = g->SWidth, h = g->SHeight;
  TBitmap32 canvas(w, h, canvasColour);
  std::vector<TBitmap32> made;
  std::vector<GifPixelType> line;
  GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
  int64_t budget = kMaxPicturePixels;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(g, &type) == GIF_ERROR) return false;
    if (type == TERMINATE_RECORD_TYPE) break;
    if (type == EXTENSION_RECORD_TYPE) {
      int code;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(g, &code, &ext) == GIF_ERROR) return false;
      if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) DGifExtensionToGCB(ext[0], ext + 1, &gcb);
      while (ext)
        if (DGifGetExtensionNext(g, &ext) == GIF_ERROR) return false;
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(g) == GIF_ERROR) return false;
    const GifImageDesc& d = g->Image;
    if (TooLarge(d.Width, d.Height) || d.Left < 0 || d.Top < 0) return false;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : g->SColorMap;
    line.resize(size_t(d.Width));
    // Interlaced frames arrive in four passes of rows.
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    const int passes = d.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass)
      for (int row = d.Interlace ? kStart[pass] : 0; row < d.Height; row += d.Interlace ? kStep[pass] : 1) {
        if (DGifGetLine(g, line.data(), d.Width) == GIF_ERROR) return false;
        const int y = d.Top + row;
        if (y >= h) continue;
        for (int i = 0; i < d.Width && d.Left + i < w; ++i) {
          const int c = line[size_t(i)];
          if (c == gcb.TransparentColor || !map || c >= map->ColorCount) continue;
          const GifColorType& col = map->Colors[c];
          canvas.SetPixel(d.Left + i, y, TColor32{col.Blue, col.Green, col.Red, 255});
        }
      }
    budget -= int64_t(w) * h;
    if (budget < 0) return false;
    made.push_back(canvas);
    if (gcb.DisposalMode != DISPOSE_DO_NOT) canvas.Fill(canvasColour);
    gcb = GraphicsControlBlock{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    if (maxFrames && made.size() >= maxFrames) break;
  }
  if (made.empty()) return false;
  frames = std::move(made);
  return true;
}

bool StartsWith(const std::vector<uint8_t>& b, const char* magic, size_t n) {
  return b.size() >= n && std::memcmp(b.data(), magic, n) == 0;
}

}  // namespace

bool ReadPictureBytes(const std::string& fname, std::vector<uint8_t>& out) {
  return os::ReadFileBytes(fname, out, kMaxPictureFileBytes);
}

bool DecodePicture(const std::vector<uint8_t>& bytes, TBitmap32& out) {
  if (StartsWith(bytes, "\x89PNG", 4)) return DecodePng(bytes, out);
  if (StartsWith(bytes, "\xFF\xD8", 2)) return DecodeJpeg(bytes, out);
  if (StartsWith(bytes, "BM", 2)) return DecodeBmpPicture(bytes, out);
  if (StartsWith(bytes, "GIF8", 4)) {
    std::vector<TBitmap32> frames;
    if (!DecodeGif(bytes, 0xFF010000u, 1, frames)) return false;
    out = std::move(frames[0]);
    return true;
  }
  return false;
}

bool LoadImageFile(const std::string& fname, TBitmap32& out) {
  std::vector<uint8_t> bytes;
  return ReadPictureBytes(fname, bytes) && DecodePicture(bytes, out);
}

bool TBitmap32::LoadFromImageFile(const std::string& fname) { return LoadImageFile(fname, *this); }

bool DecodeGifAnimation(const std::vector<uint8_t>& bytes, uint32_t canvas, std::vector<TBitmap32>& frames) {
  return DecodeGif(bytes, canvas, 0, frames);
}

}  // namespace kestro
