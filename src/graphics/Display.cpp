#include "graphics/Display.h"

#include "resources/GameSettings.h"

namespace kestro {

void CDisplay::SetDesktop(int w, int h, int depth, int frequency) {
  w_ = w > 0 ? w : 1024;
  h_ = h > 0 ? h : 768;
  depth_ = depth > 0 ? depth : 32;
  freq_ = frequency > 0 ? frequency : 60;
}

bool CDisplay::TestMode(const RDisplayMode& m) {
  if (m.width > 16384 || m.height > 16384) return false;
  if ((m.width > 0 && m.width < 64) || (m.height > 0 && m.height < 64)) return false;
  if (m.depth > 0 && m.depth != 16 && m.depth != 24 && m.depth != 32) return false;
  if (m.frequency > 500) return false;
  return true;
}

bool CDisplay::SetMode(const RDisplayMode& m) {
  if (!TestMode(m)) return false;
  if (m.width > 0) vw_ = m.width == w_ ? 0 : m.width;
  if (m.height > 0) vh_ = m.height == h_ ? 0 : m.height;
  if (m.depth > 0) vdepth_ = m.depth == depth_ ? 0 : m.depth;
  if (m.frequency > 0) vfreq_ = m.frequency == freq_ ? 0 : m.frequency;
  return true;
}

bool SettingsDisplayMode(const CGameSettings& s, RDisplayMode& m) {
  static const int kDepth[] = {-1, 16, 32};
  static const int kW[] = {-1, 320, 640, 800, 1024, 1280, 1600};
  static const int kH[] = {-1, 240, 480, 600, 768, 1024, 1200};
  static const int kFreq[] = {-1, 60, 70, 85, 100, 120};
  m = RDisplayMode{};
  if (!s.changeDisplayMode) return false;
  // A choice outside the tables keeps the current value, as 0 does.
  if (s.colorDepthChoice >= 0 && s.colorDepthChoice <= 2) m.depth = kDepth[s.colorDepthChoice];
  if (s.resolutionChoice >= 0 && s.resolutionChoice <= 6) {
    m.width = kW[s.resolutionChoice];
    m.height = kH[s.resolutionChoice];
  }
  if (s.frequencyChoice >= 0 && s.frequencyChoice <= 5) m.frequency = kFreq[s.frequencyChoice];
  return true;
}

CDisplay& Display() {
  static CDisplay d;
  return d;
}

}  // namespace kestro
