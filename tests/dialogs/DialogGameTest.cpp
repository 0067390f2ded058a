// A built game that asks the player a question: answered with injected keys in the run itself, and
// by the `kestro` program headless, where nobody can answer (an answer given on the command line,
// or the dialog closed as by Escape; never a run that waits for ever).
#include <gtest/gtest.h>

#include <string>

#include "dialogs/ModalLoop.h"
#include "graphics/Input.h"
#include "io/RunState.h"
#include "runner/MainLoop.h"
#include "runner/Runner.h"
#include "support/TestSupport.h"
#include "tools/RunHooks.h"
#include "world/ErrorReport.h"

namespace kestro {
namespace {

nlohmann::json Code(const std::string& code) {
  return {{"library", 1},     {"action", 603},  {"kind", "code"},      {"exec", "code"},
          {"arg_kinds", {1}}, {"args", {code}}, {"applies_to", "self"}};
}

// A game whose first step asks a question, then reports the answer and what the game's keyboard
// saw of the keys used in the dialog.
std::filesystem::path QuestionGame(const test::ScratchDir& dir) {
  nlohmann::json obj = {
      {"events",
       {{{"type", "create"}, {"actions", {Code("asked = false;")}}},
        {{"type", "step"},
         {"number", 0},
         {"actions",
          {Code("if (!asked) { asked = true; a = show_question('Quit?#Really'); "
                "show_debug_message('answer ' + string(a) + ' key ' + string(keyboard_lastkey) + ' held ' + "
                "string(keyboard_check(vk_anykey))); }")}}}}}};
  nlohmann::json room = {{"width", 64},
                         {"height", 48},
                         {"speed", 30},
                         {"instances", {{{"x", 0}, {"y", 0}, {"object", "obj"}, {"id", 100001}}}},
                         {"tiles", nlohmann::json::array()}};
  test::WriteProject(dir.path(), {{"game_id", 7}, {"room_order", {"rm"}}, {"objects", {"obj"}}, {"rooms", {"rm"}}},
                     {{"objects/obj.json", obj.dump()}, {"rooms/rm.json", room.dump()}});
  return test::BuildDataOnly(dir.path());
}

TEST(DialogGame, AQuestionAnsweredWithInjectedKeys) {
  test::ScratchDir dir;
  const auto game = QuestionGame(dir);
  test::ResetGameState();
  std::string out;
  RunState().tempFolder = dir.path().string();
  struct Case {
    std::vector<RInputEvent> keys;
    const char* said;
  };
  const Case cases[] = {
      {{{RInputEvent::kKeyDown, 13}}, "answer 1 key 0 held 0\n"},
      {{{RInputEvent::kKeyDown, 27}}, "answer 0 key 0 held 0\n"},
      {{{RInputEvent::kKeyDown, 78}, {RInputEvent::kChar, 'n'}, {RInputEvent::kKeyDown, 32}},
       "answer 1 key 0 held 0\n"},
  };
  for (const Case& c : cases) {
    out.clear();
    SetDebugMessageSink([&out](const std::string& t) { out += t + "\n"; });
    dialogs::CQueuedDialogEvents events(c.keys);
    dialogs::SetDialogEvents(&events);
    CRunner runner(tools::MakeRunHooks(), nullptr);
    ASSERT_TRUE(runner.LoadGameFile(game.string()));
    ASSERT_TRUE(runner.PrepareGame());
    tools::SetStepLimit(3);
    tools::MakeRunHooks().runGame();
    tools::SetStepLimit(-1);
    dialogs::SetDialogEvents(nullptr);
    EXPECT_EQ(out, c.said);
    test::ResetGameState();
  }
  SetDebugMessageSink(nullptr);
}

TEST(DialogGame, AHeadlessRunNeverWaitsOnADialog) {
  test::ScratchDir dir;
  const auto game = QuestionGame(dir);
  const std::string run =
      "cd " + dir.path().string() + " && " KESTRO_BINARY " run --headless --steps 3 --debug-messages ";
  std::string out;
  ASSERT_EQ(test::RunProcess(run + game.string() + " 2>&1", &out), 0) << out;
  EXPECT_NE(out.find("[kestro] message \"Quit?#Really\" [Yes||No] -> 0\n"), std::string::npos) << out;
  EXPECT_NE(out.find("answer 0 key 0 held 0\n"), std::string::npos) << out;
  ASSERT_EQ(test::RunProcess(run.substr(0, run.size() - 1) + " --answer Yes " + game.string() + " 2>&1", &out), 0)
      << out;
  EXPECT_NE(out.find("answer 1 key 0 held 0\n"), std::string::npos) << out;
  ASSERT_EQ(test::RunProcess(run + "--answer " + game.string() + " 2>&1", &out), 2) << out;
}

}  // namespace
}  // namespace kestro
