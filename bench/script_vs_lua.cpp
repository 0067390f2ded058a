// The script language against Lua 5.4 on the same algorithms: each benchmark runs our program
// in-process and the Lua program through `lua5.4`, timing only the work in both, and reports
// our seconds, Lua's seconds and the ratio as counters (processor time on both sides, the best
// of five runs each).
//   bench_script_vs_lua --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include "LuaSeconds.h"

#include <algorithm>
#include <ctime>
#include <memory>
#include <cstdio>
#include <string>
#include <vector>

#include "script/BuiltinNames.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Executor.h"
#include "script/ScratchHost.h"
#include "script/Scripts.h"
#include "script/Variables.h"
#include "resources/GameResources.h"
#include "tools/Bindings.h"
#include "world/GameScripts.h"
#include "world/World.h"
#include "world/WorldHost.h"

namespace kestro {
namespace {

// The program's built-in functions, as the `kestro` program installs them.
const bool kBound = (tools::InstallGameBindings(), true);

struct Program {
  const char* ours;
  const char* lua;  // must print the seconds its work took, as measured by os.clock
};

const Program kArithmetic = {
    "var i, s; s = 0; i = 0; while (i < 10000000) { s += i * 2 mod 7; i += 1 } return s",
    "local t = os.clock() local s, i = 0, 0 while i < 10000000 do s = s + math.fmod(i * 2, 7) i = i + 1 end "
    "print(os.clock() - t)"};

const Program kArrays = {
    "var i, j, s; for (i = 0; i < 400; i += 1) for (j = 0; j < 400; j += 1) grid[i, j] = i * j; "
    "s = 0; repeat 10 for (i = 0; i < 400; i += 1) for (j = 0; j < 400; j += 1) s += grid[i, j]; return s",
    "local t = os.clock() local grid = {} for i = 0, 399 do grid[i] = {} for j = 0, 399 do grid[i][j] = i * j end end "
    "local s = 0 for r = 1, 10 do for i = 0, 399 do local row = grid[i] for j = 0, 399 do s = s + row[j] end end end "
    "print(os.clock() - t)"};

const Program kStrings = {
    "var i, s; s = \"\"; for (i = 0; i < 20000; i += 1) s += \"ab\"; return s",
    "local t = os.clock() local s = '' for i = 0, 19999 do s = s .. 'ab' end print(os.clock() - t)"};

const Program kGlobals = {
    "globalvar g; var i; g = 0; for (i = 0; i < 3000000; i += 1) { g += i; (-5).h = g } return (-5).h",
    "local t = os.clock() G = 0 for i = 0, 2999999 do G = G + i H = G end print(os.clock() - t)"};

// Instance variables inside with over the instances of the world's room (the real instance store),
// the same work over Lua tables: 300,000 instance updates at every room size.
std::string WithProgram(int instances, bool lua) {
  const std::string passes = std::to_string(300000 / instances);
  if (!lua)
    return "var r; with (all) { hp = 0; pts = 0 } for (r = 0; r < " + passes +
           "; r += 1) with (all) { hp += 1; pts = hp * 2 + r } return 0";
  return "local t = os.clock() local room = {} for i = 1, " + std::to_string(instances) +
         " do room[i] = {} end for _, o in ipairs(room) do o.hp = 0 o.pts = 0 end for r = 0, " + passes +
         " - 1 do for _, o in ipairs(room) do o.hp = o.hp + 1 o.pts = o.hp * 2 + r end end print(os.clock() - t)";
}

// Recursive script calls: the script scr_fib is part of the game's scripts.
const char* kFibScript = "if argument0 < 2 return argument0; return scr_fib(argument0 - 1) + scr_fib(argument0 - 2)";
const Program kFib = {
    "return scr_fib(27)",
    "local function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end "
    "local t = os.clock() fib(27) print(os.clock() - t)"};

void Compare(benchmark::State& state, const Program& program, CInstance* instance = nullptr) {
  CCode code(program.ours, CodeKind::kProgram);
  if (!code.Compile()) {
    state.SkipWithError(code.CompileError().c_str());
    return;
  }
  char dummy = 0;
  CInstance* self = instance ? instance : reinterpret_cast<CInstance*>(&dummy);
  bench::CompareBestOf(state, 5, program.lua, [&](std::string& error) {
    ResetGlobals();
    RValue result;
    if (ExecuteCode(self, self, code, result)) return true;
    error = PendingCodeError();
    return false;
  });
}
// A game with one object and a room of `n` of its instances.
void MakeRoom(int n) {
  GameResources().Clear();
  Objects().Add(std::make_unique<CObject>(), "obj");
  World().Reset();
  InstallGameScriptNames();
  InstallWorldHost();
  for (int k = 0; k < n; ++k) World().Room().AddInstance(0, k, 0, World().lastInstanceId);
}

void CompareWith(benchmark::State& state) {
  const int n = int(state.range(0));
  MakeRoom(n);
  const std::string ours = WithProgram(n, false), lua = WithProgram(n, true);
  CInstance self;
  Compare(state, {ours.c_str(), lua.c_str()}, &self);
  World().Reset();
  GameResources().Clear();
  SetScriptNames(nullptr);
}

// Creating and destroying 100,000 instances in one step, and removing them at the step's end:
// the time per instance.
void CreateDestroy(benchmark::State& state) {
  MakeRoom(0);
  CCode code("repeat 100000 instance_create(random(640), random(480), obj); with (obj) instance_destroy()", CodeKind::kProgram);
  if (!code.Compile()) {
    state.SkipWithError(code.CompileError().c_str());
    return;
  }
  CInstance self;
  for (auto _ : state) {
    RValue result;
    ExecuteCode(&self, &self, code, result);
    World().Room().RemoveMarked();
  }
  state.counters["per_instance_ns"] =
      benchmark::Counter(100000.0 * double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  World().Reset();
  GameResources().Clear();
  SetScriptNames(nullptr);
}

// Building a text by appending to one variable, at three lengths: the cost per append stays flat
// (the buffer grows in place). Lua builds it the way a Lua program would, in a table joined once.
void CompareAppend(benchmark::State& state) {
  const std::string n = std::to_string(state.range(0));
  const std::string ours = "var i, s; s = \"\"; for (i = 0; i < " + n + "; i += 1) s += \"xxxxxxxxxx\"; return s";
  const std::string lua = "local t = os.clock() local b = {} for i = 1, " + n +
                          " do b[#b + 1] = 'xxxxxxxxxx' end local s = table.concat(b) print(os.clock() - t)";
  CScratchHost host;
  CScratchHostScope scope(host);
  Compare(state, {ours.c_str(), lua.c_str()});
  state.counters["ours_per_append_ns"] = state.counters["ours_s"] * 1e9 / double(state.range(0));
}

void CompareFib(benchmark::State& state) {
  GameResources().Clear();
  auto script = std::make_unique<CScript>();
  script->s_text = kFibScript;
  Scripts().Add(std::move(script), "scr_fib");
  RegisterArgumentVariables();
  InstallGameScriptNames();
  if (!CompileGameScripts()) {
    state.SkipWithError("scr_fib does not compile");
    return;
  }
  CScratchHost host;
  CScratchHostScope scope(host);
  Compare(state, kFib);
  SetScriptNames(nullptr);
  GameResources().Clear();
}

BENCHMARK(CompareWith)->Name("Compare/with_instances")->Arg(1000)->Arg(10000)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(CreateDestroy)->Name("World/create_destroy_100000")->Unit(benchmark::kMillisecond);
BENCHMARK(CompareFib)->Name("Compare/fib")->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Compare, arithmetic, kArithmetic)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Compare, arrays_2d, kArrays)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Compare, strings, kStrings)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(CompareAppend)->Name("Compare/string_append")->Arg(10000)->Arg(100000)->Arg(1000000)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Compare, globals, kGlobals)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestro
