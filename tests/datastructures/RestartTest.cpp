// The containers belong to the run: a game restart keeps them (a list made before the restart is
// still there after it, and new ids come after it).
#include <gtest/gtest.h>

#include "datastructures/DataStructures.h"
#include "world/StepFixture.h"

namespace kestro {
namespace {

class DataStructuresInAGame : public test::StepFixture {
 protected:
  void SetUp() override {
    StepFixture::SetUp();
    ResetDataStructures();
  }
  void TearDown() override {
    StepFixture::TearDown();
    ResetDataStructures();
  }
};

TEST_F(DataStructuresInAGame, ARestartKeepsThem) {
  const int obj = Object("obj");
  Room({obj});
  On(obj, kEventCreate, 0,
     "l = ds_list_create(); if l > 0 ds_list_add(0, l) else ds_list_add(l, \"first\");"
     "show_debug_message(string(l) + \" \" + string(ds_list_size(0)))");
  On(obj, kEventStep, 0, "if ds_list_size(0) < 2 game_restart() else game_end()");
  EXPECT_EQ(Play(5), "0 1;1 2;");
  ASSERT_NE(DataStructures().lists.Get(1), nullptr);  // and the game's end leaves them to the run
}

}  // namespace
}  // namespace kestro
