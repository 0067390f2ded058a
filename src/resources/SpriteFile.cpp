#include "resources/SpriteFile.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "io/Stream.h"
#include "resources/BmpFile.h"
#include "resources/PictureFile.h"

namespace kestro {

namespace {

constexpr int32_t kSpriteFileVersion = 800;
constexpr int32_t kBackgroundFileVersion = 710;
constexpr size_t kMinBitmapBytes = 12;
// The canvas of animations: red 0x40, green 0x80, blue 0, opaque.
constexpr uint32_t kGifCanvas = 0xFF408000u;

bool IsGif(const std::string& fname) {
  std::string ext = std::filesystem::path(fname).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return ext == ".gif";
}

// The treatments of pictures from files, in their order.
void Treat(TBitmap32& bm, bool removeback, bool smooth) {
  if (removeback) bm.RemoveBackground();
  if (smooth) bm.SmoothEdges();
  if (removeback) bm.BleedColours();
}

// The three-way treatment of images taken from the screen or a surface.
void TreatGrab(TBitmap32& bm, int removeback, bool smooth) {
  if (removeback != 2) {
    const TColor32* p = bm.Data();
    const size_t n = size_t(bm.Width()) * size_t(bm.Height());
    if (std::all_of(p, p + n, [](const TColor32& c) { return c.a == 0; })) bm.MakeOpaque();
  }
  if (removeback == 1) bm.RemoveBackground();
  if (smooth) bm.SmoothEdges();
  if (removeback == 1) bm.BleedColours();
  if (removeback == -1) bm.MakeOpaque();
}

// Replaces the sprite's images and rebuilds origin, masks and textures.
void Install(CSprite& spr, std::vector<TBitmap32> images, int xorig, int yorig, const RMaskParams& p) {
  spr.Clear();
  spr.i_numb = int(images.size());
  spr.i_bitmap = std::move(images);
  spr.i_tex.assign(spr.i_bitmap.size(), -1);
  spr.i_xorig = xorig;
  spr.i_yorig = yorig;
  spr.ComputeMask(p);
  spr.InitTexture();
}

// Images changed in place: masks as pictures from files get them (keeping the separate-masks
// flag) and new textures.
void Rebuild(CSprite& spr) {
  spr.FreeTexture();
  spr.i_numb = int(spr.i_bitmap.size());
  spr.i_tex.assign(spr.i_bitmap.size(), -1);
  RMaskParams p;
  p.sepmasks = spr.i_sepmasks;
  spr.ComputeMask(p);
  spr.InitTexture();
}

bool ReadFileStream(const std::string& fname, CStream& s) {
  std::vector<uint8_t> bytes;
  if (!ReadPictureBytes(fname, bytes)) return false;
  s = CStream(std::move(bytes));
  return true;
}

}  // namespace

void StretchBitmap(TBitmap32& bm, int w, int h, int quality) {
  const int ow = bm.Width(), oh = bm.Height();
  if (w <= 0 || h <= 0 || (w == ow && h == oh)) return;
  if (int64_t(w) * h > kMaxPicturePixels || w > kMaxBitmapSide || h > kMaxBitmapSide) return;
  TBitmap32 out(w, h);
  if (bm.Empty()) {
    bm = std::move(out);
    return;
  }
  const int q = std::max(quality, 1);
  const double fx = double(w) / ow, fy = double(h) / oh;
  for (int i = 0; i < h; ++i)
    for (int j = 0; j < w; ++j) {
      int64_t sb = 0, sg = 0, sr = 0, sa = 0;
      for (int a = 0; a < q; ++a)
        for (int b = 0; b < q; ++b) {
          int sx = std::min(ow - 1, int(std::floor((double(b) / q + j) / fx)));
          int sy = std::min(oh - 1, int(std::floor((double(a) / q + i) / fy)));
          TColor32 c = bm.GetPixel(sx, sy);
          if (c.a == 0) continue;
          sb += c.b;
          sg += c.g;
          sr += c.r;
          sa += c.a;
        }
      const double n = double(q) * q;
      out.SetPixel(j, i, TColor32{uint8_t(std::lround(sb / n)), uint8_t(std::lround(sg / n)),
                                  uint8_t(std::lround(sr / n)), uint8_t(std::lround(sa / n))});
    }
  bm = std::move(out);
}

void SavePngFile(const TBitmap32& bm, const std::string& fname) {
  if (bm.Empty()) return;
  std::string error;
  bm.SaveToPng(fname, error);
}

void SaveImageFile(const TBitmap32& bm, const std::string& fname) {
  std::string ext = std::filesystem::path(fname).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  if (ext == ".png") return SavePngFile(bm, fname);
  if (bm.Empty()) return;
  RPixels px{bm.Width(), bm.Height(), {}};
  const auto* bytes = reinterpret_cast<const uint8_t*>(bm.Data());
  px.bgra.assign(bytes, bytes + size_t(bm.Width()) * size_t(bm.Height()) * 4);
  const std::vector<uint8_t> file = EncodeBmp32(px);
  std::ofstream out(fname, std::ios::binary | std::ios::trunc);
  if (out) out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
}

TBitmap32 SpriteStrip(const CSprite& spr) {
  const int n = spr.i_numb, w = spr.GetWidth(), h = spr.GetHeight();
  if (n <= 0 || int64_t(n) * w > kMaxBitmapSide || int64_t(n) * w * h > kMaxPicturePixels) return TBitmap32();
  TBitmap32 strip(n * w, h);
  for (int i = 0; i < n; ++i) {
    const TBitmap32& img = spr.i_bitmap[size_t(i)];
    for (int y = 0; y < std::min(h, img.Height()); ++y)
      std::copy_n(img.Data() + size_t(y) * size_t(img.Width()), size_t(std::min(w, img.Width())),
                  strip.Data() + size_t(y) * size_t(strip.Width()) + size_t(i) * size_t(w));
  }
  return strip;
}

// ---- sprites ----

void CSprite::Assign(const CSprite& spr) {
  if (&spr == this) return;
  Clear();
  i_numb = spr.i_numb;
  i_bitmap = spr.i_bitmap;
  i_xorig = spr.i_xorig;
  i_yorig = spr.i_yorig;
  i_bbox = spr.i_bbox;
  i_mask = spr.i_mask;
  i_sepmasks = spr.i_sepmasks;
  i_tex.assign(size_t(i_numb), -1);
  InitTexture();
}

bool CSprite::LoadFromFile(const std::string& fname, int imgnumb, bool removeback, bool smooth, int xorig,
                           int yorig) {
  std::vector<uint8_t> bytes;
  if (!ReadPictureBytes(fname, bytes)) return false;
  std::vector<TBitmap32> images;
  if (IsGif(fname)) {
    if (!DecodeGifAnimation(bytes, kGifCanvas, images)) return false;
  } else {
    TBitmap32 strip;
    if (!DecodePicture(bytes, strip)) return false;
    const int n = std::max(imgnumb, 1);
    const int w = strip.Width() / n;
    // More images than pixel columns would only make empty images.
    if (w <= 0) return false;
    images.resize(size_t(n));
    for (int i = 0; i < n; ++i) {
      images[size_t(i)].Create(w, strip.Height());
      for (int y = 0; y < strip.Height(); ++y)
        std::copy_n(strip.Data() + size_t(y) * size_t(strip.Width()) + size_t(i) * size_t(w), size_t(w),
                    images[size_t(i)].Data() + size_t(y) * size_t(w));
    }
  }
  for (TBitmap32& bm : images) Treat(bm, removeback, smooth);
  Install(*this, std::move(images), xorig, yorig, RMaskParams{});
  return true;
}

bool CSprite::LoadFromSpriteFile(const std::string& fname) {
  CStream file;
  return ReadFileStream(fname, file) && ReadSpriteFile(file, *this);
}

bool ReadSpriteFile(CStream& file, CSprite& spr) {
  try {
    if (file.Remaining() < 4 || file.ReadInteger() != kSpriteFileMagic) return false;
    std::unique_ptr<CStream> s = file.ReadStreamC();
    if (s->ReadInteger() != kSpriteFileVersion) return false;
    int xorig = s->ReadInteger(), yorig = s->ReadInteger();
    int32_t n = s->ReadInteger();
    if (!CountFits(*s, n, kMinBitmapBytes)) return false;
    std::vector<TBitmap32> images;
    images.resize(size_t(n));
    for (TBitmap32& bm : images) bm.LoadFromStream(*s);
    RMaskParams p;
    p.kind = s->ReadInteger();
    p.tolerance = s->ReadInteger();
    p.sepmasks = s->ReadBoolean();
    p.bbmode = s->ReadInteger();
    p.bbox.Left = s->ReadInteger();
    p.bbox.Right = s->ReadInteger();
    p.bbox.Bottom = s->ReadInteger();
    p.bbox.Top = s->ReadInteger();
    for (TBitmap32& bm : images) bm.BleedColours();
    Install(spr, std::move(images), xorig, yorig, p);
    return true;
  } catch (const EStreamError&) {
    return false;
  }
}

void CSprite::CreateFromBitmap(const TBitmap32& bm, int removeback, bool smooth, int xorig, int yorig) {
  std::vector<TBitmap32> images(1, bm);
  TreatGrab(images[0], removeback, smooth);
  Install(*this, std::move(images), xorig, yorig, RMaskParams{});
}

void CSprite::AddFromBitmap(const TBitmap32& bm, int removeback, bool smooth) {
  TBitmap32 img = bm;
  TreatGrab(img, removeback, smooth);
  if (i_numb > 0) StretchBitmap(img, GetWidth(), GetHeight(), 1);
  i_bitmap.push_back(std::move(img));
  Rebuild(*this);
}

void CSprite::AddFromSprite(const CSprite& spr) {
  // Copied first: spr may be this sprite.
  std::vector<TBitmap32> add(spr.i_bitmap.begin(), spr.i_bitmap.begin() + spr.i_numb);
  if (add.empty()) return;
  for (TBitmap32& img : add) {
    if (i_numb > 0) StretchBitmap(img, GetWidth(), GetHeight(), 1);
    i_bitmap.push_back(std::move(img));
  }
  Rebuild(*this);
}

void CSprite::SetAlphaFromSprite(const CSprite& spr) {
  if (spr.i_numb <= 0 || i_numb <= 0) return;
  const std::vector<TBitmap32> from(spr.i_bitmap.begin(), spr.i_bitmap.begin() + spr.i_numb);
  for (int i = 0; i < i_numb; ++i) i_bitmap[size_t(i)].AlphaFromImage(from[size_t(i % spr.i_numb)]);
  // Only the look changes; the masks keep the settings they were made with.
  FreeTexture();
  InitTexture();
}

TBitmap32 CSprite::GetBitmap(int ind) const {
  return ind >= 0 && ind < i_numb ? i_bitmap[size_t(ind)] : TBitmap32();
}

RRect CSprite::GetBoundingBoxImg(int ind) const {
  return ind >= 0 && ind < i_numb ? i_bitmap[size_t(ind)].BoundingBox(0) : RRect{};
}

void SaveSpriteFile(CStream& out, const CSprite& spr, const RMaskParams& p) {
  CStream s;
  s.WriteInteger(kSpriteFileVersion);
  s.WriteInteger(spr.i_xorig);
  s.WriteInteger(spr.i_yorig);
  s.WriteInteger(spr.i_numb);
  for (int i = 0; i < spr.i_numb; ++i) spr.i_bitmap[size_t(i)].SaveToStream(s);
  s.WriteInteger(p.kind);
  s.WriteInteger(p.tolerance);
  s.WriteBoolean(p.sepmasks);
  s.WriteInteger(p.bbmode);
  s.WriteInteger(p.bbox.Left);
  s.WriteInteger(p.bbox.Right);
  s.WriteInteger(p.bbox.Bottom);
  s.WriteInteger(p.bbox.Top);
  out.WriteInteger(kSpriteFileMagic);
  out.WriteStreamC(s);
}

// ---- backgrounds ----

void CBackground::Assign(const CBackground& b) {
  if (&b == this) return;
  Clear();
  i_bitmap = b.i_bitmap;
  InitTexture();
}

bool CBackground::LoadFromFile(const std::string& fname, bool removeback, bool smooth) {
  TBitmap32 bm;
  if (!bm.LoadFromImageFile(fname)) return false;
  Treat(bm, removeback, smooth);
  Clear();
  i_bitmap = std::move(bm);
  InitTexture();
  return true;
}

bool CBackground::LoadFromBackgroundFile(const std::string& fname) {
  CStream file;
  return ReadFileStream(fname, file) && ReadBackgroundFile(file, *this);
}

bool ReadBackgroundFile(CStream& file, CBackground& back) {
  try {
    if (file.Remaining() < 4 || file.ReadInteger() != kSpriteFileMagic) return false;
    std::unique_ptr<CStream> s = file.ReadStreamC();
    if (s->ReadInteger() != kBackgroundFileVersion) return false;
    s->ReadBoolean();
    for (int i = 0; i < 6; ++i) s->ReadInteger();
    TBitmap32 bm;
    bm.LoadFromStream(*s);
    bm.BleedColours();
    back.Clear();
    back.i_bitmap = std::move(bm);
    back.InitTexture();
    return true;
  } catch (const EStreamError&) {
    return false;
  }
}

void CBackground::CreateFromBitmap(const TBitmap32& bm, int removeback, bool smooth) {
  TBitmap32 img = bm;
  TreatGrab(img, removeback, smooth);
  Clear();
  i_bitmap = std::move(img);
  InitTexture();
}

void CBackground::CreateColor(int w, int h, int32_t col) {
  Clear();
  // Sizes beyond what a picture may have give no image rather than an unbounded allocation.
  if (w > 0 && h > 0 && w <= kMaxBitmapSide && h <= kMaxBitmapSide && int64_t(w) * h <= kMaxPicturePixels) {
    const uint32_t c = uint32_t(col);
    i_bitmap.Create(w, h, 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | ((c >> 16) & 0xFF));
  }
  InitTexture();
}

void CBackground::SetAlphaFromBackground(const CBackground& back) {
  const TBitmap32 from = back.i_bitmap;
  i_bitmap.AlphaFromImage(from);
  FreeTexture();
  InitTexture();
}

void SaveBackgroundFile(CStream& out, const CBackground& back) {
  CStream s;
  s.WriteInteger(kBackgroundFileVersion);
  s.WriteBoolean(false);
  for (int i = 0; i < 6; ++i) s.WriteInteger(0);
  back.i_bitmap.SaveToStream(s);
  out.WriteInteger(kSpriteFileMagic);
  out.WriteStreamC(s);
}

// ---- list operations ----

namespace {

template <typename T, typename Load>
int AddLoaded(CResourceList<T>& list, Load load) {
  auto obj = std::make_unique<T>();
  if (!load(*obj)) return -1;
  const int i = list.Count();
  return list.Add(std::move(obj), NewSlotName<T>(i));
}

template <typename T, typename Load>
bool ReplaceLoaded(CResourceList<T>& list, int ind, Load load) {
  if (ind < 0 || ind >= list.Count()) return false;
  if (T* o = list.Get(ind)) return load(*o);
  auto obj = std::make_unique<T>();
  if (!load(*obj)) return false;
  list.Put(ind, std::move(obj), NewSlotName<T>(ind));
  return true;
}

}  // namespace

int SpriteAddFromFile(CResourceList<CSprite>& list, const std::string& fname, int imgnumb, bool removeback,
                      bool smooth, int xorig, int yorig) {
  return AddLoaded(list, [&](CSprite& s) { return s.LoadFromFile(fname, imgnumb, removeback, smooth, xorig, yorig); });
}

int SpriteAddFromSpriteFile(CResourceList<CSprite>& list, const std::string& fname) {
  return AddLoaded(list, [&](CSprite& s) { return s.LoadFromSpriteFile(fname); });
}

bool SpriteReplaceFromFile(CResourceList<CSprite>& list, int ind, const std::string& fname, int imgnumb,
                           bool removeback, bool smooth, int xorig, int yorig) {
  return ReplaceLoaded(list, ind,
                       [&](CSprite& s) { return s.LoadFromFile(fname, imgnumb, removeback, smooth, xorig, yorig); });
}

bool SpriteReplaceFromSpriteFile(CResourceList<CSprite>& list, int ind, const std::string& fname) {
  return ReplaceLoaded(list, ind, [&](CSprite& s) { return s.LoadFromSpriteFile(fname); });
}

int SpriteCreateEmpty(CResourceList<CSprite>& list) {
  const int i = list.Count();
  return list.Add(std::make_unique<CSprite>(), NewSlotName<CSprite>(i));
}

int BackgroundAddFromFile(CResourceList<CBackground>& list, const std::string& fname, bool removeback, bool smooth) {
  return AddLoaded(list, [&](CBackground& b) { return b.LoadFromFile(fname, removeback, smooth); });
}

int BackgroundAddFromBackgroundFile(CResourceList<CBackground>& list, const std::string& fname) {
  return AddLoaded(list, [&](CBackground& b) { return b.LoadFromBackgroundFile(fname); });
}

bool BackgroundReplaceFromFile(CResourceList<CBackground>& list, int ind, const std::string& fname, bool removeback,
                               bool smooth) {
  return ReplaceLoaded(list, ind, [&](CBackground& b) { return b.LoadFromFile(fname, removeback, smooth); });
}

bool BackgroundReplaceFromBackgroundFile(CResourceList<CBackground>& list, int ind, const std::string& fname) {
  return ReplaceLoaded(list, ind, [&](CBackground& b) { return b.LoadFromBackgroundFile(fname); });
}

}  // namespace kestro
