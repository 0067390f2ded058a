// The 3-D mode of game code: the switches kept by the drawing layer, the camera, the world
// transformation with its stack, the primitive under construction, the six ready-made shapes,
// lights and fog. Everything is drawn through the drawing layer (CGraphics) or, while a model is
// being recorded, handed to that model's recorder instead.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/GraphicsDevice.h"
#include "graphics/GraphicsRecorder.h"
#include "graphics/Matrix.h"

namespace kestro {

class CGraphics;

// Bit 0 of a 3-D vertex colour: set when the vertex was given its own colour and alpha, clear
// when it took the drawing colour (which a model may change later, see CGraphicsRecorder).
inline constexpr uint32_t kOwnColourBit = 1;

// The number of primitives `n` vertices of a kind make (0 for a kind outside 1..6): n points,
// n div 2 lines of a list, n - 1 of a strip, n div 3 triangles of a list, n - 2 of a strip or fan.
int PrimitiveCount(int kind, int n);

// Where the vertices of finished primitives go: the screen, a model's recorder, or a test.
class IPrimitiveSink {
 public:
  virtual ~IPrimitiveSink() = default;
  virtual void Primitive(EPrimitive kind, const R3DVertex* v, int count) = 0;
};

// The six shapes as primitives, every vertex in `colour`. `scratch` is reused between parts.
// Cylinders, cones and ellipsoids take steps clamped to 3..128.
struct RBox {
  double x1 = 0, y1 = 0, z1 = 0, x2 = 0, y2 = 0, z2 = 0;
};
void ShapeBlock(const RBox& b, double hrepeat, double vrepeat, uint32_t colour, IPrimitiveSink& sink,
                std::vector<R3DVertex>& scratch);
void ShapeCylinder(const RBox& b, double hrepeat, double vrepeat, bool closed, int64_t steps, uint32_t colour,
                   IPrimitiveSink& sink, std::vector<R3DVertex>& scratch);
void ShapeCone(const RBox& b, double hrepeat, double vrepeat, bool closed, int64_t steps, uint32_t colour,
               IPrimitiveSink& sink, std::vector<R3DVertex>& scratch);
void ShapeEllipsoid(const RBox& b, double hrepeat, double vrepeat, int64_t steps, uint32_t colour,
                    IPrimitiveSink& sink, std::vector<R3DVertex>& scratch);
// Nothing for a wall of no length on the floor plan.
void ShapeWall(const RBox& b, double hrepeat, double vrepeat, uint32_t colour, IPrimitiveSink& sink,
               std::vector<R3DVertex>& scratch);
void ShapeFloor(const RBox& b, double hrepeat, double vrepeat, uint32_t colour, IPrimitiveSink& sink,
                std::vector<R3DVertex>& scratch);

// A primitive being given its vertices: a kind, a texture and at most kMaxVertices vertices.
class C3DPrimitive {
 public:
  static constexpr int kMaxVertices = 32001;
  void Begin(int64_t kind, int texture);
  // Nothing once kMaxVertices are held.
  void Add(const R3DVertex& v);
  // Hands the whole primitives to the sink (nothing for a kind outside 1..6) and starts empty.
  void End(IPrimitiveSink& sink);
  int Kind() const { return kind_; }
  int Texture() const { return texture_; }
  const std::vector<R3DVertex>& Vertices() const { return vertices_; }

 private:
  int kind_ = 0;
  int texture_ = -1;
  std::vector<R3DVertex> vertices_;
};

// Saved world matrices, at most kCapacity.
class CTransformStack {
 public:
  static constexpr int kCapacity = 1001;
  void Clear() { saved_.clear(); }
  bool Empty() const { return saved_.empty(); }
  int Size() const { return int(saved_.size()); }
  // False when full.
  bool Push(const RMatrix& m);
  // False when empty; `out` is left as it was.
  bool Top(RMatrix& out) const;
  bool Pop(RMatrix& out);
  bool Discard();

 private:
  std::vector<RMatrix> saved_;
};

// The 3-D drawing state of the run and its operations over a drawing layer.
class C3DMode final : public IPrimitiveSink {
 public:
  // Back to the state of a fresh run: 3-D mode, lighting, fog and culling off, Gouraud shading,
  // the world matrix the identity, no lights, an empty stack, no primitive.
  void Reset(CGraphics& g);

  // d3d_start / d3d_end: the mode with the perspective and hidden-surface switches.
  void Start(CGraphics& g);
  void End(CGraphics& g);
  void SetPerspective(CGraphics& g, bool on);
  void SetHidden(CGraphics& g, bool on);

  // Cameras (angles in degrees).
  void SetProjection(CGraphics& g, RVector3 from, RVector3 to, RVector3 up);
  void SetProjectionExt(CGraphics& g, RVector3 from, RVector3 to, RVector3 up, double angle, double aspect,
                        double znear, double zfar);
  void SetProjectionOrtho(CGraphics& g, double x, double y, double w, double h, double angle);
  void SetProjectionPerspective(CGraphics& g, double x, double y, double w, double h, double angle);

  // The world transformation: `set` replaces it, `add` applies `m` after it.
  void TransformSet(CGraphics& g, const RMatrix& m);
  void TransformAdd(CGraphics& g, const RMatrix& m);
  CTransformStack& Stack() { return stack_; }

  // The primitive under construction. Vertices without a colour take the drawing colour.
  C3DPrimitive& Primitive() { return primitive_; }
  void EndPrimitive(CGraphics& g);

  // Shapes with a texture (-1 none), in the drawing colour, with texture repeat on meanwhile.
  enum class EShape { kBlock, kCylinder, kCone, kEllipsoid, kWall, kFloor };
  void DrawShape(CGraphics& g, EShape shape, const RBox& b, int texture, double hrepeat, double vrepeat,
                 bool closed = true, int64_t steps = 24);

  // While set, finished primitives and shapes go into the recorder instead of to the screen.
  void SetRecorder(CGraphicsRecorder* r) { recorder_ = r; }
  CGraphicsRecorder* Recorder() const { return recorder_; }

  // Where primitives go: the recorder, else the drawing layer with the current texture.
  void Primitive(EPrimitive kind, const R3DVertex* v, int count) override;

 private:
  CGraphics* target_ = nullptr;
  int texture_ = -1;
  CGraphicsRecorder* recorder_ = nullptr;
  C3DPrimitive primitive_;
  CTransformStack stack_;
  std::vector<R3DVertex> scratch_;
  std::vector<RVertex> send_;
};

// The process-wide 3-D state.
C3DMode& ThreeD();
// The colour of a vertex that takes the drawing colour (bit 0 clear), and of one with its own.
uint32_t DrawingVertexColour(const CGraphics& g);
uint32_t OwnVertexColour(int32_t gameColour, double alpha);
// The vertex of one of the eight vertex functions from its arguments: `form` 0..7 is their order
// (plain, colour, texture, texture and colour, then the same four with a normal), so bit 0 says
// a colour and alpha come last, bit 1 texture coordinates before them, bit 2 a normal after the
// position. Colours are rounded.
R3DVertex VertexFromArguments(int form, const double* a, uint32_t drawingColour);

}  // namespace kestro
