// The desktop of the process functions over SDL: the system clipboard (while SDL's video system
// runs; before that, and where there is no display, the in-process clipboard stands in), the
// application's title, the priority and the game window's handle.
#pragma once

#include <string>

#include "script/builtins/Desktop.h"

namespace kestro::platform {

class SdlDesktop final : public IDesktop {
 public:
  bool ClipboardHasText() override;
  std::string ClipboardText() override;
  void SetClipboardText(const std::string& text) override;
  void SetApplicationTitle(const std::string& title) override;
  void SetProgramPriority(int level) override;
  double WindowHandle() override;
};

}  // namespace kestro::platform
