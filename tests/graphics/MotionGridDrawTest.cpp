// mp_grid_draw through the drawing layer: one filled rectangle per cell, red where forbidden and
// green elsewhere, checked against a recording device.
#include <gtest/gtest.h>

#include "graphics/FakeDevice.h"
#include "graphics/Graphics.h"
#include "script/Code.h"
#include "script/Executor.h"
#include "support/WorldFixture.h"
#include "world/MotionPlanning.h"

namespace kestro::test {
namespace {

class MotionGridDraw : public WorldFixture {
 protected:
  void SetUp() override {
    WorldFixture::SetUp();
    ClearGrids();
    StartWorld();
    Graphics().Attach(&dev, &window);
    Graphics().Start(false);
    dev.calls.clear();
  }
  void TearDown() override {
    Graphics().Stop();
    Graphics().Attach(nullptr, nullptr);
    ClearGrids();
    WorldFixture::TearDown();
  }
  void Run(const std::string& text) {
    CCode code(text, CodeKind::kProgram);
    ASSERT_TRUE(code.Compile()) << code.CompileError();
    CInstance self;
    RValue r;
    ASSERT_TRUE(ExecuteCode(&self, &self, code, r));
  }
  FakeDevice dev;
  CWindowState window;
};

TEST_F(MotionGridDraw, EveryCellAsAFilledRectangle) {
  Run("g = mp_grid_create(10, 20, 2, 3, 16, 8); mp_grid_add_cell(g, 1, 2); mp_grid_draw(g); mp_grid_draw(g + 1)");
  ASSERT_EQ(dev.calls.size(), 6u);
  const uint32_t red = VertexColour(0x0000FF, 1), green = VertexColour(0x008000, 1);
  for (size_t k = 0; k < dev.calls.size(); ++k) {
    const int h = int(k) / 3, v = int(k) % 3;
    const auto& call = dev.calls[k];
    ASSERT_EQ(call.v.size(), 4u);
    EXPECT_EQ(call.v[0].colour, h == 1 && v == 2 ? red : green) << k;
    EXPECT_FLOAT_EQ(call.v[0].x, 10.0f + 16.0f * float(h)) << k;
    EXPECT_FLOAT_EQ(call.v[0].y, 20.0f + 8.0f * float(v)) << k;
    EXPECT_NEAR(call.v[2].x, 10.0f + 16.0f * float(h) + 15, 0.02) << k;
    EXPECT_NEAR(call.v[2].y, 20.0f + 8.0f * float(v) + 7, 0.02) << k;
  }
}

}  // namespace
}  // namespace kestro::test
