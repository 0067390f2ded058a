// Character sets of the dialog's fonts and what they do to text. The games name a font's
// character set by the desktop's numbers (0 ANSI, 1 default, 2 symbol, 128 Japanese, 204 Russian,
// ...); text shown in a font with a character set of its own is narrowed to single bytes of the
// system's code page (Western, 1252) and those bytes read in the set's code page, and text typed
// into such a font is written in its code page with every byte read as one character (0..255).
//
// The run-time's strings are Unicode (UTF-8). With the default and ANSI sets the text is kept as
// it is, in both directions, so no character outside the Western code page is lost; the other sets
// convert as described, through the C library's converters (iconv).
#pragma once

#include <string>

namespace kestro::dialogs {

inline constexpr int kAnsiCharset = 0;
inline constexpr int kDefaultCharset = 1;

// The code page's converter name of a character set ("CP1251" for 204), or "" for the sets that
// keep text as it is (0, 1 and unknown numbers).
std::string CodePageOf(int charset);
// Text as shown in a font of that character set.
std::string TextForCharset(const std::string& text, int charset);
// Text typed into a font of that character set, as the game reads it back.
std::string TextFromCharset(const std::string& text, int charset);

}  // namespace kestro::dialogs
