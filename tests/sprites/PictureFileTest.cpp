// Pictures, sprite files and background files read at run time. Every fixture is written here
// with the picture libraries themselves.
#include <gtest/gtest.h>

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <gif_lib.h>
#include <png.h>

#include <cstring>

#include "resources/BmpFile.h"
#include "resources/PictureFile.h"
#include "resources/SpriteFile.h"
#include "io/Stream.h"
#include "support/TestSupport.h"
#include "world/SpriteCollision.h"

namespace kestro {
namespace {

using test::ScratchDir;
using test::WriteBytes;

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kClear = 0;

TBitmap32 Picture(int w, int h, const std::vector<uint32_t>& px) {
  TBitmap32 bm(w, h);
  for (int i = 0; i < w * h; ++i) bm.Data()[i] = TColor32::From(px[size_t(i)]);
  return bm;
}

std::vector<uint8_t> Png(const TBitmap32& bm, bool alpha = true) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  img.width = png_uint_32(bm.Width());
  img.height = png_uint_32(bm.Height());
  img.format = alpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
  std::vector<uint8_t> src;
  for (int i = 0; i < bm.Width() * bm.Height(); ++i) {
    TColor32 c = bm.Data()[i];
    src.insert(src.end(), {c.b, c.g, c.r});
    if (alpha) src.push_back(c.a);
  }
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&img, nullptr, &size, 0, src.data(), 0, nullptr);
  std::vector<uint8_t> out(size);
  EXPECT_TRUE(png_image_write_to_memory(&img, out.data(), &size, 0, src.data(), 0, nullptr));
  out.resize(size);
  return out;
}

std::vector<uint8_t> Jpeg(const TBitmap32& bm, bool grey = false) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buf = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buf, &size);
  c.image_width = JDIMENSION(bm.Width());
  c.image_height = JDIMENSION(bm.Height());
  c.input_components = grey ? 1 : 4;
  c.in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGRA;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 100, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> greyRow(size_t(bm.Width()));
  for (int y = 0; y < bm.Height(); ++y) {
    JSAMPROW row = reinterpret_cast<JSAMPROW>(const_cast<TColor32*>(bm.Data() + y * bm.Width()));
    if (grey) {
      for (int x = 0; x < bm.Width(); ++x) greyRow[size_t(x)] = bm.GetPixel(x, y).g;
      row = greyRow.data();
    }
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<uint8_t> out(buf, buf + size);
  jpeg_destroy_compress(&c);
  free(buf);
  return out;
}

struct RGifFrame {
  int left, top, w, h;
  std::vector<uint8_t> idx;  // palette indices
  int disposal;
  int transparent;  // index or -1
};

int GifWrite(GifFileType* g, const GifByteType* p, int n) {
  auto* out = static_cast<std::vector<uint8_t>*>(g->UserData);
  out->insert(out->end(), p, p + n);
  return n;
}

// A GIF of w x h with palette 0 red, 1 green, 2 blue, 3 black.
std::vector<uint8_t> Gif(int w, int h, const std::vector<RGifFrame>& frames) {
  std::vector<uint8_t> out;
  int err = 0;
  GifFileType* g = EGifOpen(&out, GifWrite, &err);
  GifColorType colours[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 0, 0}};
  ColorMapObject* map = GifMakeMapObject(4, colours);
  EGifSetGifVersion(g, true);
  EXPECT_EQ(EGifPutScreenDesc(g, w, h, 2, 3, map), GIF_OK);
  for (const RGifFrame& f : frames) {
    GraphicsControlBlock gcb{f.disposal, false, 10, f.transparent};
    GifByteType ext[4];
    size_t n = EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(g, GRAPHICS_EXT_FUNC_CODE, int(n), ext);
    EXPECT_EQ(EGifPutImageDesc(g, f.left, f.top, f.w, f.h, false, nullptr), GIF_OK);
    for (int y = 0; y < f.h; ++y)
      EXPECT_EQ(EGifPutLine(g, const_cast<GifPixelType*>(f.idx.data() + y * f.w), f.w), GIF_OK);
  }
  EGifCloseFile(g, &err);
  GifFreeMapObject(map);
  return out;
}

std::vector<uint8_t> Bmp(const TBitmap32& bm) {
  RPixels px{bm.Width(), bm.Height(), {}};
  px.bgra.assign(reinterpret_cast<const uint8_t*>(bm.Data()),
                 reinterpret_cast<const uint8_t*>(bm.Data() + bm.Width() * bm.Height()));
  return EncodeBmp32(px);
}

TEST(PictureFiles, EachFormatDecodes) {
  const TBitmap32 src = Picture(3, 2, {kRed, 0x8000FF00u, kClear, kBlue, kGreen, kRed});
  TBitmap32 got;
  // PNG keeps straight alpha.
  ASSERT_TRUE(DecodePicture(Png(src), got));
  EXPECT_EQ(got, src);
  // Without an alpha channel every pixel is opaque.
  ASSERT_TRUE(DecodePicture(Png(src, false), got));
  EXPECT_EQ(got.GetPixel(2, 0).Value(), 0xFF000000u);
  // A 32-bit bitmap keeps its fourth byte as alpha, unless it is 0 everywhere.
  ASSERT_TRUE(DecodePicture(Bmp(src), got));
  EXPECT_EQ(got, src);
  TBitmap32 noAlpha = Picture(2, 1, {0x00123456u, 0x00654321u});
  ASSERT_TRUE(DecodePicture(Bmp(noAlpha), got));
  EXPECT_EQ(got.GetPixel(0, 0).Value(), 0xFF123456u);
  // JPEG: opaque, colours close to the source.
  TBitmap32 flat(16, 16, 0xFF2060A0u);
  ASSERT_TRUE(DecodePicture(Jpeg(flat), got));
  ASSERT_EQ(got.Width(), 16);
  TColor32 c = got.GetPixel(7, 7);
  EXPECT_EQ(c.a, 255);
  EXPECT_NEAR(c.r, 0x20, 3);
  EXPECT_NEAR(c.g, 0x60, 3);
  EXPECT_NEAR(c.b, 0xA0, 3);
  ASSERT_TRUE(DecodePicture(Jpeg(flat, true), got));  // one grey channel
  c = got.GetPixel(3, 3);
  EXPECT_EQ(c.a, 255);
  EXPECT_NEAR(c.r, 0x60, 3);
  EXPECT_NEAR(c.b, 0x60, 3);
  // GIF through the picture loader: the first frame over the colour red 1, opaque.
  ASSERT_TRUE(DecodePicture(Gif(3, 1, {{0, 0, 2, 1, {1, 0}, 0, 0}}), got));
  EXPECT_EQ(got.GetPixel(0, 0).Value(), 0xFF00FF00u);
  EXPECT_EQ(got.GetPixel(1, 0).Value(), 0xFF010000u);  // transparent index 0
  EXPECT_EQ(got.GetPixel(2, 0).Value(), 0xFF010000u);  // outside the frame
}

TEST(PictureFiles, AnimationFramesAreComposedOnTheCanvas) {
  const uint32_t canvas = 0xFF408000u;
  // Frame 0 paints (0, 0) red and is kept; frame 1 paints (1, 0) blue with (0, 0) transparent
  // and is disposed; frame 2 paints only (2, 0) green.
  auto bytes = Gif(3, 1,
                   {{0, 0, 1, 1, {0}, DISPOSE_DO_NOT, -1},
                    {0, 0, 2, 1, {3, 2}, DISPOSE_BACKGROUND, 3},
                    {2, 0, 1, 1, {1}, DISPOSAL_UNSPECIFIED, -1}});
  std::vector<TBitmap32> frames;
  ASSERT_TRUE(DecodeGifAnimation(bytes, canvas, frames));
  ASSERT_EQ(frames.size(), 3u);
  auto row = [](const TBitmap32& b) {
    return std::vector<uint32_t>{b.GetPixel(0, 0).Value(), b.GetPixel(1, 0).Value(), b.GetPixel(2, 0).Value()};
  };
  EXPECT_EQ(row(frames[0]), (std::vector<uint32_t>{kRed, canvas, canvas}));
  EXPECT_EQ(row(frames[1]), (std::vector<uint32_t>{kRed, kBlue, canvas}));
  EXPECT_EQ(row(frames[2]), (std::vector<uint32_t>{canvas, canvas, kGreen}));
}

TEST(PictureFiles, DamagedFilesFailWithoutTouchingTheResult) {
  const TBitmap32 src = Picture(3, 2, {kRed, kGreen, kBlue, kRed, kGreen, kBlue});
  TBitmap32 big(64, 64, 0xFF336699u);
  std::vector<std::pair<const char*, std::vector<uint8_t>>> files = {
      {"png", Png(big)},
      {"jpeg", Jpeg(big)},
      {"bmp", Bmp(big)},
      {"gif", Gif(2, 2, {{0, 0, 2, 2, {0, 1, 2, 3}, 0, -1}})}};
  const TBitmap32 keep = src;
  for (auto& [what, bytes] : files) {
    TBitmap32 out = keep;
    ASSERT_TRUE(DecodePicture(bytes, out)) << what;
    // Cuts into the header or the pixel data, and a changed first byte, fail cleanly.
    for (size_t n : {size_t(0), size_t(1), size_t(8), bytes.size() / 3, bytes.size() / 2, bytes.size() - 20}) {
      TBitmap32 cut = keep;
      std::vector<uint8_t> part(bytes.begin(), bytes.begin() + long(n));
      EXPECT_FALSE(DecodePicture(part, cut)) << what << " " << n;
      EXPECT_EQ(cut, keep) << what;
    }
    auto wrong = bytes;
    wrong[0] ^= 0x55;
    EXPECT_FALSE(DecodePicture(wrong, out)) << what;
  }
  // Impossible sizes are refused before anything is allocated for them.
  auto png = Png(src);
  png[16] = 0x7F;  // IHDR width 0x7F000003 (the CRC no longer matches either)
  TBitmap32 out;
  EXPECT_FALSE(DecodePicture(png, out));
  auto gif = Gif(2, 2, {{0, 0, 2, 2, {0, 1, 2, 3}, 0, -1}});
  gif[6] = gif[7] = gif[8] = gif[9] = 0xFF;  // screen 65535 x 65535
  EXPECT_FALSE(DecodePicture(gif, out));
  auto bmp = Bmp(src);
  bmp[18] = 0xFF;
  bmp[19] = 0xFF;  // width 65535 with three pixels of data
  EXPECT_FALSE(DecodePicture(bmp, out));
  for (uint8_t bits : {0, 3, 7}) {  // no such depth: refused, never a division by zero
    bmp = Bmp(src);
    bmp[28] = bits;
    EXPECT_FALSE(DecodePicture(bmp, out)) << int(bits);
  }
  std::vector<uint8_t> jpeg = Jpeg(big);
  // The frame header's height and width (after FF C0, length and precision).
  for (size_t i = 0; i + 8 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      jpeg[i + 5] = jpeg[i + 6] = jpeg[i + 7] = jpeg[i + 8] = 0xFF;
      break;
    }
  EXPECT_FALSE(DecodePicture(jpeg, out));
  EXPECT_FALSE(out.LoadFromImageFile("/nonexistent/picture.png"));
}

TEST(SpritesFromFiles, StripsTreatmentsOriginAndMask) {
  ScratchDir dir;
  // 100 x 4: a red bar on a blue background; cut into three images of 33 pixels.
  TBitmap32 strip(100, 4, kBlue);
  for (int x = 0; x < 100; ++x) strip.SetPixel(x, 1, TColor32::From(kRed));
  WriteBytes(dir / "strip.png", Png(strip));
  CSprite spr;
  ASSERT_TRUE(spr.LoadFromFile((dir / "strip.png").string(), 3, true, false, 5, 6));
  EXPECT_EQ(spr.i_numb, 3);
  EXPECT_EQ(spr.GetWidth(), 33);
  EXPECT_EQ(spr.GetHeight(), 4);
  EXPECT_EQ(spr.i_xorig, 5);
  EXPECT_EQ(spr.i_yorig, 6);
  // The background colour is gone, and the transparent pixels took the bar's colour (bleed).
  EXPECT_EQ(spr.i_bitmap[2].GetPixel(0, 0).Value(), 0x00FF0000u);
  EXPECT_EQ(spr.i_bitmap[2].GetPixel(0, 3).Value(), 0x000000FFu);  // no opaque neighbour: stays
  EXPECT_EQ(spr.i_bitmap[2].GetPixel(0, 1).Value(), kRed);
  // One precise mask, automatic box around the bar.
  ASSERT_EQ(spr.i_mask.size(), 1u);
  EXPECT_FALSE(spr.i_sepmasks);
  EXPECT_EQ(spr.i_bbox, (RRect{0, 1, 32, 1}));
  EXPECT_TRUE(SpriteCollisionPoint(spr, -1, {0, 0, 0, 0}, 3, 1));
  EXPECT_FALSE(SpriteCollisionPoint(spr, -1, {0, 0, 0, 0}, 3, 2));
  // Smoothing takes 32 from the alpha of pixels next to transparent ones.
  CSprite smooth;
  ASSERT_TRUE(smooth.LoadFromFile((dir / "strip.png").string(), 1, true, true, 0, 0));
  EXPECT_LT(smooth.i_bitmap[0].GetPixel(50, 1).a, 255);

  // A GIF animation gives one image per frame; a missing file or more images than columns fail
  // and leave the sprite as it was.
  WriteBytes(dir / "anim.GIF", Gif(2, 1, {{0, 0, 1, 1, {0}, 1, -1}, {1, 0, 1, 1, {2}, 1, -1}}));
  ASSERT_TRUE(spr.LoadFromFile((dir / "anim.GIF").string(), 1, false, false, 0, 0));
  EXPECT_EQ(spr.i_numb, 2);
  EXPECT_EQ(spr.i_bitmap[1].GetPixel(0, 0).Value(), kRed);
  EXPECT_FALSE(spr.LoadFromFile((dir / "none.png").string(), 1, false, false, 0, 0));
  EXPECT_FALSE(spr.LoadFromFile((dir / "strip.png").string(), 101, false, false, 0, 0));
  EXPECT_EQ(spr.i_numb, 2);
}

TEST(SpritesFromFiles, SpriteAndBackgroundFiles) {
  ScratchDir dir;
  CSprite src;
  TBitmap32 a = Picture(3, 3, {kClear, kRed, kClear, kRed, kRed, kRed, kClear, kRed, kClear});
  TBitmap32 b = Picture(3, 3, {kRed, kClear, kClear, kClear, kClear, kClear, kClear, kClear, kClear});
  src.i_bitmap = {a, b};
  src.i_numb = 2;
  src.i_xorig = 1;
  src.i_yorig = 2;
  RMaskParams p{true, kBoxManual, {0, 0, 1, 2}, kMaskRectangle, 0};
  CStream file;
  SaveSpriteFile(file, src, p);
  WriteBytes(dir / "s.spr", file.Buffer());
  CSprite spr;
  ASSERT_TRUE(spr.LoadFromSpriteFile((dir / "s.spr").string()));
  EXPECT_EQ(spr.i_numb, 2);
  EXPECT_EQ(spr.i_xorig, 1);
  EXPECT_EQ(spr.i_yorig, 2);
  EXPECT_TRUE(spr.i_sepmasks);
  // Masks as the builder makes them from the (bled) images.
  std::vector<TBitmap32> bled = {a, b};
  for (auto& bm : bled) bm.BleedColours();
  EXPECT_EQ(spr.i_mask, BuildSpriteMasks(bled, p));
  EXPECT_EQ(spr.i_bbox, (RRect{0, 0, 1, 2}));
  EXPECT_EQ(spr.i_bitmap[0].GetPixel(0, 0).Value(), 0x00FF0000u);  // bled from its right neighbour

  // Every truncation, a wrong magic and a wrong inner version fail and leave the sprite alone.
  const CSprite before = spr;
  const auto bytes = file.Buffer();
  for (size_t n = 0; n < bytes.size(); n += 3) {
    WriteBytes(dir / "cut.spr", std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(n)));
    EXPECT_FALSE(spr.LoadFromSpriteFile((dir / "cut.spr").string())) << n;
  }
  auto wrong = bytes;
  wrong[0] ^= 1;
  WriteBytes(dir / "wrong.spr", wrong);
  EXPECT_FALSE(spr.LoadFromSpriteFile((dir / "wrong.spr").string()));
  CStream inner;
  inner.WriteInteger(801);
  CStream v801;
  v801.WriteInteger(kSpriteFileMagic);
  v801.WriteStreamC(inner);
  WriteBytes(dir / "v801.spr", v801.Buffer());
  EXPECT_FALSE(spr.LoadFromSpriteFile((dir / "v801.spr").string()));
  EXPECT_EQ(spr.i_bitmap, before.i_bitmap);
  EXPECT_EQ(spr.i_mask, before.i_mask);

  CBackground back;
  back.i_bitmap = a;
  CStream bfile;
  SaveBackgroundFile(bfile, back);
  WriteBytes(dir / "b.bkg", bfile.Buffer());
  CBackground got;
  ASSERT_TRUE(got.LoadFromBackgroundFile((dir / "b.bkg").string()));
  EXPECT_EQ(got.i_bitmap, bled[0]);
  EXPECT_FALSE(got.LoadFromBackgroundFile((dir / "s.spr").string()));  // a sprite file's version is 800
}

TEST(SpriteLists, AddReplaceDeleteDuplicateAssign) {
  ScratchDir dir;
  WriteBytes(dir / "one.png", Png(TBitmap32(4, 2, kRed)));
  CResourceList<CSprite> list;
  list.Add(std::make_unique<CSprite>(), "first");
  EXPECT_EQ(SpriteAddFromFile(list, (dir / "one.png").string(), 1, false, false, 0, 0), 1);
  EXPECT_EQ(list.Name(1), "__newsprite1");
  // A failed add leaves no slot behind.
  EXPECT_EQ(SpriteAddFromFile(list, (dir / "missing.png").string(), 1, false, false, 0, 0), -1);
  EXPECT_EQ(SpriteAddFromSpriteFile(list, (dir / "one.png").string()), -1);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(SpriteCreateEmpty(list), 2);
  EXPECT_EQ(list.Get(2)->i_numb, 0);

  EXPECT_EQ(ResourceDuplicate(list, 1), 3);
  EXPECT_EQ(list.Name(3), "__newsprite3");
  EXPECT_EQ(list.Get(3)->i_bitmap, list.Get(1)->i_bitmap);
  EXPECT_EQ(ResourceDuplicate(list, 9), -1);

  EXPECT_TRUE(ResourceDelete(list, 1));
  EXPECT_FALSE(ResourceDelete(list, 1));
  EXPECT_EQ(list.Name(1), "<undefined>");
  EXPECT_EQ(list.Find("__newsprite1"), -1);
  // Assigning needs an existing source and a target inside the list; an empty target is made.
  EXPECT_FALSE(ResourceAssign(list, 0, 1));
  EXPECT_FALSE(ResourceAssign(list, 7, 3));
  EXPECT_TRUE(ResourceAssign(list, 1, 3));
  EXPECT_EQ(list.Get(1)->GetWidth(), 4);
  // Replacing loads into the slot; outside the list it fails.
  EXPECT_TRUE(SpriteReplaceFromFile(list, 0, (dir / "one.png").string(), 2, false, false, 0, 0));
  EXPECT_EQ(list.Get(0)->i_numb, 2);
  EXPECT_EQ(list.Name(0), "first");
  EXPECT_FALSE(SpriteReplaceFromFile(list, 8, (dir / "one.png").string(), 1, false, false, 0, 0));

  CResourceList<CBackground> backs;
  EXPECT_EQ(BackgroundAddFromFile(backs, (dir / "one.png").string(), false, false), 0);
  EXPECT_EQ(backs.Name(0), "__newbackground0");
  EXPECT_EQ(BackgroundAddFromBackgroundFile(backs, (dir / "one.png").string()), -1);
  EXPECT_EQ(backs.Count(), 1);
}

TEST(SpritesFromImages, CreateAddAndAlpha) {
  // A grabbed picture whose alpha is 0 everywhere is opaque, except with removeback 2.
  TBitmap32 grab = Picture(2, 2, {0x00FF0000u, 0x00000000u, 0x00000000u, 0x00000000u});
  CSprite spr;
  spr.CreateFromBitmap(grab, 0, false, 1, 1);
  EXPECT_EQ(spr.i_bitmap[0].GetPixel(0, 0).a, 255);
  spr.CreateFromBitmap(grab, 2, false, 0, 0);
  EXPECT_EQ(spr.i_bitmap[0].GetPixel(0, 0).a, 0);
  // Removing the background (bottom-left colour) then bleeding.
  spr.CreateFromBitmap(grab, 1, false, 0, 0);
  EXPECT_EQ(spr.i_bitmap[0].GetPixel(0, 0).Value(), 0xFFFF0000u);
  EXPECT_EQ(spr.i_bitmap[0].GetPixel(1, 0).Value(), 0x00FF0000u);
  EXPECT_EQ(spr.i_bitmap[0].GetPixel(1, 1).Value(), 0x00000000u);
  EXPECT_EQ(spr.i_bbox, (RRect{0, 0, 0, 0}));
  // Added images are stretched to the first image's size and get masks.
  spr.AddFromBitmap(TBitmap32(1, 1, kBlue), 0, false);
  EXPECT_EQ(spr.i_numb, 2);
  EXPECT_EQ(spr.i_bitmap[1], TBitmap32(2, 2, kBlue));
  spr.AddFromSprite(spr);
  EXPECT_EQ(spr.i_numb, 4);
  // Alpha from the other sprite's image i mod its count: (r + g + b) / 3.
  CSprite grey;
  grey.CreateFromBitmap(TBitmap32(2, 2, 0xFF303030u), 0, false, 0, 0);
  spr.SetAlphaFromSprite(grey);
  EXPECT_EQ(spr.i_bitmap[3].GetPixel(1, 1).a, 0x30);
  EXPECT_EQ(spr.GetBitmap(9).Width(), 0);
  EXPECT_EQ(spr.GetBoundingBoxImg(1), (RRect{0, 0, 1, 1}));

  CBackground back;
  back.CreateColor(3, 2, 0x0000FF);  // game colour: red in the low byte
  EXPECT_EQ(back.i_bitmap.GetPixel(2, 1).Value(), kRed);
  back.CreateColor(100000, 100000, 0);
  EXPECT_TRUE(back.i_bitmap.Empty());
}

TEST(Stretch, AveragesSamplesAndCountsTransparentOnesAsZero) {
  TBitmap32 bm = Picture(2, 1, {0xFF0000FFu, 0x00FFFFFFu});
  TBitmap32 wide = bm;
  StretchBitmap(wide, 4, 1, 1);
  EXPECT_EQ(wide.GetPixel(1, 0).Value(), 0xFF0000FFu);
  EXPECT_EQ(wide.GetPixel(2, 0).Value(), 0u);
  TBitmap32 half = bm;
  StretchBitmap(half, 1, 1, 2);  // samples (0, 0) twice and (1, 0) twice: half the sum
  EXPECT_EQ(half.GetPixel(0, 0).Value(), 0x80000080u);
}

}  // namespace
}  // namespace kestro
