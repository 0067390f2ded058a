// `kestro run --headless` as authors use it for regression tests of their games: the same game with
// the same options gives the same output, frames and state hashes; virtual time is exact; an input
// file replays (and its recording replays the same); a stop signal ends the game through its events.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/TestSupport.h"
#include "resources/Bitmap32.h"
#include "tools/Project.h"

using namespace kestro;
using namespace kestro::test;
namespace fs = std::filesystem;

namespace {

nlohmann::json Code(const std::string& code) {
  return {{"kind", "code"}, {"exec", "code"}, {"arg_kinds", {1}}, {"args", {code}}};
}
nlohmann::json Event(const std::string& type, int number, const std::string& code) {
  return {{"type", type}, {"number", number}, {"actions", {Code(code)}}};
}

std::string ReadText(const fs::path& file) {
  std::ifstream f(file, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// A small game: two balls with a sprite that move in random directions and turn on alarms, a
// controller that prints the time between its alarms, counts its draw events, follows keys and
// the mouse, and ends the game after 91 steps; `endless` leaves that out.
fs::path BuildGame(const fs::path& dir, bool endless = false, const std::string& gameEnd = "") {
  RPixels px{8, 8, std::vector<uint8_t>(8 * 8 * 4, 0)};
  for (size_t i = 0; i < px.bgra.size(); i += 4) {
    px.bgra[i + 2] = 255;
    px.bgra[i + 3] = 255;
  }
  std::string error;
  fs::create_directories(dir / "sprites");
  EXPECT_TRUE(tools::WritePng(dir / "sprites" / "ball.png", px, error)) << error;
  nlohmann::json ball = {
      {"sprite", "spr_ball"},
      {"events",
       {Event("create", 0, "direction = random(360); speed = 1 + irandom(3); alarm[0] = 10"),
        Event("alarm", 0, "direction += 90; alarm[0] = 10 + irandom(5)")}}};
  nlohmann::json ctl = {
      {"events",
       {Event("create", 0, "n = 0; last = 0; draws = 0; clicks = 0; alarm[1] = 1; show_debug_message(\"started\")"),
        Event("alarm", 1,
              endless ? "alarm[1] = 30"
                      : "if n > 0 show_debug_message(current_time - last); last = current_time; n += 1; "
                        "alarm[1] = 30; if n == 4 game_end()"),
        Event("draw", 0, "draws += 1"), Event("key_press", 39, "hspeed += 1"),
        Event("mouse", 53, "clicks += 1; px = mouse_x; py = mouse_y"),
        Event("other", 5, "show_debug_message(\"room end\")"),
        Event("other", 3, gameEnd.empty() ? "show_debug_message(1/3); show_debug_message(fps)" : gameEnd)}}};
  nlohmann::json room = {{"width", 160},
                         {"height", 120},
                         {"speed", 30},
                         {"color", 0x404040},
                         {"show_color", true},
                         {"instances",
                          {{{"x", 80}, {"y", 60}, {"object", "obj_ball"}},
                           {{"x", 40}, {"y", 30}, {"object", "obj_ball"}},
                           {{"x", 0}, {"y", 0}, {"object", "obj_ctl"}}}}};
  WriteProject(dir, {{"game_id", 5}, {"sprites", {"spr_ball"}}, {"objects", {"obj_ball", "obj_ctl"}}, {"rooms", {"rm"}}},
               {{"sprites/spr_ball.json", R"({"origin": [4, 4], "frames": ["sprites/ball.png"]})"},
                {"objects/obj_ball.json", ball.dump()},
                {"objects/obj_ctl.json", ctl.dump()},
                {"rooms/rm.json", room.dump()}});
  return BuildDataOnly(dir);
}

// Runs kestro in `dir` with standard error dropped (`stderrToo`: kept, after standard output).
int Headless(const fs::path& dir, const std::string& args, std::string* out, bool stderrToo = false) {
  const std::string cmd = "cd " + dir.string() + " && TMPDIR=" + (dir / "tmp").string() + " " KESTRO_BINARY +
                          " run --headless " + args;
  return RunProcess(stderrToo ? cmd : "(" + cmd + " 2>/dev/null)", out);
}

std::vector<std::string> Files(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool AnyTempFolderIn(const fs::path& dir) {
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().rfind("kx_ttt_", 0) == 0) return true;
  return false;
}

}  // namespace

TEST(HeadlessRun, SameGameSameOptionsSameOutputFramesAndHashes) {
  ScratchDir dir;
  BuildGame(dir.path());
  fs::create_directories(dir / "tmp");
  std::string a, b;
  ASSERT_EQ(Headless(dir.path(), "--debug-messages --frames fa --state-hash ha.txt game.kx", &a), 0) << a;
  ASSERT_EQ(Headless(dir.path(), "--debug-messages --frames fb --state-hash hb.txt game.kx", &b), 0) << b;
  // Virtual time: 30 steps at room speed 30 are exactly 1000 ms of current_time; fps is 30.
  EXPECT_EQ(a, "started\n1000\n1000\n1000\nroom end\n0.33\n30\n");
  EXPECT_EQ(a, b);
  const std::string ha = ReadText(dir / "ha.txt");
  EXPECT_EQ(ha, ReadText(dir / "hb.txt"));
  EXPECT_EQ(std::count(ha.begin(), ha.end(), '\n'), 91);
  EXPECT_EQ(ha.substr(0, 2), "1 ");
  // Every presented frame (not the last step's: the game ended in it) as a numbered PNG.
  const std::vector<std::string> frames = Files(dir / "fa");
  ASSERT_EQ(frames.size(), 90u);
  EXPECT_EQ(frames.front(), "000001.png");
  EXPECT_EQ(frames.back(), "000090.png");
  EXPECT_EQ(frames, Files(dir / "fb"));
  for (const std::string& f : frames) ASSERT_EQ(ReadBytes(dir / "fa" / f), ReadBytes(dir / "fb" / f)) << f;
  TBitmap32 first, last;
  std::string error;
  ASSERT_TRUE(first.LoadFromPng(dir / "fa" / "000001.png", error)) << error;
  ASSERT_TRUE(last.LoadFromPng(dir / "fa" / "000090.png", error)) << error;
  EXPECT_EQ(first.Width(), 160);
  EXPECT_EQ(first.GetPixel(0, 0).Value(), 0xFF404040u);
  EXPECT_EQ(first.GetPixel(80, 60).Value(), 0xFFFF0000u);  // a ball at its start
  EXPECT_FALSE(first == last) << "the balls moved";
  // The seed option changes the random numbers, the same way every time.
  std::string c;
  ASSERT_EQ(Headless(dir.path(), "--seed 7 --steps 20 --state-hash hc.txt game.kx", &c), 0) << c;
  ASSERT_EQ(Headless(dir.path(), "--seed 7 --steps 20 --state-hash hd.txt game.kx", &c), 0) << c;
  EXPECT_EQ(ReadText(dir / "hc.txt"), ReadText(dir / "hd.txt"));
  EXPECT_NE(ReadText(dir / "hc.txt"), ha.substr(0, ReadText(dir / "hc.txt").size()));
  EXPECT_FALSE(AnyTempFolderIn(dir / "tmp"));
}

TEST(HeadlessRun, InputFilesReplayAndTheirRecordingReplaysTheSame) {
  ScratchDir dir;
  BuildGame(dir.path());
  fs::create_directories(dir / "tmp");
  std::ofstream(dir / "in.txt") << "# right arrow, a click, F9\n"
                                   "2 key-down 39\n3 key-up 39\n"
                                   "4 mouse 20 30\n4 button-down 1\n5 button-up 1\n"
                                   "6 key-down 120\n7 key-up 120\n";
  std::string out;
  ASSERT_EQ(Headless(dir.path(), "--steps 20 --input in.txt --record rec.txt --state-hash h1.txt game.kx", &out), 0)
      << out;
  ASSERT_EQ(Headless(dir.path(), "--steps 20 --input rec.txt --state-hash h2.txt game.kx", &out), 0) << out;
  ASSERT_EQ(Headless(dir.path(), "--steps 20 --state-hash h0.txt game.kx", &out), 0) << out;
  EXPECT_EQ(ReadText(dir / "h1.txt"), ReadText(dir / "h2.txt"));
  EXPECT_NE(ReadText(dir / "h1.txt"), ReadText(dir / "h0.txt")) << "the input changed the game";
  const std::string rec = ReadText(dir / "rec.txt");
  EXPECT_NE(rec.find("\n2 key-down 39\n3 key-up 39\n4 mouse 20 30\n4 button-down 1\n"), std::string::npos) << rec;
  // F9 saved the screen beside the game, once per run that pressed it.
  EXPECT_TRUE(fs::exists(dir / "screenshot100.png"));
  EXPECT_TRUE(fs::exists(dir / "screenshot101.png"));
  EXPECT_FALSE(fs::exists(dir / "screenshot102.png"));

  std::ofstream(dir / "bad.txt") << "1 key-down 39\n2 key-dwn 39\n";
  EXPECT_EQ(Headless(dir.path(), "--input bad.txt game.kx", &out, true), 2);
  EXPECT_NE(out.find("bad.txt:2: unknown event \"key-dwn\""), std::string::npos) << out;
  EXPECT_EQ(Headless(dir.path(), "--seed -1 game.kx", &out, true), 2);
  EXPECT_NE(out.find("--seed needs a number"), std::string::npos) << out;
}

namespace {

// Starts kestro in the background with standard output on a pipe.
struct RBackground {
  pid_t pid = -1;
  int out = -1;
  std::string text;
  // Reads until `what` has arrived (or the output ends).
  bool ReadUntil(const std::string& what) {
    char buf[256];
    while (text.find(what) == std::string::npos) {
      const ssize_t n = read(out, buf, sizeof buf);
      if (n <= 0) return false;
      text.append(buf, size_t(n));
    }
    return true;
  }
  int Finish() {
    ReadUntil("\x01never");
    close(out);
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
  }
};

RBackground Start(const fs::path& dir) {
  int p[2];
  EXPECT_EQ(pipe(p), 0);
  RBackground b;
  b.pid = fork();
  if (b.pid == 0) {
    dup2(p[1], 1);
    close(p[0]);
    close(p[1]);
    const std::string cmd = "cd " + dir.string() + " && TMPDIR=" + (dir / "tmp").string() + " exec " KESTRO_BINARY +
                            " run --headless --debug-messages game.kx 2>/dev/null";
    execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(p[1]);
  b.out = p[0];
  return b;
}

}  // namespace

TEST(HeadlessRun, StopSignalEndsTheGameThroughItsEventsAndASecondOneAtOnce) {
  ScratchDir dir;
  BuildGame(dir.path(), true, "show_debug_message(\"game end\")");
  fs::create_directories(dir / "tmp");
  RBackground run = Start(dir.path());
  ASSERT_TRUE(run.ReadUntil("started\n")) << run.text;
  EXPECT_TRUE(AnyTempFolderIn(dir / "tmp"));
  kill(run.pid, SIGTERM);
  const int status = run.Finish();
  EXPECT_EQ(run.text, "started\nroom end\ngame end\n");
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
  EXPECT_FALSE(AnyTempFolderIn(dir / "tmp"));

  // A game end event that never returns: the second signal ends the run at once.
  ScratchDir stuck;
  BuildGame(stuck.path(), true, "show_debug_message(\"stuck\"); while (true) {}");
  fs::create_directories(stuck / "tmp");
  RBackground hung = Start(stuck.path());
  ASSERT_TRUE(hung.ReadUntil("started\n")) << hung.text;
  kill(hung.pid, SIGINT);
  ASSERT_TRUE(hung.ReadUntil("stuck\n")) << hung.text;
  kill(hung.pid, SIGINT);
  const int second = hung.Finish();
  ASSERT_TRUE(WIFSIGNALED(second));
  EXPECT_EQ(WTERMSIG(second), SIGINT);
  EXPECT_FALSE(AnyTempFolderIn(stuck / "tmp"));
}
