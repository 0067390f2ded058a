// Runs a Lua 5.4 program with the command-line interpreter and reads the seconds it prints (the
// program measures its own work with os.clock). -1 when Lua cannot be run.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>

namespace kestro::bench {

inline double LuaSeconds(const std::string& program) {
  std::string cmd = "lua5.4 -e \"";
  for (char c : program) {
    if (c == '"' || c == '\\' || c == '$') cmd += '\\';
    cmd += c;
  }
  cmd += "\" 2>/dev/null";
  std::FILE* f = popen(cmd.c_str(), "r");
  if (!f) return -1;
  double seconds = -1;
  if (std::fscanf(f, "%lf", &seconds) != 1) seconds = -1;
  pclose(f);
  return seconds;
}

// Our side (`ours` runs the work once; false with a message when it fails) against the Lua program,
// each `runs` times, keeping the best processor time of each (as Lua's os.clock measures it), so a
// busy moment on the machine does not decide. Sets the counters ours_s, lua_s and ratio; skips the
// benchmark when our side fails.
inline void CompareBestOf(benchmark::State& state, int runs, const std::string& lua,
                          const std::function<bool(std::string& error)>& ours) {
  double oursBest = 1e9, luaBest = 1e9;
  for (auto _ : state) {
    for (int run = 0; run < runs; ++run) {
      std::string error;
      const std::clock_t t0 = std::clock();
      const bool ok = ours(error);
      oursBest = std::min(oursBest, double(std::clock() - t0) / CLOCKS_PER_SEC);
      if (!ok) {
        state.SkipWithError(error.c_str());
        return;
      }
      const double l = LuaSeconds(lua);
      if (l > 0) luaBest = std::min(luaBest, l);
    }
    state.SetIterationTime(oursBest);
  }
  state.counters["ours_s"] = oursBest;
  state.counters["lua_s"] = luaBest;
  state.counters["ratio"] = luaBest < 1e9 ? oursBest / luaBest : -1;
}

}  // namespace kestro::bench
