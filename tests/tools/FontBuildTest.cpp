// Fonts named by their typeface: the builder renders the sheet when the project brings none, the
// game measures text with it, and a run with --verbose notes a stand-in for a missing typeface.
#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace kestro::test;

namespace {

std::string Kx(const std::string& args, int* status) {
  std::string out;
  *status = RunProcess("SDL_VIDEODRIVER=offscreen " + std::string(KESTRO_BINARY) + " " + args + " 2>&1", &out);
  return out;
}

TEST(FontBuild, TypefaceFontsAreRenderedByTheBuilderAndNotedWhenReplaced) {
  ScratchDir dir;
  const nlohmann::json code = {{"type", "create"},
                               {"number", 0},
                               {"actions",
                                {{{"kind", "code"},
                                  {"exec", "code"},
                                  {"arg_kinds", {1}},
                                  {"args",
                                   {"font_add(\"No Such Typeface Kx\", 12, 0, 0, 32, 127); "
                                    "font_add(\"No Such Typeface Kx\", 20, 1, 0, 32, 127);"}}}}}};
  WriteProject(dir.path(), {{"fonts", {"fnt"}}, {"objects", {"obj"}}, {"rooms", {"rm"}}},
               {{"fonts/fnt.json", R"({"typeface": "Arial", "size": 12, "first": 32, "last": 127})"},
                {"objects/obj.json", nlohmann::json{{"events", {code}}}.dump()},
                {"rooms/rm.json", R"({"instances": [{"x": 0, "y": 0, "object": "obj"}]})"}});
  int status = 0;
  std::string game = (dir / "g.kx").string();
  std::string out = Kx("build " + dir.path().string() + " -o " + game + " --data-only", &status);
  ASSERT_EQ(status, 0) << out;
  out = Kx("script --game " + game +
               " -e 'draw_set_font(fnt); show_debug_message(string_width(\"Hello\")); "
               "show_debug_message(string_height(\"Hello\")); show_debug_message(font_get_last(fnt))'",
           &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out, "38\n19\n127\n");
  out = Kx("run --verbose --steps 2 " + game, &status);
  EXPECT_EQ(status, 0) << out;
  size_t note = out.find("Typeface \"No Such Typeface Kx\" is not installed");
  EXPECT_NE(note, std::string::npos) << out;
  EXPECT_EQ(out.find("No Such Typeface Kx", out.find('\n', note)), std::string::npos) << out;  // once
  out = Kx("run --steps 2 " + game, &status);
  EXPECT_EQ(out.find("is not installed"), std::string::npos) << out;
}

}  // namespace
