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
  void SaveToStream(CStream& s) const;
};

}  // namespace kestro
