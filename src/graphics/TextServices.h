// Small text rules of the drawing layer shared by the text drawing and measuring functions.
#pragma once

#include <string>

#include "script/Utf8.h"  // Utf8CharCount: characters as drawn text and string_length count them

namespace kestro {

// A string as drawn: every "#" is a line break ("\n"), except that "\#" is a plain "#".
std::string DrawingText(const std::string& s);

}  // namespace kestro
