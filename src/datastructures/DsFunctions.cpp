// The ds_* functions: each checks its id, then calls the container. Indices, counts and grid
// coordinates are rounded; disk centres and radii stay reals.
#include <string>

#include "datastructures/Bindings.h"
#include "datastructures/DataStructures.h"
#include "script/builtins/BuiltinArgs.h"
#include "script/builtins/FunctionRegistry.h"

namespace kestro {

namespace {

constexpr const char* kNoStructure = "Data structure with index does not exist.";

void NoStructure() { ReportBuiltinError(kNoStructure); }

void Damaged(const char* fn) { ReportBuiltinError(std::string("Damaged data structure text in ") + fn + "()."); }

// The container of kind `table` named by argument `arg`, or the error and a return.
#define DS_GET(table, var, arg)                        \
  auto* var = DataStructures().table.Get(ArgInt(arg)); \
  if (!var) {                                          \
    NoStructure();                                     \
    return;                                            \
  }

void SetBool(RValue& r, bool b) { r.SetReal(b ? 1 : 0); }

void ReadResult(EDsRead result, const char* fn) {
  if (result == EDsRead::kDamaged) Damaged(fn);
}

// ---- common to every kind ----

#define DS_COMMON(kind, table)                                        \
  KESTRO_BUILTIN(F_ds_##kind##_destroy) {                             \
    if (!DataStructures().table.Destroy(ArgInt(a[0]))) NoStructure(); \
  }                                                                   \
  KESTRO_BUILTIN(F_ds_##kind##_copy) {                                \
    DS_GET(table, dst, a[0]);                                         \
    DS_GET(table, src, a[1]);                                         \
    if (dst != src) *dst = *src;                                      \
  }                                                                   \
  KESTRO_BUILTIN(F_ds_##kind##_write) {                               \
    DS_GET(table, d, a[0]);                                           \
    SetText(r, d->Write());                                           \
  }                                                                   \
  KESTRO_BUILTIN(F_ds_##kind##_read) {                                \
    DS_GET(table, d, a[0]);                                           \
    ReadResult(d->Read(a[1].str.view()), "ds_" #kind "_read");        \
  }

#define DS_SIZED(kind, table)                                                          \
  KESTRO_BUILTIN(F_ds_##kind##_create) { r.SetReal(DataStructures().table.Create()); } \
  KESTRO_BUILTIN(F_ds_##kind##_clear) {                                                \
    DS_GET(table, d, a[0]);                                                            \
    d->Clear();                                                                        \
  }                                                                                    \
  KESTRO_BUILTIN(F_ds_##kind##_size) {                                                 \
    DS_GET(table, d, a[0]);                                                            \
    r.SetReal(d->Size());                                                              \
  }                                                                                    \
  KESTRO_BUILTIN(F_ds_##kind##_empty) {                                                \
    DS_GET(table, d, a[0]);                                                            \
    SetBool(r, d->Size() == 0);                                                        \
  }

DS_COMMON(stack, stacks)
DS_SIZED(stack, stacks)
DS_COMMON(queue, queues)
DS_SIZED(queue, queues)
DS_COMMON(list, lists)
DS_SIZED(list, lists)
DS_COMMON(map, maps)
DS_SIZED(map, maps)
DS_COMMON(priority, priorities)
DS_SIZED(priority, priorities)
DS_COMMON(grid, grids)

KESTRO_BUILTIN(F_ds_set_precision) { DsSetPrecision(a[0].val); }

// ---- stack ----

KESTRO_BUILTIN(F_ds_stack_push) {
  DS_GET(stacks, d, a[0]);
  d->Push(a[1]);
}
KESTRO_BUILTIN(F_ds_stack_pop) {
  DS_GET(stacks, d, a[0]);
  r = d->Pop();
}
KESTRO_BUILTIN(F_ds_stack_top) {
  DS_GET(stacks, d, a[0]);
  r = d->Top();
}

// ---- queue ----

KESTRO_BUILTIN(F_ds_queue_enqueue) {
  DS_GET(queues, d, a[0]);
  d->Enqueue(a[1]);
}
KESTRO_BUILTIN(F_ds_queue_dequeue) {
  DS_GET(queues, d, a[0]);
  r = d->Dequeue();
}
KESTRO_BUILTIN(F_ds_queue_head) {
  DS_GET(queues, d, a[0]);
  r = d->Head();
}
KESTRO_BUILTIN(F_ds_queue_tail) {
  DS_GET(queues, d, a[0]);
  r = d->Tail();
}

// ---- list ----

KESTRO_BUILTIN(F_ds_list_add) {
  DS_GET(lists, d, a[0]);
  d->Add(a[1]);
}
KESTRO_BUILTIN(F_ds_list_insert) {
  DS_GET(lists, d, a[0]);
  d->Insert(ArgInt(a[1]), a[2]);
}
KESTRO_BUILTIN(F_ds_list_replace) {
  DS_GET(lists, d, a[0]);
  d->Replace(ArgInt(a[1]), a[2]);
}
KESTRO_BUILTIN(F_ds_list_delete) {
  DS_GET(lists, d, a[0]);
  d->Delete(ArgInt(a[1]));
}
KESTRO_BUILTIN(F_ds_list_find_index) {
  DS_GET(lists, d, a[0]);
  r.SetReal(d->FindIndex(a[1]));
}
KESTRO_BUILTIN(F_ds_list_find_value) {
  DS_GET(lists, d, a[0]);
  if (const RValue* v = d->At(ArgInt(a[1]))) r = *v;
}
KESTRO_BUILTIN(F_ds_list_sort) {
  DS_GET(lists, d, a[0]);
  d->Sort(ArgBool(a[1]));
}
KESTRO_BUILTIN(F_ds_list_shuffle) {
  DS_GET(lists, d, a[0]);
  d->Shuffle();
}

// ---- map ----

KESTRO_BUILTIN(F_ds_map_add) {
  DS_GET(maps, d, a[0]);
  d->Add(a[1], a[2]);
}
KESTRO_BUILTIN(F_ds_map_replace) {
  DS_GET(maps, d, a[0]);
  if (RValue* v = d->Find(a[1])) *v = a[2];
}
KESTRO_BUILTIN(F_ds_map_delete) {
  DS_GET(maps, d, a[0]);
  d->Delete(a[1]);
}
KESTRO_BUILTIN(F_ds_map_exists) {
  DS_GET(maps, d, a[0]);
  SetBool(r, d->Find(a[1]) != nullptr);
}
KESTRO_BUILTIN(F_ds_map_find_value) {
  DS_GET(maps, d, a[0]);
  if (const RValue* v = d->Find(a[1])) r = *v;
}
KESTRO_BUILTIN(F_ds_map_find_previous) {
  DS_GET(maps, d, a[0]);
  if (const RValue* k = d->Previous(a[1])) r = *k;
}
KESTRO_BUILTIN(F_ds_map_find_next) {
  DS_GET(maps, d, a[0]);
  if (const RValue* k = d->Next(a[1])) r = *k;
}
KESTRO_BUILTIN(F_ds_map_find_first) {
  DS_GET(maps, d, a[0]);
  if (const RValue* k = d->First()) r = *k;
}
KESTRO_BUILTIN(F_ds_map_find_last) {
  DS_GET(maps, d, a[0]);
  if (const RValue* k = d->Last()) r = *k;
}

// ---- priority queue ----

KESTRO_BUILTIN(F_ds_priority_add) {
  DS_GET(priorities, d, a[0]);
  d->Add(a[1], a[2]);
}
KESTRO_BUILTIN(F_ds_priority_change_priority) {
  DS_GET(priorities, d, a[0]);
  const int32_t i = d->FindValue(a[1]);
  d->SetPriority(i, a[2]);
}
KESTRO_BUILTIN(F_ds_priority_find_priority) {
  DS_GET(priorities, d, a[0]);
  const int32_t i = d->FindValue(a[1]);
  if (i >= 0) r = d->Entries()[size_t(i)].priority;
}
KESTRO_BUILTIN(F_ds_priority_delete_value) {
  DS_GET(priorities, d, a[0]);
  d->Remove(d->FindValue(a[1]));
}
KESTRO_BUILTIN(F_ds_priority_find_min) {
  DS_GET(priorities, d, a[0]);
  const int32_t i = d->FindMin();
  if (i >= 0) r = d->Entries()[size_t(i)].value;
}
KESTRO_BUILTIN(F_ds_priority_find_max) {
  DS_GET(priorities, d, a[0]);
  const int32_t i = d->FindMax();
  if (i >= 0) r = d->Entries()[size_t(i)].value;
}
KESTRO_BUILTIN(F_ds_priority_delete_min) {
  DS_GET(priorities, d, a[0]);
  const int32_t i = d->FindMin();
  if (i >= 0) r = d->Remove(i);
}
KESTRO_BUILTIN(F_ds_priority_delete_max) {
  DS_GET(priorities, d, a[0]);
  const int32_t i = d->FindMax();
  if (i >= 0) r = d->Remove(i);
}

// ---- grid ----

void GridTooLarge(const char* fn, int64_t w, int64_t h) {
  ReportBuiltinError(std::string("Grid of ") + std::to_string(w) + " x " + std::to_string(h) +
                     " cells is too large in " + fn + "().");
}

KESTRO_BUILTIN(F_ds_grid_create) {
  CDS_Grid grid;
  const int64_t w = ArgInt(a[0]), h = ArgInt(a[1]);
  if (!grid.Resize(w, h)) {
    GridTooLarge("ds_grid_create", w, h);
    r.SetReal(-1);
    return;
  }
  const int32_t id = DataStructures().grids.Create();
  *DataStructures().grids.Get(id) = std::move(grid);
  r.SetReal(id);
}
KESTRO_BUILTIN(F_ds_grid_resize) {
  DS_GET(grids, d, a[0]);
  const int64_t w = ArgInt(a[1]), h = ArgInt(a[2]);
  if (!d->Resize(w, h)) GridTooLarge("ds_grid_resize", w, h);
}
KESTRO_BUILTIN(F_ds_grid_width) {
  DS_GET(grids, d, a[0]);
  r.SetReal(d->i_w);
}
KESTRO_BUILTIN(F_ds_grid_height) {
  DS_GET(grids, d, a[0]);
  r.SetReal(d->i_h);
}
KESTRO_BUILTIN(F_ds_grid_clear) {
  DS_GET(grids, d, a[0]);
  d->Fill(a[1]);
}
KESTRO_BUILTIN(F_ds_grid_get) {
  DS_GET(grids, d, a[0]);
  const int64_t x = ArgInt(a[1]), y = ArgInt(a[2]);
  if (d->Inside(x, y)) r = d->Cell(x, y);
}

#define DS_GRID_OPS(op, kOp)                                                                                           \
  KESTRO_BUILTIN(F_ds_grid_##op) {                                                                                     \
    DS_GET(grids, d, a[0]);                                                                                            \
    d->Apply(ArgInt(a[1]), ArgInt(a[2]), a[3], kOp);                                                                   \
  }                                                                                                                    \
  KESTRO_BUILTIN(F_ds_grid_##op##_region) {                                                                            \
    DS_GET(grids, d, a[0]);                                                                                            \
    d->ApplyRegion(ArgInt(a[1]), ArgInt(a[2]), ArgInt(a[3]), ArgInt(a[4]), a[5], kOp);                                 \
  }                                                                                                                    \
  KESTRO_BUILTIN(F_ds_grid_##op##_disk) {                                                                              \
    DS_GET(grids, d, a[0]);                                                                                            \
    d->ApplyDisk(a[1].val, a[2].val, a[3].val, a[4], kOp);                                                             \
  }                                                                                                                    \
  KESTRO_BUILTIN(F_ds_grid_##op##_grid_region) {                                                                       \
    DS_GET(grids, d, a[0]);                                                                                            \
    DS_GET(grids, src, a[1]);                                                                                          \
    d->ApplyGridRegion(*src, ArgInt(a[2]), ArgInt(a[3]), ArgInt(a[4]), ArgInt(a[5]), ArgInt(a[6]), ArgInt(a[7]), kOp); \
  }

DS_GRID_OPS(set, ECellOp::kSet)
DS_GRID_OPS(add, ECellOp::kAdd)
DS_GRID_OPS(multiply, ECellOp::kMultiply)

#define DS_GRID_AGGREGATE(name, field)                                                     \
  KESTRO_BUILTIN(F_ds_grid_get_##name) {                                                   \
    DS_GET(grids, d, a[0]);                                                                \
    r.SetReal(d->Aggregate(ArgInt(a[1]), ArgInt(a[2]), ArgInt(a[3]), ArgInt(a[4])) field); \
  }                                                                                        \
  KESTRO_BUILTIN(F_ds_grid_get_disk_##name) {                                              \
    DS_GET(grids, d, a[0]);                                                                \
    r.SetReal(d->AggregateDisk(a[1].val, a[2].val, a[3].val) field);                       \
  }

DS_GRID_AGGREGATE(sum, .sum)
DS_GRID_AGGREGATE(max, .max)
DS_GRID_AGGREGATE(min, .min)
DS_GRID_AGGREGATE(mean, .Mean())

// Which part of a found cell a value_* function gives: whether there is one, its x or its y.
enum class EFound { kExists, kX, kY };

void Found(RValue& r, bool found, int64_t x, int64_t y, EFound what) {
  switch (what) {
    case EFound::kExists: SetBool(r, found); return;
    case EFound::kX: r.SetReal(found ? double(x) : 0); return;
    case EFound::kY: r.SetReal(found ? double(y) : 0); return;
  }
}

#define DS_GRID_VALUE(name, what)                                                                        \
  KESTRO_BUILTIN(F_ds_grid_value_##name) {                                                               \
    DS_GET(grids, d, a[0]);                                                                              \
    int64_t x = 0, y = 0;                                                                                \
    const bool found = d->FindValue(ArgInt(a[1]), ArgInt(a[2]), ArgInt(a[3]), ArgInt(a[4]), a[5], x, y); \
    Found(r, found, x, y, what);                                                                         \
  }                                                                                                      \
  KESTRO_BUILTIN(F_ds_grid_value_disk_##name) {                                                          \
    DS_GET(grids, d, a[0]);                                                                              \
    int64_t x = 0, y = 0;                                                                                \
    const bool found = d->FindValueDisk(a[1].val, a[2].val, a[3].val, a[4], x, y);                       \
    Found(r, found, x, y, what);                                                                         \
  }

DS_GRID_VALUE(exists, EFound::kExists)
DS_GRID_VALUE(x, EFound::kX)
DS_GRID_VALUE(y, EFound::kY)

KESTRO_BUILTIN(F_ds_grid_shuffle) {
  DS_GET(grids, d, a[0]);
  d->Shuffle();
}

#define DS_BIND(name) \
  RBinding { #name, F_##name }

constexpr RBinding kDataStructureFunctions[] = {
    DS_BIND(ds_set_precision),
    DS_BIND(ds_stack_create),
    DS_BIND(ds_stack_destroy),
    DS_BIND(ds_stack_clear),
    DS_BIND(ds_stack_copy),
    DS_BIND(ds_stack_size),
    DS_BIND(ds_stack_empty),
    DS_BIND(ds_stack_push),
    DS_BIND(ds_stack_pop),
    DS_BIND(ds_stack_top),
    DS_BIND(ds_stack_write),
    DS_BIND(ds_stack_read),
    DS_BIND(ds_queue_create),
    DS_BIND(ds_queue_destroy),
    DS_BIND(ds_queue_clear),
    DS_BIND(ds_queue_copy),
    DS_BIND(ds_queue_size),
    DS_BIND(ds_queue_empty),
    DS_BIND(ds_queue_enqueue),
    DS_BIND(ds_queue_dequeue),
    DS_BIND(ds_queue_head),
    DS_BIND(ds_queue_tail),
    DS_BIND(ds_queue_write),
    DS_BIND(ds_queue_read),
    DS_BIND(ds_list_create),
    DS_BIND(ds_list_destroy),
    DS_BIND(ds_list_clear),
    DS_BIND(ds_list_copy),
    DS_BIND(ds_list_size),
    DS_BIND(ds_list_empty),
    DS_BIND(ds_list_add),
    DS_BIND(ds_list_insert),
    DS_BIND(ds_list_replace),
    DS_BIND(ds_list_delete),
    DS_BIND(ds_list_find_index),
    DS_BIND(ds_list_find_value),
    DS_BIND(ds_list_sort),
    DS_BIND(ds_list_shuffle),
    DS_BIND(ds_list_write),
    DS_BIND(ds_list_read),
    DS_BIND(ds_map_create),
    DS_BIND(ds_map_destroy),
    DS_BIND(ds_map_clear),
    DS_BIND(ds_map_copy),
    DS_BIND(ds_map_size),
    DS_BIND(ds_map_empty),
    DS_BIND(ds_map_add),
    DS_BIND(ds_map_replace),
    DS_BIND(ds_map_delete),
    DS_BIND(ds_map_exists),
    DS_BIND(ds_map_find_value),
    DS_BIND(ds_map_find_previous),
    DS_BIND(ds_map_find_next),
    DS_BIND(ds_map_find_first),
    DS_BIND(ds_map_find_last),
    DS_BIND(ds_map_write),
    DS_BIND(ds_map_read),
    DS_BIND(ds_priority_create),
    DS_BIND(ds_priority_destroy),
    DS_BIND(ds_priority_clear),
    DS_BIND(ds_priority_copy),
    DS_BIND(ds_priority_size),
    DS_BIND(ds_priority_empty),
    DS_BIND(ds_priority_add),
    DS_BIND(ds_priority_change_priority),
    DS_BIND(ds_priority_find_priority),
    DS_BIND(ds_priority_delete_value),
    DS_BIND(ds_priority_delete_min),
    DS_BIND(ds_priority_find_min),
    DS_BIND(ds_priority_delete_max),
    DS_BIND(ds_priority_find_max),
    DS_BIND(ds_priority_write),
    DS_BIND(ds_priority_read),
    DS_BIND(ds_grid_create),
    DS_BIND(ds_grid_destroy),
    DS_BIND(ds_grid_copy),
    DS_BIND(ds_grid_resize),
    DS_BIND(ds_grid_width),
    DS_BIND(ds_grid_height),
    DS_BIND(ds_grid_clear),
    DS_BIND(ds_grid_set),
    DS_BIND(ds_grid_add),
    DS_BIND(ds_grid_multiply),
    DS_BIND(ds_grid_set_region),
    DS_BIND(ds_grid_add_region),
    DS_BIND(ds_grid_multiply_region),
    DS_BIND(ds_grid_set_disk),
    DS_BIND(ds_grid_add_disk),
    DS_BIND(ds_grid_multiply_disk),
    DS_BIND(ds_grid_set_grid_region),
    DS_BIND(ds_grid_add_grid_region),
    DS_BIND(ds_grid_multiply_grid_region),
    DS_BIND(ds_grid_get),
    DS_BIND(ds_grid_get_sum),
    DS_BIND(ds_grid_get_max),
    DS_BIND(ds_grid_get_min),
    DS_BIND(ds_grid_get_mean),
    DS_BIND(ds_grid_get_disk_sum),
    DS_BIND(ds_grid_get_disk_max),
    DS_BIND(ds_grid_get_disk_min),
    DS_BIND(ds_grid_get_disk_mean),
    DS_BIND(ds_grid_value_exists),
    DS_BIND(ds_grid_value_x),
    DS_BIND(ds_grid_value_y),
    DS_BIND(ds_grid_value_disk_exists),
    DS_BIND(ds_grid_value_disk_x),
    DS_BIND(ds_grid_value_disk_y),
    DS_BIND(ds_grid_shuffle),
    DS_BIND(ds_grid_write),
    DS_BIND(ds_grid_read),
};

}  // namespace

RBindingTable DataStructureFunctions() { return kDataStructureFunctions; }

}  // namespace kestro
