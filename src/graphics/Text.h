// Text: the chosen font and alignment, the default font, the layout of drawn strings (line breaks,
// wrapping at a width, separation) and drawing them glyph by glyph from the font's sheet texture
// (or a sprite font's images), plain, transformed and with corner colours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestro {

class CFont;

struct RTextState {
  int font = -1;   // a font slot; one that does not exist means the default font
  int halign = 0;  // 0 left, 1 centre, 2 right
  int valign = 0;  // 0 top, 1 middle, 2 bottom
};
RTextState& TextState();

// The typeface font used when the chosen one does not exist, made with its texture on first need
// (and again after the drawing device was replaced).
const CFont& DefaultFont();
// The chosen font, or the default font.
const CFont& DrawingFont();

// One laid-out line: character codes and its width in pixels.
struct RTextLine {
  std::vector<uint32_t> codes;
  int64_t width = 0;
};
// The pen advance of character `c` in font `f` (a character outside the font's range advances by
// the space, or by the first character when the space is outside too).
int Advance(const CFont& f, uint32_t c);
// The lines of `text` as drawn with font `f`: "#" breaks (see DrawingText), CR LF or LF breaks,
// and when `width` is not negative, lines broken between words to fit it.
std::vector<RTextLine> LayoutText(const CFont& f, const std::string& text, double width);
// The line separation of a sep argument: below 0 the font's height.
int LineSeparation(const CFont& f, double sep);

// Width and height of a text in the drawing font: the widest line (at least 1), and the font's
// height plus sep for each further line (1 for an empty text).
int64_t TextWidth(const std::string& text, double sep, double width);
int64_t TextHeight(const std::string& text, double sep, double width);

// Corner colours (game colours) top-left, top-right, bottom-right, bottom-left; null: the drawing
// colour and alpha.
struct RTextColours {
  int32_t c[4];
  double alpha;
};
// The plain form (positions on whole pixels, integer alignment).
void DrawText(double x, double y, const std::string& text, double sep, double width, const RTextColours* colours);
// The transformed form: scales and an angle in degrees, counter-clockwise.
void DrawTextTransformed(double x, double y, const std::string& text, double sep, double width, double xscale,
                         double yscale, double angle, const RTextColours* colours);

}  // namespace kestro
