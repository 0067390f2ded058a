// Screen transitions through a recording device: what a frame of a kind draws at known progress
// (wipes, slides, pushes, interlacing, fades), the capture and play cycle with its frame count
// and the display refresh it waits for, kinds defined by scripts, and the table's limits.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "graphics/Clock.h"
#include "graphics/FakeDevice.h"
#include "graphics/Graphics.h"
#include "graphics/Surfaces.h"
#include "graphics/Transition.h"
#include "resources/GameResources.h"
#include "resources/GameSettings.h"
#include "script/Code.h"
#include "script/Executor.h"
#include "script/Scripts.h"
#include "support/WorldFixture.h"
#include "world/ErrorReport.h"

namespace kestro::test {
namespace {

class CountingDevice : public FakeDevice {
 public:
  bool Present(const RPixelRect& s, const RPixelRect& d, int32_t c) override {
    ++presents;
    return FakeDevice::Present(s, d, c);
  }
  int presents = 0;
};

// A drawn quad as the picture it came from and the rectangle it covers.
struct RQuad {
  char picture;  // 'A', 'B' or '?'
  int x, y, w, h;
  int alpha;
  bool operator==(const RQuad&) const = default;
};
std::ostream& operator<<(std::ostream& o, const RQuad& q) {
  return o << q.picture << "(" << q.x << "," << q.y << " " << q.w << "x" << q.h << " a" << q.alpha << ")";
}

class Transition : public WorldFixture {
 protected:
  void SetUp() override {
    WorldFixture::SetUp();
    auto s = std::make_unique<CScript>();
    s->s_text =
        "show_debug_message(string(argument0 != argument1) + ' ' + string(argument2) + 'x' + "
        "string(argument3) + ' ' + string(argument4));";
    Scripts().Add(std::move(s), "scr_fade");
    auto bad = std::make_unique<CScript>();
    bad->s_text = "x = argument4 + undefined_thing;";
    Scripts().Add(std::move(bad), "scr_bad");
    ResetErrorReporting();
    StartWorld();
    GameSettings().writeErrorLog = false;
    ASSERT_TRUE(CompileGameScripts());
    Graphics().Attach(&dev, &window);
    Graphics().Start(false);
    Graphics().SetDeviceRegion(kW, kH);
    StepClock().SetSource(&clock);
    Transitions().Reset();
  }
  void TearDown() override {
    Transitions().Reset();
    StepClock().SetSource(nullptr);
    Surfaces().FreeAll();
    Graphics().Stop();
    Graphics().Attach(nullptr, nullptr);
    ResetErrorReporting();
    WorldFixture::TearDown();
  }
  // The quads of one frame of `kind` at progress p.
  std::vector<RQuad> Frame(int kind, double p, int steps = 80) {
    const int a = Surfaces().Create(kW, kH), b = Surfaces().Create(kW, kH);
    const uint32_t ha = Graphics().Texture(Surfaces().Get(a)->tex)->handle;
    const uint32_t hb = Graphics().Texture(Surfaces().Get(b)->tex)->handle;
    dev.calls.clear();
    dev.clears.clear();
    DrawTransitionFrame(kind, p, a, b, kW, kH, steps);
    std::vector<RQuad> out;
    for (const FakeDevice::Call& c : dev.calls) {
      if (c.v.size() != 4) continue;
      const RVertex& tl = c.v[0];
      const RVertex& br = c.v[2];
      out.push_back(RQuad{c.texture == ha   ? 'A'
                          : c.texture == hb ? 'B'
                                            : '?',
                          int(std::lround(tl.x + 0.5)), int(std::lround(tl.y + 0.5)), int(std::lround(br.x - tl.x)),
                          int(std::lround(br.y - tl.y)), int(tl.colour >> 24)});
    }
    Surfaces().Free(a);
    Surfaces().Free(b);
    return out;
  }
  std::string Run(const std::string& text) {
    out_.clear();
    CCode code(text, CodeKind::kProgram);
    EXPECT_TRUE(code.Compile()) << code.CompileError();
    CInstance self;
    RValue r;
    ExecuteCode(&self, &self, code, r);
    return out_;
  }
  static constexpr int kW = 64, kH = 48;
  CountingDevice dev;
  CWindowState window;
  CManualClock clock;
};

TEST_F(Transition, BuiltinKindsDrawTheirFrames) {
  struct Case {
    int kind;
    double p;
    int steps;
    std::vector<RQuad> quads;
  };
  const Case cases[] = {
      // Wipes: a growing part of B over A.
      {1, 0.5, 80, {{'A', 0, 0, 64, 48, 255}, {'B', 0, 0, 32, 48, 255}}},
      {2, 0.25, 80, {{'A', 0, 0, 64, 48, 255}, {'B', 48, 0, 16, 48, 255}}},
      {4, 0.5, 80, {{'A', 0, 0, 64, 48, 255}, {'B', 0, 24, 64, 24, 255}}},
      // From the centre: nothing of B at 0, all of it at 1.
      {5, 0, 80, {{'A', 0, 0, 64, 48, 255}}},
      {5, 0.5, 80, {{'A', 0, 0, 64, 48, 255}, {'B', 16, 12, 32, 24, 255}}},
      {5, 1, 80, {{'A', 0, 0, 64, 48, 255}, {'B', 0, 0, 64, 48, 255}}},
      // Slides over A and pushes that move A out.
      {7, 0.25, 80, {{'A', 0, 0, 64, 48, 255}, {'B', 48, 0, 64, 48, 255}}},
      {8, 0.5, 80, {{'A', 0, 0, 64, 48, 255}, {'B', 0, -24, 64, 48, 255}}},
      {14, 0.5, 80, {{'A', 32, 0, 64, 48, 255}, {'B', -32, 0, 64, 48, 255}}},
      {17, 0.25, 80, {{'A', 0, -12, 64, 48, 255}, {'B', 0, 36, 64, 48, 255}}},
      // Interlaced from the left, 8 steps: K = 2 of g = 4, stripes 0..2 of width 8 every 16.
      {10,
       0.25,
       8,
       {{'A', 0, 0, 64, 48, 255}, {'B', 0, 0, 8, 48, 255}, {'B', 16, 0, 8, 48, 255}, {'B', 32, 0, 8, 48, 255}}},
      // ... past the half a wipe of (6 - 4) / 4 covers A, then every stripe.
      {10,
       0.75,
       8,
       {{'A', 0, 0, 64, 48, 255},
        {'B', 0, 0, 32, 48, 255},
        {'B', 0, 0, 8, 48, 255},
        {'B', 16, 0, 8, 48, 255},
        {'B', 32, 0, 8, 48, 255},
        {'B', 48, 0, 8, 48, 255},
        {'B', 64, 0, 8, 48, 255}}},
      // From the bottom, K = 1: stripes from g - K = 3 on.
      {13, 0.125, 8, {{'A', 0, 0, 64, 48, 255}, {'B', 0, 36, 64, 6, 255}, {'B', 0, 48, 64, 6, 255}}},
      {12, 1, 8, {{'A', 0, 0, 64, 48, 255}, {'B', 0, 0, 64, 48, 255}}},
      // Fades: B over A with alpha p; 21 through black (A with alpha 0 at the middle).
      {20, 0.25, 80, {{'A', 0, 0, 64, 48, 255}, {'B', 0, 0, 64, 48, 64}}},
      {21, 0.25, 80, {{'A', 0, 0, 64, 48, 128}}},
      {21, 0.5, 80, {}},
      {21, 0.75, 80, {{'B', 0, 0, 64, 48, 128}}},
      // Kinds that do not exist draw nothing.
      {0, 0.5, 80, {}},
      {22, 0.5, 80, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Frame(c.kind, c.p, c.steps), c.quads) << "kind " << c.kind << " p " << c.p;
  // Kind 21 clears to black first; the wipe's part comes from the right place of B.
  Frame(21, 0.5);
  EXPECT_EQ(dev.clears.size(), 1u);
  Frame(2, 0.25);
  ASSERT_EQ(dev.calls.size(), 2u);
  EXPECT_FLOAT_EQ(dev.calls[1].v[0].u, 48.0f / 64);
}

TEST_F(Transition, TurningKindsGrowFromTheCentre) {
  // At p = 1 (a whole turn) B is back upright over the region; at p = 0.25 it is a quarter of its
  // size, turned by 180 degrees about the centre.
  std::vector<RQuad> full = Frame(18, 1);
  ASSERT_EQ(full.size(), 2u);
  EXPECT_EQ(full[1], (RQuad{'B', 0, 0, 64, 48, 255}));
  Frame(19, 0.25);
  ASSERT_EQ(dev.calls.size(), 2u);
  const std::vector<RVertex>& v = dev.calls[1].v;
  float cx = 0, cy = 0;
  for (const RVertex& p : v) cx += p.x / 4, cy += p.y / 4;
  // The centre of the region, with the half-pixel offset turned along with the quad.
  EXPECT_NEAR(cx, 32.5, 0.01);
  EXPECT_NEAR(cy, 24.5, 0.01);
  EXPECT_NEAR(std::fabs(v[0].x - v[1].x), 16, 0.01);  // turned half-way: the top edge still horizontal
}

TEST_F(Transition, CaptureAndPlayShowStepsPlusOneFramesAtTheRefresh) {
  struct Case {
    int steps;  // as the game sets it
    int frames;
  };
  for (const Case c : {Case{80, 81}, Case{2, 3}, Case{0, 2}, Case{-5, 2}}) {
    Run("transition_steps = " + std::to_string(c.steps) + ";");
    dev.presents = 0;
    const int64_t start = StepClock().MicrosecondClock();
    Transitions().Capture(1);
    ASSERT_TRUE(Transitions().Captured());
    // The new room's first drawing goes into the new picture.
    EXPECT_EQ(Surfaces().Target(), Transitions().NewPicture());
    Transitions().Play();
    EXPECT_EQ(dev.presents, c.frames) << c.steps;
    // Every frame waits for a refresh of the display (60 Hz without a mode).
    EXPECT_GE(StepClock().MicrosecondClock() - start, int64_t(c.frames - 1) * 16666) << c.steps;
    EXPECT_FALSE(Transitions().Captured());
    EXPECT_EQ(Surfaces().Target(), -1);
    EXPECT_FALSE(Surfaces().Exists(0));
  }
  // A kind that does not exist captures nothing and only presents the frame.
  dev.presents = 0;
  Transitions().Capture(99);
  EXPECT_FALSE(Transitions().Captured());
  EXPECT_EQ(Surfaces().Target(), -1);
  Transitions().Play();
  EXPECT_EQ(dev.presents, 1);
  // A capture never played gives the screen back and frees its pictures.
  Transitions().Capture(20);
  Transitions().Drop();
  EXPECT_EQ(Surfaces().Target(), -1);
  EXPECT_FALSE(Surfaces().Exists(0));
  EXPECT_FALSE(Surfaces().Exists(1));
  // Without pictures (the device refuses) the transition is dropped: kind -1.
  dev.refuse = true;
  Transitions().Capture(1);
  EXPECT_EQ(Transitions().PendingKind(), -1);
  EXPECT_EQ(Surfaces().Target(), -1);
  dev.refuse = false;
}

TEST_F(Transition, KindsDefinedByScripts) {
  EXPECT_EQ(Run("show_debug_message(transition_exists(3)); show_debug_message(transition_exists(30));"
                "show_debug_message(transition_define(30, 'scr_missing'));"
                "show_debug_message(transition_define(0, 'scr_fade')); show_debug_message(transition_exists(0));"
                "show_debug_message(transition_define(1000000, 'scr_fade'));"
                "show_debug_message(transition_define(30, 'scr_fade')); show_debug_message(transition_exists(30));"
                "show_debug_message(transition_define(3, 'scr_fade')); show_debug_message(transition_exists(3));"
                "show_debug_message(transition_define(31, 'draw_text')); show_debug_message(transition_exists(31));"),
            "1;0;0;1;0;1;1;1;1;1;1;1;");
  // The table grows in blocks; kinds outside 1..999999 are never stored.
  EXPECT_EQ(Transitions().TableSize(), CTransitions::kBlock);
  Run("transition_define(2500, 'scr_fade');");
  EXPECT_EQ(Transitions().TableSize(), 3 * CTransitions::kBlock);
  EXPECT_EQ(Transitions().UserKind(1000000), nullptr);

  // Kind 3 now runs the script (with both pictures, the size and p) instead of the top wipe;
  // nothing is drawn for it beforehand. A built-in function's kind runs nothing.
  Run("transition_steps = 2;");
  out_.clear();
  Transitions().Capture(3);
  dev.calls.clear();
  Transitions().Play();
  EXPECT_EQ(out_, "1 64x48 0;1 64x48 0.50;1 64x48 1;");
  EXPECT_TRUE(dev.calls.empty());
  out_.clear();
  EXPECT_EQ(Frame(31, 0.5), std::vector<RQuad>{});
  EXPECT_EQ(out_, "");

  // A failing script: the error names the function, once per frame, and the animation goes on.
  Run("transition_define(32, 'scr_bad');");
  dev.presents = 0;
  Transitions().Capture(32);
  Transitions().Play();
  EXPECT_EQ(dev.presents, 3);
  EXPECT_EQ(ErrorState().errorLast.rfind("ERROR in transition function scr_bad\r", 0), 0u) << ErrorState().errorLast;
}

}  // namespace
}  // namespace kestro::test
