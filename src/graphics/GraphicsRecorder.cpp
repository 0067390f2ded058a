#include "graphics/GraphicsRecorder.h"

#include "graphics/Graphics.h"

namespace kestro {

void CGraphicsRecorder::AddPrimitive(EPrimitive type, const R3DVertex* v, int n) {
  if (!v || n <= 0) return;
  drawListsReady_ = false;
  switch (type) {
    case EPrimitive::PointList:
      m_pPointVB.insert(m_pPointVB.end(), v, v + n);
      break;
    case EPrimitive::LineList:
      m_pLineVB.insert(m_pLineVB.end(), v, v + (n & ~1));
      break;
    case EPrimitive::LineStrip:
      for (int i = 0; i + 1 < n; ++i) {
        m_pLineVB.push_back(v[i]);
        m_pLineVB.push_back(v[i + 1]);
      }
      break;
    case EPrimitive::TriangleList:
      m_pTriangleVB.insert(m_pTriangleVB.end(), v, v + n / 3 * 3);
      break;
    case EPrimitive::TriangleStrip:
      for (int i = 0; i + 2 < n; ++i) {
        if (i & 1) {
          m_pTriangleVB.insert(m_pTriangleVB.end(), {v[i + 2], v[i + 1], v[i]});
        } else {
          m_pTriangleVB.insert(m_pTriangleVB.end(), {v[i], v[i + 1], v[i + 2]});
        }
      }
      break;
    case EPrimitive::TriangleFan:
      for (int i = 1; i + 1 < n; ++i) m_pTriangleVB.insert(m_pTriangleVB.end(), {v[0], v[i], v[i + 1]});
      break;
  }
}

void CGraphicsRecorder::ChangeColour(uint32_t colour) {
  if (m_GlobalColour & 1) return;
  colour &= ~1u;
  for (auto* list : {&m_pTriangleVB, &m_pLineVB, &m_pPointVB})
    for (R3DVertex& v : *list)
      if (v.colour == m_GlobalColour) v.colour = colour;
  m_GlobalColour = colour;
  drawListsReady_ = false;
}

void CGraphicsRecorder::Draw(CGraphics& g, double x, double y, double z, int textureId) const {
  if (!drawListsReady_) {
    auto convert = [](const std::vector<R3DVertex>& from, std::vector<RVertex>& to) {
      to.clear();
      to.reserve(from.size());
      for (const R3DVertex& v : from) to.push_back(RVertex{v.x, v.y, v.z, v.colour, v.u, v.v, v.nx, v.ny, v.nz});
    };
    convert(m_pTriangleVB, drawTriangles_);
    convert(m_pLineVB, drawLines_);
    convert(m_pPointVB, drawPoints_);
    drawListsReady_ = true;
  }
  RMatrix world = g.World();
  g.SetWorld(RMatrix::Translation(x, y, z) * world);
  auto send = [&](const std::vector<RVertex>& list, EPrimitive type) {
    if (!list.empty()) g.DrawPrimitive(type, list.data(), int(list.size()), textureId);
  };
  send(drawTriangles_, EPrimitive::TriangleList);
  send(drawLines_, EPrimitive::LineList);
  send(drawPoints_, EPrimitive::PointList);
  g.SetWorld(world);
}

}  // namespace kestro
