#include "resources/GameInformation.h"

#include "io/Stream.h"

namespace kestro {

// The version of the game information block.
constexpr int32_t kGameInformationVersion = 800;

bool CGameInformation::LoadFromStream(CStream& s) {
  Clear();
  text.clear();
  if (s.ReadInteger() != kGameInformationVersion) return false;
  std::unique_ptr<CStream> b = s.ReadStreamC();
  backgroundColor = b->ReadInteger();
  showInGameWindow = b->ReadBoolean();
  caption = b->ReadString();
  left = b->ReadInteger();
  top = b->ReadInteger();
  width = b->ReadInteger();
  height = b->ReadInteger();
  showBorder = b->ReadBoolean();
  sizeable = b->ReadBoolean();
  stayOnTop = b->ReadBoolean();
  pauseGame = b->ReadBoolean();
  std::unique_ptr<CStream> t = b->ReadStream();
  text.assign(t->Buffer().begin(), t->Buffer().end());
  return true;
}

void CGameInformation::SaveToStream(CStream& s) const {
  s.WriteInteger(kGameInformationVersion);
  CStream b;
  b.WriteInteger(backgroundColor);
  b.WriteBoolean(showInGameWindow);
  b.WriteString(caption);
  b.WriteInteger(left);
  b.WriteInteger(top);
  b.WriteInteger(width);
  b.WriteInteger(height);
  b.WriteBoolean(showBorder);
  b.WriteBoolean(sizeable);
  b.WriteBoolean(stayOnTop);
  b.WriteBoolean(pauseGame);
  b.WriteInteger(int32_t(text.size()));
  b.WriteBytes(text.data(), text.size());
  s.WriteStreamC(b);
}

}  // namespace kestro
