// The part_* and effect_* functions as game code calls them: ids of types, systems and objects,
// quiet handling of ids that do not exist, the settings they write, the drag-and-drop particle
// actions over them, the ready-made effects, and the particles' place in the run (the update after
// the end step, the effect systems emptied when a room starts, a fresh store when the game
// restarts).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "graphics/Clock.h"
#include "particles/Effects.h"
#include "particles/ParticleLayer.h"
#include "resources/GameResources.h"
#include "runner/MainLoop.h"
#include "script/Code.h"
#include "script/Executor.h"
#include "script/builtins/Random.h"
#include "support/WorldFixture.h"
#include "world/StepFixture.h"
#include "world/GameState.h"

namespace kestro::test {
namespace {

class ParticleFunctions : public WorldFixture {
 protected:
  void SetUp() override {
    WorldFixture::SetUp();
    ResetParticles();
    StartWorld();
    RandomSetSeed(7);
  }
  void TearDown() override {
    ResetParticles();
    WorldFixture::TearDown();
  }
  double Eval(const std::string& text) {
    CCode code(text, CodeKind::kProgram);
    EXPECT_TRUE(code.Compile()) << text;
    CInstance temporary;
    RValue r;
    EXPECT_TRUE(ExecuteCode(&temporary, &temporary, code, r)) << text;
    return r.val;
  }
  RParticleSystem& System(int id) { return *Particles().System(id); }
};

TEST_F(ParticleFunctions, IdsAreReusedLowestFirstAndEachKindKeepsItsOwn) {
  EXPECT_EQ(Eval("return part_type_create()"), 0);
  EXPECT_EQ(Eval("return part_type_create()"), 1);
  EXPECT_EQ(Eval("return part_type_create()"), 2);
  Eval("part_type_destroy(1)");
  EXPECT_EQ(Eval("return part_type_exists(1)"), 0);
  EXPECT_EQ(Eval("return part_type_exists(2)"), 1);
  EXPECT_EQ(Eval("return part_type_create()"), 1);
  EXPECT_EQ(Eval("return part_system_create()"), 0);
  EXPECT_EQ(Eval("return part_system_create()"), 1);
  Eval("part_system_destroy(0)");
  EXPECT_EQ(Eval("return part_system_exists(0) * 10 + part_system_exists(1)"), 1);
  EXPECT_EQ(Eval("return part_system_create()"), 0);
  const char* kinds[] = {"emitter", "attractor", "destroyer", "deflector", "changer"};
  for (const std::string k : kinds) {
    const std::string f = "part_" + k + "_";
    EXPECT_EQ(Eval("return " + f + "create(1)"), 0) << k;
    EXPECT_EQ(Eval("return " + f + "create(1)"), 1) << k;
    EXPECT_EQ(Eval("return " + f + "create(1)"), 2) << k;
    Eval(f + "destroy(1, 0)");
    EXPECT_EQ(Eval("return " + f + "exists(1, 0) * 10 + " + f + "exists(1, 2)"), 1) << k;
    EXPECT_EQ(Eval("return " + f + "create(1)"), 0) << k;
    Eval(f + "destroy_all(1)");
    EXPECT_EQ(Eval("return " + f + "exists(1, 2)"), 0) << k;
    EXPECT_EQ(Eval("return " + f + "create(1)"), 0) << k;
    EXPECT_EQ(Eval("return " + f + "create(5)"), -1) << "no system: " << k;
    EXPECT_EQ(Eval("return " + f + "exists(5, 0)"), 0) << k;
  }
}

TEST_F(ParticleFunctions, MissingTypesSystemsAndObjectsAreQuietlyPassedOver) {
  const double s = Eval("return part_system_create()");
  ASSERT_EQ(s, 0);
  // Every call names something that does not exist: nothing happens, nothing is reported, 0.
  const char* calls[] = {
      "part_type_shape(3, 1)",
      "part_type_size(-1, 1, 2, 0, 0)",
      "part_type_color3(9, 1, 2, 3)",
      "part_type_alpha2(9, 1, 0)",
      "part_type_clear(9)",
      "part_type_destroy(9)",
      "part_system_depth(4, 10)",
      "part_system_update(4)",
      "part_system_drawit(4)",
      "part_system_clear(4)",
      "part_particles_count(4)",
      "part_particles_create(4, 0, 0, 0, 5)",
      "part_particles_create(0, 0, 0, 7, 5)",
      "part_emitter_burst(0, 3, 0, 5)",
      "part_emitter_region(0, 3, 0, 1, 0, 1, 0, 0)",
      "part_emitter_stream(0, 3, 0, 1)",
      "part_attractor_force(0, 2, 1, 1, 0, 1)",
      "part_destroyer_region(0, 1, 0, 1, 0, 1, 0)",
      "part_deflector_kind(0, 0, 1)",
      "part_changer_types(0, 0, 1, 2)",
      "part_emitter_clear(0, 0)",
  };
  for (const char* c : calls) EXPECT_EQ(Eval(std::string("return ") + c), 0) << c;
  EXPECT_EQ(out_, "");
  EXPECT_TRUE(System(0).particles.empty());
  EXPECT_EQ(Particles().Types().Slots(), 0u);
}

TEST_F(ParticleFunctions, SettersWriteTheirFieldsAndClearsGoBackToTheDefaults) {
  Eval(
      "global.t = part_type_create(); global.s = part_system_create();"
      "part_type_sprite(global.t, 4, false, true, true); part_type_size(global.t, 0.5, 2, 0.1, 0.2);"
      "part_type_life(global.t, 10.4, 20.6); part_type_color_rgb(global.t, 1, 2, 3, 4, 5, 6);"
      "part_type_alpha2(global.t, 1, 0); part_type_blend(global.t, true);"
      "part_type_orientation(global.t, 1, 2, 3, 4, true); part_type_step(global.t, -10, 3);"
      "part_system_depth(global.s, -7); part_system_position(global.s, 3, 4); part_system_draw_order(global.s, false)");
  const RParticleType& t = *Particles().Type(0);
  EXPECT_EQ(t.sprite, 4);
  EXPECT_FALSE(t.spriteanim);
  EXPECT_TRUE(t.spritestretch && t.spriterandom);
  EXPECT_DOUBLE_EQ(t.sizerand, 0.2);
  EXPECT_EQ(t.lifemin, 10);
  EXPECT_EQ(t.lifemax, 21);
  EXPECT_EQ(t.colmode, 3);
  EXPECT_DOUBLE_EQ(t.colpar[5], 6);
  EXPECT_DOUBLE_EQ(t.alphamiddle, 0.5);
  EXPECT_TRUE(t.angdir);
  EXPECT_EQ(t.stepnumber, -10);
  EXPECT_EQ(t.steptype, 3);
  EXPECT_EQ(System(0).depth, -7);
  EXPECT_EQ(System(0).xdraw, 3);
  EXPECT_FALSE(System(0).oldtonew);
  Eval("part_type_shape(global.t, pt_shape_star)");
  EXPECT_EQ(t.sprite, -1) << "a shape removes the sprite";
  EXPECT_EQ(t.shape, 4);
  // Clearing keeps only the additive blending.
  Eval("part_type_clear(global.t)");
  EXPECT_EQ(t.lifemin, 100);
  EXPECT_EQ(t.colmode, 0);
  EXPECT_TRUE(t.additiveblend);
  EXPECT_TRUE(t.created);
  // A system's clear takes its particles, objects and settings.
  Eval(
      "part_emitter_create(global.s); part_particles_create(global.s, 0, 0, global.t, 3); part_system_clear(global.s)");
  EXPECT_EQ(System(0).depth, 0);
  EXPECT_TRUE(System(0).oldtonew);
  EXPECT_EQ(System(0).emitters.Slots(), 0u);
  EXPECT_EQ(Eval("return part_particles_count(global.s)"), 0);
  EXPECT_EQ(Eval("return part_system_exists(global.s)"), 1);
}

TEST_F(ParticleFunctions, EmittersBurstAndStreamThroughTheFunctions) {
  Eval(
      "global.t = part_type_create(); global.s = part_system_create(); global.e = part_emitter_create(global.s);"
      "part_emitter_region(global.s, global.e, 10, 20, 30, 40, ps_shape_line, ps_distr_linear);"
      "part_emitter_burst(global.s, global.e, global.t, 25)");
  ASSERT_EQ(System(0).particles.size(), 25u);
  for (const RParticle& p : System(0).particles) {
    EXPECT_GE(p.x, 10);
    EXPECT_LE(p.x, 20);
    EXPECT_DOUBLE_EQ(p.y - 30, p.x - 10);
  }
  Eval("part_emitter_stream(global.s, global.e, global.t, 4); part_system_update(global.s)");
  EXPECT_EQ(Eval("return part_particles_count(global.s)"), 29);
  Eval("part_emitter_clear(global.s, global.e); part_system_update(global.s)");
  EXPECT_EQ(Eval("return part_particles_count(global.s)"), 29) << "a cleared emitter no longer streams";
  Eval("part_particles_create_color(global.s, 1, 2, global.t, c_red, 2)");
  EXPECT_EQ(System(0).particles.back().color, 0x0000FF);
  Eval("part_particles_clear(global.s)");
  EXPECT_EQ(Eval("return part_particles_count(global.s)"), 0);
}

TEST_F(ParticleFunctions, TheParticleActionsWorkOnTheirOwnSystemAndSlots) {
  Eval(
      "action_partsyst_create(-20);"
      "action_parttype_create(3, pt_shape_disk, -1, 0.5, 1, 0);"
      "action_parttype_life(3, 5, 5);"
      "action_parttype_speed(3, 2, 2, 90, 90, 0);"
      "action_parttype_color(3, 0, c_red, c_blue, 1, 0);"
      "action_partemit_create(1, ps_shape_rectangle, 0, 10, 0, 10);"
      "action_partemit_burst(1, 3, 12)");
  EXPECT_EQ(out_, "");
  ASSERT_NE(Particles().System(0), nullptr);
  EXPECT_EQ(System(0).depth, -20);
  ASSERT_EQ(System(0).particles.size(), 12u);
  const RParticleType& t = *Particles().Type(System(0).particles[0].parttype);
  EXPECT_EQ(t.shape, 1);
  EXPECT_EQ(t.lifemin, 5);
  EXPECT_DOUBLE_EQ(t.spmin, 2);
  EXPECT_DOUBLE_EQ(t.dirmin, 90);
  EXPECT_EQ(t.colmode, 1);
  EXPECT_DOUBLE_EQ(t.alphaend, 0);
  Eval("action_partemit_stream(1, 3, 2)");
  UpdateParticleSystems();
  EXPECT_EQ(System(0).particles.size(), 14u);
  Eval("action_partsyst_clear()");
  EXPECT_TRUE(System(0).particles.empty());
  Eval("action_partemit_destroy(1)");
  EXPECT_EQ(Eval("return part_emitter_exists(0, 0)"), 0);
  Eval("action_partsyst_destroy()");
  EXPECT_EQ(Eval("return part_system_exists(0)"), 0);
  // An emptied store (a game restart) takes the actions' slots with it.
  Eval("action_partemit_create(2, ps_shape_rectangle, 0, 10, 0, 10)");
  ResetParticles();
  Eval("global.mine = part_system_create(); action_partemit_burst(2, 3, 1)");
  EXPECT_EQ(out_, "E[The particle emitter must first be created.];");
  EXPECT_EQ(Eval("return part_particles_count(global.mine)"), 0);
}

TEST_F(ParticleFunctions, EffectsMakeTheirParticlesInTheirTwoSystems) {
  CLiveRoom& room = World().Room();
  room.r_width = 300;
  room.r_height = 200;
  Eval("effect_create_above(ef_rain, 0, 0, 2, c_gray)");
  const int above = Effects().System(true);
  ASSERT_GE(above, 0);
  EXPECT_EQ(Effects().System(false), -1) << "made on first use";
  EXPECT_EQ(System(above).depth, -100000);
  ASSERT_EQ(System(above).particles.size(), 9u);
  for (const RParticle& p : System(above).particles) {
    EXPECT_LT(p.y, 0) << "above the room's top edge";
    EXPECT_GE(p.y, -30);
    EXPECT_GE(p.x, 0);
    EXPECT_LT(p.x, 1.2 * 300);
    EXPECT_EQ(p.color, 0x808080);
    EXPECT_EQ(p.lifetime, 40) << "a fifth of the room's height";
  }
  Eval("effect_create_below(ef_explosion, 50, 60, 1, c_yellow)");
  const int below = Effects().System(false);
  EXPECT_EQ(System(below).depth, 100000);
  ASSERT_EQ(System(below).particles.size(), 21u);
  EXPECT_EQ(System(below).particles[0].color, 0x00FFFF);
  EXPECT_EQ(System(below).particles[20].color, 0) << "the black centre";
  EXPECT_DOUBLE_EQ(System(below).particles[0].speed, 4);
  // The counts of each kind at each size.
  const struct {
    const char* kind;
    int counts[3];
  } cases[] = {
      {"ef_ring", {1, 1, 1}},    {"ef_ellipse", {1, 1, 1}},   {"ef_firework", {75, 150, 250}},
      {"ef_smoke", {6, 11, 16}}, {"ef_smokeup", {6, 11, 16}}, {"ef_star", {1, 1, 1}},
      {"ef_spark", {1, 1, 1}},   {"ef_flare", {1, 1, 1}},     {"ef_cloud", {1, 1, 1}},
      {"ef_snow", {1, 3, 7}},
  };
  for (const auto& c : cases)
    for (int size = 0; size < 3; ++size) {
      Eval("effect_clear()");
      Eval(std::string("effect_create_below(") + c.kind + ", 100, 100, " + std::to_string(size) + ", c_white)");
      EXPECT_EQ(System(below).particles.size(), size_t(c.counts[size])) << c.kind << " " << size;
    }
  // Unknown kinds do nothing; a destroyed effect system is made again.
  Eval("effect_clear(); effect_create_below(12, 0, 0, 0, 0); effect_create_below(-1, 0, 0, 0, 0)");
  EXPECT_TRUE(System(below).particles.empty());
  Eval("part_system_destroy(" + std::to_string(above) + ")");
  Eval("effect_create_above(ef_star, 0, 0, 0, 0)");
  EXPECT_EQ(System(Effects().System(true)).particles.size(), 1u);
}

TEST_F(ParticleFunctions, EffectsKeepTheirTimeInFastRooms) {
  const struct {
    int speed, fps;
    double e;
  } cases[] = {
      {30, 30, 1}, {60, 20, 1}, {60, 60, 0.5}, {60, 55, 0.5}, {60, 45, 30.0 / 45}, {20, 60, 1},
  };
  for (const auto& c : cases) {
    REffectRoom room;
    room.speed = c.speed;
    room.fps = c.fps;
    EXPECT_DOUBLE_EQ(CEffects::SpeedFactor(room), c.e) << c.speed << " " << c.fps;
  }
}

// The run: a small game played by the main loop on a manual clock.
class ParticleRun : public StepFixture {
 protected:
  void SetUp() override {
    StepFixture::SetUp();
    ResetParticles();
    RandomSetSeed(7);
  }
  void TearDown() override {
    ResetParticles();
    StepFixture::TearDown();
  }
  // A room rmN (N: the rooms made before it) holding one instance of `obj`.
  void Room(int obj) {
    auto r = std::make_unique<CRoom>();
    r->r_placed = {{0, 0, obj, 100001 + Rooms().Count(), ""}};
    Rooms().Add(std::move(r), "rm" + std::to_string(Rooms().Count()));
    RoomOrder().push_back(Rooms().Count() - 1);
  }
  RParticleSystem& System(int id) { return *Particles().System(id); }
};

TEST_F(ParticleRun, SystemsUpdateAfterTheEndStepAndBeforeTheDraw) {
  const int o = Object("obj");
  On(o, kEventCreate, 0,
     "global.s = part_system_create(); global.t = part_type_create(); part_type_life(global.t, 2, 2);"
     "global.m = part_system_create(); part_system_automatic_update(global.m, false)");
  On(o, kEventStep, 0,
     "part_particles_create(global.s, 0, 0, global.t, 1); part_particles_create(global.m, 0, 0, global.t, 1)");
  On(o, kEventStep, 2, "show_debug_message(\"end \" + string(part_particles_count(global.s)))");
  Room(o);
  std::string drawn;
  CLoopHooks hooks;
  hooks.drawRoom = [&] {
    const auto& parts = System(0).particles;
    drawn += "draw " + std::to_string(parts.size()) + " " + std::to_string(parts.empty() ? -1 : parts[0].age) + ";";
  };
  Play(3, hooks);
  // Each step adds one; the update after the end step ages them and a particle of life 2 is gone
  // after its second update, before the draw.
  EXPECT_EQ(out_, "end 1;end 2;end 2;");
  EXPECT_EQ(drawn, "draw 1 1;draw 1 1;draw 1 1;");
  EXPECT_EQ(System(1).particles.size(), 3u) << "a system that does not update automatically keeps its particles";
}

TEST_F(ParticleRun, ARoomStartEmptiesTheEffectSystemsAndARestartEmptiesEverything) {
  const int o = Object("obj");
  On(o, kEventCreate, 0,
     "if room == rm0 {"
     "  global.s = part_system_create(); global.t = part_type_create();"
     "  part_particles_create(global.s, 0, 0, global.t, 5);"
     "  effect_create_above(ef_cloud, 0, 0, 0, 0); effect_create_below(ef_cloud, 0, 0, 0, 0) }");
  On(o, kEventStep, 0,
     "show_debug_message(string(room) + \": \" + string(part_particles_count(global.s)) + \" \" + "
     "string(part_system_exists(3)) + \" \" + string(part_particles_count(1)) + \" \" + "
     "string(part_particles_count(2)));"
     "if room == rm0 room_goto_next() else { part_system_create(); game_restart() }");
  Room(o);
  Room(o);
  Play(3);
  // Room 0: the own system holds 5, each effect system one cloud. Room 1: the effect systems are
  // empty, the own system keeps its particles. The restart leaves nothing of the systems made
  // before it (system 3, made just before, is gone); the game's start makes its own again.
  EXPECT_EQ(out_, "0: 5 0 1 1;1: 5 0 0 0;0: 5 0 1 1;");
}

}  // namespace
}  // namespace kestro::test
