// The message dialog, questions, input, the pop-up menu and the message_* settings as game code
// uses them, answered with injected keys and clicks (no window: nothing is drawn).
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/Choosers.h"
#include "dialogs/CodePages.h"
#include "dialogs/DialogDraw.h"
#include "dialogs/MessageDialog.h"
#include "dialogs/ModalLoop.h"
#include "dialogs/PopupMenu.h"
#include "graphics/Graphics.h"
#include "graphics/Input.h"
#include "resources/GameResources.h"
#include "script/builtins/BuiltinError.h"
#include "script/builtins/FunctionRegistry.h"
#include "support/TestSupport.h"
#include "support/Values.h"

namespace kestro {
namespace {

using dialogs::CMessageDialog;
using test::R;
using test::S;

RInputEvent Key(int k) { return {RInputEvent::kKeyDown, k}; }
RInputEvent KeyUp(int k) { return {RInputEvent::kKeyUp, k}; }
RInputEvent Char(int c) { return {RInputEvent::kChar, c}; }
RInputEvent Mouse(double x, double y) { return {RInputEvent::kMouse, 0, x, y}; }
RInputEvent Down() { return {RInputEvent::kButtonDown, 1}; }
RInputEvent Up() { return {RInputEvent::kButtonUp, 1}; }
std::vector<RInputEvent> Typed(const std::string& s) {
  std::vector<RInputEvent> out;
  for (unsigned char c : s) out.push_back(Char(c));
  return out;
}
std::vector<RInputEvent> operator+(std::vector<RInputEvent> a, const std::vector<RInputEvent>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A measure of fixed sizes: every character 5 pixels wide, lines 10 high.
class FixedMetrics final : public dialogs::ITextMetrics {
 public:
  int WrappedHeight(const dialogs::RDialogFont&, const std::string& text, int width) override {
    int lines = 1, column = 0;
    for (char c : text) {
      if (c == '\n') {
        ++lines, column = 0;
      } else if ((column += 5) > width) {
        ++lines, column = 5;
      }
    }
    return lines * 10;
  }
  int TextWidth(const dialogs::RDialogFont&, const std::string& text) override { return int(text.size()) * 5; }
  int LineHeight(const dialogs::RDialogFont&) override { return 10; }
};

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialogs::ResetMessageSettings();
    dialogs::ClearScriptedAnswers();
    dialogs::SetDialogEvents(&events_);
    dialogs::SetDialogNotice([this](const std::string& t) { notices.push_back(t); });
    SetBuiltinErrorHandler([this](std::string_view m, bool) { errors.emplace_back(m); });
    GameResources().Clear();
  }
  void TearDown() override {
    dialogs::SetDialogEvents(nullptr);
    dialogs::SetDialogNotice(nullptr);
    dialogs::ClearScriptedAnswers();
    dialogs::ResetMessageSettings();
    SetBuiltinErrorHandler(nullptr);
    GameResources().Clear();
  }
  RValue Call(const char* name, std::vector<RValue> args, std::vector<RInputEvent> events = {}) {
    events_ = dialogs::CQueuedDialogEvents(std::move(events));
    return test::CallBuiltin(name, args);
  }
  // The dialog as the functions lay it out, for finding its buttons.
  static CMessageDialog LaidOut(const std::string& b1, const std::string& b2, const std::string& b3) {
    CMessageDialog d;
    d.SetMessage("x", b1, b2, b3);
    d.Layout(dialogs::DrawingMetrics(), Graphics().RegionWidth(), Graphics().RegionHeight());
    return d;
  }
  static RInputEvent At(const CMessageDialog& d, int k) {
    const dialogs::RRectI b = d.Button(k).box;
    return Mouse(d.Client().x + b.x + b.w / 2, d.Client().y + b.y + b.h / 2);
  }

  dialogs::CQueuedDialogEvents events_;
  std::vector<std::string> notices, errors;
};

TEST_F(DialogTest, TheTextOfAValueAndTheHashTreatment) {
  struct Case {
    RValue v;
    const char* shown;
  };
  const Case cases[] = {
      {R(3), "3"},       {R(2.5), "2.50"},    {R(-0.125), "-0.13"}, {S("a#b\\#c"), "a\nb#c"},
      {S("##"), "\n\n"}, {S("\\\\#"), "\\#"}, {S("#\\"), "\n\\"},   {S(""), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(dialogs::MessageText(c.v), c.shown) << test::Show(c.v);
  // The functions show it so; get_string gives its prompt the "#" treatment only.
  Call("show_message", {R(2.5)});
  Call("show_message", {S("a#b\\#c")});
  Call("get_string", {R(2.5), S("d")});
  ASSERT_EQ(notices.size(), 3u);
  EXPECT_EQ(notices[0], "message \"2.50\" [|OK|] -> 0");
  EXPECT_EQ(notices[1], "message \"a#b#c\" [|OK|] -> 0");  // the line break is written as "#" in the note
  EXPECT_EQ(notices[2], "input \"2.50\" -> \"d\"");
}

TEST_F(DialogTest, KeysAndClicksGiveTheButtonsNumbers) {
  const CMessageDialog three = LaidOut("a", "b", "c");
  const CMessageDialog maybe = LaidOut("", "&Maybe", "");
  struct Case {
    const char* what;
    const char* fn;
    std::vector<RValue> args;
    std::vector<RInputEvent> events;
    double result;
  };
  const Case cases[] = {
      {"question, Escape", "show_question", {S("q")}, {Key(27)}, 0},
      {"question, Enter: Yes is the first visible", "show_question", {S("q")}, {Key(13), Char(13)}, 1},
      {"question, Space", "show_question", {S("q")}, {Key(32), Char(32)}, 1},
      {"question, Y is no short key", "show_question", {S("q")}, {Key(89), Char('y')}, 0},
      {"question, the window's close button", "show_question", {S("q")}, {{RInputEvent::kClose}}, 0},
      {"M", "show_message_ext", {S("x"), S(""), S("&Maybe"), S("")}, {Key(77), Char('M')}, 2},
      {"m", "show_message_ext", {S("x"), S(""), S("&Maybe"), S("")}, {Key(77), Char('m')}, 2},
      {"Enter", "show_message_ext", {S("x"), S(""), S("&Maybe"), S("")}, {Key(13)}, 2},
      {"Ctrl+M", "show_message_ext", {S("x"), S(""), S("&Maybe"), S("")}, {Key(17), Key(77)}, 2},
      {"M key without its character", "show_message_ext", {S("x"), S(""), S("&Maybe"), S("")}, {Key(77)}, 0},
      {"Ctrl released before M",
       "show_message_ext",
       {S("x"), S(""), S("&Maybe"), S("")},
       {Key(17), KeyUp(17), Key(77)},
       0},
      {"first match wins", "show_message_ext", {S("x"), S("&go"), S("&Go"), S("")}, {Char('G')}, 1},
      {"no buttons: Enter does nothing", "show_message_ext", {S("x"), S(""), S(""), S("")}, {Key(13)}, 0},
      {"click on button 3", "show_message_ext", {S("x"), S("a"), S("b"), S("c")}, {At(three, 3), Down(), Up()}, 3},
      {"pressed on 1, released on 3",
       "show_message_ext",
       {S("x"), S("a"), S("b"), S("c")},
       {At(three, 1), Down(), At(three, 3), Up()},
       0},
      {"click beside the buttons",
       "show_message_ext",
       {S("x"), S("a"), S("b"), S("c")},
       {Mouse(0, 0), Down(), Up()},
       0},
      {"click on the only button",
       "show_message_ext",
       {S("x"), S(""), S("&Maybe"), S("")},
       {At(maybe, 2), Down(), Up()},
       2},
  };
  for (const Case& c : cases) {
    RValue r = Call(c.fn, c.args, c.events);
    EXPECT_EQ(r.val, c.result) << c.what;
  }
}

TEST_F(DialogTest, InputLinesAndIntegers) {
  struct Case {
    const char* fn;
    std::vector<RValue> args;
    std::vector<RInputEvent> events;
    RValue result;
  };
  const Case cases[] = {
      {"get_integer", {S("n?"), R(2.5)}, {Key(13)}, R(2)},  // proposes "2"
      {"get_integer", {S("n?"), R(2.5)}, Typed("abc") + std::vector{Key(13)}, R(2)},
      {"get_integer", {S("n?"), R(2.5)}, Typed("17") + std::vector{Key(13)}, R(17)},
      {"get_integer", {S("n?"), R(2.5)}, {Key(35), Char('5'), Key(13)}, R(25)},       // End, then typed after "2"
      {"get_integer", {S("n?"), R(3.5)}, Typed("-8") + std::vector{Key(27)}, R(-8)},  // whichever way closed
      {"get_integer", {S("n?"), R(1)}, Typed("99999999999") + std::vector{Key(13)}, R(1)},
      {"get_integer", {S("n?"), R(1)}, Typed(" +12") + std::vector{Key(13)}, R(12)},
      {"get_integer", {S("n?"), R(1)}, Typed("1 2") + std::vector{Key(13)}, R(1)},
      {"get_string", {S("name?"), S("bob")}, {}, S("bob")},
      {"get_string",
       {S("name?"), S("bob")},
       Typed("al") + std::vector{Key(32), Char(' '), Char('x'), Key(13)},
       S("al x")},
      {"get_string", {S("name?"), S("bob")}, {Char(8), Key(13)}, S("")},  // Backspace clears the selection
      {"get_string", {S("name?"), S("bob")}, {Key(39), Char(8), Char(0xE9), Key(13)}, S("bo\xC3\xA9")},
      {"get_string", {S("name?"), S("bob")}, {Key(36), Key(46), Key(13)}, S("ob")},       // Home, Delete
      {"get_string", {S("name?"), S("b\xC3\xA9")}, {Key(35), Char(8), Key(13)}, S("b")},  // a whole character
  };
  for (const Case& c : cases) {
    RValue r = Call(c.fn, c.args, c.events);
    EXPECT_EQ(test::Show(r), test::Show(c.result)) << c.fn << " " << test::Show(c.args[1]) << " " << c.events.size();
  }
}

TEST_F(DialogTest, MenusNumberTheirItemsAndGiveTheDefaultWhenClosed) {
  const std::vector<dialogs::RMenuItem> items = dialogs::ParseMenu("a|-|b||c");
  ASSERT_EQ(items.size(), 5u);
  const int numbers[] = {0, -1, 1, 2, 3};
  for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(items[i].number, numbers[i]) << i;

  dialogs::CPopupMenu menu("a|-|b", 9);
  menu.Layout(dialogs::DrawingMetrics(), 100, 100, Graphics().RegionWidth(), Graphics().RegionHeight());
  auto centre = [&](size_t i) {
    const dialogs::RRectI b = menu.Items()[i].box;
    return Mouse(b.x + b.w / 2, b.y + b.h / 2);
  };
  struct Case {
    const char* what;
    std::vector<RInputEvent> events;
    double result;
  };
  const Case cases[] = {
      {"clicking b", {centre(2), Down(), Up()}, 1},
      {"clicking a", {centre(0), Down(), Up()}, 0},
      {"the separator is no item", {centre(1), Down(), Up()}, 9},
      {"closed with Escape", {Key(27)}, 9},
      {"a press outside", {Mouse(1, 1), Down(), Up()}, 9},
      {"down twice, Enter", {Key(40), Key(40), Key(13)}, 1},
      {"no events at all", {}, 9},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Call("show_menu_pos", {R(100), R(100), S("a|-|b"), R(9)}, c.events).val, c.result) << c.what;
  // show_menu opens at the pointer.
  Input().MouseMove(100, 100);
  EXPECT_EQ(Call("show_menu", {S("a|-|b"), R(9)}, {centre(2), Down(), Up()}).val, 1);
}

TEST_F(DialogTest, TheLayoutRule) {
  FixedMetrics m;
  dialogs::RMessageSettings& s = dialogs::MessageSettings();
  CMessageDialog d;
  d.SetMessage("Hello", "a", "b", "c");  // "Hello " is one line: 10 high
  d.Layout(m, 640, 480);
  EXPECT_EQ(d.Client(), (dialogs::RRectI{160, 198, 320, 83}));  // 10 + 25 + 48 high, centred
  EXPECT_EQ(d.LabelBox(), (dialogs::RRectI{24, 16, 272, 10}));
  EXPECT_EQ(d.Button(1).box, (dialogs::RRectI{24, 42, 80, 25}));
  EXPECT_EQ(d.Button(2).box, (dialogs::RRectI{120, 42, 80, 25}));
  EXPECT_EQ(d.Button(3).box, (dialogs::RRectI{216, 42, 80, 25}));

  // The input line: E = 16 more and its gap; it sits 16 above the buttons.
  d.SetInput("Hello", "x");
  d.Layout(m, 640, 480);
  EXPECT_EQ(d.Client().h, 83 + 16 + 16);
  EXPECT_EQ(d.InputBox(), (dialogs::RRectI{24, 115 - 25 - 16 - 16 - 16, 272, 16}));

  // Wrapped text grows the height; a line break counts.
  d.SetMessage(std::string(60, 'w') + "\nz", "", "OK", "");
  d.Layout(m, 640, 480);
  EXPECT_EQ(d.LabelBox().h, 30);
  EXPECT_EQ(d.Client().h, 30 + 25 + 48);

  // message_size(0, 0): the picture's width and the automatic height; sizes from 1 are taken.
  Call("message_size", {R(0), R(0)});
  d.SetMessage("Hello", "", "OK", "");
  d.Layout(m, 640, 480);
  EXPECT_EQ(d.Client().w, dialogs::kBuiltinBackWidth);
  EXPECT_EQ(d.Client().h, 83);
  Call("message_size", {R(401), R(150)});
  Call("message_position", {R(5), R(-1)});
  d.Layout(m, 640, 480);
  EXPECT_EQ(d.Client(), (dialogs::RRectI{5, (480 - 150) / 2, 401, 150}));
  EXPECT_EQ(d.Button(2).box.x, (401 - 80) / 2);
  EXPECT_EQ(d.Button(3).box.x, 401 - 80 - 24);
  // Odd differences truncate toward zero, also for a dialog larger than the screen.
  Call("message_position", {R(-1), R(-1)});
  Call("message_size", {R(651), R(481)});
  d.Layout(m, 640, 480);
  EXPECT_EQ(d.Window().x, -5);
  EXPECT_EQ(d.Window().y, 0);
  // A border adds the frame and the caption bar to the window, not to the client area.
  Call("message_caption", {R(1), S("Title")});
  d.Layout(m, 640, 480);
  EXPECT_EQ(d.Window().w, 651 + 2 * dialogs::kFrame);
  EXPECT_EQ(d.Client().w, 651);
  EXPECT_TRUE(s.border);
  EXPECT_EQ(s.caption, "Title");
}

TEST_F(DialogTest, MessageSettingsAndTheirErrors) {
  dialogs::RMessageSettings& s = dialogs::MessageSettings();
  Call("message_background", {R(0)});
  Call("message_button", {R(3)});
  EXPECT_EQ(errors, (std::vector<std::string>{"Trying to set a non-existing message background",
                                              "Trying to set a non-existing message button"}));
  EXPECT_TRUE(s.background.Empty());

  auto back = std::make_unique<CBackground>();
  back->i_bitmap.Create(50, 40, 0xFF102030u);
  back->i_bitmap.Data()[39 * 50] = TColor32::From(0x00ABCDEFu);  // bottom-left: transparent
  Backgrounds().Add(std::move(back), "bg");
  Call("message_background", {R(0)});
  EXPECT_EQ(s.background.Width(), 50);
  EXPECT_TRUE(s.transparent);
  EXPECT_EQ(s.transparentColour, 0xABCDEFu);

  auto spr = std::make_unique<CSprite>();
  spr->i_numb = 2;
  spr->i_bitmap.emplace_back(60, 20, 0xFF0000FFu);
  spr->i_bitmap.emplace_back(60, 20, 0xFF00FF00u);
  Sprites().Add(std::move(spr), "spr");
  Call("message_button", {R(0)});
  EXPECT_EQ(s.buttonW, 60);
  EXPECT_EQ(s.buttonH, 20);
  EXPECT_EQ(s.buttonImages[2].GetPixel(0, 0).Value(), 0xFF00FF00u);  // image 2 missing: a copy of image 1
  EXPECT_FALSE(s.buttonsMasked);
  EXPECT_EQ(errors.size(), 2u);

  struct AlphaCase {
    double in;
    int alpha;
  };
  for (AlphaCase c : {AlphaCase{0.5, 128}, {1, 255}, {2, 255}, {-1, 0}, {0.002, 1}}) {
    Call("message_alpha", {R(c.in)});
    EXPECT_EQ(s.alpha, c.alpha) << c.in;
  }
  // Fonts: name when not empty, size and colour when >= 0, style 0..3, else kept.
  Call("message_text_font", {S("Courier"), R(12), R(255), R(3)});
  EXPECT_EQ(s.textFont.name, "Courier");
  EXPECT_EQ(s.textFont.size, 12);
  EXPECT_EQ(s.textFont.colour, 255);
  EXPECT_TRUE(s.textFont.bold && s.textFont.italic);
  Call("message_text_font", {S(""), R(-1), R(-1), R(7)});
  EXPECT_EQ(s.textFont.name, "Courier");
  EXPECT_EQ(s.textFont.size, 12);
  EXPECT_TRUE(s.textFont.bold && s.textFont.italic);
  Call("message_button_font", {R(0), R(9), R(-1), R(0)});
  EXPECT_EQ(s.buttonFont.name, "Arial");
  EXPECT_FALSE(s.buttonFont.bold);
  Call("message_text_charset", {R(2), R(204)});
  Call("message_text_charset", {R(3), R(161)});
  EXPECT_EQ(s.inputFont.charset, 204);
  EXPECT_EQ(s.textFont.charset, 1);
  EXPECT_EQ(s.buttonFont.charset, 1);
}

TEST_F(DialogTest, CharacterSets) {
  struct Case {
    int charset;
    const char* text;
    const char* shown;
  };
  const Case cases[] = {
      {1, "plain \xE2\x82\xAC \xE4\xB8\xAD", "plain \xE2\x82\xAC \xE4\xB8\xAD"},  // default: kept as it is
      {0, "\xC3\x94", "\xC3\x94"},
      {204, "\xC3\x94", "\xD0\xA4"},  // the byte 0xD4 read in the Cyrillic page
      {204, "abc", "abc"},
      {161, "\xC3\xA1", "\xCE\xB1"},  // 0xE1 in the Greek page
      {204, "\xE4\xB8\xAD", "?"},     // not in the system's page
  };
  for (const Case& c : cases) EXPECT_EQ(dialogs::TextForCharset(c.text, c.charset), c.shown) << c.charset << c.text;
  // Typed text read back: each byte of the set's page one character.
  EXPECT_EQ(dialogs::TextFromCharset("\xD0\xA4", 204), "\xC3\x94");
  EXPECT_EQ(dialogs::TextFromCharset("\xD0\xA4", 1), "\xD0\xA4");
  Call("message_text_charset", {R(2), R(204)});
  EXPECT_EQ(Call("get_string", {S("?"), S("\xC3\x94")}, {Key(13)}).str.str(), "\xC3\x94");
}

TEST_F(DialogTest, TheInputStateIsClearedAndNobodyWaitsForEver) {
  Input().KeyDown(65);
  Input().Character('a');
  Input().ButtonDown(1);
  Call("show_message", {S("hi")}, {Key(66), Char('b'), Key(13)});
  EXPECT_FALSE(Input().Held(65));
  EXPECT_FALSE(Input().Held(66));
  EXPECT_EQ(Input().String(), "");
  EXPECT_EQ(Input().LastKey(), 0);
  EXPECT_FALSE(Input().ButtonHeld(1));

  // Without events: the scripted answers in order, then closed as by Escape.
  dialogs::AddScriptedAnswer("Yes");
  dialogs::AddScriptedAnswer("3");
  dialogs::AddScriptedAnswer("17");
  dialogs::AddScriptedAnswer("1");
  dialogs::AddScriptedAnswer("4");  // no such button
  EXPECT_EQ(Call("show_question", {S("q")}).val, 1);
  EXPECT_EQ(Call("show_message_ext", {S("x"), S("a"), S("b"), S("c")}).val, 3);
  EXPECT_EQ(Call("get_integer", {S("n"), R(5)}).val, 17);
  EXPECT_EQ(Call("show_menu_pos", {R(0), R(0), S("a|b"), R(-1)}).val, 1);
  EXPECT_EQ(Call("show_message_ext", {S("x"), S("a"), S("b"), S("c")}).val, 0);
  EXPECT_EQ(Call("show_question", {S("q")}).val, 0);
  EXPECT_EQ(Call("get_integer", {S("n"), R(5)}).val, 5);
  EXPECT_EQ(notices.size(), 7u);
  EXPECT_EQ(notices[0], "message \"q\" [Yes||No] -> 1");
}

TEST_F(DialogTest, ChoosersWithoutAPlayerAreCancelledOrAnswered) {
  struct FilterCase {
    const char* name;
    const char* pattern;
    bool match;
  };
  for (FilterCase c : {FilterCase{"a.TXT", "*.txt", true},
                       {"a.txt.bak", "*.txt", false},
                       {"abc", "a?c", true},
                       {"noext", "*.*", true},
                       {"x", "", false},
                       {"aaaa", "*a*a*a*a*", true}})
    EXPECT_EQ(dialogs::MatchesPattern(c.name, c.pattern), c.match) << c.name << " " << c.pattern;
  auto f = dialogs::ParseFileFilter("Text files|*.txt;*.ini|All|*.*|dangling");
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(f[0].patterns, (std::vector<std::string>{"*.txt", "*.ini"}));

  test::ScratchDir dir;
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  EXPECT_EQ(Call("get_color", {R(255)}).val, -1);
  EXPECT_EQ(Call("get_open_filename", {S("Text|*.txt"), S("x.txt")}).str.str(), "");
  dialogs::AddScriptedAnswer("65280");
  dialogs::AddScriptedAnswer("save.txt");
  dialogs::AddScriptedAnswer(dir.path().string());
  EXPECT_EQ(Call("get_color", {R(255)}).val, 65280);
  EXPECT_EQ(Call("get_save_filename", {S("Text|*.txt"), S("")}).str.str(), (dir.path() / "save.txt").string());
  EXPECT_EQ(std::filesystem::current_path(), dir.path());
  EXPECT_EQ(Call("get_directory", {S("")}).str.str(), dir.path().string());
  // Keys: Escape cancels, Enter takes the proposed name.
  EXPECT_EQ(Call("get_open_filename", {S(""), S("a.txt")}, {Key(27)}).str.str(), "");
  EXPECT_EQ(Call("get_open_filename", {S(""), S("a.txt")}, {Key(13)}).str.str(), (dir.path() / "a.txt").string());
  EXPECT_EQ(Call("get_color", {R(0x123456)}, {Key(13)}).val, 0x123456);
  // Typing replaces the proposed name; a folder typed is entered, not chosen.
  std::filesystem::create_directory(dir / "sub");
  EXPECT_EQ(Call("get_save_filename", {S("Text|*.txt"), S("x.txt")}, Typed("new.txt") + std::vector{Key(13)}).str.str(),
            (dir.path() / "new.txt").string());
  EXPECT_EQ(Call("get_open_filename", {S(""), S("")},
                 Typed("sub") + std::vector{Key(13)} + Typed("in.dat") + std::vector{Key(13)})
                .str.str(),
            (dir.path() / "sub" / "in.dat").string());
  EXPECT_EQ(Call("get_directory", {S("sub")}, {Key(13)}).str.str(), (dir.path() / "sub").string());
  EXPECT_EQ(std::filesystem::current_path(), dir.path());
  std::filesystem::current_path(before);
}

}  // namespace
}  // namespace kestro
