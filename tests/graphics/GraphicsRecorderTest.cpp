#include <gtest/gtest.h>

#include "graphics/FakeDevice.h"
#include "graphics/Graphics.h"
#include "graphics/GraphicsRecorder.h"

namespace kestro::test {
namespace {

std::vector<R3DVertex> Numbered(int n, uint32_t colour = 0) {
  std::vector<R3DVertex> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    v[size_t(i)].x = float(i);
    v[size_t(i)].colour = colour;
  }
  return v;
}

std::vector<int> Xs(const std::vector<R3DVertex>& v) {
  std::vector<int> out;
  for (auto& p : v) out.push_back(int(p.x));
  return out;
}

TEST(GraphicsRecorder, PrimitivesBecomeLists) {
  CGraphicsRecorder r;
  r.AddPrimitive(EPrimitive::TriangleStrip, Numbered(5).data(), 5);
  EXPECT_EQ(Xs(r.Triangles()), (std::vector<int>{0, 1, 2, 3, 2, 1, 2, 3, 4}));
  r.AddPrimitive(EPrimitive::TriangleFan, Numbered(4).data(), 4);
  auto xs = Xs(r.Triangles());
  ASSERT_EQ(xs.size(), 15u);
  EXPECT_EQ(std::vector<int>(xs.begin() + 9, xs.end()), (std::vector<int>{0, 1, 2, 0, 2, 3}));
  r.AddPrimitive(EPrimitive::LineStrip, Numbered(3).data(), 3);
  r.AddPrimitive(EPrimitive::LineList, Numbered(3).data(), 3);  // the odd vertex is dropped
  EXPECT_EQ(Xs(r.Lines()), (std::vector<int>{0, 1, 1, 2, 0, 1}));
  r.AddPrimitive(EPrimitive::PointList, Numbered(2).data(), 2);
  EXPECT_EQ(r.Points().size(), 2u);
  r.AddPrimitive(EPrimitive::TriangleList, nullptr, 3);
  r.AddPrimitive(EPrimitive::TriangleFan, Numbered(2).data(), 2);  // too few: nothing
  EXPECT_EQ(r.Triangles().size(), 15u);
}

TEST(GraphicsRecorder, RecolouringAndDrawing) {
  CGraphicsRecorder r;
  r.m_GlobalColour = 0xFF000010u;
  auto a = Numbered(3, 0xFF000010u);  // took the drawing colour: bit 0 clear
  auto b = Numbered(3, 0xFF00FF00u);  // a colour of its own
  auto c = Numbered(3, 0xFF000011u);  // its own colour, the drawing colour but for the marker bit
  r.AddPrimitive(EPrimitive::TriangleList, a.data(), 3);
  r.AddPrimitive(EPrimitive::TriangleList, b.data(), 3);
  r.AddPrimitive(EPrimitive::TriangleList, c.data(), 3);
  r.ChangeColour(0xFF0000FFu);
  EXPECT_EQ(r.Triangles()[0].colour, 0xFF0000FEu);  // recoloured, still marked as the drawing colour
  EXPECT_EQ(r.Triangles()[3].colour, 0xFF00FF00u);
  EXPECT_EQ(r.Triangles()[6].colour, 0xFF000011u);
  EXPECT_EQ(r.m_GlobalColour, 0xFF0000FEu);
  r.m_GlobalColour = 1;  // never recoloured
  r.ChangeColour(0xFFFFFFFFu);
  EXPECT_EQ(r.Triangles()[0].colour, 0xFF0000FEu);

  FakeDevice dev;
  CGraphics g;
  CWindowState w;
  g.Attach(&dev, &w);
  g.Start(false);
  RMatrix world = RMatrix::Scaling(2, 2, 2);
  g.SetWorld(world);
  dev.calls.clear();
  r.Draw(g, 10, 0, 0, -1);
  ASSERT_EQ(dev.calls.size(), 1u);  // one list holds vertices
  EXPECT_EQ(dev.calls[0].type, EPrimitive::TriangleList);
  EXPECT_EQ(dev.calls[0].v.size(), 9u);
  // The model was moved before the world transformation, and the world is back afterwards.
  double o[4];
  (RMatrix::Translation(10, 0, 0) * world).Transform(1, 0, 0, o);
  EXPECT_DOUBLE_EQ(o[0], 22);
  EXPECT_EQ(dev.world.m[3][0], 0);
}

}  // namespace
}  // namespace kestro::test
