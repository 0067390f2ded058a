// Splash screens: a picture, a formatted text, a video or a web page shown while the game waits,
// and the game information. The settings of the splash_set_* functions, where a splash goes and
// how its picture is scaled (the layout, numbers only), and the modal loop that shows it.
//
// On this system every splash is drawn inside the game window and the game waits until it ends:
// one "in the game window" covers the drawing region; one "in a window of its own" is drawn as a
// framed panel of the window's size (or the whole region in full screen), centred in the game
// window or at the position asked for, whether or not it interrupts the game. There is no video
// player and no web view: those splashes leave a line on standard error and end at once, as if
// stopped. The events come from the dialogs' source (dialogs/ModalLoop.h); when none can ever
// arrive (a headless run) the splash ends at once with a notice, so a run never waits on it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "dialogs/MessageDialog.h"

namespace kestro::splash {

using dialogs::RRectI;

struct RSplashSettings {
  bool main = true;         // shown inside the game window
  bool fullScreen = false;  // a window of its own covering the screen, without border
  bool border = true;
  std::string caption;
  int width = 640, height = 480;
  int left = -1, top = -1;  // -1: where it was
  bool adapt = true;        // the window takes the size of the picture or video
  bool stayOnTop = true;    // nothing to do here: the splash is drawn in the game window
  int32_t colour = 0;
  double scale = -1;  // 0 or less: the largest scale that fits
  bool cursor = true;
  bool interrupt = true;
  bool stopKey = true;
  bool stopMouse = true;
  bool closeButton = true;
};
RSplashSettings& SplashSettings();
// The defaults of a new run; also forgets where the splash window was.
void ResetSplashSettings();

inline constexpr int kCloseButtonSize = 24;

// Where a splash is drawn in a drawing region of regionW x regionH.
struct RSplashLayout {
  bool embedded = false;
  RRectI window;  // the splash's panel (the client area of its window) in the region
  RRectI item;    // the picture or video, in the region; empty for text and web pages
  double scale = 1;
  bool stretched = false;
  RRectI closeButton;   // empty when the setting hides it
  bool border = false;  // a frame is drawn around a window of its own
};

// The layout for an item of itemW x itemH (0 x 0 for a text or a web page). A window of its own
// has the size setting (clipped to the region), at the position setting when it is not -1 (kept
// for the next splash), else centred; full screen covers the region. Scale: the setting when above
// 0, else the largest that fits the panel; the item is centred in the panel; with adapt on, a
// window of its own that is not full screen takes the item's size and the item its corner.
RSplashLayout LayoutSplash(const RSplashSettings& s, int regionW, int regionH, int itemW, int itemH);

// How a splash ended.
enum class ESplashEnd { kKey, kMouse, kCloseButton, kTimer, kWindowClose, kNoInput, kNotShown };

// Where notices go (what a splash that nobody can see showed, and what this system cannot show);
// empty: standard error as "[kestro] ..." lines.
void SetSplashNotice(std::function<void(const std::string&)> notice);
void SplashNotice(const std::string& text);

// The splash functions' work (errors reported as the functions report them).
ESplashEnd ShowImage(const std::string& fname, double delayMs);
// The text area is pale yellow unless `background` (a colour) is given.
ESplashEnd ShowText(const std::string& fname, double delayMs, int32_t background = -1);
ESplashEnd ShowVideo(const std::string& fname, bool loop);
ESplashEnd ShowWeb(const std::string& url, double delayMs);
// The game information, with its own window settings.
ESplashEnd ShowGameInformation();
// The game information's text from a file; false when it does not exist or cannot be read.
bool LoadGameInformation(const std::string& fname);

// True while a splash or the game information is shown (the main loop runs no step meanwhile).
bool SplashShowing();

}  // namespace kestro::splash
