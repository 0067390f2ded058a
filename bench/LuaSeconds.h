// Runs a Lua 5.4 program with the command-line interpreter and reads the seconds it prints (the
// program measures its own work with os.clock). -1 when Lua cannot be run.
#pragma once

#include <cstdio>
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

}  // namespace kestro::bench
