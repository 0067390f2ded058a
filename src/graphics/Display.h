// The display: its size, colour depth and frequency, and mode changes. The desktop's mode is
// never switched for real: a mode that is set becomes a virtual display whose values are reported
// and whose size a full-screen window's client area takes, scaled onto the real screen.
#pragma once

#include <cstdint>

namespace kestro {

struct CGameSettings;

struct RDisplayMode {
  int width = -1, height = -1, depth = -1, frequency = -1;  // -1 or 0: keep
};

class CDisplay {
 public:
  // The real desktop as found at start-up.
  void SetDesktop(int w, int h, int depth, int frequency);
  int Width() const { return vw_ > 0 ? vw_ : w_; }
  int Height() const { return vh_ > 0 ? vh_ : h_; }
  int Depth() const { return vdepth_ > 0 ? vdepth_ : depth_; }
  int Frequency() const { return vfreq_ > 0 ? vfreq_ : freq_; }
  int DesktopWidth() const { return w_; }
  int DesktopHeight() const { return h_; }
  bool Virtual() const { return vw_ > 0 || vh_ > 0 || vdepth_ > 0 || vfreq_ > 0; }

  // Only values above 0 take part. True when the mode could be shown.
  static bool TestMode(const RDisplayMode& m);
  bool SetMode(const RDisplayMode& m);
  // Back to the desktop's own mode.
  void Restore() { vw_ = vh_ = vdepth_ = vfreq_ = 0; }

 private:
  int w_ = 1024, h_ = 768, depth_ = 32, freq_ = 60;
  int vw_ = 0, vh_ = 0, vdepth_ = 0, vfreq_ = 0;
};

// The mode the settings ask for at start (each value -1 when kept), or false when no change.
bool SettingsDisplayMode(const CGameSettings& s, RDisplayMode& m);

// The process-wide display.
CDisplay& Display();

}  // namespace kestro
