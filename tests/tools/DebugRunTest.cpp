// Debug runs of the `kestro` program: the game's debug flag or `--debug` make one; headless it runs
// the debug window's model without a window and never waits; with a display (offscreen here) the
// debug window opens beside the game and the run still ends when the game does.
#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"

using namespace kestro;
using namespace kestro::test;

namespace {

std::filesystem::path StepGame(const ScratchDir& dir, bool debugFlag) {
  const nlohmann::json code = {
      {"kind", "code"},
      {"exec", "code"},
      {"arg_kinds", {1}},
      {"args", {"n += 1; show_debug_message('step ' + string(n) + ' ' + string(debug_mode))"}}};
  const nlohmann::json obj = {
      {"events",
       {{{"type", "create"},
         {"actions", {{{"kind", "code"}, {"exec", "code"}, {"arg_kinds", {1}}, {"args", {"n = 0"}}}}}},
        {{"type", "step"}, {"number", 0}, {"actions", {code}}}}}};
  WriteProject(dir.path(),
               {{"game_id", 3}, {"debug", debugFlag}, {"room_order", {"rm"}}, {"objects", {"obj"}}, {"rooms", {"rm"}}},
               {{"objects/obj.json", obj.dump()},
                {"rooms/rm.json", R"({"speed": 60, "instances": [{"x": 0, "y": 0, "object": "obj", "id": 100001}]})"}});
  return BuildDataOnly(dir.path());
}

TEST(DebugRun, DebugRunsEndWithTheGameHeadlessOrNot) {
  struct Case {
    bool debugFlag;
    const char* options;
    const char* out;
  };
  const Case cases[] = {
      {false, "--headless --debug", "step 1 1\nstep 2 1\nstep 3 1\n"},
      {true, "", "step 1 1\nstep 2 1\nstep 3 1\n"},  // the debug window on the offscreen display
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    ScratchDir dir;
    const auto game = StepGame(dir, c.debugFlag);
    std::string out;
    const std::string run = "cd " + dir.path().string() + " && " KESTRO_BINARY " run --steps 3 " + c.options + " " +
                            game.string() + " 2>/dev/null";
    ASSERT_EQ(RunProcess(run, &out), 0) << out;
    EXPECT_EQ(out, c.out);
  }
}

}  // namespace
