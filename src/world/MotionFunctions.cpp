// The motion planning functions: steps towards a goal, planned paths, the potential field's
// settings and the grids of cells (mp_grid_draw is drawn by the drawing layer).
#include "resources/GameResources.h"
#include "script/Designators.h"
#include "script/builtins/BuiltinArgs.h"
#include "world/Bindings.h"
#include "world/MotionPlanning.h"
#include "world/WorldHost.h"

namespace kestro {

namespace {

int Int(const RValue& v) { return RoundToInt32(v.val); }
int32_t Target(const RValue& v) { return DesignatorOf(v.val); }
// Raised to at least 1 (also what is not a number).
double AtLeastOne(double v) { return v >= 1 ? v : 1; }

KESTRO_BUILTIN(F_mp_linear_step) {
  if (self) r.SetReal(LinearStep(*self, other, a[0].val, a[1].val, a[2].val, kDesignatorAll, ArgBool(a[3])));
}
KESTRO_BUILTIN(F_mp_linear_step_object) {
  if (self) r.SetReal(LinearStep(*self, other, a[0].val, a[1].val, a[2].val, Target(a[3]), false));
}
KESTRO_BUILTIN(F_mp_potential_step) {
  if (self) r.SetReal(PotentialStep(*self, other, a[0].val, a[1].val, a[2].val, kDesignatorAll, ArgBool(a[3])));
}
KESTRO_BUILTIN(F_mp_potential_step_object) {
  if (self) r.SetReal(PotentialStep(*self, other, a[0].val, a[1].val, a[2].val, Target(a[3]), false));
}
KESTRO_BUILTIN(F_mp_potential_settings) {
  RPotentialSettings& s = PotentialSettings();
  s.maxRotation = AtLeastOne(a[0].val);
  s.rotationStep = AtLeastOne(a[1].val);
  s.ahead = AtLeastOne(a[2].val);
  s.onSpot = a[3].val >= 0.5;
}

// The path a planning function writes, or null after the error.
CPath* PlanPath(const RValue& v) {
  CPath* path = Paths().Get(Int(v));
  if (!path) ReportBuiltinError("Trying to assign to a non-existing path.");
  return path;
}

KESTRO_BUILTIN(F_mp_linear_path) {
  CPath* path = PlanPath(a[0]);
  if (self && path)
    r.SetReal(LinearPath(*self, other, *path, a[1].val, a[2].val, a[3].val, kDesignatorAll, ArgBool(a[4])));
}
KESTRO_BUILTIN(F_mp_linear_path_object) {
  CPath* path = PlanPath(a[0]);
  if (self && path) r.SetReal(LinearPath(*self, other, *path, a[1].val, a[2].val, a[3].val, Target(a[4]), false));
}
KESTRO_BUILTIN(F_mp_potential_path) {
  CPath* path = PlanPath(a[0]);
  if (self && path)
    r.SetReal(PotentialPath(*self, other, *path, a[1].val, a[2].val, a[3].val, a[4].val, kDesignatorAll,
                            ArgBool(a[5])));
}
KESTRO_BUILTIN(F_mp_potential_path_object) {
  CPath* path = PlanPath(a[0]);
  if (self && path)
    r.SetReal(PotentialPath(*self, other, *path, a[1].val, a[2].val, a[3].val, a[4].val, Target(a[5]), false));
}

KESTRO_BUILTIN(F_mp_grid_create) {
  const int64_t left = ArgInt(a[0]), top = ArgInt(a[1]), h = ArgInt(a[2]), v = ArgInt(a[3]);
  const int64_t w = ArgInt(a[4]), hh = ArgInt(a[5]);
  if (!CGrid::SizesFit(left, top, h, v, w, hh)) {
    ReportBuiltinError(GridSizeMessage(h, v, w, hh));
    return r.SetReal(-1);
  }
  r.SetReal(GridCreate(int(left), int(top), int(h), int(v), int(w), int(hh)));
}
KESTRO_BUILTIN(F_mp_grid_destroy) { GridDestroy(Int(a[0])); }
KESTRO_BUILTIN(F_mp_grid_clear_all) {
  if (CGrid* g = Grid(Int(a[0]))) g->ClearAll();
}
KESTRO_BUILTIN(F_mp_grid_clear_cell) {
  if (CGrid* g = Grid(Int(a[0]))) g->SetCell(Int(a[1]), Int(a[2]), kCellFree);
}
KESTRO_BUILTIN(F_mp_grid_add_cell) {
  if (CGrid* g = Grid(Int(a[0]))) g->SetCell(Int(a[1]), Int(a[2]), kCellForbidden);
}
KESTRO_BUILTIN(F_mp_grid_clear_rectangle) {
  if (CGrid* g = Grid(Int(a[0]))) g->SetRectangle(a[1].val, a[2].val, a[3].val, a[4].val, kCellFree);
}
KESTRO_BUILTIN(F_mp_grid_add_rectangle) {
  if (CGrid* g = Grid(Int(a[0]))) g->SetRectangle(a[1].val, a[2].val, a[3].val, a[4].val, kCellForbidden);
}
KESTRO_BUILTIN(F_mp_grid_add_instances) {
  CGrid* g = Grid(Int(a[0]));
  if (!g) return;
  const int32_t d = Target(a[1]);
  const bool prec = ArgBool(a[2]);
  std::vector<CInstance*> found;
  if (d == kDesignatorSelf || d == kDesignatorOther) {
    CInstance* inst = d == kDesignatorSelf ? self : other;
    if (inst && !inst->i_marked) found.push_back(inst);
  } else {
    DesignatedInstances(d, found);
  }
  for (const CInstance* inst : found) g->AddInstance(*inst, prec);
}
KESTRO_BUILTIN(F_mp_grid_path) {
  CGrid* g = Grid(Int(a[0]));
  if (!g) return;
  CPath* path = PlanPath(a[1]);
  if (path) r.SetReal(g->FindPath(*path, a[2].val, a[3].val, a[4].val, a[5].val, ArgBool(a[6])));
}

constexpr RBinding kMotionFunctions[] = {
    {"mp_linear_step", F_mp_linear_step},
    {"mp_linear_step_object", F_mp_linear_step_object},
    {"mp_potential_step", F_mp_potential_step},
    {"mp_potential_step_object", F_mp_potential_step_object},
    {"mp_potential_settings", F_mp_potential_settings},
    {"mp_linear_path", F_mp_linear_path},
    {"mp_linear_path_object", F_mp_linear_path_object},
    {"mp_potential_path", F_mp_potential_path},
    {"mp_potential_path_object", F_mp_potential_path_object},
    {"mp_grid_create", F_mp_grid_create},
    {"mp_grid_destroy", F_mp_grid_destroy},
    {"mp_grid_clear_all", F_mp_grid_clear_all},
    {"mp_grid_clear_cell", F_mp_grid_clear_cell},
    {"mp_grid_add_cell", F_mp_grid_add_cell},
    {"mp_grid_clear_rectangle", F_mp_grid_clear_rectangle},
    {"mp_grid_add_rectangle", F_mp_grid_add_rectangle},
    {"mp_grid_add_instances", F_mp_grid_add_instances},
    {"mp_grid_path", F_mp_grid_path},
};

}  // namespace

RBindingTable MotionFunctions() { return kMotionFunctions; }

}  // namespace kestro
