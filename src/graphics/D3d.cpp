#include "graphics/D3d.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics/Graphics.h"
#include "script/Numeric.h"

namespace kestro {

namespace {

constexpr double kPi = std::numbers::pi;

double Radians(double degrees) { return degrees * kPi / 180; }

// The vertices of `n` that make whole primitives of the kind.
int VerticesUsed(int kind, int n) {
  switch (kind) {
    case 1: return n;
    case 2: return n / 2 * 2;
    case 3: return n >= 2 ? n : 0;
    case 4: return n / 3 * 3;
    case 5:
    case 6: return n >= 3 ? n : 0;
    default: return 0;
  }
}

R3DVertex Vx(double x, double y, double z, double nx, double ny, double nz, uint32_t colour, double u, double v) {
  return R3DVertex{float(x),  float(y),  float(z), float(nx), float(ny), float(nz), colour, float(u), float(v)};
}

int ClampSteps(int64_t steps) { return int(std::clamp<int64_t>(steps, 3, 128)); }

// cos and sin of 2 pi i / steps for i = 0..steps.
void Circle(int steps, std::vector<double>& c, std::vector<double>& s) {
  c.resize(size_t(steps) + 1);
  s.resize(size_t(steps) + 1);
  for (int i = 0; i <= steps; ++i) {
    double t = 2 * kPi * i / steps;
    c[size_t(i)] = std::cos(t);
    s[size_t(i)] = std::sin(t);
  }
}

// The closing fan under a cylinder or cone: the centre, then the rim from the last step back.
void BottomFan(double cx, double cy, double rx, double ry, double z, int steps, const std::vector<double>& c,
               const std::vector<double>& s, uint32_t colour, IPrimitiveSink& sink,
               std::vector<R3DVertex>& out) {
  out.clear();
  out.push_back(Vx(cx, cy, z, 0, 0, -1, colour, 0, 0));
  for (int i = steps; i >= 0; --i)
    out.push_back(Vx(cx + rx * c[size_t(i)], cy + ry * s[size_t(i)], z, 0, 0, -1, colour, 0, 0));
  sink.Primitive(EPrimitive::TriangleFan, out.data(), int(out.size()));
}

}  // namespace

int PrimitiveCount(int kind, int n) {
  if (n <= 0) return 0;
  switch (kind) {
    case 1: return n;
    case 2: return n / 2;
    case 3: return n - 1;
    case 4: return n / 3;
    case 5:
    case 6: return std::max(n - 2, 0);
    default: return 0;
  }
}

uint32_t DrawingVertexColour(const CGraphics& g) { return g.DrawColour() & ~kOwnColourBit; }
uint32_t OwnVertexColour(int32_t gameColour, double alpha) { return VertexColour(gameColour, alpha) | kOwnColourBit; }

R3DVertex VertexFromArguments(int form, const double* a, uint32_t drawingColour) {
  R3DVertex v;
  v.x = float(a[0]);
  v.y = float(a[1]);
  v.z = float(a[2]);
  size_t k = 3;
  if (form & 4) {
    v.nx = float(a[k]);
    v.ny = float(a[k + 1]);
    v.nz = float(a[k + 2]);
    k += 3;
  }
  if (form & 2) {
    v.u = float(a[k]);
    v.v = float(a[k + 1]);
    k += 2;
  }
  v.colour = (form & 1) ? OwnVertexColour(int32_t(RoundToInt64(a[k])), a[k + 1]) : drawingColour;
  return v;
}

// ---- shapes ----

void ShapeBlock(const RBox& b, double h, double v, uint32_t col, IPrimitiveSink& sink, std::vector<R3DVertex>& out) {
  const double x1 = b.x1, y1 = b.y1, z1 = b.z1, x2 = b.x2, y2 = b.y2, z2 = b.z2;
  struct RFace {
    double nx, ny, nz;
    double p[4][3];
  };
  // Texture coordinates are the same on every face: (0, 0), (0, v), (h, v), (h, 0) except the
  // second face, which runs the other way round.
  const RFace faces[6] = {
      {0, 0, -1, {{x1, y1, z1}, {x1, y2, z1}, {x2, y2, z1}, {x2, y1, z1}}},
      {0, 0, 1, {{x1, y1, z2}, {x2, y1, z2}, {x2, y2, z2}, {x1, y2, z2}}},
      {0, 1, 0, {{x1, y2, z1}, {x1, y2, z2}, {x2, y2, z2}, {x2, y2, z1}}},
      {1, 0, 0, {{x2, y2, z1}, {x2, y2, z2}, {x2, y1, z2}, {x2, y1, z1}}},
      {0, -1, 0, {{x2, y1, z1}, {x2, y1, z2}, {x1, y1, z2}, {x1, y1, z1}}},
      {-1, 0, 0, {{x1, y1, z1}, {x1, y1, z2}, {x1, y2, z2}, {x1, y2, z1}}},
  };
  const double uvs[4][2] = {{0, 0}, {0, v}, {h, v}, {h, 0}};
  const double uvsTop[4][2] = {{0, 0}, {h, 0}, {h, v}, {0, v}};
  for (int f = 0; f < 6; ++f) {
    const RFace& face = faces[f];
    const auto& uv = f == 1 ? uvsTop : uvs;
    out.clear();
    for (int k = 0; k < 4; ++k)
      out.push_back(Vx(face.p[k][0], face.p[k][1], face.p[k][2], face.nx, face.ny, face.nz, col, uv[k][0], uv[k][1]));
    sink.Primitive(EPrimitive::TriangleFan, out.data(), 4);
  }
}

void ShapeCylinder(const RBox& b, double h, double v, bool closed, int64_t stepsAsked, uint32_t col,
                   IPrimitiveSink& sink, std::vector<R3DVertex>& out) {
  const int steps = ClampSteps(stepsAsked);
  std::vector<double> c, s;
  Circle(steps, c, s);
  const double cx = (b.x1 + b.x2) / 2, cy = (b.y1 + b.y2) / 2, rx = (b.x2 - b.x1) / 2, ry = (b.y2 - b.y1) / 2;
  auto px = [&](int i) { return cx + rx * c[size_t(i)]; };
  auto py = [&](int i) { return cy + ry * s[size_t(i)]; };
  if (closed) {
    out.clear();
    out.push_back(Vx(cx, cy, b.z2, 0, 0, 1, col, 0, v));
    for (int i = 0; i <= steps; ++i) out.push_back(Vx(px(i), py(i), b.z2, 0, 0, 1, col, 0, v));
    sink.Primitive(EPrimitive::TriangleFan, out.data(), int(out.size()));
  }
  out.clear();
  for (int i = 0; i <= steps; ++i) {
    const double u = i * h / steps;
    out.push_back(Vx(px(i), py(i), b.z2, c[size_t(i)], s[size_t(i)], 0, col, u, v));
    out.push_back(Vx(px(i), py(i), b.z1, c[size_t(i)], s[size_t(i)], 0, col, u, 0));
  }
  sink.Primitive(EPrimitive::TriangleStrip, out.data(), int(out.size()));
  if (closed) BottomFan(cx, cy, rx, ry, b.z1, steps, c, s, col, sink, out);
}

void ShapeCone(const RBox& b, double h, double v, bool closed, int64_t stepsAsked, uint32_t col, IPrimitiveSink& sink,
               std::vector<R3DVertex>& out) {
  const int steps = ClampSteps(stepsAsked);
  std::vector<double> c, s;
  Circle(steps, c, s);
  const double cx = (b.x1 + b.x2) / 2, cy = (b.y1 + b.y2) / 2, rx = (b.x2 - b.x1) / 2, ry = (b.y2 - b.y1) / 2;
  out.clear();
  for (int i = 0; i <= steps; ++i) {
    const double u = i * h / steps;
    out.push_back(Vx(cx, cy, b.z2, 0, 0, 1, col, u, v));
    out.push_back(Vx(cx + rx * c[size_t(i)], cy + ry * s[size_t(i)], b.z1, c[size_t(i)], s[size_t(i)], 0, col, u, 0));
  }
  sink.Primitive(EPrimitive::TriangleStrip, out.data(), int(out.size()));
  if (closed) BottomFan(cx, cy, rx, ry, b.z1, steps, c, s, col, sink, out);
}

void ShapeEllipsoid(const RBox& b, double h, double v, int64_t stepsAsked, uint32_t col, IPrimitiveSink& sink,
                    std::vector<R3DVertex>& out) {
  const int steps = ClampSteps(stepsAsked);
  std::vector<double> c, s;
  Circle(steps, c, s);
  const double cx = (b.x1 + b.x2) / 2, cy = (b.y1 + b.y2) / 2, cz = (b.z1 + b.z2) / 2;
  const double rx = (b.x2 - b.x1) / 2, ry = (b.y2 - b.y1) / 2, rz = (b.z2 - b.z1) / 2;
  const int bands = (steps + 1) / 2;
  for (int r = 0; r < bands; ++r) {
    const double angles[2] = {kPi * r / bands, kPi * (r + 1) / bands};
    const double vs[2] = {r * v / bands, (r + 1) * v / bands};
    out.clear();
    for (int i = 0; i <= steps; ++i) {
      const double u = i * h / steps;
      for (int k = 0; k < 2; ++k) {
        const double sa = std::sin(angles[k]), ca = std::cos(angles[k]);
        const double nx = sa * c[size_t(i)], ny = sa * s[size_t(i)];
        out.push_back(Vx(cx + rx * nx, cy + ry * ny, cz + rz * ca, nx, ny, ca, col, u, vs[k]));
      }
    }
    sink.Primitive(EPrimitive::TriangleStrip, out.data(), int(out.size()));
  }
}

void ShapeWall(const RBox& b, double h, double v, uint32_t col, IPrimitiveSink& sink, std::vector<R3DVertex>& out) {
  const double dx = b.x2 - b.x1, dy = b.y2 - b.y1, d = std::sqrt(dx * dx + dy * dy);
  if (!(d > 0)) return;
  const double nx = dy / d, ny = -dx / d;
  out.clear();
  out.push_back(Vx(b.x1, b.y1, b.z1, nx, ny, 0, col, 0, 0));
  out.push_back(Vx(b.x2, b.y2, b.z1, nx, ny, 0, col, h, 0));
  out.push_back(Vx(b.x2, b.y2, b.z2, nx, ny, 0, col, h, v));
  out.push_back(Vx(b.x1, b.y1, b.z2, nx, ny, 0, col, 0, v));
  sink.Primitive(EPrimitive::TriangleFan, out.data(), 4);
}

void ShapeFloor(const RBox& b, double h, double v, uint32_t col, IPrimitiveSink& sink, std::vector<R3DVertex>& out) {
  // z runs from z1 at x1 to z2 at x2, so floors can slope.
  out.clear();
  out.push_back(Vx(b.x1, b.y1, b.z1, 0, 0, 1, col, 0, 0));
  out.push_back(Vx(b.x1, b.y2, b.z1, 0, 0, 1, col, 0, v));
  out.push_back(Vx(b.x2, b.y2, b.z2, 0, 0, 1, col, h, v));
  out.push_back(Vx(b.x2, b.y1, b.z2, 0, 0, 1, col, h, 0));
  sink.Primitive(EPrimitive::TriangleFan, out.data(), 4);
}

// ---- the primitive under construction ----

void C3DPrimitive::Begin(int64_t kind, int texture) {
  kind_ = int(std::clamp<int64_t>(kind, -1, 100));
  texture_ = texture;
  vertices_.clear();
}

void C3DPrimitive::Add(const R3DVertex& v) {
  if (vertices_.size() < size_t(kMaxVertices)) vertices_.push_back(v);
}

void C3DPrimitive::End(IPrimitiveSink& sink) {
  const int used = VerticesUsed(kind_, int(vertices_.size()));
  if (used > 0) sink.Primitive(EPrimitive(kind_), vertices_.data(), used);
  vertices_.clear();
}

// ---- the transformation stack ----

bool CTransformStack::Push(const RMatrix& m) {
  if (saved_.size() >= size_t(kCapacity)) return false;
  saved_.push_back(m);
  return true;
}

bool CTransformStack::Top(RMatrix& out) const {
  if (saved_.empty()) return false;
  out = saved_.back();
  return true;
}

bool CTransformStack::Pop(RMatrix& out) {
  if (!Top(out)) return false;
  saved_.pop_back();
  return true;
}

bool CTransformStack::Discard() {
  if (saved_.empty()) return false;
  saved_.pop_back();
  return true;
}

// ---- the mode ----

C3DMode& ThreeD() {
  static C3DMode mode;
  return mode;
}

void C3DMode::Reset(CGraphics& g) {
  g.Set3DMode(false, false, false);
  g.SetLightingOn(false);
  g.SetShading(true);
  g.SetCulling(false);
  g.SetFog(false, 0, 0, 0);
  g.SetWorld(RMatrix::Identity());
  g.SetAmbient(0);
  for (int i = 0; i < RLighting::kLights; ++i) {
    g.SetLight(i, RLight{});
    g.EnableLight(i, false);
  }
  stack_.Clear();
  primitive_.Begin(0, -1);
  recorder_ = nullptr;
  target_ = nullptr;
}

void C3DMode::Start(CGraphics& g) {
  if (!g.Mode3D()) g.Set3DMode(true, true, true);
}

void C3DMode::End(CGraphics& g) {
  if (g.Mode3D()) g.Set3DMode(false, false, false);
}

void C3DMode::SetPerspective(CGraphics& g, bool on) { g.Set3DMode(g.Mode3D(), g.HiddenSurface(), on); }
void C3DMode::SetHidden(CGraphics& g, bool on) { g.Set3DMode(g.Mode3D(), on, g.Perspective()); }

void C3DMode::SetProjection(CGraphics& g, RVector3 from, RVector3 to, RVector3 up) {
  g.SetCamera(RMatrix::LookAtLH(from, to, up));
}

void C3DMode::SetProjectionExt(CGraphics& g, RVector3 from, RVector3 to, RVector3 up, double angle, double aspect,
                               double znear, double zfar) {
  g.SetCamera(RMatrix::LookAtLH(from, to, up), RMatrix::PerspectiveFovLH(Radians(angle), aspect, znear, zfar));
}

void C3DMode::SetProjectionOrtho(CGraphics& g, double x, double y, double w, double h, double angle) {
  const double a = Radians(-angle);
  const double cx = x + w / 2, cy = y + h / 2;
  // A view of no size would make a matrix of infinities: it is taken as one pixel, as the room does.
  if (w == 0) w = 1;
  if (h == 0) h = 1;
  g.SetCamera(RMatrix::LookAtLH({cx, cy, -16000}, {cx, cy, 0}, {std::sin(a), std::cos(a), 0}),
              RMatrix::OrthoLH(w, -h, 1, 32000));
}

void C3DMode::SetProjectionPerspective(CGraphics& g, double x, double y, double w, double h, double angle) {
  const double a = Radians(-angle);
  const double cx = x + w / 2, cy = y + h / 2;
  if (w == 0) w = 1;
  // y downwards, as the room's own perspective projection has it.
  g.SetCamera(RMatrix::LookAtLH({cx, cy, -w}, {cx, cy, 0}, {std::sin(a), std::cos(a), 0}),
              RMatrix::PerspectiveLH(1, -h / w, 1, 32000));
}

void C3DMode::TransformSet(CGraphics& g, const RMatrix& m) { g.SetWorld(m); }
void C3DMode::TransformAdd(CGraphics& g, const RMatrix& m) { g.SetWorld(g.World() * m); }

void C3DMode::EndPrimitive(CGraphics& g) {
  target_ = &g;
  texture_ = primitive_.Texture();
  primitive_.End(*this);
}

void C3DMode::DrawShape(CGraphics& g, EShape shape, const RBox& b, int texture, double hrepeat, double vrepeat,
                        bool closed, int64_t steps) {
  target_ = &g;
  texture_ = texture;
  const bool wrap = g.KeptState().wrap;
  g.SetTextureRepeat(true);
  const uint32_t col = DrawingVertexColour(g);
  switch (shape) {
    case EShape::kBlock: ShapeBlock(b, hrepeat, vrepeat, col, *this, scratch_); break;
    case EShape::kCylinder: ShapeCylinder(b, hrepeat, vrepeat, closed, steps, col, *this, scratch_); break;
    case EShape::kCone: ShapeCone(b, hrepeat, vrepeat, closed, steps, col, *this, scratch_); break;
    case EShape::kEllipsoid: ShapeEllipsoid(b, hrepeat, vrepeat, steps, col, *this, scratch_); break;
    case EShape::kWall: ShapeWall(b, hrepeat, vrepeat, col, *this, scratch_); break;
    case EShape::kFloor: ShapeFloor(b, hrepeat, vrepeat, col, *this, scratch_); break;
  }
  g.SetTextureRepeat(wrap);
}

void C3DMode::Primitive(EPrimitive kind, const R3DVertex* v, int count) {
  if (recorder_) {
    recorder_->AddPrimitive(kind, v, count);
    return;
  }
  if (!target_) return;
  send_.clear();
  for (int i = 0; i < count; ++i)
    send_.push_back(RVertex{v[i].x, v[i].y, v[i].z, v[i].colour, v[i].u, v[i].v, v[i].nx, v[i].ny, v[i].nz});
  target_->DrawPrimitive(kind, send_.data(), count, texture_);
}

}  // namespace kestro
