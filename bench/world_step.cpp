// A room of 10,000 instances whose step event runs three lines of code, stepped headless without
// drawing, beside the same work in Lua 5.4 (10,000 tables, each with an update function called once
// per step): steps per second on both sides and the ratio of the times.
#include <benchmark/benchmark.h>

#include "LuaSeconds.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "graphics/Clock.h"
#include "resources/GameResources.h"
#include "runner/MainLoop.h"
#include "script/Code.h"
#include "tools/Bindings.h"
#include "world/EventLists.h"
#include "world/Events.h"
#include "world/GameScripts.h"
#include "world/World.h"
#include "world/WorldHost.h"

namespace kestro {
namespace {

const bool kBound = (tools::InstallGameBindings(), true);

constexpr int kInstances = 10000;
constexpr int kSteps = 50;

const char* kStepCode = "t += 1; x += sin(t * 0.1); if x > 640 x = 0";
const char* kLua =
    "local t0 = os.clock() local room = {} "
    "for i = 1, 10000 do room[i] = {t = 0, x = i % 640, update = function(self) self.t = self.t + 1 "
    "self.x = self.x + math.sin(self.t * 0.1) if self.x > 640 then self.x = 0 end end} end "
    "for s = 1, 50 do for i = 1, #room do local o = room[i] o:update() end end print(os.clock() - t0)";

void StepRoom(benchmark::State& state) {
  GameResources().Clear();
  auto obj = std::make_unique<CObject>();
  CAction create;
  create.act_exetype = kExeCode;
  create.act_codecode = std::make_shared<CCode>("t = 0", CodeKind::kProgram);
  CAction step = create;
  step.act_codecode = std::make_shared<CCode>(kStepCode, CodeKind::kProgram);
  obj->CreateEvent(kEventCreate, 0)->e_actions = {create};
  obj->CreateEvent(kEventCreate, 0)->e_number = 1;
  obj->CreateEvent(kEventStep, 0)->e_actions = {step};
  obj->CreateEvent(kEventStep, 0)->e_number = 1;
  Objects().Add(std::move(obj), "obj");
  auto room = std::make_unique<CRoom>();
  for (int k = 0; k < kInstances; ++k) room->r_placed.push_back({k % 640, 0, 0, 100001 + k, ""});
  Rooms().Add(std::move(room), "rm");
  RoomOrder() = {0};
  InstallGameScriptNames();
  if (!create.act_codecode->Compile() || !step.act_codecode->Compile()) {
    state.SkipWithError("the step code does not compile");
    return;
  }
  Objects().Get(0)->CreateEvent(kEventCreate, 0)->e_actions[0].act_codecode = create.act_codecode;
  Objects().Get(0)->CreateEvent(kEventStep, 0)->e_actions[0].act_codecode = step.act_codecode;
  World().Reset();
  InstallWorldHost();
  CManualClock clock;
  StepClock().SetSource(&clock);
  double ours = 1e9, lua = 1e9;
  for (auto _ : state) {
    for (int run = 0; run < 3; ++run) {
      CMainLoop loop({});
      // Starting and ending the game (10,000 creates) are outside the timed steps.
      World().Reset();
      StartGame();
      std::clock_t t0 = std::clock();
      for (int s = 0; s < kSteps; ++s) loop.RunStep();
      ours = std::min(ours, double(std::clock() - t0) / CLOCKS_PER_SEC);
      EndGame();
      const double l = bench::LuaSeconds(kLua);
      if (l > 0) lua = std::min(lua, l);
    }
    state.SetIterationTime(ours);
  }
  StepClock().SetSource(nullptr);
  state.counters["ours_steps_per_s"] = kSteps / ours;
  state.counters["lua_steps_per_s"] = lua < 1e9 ? kSteps / lua : -1;
  state.counters["ratio"] = lua < 1e9 ? ours / lua : -1;
  World().Reset();
  GameResources().Clear();
}

BENCHMARK(StepRoom)->Name("World/step_10000_instances")->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestro
