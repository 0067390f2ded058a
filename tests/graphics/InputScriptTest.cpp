// Input files: every line form read and written back, bad lines named by their number, and a
// recording that replays to the same input state.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "graphics/InputScript.h"
#include "support/TestSupport.h"

namespace kestro {
namespace {

TEST(InputScript, EveryLineFormReadsBackAsWritten) {
  const char* lines[] = {
      "1 key-down 65",
      "1 key-up 0",
      "2 char 8",
      "2 char 8364",
      "3 button-down 1",
      "3 button-up 3",
      "4 wheel up",
      "4 wheel down",
      "5 mouse 10.5 -3",
      "6 close",
      "7 joystick 1 none",
      "7 joystick 2 0 65535 32767 32767 32767 32767 5 9000",
      "8 joystick-caps 1 6 12 1 Pad One",
      "8 joystick-caps 2 2 4 0",
  };
  for (const char* text : lines) {
    RInputLine l;
    bool empty = true;
    std::string error;
    ASSERT_TRUE(ParseInputLine(text, l, empty, error)) << text << ": " << error;
    EXPECT_FALSE(empty);
    EXPECT_EQ(FormatInputLine(l), text);
  }
  RInputLine l;
  bool empty = false;
  std::string error;
  for (const char* text : {"", "   ", "# a comment", "  # indented comment"}) {
    EXPECT_TRUE(ParseInputLine(text, l, empty, error)) << text;
    EXPECT_TRUE(empty) << text;
  }
  // Blanks and tabs between fields, a CR LF line end.
  ASSERT_TRUE(ParseInputLine("12\tmouse   1  2\r", l, empty, error));
  EXPECT_EQ(l.step, 12);
  EXPECT_EQ(l.event, (RInputEvent{RInputEvent::kMouse, 0, 1, 2}));
}

TEST(InputScript, BadLinesSayWhatIsWrong) {
  struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"0 key-down 65", "step number from 1 up"},
      {"x key-down 65", "step number from 1 up, not \"x\""},
      {"3", "an event must follow the step number"},
      {"3 kee-down 65", "unknown event \"kee-down\""},
      {"3 key-down 256", "key-down needs a key code 0..255"},
      {"3 key-down", "key-down needs a key code 0..255"},
      {"3 key-up 65 66", "key-up needs a key code 0..255"},
      {"3 char 0", "char needs a character code"},
      {"3 button-down 4", "button-down needs a button 1 (left), 2 (right) or 3 (middle)"},
      {"3 wheel left", "wheel needs up or down"},
      {"3 mouse 1", "mouse needs two numbers, x and y"},
      {"3 mouse 1 nan", "mouse needs two numbers, x and y"},
      {"3 close now", "close needs nothing after it"},
      {"3 joystick 3 none", "joystick needs the joystick 1 or 2 first"},
      {"3 joystick 1 1 2 3", "joystick needs the joystick and \"none\""},
      {"3 joystick 1 0 0 0 0 0 65536 0 0", "six axes 0..65535"},
      {"3 joystick-caps 1 2", "joystick-caps needs the joystick, the numbers of axes and buttons"},
  };
  for (const auto& c : cases) {
    RInputLine l;
    bool empty = false;
    std::string error;
    EXPECT_FALSE(ParseInputLine(c.text, l, empty, error)) << c.text;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.text << " -> " << error;
  }
}

TEST(InputScript, FilesNameTheBadLineAndKeepStepsInOrder) {
  std::vector<RInputLine> lines;
  std::string error;
  EXPECT_TRUE(ParseInputText("# recorded\n1 key-down 37\n\n5 key-up 37\n5 close\n", "in.txt", lines, error));
  EXPECT_EQ(lines.size(), 3u);
  EXPECT_FALSE(ParseInputText("1 key-down 37\n# fine\n3 wheel sideways\n", "in.txt", lines, error));
  EXPECT_EQ(error, "in.txt:3: wheel needs up or down");
  EXPECT_FALSE(ParseInputText("4 key-down 37\n2 key-up 37\n", "in.txt", lines, error));
  EXPECT_EQ(error, "in.txt:2: step 2 comes after step 4 (steps never go down)");
  EXPECT_FALSE(ReadInputFile("/nonexistent/in.txt", lines, error));
  EXPECT_EQ(error, "/nonexistent/in.txt: cannot be read");
}

// Joysticks whose state the test sets.
class FakeJoysticks : public IJoysticks {
 public:
  bool present = true;
  RJoystickState state;
  bool Caps(int index, RJoystickCaps& caps) override {
    if (index != 0 || !present) return false;
    caps = {"Fake pad", 2, 4, false};
    return true;
  }
  bool Read(int index, RJoystickState& s) override {
    if (index != 0 || !present) return false;
    s = state;
    return true;
  }
};

TEST(InputScript, ARecordingReplaysToTheSameInputState) {
  test::ScratchDir dir;
  const std::string file = (dir / "rec.txt").string();
  FakeJoysticks pad;
  SetJoysticks(&pad);
  Input().Reset();
  Input().MouseMove(0, 0);

  // What a person does: events arrive between steps and, once, while a step runs.
  CInputRecorder rec;
  std::string error;
  ASSERT_TRUE(rec.Open(file, error)) << error;
  rec.Install();
  std::vector<std::string> seen;
  auto snapshot = [&] {
    int64_t x = 0, y = 0;
    Input().MouseInRoom(x, y);
    RJoystickState s;
    const bool j = Joysticks()->Read(0, s);
    seen.push_back(std::to_string(Input().LastKey()) + "," + std::to_string(Input().Held(65)) + "," +
                   Input().String() + "," + std::to_string(Input().ButtonHeld(1)) + "," + std::to_string(x) + "," +
                   std::to_string(y) + "," + (j ? std::to_string(s.x) + "/" + std::to_string(s.buttons) : "-"));
  };
  auto step = [&](int64_t n) {
    rec.Deliver(n);
    snapshot();
    Input().EndStep();
    rec.StepDone(n);
  };
  FeedDeviceEvent({RInputEvent::kKeyDown, 65, 0, 0});
  FeedDeviceEvent({RInputEvent::kChar, 'a', 0, 0});
  EXPECT_FALSE(Input().Held(65)) << "held back until the step";
  step(1);
  FeedDeviceEvent({RInputEvent::kMouse, 0, 12.25, 7});
  FeedDeviceEvent({RInputEvent::kButtonDown, 1, 0, 0});
  pad.state.x = 0;
  pad.state.buttons = 3;
  step(2);
  FeedDeviceEvent({RInputEvent::kKeyUp, 65, 0, 0});
  rec.Deliver(3);
  FeedDeviceEvent({RInputEvent::kChar, 'b', 0, 0});  // during the step: at once
  EXPECT_EQ(Input().String(), "ab");
  snapshot();
  Input().EndStep();
  rec.StepDone(3);
  pad.present = false;
  step(4);
  rec.Uninstall();
  rec.Close();
  SetJoysticks(nullptr);

  std::vector<RInputLine> lines;
  ASSERT_TRUE(ReadInputFile(file, lines, error)) << error;
  Input().Reset();
  Input().MouseMove(0, 0);
  CInputReplay replay(lines);
  replay.Install();
  std::vector<std::string> recorded = std::move(seen);
  seen.clear();
  FeedDeviceEvent({RInputEvent::kKeyDown, 66, 0, 0});  // the person's own keys are ignored
  for (int64_t n = 1; n <= 4; ++n) {
    replay.FeedThrough(n);
    snapshot();
    Input().EndStep();
  }
  replay.Uninstall();
  EXPECT_TRUE(replay.Done());
  EXPECT_EQ(seen, recorded);
  EXPECT_EQ(recorded[1], "65,1,a,1,12,7,0/3");
  EXPECT_EQ(recorded[3], "65,0,ab,1,12,7,-");
  Input().Reset();
}

}  // namespace
}  // namespace kestro
