// Message boxes through SDL, installed only where a display exists and a box can be dismissed.
#pragma once

#include "io/Messages.h"

namespace kestro::platform {

class SdlMessageBox : public IMessageBox {
 public:
  void Show(const std::string& text) override;
  bool AskYesNo(const std::string& question) override;
};

// True when a real display is reachable: not the offscreen or dummy video driver, and an X11
// or Wayland display is named in the environment.
bool DisplayAvailable();

}  // namespace kestro::platform
