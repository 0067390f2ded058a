// The instructions common code lowers to. Behaviour is pinned by the run tests; these pin that the
// short paths (comparisons that jump, locals read in place, counted back-edges) are taken, which
// no run result shows.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ScriptTestNames.h"
#include "script/Code.h"
#include "script/Lowering.h"

namespace kestro {
namespace {

// The instruction names of the lowered code, space-separated.
std::string Shape(const std::string& source) {
  static test::TestNames names;
  CCode code(source, CodeKind::kProgram);
  if (!code.Compile(&names)) return "compile error " + code.CompileError();
  std::istringstream in(DumpLowered(code));
  std::string line, shape;
  std::getline(in, line);  // the register count
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string place, name;
    fields >> place >> name;
    shape += (shape.empty() ? "" : " ") + name;
  }
  return shape;
}

TEST(Lowering, CommonShapesTakeTheShortPaths) {
  const std::pair<const char*, const char*> cases[] = {
      {"var i, s; s = 0; for (i = 0; i < 10; i += 1) s += grid[i, i]; return s",
       "set_local set_local spend lif_lt elem_locals update_local update_local loop local return stop"},
      {"if argument0 < 2 return argument0; return scr_a(argument0 - 1) + scr_a(argument0 - 2)",
       "aif_lt arg return arg_sub call arg_sub call add return stop"},
      {"do x -= 1 until x <= 0", "spend store var if_le stop"},
  };
  for (const auto& [source, shape] : cases) EXPECT_EQ(Shape(source), shape) << source;
}

}  // namespace
}  // namespace kestro
