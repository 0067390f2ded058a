// The object functions: which objects exist, their settings and ancestors, changing settings and
// parents, objects added and deleted, and events cleared or given code at run time. A change of
// parents or events rebuilds the event lists; code running inside a changed event keeps running
// (ResourceChanges.h).
#include <memory>
#include <string>

#include "resources/GameResources.h"
#include "resources/ResourceArgs.h"
#include "world/Bindings.h"
#include "world/ErrorReport.h"
#include "world/GameScripts.h"
#include "world/ResourceChanges.h"

namespace kestro {

namespace {

CObject* Find(const RValue& v) { return Objects().Get(ArgIndex(v)); }

// A field of an existing object as a number, or -1.
template <typename Field>
void Get(const RValue& ind, RValue& r, Field field) {
  const CObject* o = Find(ind);
  r.SetReal(o ? double(field(*o)) : -1);
}

KESTRO_BUILTIN(F_object_exists) { r.SetReal(Find(a[0]) ? 1 : 0); }
KESTRO_BUILTIN(F_object_get_name) { SetText(r, Objects().Name(ArgIndex(a[0]))); }
KESTRO_BUILTIN(F_object_get_sprite) {
  Get(a[0], r, [](const CObject& o) { return o.o_spriteindex; });
}
KESTRO_BUILTIN(F_object_get_solid) {
  Get(a[0], r, [](const CObject& o) { return o.o_solid ? 1 : 0; });
}
KESTRO_BUILTIN(F_object_get_visible) {
  Get(a[0], r, [](const CObject& o) { return o.o_visible ? 1 : 0; });
}
KESTRO_BUILTIN(F_object_get_depth) {
  Get(a[0], r, [](const CObject& o) { return o.o_depth; });
}
KESTRO_BUILTIN(F_object_get_persistent) {
  Get(a[0], r, [](const CObject& o) { return o.o_persistent ? 1 : 0; });
}
KESTRO_BUILTIN(F_object_get_mask) {
  Get(a[0], r, [](const CObject& o) { return o.o_mask; });
}
KESTRO_BUILTIN(F_object_get_parent) {
  Get(a[0], r, [](const CObject& o) { return o.o_parent; });
}

KESTRO_BUILTIN(F_object_is_ancestor) {
  const CObject* o = Find(a[0]);
  if (!o) return r.SetReal(-1);
  const int64_t ind2 = ArgInt(a[1]);
  // Every index met is compared, -1 included; the walk is bounded so a cycle cannot hold it.
  int p = o->o_parent;
  for (int steps = Objects().Count() + 1; steps > 0; --steps) {
    if (p == ind2) return r.SetReal(1);
    const CObject* q = Objects().Get(p);
    if (!q) break;
    p = q->o_parent;
  }
  r.SetReal(0);
}

KESTRO_BUILTIN(F_object_set_sprite) {
  if (CObject* o = Find(a[0])) o->o_spriteindex = ArgInt32(a[1]);
}
KESTRO_BUILTIN(F_object_set_solid) {
  if (CObject* o = Find(a[0])) o->o_solid = ArgBool(a[1]);
}
KESTRO_BUILTIN(F_object_set_visible) {
  if (CObject* o = Find(a[0])) o->o_visible = ArgBool(a[1]);
}
KESTRO_BUILTIN(F_object_set_depth) {
  if (CObject* o = Find(a[0])) o->o_depth = ArgInt32(a[1]);
}
KESTRO_BUILTIN(F_object_set_persistent) {
  if (CObject* o = Find(a[0])) o->o_persistent = ArgBool(a[1]);
}
KESTRO_BUILTIN(F_object_set_mask) {
  if (CObject* o = Find(a[0])) o->o_mask = ArgInt32(a[1]);
}

KESTRO_BUILTIN(F_object_set_parent) {
  const int ind = ArgIndex(a[0]);
  CObject* o = Objects().Get(ind);
  if (!o) return;
  const int64_t obj = ArgInt(a[1]);
  if (obj < 0) {
    o->o_parent = -1;
  } else {
    const int p = ArgIndex(a[1]);
    if (!Objects().Exists(p)) return ReportBuiltinError("Setting a non-existing parent.");
    if (p == ind || IsDecendentOf(Objects(), p, ind))
      return ReportBuiltinError("Creating a cycle in the parent relation.");
    o->o_parent = p;
  }
  ObjectsChanged(true);
}

KESTRO_BUILTIN(F_object_add) {
  const int i = Objects().Count();
  r.SetReal(Objects().Add(std::make_unique<CObject>(), "__newobject" + std::to_string(i)));
}

KESTRO_BUILTIN(F_object_delete) {
  if (!DeleteObjectRetiring(ArgIndex(a[0]))) return ReportBuiltinError("Trying to delete non-existing object.");
  ObjectsChanged(true);
  r.SetReal(1);
}

KESTRO_BUILTIN(F_object_event_clear) {
  CObject* o = Find(a[0]);
  const int type = ArgInt32(a[1]), numb = ArgInt32(a[2]);
  // Only an own event with actions; its entry stays, emptied.
  if (!o || !o->GetEventDirect(type, numb)) return;
  ClearActions(*o->CreateEvent(type, numb));
  ObjectsChanged(false);
}

KESTRO_BUILTIN(F_object_event_add) {
  const int ind = ArgIndex(a[0]);
  CObject* o = Objects().Get(ind);
  if (!o) return;
  const int type = ArgInt32(a[1]), numb = ArgInt32(a[2]);
  CEvent* ev = o->CreateEvent(type, numb);
  if (!ev) return;
  // The action is prepared on its own, with the place it takes in the event for error headers;
  // only a prepared action joins the event.
  CAction action;
  action.CreateCode(ArgText(a[3]));
  {
    CEventContextScope context({ind, type, numb, ev->e_number});
    int failed = -1;
    if (!action.Compile(&GameScriptNames(), &failed)) {
      ReportPendingCodeErrorAsAction(
          failed < 0 ? std::string(errhdr::kCodeActionCompile) : errhdr::ArgumentCompile(failed), true);
      return;
    }
  }
  DetachActions(*ev);
  ev->e_actions.push_back(std::move(action));
  ev->e_number = int(ev->e_actions.size());
  ObjectsChanged(false);
}

constexpr RBinding kObjectFunctions[] = {
    {"object_name", F_object_get_name},
    {"object_exists", F_object_exists},
    {"object_get_name", F_object_get_name},
    {"object_get_sprite", F_object_get_sprite},
    {"object_get_solid", F_object_get_solid},
    {"object_get_visible", F_object_get_visible},
    {"object_get_depth", F_object_get_depth},
    {"object_get_persistent", F_object_get_persistent},
    {"object_get_mask", F_object_get_mask},
    {"object_get_parent", F_object_get_parent},
    {"object_is_ancestor", F_object_is_ancestor},
    {"object_set_sprite", F_object_set_sprite},
    {"object_set_solid", F_object_set_solid},
    {"object_set_visible", F_object_set_visible},
    {"object_set_depth", F_object_set_depth},
    {"object_set_persistent", F_object_set_persistent},
    {"object_set_mask", F_object_set_mask},
    {"object_set_parent", F_object_set_parent},
    {"object_add", F_object_add},
    {"object_delete", F_object_delete},
    {"object_event_clear", F_object_event_clear},
    {"object_event_add", F_object_event_add},
};

}  // namespace

RBindingTable ObjectFunctions() { return kObjectFunctions; }

}  // namespace kestro
