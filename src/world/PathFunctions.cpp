// The path functions: starting and ending a path on the instance, and reading, adding, changing
// and deleting paths (every change recomputes the path's shape).
#include <memory>
#include <string>

#include "resources/GameResources.h"
#include "script/builtins/BuiltinArgs.h"
#include "world/Bindings.h"
#include "world/PathFollowing.h"

namespace kestro {

namespace {

int Int(const RValue& v) { return RoundToInt32(v.val); }
CPath* PathOf(const RValue& v) { return Paths().Get(Int(v)); }

KESTRO_BUILTIN(F_path_start) {
  if (self) Assign_Path(*self, Int(a[0]), a[3].val < 0.5, Int(a[2]), 0, 1, a[1].val);
}
KESTRO_BUILTIN(F_path_end) {
  if (self) self->i_pathindex = -1;
}

KESTRO_BUILTIN(F_path_exists) { r.SetReal(PathOf(a[0]) ? 1 : 0); }
KESTRO_BUILTIN(F_path_get_name) { SetText(r, Paths().Name(Int(a[0]))); }

// A number read from an existing path, -1 without one.
template <class Read>
void Get(const RValue& ind, RValue& r, Read read) {
  const CPath* p = PathOf(ind);
  r.SetReal(p ? read(*p) : -1);
}
KESTRO_BUILTIN(F_path_get_length) { Get(a[0], r, [](const CPath& p) { return p.i_length; }); }
KESTRO_BUILTIN(F_path_get_kind) { Get(a[0], r, [](const CPath& p) { return p.i_kind; }); }
KESTRO_BUILTIN(F_path_get_closed) { Get(a[0], r, [](const CPath& p) { return p.i_closed ? 1 : 0; }); }
KESTRO_BUILTIN(F_path_get_precision) { Get(a[0], r, [](const CPath& p) { return p.i_precision; }); }
KESTRO_BUILTIN(F_path_get_number) { Get(a[0], r, [](const CPath& p) { return p.i_count; }); }
KESTRO_BUILTIN(F_path_get_point_x) { Get(a[0], r, [&](const CPath& p) { return p.Point(Int(a[1])).x; }); }
KESTRO_BUILTIN(F_path_get_point_y) { Get(a[0], r, [&](const CPath& p) { return p.Point(Int(a[1])).y; }); }
KESTRO_BUILTIN(F_path_get_point_speed) { Get(a[0], r, [&](const CPath& p) { return p.Point(Int(a[1])).speed; }); }
KESTRO_BUILTIN(F_path_get_x) { Get(a[0], r, [&](const CPath& p) { return p.GetPosition(a[1].val).x; }); }
KESTRO_BUILTIN(F_path_get_y) { Get(a[0], r, [&](const CPath& p) { return p.GetPosition(a[1].val).y; }); }
KESTRO_BUILTIN(F_path_get_speed) { Get(a[0], r, [&](const CPath& p) { return p.GetPosition(a[1].val).speed; }); }

// An edit of an existing path; nothing without one.
template <class Edit>
void Change(const RValue& ind, Edit edit) {
  if (CPath* p = PathOf(ind)) edit(*p);
}
KESTRO_BUILTIN(F_path_set_kind) { Change(a[0], [&](CPath& p) { p.SetKind(Int(a[1])); }); }
KESTRO_BUILTIN(F_path_set_closed) { Change(a[0], [&](CPath& p) { p.SetClosed(ArgBool(a[1])); }); }
KESTRO_BUILTIN(F_path_set_precision) { Change(a[0], [&](CPath& p) { p.SetPrecision(Int(a[1])); }); }
KESTRO_BUILTIN(F_path_add_point) { Change(a[0], [&](CPath& p) { p.AddPoint(a[1].val, a[2].val, a[3].val); }); }
KESTRO_BUILTIN(F_path_insert_point) {
  Change(a[0], [&](CPath& p) { p.InsertPoint(Int(a[1]), a[2].val, a[3].val, a[4].val); });
}
KESTRO_BUILTIN(F_path_change_point) {
  Change(a[0], [&](CPath& p) { p.ChangePoint(Int(a[1]), a[2].val, a[3].val, a[4].val); });
}
KESTRO_BUILTIN(F_path_delete_point) { Change(a[0], [&](CPath& p) { p.DeletePoint(Int(a[1])); }); }
KESTRO_BUILTIN(F_path_clear_points) {
  Change(a[0], [](CPath& p) {
    p.Clear();
    p.Recompute();
  });
}
KESTRO_BUILTIN(F_path_reverse) { Change(a[0], [](CPath& p) { p.Reverse(); }); }
KESTRO_BUILTIN(F_path_mirror) { Change(a[0], [](CPath& p) { p.Mirror(); }); }
KESTRO_BUILTIN(F_path_flip) { Change(a[0], [](CPath& p) { p.Flip(); }); }
KESTRO_BUILTIN(F_path_rotate) { Change(a[0], [&](CPath& p) { p.Rotate(a[1].val); }); }
KESTRO_BUILTIN(F_path_scale) { Change(a[0], [&](CPath& p) { p.Scale(a[1].val, a[2].val); }); }
KESTRO_BUILTIN(F_path_shift) { Change(a[0], [&](CPath& p) { p.Shift(a[1].val, a[2].val); }); }

// A new slot at the end of the list, named after its index.
int AddPath(std::unique_ptr<CPath> path) {
  const int index = Paths().Count();
  return Paths().Add(std::move(path), "__newpath" + std::to_string(index));
}

KESTRO_BUILTIN(F_path_add) { r.SetReal(AddPath(std::make_unique<CPath>())); }

KESTRO_BUILTIN(F_path_duplicate) {
  const CPath* source = PathOf(a[0]);
  if (!source) {
    ReportBuiltinError("Trying to duplicate non-existing path.");
    return r.SetReal(-1);
  }
  auto copy = std::make_unique<CPath>();
  copy->Assign(*source);
  r.SetReal(AddPath(std::move(copy)));
}

KESTRO_BUILTIN(F_path_assign) {
  CPath* target = PathOf(a[0]);
  const CPath* source = PathOf(a[1]);
  if (!target || !source) return ReportBuiltinError("Error assigning a path.");
  if (target != source) target->Assign(*source);
}

KESTRO_BUILTIN(F_path_append) {
  CPath* target = PathOf(a[0]);
  if (!target) return ReportBuiltinError("Appending to non-existing path.");
  const CPath* source = PathOf(a[1]);
  if (!source) return ReportBuiltinError("Appending a non-existing path.");
  target->Append(*source);
}

KESTRO_BUILTIN(F_path_delete) {
  if (!Paths().Delete(Int(a[0]))) ReportBuiltinError("Trying to delete non-existing path.");
}

constexpr RBinding kPathFunctions[] = {
    {"path_start", F_path_start},
    {"path_end", F_path_end},
    {"path_exists", F_path_exists},
    {"path_get_name", F_path_get_name},
    {"path_name", F_path_get_name},
    {"path_get_length", F_path_get_length},
    {"path_get_kind", F_path_get_kind},
    {"path_get_closed", F_path_get_closed},
    {"path_get_precision", F_path_get_precision},
    {"path_get_number", F_path_get_number},
    {"path_get_point_x", F_path_get_point_x},
    {"path_get_point_y", F_path_get_point_y},
    {"path_get_point_speed", F_path_get_point_speed},
    {"path_get_x", F_path_get_x},
    {"path_get_y", F_path_get_y},
    {"path_get_speed", F_path_get_speed},
    {"path_set_kind", F_path_set_kind},
    {"path_set_closed", F_path_set_closed},
    {"path_set_precision", F_path_set_precision},
    {"path_add", F_path_add},
    {"path_duplicate", F_path_duplicate},
    {"path_assign", F_path_assign},
    {"path_append", F_path_append},
    {"path_delete", F_path_delete},
    {"path_add_point", F_path_add_point},
    {"path_insert_point", F_path_insert_point},
    {"path_change_point", F_path_change_point},
    {"path_delete_point", F_path_delete_point},
    {"path_clear_points", F_path_clear_points},
    {"path_reverse", F_path_reverse},
    {"path_mirror", F_path_mirror},
    {"path_flip", F_path_flip},
    {"path_rotate", F_path_rotate},
    {"path_scale", F_path_scale},
    {"path_shift", F_path_shift},
};

}  // namespace

RBindingTable PathFunctions() { return kPathFunctions; }

}  // namespace kestro
