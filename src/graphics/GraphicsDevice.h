// What the drawing layer asks of the platform's renderer: textures, render states, transforms,
// viewport, primitives, clearing, render targets, read-back and presenting. The states are those
// of the original fixed-function device so that an implementation can reproduce its results.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/Matrix.h"

namespace kestro {

// Blend factors, numbered as the games' draw_set_blend_mode_ext arguments number them.
enum EBlend : int {
  kBlendZero = 1,
  kBlendOne = 2,
  kBlendSrcColor = 3,
  kBlendInvSrcColor = 4,
  kBlendSrcAlpha = 5,
  kBlendInvSrcAlpha = 6,
  kBlendDestAlpha = 7,
  kBlendInvDestAlpha = 8,
  kBlendDestColor = 9,
  kBlendInvDestColor = 10,
  kBlendSrcAlphaSat = 11,
  kBlendBothSrcAlpha = 12,     // source alpha, and inverse source alpha as the destination factor
  kBlendBothInvSrcAlpha = 13,  // inverse source alpha, and source alpha as the destination factor
};

enum class EPrimitive { PointList = 1, LineList = 2, LineStrip = 3, TriangleList = 4, TriangleStrip = 5, TriangleFan = 6 };

// One vertex: position, colour as a 32-bit ARGB word, texture coordinates, and the normal that
// lighting uses (3-D drawing only).
struct RVertex {
  float x = 0, y = 0, z = 0;
  uint32_t colour = 0;
  float u = 0, v = 0;
  float nx = 0, ny = 0, nz = 0;
};

// The lights of the 3-D mode, in world coordinates. The vertex colour is the material's diffuse
// colour; the material's ambient colour is white and nothing is specular or emissive.
struct RLight {
  bool enabled = false;
  bool point = false;          // else directional
  float x = 0, y = 0, z = 0;   // point: position; directional: the direction the light travels
  float r = 0, g = 0, b = 0;   // diffuse colour, 0..1
  float range = 0;             // point: no light beyond this distance
  float att0 = 1, att1 = 0;    // point: attenuation 1 / (att0 + att1 x distance)
  bool operator==(const RLight&) const = default;
};

struct RLighting {
  static constexpr int kLights = 8;
  float ambientR = 0, ambientG = 0, ambientB = 0;
  RLight lights[kLights];
  bool operator==(const RLighting&) const = default;
};

struct RRenderState {
  int srcBlend = kBlendSrcAlpha;
  int destBlend = kBlendInvSrcAlpha;
  bool linearFilter = true;  // else point sampling
  bool modulate = true;      // texture times vertex colour, else the texture alone
  bool wrap = false;         // else clamp
  bool depthTest = false;    // hidden-surface removal: depth test and write
  bool alphaTest = false;    // discard fragments whose alpha is 0
  bool cullCCW = false;      // cull faces that are counter-clockwise on the screen
  bool gouraud = true;       // else flat: a triangle takes its first vertex's colour
  bool lighting = false;     // vertex colours lit by the lights
  bool fog = false;
  uint32_t fogColour = 0;    // ARGB
  float fogStart = 0, fogEnd = 0;
  bool operator==(const RRenderState&) const = default;
};

// A rectangle in pixels, left/top and size.
struct RPixelRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const RPixelRect&) const = default;
};

class IGraphicsDevice {
 public:
  virtual ~IGraphicsDevice() = default;
  virtual int MaxTextureSide() const = 0;
  // The back buffer's size (the whole screen; the game uses its top-left region).
  virtual int BackBufferWidth() const = 0;
  virtual int BackBufferHeight() const = 0;
  // A wt x ht texture with the given BGRA pixels (rows from the top; null leaves it transparent
  // black). 0 when the device refuses.
  virtual uint32_t CreateTexture(int wt, int ht, const uint8_t* bgra, bool renderTarget) = 0;
  virtual void FreeTexture(uint32_t handle) = 0;
  virtual void SetState(const RRenderState& state) = 0;
  virtual void SetTexture(uint32_t handle) = 0;  // 0: none (samples as opaque white)
  virtual void SetTransforms(const RMatrix& world, const RMatrix& view, const RMatrix& projection) = 0;
  virtual void SetViewport(const RPixelRect& r) = 0;
  virtual void SetLighting(const RLighting&) {}
  virtual void Draw(EPrimitive type, const RVertex* v, int count) = 0;
  // Clears the viewport's rectangle of the current target.
  virtual void Clear(uint32_t argb, bool target, bool depth) = 0;
  // 0: the back buffer, else a texture made as a render target. False when it cannot be used.
  virtual bool SetRenderTarget(uint32_t handle) = 0;
  // Pixels of a target (0: the back buffer), BGRA rows from the top.
  virtual bool ReadPixels(uint32_t target, const RPixelRect& r, std::vector<uint8_t>& bgra) = 0;
  virtual void SetSynchronisation(bool on) = 0;
  // The multisample levels 2, 4, 8 and 16 the device offers, or-ed together.
  virtual int MultisampleLevels() const { return 0; }
  // 2, 4 or 8 samples per pixel for the back buffer, anything else none. False when refused
  // (there is then no multisampling).
  virtual bool SetMultisample(int) { return false; }
  // Shows the back buffer's top-left source rectangle in the window's destination rectangle;
  // the rest of the client area gets the window colour (0x00BBGGRR). False on failure.
  virtual bool Present(const RPixelRect& source, const RPixelRect& destination, int32_t windowColour) = 0;
};

}  // namespace kestro
