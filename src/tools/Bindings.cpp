#include "tools/Bindings.h"

#include "datastructures/Bindings.h"
#include "dialogs/Bindings.h"
#include "files/Bindings.h"
#include "files/Files.h"
#include "graphics/Bindings.h"
#include "multiplayer/Bindings.h"
#include "particles/Bindings.h"
#include "particles/ParticleLayer.h"
#include "resources/Bindings.h"
#include "script/builtins/Bindings.h"
#include "script/builtins/BuiltinVariables.h"
#include "sound/Bindings.h"
#include "splash/Bindings.h"
#include "world/Bindings.h"
#include "tools/NativeCalls.h"

namespace kestro::tools {

std::vector<RBindingTable> GameBindings() {
  return {
      MathFunctions(),
      ErrorFunctions(),
      VariableFunctions(),
      ExecuteFunctions(),
      InstanceFunctions(),
      EventFunctions(),
      ActionFunctions(),
      RoomFunctions(),
      InputFunctions(),
      ActionDrawFunctions(),
      CollisionFunctions(),
      TileFunctions(),
      DrawFunctions(),
      SurfaceFunctions(),
      TextFunctions(),
      WindowFunctions(),
      DataStructureFunctions(),
      DateFunctions(),
      ProcessFunctions(),
      SoundFunctions(),
      SoundResourceFunctions(),
      FileFunctions(),
      RegistryFunctions(),
      IniFunctions(),
      PathFunctions(),
      TimeLineFunctions(),
      MotionFunctions(),
      MotionGridDrawFunctions(),
      ParticleFunctions(),
      EffectFunctions(),
      DialogFunctions(),
      HighScoreFunctions(),
      SpriteFunctions(),
      BackgroundFunctions(),
      ScriptResourceFunctions(),
      ObjectFunctions(),
      RoomResourceFunctions(),
      ScreenResourceFunctions(),
      D3dFunctions(),
      TransitionFunctions(),
      SplashFunctions(),
      MultiplayerFunctions(),
      ExternalCallFunctions(),
      PlatformFunctions(),
  };
}

std::vector<RVariableBindingTable> GameVariableBindings() {
  return {
      InstanceVariables(),
      GameVariables(),
      InputVariables(),
      FileVariables(),
  };
}

void InstallGameBindings() {
  // Secure mode is fixed before any game code can run.
  files::DecideSecureMode();
  SetBuiltinBindings(GameBindings());
  SetVariableBindings(GameVariableBindings());
  // Particle systems draw with the room and follow the game's and rooms' starts.
  InstallParticles();
  // Game code and extension packages call native libraries through the POSIX layer.
  InstallNativeCalls();
}

}  // namespace kestro::tools
