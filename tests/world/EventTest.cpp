// Finding events through parents and performing action lists: blocks, questions with else,
// repeat, exit, applies-to, code actions with their arguments, event_inherited.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "resources/GameResources.h"
#include "support/WorldFixture.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Executor.h"
#include "script/builtins/BuiltinError.h"
#include "world/ErrorReport.h"
#include "world/EventLists.h"
#include "world/Events.h"
#include "world/GameScripts.h"
#include "world/World.h"
#include "world/WorldHost.h"

namespace kestro {
namespace {

CAction Code(const std::string& text, bool question = false) {
  CAction a;
  a.act_exetype = kExeCode;
  a.act_isquestion = question;
  a.act_codecode = std::make_shared<CCode>(text, CodeKind::kProgram);
  EXPECT_TRUE(a.act_codecode->Compile()) << text;
  return a;
}
CAction Marker(int kind) {
  CAction a;
  a.act_kind = kind;
  return a;
}

// Objects: 0 obj_grand, 1 obj_parent (child of 0), 2 obj_child (child of 1), 3 obj_a, 4 obj_other.
class Events_ : public test::WorldFixture {
 protected:
  void SetUp() override {
    WorldFixture::SetUp();
    const int parents[] = {-1, 0, 1, -1, -1};
    const char* names[] = {"obj_grand", "obj_parent", "obj_child", "obj_a", "obj_other"};
    for (int k = 0; k < 5; ++k) {
      auto o = std::make_unique<CObject>();
      o->o_parent = parents[k];
      Objects().Add(std::move(o), names[k]);
    }
    StartWorld();
  }
  void Define(int obj, int type, int numb, std::vector<CAction> actions) {
    CEvent* ev = Objects().Get(obj)->CreateEvent(type, numb);
    ev->e_actions = std::move(actions);
    ev->e_number = int(ev->e_actions.size());
  }
  CInstance* Add(int obj) { return World().Room().AddInstance(obj, 0, 0, World().lastInstanceId); }
  std::string Perform(CInstance* inst, int type, int numb, CInstance* other = nullptr) {
    out_.clear();
    PerformInstanceEvent(inst, other ? other : inst, type, numb);
    return out_;
  }
  void Run(const std::string& text) {
    CCode code(text, CodeKind::kProgram);
    ASSERT_TRUE(code.Compile());
    CInstance temporary;
    RValue r;
    ASSERT_TRUE(ExecuteCode(&temporary, &temporary, code, r));
  }
};

TEST_F(Events_, ParentsAndInheritance) {
  Define(0, kEventStep, 0, {Code("show_debug_message(\"grand\")")});
  Define(1, kEventStep, 0, {Code("show_debug_message(\"parent\"); event_inherited()")});
  Define(2, kEventStep, 0, {Code("show_debug_message(\"child\"); event_inherited()")});
  EXPECT_EQ(Perform(Add(2), kEventStep, 0), "child;parent;grand;");
  // A child's event without actions does not hide its parent's.
  Define(2, kEventStep, 0, {});
  EXPECT_EQ(Perform(Add(2), kEventStep, 0), "parent;grand;");
  // The defining object is the one found up the chain; the context is restored after the event.
  Define(1, kEventDraw, 0, {Code("x = 1")});
  EXPECT_EQ(FindEvent(Objects(), 2, kEventDraw, 0).object, 1);
  const REventContext before = EventContext();
  Perform(Add(2), kEventDraw, 0);
  EXPECT_EQ(EventContext().objectIndex, before.objectIndex);
}

TEST_F(Events_, CollisionsWithAnAncestorOfTheOther) {
  Define(3, kEventCollision, 1, {Code("show_debug_message(\"with parent \" + string(other.object_index))")});
  CInstance* a = Add(3);
  CInstance* b = Add(2);  // a grandchild... of obj_grand through obj_parent
  EXPECT_EQ(Perform(a, kEventCollision, 2, b), "with parent 2;");
  Define(3, kEventCollision, 2, {Code("show_debug_message(\"with child\")")});
  EXPECT_EQ(Perform(a, kEventCollision, 2, b), "with child;");
  EXPECT_EQ(Perform(a, kEventCollision, 4, b), "");
}

TEST_F(Events_, BlocksQuestionsElseRepeatAndExit) {
  // if (q) { yes; yes2 } else { no } after: exactly one block runs.
  Define(3, kEventStep, 0,
         {Code("return global.q", true), Marker(kActBegin), Code("show_debug_message(\"yes\")"),
          Code("show_debug_message(\"yes2\")"), Marker(kActEnd), Marker(kActElse), Marker(kActBegin),
          Code("show_debug_message(\"no\")"), Marker(kActEnd), Code("show_debug_message(\"after\")")});
  CInstance* a = Add(3);
  Run("global.q = 1");
  EXPECT_EQ(Perform(a, kEventStep, 0), "yes;yes2;after;");
  Run("global.q = 0.4");
  EXPECT_EQ(Perform(a, kEventStep, 0), "no;after;");
  // A question inverted, on an object with no instances (true), and on three where one says no.
  CAction notq = Code("return global.q", true);
  notq.act_isnot = true;
  CAction none = Code("return 0", true);
  none.act_useapplyto = true;
  none.act_who = 4;  // obj_other: no instances yet
  CAction each = Code("show_debug_message(id); return id != global.stop", true);
  each.act_useapplyto = true;
  each.act_who = 4;
  Define(3, kEventDraw, 0,
         {notq, Code("show_debug_message(\"not\")"), none, Code("show_debug_message(\"vacuous\")"), each,
          Code("show_debug_message(\"all\")")});
  EXPECT_EQ(Perform(a, kEventDraw, 0), "not;vacuous;all;");  // no obj_other: asks nobody, true
  CInstance* o1 = Add(4);
  CInstance* o2 = Add(4);
  Add(4);
  Run("global.stop = " + std::to_string(o2->i_id));
  // Now `none` is false for the first obj_other; `each` stops at the first that says no.
  EXPECT_EQ(Perform(a, kEventDraw, 0), "not;" + std::to_string(o1->i_id) + ";" + std::to_string(o2->i_id) + ";");
  // repeat 2.5 runs its action twice; an exit inside a repeated block ends the whole event.
  CAction rep = Marker(kActRepeat);
  rep.act_argumentcount = 1;
  rep.act_argtype[0] = -1;
  rep.act_argvalue[0] = RValue::Real(2.5);
  Define(3, kEventAlarm, 0, {rep, Code("show_debug_message(\"r\")"), Code("show_debug_message(\"end\")")});
  EXPECT_EQ(Perform(a, kEventAlarm, 0), "r;r;end;");
  Define(3, kEventAlarm, 1,
         {rep, Marker(kActBegin), Code("show_debug_message(\"once\")"), Marker(kActExit), Marker(kActEnd),
          Code("show_debug_message(\"never\")")});
  EXPECT_EQ(Perform(a, kEventAlarm, 1), "once;");
}

TEST_F(Events_, AppliesToAndActionArguments) {
  CAction toOther = Code("show_debug_message(object_index)");
  toOther.act_useapplyto = true;
  toOther.act_who = kDesignatorOther;
  CAction toAll = Code("show_debug_message(argument0 + argument1)");
  toAll.act_useapplyto = true;
  toAll.act_who = 1;  // obj_parent and its descendants
  toAll.act_argumentcount = 2;
  toAll.act_argtype[0] = -1;
  toAll.act_argvalue[0] = RValue::Real(40);
  toAll.act_argcode[1] = std::make_shared<CCode>("object_index", CodeKind::kExpression);
  ASSERT_TRUE(toAll.act_argcode[1]->Compile());
  Define(3, kEventStep, 0, {toOther, toAll, Code("show_debug_message(argument0)")});
  Add(1);
  Add(2);
  Add(4);
  // Arguments are evaluated per instance; the action's arguments do not stay in argument0.
  EXPECT_EQ(Perform(Add(3), kEventStep, 0, World().Room().Active()[2].get()), "4;41;42;0;");
}

TEST_F(Events_, APendingChangeStopsTheEvent) {
  Define(3, kEventStep, 0, {Code("show_debug_message(1)")});
  Define(3, kEventStep, 1, {Code("show_debug_message(1)"), Code("show_debug_message(2)")});
  CInstance* a = Add(3);
  World().pendingChange = kChangeEndGame;
  EXPECT_EQ(Perform(a, kEventStep, 1), "");
  World().pendingChange = kNoChange;
  EXPECT_EQ(Perform(a, kEventStep, 1), "1;2;");
}

}  // namespace
}  // namespace kestro
