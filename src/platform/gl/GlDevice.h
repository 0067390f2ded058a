// The drawing device over OpenGL 3.3 core. It reproduces the fixed-function device the games were
// made for: one texture stage that modulates or selects, the original blend factors, alpha test,
// point and linear filtering, clamp and wrap, pixel centres on whole coordinates, render targets
// and a back buffer whose alpha always reads as opaque.
// Drawing is batched: triangles of every kind (lists, strips, fans, the quads of sprites and text)
// share one triangle batch of indexed vertices, lines and points have a batch each, and up to
// eight textures share a batch. The three are sent in that order, so a primitive joins its batch
// only when nothing it covers on the screen waits in a batch sent after it; otherwise, and on any
// change of state, target, transform or a read-back, everything waiting is sent first.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "graphics/GraphicsDevice.h"

namespace kestro::platform {

// Where presented frames go: the window's drawable.
class IPresentSurface {
 public:
  virtual ~IPresentSurface() = default;
  virtual void DrawableSize(int& w, int& h) = 0;
  // A rectangle in client coordinates to drawable pixels (scaling for a virtual display).
  virtual RPixelRect ClientToDrawable(const RPixelRect& r) = 0;
  // The client area's size (in client coordinates).
  virtual void ClientSize(int& w, int& h) = 0;
  virtual void Swap(bool synchronise) = 0;
  // False when nobody can see the surface (a driver without a display): presenting then only
  // finishes the frame, which is read back from the device's own buffer anyway.
  virtual bool Displayed() { return true; }
};

class GlDevice : public IGraphicsDevice {
 public:
  GlDevice() = default;
  ~GlDevice() override;
  GlDevice(const GlDevice&) = delete;
  GlDevice& operator=(const GlDevice&) = delete;

  // Needs a current OpenGL 3.3 core context. False (with a reason) when the context cannot do it.
  bool Create(int backW, int backH, std::string& error);
  void Destroy();
  void SetSurface(IPresentSurface* surface) { surface_ = surface; }

  int MaxTextureSide() const override { return maxTexture_; }
  int BackBufferWidth() const override { return backW_; }
  int BackBufferHeight() const override { return backH_; }
  uint32_t CreateTexture(int wt, int ht, const uint8_t* bgra, bool renderTarget) override;
  void FreeTexture(uint32_t handle) override;
  void SetState(const RRenderState& state) override;
  void SetTexture(uint32_t handle) override;
  void SetTransforms(const RMatrix& world, const RMatrix& view, const RMatrix& projection) override;
  void SetViewport(const RPixelRect& r) override;
  void SetLighting(const RLighting& l) override;
  void Draw(EPrimitive type, const RVertex* v, int count) override;
  void Clear(uint32_t argb, bool target, bool depth) override;
  bool SetRenderTarget(uint32_t handle) override;
  bool ReadPixels(uint32_t target, const RPixelRect& r, std::vector<uint8_t>& bgra) override;
  void SetSynchronisation(bool on) override { sync_ = on; }
  bool Present(const RPixelRect& source, const RPixelRect& destination, int32_t windowColour) override;

  int MultisampleLevels() const override;
  bool SetMultisample(int level) override;

  // Sends the batch now.
  void Flush();
  int DrawCalls() const { return drawCalls_; }

 private:
  struct RTarget {
    GLuint fbo = 0, depth = 0;
    int w = 0, h = 0;
  };
  bool BindTarget(uint32_t handle);
  GLuint BackDrawFbo() const { return samples_ ? msaa_.fbo : back_.fbo; }
  // Multisampled drawing into the back buffer is resolved before it is read or shown.
  void Resolve();
  void DeleteMultisample();

  // What the shader reads: a vertex and the texture unit of its batch (-1: none). Normals travel
  // in a buffer of their own, filled only for lit batches.
  struct RGpuVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
    int32_t slot;
  };
  static constexpr int kUnits = 8;
  // The pending batches, in the order they are sent.
  enum EBatch : int { kTriangles = 0, kLines = 1, kPoints = 2, kBatches = 3 };
  // Which parts of the viewport a batch covers: 64 x 64 cells, a row of cells per word.
  static constexpr int kCells = 64;
  struct RCover {
    int x0 = 0, y0 = 0, x1 = -1, y1 = -1;  // cells, inclusive; empty when x1 < x0
    uint64_t Mask() const { return (x1 - x0 == 63 ? ~uint64_t(0) : ((uint64_t(1) << (x1 - x0 + 1)) - 1) << x0); }
  };
  struct RBatch {
    std::vector<RGpuVertex> vertices;
    std::vector<float> normals;     // lit batches: three per vertex
    std::vector<uint32_t> indices;  // triangles, unless every one so far belongs to a fan of four
    bool quads = true;              // the vertices are fans of four: the shared quad indices serve
    bool textured = false, untextured = false;
    bool white = true;  // every vertex colour is opaque white
    uint32_t units[kUnits] = {};
    int unitsUsed = 0;
    uint64_t rows[kCells] = {};  // lines and points: the cells they may touch
    bool Empty() const { return vertices.empty(); }
  };
  RCover CoverOf(const RVertex* v, int count) const;
  bool Overlaps(const RBatch& b, const RCover& c) const;
  // The unit of the current texture in `b` (-1: none), taking a free one when needed; false
  // when all of the batch's units hold other textures.
  bool TextureSlot(RBatch& b, int32_t& slot);
  void Push(RBatch& b, const RVertex& a, int32_t slot);
  void ApplyBatchState(EBatch kind, const RBatch& b);
  void Send(EBatch kind, RBatch& b);
  // The shared index buffer for fans of four: 0 1 2 0 2 3, 4 5 6 4 6 7, ... as 16-bit indices
  // from a base vertex, `kQuadsPerDraw` quads at most per draw.
  static constexpr int kQuadsPerDraw = 16384;
  void EnsureQuadIndices(int quads);

  bool created_ = false;
  int backW_ = 0, backH_ = 0, maxTexture_ = 2048;
  struct RProgram {
    GLuint id = 0;
    GLint uMatrix = -1, uWorldView = -1, uPixel = -1, uFogColour = -1, uFogRange = -1;
    GLint uWorld = -1, uNormalMatrix = -1, uAmbient = -1, uLightOn = -1, uLightPoint = -1, uLightVec = -1,
          uLightColour = -1, uLightAtten = -1;
  };
  // Programs by their switches, made when first needed.
  enum : int {
    kProgramUnits = 3,  // 0..3: one, two, four or eight texture units
    kProgramLines = 4,
    kProgramModulate = 8,
    kProgramAlphaTest = 16,
    kProgramFog = 32,
    kProgramFlat = 64,
    kProgramLit = 128,
    kProgramOneTexture = 256,  // every vertex samples unit 0: no choice per pixel
    kProgramNoTexture = 512,   // no vertex samples: the stage reads white
  };
  bool BuildProgram(int key, std::string& error);
  RProgram programs_[1024];
  GLuint vao_ = 0, vbo_ = 0, nbo_ = 0, ibo_ = 0, quadIbo_ = 0;
  int quadIndices_ = 0;  // quads the shared index buffer holds
  GLuint samplers_[4] = {};
  RTarget back_;
  GLuint backColour_ = 0;
  RTarget msaa_;
  GLuint msaaColour_ = 0;
  int samples_ = 0, maxSamples_ = 0;
  std::unordered_map<uint32_t, RTarget> targets_;
  std::unordered_map<uint32_t, std::pair<int, int>> sizes_;
  uint32_t target_ = 0;
  IPresentSurface* surface_ = nullptr;
  bool sync_ = false;

  RRenderState state_;
  uint32_t texture_ = 0;
  float matrix_[16] = {}, worldView_[16] = {}, world_[16] = {}, normalMatrix_[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  RLighting lighting_;
  RPixelRect viewport_{0, 0, 1, 1};
  RBatch batches_[kBatches];
  // The stream buffers: batches are appended, and a buffer is renewed only when it is full. The
  // normals' buffer keeps step with the vertices' (the same vertex numbers).
  size_t vboUsed_ = 0, vboCapacity_ = 0;  // in vertices
  size_t iboUsed_ = 0, iboCapacity_ = 0;  // in indices
  int drawCalls_ = 0;
};

}  // namespace kestro::platform
