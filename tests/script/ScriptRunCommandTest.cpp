// `kestro script FILE` and `kestro script -e CODE`: programs run with a temporary instance, debug
// messages on standard output, errors as a game reports them on standard error.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/TestSupport.h"

namespace kestro {
namespace {

struct RunOutput {
  int status = -1;
  std::string out, err;
};

RunOutput RunFile(const test::ScratchDir& dir, const std::string& code) {
  const std::string file = (dir / "code.txt").string(), err = (dir / "err.txt").string();
  std::ofstream(file) << code;
  RunOutput r;
  r.status = test::RunProcess("(cd " + dir.path().string() + " && " + std::string(KESTRO_BINARY) + " script " +
                                  file + " 2>" + err + ")",
                              &r.out);
  std::ifstream e(err);
  std::ostringstream ss;
  ss << e.rdbuf();
  r.err = ss.str();
  return r;
}

struct Case {
  const char* code;
  const char* out;
  const char* err;  // a part of standard error, "" for none at all
  int status;
};

TEST(ScriptRunCommand, ProgramsPrintDebugMessagesAndReportErrors) {
  test::ScratchDir dir;
  const Case cases[] = {
      {"show_debug_message(\"hi\"); for (i = 0; i < 3; i += 1) show_debug_message(i * 1.5)", "hi\n0\n1.50\n3\n", "",
       0},
      {"a = 7; show_debug_message(self.a + other.a); show_debug_message(c_red)", "14\n255\n", "", 0},
      {"show_debug_message(execute_string(\"return argument0 * 2\", 21))", "42\n", "", 0},
      // A run error ends the code and the run, at its position.
      {"show_debug_message(1)\na = 1; b = c + 1\nshow_debug_message(2)", "1\n",
       "ERROR in\naction number 1\nof Create Event\nfor object <undefined>:\n\nError in code at line 2:\n"
       "   a = 1; b = c + 1\n             ^\nat position 12: Unknown variable c\n",
       1},
      {"a = (1", "", "COMPILATION ERROR in code action\nError in code at line 1:", 1},
      // Non-fatal errors of functions and of executed strings are shown and the run goes on.
      {"show_error(\"careful\", false); execute_string(\"x = \"); show_debug_message(\"on\")", "on\n",
       "COMPILATION ERROR in string to be executed\n", 0},
      {"show_error(\"stop\", true)", "", "FATAL ERROR in", 1},
      // Code that runs itself without end stops with an error, never a crash.
      {"t = \"execute_string(argument0, argument0)\"; execute_string(t, t); show_debug_message(\"back\")", "back\n",
       "at position 1: Script recursion too deep.", 0},
      {"script_execute(0)", "", "Trying to execute non-existing script.", 0},
  };
  for (const Case& c : cases) {
    RunOutput r = RunFile(dir, c.code);
    EXPECT_EQ(r.out, c.out) << c.code;
    EXPECT_EQ(r.status, c.status) << c.code << "\n" << r.err;
    if (*c.err == 0)
      EXPECT_EQ(r.err, "") << c.code;
    else
      EXPECT_NE(r.err.find(c.err), std::string::npos) << c.code << "\n" << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "game_errors.log"));  // the game's default: no log
}

// The tour a newcomer runs first works as it says.
TEST(ScriptRunCommand, TheBundledTourRuns) {
  std::string out;
  EXPECT_EQ(test::RunProcess(std::string(KESTRO_BINARY) + " script " + KESTRO_SOURCE_DIR + "/examples/script_tour.txt",
                             &out),
            0);
  EXPECT_EQ(out.rfind("primes: 2 3 5 7 11 13 17 19 23 29 31 37 41 43 47 \nsquares: 1 4 9 16 25 \n", 0), 0u) << out;
  EXPECT_NE(out.find("counter = 15\n"), std::string::npos) << out;
}

TEST(ScriptRunCommand, InlineCodeAndUsage) {
  std::string out;
  EXPECT_EQ(test::RunProcess(std::string(KESTRO_BINARY) + " script -e 'show_debug_message(abs(-2) + 1)'", &out), 0);
  EXPECT_EQ(out, "3\n");
  EXPECT_EQ(test::RunProcess(std::string(KESTRO_BINARY) + " script -e", &out), 2);
  EXPECT_EQ(test::RunProcess(std::string(KESTRO_BINARY) + " script -e 'a = 1' other.txt", &out), 2);
}

}  // namespace
}  // namespace kestro

namespace kestro {
namespace {

// With --game the code runs in the game's first room: its placed instances, its objects' create
// events when code creates instances, and its resource names.
TEST(ScriptRunCommand, CodeRunsInTheFirstRoomOfAGame) {
  test::ScratchDir dir;
  const nlohmann::json create = {{"type", "create"}, {"number", 0},
                                 {"actions", {{{"kind", "code"}, {"exec", "code"}, {"arg_kinds", {1}},
                                               {"args", {"show_debug_message(\"created at \" + string(x))"}}}}}};
  test::WriteProject(dir / "proj", {{"objects", {"obj_coin"}}, {"rooms", {"rm"}}},
                     {{"objects/obj_coin.json", nlohmann::json{{"events", {create}}}.dump()},
                      {"rooms/rm.json", R"({"instances": [{"x": 1, "y": 2, "object": "obj_coin"},
                                                          {"x": 3, "y": 4, "object": "obj_coin"}]})"}});
  const std::filesystem::path game = test::BuildDataOnly(dir / "proj");
  std::string out;
  const int status = test::RunProcess("(cd " + dir.path().string() + " && " + std::string(KESTRO_BINARY) +
                                          " script --game " + game.string() +
                                          " -e 'show_debug_message(instance_number(obj_coin)); "
                                          "instance_create(50, 0, obj_coin); "
                                          "show_debug_message(instance_number(obj_coin)); "
                                          "with (obj_coin) instance_destroy(); "
                                          "show_debug_message(instance_number(all))' 2>&1)",
                                      &out);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out, "2\ncreated at 50\n3\n0\n");
}

}  // namespace
}  // namespace kestro
