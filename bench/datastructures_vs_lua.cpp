// The data structures against Lua 5.4 tables on the same work: each benchmark runs game code
// in-process and the Lua program through `lua5.4`, timing only the work on both sides (processor
// time, the best of three runs each), and reports both times and the ratio as counters.
//   bench_datastructures_vs_lua --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>

#include "LuaSeconds.h"
#include "datastructures/DataStructures.h"
#include "script/BuiltinNames.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Executor.h"
#include "script/ScratchHost.h"
#include "script/Variables.h"
#include "tools/Bindings.h"

namespace kestro {
namespace {

// The program's built-in functions, as the `kestro` program installs them.
const bool kBound = (tools::InstallGameBindings(), true);

struct Program {
  const char* ours;
  const char* lua;  // must print the seconds its work took, as measured by os.clock
};

const Program kList = {
    "var l, i, s; l = ds_list_create(); for (i = 0; i < 1000000; i += 1) ds_list_add(l, i); "
    "s = 0; for (i = 0; i < 1000000; i += 1) s += ds_list_find_value(l, i); ds_list_destroy(l); return s",
    "local t = os.clock() local l = {} for i = 0, 999999 do l[#l + 1] = i end "
    "local s = 0 for i = 0, 999999 do s = s + l[i + 1] end print(os.clock() - t)"};

const Program kMap = {
    "var m, i, s; m = ds_map_create(); for (i = 0; i < 1000000; i += 1) ds_map_add(m, \"k\" + string(i), i); "
    "s = 0; for (i = 0; i < 1000000; i += 1) s += ds_map_find_value(m, \"k\" + string(i)); ds_map_destroy(m); return s",
    "local t = os.clock() local m = {} for i = 0, 999999 do m['k' .. i] = i end "
    "local s = 0 for i = 0, 999999 do s = s + m['k' .. i] end print(os.clock() - t)"};

// Twenty sums over a 1000 x 1000 grid of ones, in regions that cover it in four quarters.
const Program kGrid = {
    "var g, s; g = ds_grid_create(1000, 1000); ds_grid_clear(g, 1); s = 0; repeat 5 { "
    "s += ds_grid_get_sum(g, 0, 0, 499, 499); s += ds_grid_get_sum(g, 500, 0, 999, 499); "
    "s += ds_grid_get_sum(g, 0, 500, 499, 999); s += ds_grid_get_sum(g, 500, 500, 999, 999) } "
    "ds_grid_destroy(g); return s",
    "local t = os.clock() local g = {} for x = 1, 1000 do local c = {} for y = 1, 1000 do c[y] = 1 end g[x] = c end "
    "local function sum(x1, y1, x2, y2) local s = 0 for x = x1, x2 do local c = g[x] for y = y1, y2 do s = s + c[y] "
    "end end "
    "return s end local s = 0 for r = 1, 5 do s = s + sum(1, 1, 500, 500) + sum(501, 1, 1000, 500) + "
    "sum(1, 501, 500, 1000) + sum(501, 501, 1000, 1000) end print(os.clock() - t)"};

// Adding entries with scattered priorities, then taking the smallest until none is left; Lua keeps
// a binary heap.
const Program kPriority = {
    "var p, i, s; p = ds_priority_create(); for (i = 0; i < 100000; i += 1) ds_priority_add(p, i, (i * 7919) mod "
    "100003); "
    "s = 0; repeat 100000 s += ds_priority_delete_min(p); ds_priority_destroy(p); return s",
    "local t = os.clock() local h, n = {}, 0 "
    "local function push(v, p) n = n + 1 local i = n h[i] = {v, p} while i > 1 do local j = i // 2 "
    "if h[j][2] <= h[i][2] then break end h[i], h[j] = h[j], h[i] i = j end end "
    "local function pop() local top = h[1] h[1] = h[n] h[n] = nil n = n - 1 local i = 1 while true do "
    "local l, r, m = 2 * i, 2 * i + 1, i if l <= n and h[l][2] < h[m][2] then m = l end "
    "if r <= n and h[r][2] < h[m][2] then m = r end if m == i then break end h[i], h[m] = h[m], h[i] i = m end "
    "return top[1] end "
    "for i = 0, 99999 do push(i, (i * 7919) % 100003) end local s = 0 for i = 1, 100000 do s = s + pop() end "
    "print(os.clock() - t)"};

void Compare(benchmark::State& state, const Program& program) {
  CCode code(program.ours, CodeKind::kProgram);
  if (!code.Compile(&BuiltinScriptNames())) {
    state.SkipWithError(code.CompileError().c_str());
    return;
  }
  CScratchHost host;
  CScratchHostScope scope(host);
  bench::CompareBestOf(state, 3, program.lua, [&](std::string& error) {
    ResetGlobals();
    ResetDataStructures();
    RValue result;
    if (ExecuteCode(host.Instance(), host.Instance(), code, result)) return true;
    error = PendingCodeError();
    return false;
  });
}

BENCHMARK_CAPTURE(Compare, list_1000000, kList)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Compare, map_1000000_strings, kMap)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Compare, grid_sums_1000x1000, kGrid)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Compare, priority_100000, kPriority)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestro
