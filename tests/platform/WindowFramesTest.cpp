// What a player sees is what `--frames` writes: a game played in a real X window (on a virtual X
// server, the same software rasterizer) shows, pixel for pixel, the frames a headless run of the same
// game writes, and its caption carries the score and lives the room asks for. Skipped where no X
// server program is installed.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "resources/BmpFile.h"
#include "support/TestSupport.h"
#include "tools/Project.h"

using namespace kestro;
using namespace kestro::test;
namespace fs = std::filesystem;

namespace {

constexpr int kRoomW = 320, kRoomH = 240, kPortW = 160, kPortH = 120;
const char* const kCaption = "Window test";

nlohmann::json Code(const std::string& code) {
  return {{"kind", "code"}, {"exec", "code"}, {"arg_kinds", {1}}, {"args", {code}}};
}

RPixels Filled(int w, int h, uint32_t argb, uint32_t other = 0, int checker = 0) {
  RPixels px{w, h, std::vector<uint8_t>(size_t(w * h * 4))};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = checker && ((x / checker + y / checker) & 1) ? other : argb;
      uint8_t* p = &px.bgra[size_t((y * w + x) * 4)];
      p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16), p[3] = uint8_t(c >> 24);
    }
  return px;
}

// A still room seen through a view: a tiled background layer, tiles above and below the
// instances, two sprites of different depth (one half transparent), and a draw event with lines,
// a circle and text. Score and lives shown in the caption.
void BuildGame(const fs::path& dir) {
  std::string error;
  fs::create_directories(dir / "sprites");
  fs::create_directories(dir / "backgrounds");
  ASSERT_TRUE(tools::WritePng(dir / "sprites" / "red.png", Filled(24, 24, 0xFFE02020u), error)) << error;
  ASSERT_TRUE(tools::WritePng(dir / "sprites" / "glass.png", Filled(20, 30, 0x802060F0u), error)) << error;
  ASSERT_TRUE(tools::WritePng(dir / "backgrounds" / "check.png", Filled(16, 16, 0xFF30A040u, 0xFF205030u, 4), error))
      << error;
  nlohmann::json painter = {
      {"depth", -100},
      {"events",
       {{{"type", "create"}, {"number", 0}, {"actions", {Code("score = 120; lives = 3; show_lives = true")}}},
        {{"type", "draw"},
         {"number", 0},
         {"actions",
          {Code("draw_set_color(c_yellow); draw_line(50, 30, 190, 130); draw_circle(120, 80, 25, true); "
                "draw_set_color(c_white); draw_text(60, 100, \"Score \" + string(score))")}}}}}};
  nlohmann::json room = {
      {"width", kRoomW},
      {"height", kRoomH},
      {"speed", 30},
      {"caption", kCaption},
      {"color", 0x402010},
      {"show_color", true},
      {"backgrounds", {{{"visible", true}, {"background", "bg_check"}, {"x", 3}, {"y", 5}, {"htiled", true},
                        {"vtiled", false}}}},
      {"views_enabled", true},
      {"views", {{{"visible", true}, {"view", {40, 20, kPortW, kPortH}}, {"port", {0, 0, kPortW, kPortH}}}}},
      {"tiles",
       {{{"x", 70}, {"y", 40}, {"background", "bg_check"}, {"w", 16}, {"h", 16}, {"depth", 50}},
        {{"x", 100}, {"y", 60}, {"background", "bg_check"}, {"xo", 4}, {"w", 12}, {"h", 8}, {"depth", -50}}}},
      {"instances",
       {{{"x", 80}, {"y", 50}, {"object", "obj_red"}},
        {{"x", 90}, {"y", 45}, {"object", "obj_glass"}},
        {{"x", 0}, {"y", 0}, {"object", "obj_painter"}}}}};
  WriteProject(dir,
               {{"game_id", 7},
                {"sprites", {"spr_red", "spr_glass"}},
                {"backgrounds", {"bg_check"}},
                {"objects", {"obj_red", "obj_glass", "obj_painter"}},
                {"rooms", {"rm"}}},
               {{"sprites/spr_red.json", R"({"frames": ["sprites/red.png"]})"},
                {"sprites/spr_glass.json", R"({"frames": ["sprites/glass.png"]})"},
                {"backgrounds/bg_check.json", R"({"image": "backgrounds/check.png"})"},
                {"objects/obj_red.json", R"({"sprite": "spr_red", "depth": 10})"},
                {"objects/obj_glass.json", R"({"sprite": "spr_glass", "depth": -10})"},
                {"objects/obj_painter.json", painter.dump()},
                {"rooms/rm.json", room.dump()}});
  BuildDataOnly(dir);
}

// A virtual X server of its own, on the first free display number.
class CVirtualDisplay {
 public:
  CVirtualDisplay() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], 3);
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "640x480x24", "-nolisten", "tcp", (char*)nullptr);
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c;
    while (pid_ > 0 && poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) name_ = ":" + number;
  }
  ~CVirtualDisplay() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& Name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

// The top-level window with this caption, once it is shown.
std::optional<Window> FindWindow(Display* d, const std::string& caption) {
  Window root = DefaultRootWindow(d), parent, *children = nullptr;
  unsigned count = 0;
  std::optional<Window> found;
  if (!XQueryTree(d, root, &root, &parent, &children, &count)) return found;
  for (unsigned i = 0; i < count && !found; ++i) {
    char* name = nullptr;
    XWindowAttributes a;
    if (XFetchName(d, children[i], &name) && name && std::string(name).rfind(caption, 0) == 0 &&
        XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable)
      found = children[i];
    if (name) XFree(name);
  }
  if (children) XFree(children);
  return found;
}

}  // namespace

TEST(WindowFrames, TheWindowShowsWhatFramesWritesHeadless) {
  if (std::system("command -v Xvfb >/dev/null 2>&1") != 0) GTEST_SKIP() << "no virtual X server installed";
  ScratchDir dir;
  BuildGame(dir.path());
  const std::string go = "cd " + dir.path().string() + " && TMPDIR=" + dir.path().string() + " ";
  std::string out;
  ASSERT_EQ(RunProcess(go + KESTRO_BINARY " run --headless --steps 12 --frames headless game.kx", &out), 0) << out;

  CVirtualDisplay server;
  // A machine whose X server program cannot run here (no socket folder it may use, say) says so.
  if (server.Name().empty()) GTEST_SKIP() << "the virtual X server did not start";
  Display* d = XOpenDisplay(server.Name().c_str());
  ASSERT_NE(d, nullptr);
  // The same game in a window on that server; it ends by itself after its steps.
  const pid_t game = fork();
  if (game == 0) {
    setenv("DISPLAY", server.Name().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    execl("/bin/sh", "sh", "-c", (go + KESTRO_BINARY " run --steps 60 --frames window game.kx >/dev/null 2>&1").c_str(),
          (char*)nullptr);
    _exit(127);
  }
  // The room is still: once a later frame is written, the window holds the same picture as every frame.
  std::optional<Window> w;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < until &&
         !(fs::exists(dir / "window" / "000020.png") && (w = FindWindow(d, kCaption))))
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(w) << "no game window with the caption appeared";
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(d, *w, &a));
  EXPECT_EQ(a.width, kPortW);
  EXPECT_EQ(a.height, kPortH);
  XImage* image = XGetImage(d, *w, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  char* name = nullptr;
  XFetchName(d, *w, &name);
  const std::string caption = name ? name : "";
  if (name) XFree(name);
  int status = -1;
  waitpid(game, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  // The caption: the room's, then the score (above 0) and the lives asked for.
  EXPECT_EQ(caption, std::string(kCaption) + " Score: 120 Lives: 3");

  RPixels headless, windowed;
  std::string error;
  ASSERT_TRUE(tools::ReadPng(dir / "headless" / "000012.png", headless, error)) << error;
  ASSERT_TRUE(tools::ReadPng(dir / "window" / "000020.png", windowed, error)) << error;
  ASSERT_EQ(headless.width, kPortW);
  ASSERT_EQ(headless.height, kPortH);
  EXPECT_EQ(headless.bgra, windowed.bgra) << "a windowed run writes other frames than a headless one";
  int differ = 0, colours = 0;
  uint32_t first = 0;
  for (int y = 0; y < kPortH; ++y)
    for (int x = 0; x < kPortW; ++x) {
      const uint8_t* p = &headless.bgra[size_t((y * kPortW + x) * 4)];
      const uint32_t want = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
      const uint32_t got = uint32_t(XGetPixel(image, x, y)) & 0xFFFFFFu;
      if (x == 0 && y == 0) first = want;
      colours += want != first;
      if (got != want && ++differ <= 5) ADD_FAILURE() << "at " << x << "," << y << std::hex << ": window " << got << ", frame " << want;
    }
  EXPECT_EQ(differ, 0);
  EXPECT_GT(colours, kPortW * kPortH / 4) << "the scene should not be one colour";
  XDestroyImage(image);
  XCloseDisplay(d);
}
