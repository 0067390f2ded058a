// The run's game window and drawing device, and the graphics steps of the start-up and end of a
// run: display mode, window styles from the settings, device creation, interpolation.
#pragma once

#include <functional>
#include <string>

#include "platform/gl/GlDevice.h"
#include "platform/sdl/SdlGameWindow.h"

namespace kestro {
struct CGameSettings;
}

namespace kestro::platform {

struct CGamePlatform {
  SdlGameWindow window;
  GlDevice device;
};

// The process-wide window and device.
CGamePlatform& GamePlatform();

// The graphics preparation of the start-up sequence, in order: the display mode the settings ask
// for (a valid colour depth asked for when the display has none), the game window with region
// 8 x 8 and the settings' scale (both adapting the window), sizeable, stay on top, colour,
// border, border icons and full screen; the device for a 640 x 480 region with the
// synchronisation setting; texture interpolation. Then `createTextures` (backgrounds, sprites,
// fonts) and the first frame. Shows its own messages; false when the run cannot go on.
bool PrepareGraphics(const CGameSettings& settings, const std::string& caption,
                     const std::function<bool()>& createTextures = {});

// Releases the device and the window and gives the display its own mode back.
void ReleaseGraphics();

}  // namespace kestro::platform
