#include "graphics/Model3d.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "graphics/D3d.h"
#include "graphics/Graphics.h"
#include "script/Numeric.h"

namespace kestro {

// ---- the model ----

void C3D_Model::Clear() {
  i_val.clear();
  m_pMesh.reset();
}

void C3D_Model::Add(int32_t kind, std::initializer_list<double> a) {
  R3DModelEntry e;
  e.kind = kind;
  size_t i = 0;
  for (double v : a)
    if (i < 10) e.a[i++] = v;
  i_val.push_back(e);
}

bool C3D_Model::TakesDrawingColour() const {
  return std::any_of(i_val.begin(), i_val.end(), [](const R3DModelEntry& e) {
    return e.kind == kModelVertex || e.kind == kModelVertexTexture || e.kind == kModelVertexNormal ||
           e.kind == kModelVertexNormalTexture || (e.kind >= kModelBlock && e.kind <= kModelFloor);
  });
}

namespace {

// Replays the entries into the mode, whose recorder is the model's meanwhile. The model's own
// primitive under construction keeps one that game code may be building.
void Replay(const std::vector<R3DModelEntry>& entries, CGraphics& g, C3DMode& mode, int texture) {
  C3DPrimitive primitive;
  const uint32_t colour = DrawingVertexColour(g);
  for (const R3DModelEntry& e : entries) {
    const double* a = e.a;
    const RBox box{a[0], a[1], a[2], a[3], a[4], a[5]};
    switch (e.kind) {
      case kModelPrimitiveBegin: primitive.Begin(RoundToInt64(a[0]), texture); break;
      case kModelPrimitiveEnd: primitive.End(mode); break;
      case kModelBlock: mode.DrawShape(g, C3DMode::EShape::kBlock, box, texture, a[6], a[7]); break;
      case kModelCylinder:
        mode.DrawShape(g, C3DMode::EShape::kCylinder, box, texture, a[6], a[7], a[8] >= 0.5, RoundToInt64(a[9]));
        break;
      case kModelCone:
        mode.DrawShape(g, C3DMode::EShape::kCone, box, texture, a[6], a[7], a[8] >= 0.5, RoundToInt64(a[9]));
        break;
      case kModelEllipsoid:
        mode.DrawShape(g, C3DMode::EShape::kEllipsoid, box, texture, a[6], a[7], true, RoundToInt64(a[8]));
        break;
      case kModelWall: mode.DrawShape(g, C3DMode::EShape::kWall, box, texture, a[6], a[7]); break;
      case kModelFloor: mode.DrawShape(g, C3DMode::EShape::kFloor, box, texture, a[6], a[7]); break;
      default:
        if (e.kind >= kModelVertex && e.kind <= kModelVertexNormalTextureColor)
          primitive.Add(VertexFromArguments(e.kind - kModelVertex, a, colour));
        break;
    }
  }
}

}  // namespace

void C3D_Model::Draw(CGraphics& g, C3DMode& mode, double x, double y, double z, int texture) {
  const uint32_t colour = DrawingVertexColour(g);
  if (!m_pMesh) {
    auto recorder = std::make_unique<CGraphicsRecorder>();
    recorder->m_GlobalColour = colour;
    CGraphicsRecorder* previous = mode.Recorder();
    mode.SetRecorder(recorder.get());
    Replay(i_val, g, mode, texture);
    mode.SetRecorder(previous);
    // Nothing in it follows the drawing colour: the mark that it is never recoloured.
    if (!TakesDrawingColour()) recorder->m_GlobalColour = 1;
    m_pMesh = std::move(recorder);
  } else if (m_pMesh->m_GlobalColour != 1 && m_pMesh->m_GlobalColour != colour) {
    m_pMesh->ChangeColour(colour);
  }
  m_pMesh->Draw(g, x, y, z, texture);
}

// ---- the file ----

std::string ModelNumberText(double v) {
  // Non-numbers have no text a model file can hold; they draw nothing in any case.
  if (!std::isfinite(v)) v = 0;
  char buf[64];
  // Ten significant digits, then four decimals; numbers too large for ten digits before the
  // point are written with an exponent.
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 9);
  double rounded = v;
  std::from_chars(buf, r.ptr, rounded);
  if (std::fabs(rounded) >= 1e10) {
    std::string s(buf, r.ptr);
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return c == 'e' ? 'E' : c; });
    return s;
  }
  r = std::to_chars(buf, buf + sizeof buf, rounded, std::chars_format::fixed, 4);
  std::string s(buf, r.ptr);
  if (s == "-0.0000") s = "0.0000";
  return s;
}

std::string ModelFileText(const std::vector<R3DModelEntry>& entries) {
  std::string out = "100\r\n" + std::to_string(entries.size()) + "\r\n";
  for (const R3DModelEntry& e : entries) {
    out += std::to_string(e.kind);
    for (double v : e.a) out += " " + ModelNumberText(v);
    out += "\r\n";
  }
  return out;
}

namespace {

// Numbers separated by blanks and line ends, with the line each comes from.
class CModelReader {
 public:
  explicit CModelReader(std::string_view text) : text_(text) {}

  int Line() const { return line_; }

  // The next word; false at the end of the text.
  bool Word(std::string_view& w) {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) {
      if (text_[pos_] == '\n') ++line_;
      ++pos_;
    }
    if (pos_ >= text_.size()) return false;
    size_t start = pos_;
    while (pos_ < text_.size() && !IsBlank(text_[pos_])) ++pos_;
    w = text_.substr(start, pos_ - start);
    return true;
  }

  // Passes over the rest of the current line.
  void NextLine() {
    while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
    if (pos_ < text_.size()) {
      ++pos_;
      ++line_;
    }
  }

  bool Integer(int64_t& v, std::string& error, const char* what) {
    std::string_view w;
    if (!Word(w)) return Missing(error, what);
    if (w.size() > 1 && w[0] == '+') w.remove_prefix(1);
    auto r = std::from_chars(w.data(), w.data() + w.size(), v);
    if (r.ec != std::errc() || r.ptr != w.data() + w.size()) return NotA(error, what, w);
    return true;
  }

  bool Real(double& v, std::string& error) {
    std::string_view w;
    if (!Word(w)) return Missing(error, "a number");
    std::string s(w.size() > 1 && w[0] == '+' ? w.substr(1) : w);
    // Files written where the decimal separator is a comma hold "1,5000": the numbers are
    // separated by blanks, so the comma can only be the separator.
    if (s.find('.') == std::string::npos && std::count(s.begin(), s.end(), ',') == 1)
      std::replace(s.begin(), s.end(), ',', '.');
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(v)) return NotA(error, "a number", w);
    return true;
  }

 private:
  static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
  bool Missing(std::string& error, const char* what) {
    error = "line " + std::to_string(line_) + ": the file ends where " + what + " should be";
    return false;
  }
  bool NotA(std::string& error, const char* what, std::string_view w) {
    std::string shown(w.substr(0, 24));
    if (w.size() > 24) shown += "...";
    error = "line " + std::to_string(line_) + ": \"" + shown + "\" is not " + what;
    return false;
  }

  std::string_view text_;
  size_t pos_ = 0;
  int line_ = 1;
};

}  // namespace

bool ParseModelFile(std::string_view text, std::vector<R3DModelEntry>& entries, std::string& error) {
  entries.clear();
  CModelReader in(text);
  int64_t version = 0, n = 0;
  if (!in.Integer(version, error, "a version number")) return false;
  if (version != 100) {
    error = "line 1: version " + std::to_string(version) + " is not a model version this program reads (100)";
    return false;
  }
  in.NextLine();
  if (!in.Integer(n, error, "a number of entries")) return false;
  if (n < 0) {
    error = "line " + std::to_string(in.Line()) + ": a negative number of entries";
    return false;
  }
  in.NextLine();
  // Every entry takes at least 22 characters: the count cannot ask for more room than that.
  entries.reserve(size_t(std::min<int64_t>(n, int64_t(text.size() / 22 + 1))));
  for (int64_t i = 0; i < n; ++i) {
    R3DModelEntry e;
    int64_t kind = 0;
    if (!in.Integer(kind, error, "an entry kind")) return false;
    if (kind < 0 || kind >= kModelEntryKinds) {
      error = "line " + std::to_string(in.Line()) + ": " + std::to_string(kind) + " is not a kind of model entry";
      return false;
    }
    e.kind = int32_t(kind);
    for (double& v : e.a)
      if (!in.Real(v, error)) return false;
    entries.push_back(e);
    in.NextLine();
  }
  return true;
}

// ---- the table ----

int C3DModels::Create() {
  size_t i = 0;
  while (i < slots_.size() && slots_[i]) ++i;
  if (i == slots_.size()) slots_.emplace_back();
  slots_[i] = std::make_unique<C3D_Model>();
  return int(i);
}

void C3DModels::Destroy(int64_t id) {
  if (Get(id)) slots_[size_t(id)].reset();
}

C3D_Model* C3DModels::Get(int64_t id) {
  return id >= 0 && id < int64_t(slots_.size()) ? slots_[size_t(id)].get() : nullptr;
}

C3DModels& Models3D() {
  static C3DModels models;
  return models;
}

void Reset3DState() {
  Models3D().Clear();
  ThreeD().Reset(Graphics());
}

}  // namespace kestro
