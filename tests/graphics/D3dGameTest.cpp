// The 3-D functions called by game code in a game from the builder, played headless: the mode's
// switches and the stack as the game sees them, a model saved, loaded and saved again to the
// same bytes, and the answers and messages for models and files that are missing or malformed.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "graphics/Graphics.h"
#include "graphics/Model3d.h"
#include "io/RunState.h"
#include "runner/MainLoop.h"
#include "runner/Runner.h"
#include "support/GameFolderFixture.h"
#include "support/TestSupport.h"
#include "tools/RunHooks.h"

namespace kestro {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

json CodeEvent(const std::string& type, const std::string& text) {
  return {{"type", type},
          {"number", 0},
          {"actions", {{{"kind", "code"}, {"exec", "code"}, {"arg_kinds", {1}}, {"args", {text}}}}}};
}

class D3dGame_ : public test::GameFolderFixture {
 protected:
  // One room with an obj_runner whose create event runs `create` and whose draw event draws
  // global.m when it exists.
  void Play(const std::string& create, int64_t steps = 2) {
    const json runner = {
        {"events", json::array({CodeEvent("create", create),
                                CodeEvent("draw", "if (variable_global_exists('m')) d3d_model_draw(global.m, x, y, 0, -1)")})}};
    test::WriteProject(dir_.path(),
                       {{"game_id", 5}, {"objects", {"obj_runner"}}, {"rooms", {"rm"}}, {"room_order", {"rm"}}},
                       {{"objects/obj_runner.json", runner.dump()},
                        {"rooms/rm.json", R"({"instances": [{"x": 8, "y": 8, "object": "obj_runner", "id": 100001}]})"}});
    const fs::path game = test::BuildDataOnly(dir_.path());
    RunState().tempFolder = dir_.path().string();
    CRunner run(tools::MakeRunHooks(), nullptr);
    ASSERT_TRUE(run.LoadGameFile(game.string()));
    ASSERT_TRUE(run.PrepareGame());
    tools::SetStepLimit(steps);
    tools::MakeRunHooks().runGame();
    tools::SetStepLimit(-1);
  }
  std::string Text(const std::string& name) {
    auto bytes = test::ReadBytes(dir_ / name);
    return std::string(bytes.begin(), bytes.end());
  }
};

TEST_F(D3dGame_, SwitchesAndTheStackAsTheGameSeesThem) {
  Play(
      "show_debug_message(d3d_start());"
      "show_debug_message(d3d_transform_stack_empty());"
      "d3d_transform_set_translation(5, 0, 0);"
      "show_debug_message(d3d_transform_stack_push());"
      "d3d_transform_set_identity();"
      "show_debug_message(d3d_transform_stack_top());"
      "show_debug_message(d3d_transform_stack_pop());"
      "show_debug_message(d3d_transform_stack_pop());"
      "show_debug_message(d3d_transform_stack_discard());"
      "show_debug_message(d3d_end());");
  EXPECT_EQ(out_, "1;1;1;1;1;0;0;1;");
  // The run's end took the 3-D state with it.
  EXPECT_FALSE(Graphics().Mode3D());
  EXPECT_EQ(Models3D().Count(), 0);
}

TEST_F(D3dGame_, AModelSavedLoadsBackToTheSameFile) {
  Play(
      "global.m = d3d_model_create();"
      "d3d_model_primitive_begin(global.m, pr_trianglelist);"
      "d3d_model_vertex(global.m, 1.5, 2, 3);"
      "d3d_model_vertex_color(global.m, 0, 1, 0, c_red, 0.5);"
      "d3d_model_vertex_normal_texture_color(global.m, 1, 1, 0, 0, 0, -1, 0.25, 1, c_blue, 1);"
      "d3d_model_primitive_end(global.m);"
      "d3d_model_cylinder(global.m, 0, 0, 0, 10, 10, 20, 1, 2, 0.7, 12.6);"
      "d3d_model_ellipsoid(global.m, 0, 0, 0, 4, 4, 4, 1, 1, 7.5);"
      "show_debug_message(d3d_model_save(global.m, 'box.d3d'));"
      "n = d3d_model_create();"
      "show_debug_message(n);"
      "show_debug_message(d3d_model_load(n, 'box.d3d'));"
      "show_debug_message(d3d_model_save(n, 'copy.d3d'));");
  EXPECT_EQ(out_, "1;1;1;1;");
  const std::string saved = Text("box.d3d");
  const std::string start =
      "100\r\n7\r\n0 4.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000\r\n"
      "2 1.5000 2.0000 3.0000 0.0000";
  EXPECT_EQ(saved.substr(0, start.size()), start) << saved;
  // Colours are stored rounded; closed is 1 or 0 and steps are rounded.
  EXPECT_NE(saved.find("\r\n3 0.0000 1.0000 0.0000 255.0000 0.5000 0.0000"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\r\n11 0.0000 0.0000 0.0000 10.0000 10.0000 20.0000 1.0000 2.0000 1.0000 13.0000\r\n"),
            std::string::npos)
      << saved;
  EXPECT_NE(saved.find("\r\n13 0.0000 0.0000 0.0000 4.0000 4.0000 4.0000 1.0000 1.0000 8.0000 0.0000\r\n"),
            std::string::npos)
      << saved;
  EXPECT_EQ(Text("copy.d3d"), saved);
}

TEST_F(D3dGame_, MissingModelsAndFilesGiveTheirAnswersAndMessages) {
  test::WriteBytes(dir_ / "old.d3d", {'9', '9', '\r', '\n', '0', '\r', '\n'});
  const std::string cut = "100\r\n2\r\n2 1 2 3 0 0 0 0 0 0 0\r\n";
  test::WriteBytes(dir_ / "cut.d3d", std::vector<uint8_t>(cut.begin(), cut.end()));
  fs::create_directory(dir_ / "folder.d3d");
  Play(
      "global.m = d3d_model_create();"
      "d3d_model_block(global.m, 0, 0, 0, 1, 1, 1, 1, 1);"
      // No such model: nothing happens and nothing is said.
      "show_debug_message(d3d_model_save(7, 'seven.d3d'));"
      "show_debug_message(d3d_model_load(-1, 'cut.d3d'));"
      "d3d_model_block(7, 0, 0, 0, 1, 1, 1, 1, 1); d3d_model_draw(7, 0, 0, 0, -1); d3d_model_destroy(7);"
      "show_debug_message(d3d_model_load(global.m, 'missing.d3d'));"
      "show_debug_message(d3d_model_load(global.m, 'old.d3d'));"
      "show_debug_message(d3d_model_load(global.m, 'cut.d3d'));"
      "show_debug_message(d3d_model_load(global.m, 'folder.d3d'));"
      "show_debug_message(d3d_model_save(global.m, 'empty.d3d'));"
      "show_debug_message(d3d_model_save(global.m, 'no/such/folder/m.d3d'));");
  EXPECT_EQ(out_,
            "0;0;0;"
            "E[Failed to load model from file old.d3d: line 1: version 99 is not a model version this program reads "
            "(100).];0;"
            "E[Failed to load model from file cut.d3d: line 4: the file ends where an entry kind should be.];0;"
            "0;1;"
            "E[Failed to save model to file no/such/folder/m.d3d];0;");
  EXPECT_FALSE(fs::exists(dir_ / "seven.d3d"));
  // A failed load leaves the model empty, and it saves as such.
  EXPECT_EQ(Text("empty.d3d"), "100\r\n0\r\n");
}

TEST_F(D3dGame_, SecureModeRefusesSavingIntoAFolder) {
  RunState().secureMode = true;
  fs::create_directory(dir_ / "sub");
  Play(
      "global.m = d3d_model_create();"
      "show_debug_message(d3d_model_save(global.m, 'sub/m.d3d'));"
      "show_debug_message(d3d_model_save(global.m, 'm.d3d'));");
  EXPECT_EQ(out_, "E[In secure mode you cannot save a model to file sub/m.d3d];0;1;");
  EXPECT_FALSE(fs::exists(dir_ / "sub" / "m.d3d"));
}

}  // namespace
}  // namespace kestro
