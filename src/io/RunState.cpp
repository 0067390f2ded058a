#include "io/RunState.h"

#include <filesystem>
#include <fstream>

namespace kestro {

CRunState& RunState() {
  static CRunState state;
  return state;
}

void TraceLine(const std::string& line) {
  const std::string& folder = RunState().gameFolder;
  std::ofstream f(std::filesystem::path(folder.empty() ? "." : folder) / "Trace.log", std::ios::app);
  if (f) f << line << '\n';
}

void Trace(const std::string& line) {
  if (RunState().trace) TraceLine(line);
}

}  // namespace kestro
