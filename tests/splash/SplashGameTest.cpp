// A built game that shows a picture and changes rooms with a transition of its own, played by the
// `kestro` program headless: the splash ends at once (nobody can see it) with a notice, the
// transition's frames run the game's script, and the frame files are the steps' only.
#include <gtest/gtest.h>

#include <string>

#include "resources/Bitmap32.h"
#include "support/TestSupport.h"

namespace kestro {
namespace {

nlohmann::json Code(const std::string& code) {
  return {{"library", 1},     {"action", 603},  {"kind", "code"},      {"exec", "code"},
          {"arg_kinds", {1}}, {"args", {code}}, {"applies_to", "self"}};
}

TEST(SplashGame, AHeadlessRunShowsThePictureAndPlaysTheTransition) {
  test::ScratchDir dir;
  TBitmap32 picture(16, 16, 0xFF00FF00u);
  std::string error;
  ASSERT_TRUE(picture.SaveToPng(dir / "pic.png", error)) << error;
  nlohmann::json obj = {{"events",
                         {{{"type", "create"},
                           {"actions",
                            {Code("show_debug_message(transition_define(40, 'scr_t')); transition_steps = 2;"
                                  "show_image('pic.png', 0, 0); show_debug_message('shown');")}}},
                          {{"type", "step"},
                           {"number", 0},
                           {"actions", {Code("if (room == rm_a) { transition_kind = 40; room_goto(rm_b); }")}}}}}};
  auto room = [](bool withObject) {
    nlohmann::json r = {{"width", 64}, {"height", 48}, {"speed", 30}, {"tiles", nlohmann::json::array()}};
    r["instances"] = nlohmann::json::array();
    if (withObject) r["instances"].push_back({{"x", 0}, {"y", 0}, {"object", "obj"}, {"id", 100001}});
    return r;
  };
  test::WriteProject(
      dir.path(),
      {{"game_id", 9},
       {"room_order", {"rm_a", "rm_b"}},
       {"scripts", {"scr_t"}},
       {"objects", {"obj"}},
       {"rooms", {"rm_a", "rm_b"}}},
      {{"scripts/scr_t.txt", "draw_surface(argument1, 0, 0); show_debug_message('t ' + string(argument4));"},
       {"objects/obj.json", obj.dump()},
       {"rooms/rm_a.json", room(true).dump()},
       {"rooms/rm_b.json", room(false).dump()}});
  const auto game = test::BuildDataOnly(dir.path());
  std::string out;
  ASSERT_EQ(test::RunProcess("cd " + dir.path().string() +
                                 " && " KESTRO_BINARY " run --headless --steps 3 --debug-messages --frames frames " +
                                 game.string() + " 2>&1",
                             &out),
            0)
      << out;
  EXPECT_NE(out.find("1\n[kestro] splash image \"pic.png\" (no input: ended)\nshown\n"), std::string::npos) << out;
  EXPECT_NE(out.find("t 0\nt 0.50\nt 1\n"), std::string::npos) << out;
  // The step that asked for the room change presents nothing; the transition's frames are not
  // steps: the files are those of steps 2 and 3.
  std::vector<std::string> frames;
  for (const auto& e : std::filesystem::directory_iterator(dir / "frames")) frames.push_back(e.path().filename());
  std::sort(frames.begin(), frames.end());
  EXPECT_EQ(frames, (std::vector<std::string>{"000002.png", "000003.png"}));
}

}  // namespace
}  // namespace kestro
