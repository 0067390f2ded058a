// The part_* functions: particle types, systems, the particles in a system and the emitters,
// attractors, destroyers, deflectors and changers inside it. A type, system or object that does
// not exist is passed over quietly: nothing happens and the result is 0 (-1 from the creating
// functions of objects when their system does not exist).
#include <algorithm>
#include <cstdint>

#include "particles/Bindings.h"
#include "particles/ParticleDraw.h"
#include "particles/ParticleLayer.h"
#include "script/builtins/BuiltinArgs.h"

namespace kestro {

namespace {

int Int(const RValue& v) { return int(std::clamp<int64_t>(ArgInt(v), INT32_MIN, INT32_MAX)); }
RParticleType* Type(const RValue& v) { return Particles().Type(Int(v)); }
RParticleSystem* System(const RValue& v) { return Particles().System(Int(v)); }

// ---- types ----

KESTRO_BUILTIN(F_part_type_create) { r.SetReal(Particles().Types().Create()); }
KESTRO_BUILTIN(F_part_type_destroy) { Particles().Types().Destroy(Int(a[0])); }
KESTRO_BUILTIN(F_part_type_exists) { r.SetReal(Type(a[0]) ? 1 : 0); }
KESTRO_BUILTIN(F_part_type_clear) {
  RParticleType* t = Type(a[0]);
  if (!t) return;
  // Clearing takes every parameter back to its default but keeps the blending, which only
  // part_type_blend sets.
  const bool additive = t->additiveblend;
  Particles().Types().Clear(Int(a[0]));
  Type(a[0])->additiveblend = additive;
}
KESTRO_BUILTIN(F_part_type_shape) {
  if (RParticleType* t = Type(a[0])) {
    t->shape = Int(a[1]);
    t->sprite = -1;
  }
}
KESTRO_BUILTIN(F_part_type_sprite) {
  if (RParticleType* t = Type(a[0])) {
    t->sprite = Int(a[1]);
    t->spriteanim = ArgBool(a[2]);
    t->spritestretch = ArgBool(a[3]);
    t->spriterandom = ArgBool(a[4]);
  }
}
KESTRO_BUILTIN(F_part_type_size) {
  if (RParticleType* t = Type(a[0])) {
    t->sizemin = a[1].val;
    t->sizemax = a[2].val;
    t->sizeincr = a[3].val;
    t->sizerand = a[4].val;
  }
}
KESTRO_BUILTIN(F_part_type_scale) {
  if (RParticleType* t = Type(a[0])) {
    t->xscale = a[1].val;
    t->yscale = a[2].val;
  }
}
KESTRO_BUILTIN(F_part_type_life) {
  if (RParticleType* t = Type(a[0])) {
    t->lifemin = Int(a[1]);
    t->lifemax = Int(a[2]);
  }
}
KESTRO_BUILTIN(F_part_type_step) {
  if (RParticleType* t = Type(a[0])) {
    t->stepnumber = Int(a[1]);
    t->steptype = Int(a[2]);
  }
}
KESTRO_BUILTIN(F_part_type_death) {
  if (RParticleType* t = Type(a[0])) {
    t->deathnumber = Int(a[1]);
    t->deathtype = Int(a[2]);
  }
}
KESTRO_BUILTIN(F_part_type_speed) {
  if (RParticleType* t = Type(a[0])) {
    t->spmin = a[1].val;
    t->spmax = a[2].val;
    t->spincr = a[3].val;
    t->sprand = a[4].val;
  }
}
KESTRO_BUILTIN(F_part_type_direction) {
  if (RParticleType* t = Type(a[0])) {
    t->dirmin = a[1].val;
    t->dirmax = a[2].val;
    t->dirincr = a[3].val;
    t->dirrand = a[4].val;
  }
}
KESTRO_BUILTIN(F_part_type_orientation) {
  if (RParticleType* t = Type(a[0])) {
    t->angmin = a[1].val;
    t->angmax = a[2].val;
    t->angincr = a[3].val;
    t->angrand = a[4].val;
    t->angdir = ArgBool(a[5]);
  }
}
KESTRO_BUILTIN(F_part_type_gravity) {
  if (RParticleType* t = Type(a[0])) {
    t->grav = a[1].val;
    t->gravdir = a[2].val;
  }
}
// Colour mode `mode` with the given parameters (the others keep their values).
void Colours(const RValue* a, int mode, int count) {
  RParticleType* t = Type(a[0]);
  if (!t) return;
  t->colmode = mode;
  for (int k = 0; k < count; ++k) t->colpar[k] = a[k + 1].val;
}
KESTRO_BUILTIN(F_part_type_color1) { Colours(a, 0, 1); }
KESTRO_BUILTIN(F_part_type_color2) { Colours(a, 1, 2); }
KESTRO_BUILTIN(F_part_type_color3) { Colours(a, 2, 3); }
KESTRO_BUILTIN(F_part_type_color_mix) { Colours(a, 5, 2); }
KESTRO_BUILTIN(F_part_type_color_rgb) { Colours(a, 3, 6); }
KESTRO_BUILTIN(F_part_type_color_hsv) { Colours(a, 4, 6); }
void Alphas(const RValue* a, double start, double middle, double end) {
  if (RParticleType* t = Type(a[0])) {
    t->alphastart = start;
    t->alphamiddle = middle;
    t->alphaend = end;
  }
}
KESTRO_BUILTIN(F_part_type_alpha1) { Alphas(a, a[1].val, a[1].val, a[1].val); }
KESTRO_BUILTIN(F_part_type_alpha2) { Alphas(a, a[1].val, (a[1].val + a[2].val) / 2, a[2].val); }
KESTRO_BUILTIN(F_part_type_alpha3) { Alphas(a, a[1].val, a[2].val, a[3].val); }
KESTRO_BUILTIN(F_part_type_blend) {
  if (RParticleType* t = Type(a[0])) t->additiveblend = ArgBool(a[1]);
}

// ---- systems and their particles ----

KESTRO_BUILTIN(F_part_system_create) { r.SetReal(Particles().Systems().Create()); }
KESTRO_BUILTIN(F_part_system_destroy) { Particles().Systems().Destroy(Int(a[0])); }
KESTRO_BUILTIN(F_part_system_exists) { r.SetReal(System(a[0]) ? 1 : 0); }
KESTRO_BUILTIN(F_part_system_clear) { Particles().Systems().Clear(Int(a[0])); }
KESTRO_BUILTIN(F_part_system_draw_order) {
  if (RParticleSystem* ps = System(a[0])) ps->oldtonew = ArgBool(a[1]);
}
KESTRO_BUILTIN(F_part_system_depth) {
  if (RParticleSystem* ps = System(a[0])) ps->depth = a[1].val;
}
KESTRO_BUILTIN(F_part_system_position) {
  if (RParticleSystem* ps = System(a[0])) {
    ps->xdraw = a[1].val;
    ps->ydraw = a[2].val;
  }
}
KESTRO_BUILTIN(F_part_system_automatic_update) {
  if (RParticleSystem* ps = System(a[0])) ps->automaticupdate = ArgBool(a[1]);
}
KESTRO_BUILTIN(F_part_system_automatic_draw) {
  if (RParticleSystem* ps = System(a[0])) ps->automaticdraw = ArgBool(a[1]);
}
KESTRO_BUILTIN(F_part_system_update) {
  if (RParticleSystem* ps = System(a[0])) Particles().Update(*ps);
}
KESTRO_BUILTIN(F_part_system_drawit) {
  if (RParticleSystem* ps = System(a[0])) DrawParticleSystem(Particles(), *ps);
}
KESTRO_BUILTIN(F_part_particles_create) {
  if (RParticleSystem* ps = System(a[0])) Particles().CreateParticles(*ps, a[1].val, a[2].val, Int(a[3]), ArgInt(a[4]));
}
KESTRO_BUILTIN(F_part_particles_create_color) {
  if (RParticleSystem* ps = System(a[0]))
    Particles().CreateParticles(*ps, a[1].val, a[2].val, Int(a[3]), ArgInt(a[5]), ArgInt(a[4]) & 0xFFFFFF);
}
KESTRO_BUILTIN(F_part_particles_clear) {
  if (RParticleSystem* ps = System(a[0])) ps->particles.clear();
}
KESTRO_BUILTIN(F_part_particles_count) {
  if (RParticleSystem* ps = System(a[0])) r.SetReal(double(ps->particles.size()));
}

// ---- objects inside a system: the same five functions for each kind ----

template <auto Table>
auto* Object(const RValue* a) {
  RParticleSystem* ps = System(a[0]);
  return ps ? (ps->*Table).Get(Int(a[1])) : nullptr;
}
template <auto Table>
void ObjectCreate(RValue& r, const RValue* a) {
  RParticleSystem* ps = System(a[0]);
  r.SetReal(ps ? (ps->*Table).Create() : -1);
}
template <auto Table>
void ObjectDestroy(const RValue* a) {
  if (RParticleSystem* ps = System(a[0])) (ps->*Table).Destroy(Int(a[1]));
}
template <auto Table>
void ObjectDestroyAll(const RValue* a) {
  if (RParticleSystem* ps = System(a[0])) (ps->*Table).DestroyAll();
}
template <auto Table>
void ObjectClear(const RValue* a) {
  if (RParticleSystem* ps = System(a[0])) (ps->*Table).Clear(Int(a[1]));
}

#define KESTRO_PART_OBJECT(kind, table)                                                             \
  KESTRO_BUILTIN(F_part_##kind##_create) { ObjectCreate<&RParticleSystem::table>(r, a); }           \
  KESTRO_BUILTIN(F_part_##kind##_destroy) { ObjectDestroy<&RParticleSystem::table>(a); }            \
  KESTRO_BUILTIN(F_part_##kind##_destroy_all) { ObjectDestroyAll<&RParticleSystem::table>(a); }     \
  KESTRO_BUILTIN(F_part_##kind##_exists) { r.SetReal(Object<&RParticleSystem::table>(a) ? 1 : 0); } \
  KESTRO_BUILTIN(F_part_##kind##_clear) { ObjectClear<&RParticleSystem::table>(a); }

KESTRO_PART_OBJECT(emitter, emitters)
KESTRO_PART_OBJECT(attractor, attractors)
KESTRO_PART_OBJECT(destroyer, destroyers)
KESTRO_PART_OBJECT(deflector, deflectors)
KESTRO_PART_OBJECT(changer, changers)

// The box of a region from arguments 2..5 (xmin, xmax, ymin, ymax).
template <class R>
void Region(R& o, const RValue* a) {
  o.xmin = a[2].val;
  o.xmax = a[3].val;
  o.ymin = a[4].val;
  o.ymax = a[5].val;
}

KESTRO_BUILTIN(F_part_emitter_region) {
  if (REmitter* e = Object<&RParticleSystem::emitters>(a)) {
    Region(*e, a);
    e->shape = Int(a[6]);
    e->posdistr = Int(a[7]);
  }
}
KESTRO_BUILTIN(F_part_emitter_burst) {
  RParticleSystem* ps = System(a[0]);
  const REmitter* e = Object<&RParticleSystem::emitters>(a);
  if (ps && e) {
    const REmitter copy = *e;
    Particles().Emit(*ps, copy, Int(a[2]), ArgInt(a[3]));
  }
}
KESTRO_BUILTIN(F_part_emitter_stream) {
  if (REmitter* e = Object<&RParticleSystem::emitters>(a)) {
    e->parttype = Int(a[2]);
    e->number = Int(a[3]);
  }
}
KESTRO_BUILTIN(F_part_attractor_position) {
  if (RAttractor* o = Object<&RParticleSystem::attractors>(a)) {
    o->x = a[2].val;
    o->y = a[3].val;
  }
}
KESTRO_BUILTIN(F_part_attractor_force) {
  if (RAttractor* o = Object<&RParticleSystem::attractors>(a)) {
    o->force = a[2].val;
    o->dist = a[3].val;
    o->kind = Int(a[4]);
    o->additive = ArgBool(a[5]);
  }
}
KESTRO_BUILTIN(F_part_destroyer_region) {
  if (RDestroyer* o = Object<&RParticleSystem::destroyers>(a)) {
    Region(*o, a);
    o->shape = Int(a[6]);
  }
}
KESTRO_BUILTIN(F_part_deflector_region) {
  if (RDeflector* o = Object<&RParticleSystem::deflectors>(a)) Region(*o, a);
}
KESTRO_BUILTIN(F_part_deflector_kind) {
  if (RDeflector* o = Object<&RParticleSystem::deflectors>(a)) o->kind = Int(a[2]);
}
KESTRO_BUILTIN(F_part_deflector_friction) {
  if (RDeflector* o = Object<&RParticleSystem::deflectors>(a)) o->friction = a[2].val;
}
KESTRO_BUILTIN(F_part_changer_region) {
  if (RChanger* o = Object<&RParticleSystem::changers>(a)) {
    Region(*o, a);
    o->shape = Int(a[6]);
  }
}
KESTRO_BUILTIN(F_part_changer_types) {
  if (RChanger* o = Object<&RParticleSystem::changers>(a)) {
    o->part1 = Int(a[2]);
    o->part2 = Int(a[3]);
  }
}
KESTRO_BUILTIN(F_part_changer_kind) {
  if (RChanger* o = Object<&RParticleSystem::changers>(a)) o->kind = Int(a[2]);
}

constexpr RBinding kParticleFunctions[] = {
    {"part_type_create", F_part_type_create},
    {"part_type_destroy", F_part_type_destroy},
    {"part_type_exists", F_part_type_exists},
    {"part_type_clear", F_part_type_clear},
    {"part_type_shape", F_part_type_shape},
    {"part_type_sprite", F_part_type_sprite},
    {"part_type_size", F_part_type_size},
    {"part_type_scale", F_part_type_scale},
    {"part_type_life", F_part_type_life},
    {"part_type_step", F_part_type_step},
    {"part_type_death", F_part_type_death},
    {"part_type_speed", F_part_type_speed},
    {"part_type_direction", F_part_type_direction},
    {"part_type_orientation", F_part_type_orientation},
    {"part_type_gravity", F_part_type_gravity},
    {"part_type_color_mix", F_part_type_color_mix},
    {"part_type_color_rgb", F_part_type_color_rgb},
    {"part_type_color_hsv", F_part_type_color_hsv},
    {"part_type_color1", F_part_type_color1},
    {"part_type_color2", F_part_type_color2},
    {"part_type_color3", F_part_type_color3},
    {"part_type_color", F_part_type_color3},
    {"part_type_alpha1", F_part_type_alpha1},
    {"part_type_alpha2", F_part_type_alpha2},
    {"part_type_alpha3", F_part_type_alpha3},
    {"part_type_alpha", F_part_type_alpha3},
    {"part_type_blend", F_part_type_blend},
    {"part_system_create", F_part_system_create},
    {"part_system_destroy", F_part_system_destroy},
    {"part_system_exists", F_part_system_exists},
    {"part_system_clear", F_part_system_clear},
    {"part_system_draw_order", F_part_system_draw_order},
    {"part_system_depth", F_part_system_depth},
    {"part_system_position", F_part_system_position},
    {"part_system_automatic_update", F_part_system_automatic_update},
    {"part_system_automatic_draw", F_part_system_automatic_draw},
    {"part_system_update", F_part_system_update},
    {"part_system_drawit", F_part_system_drawit},
    {"part_particles_create", F_part_particles_create},
    {"part_particles_create_color", F_part_particles_create_color},
    {"part_particles_clear", F_part_particles_clear},
    {"part_particles_count", F_part_particles_count},
    {"part_emitter_create", F_part_emitter_create},
    {"part_emitter_destroy", F_part_emitter_destroy},
    {"part_emitter_destroy_all", F_part_emitter_destroy_all},
    {"part_emitter_exists", F_part_emitter_exists},
    {"part_emitter_clear", F_part_emitter_clear},
    {"part_emitter_region", F_part_emitter_region},
    {"part_emitter_burst", F_part_emitter_burst},
    {"part_emitter_stream", F_part_emitter_stream},
    {"part_attractor_create", F_part_attractor_create},
    {"part_attractor_destroy", F_part_attractor_destroy},
    {"part_attractor_destroy_all", F_part_attractor_destroy_all},
    {"part_attractor_exists", F_part_attractor_exists},
    {"part_attractor_clear", F_part_attractor_clear},
    {"part_attractor_position", F_part_attractor_position},
    {"part_attractor_force", F_part_attractor_force},
    {"part_destroyer_create", F_part_destroyer_create},
    {"part_destroyer_destroy", F_part_destroyer_destroy},
    {"part_destroyer_destroy_all", F_part_destroyer_destroy_all},
    {"part_destroyer_exists", F_part_destroyer_exists},
    {"part_destroyer_clear", F_part_destroyer_clear},
    {"part_destroyer_region", F_part_destroyer_region},
    {"part_deflector_create", F_part_deflector_create},
    {"part_deflector_destroy", F_part_deflector_destroy},
    {"part_deflector_destroy_all", F_part_deflector_destroy_all},
    {"part_deflector_exists", F_part_deflector_exists},
    {"part_deflector_clear", F_part_deflector_clear},
    {"part_deflector_region", F_part_deflector_region},
    {"part_deflector_kind", F_part_deflector_kind},
    {"part_deflector_friction", F_part_deflector_friction},
    {"part_changer_create", F_part_changer_create},
    {"part_changer_destroy", F_part_changer_destroy},
    {"part_changer_destroy_all", F_part_changer_destroy_all},
    {"part_changer_exists", F_part_changer_exists},
    {"part_changer_clear", F_part_changer_clear},
    {"part_changer_region", F_part_changer_region},
    {"part_changer_kind", F_part_changer_kind},
    {"part_changer_types", F_part_changer_types},
};

}  // namespace

RBindingTable ParticleFunctions() { return kParticleFunctions; }

}  // namespace kestro
