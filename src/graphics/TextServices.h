// Small text rules of the drawing layer shared by the text drawing and measuring functions.
#pragma once

#include <string>

namespace kestro {

// A string as drawn: every "#" is a line break ("\n"), except that "\#" is a plain "#".
std::string DrawingText(const std::string& s);

// Characters in UTF-8 text as the text functions count them: a lead byte from 194 to 253 and the
// continuation bytes that follow it (up to its sequence length) are one character; every other
// byte is one character of its own.
int Utf8CharCount(const std::string& s);

}  // namespace kestro
