// 3-D models: a list of drawing commands (primitives, vertices and shapes) recorded into vertex
// lists on their first draw, kept in a table of slots, and stored as a text file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/GraphicsRecorder.h"

namespace kestro {

class CGraphics;
class C3DMode;

// The kinds of model entries, in the order of the functions that add them.
enum E3DModelEntry : int32_t {
  kModelPrimitiveBegin = 0,
  kModelPrimitiveEnd = 1,
  kModelVertex = 2,
  kModelVertexColor = 3,
  kModelVertexTexture = 4,
  kModelVertexTextureColor = 5,
  kModelVertexNormal = 6,
  kModelVertexNormalColor = 7,
  kModelVertexNormalTexture = 8,
  kModelVertexNormalTextureColor = 9,
  kModelBlock = 10,
  kModelCylinder = 11,
  kModelCone = 12,
  kModelEllipsoid = 13,
  kModelWall = 14,
  kModelFloor = 15,
};
inline constexpr int32_t kModelEntryKinds = 16;

// One entry: its kind and ten reals, 0 where the entry's function gives none.
struct R3DModelEntry {
  int32_t kind = 0;
  double a[10] = {};
  bool operator==(const R3DModelEntry&) const = default;
};

class C3D_Model {
 public:
  // The entries; their number is i_numb().
  std::vector<R3DModelEntry> i_val;
  // The recording made on the first draw; none until then and after a change of content.
  std::unique_ptr<CGraphicsRecorder> m_pMesh;

  int32_t i_numb() const { return int32_t(i_val.size()); }
  // Removes every entry and the recording.
  void Clear();
  // Adds an entry with the reals given (the rest 0). Entries added after the first draw show
  // from the next clear or load on, as the recording is kept.
  void Add(int32_t kind, std::initializer_list<double> a);
  // Whether some vertex takes the drawing colour: a vertex entry without a colour, or a shape.
  bool TakesDrawingColour() const;
  // Draws at (x, y, z) with the texture (-1 none): records first when there is no recording yet,
  // recolours the drawing-colour vertices when the drawing colour has changed since.
  void Draw(CGraphics& g, C3DMode& mode, double x, double y, double z, int texture);
};

// The model file: "100", the number of entries, then per entry its kind and the ten reals, each
// after a blank in fixed notation with four decimals; lines end with CR LF.
std::string ModelFileText(const std::vector<R3DModelEntry>& entries);
// Reads a model file into `entries`. False with a message naming the line for a file that is not
// a model of this version, is cut short, or holds something that is not a number or an entry.
bool ParseModelFile(std::string_view text, std::vector<R3DModelEntry>& entries, std::string& error);
// One real as the file writes it.
std::string ModelNumberText(double v);

// The models of the run: slots taken lowest free first; ids stay valid until destroyed.
class C3DModels {
 public:
  int Create();
  // Nothing for an id that names no model.
  void Destroy(int64_t id);
  C3D_Model* Get(int64_t id);
  void Clear() { slots_.clear(); }
  int Count() const { return int(slots_.size()); }

 private:
  std::vector<std::unique_ptr<C3D_Model>> slots_;
};

C3DModels& Models3D();

// The 3-D state of a fresh run: no models, and the mode as C3DMode::Reset leaves it. Called when
// a run starts and when the game ends.
void Reset3DState();

}  // namespace kestro
