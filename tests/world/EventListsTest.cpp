// Which objects respond to which event through their parents: the lookup of one object's event
// (nearest definition wins, empty events do not hide a parent's, collisions with ancestors of the
// other object) and the lists built for the dispatcher, from a game made by the builder.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "resources/GameResources.h"
#include "resources/GameSettings.h"
#include "runner/Runner.h"
#include "script/CodeError.h"
#include "script/Scripts.h"
#include "support/TestSupport.h"
#include "tools/RunHooks.h"
#include "world/ErrorReport.h"
#include "world/EventLists.h"

namespace kestro {
namespace {

using nlohmann::json;
using Ids = std::vector<int32_t>;

class EventListsTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    test::ResetGameState();
  }
  // An object in the run's list; each event gets one code action, or none when `empty`.
  struct Ev {
    int type, number;
    bool empty = false;
  };
  static int Add(const std::string& name, int parent, const std::vector<Ev>& events) {
    auto o = std::make_unique<CObject>();
    o->o_parent = parent;
    for (const Ev& e : events) {
      CEvent* ev = o->CreateEvent(e.type, e.number);
      if (!e.empty) ev->AddCodeAction(name);
    }
    return Objects().Add(std::move(o), name);
  }
  // Which object's event FindEvent finds (-1 none), told by the event's code text.
  static std::string Found(int objind, int type, int number) {
    RFoundEvent f = FindEvent(Objects(), objind, type, number);
    if (!f) return "none";
    EXPECT_EQ(Objects().Name(f.object), f.event->e_actions[0].act_argstring[0]);
    return Objects().Name(f.object);
  }
};

TEST_F(EventListsTest, LookupTakesTheNearestDefinitionWithActions) {
  const int base = Add("base", -1, {{kEvStep, 0}, {kEvAlarm, 1}, {kEvDraw, 0}});
  const int mid = Add("mid", base, {{kEvStep, 0, true}, {kEvAlarm, 1}});
  const int leaf = Add("leaf", mid, {{kEvDraw, 0, true}});
  EXPECT_EQ(Found(leaf, kEvStep, 0), "base") << "mid's step event has no actions and hides nothing";
  EXPECT_EQ(Found(leaf, kEvAlarm, 1), "mid");
  EXPECT_EQ(Found(leaf, kEvDraw, 0), "base");
  EXPECT_EQ(Found(base, kEvAlarm, 1), "base");
  EXPECT_EQ(Found(leaf, kEvAlarm, 2), "none");
  EXPECT_EQ(Found(leaf, 12, 0), "none");
  EXPECT_EQ(Found(-1, kEvStep, 0), "none");
  EXPECT_EQ(Found(99, kEvStep, 0), "none");
}

// A has a collision event with P; B is a child of P. A meeting B runs A-with-P unless A (or an
// ancestor of A) has one with B; the whole chain of A is searched for each candidate before the
// next ancestor of the other object.
TEST_F(EventListsTest, CollisionLookupTriesTheOtherObjectsAncestors) {
  const int grand = Add("grand", -1, {});
  const int p = Add("p", grand, {});
  const int b = Add("b", p, {});
  const int aBase = Add("a_base", -1, {{kEvCollision, p}});
  const int a = Add("a", aBase, {{kEvCollision, grand}});
  EXPECT_EQ(Found(a, kEvCollision, b), "a_base") << "p is nearer to b than grand";
  EXPECT_EQ(Found(a, kEvCollision, p), "a_base");
  EXPECT_EQ(Found(a, kEvCollision, grand), "a");
  Objects().Get(aBase)->CreateEvent(kEvCollision, b)->AddCodeAction("a_base");
  EXPECT_EQ(Found(a, kEvCollision, b), "a_base");
  Objects().Get(a)->CreateEvent(kEvCollision, b)->AddCodeAction("a");
  EXPECT_EQ(Found(a, kEvCollision, b), "a");
  EXPECT_EQ(Found(a, kEvCollision, 77), "none") << "no such other object: no ancestors to try";
}

TEST_F(EventListsTest, ListSizesFollowTheEventTypes) {
  Triggers().Add(std::make_unique<CTrigger>(), "t0");
  Triggers().Add(nullptr, "");
  Triggers().Add(std::make_unique<CTrigger>(), "t2");
  const int big = Add("big", -1,
                      {{kEvCreate, 0}, {kEvCreate, 1}, {kEvAlarm, 11}, {kEvAlarm, 12}, {kEvStep, 16},
                       {kEvStep, 17}, {kEvKeyboard, 128}, {kEvKeyboard, 129}, {kEvMouse, 61}, {kEvOther, 57},
                       {kEvKeyPress, 0}, {kEvKeyRelease, 1}, {kEvDraw, 0}, {kEvDraw, 1}, {kEvTrigger, 2},
                       {kEvTrigger, 3}, {kEvKeyboard, 1 << 30}});
  BuildEventLists();
  const CEventLists& lists = EventLists();
  const std::pair<int, int> counts[] = {{kEvCreate, 1}, {kEvDestroy, 1}, {kEvAlarm, 12}, {kEvStep, 17},
                                        {kEvCollision, 0}, {kEvKeyboard, 129}, {kEvMouse, 129}, {kEvOther, 129},
                                        {kEvDraw, 1}, {kEvKeyPress, 129}, {kEvKeyRelease, 129}, {kEvTrigger, 3},
                                        {-1, 0}, {12, 0}};
  for (auto [type, count] : counts) {
    EXPECT_EQ(lists.NumberCount(type), count) << type;
    if (count > 0) {
      EXPECT_TRUE(lists.Objects(type, count).empty()) << type;
    }
    EXPECT_TRUE(lists.Objects(type, -1).empty()) << type;
  }
  for (auto [type, number] : std::vector<std::pair<int, int>>{{kEvCreate, 0}, {kEvAlarm, 11}, {kEvStep, 16},
                                                               {kEvKeyboard, 128}, {kEvMouse, 61}, {kEvOther, 57},
                                                               {kEvKeyPress, 0}, {kEvKeyRelease, 1}, {kEvDraw, 0},
                                                               {kEvTrigger, 2}})
    EXPECT_EQ(lists.Objects(type, number), Ids{big}) << type << " " << number;
}

// The lists of a game made by the builder, as the preparation leaves them.
TEST_F(EventListsTest, GameListsThroughParents) {
  test::ScratchDir dir;
  auto code = [](const std::string& text) {
    return json{{"kind", "code"}, {"exec", "code"}, {"arg_kinds", {1}}, {"args", {text}}};
  };
  auto ev = [&](const char* type, const json& number, bool withAction = true) {
    return json{{"type", type}, {"number", number}, {"actions", withAction ? json::array({code("a = 1")}) : json::array()}};
  };
  auto object = [](const json& events, const json& parent = nullptr) {
    return json{{"events", events}, {"parent", parent}}.dump();
  };
  // 0 base: keyboard <Left>, step, collision with wall, alarm 3 without actions
  // 1 child of base: keyboard <Right>, collision with brick, alarm 3 without actions
  // 2 wall; 3 brick, child of wall; 4 watcher: collision with child, trigger trig
  // 5 empty slot; 6 orphan, parent slot 40: keyboard <Left> without actions
  json manifest = {{"objects", {"base", "child", "wall", "brick", "watcher", nullptr, "orphan"}},
                   {"triggers", {"trig"}},
                   {"rooms", {"room0"}}};
  test::WriteProject(dir.path(), manifest,
               {{"objects/base.json", object({ev("keyboard", 37), ev("step", 0), ev("collision", "wall"),
                                              ev("alarm", 3, false)})},
                {"objects/child.json", object({ev("keyboard", 39), ev("collision", "brick"), ev("alarm", 3, false)}, "base")},
                {"objects/wall.json", object(json::array())},
                {"objects/brick.json", object(json::array(), "wall")},
                {"objects/watcher.json", object({ev("collision", "child"), ev("trigger", "trig")})},
                {"objects/orphan.json", object(json::array({ev("keyboard", 37, false)}), 40)},
                {"triggers/trig.json", json{{"condition", "return false"}}.dump()},
                {"rooms/room0.json", "{}"}});
  std::filesystem::path game = test::BuildDataOnly(dir.path());
  test::MessageRecorder messages;
  RunState().tempFolder = dir.path().string();
  CRunner runner(tools::MakeRunHooks(), nullptr);
  ASSERT_TRUE(runner.LoadGameFile(game.string()));
  ASSERT_TRUE(runner.PrepareGame());
  EXPECT_TRUE(messages.messages.empty());

  const CEventLists& lists = EventLists();
  EXPECT_EQ(lists.Objects(kEvKeyboard, 37), (Ids{0, 1}));
  EXPECT_EQ(lists.Objects(kEvKeyboard, 39), (Ids{1}));
  EXPECT_EQ(lists.Objects(kEvStep, 0), (Ids{0, 1}));
  EXPECT_TRUE(lists.Objects(kEvStep, 1).empty());
  EXPECT_TRUE(lists.Objects(kEvAlarm, 3).empty()) << "events without actions do not count";
  EXPECT_EQ(lists.Objects(kEvTrigger, 0), (Ids{4}));
  EXPECT_TRUE(lists.Objects(kEvCollision, 2).empty()) << "collisions have their own lists";

  EXPECT_EQ(lists.CollisionObjects(2), (Ids{0, 1})) << "wall";
  EXPECT_EQ(lists.CollisionObjects(3), (Ids{0, 1})) << "brick, a child of wall";
  EXPECT_EQ(lists.CollisionObjects(1), (Ids{4})) << "child";
  EXPECT_TRUE(lists.CollisionObjects(0).empty()) << "base: watcher's event is with its child only";
  EXPECT_TRUE(lists.CollisionObjects(4).empty());
  EXPECT_TRUE(lists.CollisionObjects(5).empty());
  EXPECT_TRUE(lists.CollisionObjects(40).empty());
  const std::vector<RCollisionPair> pairs = {{0, 2}, {0, 3}, {1, 2}, {1, 3}, {1, 4}};
  EXPECT_EQ(lists.CollisionPairs(), pairs);

  EXPECT_EQ(FindEvent(Objects(), 1, kEvCollision, 3).object, 1) << "child's own event with brick";
  EXPECT_EQ(FindEvent(Objects(), 1, kEvCollision, 2).object, 0) << "base's event with wall";
  EXPECT_EQ(FindEvent(Objects(), 0, kEvCollision, 3).object, 0) << "base's event with wall, for a brick";
}

}  // namespace
}  // namespace kestro
