#include "resources/Path.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestro {

// The version of a path's stored form.
constexpr int32_t kPathVersion = 530;

namespace {
RWayPoint Mid(const RWayPoint& a, const RWayPoint& b) {
  return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.speed + b.speed) / 2};
}
double Dist2(const RWayPoint& a, const RWayPoint& b) {
  return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
}
}  // namespace

void CPath::Clear() {
  i_points.clear();
  i_count = 0;
  i_intpoints.clear();
  i_intcount = 0;
  i_length = 0;
}

void CPath::Assign(const CPath& o) {
  i_kind = o.i_kind;
  i_closed = o.i_closed;
  i_precision = o.i_precision;
  i_points = o.i_points;
  i_count = o.i_count;
  Recompute();
}

bool CPath::LoadFromStream(CStream& s) {
  Create();
  if (s.ReadInteger() != kPathVersion) return false;
  i_kind = s.ReadInteger();
  i_closed = s.ReadBoolean();
  i_precision = s.ReadInteger();
  int32_t n = s.ReadInteger();
  if (!CountFits(s, n, 24)) return false;
  i_points.resize(size_t(n));
  for (RWayPoint& p : i_points) {
    p.x = s.ReadReal();
    p.y = s.ReadReal();
    p.speed = s.ReadReal();
  }
  i_count = n;
  Recompute();
  return true;
}

void CPath::SaveToStream(CStream& s) const {
  s.WriteInteger(kPathVersion);
  s.WriteInteger(i_kind);
  s.WriteBoolean(i_closed);
  s.WriteInteger(i_precision);
  s.WriteInteger(i_count);
  for (const RWayPoint& p : i_points) {
    s.WriteReal(p.x);
    s.WriteReal(p.y);
    s.WriteReal(p.speed);
  }
}

void CPath::SetKind(int k) {
  i_kind = (k == 0 || k == 1) ? k : 0;
  Recompute();
}
void CPath::SetClosed(bool b) {
  i_closed = b;
  Recompute();
}
void CPath::SetPrecision(int p) {
  i_precision = std::clamp(p, 0, 8);
  Recompute();
}
int CPath::AddPoint(double x, double y, double speed) {
  i_points.push_back({x, y, speed});
  i_count = int(i_points.size());
  Recompute();
  return i_count - 1;
}

void CPath::InsertPoint(int ind, double x, double y, double speed) {
  if (ind < 0 || ind > i_count) return;
  i_points.insert(i_points.begin() + ind, RWayPoint{x, y, speed});
  i_count = int(i_points.size());
  Recompute();
}

void CPath::ChangePoint(int ind, double x, double y, double speed) {
  if (ind < 0 || ind >= i_count) return;
  i_points[size_t(ind)] = {x, y, speed};
  Recompute();
}

void CPath::DeletePoint(int ind) {
  if (ind < 0 || ind >= i_count) return;
  i_points.erase(i_points.begin() + ind);
  i_count = int(i_points.size());
  Recompute();
}

RWayPoint CPath::Point(int ind) const {
  if (ind < 0 || ind >= i_count) return {0, 0, 1};
  return i_points[size_t(ind)];
}

void CPath::SetPoints(std::vector<RWayPoint> points) {
  i_points = std::move(points);
  i_count = int(i_points.size());
  Recompute();
}

void CPath::Center(double& x, double& y) const {
  double minx = 100000000, miny = 100000000, maxx = -100000000, maxy = -100000000;
  for (const RWayPoint& p : i_points) {
    minx = std::min(minx, p.x);
    maxx = std::max(maxx, p.x);
    miny = std::min(miny, p.y);
    maxy = std::max(maxy, p.y);
  }
  x = (minx + maxx) / 2;
  y = (miny + maxy) / 2;
}

void CPath::Reverse() {
  std::reverse(i_points.begin(), i_points.end());
  Recompute();
}

void CPath::Mirror() {
  double cx, cy;
  Center(cx, cy);
  for (RWayPoint& p : i_points) p.x = 2 * cx - p.x;
  Recompute();
}

void CPath::Flip() {
  double cx, cy;
  Center(cx, cy);
  for (RWayPoint& p : i_points) p.y = 2 * cy - p.y;
  Recompute();
}

void CPath::Rotate(double angle) {
  double cx, cy;
  Center(cx, cy);
  const double a = angle * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
  for (RWayPoint& p : i_points) {
    const double dx = p.x - cx, dy = p.y - cy;
    p.x = cx + c * dx + s * dy;
    p.y = cy + c * dy - s * dx;
  }
  Recompute();
}

void CPath::Scale(double xscale, double yscale) {
  double cx, cy;
  Center(cx, cy);
  for (RWayPoint& p : i_points) {
    p.x = cx + (p.x - cx) * xscale;
    p.y = cy + (p.y - cy) * yscale;
  }
  Recompute();
}

void CPath::Shift(double x, double y) {
  for (RWayPoint& p : i_points) {
    p.x += x;
    p.y += y;
  }
  Recompute();
}

void CPath::Append(const CPath& other) {
  if (other.i_count <= 0) return;
  const std::vector<RWayPoint> copy = other.i_points;  // `other` may be this path
  i_points.insert(i_points.end(), copy.begin(), copy.end());
  i_count = int(i_points.size());
  Recompute();
}

void CPath::AddInternal(double x, double y, double speed) {
  i_intpoints.push_back({x, y, speed, 0});
}

void CPath::Subdivide(int depth, RWayPoint s, RWayPoint k, RWayPoint e) {
  if (depth <= 0) return;
  RWayPoint m{(s.x + 2 * k.x + e.x) / 4, (s.y + 2 * k.y + e.y) / 4, (s.speed + 2 * k.speed + e.speed) / 4};
  if (Dist2(k, s) > 16) Subdivide(depth - 1, s, Mid(k, s), m);
  AddInternal(m.x, m.y, m.speed);
  if (Dist2(k, e) > 16) Subdivide(depth - 1, m, Mid(k, e), e);
}

void CPath::Recompute() {
  i_intpoints.clear();
  const int n = i_count;
  if (i_kind == 1) {
    if (n >= 1) {
      // Stored precision is taken as stored; the depth is still kept to what subdivision can use.
      int depth = std::clamp(i_precision, 0, 8);
      if (!i_closed) AddInternal(i_points[0].x, i_points[0].y, i_points[0].speed);
      int last = i_closed ? n - 1 : n - 3;
      for (int s = 0; s <= last; ++s) {
        const RWayPoint& a = i_points[size_t(s % n)];
        const RWayPoint& b = i_points[size_t((s + 1) % n)];
        const RWayPoint& c = i_points[size_t((s + 2) % n)];
        Subdivide(depth, Mid(a, b), b, Mid(b, c));
      }
      if (i_closed) {
        if (!i_intpoints.empty()) i_intpoints.push_back(i_intpoints.front());
      } else {
        const RWayPoint& p = i_points[size_t(n - 1)];
        AddInternal(p.x, p.y, p.speed);
      }
    }
  } else {
    for (const RWayPoint& p : i_points) AddInternal(p.x, p.y, p.speed);
    if (i_closed && n > 0) AddInternal(i_points[0].x, i_points[0].y, i_points[0].speed);
  }
  i_intcount = int(i_intpoints.size());
  i_length = 0;
  for (int i = 1; i < i_intcount; ++i) {
    RIntPoint& p = i_intpoints[size_t(i)];
    const RIntPoint& q = i_intpoints[size_t(i - 1)];
    i_length += std::sqrt((p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y));
    p.l = i_length;
  }
}

RWayPoint CPath::GetPosition(double t) const {
  if (i_intcount == 0) return {0, 0, 100};
  const RIntPoint& f = i_intpoints[0];
  if (i_intcount == 1 || i_length == 0) return {f.x, f.y, f.speed};
  t = std::clamp(t, 0.0, 1.0);
  double L = i_length * t;
  // The segment i is the last whose start lies at or before L (l never decreases), found by
  // bisection; i stays below count - 1.
  const auto begin = i_intpoints.begin() + 1, end = i_intpoints.begin() + (i_intcount - 1);
  const int i = int(std::upper_bound(begin, end, L, [](double v, const RIntPoint& p) { return v < p.l; }) -
                    i_intpoints.begin()) - 1;
  const RIntPoint& a = i_intpoints[size_t(i)];
  const RIntPoint& b = i_intpoints[size_t(i + 1)];
  double D = b.l - a.l;
  if (D == 0) return {a.x, a.y, a.speed};
  double u = (L - a.l) / D;
  return {a.x + (b.x - a.x) * u, a.y + (b.y - a.y) * u, a.speed + (b.speed - a.speed) * u};
}

bool LoadPathBlock(CStream& s, CResourceList<CPath>& list) {
  return LoadListBlock(s, kListBlockVersion, list, true,
                       [](CPath& o, CStream& in) { return o.LoadFromStream(in); });
}

void SavePathBlock(CStream& s, const CResourceList<CPath>& list) {
  SaveListBlock(s, kListBlockVersion, list, true, [](const CPath& o, CStream& out) { o.SaveToStream(out); });
}

}  // namespace kestro
