// Typefaces installed on the system, as the font model needs them: per character the black box,
// its origin from the baseline, the advance and a coverage image. The desktop layer installs the
// rasterizer (the program does it for every command, so the builder and the run-time render the
// same sheets); without one, fonts made from typefaces stay empty.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestro {

struct RTypefaceMetrics {
  int ascent = 0;  // pixels above the baseline
  int height = 0;  // ascent plus descent
  int avgCharWidth = 0;
  int maxCharWidth = 0;
};

// One character's glyph. `levels` holds bw x bh coverage levels 0..64, rows from the top without
// padding; a glyph without an image (the space) has bw or bh 0.
struct RGlyphImage {
  int bw = 0, bh = 0;
  int ox = 0, oy = 0;  // the black box's top-left corner from the pen on the baseline, y upward
  int advance = 0;
  std::vector<uint8_t> levels;
};

class ITypeface {
 public:
  virtual ~ITypeface() = default;
  virtual const RTypefaceMetrics& Metrics() const = 0;
  // False when the character has no glyph at all.
  virtual bool Glyph(int code, RGlyphImage& out) = 0;
};

class ITypefaceRasterizer {
 public:
  virtual ~ITypefaceRasterizer() = default;
  // The typeface `name` (or the system's substitute for it) at `pixels` per em; null when no face
  // can be read.
  virtual std::unique_ptr<ITypeface> Open(const std::string& name, int pixels, bool bold, bool italic) = 0;
};

void SetTypefaceRasterizer(ITypefaceRasterizer* rasterizer);  // nullptr: none
ITypefaceRasterizer* TypefaceRasterizer();

// Whether the rasterizer notes on standard error (once per name) that a typeface is not installed
// and which one stands in for it: on for runs with --verbose.
void SetTypefaceNotes(bool on);
bool TypefaceNotes();

}  // namespace kestro
