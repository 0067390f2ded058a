// The 3-D mode without a display: the transformation stack and its limits, the primitive under
// construction (vertex limit, the own-colour bit, whole primitives only), the vertices of the six
// shapes, models recorded, recoloured and drawn against a recording device, and the model file
// written, read back and refused when malformed.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "graphics/D3d.h"
#include "graphics/FakeDevice.h"
#include "graphics/Graphics.h"
#include "graphics/Model3d.h"

namespace kestro::test {
namespace {

// Keeps every primitive it is given.
struct RPart {
  EPrimitive kind;
  std::vector<R3DVertex> v;
};
class PartSink : public IPrimitiveSink {
 public:
  void Primitive(EPrimitive kind, const R3DVertex* v, int count) override {
    parts.push_back({kind, std::vector<R3DVertex>(v, v + count)});
  }
  std::vector<RPart> parts;
};

class D3d_ : public ::testing::Test {
 protected:
  void SetUp() override {
    g.Attach(&dev, &window);
    g.Start(false);
    mode.Reset(g);
    dev.calls.clear();
  }
  FakeDevice dev;
  CWindowState window;
  CGraphics g;
  C3DMode mode;
};

TEST_F(D3d_, StartEndAndTheSwitches) {
  mode.Start(g);
  EXPECT_TRUE(g.Mode3D() && g.Perspective() && g.HiddenSurface());
  mode.SetHidden(g, false);
  mode.Start(g);  // already on: nothing changes
  EXPECT_FALSE(g.HiddenSurface());
  EXPECT_FALSE(g.KeptState().depthTest);
  mode.End(g);
  EXPECT_FALSE(g.Mode3D() || g.Perspective() || g.HiddenSurface());
  // Hidden-surface removal needs the mode as well as its switch.
  mode.SetHidden(g, true);
  EXPECT_FALSE(g.KeptState().depthTest);
  mode.Start(g);
  EXPECT_TRUE(g.KeptState().depthTest && g.KeptState().alphaTest);
  // 2-D drawing takes the depth only in the mode, clamped.
  g.SetDepth(20000);
  EXPECT_EQ(g.Depth(), 16000);
  mode.End(g);
  EXPECT_EQ(g.Depth(), 0);
}

TEST_F(D3d_, TransformationStackLimitsAndWorldMatrix) {
  CTransformStack& s = mode.Stack();
  EXPECT_TRUE(s.Empty());
  for (int i = 0; i < 1001; ++i) ASSERT_TRUE(s.Push(RMatrix::Translation(i, 0, 0))) << i;
  EXPECT_FALSE(s.Push(RMatrix::Identity()));  // the 1002nd
  EXPECT_EQ(s.Size(), 1001);
  RMatrix m;
  ASSERT_TRUE(s.Top(m));
  EXPECT_EQ(m.m[3][0], 1000);
  EXPECT_EQ(s.Size(), 1001);
  ASSERT_TRUE(s.Discard());
  ASSERT_TRUE(s.Pop(m));
  EXPECT_EQ(m.m[3][0], 999);
  s.Clear();
  RMatrix kept = RMatrix::Scaling(3, 3, 3);
  m = kept;
  EXPECT_FALSE(s.Pop(m));
  EXPECT_FALSE(s.Top(m));
  EXPECT_FALSE(s.Discard());
  EXPECT_EQ(m.m[0][0], 3);  // left as it was

  // `add` applies after what is there: moved by 100, then turned by -90 degrees about z.
  mode.TransformSet(g, RMatrix::Translation(100, 0, 0));
  mode.TransformAdd(g, RMatrix::RotationZ(-std::numbers::pi / 2));
  double o[4];
  dev.world.Transform(0, 0, 0, o);
  EXPECT_NEAR(o[0], 0, 1e-9);
  EXPECT_NEAR(o[1], -100, 1e-9);
}

TEST_F(D3d_, PrimitivesKeepTheOwnColourBitAndSendWholePrimitives) {
  g.SetColour(0xFF0001);  // red 1, blue 255: ARGB 0xFF0100FF, whose bit 0 (blue's lowest) is set
  ASSERT_EQ(g.DrawColour() & 1, 1u);
  C3DPrimitive& p = mode.Primitive();
  p.Begin(2, -1);  // a line list
  const double plain[3] = {1, 2, 3}, coloured[5] = {4, 5, 6, 0xFF0001, 1};
  p.Add(VertexFromArguments(0, plain, DrawingVertexColour(g)));
  p.Add(VertexFromArguments(1, coloured, DrawingVertexColour(g)));
  for (int i = 0; i < 3; ++i) p.Add(VertexFromArguments(0, plain, DrawingVertexColour(g)));
  mode.EndPrimitive(g);
  ASSERT_EQ(dev.calls.size(), 1u);
  EXPECT_EQ(dev.calls[0].type, EPrimitive::LineList);
  EXPECT_EQ(dev.calls[0].v.size(), 4u);  // 5 vertices make 2 lines
  EXPECT_EQ(dev.calls[0].v[0].colour, 0xFF0100FEu);  // the drawing colour, bit 0 cleared
  EXPECT_EQ(dev.calls[0].v[1].colour, 0xFF0100FFu);  // its own colour, bit 0 set
  EXPECT_EQ(dev.calls[0].v[0].z, 3.f);               // z as given, not the drawing depth

  struct RCase {
    int kind, vertices, primitives;
  };
  const RCase cases[] = {{1, 5, 5}, {2, 5, 2}, {3, 5, 4}, {4, 7, 2}, {5, 5, 3}, {6, 5, 3},
                         {5, 2, 0}, {3, 1, 0}, {0, 9, 0}, {7, 9, 0}, {-1, 3, 0}};
  for (const RCase& c : cases) EXPECT_EQ(PrimitiveCount(c.kind, c.vertices), c.primitives) << c.kind;
  dev.calls.clear();
  p.Begin(7, -1);  // no such kind: nothing is drawn
  for (int i = 0; i < 4; ++i) p.Add(VertexFromArguments(0, plain, 0));
  mode.EndPrimitive(g);
  EXPECT_TRUE(dev.calls.empty());

  // At most 32001 vertices; the texture of begin_texture is selected.
  int tex = g.TextureCreate(4, 4, false);
  p.Begin(1, tex);
  for (int i = 0; i < 32005; ++i) p.Add(VertexFromArguments(0, plain, 0));
  EXPECT_EQ(p.Vertices().size(), 32001u);
  mode.EndPrimitive(g);
  ASSERT_EQ(dev.calls.size(), 1u);
  EXPECT_EQ(dev.calls[0].v.size(), 32001u);
  EXPECT_EQ(dev.calls[0].texture, g.Texture(tex)->handle);
}

TEST(D3dVertices, ArgumentsOfEveryFormLandInTheirFields) {
  // x y z [nx ny nz] [u v] [col alpha]
  struct RCase {
    int form;
    R3DVertex want;
  };
  const uint32_t dc = 0xFF000000u;
  const RCase cases[] = {
      {0, {1, 2, 3, 0, 0, 0, dc, 0, 0}},
      {1, {1, 2, 3, 0, 0, 0, VertexColour(0x050004, 1) | 1, 0, 0}},
      {2, {1, 2, 3, 0, 0, 0, dc, 4, 5}},
      {3, {1, 2, 3, 0, 0, 0, VertexColour(0x070006, 1) | 1, 4, 5}},
      {4, {1, 2, 3, 4, 5, 6, dc, 0, 0}},
      {5, {1, 2, 3, 4, 5, 6, VertexColour(7, 1) | 1, 0, 0}},
      {6, {1, 2, 3, 4, 5, 6, dc, 7, 8}},
      {7, {1, 2, 3, 4, 5, 6, VertexColour(0x0000FF, 0.5) | 1, 7, 8}},
  };
  const double forms[8][10] = {
      {1, 2, 3},
      {1, 2, 3, 0x050004, 1},
      {1, 2, 3, 4, 5},
      {1, 2, 3, 4, 5, 0x070006, 1},
      {1, 2, 3, 4, 5, 6},
      {1, 2, 3, 4, 5, 6, 7, 1},
      {1, 2, 3, 4, 5, 6, 7, 8},
      {1, 2, 3, 4, 5, 6, 7, 8, 0x0000FF, 0.5},
  };
  for (const RCase& c : cases) {
    R3DVertex v = VertexFromArguments(c.form, forms[c.form], dc);
    EXPECT_EQ(std::vector<float>({v.x, v.y, v.z, v.nx, v.ny, v.nz, v.u, v.v}),
              std::vector<float>({c.want.x, c.want.y, c.want.z, c.want.nx, c.want.ny, c.want.nz, c.want.u, c.want.v}))
        << c.form;
    EXPECT_EQ(v.colour, c.want.colour) << c.form;
  }
}

// ---- shapes ----

double Dot(double ax, double ay, double az, double bx, double by, double bz) { return ax * bx + ay * by + az * bz; }

TEST(D3dShapes, VertexCountsOfEveryShape) {
  const RBox box{0, 0, 0, 20, 10, 30};
  struct RCase {
    const char* what;
    std::function<void(IPrimitiveSink&, std::vector<R3DVertex>&)> draw;
    std::vector<std::pair<EPrimitive, int>> parts;
  };
  using P = EPrimitive;
  const RCase cases[] = {
      {"block", [&](auto& s, auto& v) { ShapeBlock(box, 1, 1, 0, s, v); },
       {{P::TriangleFan, 4}, {P::TriangleFan, 4}, {P::TriangleFan, 4}, {P::TriangleFan, 4}, {P::TriangleFan, 4},
        {P::TriangleFan, 4}}},
      {"closed cylinder, 2 steps taken as 3", [&](auto& s, auto& v) { ShapeCylinder(box, 1, 1, true, 2, 0, s, v); },
       {{P::TriangleFan, 5}, {P::TriangleStrip, 8}, {P::TriangleFan, 5}}},
      {"open cylinder, 500 steps taken as 128",
       [&](auto& s, auto& v) { ShapeCylinder(box, 1, 1, false, 500, 0, s, v); }, {{P::TriangleStrip, 258}}},
      {"closed cone", [&](auto& s, auto& v) { ShapeCone(box, 1, 1, true, 8, 0, s, v); },
       {{P::TriangleStrip, 18}, {P::TriangleFan, 10}}},
      {"open cone", [&](auto& s, auto& v) { ShapeCone(box, 1, 1, false, 8, 0, s, v); }, {{P::TriangleStrip, 18}}},
      {"ellipsoid of 5 steps: 3 bands", [&](auto& s, auto& v) { ShapeEllipsoid(box, 1, 1, 5, 0, s, v); },
       {{P::TriangleStrip, 12}, {P::TriangleStrip, 12}, {P::TriangleStrip, 12}}},
      {"wall", [&](auto& s, auto& v) { ShapeWall(box, 1, 1, 0, s, v); }, {{P::TriangleFan, 4}}},
      {"wall of no length", [&](auto& s, auto& v) { ShapeWall({5, 5, 0, 5, 5, 10}, 1, 1, 0, s, v); }, {}},
      {"floor", [&](auto& s, auto& v) { ShapeFloor(box, 1, 1, 0, s, v); }, {{P::TriangleFan, 4}}},
  };
  for (const RCase& c : cases) {
    PartSink sink;
    std::vector<R3DVertex> scratch;
    c.draw(sink, scratch);
    std::vector<std::pair<EPrimitive, int>> got;
    for (const RPart& p : sink.parts) got.push_back({p.kind, int(p.v.size())});
    EXPECT_EQ(got, c.parts) << c.what;
  }
}

TEST(D3dShapes, NormalsPointOutwardsAndTextureCoordinatesSpanTheRepeats) {
  std::vector<R3DVertex> scratch;
  // Block: each face's normal points from the box's centre to the face, and the face is flat.
  PartSink block;
  ShapeBlock({0, 0, 0, 20, 10, 30}, 3, 2, 0, block, scratch);
  for (const RPart& p : block.parts) {
    double fx = 0, fy = 0, fz = 0;
    for (const R3DVertex& v : p.v) {
      fx += v.x / 4.0;
      fy += v.y / 4.0;
      fz += v.z / 4.0;
    }
    const R3DVertex& n = p.v[0];
    EXPECT_GT(Dot(n.nx, n.ny, n.nz, fx - 10, fy - 5, fz - 15), 0);
    for (const R3DVertex& v : p.v) EXPECT_NEAR(Dot(n.nx, n.ny, n.nz, v.x - fx, v.y - fy, v.z - fz), 0, 1e-6);
    EXPECT_EQ(p.v[2].u, 3.f);
    EXPECT_EQ(p.v[2].v, 2.f);
  }
  // Cylinder side, cone bottom and ellipsoid: unit normals pointing away from the axis or centre.
  PartSink round;
  ShapeCylinder({-10, -10, 0, 10, 10, 40}, 2, 1, true, 12, 0, round, scratch);
  ASSERT_EQ(round.parts.size(), 3u);
  for (const R3DVertex& v : round.parts[1].v) {
    EXPECT_NEAR(std::hypot(v.nx, v.ny, v.nz), 1, 1e-6);
    EXPECT_NEAR(Dot(v.nx, v.ny, v.nz, v.x, v.y, 0), 10, 1e-4);
  }
  EXPECT_EQ(round.parts[0].v[0].nz, 1.f);  // the top
  EXPECT_EQ(round.parts[0].v[0].z, 40.f);
  EXPECT_EQ(round.parts[2].v[0].nz, -1.f);  // the bottom
  EXPECT_EQ(round.parts[1].v.back().u, 2.f);
  PartSink ball;
  ShapeEllipsoid({-10, -10, -10, 10, 10, 10}, 1, 1, 16, 0, ball, scratch);
  EXPECT_EQ(ball.parts[0].v[0].z, 10.f);  // the first band starts at the top
  EXPECT_EQ(ball.parts.back().v[1].z, -10.f);
  for (const RPart& p : ball.parts)
    for (const R3DVertex& v : p.v) {
      EXPECT_NEAR(std::hypot(v.x, v.y, v.z), 10, 1e-4);
      EXPECT_NEAR(v.nx * 10, v.x, 1e-4);
      EXPECT_NEAR(v.nz * 10, v.z, 1e-4);
    }
  // Wall: the normal is the floor-plan direction turned a quarter; the floor slopes from z1 to z2.
  PartSink wall;
  ShapeWall({0, 0, 0, 0, 8, 5}, 1, 1, 0, wall, scratch);
  EXPECT_EQ(wall.parts[0].v[0].nx, 1.f);
  EXPECT_EQ(wall.parts[0].v[0].ny, 0.f);
  PartSink floor;
  ShapeFloor({0, 0, 1, 10, 10, 5}, 1, 1, 0, floor, scratch);
  EXPECT_EQ(floor.parts[0].v[1].z, 1.f);
  EXPECT_EQ(floor.parts[0].v[2].z, 5.f);
}

TEST_F(D3d_, ShapesTurnTextureRepeatOnForTheirDurationOnly) {
  g.SetColour(0x00FF00);
  int tex = g.TextureCreate(4, 4, false);
  mode.DrawShape(g, C3DMode::EShape::kBlock, {0, 0, 0, 1, 1, 1}, tex, 1, 1);
  ASSERT_EQ(dev.calls.size(), 6u);
  for (const auto& c : dev.calls) {
    EXPECT_TRUE(c.state.wrap);
    EXPECT_EQ(c.texture, g.Texture(tex)->handle);
    EXPECT_EQ(c.v[0].colour, DrawingVertexColour(g));
  }
  EXPECT_FALSE(g.KeptState().wrap);
}

// ---- models ----

TEST_F(D3d_, ModelsRecordOnceAndFollowTheDrawingColour) {
  C3DModels models;
  int id = models.Create();
  C3D_Model& m = *models.Get(id);
  m.Add(kModelPrimitiveBegin, {4});
  m.Add(kModelVertex, {0, 0, 0});
  m.Add(kModelVertex, {1, 0, 0});
  // Its own colour, red and opaque: the same as the first drawing colour.
  m.Add(kModelVertexColor, {0, 1, 0, 0x0000FF, 1});
  m.Add(kModelPrimitiveEnd, {});
  g.SetColour(0x0000FF);
  m.Draw(g, mode, 10, 0, 0, -1);
  ASSERT_EQ(dev.calls.size(), 1u);
  EXPECT_EQ(dev.calls[0].v[0].colour, 0xFFFF0000u);
  EXPECT_EQ(dev.calls[0].v[2].colour, 0xFFFF0001u);
  EXPECT_EQ(dev.world.m[3][0], 0);  // the translation was for the draw only

  // Entries added now are not shown until the model is cleared or loaded.
  m.Add(kModelBlock, {0, 0, 0, 1, 1, 1, 1, 1});
  g.SetColour(0xFF0000);  // blue
  dev.calls.clear();
  m.Draw(g, mode, 0, 0, 0, -1);
  ASSERT_EQ(dev.calls.size(), 1u);
  EXPECT_EQ(dev.calls[0].v[0].colour, 0xFF0000FEu);  // recoloured
  EXPECT_EQ(dev.calls[0].v[1].colour, 0xFF0000FEu);
  EXPECT_EQ(dev.calls[0].v[2].colour, 0xFFFF0001u);  // kept its own red

  // A model whose every vertex has its own colour is never recoloured.
  int other = models.Create();
  EXPECT_EQ(other, 1);
  C3D_Model& own = *models.Get(other);
  own.Add(kModelPrimitiveBegin, {1});
  own.Add(kModelVertexNormalColor, {0, 0, 0, 0, 0, 1, 0x00FF00, 0.5});
  own.Add(kModelPrimitiveEnd, {});
  own.Draw(g, mode, 0, 0, 0, -1);
  ASSERT_TRUE(own.m_pMesh);
  EXPECT_EQ(own.m_pMesh->m_GlobalColour, 1u);
  EXPECT_EQ(own.m_pMesh->Points().size(), 1u);

  // Slots: the lowest free one is taken again; ids out of the table name nothing.
  models.Destroy(0);
  EXPECT_EQ(models.Get(0), nullptr);
  EXPECT_EQ(models.Get(-1), nullptr);
  EXPECT_EQ(models.Get(int64_t(1) << 40), nullptr);
  models.Destroy(99);
  EXPECT_EQ(models.Create(), 0);
}

TEST_F(D3d_, AModelDrawnWhileGameCodeBuildsAPrimitiveLeavesThatPrimitiveAlone) {
  mode.Primitive().Begin(4, -1);
  const double v[3] = {1, 1, 1};
  mode.Primitive().Add(VertexFromArguments(0, v, 0));
  C3D_Model m;
  m.Add(kModelPrimitiveBegin, {1});
  m.Add(kModelVertex, {5, 5, 5});
  m.Add(kModelPrimitiveEnd, {});
  m.Add(kModelWall, {0, 0, 0, 10, 0, 10, 1, 1});
  m.Draw(g, mode, 0, 0, 0, -1);
  EXPECT_EQ(mode.Primitive().Kind(), 4);
  EXPECT_EQ(mode.Primitive().Vertices().size(), 1u);
  EXPECT_EQ(mode.Recorder(), nullptr);
  EXPECT_EQ(m.m_pMesh->Triangles().size(), 6u);  // the wall's fan as two triangles
  EXPECT_EQ(m.m_pMesh->Points().size(), 1u);
}

TEST(D3dModelFile, WritesFixedNumbersAndReadsThemBack) {
  std::vector<R3DModelEntry> entries(3);
  entries[0] = {kModelVertex, {1.5, 2, 3}};
  entries[1] = {kModelCylinder, {-0.25, 1e12, 123456.789012, -0.00001, 7, 8, 1, 2, 1, 24}};
  entries[2] = {kModelPrimitiveEnd, {}};
  const std::string text = ModelFileText(entries);
  const std::string first =
      "100\r\n3\r\n2 1.5000 2.0000 3.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000\r\n";
  EXPECT_EQ(text.substr(0, first.size()), first);
  EXPECT_NE(text.find("11 -0.2500 1.000000000E+12 123456.7890 0.0000 7.0000"), std::string::npos) << text;
  std::vector<R3DModelEntry> back;
  std::string error;
  ASSERT_TRUE(ParseModelFile(text, back, error)) << error;
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0], entries[0]);
  EXPECT_EQ(back[1].a[1], 1e12);
  EXPECT_NEAR(back[1].a[2], 123456.789, 1e-9);
  EXPECT_EQ(back[1].a[3], 0);
  EXPECT_EQ(back[2], entries[2]);
  EXPECT_EQ(ModelNumberText(std::nan("")), "0.0000");
  EXPECT_EQ(ModelNumberText(-2.00004), "-2.0000");
}

TEST(D3dModelFile, ReadsLooseLayoutsAndRefusesMalformedFiles) {
  struct RCase {
    const char* text;
    int entries;          // -1: refused
    const char* message;  // a part of the message
  };
  const RCase cases[] = {
      // Blanks and line ends separate numbers alike; the rest of an entry's line is passed over;
      // a comma as the decimal separator is read too; plain LF line ends.
      {"100\n2\n4 1 2\n3 4 5 6 7 8 9 10 and more\n0 1,5 0 0 0 0 0 0 0 0 0\n", 2, ""},
      {"100 trailing words\r\n0\r\n", 0, ""},
      {"", -1, "line 1: the file ends where a version number should be"},
      {"101\r\n0\r\n", -1, "version 101"},
      {"model\r\n", -1, "line 1: \"model\" is not a version number"},
      {"100\r\n", -1, "line 2: the file ends where a number of entries should be"},
      {"100\r\n-1\r\n", -1, "a negative number of entries"},
      {"100\r\n2\r\n2 1 2 3 0 0 0 0 0 0 0\r\n", -1, "line 4: the file ends where an entry kind should be"},
      {"100\r\n1\r\n16 0 0 0 0 0 0 0 0 0 0\r\n", -1, "line 3: 16 is not a kind of model entry"},
      {"100\r\n1\r\n2.5 0 0 0 0 0 0 0 0 0 0\r\n", -1, "\"2.5\" is not an entry kind"},
      {"100\r\n1\r\n2 0 0 abc 0 0 0 0 0 0 0\r\n", -1, "line 3: \"abc\" is not a number"},
      {"100\r\n1\r\n2 0 0 nan 0 0 0 0 0 0 0\r\n", -1, "\"nan\" is not a number"},
      {"100\r\n1\r\n2 0 0 1e999 0 0 0 0 0 0 0\r\n", -1, "is not a number"},
      {"100\r\n1\r\n2 1.2.3 0 0 0 0 0 0 0 0 0\r\n", -1, "is not a number"},
      {"100\r\n1\r\n2 0 0 0 0 0 0 0\r\n", -1, "the file ends where a number should be"},
      // A count far beyond what the file holds fails where the text ends, without taking memory
      // for the count.
      {"100\r\n999999999999\r\n0 0 0 0 0 0 0 0 0 0 0\r\n", -1, "line 4: the file ends where an entry kind"},
  };
  for (const RCase& c : cases) {
    std::vector<R3DModelEntry> entries;
    std::string error;
    const bool ok = ParseModelFile(c.text, entries, error);
    EXPECT_EQ(ok, c.entries >= 0) << c.text;
    if (ok) {
      EXPECT_EQ(int(entries.size()), c.entries) << c.text;
    }
    EXPECT_NE(error.find(c.message), std::string::npos) << c.text << " -> " << error;
  }
  std::vector<R3DModelEntry> entries;
  std::string error;
  ASSERT_TRUE(ParseModelFile("100\n2\n4 1 2\n3 4 5 6 7 8 9 10 and more\n0 1,5 0 0 0 0 0 0 0 0 0\n", entries, error));
  EXPECT_EQ(entries[0].kind, 4);
  EXPECT_EQ(entries[0].a[9], 10);
  EXPECT_EQ(entries[1].a[0], 1.5);
}

}  // namespace
}  // namespace kestro::test
