// The window and display functions called by a game's code in a headless run: the window follows
// them and reports back what they did; what the display cannot do gives false.
#include <gtest/gtest.h>

#include <filesystem>

#include "resources/Bitmap32.h"
#include "support/TestSupport.h"

using namespace kestro;
using namespace kestro::test;
namespace fs = std::filesystem;

namespace {

nlohmann::json Event(const std::string& type, int number, const std::string& code) {
  return {{"type", type},
          {"number", number},
          {"actions", {{{"kind", "code"}, {"exec", "code"}, {"arg_kinds", {1}}, {"args", {code}}}}}};
}

// Each line prints what one group of calls left.
const char* kCreate = R"(
show_debug_message(window_get_cursor());
window_set_caption("Kestro " + "window");
show_debug_message(window_get_caption());
window_set_color(make_color_rgb(1, 2, 3));
show_debug_message(window_get_color() == make_color_rgb(1, 2, 3));
show_debug_message(string(window_get_region_width()) + "x" + string(window_get_region_height()));
window_set_region_scale(2, true);
show_debug_message(string(window_get_region_scale()) + " " + string(window_get_width()) + "x" + string(window_get_height()));
window_set_region_size(80, 60, true);
show_debug_message(string(window_get_width()) + "x" + string(window_get_height()));
window_default();
show_debug_message(string(window_get_x() == (display_get_width() - 160) div 2) + string(window_get_y() == (display_get_height() - 120) div 2));
window_set_fullscreen(true);
show_debug_message(string(window_get_fullscreen()) + " " + string(window_get_width() == display_get_width()));
window_set_fullscreen(false);
show_debug_message(string(window_get_fullscreen()) + " " + string(window_get_width()));
show_debug_message(string(display_get_colordepth()) + " " + string(display_get_frequency() > 0));
show_debug_message(string(display_test_all(display_get_width(), display_get_height(), 0, 0)) + string(display_test_all(12345, 678, 0, 0)) + string(display_set_size(12345, 678)) + string(display_set_all(0, 0, 0, 0)) + string(display_set_colordepth(8)));
window_set_cursor(cr_handpoint);
show_debug_message(window_get_cursor());
window_mouse_set(10, 20);
show_debug_message(string(window_mouse_get_x()) + "," + string(window_mouse_get_y()) + " " + string(mouse_x) + "," + string(mouse_y) + " " + string(window_views_mouse_get_x()) + "," + string(window_view_mouse_get_y(0)));
display_mouse_set(window_get_x() + 30, window_get_y() + 40);
show_debug_message(string(display_mouse_get_x() - window_get_x()) + " " + string(window_mouse_get_x()) + "," + string(window_mouse_get_y()));
window_set_sizeable(true); window_set_showborder(false); window_set_stayontop(true); window_set_showicons(false);
show_debug_message(string(window_get_sizeable()) + string(window_get_showborder()) + string(window_get_stayontop()) + string(window_get_showicons()) + string(window_get_visible()));
set_synchronization(true);
screen_wait_vsync();
display_reset(4);
window_set_cursor(cr_none);
)";

}  // namespace

TEST(WindowFunctionsRun, GameCodeDrivesTheWindowHeadless) {
  ScratchDir dir;
  nlohmann::json ctl = {{"events", {Event("create", 0, kCreate)}}};
  nlohmann::json room = {{"width", 160},       {"height", 120},
                         {"speed", 30},        {"color", 0x00FF00},
                         {"show_color", true}, {"instances", {{{"x", 0}, {"y", 0}, {"object", "obj_ctl"}}}}};
  // The settings hide the cursor: the game starts with none.
  WriteProject(dir.path(),
               {{"game_id", 9}, {"settings", {{"show_cursor", false}}}, {"objects", {"obj_ctl"}}, {"rooms", {"rm"}}},
               {{"objects/obj_ctl.json", ctl.dump()}, {"rooms/rm.json", room.dump()}});
  BuildDataOnly(dir.path());
  fs::create_directories(dir / "tmp");
  std::string out;
  const std::string cmd = "cd " + dir.path().string() + " && TMPDIR=" + (dir / "tmp").string() + " " KESTRO_BINARY +
                          " run --headless --debug-messages --steps 3 --frames frames game.kx 2>&1";
  ASSERT_EQ(RunProcess(cmd, &out), 0) << out;
  EXPECT_EQ(out,
            "-1\n"
            "Kestro window\n"
            "1\n"
            "160x120\n"  // the room's size
            "2 320x240\n"
            "160x120\n"  // the scaled region, adapted
            "11\n"       // centred on the screen
            "1 1\n"      // full screen covers the display
            "0 160\n"    // and gives the window back
            "32 1\n"
            "10010\n"  // the display's own mode and an empty request pass; modes it does not list fail
            "-21\n"
            "10,20 10,20 10,20\n"
            "30 15,20\n"
            "10101\n");
  // What is drawn is the region the game set: the room's top-left 80 x 60.
  TBitmap32 frame;
  std::string error;
  ASSERT_TRUE(frame.LoadFromPng(dir / "frames" / "000001.png", error)) << error;
  EXPECT_EQ(frame.Width(), 80);
  EXPECT_EQ(frame.Height(), 60);
  EXPECT_EQ(frame.GetPixel(40, 30).Value(), 0xFF00FF00u);
}
