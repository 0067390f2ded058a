// Surfaces: off-screen drawing targets with a texture, kept in a table whose ids are slots (the
// lowest free one reused). Setting a surface as the target draws into it with its own viewport and
// projection; resetting goes back to the screen over the device region.
#pragma once

#include <string>
#include <vector>

#include "graphics/Graphics.h"

namespace kestro {

struct RSurface {
  int tex = -1;  // a render-target texture of the drawing layer
  int w = 0, h = 0;
  bool used = false;
};

class CSurfaces {
 public:
  // Sides above this are refused (-1), as are sides below 1.
  static constexpr int kMaxSide = 8192;

  int Create(int w, int h);
  void Free(int id);
  bool Exists(int id) const { return Get(id) != nullptr; }
  const RSurface* Get(int id) const;
  // True when the surface is (now) the target.
  bool SetTarget(int id);
  void ResetTarget();
  int Target() const { return target_; }
  // All surfaces go with the device (a reset or a new device).
  void FreeAll();
  // Copies the part (xs, ys, ws, hs) of src into dest at (x, y), replacing the pixels there
  // (alpha too); clipped to both surfaces.
  void CopyPart(int dest, int x, int y, int src, int xs, int ys, int ws, int hs);

 private:
  std::vector<RSurface> slots_;
  int target_ = -1;
  int generation_ = -1;
  // Forgets surfaces whose textures died with an earlier device.
  void Check();
};

CSurfaces& Surfaces();

// Saving a grabbed picture: ".png" (any case) as PNG, anything else as a 32-bit bitmap file;
// `opaque` sets every alpha to 255 first. Failures (a folder that does not exist, ...) are quiet.
void SaveGrab(const RGrab& grab, const std::string& fname, bool opaque);

}  // namespace kestro
