#include "files/Files.h"

#include "files/GameFiles.h"
#include "files/IniDocument.h"
#include "files/RegistryStore.h"
#include "io/RunState.h"

namespace kestro::files {

void DecideSecureMode() {
  RunState().secureMode = SecureModeFromRegistry(Registry());
  Registry().Close();
}

void EndGameFiles() {
  GameFiles().CloseAll();
  IniFile().Close();
  Registry().Close();
}

}  // namespace kestro::files
