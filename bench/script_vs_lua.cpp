// The script language against Lua 5.4 on the same algorithms: each benchmark runs our program
// in-process and the Lua program through `lua5.4`, timing only the work in both, and reports
// our seconds, Lua's seconds and the ratio as counters (processor time on both sides, the best
// of five runs each).
//   bench_script_vs_lua --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

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

namespace kestro {
namespace {

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

// Instance variables inside with over many instances: a room of 1000 stands in for the world.
const Program kWith = {
    "var r; with (all) { hp = 0; score = 0 } "
    "for (r = 0; r < 300; r += 1) with (all) { hp += 1; score = hp * 2 + r } return 0",
    "local t = os.clock() local room = {} for i = 1, 1000 do room[i] = {} end "
    "for _, o in ipairs(room) do o.hp = 0 o.score = 0 end "
    "for r = 0, 299 do for _, o in ipairs(room) do o.hp = o.hp + 1 o.score = o.hp * 2 + r end end "
    "print(os.clock() - t)"};

// Recursive script calls: the script scr_fib is part of the game's scripts.
const char* kFibScript = "if argument0 < 2 return argument0; return scr_fib(argument0 - 1) + scr_fib(argument0 - 2)";
const Program kFib = {
    "return scr_fib(27)",
    "local function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end "
    "local t = os.clock() fib(27) print(os.clock() - t)"};

double LuaSeconds(const char* program) {
  std::string cmd = "lua5.4 -e \"";
  for (const char* p = program; *p; ++p) {
    if (*p == '"' || *p == '\\' || *p == '$') cmd += '\\';
    cmd += *p;
  }
  cmd += "\" 2>/dev/null";
  std::FILE* f = popen(cmd.c_str(), "r");
  if (!f) return -1;
  double seconds = -1;
  if (std::fscanf(f, "%lf", &seconds) != 1) seconds = -1;
  pclose(f);
  return seconds;
}

void Compare(benchmark::State& state, const Program& program, CInstance* instance = nullptr) {
  CCode code(program.ours, CodeKind::kProgram);
  if (!code.Compile()) {
    state.SkipWithError(code.CompileError().c_str());
    return;
  }
  char dummy = 0;
  CInstance* self = instance ? instance : reinterpret_cast<CInstance*>(&dummy);
  // The best of a few runs on each side, so a busy moment on the machine does not decide.
  constexpr int kRuns = 5;
  double ours = 1e9, lua = 1e9;
  for (auto _ : state) {
    for (int run = 0; run < kRuns; ++run) {
      ResetGlobals();
      RValue result;
      // Processor time, as Lua's os.clock measures it, so other load on the machine does not count.
      std::clock_t t0 = std::clock();
      bool ok = ExecuteCode(self, self, code, result);
      ours = std::min(ours, double(std::clock() - t0) / CLOCKS_PER_SEC);
      if (!ok) {
        state.SkipWithError(PendingCodeError().c_str());
        return;
      }
      const double l = LuaSeconds(program.lua);
      if (l > 0) lua = std::min(lua, l);
    }
    state.SetIterationTime(ours);
  }
  state.counters["ours_s"] = ours;
  state.counters["lua_s"] = lua;
  state.counters["ratio"] = lua < 1e9 ? ours / lua : -1;
}
// The instances of a room, each with its own variables; nothing else of the world.
class BenchRoom final : public IScriptHost {
 public:
  explicit BenchRoom(int n) : vars_(size_t(n)) {}
  CVariableList& Variables(CInstance* inst) override { return *reinterpret_cast<CVariableList*>(inst); }
  CInstance* FirstInstance(int32_t) override { return nullptr; }
  void Instances(int32_t d, std::vector<CInstance*>& out) override {
    if (d != kDesignatorAll) return;
    for (CVariableList& v : vars_) out.push_back(reinterpret_cast<CInstance*>(&v));
  }
  bool GetBuiltin(CInstance*, int32_t, int32_t, RValue&) override { return false; }
  bool SetBuiltin(CInstance*, int32_t, int32_t, const RValue&) override { return false; }
  bool CallFunction(int32_t, CInstance*, CInstance*, int32_t, RValue*, RValue&) override { return true; }
  CInstance* Self() { return reinterpret_cast<CInstance*>(&self_); }

 private:
  std::vector<CVariableList> vars_;
  CVariableList self_;
};

void CompareWith(benchmark::State& state) {
  SetScriptNames(&BuiltinScriptNames());  // for `all`
  BenchRoom room(1000);
  CScratchHostScope scope(room);
  Compare(state, kWith, room.Self());
  SetScriptNames(nullptr);
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

BENCHMARK(CompareWith)->Name("Compare/with_instances")->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(CompareFib)->Name("Compare/fib")->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Compare, arithmetic, kArithmetic)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Compare, arrays_2d, kArrays)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Compare, strings, kStrings)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Compare, globals, kGlobals)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestro
