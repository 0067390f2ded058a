// Splash screens and the game information as game code uses them, ended with injected keys and
// clicks (no window: nothing is drawn): the settings, where a picture goes and how it is scaled,
// what ends a splash, the timer, missing files, and the formatted text read and laid out.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "dialogs/ModalLoop.h"
#include "graphics/Clock.h"
#include "graphics/Graphics.h"
#include "graphics/Input.h"
#include "resources/Bitmap32.h"
#include "resources/BmpFile.h"
#include "resources/GameResources.h"
#include "script/builtins/BuiltinError.h"
#include "script/builtins/FunctionRegistry.h"
#include "splash/RichText.h"
#include "splash/Splash.h"
#include "support/TestSupport.h"
#include "support/Values.h"

namespace kestro {
namespace {

using splash::ESplashEnd;
using splash::RRectI;
using test::R;
using test::S;

RInputEvent Key(int k) { return {RInputEvent::kKeyDown, k}; }
RInputEvent KeyUp(int k) { return {RInputEvent::kKeyUp, k}; }
RInputEvent Mouse(double x, double y) { return {RInputEvent::kMouse, 0, x, y}; }
RInputEvent Down() { return {RInputEvent::kButtonDown, 1}; }
RInputEvent Close() { return {RInputEvent::kClose, 0}; }

class SplashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    splash::ResetSplashSettings();
    dialogs::SetDialogEvents(&events_);
    splash::SetSplashNotice([this](const std::string& t) { notices.push_back(t); });
    SetBuiltinErrorHandler([this](std::string_view m, bool) { errors.emplace_back(m); });
    GameResources().Clear();
    TBitmap32 picture(32, 24, 0xFF0000FFu);
    std::string error;
    ASSERT_TRUE(picture.SaveToPng(png_, error)) << error;
    RPixels px{8, 4, std::vector<uint8_t>(8 * 4 * 4, 200)};
    const std::vector<uint8_t> bmp = EncodeBmp32(px);
    test::WriteBytes(bmp_, bmp);
  }
  void TearDown() override {
    dialogs::SetDialogEvents(nullptr);
    splash::SetSplashNotice(nullptr);
    splash::ResetSplashSettings();
    SetBuiltinErrorHandler(nullptr);
    GameResources().Clear();
  }
  RValue Call(const char* name, std::vector<RValue> args, std::vector<RInputEvent> events = {}) {
    events_ = dialogs::CQueuedDialogEvents(std::move(events));
    return test::CallBuiltin(name, args);
  }
  ESplashEnd Image(std::vector<RInputEvent> events, double delay = 0) {
    events_ = dialogs::CQueuedDialogEvents(std::move(events));
    return splash::ShowImage(png_.string(), delay);
  }
  void Write(const std::filesystem::path& file, const std::string& text) { std::ofstream(file) << text; }

  test::ScratchDir dir_;
  std::filesystem::path png_ = dir_ / "pic.png", bmp_ = dir_ / "pic.bmp";
  dialogs::CQueuedDialogEvents events_;
  std::vector<std::string> notices, errors;
};

TEST_F(SplashTest, SettingsDefaultsAndSetters) {
  const splash::RSplashSettings& s = splash::SplashSettings();
  EXPECT_TRUE(s.main && !s.fullScreen && s.border && s.adapt && s.stayOnTop && s.cursor && s.interrupt && s.stopKey &&
              s.stopMouse && s.closeButton);
  EXPECT_EQ(s.caption, "");
  EXPECT_EQ(s.width, 640);
  EXPECT_EQ(s.height, 480);
  EXPECT_EQ(s.left, -1);
  EXPECT_EQ(s.top, -1);
  EXPECT_EQ(s.colour, 0);
  EXPECT_EQ(s.scale, -1);

  // Truths come from the rounded argument: 0.5 rounds to 0.
  Call("splash_set_main", {R(0.5)});
  Call("splash_set_fullscreen", {R(0.6)});
  Call("splash_set_border", {R(0)});
  Call("splash_set_caption", {S("Intro")});
  Call("splash_set_size", {R(320.4), R(200)});
  Call("splash_set_position", {R(100), R(50)});
  Call("splash_set_adapt", {R(0)});
  Call("splash_set_top", {R(0)});
  Call("splash_set_color", {R(0x123456)});
  Call("splash_set_scale", {R(1.5)});
  Call("splash_set_cursor", {R(0)});
  Call("splash_set_interrupt", {R(0)});
  Call("splash_set_stop_key", {R(0)});
  Call("splash_set_stop_mouse", {R(0)});
  Call("splash_set_close_button", {R(0)});
  EXPECT_TRUE(!s.main && s.fullScreen && !s.border && !s.adapt && !s.stayOnTop && !s.cursor && !s.interrupt &&
              !s.stopKey && !s.stopMouse && !s.closeButton);
  EXPECT_EQ(s.caption, "Intro");
  EXPECT_EQ(s.width, 320);
  EXPECT_EQ(s.height, 200);
  EXPECT_EQ(s.left, 100);
  EXPECT_EQ(s.top, 50);
  EXPECT_EQ(s.colour, 0x123456);
  EXPECT_EQ(s.scale, 1.5);

  // show_image, show_video and show_text choose full screen or the game window, and it stays.
  Call("show_image", {S(png_.string()), R(0), R(0)});
  EXPECT_TRUE(s.main && !s.fullScreen);
  Call("show_text", {S((dir_ / "none.txt").string()), R(1), R(0xFF), R(0)});
  EXPECT_TRUE(!s.main && s.fullScreen);
  EXPECT_EQ(s.colour, 0xFF);
}

TEST_F(SplashTest, WhereAPictureGoesAndItsScale) {
  splash::RSplashSettings own;
  own.main = false;
  splash::RSplashSettings embedded;
  splash::RSplashSettings full;
  full.main = false;
  full.fullScreen = true;
  struct Case {
    const char* what;
    splash::RSplashSettings s;
    double scale;
    bool adapt;
    int regionW, regionH, itemW, itemH;
    RRectI window, item;
    double s_;
    bool stretched;
  };
  const Case cases[] = {
      // The default 640 x 480 window fits a 320 x 240 picture twice; adapted, it keeps that size.
      {"own, fit", own, -1, true, 1024, 768, 320, 240, {192, 144, 640, 480}, {192, 144, 640, 480}, 2, true},
      // Scale 1: its own size, not stretched; adapt makes the window that size.
      {"own, 1, adapt", own, 1, true, 1024, 768, 320, 240, {352, 264, 320, 240}, {352, 264, 320, 240}, 1, false},
      {"own, 1", own, 1, false, 1024, 768, 320, 240, {192, 144, 640, 480}, {352, 264, 320, 240}, 1, false},
      // In the game window: the whole region; the largest scale that fits, centred.
      {"embedded", embedded, 0, true, 800, 600, 400, 100, {0, 0, 800, 600}, {0, 200, 800, 200}, 2, true},
      {"full, half", full, 0.5, true, 640, 480, 100, 100, {0, 0, 640, 480}, {295, 215, 50, 50}, 0.5, true},
      // A window larger than the game's region is cut to it.
      {"own, small region", own, 1, false, 300, 200, 10, 10, {0, 0, 300, 200}, {145, 95, 10, 10}, 1, false},
  };
  for (Case c : cases) {
    c.s.scale = c.scale;
    c.s.adapt = c.adapt;
    const splash::RSplashLayout l = splash::LayoutSplash(c.s, c.regionW, c.regionH, c.itemW, c.itemH);
    EXPECT_EQ(l.window, c.window) << c.what;
    EXPECT_EQ(l.item, c.item) << c.what;
    EXPECT_DOUBLE_EQ(l.scale, c.s_) << c.what;
    EXPECT_EQ(l.stretched, c.stretched) << c.what;
    EXPECT_EQ(l.closeButton, (RRectI{c.window.x + c.window.w - 24, c.window.y, 24, 24})) << c.what;
  }
  // The position setting places the window; -1 leaves it where the last splash was.
  splash::SplashSettings().main = false;
  splash::SplashSettings().scale = 1;
  splash::SplashSettings().adapt = true;
  Call("splash_set_position", {R(100), R(50)});
  Image({});
  Call("splash_set_position", {R(-1), R(-1)});
  const splash::RSplashLayout kept = splash::LayoutSplash(splash::SplashSettings(), 1024, 768, 32, 24);
  EXPECT_EQ(kept.window.x, 100);
  EXPECT_EQ(kept.window.y, 50);
  // ... and never outside the game window, where it is drawn.
  Call("splash_set_position", {R(1e12), R(-5)});
  EXPECT_EQ(splash::LayoutSplash(splash::SplashSettings(), 1024, 768, 32, 24).window, (RRectI{992, 50, 32, 24}));
  splash::SplashSettings().closeButton = false;
  EXPECT_EQ(splash::LayoutSplash(splash::SplashSettings(), 1024, 768, 32, 24).closeButton, RRectI{});
}

TEST_F(SplashTest, WhatEndsASplash) {
  struct Case {
    const char* what;
    bool main, stopKey, stopMouse, closeButton;
    std::vector<RInputEvent> events;
    ESplashEnd end;
  };
  // Without a window the region is 640 x 480; a window of its own there (default size 640 x 480 and
  // adapt on, scale 1) is the picture's 32 x 24, centred: (304, 228).
  const Case cases[] = {
      {"escape released in the game window", true, true, true, true, {Key(27), KeyUp(27)}, ESplashEnd::kKey},
      {"escape pressed in the game window", true, true, true, true, {Key(27)}, ESplashEnd::kNoInput},
      {"escape pressed in its own window", false, true, true, true, {Key(27)}, ESplashEnd::kKey},
      {"escape without the stop key", true, false, true, true, {Key(27), KeyUp(27)}, ESplashEnd::kNoInput},
      {"other keys", true, true, true, true, {Key(65), KeyUp(65), KeyUp(13)}, ESplashEnd::kNoInput},
      {"a click", true, true, true, true, {Mouse(10, 10), Down()}, ESplashEnd::kMouse},
      {"a click without the stop mouse", true, true, false, true, {Mouse(10, 10), Down()}, ESplashEnd::kNoInput},
      {"the close button", true, true, false, true, {Mouse(630, 5), Down()}, ESplashEnd::kCloseButton},
      {"no close button", true, true, false, false, {Mouse(630, 5), Down()}, ESplashEnd::kNoInput},
      {"a click beside its own window", false, true, true, true, {Mouse(5, 5), Down()}, ESplashEnd::kNoInput},
      {"a click on its own window", false, true, true, true, {Mouse(310, 240), Down()}, ESplashEnd::kMouse},
      {"the game window closed", true, false, false, false, {Close()}, ESplashEnd::kWindowClose},
  };
  for (const Case& c : cases) {
    splash::ResetSplashSettings();
    splash::RSplashSettings& s = splash::SplashSettings();
    s.main = c.main;
    s.stopKey = c.stopKey;
    s.stopMouse = c.stopMouse;
    s.closeButton = c.closeButton;
    s.scale = 1;
    Input().KeyDown(66);
    EXPECT_EQ(Image(c.events), c.end) << c.what;
    // Nothing of the splash's input reaches the game.
    EXPECT_FALSE(Input().Held(66)) << c.what;
    EXPECT_FALSE(splash::SplashShowing());
  }
  // Ended without input: a notice says what it was.
  ASSERT_FALSE(notices.empty());
  EXPECT_EQ(notices.back(), "splash image \"" + png_.string() + "\" (no input: ended)");
  EXPECT_TRUE(errors.empty());
}

// Events that never come, while a clock moves 20 ms a wait.
class CIdleEvents final : public dialogs::IDialogEvents {
 public:
  explicit CIdleEvents(CManualClock& clock) : clock_(clock) {}
  bool Poll(std::vector<RInputEvent>&) override {
    clock_.Advance(20000);
    return ++polls < 1000;
  }
  int polls = 0;

 private:
  CManualClock& clock_;
};

TEST_F(SplashTest, TheDelayEndsIt) {
  CManualClock clock;
  StepClock().SetSource(&clock);
  CIdleEvents idle(clock);
  dialogs::SetDialogEvents(&idle);
  EXPECT_EQ(splash::ShowImage(bmp_.string(), 100), ESplashEnd::kTimer);
  EXPECT_EQ(idle.polls, 5);
  // 0 and less: no automatic end (here the source gives up in the end).
  idle.polls = 0;
  EXPECT_EQ(splash::ShowImage(bmp_.string(), 0), ESplashEnd::kNoInput);
  EXPECT_EQ(idle.polls, 1000);
  StepClock().SetSource(nullptr);
}

TEST_F(SplashTest, MissingFilesAndWhatCannotBeShown) {
  const std::string none = (dir_ / "none").string();
  Call("splash_show_image", {S(none + ".png"), R(0)});
  Call("splash_show_text", {S(none + ".rtf"), R(0)});
  Call("splash_show_video", {S(none + ".avi"), R(0)});
  Call("show_video", {S(none + ".avi"), R(0), R(0)});
  Write(dir_ / "clip.avi", "not a video");
  // A name of 127 characters or more is refused even when the file is there.
  const std::string longName = (dir_ / std::string(130, 'v')).string();
  Call("splash_show_video", {S(longName), R(0)});
  Write(dir_ / "broken.png", "not a picture");
  Call("splash_show_image", {S((dir_ / "broken.png").string()), R(0)});
  EXPECT_EQ(errors, (std::vector<std::string>{
                        "Image file not found.", "Text file not found.", "Video file not found (or name too long).",
                        "Video file not found (or name too long).", "Video file not found (or name too long).",
                        "Image file could not be read: " + (dir_ / "broken.png").string()}));
  EXPECT_TRUE(notices.empty());
  // No video player and no web view here: a notice, and the splash ends as if stopped.
  const std::string clip = (dir_ / "clip.avi").string();
  if (clip.size() < 127) {
    Call("splash_show_video", {S(clip), R(1)});
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], "splash video \"" + clip +
                              "\" (looping): videos cannot be played on this system; "
                              "skipped as if stopped");
  }
  notices.clear();
  Call("splash_show_web", {S("http://example.invalid/"), R(0)});
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0],
            "splash web page \"http://example.invalid/\": web pages cannot be shown on this system; "
            "skipped as if stopped");
}

// Every character 6 pixels wide, lines as high as the point size plus 2.
class FixedMetrics final : public dialogs::ITextMetrics {
 public:
  int WrappedHeight(const dialogs::RDialogFont& f, const std::string&, int) override { return LineHeight(f); }
  int TextWidth(const dialogs::RDialogFont&, const std::string& text) override { return int(text.size()) * 6; }
  int LineHeight(const dialogs::RDialogFont& f) override { return f.size + 2; }
};

TEST_F(SplashTest, FormattedTextReadAndLaidOut) {
  const std::string rtf =
      "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}}"
      "{\\colortbl ;\\red255\\green0\\blue0;}"
      "{\\*\\generator hidden}\\pard\\qc\\f1\\fs40 Title\\par"
      "\\pard\\f0\\fs20 Plain {\\b bold} \\cf1\\i red\\i0\\cf0  \\ul under\\ulnone\\par"
      " caf\\'e9 \\u8364?\\tab end\\line\\qr right\\par}";
  const std::vector<splash::RTextParagraph> ps = splash::ParseRichText(rtf);
  ASSERT_EQ(ps.size(), 4u);
  EXPECT_EQ(ps[0].align, splash::EAlign::kCentre);
  ASSERT_EQ(ps[0].runs.size(), 1u);
  EXPECT_EQ(ps[0].runs[0].text, "Title");
  EXPECT_EQ(ps[0].runs[0].font.name, "Times New Roman");
  EXPECT_EQ(ps[0].runs[0].font.size, 20);
  ASSERT_EQ(ps[1].runs.size(), 6u);
  EXPECT_EQ(ps[1].runs[0].text, "Plain ");
  EXPECT_EQ(ps[1].runs[0].font.name, "Arial");
  EXPECT_EQ(ps[1].runs[0].font.size, 10);
  EXPECT_TRUE(ps[1].runs[1].font.bold);
  EXPECT_EQ(ps[1].runs[1].text, "bold");
  EXPECT_EQ(ps[1].runs[3].text, "red");
  EXPECT_TRUE(ps[1].runs[3].font.italic);
  EXPECT_EQ(ps[1].runs[3].font.colour, 0x0000FF);  // a game colour: red in the low byte
  EXPECT_EQ(ps[1].runs[5].text, "under");
  EXPECT_TRUE(ps[1].runs[5].underline);
  EXPECT_EQ(ps[2].runs[0].text, "caf\u00e9 \u20ac    end");
  EXPECT_EQ(ps[3].runs[0].text, "right");
  EXPECT_EQ(ps[3].align, splash::EAlign::kRight);
  // Plain text: a paragraph a line.
  const std::vector<splash::RTextParagraph> plain = splash::ParseRichText("one\r\ntwo\n\nthree");
  ASSERT_EQ(plain.size(), 4u);
  EXPECT_TRUE(plain[2].runs.empty());
  EXPECT_EQ(plain[3].runs[0].text, "three");

  // Lines broken after spaces at the width, aligned; smaller fonts sit on the line's bottom.
  FixedMetrics metrics;
  const splash::RTextLayout l = splash::LayoutRichText(splash::ParseRichText(rtf), 60, metrics);
  std::vector<std::string> shown;
  for (const splash::RPlacedText& p : l.pieces)
    shown.push_back(p.text + "@" + std::to_string(p.x) + "," + std::to_string(p.y));
  EXPECT_EQ(shown, (std::vector<std::string>{"Title@15,0", "Plain @0,22", "bold@36,22", "red@0,34", "under@24,34",
                                             "caf\u00e9 \u20ac@0,46", "end@0,58", "right@30,70"}));
  EXPECT_EQ(l.height, 82);
}

TEST_F(SplashTest, TextsAndTheGameInformation) {
  Write(dir_ / "a.rtf", "{\\rtf1 Hello {\\b world}\\par}");
  events_ = dialogs::CQueuedDialogEvents({KeyUp(27)});
  EXPECT_EQ(splash::ShowText((dir_ / "a.rtf").string(), 0), ESplashEnd::kKey);
  Call("show_text", {S((dir_ / "a.rtf").string()), R(0), R(0xFFFFFF), R(0)}, {Mouse(3, 3), Down()});
  EXPECT_TRUE(errors.empty());
  EXPECT_TRUE(notices.empty());

  // load_info replaces the game information's text; show_info shows it as its settings say: in
  // the game window any key released ends it, in a window of its own Escape (clicks never).
  EXPECT_EQ(Call("load_info", {S((dir_ / "none.rtf").string())}).val, 0);
  EXPECT_EQ(Call("load_info", {S((dir_ / "a.rtf").string())}).val, 1);
  EXPECT_EQ(GameInformation().text, "{\\rtf1 Hello {\\b world}\\par}");
  GameInformation().showInGameWindow = true;
  events_ = dialogs::CQueuedDialogEvents({KeyUp(65)});
  EXPECT_EQ(splash::ShowGameInformation(), ESplashEnd::kKey);
  GameInformation().showInGameWindow = false;
  events_ = dialogs::CQueuedDialogEvents({KeyUp(65), Mouse(320, 240), Down(), Key(27)});
  EXPECT_EQ(splash::ShowGameInformation(), ESplashEnd::kKey);
  // Where nobody can see it, its text goes the way of messages.
  test::MessageRecorder messages;
  events_ = dialogs::CQueuedDialogEvents();
  Call("show_info", {});
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0], "Game Information\n\nHello world");
}

}  // namespace
}  // namespace kestro
