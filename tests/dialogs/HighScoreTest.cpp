// The high-score table: its stored form, insertion, the functions and the window answered with
// injected keys. The registry is a scratch store of the test's own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/HighScores.h"
#include "dialogs/MessageDialog.h"
#include "dialogs/ModalLoop.h"
#include "files/RegistryStore.h"
#include "io/RunState.h"
#include "script/builtins/FunctionRegistry.h"
#include "support/TestSupport.h"
#include "support/Values.h"
#include "world/GameState.h"

namespace kestro {
namespace {

using test::R;
using test::S;

class HighScoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files::Registry().UseFolder(folder_.path().string());
    RunState().gameId = 4242;
    dialogs::HighScoreLook() = dialogs::RHighScoreLook();
    dialogs::SetDialogEvents(&events_);
  }
  void TearDown() override {
    dialogs::SetDialogEvents(nullptr);
    files::Registry().Close();
    files::Registry().UseFolder(files::CRegistryStore::DefaultFolder());
    RunState().gameId = 0;
    GameState().score = 0;
  }
  RValue Call(const char* name, std::vector<RValue> args, std::vector<RInputEvent> events = {}) {
    events_ = dialogs::CQueuedDialogEvents(std::move(events));
    return test::CallBuiltin(name, args);
  }
  std::string Table() {
    std::string t;
    for (int i = 1; i <= 10; ++i)
      t += Call("highscore_name", {R(i)}).str.str() + " " + test::Show(Call("highscore_value", {R(i)})) + ";";
    return t;
  }
  static std::string Nobody(int from) {
    std::string t;
    for (int i = from; i <= 10; ++i) t += "<nobody> 0;";
    return t;
  }
  test::ScratchDir folder_;
  dialogs::CQueuedDialogEvents events_;
};

TEST_F(HighScoreTest, TheStoredForm) {
  const std::string one = dialogs::EncodeScoreEntry("a", 1000, 7);
  EXPECT_EQ(one.size(), 34u);
  EXPECT_EQ(one.find_first_not_of("ABCDEFGHIJKLMNOP"), std::string::npos);
  EXPECT_EQ(one, dialogs::EncodeScoreEntry("a", 1000, 7 + 256));  // only the id's low byte counts
  struct Case {
    std::string name;
    int32_t score;
    int64_t id;
    std::string back;
  };
  const Case cases[] = {
      {"a", 1000, 7, "a"},
      {"", -5, 1, ""},
      {"Zo\xC3\xAB", INT32_MIN, 300, "Zo\xC3\xAB"},  // characters up to 255 come back
      {"\xE2\x82\xAC", 1, 9, "\xC2\xAC"},            // the euro sign U+20AC keeps its low byte
      {std::string(300, 'x'), 3, 5, std::string(240, 'x')},
  };
  for (const Case& c : cases) {
    std::string name;
    int32_t score = 0;
    dialogs::DecodeScoreEntry(dialogs::EncodeScoreEntry(c.name, c.score, c.id), c.id, name, score);
    EXPECT_EQ(name, c.back) << c.name;
    EXPECT_EQ(score, c.score) << c.name;
  }
  // Anything decodes to something.
  std::string name;
  int32_t score = 7;
  dialogs::DecodeScoreEntry("zz", 1, name, score);
  EXPECT_EQ(name, "");
}

TEST_F(HighScoreTest, InsertingScores) {
  EXPECT_EQ(Table(), Nobody(1));
  Call("highscore_add", {S("ann"), R(50)});
  EXPECT_EQ(Table(), "ann 50;" + Nobody(2));
  Call("highscore_add", {S("bob"), R(60)});
  Call("highscore_add", {S("cy"), R(50)});  // equal: below the one there
  Call("highscore_add", {S("di"), R(40)});
  Call("highscore_add", {S("ed"), R(50)});
  EXPECT_EQ(Table(), "bob 60;ann 50;cy 50;ed 50;di 40;" + Nobody(6));
  Call("highscore_add", {S("zero"), R(0)});  // nothing is below 0
  EXPECT_EQ(Table(), "bob 60;ann 50;cy 50;ed 50;di 40;" + Nobody(6));
  EXPECT_EQ(Call("highscore_value", {R(0)}).val, 0);
  EXPECT_EQ(Call("highscore_name", {R(11)}).str.str(), "<nobody>");
  Call("highscore_set_strings", {S("Best"), S("-"), S("Esc")});
  Call("highscore_clear", {});
  EXPECT_EQ(Call("highscore_name", {R(1)}).str.str(), "-");
  // Another game's table is another key.
  RunState().gameId = 4243;
  EXPECT_EQ(Call("highscore_value", {R(1)}).val, 0);
}

TEST_F(HighScoreTest, TheWindowAndTheNameDialog) {
  Call("highscore_add", {S("ann"), R(50)});
  // The player types a name at the new rank; Backspace takes the last character back.
  Call("highscore_show", {R(70)},
       {{RInputEvent::kChar, 'J'},
        {RInputEvent::kChar, 'o'},
        {RInputEvent::kChar, 'x'},
        {RInputEvent::kChar, 8},
        {RInputEvent::kKeyDown, 13}});
  EXPECT_EQ(Call("highscore_name", {R(1)}).str.str(), "Jo");
  EXPECT_EQ(Call("highscore_value", {R(2)}).val, 50);
  // Without a place nothing changes; closed by the window's close button.
  Call("highscore_show", {R(0)}, {{RInputEvent::kClose}});
  EXPECT_EQ(Call("highscore_name", {R(3)}).str.str(), "<nobody>");

  // highscore_add_current asks with the input dialog; a score equal to rank 10's asks but adds nothing.
  GameState().score = 55;
  Call("highscore_add_current", {}, {{RInputEvent::kChar, 'K'}, {RInputEvent::kKeyDown, 13}});
  EXPECT_EQ(Call("highscore_name", {R(2)}).str.str(), "K");
  for (int i = 0; i < 8; ++i) Call("highscore_add", {S("f"), R(100)});
  EXPECT_EQ(Call("highscore_value", {R(10)}).val, 55);
  Call("highscore_add_current", {}, {{RInputEvent::kChar, 'L'}, {RInputEvent::kKeyDown, 13}});
  EXPECT_EQ(Call("highscore_name", {R(10)}).str.str(), "K");
  GameState().score = 54;
  Call("highscore_add_current", {}, {{RInputEvent::kChar, 'M'}, {RInputEvent::kKeyDown, 13}});
  EXPECT_EQ(Call("highscore_name", {R(10)}).str.str(), "K");
}

}  // namespace
}  // namespace kestro
