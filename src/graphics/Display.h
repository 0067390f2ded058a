// The display: its size, colour depth and frequency, the modes it lists and the mode a game chose.
// A mode is chosen among the modes the display lists. The desktop is not switched while the game
// is windowed: the chosen mode is the one the game window shows in full screen (the window system
// switches to it there and back), and the display reports it from the moment it is chosen.
#pragma once

#include <cstdint>
#include <vector>

namespace kestro {

struct CGameSettings;

struct RDisplayMode {
  int width = -1, height = -1, depth = -1, frequency = -1;  // in a request, -1 or 0: keep
  bool operator==(const RDisplayMode&) const = default;
};

// What the display offers, from the desktop.
class IDisplayModes {
 public:
  virtual ~IDisplayModes() = default;
  // The desktop's own mode; false when the display cannot say.
  virtual bool DesktopMode(RDisplayMode& m) = 0;
  // The modes the display can show (values it does not know as 0).
  virtual std::vector<RDisplayMode> ListedModes() = 0;
};

class CDisplay {
 public:
  // The desktop's mode and the listed modes come from `source` from now on (none: the desktop as
  // last known is the only mode).
  void SetSource(IDisplayModes* source);
  // Reads the desktop's mode again.
  void Refresh();
  // The desktop's mode as found; values not above 0 become 1024 x 768, 32 bits, 60 Hz.
  void SetDesktop(int w, int h, int depth, int frequency);

  // The chosen mode, else the desktop's.
  int Width() const { return chosen_ ? mode_.width : w_; }
  int Height() const { return chosen_ ? mode_.height : h_; }
  int Depth() const { return chosen_ ? mode_.depth : depth_; }
  int Frequency() const { return chosen_ ? mode_.frequency : freq_; }
  int DesktopWidth() const { return w_; }
  int DesktopHeight() const { return h_; }
  RDisplayMode Desktop() const { return {w_, h_, depth_, freq_}; }
  // Whether a mode other than the desktop's is chosen, and which.
  bool ModeChosen() const { return chosen_; }
  const RDisplayMode& Chosen() const { return mode_; }

  // The listed modes with unknown depths and frequencies taken as the desktop's, without
  // duplicates; the desktop's mode alone when the display lists none.
  std::vector<RDisplayMode> Modes() const;
  // The listed mode that has every value of `want` above 0 and, for the others, is closest to the
  // mode now reported (same size, then depth, then frequency; then the highest frequency and depth).
  // A request with no value above 0 is the mode now reported. False when no listed mode fits.
  bool FindMode(const RDisplayMode& want, RDisplayMode& found) const;
  bool TestMode(const RDisplayMode& want) const {
    RDisplayMode found;
    return FindMode(want, found);
  }
  // Chooses the mode FindMode finds; false (nothing changed) when there is none.
  bool SetMode(const RDisplayMode& want);
  // Back to the desktop's own mode.
  void Restore() { chosen_ = false; }

 private:
  IDisplayModes* source_ = nullptr;
  int w_ = 1024, h_ = 768, depth_ = 32, freq_ = 60;
  bool chosen_ = false;
  RDisplayMode mode_;
};

// The mode the settings ask for at start (each value -1 when kept), or false when no change.
bool SettingsDisplayMode(const CGameSettings& s, RDisplayMode& m);

// The process-wide display.
CDisplay& Display();

}  // namespace kestro
