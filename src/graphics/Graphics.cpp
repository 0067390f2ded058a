#include "graphics/Graphics.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics/Clock.h"
#include "graphics/Display.h"
#include "graphics/GameWindow.h"
#include "resources/Bitmap32.h"
#include "resources/TextureSource.h"

namespace kestro {

uint32_t VertexColour(int32_t gameColour, double alpha) {
  double a = alpha * 255;
  uint32_t ab = (!(a > 0)) ? 0u : a >= 255 ? 255u : uint32_t(RoundEven(a));
  uint32_t c = uint32_t(gameColour);
  return ab << 24 | (c & 0xFF) << 16 | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

void BlendModeFactors(int mode, int& src, int& dest) {
  switch (mode) {
    case 1: src = kBlendSrcAlpha; dest = kBlendOne; break;
    case 2: src = kBlendSrcAlpha; dest = kBlendInvSrcColor; break;
    case 3: src = kBlendZero; dest = kBlendInvSrcColor; break;
    default: src = kBlendSrcAlpha; dest = kBlendInvSrcAlpha; break;
  }
}

namespace {
// Generations count across every drawing layer of the process, so a new layer never repeats one.
int NextGeneration() {
  static int last = 0;
  return ++last;
}

// Sprites and backgrounds get their textures from the texture table once the drawing layer exists.
class CTableTextures final : public ITextureSource {
 public:
  int CreateTexture(const TBitmap32& bm) override {
    return Graphics().TextureCreateFromPixels(bm.Width(), bm.Height(), reinterpret_cast<const uint8_t*>(bm.Data()));
  }
  void FreeTexture(int texture) override { Graphics().TextureFree(texture); }
};
}  // namespace

CGraphics& Graphics() {
  static CGraphics& g = []() -> CGraphics& {
    static CGraphics graphics;
    static CTableTextures textures;
    SetTextureSource(&textures);
    return graphics;
  }();
  return g;
}

void CGraphics::Attach(IGraphicsDevice* device, CWindowState* window) {
  device_ = device;
  window_ = window;
  if (cos_.empty()) SetCirclePrecision(circleN_);
}

void CGraphics::Start(bool synchronise) {
  SetSynchronisation(synchronise);
  if (!device_) return;
  regionW_ = std::min(640, device_->BackBufferWidth());
  regionH_ = std::min(480, device_->BackBufferHeight());
  textures_.Clear();
  generation_ = NextGeneration();
  target_ = -1;
  device_->SetRenderTarget(0);
  SetViewport(0, 0, device_->BackBufferWidth(), device_->BackBufferHeight());
  device_->Clear(0xFF000000u, true, true);
  SetViewport(0, 0, regionW_, regionH_);
  SetProjection(0, 0, regionW_, regionH_, 0);
  RestoreRenderStates();
}

void CGraphics::Stop() {
  if (device_)
    for (int i = 0; i < textures_.Count(); ++i) TextureFree(i);
  textures_.Clear();
  generation_ = NextGeneration();
  device_ = nullptr;
}

void CGraphics::RestoreRenderStates() {
  if (!device_) return;
  kept_.depthTest = kept_.alphaTest = mode3d_ && hidden_;
  device_->SetState(kept_);
  device_->SetTransforms(world_, view_, projection_);
  device_->SetViewport(viewport_);
  device_->SetLighting(lighting_);
  device_->SetSynchronisation(sync_);
}

void CGraphics::ApplyDisplayReset() {
  if (!resetPending_) return;
  resetPending_ = false;
  Display().Restore();
  // A full-screen window shows the desktop's mode again.
  if (CGameWindow* w = GameWindow()) w->DisplayChanged();
  multisample_ = (resetLevel_ == 2 || resetLevel_ == 4 || resetLevel_ == 8) ? resetLevel_ : 0;
  ResetDevice();
}

void CGraphics::ResetDevice() {
  if (!device_) return;
  // A level the device refuses leaves it without multisampling.
  if (!device_->SetMultisample(multisample_)) multisample_ = 0;
  if (target_ >= 0) SetRenderTarget(-1);
  RPixelRect vp = viewport_;
  SetViewport(0, 0, device_->BackBufferWidth(), device_->BackBufferHeight());
  device_->Clear(0xFF000000u, true, true);
  viewport_ = vp;
  RestoreRenderStates();
}

// ---- textures ----

int CGraphics::TextureCreate(int w, int h, bool renderTarget) {
  if (!device_ || w < 0 || h < 0) return -1;
  int maxSide = device_->MaxTextureSide();
  int wt = TextureSide(std::max(w, 1), maxSide), ht = TextureSide(std::max(h, 1), maxSide);
  int id = textures_.Allocate();
  uint32_t handle = device_->CreateTexture(wt, ht, nullptr, renderTarget);
  if (!handle) return -1;
  textures_.Set(id, RTexture{handle, w, h, wt, ht, true, renderTarget});
  return id;
}

int CGraphics::TextureCreateFromPixels(int w, int h, const uint8_t* bgra) {
  if (!device_ || !bgra || w < 0 || h < 0) return -1;
  int maxSide = device_->MaxTextureSide();
  int wt = TextureSide(std::max(w, 1), maxSide), ht = TextureSide(std::max(h, 1), maxSide);
  std::vector<uint8_t> padded = PadTexturePixels(bgra, w, h, wt, ht);
  int id = textures_.Allocate();
  uint32_t handle = device_->CreateTexture(wt, ht, padded.data(), false);
  if (!handle) return -1;
  textures_.Set(id, RTexture{handle, w, h, wt, ht, true, false});
  return id;
}

int CGraphics::TextureCreateFromAlpha(int w, int h, const uint8_t* alpha) {
  if (!alpha || w < 0 || h < 0) return -1;
  std::vector<uint8_t> px(size_t(w) * size_t(h) * 4);
  for (size_t i = 0; i < size_t(w) * size_t(h); ++i) {
    px[i * 4] = px[i * 4 + 1] = px[i * 4 + 2] = 255;
    px[i * 4 + 3] = alpha[i];
  }
  return TextureCreateFromPixels(w, h, px.data());
}

void CGraphics::TextureFree(int id) {
  RTexture* t = textures_.Get(id);
  if (!t) return;
  if (target_ == id) SetRenderTarget(-1);
  if (device_) device_->FreeTexture(t->handle);
  textures_.Free(id);
}

void CGraphics::SetTexture(int id) {
  if (!device_) return;
  const RTexture* t = textures_.Get(id);
  device_->SetTexture(t ? t->handle : 0);
}

// ---- quads ----

RVertex CGraphics::V(double x, double y, uint32_t c, double u, double v) const {
  return RVertex{float(x), float(y), float(z_), c, float(u), float(v)};
}

void CGraphics::Send(EPrimitive type, const RVertex* v, int count, uint32_t texture, bool wrap) {
  if (!device_ || count <= 0) return;
  RRenderState s = kept_;
  s.wrap = wrap;
  device_->SetState(s);
  device_->SetTexture(texture);
  device_->Draw(type, v, count);
}

void CGraphics::Quad(int id, const RVertex uvc[4], double dxs[4], double dys[4], double x, double y, double angle) {
  const RTexture* t = textures_.Get(id);
  if (!t || !device_) return;
  RVertex q[4];
  bool turn = std::fabs(angle) >= 0.001;
  double c = turn ? std::cos(angle) : 1, s = turn ? std::sin(angle) : 0;
  for (int i = 0; i < 4; ++i) {
    double px = turn ? x + dxs[i] * c + dys[i] * s : x + dxs[i];
    double py = turn ? y - dxs[i] * s + dys[i] * c : y + dys[i];
    q[i] = V(px, py, uvc[i].colour, uvc[i].u, uvc[i].v);
  }
  Send(EPrimitive::TriangleFan, q, 4, t->handle, false);
}

void CGraphics::DrawTextureSimple(int id, double x, double y) {
  const RTexture* t = textures_.Get(id);
  if (!t) return;
  DrawTexture(id, 0xFFFFFF, 0, 0, x, y, 1, 1, 0, 1);
}

void CGraphics::DrawTexture(int id, int32_t colour, double xorig, double yorig, double x, double y, double xscale,
                            double yscale, double angle, double alpha) {
  const RTexture* t = textures_.Get(id);
  if (!t) return;
  double l = -xscale * xorig - 0.5, r = t->w * xscale - xscale * xorig - 0.5;
  double tp = -yscale * yorig - 0.5, b = t->h * yscale - yscale * yorig - 0.5;
  double eu = textures_.ExtentU(id), ev = textures_.ExtentV(id);
  uint32_t c = VertexColour(colour, alpha);
  RVertex uv[4] = {{0, 0, 0, c, 0, 0}, {0, 0, 0, c, float(eu), 0}, {0, 0, 0, c, float(eu), float(ev)},
                   {0, 0, 0, c, 0, float(ev)}};
  double dx[4] = {l, r, r, l}, dy[4] = {tp, tp, b, b};
  Quad(id, uv, dx, dy, x, y, angle);
}

void CGraphics::DrawTexturePart(int id, int32_t colour, double left, double top, double width, double height,
                                double x, double y, double xscale, double yscale, double angle, double alpha) {
  int32_t cs[4] = {colour, colour, colour, colour};
  DrawTextureGeneral(id, cs, alpha, left, top, width, height, x, y, xscale, yscale, angle);
}

void CGraphics::DrawTextureGeneral(int id, const int32_t colours[4], double alpha, double left, double top,
                                   double width, double height, double x, double y, double xscale,
                                   double yscale, double angle) {
  const RTexture* t = textures_.Get(id);
  if (!t) return;
  double u0 = left / t->wt, v0 = top / t->ht, u1 = (left + width) / t->wt, v1 = (top + height) / t->ht;
  RVertex uv[4] = {{0, 0, 0, VertexColour(colours[0], alpha), float(u0), float(v0)},
                   {0, 0, 0, VertexColour(colours[1], alpha), float(u1), float(v0)},
                   {0, 0, 0, VertexColour(colours[2], alpha), float(u1), float(v1)},
                   {0, 0, 0, VertexColour(colours[3], alpha), float(u0), float(v1)}};
  double r = width * xscale - 0.5, b = height * yscale - 0.5;
  double dx[4] = {-0.5, r, r, -0.5}, dy[4] = {-0.5, -0.5, b, b};
  Quad(id, uv, dx, dy, x, y, angle);
}

namespace {
// The first tile position on one axis: tiles repeat every `size` from `pos` and the first one
// ends at or after `start`. Without tiling it is the rounded position itself.
double FirstTile(double pos, int64_t size, double start, bool tiled) {
  int64_t c = RoundEven(pos);
  if (!tiled) return double(c);
  c %= size;
  if (c >= 1) c -= size;
  double cx = double(c);
  if (cx + size < start) {
    double k = std::floor((start - cx - size) / size);
    if (k > 0) cx += k * size;
    while (cx + size < start) cx += size;
  }
  return cx;
}
}  // namespace

void CGraphics::DrawTextureTiled(int id, bool htiled, bool vtiled, double xorig, double yorig, double x, double y,
                                 double xscale, double yscale, double areaLeft, double areaTop, double areaWidth,
                                 double areaHeight, int32_t colour, double alpha) {
  const RTexture* t = textures_.Get(id);
  if (!t) return;
  int64_t tw = RoundEven(t->w * xscale), th = RoundEven(t->h * yscale);
  if (tw < 1 || th < 1) return;
  // A runaway area (damaged values) must not hang the game: no room needs more tiles than this.
  constexpr int64_t kMaxTiles = 1 << 22;
  int64_t drawn = 0;
  double eu = textures_.ExtentU(id), ev = textures_.ExtentV(id);
  uint32_t c = VertexColour(colour, alpha);
  RVertex uv[4] = {{0, 0, 0, c, 0, 0}, {0, 0, 0, c, float(eu), 0}, {0, 0, 0, c, float(eu), float(ev)},
                   {0, 0, 0, c, 0, float(ev)}};
  double qw = t->w * xscale, qh = t->h * yscale;
  for (double cx = FirstTile(x, tw, areaLeft, htiled); cx < areaLeft + areaWidth; cx += double(tw)) {
    for (double cy = FirstTile(y, th, areaTop, vtiled); cy < areaTop + areaHeight; cy += double(th)) {
      double l = cx - xscale * xorig - 0.5, tp = cy - yscale * yorig - 0.5;
      double dx[4] = {l, l + qw, l + qw, l}, dy[4] = {tp, tp, tp + qh, tp + qh};
      Quad(id, uv, dx, dy, 0, 0, 0);
      if (!vtiled || ++drawn > kMaxTiles) break;
    }
    if (!htiled || drawn > kMaxTiles) break;
  }
}

// ---- untextured primitives ----

void CGraphics::DrawPoint(double x, double y, uint32_t c) {
  RVertex v = V(x, y, c);
  Send(EPrimitive::PointList, &v, 1, 0, kept_.wrap);
}

void CGraphics::DrawPointColour(double x, double y, uint32_t c) { DrawPoint(x + 0.01, y + 0.01, c); }

void CGraphics::DrawLine(double x1, double y1, double x2, double y2, uint32_t c1, uint32_t c2) {
  RVertex v[2] = {V(x1 + 0.01, y1 + 0.01, c1), V(x2 + 0.01, y2 + 0.01, c2)};
  Send(EPrimitive::LineList, v, 2, 0, kept_.wrap);
}

void CGraphics::DrawLineWidth(double x1, double y1, double x2, double y2, double w, uint32_t c1, uint32_t c2) {
  double l = std::hypot(x2 - x1, y2 - y1);
  if (l == 0 || !std::isfinite(l)) return;
  double ox = (y2 - y1) * (w / 2) / l, oy = (x2 - x1) * (w / 2) / l;
  RVertex v[4] = {V(x1 - ox, y1 + oy, c1), V(x2 - ox, y2 + oy, c2), V(x2 + ox, y2 - oy, c2),
                  V(x1 + ox, y1 - oy, c1)};
  Send(EPrimitive::TriangleFan, v, 4, 0, kept_.wrap);
}

void CGraphics::DrawTriangle(double x1, double y1, double x2, double y2, double x3, double y3, uint32_t c1,
                             uint32_t c2, uint32_t c3, bool outline) {
  RVertex v[4] = {V(x1, y1, c1), V(x2, y2, c2), V(x3, y3, c3), V(x1, y1, c1)};
  if (outline)
    Send(EPrimitive::LineStrip, v, 4, 0, kept_.wrap);
  else
    Send(EPrimitive::TriangleList, v, 3, 0, kept_.wrap);
}

namespace {
void SortBox(double& x1, double& y1, double& x2, double& y2) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  // A whole-number far edge is pushed just past the pixel centre so that it is covered.
  if (x2 == std::floor(x2)) x2 += 0.01;
  if (y2 == std::floor(y2)) y2 += 0.01;
}
}  // namespace

void CGraphics::DrawRectangle(double x1, double y1, double x2, double y2, const uint32_t c[4], bool outline) {
  SortBox(x1, y1, x2, y2);
  RVertex v[5] = {V(x1, y1, c[0]), V(x2, y1, c[1]), V(x2, y2, c[2]), V(x1, y2, c[3]), V(x1, y1, c[0])};
  if (outline)
    Send(EPrimitive::LineStrip, v, 5, 0, kept_.wrap);
  else
    Send(EPrimitive::TriangleFan, v, 4, 0, kept_.wrap);
}

void CGraphics::SetCirclePrecision(int p) {
  p = std::clamp(p, 4, 64);
  circleN_ = p / 4 * 4;
  cos_.resize(size_t(circleN_) + 1);
  sin_.resize(size_t(circleN_) + 1);
  for (int i = 0; i <= circleN_; ++i) {
    double t = 2 * std::numbers::pi * i / circleN_;
    cos_[size_t(i)] = std::cos(t);
    sin_[size_t(i)] = std::sin(t);
  }
}

void CGraphics::DrawEllipse(double x1, double y1, double x2, double y2, uint32_t centre, uint32_t edge,
                            bool outline) {
  double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2, rx = std::fabs(x2 - x1) / 2, ry = std::fabs(y2 - y1) / 2;
  int n = circleN_;
  scratch_.clear();
  if (outline) {
    scratch_.push_back(V(cx + rx * cos_[size_t(n - 1)], cy + ry * sin_[size_t(n - 1)], edge));
    for (int i = 0; i < n; ++i) scratch_.push_back(V(cx + rx * cos_[size_t(i)], cy + ry * sin_[size_t(i)], edge));
    Send(EPrimitive::LineStrip, scratch_.data(), int(scratch_.size()), 0, kept_.wrap);
  } else {
    scratch_.push_back(V(cx, cy, centre));
    for (int i = 0; i <= n; ++i) scratch_.push_back(V(cx + rx * cos_[size_t(i)], cy + ry * sin_[size_t(i)], edge));
    Send(EPrimitive::TriangleFan, scratch_.data(), int(scratch_.size()), 0, kept_.wrap);
  }
}

void CGraphics::DrawRoundRect(double x1, double y1, double x2, double y2, double cw, double ch, uint32_t centre,
                              uint32_t edge, bool outline) {
  SortBox(x1, y1, x2, y2);
  double w = x2 - x1, h = y2 - y1;
  cw = std::min(cw, w);
  ch = std::min(ch, h);
  double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2, dxc = w / 2 - cw / 2, dyc = h / 2 - ch / 2;
  int n = circleN_, q = n / 4;
  const double sx[4] = {1, -1, -1, 1}, sy[4] = {1, 1, -1, -1};
  scratch_.clear();
  if (!outline) scratch_.push_back(V(cx, cy, centre));
  for (int a = 0; a < 4; ++a)
    for (int i = a * q; i <= (a + 1) * q; ++i)
      scratch_.push_back(V(cx + sx[a] * dxc + cw / 2 * cos_[size_t(i)], cy + sy[a] * dyc + ch / 2 * sin_[size_t(i)], edge));
  scratch_.push_back(scratch_[outline ? 0 : 1]);
  Send(outline ? EPrimitive::LineStrip : EPrimitive::TriangleFan, scratch_.data(), int(scratch_.size()), 0,
       kept_.wrap);
}

void CGraphics::DrawPrimitive(EPrimitive type, const RVertex* v, int count, int textureId) {
  const RTexture* t = textures_.Get(textureId);
  Send(type, v, count, t ? t->handle : 0, kept_.wrap);
}

// ---- colour ----

void CGraphics::SetColour(int32_t gameColour) {
  colour_ = gameColour & 0xFFFFFF;
  drawColour_ = VertexColour(colour_, alpha_);
}

void CGraphics::SetAlpha(double alpha) {
  alpha_ = std::isnan(alpha) ? 0 : std::clamp(alpha, 0.0, 1.0);
  drawColour_ = VertexColour(colour_, alpha_);
}

// ---- frames ----

bool CGraphics::PresentFrame() {
  if (!device_) return false;
  RPixelRect src{0, 0, regionW_, regionH_};
  RPixelRect dst = window_ ? window_->Destination() : src;
  return device_->Present(src, dst, window_ ? window_->colour : 0);
}

bool CGraphics::RefreshWindow() { return PresentFrame(); }

void CGraphics::WaitVerticalBlank() {
  CStepClock& c = StepClock();
  c.Sleep(MicrosecondsToNextRefresh(c.MicrosecondClock(), Display().Frequency()));
}

void CGraphics::ClearScreen(int32_t gameColour, double alpha) {
  if (device_) device_->Clear(VertexColour(gameColour, alpha), true, true);
}

void CGraphics::ClearDepth() {
  if (device_ && mode3d_) device_->Clear(0, false, true);
}

// ---- views ----

void CGraphics::SetViewport(int left, int top, int width, int height) {
  viewport_ = {left, top, std::max(width, 0), std::max(height, 0)};
  if (device_) device_->SetViewport(viewport_);
}

void CGraphics::SetProjection(double left, double top, double width, double height, double angle) {
  double cx = left + width / 2, cy = top + height / 2;
  double a = -angle * std::numbers::pi / 180;
  RVector3 up{std::sin(a), std::cos(a), 0};
  if (width == 0) width = 1;
  if (height == 0) height = 1;
  if (mode3d_ && perspective_) {
    view_ = RMatrix::LookAtLH({cx, cy, -width}, {cx, cy, 0}, up);
    // The negative height turns y downwards as the orthographic projection does, so that
    // what lies at depth 0 is drawn where 2-D drawing puts it.
    projection_ = RMatrix::PerspectiveLH(1, -height / width, 1, 32000);
  } else {
    view_ = RMatrix::LookAtLH({cx, cy, -16000}, {cx, cy, 0}, up);
    projection_ = RMatrix::OrthoLH(width, -height, 1, 32000);
  }
  if (device_) device_->SetTransforms(world_, view_, projection_);
}

void CGraphics::SetWorld(const RMatrix& m) {
  world_ = m;
  if (device_) device_->SetTransforms(world_, view_, projection_);
}

void CGraphics::SetCamera(const RMatrix& view) {
  view_ = view;
  if (device_) device_->SetTransforms(world_, view_, projection_);
}

void CGraphics::SetCamera(const RMatrix& view, const RMatrix& projection) {
  view_ = view;
  projection_ = projection;
  if (device_) device_->SetTransforms(world_, view_, projection_);
}

void CGraphics::SetDepth(double d) { z_ = mode3d_ ? std::clamp(d, -16000.0, 16000.0) : 0; }

void CGraphics::SetDeviceRegion(int w, int h) {
  if (device_) {
    w = std::min(w, device_->BackBufferWidth());
    h = std::min(h, device_->BackBufferHeight());
  }
  w = std::max(w, 1);
  h = std::max(h, 1);
  if (w == regionW_ && h == regionH_) return;
  regionW_ = w;
  regionH_ = h;
  SetViewport(0, 0, w, h);
  SetProjection(0, 0, w, h, 0);
}

// ---- states ----

void CGraphics::SetBlendMode(int mode) {
  BlendModeFactors(mode, kept_.srcBlend, kept_.destBlend);
}

void CGraphics::SetBlendFactors(int src, int dest) {
  kept_.srcBlend = src;
  kept_.destBlend = dest;
}

void CGraphics::SetInterpolation(bool on) { kept_.linearFilter = on; }
void CGraphics::SetTextureBlending(bool on) { kept_.modulate = on; }
void CGraphics::SetTextureRepeat(bool on) { kept_.wrap = on; }

void CGraphics::SetSynchronisation(bool on) {
  sync_ = on;
  if (device_) device_->SetSynchronisation(on);
}

void CGraphics::Set3DMode(bool on, bool hiddenSurface, bool perspective) {
  mode3d_ = on;
  hidden_ = hiddenSurface;
  perspective_ = perspective;
  kept_.depthTest = kept_.alphaTest = mode3d_ && hidden_;
  if (!mode3d_) z_ = 0;
}

void CGraphics::SetCulling(bool on) { kept_.cullCCW = on; }

void CGraphics::SetAmbient(int32_t gameColour) {
  lighting_.ambientR = float(gameColour & 0xFF) / 255.f;
  lighting_.ambientG = float((gameColour >> 8) & 0xFF) / 255.f;
  lighting_.ambientB = float((gameColour >> 16) & 0xFF) / 255.f;
  if (device_) device_->SetLighting(lighting_);
}

void CGraphics::SetLight(int index, const RLight& light) {
  if (index < 0 || index >= RLighting::kLights) return;
  bool on = lighting_.lights[index].enabled;
  lighting_.lights[index] = light;
  lighting_.lights[index].enabled = on;
  if (device_) device_->SetLighting(lighting_);
}

void CGraphics::EnableLight(int index, bool on) {
  if (index < 0 || index >= RLighting::kLights) return;
  lighting_.lights[index].enabled = on;
  if (device_) device_->SetLighting(lighting_);
}

void CGraphics::SetFog(bool on, int32_t gameColour, double start, double end) {
  kept_.fog = on;
  kept_.fogColour = VertexColour(gameColour, 1);
  kept_.fogStart = float(start);
  kept_.fogEnd = float(end);
}

bool CGraphics::SetRenderTarget(int id) {
  if (!device_) return false;
  if (id < 0) {
    target_ = -1;
    bool ok = device_->SetRenderTarget(0);
    SetViewport(0, 0, device_->BackBufferWidth(), device_->BackBufferHeight());
    return ok;
  }
  const RTexture* t = textures_.Get(id);
  if (!t || !t->renderTarget || !device_->SetRenderTarget(t->handle)) return false;
  target_ = id;
  // Switching the target resets the viewport to the whole target, as the device always did.
  SetViewport(0, 0, t->wt, t->ht);
  return true;
}

bool CGraphics::GrabScreen(int left, int top, int w, int h, RGrab& out) {
  out = RGrab{};
  if (!device_) return false;
  left = std::max(left, 0);
  top = std::max(top, 0);
  w = std::min(w, regionW_ - left);
  h = std::min(h, regionH_ - top);
  if (w <= 0 || h <= 0) return false;
  if (!device_->ReadPixels(0, {left, top, w, h}, out.bgra)) return false;
  out.width = w;
  out.height = h;
  if (Display().Depth() == 16) {
    out.bits = 16;
    for (size_t i = 0; i + 3 < out.bgra.size(); i += 4) {
      uint8_t b = out.bgra[i] >> 3, g = out.bgra[i + 1] >> 2, r = out.bgra[i + 2] >> 3;
      out.bgra[i] = uint8_t(b << 3 | b >> 2);
      out.bgra[i + 1] = uint8_t(g << 2 | g >> 4);
      out.bgra[i + 2] = uint8_t(r << 3 | r >> 2);
    }
  }
  return true;
}

bool CGraphics::GrabTexture(int id, int left, int top, int w, int h, RGrab& out) {
  out = RGrab{};
  const RTexture* t = textures_.Get(id);
  if (!device_ || !t || !t->renderTarget) return false;
  left = std::max(left, 0);
  top = std::max(top, 0);
  w = std::min(w, t->w - left);
  h = std::min(h, t->h - top);
  if (w <= 0 || h <= 0) return false;
  if (!device_->ReadPixels(t->handle, {left, top, w, h}, out.bgra)) return false;
  out.width = w;
  out.height = h;
  return true;
}

void CGraphics::RestoreView(const RViewState& v) {
  viewport_ = v.viewport;
  view_ = v.view;
  projection_ = v.projection;
  if (!device_) return;
  device_->SetViewport(viewport_);
  device_->SetTransforms(world_, view_, projection_);
}

int32_t CGraphics::GetPixel(int x, int y) {
  RGrab g;
  if (!GrabScreen(x, y, 1, 1, g)) return -1;
  return int32_t(g.bgra[2]) | int32_t(g.bgra[1]) << 8 | int32_t(g.bgra[0]) << 16;
}

}  // namespace kestro
