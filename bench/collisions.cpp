// Collisions of many moving instances, stepped headless without drawing: 1,000, 10,000 and
// 100,000 instances at the same density (a 32 x 32 square of room per instance), a tenth of them
// solid walls standing still and the rest 16 x 16 balls moving at 1 to 3 pixels per step. Each
// ball asks place_free in its step event and turns back when blocked; balls have collision events
// with balls and walls, walls are solid, so the collision phase puts balls back too.
// Reported: steps per second and the time per instance and step (which should stay flat as the
// room grows).
//
// `rows` 0 creates the instances in random order across the room, so each instance's neighbours
// are anywhere in memory and in the processing order (the worst case for the caches); 1 creates
// them row by row (32 pixels high, left to right), the order of a room laid out by hand.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <memory>
#include <string>

#include "graphics/Clock.h"
#include "resources/GameResources.h"
#include "runner/MainLoop.h"
#include "script/Code.h"
#include "script/builtins/Random.h"
#include "tools/Bindings.h"
#include "world/CollisionGrid.h"
#include "world/EventLists.h"
#include "world/Events.h"
#include "world/GameScripts.h"
#include "world/World.h"
#include "world/WorldHost.h"

namespace kestro {
namespace {

const bool kBound = (tools::InstallGameBindings(), true);

constexpr int kSteps = 20;

CAction Code(const char* text) {
  CAction a;
  a.act_exetype = kExeCode;
  a.act_codecode = std::make_shared<CCode>(text, CodeKind::kProgram);
  return a;
}

void SetEvent(CObject& o, int type, int numb, const char* text) {
  CEvent* ev = o.CreateEvent(type, numb);
  ev->e_actions = {Code(text)};
  ev->e_number = 1;
}

// `collide`: with the place_free test and the collision events; without them, the same motion and
// step code alone, the cost the collision work adds to.
bool MakeGame(int instances, bool collide, bool rows) {
  GameResources().Clear();
  auto sprite = std::make_unique<CSprite>();
  sprite->i_bitmap.emplace_back(16, 16, 0xFF000000u);
  sprite->i_numb = 1;
  sprite->ComputeMask({false, kBoxAutomatic, {}, kMaskPrecise, 0});
  Sprites().Add(std::move(sprite), "spr_block");
  auto wall = std::make_unique<CObject>();
  wall->o_spriteindex = 0;
  wall->o_solid = true;
  auto ball = std::make_unique<CObject>();
  ball->o_spriteindex = 0;
  SetEvent(*ball, kEventCreate, 0, "direction = random(360); speed = 1 + random(2); hits = 0");
  const char* bounds =
      "if x < 0 || x > room_width - 16 hspeed = -hspeed; if y < 0 || y > room_height - 16 vspeed = -vspeed";
  if (collide) {
    SetEvent(*ball, kEventStep, 0,
             (std::string("if !place_free(x + hspeed, y + vspeed) { hspeed = -hspeed; vspeed = -vspeed }") + bounds)
                 .c_str());
    SetEvent(*ball, kEventCollision, 1, "hits += 1");
    SetEvent(*ball, kEventCollision, 0, "hits += 1");
  } else {
    SetEvent(*ball, kEventStep, 0, bounds);
  }
  Objects().Add(std::move(wall), "obj_wall");
  Objects().Add(std::move(ball), "obj_ball");
  auto room = std::make_unique<CRoom>();
  const int side = int(std::ceil(std::sqrt(double(instances)))) * 32;
  room->r_width = room->r_height = side;
  RandomSetSeed(1);
  for (int k = 0; k < instances; ++k) {
    const int x = int(RandomBelow(uint64_t(side - 16))), y = int(RandomBelow(uint64_t(side - 16)));
    room->r_placed.push_back({x, y, k % 10 == 0 ? 0 : 1, 100001 + k, ""});
  }
  if (rows) {
    std::stable_sort(room->r_placed.begin(), room->r_placed.end(), [](const auto& p, const auto& q) {
      return p.y / 32 != q.y / 32 ? p.y / 32 < q.y / 32 : p.x < q.x;
    });
    for (size_t k = 0; k < room->r_placed.size(); ++k) room->r_placed[k].id = 100001 + int(k);
  }
  Rooms().Add(std::move(room), "rm");
  RoomOrder() = {0};
  InstallGameScriptNames();
  for (int obj = 0; obj < Objects().Count(); ++obj)
    for (auto& events : Objects().Get(obj)->o_events)
      for (auto& [numb, ev] : events)
        for (CAction& a : ev.e_actions)
          if (!a.act_codecode->Compile()) return false;
  BuildEventLists();
  return true;
}

void Collisions(benchmark::State& state) {
  const int instances = int(state.range(0));
  if (!MakeGame(instances, state.range(1) != 0, state.range(2) != 0)) {
    state.SkipWithError("the event code does not compile");
    return;
  }
  World().Reset();
  InstallWorldHost();
  CManualClock clock;
  StepClock().SetSource(&clock);
  double best = 1e9;
  for (auto _ : state) {
    for (int run = 0; run < 3; ++run) {
      CMainLoop loop({});
      World().Reset();
      CollisionGrid().Reset();
      RandomSetSeed(2);
      StartGame();  // creating the instances is not timed
      loop.RunStep();
      const std::clock_t t0 = std::clock();
      for (int s = 0; s < kSteps; ++s) loop.RunStep();
      best = std::min(best, double(std::clock() - t0) / CLOCKS_PER_SEC);
      EndGame();
    }
    state.SetIterationTime(best);
  }
  StepClock().SetSource(nullptr);
  state.counters["steps_per_s"] = kSteps / best;
  state.counters["ns_per_instance_step"] = best / kSteps / instances * 1e9;
  World().Reset();
  CollisionGrid().Reset();
  GameResources().Clear();
}

BENCHMARK(Collisions)
    ->Name("World/collisions")
    ->ArgNames({"instances", "collide", "rows"})
    ->ArgsProduct({{1000, 10000, 100000}, {1, 0}, {0}})
    ->Args({1000, 1, 1})
    ->Args({10000, 1, 1})
    ->Args({100000, 1, 1})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestro
