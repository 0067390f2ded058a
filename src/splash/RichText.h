// The formatted texts splash screens and the game information show: rich text read into
// paragraphs of styled runs, and laid out in lines at a width. What is understood: paragraphs and
// line breaks, tabs, bold, italic, underline, the font size, the font (by its font table) and the
// colour (by the colour table), paragraph alignment (left, centre, right; justified is left), the
// character escapes (hexadecimal code page bytes, \u code units, \~, \\, \{, \}). Pictures, tables,
// indents, spacing and everything else are left out (their text, if any, stays). A text that is not
// rich text is plain text, one paragraph per line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/MessageDialog.h"

namespace kestro::splash {

struct RTextRun {
  std::string text;           // UTF-8
  dialogs::RDialogFont font;  // name, size in points, colour, bold, italic
  bool underline = false;
  bool operator==(const RTextRun&) const = default;
};

enum class EAlign { kLeft, kCentre, kRight };

struct RTextParagraph {
  std::vector<RTextRun> runs;
  EAlign align = EAlign::kLeft;
};

// The font of text that names none: 10-point Arial in black.
dialogs::RDialogFont DefaultTextFont();

std::vector<RTextParagraph> ParseRichText(const std::string& text);

// One piece of a laid-out line: a run's words that share a line, at (x, y) from the text's top
// left corner. Pieces of smaller fonts sit on the bottom of their line.
struct RPlacedText {
  std::string text;
  dialogs::RDialogFont font;
  bool underline = false;
  int x = 0, y = 0, w = 0, h = 0;
};

struct RTextLayout {
  std::vector<RPlacedText> pieces;
  int height = 0;  // of all the lines
};

// Lines broken at the paragraphs and, within `width`, after spaces (a word wider than the width
// gets a line of its own); aligned per paragraph.
RTextLayout LayoutRichText(const std::vector<RTextParagraph>& paragraphs, int width, dialogs::ITextMetrics& metrics);

}  // namespace kestro::splash
