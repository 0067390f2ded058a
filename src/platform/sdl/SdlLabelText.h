// One line of small black text in the desktop's sans-serif face, for the loading window's label.
#pragma once

#include <string>

#include "resources/BmpFile.h"

namespace kestro::platform {

// Renders `text` (UTF-8) at `points` (96 dots per inch) into a transparent picture whose alpha is
// the glyph coverage, black. Empty when no face is found or the text is empty.
RPixels RenderLabelText(const std::string& text, int points);

}  // namespace kestro::platform
