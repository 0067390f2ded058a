#include "graphics/Display.h"

#include <algorithm>
#include <tuple>

#include "resources/GameSettings.h"

namespace kestro {

void CDisplay::SetSource(IDisplayModes* source) {
  source_ = source;
  Refresh();
}

void CDisplay::Refresh() {
  RDisplayMode m;
  if (source_ && source_->DesktopMode(m)) SetDesktop(m.width, m.height, m.depth, m.frequency);
}

void CDisplay::SetDesktop(int w, int h, int depth, int frequency) {
  w_ = w > 0 ? w : 1024;
  h_ = h > 0 ? h : 768;
  depth_ = depth > 0 ? depth : 32;
  freq_ = frequency > 0 ? frequency : 60;
}

std::vector<RDisplayMode> CDisplay::Modes() const {
  std::vector<RDisplayMode> out;
  if (source_) {
    for (RDisplayMode m : source_->ListedModes()) {
      if (m.width <= 0 || m.height <= 0) continue;
      if (m.depth <= 0) m.depth = depth_;
      if (m.frequency <= 0) m.frequency = freq_;
      if (std::find(out.begin(), out.end(), m) == out.end()) out.push_back(m);
    }
  }
  if (out.empty()) out.push_back(Desktop());
  return out;
}

bool CDisplay::FindMode(const RDisplayMode& want, RDisplayMode& found) const {
  const RDisplayMode now{Width(), Height(), Depth(), Frequency()};
  if (want.width <= 0 && want.height <= 0 && want.depth <= 0 && want.frequency <= 0) {
    found = now;
    return true;
  }
  auto fits = [&](const RDisplayMode& m) {
    if (want.width > 0 && m.width != want.width) return false;
    if (want.height > 0 && m.height != want.height) return false;
    if (want.depth > 0 && m.depth != want.depth) return false;
    return !(want.frequency > 0 && m.frequency != want.frequency);
  };
  auto key = [&](const RDisplayMode& m) {
    return std::tuple(m.width == now.width && m.height == now.height, m.depth == now.depth,
                      m.frequency == now.frequency, m.frequency, m.depth, int64_t(m.width) * m.height);
  };
  bool any = false;
  for (const RDisplayMode& m : Modes()) {
    if (!fits(m) || (any && key(m) <= key(found))) continue;
    found = m;
    any = true;
  }
  return any;
}

bool CDisplay::SetMode(const RDisplayMode& want) {
  RDisplayMode found;
  if (!FindMode(want, found)) return false;
  chosen_ = !(found == Desktop());
  if (chosen_) mode_ = found;
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
