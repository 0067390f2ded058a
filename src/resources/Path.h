// CPath: control points with speed factors and the internal polyline (straight or a subdivided
// quadratic curve) with the distance along it, recomputed after every change.
#pragma once

#include <vector>

#include "resources/ResourceList.h"

namespace kestro {

struct RWayPoint {
  double x = 0, y = 0, speed = 100;
  bool operator==(const RWayPoint&) const = default;
};

struct RIntPoint {
  double x = 0, y = 0, speed = 100, l = 0;
};

class CPath {
 public:
  std::vector<RWayPoint> i_points;
  int i_count = 0;
  int i_kind = 0;  // 0 straight, 1 smooth
  bool i_closed = true;
  int i_precision = 4;
  std::vector<RIntPoint> i_intpoints;
  int i_intcount = 0;
  double i_length = 0;

  void Create() { *this = CPath(); }
  // Removes all points; kind, closed flag and precision stay.
  void Clear();
  void Assign(const CPath& o);
  void Destroy() { Clear(); }
  // Stored form: int 530, kind, closed, precision, n, n x (x, y, speed); kind and precision as
  // stored.
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;

  void SetKind(int k);
  void SetClosed(bool b);
  void SetPrecision(int p);
  int AddPoint(double x, double y, double speed);
  // Before index ind (ind = count appends); nothing when ind lies outside 0 ... count.
  void InsertPoint(int ind, double x, double y, double speed);
  // Nothing outside 0 ... count - 1.
  void ChangePoint(int ind, double x, double y, double speed);
  void DeletePoint(int ind);
  // Control point ind; outside 0 ... count - 1 it is (0, 0) with speed 1.
  RWayPoint Point(int ind) const;
  // Replaces every control point at once (one recomputation).
  void SetPoints(std::vector<RWayPoint> points);
  // The middle of the control points' bounding box.
  void Center(double& x, double& y) const;
  void Reverse();
  void Mirror();  // x about the centre
  void Flip();    // y about the centre
  // About the centre; positive angles (degrees) turn counter-clockwise on the screen.
  void Rotate(double angle);
  void Scale(double xscale, double yscale);  // about the centre
  void Shift(double x, double y);
  // Copies of the other path's control points at the end (the path itself may be given).
  void Append(const CPath& other);
  void Recompute();
  // Position and speed at fraction t of the length.
  RWayPoint GetPosition(double t) const;

 private:
  void AddInternal(double x, double y, double speed);
  void Subdivide(int depth, RWayPoint s, RWayPoint k, RWayPoint e);
};

bool LoadPathBlock(CStream& s, CResourceList<CPath>& list);
void SavePathBlock(CStream& s, const CResourceList<CPath>& list);

}  // namespace kestro
