// The game information: a rich text with the settings of the window that shows it.
#pragma once

#include <string>

namespace kestro {

class CStream;

struct CGameInformation {
  int backgroundColor = 0xE1FFFF;
  bool showInGameWindow = false;
  std::string caption;
  int left = -1, top = -1;  // negative: centred on the screen
  int width = 600, height = 400;
  bool showBorder = true;
  bool sizeable = true;
  bool stayOnTop = false;
  bool pauseGame = true;
  std::string text;  // rich text

  void Clear() { *this = CGameInformation(); }
  // int 800, then a packed block with the settings and a block with the text.
  bool LoadFromStream(CStream& s);
  // The caption alone, the rest of the block (the text) left packed.
  static bool SkimCaption(CStream& s, std::string& caption);
  void SaveToStream(CStream& s) const;
};

// The text of a rich text as plain lines: paragraphs and line breaks become "\n", tabs and
// escaped characters are kept (code-page escapes as Latin-1, \u escapes as themselves), and the
// font, colour and style tables and other destinations are left out. Text that is not rich
// text comes back unchanged.
std::string RichTextToPlain(const std::string& rtf);

}  // namespace kestro
