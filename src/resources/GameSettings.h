// The game's settings: chosen once by the author, read from the settings block of the header
// before anything else of the game, then read by the window, input, error and save code.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace kestro {

class CStream;

using BitmapFile = std::vector<uint8_t>;  // the file image of a Windows bitmap

struct CGameSettings {
  bool fullScreen = false;          // start in full screen
  bool interpolate = false;         // linear texture filtering instead of point sampling
  bool noBorder = false;            // windowed without border
  bool showCursor = true;           // arrow cursor over the window, else none
  int32_t scaling = 100;            // region scale = scaling / 100; 0 stretch, negative fit
  bool sizeable = false;
  bool stayOnTop = false;
  int32_t windowColor = 0xFFFFFF;   // outside the scaled region
  bool changeDisplayMode = false;
  int32_t colorDepthChoice = 0;     // 0 keep, 1 16 bits, 2 32 bits
  int32_t resolutionChoice = 0;     // 0 keep, 1 320x240 ... 6 1600x1200
  int32_t frequencyChoice = 0;      // 0 keep, 1 60 Hz ... 5 120 Hz
  bool noButtons = false;           // caption without border icons
  bool synchronise = false;         // present waits for the vertical blank
  bool disableScreensaver = true;
  bool f4SwitchesScreen = true;
  bool f1ShowsInfo = true;
  bool escEndsGame = true;
  bool f5SavesF6Loads = true;
  bool f9Screenshot = true;
  bool closeActsAsEsc = true;
  int32_t processPriority = 0;      // 0 normal, 1 above normal, 2 high
  bool freezeWhenInactive = false;
  bool showProgressBar = true;
  std::optional<BitmapFile> progressBackground;
  std::optional<BitmapFile> progressForeground;
  std::optional<BitmapFile> loadingImage;
  bool loadingTransparent = false;  // transparent colour = the loading image's bottom-left pixel
  int32_t loadingAlpha = 255;       // below 255 the loading window is translucent
  bool scaleProgressBar = true;
  bool displayErrors = true;
  bool writeErrorLog = false;
  bool abortOnAllErrors = false;
  bool uninitialisedAreZero = false;
  bool checkArgumentCount = true;

  void Reset() { *this = CGameSettings(); }
  // Resets, then reads the block: int 800 and a packed block. False on another version; a
  // truncated block raises EStreamError.
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;

  double RegionScale() const { return scaling / 100.0; }
  // The error flags int of the stored form: bit 0 uninitialised are 0, bit 1 check argument count.
  int32_t ErrorFlags() const { return (uninitialisedAreZero ? 1 : 0) | (checkArgumentCount ? 2 : 0); }
};

// The process-wide settings record.
CGameSettings& GameSettings();

}  // namespace kestro
