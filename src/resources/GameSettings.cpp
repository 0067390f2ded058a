#include "resources/GameSettings.h"

#include "io/Stream.h"

namespace kestro {

CGameSettings& GameSettings() {
  static CGameSettings settings;
  return settings;
}

bool CGameSettings::LoadFromStream(CStream& s) {
  Reset();
  if (s.ReadInteger() != 800) return false;
  std::unique_ptr<CStream> b = s.ReadStreamC();
  fullScreen = b->ReadBoolean();
  interpolate = b->ReadBoolean();
  noBorder = b->ReadBoolean();
  showCursor = b->ReadBoolean();
  scaling = b->ReadInteger();
  sizeable = b->ReadBoolean();
  stayOnTop = b->ReadBoolean();
  windowColor = b->ReadInteger();
  changeDisplayMode = b->ReadBoolean();
  colorDepthChoice = b->ReadInteger();
  resolutionChoice = b->ReadInteger();
  frequencyChoice = b->ReadInteger();
  noButtons = b->ReadBoolean();
  synchronise = b->ReadBoolean();
  disableScreensaver = b->ReadBoolean();
  f4SwitchesScreen = b->ReadBoolean();
  f1ShowsInfo = b->ReadBoolean();
  escEndsGame = b->ReadBoolean();
  f5SavesF6Loads = b->ReadBoolean();
  f9Screenshot = b->ReadBoolean();
  closeActsAsEsc = b->ReadBoolean();
  processPriority = b->ReadInteger();
  freezeWhenInactive = b->ReadBoolean();
  showProgressBar = b->ReadBoolean();
  if (showProgressBar) {
    progressBackground = b->ReadBitmap();
    progressForeground = b->ReadBitmap();
  }
  loadingImage = b->ReadBitmap();
  loadingTransparent = b->ReadBoolean();
  loadingAlpha = b->ReadInteger();
  scaleProgressBar = b->ReadBoolean();
  displayErrors = b->ReadBoolean();
  writeErrorLog = b->ReadBoolean();
  abortOnAllErrors = b->ReadBoolean();
  int32_t flags = b->ReadInteger();
  uninitialisedAreZero = (flags & 1) != 0;
  checkArgumentCount = (flags & 2) != 0;
  return true;
}

void CGameSettings::SaveToStream(CStream& s) const {
  s.WriteInteger(800);
  CStream b;
  b.WriteBoolean(fullScreen);
  b.WriteBoolean(interpolate);
  b.WriteBoolean(noBorder);
  b.WriteBoolean(showCursor);
  b.WriteInteger(scaling);
  b.WriteBoolean(sizeable);
  b.WriteBoolean(stayOnTop);
  b.WriteInteger(windowColor);
  b.WriteBoolean(changeDisplayMode);
  b.WriteInteger(colorDepthChoice);
  b.WriteInteger(resolutionChoice);
  b.WriteInteger(frequencyChoice);
  b.WriteBoolean(noButtons);
  b.WriteBoolean(synchronise);
  b.WriteBoolean(disableScreensaver);
  b.WriteBoolean(f4SwitchesScreen);
  b.WriteBoolean(f1ShowsInfo);
  b.WriteBoolean(escEndsGame);
  b.WriteBoolean(f5SavesF6Loads);
  b.WriteBoolean(f9Screenshot);
  b.WriteBoolean(closeActsAsEsc);
  b.WriteInteger(processPriority);
  b.WriteBoolean(freezeWhenInactive);
  b.WriteBoolean(showProgressBar);
  if (showProgressBar) {
    b.WriteBitmap(progressBackground ? &*progressBackground : nullptr);
    b.WriteBitmap(progressForeground ? &*progressForeground : nullptr);
  }
  b.WriteBitmap(loadingImage ? &*loadingImage : nullptr);
  b.WriteBoolean(loadingTransparent);
  b.WriteInteger(loadingAlpha);
  b.WriteBoolean(scaleProgressBar);
  b.WriteBoolean(displayErrors);
  b.WriteBoolean(writeErrorLog);
  b.WriteBoolean(abortOnAllErrors);
  b.WriteInteger(ErrorFlags());
  s.WriteStreamC(b);
}

}  // namespace kestro
