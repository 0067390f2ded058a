// 4 x 4 matrices in the row-vector convention of the original drawing library: a point p is
// transformed as p * M, and M's rows are stored one after another (m[row][column]).
#pragma once

namespace kestro {

struct RVector3 {
  double x = 0, y = 0, z = 0;
};

struct RMatrix {
  double m[4][4] = {};

  static RMatrix Identity();
  static RMatrix Scaling(double sx, double sy, double sz);
  static RMatrix Translation(double x, double y, double z);
  static RMatrix RotationX(double a);  // radians
  static RMatrix RotationY(double a);
  static RMatrix RotationZ(double a);
  static RMatrix RotationAxis(RVector3 axis, double a);
  // Left-handed camera: looks from eye to at with the given up direction.
  static RMatrix LookAtLH(RVector3 eye, RVector3 at, RVector3 up);
  // Left-handed orthographic projection onto z in 0..1; a negative h turns y downwards.
  static RMatrix OrthoLH(double w, double h, double zn, double zf);
  // Left-handed perspective with the near plane's width and height.
  static RMatrix PerspectiveLH(double w, double h, double zn, double zf);
  static RMatrix PerspectiveFovLH(double fovy, double aspect, double zn, double zf);

  // this * b: first this, then b.
  RMatrix operator*(const RMatrix& b) const;
  // p * M, returning the homogeneous w as well.
  void Transform(double x, double y, double z, double out[4]) const;
};

}  // namespace kestro
