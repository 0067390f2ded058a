// The vertex recorder of 3-D models: primitives of any kind are kept as triangle, line and
// point lists so that a model is turned into lists once and drawn with one call per list.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/GraphicsDevice.h"

namespace kestro {

class CGraphics;

// A 3-D vertex: position, normal, colour (ARGB) and texture coordinates; 36 bytes.
struct R3DVertex {
  float x = 0, y = 0, z = 0;
  float nx = 0, ny = 0, nz = 0;
  uint32_t colour = 0;
  float u = 0, v = 0;
};
static_assert(sizeof(R3DVertex) == 36);

class CGraphicsRecorder {
 public:
  // Adds a primitive: point and line lists as they are, a line strip as pairs, a triangle strip
  // as triangles (every second one turned round so all keep their facing), a fan as triangles
  // from its first vertex.
  void AddPrimitive(EPrimitive type, const R3DVertex* v, int count);
  // The vertices that took the drawing colour (bit 0 clear) and carry the recorder's colour take
  // `colour` (bit 0 cleared), which becomes the recorder's colour; vertices given a colour of
  // their own (bit 0 set) keep it even when it is the same colour. Nothing when the recorder's
  // colour has bit 0 set (never recoloured).
  void ChangeColour(uint32_t colour);
  // Draws the lists with the translation (x, y, z) applied before the world transformation.
  void Draw(CGraphics& g, double x, double y, double z, int textureId) const;

  const std::vector<R3DVertex>& Triangles() const { return m_pTriangleVB; }
  const std::vector<R3DVertex>& Lines() const { return m_pLineVB; }
  const std::vector<R3DVertex>& Points() const { return m_pPointVB; }

  uint32_t m_GlobalColour = uint32_t(-2);

 private:
  std::vector<R3DVertex> m_pTriangleVB, m_pLineVB, m_pPointVB;
  // The lists in the device's vertex form, made on the first draw after a change so that a model
  // drawn every step is not converted every step.
  mutable std::vector<RVertex> drawTriangles_, drawLines_, drawPoints_;
  mutable bool drawListsReady_ = false;
};

}  // namespace kestro
