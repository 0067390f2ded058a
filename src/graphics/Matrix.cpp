#include "graphics/Matrix.h"

#include <cmath>

namespace kestro {

namespace {
RVector3 Sub(RVector3 a, RVector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double Dot(RVector3 a, RVector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
RVector3 Cross(RVector3 a, RVector3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
RVector3 Normalise(RVector3 a) {
  double l = std::sqrt(Dot(a, a));
  if (l == 0) return a;
  return {a.x / l, a.y / l, a.z / l};
}
}  // namespace

RMatrix RMatrix::Identity() {
  RMatrix r;
  for (int i = 0; i < 4; ++i) r.m[i][i] = 1;
  return r;
}

RMatrix RMatrix::Scaling(double sx, double sy, double sz) {
  RMatrix r = Identity();
  r.m[0][0] = sx;
  r.m[1][1] = sy;
  r.m[2][2] = sz;
  return r;
}

RMatrix RMatrix::Translation(double x, double y, double z) {
  RMatrix r = Identity();
  r.m[3][0] = x;
  r.m[3][1] = y;
  r.m[3][2] = z;
  return r;
}

RMatrix RMatrix::RotationX(double a) {
  RMatrix r = Identity();
  double c = std::cos(a), s = std::sin(a);
  r.m[1][1] = c;
  r.m[1][2] = s;
  r.m[2][1] = -s;
  r.m[2][2] = c;
  return r;
}

RMatrix RMatrix::RotationY(double a) {
  RMatrix r = Identity();
  double c = std::cos(a), s = std::sin(a);
  r.m[0][0] = c;
  r.m[0][2] = -s;
  r.m[2][0] = s;
  r.m[2][2] = c;
  return r;
}

RMatrix RMatrix::RotationZ(double a) {
  RMatrix r = Identity();
  double c = std::cos(a), s = std::sin(a);
  r.m[0][0] = c;
  r.m[0][1] = s;
  r.m[1][0] = -s;
  r.m[1][1] = c;
  return r;
}

RMatrix RMatrix::RotationAxis(RVector3 axis, double a) {
  RVector3 v = Normalise(axis);
  double c = std::cos(a), s = std::sin(a), t = 1 - c;
  RMatrix r = Identity();
  r.m[0][0] = t * v.x * v.x + c;
  r.m[0][1] = t * v.x * v.y + s * v.z;
  r.m[0][2] = t * v.x * v.z - s * v.y;
  r.m[1][0] = t * v.x * v.y - s * v.z;
  r.m[1][1] = t * v.y * v.y + c;
  r.m[1][2] = t * v.y * v.z + s * v.x;
  r.m[2][0] = t * v.x * v.z + s * v.y;
  r.m[2][1] = t * v.y * v.z - s * v.x;
  r.m[2][2] = t * v.z * v.z + c;
  return r;
}

RMatrix RMatrix::LookAtLH(RVector3 eye, RVector3 at, RVector3 up) {
  RVector3 z = Normalise(Sub(at, eye));
  RVector3 x = Normalise(Cross(up, z));
  RVector3 y = Cross(z, x);
  RMatrix r = Identity();
  r.m[0][0] = x.x; r.m[0][1] = y.x; r.m[0][2] = z.x;
  r.m[1][0] = x.y; r.m[1][1] = y.y; r.m[1][2] = z.y;
  r.m[2][0] = x.z; r.m[2][1] = y.z; r.m[2][2] = z.z;
  r.m[3][0] = -Dot(x, eye);
  r.m[3][1] = -Dot(y, eye);
  r.m[3][2] = -Dot(z, eye);
  return r;
}

RMatrix RMatrix::OrthoLH(double w, double h, double zn, double zf) {
  RMatrix r;
  r.m[0][0] = 2 / w;
  r.m[1][1] = 2 / h;
  r.m[2][2] = 1 / (zf - zn);
  r.m[3][2] = zn / (zn - zf);
  r.m[3][3] = 1;
  return r;
}

RMatrix RMatrix::PerspectiveLH(double w, double h, double zn, double zf) {
  RMatrix r;
  r.m[0][0] = 2 * zn / w;
  r.m[1][1] = 2 * zn / h;
  r.m[2][2] = zf / (zf - zn);
  r.m[2][3] = 1;
  r.m[3][2] = zn * zf / (zn - zf);
  return r;
}

RMatrix RMatrix::PerspectiveFovLH(double fovy, double aspect, double zn, double zf) {
  double yScale = 1 / std::tan(fovy / 2);
  RMatrix r;
  r.m[0][0] = yScale / aspect;
  r.m[1][1] = yScale;
  r.m[2][2] = zf / (zf - zn);
  r.m[2][3] = 1;
  r.m[3][2] = -zn * zf / (zf - zn);
  return r;
}

RMatrix RMatrix::operator*(const RMatrix& b) const {
  RMatrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += m[i][k] * b.m[k][j];
      r.m[i][j] = s;
    }
  return r;
}

void RMatrix::Transform(double x, double y, double z, double out[4]) const {
  for (int j = 0; j < 4; ++j) out[j] = x * m[0][j] + y * m[1][j] + z * m[2][j] + m[3][j];
}

}  // namespace kestro
