// Games made in the model and played step by step by the main loop on a manual clock: objects
// with code events, time lines with code moments, paths, triggers and one room. Debug messages
// and built-in errors collect in out_ (see WorldFixture).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "graphics/Clock.h"
#include "runner/MainLoop.h"
#include "script/Code.h"
#include "support/WorldFixture.h"
#include "world/EventLists.h"
#include "world/Events.h"
#include "world/TimeLines.h"

namespace kestro::test {

class StepFixture : public WorldFixture {
 protected:
  void SetUp() override {
    WorldFixture::SetUp();
    StepClock().SetSource(&clock_);
  }
  void TearDown() override {
    StepClock().SetSource(nullptr);
    WorldFixture::TearDown();
  }
  static CAction CodeAction(const std::string& code) {
    CAction a;
    a.act_exetype = kExeCode;
    a.act_codecode = std::make_shared<CCode>(code, CodeKind::kProgram);
    return a;
  }
  int Object(const std::string& name) {
    Objects().Add(std::make_unique<CObject>(), name);
    return Objects().Count() - 1;
  }
  void On(int obj, int type, int numb, const std::string& code) {
    CEvent* ev = Objects().Get(obj)->CreateEvent(type, numb);
    ev->e_actions.push_back(CodeAction(code));
    ev->e_number = int(ev->e_actions.size());
  }
  int TimeLine(const std::string& name, const std::vector<std::pair<int, std::string>>& moments) {
    auto tl = std::make_unique<CTimeLine>();
    for (const auto& [step, code] : moments) {
      tl->AddMoment(step);
      CEvent& ev = tl->s_event[size_t(tl->Find(step))];
      ev.e_actions.push_back(CodeAction(code));
      ev.e_number = int(ev.e_actions.size());
    }
    TimeLines().Add(std::move(tl), name);
    return TimeLines().Count() - 1;
  }
  int Path(const std::string& name, std::vector<RWayPoint> points, int kind = 0, bool closed = false) {
    auto p = std::make_unique<CPath>();
    p->i_kind = kind;
    p->i_closed = closed;
    p->SetPoints(std::move(points));
    Paths().Add(std::move(p), name);
    return Paths().Count() - 1;
  }
  int Trigger(const std::string& name, const std::string& condition, int moment) {
    auto t = std::make_unique<CTrigger>();
    t->i_name = name;
    t->i_condition = condition;
    t->i_moment = moment;
    Triggers().Add(std::move(t), "");
    return Triggers().Count() - 1;
  }
  // One room holding one instance of each object given.
  void Room(const std::vector<int>& objects) {
    auto r = std::make_unique<CRoom>();
    int id = 100001;
    for (int o : objects) r->r_placed.push_back({0, 0, o, id++, ""});
    Rooms().Add(std::move(r), "rm");
    RoomOrder().push_back(Rooms().Count() - 1);
  }
  // Compiles the code of every event, moment and trigger once all resources exist, then plays
  // `steps` steps (the game ends after them) with the main loop's `hooks`.
  std::string Play(int64_t steps, CLoopHooks hooks = {}) {
    StartWorld();
    if (actionErrors_) InstallErrorReporting();
    auto compile = [](CEvent& ev) {
      for (CAction& a : ev.e_actions) EXPECT_TRUE(a.act_codecode->Compile()) << a.act_codecode->CompileError();
    };
    for (int o = 0; o < Objects().Count(); ++o)
      for (auto& events : Objects().Get(o)->o_events)
        for (auto& [numb, ev] : events) compile(ev);
    for (int t = 0; t < TimeLines().Count(); ++t)
      if (CTimeLine* tl = TimeLines().Get(t))
        for (CEvent& ev : tl->s_event) compile(ev);
    EXPECT_TRUE(CompileGameTriggers());
    CMainLoop loop(hooks);
    loop.RunGame(steps);
    return out_;
  }
  CManualClock clock_;
  // Errors of built-in functions and code go to the error window with their action header
  // instead of out_.
  bool actionErrors_ = false;
};

}  // namespace kestro::test
